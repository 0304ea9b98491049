#include "runtime/error.h"

#include <utility>

namespace zurvafun {

VbError::VbError(long number, std::string description)
    : std::runtime_error(description.empty() ? "error " + std::to_string(number) : description),
      number_(number),
      description_(std::move(description)) {}

std::string errorDescription(long number) {
  switch (number) {
    case 5: return "无效的过程调用或参数";
    case 6: return "溢出";
    case 9: return "下标越界";
    case 11: return "除数为零";
    case 13: return "类型不匹配";
    case 53: return "文件未找到";
    case 76: return "路径未找到";
    case 91: return "对象变量或 With 块变量未设置";
    case 94: return "无效使用 Null";
    case 424: return "要求对象";
    case 429: return "ActiveX 部件不能创建对象";
    case 3021:
      return "BOF 或 EOF 中有一个是“真”，或者当前的记录已被删除，所需的操作要求一个当前的记录。";
    default: return "";
  }
}

void raise(long number) { throw VbError(number, errorDescription(number)); }

void raise(long number, std::string description) { throw VbError(number, std::move(description)); }

void raiseRequestEnd() { throw VbError(RequestEndError, ""); }

}  // namespace zurvafun

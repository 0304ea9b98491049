// The tags of the error log. A logged error reads
//   <date time>    \<group>, <method>: <description>
// where the group names the page the method came from. Every method and
// procedure that logs its errors is listed here once with its group; the
// error modes find a method's entry at compile time from the method's own
// name, so a logging method missing from the table does not compile.
#pragma once

#include <source_location>
#include <string>
#include <string_view>

namespace zurvafun {

enum class LogGroup { temp1, one, t1, temp, wwtemp };

constexpr std::string_view groupName(LogGroup group) {
  switch (group) {
    case LogGroup::temp1: return "temp1";
    case LogGroup::one: return "1";
    case LogGroup::t1: return "t1";
    case LogGroup::temp: return "temp";
    case LogGroup::wwtemp: return "wwtemp";
  }
  return "";
}

struct LogTag {
  std::string_view method;
  LogGroup group;
};

// clang-format off
inline constexpr LogTag kLogTags[] = {
    // temp1
    {"zurvaselect", LogGroup::temp1}, {"Write2File", LogGroup::temp1}, {"Msg", LogGroup::temp1},
    {"MD5", LogGroup::temp1}, {"Createpass", LogGroup::temp1}, {"md5_FF", LogGroup::temp1},
    {"md5_GG", LogGroup::temp1}, {"md5_HH", LogGroup::temp1}, {"md5_II", LogGroup::temp1},
    {"LShift", LogGroup::temp1}, {"str2bin", LogGroup::temp1}, {"RShift", LogGroup::temp1},
    {"RotateLeft", LogGroup::temp1}, {"AddUnsigned", LogGroup::temp1}, {"md5_F", LogGroup::temp1},
    {"md5_G", LogGroup::temp1}, {"md5_H", LogGroup::temp1}, {"md5_I", LogGroup::temp1},
    {"ConvertToWordArray", LogGroup::temp1}, {"WordToHex", LogGroup::temp1},
    // 1
    {"zurva_error", LogGroup::one}, {"Msg1", LogGroup::one}, {"MsgOut", LogGroup::one},
    {"clearcookies", LogGroup::one}, {"chkpostfrom", LogGroup::one}, {"chkreflash", LogGroup::one},
    {"loveb_add", LogGroup::one}, {"dj", LogGroup::one}, {"showerro", LogGroup::one},
    {"LastNextPage", LogGroup::one}, {"ChkPost", LogGroup::one}, {"fmoney", LogGroup::one},
    {"HtmlOut", LogGroup::one}, {"ChkBadWords", LogGroup::one}, {"ubbcode", LogGroup::one},
    {"pages", LogGroup::one}, {"IsValidEmail", LogGroup::one}, {"dj1", LogGroup::one},
    {"erroo", LogGroup::one}, {"FormatDT", LogGroup::one}, {"repla", LogGroup::one},
    {"showphoto", LogGroup::one}, {"showphoto1", LogGroup::one}, {"showstr", LogGroup::one},
    {"gradeshow", LogGroup::one}, {"adminflag", LogGroup::one}, {"Up_mes", LogGroup::one},
    {"Up_mes1", LogGroup::one}, {"Up_mes2", LogGroup::one}, {"sendinfo", LogGroup::one},
    {"admintop", LogGroup::one}, {"seach", LogGroup::one}, {"bbsphoto1", LogGroup::one},
    {"bbsphoto", LogGroup::one}, {"photonum", LogGroup::one}, {"ifshow", LogGroup::one},
    {"Backurl", LogGroup::one}, {"Safereplace", LogGroup::one}, {"formatnumber2", LogGroup::one},
    {"IsObjInstalled", LogGroup::one}, {"JoinChar", LogGroup::one}, {"mainseach", LogGroup::one},
    // t1
    {"d_vote", LogGroup::t1}, {"chklogin", LogGroup::t1}, {"mainshow", LogGroup::t1},
    // temp
    {"photo_show", LogGroup::temp}, {"memberinfo", LogGroup::temp}, {"memberphoto", LogGroup::temp},
    {"seach_result", LogGroup::temp}, {"seach_bz", LogGroup::temp}, {"myshow_info", LogGroup::temp},
    {"myshow_apply", LogGroup::temp}, {"myshow_save", LogGroup::temp},
    // wwtemp
    {"showurl", LogGroup::wwtemp}, {"mainiffriend", LogGroup::wwtemp},
    {"showxcphoto", LogGroup::wwtemp}, {"showmeminfo", LogGroup::wwtemp},
    {"admin_editinfo", LogGroup::wwtemp}, {"allcitymenu", LogGroup::wwtemp},
    {"msgfal", LogGroup::wwtemp}, {"SendSms", LogGroup::wwtemp},
};
// clang-format on

// The entry of `method`; a name missing from the table stops the compilation.
consteval LogTag logTagOf(std::string_view method) {
  for (const LogTag& tag : kLogTags)
    if (tag.method == method) return tag;
  throw "this method logs its errors but has no entry in kLogTags";
}

// The tag of the method a call is written in, found from the method's own
// name: as a defaulted parameter it is made at the call site.
//
//   template <class Body> auto logged(Body&& body, MethodTag tag = {});
//   Variant zurva::dj(...) { return logged([&](Variant& result) { ... }); }  // tag of "dj"
struct MethodTag {
  LogTag tag;

  consteval MethodTag(std::source_location here = std::source_location::current())
      : tag(logTagOf(methodName(here.function_name()))) {}
  constexpr MethodTag(LogTag t) : tag(t) {}

  // "Variant zurvafun::zurva::dj(const Variant&)" and the lambdas inside it
  // give "dj".
  static consteval std::string_view methodName(std::string_view function) {
    constexpr std::string_view kClass = "zurva::";
    const std::size_t at = function.find(kClass);
    if (at == std::string_view::npos) throw "the error modes serve the methods of class zurva";
    function.remove_prefix(at + kClass.size());
    return function.substr(0, function.find('('));
  }
};

// The log message of an error: "\<group>, <method>: <description>".
std::string logMessage(LogTag tag, std::string_view description);

}  // namespace zurvafun

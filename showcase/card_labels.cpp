#include "showcase/card_labels.h"

#include "profile/code_tables.h"

namespace zurvafun::showcase {

std::string_view sexLabel(std::string_view code) { return codes::labelOrEmpty(codes::kSex, code); }
std::string_view maritalLabel(std::string_view code) { return codes::labelOrEmpty(codes::kMarital, code); }
std::string_view educationLabel(std::string_view code) {
  return codes::labelOrEmpty(codes::kEducationShown, code);
}
std::string_view occupationLabel(std::string_view code) {
  return codes::labelOrEmpty(codes::kOccupation, code);
}
std::string_view incomeLabel(std::string_view code) { return codes::labelOrEmpty(codes::kIncome, code); }

std::string looksLabel(std::string_view code) {
  if (code == "0") return "未填";
  if (code == "f") return "满分";
  if (code.empty()) return "";  // no rating stored
  return std::string(code) + "分";
}

}  // namespace zurvafun::showcase

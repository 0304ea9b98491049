#include "framework/viewer.h"

#include "framework/numbers.h"

namespace zurvafun {

bool Viewer::isMember() const { return ne(member("username"), ""); }

bool Viewer::isAdministrator() const { return ne(admin("admin_name"), ""); }

std::int32_t Viewer::userid() const { return CLng(member("userid")); }

std::optional<std::int32_t> Viewer::memberNumber() const {
  return numbers::digits(member("userid"));
}

double Viewer::grade() const {
  const Variant grade = member("grade");
  return IsNumeric(grade) ? toNumber(grade) : 0;
}

}  // namespace zurvafun

#include "framework/viewer.h"

#include <cmath>

namespace zurvafun {

bool Viewer::isMember() const { return ne(member("username"), ""); }

bool Viewer::isAdministrator() const { return ne(admin("admin_name"), ""); }

std::int32_t Viewer::userid() const { return CLng(member("userid")); }

std::optional<std::int32_t> Viewer::memberNumber() const {
  const Variant userid = member("userid");
  if (userid.isEmpty() || !IsNumeric(userid)) return std::nullopt;
  const double number = toNumber(userid);
  if (!(std::abs(number) <= 2147483647.0) || number != std::floor(number)) return std::nullopt;
  return std::int32_t(number);
}

double Viewer::grade() const {
  const Variant grade = member("grade");
  return IsNumeric(grade) ? toNumber(grade) : 0;
}

}  // namespace zurvafun

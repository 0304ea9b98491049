#include "interaction/request_checks.h"

#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun::interaction {

namespace {

// The converted number, or std::nullopt when the value is no number or the
// conversion overflows.
template <class Convert>
auto converted(const Variant& value, Convert convert) -> std::optional<decltype(convert(value))> {
  if (value.isEmpty() || value.isNull() || !IsNumeric(value) || Len(value.str()) > 15)
    return std::nullopt;
  try {
    return convert(value);
  } catch (const VbError& e) {
    if (e.number() != err::Overflow) throw;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> wholeNumber(const Variant& value) {
  return converted(value, [](const Variant& v) { return CLng(v); });
}

std::optional<std::int16_t> smallNumber(const Variant& value) {
  return converted(value, [](const Variant& v) { return CInt(v); });
}

void endWithMessage(zurva& z, const Variant& text, const Variant& gourl, const Variant& msgtype) {
  z.Msg(text, gourl, msgtype);
  raiseRequestEnd();  // Msg has ended the request; should it ever return, stop here all the same
}

std::int32_t loggedInMemberOrRefuse(zurva& z, const Viewer& viewer) {
  const std::optional<std::int32_t> userid = viewer.memberNumber();
  if (!viewer.isMember() || !userid) endWithMessage(z, "非法操作", "-2", 2);
  return *userid;
}

std::int32_t wholeNumberOrRefuse(zurva& z, const Variant& value, std::string_view message) {
  if (const auto number = wholeNumber(value)) return *number;
  endWithMessage(z, message, "-1", 1);
}

std::int16_t smallNumberOrRefuse(zurva& z, const Variant& value, std::string_view message) {
  if (const auto number = smallNumber(value)) return *number;
  endWithMessage(z, message, "-1", 1);
}

}  // namespace zurvafun::interaction

#include "interaction/request_checks.h"

#include "framework/numbers.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun::interaction {

void endWithMessage(zurva& z, const Variant& text, const Variant& gourl, const Variant& msgtype) {
  z.Msg(text, gourl, msgtype);
  raiseRequestEnd();  // Msg has ended the request; should it ever return, stop here all the same
}

std::int32_t loggedInMemberOrRefuse(zurva& z, const Viewer& viewer) {
  const std::optional<std::int32_t> userid = viewer.memberNumber();
  if (!viewer.isMember() || !userid) endWithMessage(z, "非法操作", "-2", 2);
  return *userid;
}

std::int32_t guardedOrRefuse(zurva& z, const Variant& value, std::string_view message) {
  if (const auto number = numbers::guarded(value)) return *number;
  endWithMessage(z, message, "-1", 1);
}

std::int16_t guarded16OrRefuse(zurva& z, const Variant& value, std::string_view message) {
  if (const auto number = numbers::guarded16(value)) return *number;
  endWithMessage(z, message, "-1", 1);
}

}  // namespace zurvafun::interaction

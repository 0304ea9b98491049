// What the interaction pages take from the request, checked: the logged-in
// member, and numbers (member, gift and party numbers, ages) converted before
// they reach a statement or a link, so that text which is not a number never
// does; and the refusals that end a request through Msg.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/variant.h"

namespace zurvafun {
class zurva;
class Viewer;
}

namespace zurvafun::interaction {

// Msg(text, gourl, msgtype), which always ends the request: a refusal, or the
// message that reports what a handler did. For the compiler it does not return.
[[noreturn]] void endWithMessage(zurva& z, const Variant& text, const Variant& gourl, const Variant& msgtype);

// The logged-in member's number; a visitor without a member login, or with a
// cookie that holds no member number, gets Msg("非法操作", "-2", 2).
std::int32_t loggedInMemberOrRefuse(zurva& z, const Viewer& viewer);

// The number as numbers::guarded / numbers::guarded16 read it (what the
// numeric guard lets through, converted as CLng / CInt), or the alert
// `message` and one page back.
std::int32_t guardedOrRefuse(zurva& z, const Variant& value,
                             std::string_view message = "请求错误！");
std::int16_t guarded16OrRefuse(zurva& z, const Variant& value,
                               std::string_view message = "请求错误！");

}  // namespace zurvafun::interaction

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

// The whole number of a value (CLng's rounding), or std::nullopt for a value
// that is absent or empty, is not a number, is longer than 15 characters (the
// numeric guard's limit) or lies outside 32 bits.
std::optional<std::int32_t> wholeNumber(const Variant& value);
// The same within 16 bits (CInt), for the values that are 16-bit numbers.
std::optional<std::int16_t> smallNumber(const Variant& value);

// Msg(text, gourl, msgtype), which always ends the request: a refusal, or the
// message that reports what a handler did. For the compiler it does not return.
[[noreturn]] void endWithMessage(zurva& z, const Variant& text, const Variant& gourl, const Variant& msgtype);

// The logged-in member's number; a visitor without a member login, or with a
// cookie that holds no member number, gets Msg("非法操作", "-2", 2).
std::int32_t loggedInMemberOrRefuse(zurva& z, const Viewer& viewer);

// wholeNumber / smallNumber, or the alert `message` and one page back.
std::int32_t wholeNumberOrRefuse(zurva& z, const Variant& value,
                                 std::string_view message = "请求错误！");
std::int16_t smallNumberOrRefuse(zurva& z, const Variant& value,
                                 std::string_view message = "请求错误！");

}  // namespace zurvafun::interaction

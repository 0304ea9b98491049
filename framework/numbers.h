// The rules by which a method reads a number from a request value, a cookie
// or a stored text. Each rule is named for what it lets through; a value the
// rule refuses gives std::nullopt, and the caller answers with its own
// message. Every method reads its numbers through one of these.
//
//   digits     the plain whole number: ids, codes and ages that go into a
//              statement or a link as written;
//   guarded    what the numeric guard `pages` lets through, converted as
//              CLng converts it (guarded16: as CInt);
//   floored    any number, rounded down (a position in a list);
//   clampedPage, roundedPage  a page number that passed `pages`, kept
//              within the pages (its integer part, or rounded).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/variant.h"

namespace zurvafun::numbers {

// Text: blanks around it, an optional "+" or "-", then one to ten decimal
// digits, within 32 bits. A number value (not a Boolean) that is whole and
// within 32 bits. Refused: Empty, Null, Booleans, "", "1.5", "1,000",
// "&H10", "1e3", "12a".
std::optional<std::int32_t> digits(const Variant& value);
std::optional<std::int32_t> digits(std::string_view text);

// Text the language reads as a number ("1,000", "&H10", "1.5", "1e3") of at
// most 15 characters, and number values, rounded as CLng rounds (half to
// even: "2.5" gives 2). Refused: Empty, Null, text that is no number or
// longer than 15 characters, and what lies outside 32 bits.
std::optional<std::int32_t> guarded(const Variant& value);
// The same rounded as CInt, within 16 bits.
std::optional<std::int16_t> guarded16(const Variant& value);

// Any value the language reads as a number, rounded down ("2.9" gives 2,
// "-0.5" gives -1). Refused: Empty, "", Null and text that is no number.
std::optional<double> floored(const Variant& value);

// A page number that passed `pages`: its integer part (toward zero); a
// missing or empty value gives 1. Kept within 1..pageCount.
long clampedPage(const Variant& value, long pageCount);
// The same rounded as CLng rounds ("2.5" gives 2, "3.5" gives 4).
long roundedPage(const Variant& value, long pageCount);

}  // namespace zurvafun::numbers

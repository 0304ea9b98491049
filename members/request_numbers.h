// Numbers that the member pages take from the request: member, story and
// party ids, and page numbers. The numeric guard `pages` lets through any
// text the language reads as a number ("1,000", "&H10", "1.5", "1e3"); an id
// must be a plain whole number before it reaches a statement or a link.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/variant.h"

namespace zurvafun::members {

// The whole number a request value spells: blanks around it, an optional
// sign, then decimal digits only, within 32 bits. std::nullopt for anything
// else (Empty, Null, "", "1.5", "1,000", "&H10", "1e3", "12a").
std::optional<std::int32_t> wholeNumber(const Variant& value);

// A page number that passed `pages`: its integer part (toward zero); a
// missing or empty value gives 1. Kept within 1..pageCount.
long clampedPage(const Variant& value, long pageCount);

}  // namespace zurvafun::members

// Pieces of the member search conditions shared by the advanced search's
// condition builder and the home page's quick search: the birth-year bounds
// of an age range, the place of residence, and the checks every posted value
// passes before it enters the statement text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/sql.h"
#include "runtime/variant.h"

namespace zurvafun::search {

// The calendar year of the component's clock.
int currentYear();

// The sex code of a posted value: 576 or 577; anything else raises 13.
int sexCode(const Variant& sex);

// A bound the member may leave open: an absent or empty value is no bound;
// anything else is a 16-bit whole number (13 or 6 when it is not one).
std::optional<std::int16_t> bound(const Variant& value);
// The same as stored text: "" or the decimal number.
std::string boundText(const std::optional<std::int16_t>& n);
std::string boundText(const Variant& value);

// A place criterion is chosen when it is neither "0" nor empty.
bool chosen(const Variant& place);

// " and cast(left(userdata,4) as int)<=" (year - agefrom) and the same ">="
// (year - ageto): members whose age lies in the range. The ages are 16-bit
// whole numbers (an absent one counts as 0).
sql::Statement ageCondition(const Variant& agefrom, const Variant& ageto);
// The same range on the birth year derived from userdata (ud_birthyear),
// read from the indexes that hold it. It takes in the members ageCondition takes in where every
// birth year converts; a birth year that does not is NULL there, where
// ageCondition raises the conversion error.
sql::Statement derivedAgeCondition(const Variant& agefrom, const Variant& ageto);

// The number of members listings show of sex `sex` whose birth year lies in
// the range (of those derivedAgeCondition takes in), from the counts the
// database keeps by sex and birth year.
sql::Statement derivedAgeCount(int sex, const Variant& agefrom, const Variant& ageto);

// The place of residence (item 5 of userdata, "province-city"): the whole
// province and the whole city, each when chosen. Nothing when neither is.
sql::Statement residenceCondition(const Variant& province, const Variant& city);

// The native region (item 4 of userdata), compared as a whole item.
sql::Statement nativeRegionCondition(const Variant& region);

}  // namespace zurvafun::search

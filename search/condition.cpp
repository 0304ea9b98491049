#include "search/condition.h"

#include <utility>

#include "model/member_record.h"
#include "runtime/dates.h"
#include "runtime/error.h"

namespace zurvafun::search {

int currentYear() { return fromSerial(clockNow()).year; }

int sexCode(const Variant& sex) {
  if (!eq(sex, "") && IsNumeric(sex)) {
    const double code = toNumber(sex);
    if (code == member::kMan || code == member::kWoman) return int(code);
  }
  raise(err::TypeMismatch);
}

std::optional<std::int16_t> bound(const Variant& value) {
  if (eq(value, "")) return std::nullopt;
  return CInt(value);
}

std::string boundText(const std::optional<std::int16_t>& n) {
  return n ? std::to_string(*n) : std::string();
}

std::string boundText(const Variant& value) { return boundText(bound(value)); }

bool chosen(const Variant& place) { return ne(place, "0") && ne(place, ""); }

namespace {

// The latest and the earliest birth year of an age range.
std::pair<int, int> birthYears(const Variant& agefrom, const Variant& ageto) {
  const int year = currentYear();
  const int latest = year - CInt(agefrom);
  return {latest, year - CInt(ageto)};
}

}  // namespace

sql::Statement ageCondition(const Variant& agefrom, const Variant& ageto) {
  const auto [latest, earliest] = birthYears(agefrom, ageto);
  return sql::statement(
      " and cast(left(userdata,4) as int)<={} and cast(left(userdata,4) as int)>={}", latest, earliest);
}

sql::Statement derivedAgeCondition(const Variant& agefrom, const Variant& ageto) {
  const auto [latest, earliest] = birthYears(agefrom, ageto);
  // "+0": the bounds are read from the order index the list walks, not a
  // range of the age index that would have every match sorted.
  return sql::statement(" and ud_birthyear+0<={} and ud_birthyear+0>={}", latest, earliest);
}

sql::Statement derivedAgeCount(int sex, const Variant& agefrom, const Variant& ageto) {
  const auto [latest, earliest] = birthYears(agefrom, ageto);
  return sql::statement(
      "select sum(members) from zurva_birthyear_counts where sex={} and birthyear<={} and "
      "birthyear>={}",
      sex, latest, earliest);
}

// Items 0 to 4 hold no "-", so the first "-" of userdata is the one of the
// place of residence. The province is the text between the "#" before it and
// that "-"; the city the text from that "-" up to the next "#". Both tests
// read whole items, so names of any length match, and they never fail on a
// malformed row (a row without "-" simply does not match).
sql::Statement residenceCondition(const Variant& province, const Variant& city) {
  sql::Statement condition;
  if (chosen(province)) {
    condition += sql::statement(" and LEFT(userdata,CHARINDEX('-',userdata)) like '%#{}-'",
                                sql::text(sql::likeLiteral(province.str())));
  }
  if (chosen(city)) {
    condition +=
        sql::statement(" and SUBSTRING(userdata,CHARINDEX('-',userdata)+1,255) like '{}#%'",
                       sql::text(sql::likeLiteral(city.str())));
  }
  return condition;
}

// The native region starts at character 13 (items 0 to 3 have fixed widths)
// and ends at the next "#".
sql::Statement nativeRegionCondition(const Variant& region) {
  return sql::statement(" and SUBSTRING(userdata,13,255) like '{}#%'", sql::text(sql::likeLiteral(region.str())));
}


}  // namespace zurvafun::search

// The region menu texts of the settings row (zurva_system, row 1): citymenu,
// from which the province selects are made, and maincitymenu, whose entries
// the province and city pages and their galleries are indexed by. One copy
// for the process, read again only when the settings row has changed
// (framework/data_versions.h); a database that keeps no record of its changes
// is read at every call.
//
// Region menu text: records separated by kRecordSeparator, the fields of a
// record by kFieldSeparator (twelve characters, not the ten of the site
// settings). Field 0 may be "||||" (the whole province), field 1 is the
// province, field 2 the city.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::regions {

inline constexpr std::string_view kRecordSeparator = "@@@@@@";
inline constexpr std::string_view kFieldSeparator = "<><><><><><>";

struct MenuTexts {
  bool row = false;          // the settings row exists
  std::string citymenu;      // a Null text reads as ""
  std::string maincitymenu;  // a Null text reads as ""
  // maincitymenu split into its records, each into its fields.
  std::vector<std::vector<std::string>> mainRecords;
  // Field 1 of those records ("" for a record without one), each once, in
  // the order first seen: the provinces the province pages are indexed by.
  std::vector<std::string> mainProvinces;
  // Whether every record of maincitymenu has its province field.
  bool mainComplete = true;
};

// Field `index` of a menu record, "" when the record has none.
inline std::string_view field(const std::vector<std::string>& record, std::size_t index) {
  return index < record.size() ? std::string_view(record[index]) : std::string_view();
}

// The texts of `database` (its file, open on `conn`) as they stand.
std::shared_ptr<const MenuTexts> menuTexts(db::Connection& conn, const std::string& database);

}  // namespace zurvafun::regions

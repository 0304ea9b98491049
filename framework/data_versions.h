// Where the data that the process keeps copies of stands: the database's
// record of changes (tables zurva_versions and zurva_member_changes, kept by
// the triggers of the schema, model/schema.cpp) tells whether anything such a
// copy was made from changed since, and for the member rows which members to
// read again to bring a copy up to date.
//   - the member rows as the galleries, their cards and the member lists
//     read them (a login, a balance or a message changes none of it);
//   - the settings row (zurva_system: the region menus);
//   - the polls (table vote).
//
//   std::optional<data_versions::Stamp> now = data_versions::members(conn, file);
//   if (now && *now == copy->stamp) ...  // still right
//   if (auto ids = data_versions::changedMembers(conn, copy->stamp, *now, 256))
//     ...  // read the members *ids again
//
// Every server sharing the database reads the same record, so a copy made by
// one server notices the changes another server made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::data_versions {

struct Stamp {
  // A number drawn when the database was made: stamps of two databases never
  // compare equal.
  std::int64_t database = 0;
  // Moves by one with every recorded change.
  std::int64_t version = 0;
  friend bool operator==(const Stamp&, const Stamp&) = default;
  // Both stamps are of one database and this one is the later (or the same).
  bool atOrAfter(const Stamp& other) const {
    return database == other.database && version >= other.version;
  }
};

// The stamps of the member rows, the settings row and the polls of
// `database` (its file, open on `conn`) as they stand now; std::nullopt when
// the database keeps no record (one made before the record existed), or it
// cannot be read: then nothing made from those rows may be kept.
//
// Each thread reads the record again only when this process has committed
// something since it last read it (db::commitCount()), or a second has
// passed: a change made by another process (another server sharing the
// database) is seen within the second.
std::optional<Stamp> members(db::Connection& conn, const std::string& database);
std::optional<Stamp> settingsRow(db::Connection& conn, const std::string& database);
std::optional<Stamp> polls(db::Connection& conn, const std::string& database);

// The members recorded as changed after `from` up to `to` (both of one
// database, `to` the later), each once, in ascending order; std::nullopt when
// they are more than `most` changes or the record no longer reaches back to
// `from`: then a copy is to be made afresh.
std::optional<std::vector<std::int32_t>> changedMembers(db::Connection& conn, const Stamp& from,
                                                        const Stamp& to, std::size_t most);

}  // namespace zurvafun::data_versions

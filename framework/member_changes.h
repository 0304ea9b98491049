// Where the member rows of a database stand, as the galleries and their cards
// read them: the database's record of changes (tables zurva_versions and
// zurva_member_changes, kept by the triggers of the schema, db/schema.cpp)
// tells whether anything such a list reads changed since a copy of it was
// made, and which members to read again to bring the copy up to date.
//
//   std::optional<member_changes::Stamp> now = member_changes::current(conn);
//   if (now && *now == copy->stamp) ...                        // still right
//   if (auto ids = member_changes::changed(conn, copy->stamp, *now, 256)) ...  // read ids again
//
// Every server sharing the database reads the same record, so a copy made by
// one server notices the changes another server made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::member_changes {

struct Stamp {
  // A number drawn when the database was made: stamps of two databases never compare equal.
  std::int64_t database = 0;
  // Moves by one with every recorded change.
  std::int64_t version = 0;
  friend bool operator==(const Stamp&, const Stamp&) = default;
  // Both stamps are of one database and this one is the later (or the same).
  bool atOrAfter(const Stamp& other) const {
    return database == other.database && version >= other.version;
  }
};

// The stamp of the member rows as `conn` reads them now; std::nullopt when the
// database keeps no record (one made before the record existed), or it cannot
// be read: then nothing made from the member rows may be kept.
std::optional<Stamp> current(db::Connection& conn);

// The members recorded as changed after `from` up to `to` (both of one
// database, `to` the later), each once, in ascending order; std::nullopt when
// they are more than `most` changes or the record no longer reaches back to
// `from`: then a copy is to be made afresh.
std::optional<std::vector<std::int32_t>> changed(db::Connection& conn, const Stamp& from,
                                                 const Stamp& to, std::size_t most);

}  // namespace zurvafun::member_changes

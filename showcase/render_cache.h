// What the showcase and the galleries keep on a worker thread between calls,
// for as long as nothing it was made from has changed: the version of the
// database (every commit of another connection and every change made on this
// one moves it), and the cards rendered for guests (whose cards depend only
// on the database, the site settings and the year, not on who asks).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "framework/site_settings.h"
#include "runtime/variant.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::showcase {

// The change counters of the database as `conn` sees them: SQLite's data
// version (moved by the commits of other connections) and the number of rows
// this connection has changed.
struct DatabaseVersion {
  Variant dataVersion;
  Variant changes;
  bool operator==(const DatabaseVersion& other) const {
    return eq(dataVersion, other.dataVersion) && eq(changes, other.changes);
  }
};
DatabaseVersion databaseVersion(db::Connection& conn);

// Everything a guest's card is made from besides its own key. Cards made
// from the showcase list alone leave the database out (an empty version).
struct RenderStamp {
  std::string database;  // the database file
  DatabaseVersion version;
  std::shared_ptr<const SiteSettings> settings;  // held, so that its address is never reused
  int year = 0;
};

// What a card is made from: the database's rows too, or the showcase list only.
enum class CardSource { Database, List };

// Rendered cards by key, for one stamp.
class RenderCache {
 public:
  // The card of `key`, or nullptr.
  const std::string* find(const std::string& key) const;
  void put(const std::string& key, std::string html);

 private:
  friend RenderCache& renderCache(CardSource source, const RenderStamp& stamp);
  RenderStamp stamp_;
  std::unordered_map<std::string, std::string> cards_;
};

// This thread's cache for cards of `source`, emptied first when `stamp`
// differs from the one its cards were made under.
RenderCache& renderCache(CardSource source, const RenderStamp& stamp);

}  // namespace zurvafun::showcase

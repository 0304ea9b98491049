#include "showcase/render_cache.h"

#include "db/db.h"

namespace zurvafun::showcase {

namespace {

// Cards kept at most per thread (a few megabytes): enough for every entry of
// a showcase list of a few hundred in each layout.
constexpr std::size_t kMostCards = 1024;

}  // namespace

DatabaseVersion databaseVersion(db::Connection& conn) {
  // Two statements the handle keeps prepared: the pragma's table form would
  // prepare the pragma anew at every run.
  db::Recordset version = conn.Execute("PRAGMA data_version");
  db::Recordset changes = conn.Execute("select total_changes()");
  return {version(0), changes(0)};
}

const std::string* RenderCache::find(const std::string& key) const {
  const auto found = cards_.find(key);
  return found == cards_.end() ? nullptr : &found->second;
}

void RenderCache::put(const std::string& key, std::string html) {
  if (cards_.size() >= kMostCards) cards_.clear();
  cards_[key] = std::move(html);
}

RenderCache& renderCache(CardSource source, const RenderStamp& stamp) {
  thread_local RenderCache caches[2];
  RenderCache& cache = caches[source == CardSource::Database ? 0 : 1];
  const RenderStamp& kept = cache.stamp_;
  if (kept.database != stamp.database || !(kept.version == stamp.version) || kept.settings != stamp.settings ||
      kept.year != stamp.year) {
    cache.cards_.clear();
    cache.stamp_ = stamp;
  }
  return cache;
}

}  // namespace zurvafun::showcase

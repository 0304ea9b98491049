#include "showcase/gallery_pool.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "db/db.h"

namespace zurvafun::showcase {

void GalleryPool::add(std::int32_t id, double money, bool placed) {
  (placed ? placed_ : others_).push_back({money, id});
  ids_.push_back(id);
}

void GalleryPool::finish() {
  std::sort(placed_.begin(), placed_.end(), before);
  std::sort(others_.begin(), others_.end(), before);
  for (std::size_t begin = 0; begin < others_.size();) {
    std::size_t end = begin + 1;
    while (end < others_.size() && others_[end].money == others_[begin].money) ++end;
    runs_.emplace_back(begin, end);
    begin = end;
  }
  count_ = long(ids_.size());
  if (count_ > 0) {
    top_ = *std::max_element(ids_.begin(), ids_.end());
    bound_ = top_;
    if (count_ > 8) {
      std::nth_element(ids_.begin(), ids_.begin() + 8, ids_.end());
      bound_ = ids_[8];
    }
  }
  ids_ = {};
}

std::vector<std::int32_t> GalleryPool::window(std::int32_t pick, std::size_t n) const {
  std::vector<std::int32_t> ids;
  // The unplaced candidates at or below the pick, run by run: each run holds
  // one amount, its members numbered from the highest down.
  std::size_t run = 0, at = 0, end = 0;
  const auto nextRun = [&] {
    while (run < runs_.size()) {
      const auto [begin, stop] = runs_[run++];
      at = std::size_t(std::partition_point(others_.begin() + long(begin), others_.begin() + long(stop),
                                            [&](const Member& m) { return m.id > pick; }) -
                       others_.begin());
      end = stop;
      if (at < end) return;
    }
    at = end = 0;
  };
  nextRun();
  std::size_t placed = 0;
  while (ids.size() < n) {
    const bool havePlaced = placed < placed_.size();
    const bool haveOther = at < end;
    if (!havePlaced && !haveOther) break;
    if (haveOther && (!havePlaced || before(others_[at], placed_[placed]))) {
      ids.push_back(others_[at++].id);
      if (at == end) nextRun();
    } else {
      ids.push_back(placed_[placed++].id);
    }
  }
  return ids;
}

std::shared_ptr<const GalleryPool> galleryPool(db::Connection& conn, const std::string& database,
                                               const DatabaseVersion& version, const sql::Statement& candidates) {
  struct Stored {
    DatabaseVersion version;
    std::shared_ptr<const GalleryPool> pool;
  };
  thread_local std::unordered_map<std::string, Stored> store;

  const std::string key = database + '\n' + candidates.str();
  if (auto found = store.find(key); found != store.end() && found->second.version == version) {
    return found->second.pool;
  }
  auto pool = std::make_shared<GalleryPool>();
  for (db::Recordset rs = conn.Execute(candidates); !rs.eof(); rs.MoveNext()) {
    const Variant money = rs(1);
    pool->add(CLng(rs(0)), money.isNull() ? -std::numeric_limits<double>::infinity() : CDbl(money),
              eq(rs(2), 1));
  }
  pool->finish();
  if (store.size() >= 64) store.clear();  // galleries of many regions: start over
  store[key] = {version, pool};
  return pool;
}

}  // namespace zurvafun::showcase

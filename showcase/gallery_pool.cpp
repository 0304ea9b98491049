#include "showcase/gallery_pool.h"

#include <algorithm>
#include <limits>

#include "framework/rebuilds.h"
#include "runtime/kept.h"

namespace zurvafun::showcase {

void GalleryPool::finish() {
  std::sort(adding_.begin(), adding_.end(), ById{});
  adding_.erase(std::unique(adding_.begin(), adding_.end(),
                            [](const Candidate& a, const Candidate& b) { return a.id == b.id; }),
                adding_.end());
  std::vector<Ranked> placed, others;
  for (const Candidate& c : adding_) (c.placed ? placed : others).push_back({c.money, c.id});
  std::sort(placed.begin(), placed.end(), Before{});
  std::sort(others.begin(), others.end(), Before{});
  placed_.assign(placed);
  others_.assign(others);
  byId_.assign(adding_);
  adding_ = {};
  recount();
}

void GalleryPool::recount() {
  top_ = bound_ = 0;
  if (byId_.empty()) return;
  top_ = byId_.back().id;
  bound_ = top_;
  if (byId_.size() > 8) {
    auto p = byId_.begin();
    for (int i = 0; i < 8; ++i) byId_.next(p);
    bound_ = byId_.at(p).id;
  }
}

void GalleryPool::insert(const Candidate& c) {
  byId_.insert(c);
  (c.placed ? placed_ : others_).insert({c.money, c.id});
}

void GalleryPool::remove(std::int32_t id) {
  const Candidate* found = byId_.find({id, 0, false});
  if (!found) return;
  const Candidate c = *found;
  (c.placed ? placed_ : others_).erase({c.money, c.id});
  byId_.erase(c);
}

std::shared_ptr<const GalleryPool> GalleryPool::patched(const std::vector<std::int32_t>& changed,
                                                        const std::vector<Candidate>& rows) const {
  auto next = std::make_shared<GalleryPool>(*this);
  for (const std::int32_t id : changed) next->remove(id);
  for (const Candidate& row : rows) {
    next->remove(row.id);  // a member listed twice comes back once
    next->insert(row);
  }
  next->recount();
  return next;
}

std::vector<std::int32_t> GalleryPool::window(std::int32_t pick, std::size_t n) const {
  std::vector<std::int32_t> ids;
  // The unplaced candidates at or below the pick, run by run: each run holds
  // one amount, its members numbered from the highest down. `at` goes to the
  // first such member of the run it stands in, or of a later run.
  Order::Position at = others_.begin();
  const auto seekRun = [&] {
    while (!others_.atEnd(at)) {
      const double money = others_.at(at).money;
      at = others_.lowerBound({money, pick});
      if (!others_.atEnd(at) && others_.at(at).money == money) return;
    }
  };
  seekRun();
  Order::Position placed = placed_.begin();
  while (ids.size() < n) {
    const bool havePlaced = !placed_.atEnd(placed);
    const bool haveOther = !others_.atEnd(at);
    if (!havePlaced && !haveOther) break;
    if (haveOther && (!havePlaced || Before{}(others_.at(at), placed_.at(placed)))) {
      const double money = others_.at(at).money;
      ids.push_back(others_.at(at).id);
      others_.next(at);
      if (!others_.atEnd(at) && others_.at(at).money != money) seekRun();
    } else {
      ids.push_back(placed_.at(placed).id);
      placed_.next(placed);
    }
  }
  return ids;
}

namespace {

std::vector<Candidate> readCandidates(db::Connection& conn, const sql::Statement& candidates) {
  std::vector<Candidate> rows;
  for (db::Recordset rs = conn.Execute(candidates); !rs.eof(); rs.MoveNext()) {
    const Variant money = rs(1);
    rows.push_back({CLng(rs(0)),
                    money.isNull() ? -std::numeric_limits<double>::infinity() : CDbl(money),
                    eq(rs(2), 1)});
  }
  return rows;
}

// The candidate statement narrowed to the members `ids`.
sql::Statement onlyMembers(const sql::Statement& candidates, const std::vector<std::int32_t>& ids) {
  return sql::statement("{} and userid in ({})", candidates, sql::numberList(ids));
}

// Pools kept at most: the home page's and one per region page visited; past
// that, the process starts over.
constexpr std::size_t kMostPools = 512;

}  // namespace

std::shared_ptr<const GalleryPool> readGalleryPool(db::Connection& conn,
                                                   const sql::Statement& candidates) {
  auto pool = std::make_shared<GalleryPool>();
  for (const Candidate& c : readCandidates(conn, candidates)) pool->add(c.id, c.money, c.placed);
  pool->finish();
  return pool;
}

GalleryPools& GalleryPools::process() {
  static kept::InProcess<GalleryPools> pools;
  return pools;
}

void GalleryPools::clear() {
  std::unique_lock lock(mutex_);
  entries_.clear();
}

std::shared_ptr<GalleryPools::Entry> GalleryPools::entry(const std::string& key) {
  {
    std::shared_lock lock(mutex_);
    if (const auto found = entries_.find(key); found != entries_.end()) return found->second;
  }
  std::unique_lock lock(mutex_);
  if (entries_.size() >= kMostPools && !entries_.contains(key)) entries_.clear();
  std::shared_ptr<Entry>& e = entries_[key];
  if (!e) e = std::make_shared<Entry>();
  return e;
}

void GalleryPools::put(Entry& entry, const data_versions::Stamp& stamp,
                       std::shared_ptr<const GalleryPool> pool) {
  // A pool read at an earlier stamp than the one in place never replaces it.
  const std::shared_ptr<const Copy> kept = entry.copy.get();
  if (kept && kept->stamp.atOrAfter(stamp) && kept->stamp.version > stamp.version) return;
  entry.copy.set(std::make_shared<const Copy>(Copy{stamp, std::move(pool)}));
}

void GalleryPools::postRebuild(const std::shared_ptr<Entry>& entry,
                               const db::ConnectionParams& params, const std::string& database,
                               const sql::Statement& candidates) {
  if (entry->rebuildPosted) return;
  entry->rebuildPosted = true;
  rebuilds::post([entry, params, database, candidates] {
    std::optional<data_versions::Stamp> stamp;
    std::shared_ptr<const GalleryPool> pool;
    try {
      db::Connection conn;
      if (conn.Open(params) && (stamp = data_versions::members(conn, database)))
        pool = readGalleryPool(conn, candidates);
    } catch (...) {
    }
    std::lock_guard lock(entry->changing);
    entry->rebuildPosted = false;
    if (pool) put(*entry, *stamp, std::move(pool));
  });
}

std::shared_ptr<const GalleryPool> GalleryPools::pool(
    db::Connection& conn, const db::ConnectionParams& params, const std::string& database,
    const std::optional<data_versions::Stamp>& now, const sql::Statement& candidates) {
  if (!now) return readGalleryPool(conn, candidates);
  const std::shared_ptr<Entry> e = entry(database + '\n' + candidates.str());
  // A pool of this database (not of one made before it under the same name).
  const auto ours = [&](const std::shared_ptr<const Copy>& copy) {
    return copy && copy->stamp.database == now->database;
  };
  std::shared_ptr<const Copy> kept = e->copy.get();
  if (ours(kept) && kept->stamp.atOrAfter(*now)) return kept->pool;

  std::unique_lock<std::mutex> lock;
  if (!ours(kept)) {
    // No pool yet: the first page waits for it, and the pages that come
    // meanwhile wait for the same one.
    lock = std::unique_lock(e->changing);
    kept = e->copy.get();
    if (!ours(kept)) {
      std::shared_ptr<const GalleryPool> pool = readGalleryPool(conn, candidates);
      put(*e, *now, pool);
      return pool;
    }
  } else {
    // Behind: one page brings the pool up to date, the others use it as it is.
    lock = std::unique_lock(e->changing, std::try_to_lock);
    if (!lock) return kept->pool;
    kept = e->copy.get();
  }
  if (kept->stamp.atOrAfter(*now) || e->rebuildPosted) return kept->pool;
  const std::optional<std::vector<std::int32_t>> changed =
      data_versions::changedMembers(conn, kept->stamp, *now, kMostPatched);
  if (!changed) {
    postRebuild(e, params, database, candidates);
    return kept->pool;
  }
  std::shared_ptr<const GalleryPool> pool =
      changed->empty()
          ? kept->pool
          : kept->pool->patched(*changed, readCandidates(conn, onlyMembers(candidates, *changed)));
  put(*e, *now, pool);
  return pool;
}

}  // namespace zurvafun::showcase

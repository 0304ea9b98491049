// The members a home or city gallery may show: every candidate's member
// number, the money paid for the page's placement and whether he is placed
// on the page, kept in memory between calls so that a gallery call costs no
// scan of the member table.
//
// A pool is built from the candidate statement (userid, money, placed) and
// never changes afterwards; patched() gives a copy with some members read
// again, sharing the rest. GalleryPools keeps the process's pools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/db.h"
#include "framework/data_versions.h"
#include "framework/shared_copy.h"
#include "framework/sql.h"
#include "showcase/shared_sequence.h"

namespace zurvafun::showcase {

// One row of the candidate statement; `money` is -infinity for a Null amount
// (it ranks last).
struct Candidate {
  std::int32_t id = 0;
  double money = 0;
  bool placed = false;
};

class GalleryPool {
 public:
  void add(std::int32_t id, double money, bool placed) { adding_.push_back({id, money, placed}); }
  // Orders the candidates; call once after the last add.
  void finish();

  long count() const { return long(byId_.size()); }
  // The highest member number.
  std::int32_t top() const { return top_; }
  // The ninth-lowest member number, so that nine candidates lie at or below
  // it; the highest when there are eight or fewer.
  std::int32_t bound() const { return bound_; }

  // The first `n` member numbers in the gallery's order (money paid
  // descending, then member number descending) among the placed candidates
  // and those numbered `pick` or lower.
  std::vector<std::int32_t> window(std::int32_t pick, std::size_t n) const;

  // This pool with the members `changed` read again: each leaves the pool,
  // and those among `rows` (the candidate statement's rows of the changed
  // members as it reads them now) come back with their new money and place.
  std::shared_ptr<const GalleryPool> patched(const std::vector<std::int32_t>& changed,
                                             const std::vector<Candidate>& rows) const;

 private:
  struct Ranked {
    double money;
    std::int32_t id;
  };
  // The gallery's order: money descending, then member number descending.
  struct Before {
    bool operator()(const Ranked& a, const Ranked& b) const {
      return a.money > b.money || (a.money == b.money && a.id > b.id);
    }
  };
  struct ById {
    bool operator()(const Candidate& a, const Candidate& b) const { return a.id < b.id; }
  };
  using Order = SharedSequence<Ranked, Before>;

  void insert(const Candidate& c);
  void remove(std::int32_t id);
  // top_ and bound_ from the members.
  void recount();

  Order placed_;
  Order others_;
  SharedSequence<Candidate, ById> byId_;
  std::vector<Candidate> adding_;  // until finish()
  std::int32_t top_ = 0;
  std::int32_t bound_ = 0;
};

// The candidates of `candidates` (a select of userid, money and a 1/0 placed
// flag) on `conn`, as a finished pool.
std::shared_ptr<const GalleryPool> readGalleryPool(db::Connection& conn,
                                                   const sql::Statement& candidates);

// The process's gallery pools, one per database and candidate statement, for
// the life of the process. A pool is made on first use (the page that asks
// waits for it); a page that finds its pool behind the database's member
// rows (framework/data_versions.h) reads the changed members again and puts
// the patched pool in place, while other pages go on with the pool there is;
// when the record of changes no longer covers the gap (or it is large), the
// pool is made afresh on the rebuild thread (framework/rebuilds.h) and pages
// keep the old pool until then. Only one page or job changes a pool at a time.
class GalleryPools {
 public:
  static GalleryPools& process();

  // The pool of `candidates` in `database` (its file; `params` open it),
  // whose member rows stand at `now` as `conn` reads them (std::nullopt: the
  // database keeps no record of changes, and the pool is read afresh).
  std::shared_ptr<const GalleryPool> pool(db::Connection& conn, const db::ConnectionParams& params,
                                          const std::string& database,
                                          const std::optional<data_versions::Stamp>& now,
                                          const sql::Statement& candidates);

  // Drops every pool (kept::clearAll()); a rebuild under way
  // still finishes.
  void clear();

  // Changed members read again by the page that finds its pool behind; more
  // changes than this are left to the rebuild thread.
  static constexpr std::size_t kMostPatched = 256;

 private:
  struct Copy {
    data_versions::Stamp stamp;
    std::shared_ptr<const GalleryPool> pool;
  };
  struct Entry {
    SharedCopy<Copy> copy;
    std::mutex changing;         // held while the pool is made or patched
    bool rebuildPosted = false;  // under `changing`
  };

  std::shared_ptr<Entry> entry(const std::string& key);
  static void put(Entry& entry, const data_versions::Stamp& stamp,
                  std::shared_ptr<const GalleryPool> pool);
  static void postRebuild(const std::shared_ptr<Entry>& entry, const db::ConnectionParams& params,
                          const std::string& database, const sql::Statement& candidates);

  std::shared_mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Entry>> entries_;
};

}  // namespace zurvafun::showcase

// The members a home or city gallery may show: every candidate's member
// number, the money paid for the page's placement and whether he is placed
// on the page, kept in memory between calls so that a gallery call costs no
// scan of the member table.
//
// A pool is built from the candidate statement (userid, money, placed) and
// kept per thread and statement while the database is unchanged
// (showcase/render_cache.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/sql.h"
#include "showcase/render_cache.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::showcase {

class GalleryPool {
 public:
  // One candidate; `money` is -infinity for a Null amount (it ranks last).
  void add(std::int32_t id, double money, bool placed);
  // Orders the candidates; call once after the last add.
  void finish();

  long count() const { return count_; }
  // The highest member number.
  std::int32_t top() const { return top_; }
  // The ninth-lowest member number, so that nine candidates lie at or below
  // it; the highest when there are eight or fewer.
  std::int32_t bound() const { return bound_; }

  // The first `n` member numbers in the gallery's order (money paid
  // descending, then member number descending) among the placed candidates
  // and those numbered `pick` or lower.
  std::vector<std::int32_t> window(std::int32_t pick, std::size_t n) const;

 private:
  struct Member {
    double money;
    std::int32_t id;
  };
  static bool before(const Member& a, const Member& b) {
    return a.money > b.money || (a.money == b.money && a.id > b.id);
  }

  std::vector<Member> placed_;
  std::vector<Member> others_;
  // Runs of equal money in others_: [begin, end) index pairs.
  std::vector<std::pair<std::size_t, std::size_t>> runs_;
  std::vector<std::int32_t> ids_;  // while adding
  long count_ = 0;
  std::int32_t top_ = 0;
  std::int32_t bound_ = 0;
};

// The pool of `candidates` (a select of userid, money and a 1/0 placed flag)
// in database `database` on `conn`, from this thread's store when the
// database is still at `version`, the version it was built at.
std::shared_ptr<const GalleryPool> galleryPool(db::Connection& conn, const std::string& database,
                                               const DatabaseVersion& version, const sql::Statement& candidates);

}  // namespace zurvafun::showcase

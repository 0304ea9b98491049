// The guest cache as threads share it: each thread takes its own handle on
// the current pieces and must still see every replacement another thread
// makes, and a cache never hands out the pieces of another one.
#include "framework/guest_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace zurvafun {
namespace {

GuestStamp stampAt(std::int64_t version) {
  return {"t.db", data_versions::Stamp{7, version}, nullptr, 2026};
}

std::string pieceOf(GuestCache& cache, const GuestStamp& stamp) {
  std::string out;
  if (const auto pieces = cache.under(stamp)) pieces->appendTo("k", out);
  return out;
}

TEST(GuestCache, EveryThreadSeesThePiecesAnotherThreadStartedAndCleared) {
  GuestCache cache(8, true);
  cache.under(stampAt(1))->put("k", "one");
  EXPECT_EQ(pieceOf(cache, stampAt(1)), "one");  // this thread now holds its handle

  std::thread([&] {
    EXPECT_EQ(pieceOf(cache, stampAt(1)), "one");
    cache.under(stampAt(2))->put("k", "two");  // newer member rows start afresh
  }).join();
  EXPECT_EQ(pieceOf(cache, stampAt(2)), "two");
  EXPECT_EQ(cache.under(stampAt(1)), nullptr);  // rows older than the cache's are not kept

  std::thread([&] { cache.clear(); }).join();
  EXPECT_EQ(pieceOf(cache, stampAt(2)), "");
}

TEST(GuestCache, ACacheMadeWhereAnotherWasStartsEmpty) {
  std::optional<GuestCache> cache;
  cache.emplace(8, false);
  cache->under(stampAt(1))->put("k", "old");
  EXPECT_EQ(pieceOf(*cache, stampAt(1)), "old");
  cache.reset();
  cache.emplace(8, false);  // the same address
  EXPECT_EQ(pieceOf(*cache, stampAt(1)), "");
}

TEST(GuestCache, PiecesOfMemberRowsAreNotKeptWithoutTheirStamp) {
  GuestCache cache(8, true);
  GuestStamp stamp = stampAt(1);
  stamp.members.reset();
  EXPECT_EQ(cache.under(stamp), nullptr);
}

}  // namespace
}  // namespace zurvafun

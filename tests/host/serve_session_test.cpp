#include "host/serve/sessions.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace zurvafun::serve {
namespace {

using namespace std::chrono_literals;
using Clock = SessionStore::Clock;

std::shared_ptr<host::Session> session(std::string id) {
  auto s = std::make_shared<host::Session>();
  s->SessionID = std::move(id);
  return s;
}

TEST(ServeSessions, KeptUntilIdleForTheTimeout) {
  SessionStore store(20min, 10);
  const Clock::time_point t0{};
  const auto kept = session("a");
  kept->set("iwhere", Variant("sex=577"));
  store.add(kept, t0);

  EXPECT_EQ(store.find("unknown", t0), nullptr);
  auto found = store.find("a", t0 + 19min);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->session, kept);
  EXPECT_EQ(found->session->operator()("IWHERE").str(), "sex=577");
  // Each use starts the idle time again.
  EXPECT_NE(store.find("a", t0 + 38min), nullptr);
  EXPECT_EQ(store.find("a", t0 + 58min + 1s), nullptr);
  EXPECT_EQ(store.size(), 0u);
}

TEST(ServeSessions, FullStoreDropsTheLeastRecentlyUsed) {
  SessionStore store(1h, 3);
  const Clock::time_point t0{};
  store.add(session("a"), t0);
  store.add(session("b"), t0 + 1s);
  store.add(session("c"), t0 + 2s);
  ASSERT_NE(store.find("a", t0 + 3s), nullptr);  // "b" is now the least recently used
  store.add(session("d"), t0 + 4s);
  EXPECT_EQ(store.size(), 3u);
  EXPECT_EQ(store.find("b", t0 + 5s), nullptr);
  for (const char* id : {"a", "c", "d"}) EXPECT_NE(store.find(id, t0 + 5s), nullptr) << id;
}

TEST(ServeSessions, IdsAreRandom128BitHex) {
  std::set<std::string> ids;
  for (int i = 0; i < 100; ++i) {
    const std::string id = SessionStore::newId();
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
    ids.insert(id);
  }
  EXPECT_EQ(ids.size(), 100u);
}

TEST(ServeSessions, ConcurrentUseKeepsTheBound) {
  SessionStore store(1h, 50);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&store, t] {
      for (int i = 0; i < 500; ++i) {
        const std::string id = std::to_string(t) + "-" + std::to_string(i % 40);
        if (!store.find(id)) store.add(session(id));
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_LE(store.size(), 50u);
  EXPECT_GT(store.size(), 0u);
}

}  // namespace
}  // namespace zurvafun::serve

// Sessions kept in the database, on either backend: what one server stores
// another finds with every value's type, they end after the idle timeout,
// at most max_sessions are kept, and a request writes the row only when it
// must.
#include "host/serve/session_table.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support_db.h"

namespace zurvafun::serve {
namespace {

using testing::TestDatabase;

class SessionTableTest : public ::testing::Test, public TestDatabase {
 protected:
  void SetUp() override { ZURVA_SKIP_WITHOUT_BACKEND(); }

  static db::ConnectionParams params() { return {kServer, kUser, kPassword, kDatabase}; }

  static std::unique_ptr<SessionTable> table(double idleSeconds = 1200,
                                             std::size_t maxSessions = 100) {
    auto t = std::make_unique<SessionTable>(params(), idleSeconds, maxSessions);
    t->createTable();
    return t;
  }
  static std::shared_ptr<host::Session> session(const std::string& id) {
    auto s = std::make_shared<host::Session>();
    s->SessionID = id;
    return s;
  }
  static long rows() { return CLng(value("select count(*) from zurva_sessions")); }
  static double lastUsed(const std::string& id) {
    return CDbl(value("select lastused from zurva_sessions where id='" + id + "'"));
  }
  static constexpr SessionTable::Seconds t0 = 1.8e9;
};

// Two servers (two tables over one database) see each other's sessions, and
// the values come back with their types.
TEST_F(SessionTableTest, AnotherServerFindsTheValuesWithTheirTypes) {
  const auto one = table(), two = table();  // the second finds the table made
  auto s = session("a1");
  const struct {
    const char* name;
    Variant value;
  } values[] = {
      {"iwhere", Variant("sex=577 and city='北京'")},
      {"empty", Variant()},
      {"null", Variant::null()},
      {"flag", Variant(true)},
      {"small", Variant::integer(-7)},
      {"long", Variant::lng(2000000000)},
      {"double", Variant(0.1)},
      {"money", Variant::currencyScaled(12345678)},
      {"ReflashTime", Variant::date(46096.4309375)},
      {"list",
       Variant(VariantArray{Variant("x"), Variant::lng(3), Variant(VariantArray{Variant(false)})})},
  };
  for (const auto& v : values) s->set(v.name, v.value);
  one->add(*s, t0);

  SessionTable::Held held = two->find("a1", t0 + 1);
  ASSERT_NE(held.session, nullptr);
  EXPECT_EQ(held.session->SessionID, "a1");
  std::vector<std::string> names;
  for (const auto& v : values) names.push_back(v.name);
  EXPECT_EQ(held.session->names(), names);  // in the order they were set
  for (const auto& v : values) {
    const Variant got = (*held.session)(v.name);
    EXPECT_EQ(got.type(), v.value.type()) << v.name;
    if (!got.isArray()) {
      EXPECT_EQ(got.str(), v.value.str()) << v.name;
    }
  }
  const Variant list = (*held.session)("list");
  EXPECT_EQ(list[1].type(), VarType::Long);
  EXPECT_EQ(list[2][0].type(), VarType::Boolean);
  EXPECT_EQ((*held.session)("ReflashTime").dateValue(), 46096.4309375);
  EXPECT_EQ((*held.session)("double").doubleValue(), 0.1);

  // A change made through one server is what the other reads next.
  held.session->set("iwhere", Variant("sex=576"));
  held.session->remove("list");
  two->keep(held, t0 + 2);
  SessionTable::Held again = one->find("a1", t0 + 3);
  ASSERT_NE(again.session, nullptr);
  EXPECT_EQ((*again.session)("iwhere").str(), "sex=576");
  EXPECT_FALSE(again.session->contains("list"));
  EXPECT_EQ(one->find("unknown", t0 + 3).session, nullptr);
}

// A session ends after the idle timeout; each use that moves its last use
// on starts the idle time again.
TEST_F(SessionTableTest, EndsAfterTheIdleTimeout) {
  const auto t = table(100);
  auto s = session("b1");
  s->set("v", Variant("1"));
  t->add(*s, t0);
  {
    SessionTable::Held held = t->find("b1", t0 + 99);
    ASSERT_NE(held.session, nullptr);
    t->keep(held, t0 + 99);  // more than a tenth of the timeout on: moved
  }
  EXPECT_NE(t->find("b1", t0 + 198).session, nullptr);
  EXPECT_EQ(t->find("b1", t0 + 199.5).session, nullptr);
}

// Reading is one select; the row is written only when a value changed or its
// last use lies more than a step (a tenth of the timeout, at most a minute)
// back.
TEST_F(SessionTableTest, WritesOnlyWhenAValueChangedOrTheLastUseMustMoveOn) {
  const auto t = table(1200);
  auto s = session("c1");
  s->set("v", Variant("1"));
  t->add(*s, t0);
  const auto use = [&](SessionTable::Seconds now, bool change) {
    SessionTable::Held held = t->find("c1", now);
    ASSERT_NE(held.session, nullptr);
    if (change) held.session->set("v", Variant(std::to_string(now)));
    t->keep(held, now);
  };
  use(t0 + 30, false);
  EXPECT_EQ(lastUsed("c1"), t0);  // within the step: nothing written
  use(t0 + 61, false);
  EXPECT_EQ(lastUsed("c1"), t0 + 61);
  use(t0 + 62, true);
  EXPECT_EQ(lastUsed("c1"), t0 + 62);
  EXPECT_NE(
      value("select data from zurva_sessions where id='c1'").str().find(std::to_string(t0 + 62)),
      std::string::npos);
  use(t0 + 63, false);
  EXPECT_EQ(lastUsed("c1"), t0 + 62);
}

// At most max_sessions stay: the least recently used go first, and expired
// ones are swept away by a later new session.
TEST_F(SessionTableTest, KeepsAtMostMaxSessionsAndSweepsExpiredOnes) {
  const auto t = table(100, 3);
  for (int i = 0; i < 3; ++i) {
    auto s = session("d" + std::to_string(i));
    s->set("v", Variant::lng(i));
    t->add(*s, t0 + i);
  }
  {
    SessionTable::Held held = t->find("d0", t0 + 20);  // d1 is now the least recently used
    t->keep(held, t0 + 20);
  }
  auto d3 = session("d3");
  d3->set("v", Variant::lng(3));
  t->add(*d3, t0 + 21);
  EXPECT_EQ(rows(), 3);
  EXPECT_EQ(t->find("d1", t0 + 22).session, nullptr);
  for (const char* id : {"d0", "d2", "d3"}) EXPECT_NE(t->find(id, t0 + 22).session, nullptr) << id;

  auto late = session("d4");
  late->set("v", Variant::lng(4));
  t->add(*late, t0 + 500);  // the others have expired by then
  EXPECT_EQ(rows(), 1);
}

// A row that does not hold the values' text gives a session without values,
// never a failed request.
TEST_F(SessionTableTest, ADamagedRowGivesAnEmptySession) {
  const auto t = table();
  for (const char* data : {"not json", "[1,2]", R"({"v": [4, "not a number"]})"}) {
    run("delete from zurva_sessions");
    run("insert into zurva_sessions (id, data, lastused) values ('e1', ?, ?)",
        {Variant(data), Variant(t0)});
    SessionTable::Held held = t->find("e1", t0 + 1);
    ASSERT_NE(held.session, nullptr) << data;
    EXPECT_TRUE(held.session->names().empty()) << data;
  }
}

}  // namespace
}  // namespace zurvafun::serve

#include "framework/data_versions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/kept.h"
#include "tests/support_db.h"

namespace zurvafun::testing {
namespace {

using data_versions::Stamp;

class DataVersionsTest : public MemberDbTest {
 protected:
  void SetUp() override {
    MemberDbTest::SetUp();
    addMember({.userid = 1,
               .zurvauser = "ann@example.com",
               .nickname = "Ann",
               .digest = "59819a11775936d8"});
    addMember({.userid = 2, .zurvauser = "bob@example.com", .nickname = "Bob"});
  }
  // What the caches key this database by.
  static std::string key() { return db::databaseKey({kServer, kUser, kPassword, kDatabase}); }
  static Stamp now() {
    db::Connection conn = open();
    const std::optional<Stamp> stamp = data_versions::members(conn, key());
    if (!stamp) throw std::runtime_error("no record of member changes");
    return *stamp;
  }
  static std::optional<std::vector<std::int32_t>> changed(const Stamp& from, const Stamp& to,
                                                          std::size_t most = 100) {
    db::Connection conn = open();
    return data_versions::changedMembers(conn, from, to, most);
  }
};

// A login, a balance, a message and a value written unchanged leave the
// member rows as lists show them; every change of what they read is recorded
// with the member it concerns.
TEST_F(DataVersionsTest, OnlyChangesOfWhatListsShowAreRecorded) {
  const struct {
    const char* statement;
    std::vector<std::int32_t> recorded;
  } cases[] = {
      {"update zurva_user set lasttime='2026-03-15 10:00:00',loginip='10.0.0.9',logins=7 where "
       "userid=1",
       {}},
      {"update zurva_user set emoney=emoney-5,tuijian=1,iflianxi=3,moneytime='2026-03-15' where "
       "userid=2",
       {}},
      {"insert into Sendbooks(userid,senduserid,content) values(1,2,'hi')", {}},
      {"update zurva_user set nickname=nickname,ok=1,citymoney=0.0 where userid>0", {}},
      {"update zurva_user set nickname='ANN' where userid=1",
       {1}},  // the same to the collation, not to a card
      {"update zurva_user set smallphoto='smallphoto2.jpg1' where userid=2", {2}},
      {"update zurva_user set citymoney=7.5,maincity='#' where userid=1", {1}},
      {"update zurva_user set userdata=userdata||' ' where userid>0", {1, 2}},
      {"insert into zurva_user(userid,nickname) values(7,'new')", {7}},
      {"update zurva_user set userid=8 where userid=7", {7, 8}},
      {"delete from zurva_user where userid=8", {8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    const Stamp before = now();
    run(c.statement);
    const Stamp after = now();
    EXPECT_EQ(after.database, before.database);
    EXPECT_EQ(changed(before, after), c.recorded);
    EXPECT_EQ(after == before, c.recorded.empty());
  }

  // A real login writes its columns through an updatable recordset.
  const Stamp before = now();
  host::TestHost h;
  h.request().ServerVariables.set("REMOTE_ADDR", "10.0.0.7");
  h.request().Form.add("username", "ann@example.com");
  h.request().Form.add("password", "secret1");
  h.request().Form.add("log_type", "1");
  zurva z;
  z.chklogin(kServer, kUser, kPassword, kDatabase);
  ASSERT_EQ(value("select logins from zurva_user where userid=1").str(),
            "8");  // 7 above, and this one
  EXPECT_EQ(now(), before);
}

TEST_F(DataVersionsTest, ChangesAreToldWhileTheRecordReachesBack) {
  const Stamp start = now();
  for (int i = 0; i < 5; ++i)
    run("update zurva_user set grade=grade+1 where userid=" + std::to_string(1 + i % 2));
  const Stamp end = now();
  EXPECT_EQ(end.version, start.version + 5);
  EXPECT_EQ(changed(start, end), (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(changed(end, end), std::vector<std::int32_t>{});
  EXPECT_EQ(changed(start, end, 4), std::nullopt) << "more changes than asked for";
  EXPECT_EQ(changed(end, start), std::nullopt) << "backwards";
  EXPECT_EQ(changed({start.database + 1, start.version}, end), std::nullopt) << "another database";

  // Records older than the last changes go; a copy from before them is made afresh.
  run("delete from zurva_member_changes where version<=" + std::to_string(start.version + 1));
  EXPECT_EQ(changed(start, end), std::nullopt);
  EXPECT_EQ(changed({end.database, start.version + 2}, end), (std::vector<std::int32_t>{1, 2}));
}

// The settings row keeps a version of its own; a change another process
// makes (a raw handle here, which this process does not count) is seen
// within a second.
TEST_F(DataVersionsTest, TheSettingsRowHasAVersionOfItsOwn) {
  const std::string database = key();
  const auto settings = [&] {
    db::Connection conn = open();
    return data_versions::settingsRow(conn, database).value();
  };
  const data_versions::Stamp before = settings();
  const Stamp members = now();
  run("insert into zurva_system (id, citymenu) values (1, 'a')");
  EXPECT_EQ(settings().version, before.version + 1);
  EXPECT_EQ(now(), members);
  run("update zurva_user set nickname='x' where userid=1");
  EXPECT_EQ(settings().version, before.version + 1);

  runElsewhere("update zurva_system set citymenu='b' where id=1");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (settings().version != before.version + 2 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(settings().version, before.version + 2);
}

// What a thread read of the record is its own state: after kept::clearAll()
// it reads the record again at once, and sees a change of another process
// without waiting out the second.
TEST_F(DataVersionsTest, ClearingKeptStateReadsTheRecordAgain) {
  const Stamp before = now();
  runElsewhere("update zurva_user set nickname='x' where userid=1");
  kept::clearAll();
  EXPECT_EQ(now().version, before.version + 1);
}

// A database made anew under the same name is another database; one made
// before the record existed has no stamp.
TEST_F(DataVersionsTest, EachDatabaseHasItsOwnStampAndOldOnesNone) {
  const Stamp first = now();
  std::optional<Stamp> second;
  {
    TestDatabase other;  // the same file name in another folder
    db::Connection conn = open();
    second = data_versions::members(conn, key());
    ASSERT_TRUE(second);
    run("drop table zurva_versions");
    EXPECT_EQ(data_versions::members(conn, key()), std::nullopt);
  }
  EXPECT_NE(second->database, first.database);
  EXPECT_EQ(second->version, 0);
}

}  // namespace
}  // namespace zurvafun::testing

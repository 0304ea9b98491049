#include "site/seed.h"
#include "site/seed_cache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/db.h"
#include "model/member_record.h"
#include "model/regions.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun::seed {
namespace {

namespace fs = std::filesystem;
using Row = std::map<std::string, std::optional<std::string>>;

// Rows of a query on the raw file, every value as text (Null as nullopt).
std::vector<Row> query(const fs::path& file, const std::string& sql) {
  sqlite3* conn = nullptr;
  if (sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(conn);
    throw std::runtime_error("cannot open " + file.string());
  }
  db::registerDialect(conn);  // the collation ZV of the text columns
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(conn, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(conn);
    sqlite3_close(conn);
    throw std::runtime_error(message);
  }
  std::vector<Row> rows;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    Row row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      std::optional<std::string> value;
      if (sqlite3_column_type(stmt, i) != SQLITE_NULL) {
        value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      }
      row[sqlite3_column_name(stmt, i)] = value;
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(conn);
  return rows;
}

long count(const fs::path& file, const std::string& sql) { return std::stol(*query(file, sql)[0].begin()->second); }

class SeedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setClock([] { return toSerial({2026, 3, 1, 12, 0, 0}); });
    dir_ = fs::temp_directory_path() / ("zurva_seed_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    setClock({});
    fs::remove_all(dir_);
  }
  fs::path seeded(const std::string& name, int members, unsigned seed = 7) {
    fs::path file = dir_ / name;
    createDemoDatabase(file.string(), members, seed);
    return file;
  }
  fs::path dir_;
};

TEST_F(SeedTest, MembersFollowTheMemberRecord) {
  fs::path file = seeded("members.conn", 200);
  std::vector<Row> members = query(file, "SELECT * FROM zurva_user ORDER BY userid");
  ASSERT_EQ(members.size(), 200u);

  std::set<std::string> accounts, nicknames;
  std::set<std::pair<std::string_view, std::string_view>> pairs;
  for (const regions::City& c : regions::kCities) pairs.insert({c.province, c.city});
  std::map<std::string, int> grades;
  int withPhotos = 0, awaiting = 0;
  for (const Row& m : members) {
    SCOPED_TRACE(*m.at("userid"));
    const std::string userdata = *m.at("userdata");
    EXPECT_EQ(member::userDataProblem(userdata), "") << userdata;
    member::UserData d = member::readUserData(userdata);
    EXPECT_TRUE(pairs.count({d.residence.province, d.residence.city})) << userdata;
    EXPECT_TRUE(pairs.count({d.household.province, d.household.city})) << userdata;
    EXPECT_EQ(Mid(userdata, 8, 1), d.marital);

    int sex = std::stoi(*m.at("sex"));
    EXPECT_TRUE(member::isSexCode(sex));
    EXPECT_EQ(m.at("password")->find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(m.at("password")->size(), 16u);
    EXPECT_TRUE(accounts.insert(*m.at("zurvauser")).second);
    EXPECT_TRUE(nicknames.insert(*m.at("nickname")).second);
    EXPECT_LE(Len(*m.at("nickname")), 12);

    std::string visibility = member::readName(*m.at("name")).flag;
    EXPECT_TRUE(visibility >= "1" && visibility <= "4") << *m.at("name");
    std::string type = member::readIdNo(*m.at("idno")).flag;
    EXPECT_TRUE(type == "1" || type == "3") << *m.at("idno");
    member::Pay pay = member::readPay(*m.at("pay"));
    EXPECT_TRUE(pay.income >= "222" && pay.income <= "237" && pay.income.size() == 3);
    if (m.at("mobile")) {
      EXPECT_NE(member::readMobile(*m.at("mobile")).flag, "");
    }
    EXPECT_EQ(Split(*m.at("userbz"), "#").size(), 18u);
    EXPECT_EQ(member::readUserBz(*m.at("userbz")).items[member::kSex],
              std::to_string(member::oppositeSex(sex)));

    // trust = ok + an approved album picture + approved proof scans
    int trust = std::stoi(*m.at("ok"));
    if (m.at("photo")) {
      ++withPhotos;
      for (const std::string& e : member::readPhotoList(*m.at("photo"))) {
        EXPECT_TRUE(e.starts_with("photo") && (e.ends_with(".jpg1") || e.ends_with(".jpg0"))) << e;
        if (!member::isApproved(e)) ++awaiting;
      }
      if (m.at("photo")->find(".jpg1") != std::string::npos) ++trust;
    }
    for (const char* scan : {"sfphoto", "hyphoto", "srphoto", "xlphoto"}) {
      if (m.at(scan) && member::isApproved(*m.at(scan))) ++trust;
    }
    EXPECT_EQ(*m.at("trust"), std::to_string(trust));
    if (m.at("smallphoto")) {
      EXPECT_EQ(member::photoFileName(*m.at("smallphoto")), member::headPhotoName(std::stol(*m.at("userid"))));
    }
    ++grades[*m.at("grade")];
  }
  EXPECT_GT(withPhotos, 0);
  EXPECT_GT(awaiting, 0);
  for (const auto& [grade, n] : grades) {
    EXPECT_TRUE(grade == "0" || grade == "1" || grade == "2" || grade == "3" || grade == "10") << grade;
  }
  EXPECT_GT(grades["1"], 0);
  EXPECT_GT(grades["3"], 0);
}

TEST_F(SeedTest, DemoAccountsCanLogIn) {
  fs::path file = seeded("demo.conn", 200);
  std::vector<Row> demo = query(file, "SELECT * FROM zurva_user WHERE userid<=3 ORDER BY userid");
  ASSERT_EQ(demo.size(), 3u);
  // The stored password is digits 9 to 24 of the MD5 of the password.
  const char* digests[] = {"4bf2d8728120d052", "5f5966b07e3f0109", "744633d0f88a6484"};
  const char* sexes[] = {"577", "576", "576"};
  const char* locked[] = {"0", "0", "1"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(*demo[i].at("zurvauser"), kDemoAccounts[i].zurvauser);
    EXPECT_EQ(*demo[i].at("nickname"), kDemoAccounts[i].nickname);
    EXPECT_EQ(*demo[i].at("password"), digests[i]);
    EXPECT_EQ(*demo[i].at("sex"), sexes[i]);
    EXPECT_EQ(*demo[i].at("ifdel"), locked[i]);
    EXPECT_EQ(*demo[i].at("ok"), "1");
  }
  EXPECT_EQ(*query(file, "SELECT password FROM zurva_user WHERE userid=4")[0].at("password"),
            "49ba59abbe56e057");  // "123456"
  // Verified members have a forum account under their nickname.
  EXPECT_EQ(count(file, "SELECT count(*) FROM dv_user"), count(file, "SELECT count(*) FROM zurva_user WHERE ok=1"));
  EXPECT_EQ(count(file, "SELECT count(*) FROM dv_user d JOIN zurva_user u ON u.nickname = d.username COLLATE BINARY"
                        " WHERE u.userid<=3"), 3);
  // Demo members 1 and 2: friends, a conversation with one unread message, a
  // half-price gift, a party with a sign-up.
  EXPECT_EQ(count(file, "SELECT count(*) FROM Friends WHERE userid=1 AND senduserid=2 AND ifok=1"), 1);
  EXPECT_EQ(count(file, "SELECT count(*) FROM Sendbooks WHERE userid=1 AND senduserid=2 AND new=1 AND pop=0"), 1);
  EXPECT_EQ(count(file, "SELECT count(*) FROM presentmx WHERE userid=1 AND senduserid=2"), 1);
  EXPECT_EQ(count(file, "SELECT count(*) FROM emoneymx WHERE userID=2 AND b_count=7.5"), 1);
  EXPECT_EQ(count(file, "SELECT count(*) FROM partycj WHERE partyid=1 AND userid=2"), 1);
}

TEST_F(SeedTest, OtherTablesAndRegionMenus) {
  fs::path file = seeded("tables.conn", 200);
  EXPECT_EQ(count(file, "SELECT count(*) FROM present"), 8);
  EXPECT_EQ(count(file, "SELECT count(*) FROM vote WHERE IsChecked=1"), 1);
  EXPECT_GE(count(file, "SELECT count(*) FROM party"), 4);
  EXPECT_GT(count(file, "SELECT count(*) FROM partyzj"), 0);
  EXPECT_GT(count(file, "SELECT count(*) FROM Friends WHERE ifok=0"), 0);
  EXPECT_GT(count(file, "SELECT count(*) FROM Sendbooks"), 100);
  EXPECT_EQ(count(file, "SELECT count(*) FROM Friends WHERE userid=senduserid"), 0);

  std::vector<Row> system = query(file, "SELECT * FROM zurva_system");
  ASSERT_EQ(system.size(), 1u);
  EXPECT_EQ(*system[0].at("id"), "1");
  for (const char* column : {"citymenu", "maincitymenu"}) {
    std::vector<std::string> records = Split(*system[0].at(column), "@@@@@@");
    std::vector<std::string> provinces;
    int whole = 0;
    for (const std::string& record : records) {
      std::vector<std::string> fields = Split(record, "<><><><><><>");
      ASSERT_EQ(fields.size(), 3u) << record;
      if (fields[0] == "||||") {
        ++whole;
      } else {
        EXPECT_EQ(regions::kCities[std::stoul(fields[0])].city, fields[2]);
      }
      if (provinces.empty() || provinces.back() != fields[1]) provinces.push_back(fields[1]);
    }
    EXPECT_EQ(records.size(), 467u + whole) << column;
    EXPECT_EQ(provinces, std::vector<std::string>(regions::kProvinces.begin(), regions::kProvinces.end()));
  }
}

TEST_F(SeedTest, SameSeedSameRows) {
  auto dump = [](const fs::path& file) {
    std::string all;
    for (const char* table : {"zurva_user", "Friends", "Sendbooks", "presentmx", "emoneymx", "party", "partycj"}) {
      for (const Row& row : query(file, std::string("SELECT * FROM ") + table + " ORDER BY 1")) {
        for (const auto& [column, value] : row) all += value.value_or("<null>") + "|";
      }
    }
    return all;
  };
  std::string first = dump(seeded("a.conn", 60, 3));
  EXPECT_EQ(first, dump(seeded("b.conn", 60, 3)));
  EXPECT_NE(first, dump(seeded("c.conn", 60, 4)));
}

TEST_F(SeedTest, NeverOverwritesAnExistingFile) {
  fs::path file = seeded("kept.conn", 10);
  EXPECT_THROW(createDemoDatabase(file.string(), 10), std::runtime_error);
  EXPECT_EQ(count(file, "SELECT count(*) FROM zurva_user"), 10);
  // Fewer members than demo accounts still gives the demo accounts.
  EXPECT_EQ(count(seeded("tiny.conn", 1), "SELECT count(*) FROM zurva_user"), 3);
}

// A file that cannot be made or read is reported, and nothing is left behind
// or changed: no half-made database, no new file, the other file as it was.
TEST_F(SeedTest, AFileItCannotUseIsReportedAndLeftAsItWas) {
  const fs::path missingFolder = dir_ / "missing" / "new.conn";
  EXPECT_THROW(createDemoDatabase(missingFolder.string(), 10), std::runtime_error);
  EXPECT_FALSE(fs::exists(missingFolder));

  const fs::path absent = dir_ / "absent.conn";
  EXPECT_THROW(updateSchema(absent.string()), std::runtime_error);
  EXPECT_FALSE(fs::exists(absent));

  const fs::path notADatabase = dir_ / "notes.txt";
  const std::string text(4096, 'x');
  { std::ofstream(notADatabase, std::ios::binary) << text; }
  EXPECT_THROW(updateSchema(notADatabase.string()), std::runtime_error);
  std::ifstream in(notADatabase, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
}

// A database made before the record of changes existed gets the record,
// and keeps every row it had; updating it again changes nothing.
TEST_F(SeedTest, AnOlderDatabaseIsBroughtUpToTheSchema) {
  const fs::path file = seeded("old.conn", 20);
  sqlite3* conn = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  db::registerDialect(conn);
  for (const char* trigger :
       {"zurva_user_added", "zurva_user_removed", "zurva_user_renumbered",
        "zurva_user_shown_changed", "zurva_system_added", "zurva_system_changed",
        "zurva_system_removed", "vote_added", "vote_changed", "vote_removed"})
    ASSERT_EQ(sqlite3_exec(conn, ("DROP TRIGGER " + std::string(trigger)).c_str(), nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(conn, "DROP TABLE zurva_versions; DROP TABLE zurva_member_changes",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(conn);
  const std::string members =
      query(file, "SELECT group_concat(nickname) FROM zurva_user")[0].begin()->second.value();

  updateSchema(file.string());
  updateSchema(file.string());
  EXPECT_EQ(query(file, "SELECT group_concat(nickname) FROM zurva_user")[0].begin()->second.value(),
            members);
  EXPECT_EQ(count(file, "SELECT count(*) FROM zurva_versions"), 4);
  EXPECT_EQ(count(file, "SELECT count(*) FROM sqlite_schema WHERE type='trigger'"), 10);
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  db::registerDialect(conn);
  EXPECT_EQ(sqlite3_exec(conn, "UPDATE zurva_user SET nickname='x' WHERE userid=5", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(conn);
  EXPECT_EQ(count(file, "SELECT userid FROM zurva_member_changes WHERE version=1"), 5);
}

// A database of an earlier version, without the columns that end a member's
// logins and those derived from his data, gets them when the server starts on
// it: with their defaults, or derived from every row and indexed.
TEST_F(SeedTest, AnOlderDatabaseGetsTheColumnsItLacks) {
  fs::path file = seeded("older.conn", 10);
  sqlite3* conn = nullptr;
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  db::registerDialect(conn);
  for (const char* sql : {"DROP INDEX ix_zurva_user_age", "DROP INDEX ix_zurva_user_quick",
                          "DROP INDEX ix_zurva_user_province", "DROP INDEX ix_zurva_user_city"})
    EXPECT_EQ(sqlite3_exec(conn, sql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(conn);
  for (const char* column :
       {"cookiever", "remembertoken", "ud_birthyear", "ud_province", "ud_city"}) {
    const std::string sql = std::string("ALTER TABLE zurva_user DROP COLUMN ") + column;
    EXPECT_EQ(sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(conn);
  }
  sqlite3_close(conn);
  EXPECT_THROW(query(file, "SELECT cookiever FROM zurva_user"), std::runtime_error);

  updateSchema(file.string());
  EXPECT_EQ(count(file, "SELECT count(*) FROM zurva_user WHERE cookiever=0 AND remembertoken IS NULL"), 10);
  EXPECT_EQ(count(file,
                  "SELECT count(*) FROM zurva_user WHERE ud_birthyear=CAST(substr(userdata,1,4) AS "
                  "INT) AND "
                  "userdata LIKE '%#'||ud_province||'-'||ud_city||'#%' AND ud_city<>''"),
            10);
  EXPECT_EQ(count(file,
                  "SELECT count(*) FROM pragma_index_list('zurva_user') WHERE name IN "
                  "('ix_zurva_user_age','ix_zurva_user_quick','ix_zurva_user_province','ix_zurva_"
                  "user_city')"),
            4);
  // Once there, nothing more is added or changed.
  updateSchema(file.string());
  EXPECT_EQ(count(file, "SELECT count(*) FROM pragma_table_info('zurva_user') WHERE name='cookiever'"), 1);
  EXPECT_EQ(count(file, "SELECT count(*) FROM zurva_user"), 10);
}

// A kept demo database is seeded once: asked for again at another moment
// (the dates a seed writes move with the clock) the same file comes back,
// and the caller's clock is left as it was.
TEST_F(SeedTest, KeptDatabasesAreSeededOnceWhateverTheClock) {
  const fs::path cache = dir_ / "cache";
  const fs::path first = keptDemoDatabase(cache, 30);
  EXPECT_EQ(count(first, "SELECT count(*) FROM zurva_user"), 30);
  const double later = toSerial({2026, 9, 20, 8, 30, 0});
  setClock([later] { return later; });
  EXPECT_EQ(keptDemoDatabase(cache, 30), first);
  EXPECT_EQ(clockNow(), later);
  const fs::path other = keptDemoDatabase(cache, 31);
  EXPECT_NE(other, first);
  EXPECT_EQ(count(other, "SELECT count(*) FROM zurva_user"), 31);
  EXPECT_EQ(count(first, "SELECT count(*) FROM zurva_user"), 30);
}

}  // namespace
}  // namespace zurvafun::seed

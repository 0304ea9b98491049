// A temporary member database for the login and ledger tests: a fresh SQLite
// file in its own data folder, the database layer configured for it, a fixed
// clock, a private error log, and helpers to insert members and read rows.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "runtime/dates.h"

namespace zurvafun::testing {

// The connection parameters a page would pass.
inline const Variant kServer = "(local)";
inline const Variant kUser = "sa";
inline const Variant kPassword = "pw";
inline const Variant kDatabase = "members";

// The moment the tests run at.
inline constexpr DateParts kNow{2026, 3, 15, 10, 20, 30};

// A row of zurva_user; `digest` is the stored 16-digit MD5 of the password.
struct Member {
  long userid = 0;
  std::string zurvauser = "";
  std::string nickname = "";
  std::string digest = "";
  Variant ok = 1;
  Variant ifdel = 0;
  Variant ifclose = 0;
  Variant userdata = "1980#f#1#39#北京#北京-北京#124#北京-北京#205";
  Variant wholook = "abc";
  Variant mobile = "13800000000#1";
  Variant logins = Variant::null();
  Variant emoney = 1000;
};

class MemberDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("zurva-" + std::string(test->test_suite_name()) + "-" + test->name() + "-" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    savedConfig_ = db::config();
    db::Config config;
    config.dataDir = dir_.string();
    config.user = kUser.str();
    config.password = kPassword.str();
    config.database = kDatabase.str();
    db::configure(config);
    db::createDatabase(db::databaseFile(kDatabase.str()), db::schemaText());
    setClock([] { return toSerial(kNow); });
    setLogFilePath((dir_ / "zurvaLog.Log").string());
  }

  void TearDown() override {
    db::releasePooledConnections();
    setLogFilePath("");
    setClock({});
    db::configure(savedConfig_);
    std::filesystem::remove_all(dir_);
  }

  static db::Connection open() {
    db::Connection conn;
    EXPECT_TRUE(conn.Open({kServer.str(), kUser.str(), kPassword.str(), kDatabase.str()}));
    return conn;
  }

  static void execute(const std::string& sql, const std::vector<Variant>& params = {}) {
    db::Connection conn = open();
    conn.ExecuteAction(sql, params);
  }

  // The first field of the first row of a select.
  static Variant value(const std::string& sql) { return open().Execute(sql)(0); }

  static void addMember(const Member& m) {
    execute(
        "insert into zurva_user(userid,zurvauser,password,nickname,sex,ok,grade,trust,userdata,"
        "wholook,emoney,addtime,ifdel,ifclose,logins,mobile,field) "
        "values(?,?,?,?,577,?,3,2,?,?,?,'2025-01-02 03:04:05',?,?,?,?,'301')",
        {Variant(m.userid), Variant(m.zurvauser), Variant(m.digest), Variant(m.nickname), m.ok,
         m.userdata, m.wholook, m.emoney, m.ifdel, m.ifclose, m.logins, m.mobile});
  }

  static void addForumAccount(const std::string& username) {
    execute("insert into dv_user(username) values(?)", {Variant(username)});
  }

  std::filesystem::path dir_;

 private:
  db::Config savedConfig_;
};

}  // namespace zurvafun::testing

// Throw-away SQLite databases for the tests. TestDatabase gives a fresh data
// folder holding the project's schema, configures the database layer for it
// (the previous configuration comes back at the end), and knows the connection
// parameters a page would pass. MemberDbTest is a test fixture over such a
// database with a fixed clock, a private error log and helpers to insert
// members.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "db/db.h"
#include "framework/process_caches.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/variant.h"

namespace zurvafun::testing {

// The database layer's configuration for a test: its login and database.
inline db::Config dbConfig(std::string user, std::string password, std::string database,
                           std::string localServerName = "") {
  db::Config config;
  config.user = std::move(user);
  config.password = std::move(password);
  config.database = std::move(database);
  config.localServerName = std::move(localServerName);
  return config;
}

// A fresh data folder with the database layer configured for it; the
// previous configuration comes back, and the folder goes, at the end.
class ScopedDataFolder {
 public:
  explicit ScopedDataFolder(db::Config config) : previous_(db::config()) {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("zurva-test-db-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    config.dataDir = dir_.string();
    db::configure(std::move(config));
  }

  ~ScopedDataFolder() {
    db::releasePooledConnections();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    db::configure(previous_);
  }

  ScopedDataFolder(const ScopedDataFolder&) = delete;
  ScopedDataFolder& operator=(const ScopedDataFolder&) = delete;

  // The data folder (removed at the end).
  const std::filesystem::path& dir() const { return dir_; }

 private:
  db::Config previous_;
  std::filesystem::path dir_;
};

class TestDatabase {
 public:
  // The connection parameters a page would pass.
  static constexpr const char* kServer = "(local)";
  static constexpr const char* kUser = "sa";
  static constexpr const char* kPassword = "pw";
  static constexpr const char* kDatabase = "members";

  TestDatabase() : folder_(dbConfig(kUser, kPassword, kDatabase)) {
    db::createDatabase(db::databaseFile(kDatabase), db::schemaText());
  }

  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  static db::Connection open() {
    db::Connection conn;
    if (!conn.Open({kServer, kUser, kPassword, kDatabase}))
      throw std::runtime_error("cannot open the test database");
    return conn;
  }

  // Runs one statement, with `?` parameters.
  static void run(const std::string& sql, const std::vector<Variant>& params = {}) {
    open().ExecuteAction(sql, params);
  }

  // The first field of the first row of a select.
  static Variant value(const std::string& sql) { return open().Execute(sql)(0); }

  // The data folder (removed at the end).
  const std::filesystem::path& dir() const { return folder_.dir(); }

 private:
  ScopedDataFolder folder_;
};

// The moment the member tests run at.
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

class MemberDbTest : public ::testing::Test, public TestDatabase {
 protected:
  void SetUp() override {
    process_caches::clearAll();  // nothing a test made before is kept for this one
    setClock([] { return toSerial(kNow); });
    setLogFilePath((dir() / "zurvaLog.Log").string());
  }

  void TearDown() override {
    setLogFilePath("");
    setClock({});
  }

  static void addMember(const Member& m) {
    run("insert into zurva_user(userid,zurvauser,password,nickname,sex,ok,grade,trust,userdata,"
        "wholook,emoney,addtime,ifdel,ifclose,logins,mobile,field) "
        "values(?,?,?,?,577,?,3,2,?,?,?,'2025-01-02 03:04:05',?,?,?,?,'301')",
        {Variant(m.userid), Variant(m.zurvauser), Variant(m.digest), Variant(m.nickname), m.ok,
         m.userdata, m.wholook, m.emoney, m.ifdel, m.ifclose, m.logins, m.mobile});
  }

  static void addForumAccount(const std::string& username) {
    run("insert into dv_user(username) values(?)", {Variant(username)});
  }
};

}  // namespace zurvafun::testing

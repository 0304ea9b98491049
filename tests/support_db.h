// Throw-away databases for the tests. TestDatabase gives a fresh data folder
// holding the project's schema, configures the database layer for it (the
// previous configuration comes back at the end), and knows the connection
// parameters a page would pass.
//
// The backend: the embedded file, unless ZURVA_TEST_BACKEND=postgres, when
// the databases are made on the PostgreSQL server that ZURVA_TEST_POSTGRES
// names ("host:port", the host a socket folder or a name), under the server
// name "ZVPG", each data folder's databases with a prefix of their own and
// dropped at its end. Without ZURVA_TEST_POSTGRES such a run is skipped (see
// skipWithoutBackend). MemberDbTest is a test fixture over such a
// database with a fixed clock, a private error log and helpers to insert
// members.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/kept.h"
#include "runtime/variant.h"
#include "site/database_schema.h"
#include "site/seed.h"

namespace zurvafun::testing {

// The PostgreSQL server of a run on that backend, or null for the embedded file.
inline const db::ServerConfig* testPostgres() {
  static const std::optional<db::ServerConfig> server = []() -> std::optional<db::ServerConfig> {
    const char* backend = std::getenv("ZURVA_TEST_BACKEND");
    const char* where = std::getenv("ZURVA_TEST_POSTGRES");
    if (!backend || std::string_view(backend) != "postgres" || !where || !*where) return std::nullopt;
    db::ServerConfig config;
    config.name = "ZVPG";
    const std::string address = where;
    const size_t colon = address.rfind(':');
    config.host = address.substr(0, colon);
    if (colon != std::string::npos) config.port = std::atoi(address.c_str() + colon + 1);
    config.sslmode = "disable";
    return config;
  }();
  return server ? &*server : nullptr;
}

// A run asked for PostgreSQL without naming a server: its tests are skipped.
inline bool backendMissing() {
  const char* backend = std::getenv("ZURVA_TEST_BACKEND");
  return backend && std::string_view(backend) == "postgres" && !testPostgres();
}
#define ZURVA_SKIP_WITHOUT_BACKEND() \
  if (::zurvafun::testing::backendMissing()) GTEST_SKIP() << "no PostgreSQL server (ZURVA_TEST_POSTGRES)"

// A test of the embedded file itself (its files, its local server names, the
// sqlite3 shell): skipped on the server.
#define ZURVA_EMBEDDED_ONLY() \
  if (::zurvafun::testing::testPostgres()) GTEST_SKIP() << "a test of the embedded file"

// The server parameter the tests pass: the embedded file's "(local)", or the
// test server's name.
inline const char* testServer() { return testPostgres() ? "ZVPG" : "(local)"; }

// The database layer's configuration for a test: its login and database.
inline db::Config dbConfig(std::string user, std::string password, std::string database,
                           std::string localServerName = "") {
  db::Config config;
  config.schema = site::databaseSchema();
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
    const std::string stem = std::to_string(::getpid()) + "-" + std::to_string(++counter);
    dir_ = std::filesystem::temp_directory_path() / ("zurva-test-db-" + stem);
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    config.dataDir = dir_.string();
    if (const db::ServerConfig* server = testPostgres()) {
      db::ServerConfig mine = *server;
      mine.databasePrefix = "zt" + stem + "_";
      std::replace(mine.databasePrefix.begin(), mine.databasePrefix.end(), '-', '_');
      config.servers.push_back(mine);
      prefix_ = mine.databasePrefix;
    }
    db::configure(std::move(config));
  }

  ~ScopedDataFolder() {
    db::releasePooledConnections();
    if (!prefix_.empty()) dropServerDatabases();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    db::configure(previous_);
  }

  ScopedDataFolder(const ScopedDataFolder&) = delete;
  ScopedDataFolder& operator=(const ScopedDataFolder&) = delete;

  // The data folder (removed at the end).
  const std::filesystem::path& dir() const { return dir_; }

  // The name on the test server of this folder's database `name`.
  std::string serverDatabase(std::string_view name) const {
    std::string database = prefix_ + std::string(name);
    for (char& c : database) c = char(std::tolower(static_cast<unsigned char>(c)));
    return database;
  }

 private:
  // Drops the databases of this folder's prefix on the test server, each by
  // the login that made it (only the owner may drop a database; FORCE ends
  // the owner's connections to it first).
  void dropServerDatabases() const {
    const db::ServerConfig& server = *testPostgres();
    const std::string port = std::to_string(server.port);
    const std::pair<const char*, const char*> logins[] = {{"sa", "Secret"}, {"web", "pw"}};
    for (const auto& [user, password] : logins) {
      const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
      const char* values[] = {
          server.host.c_str(), port.c_str(), "postgres", user, password, nullptr};
      PGconn* conn = PQconnectdbParams(keys, values, 0);
      if (PQstatus(conn) == CONNECTION_OK) {
        const std::string list =
            "SELECT datname FROM pg_database WHERE starts_with(datname, '" + prefix_ +
            "') AND datdba = (SELECT oid FROM pg_roles WHERE rolname = current_user)";
        PGresult* names = PQexec(conn, list.c_str());
        for (int i = 0; i < PQntuples(names); ++i)
          PQclear(PQexec(conn, ("DROP DATABASE IF EXISTS \"" +
                                std::string(PQgetvalue(names, i, 0)) + "\" WITH (FORCE)")
                                   .c_str()));
        PQclear(names);
      }
      PQfinish(conn);
    }
  }

  db::Config previous_;
  std::filesystem::path dir_;
  std::string prefix_;  // of this folder's databases on the test server
};

class TestDatabase {
 public:
  // The connection parameters a page would pass.
  static inline const char* const kServer = testServer();
  static constexpr const char* kUser = "web";
  static constexpr const char* kPassword = "pw";
  static constexpr const char* kDatabase = "members";

  TestDatabase() : folder_(dbConfig(kUser, kPassword, kDatabase)) {
    db::createDatabase({kServer, kUser, kPassword, kDatabase}, db::schemaText());
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

  // Drops trigger `name` of `table` (the backends write it differently).
  static void dropTrigger(const std::string& name, const std::string& table) {
    run("drop trigger " + name + (testPostgres() ? " on " + table : ""));
  }

  // Runs `sql` (plain SQL that both backends take) as another process
  // sharing the database would: on a connection of its own, outside this
  // process's database layer, which has then counted no commit of its own.
  void runElsewhere(const std::string& sql) const {
    std::string error;
    if (const db::ServerConfig* server = testPostgres()) {
      const std::string port = std::to_string(server->port), database = folder_.serverDatabase(kDatabase);
      const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
      const char* values[] = {server->host.c_str(), port.c_str(), database.c_str(), kUser, kPassword, nullptr};
      PGconn* conn = PQconnectdbParams(keys, values, 0);
      PGresult* result = PQstatus(conn) == CONNECTION_OK ? PQexec(conn, sql.c_str()) : nullptr;
      if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
        error = PQerrorMessage(conn);
      PQclear(result);
      PQfinish(conn);
    } else {
      sqlite3* conn = nullptr;
      if (sqlite3_open_v2(db::databaseFile(kDatabase).c_str(), &conn, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        db::registerDialect(conn);
        if (sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) error = sqlite3_errmsg(conn);
      } else {
        error = "cannot open the database file";
      }
      sqlite3_close(conn);
    }
    if (!error.empty()) throw std::runtime_error(sql + ": " + error);
  }

  // The data folder (removed at the end).
  const std::filesystem::path& dir() const { return folder_.dir(); }

 private:
  ScopedDataFolder folder_;
};

// Makes database `name` holding the demo seeder's data with `members`
// members: the seeder's file itself, or on the test server a database copied
// from it.
inline void seedDemoDatabase(const db::ConnectionParams& params, int members) {
  if (!testPostgres()) {
    seed::createDemoDatabase(db::databaseFile(params.database), members);
    return;
  }
  const std::string file = db::databaseFile(params.database + "-seed");
  seed::createDemoDatabase(file, members);
  db::createDatabase(params, db::schemaText());
  db::copyDatabase(file, params);
}

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
    kept::clearAll();  // nothing a test made before is kept for this one
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

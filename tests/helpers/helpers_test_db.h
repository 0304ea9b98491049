// A throw-away SQLite database for the tests of the shared helpers: its own
// data folder, the project's schema, and the connection parameters a page
// would pass. The previous database configuration is restored on destruction.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "db/db.h"
#include "runtime/variant.h"

namespace zurvafun::testing {

class HelpersTestDb {
 public:
  static constexpr const char* kServer = "(local)";
  static constexpr const char* kUser = "sa";
  static constexpr const char* kPassword = "secret";
  static constexpr const char* kName = "helpers";

  HelpersTestDb() : previous_(db::config()) {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("zurva-helpers-db-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::filesystem::create_directories(dir_);
    db::Config config;
    config.dataDir = dir_.string();
    config.user = kUser;
    config.password = kPassword;
    config.database = kName;
    db::configure(config);
    db::createDatabase(db::databaseFile(kName), db::schemaText());
  }

  ~HelpersTestDb() {
    db::releasePooledConnections();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    db::configure(previous_);
  }

  HelpersTestDb(const HelpersTestDb&) = delete;
  HelpersTestDb& operator=(const HelpersTestDb&) = delete;

  // Runs one statement on the database.
  void run(const std::string& sql) {
    db::Connection conn;
    if (!conn.Open({kServer, kUser, kPassword, kName})) throw std::runtime_error("cannot open");
    conn.ExecuteAction(sql);
  }

 private:
  db::Config previous_;
  std::filesystem::path dir_;
};

}  // namespace zurvafun::testing

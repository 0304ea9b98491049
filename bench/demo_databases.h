// Demo databases for the benchmarks: a temporary data folder with the
// database layer configured for it (login "sa", password "bench"), where the
// demo database of a given size is seeded on first use and named
// "bench<members>". The folder goes when the benchmark ends.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "db/db.h"
#include "site/seed.h"

namespace zurvafun::bench {

class DemoDatabases {
 public:
  static DemoDatabases& get() {
    static DemoDatabases databases;
    return databases;
  }

  // The database name of the demo database of `members` members.
  std::string name(int members) {
    const std::string name = "bench" + std::to_string(members);
    if (made_.insert(members).second) seed::createDemoDatabase(db::databaseFile(name), members);
    return name;
  }

 private:
  DemoDatabases() {
    dir_ = std::filesystem::temp_directory_path() / ("zurva-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    db::Config config;
    config.dataDir = dir_.string();
    config.user = "sa";
    config.password = "bench";
    db::configure(config);
  }
  ~DemoDatabases() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::filesystem::path dir_;
  std::set<int> made_;
};

}  // namespace zurvafun::bench

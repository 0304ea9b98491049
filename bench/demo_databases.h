// Demo databases for the benchmarks: a temporary data folder with the
// database layer configured for it (login "sa", password "bench"), where the
// demo database of a given size is put on first use under the name
// "bench<members>". The folder goes when the benchmark ends.
//
// Seeding takes minutes at hundreds of thousands of members: each seeded
// database is kept between runs in the seed cache the tests use too
// (site/seed_cache.h: ZURVA_SEED_CACHE, $TMPDIR/zurva-seed-cache by default)
// under its size and a fingerprint of the schema and the seeder, and each run
// works on a copy. Delete the folder to seed afresh.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "db/db.h"
#include "site/database_schema.h"
#include "site/seed_cache.h"

namespace zurvafun::bench {

class DemoDatabases {
 public:
  static DemoDatabases& get() {
    static DemoDatabases databases;
    return databases;
  }

  // The database name of this run's demo database of `members` members.
  std::string name(int members) {
    const std::string name = "bench" + std::to_string(members);
    if (made_.insert(members).second)
      std::filesystem::copy_file(seed::keptDemoDatabase(seed::defaultCacheFolder(), members),
                                 db::databaseFile(name),
                                 std::filesystem::copy_options::overwrite_existing);
    return name;
  }

 private:
  DemoDatabases() {
    dir_ = std::filesystem::temp_directory_path() / ("zurva-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    db::Config config;
    config.schema = site::databaseSchema();
    config.dataDir = dir_.string();
    config.user = "sa";
    config.password = "bench";
    db::configure(config);
  }
  ~DemoDatabases() {
    db::closeAllConnections();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::filesystem::path dir_;
  std::set<int> made_;
};

}  // namespace zurvafun::bench

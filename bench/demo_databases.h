// Demo databases for the benchmarks: a temporary data folder with the
// database layer configured for it (login "sa", password "bench"), where the
// demo database of a given size is put on first use under the name
// "bench<members>". The folder goes when the benchmark ends.
//
// Seeding takes minutes at hundreds of thousands of members: each seeded
// database is kept in the folder ZURVA_BENCH_CACHE ($TMPDIR/zurva-bench-cache
// by default) under its size and a fingerprint of the schema and the seeder,
// and each run works on a copy. Delete the folder to seed afresh.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

  // The database name of this run's demo database of `members` members.
  std::string name(int members) {
    const std::string name = "bench" + std::to_string(members);
    if (made_.insert(members).second)
      std::filesystem::copy_file(kept(members), db::databaseFile(name),
                                 std::filesystem::copy_options::overwrite_existing);
    return name;
  }

 private:
  DemoDatabases() {
    const char* cache = std::getenv("ZURVA_BENCH_CACHE");
    cache_ = cache && *cache ? std::filesystem::path(cache)
                             : std::filesystem::temp_directory_path() / "zurva-bench-cache";
    std::filesystem::create_directories(cache_);
    dir_ = std::filesystem::temp_directory_path() / ("zurva-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    db::Config config;
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

  // What a seeded file depends on: the schema, and the rows the seeder makes
  // (those of a small seed stand for them).
  std::string fingerprint() {
    std::string made = db::schemaText();
    const std::filesystem::path probe = dir_ / "probe.db";
    seed::createDemoDatabase(probe.string(), 40);
    sqlite3* conn = nullptr;
    sqlite3_open_v2(probe.c_str(), &conn, SQLITE_OPEN_READONLY, nullptr);
    db::registerDialect(conn);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(conn, "select * from zurva_user order by userid", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        const unsigned char* text = sqlite3_column_text(stmt, c);
        made += text ? reinterpret_cast<const char*>(text) : "<null>";
        made += '|';
      }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(conn);
    std::filesystem::remove(probe);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016zx", std::hash<std::string>{}(made));
    return hex;
  }

  // The kept database of `members` members, seeded when there is none.
  std::filesystem::path kept(int members) {
    if (fingerprint_.empty()) fingerprint_ = fingerprint();
    const std::filesystem::path file =
        cache_ / ("demo-" + std::to_string(members) + "-" + fingerprint_ + ".db");
    if (!std::filesystem::exists(file)) {
      const std::filesystem::path seeding =
          file.string() + ".seeding-" + std::to_string(::getpid());
      seed::createDemoDatabase(seeding.string(), members);
      std::filesystem::rename(seeding, file);
    }
    return file;
  }

  std::filesystem::path cache_, dir_;
  std::string fingerprint_;
  std::set<int> made_;
};

}  // namespace zurvafun::bench

#include "site/seed_cache.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "db/db.h"
#include "runtime/dates.h"
#include "site/seed.h"

namespace zurvafun::seed {

namespace {

namespace fs = std::filesystem;

// The moment the fingerprint's small seed is made at, so that its dates stay put.
constexpr DateParts kProbeMoment{2026, 1, 1, 12, 0, 0};
constexpr int kProbeMembers = 200;

struct CloseSqlite {
  void operator()(sqlite3* handle) const { sqlite3_close(handle); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// Every table, index and trigger of the file at `path`, and every row of its
// tables in order, as text; the database's random stamp is left out.
std::string contents(const fs::path& path) {
  sqlite3* opened = nullptr;
  const int status = sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
  const std::unique_ptr<sqlite3, CloseSqlite> conn(opened);
  if (status != SQLITE_OK) throw std::runtime_error("cannot read " + path.string());
  db::registerDialect(conn.get());
  std::string text;
  const auto each = [&](const std::string& sql, const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(conn.get(), sql.c_str(), -1, &prepared, nullptr) != SQLITE_OK)
      throw std::runtime_error(sql + ": " + sqlite3_errmsg(conn.get()));
    const std::unique_ptr<sqlite3_stmt, FinalizeStatement> statement(prepared);
    while (sqlite3_step(prepared) == SQLITE_ROW) row(prepared);
  };
  const auto column = [](sqlite3_stmt* row, int c) {
    const unsigned char* value = sqlite3_column_text(row, c);
    return value ? std::string(reinterpret_cast<const char*>(value)) : std::string("<null>");
  };
  std::vector<std::string> tables;
  each("select type, name, sql from sqlite_master order by type, name", [&](sqlite3_stmt* row) {
    text += column(row, 2) + '\n';
    if (column(row, 0) == "table" && column(row, 1) != "zurva_versions")
      tables.push_back(column(row, 1));
  });
  for (const std::string& table : tables) {
    each("select * from \"" + table + "\" order by rowid", [&](sqlite3_stmt* row) {
      for (int c = 0; c < sqlite3_column_count(row); ++c) text += column(row, c) + '|';
      text += '\n';
    });
  }
  return text;
}

// What the seeder makes now, as 16 hex digits.
std::string fingerprint(const fs::path& folder) {
  const fs::path probe = folder / ("probe-" + std::to_string(::getpid()) + ".db");
  fs::remove(probe);
  std::string made;
  {
    const double moment = toSerial(kProbeMoment);
    const ClockSource previous = setClock([moment] { return moment; });
    try {
      createDemoDatabase(probe.string(), kProbeMembers);
    } catch (...) {
      setClock(previous);
      throw;
    }
    setClock(previous);
    made = contents(probe);
  }
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(probe.string() + suffix);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016zx", std::hash<std::string>{}(made));
  return hex;
}

// Holds an exclusive lock on a file of the cache folder while it lives.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& file) : fd_(::open(file.c_str(), O_RDWR | O_CREAT, 0644)) {
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0)
      throw std::runtime_error("cannot lock " + file.string());
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

}  // namespace

fs::path defaultCacheFolder() {
  const char* folder = std::getenv("ZURVA_SEED_CACHE");
  return folder && *folder ? fs::path(folder) : fs::temp_directory_path() / "zurva-seed-cache";
}

fs::path keptDemoDatabase(const fs::path& folder, int members) {
  fs::create_directories(folder);
  // One process at a time computes the fingerprint and seeds: the others
  // wait, then find the file made.
  const FolderLock lock(folder / "seeding.lock");
  const std::string prefix = "demo-" + std::to_string(members) + "-";
  const fs::path file = folder / (prefix + fingerprint(folder) + ".db");
  std::error_code ignored;
  if (fs::exists(file)) {
    fs::last_write_time(file, fs::file_time_type::clock::now(), ignored);  // in use
    return file;
  }
  const fs::path seeding = file.string() + ".seeding";
  fs::remove(seeding, ignored);
  createDemoDatabase(seeding.string(), members);
  fs::rename(seeding, file);
  // Files of this size that an older seeder made and nobody used for a day go.
  const auto stale = fs::file_time_type::clock::now() - std::chrono::hours(24);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix) && entry.path() != file && entry.last_write_time(ignored) < stale)
      fs::remove(entry.path(), ignored);
  }
  return file;
}

void copyKeptDemoDatabase(int members, const std::string& file) {
  fs::copy_file(keptDemoDatabase(defaultCacheFolder(), members), file);
}

}  // namespace zurvafun::seed

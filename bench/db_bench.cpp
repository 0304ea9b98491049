// Benchmarks of the database layer on the demo database with 100,000 members:
//   - opening a pooled connection and reading one member by number;
//   - the member search of the worked example (sex, age, height and education
//     bounds) through the SQL Server dialect, beside the same condition written
//     natively for SQLite and run on the raw handle; BM_SearchDialectVsNative
//     reports the ratio of the two as the counter "ratio";
//   - materialising a 200-row result and reading its fields.
//
// Run: build-*/db_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "db/db.h"
#include "db/sqlfunctions.h"
#include "site/seed.h"

namespace {

using namespace zurvafun;

constexpr int kMembers = 100000;

const char* const kDialectSearch =
    "select top 200 * from zurva_user  where sex=577 and cast(left(userdata,4) as int)<=2006 and "
    "cast(left(userdata,4) as int)>=1996 and cast(height_ as int)>=160 and cast(height_ as int)<=180 and "
    "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)"
    "<=127 and ok=1 and ifclose=0 and ifdel=0 order by grade desc,trust desc";

const char* const kNativeSearch =
    "select * from zurva_user where sex=577 and cast(substr(userdata,1,4) as int)<=2006 and "
    "cast(substr(userdata,1,4) as int)>=1996 and cast(height_ as int)>=160 and cast(height_ as int)<=180 and "
    "cast(substr(userdata,instr(userdata,'#12')+1,3) as int)>=122 and "
    "cast(substr(userdata,instr(userdata,'#12')+1,3) as int)<=127 and ok=1 and ifclose=0 and ifdel=0 "
    "order by grade desc,trust desc limit 200";

// A demo database of kMembers members in a temporary data folder, made once.
class DemoDatabase {
 public:
  static DemoDatabase& get() {
    static DemoDatabase db;
    return db;
  }
  db::ConnectionParams params() const { return {"(local)", "sa", "bench", "bench"}; }
  std::string file() const { return db::databaseFile("bench"); }

 private:
  DemoDatabase() {
    dir_ = std::filesystem::temp_directory_path() / ("zurva-db-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    db::Config config;
    config.dataDir = dir_.string();
    config.user = "sa";
    config.password = "bench";
    config.database = "bench";
    db::configure(config);
    seed::createDemoDatabase(file(), kMembers);
  }
  // Runs after the main thread's pooled handles are gone.
  ~DemoDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::filesystem::path dir_;
};

// Opening a pooled connection and reading one member by number.
void BM_OpenAndReadMember(benchmark::State& state) {
  DemoDatabase& demo = DemoDatabase::get();
  std::mt19937 random(7);
  for (auto _ : state) {
    db::Connection conn;
    if (!conn.Open(demo.params())) state.SkipWithError("open failed");
    db::Recordset rs;
    rs.Open("select * from [Zurva_user] where userid=" + std::to_string(1 + random() % kMembers), conn,
            db::adOpenKeyset, db::adLockReadOnly);
    benchmark::DoNotOptimize(rs("nickname"));
    rs.Close();
    conn.Close();
  }
}
BENCHMARK(BM_OpenAndReadMember);

// One run of the search through the layer: rows materialised, two fields read.
long searchDialect(db::Connection& conn) {
  db::Recordset rs;
  rs.Open(kDialectSearch, conn, db::adOpenKeyset, db::adLockReadOnly);
  long rows = 0;
  for (; !rs.eof(); rs.MoveNext(), ++rows) benchmark::DoNotOptimize(rs("userdata"));
  return rows;
}

// The same condition, native SQLite on a raw handle, every column fetched.
long searchNative(sqlite3_stmt* stmt) {
  long rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int i = 0, n = sqlite3_column_count(stmt); i < n; ++i) benchmark::DoNotOptimize(sqlite3_column_text(stmt, i));
    ++rows;
  }
  sqlite3_reset(stmt);
  return rows;
}

sqlite3_stmt* prepareNative(sqlite3*& handle) {
  sqlite3_open_v2(DemoDatabase::get().file().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  db::detail::registerFunctions(handle);  // the schema's collation
  sqlite3_exec(handle, "PRAGMA mmap_size=1073741824", nullptr, nullptr, nullptr);  // as the layer reads
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(handle, kNativeSearch, -1, &stmt, nullptr);
  return stmt;
}

void BM_SearchDialect(benchmark::State& state) {
  db::Connection conn;
  if (!conn.Open(DemoDatabase::get().params())) state.SkipWithError("open failed");
  long rows = 0;
  for (auto _ : state) rows = searchDialect(conn);
  state.counters["rows"] = double(rows);
}
BENCHMARK(BM_SearchDialect)->Unit(benchmark::kMillisecond);

void BM_SearchNative(benchmark::State& state) {
  sqlite3* handle = nullptr;
  sqlite3_stmt* stmt = prepareNative(handle);
  long rows = 0;
  for (auto _ : state) rows = searchNative(stmt);
  state.counters["rows"] = double(rows);
  sqlite3_finalize(stmt);
  sqlite3_close(handle);
}
BENCHMARK(BM_SearchNative)->Unit(benchmark::kMillisecond);

// Both, alternately; "ratio" is dialect time over native time.
void BM_SearchDialectVsNative(benchmark::State& state) {
  db::Connection conn;
  if (!conn.Open(DemoDatabase::get().params())) state.SkipWithError("open failed");
  sqlite3* handle = nullptr;
  sqlite3_stmt* stmt = prepareNative(handle);
  using Clock = std::chrono::steady_clock;
  Clock::duration dialect{}, native{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    const long a = searchDialect(conn);
    const auto t1 = Clock::now();
    const long b = searchNative(stmt);
    const auto t2 = Clock::now();
    if (a != b) state.SkipWithError("the two searches disagree");
    dialect += t1 - t0;
    native += t2 - t1;
  }
  state.counters["ratio"] = double(dialect.count()) / double(native.count());
  sqlite3_finalize(stmt);
  sqlite3_close(handle);
}
BENCHMARK(BM_SearchDialectVsNative)->Unit(benchmark::kMillisecond);

// Materialising a 200-row result of whole member rows and reading its fields.
void BM_Materialise200Rows(benchmark::State& state) {
  db::Connection conn;
  if (!conn.Open(DemoDatabase::get().params())) state.SkipWithError("open failed");
  long rows = 0;
  for (auto _ : state) {
    db::Recordset rs;
    rs.Open("select top 200 * from zurva_user where sex=577 order by userid", conn, db::adOpenKeyset,
            db::adLockReadOnly);
    rows = rs.RecordCount();
    rs.PageSize = 20;
    rs.setAbsolutePage(1);
    for (; !rs.eof(); rs.MoveNext()) {
      benchmark::DoNotOptimize(rs("nickname"));
      benchmark::DoNotOptimize(rs("userdata"));
      benchmark::DoNotOptimize(rs("grade"));
      benchmark::DoNotOptimize(rs("addtime"));
    }
  }
  state.counters["rows"] = double(rows);
}
BENCHMARK(BM_Materialise200Rows)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

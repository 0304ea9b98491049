// Benchmarks of the database layer on the demo seeder's data:
//   - opening a pooled connection and reading one member by number (on one
//     thread and on eight at once, each with its own pooled handle, as the
//     host's workers read), beside raw SQLite reading the same row in an open
//     read transaction;
//   - a request's dozen small reads, each on its own and within a request
//     span that shares one read of the file;
//   - the member search of the worked example (sex, age, height and education
//     bounds, the status filter, top 200) in its three sort orders through the
//     SQL Server dialect, and the same search written natively for SQLite on
//     the same indexes; BM_SearchDialectVsNative runs both warm, alternating
//     which goes first, and reports their medians and the ratio;
//   - the worked example as the result page reads it, counted and one page
//     of six read (BM_SearchPage);
//   - materialising a 200-row result and reading its fields;
//   - the lost-update race: 16 threads logging one member in through an
//     updatable recordset, and 1,000 racing read-check-write spends;
//   - sustained concurrent logins from many threads beside readers, with the
//     size of the write-ahead log sampled throughout (it must stay bounded)
//     and the readers' throughput; the first argument chooses the memory map
//     of every handle (0: the layer's setting, none; 1: a 1 GB map forced on).
//     This mix of lone statements can favour the map; the site's pages under
//     login POSTs (zurva-serve, 64 workers) do not: there every commit makes
//     each other handle unmap, and logins ran about 10 times slower with it.
//
// The database: ZURVA_BENCH_DB names a database file to use, made by the
// seeder when it does not exist yet and kept afterwards (so that large
// databases are seeded once); without it a temporary one is made and removed.
// ZURVA_BENCH_MEMBERS sets the member count of a new database (100,000);
// ZURVA_BENCH_POSTGRES=host:port runs the layer's benchmarks on a PostgreSQL
// server instead (login ZURVA_BENCH_PG_USER/ZURVA_BENCH_PG_PASSWORD, default
// sa/Secret as scripts/postgres.sh makes it), on a database copied once from
// the seeded file and kept; the native searches stay on the file;
// ZURVA_BENCH_SECONDS the length of the sustained-load run (10).
//
// Run: build/db_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "db/db.h"
#include "runtime/dates.h"
#include "site/database_schema.h"
#include "site/seed.h"

namespace {

using namespace zurvafun;
using Clock = std::chrono::steady_clock;

std::string envText(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

long envNumber(const char* name, long fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

// The result list's statement for the worked example: the condition, the
// status filter and one of the three sort clauses.
std::string dialectSearch(const char* sort) {
  return std::string(
             "select top 200 * from zurva_user  where sex=577 and cast(left(userdata,4) as "
             "int)<=2006 and "
             "cast(left(userdata,4) as int)>=1996 and cast(height_ as int)>=160 and cast(height_ "
             "as int)<=180 and "
             "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
             "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127 and ifclose=0 and iferro=0 "
             "and ifdel=0") +
         sort + "grade desc,trust desc";
}
const char* const kSorts[] = {" order by ", " order by addtime desc,", " order by lasttime desc,"};

// The same search written for SQLite by hand, on the derived values the
// schema indexes.
const char* const kNativeSearch =
    "select * from zurva_user where sex=577 and zv_int(zv_left(userdata,4)) between 1996 and 2006 "
    "and "
    "zv_int(height_) between 160 and 180 and "
    "zv_int(zv_substring(userdata,zv_charindex('#12',userdata)+1,3)) between 122 and 127 and "
    "ifclose=0 and iferro=0 and ifdel=0 order by grade desc,trust desc limit 200";

// The demo database, made or found once.
class DemoDatabase {
 public:
  static DemoDatabase& get() {
    static DemoDatabase db;
    return db;
  }
  db::ConnectionParams params() const {
    if (server_)
      return {"ZVBENCH", envText("ZURVA_BENCH_PG_USER", "sa"),
              envText("ZURVA_BENCH_PG_PASSWORD", "Secret"),
              "bench_" + name_ + "_" + std::to_string(seededMembers_)};
    return {"(local)", "sa", "bench", name_};
  }
  const std::string& file() const { return file_; }
  long members() const { return members_; }

 private:
  DemoDatabase() {
    namespace fs = std::filesystem;
    fs::path file;
    if (const char* given = std::getenv("ZURVA_BENCH_DB"); given && *given) {
      file = fs::absolute(given);
    } else {
      temp_ = fs::temp_directory_path() / ("zurva-db-bench-" + std::to_string(::getpid()));
      fs::create_directories(temp_);
      file = temp_ / "bench.db";
    }
    file_ = file.string();
    name_ = file.stem().string();
    db::Config config;
    config.schema = site::databaseSchema();
    config.dataDir = file.parent_path().string();
    config.user = "sa";
    config.password = "bench";
    config.database = name_;
    db::configure(config);
    if (!fs::exists(file))
      seed::createDemoDatabase(file_, int(envNumber("ZURVA_BENCH_MEMBERS", 100000)));
    if (const char* where = std::getenv("ZURVA_BENCH_POSTGRES"); where && *where) {
      {
        db::Connection local;
        local.Open(params());
        seededMembers_ = long(toNumber(local.Execute("select count(*) from zurva_user")(0)));
      }
      const std::string address = where;
      const size_t colon = address.rfind(':');
      db::Config withServer = db::config();
      withServer.servers.push_back(
          {"ZVBENCH", address.substr(0, colon),
           colon == std::string::npos ? 5432 : std::atoi(address.c_str() + colon + 1), "disable",
           ""});
      db::configure(withServer);
      server_ = true;
      db::Connection probe;
      if (!probe.Open(params())) {
        db::createDatabase(params(), db::schemaText());
        db::copyDatabase(file_, params());
      }
    }
    db::Connection conn;
    conn.Open(params());
    members_ = long(toNumber(conn.Execute("select max(userid) from zurva_user")(0)));
  }
  // Runs after the main thread's pooled handles are gone.
  ~DemoDatabase() {
    std::error_code ignored;
    if (!temp_.empty()) std::filesystem::remove_all(temp_, ignored);
  }

  std::filesystem::path temp_;
  std::string file_, name_;
  long members_ = 0;
  bool server_ = false;
  long seededMembers_ = 0;
};

db::Connection openDemo(benchmark::State& state) {
  db::Connection conn;
  if (!conn.Open(DemoDatabase::get().params())) state.SkipWithError("open failed");
  return conn;
}

// ---- one member

// Opening a pooled connection and reading one member by number.
void BM_OpenAndReadMember(benchmark::State& state) {
  DemoDatabase& demo = DemoDatabase::get();
  std::mt19937 random(7);
  for (auto _ : state) {
    db::Connection conn;
    if (!conn.Open(demo.params())) state.SkipWithError("open failed");
    db::Recordset rs;
    rs.Open(
        "select * from [Zurva_user] where userid=" + std::to_string(1 + random() % demo.members()),
        conn, db::adOpenKeyset, db::adLockReadOnly);
    benchmark::DoNotOptimize(rs("nickname"));
    rs.Close();
    conn.Close();
  }
  state.counters["members"] =
      benchmark::Counter(double(demo.members()), benchmark::Counter::kAvgThreads);
  db::releasePooledConnections();
}
BENCHMARK(BM_OpenAndReadMember)->Threads(1)->Threads(8)->UseRealTime();

// A member page's requests on the embedded file: a dozen small reads (the
// member, a few of her counts, other members' rows), each opening its own
// connection as a method does. Argument 0: each statement reads on its own;
// 1: they run within a request span (db::beginRequest … db::endRequest), as
// the host's workers run a page, and share one read of the file.
void BM_RequestOfSmallReads(benchmark::State& state) {
  DemoDatabase& demo = DemoDatabase::get();
  const bool request = state.range(0) != 0;
  std::mt19937 random(7);
  const auto member = [&] { return std::to_string(1 + random() % demo.members()); };
  for (auto _ : state) {
    if (request) db::beginRequest();
    for (int i = 0; i < 4; ++i) {
      db::Connection conn;
      if (!conn.Open(demo.params())) state.SkipWithError("open failed");
      benchmark::DoNotOptimize(
          conn.Execute("select nickname,grade,emoney from zurva_user where userid=" + member())(0));
      const std::string from = member();
      benchmark::DoNotOptimize(
          conn.Execute("select count(*) from zurva_user where userid between " + from + " and " +
                       from + "+9")(0));
      benchmark::DoNotOptimize(
          conn.Execute("select userid,sex from zurva_user where userid=" + member())(0));
    }
    if (request) db::endRequest();
  }
  db::releasePooledConnections();
}
BENCHMARK(BM_RequestOfSmallReads)->Arg(0)->Arg(1)->Threads(1)->Threads(8)->UseRealTime();

// Reads every column of a raw row by its stored type, as the layer stores a row.
void readRow(sqlite3_stmt* stmt) {
  for (int i = 0, n = sqlite3_column_count(stmt); i < n; ++i) {
    switch (sqlite3_column_type(stmt, i)) {
      case SQLITE_INTEGER: benchmark::DoNotOptimize(sqlite3_column_int64(stmt, i)); break;
      case SQLITE_FLOAT: benchmark::DoNotOptimize(sqlite3_column_double(stmt, i)); break;
      case SQLITE_NULL: break;
      default: benchmark::DoNotOptimize(sqlite3_column_text(stmt, i));
    }
  }
}

// Raw SQLite reading the same row (every column) in an open read transaction.
void BM_ReadMemberRawSqlite(benchmark::State& state) {
  DemoDatabase& demo = DemoDatabase::get();
  sqlite3* handle = nullptr;
  sqlite3_open_v2(demo.file().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(handle, "select * from zurva_user where userid=?", -1, &stmt, nullptr);
  sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
  std::mt19937 random(7);
  for (auto _ : state) {
    sqlite3_bind_int64(stmt, 1, 1 + random() % demo.members());
    if (sqlite3_step(stmt) == SQLITE_ROW) readRow(stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_finalize(stmt);
  sqlite3_close(handle);
}
BENCHMARK(BM_ReadMemberRawSqlite);

// ---- the search

// One run of a search through the layer: rows materialised, one field read.
long searchDialect(db::Connection& conn, const std::string& sql) {
  db::Recordset rs;
  rs.Open(sql, conn, db::adOpenKeyset, db::adLockReadOnly);
  long rows = 0;
  for (; !rs.eof(); rs.MoveNext(), ++rows) benchmark::DoNotOptimize(rs("userdata"));
  return rows;
}

// The native search on a raw handle, every column fetched.
long searchNative(sqlite3_stmt* stmt) {
  long rows = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    readRow(stmt);
    ++rows;
  }
  sqlite3_reset(stmt);
  return rows;
}

// A raw read-only handle with the dialect's collation and functions, set up
// as the layer sets up its own.
struct NativeSearch {
  sqlite3* handle = nullptr;
  sqlite3_stmt* stmt = nullptr;
  NativeSearch() {
    sqlite3_open_v2(DemoDatabase::get().file().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    db::registerDialect(handle);
    sqlite3_prepare_v2(handle, kNativeSearch, -1, &stmt, nullptr);
  }
  ~NativeSearch() {
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
  }
};

// The worked example through the dialect; the argument picks the sort order.
void BM_SearchDialect(benchmark::State& state) {
  db::Connection conn = openDemo(state);
  const std::string sql = dialectSearch(kSorts[state.range(0)]);
  long rows = 0;
  for (auto _ : state) rows = searchDialect(conn, sql);
  state.counters["rows"] = double(rows);
  state.counters["members"] = double(DemoDatabase::get().members());
}
BENCHMARK(BM_SearchDialect)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The worked example as the result page reads it: its rows counted (at most
// 200) and one page of six read; the argument is the page (34 is the last).
void BM_SearchPage(benchmark::State& state) {
  db::Connection conn = openDemo(state);
  const std::string sql = dialectSearch(kSorts[0]);
  long rows = 0;
  for (auto _ : state) {
    db::Recordset rs;
    rs.OpenPaged(sql, conn);
    rs.PageSize = 6;
    rows = rs.RecordCount();
    rs.setAbsolutePage(std::min(long(state.range(0)), rs.PageCount()));
    for (long i = 0; i < rs.PageSize && !rs.eof(); ++i, rs.MoveNext())
      benchmark::DoNotOptimize(rs("userdata"));
  }
  state.counters["rows"] = double(rows);
  state.counters["members"] = double(DemoDatabase::get().members());
}
BENCHMARK(BM_SearchPage)->Arg(1)->Arg(34)->Unit(benchmark::kMillisecond);

void BM_SearchNative(benchmark::State& state) {
  NativeSearch native;
  long rows = 0;
  for (auto _ : state) rows = searchNative(native.stmt);
  state.counters["rows"] = double(rows);
}
BENCHMARK(BM_SearchNative)->Unit(benchmark::kMillisecond);

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Both searches warm (each has run before timing starts), one after the
// other, the first of the pair alternating; counters are the medians in ms
// and dialect over native.
void BM_SearchDialectVsNative(benchmark::State& state) {
  db::Connection conn = openDemo(state);
  NativeSearch native;
  const std::string sql = dialectSearch(kSorts[0]);
  for (int i = 0; i < 3; ++i) {
    searchDialect(conn, sql);
    searchNative(native.stmt);
  }
  std::vector<double> dialect, raw;
  bool dialectFirst = true;
  for (auto _ : state) {
    long a = 0, b = 0;
    for (int k = 0; k < 2; ++k) {
      const auto t0 = Clock::now();
      if ((k == 0) == dialectFirst) {
        a = searchDialect(conn, sql);
        dialect.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      } else {
        b = searchNative(native.stmt);
        raw.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      }
    }
    dialectFirst = !dialectFirst;
    if (a != b) state.SkipWithError("the two searches disagree");
  }
  state.counters["dialect_ms"] = median(dialect);
  state.counters["native_ms"] = median(raw);
  state.counters["ratio"] = median(dialect) / median(raw);
}
BENCHMARK(BM_SearchDialectVsNative)->Unit(benchmark::kMillisecond);

// Materialising a 200-row result of whole member rows and reading its fields.
void BM_Materialise200Rows(benchmark::State& state) {
  db::Connection conn = openDemo(state);
  long rows = 0;
  for (auto _ : state) {
    db::Recordset rs;
    rs.Open("select top 200 * from zurva_user where sex=577 order by userid", conn,
            db::adOpenKeyset, db::adLockReadOnly);
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

// ---- concurrent writers

// Runs `body(thread)` on `threads` threads at once.
template <class Body>
void onThreads(int threads, Body body) {
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&body, t] {
      body(t);
      db::releasePooledConnections();
    });
  for (std::thread& th : pool) th.join();
}

// The member login's write: read the row through an updatable recordset,
// count the login, update. False when the layer raised an error.
bool login(db::Connection& conn, long userid) {
  try {
    db::Recordset rs;
    rs.Open(
        "select "
        "field,userid,Zurvauser,password,sex,ok,grade,trust,userdata,nickname,wholook,emoney,"
        "lasttime,"
        "addtime,ifdel,ifclose,loginip,logins,isnull(mobile,'#') as mobile from Zurva_user where "
        "zurvauser='member" +
            std::to_string(userid) + "@example.com' and ifdel<>1",
        conn, db::adOpenKeyset, db::adLockOptimistic);
    if (rs.eof()) return false;
    rs["lasttime"] = Now();
    rs["loginip"] = "127.0.0.1";
    const Variant logins = rs("logins");
    rs["logins"] = logins.isNull() ? Variant(1) : logins + Variant(1);
    rs.Update();
    rs.Close();
    return true;
  } catch (const VbError&) {
    return false;
  }
}

// A member that is not locked (ifdel=0), for the races.
long raceMember(db::Connection& conn) {
  return long(
      toNumber(conn.Execute("select min(userid) from zurva_user where userid>3 and ifdel=0")(0)));
}

// 16 threads log one member in 1,000 times each; "lost" counts the answered
// logins that the member's count does not show.
void BM_LoginRace(benchmark::State& state) {
  db::Connection conn = openDemo(state);
  const long member = raceMember(conn);
  const std::string logins =
      "select isnull(logins,0) from zurva_user where userid=" + std::to_string(member);
  constexpr int kThreads = 16, kEach = 1000;
  for (auto _ : state) {
    const double before = toNumber(conn.Execute(logins)(0));
    std::atomic<long> answered{0};
    onThreads(kThreads, [&](int) {
      db::Connection c;
      c.Open(DemoDatabase::get().params());
      for (int i = 0; i < kEach; ++i) answered += login(c, member);
    });
    state.counters["answered"] = double(answered);
    state.counters["lost"] = double(answered) - (toNumber(conn.Execute(logins)(0)) - before);
  }
}
BENCHMARK(BM_LoginRace)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1,000 read-check-write spends of 1 through updatable recordsets on 16
// threads, against a balance of 500: "free" counts spends that took no money.
void BM_SpendRace(benchmark::State& state) {
  db::Connection conn = openDemo(state);
  const std::string member = std::to_string(raceMember(conn));
  for (auto _ : state) {
    conn.ExecuteAction("update zurva_user set emoney=500 where userid=" + member);
    std::atomic<long> spent{0};
    onThreads(16, [&](int t) {
      db::Connection c;
      c.Open(DemoDatabase::get().params());
      for (int i = t; i < 1000; i += 16) {
        try {
          db::Recordset rs;
          rs.Open("select emoney from zurva_user where userid=" + member, c, db::adOpenKeyset,
                  db::adLockOptimistic);
          if (toNumber(rs("emoney")) >= 1) {
            rs["emoney"] = rs("emoney") - Variant(1);
            rs.Update();
            ++spent;
          }
        } catch (const VbError&) {
        }
      }
    });
    const double left =
        toNumber(conn.Execute("select emoney from zurva_user where userid=" + member)(0));
    state.counters["spent"] = double(spent);
    state.counters["free"] = double(spent) - (500 - left);
  }
}
BENCHMARK(BM_SpendRace)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

long long fileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

// ZURVA_BENCH_SECONDS of logins on 8 threads (random members) beside
// threads reading members (the second argument: 8, or 54 for the server's 64
// workers) and 2 running the search, with the write-ahead log's size sampled
// every 20 ms. Counters: the largest and the last log size in MB, logins and
// member reads per second, searches per second.
void BM_SustainedLogins(benchmark::State& state) {
  DemoDatabase& demo = DemoDatabase::get();
  const bool forceMap = state.range(0) == 1;
  const auto seconds = std::chrono::seconds(envNumber("ZURVA_BENCH_SECONDS", 10));
  const std::string wal = demo.file() + "-wal";
  constexpr int kWriters = 8, kSearchers = 2;
  const int kReaders = int(state.range(1));
  for (auto _ : state) {
    std::atomic<bool> stop{false};
    std::atomic<long> logins{0}, reads{0}, searches{0}, failures{0};
    long long largest = 0;
    std::thread sampler([&] {
      while (!stop) {
        largest = std::max(largest, fileSize(wal));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    const auto end = Clock::now() + seconds;
    onThreads(kWriters + kReaders + kSearchers, [&](int t) {
      db::Connection c;
      c.Open(demo.params());
      if (forceMap) c.ExecuteAction("PRAGMA mmap_size=1073741824");
      std::mt19937 random{unsigned(t)};
      const std::string search = dialectSearch(kSorts[0]);
      while (Clock::now() < end) {
        const long member = 4 + long(random() % std::uint32_t(demo.members() - 3));
        try {
          if (t < kWriters) {
            if (login(c, member))
              ++logins;
            else
              ++failures;
          } else if (t < kWriters + kReaders) {
            db::Recordset rs;
            rs.Open("select * from [Zurva_user] where userid=" + std::to_string(member), c,
                    db::adOpenKeyset, db::adLockReadOnly);
            benchmark::DoNotOptimize(rs("nickname"));
            ++reads;
          } else {
            searchDialect(c, search);
            ++searches;
          }
        } catch (const VbError&) {
          ++failures;
        }
      }
    });
    stop = true;
    sampler.join();
    const double s = double(seconds.count());
    state.counters["wal_max_MB"] = double(largest) / 1e6;
    state.counters["wal_end_MB"] = double(fileSize(wal)) / 1e6;
    state.counters["logins_per_s"] = double(logins) / s;
    state.counters["reads_per_s"] = double(reads) / s;
    state.counters["searches_per_s"] = double(searches) / s;
    state.counters["failures"] = double(failures);
  }
}
BENCHMARK(BM_SustainedLogins)
    ->ArgsProduct({{0, 1}, {8, 54}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

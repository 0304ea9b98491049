// Benchmarks of the member search on demo databases of 10,000 and 100,000
// members:
//   - BM_SearchResult: the result page of the worked-example search (women
//     aged 20 to 30, 160 to 180 cm, education 122 to 127; top 200 in the
//     default order) through zurva::seach_result, a member viewing;
//   - BM_SearchResultPage30: page 30 of it;
//   - BM_NativeSearch: the same selection written natively for SQLite on the
//     raw handle (count and the first page), for comparison;
//   - BM_QuickSearch: one page of the home page's quick search (women aged 20
//     to 30, page 2) through zurva::mainseachshow.
// The argument is the number of members.
//
// Run: build/search_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "bench/bench_requests.h"
#include "bench/demo_databases.h"
#include "bench/worked_example.h"
#include "db/db.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "site/seed.h"

namespace {

using namespace zurvafun;
using bench::settings;
using bench::workedExample;

using bench::DemoDatabases;

// The result page `page` (none: the first, as the search handler links it).
void searchResult(benchmark::State& state, const char* page) {
  const std::string database = DemoDatabases::get().name(int(state.range(0)));
  Variant server = "(local)", user = "sa", password = "bench", name = database;
  Variant width = 120, height = 150, rtype = "";
  const std::string condition = workedExample();
  long length = 0;
  for (auto _ : state) {
    host::TestHost h;
    settings(h);
    h.request().Cookies.setFromHeader("kalimo", "username=demo2%40example.com&userid=2&grade=3");
    h.request().ServerVariables.add("SCRIPT_NAME", "/result.asp");
    h.session().set("iwhere", condition);
    if (page) h.request().QueryString.add("Page", page);
    zurva z;
    const Variant shown = z.seach_result(server, user, password, name, width, height, rtype);
    length = long(shown.str().size());
    benchmark::DoNotOptimize(length);
  }
  if (length < 10000) state.SkipWithError("the result page is too short: no rows?");
}

void BM_SearchResult(benchmark::State& state) { searchResult(state, nullptr); }
// Page 30 of the same search (the last one where it matches fewer members).
void BM_SearchResultPage30(benchmark::State& state) { searchResult(state, "30"); }

void BM_NativeSearch(benchmark::State& state) {
  const std::string file = db::databaseFile(DemoDatabases::get().name(int(state.range(0))));
  sqlite3* conn = nullptr;
  sqlite3_open_v2(file.c_str(), &conn, SQLITE_OPEN_READONLY, nullptr);
  db::registerDialect(conn);
  const int year = fromSerial(clockNow()).year;
  const std::string where =
      "sex=577 and cast(substr(userdata,1,4) as int)<=" + std::to_string(year - 20) +
      " and cast(substr(userdata,1,4) as int)>=" + std::to_string(year - 30) +
      " and cast(height_ as int)>=160 and cast(height_ as int)<=180 and "
      "cast(substr(userdata,instr(userdata,'#12')+1,3) as int)>=122 and "
      "cast(substr(userdata,instr(userdata,'#12')+1,3) as int)<=127 and ifclose=0 and iferro=0 and ifdel=0";
  const std::string count = "select count(*) from (select 1 from zurva_user where " + where + " limit 200)";
  const std::string rows = "select * from zurva_user where " + where + " order by grade desc,trust desc limit 6";
  long found = 0;
  for (auto _ : state) {
    for (const std::string* sql : {&count, &rows}) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(conn, sql->c_str(), -1, &stmt, nullptr);
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
        ++found;
      }
      sqlite3_finalize(stmt);
    }
  }
  sqlite3_close(conn);
  if (found == 0) state.SkipWithError("no rows");
}

void BM_QuickSearch(benchmark::State& state) {
  const std::string database = DemoDatabases::get().name(int(state.range(0)));
  Variant server = "(local)", user = "sa", password = "bench", name = database, maintype = 1;
  for (auto _ : state) {
    host::TestHost h;
    settings(h);
    h.request().Cookies.setFromHeader("kalimo", "username=demo2%40example.com&userid=2&grade=3");
    h.request().ServerVariables.add("SCRIPT_NAME", "/quicksearch.asp");
    for (const auto& [key, value] : {std::pair{"sex", "577"}, {"agefrom", "20"}, {"ageto", "30"}, {"province1", "0"},
                                     {"city1", "0"}, {"Page", "2"}})
      h.request().QueryString.add(key, value);
    zurva z;
    benchmark::DoNotOptimize(z.mainseachshow(server, user, password, name, maintype));
  }
}

BENCHMARK(BM_SearchResult)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchResultPage30)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NativeSearch)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSearch)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

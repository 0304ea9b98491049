// How the member pages grow with the membership: demo databases of 3,000,
// 30,000, 100,000 and 300,000 members (the argument), each request in
// process with a fresh request context:
//   - BM_QuickSearch: the home page's quick search, women aged 20 to 30, page 2;
//   - BM_QuickSearchEveryWoman: the quick search with an age range that
//     takes in every woman, its page 2 and its last page;
//   - BM_CityPage: the city page of one province (/city.asp?city=0&city1=0)
//     as the site serves it, warm;
//   - BM_SearchResult: the result page of the worked-example search (women
//     aged 20 to 30, 160 to 180 cm, education 122 to 127; top 200), page 1.
//
// Run: build/growth_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <string>
#include <utility>

#include "bench/bench_requests.h"
#include "bench/demo_databases.h"
#include "framework/zurva.h"
#include "host/serve/pages.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "site/pages.h"
#include "site/pages_showcase.h"

namespace {

using namespace zurvafun;
using bench::settings;
using bench::workedExample;

constexpr const char* kUser = "sa";
constexpr const char* kPassword = "bench";

// The demo configuration's settings, as the city page reads them.
void siteSettings(host::TestHost& h) {
  const char* base[] = {"zurva 交友", "http://127.0.0.1:8080/", "admin@example.com", "010-12345678", "c", "演示站",
                        "100", "0", "1", "12", "8", "100", "50", "10", "20", "1", "5", "200", "20", "2000", "",
                        "欢迎", "demo_sms", "demo_sms_pass", "1", "0"};
  std::string text;
  for (const char* field : base) text += (text.empty() ? "" : "<><><><><>") + std::string(field);
  h.application().set("zurva_base_info", Variant(VariantArray{Variant(text)}));
  h.application().set("zurva_info", Variant(VariantArray{Variant("词语过滤表<><><><><>admin<><><><><>笨蛋")}));
  h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant("默认风格##/skins/default/##css.css##760##1")}));
}

void logInDemo2(host::TestHost& h) {
  h.request().Cookies.setFromHeader("kalimo", "username=demo2%40example.com&userid=2&grade=3");
}

// One quick search page: women aged `from` to `to`; page "last" is the last.
std::size_t quickSearch(const std::string& database, const char* from, const char* to, const std::string& page) {
  host::TestHost h;
  settings(h);
  logInDemo2(h);
  h.request().ServerVariables.add("SCRIPT_NAME", "/quicksearch.asp");
  for (const auto& [key, value] : {std::pair<const char*, std::string>{"sex", "577"},
                                   {"agefrom", from},
                                   {"ageto", to},
                                   {"province1", "0"},
                                   {"city1", "0"},
                                   {"Page", page}})
    h.request().QueryString.add(key, value);
  zurva z;
  Variant server = "(local)", user = kUser, password = kPassword, name = database, maintype = 1;
  return z.mainseachshow(server, user, password, name, maintype).str().size();
}

void BM_QuickSearch(benchmark::State& state) {
  const std::string database = bench::DemoDatabases::get().name(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(quickSearch(database, "20", "30", "2"));
}

void BM_QuickSearchEveryWoman(benchmark::State& state) {
  const int members = int(state.range(0));
  const std::string database = bench::DemoDatabases::get().name(members);
  // A page past the last is the last page.
  const std::string page = state.range(1) ? std::to_string(members) : "2";
  for (auto _ : state) benchmark::DoNotOptimize(quickSearch(database, "0", "200", page));
}

void BM_CityPage(benchmark::State& state) {
  const std::string database = bench::DemoDatabases::get().name(int(state.range(0)));
  serve::PageRegistry pages;
  site::registerPages(pages);
  const serve::Page* city = pages.find("/city.asp");
  if (!city) return state.SkipWithError("no city page");
  // The showcase list as the site keeps it in the application.
  db::Connection conn;
  if (!conn.Open({"(local)", kUser, kPassword, database})) return state.SkipWithError("no database");
  const Variant showcase(VariantArray{Variant(site::buildShowcaseList(conn))});
  std::size_t length = 0;
  for (auto _ : state) {
    host::TestHost h;
    siteSettings(h);
    h.application().set("zurva_myshow", showcase);
    h.request().ServerVariables.add("SCRIPT_NAME", "/city.asp");
    h.request().QueryString.add("city", "0");
    h.request().QueryString.add("city1", "0");
    serve::PageContext p{h.request(), h.response(), h.session(), h.application(), h.server(),
                         "(local)",   kUser,        kPassword,   database};
    (*city)(p);
    length = h.response().body().size();
    benchmark::DoNotOptimize(length);
  }
  if (length < 1000) state.SkipWithError(("the city page is too short: " + std::to_string(length)).c_str());
}

void BM_SearchResult(benchmark::State& state) {
  const std::string database = bench::DemoDatabases::get().name(int(state.range(0)));
  Variant server = "(local)", user = kUser, password = kPassword, name = database;
  Variant width = 120, height = 150, rtype = "";
  const std::string condition = workedExample();
  std::size_t length = 0;
  for (auto _ : state) {
    host::TestHost h;
    settings(h);
    logInDemo2(h);
    h.request().ServerVariables.add("SCRIPT_NAME", "/result.asp");
    h.session().set("iwhere", condition);
    zurva z;
    length = z.seach_result(server, user, password, name, width, height, rtype).str().size();
    benchmark::DoNotOptimize(length);
  }
  if (length < 10000) state.SkipWithError("the result page is too short: no rows?");
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int members : {3000, 30000, 100000, 300000}) b->Arg(members);
}

void sizesAndPages(benchmark::internal::Benchmark* b) {
  for (int members : {3000, 30000, 100000, 300000})
    for (int last : {0, 1}) b->Args({members, last});
}

BENCHMARK(BM_QuickSearch)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuickSearchEveryWoman)->Apply(sizesAndPages)->ArgNames({"members", "last"})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CityPage)->Apply(sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchResult)->Apply(sizes)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

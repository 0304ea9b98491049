// How the pages that read many members grow with the membership: the demo
// database at 3,000, 30,000, 100,000 and 300,000 members (the first argument).
//   BM_QuickSearch          page 2 of the home page's quick search (women aged
//                           20 to 30), a member viewing
//   BM_CityPage             the city page /city.asp?city=0&city1=0, as a guest
//                           (second argument 0) and as a member (1), after a
//                           first visit
//   BM_SearchResults        the result page of the worked example's search
//                           (women aged 20 to 30, 160 to 180 cm, education 122
//                           to 127), a member viewing
//   BM_GalleryRebuild       the home gallery with its pool made afresh from the
//                           member table (the first gallery after a start)
//   BM_GalleryAfterAChange  a change of one member that the gallery reads, then
//                           the home gallery (its pool brought up to date)
//
// The seeded databases are kept between runs (bench/demo_databases.h):
// seeding takes minutes at 300,000 members.
//
// Run: build/growth_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <string>

#include "bench/demo_databases.h"
#include "bench/worked_example.h"
#include "db/db.h"
#include "framework/zurva.h"
#include "host/serve/pages.h"
#include "host/test_host.h"
#include "runtime/kept.h"
#include "site/pages.h"
#include "site/pages_showcase.h"
#include "site/seed.h"

namespace {

using namespace zurvafun;

const Variant kServer = "(local)", kUser = "sa", kPassword = "bench";

// The demo site's settings, as config/zurva-serve.json gives them in part
// (static links, the free-access switch off), and the showcase list of
// database `name`.
void settle(host::TestHost& h, const Variant& name) {
  std::string base;
  for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + std::string(i == 25 ? "0" : "x");
  h.application().set("zurva_base_info", Variant(VariantArray{Variant(base)}));
  h.application().set("zurva_info", Variant(VariantArray{Variant("w<><><><><>admin<><><><><>笨蛋")}));
  h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant("s##/##css.css##760##1")}));
  db::Connection conn;
  conn.Open({kServer.str(), kUser.str(), kPassword.str(), name.str()});
  h.application().set("zurva_myshow", Variant(VariantArray{Variant(site::buildShowcaseList(conn))}));
}

constexpr const char* kMember = "username=demo2%40example.com&userid=2&grade=3&sex=576";

void BM_QuickSearch(benchmark::State& state) {
  const Variant name = bench::DemoDatabases::get().name(int(state.range(0)));
  const Variant maintype = 1;
  host::TestHost h;
  settle(h, name);
  for (auto _ : state) {
    h.nextRequest();
    h.request().Cookies.setFromHeader("kalimo", kMember);
    h.request().ServerVariables.add("SCRIPT_NAME", "/quicksearch.asp");
    for (const auto& [key, value] : {std::pair{"sex", "577"}, {"agefrom", "20"}, {"ageto", "30"},
                                     {"province1", "0"}, {"city1", "0"}, {"Page", "2"}})
      h.request().QueryString.add(key, value);
    zurva z;
    benchmark::DoNotOptimize(z.mainseachshow(kServer, kUser, kPassword, name, maintype));
  }
}

void BM_CityPage(benchmark::State& state) {
  const Variant name = bench::DemoDatabases::get().name(int(state.range(0)));
  const bool member = state.range(1) == 1;
  serve::PageRegistry pages;
  site::registerPages(pages);
  const serve::Page& city = *pages.find("/city.asp");
  host::TestHost h;
  settle(h, name);
  std::size_t length = 0;
  const auto visit = [&] {
    h.nextRequest();
    if (member) h.request().Cookies.setFromHeader("kalimo", kMember);
    h.request().ServerVariables.add("SCRIPT_NAME", "/city.asp");
    h.request().QueryString.add("city", "0");
    h.request().QueryString.add("city1", "0");
    serve::PageContext p{h.request(), h.response(), h.session(), h.application(), h.server(),
                         kServer,     kUser,        kPassword,   name};
    city(p);
    length = h.response().body().size();
  };
  visit();  // what the server keeps between pages is made by the first
  for (auto _ : state) visit();
  if (length < 10000) state.SkipWithError("the city page is too short");
}

void BM_SearchResults(benchmark::State& state) {
  const Variant name = bench::DemoDatabases::get().name(int(state.range(0)));
  const std::string condition = bench::workedExample();
  Variant width = 120, height = 150, rtype = "";
  host::TestHost h;
  settle(h, name);
  h.session().set("iwhere", condition);
  for (auto _ : state) {
    h.nextRequest();
    h.request().Cookies.setFromHeader("kalimo", kMember);
    h.request().ServerVariables.add("SCRIPT_NAME", "/result.asp");
    zurva z;
    benchmark::DoNotOptimize(z.seach_result(kServer, kUser, kPassword, name, width, height, rtype));
  }
}

void BM_GalleryRebuild(benchmark::State& state) {
  const Variant name = bench::DemoDatabases::get().name(int(state.range(0)));
  host::TestHost h;
  settle(h, name);
  for (auto _ : state) {
    kept::clearAll();
    h.nextRequest();
    zurva z;
    benchmark::DoNotOptimize(z.mainshow(kServer, kUser, kPassword, name, "", "", 120, 150));
  }
}

void BM_GalleryAfterAChange(benchmark::State& state) {
  const int members = int(state.range(0));
  const Variant name = bench::DemoDatabases::get().name(members);
  host::TestHost h;
  settle(h, name);
  db::Connection conn;
  conn.Open({kServer.str(), kUser.str(), kPassword.str(), name.str()});
  {
    zurva z;
    z.mainshow(kServer, kUser, kPassword, name, "", "", 120, 150);  // the pool there is
  }
  long member = 0;
  for (auto _ : state) {
    // Another member pays for a place on the home page each time.
    member = member % members + 1;
    conn.ExecuteAction("update zurva_user set maincity='#',citymoney=citymoney+1 where userid=" +
                       std::to_string(member));
    h.nextRequest();
    zurva z;
    benchmark::DoNotOptimize(z.mainshow(kServer, kUser, kPassword, name, "", "", 120, 150));
  }
}

constexpr long kSizes[] = {3000, 30000, 100000, 300000};

void sizes(benchmark::internal::Benchmark* b) {
  for (const long members : kSizes) b->Arg(members);
  b->Unit(benchmark::kMillisecond);
}

void sizesAndViewers(benchmark::internal::Benchmark* b) {
  for (const long members : kSizes) b->Args({members, 0})->Args({members, 1});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_QuickSearch)->Apply(sizes);
BENCHMARK(BM_CityPage)->Apply(sizesAndViewers);
BENCHMARK(BM_SearchResults)->Apply(sizes);
BENCHMARK(BM_GalleryRebuild)->Apply(sizes);
BENCHMARK(BM_GalleryAfterAChange)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();

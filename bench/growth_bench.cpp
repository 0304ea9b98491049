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
// Seeding takes minutes at 300,000 members: each seeded database is kept in
// the folder ZURVA_BENCH_CACHE ($TMPDIR/zurva-bench-cache by default) under
// its size and a fingerprint of the schema and the seeder, and each run works
// on a copy. Delete the folder to seed afresh.
//
// Run: build/growth_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "db/db.h"
#include "framework/process_caches.h"
#include "framework/zurva.h"
#include "host/serve/pages.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "site/pages.h"
#include "site/pages_showcase.h"
#include "site/seed.h"

namespace {

using namespace zurvafun;
namespace fs = std::filesystem;

const Variant kServer = "(local)", kUser = "sa", kPassword = "bench";

// The seeded databases kept between runs, and this run's copies.
class GrowthDatabases {
 public:
  static GrowthDatabases& get() {
    static GrowthDatabases databases;
    return databases;
  }

  // The database name of this run's copy of the demo database of `members`.
  Variant name(int members) {
    const std::string name = "growth" + std::to_string(members);
    if (!copied_.contains(members)) {
      fs::copy_file(kept(members), db::databaseFile(name), fs::copy_options::overwrite_existing);
      copied_[members] = true;
    }
    return name;
  }

 private:
  GrowthDatabases() {
    const char* configured = std::getenv("ZURVA_BENCH_CACHE");
    cache_ = configured && *configured ? fs::path(configured) : fs::temp_directory_path() / "zurva-bench-cache";
    fs::create_directories(cache_);
    work_ = fs::temp_directory_path() / ("zurva-growth-" + std::to_string(::getpid()));
    fs::create_directories(work_);
    db::Config config;
    config.dataDir = work_.string();
    config.user = "sa";
    config.password = "bench";
    db::configure(config);
  }
  ~GrowthDatabases() {
    db::closeAllConnections();
    std::error_code ignored;
    fs::remove_all(work_, ignored);
  }

  // What the seeded files depend on: the schema, and the rows the seeder
  // makes (those of a small seed stand for them).
  std::string fingerprint() {
    std::string made = db::schemaText();
    const fs::path probe = work_ / "probe.db";
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
    fs::remove(probe);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016zx", std::hash<std::string>{}(made));
    return hex;
  }

  // The kept database of `members`, seeded when there is none.
  fs::path kept(int members) {
    if (fingerprint_.empty()) fingerprint_ = fingerprint();
    const fs::path file = cache_ / ("demo-" + std::to_string(members) + "-" + fingerprint_ + ".db");
    if (!fs::exists(file)) {
      const fs::path seeding = file.string() + ".seeding-" + std::to_string(::getpid());
      seed::createDemoDatabase(seeding.string(), members);
      fs::rename(seeding, file);
    }
    return file;
  }

  fs::path cache_, work_;
  std::string fingerprint_;
  std::map<int, bool> copied_;
};

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
  const Variant name = GrowthDatabases::get().name(int(state.range(0)));
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
  const Variant name = GrowthDatabases::get().name(int(state.range(0)));
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
  const Variant name = GrowthDatabases::get().name(int(state.range(0)));
  const int year = fromSerial(clockNow()).year;
  const std::string condition =
      "sex=577 and cast(left(userdata,4) as int)<=" + std::to_string(year - 20) +
      " and cast(left(userdata,4) as int)>=" + std::to_string(year - 30) +
      " and cast(height_ as int)>=160 and cast(height_ as int)<=180 and "
      "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
      "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127";
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
  const Variant name = GrowthDatabases::get().name(int(state.range(0)));
  host::TestHost h;
  settle(h, name);
  for (auto _ : state) {
    process_caches::clearAll();
    h.nextRequest();
    zurva z;
    benchmark::DoNotOptimize(z.mainshow(kServer, kUser, kPassword, name, "", "", 120, 150));
  }
}

void BM_GalleryAfterAChange(benchmark::State& state) {
  const int members = int(state.range(0));
  const Variant name = GrowthDatabases::get().name(members);
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

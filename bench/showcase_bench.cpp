// Benchmarks of the showcase and the galleries on the demo database with
// 100,000 members, as the home page runs them for a guest: the showcase widget
// (one large card, a row of three compact cards), the home gallery, a city
// gallery, and the gallery's candidates built afresh (what the first call
// after a change of the database costs).
//
// Run: build-*/showcase_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/demo_databases.h"
#include "db/db.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "site/pages_showcase.h"
#include "site/seed.h"

namespace {

using namespace zurvafun;

constexpr int kMembers = 100000;
const Variant kServer = "(local)", kUser = "sa", kPassword = "bench";
// The demo database's name, seeded on first use.
const Variant& database() {
  static const Variant name = bench::DemoDatabases::get().name(kMembers);
  return name;
}

// The showcase list of the demo database, made once.
const std::string& showcaseList() {
  static const std::string list = [] {
    db::Connection conn;
    conn.Open({"(local)", "sa", "bench", database().str()});
    return site::buildShowcaseList(conn);
  }();
  return list;
}

// A guest's request with the demo site's settings.
void settle(host::TestHost& h) {
  std::string base;
  for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + std::string(i == 25 ? "0" : "x");
  h.application().set("zurva_base_info", Variant(VariantArray{Variant(base)}));
  h.application().set("zurva_info", Variant(VariantArray{Variant("t<><><><><>x<><><><><>笨蛋")}));
  h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant("s##/s/##c.css##760##1")}));
  h.application().set("zurva_myshow", Variant(VariantArray{Variant(showcaseList())}));
}

void BM_ShowcaseWidget(benchmark::State& state) {
  host::TestHost h;
  settle(h);
  for (auto _ : state) {
    zurva z;
    benchmark::DoNotOptimize(z.myshow(kServer, kUser, kPassword, database(), 120, 150, 2, 1));
    benchmark::DoNotOptimize(z.myshow(kServer, kUser, kPassword, database(), 120, 150, 3, 3));
    h.nextRequest();
  }
}
BENCHMARK(BM_ShowcaseWidget)->Unit(benchmark::kMicrosecond);

void BM_HomeGallery(benchmark::State& state) {
  host::TestHost h;
  settle(h);
  for (auto _ : state) {
    zurva z;
    benchmark::DoNotOptimize(z.mainshow(kServer, kUser, kPassword, database(), "", "", 120, 150));
  }
}
BENCHMARK(BM_HomeGallery)->Unit(benchmark::kMicrosecond);

void BM_CityGallery(benchmark::State& state) {
  host::TestHost h;
  settle(h);
  for (auto _ : state) {
    zurva z;
    benchmark::DoNotOptimize(z.mainshow(kServer, kUser, kPassword, database(), 0, 0, 120, 150));
  }
}
BENCHMARK(BM_CityGallery)->Unit(benchmark::kMicrosecond);

// Every call after a write: the candidates are read again.
void BM_HomeGalleryAfterAChange(benchmark::State& state) {
  host::TestHost h;
  settle(h);
  db::Connection conn;
  conn.Open({"(local)", "sa", "bench", database().str()});
  for (auto _ : state) {
    conn.ExecuteAction("update zurva_user set lasttime=lasttime where userid=1");
    zurva z;
    benchmark::DoNotOptimize(z.mainshow(kServer, kUser, kPassword, database(), "", "", 120, 150));
  }
}
BENCHMARK(BM_HomeGalleryAfterAChange)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

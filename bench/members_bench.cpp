// Benchmarks of the member pages on the demo database with 100,000 members:
//   - the public profile panel (memberinfo) of a random member, for a guest
//     (one query) and for a logged-in member (the friendship query besides);
//   - one page of ten member cards (showmeminfo) over the newest members.
// Each iteration is one request: a fresh request context, the component
// created (its input filter runs), the method called.
//
// Run: build-*/members_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "bench/demo_databases.h"
#include "db/db.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "site/seed.h"

namespace {

using namespace zurvafun;

constexpr int kMembers = 100000;

const std::string& database() {
  static const std::string name = bench::DemoDatabases::get().name(kMembers);
  return name;
}

// The site settings of the demo configuration.
void settings(host::TestHost& h) {
  std::string base;
  for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + (i == 25 ? std::string("0") : "f" + std::to_string(i));
  h.application().set("zurva_base_info", Variant(VariantArray{Variant(base)}));
  h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant("默认##/##css.css##760##1")}));
  h.application().set("zurva_info", Variant(VariantArray{Variant("t<><><><><>admin<><><><><>傻瓜,笨蛋")}));
}

void panel(benchmark::State& state, bool member) {
  database();  // seeded before the timing starts
  std::mt19937 random(11);
  std::size_t bytes = 0;
  for (auto _ : state) {
    host::TestHost h;
    settings(h);
    h.request().QueryString.add("id", std::to_string(1 + random() % kMembers));
    if (member) h.request().Cookies.setFromHeader("kalimo", "username=demo2%40example.com&userid=2&grade=2&sex=576");
    zurva z;
    z.memberinfo("(local)", "sa", "bench", database());
    bytes += h.response().body().size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(std::int64_t(bytes));
}

void BM_ProfilePanelGuest(benchmark::State& state) { panel(state, false); }
BENCHMARK(BM_ProfilePanelGuest)->Unit(benchmark::kMicrosecond);

void BM_ProfilePanelMember(benchmark::State& state) { panel(state, true); }
BENCHMARK(BM_ProfilePanelMember)->Unit(benchmark::kMicrosecond);

// One page of the newest 500 members as ten cards, at a random page.
void BM_MemberCardPage(benchmark::State& state) {
  database();  // seeded before the timing starts
  std::mt19937 random(5);
  for (auto _ : state) {
    host::TestHost h;
    settings(h);
    h.request().ServerVariables.set("SCRIPT_NAME", "/newmembers.asp");
    h.request().QueryString.add("Page", std::to_string(1 + random() % 50));
    zurva z;
    benchmark::DoNotOptimize(
        z.showmeminfo("select top 500 * from zurva_user where ifdel=0 order by userid desc", "(local)", "sa", "bench",
                      database()));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemberCardPage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Benchmarks of the HTTP host's per-request work:
//   - a posted form taken in as the host does (URL-encoded pairs decoded into
//     the form collection) and passed through the component's input filter at
//     creation: the largest form the default bounds allow (2 MB, 1,000 pairs),
//     1,000 short pairs, and the flood the pair bound now refuses (150,000
//     keys in 1.4 MB), whose cost shows that lookups no longer grow with the
//     number of keys;
//   - signing and verifying the member cookie;
//   - the member cookie as a member page takes it in (the Cookie header
//     verified and its sub-keys decoded) and writes it back (sub-keys encoded
//     and signed into the Set-Cookie header), as the member home does.
//
// Run: build/serve_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "host/serve/cookies.h"
#include "host/serve/form.h"
#include "host/test_host.h"

namespace {

using namespace zurvafun;

// A URL-encoded form of `pairs` pairs whose values fill about `bytes` bytes.
std::string form(size_t pairs, size_t bytes) {
  const size_t valueLength = bytes / pairs > 8 ? bytes / pairs - 8 : 1;
  const std::string value(valueLength, 'v');
  std::string text;
  text.reserve(bytes + pairs * 8);
  for (size_t i = 0; i < pairs; ++i) text += (i ? "&k" : "k") + std::to_string(i) + "=" + value;
  return text;
}

void takeForm(benchmark::State& state, size_t pairs, size_t bytes) {
  const std::string body = form(pairs, bytes);
  for (auto _ : state) {
    host::TestHost h;
    serve::addUrlEncodedPairs(body, h.request().Form);
    h.request().Form.setText(body);
    zurva z;  // the input filter reads every form value
    benchmark::DoNotOptimize(h.response().ended());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
  state.counters["pairs"] = static_cast<double>(pairs);
}

void BM_LargestAllowedForm(benchmark::State& state) { takeForm(state, 1000, 2 * 1024 * 1024); }
void BM_ThousandShortPairs(benchmark::State& state) { takeForm(state, 1000, 16 * 1000); }
void BM_KeyFlood(benchmark::State& state) { takeForm(state, 150000, 1400 * 1000); }
BENCHMARK(BM_LargestAllowedForm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThousandShortPairs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyFlood)->Unit(benchmark::kMillisecond);

// The demo member's cookie text as the login writes it.
constexpr std::string_view kMemberCookie =
    "username=demo1%40example%2Ecom&password=4bf2d8728120d052&sex=577&userid=1&grade=3&ok=1&trust=3&bri=1990&"
    "emoney=1000&wholook=&addtime=2025%2D03%2D13+09%3A28%3A30&nickname=%D1%DD%CA%BE%D2%BB%BA%C5&userdata=1990%238%"
    "231%2339%23%B9%E3%B6%AB%23%B9%E3%B6%AB%2D%B9%E3%D6%DD%CA%D0%23124&field=822&mobile=13800138000%231";

void BM_SignMemberCookie(benchmark::State& state) {
  const serve::CookieSigner signer("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  const std::time_t now = std::time(nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(signer.sign("kalimo", kMemberCookie, now));
}
BENCHMARK(BM_SignMemberCookie)->ThreadRange(1, 8);

void BM_VerifyMemberCookie(benchmark::State& state) {
  const serve::CookieSigner signer("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  const std::time_t now = std::time(nullptr);
  const std::string value = signer.sign("kalimo", kMemberCookie, now);
  for (auto _ : state) benchmark::DoNotOptimize(signer.verify("kalimo", value, now));
}
BENCHMARK(BM_VerifyMemberCookie)->ThreadRange(1, 8);

// Argument 1: the same cookie with every request, as a browser's connection
// sends it; 0: eight members' cookies in turn, more than a thread keeps
// verified, so that each is verified and decoded afresh.
void BM_ReadMemberCookieHeader(benchmark::State& state) {
  const serve::CookieSigner signer("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  const std::time_t now = std::time(nullptr);
  std::vector<std::string> headers;
  for (int member = 0; member < (state.range(0) ? 1 : 8); ++member)
    headers.push_back("kalimo=" + signer.sign("kalimo", std::string(kMemberCookie) + std::to_string(member), now,
                                              now + 86400));
  size_t next = 0;
  for (auto _ : state) {
    host::RequestCookies cookies;
    std::string session;
    serve::readRequestCookies(headers[next], signer, "ZURVASESSIONID", cookies, session, now);
    next = (next + 1) % headers.size();
    benchmark::DoNotOptimize(cookies("kalimo").hasKeys());
  }
}
BENCHMARK(BM_ReadMemberCookieHeader)->Arg(1)->Arg(0);

void BM_WriteMemberCookie(benchmark::State& state) {
  const serve::CookieSigner signer("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
  const std::time_t now = std::time(nullptr);
  host::RequestCookies sent;
  sent.setFromHeader("kalimo", kMemberCookie);
  host::ResponseCookie cookie("kalimo");
  for (const auto& [key, value] : sent("kalimo").keys().items()) cookie(key) = value;
  for (auto _ : state) benchmark::DoNotOptimize(serve::setCookieHeader(cookie, signer, now));
}
BENCHMARK(BM_WriteMemberCookie);

}  // namespace

BENCHMARK_MAIN();

#include "runtime/format.h"

#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <utility>

#include "runtime/dates.h"
#include "runtime/kept.h"

namespace zurvafun {

namespace {

// A non-negative decimal number: 0.digits × 10^point, so the first `point`
// digits are the whole part (point may be negative or beyond the digits).
struct Decimal {
  bool negative = false;
  std::string digits;
  long point = 0;
};

// The shortest text that reads back as `d`, so 1.005 is 1.005 and not the
// binary value just below it.
Decimal decimalOf(double d) {
  if (!std::isfinite(d)) raise(err::Overflow);
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::scientific).ptr;
  const std::string_view text(buf, size_t(end - buf));  // "d.ddde±xx"
  const size_t e = text.find('e');
  Decimal out;
  out.negative = d < 0;
  for (char c : text.substr(0, e)) {
    if (c != '.') out.digits += c;
  }
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), end, exponent);
  out.point = exponent + 1;
  return out;
}

// The exact amount of a Currency value (scaled by 10000).
Decimal decimalOfCurrency(std::int64_t scaled) {
  Decimal out;
  out.negative = scaled < 0;
  const std::uint64_t magnitude = out.negative ? 0 - std::uint64_t(scaled) : std::uint64_t(scaled);
  out.digits = std::to_string(magnitude);
  out.point = long(out.digits.size()) - 4;
  return out;
}

// Rounds half away from zero, keeping `places` decimals.
void roundAt(Decimal& x, int places) {
  const long keep = x.point + places;
  if (keep < 0) {
    x.digits.clear();
    return;
  }
  if (keep >= long(x.digits.size())) return;
  const bool up = x.digits[size_t(keep)] >= '5';
  x.digits.resize(size_t(keep));
  if (!up) return;
  long i = keep - 1;
  while (i >= 0 && x.digits[size_t(i)] == '9') x.digits[size_t(i--)] = '0';
  if (i < 0) {
    x.digits.insert(x.digits.begin(), '1');
    ++x.point;
  } else {
    ++x.digits[size_t(i)];
  }
}

std::string grouped(const std::string& whole) {
  std::string out;
  for (size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += ',';
    out += whole[i];
  }
  return out;
}

// ---- The random source

std::mutex randomMutex;
RandomSource injectedRandom;  // guarded by randomMutex
std::atomic<bool> randomInjected{false};

// The default generator, one per thread: SplitMix64, whose whole state is one
// word, so reseeding before every draw (as the site's rotation helpers do)
// costs nothing. It starts from a fixed seed, so a thread that never reseeds
// draws the same sequence on every run.
struct SplitMix64 {
  std::uint64_t state = 0x50000u;
  std::uint64_t operator()() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
};

SplitMix64& generator() {
  thread_local kept::PerThread<SplitMix64> gen;
  return gen.get();
}

std::uint64_t bitsOf(double d) { return std::bit_cast<std::uint64_t>(d); }

}  // namespace

std::string FormatNumber(const Variant& value, int digits, bool leadingDigit,
                         bool parensForNegative, bool groupDigits) {
  if (value.isNull()) raise(err::InvalidUseOfNull);
  if (digits == -1) digits = 2;  // the regional default
  if (digits < -1 || digits > 99) raise(err::InvalidCall);

  Decimal x = value.type() == VarType::Currency ? decimalOfCurrency(value.currencyScaledValue())
                                                : decimalOf(CDbl(value));
  roundAt(x, digits);

  std::string whole, fraction;
  for (long i = 0; i < x.point; ++i) whole += i < long(x.digits.size()) ? x.digits[size_t(i)] : '0';
  for (long i = x.point; long(fraction.size()) < digits; ++i) {
    fraction += i >= 0 && i < long(x.digits.size()) ? x.digits[size_t(i)] : '0';
  }
  const size_t firstNonZero = whole.find_first_not_of('0');
  whole.erase(0, firstNonZero == std::string::npos ? whole.size() : firstNonZero);
  // A value that rounds to zero shows no sign.
  const bool negative = x.negative && x.digits.find_first_not_of('0') != std::string::npos;

  std::string text = whole.empty() ? (leadingDigit || fraction.empty() ? "0" : "")
                                   : (groupDigits ? grouped(whole) : whole);
  if (!fraction.empty()) text += '.' + fraction;
  if (!negative) return text;
  return parensForNegative ? '(' + text + ')' : '-' + text;
}

void setRandomSource(RandomSource source) {
  std::lock_guard lock(randomMutex);
  randomInjected.store(static_cast<bool>(source), std::memory_order_release);
  injectedRandom = std::move(source);
}

double Rnd() {
  if (randomInjected.load(std::memory_order_acquire)) {
    // The source is called under the lock: a test's source may keep state.
    std::lock_guard lock(randomMutex);
    if (injectedRandom) return injectedRandom();
  }
  // 53 random bits: a double in [0, 1).
  return double(generator()() >> 11) / 9007199254740992.0;
}

// Without a seed the timer is mixed into the generator's current state: two
// reseeds within the same timer tick therefore still go on to new numbers.
void Randomize() {
  if (randomInjected.load(std::memory_order_acquire)) return;
  SplitMix64& gen = generator();
  gen.state = gen() ^ bitsOf(Timer());
}

void Randomize(double seed) {
  if (randomInjected.load(std::memory_order_acquire)) return;
  generator().state = bitsOf(seed);
}

}  // namespace zurvafun

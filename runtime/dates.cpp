#include "runtime/dates.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <utility>

namespace zurvafun {

namespace {

constexpr long long kSecondsPerDay = 86400;

long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
long long floorMod(long long a, long long b) { return a - floorDiv(a, b) * b; }

// Days from 1970-01-01 to a proleptic Gregorian date (any month 1..12, day 1..31).
long long daysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = floorDiv(y, 400);
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  long long year;
  int month, day;
};

Civil civilFromDays(long long z) {
  z += 719468;
  const long long era = floorDiv(z, 146097);
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const int day = int(doy - (153 * mp + 2) / 5 + 1);
  const int month = int(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2), month, day};
}

const long long kEpoch = daysFromCivil(1899, 12, 30);
// The range a date may take: 100-01-01 .. 9999-12-31.
const long long kFirstDay = daysFromCivil(100, 1, 1) - kEpoch;
const long long kLastDay = daysFromCivil(9999, 12, 31) - kEpoch;

bool isLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(long long y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// A date as a running day number (0 = 1899-12-30, earlier days negative) and
// the seconds since that day's midnight. Unlike the serial, this counts time
// forward across 1899-12-30, so differences and sums are plain arithmetic.
struct Moment {
  long long day = 0;
  long long second = 0;  // 0 .. 86399

  long long totalSeconds() const { return day * kSecondsPerDay + second; }
  static Moment ofSeconds(long long total) {
    return {floorDiv(total, kSecondsPerDay), floorMod(total, kSecondsPerDay)};
  }
  Civil civil() const { return civilFromDays(day + kEpoch); }
};

// Serial of a moment: before 1899-12-30 the fraction is still the time of day,
// counted away from zero (-1.25 is 1899-12-29 06:00).
double serialOf(const Moment& m) {
  const double fraction = double(m.second) / double(kSecondsPerDay);
  return m.day >= 0 ? double(m.day) + fraction : double(m.day) - fraction;
}

bool inRange(const Moment& m) { return m.day >= kFirstDay && m.day <= kLastDay; }

// The moment of a serial, rounded to the whole second. A serial outside the
// date range overflows (error 6).
Moment momentOf(double serial) {
  if (!(serial > double(kFirstDay) - 1 && serial < double(kLastDay) + 1)) raise(err::Overflow);
  const double whole = serial >= 0 ? std::floor(serial) : std::ceil(serial);
  const double fraction = std::fabs(serial - whole);
  Moment m{static_cast<long long>(whole), std::llround(fraction * double(kSecondsPerDay))};
  if (m.second == kSecondsPerDay) m = {m.day + 1, 0};
  if (!inRange(m)) raise(err::Overflow);
  return m;
}

Moment momentOfParts(long long year, long long month, long long day, long long secondsOfDay) {
  year += floorDiv(month - 1, 12);
  month = floorMod(month - 1, 12) + 1;
  const long long days = daysFromCivil(year, int(month), 1) + (day - 1) - kEpoch;
  return Moment::ofSeconds(days * kSecondsPerDay + secondsOfDay);
}

// A computed date as a Date value; one outside the date range is an invalid call.
Variant dateResult(const Moment& m) {
  if (!inRange(m)) raise(err::InvalidCall);
  return Variant::date(serialOf(m));
}

// The same day and time `months` months on, the day clamped to the month's end.
Moment addMonths(const Moment& m, long long months) {
  const Civil c = m.civil();
  const long long index = c.year * 12 + (c.month - 1) + months;
  const long long year = floorDiv(index, 12);
  const int month = int(floorMod(index, 12)) + 1;
  if (year < 100 || year > 9999) raise(err::InvalidCall);
  const int day = std::min(c.day, daysInMonth(year, month));
  return momentOfParts(year, month, day, m.second);
}

enum class Interval { Year, Quarter, Month, Day, Weekday, Week, Hour, Minute, Second };

Interval intervalOf(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  static const std::pair<const char*, Interval> kNames[] = {
      {"yyyy", Interval::Year}, {"q", Interval::Quarter}, {"m", Interval::Month},
      {"y", Interval::Day},     {"d", Interval::Day},     {"w", Interval::Weekday},
      {"ww", Interval::Week},   {"h", Interval::Hour},    {"n", Interval::Minute},
      {"s", Interval::Second}};
  for (const auto& [text, interval] : kNames) {
    if (lower == text) return interval;
  }
  raise(err::InvalidCall);
}

Moment momentOfValue(const Variant& v) { return momentOf(dateSerialOf(v)); }

// Reads 1..maxDigits decimal digits at `pos`.
bool readNumber(std::string_view s, size_t& pos, size_t minDigits, size_t maxDigits, int& value) {
  size_t n = 0;
  value = 0;
  while (pos < s.size() && n < maxDigits && s[pos] >= '0' && s[pos] <= '9') {
    value = value * 10 + (s[pos++] - '0');
    ++n;
  }
  return n >= minDigits && (pos == s.size() || s[pos] < '0' || s[pos] > '9');
}

bool readChar(std::string_view s, size_t& pos, char c) {
  if (pos < s.size() && s[pos] == c) {
    ++pos;
    return true;
  }
  return false;
}

// Writes 0..99 as two digits at `out`.
void twoDigits(char* out, int value) {
  out[0] = char('0' + value / 10);
  out[1] = char('0' + value % 10);
}

// The texts of a day and of a time of day are written digit by digit: pages
// print many dates, and a formatted print costs more than the rest of it.
std::string dayText(const Moment& m) {
  const Civil c = m.civil();
  if (c.year < 0 || c.year > 9999) {  // beyond four digits: as printf pads
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d", c.year, c.month, c.day);
    return buf;
  }
  char text[10] = {0, 0, 0, 0, '-', 0, 0, '-', 0, 0};
  twoDigits(text, int(c.year / 100));
  twoDigits(text + 2, int(c.year % 100));
  twoDigits(text + 5, c.month);
  twoDigits(text + 8, c.day);
  return std::string(text, sizeof text);
}

std::string timeText(const Moment& m) {
  const int seconds = int(m.second);  // within a day: the hours are 0..23
  char text[8] = {0, 0, ':', 0, 0, ':', 0, 0};
  twoDigits(text, seconds / 3600);
  twoDigits(text + 3, seconds / 60 % 60);
  twoDigits(text + 6, seconds % 60);
  return std::string(text, sizeof text);
}

// ---- The clock

std::mutex clockMutex;
ClockSource injectedClock;             // guarded by clockMutex
std::atomic<bool> clockInjected{false};

// Local date and time of the system clock, to the whole second (as the
// language's Now gave it). The conversion to local time takes a lock of the C
// library that every thread shares; each thread converts a second once.
double systemNow() {
  thread_local std::time_t converted = -1;
  thread_local double serial = 0;
  const std::time_t t = std::time(nullptr);
  if (t != converted) {
    std::tm local{};
    localtime_r(&t, &local);
    serial = toSerial({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec});
    converted = t;
  }
  return serial;
}

}  // namespace

double toSerial(const DateParts& p) {
  return serialOf(momentOfParts(p.year, p.month, p.day,
                                3600LL * p.hour + 60LL * p.minute + p.second));
}

DateParts fromSerial(double serial) {
  const Moment m = momentOf(serial);
  const Civil c = m.civil();
  return {int(c.year), c.month, c.day, int(m.second / 3600), int(m.second / 60 % 60),
          int(m.second % 60)};
}

ClockSource setClock(ClockSource clock) {
  std::lock_guard lock(clockMutex);
  clockInjected.store(static_cast<bool>(clock), std::memory_order_release);
  std::swap(injectedClock, clock);
  return clock;
}

double clockNow() {
  if (clockInjected.load(std::memory_order_acquire)) {
    // The source is called under the lock: a test's source may keep state.
    std::lock_guard lock(clockMutex);
    if (injectedClock) return injectedClock();
  }
  return systemNow();
}

Variant Now() { return Variant::date(clockNow()); }

Variant Today() { return Variant::date(serialOf({momentOf(clockNow()).day, 0})); }

double Timer() {
  const double now = clockNow();
  const double whole = now >= 0 ? std::floor(now) : std::ceil(now);
  const double seconds = std::round(std::fabs(now - whole) * double(kSecondsPerDay) * 1000) / 1000;
  return seconds >= double(kSecondsPerDay) ? 0 : seconds;
}

double dateSerialOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Date: return v.dateValue();
    case VarType::Empty: return 0;
    case VarType::Null: raise(err::InvalidUseOfNull);
    case VarType::String: {
      double serial = 0;
      if (parseDate(v.stringValue(), serial)) return serial;
      raise(err::TypeMismatch);
    }
    case VarType::Array: raise(err::TypeMismatch);
    default: return toNumber(v);
  }
}

bool parseDate(std::string_view text, double& serial) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  const std::string_view s = text.substr(b, e - b);

  size_t pos = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!readNumber(s, pos, 4, 4, year)) return false;
  const char sep = pos < s.size() ? s[pos] : '\0';
  if (sep != '-' && sep != '/') return false;
  ++pos;
  if (!readNumber(s, pos, 1, 2, month) || !readChar(s, pos, sep) || !readNumber(s, pos, 1, 2, day))
    return false;
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
    return false;

  if (pos < s.size()) {
    if (!readChar(s, pos, ' ')) return false;
    while (readChar(s, pos, ' ')) {
    }
    if (!readNumber(s, pos, 1, 2, hour) || !readChar(s, pos, ':') ||
        !readNumber(s, pos, 2, 2, minute))
      return false;
    if (readChar(s, pos, ':') && !readNumber(s, pos, 2, 2, second)) return false;
    if (pos != s.size() || hour > 23 || minute > 59 || second > 59) return false;
  }
  serial = toSerial({year, month, day, hour, minute, second});
  return true;
}

Variant DateAdd(std::string_view interval, double number, const Variant& date) {
  const Interval unit = intervalOf(interval);
  if (date.isNull()) return Variant::null();
  // The count is taken as a whole number, rounded like CLng.
  if (!(std::fabs(number) < 1e15)) raise(err::InvalidCall);
  const long long n = static_cast<long long>(bankersRound(number));
  const Moment m = momentOfValue(date);
  auto plusSeconds = [&](long long perUnit) {
    if (std::llabs(n) > (kLastDay - kFirstDay + 1) * kSecondsPerDay / perUnit) raise(err::InvalidCall);
    return dateResult(Moment::ofSeconds(m.totalSeconds() + n * perUnit));
  };
  switch (unit) {
    case Interval::Year: return dateResult(addMonths(m, n * 12));
    case Interval::Quarter: return dateResult(addMonths(m, n * 3));
    case Interval::Month: return dateResult(addMonths(m, n));
    case Interval::Day:
    case Interval::Weekday: return plusSeconds(kSecondsPerDay);
    case Interval::Week: return plusSeconds(7 * kSecondsPerDay);
    case Interval::Hour: return plusSeconds(3600);
    case Interval::Minute: return plusSeconds(60);
    case Interval::Second: return plusSeconds(1);
  }
  raise(err::InvalidCall);
}

long DateDiff(std::string_view interval, const Variant& d1, const Variant& d2) {
  const Interval unit = intervalOf(interval);
  const Moment a = momentOfValue(d1), b = momentOfValue(d2);
  const Civil ca = a.civil(), cb = b.civil();
  // Boundaries crossed: the difference of the interval's running index.
  auto crossed = [&](long long per) {
    return floorDiv(b.totalSeconds(), per) - floorDiv(a.totalSeconds(), per);
  };
  switch (unit) {
    case Interval::Year: return long(cb.year - ca.year);
    case Interval::Quarter:
      return long((cb.year - ca.year) * 4 + (cb.month - 1) / 3 - (ca.month - 1) / 3);
    case Interval::Month: return long((cb.year - ca.year) * 12 + cb.month - ca.month);
    case Interval::Day: return long(b.day - a.day);
    case Interval::Weekday: return long((b.day - a.day) / 7);  // whole weeks, toward zero
    case Interval::Week:
      // Sundays crossed; day 1 (1899-12-31) was a Sunday.
      return long(floorDiv(b.day - 1, 7) - floorDiv(a.day - 1, 7));
    case Interval::Hour: return long(crossed(3600));
    case Interval::Minute: return long(crossed(60));
    case Interval::Second: return long(crossed(1));
  }
  raise(err::InvalidCall);
}

int Year(const Variant& d) { return fromSerial(dateSerialOf(d)).year; }
int Month(const Variant& d) { return fromSerial(dateSerialOf(d)).month; }
int Day(const Variant& d) { return fromSerial(dateSerialOf(d)).day; }
int Hour(const Variant& d) { return fromSerial(dateSerialOf(d)).hour; }
int Minute(const Variant& d) { return fromSerial(dateSerialOf(d)).minute; }
int Second(const Variant& d) { return fromSerial(dateSerialOf(d)).second; }

int Weekday(const Variant& d) {
  // Day 0 (1899-12-30) was a Saturday (7).
  return int(floorMod(momentOfValue(d).day + 6, 7)) + 1;
}

Variant DateSerial(int year, int month, int day) {
  // Two-digit years fall in 1930 .. 2029.
  long long y = year;
  if (y >= 0 && y <= 29) y += 2000;
  else if (y >= 30 && y <= 99) y += 1900;
  return dateResult(momentOfParts(y, month, day, 0));
}

Variant TimeSerial(int hour, int minute, int second) {
  return dateResult(Moment::ofSeconds(3600LL * hour + 60LL * minute + second));
}

std::string generalDateText(double serial) {
  const Moment m = momentOf(serial);
  if (m.day == 0) return timeText(m);
  if (m.second == 0) return dayText(m);
  return dayText(m) + ' ' + timeText(m);
}

std::string dateTimeText(double serial) {
  const Moment m = momentOf(serial);
  return dayText(m) + ' ' + timeText(m);
}

}  // namespace zurvafun

#include "runtime/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/dates.h"

namespace zurvafun {

namespace {

constexpr std::int64_t kCurrencyScale = 10000;

bool fitsInt16(long long n) { return n >= -32768 && n <= 32767; }
bool fitsInt32(long long n) { return n >= std::numeric_limits<std::int32_t>::min() &&
                                     n <= std::numeric_limits<std::int32_t>::max(); }

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Parses text by the language's numeric rules: blanks around, a sign, grouping
// commas in the whole part, one decimal point, an exponent with e or d, and
// &H / &O radix forms. Returns nullopt for text that is not a number.
std::optional<double> parseNumeric(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  s = s.substr(b, e - b);
  if (s.empty()) return std::nullopt;

  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    unsigned long long v = 0;
    for (size_t i = 2; i < s.size(); ++i) {
      int d;
      char c = s[i];
      if (c >= '0' && c <= '9') d = c - '0';
      else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return std::nullopt;
      if (d >= base) return std::nullopt;
      v = v * base + d;
      if (v > 0xFFFFFFFFull) return std::nullopt;
    }
    // Radix literals of up to 16 bits are Integers, up to 32 bits Longs: both signed.
    if (s.size() - 2 <= (base == 16 ? 4u : 6u) && v <= 0xFFFF) return double(std::int16_t(v));
    return double(std::int32_t(std::uint32_t(v)));
  }

  std::string digits;
  digits.reserve(s.size());
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') digits += s[i++];
  bool anyDigit = false, point = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') { digits += c; anyDigit = true; }
    else if (c == ',' && !point && anyDigit) continue;
    else if (c == '.' && !point) { digits += c; point = true; }
    else break;
  }
  if (!anyDigit) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    digits += 'e';
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) digits += s[i++];
    bool expDigit = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) { digits += s[i]; expDigit = true; }
    if (!expDigit) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  return std::strtod(digits.c_str(), nullptr);
}

// Numeric ranks for arithmetic results.
enum class Rank { Integer, Long, Currency, Double, Date };

Rank rankOf(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer: return Rank::Integer;
    case VarType::Long: return Rank::Long;
    case VarType::Currency: return Rank::Currency;
    case VarType::Date: return Rank::Date;
    default: return Rank::Double;  // Double, and text converted to a number
  }
}

// The operand of an arithmetic operator as a number (text must be numeric).
double operand(const Variant& v) { return toNumber(v); }

Variant fromWhole(long long n, Rank atLeast) {
  if (atLeast == Rank::Integer && fitsInt16(n)) return Variant::integer(std::int16_t(n));
  if (atLeast <= Rank::Long && fitsInt32(n)) return Variant::lng(std::int32_t(n));
  return Variant(double(n));
}

bool isWhole(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long: return true;
    default: return false;
  }
}

long long wholeOf(const Variant& v) { return v.isEmpty() ? 0 : v.wholeValue(); }

// Currency amounts stay exact: a result beyond the 64-bit scaled range overflows.
Variant currencyOf(__int128 scaled) {
  if (scaled > std::numeric_limits<std::int64_t>::max() ||
      scaled < std::numeric_limits<std::int64_t>::min())
    raise(err::Overflow);
  return Variant::currencyScaled(std::int64_t(scaled));
}

enum class Rounding { Floor, TowardZero, HalfEven };

// `n / unit` rounded as asked, in exact integer arithmetic.
__int128 divideRounded(__int128 n, std::int64_t unit, Rounding how) {
  __int128 q = n / unit, r = n % unit;
  if (r < 0) {  // make it the floor
    r += unit;
    --q;
  }
  if (how == Rounding::TowardZero && r != 0 && q < 0) ++q;
  if (how == Rounding::HalfEven && (2 * r > unit || (2 * r == unit && (q & 1) != 0))) ++q;
  return q;
}

// A Currency amount rounded to a multiple of `unit` (scaled units).
Variant roundCurrency(const Variant& v, std::int64_t unit, Rounding how) {
  return currencyOf(divideRounded(v.currencyScaledValue(), unit, how) * unit);
}

// A double result: one that leaves the double range overflows, a date one
// that leaves the date range too.
Variant doubleResult(double r, bool isDate) {
  if (!std::isfinite(r)) raise(err::Overflow);
  if (!isDate) return Variant(r);
  fromSerial(r);  // raises 6 outside the date range
  return Variant::date(r);
}

// An arithmetic operator. With `keepsDates` (+ and -) a date operand gives a
// date; otherwise dates count as plain numbers.
template <class WholeOp, class CurrencyOp, class DoubleOp>
Variant arith(const Variant& a, const Variant& b, bool keepsDates, WholeOp whole, CurrencyOp cur,
              DoubleOp dbl) {
  if (a.isNull() || b.isNull()) return Variant::null();
  if (isWhole(a) && isWhole(b)) {
    Rank r = std::max(rankOf(a), rankOf(b));
    return fromWhole(whole(wholeOf(a), wholeOf(b)), r);
  }
  Rank ra = rankOf(a), rb = rankOf(b);
  bool aCur = ra == Rank::Currency, bCur = rb == Rank::Currency;
  if ((aCur || isWhole(a)) && (bCur || isWhole(b))) {
    auto scaled = [](const Variant& v) {
      return v.type() == VarType::Currency ? v.currencyScaledValue() : wholeOf(v) * kCurrencyScale;
    };
    return cur(scaled(a), scaled(b));
  }
  return doubleResult(dbl(operand(a), operand(b)), keepsDates && (ra == Rank::Date || rb == Rank::Date));
}

int cmpDouble(double x, double y) { return x < y ? -1 : (x > y ? 1 : 0); }
int cmpText(std::string_view x, std::string_view y) {
  int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

// ---------------------------------------------------------------- construction

Variant::Variant(bool b) : type_(VarType::Boolean), b_(b) {}
Variant::Variant(int n) : Variant(static_cast<long long>(n)) {
  if (fitsInt16(n)) type_ = VarType::Integer;
}
Variant::Variant(long n) : Variant(static_cast<long long>(n)) {}
Variant::Variant(long long n) {
  if (fitsInt32(n)) { type_ = VarType::Long; i_ = n; }
  else { type_ = VarType::Double; d_ = double(n); }
}
Variant::Variant(unsigned int n) : Variant(static_cast<long long>(n)) {}
Variant::Variant(unsigned long n) : Variant(static_cast<unsigned long long>(n)) {}
Variant::Variant(unsigned long long n) {
  if (n <= 0x7FFFFFFFull) { type_ = VarType::Long; i_ = std::int64_t(n); }
  else { type_ = VarType::Double; d_ = double(n); }
}
Variant::Variant(double d) : type_(VarType::Double), d_(d) {}
Variant::Variant(const char* s) : Variant(std::string(s ? s : "")) {}
Variant::Variant(std::string s)
    : type_(VarType::String), s_(std::make_shared<const std::string>(std::move(s))) {}
Variant::Variant(std::string_view s) : Variant(std::string(s)) {}
Variant::Variant(VariantArray items)
    : type_(VarType::Array), a_(std::make_shared<VariantArray>(std::move(items))) {}

Variant Variant::null() {
  Variant v;
  v.type_ = VarType::Null;
  return v;
}
Variant Variant::integer(std::int16_t n) {
  Variant v;
  v.type_ = VarType::Integer;
  v.i_ = n;
  return v;
}
Variant Variant::lng(std::int32_t n) {
  Variant v;
  v.type_ = VarType::Long;
  v.i_ = n;
  return v;
}
Variant Variant::currencyScaled(std::int64_t scaled) {
  Variant v;
  v.type_ = VarType::Currency;
  v.i_ = scaled;
  return v;
}
Variant Variant::currency(double amount) {
  if (!(std::fabs(amount) < 922337203685477.5808)) raise(err::Overflow);  // NaN too
  // Round the shortest decimal text of the amount, the digits it reads as, so
  // that 0.00015 is exactly half a unit and goes to the even 0.0002.
  char buf[512];
  const auto end =
      std::to_chars(buf, buf + sizeof buf, std::fabs(amount), std::chars_format::fixed).ptr;
  const std::string_view text(buf, size_t(end - buf));
  const size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  __int128 scaled = 0;
  for (char c : whole) scaled = scaled * 10 + (c - '0');
  for (size_t i = 0; i < 4; ++i) scaled = scaled * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  if (fraction.size() > 4) {
    const char next = fraction[4];
    const bool beyondHalf = fraction.find_first_not_of('0', 5) != std::string_view::npos;
    if (next > '5' || (next == '5' && (beyondHalf || (scaled & 1) != 0))) ++scaled;
  }
  return currencyOf(amount < 0 ? -scaled : scaled);
}
Variant Variant::date(double serial) {
  Variant v;
  v.type_ = VarType::Date;
  v.d_ = serial;
  return v;
}

bool Variant::isNumber() const noexcept {
  switch (type_) {
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency: return true;
    default: return false;
  }
}

const std::string& Variant::stringValue() const {
  if (type_ != VarType::String) raise(err::TypeMismatch);
  return *s_;
}
std::int64_t Variant::wholeValue() const {
  switch (type_) {
    case VarType::Boolean: return b_ ? -1 : 0;
    case VarType::Integer:
    case VarType::Long: return i_;
    default: raise(err::TypeMismatch);
  }
}
double Variant::doubleValue() const {
  if (type_ != VarType::Double && type_ != VarType::Date) raise(err::TypeMismatch);
  return d_;
}
std::int64_t Variant::currencyScaledValue() const {
  if (type_ != VarType::Currency) raise(err::TypeMismatch);
  return i_;
}
double Variant::dateValue() const {
  if (type_ != VarType::Date) raise(err::TypeMismatch);
  return d_;
}
const VariantArray& Variant::arrayValue() const {
  if (type_ != VarType::Array) raise(err::TypeMismatch);
  return *a_;
}
VariantArray& Variant::arrayValue() {
  if (type_ != VarType::Array) raise(err::TypeMismatch);
  if (a_.use_count() > 1) a_ = std::make_shared<VariantArray>(*a_);  // copy on write
  return *a_;
}

const Variant& Variant::operator[](long index) const {
  const VariantArray& items = arrayValue();
  if (index < 0 || index >= long(items.size())) raise(err::SubscriptOutOfRange);
  return items[size_t(index)];
}

std::string Variant::str() const {
  switch (type_) {
    case VarType::Empty:
    case VarType::Null: return {};
    case VarType::Boolean: return b_ ? "True" : "False";
    case VarType::Integer:
    case VarType::Long: return std::to_string(i_);
    case VarType::Double: return numberText(d_);
    case VarType::Currency: return currencyText(i_);
    case VarType::Date: return generalDateText(d_);
    case VarType::String: return *s_;
    case VarType::Array: raise(err::TypeMismatch);
  }
  return {};
}

std::string Variant::typeName() const {
  switch (type_) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::Boolean: return "Boolean";
    case VarType::Integer: return "Integer";
    case VarType::Long: return "Long";
    case VarType::Double: return "Double";
    case VarType::Currency: return "Currency";
    case VarType::Date: return "Date";
    case VarType::String: return "String";
    case VarType::Array: return "Variant()";
  }
  return {};
}

// ---------------------------------------------------------------- conversions

double toNumber(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return 0;
    case VarType::Null: raise(err::InvalidUseOfNull);
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long: return double(v.wholeValue());
    case VarType::Double:
    case VarType::Date: return v.doubleValue();
    case VarType::Currency: return double(v.currencyScaledValue()) / double(kCurrencyScale);
    case VarType::String:
      if (auto d = parseNumeric(v.stringValue())) {
        if (!std::isfinite(*d)) raise(err::Overflow);  // beyond the double range
        return *d;
      }
      raise(err::TypeMismatch);
    case VarType::Array: raise(err::TypeMismatch);
  }
  return 0;
}

double CDbl(const Variant& v) { return toNumber(v); }

std::int16_t CInt(const Variant& v) {
  if (v.type() == VarType::Integer) return std::int16_t(v.wholeValue());
  double r = bankersRound(toNumber(v));
  if (!(r >= -32768.0 && r <= 32767.0)) raise(err::Overflow);
  return std::int16_t(r);
}

std::int32_t CLng(const Variant& v) {
  if (v.type() == VarType::Integer || v.type() == VarType::Long) return std::int32_t(v.wholeValue());
  if (v.type() == VarType::Currency) {
    // Exact: round the scaled amount half to even to whole units.
    const __int128 q = divideRounded(v.currencyScaledValue(), kCurrencyScale, Rounding::HalfEven);
    if (q < std::numeric_limits<std::int32_t>::min() || q > std::numeric_limits<std::int32_t>::max())
      raise(err::Overflow);
    return std::int32_t(q);
  }
  double r = bankersRound(toNumber(v));
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) raise(err::Overflow);
  return std::int32_t(r);
}

bool CBool(const Variant& v) {
  switch (v.type()) {
    case VarType::Boolean: return v.wholeValue() != 0;
    case VarType::String: {
      std::string t;
      for (char c : v.stringValue()) t += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
      t = b == std::string::npos ? "" : t.substr(b, e - b + 1);
      if (t == "true") return true;
      if (t == "false") return false;
      return toNumber(v) != 0;
    }
    default: return toNumber(v) != 0;
  }
}

std::string CStr(const Variant& v) {
  if (v.isNull()) raise(err::InvalidUseOfNull);
  return v.str();
}

Variant CCur(const Variant& v) {
  if (v.type() == VarType::Currency) return v;
  if (isWhole(v)) return Variant::currencyScaled(wholeOf(v) * kCurrencyScale);
  return Variant::currency(toNumber(v));
}

Variant CDate(const Variant& v) {
  if (v.isNull()) raise(err::InvalidUseOfNull);
  return Variant::date(dateSerialOf(v));
}

std::string currencyText(std::int64_t scaled) {
  bool neg = scaled < 0;
  std::uint64_t a = neg ? std::uint64_t(-(scaled + 1)) + 1 : std::uint64_t(scaled);
  std::string out = std::to_string(a / kCurrencyScale);
  std::uint64_t frac = a % kCurrencyScale;
  if (frac) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04llu", static_cast<unsigned long long>(frac));
    std::string f = buf;
    while (!f.empty() && f.back() == '0') f.pop_back();
    out += "." + f;
  }
  return neg ? "-" + out : out;
}

// ---------------------------------------------------------------- tests

bool IsNumeric(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency: return true;
    case VarType::String: {
      const auto d = parseNumeric(v.stringValue());
      return d && std::isfinite(*d);  // text beyond the double range does not convert
    }
    default: return false;
  }
}
bool IsNull(const Variant& v) { return v.isNull(); }
bool IsEmpty(const Variant& v) { return v.isEmpty(); }
bool IsArray(const Variant& v) { return v.isArray(); }
bool IsDate(const Variant& v) {
  if (v.isDate()) return true;
  if (!v.isString()) return false;
  double serial;
  return parseDate(v.stringValue(), serial);
}

// ---------------------------------------------------------------- numbers

double bankersRound(double x) {
  double f = std::floor(x), diff = x - f;
  if (diff > 0.5) return f + 1;
  if (diff < 0.5) return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

std::string numberText(double d) {
  if (d == 0) return "0";
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  return buf;
}

namespace {
template <class F>
Variant roundWith(const Variant& v, F f, Rounding how) {
  if (v.isNull()) return v;
  switch (v.type()) {
    case VarType::Empty: return Variant::integer(0);
    case VarType::Boolean: return Variant::integer(std::int16_t(v.wholeValue()));
    case VarType::Integer:
    case VarType::Long: return v;
    case VarType::Currency: return roundCurrency(v, kCurrencyScale, how);
    case VarType::Date: return Variant::date(f(v.dateValue()));
    default: return Variant(f(toNumber(v)));
  }
}
}  // namespace

Variant Int(const Variant& v) {
  return roundWith(v, [](double x) { return std::floor(x); }, Rounding::Floor);
}
Variant Fix(const Variant& v) {
  return roundWith(v, [](double x) { return std::trunc(x); }, Rounding::TowardZero);
}

Variant Round(const Variant& v, int digits) {
  if (digits < 0) raise(err::InvalidCall);
  if (digits == 0) return roundWith(v, bankersRound, Rounding::HalfEven);
  if (v.isNull()) return v;
  if (isWhole(v) || v.isEmpty()) return roundWith(v, bankersRound, Rounding::HalfEven);
  if (v.type() == VarType::Currency) {
    if (digits >= 4) return v;  // a Currency holds four decimals
    std::int64_t unit = 1;
    for (int i = digits; i < 4; ++i) unit *= 10;
    return roundCurrency(v, unit, Rounding::HalfEven);
  }
  double p = std::pow(10.0, digits), x = toNumber(v);
  // More digits than a double holds: nothing to round.
  if (!std::isfinite(x * p)) return Variant(x);
  // Scale through the shortest decimal text so 2.675 rounds as the decimal it shows.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", x * p);
  return Variant(bankersRound(std::strtod(buf, nullptr)) / p);
}

Variant Abs(const Variant& v) {
  if (v.isNull()) return v;
  if (isWhole(v)) return fromWhole(std::llabs(wholeOf(v)), rankOf(v));
  if (v.type() == VarType::Currency) {
    const std::int64_t s = v.currencyScaledValue();
    return currencyOf(s < 0 ? -__int128(s) : __int128(s));
  }
  return Variant(std::fabs(toNumber(v)));
}

double Val(std::string_view s) {
  std::string t;
  for (char c : s)
    if (!isBlank(c) && c != '\n' && c != '\r') t += c;
  if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h' || t[1] == 'O' || t[1] == 'o')) {
    int base = (t[1] == 'H' || t[1] == 'h') ? 16 : 8;
    return double(std::strtoll(t.c_str() + 2, nullptr, base));
  }
  std::string num;
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) num += t[i++];
  bool point = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') num += t[i];
    else if (t[i] == '.' && !point) { num += '.'; point = true; }
    else break;
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
    std::string exp = "e";
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) exp += t[j++];
    bool any = false;
    for (; j < t.size() && t[j] >= '0' && t[j] <= '9'; ++j) { exp += t[j]; any = true; }
    if (any) num += exp;
  }
  return std::strtod(num.c_str(), nullptr);
}

// ---------------------------------------------------------------- arithmetic

Variant operator+(const Variant& a, const Variant& b) {
  if (a.isString() && b.isString()) return Variant(a.stringValue() + b.stringValue());
  if (a.isNull() || b.isNull()) return Variant::null();
  if (a.isEmpty() && b.isString()) return b;
  if (b.isEmpty() && a.isString()) return a;
  return arith(
      a, b, true, [](long long x, long long y) { return x + y; },
      [](std::int64_t x, std::int64_t y) -> Variant { return currencyOf(__int128(x) + y); },
      [](double x, double y) { return x + y; });
}

Variant operator-(const Variant& a, const Variant& b) {
  if (a.isDate() && b.isDate()) return Variant(a.dateValue() - b.dateValue());
  return arith(
      a, b, true, [](long long x, long long y) { return x - y; },
      [](std::int64_t x, std::int64_t y) -> Variant { return currencyOf(__int128(x) - y); },
      [](double x, double y) { return x - y; });
}

Variant operator*(const Variant& a, const Variant& b) {
  return arith(
      a, b, false, [](long long x, long long y) { return x * y; },
      [](std::int64_t x, std::int64_t y) -> Variant {
        // scaled * scaled / scale, rounded half to even at four decimals.
        return currencyOf(divideRounded(__int128(x) * y, kCurrencyScale, Rounding::HalfEven));
      },
      [](double x, double y) { return x * y; });
}

Variant operator/(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return Variant::null();
  double y = toNumber(b);
  if (y == 0) raise(err::DivisionByZero);
  return doubleResult(toNumber(a) / y, false);
}

Variant intDiv(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return Variant::null();
  long long x = CLng(a), y = CLng(b);
  if (y == 0) raise(err::DivisionByZero);
  Rank r = std::max(rankOf(a) == Rank::Integer ? Rank::Integer : Rank::Long,
                    rankOf(b) == Rank::Integer ? Rank::Integer : Rank::Long);
  return fromWhole(x / y, r);
}

Variant mod(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return Variant::null();
  long long x = CLng(a), y = CLng(b);
  if (y == 0) raise(err::DivisionByZero);
  Rank r = std::max(rankOf(a) == Rank::Integer ? Rank::Integer : Rank::Long,
                    rankOf(b) == Rank::Integer ? Rank::Integer : Rank::Long);
  return fromWhole(x % y, r);
}

Variant operator-(const Variant& a) { return Variant::integer(0) - a; }

Variant cat(const Variant& a, const Variant& b) { return Variant(a.str() + b.str()); }

// ---------------------------------------------------------------- comparison

std::optional<int> compare(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return std::nullopt;
  bool aText = a.isString(), bText = b.isString();
  if (aText && bText) return cmpText(a.stringValue(), b.stringValue());
  if (aText || bText) {
    const Variant& other = aText ? b : a;
    if (other.isEmpty()) return aText ? cmpText(a.stringValue(), "") : cmpText("", b.stringValue());
    return aText ? 1 : -1;  // a number is less than a text
  }
  if (a.type() == VarType::Currency && b.type() == VarType::Currency) {
    auto x = a.currencyScaledValue(), y = b.currencyScaledValue();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  return cmpDouble(toNumber(a), toNumber(b));
}

std::optional<int> compareNumber(const Variant& a, double literal) {
  if (a.isNull()) return std::nullopt;
  return cmpDouble(toNumber(a), literal);
}

std::optional<int> compareText(const Variant& a, std::string_view literal) {
  if (a.isNull()) return std::nullopt;
  return cmpText(a.str(), literal);
}

namespace {
template <class Pred>
bool holds(std::optional<int> c, Pred p) { return c.has_value() && p(*c); }
}  // namespace

bool eq(const Variant& a, const Variant& b) { return holds(compare(a, b), [](int c) { return c == 0; }); }
bool ne(const Variant& a, const Variant& b) { return holds(compare(a, b), [](int c) { return c != 0; }); }
bool lt(const Variant& a, const Variant& b) { return holds(compare(a, b), [](int c) { return c < 0; }); }
bool le(const Variant& a, const Variant& b) { return holds(compare(a, b), [](int c) { return c <= 0; }); }
bool gt(const Variant& a, const Variant& b) { return holds(compare(a, b), [](int c) { return c > 0; }); }
bool ge(const Variant& a, const Variant& b) { return holds(compare(a, b), [](int c) { return c >= 0; }); }

bool eq(const Variant& a, double literal) { return holds(compareNumber(a, literal), [](int c) { return c == 0; }); }
bool eq(const Variant& a, int literal) { return eq(a, double(literal)); }
bool eq(const Variant& a, std::string_view literal) {
  return holds(compareText(a, literal), [](int c) { return c == 0; });
}
bool eq(const Variant& a, const char* literal) { return eq(a, std::string_view(literal)); }
bool ne(const Variant& a, double literal) { return holds(compareNumber(a, literal), [](int c) { return c != 0; }); }
bool ne(const Variant& a, int literal) { return ne(a, double(literal)); }
bool ne(const Variant& a, std::string_view literal) {
  return holds(compareText(a, literal), [](int c) { return c != 0; });
}
bool ne(const Variant& a, const char* literal) { return ne(a, std::string_view(literal)); }

const std::string& item(const std::vector<std::string>& list, long index) {
  if (index < 0 || index >= long(list.size())) raise(err::SubscriptOutOfRange);
  return list[size_t(index)];
}

}  // namespace zurvafun

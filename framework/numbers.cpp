#include "framework/numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/error.h"
#include "runtime/text.h"

namespace zurvafun::numbers {

namespace {

constexpr double kLongest = 2147483647.0, kLowest = -2147483648.0;

// What the numeric guard lets through: a number of at most 15 characters.
bool passesTheGuard(const Variant& value) {
  return !value.isEmpty() && !value.isNull() && IsNumeric(value) && Len(value.str()) <= 15;
}

// The converted number, or std::nullopt when the conversion overflows.
template <class Convert>
auto converted(const Variant& value, Convert convert) -> std::optional<decltype(convert(value))> {
  if (!passesTheGuard(value)) return std::nullopt;
  try {
    return convert(value);
  } catch (const VbError& e) {
    if (e.number() != err::Overflow) throw;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> digits(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return std::nullopt;
  long long n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (negative) n = -n;
  if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return std::int32_t(n);
}

std::optional<std::int32_t> digits(const Variant& value) {
  if (value.isString()) return digits(std::string_view(value.stringValue()));
  if (!value.isNumber() || value.type() == VarType::Boolean) return std::nullopt;
  const double n = toNumber(value);
  if (n != std::floor(n) || n < kLowest || n > kLongest) return std::nullopt;
  return std::int32_t(n);
}

std::optional<std::int32_t> guarded(const Variant& value) {
  return converted(value, [](const Variant& v) { return CLng(v); });
}

std::optional<std::int16_t> guarded16(const Variant& value) {
  return converted(value, [](const Variant& v) { return CInt(v); });
}

std::optional<double> floored(const Variant& value) {
  if (value.isEmpty() || value.str().empty() || !IsNumeric(value)) return std::nullopt;
  return std::floor(toNumber(value));
}

namespace {

// `page` kept within 1..pageCount; a missing or empty value is page 1.
template <class Round>
long pageWithin(const Variant& value, long pageCount, Round round) {
  if (value.isEmpty() || value.isNull() || value.str().empty()) return 1;
  const double page = round(toNumber(value));
  if (!(page >= 1)) return 1;
  return page > double(pageCount) ? std::max(pageCount, 1L) : long(page);
}

}  // namespace

long clampedPage(const Variant& value, long pageCount) {
  return pageWithin(value, pageCount, [](double n) { return std::trunc(n); });
}

long roundedPage(const Variant& value, long pageCount) {
  return pageWithin(value, pageCount, [](double n) { return bankersRound(n); });
}

}  // namespace zurvafun::numbers

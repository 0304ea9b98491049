#include "members/request_numbers.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/text.h"

namespace zurvafun::members {

std::optional<std::int32_t> wholeNumber(const Variant& value) {
  if (value.isNull() || value.isEmpty()) return std::nullopt;
  if (value.isNumber() && !value.isString()) {
    const double number = toNumber(value);
    if (number != std::floor(number) || std::abs(number) > 2147483647.0) return std::nullopt;
    return std::int32_t(number);
  }
  const std::string text = Trim(value.str());
  std::size_t at = 0;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) at = 1;
  if (at == text.size() || text.size() - at > 10) return std::nullopt;
  long long number = 0;
  for (std::size_t i = at; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    number = number * 10 + (text[i] - '0');
  }
  if (text[0] == '-') number = -number;
  if (number > 2147483647LL || number < -2147483648LL) return std::nullopt;
  return std::int32_t(number);
}

long clampedPage(const Variant& value, long pageCount) {
  double page = 1;
  if (!value.isEmpty() && !value.isNull() && !value.str().empty()) page = std::trunc(toNumber(value));
  const double last = double(std::max(pageCount, 1L));
  return long(std::clamp(page, 1.0, last));
}

}  // namespace zurvafun::members

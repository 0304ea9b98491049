#include "db/textrules.h"

#include <algorithm>
#include <limits>

namespace zurvafun::db::detail {

size_t skipChars(std::string_view s, size_t pos, long long count) {
  while (count > 0 && pos < s.size()) {
    ++pos;
    while (pos < s.size() && continuation(static_cast<unsigned char>(s[pos]))) ++pos;
    --count;
  }
  return pos;
}

long long countChars(std::string_view s) {
  long long n = 0;
  for (unsigned char c : s)
    if (!continuation(c)) ++n;
  return n;
}

char32_t decode(std::string_view s, size_t& pos) {
  const unsigned char c = static_cast<unsigned char>(s[pos++]);
  if (c < 0x80) return c;
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
  char32_t cp = c & (0x3F >> extra);
  while (extra-- > 0 && pos < s.size() && continuation(static_cast<unsigned char>(s[pos])))
    cp = (cp << 6) | (static_cast<unsigned char>(s[pos++]) & 0x3F);
  return cp;
}

namespace {

// ---- LIKE patterns

// Whether character `c` matches the set at pattern[pos] (just after '[');
// `pos` moves past the closing ']'. False in `ok` when there is no ']'.
bool matchSet(std::string_view p, size_t& pos, char32_t c, bool& ok) {
  size_t i = pos;
  bool negate = false;
  if (i < p.size() && p[i] == '^') {
    negate = true;
    ++i;
  }
  bool hit = false;
  bool first = true;
  const char32_t fc = fold(c);
  while (i < p.size() && (p[i] != ']' || first)) {
    first = false;
    const char32_t lo = decode(p, i);
    char32_t hi = lo;
    if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
      ++i;
      hi = decode(p, i);
    }
    if ((c >= lo && c <= hi) || (fc >= fold(lo) && fc <= fold(hi))) hit = true;
  }
  if (i >= p.size()) {
    ok = false;
    return false;
  }
  ok = true;
  pos = i + 1;
  return hit != negate;
}

// Matches one pattern element (not %) at p[pi] against the character at
// s[si]; moves both on success.
bool matchOne(std::string_view p, size_t& pi, std::string_view s, size_t& si, char32_t escape) {
  size_t pp = pi, sp = si;
  const char32_t c = decode(s, sp);
  char32_t e = decode(p, pp);
  bool hit;
  if (escape && e == escape && pp < p.size()) {
    e = decode(p, pp);
    hit = fold(e) == fold(c);
  } else if (e == '_') {
    hit = true;
  } else if (e == '[') {
    bool ok = true;
    size_t set = pp;
    hit = matchSet(p, set, c, ok);
    if (ok)
      pp = set;
    else
      hit = c == '[';
  } else {
    hit = fold(e) == fold(c);
  }
  if (!hit) return false;
  pi = pp;
  si = sp;
  return true;
}

bool isPercent(std::string_view p, size_t pi) { return pi < p.size() && p[pi] == '%'; }

}  // namespace

bool likeMatch(std::string_view p, std::string_view s, char32_t escape) {
  size_t pi = 0, si = 0;
  size_t starP = std::string_view::npos, starS = 0;
  while (si < s.size()) {
    if (isPercent(p, pi) && escape != '%') {
      while (isPercent(p, pi)) ++pi;
      if (pi == p.size()) return true;
      starP = pi;
      starS = si;
      continue;
    }
    if (pi < p.size() && matchOne(p, pi, s, si, escape)) continue;
    // Trailing blanks of the value are not significant (those of the pattern are).
    if (pi == p.size() && trimBlanksRight(s.substr(si)).empty()) return true;
    if (starP == std::string_view::npos) return false;
    pi = starP;
    starS = skipChars(s, starS, 1);
    si = starS;
  }
  while (isPercent(p, pi)) ++pi;
  return pi == p.size();
}

long patternIndex(std::string_view pattern, std::string_view value) {
  size_t body = 0;
  while (isPercent(pattern, body)) ++body;
  const std::string_view rest = pattern.substr(body);
  if (rest.empty()) return 1;
  if (body == 0) return likeMatch(rest, value) ? 1 : 0;
  long index = 1;
  for (size_t pos = 0; pos < value.size(); pos = skipChars(value, pos, 1), ++index)
    if (likeMatch(rest, value.substr(pos))) return index;
  return 0;
}

int compareZv(std::string_view a, std::string_view b) {
  a = trimBlanksRight(a);
  b = trimBlanksRight(b);
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = foldByte(static_cast<unsigned char>(a[i]));
    const unsigned char y = foldByte(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool sqlserverTextToInt(std::string_view t, long long& out) {
  size_t b = 0, e = t.size();
  while (b < e && t[b] == ' ') ++b;
  while (e > b && t[e - 1] == ' ') --e;
  bool negative = false;
  if (b < e && (t[b] == '+' || t[b] == '-')) negative = t[b++] == '-';
  unsigned long long n = 0;
  for (size_t i = b; i < e; ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    if (n > (std::numeric_limits<unsigned long long>::max() - 9) / 10) return false;
    n = n * 10 + unsigned(t[i] - '0');
  }
  if (n > (negative ? 9223372036854775808ULL : 9223372036854775807ULL)) return false;
  out = negative ? static_cast<long long>(0 - n) : static_cast<long long>(n);
  return true;
}

bool sqlserverTextToNumberText(std::string_view t, std::string& canonical) {
  size_t b = 0, e = t.size();
  while (b < e && t[b] == ' ') ++b;
  while (e > b && t[e - 1] == ' ') --e;
  canonical.clear();
  if (b < e && (t[b] == '+' || t[b] == '-')) {
    if (t[b] == '-') canonical += '-';
    ++b;
  }
  bool digits = false, point = false;
  for (size_t i = b; i < e; ++i) {
    if (t[i] >= '0' && t[i] <= '9')
      digits = true;
    else if (t[i] == '.' && !point)
      point = true;
    else
      return false;
  }
  if (!digits) return false;
  if (t[b] == '.') canonical += '0';
  canonical.append(t.substr(b, e - b));
  if (canonical.back() == '.') canonical.pop_back();
  return true;
}

}  // namespace zurvafun::db::detail

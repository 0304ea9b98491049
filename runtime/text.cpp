#include "runtime/text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "runtime/error.h"
#include "runtime/gbk.h"

namespace zurvafun {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at `pos`, or 0 when the byte there
// does not start one (overlong forms, surrogates and values above U+10FFFF
// are not well formed).
std::size_t sequenceLength(std::string_view s, std::size_t pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > s.size()) return 0;
  if (byte(pos + 1) < low || byte(pos + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!isContinuation(byte(pos + i))) return 0;
  }
  return length;
}

// Byte length of the character at `pos` (a malformed byte is one character).
std::size_t charLength(std::string_view s, std::size_t pos) {
  const std::size_t length = sequenceLength(s, pos);
  return length == 0 ? 1 : length;
}

// Byte offset reached from `pos` after `count` characters (at most the end).
std::size_t skipChars(std::string_view s, std::size_t pos, long count) {
  for (; count > 0 && pos < s.size(); --count) pos += charLength(s, pos);
  return pos;
}

// Number of characters between two character boundaries.
long countChars(std::string_view s, std::size_t from, std::size_t to) {
  long count = 0;
  for (std::size_t pos = from; pos < to; pos += charLength(s, pos)) ++count;
  return count;
}

// Whether byte offset `pos` falls between two characters. Only a
// continuation byte can lie inside a character: it does when the nearest
// non-continuation byte before it starts a well-formed sequence reaching past it.
bool isBoundary(std::string_view s, std::size_t pos) {
  if (pos == 0 || pos >= s.size() || !isContinuation(static_cast<unsigned char>(s[pos]))) {
    return true;
  }
  std::size_t lead = pos;
  for (int back = 0; back < 3 && lead > 0; ++back) {
    --lead;
    if (!isContinuation(static_cast<unsigned char>(s[lead]))) {
      return lead + sequenceLength(s, lead) <= pos;
    }
  }
  return true;
}

bool isWholeMatch(std::string_view s, std::size_t at, std::size_t length) {
  return isBoundary(s, at) && isBoundary(s, at + length);
}

// First occurrence of `find` (not empty) at or after byte `from` that starts
// and ends between characters, so binary matching never splits a character.
std::size_t findChars(std::string_view s, std::string_view find, std::size_t from) {
  for (std::size_t at = s.find(find, from); at != std::string_view::npos;
       at = s.find(find, at + 1)) {
    if (isWholeMatch(s, at, find.size())) return at;
  }
  return std::string_view::npos;
}

// Last such occurrence ending at or before byte `end`.
std::size_t findCharsReverse(std::string_view s, std::string_view find, std::size_t end) {
  if (end < find.size()) return std::string_view::npos;
  for (std::size_t at = s.rfind(find, end - find.size()); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : s.rfind(find, at - 1)) {
    if (isWholeMatch(s, at, find.size())) return at;
  }
  return std::string_view::npos;
}

void requireNonNegative(long n) {
  if (n < 0) raise(err::InvalidCall);
}

// Signed 16-bit form of a 16-bit code, as the language's Integer held it.
int signed16(long code) { return static_cast<int>(code >= 0x8000 ? code - 0x10000 : code); }

template <typename Map>
std::string mapBytes(std::string_view s, Map map) {
  std::string out(s);
  for (char& c : out) c = map(c);
  return out;
}

}  // namespace

char32_t nextCodePoint(std::string_view s, std::size_t& pos) {
  const std::size_t length = sequenceLength(s, pos);
  if (length == 0) {
    ++pos;
    return Replacement;
  }
  const auto lead = static_cast<unsigned char>(s[pos]);
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
  }
  pos += length;
  return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = Replacement;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::u32string toCodePoints(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t pos = 0; pos < s.size();) out += nextCodePoint(s, pos);
  return out;
}

std::string fromCodePoints(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t cp : s) appendUtf8(out, cp);
  return out;
}

long Len(std::string_view s) { return countChars(s, 0, s.size()); }

std::string Left(std::string_view s, long length) {
  requireNonNegative(length);
  return std::string(s.substr(0, skipChars(s, 0, length)));
}

std::string Right(std::string_view s, long length) {
  requireNonNegative(length);
  const long total = Len(s);
  if (length >= total) return std::string(s);
  return std::string(s.substr(skipChars(s, 0, total - length)));
}

std::string Mid(std::string_view s, long start) {
  if (start < 1) raise(err::InvalidCall);
  return std::string(s.substr(skipChars(s, 0, start - 1)));
}

std::string Mid(std::string_view s, long start, long length) {
  if (start < 1) raise(err::InvalidCall);
  requireNonNegative(length);
  const std::size_t from = skipChars(s, 0, start - 1);
  return std::string(s.substr(from, skipChars(s, from, length) - from));
}

long InStr(std::string_view s, std::string_view find) { return InStr(1, s, find); }

long InStr(long start, std::string_view s, std::string_view find) {
  if (start < 1) raise(err::InvalidCall);
  const std::size_t from = skipChars(s, 0, start - 1);
  if (from >= s.size()) return 0;  // start beyond the end
  if (find.empty()) return start;
  const std::size_t at = findChars(s, find, from);
  if (at == std::string_view::npos) return 0;
  return start + countChars(s, from, at);
}

long InStrRev(std::string_view s, std::string_view find, long start) {
  if (start == 0 || start < -1) raise(err::InvalidCall);
  const long total = Len(s);
  if (start == -1) start = total;
  if (total == 0 || start > total) return 0;
  if (find.empty()) return start;
  const std::size_t at = findCharsReverse(s, find, skipChars(s, 0, start));
  if (at == std::string_view::npos) return 0;
  return 1 + countChars(s, 0, at);
}

std::string Replace(std::string_view s, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  std::size_t done = 0;
  for (std::size_t at = findChars(s, find, 0); at != std::string_view::npos;
       at = findChars(s, find, done)) {
    out.append(s.substr(done, at - done)).append(with);
    done = at + find.size();
  }
  out.append(s.substr(done));
  return out;
}

std::vector<std::string> Split(std::string_view s, std::string_view delimiter) {
  std::vector<std::string> items;
  if (s.empty()) return items;
  if (delimiter.empty()) {
    items.emplace_back(s);
    return items;
  }
  std::size_t done = 0;
  for (std::size_t at = findChars(s, delimiter, 0); at != std::string_view::npos;
       at = findChars(s, delimiter, done)) {
    items.emplace_back(s.substr(done, at - done));
    done = at + delimiter.size();
  }
  items.emplace_back(s.substr(done));
  return items;
}

std::string Join(const std::vector<std::string>& items, std::string_view delimiter) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out.append(delimiter);
    out.append(items[i]);
  }
  return out;
}

std::string LCase(std::string_view s) {
  return mapBytes(s, [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
}

std::string UCase(std::string_view s) {
  return mapBytes(s, [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
}

std::string Trim(std::string_view s) { return LTrim(RTrim(s)); }

std::string LTrim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(s.substr(first));
}

std::string RTrim(std::string_view s) {
  const std::size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

std::string Space(long n) {
  requireNonNegative(n);
  return std::string(static_cast<std::size_t>(n), ' ');
}

std::string String(long n, std::string_view ch) {
  requireNonNegative(n);
  if (ch.empty()) raise(err::InvalidCall);
  const std::string_view first = ch.substr(0, charLength(ch, 0));
  std::string out;
  out.reserve(first.size() * static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i) out.append(first);
  return out;
}

std::string StrReverse(std::string_view s) {
  // Walk forward (so that malformed bytes stay single characters) and copy
  // each character to the mirrored place of the output.
  std::string out(s.size(), '\0');
  for (std::size_t pos = 0, end = s.size(); pos < s.size();) {
    const std::size_t length = charLength(s, pos);
    end -= length;
    s.copy(out.data() + end, length, pos);
    pos += length;
  }
  return out;
}

int Asc(std::string_view s) {
  if (s.empty()) raise(err::InvalidCall);
  std::size_t pos = 0;
  const long code = gbk::codeOf(nextCodePoint(s, pos));
  return code < 0 ? '?' : signed16(code);
}

int AscW(std::string_view s) {
  if (s.empty()) raise(err::InvalidCall);
  std::size_t pos = 0;
  const char32_t cp = nextCodePoint(s, pos);
  const long unit = cp < 0x10000 ? static_cast<long>(cp) : 0xD800 + ((cp - 0x10000) >> 10);
  return signed16(unit);
}

std::string Chr(long code) {
  if (code < -32768 || code > 65535) raise(err::InvalidCall);
  if (code < 0) code += 0x10000;
  std::string out;
  appendUtf8(out, gbk::charOf(code));
  return out;
}

std::string ChrW(long code) {
  if (code < -32768 || code > 0x10FFFF) raise(err::InvalidCall);
  if (code < 0) code += 0x10000;
  std::string out;
  appendUtf8(out, static_cast<char32_t>(code));
  return out;
}

std::string Hex(long long n) {
  if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max()) {
    raise(err::Overflow);
  }
  auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(n));
  std::string out;
  do {
    out += "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace zurvafun

// Text rules of the dialect shared by every backend: SQL Server's conversions
// of text to numbers, its LIKE patterns and the default collation's
// comparison, and the UTF-8 character counting they need.
#pragma once

#include <string>
#include <string_view>

namespace zurvafun::db::detail {

// ---- UTF-8 (positions count characters, not bytes)
inline bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }
// Byte offset after skipping `count` characters from byte offset `pos`.
size_t skipChars(std::string_view s, size_t pos, long long count);
long long countChars(std::string_view s);
// Decodes the character at s[pos] and moves pos past it.
char32_t decode(std::string_view s, size_t& pos);
inline char32_t fold(char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
inline unsigned char foldByte(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
inline std::string_view trimBlanksRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// CAST(text AS INT): blanks around and one sign allowed, '' gives 0, anything
// else (a decimal point, letters) fails. No range check.
bool sqlserverTextToInt(std::string_view text, long long& out);
// Conversion of text to a number: blanks around, a sign, digits with one
// decimal point. `canonical` receives the number as SQL literal text.
bool sqlserverTextToNumberText(std::string_view text, std::string& canonical);

// LIKE of SQL Server: % any run, _ one character, [abc], [a-z], [^a]; ASCII
// letters match without regard to case, and trailing blanks of the value are
// not significant (as for varchar data). `escape` 0 for none.
bool likeMatch(std::string_view pattern, std::string_view value, char32_t escape = 0);
// PATINDEX: 1-based character position of the first match, 0 for none.
long patternIndex(std::string_view pattern, std::string_view value);

// The default collation: ASCII case and trailing blanks ignored.
int compareZv(std::string_view a, std::string_view b);

}  // namespace zurvafun::db::detail

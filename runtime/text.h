// Text functions of the original language on UTF-8 text. Positions and lengths
// count characters (code points) and are 1-based; a negative length or a
// position below 1 raises error 5 where the language did.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zurvafun {

long Len(std::string_view s);
std::string Left(std::string_view s, long length);
std::string Right(std::string_view s, long length);
std::string Mid(std::string_view s, long start);
std::string Mid(std::string_view s, long start, long length);
// 1-based position of `find` in `s` from `start`, 0 when absent; binary comparison.
// A start beyond the end gives 0 (so does an empty `s`); otherwise an empty
// `find` gives `start`.
long InStr(std::string_view s, std::string_view find);
long InStr(long start, std::string_view s, std::string_view find);
// Search from the end (start -1 = the whole text): the last match lying
// wholly within the first `start` characters. A start of 0 or below -1 raises 5.
long InStrRev(std::string_view s, std::string_view find, long start = -1);
// Binary, non-overlapping, left to right; an empty `find` returns `s`.
std::string Replace(std::string_view s, std::string_view find, std::string_view with);
// "" gives no items; a multi-character delimiter is one separator; an empty
// delimiter gives the whole text as one item.
std::vector<std::string> Split(std::string_view s, std::string_view delimiter);
std::string Join(const std::vector<std::string>& items, std::string_view delimiter);
std::string LCase(std::string_view s);  // ASCII letters only
std::string UCase(std::string_view s);
std::string Trim(std::string_view s);  // the blank U+0020 only
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string Space(long n);
std::string String(long n, std::string_view ch);  // n copies of the first character
std::string StrReverse(std::string_view s);
// Code of the first character in the server code page (GBK) as a signed 16-bit
// number ("中" gives -10544); "" raises 5. A character GBK cannot hold gives
// the code of "?" (63), as the code page conversion did.
int Asc(std::string_view s);
// UTF-16 code unit of the first character, signed 16-bit like Asc (U+FF01
// gives -255); beyond U+FFFF the first (high) surrogate; "" raises 5.
int AscW(std::string_view s);
// The character of a code page code (a double-byte GBK code gives that character).
// Codes run from -32768 to 65535 (a negative code is the signed 16-bit form),
// others raise 5; a code with no GBK character gives U+FFFD.
std::string Chr(long code);
// The character of a code point (-32768..-1 as signed 16-bit units), others
// raise 5; a lone surrogate gives U+FFFD.
std::string ChrW(long code);
// Upper-case hexadecimal text of a whole number (negative numbers as 32-bit two's complement).
// A number outside the 32-bit range raises 6, as the language's Long conversion did.
std::string Hex(long long n);

// UTF-8 helpers: the code points of a text and back.
std::u32string toCodePoints(std::string_view s);
std::string fromCodePoints(std::u32string_view s);
void appendUtf8(std::string& out, char32_t cp);
// The character that starts at byte `pos` of `s`; moves `pos` past it. A byte
// that does not start a well-formed UTF-8 sequence counts as one character and
// reads as U+FFFD. `pos` must be below s.size().
char32_t nextCodePoint(std::string_view s, std::size_t& pos);

}  // namespace zurvafun

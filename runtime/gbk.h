// The server code page GBK (CP936): conversion of UTF-8 text to and from GBK
// bytes, and URL encoding and decoding in GBK.
#pragma once

#include <string>
#include <string_view>

namespace zurvafun::gbk {

// GBK bytes of UTF-8 text. A character GBK cannot hold becomes a numeric
// character reference "&#N;" when `ncr` is true, else "?".
std::string fromUtf8(std::string_view utf8, bool ncr = true);
// The same, appended to `to`.
void appendFromUtf8(std::string& to, std::string_view utf8, bool ncr = true);
// UTF-8 text of GBK bytes; an invalid byte sequence becomes U+FFFD.
std::string toUtf8(std::string_view gbkBytes);
// Whether GBK can hold the character.
bool encodable(char32_t cp);
// The GBK code of one character (one byte for ASCII, else two bytes as a
// 16-bit number), or -1 when GBK cannot hold it.
long codeOf(char32_t cp);
// The character of a GBK code, or U+FFFD.
char32_t charOf(long code);

// Percent-decoding of URL text whose bytes are GBK ("+" is a blank); a
// malformed escape stays as it stands. Gives UTF-8 text.
std::string urlDecode(std::string_view text);
// URL encoding in GBK: a blank as "+", letters and digits as they stand, every
// other byte as %XX. A character GBK cannot hold goes as its reference
// "&#N;", the way a browser sends it from a GBK page.
std::string urlEncode(std::string_view utf8);
// The same, appended to `out`.
void appendUrlEncoded(std::string& out, std::string_view utf8);

}  // namespace zurvafun::gbk

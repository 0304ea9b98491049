#include "runtime/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/text.h"

namespace zurvafun::gbk {

namespace {

// One iconv conversion descriptor per thread and direction: a descriptor
// carries conversion state and must not be shared between threads, and
// opening one per call costs far more than converting a short text.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in` and appends the result to `out`. Whenever the input cannot
  // be converted at some point (a malformed or unmappable sequence, or one
  // cut short at the end), `onError(rest, out)` appends a replacement and
  // returns how many bytes of `rest` it stands for (at least one).
  template <typename OnError>
  void convert(std::string_view in, std::string& out, OnError onError) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // fresh state for every call
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    std::size_t used = out.size();
    out.resize(used + in.size() + 16);
    while (inLeft > 0) {
      char* outPtr = out.data() + used;
      std::size_t outLeft = out.size() - used;
      const std::size_t result = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      used = static_cast<std::size_t>(outPtr - out.data());
      if (result != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      out.resize(used);
      const std::size_t skipped = onError(std::string_view(inPtr, inLeft), out);
      inPtr += skipped;
      inLeft -= skipped;
      used = out.size();
      out.resize(used + inLeft + 16);
    }
    out.resize(used);
  }

 private:
  iconv_t cd_;
};

Converter& encoder() {
  thread_local Converter converter("GBK", "UTF-8");
  return converter;
}

Converter& decoder() {
  thread_local Converter converter("UTF-8", "GBK");
  return converter;
}

// The converter's answer for every character of the BMP, made once: the GBK
// bytes (one byte below 0x100, else lead byte and trail byte), 0 where GBK
// lacks the character.
const std::vector<std::uint16_t>& encodingTable() {
  static const std::vector<std::uint16_t> table = [] {
    std::vector<std::uint16_t> codes(0x10000, 0);
    Converter converter("GBK", "UTF-8");  // its own: the table may be made on any thread
    for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;  // surrogates are no characters
      std::string utf8;
      appendUtf8(utf8, cp);
      std::string bytes;
      bool failed = false;
      converter.convert(utf8, bytes, [&failed](std::string_view rest, std::string&) {
        failed = true;
        return rest.size();
      });
      if (failed || bytes.empty() || bytes.size() > 2) continue;
      codes[cp] = bytes.size() == 1 ? static_cast<unsigned char>(bytes[0])
                                    : static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                                                 static_cast<unsigned char>(bytes[1]));
    }
    return codes;
  }();
  return table;
}

bool isAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool isLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Bytes taken by an undecodable GBK sequence at the start of `rest`: a lead
// byte with a trail byte is one (unassigned) character; anything else is a
// single bad byte, so an ASCII byte after a stray lead byte is kept.
std::size_t badSequenceLength(std::string_view rest) {
  if (rest.size() >= 2 && isLeadByte(static_cast<unsigned char>(rest[0])) &&
      isTrailByte(static_cast<unsigned char>(rest[1]))) {
    return 2;
  }
  return 1;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool isAlphanumeric(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string fromUtf8(std::string_view utf8, bool ncr) {
  if (isAscii(utf8)) return std::string(utf8);
  // ASCII reads the same in both and is copied; every other character is
  // looked up in the table of the converter's answers. A sequence that is not
  // the canonical UTF-8 of a character GBK holds (a malformed or overlong one,
  // a character GBK lacks) becomes a numeric character reference (or "?"),
  // as converting the whole text would give.
  const std::vector<std::uint16_t>& table = encodingTable();
  const auto ascii = [&](std::size_t at) { return static_cast<unsigned char>(utf8[at]) < 0x80; };
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    std::size_t end = at;
    // Eight bytes at a time while none has its high bit set.
    for (std::uint64_t word; end + 8 <= utf8.size(); end += 8) {
      std::memcpy(&word, utf8.data() + end, 8);
      if (word & 0x8080808080808080ull) break;
    }
    while (end < utf8.size() && ascii(end)) ++end;
    out.append(utf8.substr(at, end - at));
    at = end;
    if (at == utf8.size()) break;
    std::size_t length = 0;
    const char32_t cp = nextCodePoint(utf8.substr(at), length);
    // The shortest length of the character's UTF-8: a longer sequence is overlong.
    const std::size_t shortest = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    const std::uint16_t code = cp <= 0xFFFF && length == shortest ? table[cp] : 0;
    if (code >= 0x100) {
      const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
      out.append(bytes, 2);
    } else if (code != 0) {
      out += static_cast<char>(code);
    } else {
      out += ncr ? "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";" : "?";
    }
    at += length;
  }
  return out;
}

std::string toUtf8(std::string_view gbkBytes) {
  if (isAscii(gbkBytes)) return std::string(gbkBytes);
  std::string out;
  decoder().convert(gbkBytes, out, [](std::string_view rest, std::string& o) {
    o += "\uFFFD";
    return badSequenceLength(rest);
  });
  return out;
}

long codeOf(char32_t cp) {
  if (cp < 0x80) return static_cast<long>(cp);
  if (cp > 0xFFFF) return -1;  // GBK holds only characters of the BMP
  std::string utf8;
  appendUtf8(utf8, cp);
  bool failed = false;
  std::string bytes;
  encoder().convert(utf8, bytes, [&failed](std::string_view rest, std::string&) {
    failed = true;
    return rest.size();
  });
  if (failed || bytes.empty() || bytes.size() > 2) return -1;
  long code = 0;
  for (char b : bytes) code = (code << 8) | static_cast<unsigned char>(b);
  return code;
}

bool encodable(char32_t cp) { return codeOf(cp) >= 0; }

char32_t charOf(long code) {
  if (code < 0 || code > 0xFFFF) return 0xFFFD;
  if (code < 0x80) return static_cast<char32_t>(code);
  std::string bytes;
  if (code > 0xFF) bytes += static_cast<char>(code >> 8);
  bytes += static_cast<char>(code & 0xFF);
  const std::string utf8 = toUtf8(bytes);
  std::size_t pos = 0;
  const char32_t cp = nextCodePoint(utf8, pos);
  return pos == utf8.size() ? cp : 0xFFFD;
}

std::string urlDecode(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      bytes += ' ';
    } else if (c == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
               hexDigit(text[i + 2]) >= 0) {
      bytes += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else {
      bytes += c;
    }
  }
  return toUtf8(bytes);
}

std::string urlEncode(std::string_view utf8) {
  const std::string bytes = fromUtf8(utf8);
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) {
    if (c == ' ') {
      out += '+';
    } else if (isAlphanumeric(c)) {
      out += c;
    } else {
      const auto b = static_cast<unsigned char>(c);
      out += '%';
      out += "0123456789ABCDEF"[b >> 4];
      out += "0123456789ABCDEF"[b & 0xF];
    }
  }
  return out;
}

}  // namespace zurvafun::gbk

#include "runtime/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

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
  std::string out;
  encoder().convert(utf8, out, [ncr](std::string_view rest, std::string& o) {
    std::size_t length = 0;
    const char32_t cp = nextCodePoint(rest, length);
    o += ncr ? "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";" : "?";
    return length;
  });
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

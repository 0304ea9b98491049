#include "runtime/gbk.h"

#include <iconv.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The number of ASCII bytes at the start of `p[0..n)`, sixteen at a time.
std::size_t asciiPrefix(const unsigned char* p, std::size_t n) {
  std::size_t at = 0;
#if defined(__SSE2__)
  for (; at + 16 <= n; at += 16) {
    const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)));
    if (high != 0) return at + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(high)));
  }
#endif
  for (std::uint64_t word; at + 8 <= n; at += 8) {
    std::memcpy(&word, p + at, 8);
    if (word & 0x8080808080808080ull) break;
  }
  while (at < n && p[at] < 0x80) ++at;
  return at;
}

bool isAscii(std::string_view s) {
  return asciiPrefix(reinterpret_cast<const unsigned char*>(s.data()), s.size()) == s.size();
}

bool isLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// The converter's reading of GBK bytes, made once: for each byte above ASCII
// that stands alone for a character, and for each lead and trail byte pair
// that is a character, the character (0 where the converter reads no single
// character there). Text made only of ASCII and of these is decoded from the
// tables; anything else goes through the converter.
struct DecodingTables {
  char32_t single[0x80] = {};
  std::vector<char16_t> pairs = std::vector<char16_t>(0x80 * 0x100, 0);  // by (lead - 0x80) << 8 | trail
};

const DecodingTables& decodingTables() {
  static const DecodingTables* tables = [] {
    auto* t = new DecodingTables;
    Converter converter("UTF-8", "GBK");  // its own: the tables may be made on any thread
    // The one character of `bytes` followed by "A", or 0.
    auto only = [&converter](std::string bytes) -> char32_t {
      bytes += 'A';
      std::string utf8;
      bool failed = false;
      converter.convert(bytes, utf8, [&failed](std::string_view rest, std::string&) {
        failed = true;
        return rest.size();
      });
      if (failed || utf8.size() < 2 || utf8.back() != 'A') return 0;
      utf8.pop_back();
      std::size_t length = 0;
      const char32_t cp = nextCodePoint(utf8, length);
      return length == utf8.size() && cp >= 0x80 && cp <= 0xFFFF && cp != 0xFFFD ? cp : 0;
    };
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
      if (isLeadByte(static_cast<unsigned char>(b))) continue;
      t->single[b - 0x80] = only(std::string(1, static_cast<char>(b)));
    }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        if (!isTrailByte(static_cast<unsigned char>(trail))) continue;
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        t->pairs[(lead - 0x80) << 8 | trail] = static_cast<char16_t>(only(std::string(bytes, 2)));
      }
    }
    return t;
  }();
  return *tables;
}

// UTF-8 of GBK text through the tables; false (and `out` unusable) at the
// first byte they do not cover.
bool decodeByTables(std::string_view gbkBytes, std::string& out) {
  const DecodingTables& t = decodingTables();
  const auto* p = reinterpret_cast<const unsigned char*>(gbkBytes.data());
  const std::size_t n = gbkBytes.size();
  out.resize(n * 3);  // a character takes at most 3 bytes, at least 1 in GBK
  char* o = out.data();
  std::size_t w = 0;
  for (std::size_t at = 0; at < n;) {
    const std::size_t ascii = asciiPrefix(p + at, n - at);
    std::memcpy(o + w, p + at, ascii);
    w += ascii;
    at += ascii;
    if (at == n) break;
    char32_t cp = t.single[p[at] - 0x80];
    std::size_t length = 1;
    if (cp == 0 && at + 1 < n) {
      cp = t.pairs[std::size_t(p[at] - 0x80) << 8 | p[at + 1]];
      length = 2;
    }
    if (cp == 0) return false;
    if (cp < 0x800) {
      o[w++] = static_cast<char>(0xC0 | (cp >> 6));
    } else {
      o[w++] = static_cast<char>(0xE0 | (cp >> 12));
      o[w++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    o[w++] = static_cast<char>(0x80 | (cp & 0x3F));
    at += length;
  }
  out.resize(w);
  return true;
}

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
  std::string out;
  appendFromUtf8(out, utf8, ncr);
  return out;
}

void appendFromUtf8(std::string& to, std::string_view utf8, bool ncr) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t at = asciiPrefix(p, n);
  if (at == n) {
    to.append(utf8);
    return;
  }
  // ASCII reads the same in both and is copied; every other character is
  // looked up in the table of the converter's answers. A sequence that is not
  // the canonical UTF-8 of a character GBK holds (a malformed or overlong one,
  // a character GBK lacks) becomes a numeric character reference (or "?"),
  // as converting the whole text would give.
  const std::vector<std::uint16_t>& table = encodingTable();
  // A character takes no more bytes in GBK than in UTF-8; only a reference
  // can take more, and makes room for itself: the output always has room for
  // what is written so far and one byte for each input byte left.
  const std::size_t start = to.size();
  to.resize(start + n);
  char* o = to.data() + start;
  std::memcpy(o, p, at);
  std::size_t w = at;
  const auto continuation = [&](std::size_t i) { return (p[i] & 0xC0) == 0x80; };
  while (at < n) {
    const unsigned char lead = p[at];
    if (lead < 0x80) {
#if defined(__SSE2__)
      // Sixteen bytes copied at once; the ASCII ones among them count.
      if (at + 16 <= n) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + w), bytes);
        const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        const std::size_t ascii = high ? static_cast<std::size_t>(__builtin_ctz(high)) : 16;
        at += ascii;
        w += ascii;
        continue;
      }
#endif
      o[w++] = static_cast<char>(lead);
      ++at;
      continue;
    }
    // A run of the commonest characters (most CJK ones) in a tight loop: a
    // well-formed three-byte sequence that can be neither overlong nor a
    // surrogate, of a character with a two-byte code. Anything else ends the
    // run and takes the general way below.
    const std::size_t runStart = at;
    while (at + 3 <= n) {
      const unsigned first = p[at];
      if (first - 0xE1u > 0xEu || first == 0xED) break;
      const unsigned second = p[at + 1] ^ 0x80u, third = p[at + 2] ^ 0x80u;
      if ((second | third) >= 0x40) break;  // not both continuation bytes
      const std::uint16_t code = table[(first & 0x0Fu) << 12 | second << 6 | third];
      if (code < 0x100) break;
      o[w] = static_cast<char>(code >> 8);
      o[w + 1] = static_cast<char>(code & 0xFF);
      w += 2;
      at += 3;
    }
    if (at != runStart) continue;
    std::size_t length;
    char32_t cp;
    bool canonical;
    if (lead >= 0xE1 && lead <= 0xEF && lead != 0xED && at + 2 < n && continuation(at + 1) &&
        continuation(at + 2)) {
      // The common case (most CJK characters), in line: a well-formed
      // three-byte sequence that can be neither overlong nor a surrogate.
      cp = char32_t(lead & 0x0F) << 12 | char32_t(p[at + 1] & 0x3F) << 6 | (p[at + 2] & 0x3F);
      length = 3;
      canonical = true;
    } else {
      length = 0;
      cp = nextCodePoint(utf8.substr(at), length);
      // The shortest length of the character's UTF-8: a longer sequence is overlong.
      canonical = length == (cp < 0x80 ? 1u : cp < 0x800 ? 2u : cp < 0x10000 ? 3u : 4u);
    }
    const std::uint16_t code = canonical && cp <= 0xFFFF ? table[cp] : 0;
    if (code >= 0x100) {
      o[w] = static_cast<char>(code >> 8);
      o[w + 1] = static_cast<char>(code & 0xFF);
      w += 2;
    } else if (code != 0) {
      o[w++] = static_cast<char>(code);
    } else {
      const std::string reference = ncr ? "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";" : "?";
      if (start + w + reference.size() + (n - at - length) > to.size()) {
        to.resize(start + w + reference.size() + (n - at - length));
        o = to.data() + start;
      }
      std::memcpy(o + w, reference.data(), reference.size());
      w += reference.size();
    }
    at += length;
  }
  to.resize(start + w);
}

std::string toUtf8(std::string_view gbkBytes) {
  if (isAscii(gbkBytes)) return std::string(gbkBytes);
  std::string out;
  if (decodeByTables(gbkBytes, out)) return out;
  out.clear();
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
  std::string bytes(text.size(), '\0');
  std::size_t w = 0;
  bool ascii = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    int high, low;
    if (c == '+') {
      c = ' ';
    } else if (c == '%' && i + 2 < text.size() && (high = hexDigit(text[i + 1])) >= 0 &&
               (low = hexDigit(text[i + 2])) >= 0) {
      c = static_cast<char>(high * 16 + low);
      i += 2;
    }
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    bytes[w++] = c;
  }
  bytes.resize(w);
  return ascii ? bytes : toUtf8(bytes);
}

void appendUrlEncoded(std::string& out, std::string_view utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::string converted;
  std::string_view bytes = utf8;
  if (asciiPrefix(p, utf8.size()) != utf8.size()) bytes = converted = fromUtf8(utf8);
  std::size_t w = out.size();
  out.resize(w + bytes.size() * 3);
  for (char c : bytes) {
    if (c == ' ') {
      out[w++] = '+';
    } else if (isAlphanumeric(c)) {
      out[w++] = c;
    } else {
      const auto b = static_cast<unsigned char>(c);
      out[w++] = '%';
      out[w++] = "0123456789ABCDEF"[b >> 4];
      out[w++] = "0123456789ABCDEF"[b & 0xF];
    }
  }
  out.resize(w);
}

std::string urlEncode(std::string_view utf8) {
  std::string out;
  appendUrlEncoded(out, utf8);
  return out;
}

}  // namespace zurvafun::gbk

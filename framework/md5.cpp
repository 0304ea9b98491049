// The MD5 digest (RFC 1321) of a text, over the text's bytes in the server
// code page, as lower-case hex: all 32 digits, or the 16 middle ones (state
// words b and c) that passwords and member-id tokens carry.
//
// The arithmetic is 32-bit modulo 2^32. The shift procedures read the public
// tables m_lOnBits and m_l2Power, which every call of MD5 fills afresh, so a
// page that wrote into them cannot change a digest; the digest itself shifts
// directly, as the tables' fixed contents do.
#include "framework/md5.h"

#include <array>

#include "framework/log_tags.h"
#include "framework/zurva.h"
#include "runtime/gbk.h"
#include "runtime/text.h"

namespace zurvafun {

namespace md5 {

namespace {

// The 64 additive constants of RFC 1321, step by step.
constexpr std::array<std::uint32_t, 64> kConstants = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE, 0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE, 0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA, 0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED, 0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C, 0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05, 0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039, 0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1, 0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391};

// Per round: the shift amounts of its four step kinds, and which message word
// step i takes: (first + stride * i) mod 16.
constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
constexpr int kFirstWord[4] = {0, 1, 5, 0};
constexpr int kWordStride[4] = {1, 5, 3, 7};

// The error trap of the shift procedures: an error is logged under the
// procedure's tag and the procedure returns what its result held so far.
// (The other procedures are plain 32-bit arithmetic and cannot fail.)
template <class Body>
void trapped(LogTag tag, Body&& body) {
  try {
    body();
  } catch (const VbError& e) {
    if (e.isRequestEnd()) throw;
    WriteLog(logMessage(tag, e.description()));
  }
}

void appendHexByte(std::string& out, std::uint32_t byte) {
  out += "0123456789ABCDEF"[(byte >> 4) & 0xF];
  out += "0123456789ABCDEF"[byte & 0xF];
}

// One step of a round: a = b + rotate-left(a + f + x + ac, s), where f is the
// round's auxiliary function of b, c and d.
void md5_Step(const Tables& t, std::uint32_t& a, std::uint32_t f, std::uint32_t b, std::uint32_t x,
              int s, std::uint32_t ac) {
  a = AddUnsigned(a, AddUnsigned(AddUnsigned(f, x), ac));
  a = AddUnsigned(RotateLeft(t, a, s), b);
}

}  // namespace

std::vector<long> onBitsTable() {
  std::vector<long> table(31);
  for (int i = 0; i < 31; ++i) table[std::size_t(i)] = (2L << i) - 1;
  return table;
}

std::vector<long> twoPowerTable() {
  std::vector<long> table(31);
  for (int i = 0; i < 31; ++i) table[std::size_t(i)] = 1L << i;
  return table;
}

// The digest in plain 32-bit arithmetic. The tables the shift procedures
// read hold their fixed contents whenever a digest is taken (MD5 fills them
// first), and with those contents every shift through them is the plain
// shift; the procedures below stay for what calls them by name.
State digest(const Tables&, const std::string& text) {
  const std::string bytes = str2bin(text);
  const std::size_t length = bytes.size();
  // The message, 80h, zeros, then the bit length (64 bits, little-endian).
  const std::size_t padded = ((length + 8) / 64 + 1) * 64;
  std::string message(bytes);
  message.resize(padded, '\0');
  message[length] = char(0x80);
  const std::uint64_t bits = std::uint64_t(length) * 8;
  for (int i = 0; i < 8; ++i) message[padded - 8 + std::size_t(i)] = char((bits >> (8 * i)) & 0xFF);

  const auto rotl = [](std::uint32_t v, int s) { return (v << s) | (v >> (32 - s)); };
  std::uint32_t a = 0x67452301, b = 0xEFCDAB89, c = 0x98BADCFE, d = 0x10325476;
  std::uint32_t x[16];
  for (std::size_t block = 0; block < padded; block += 64) {
    for (int i = 0; i < 16; ++i) {
      const auto* p =
          reinterpret_cast<const unsigned char*>(message.data() + block + 4 * std::size_t(i));
      x[i] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
             std::uint32_t(p[3]) << 24;
    }
    const std::uint32_t aa = a, bb = b, cc = c, dd = d;
    for (int step = 0; step < 64; ++step) {
      const int round = step / 16;
      const int i = step % 16;
      std::uint32_t f;
      switch (round) {
        case 0: f = md5_F(b, c, d); break;
        case 1: f = md5_G(b, c, d); break;
        case 2: f = md5_H(b, c, d); break;
        default: f = md5_I(b, c, d); break;
      }
      const std::uint32_t word = x[(kFirstWord[round] + kWordStride[round] * i) % 16];
      const std::uint32_t rotated =
          b + rotl(a + f + word + kConstants[std::size_t(step)], kShifts[round][i % 4]);
      a = d;
      d = c;
      c = b;
      b = rotated;
    }
    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  return {a, b, c, d};
}

// A double-byte character of the code page gives its lead byte, then its
// trail byte; any other character gives the low byte of its UTF-16 code unit
// (for ASCII, the character code).
std::string str2bin(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t cp = nextCodePoint(text, pos);
    if (cp < 0x80) {
      bytes += char(cp);
      continue;
    }
    const long code = gbk::codeOf(cp);
    if (code > 0xFF) {
      bytes += char((code >> 8) & 0xFF);
      bytes += char(code & 0xFF);
    } else if (cp < 0x10000) {
      bytes += char(cp & 0xFF);
    } else {
      // A character beyond the BMP is two UTF-16 units (surrogates).
      bytes += char((0xD800 + ((cp - 0x10000) >> 10)) & 0xFF);
      bytes += char((0xDC00 + ((cp - 0x10000) & 0x3FF)) & 0xFF);
    }
  }
  return bytes;
}

// Bytes packed little-endian; 80h after the message, the bit length in the
// last two words.
std::vector<std::uint32_t> ConvertToWordArray(const Tables& t, const std::string& bytes) {
  const std::size_t length = bytes.size();
  const std::size_t wordCount = ((length + 8) / 64 + 1) * 16;
  std::vector<std::uint32_t> words(wordCount, 0);
  std::size_t k = 0;
  for (; k < length; ++k)
    words[k / 4] |= LShift(t, static_cast<unsigned char>(bytes[k]), int(8 * (k % 4)));
  words[k / 4] |= LShift(t, 0x80, int(8 * (k % 4)));
  words[wordCount - 2] = LShift(t, std::uint32_t(length), 3);
  words[wordCount - 1] = RShift(t, std::uint32_t(length), 29);
  return words;
}

std::uint32_t md5_F(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (~x & z); }
std::uint32_t md5_G(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & z) | (y & ~z); }
std::uint32_t md5_H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
std::uint32_t md5_I(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

void md5_FF(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac) {
  md5_Step(t, a, md5_F(b, c, d), b, x, s, ac);
}
void md5_GG(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac) {
  md5_Step(t, a, md5_G(b, c, d), b, x, s, ac);
}
void md5_HH(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac) {
  md5_Step(t, a, md5_H(b, c, d), b, x, s, ac);
}
void md5_II(const Tables& t, std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
            std::uint32_t x, int s, std::uint32_t ac) {
  md5_Step(t, a, md5_I(b, c, d), b, x, s, ac);
}

std::uint32_t AddUnsigned(std::uint32_t x, std::uint32_t y) { return x + y; }

std::uint32_t RotateLeft(const Tables& t, std::uint32_t value, int count) {
  return LShift(t, value, count) | RShift(t, value, 32 - count);
}

// The low 31 - count bits move up by multiplying with a power of two; the bit
// that lands in bit 31 is set on its own.
std::uint32_t LShift(const Tables& t, std::uint32_t value, int count) {
  std::uint32_t result = 0;
  trapped(logTagOf("LShift"), [&] {
    if (count < 0 || count > 31) raise(err::Overflow);
    if (count == 0) {
      result = value;
    } else if (count == 31) {
      result = (value & 1) ? 0x80000000u : 0;
    } else {
      result = (value & std::uint32_t(t.onBits[std::size_t(30 - count)])) *
               std::uint32_t(t.twoPower[std::size_t(count)]);
      if (value & std::uint32_t(t.twoPower[std::size_t(31 - count)])) result |= 0x80000000u;
    }
  });
  return result;
}

// Logical (zero-filling): bits 1..30 move down by dividing by a power of two;
// bit 31 is moved down on its own.
std::uint32_t RShift(const Tables& t, std::uint32_t value, int count) {
  std::uint32_t result = 0;
  trapped(logTagOf("RShift"), [&] {
    if (count < 0 || count > 31) raise(err::Overflow);
    if (count == 0) {
      result = value;
    } else if (count == 31) {
      result = (value & 0x80000000u) ? 1 : 0;
    } else {
      result = (value & 0x7FFFFFFEu) / std::uint32_t(t.twoPower[std::size_t(count)]);
      if (value & 0x80000000u)
        result |= 0x40000000u / std::uint32_t(t.twoPower[std::size_t(count - 1)]);
    }
  });
  return result;
}

std::string WordToHex(const Tables& t, std::uint32_t word) {
  std::string hex;
  for (int byte = 0; byte <= 3; ++byte)
    appendHexByte(hex, RShift(t, word, 8 * byte) & std::uint32_t(t.onBits[7]));
  return hex;
}

}  // namespace md5

Variant zurva::MD5(const Variant& sMessage, const Variant& stype) {
  return logged([&](Variant& result) {
    // The public tables get their contents again (in place: they keep their
    // storage), whatever a page wrote into them.
    static const std::vector<long> kOnBits = md5::onBitsTable();
    static const std::vector<long> kTwoPower = md5::twoPowerTable();
    m_lOnBits = kOnBits;
    m_l2Power = kTwoPower;
    const md5::Tables tables{m_lOnBits, m_l2Power};
    const md5::State s = md5::digest(tables, CStr(sMessage));

    // Any stype other than 32 (callers pass 16) gives the words b and c.
    const bool full = IsNumeric(stype) && eq(stype, 32);
    std::string hex;
    hex.reserve(32);
    // Each word's bytes, least significant first, in lower-case hex.
    const auto appendWord = [&hex](std::uint32_t word) {
      for (int byte = 0; byte <= 3; ++byte) {
        const std::uint32_t value = (word >> (8 * byte)) & 0xFF;
        hex += "0123456789abcdef"[value >> 4];
        hex += "0123456789abcdef"[value & 0xF];
      }
    };
    if (full) appendWord(s.a);
    appendWord(s.b);
    appendWord(s.c);
    if (full) appendWord(s.d);
    result = hex;
  });
}

}  // namespace zurvafun

#include "runtime/gbk.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/text.h"

namespace zurvafun::gbk {
namespace {

TEST(GbkConvert, ChineseTextRoundTrips) {
  struct Case {
    std::string utf8, gbk;
  };
  const std::vector<Case> cases = {
      {"中文", "\xD6\xD0\xCE\xC4"},
      {"a中b", "a\xD6\xD0" "b"},
      {"plain ascii", "plain ascii"},
      {"", ""},
      {"·€　", "\xA1\xA4\x80\xA1\xA1"},
      {"會員", "\x95\xFE\x86\x54"},  // traditional characters: in GBK, not in GB2312
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fromUtf8(c.utf8), c.gbk) << c.utf8;
    EXPECT_EQ(toUtf8(c.gbk), c.utf8) << c.utf8;
  }
}

TEST(GbkConvert, CharacterOutsideGbkBecomesReference) {
  EXPECT_EQ(fromUtf8("a😀中"), "a&#128512;\xD6\xD0");
  EXPECT_EQ(fromUtf8("😀", false), "?");
  EXPECT_EQ(fromUtf8("\xE2\x82\xAC\xF0\x9F\x98\x80\xE2\x82\xAC"), "\x80&#128512;\x80");
  // A malformed UTF-8 byte reads as U+FFFD, which GBK cannot hold either.
  EXPECT_EQ(fromUtf8("a\xFF" "b"), "a&#65533;b");
  EXPECT_EQ(fromUtf8("\xD6\xD0"), "&#65533;&#65533;");  // GBK bytes passed by mistake
  // Markup around the characters, and a sequence cut short before ASCII.
  EXPECT_EQ(fromUtf8("<td>中</td>\xE4\xB8" "a<b>é</b>"), "<td>\xD6\xD0</td>&#65533;&#65533;a<b>\xA8\xA6</b>");
}

// The whole text through one iconv converter from `from` to `to`; where it
// stops, onFailure(rest, out) appends the replacement and gives the number of
// bytes of `rest` it stands for.
template <class OnFailure>
std::string throughIconv(std::string_view in, const char* to, const char* from, OnFailure onFailure) {
  iconv_t cd = iconv_open(to, from);
  std::string out(in.size() * 4 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size(), used = 0;
  while (inLeft > 0) {
    char* outPtr = out.data() + used;
    std::size_t outLeft = out.size() - used;
    const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    used = std::size_t(outPtr - out.data());
    if (result != std::size_t(-1)) break;
    out.resize(used);
    const std::size_t skipped = onFailure(std::string_view(inPtr, inLeft), out);
    inPtr += skipped;
    inLeft -= skipped;
    used = out.size();
    out.resize(used + inLeft * 4 + 16);
  }
  out.resize(used);
  iconv_close(cd);
  return out;
}

// Every failure replaced where the converter stops: what fromUtf8 must give,
// however it gets there.
std::string throughIconv(std::string_view in, bool ncr) {
  return throughIconv(in, "GBK", "UTF-8", [ncr](std::string_view rest, std::string& out) {
    std::size_t length = 0;
    const char32_t cp = nextCodePoint(rest, length);
    out += ncr ? "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";" : "?";
    return length;
  });
}

TEST(GbkConvert, MixedTextConvertsAsAWholeWould) {
  std::mt19937 random(2);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = int(random() % 10); n > 0; --n) {
      std::string piece;
      switch (random() % 6) {
        case 0: piece = char('a' + random() % 26); break;
        case 1: appendUtf8(piece, char32_t(0x80 + random() % 0xFF7F)); break;  // any BMP character
        case 2: appendUtf8(piece, char32_t(0x4E00 + random() % 0x5200)); break;  // Chinese
        case 3: piece = char(0x80 + random() % 0x80); break;  // a stray byte
        case 4: appendUtf8(piece, char32_t(0x10000 + random() % 0x1000)); break;  // outside the BMP
        default: appendUtf8(piece, char32_t(0x800 + random() % 0xF000)); piece.resize(1 + random() % 2);  // cut short
      }
      text += piece;
    }
    ASSERT_EQ(fromUtf8(text), throughIconv(text, true)) << text;
    ASSERT_EQ(fromUtf8(text, false), throughIconv(text, false)) << text;
  }
}

TEST(GbkConvert, InvalidGbkBecomesReplacementCharacter) {
  struct Case {
    std::string gbk, utf8;
  };
  const std::vector<Case> cases = {
      {"\xFF", "\uFFFD"},
      {"a\xD6", "a\uFFFD"},               // lead byte cut off at the end
      {"\xD6<b>", "\uFFFD<b>"},           // a byte that cannot trail is kept
      {"\xD6\"\xD6\xD0", "\uFFFD\"中"},
      {"\xAA\xA1\xD6\xD0", "\uFFFD中"},   // an unassigned pair is one character
      {"\xFF\xFF\xFF", "\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(toUtf8(c.gbk), c.utf8);
}

// GBK text with a failure replaced by U+FFFD for a lead and trail byte pair
// or for one byte: what toUtf8 must give.
std::string throughIconvToUtf8(std::string_view in) {
  return throughIconv(in, "UTF-8", "GBK", [](std::string_view rest, std::string& out) -> std::size_t {
    out += "\uFFFD";
    const auto lead = static_cast<unsigned char>(rest[0]);
    const auto trail = rest.size() > 1 ? static_cast<unsigned char>(rest[1]) : 0;
    return rest.size() > 1 && lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
  });
}

TEST(GbkConvert, MixedBytesDecodeAsAWholeWould) {
  std::mt19937 random(3);
  for (int i = 0; i < 20000; ++i) {
    std::string bytes;
    for (int n = int(random() % 10); n > 0; --n) {
      switch (random() % 5) {
        case 0: bytes += char('a' + random() % 26); break;
        case 1: bytes += fromUtf8(std::string(1, char('a' + random() % 26)) + "中文會員€·"); break;
        case 2:  // any lead and trail byte pair, assigned or not
          bytes += char(0x81 + random() % 0x7E);
          bytes += char(0x40 + random() % 0xBF);
          break;
        case 3: bytes += char(0x80 + random() % 0x80); break;  // a stray or cut-off byte
        default: bytes += char(random() % 0x100);
      }
    }
    ASSERT_EQ(toUtf8(bytes), throughIconvToUtf8(bytes)) << bytes;
  }
}

TEST(GbkCodes, CodeOfAndCharOf) {
  struct Case {
    char32_t cp;
    long code;
  };
  const std::vector<Case> cases = {
      {U'A', 0x41}, {0, 0}, {U'中', 0xD6D0}, {U'文', 0xCEC4}, {0x3000, 0xA1A1}, {0x20AC, 0x80},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(codeOf(c.cp), c.code) << c.code;
    EXPECT_TRUE(encodable(c.cp)) << c.code;
    EXPECT_EQ(charOf(c.code), c.cp) << c.code;
  }
  for (char32_t cp : {char32_t(0x1F600), char32_t(0xFFFD), char32_t(0xD800), char32_t(0x0E01)}) {
    EXPECT_EQ(codeOf(cp), -1) << static_cast<long>(cp);
    EXPECT_FALSE(encodable(cp)) << static_cast<long>(cp);
  }
  for (long code : {-1L, 0x81L, 0xFFL, 0x4141L, 0xD67FL, 0x10000L}) {
    EXPECT_EQ(charOf(code), char32_t(0xFFFD)) << code;
  }
}

TEST(GbkUrl, EncodeInGbk) {
  struct Case {
    std::string text, encoded;
  };
  const std::vector<Case> cases = {
      {"中", "%D6%D0"},
      {"中 文", "%D6%D0+%CE%C4"},
      {"aZ09", "aZ09"},
      {"a=b&c/d.e-f_g~h*", "a%3Db%26c%2Fd%2Ee%2Df%5Fg%7Eh%2A"},
      {"50%+", "50%25%2B"},
      {"😀", "%26%23128512%3B"},  // sent as the reference a GBK form would send
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(urlEncode(c.text), c.encoded) << c.text;
}

TEST(GbkUrl, DecodeFromGbk) {
  struct Case {
    std::string encoded, text;
  };
  const std::vector<Case> cases = {
      {"%D6%D0", "中"},
      {"%d6%d0+%CE%C4", "中 文"},
      {"a%20b+c", "a b c"},
      {"100%", "100%"},                // malformed escapes stay as they stand
      {"%G1%4", "%G1%4"},
      {"%%D6%D0", "%中"},
      {"%2B%25", "+%"},
      {"%D6", "\uFFFD"},               // invalid GBK byte sequence
      {"%FF%D6%D0", "\uFFFD中"},
      {"\xD6\xD0", "中"},              // raw GBK bytes in the query
  };
  for (const auto& c : cases) EXPECT_EQ(urlDecode(c.encoded), c.text) << c.encoded;
  EXPECT_EQ(urlDecode(urlEncode("会员 中心/a+b")), "会员 中心/a+b");
}

// Each thread converts with its own descriptors; conversions on many threads
// at once give the same results as on one.
TEST(GbkConvert, ThreadsConvertIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        if (toUtf8(fromUtf8("会员中心😀")) != "会员中心&#128512;" || toUtf8("\xD6") != "\uFFFD") {
          ++failures[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace zurvafun::gbk

#include "runtime/text.h"

#include <gtest/gtest.h>

#include "tests/support.h"

#include <functional>
#include <string>
#include <vector>

#include "runtime/error.h"

namespace zurvafun {
namespace {

// The error number a call raises, or 0 when it raises none.
using testing::errorOf;

const std::string kText = "中文ab字符";  // 6 characters, 14 bytes

TEST(TextPositions, CountCharactersNotBytes) {
  EXPECT_EQ(Len(kText), 6);
  EXPECT_EQ(Len(""), 0);
  EXPECT_EQ(Len("😀x"), 2);

  struct Case {
    std::string got, want;
  };
  const std::vector<Case> cases = {
      {Left(kText, 2), "中文"},     {Left(kText, 0), ""},        {Left(kText, 99), kText},
      {Right(kText, 2), "字符"},    {Right(kText, 0), ""},       {Right(kText, 99), kText},
      {Mid(kText, 2, 3), "文ab"},   {Mid(kText, 5), "字符"},     {Mid(kText, 6, 5), "符"},
      {Mid(kText, 7), ""},          {Mid(kText, 99, 1), ""},     {Mid(kText, 1, 0), ""},
      {Mid("", 1, 1), ""},          {Left("😀x", 1), "😀"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST(TextPositions, InStrCountsCharacters) {
  struct Case {
    long start;
    std::string s, find;
    long want;
  };
  const std::vector<Case> cases = {
      {1, kText, "ab", 3},       {1, kText, "字", 5},     {4, kText, "b", 4},
      {5, kText, "ab", 0},       {1, kText, "x", 0},      {1, kText, "AB", 0},  // binary: case matters
      {6, kText, "符", 6},       {7, kText, "符", 0},     {1, "abab", "ab", 1},
      {2, "abab", "ab", 3},      {1, kText, "", 1},       {3, kText, "", 3},
      {6, kText, "", 6},         {7, kText, "", 0},       {1, "", "", 0},
      {1, "", "a", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InStr(c.start, c.s, c.find), c.want) << c.start << " " << c.s << " / " << c.find;
  }
  EXPECT_EQ(InStr(kText, "b"), 4);
}

TEST(TextPositions, InStrRevSearchesFromTheEnd) {
  struct Case {
    std::string s, find;
    long start;
    long want;
  };
  const std::vector<Case> cases = {
      {"中ab中ab", "ab", -1, 5}, {"中ab中ab", "ab", 5, 2}, {"中ab中ab", "ab", 6, 5},
      {"中ab中ab", "中", -1, 4}, {"中ab中ab", "中", 3, 1}, {"中ab中ab", "x", -1, 0},
      {"中ab中ab", "ab", 7, 0},  {"中ab中ab", "", -1, 6},  {"中ab中ab", "", 2, 2},
      {"", "", -1, 0},           {"", "a", -1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InStrRev(c.s, c.find, c.start), c.want) << c.s << " / " << c.find << " @" << c.start;
  }
}

TEST(TextErrors, InvalidArgumentsRaiseFive) {
  const std::vector<std::function<void()>> calls = {
      [] { Mid("abc", 0); },          [] { Mid("abc", 0, 1); },       [] { Mid("abc", 1, -1); },
      [] { Mid("abc", -3, 1); },      [] { Left("abc", -1); },        [] { Right("abc", -1); },
      [] { InStr(0, "abc", "a"); },   [] { InStr(-1, "abc", ""); },   [] { InStrRev("abc", "a", 0); },
      [] { InStrRev("abc", "a", -2); }, [] { Asc(""); },              [] { AscW(""); },
      [] { Space(-1); },              [] { String(-1, "a"); },        [] { String(2, ""); },
      [] { Chr(65536); },             [] { Chr(-32769); },            [] { ChrW(0x110000); },
      [] { ChrW(-32769); },
  };
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(errorOf(calls[i]), 5) << "call " << i;
}

TEST(TextReplace, BinaryNonOverlappingLeftToRight) {
  struct Case {
    std::string s, find, with, want;
  };
  const std::vector<Case> cases = {
      {"中文中文", "中", "汉", "汉文汉文"},
      {"aaa", "aa", "b", "ba"},
      {"aAa", "a", "x", "xAx"},
      {"abc", "", "x", "abc"},
      {"abc", "abc", "", ""},
      {"a'b'c", "'", "''", "a''b''c"},
      {"", "a", "b", ""},
      {"xyz", "q", "r", "xyz"},
  };
  for (const auto& c : cases) EXPECT_EQ(Replace(c.s, c.find, c.with), c.want) << c.s;
}

TEST(TextSplit, ItemsAndDelimiters) {
  using Items = std::vector<std::string>;
  struct Case {
    std::string s, delimiter;
    Items want;
  };
  const std::vector<Case> cases = {
      {"", ",", {}},
      {"", "", {}},
      {"张三,李四,王五", ",", {"张三", "李四", "王五"}},
      {"a||b|c", "||", {"a", "b|c"}},
      {"a,,b,", ",", {"a", "", "b", ""}},
      {",", ",", {"", ""}},
      {"中文", "", {"中文"}},
      {"中文", "|", {"中文"}},
      {"a中b中c", "中", {"a", "b", "c"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Split(c.s, c.delimiter), c.want) << c.s << " / " << c.delimiter;
  EXPECT_EQ(Join(Split("a||b||c", "||"), "-"), "a-b-c");
  EXPECT_EQ(Join({}, ","), "");
}

TEST(TextTrim, OnlyTheAsciiBlank) {
  struct Case {
    std::string got, want;
  };
  const std::vector<Case> cases = {
      {Trim("  中 文  "), "中 文"},
      {LTrim("  a  "), "a  "},
      {RTrim("  a  "), "  a"},
      {Trim("\ta\t"), "\ta\t"},
      {Trim("\u3000a\u3000"), "\u3000a\u3000"},
      {Trim("   "), ""},
      {LTrim(""), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(TextCase, AsciiLettersOnly) {
  EXPECT_EQ(LCase("SELECT 中文 ÀÉ"), "select 中文 ÀÉ");
  EXPECT_EQ(UCase("select 中文 àé"), "SELECT 中文 àé");
}

TEST(TextRepeat, SpaceStringAndReverse) {
  EXPECT_EQ(Space(3), "   ");
  EXPECT_EQ(Space(0), "");
  EXPECT_EQ(String(3, "中文"), "中中中");
  EXPECT_EQ(String(2, "ab"), "aa");
  EXPECT_EQ(String(0, "a"), "");
  EXPECT_EQ(StrReverse("ab中文😀"), "😀文中ba");
  EXPECT_EQ(StrReverse(""), "");
}

TEST(TextCodes, AscGivesSignedGbkCode) {
  struct Case {
    std::string s;
    int want;
  };
  const std::vector<Case> cases = {
      {"中", -10544},  // GBK D6D0
      {"中文", -10544},
      {"A", 65},
      {"abc", 97},
      {"·", -24156},   // GBK A1A4
      {"€", 128},      // the single byte 80 of the code page
      {"😀", 63},      // outside GBK: converted to "?"
  };
  for (const auto& c : cases) EXPECT_EQ(Asc(c.s), c.want) << c.s;
}

TEST(TextCodes, AscWGivesSignedUtf16Unit) {
  EXPECT_EQ(AscW("中"), 0x4E2D);
  EXPECT_EQ(AscW("A"), 65);
  EXPECT_EQ(AscW("！"), -255);              // U+FF01
  EXPECT_EQ(AscW("😀"), 0xD83D - 0x10000);  // the high surrogate
}

TEST(TextCodes, ChrRoundTripsAsc) {
  for (const std::string s : {"中", "文", "A", " ", "·", "€", "　", "\x7F"}) {
    EXPECT_EQ(Chr(Asc(s)), s) << s;
  }
  EXPECT_EQ(Chr(0xD6D0), "中");  // the same code given as positive number
  EXPECT_EQ(Chr(0), std::string(1, '\0'));
  EXPECT_EQ(Chr(0xD6), "\uFFFD");    // a lone lead byte is no character
  EXPECT_EQ(Chr(0x4141), "\uFFFD");  // nor is a pair without a lead byte
}

TEST(TextCodes, ChrWFromCodePoints) {
  EXPECT_EQ(ChrW(0x4E2D), "中");
  EXPECT_EQ(ChrW(65), "A");
  EXPECT_EQ(ChrW(-255), "！");
  EXPECT_EQ(ChrW(0x1F600), "😀");
  EXPECT_EQ(ChrW(0xD800), "\uFFFD");
  for (const std::string s : {"中", "A", "！"}) EXPECT_EQ(ChrW(AscW(s)), s);
}

TEST(TextHex, UpperCaseAndTwosComplement) {
  struct Case {
    long long n;
    std::string want;
  };
  const std::vector<Case> cases = {
      {0, "0"},           {255, "FF"},          {0xD6D0, "D6D0"},           {-1, "FFFFFFFF"},
      {-10544, "FFFFD6D0"}, {2147483647, "7FFFFFFF"}, {-2147483648LL, "80000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(c.n), c.want) << c.n;
  EXPECT_EQ(errorOf([] { Hex(2147483648LL); }), 6);
  EXPECT_EQ(errorOf([] { Hex(-2147483649LL); }), 6);
}

// Malformed UTF-8 never crashes: every bad byte counts as one character, is
// kept as it stands when text is cut, and reads as U+FFFD.
TEST(TextMalformed, BadBytesAreSingleCharacters) {
  const std::string bad = "a\xE4\xB8" "b\xFF";  // a cut-off 中, then b and a stray byte
  EXPECT_EQ(Len(bad), 5);
  EXPECT_EQ(Mid(bad, 2, 2), "\xE4\xB8");
  EXPECT_EQ(Right(bad, 2), "b\xFF");
  EXPECT_EQ(InStr(bad, "b"), 4);
  EXPECT_EQ(StrReverse(bad), "\xFF" "b\xB8\xE4" "a");
  EXPECT_EQ(toCodePoints(bad), (std::u32string{U'a', 0xFFFD, 0xFFFD, U'b', 0xFFFD}));
  EXPECT_EQ(Asc("\xFF"), 63);
  // Overlong forms and encoded surrogates are malformed too.
  EXPECT_EQ(Len("\xC0\xAF"), 2);
  EXPECT_EQ(Len("\xED\xA0\x80"), 3);
}

TEST(TextMalformed, MatchesNeverSplitACharacter) {
  // 中 is E4 B8 AD: its tail bytes alone must not match inside it.
  EXPECT_EQ(InStr("中", "\xB8\xAD"), 0);
  EXPECT_EQ(InStr("中", "\xE4"), 0);
  EXPECT_EQ(InStrRev("中", "\xB8\xAD"), 0);
  EXPECT_EQ(Replace("中\xB8\xAD", "\xB8\xAD", "x"), "中x");
  EXPECT_EQ(Split("中\xAD中", "\xAD"), (std::vector<std::string>{"中", "中"}));
}

TEST(TextUtf8, CodePointsRoundTrip) {
  const std::string s = "aé中😀";
  const std::u32string cps = toCodePoints(s);
  EXPECT_EQ(cps, (std::u32string{U'a', 0xE9, 0x4E2D, 0x1F600}));
  EXPECT_EQ(fromCodePoints(cps), s);
  EXPECT_EQ(fromCodePoints(std::u32string{0xDC00, 0x110000}), "\uFFFD\uFFFD");
}

}  // namespace
}  // namespace zurvafun

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/gbk.h"
#include "runtime/text.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

// MD5 of raw bytes by OpenSSL, as 32 lower-case hex digits.
std::string referenceMd5(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += "0123456789abcdef"[digest[i] >> 4];
    hex += "0123456789abcdef"[digest[i] & 0xF];
  }
  return hex;
}

TEST(Md5, WorkedExamples) {
  zurva z;
  struct Case {
    const char* text;
    const char* full;
    const char* middle;
  };
  const Case cases[] = {
      {"abc", "900150983cd24fb0d6963f7d28e17f72", "3cd24fb0d6963f7d"},
      {"中文", "bcce109775e8e1972e9f5fcda3e12895", "75e8e1972e9f5fcd"},
      {"", "d41d8cd98f00b204e9800998ecf8427e", "8f00b204e9800998"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(z.MD5(c.text, 32).str(), c.full);
    EXPECT_EQ(z.MD5(c.text, 16).str(), c.middle);
  }
  // A Chinese text hashes the two code-page bytes of each character, lead byte first.
  EXPECT_EQ(referenceMd5("\xD6\xD0\xCE\xC4"), "bcce109775e8e1972e9f5fcda3e12895");
}

TEST(Md5, EveryStypeOtherThan32GivesTheSixteenDigitForm) {
  zurva z;
  const Variant others[] = {16, 0, Variant(), Variant::null(), "16", "abc", 31, 32.5, -32};
  for (const Variant& stype : others) {
    SCOPED_TRACE(stype.str());
    EXPECT_EQ(z.MD5("abc", stype).str(), "3cd24fb0d6963f7d");
  }
  for (const Variant& stype : {Variant(32), Variant("32"), Variant(32.0), Variant::lng(32)})
    EXPECT_EQ(z.MD5("abc", stype).str(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5, PaddingBoundariesMatchOpenSsl) {
  zurva z;
  // Byte lengths around the block end: 55 bytes still pad into one block, 56
  // need a second one; also 63, 64, 65 and the second block's boundaries.
  for (std::size_t length : {1u, 54u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
    SCOPED_TRACE(length);
    std::string ascii;
    for (std::size_t i = 0; i < length; ++i) ascii += char('a' + i % 26);
    EXPECT_EQ(z.MD5(ascii, 32).str(), referenceMd5(ascii));
  }
  // The same boundaries reached with double-byte characters: 53 + 2 = 55, 54 + 2 = 56 bytes.
  for (std::size_t ascii : {53u, 54u, 61u, 62u}) {
    SCOPED_TRACE(ascii);
    const std::string text = std::string(ascii, 'x') + "中";
    ASSERT_EQ(gbk::fromUtf8(text).size(), ascii + 2);
    EXPECT_EQ(z.MD5(text, 32).str(), referenceMd5(gbk::fromUtf8(text)));
  }
  const std::string mixed = "会员 member 密码 é ü №５ 中文标点：，。！";
  EXPECT_EQ(z.MD5(mixed, 32).str(), referenceMd5(gbk::fromUtf8(mixed)));
}

TEST(Md5, ACharacterOutsideTheCodePageGivesTheLowByteOfEachUtf16Unit) {
  zurva z;
  EXPECT_EQ(z.MD5("aß", 32).str(), referenceMd5("a\xDF"));  // U+00DF
  EXPECT_EQ(z.MD5("😀", 32).str(), referenceMd5(std::string("\x3D\x00", 2)));  // D83D DE00
}

TEST(Md5, ConvertsNumbersToTheirText) {
  zurva z;
  EXPECT_EQ(z.MD5(123, 32).str(), referenceMd5("123"));
  EXPECT_EQ(z.MD5(12.7, 32).str(), referenceMd5("12.7"));
  EXPECT_EQ(z.MD5(true, 32).str(), referenceMd5("True"));
}

TEST(Md5, APageThatOverwroteTheTablesGetsTheSameDigest) {
  zurva z;
  ASSERT_EQ(z.m_lOnBits.size(), 31u);
  ASSERT_EQ(z.m_l2Power.size(), 31u);
  z.m_lOnBits.assign(31, 0);
  z.m_l2Power[7] = 12345;
  EXPECT_EQ(z.MD5("abc", 32).str(), "900150983cd24fb0d6963f7d28e17f72");
  // Even tables a page shrank are filled afresh.
  z.m_lOnBits.clear();
  z.m_l2Power.resize(3);
  EXPECT_EQ(z.MD5("中文", 32).str(), "bcce109775e8e1972e9f5fcda3e12895");
  ASSERT_EQ(z.m_lOnBits.size(), 31u);
  ASSERT_EQ(z.m_l2Power.size(), 31u);
  EXPECT_EQ(z.m_lOnBits[0], 1);
  EXPECT_EQ(z.m_lOnBits[30], 0x7FFFFFFF);
  EXPECT_EQ(z.m_l2Power[0], 1);
  EXPECT_EQ(z.m_l2Power[30], 0x40000000);
}

TEST(Md5, ErrorsAreLoggedAndGiveAnEmptyResult) {
  const std::string log = (std::filesystem::temp_directory_path() /
                           ("zurva-md5-" + std::to_string(::getpid()) + ".log"))
                              .string();
  setLogFilePath(log);
  std::filesystem::remove(log);
  {
    zurva z;
    const Variant digest = z.MD5(Variant::null(), 32);
    EXPECT_TRUE(digest.isEmpty());
  }
  std::ifstream in(log, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("    \\temp1, MD5: 无效使用 Null\r\n"), std::string::npos) << text.str();
  std::filesystem::remove(log);
  setLogFilePath("");
}

TEST(Md5, RaisesTheRequestEndOnceTheResponseHasEnded) {
  host::TestHost h;
  zurva z;
  h.response().End();
  EXPECT_EQ(testing::errorOf([&] { z.MD5("abc", 32); }), RequestEndError);
}

}  // namespace
}  // namespace zurvafun

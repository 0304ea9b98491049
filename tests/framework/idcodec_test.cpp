#include <gtest/gtest.h>

#include <string>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::errorOf;

TEST(IdCodec, TokenOfAMemberNumber) {
  zurva z;
  EXPECT_EQ(z.idasc(5).str(), "49514952535053Sbbce2345d7772b06");
  EXPECT_EQ(z.idasc(123).str(), "49514952545251Sac59075b964b0715");
  // Numeric text gives the same token as the number.
  EXPECT_EQ(z.idasc("123").str(), "49514952545251Sac59075b964b0715");
}

TEST(IdCodec, FractionalIdUsesTheIntegerPartForDigitsAndItsOwnTextForTheDigest) {
  zurva z;
  // 12 + 1314520 = 1314532; the digest is of the text "12.7".
  EXPECT_EQ(z.idasc(12.7).str(), "49514952535150S" + z.MD5("12.7", 16).str());
  EXPECT_NE(z.MD5("12.7", 16).str(), z.MD5("12", 16).str());
}

TEST(IdCodec, NonNumericIdIsATypeMismatch) {
  zurva z;
  EXPECT_EQ(errorOf([&] { z.idasc("abc"); }), err::TypeMismatch);
}

TEST(IdCodec, DigitPartDecodesToTheMemberNumber) {
  zurva z;
  EXPECT_TRUE(eq(z.idchar("49514952545251"), 123));
  for (long id : {0L, 1L, 5L, 99999L, 2000000L}) {
    SCOPED_TRACE(id);
    const std::string token = z.idasc(id).str();
    EXPECT_TRUE(eq(z.idchar(token.substr(0, token.find('S'))), double(id)));
  }
}

TEST(IdCodec, WholeTokenOddLengthAndEmptyTextAreTypeMismatches) {
  zurva z;
  // The whole token fails at the pair made of "S" and the first digest digit.
  EXPECT_EQ(errorOf([&] { z.idchar("49514952545251Sac59075b964b0715"); }), err::TypeMismatch);
  EXPECT_EQ(errorOf([&] { z.idchar("4951495254525"); }), err::TypeMismatch);
  EXPECT_EQ(errorOf([&] { z.idchar(""); }), err::TypeMismatch);
}

TEST(IdCodecSmallUtilities, QdateFindsTheExactMember) {
  zurva z;
  struct Case {
    Variant userid;
    const char* list;
    const char* expected;
  };
  const Case cases[] = {
      {5, "15@a,5@b", "b"},  {7, "15@a,5@b", "wu"},      {5, "", "wu"},
      {5, "5@", ""},         {15, "15@a,5@b", "a"},      {5, "5@first,5@second", "first"},
      {"5", "1@x,5@y,9@z", "y"}, {5, "15@a,25@b", "wu"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.userid.str()) + " in " + c.list);
    EXPECT_EQ(z.qdate(c.userid, c.list).str(), c.expected);
  }
}

TEST(IdCodecSmallUtilities, ZurvastrReadsAPlaceholderValue) {
  zurva z;
  const Variant text = "{$title=Hello$}{$color=red$}";
  EXPECT_EQ(z.zurvastr(text, "{$title").str(), "Hello");
  EXPECT_EQ(z.zurvastr(text, "{$color").str(), "red");
  EXPECT_EQ(z.zurvastr("{$title=标题$}", "{$title").str(), "标题");
  // No "$}" after the key: invalid procedure call.
  EXPECT_EQ(errorOf([&] { z.zurvastr("{$title=Hello", "{$title"); }), err::InvalidCall);
}

TEST(IdCodecSmallUtilities, VersionText) {
  zurva z;
  EXPECT_EQ(z.zurvalms_version().str(), "2.1.0.18");
}

TEST(IdCodecSmallUtilities, RaiseTheRequestEndOnceTheResponseHasEnded) {
  host::TestHost h;
  zurva z;
  h.response().End();
  EXPECT_EQ(errorOf([&] { z.idasc(5); }), RequestEndError);
  EXPECT_EQ(errorOf([&] { z.qdate(5, "5@b"); }), RequestEndError);
  EXPECT_EQ(errorOf([&] { z.zurvalms_version(); }), RequestEndError);
}

}  // namespace
}  // namespace zurvafun

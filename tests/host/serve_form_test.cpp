#include "host/serve/form.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace zurvafun::serve {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs pairsOf(std::string_view text, Escapes escapes = Escapes::Gbk) {
  host::ValueCollection c;
  addUrlEncodedPairs(text, c, escapes);
  Pairs out;
  for (const std::string& key : c.keys()) out.emplace_back(key, c(key).str());
  return out;
}

TEST(ServeForm, UrlEncodedPairsDecodeGbkEscapes) {
  const struct {
    const char* text;
    Pairs expected;
  } cases[] = {
      {"name=%D6%D0%CE%C4", {{"name", "中文"}}},
      {"%D0%D5%C3%FB=%C0%EE", {{"姓名", "李"}}},  // keys decode too
      {"a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},   // empty items skipped
      {"flag&k=", {{"flag", ""}, {"k", ""}}},     // sent without a value: ""
      {"s=a+b%20c", {{"s", "a b c"}}},
      {"x=%ZZ%4", {{"x", "%ZZ%4"}}},              // malformed escapes stay
      {"t=%D6", {{"t", "\uFFFD"}}},               // a lead byte cut short
      {"u=%FFok", {{"u", "\uFFFDok"}}},           // a byte GBK never uses
      {"e=a=b", {{"e", "a=b"}}},                  // the value runs to the next "&"
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(pairsOf(c.text), c.expected) << c.text;
}

TEST(ServeForm, RepeatedKeysJoinAndCaseIsIgnored) {
  host::ValueCollection c;
  addUrlEncodedPairs("tag=a&TAG=b&id=1", c);
  EXPECT_EQ(c("tag").str(), "a, b");
  EXPECT_EQ(c("ID").str(), "1");
  EXPECT_TRUE(c("missing").isEmpty());
}

TEST(ServeForm, PathValuesAreUtf8WhenValidElseGbk) {
  // What a browser sends for characters typed into a path (UTF-8), and what
  // the site wrote itself with Server.URLEncode (GBK), read the same.
  EXPECT_EQ(pairsOf("city=%E5%8C%97%E4%BA%AC", Escapes::Path), (Pairs{{"city", "北京"}}));
  EXPECT_EQ(pairsOf("city=%B1%B1%BE%A9", Escapes::Path), (Pairs{{"city", "北京"}}));
  EXPECT_EQ(pairsOf("a=x+y", Escapes::Path), (Pairs{{"a", "x y"}}));
}

TEST(ServeForm, PercentDecodingAndUtf8Validity) {
  EXPECT_EQ(percentDecode("/a%20b+c%2F%zz%", false), "/a b+c/%zz%");
  EXPECT_EQ(percentDecode("a+b", true), "a b");
  EXPECT_TRUE(isValidUtf8("plain 中文 😀"));
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(isValidUtf8("\xE4\xB8"));          // cut short
  EXPECT_FALSE(isValidUtf8("\xD6\xD0\xCE\xC4"));  // GBK 中文
  EXPECT_EQ(pathBytesToText("\xD6\xD0\xCE\xC4"), "中文");
  EXPECT_EQ(pathBytesToText("中文"), "中文");
}

TEST(ServeForm, HeaderValuesAsTheyArrived) {
  const std::string_view raw =
      "GET /cookie:x HTTP/1.1\r\nHost: a\r\ncookie:  k=%D6%D0 \r\nX-Cookie: no\r\nCOOKIE: b=2\r\n\r\nCookie: body";
  EXPECT_EQ(headerValues(raw, "Cookie"), (std::vector<std::string_view>{"k=%D6%D0", "b=2"}));
  EXPECT_EQ(headerValues(raw, "host"), (std::vector<std::string_view>{"a"}));
  EXPECT_TRUE(headerValues(raw, "Referer").empty());
}

TEST(ServeMultipart, TextFieldsInOrderFilesLeftOut) {
  MultipartForm m(1000, 100);
  ASSERT_TRUE(m.beginPart("nick", ""));
  ASSERT_TRUE(m.append("\xC4\xE3", 2));  // 你好 in two pieces
  ASSERT_TRUE(m.append("\xBA\xC3", 2));
  ASSERT_TRUE(m.beginPart("photo", "me.jpg"));
  ASSERT_TRUE(m.append("\xFF\xD8\xFF\xE0 binary", 10));
  ASSERT_TRUE(m.beginPart("empty", ""));
  ASSERT_TRUE(m.beginPart("a b", ""));
  ASSERT_TRUE(m.append("x&y", 3));

  host::ValueCollection form;
  m.fill(form);
  EXPECT_EQ(form.keys(), (std::vector<std::string>{"nick", "empty", "a b"}));
  EXPECT_EQ(form("nick").str(), "你好");
  EXPECT_TRUE(form("empty").isString());
  EXPECT_EQ(form("a b").str(), "x&y");
  EXPECT_TRUE(form("photo").isEmpty());
  EXPECT_EQ(form().str(), "nick=%C4%E3%BA%C3&empty=&a+b=x%26y");
}

TEST(ServeMultipart, BodyBoundCountsEveryPart) {
  MultipartForm m(8, 100);
  ASSERT_TRUE(m.beginPart("file", "a.bin"));
  EXPECT_TRUE(m.append("12345", 5));
  ASSERT_TRUE(m.beginPart("text", ""));
  EXPECT_FALSE(m.append("6789", 4));
  EXPECT_TRUE(m.tooLarge());

  MultipartForm parts(1000, 2);
  EXPECT_TRUE(parts.beginPart("a", ""));
  EXPECT_TRUE(parts.beginPart("b", "b.jpg"));  // files count as parts too
  EXPECT_FALSE(parts.beginPart("c", ""));
  EXPECT_TRUE(parts.tooLarge());
}

// The pairs counted as the bytes arrive are the pairs the form gets.
TEST(ServeForm, PairCounterCountsWhatTheFormGets) {
  for (const char* text : {"", "a=1", "a=1&b=2", "&&a&&b=&", "a=1&a=2&A=3", "=x&&", "a%26b=1&c"}) {
    host::ValueCollection form;
    const size_t added = addUrlEncodedPairs(text, form);
    PairCounter whole, pieces;
    whole.feed(text);
    for (const char* p = text; *p; ++p) pieces.feed(std::string_view(p, 1));
    EXPECT_EQ(whole.pairs(), added) << text;
    EXPECT_EQ(pieces.pairs(), added) << text;
  }
}

}  // namespace
}  // namespace zurvafun::serve

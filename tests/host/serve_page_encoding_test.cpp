// A page's GBK bytes when the long texts it wrote are converted once and
// copied afterwards: always the bytes converting the whole body gives.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "host/serve/page_encoding.h"
#include "runtime/gbk.h"

namespace zurvafun::serve {
namespace {

std::string repeat(std::string_view text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

std::string encoded(const host::Response& page) {
  return encodePage(page.body(), page.longWrites());
}

TEST(ServePageEncoding, ResponseMarksItsLongWrites) {
  host::Response page;
  const std::string longText = repeat("x", host::Response::kLongWrite);
  page.Write("short");
  page.Write(longText);
  page.Write(Variant(longText));
  page.Write(std::string(host::Response::kLongWrite - 1, 'y'));
  using Marks = std::vector<std::pair<std::size_t, std::size_t>>;
  EXPECT_EQ(page.longWrites(), (Marks{{5, 512}, {517, 512}}));
  page.Clear();
  EXPECT_TRUE(page.longWrites().empty());
  page.Write(longText);
  page.Redirect("/index.asp");
  EXPECT_TRUE(page.longWrites().empty());
  page.Write(longText);  // after the end: dropped
  EXPECT_TRUE(page.body().empty() && page.longWrites().empty());
}

// Each page is written as the list of its writes, and converted three times
// in a row (the texts kept from the first times serve the later ones).
TEST(ServePageEncoding, SameBytesAsConvertingTheWholeBody) {
  const std::string cjk = repeat("会员展示，最新会员。", 60);          // 1,800 bytes
  const std::string mixed = repeat("<td>北京 abc</td>\n", 40);         // CJK among ASCII
  const std::string ascii = repeat("<a href=\"/x.asp\">x</a>\n", 40);  // ASCII alone
  const std::string outside = repeat("表情😀符号", 80);                 // not in GBK: a reference
  const std::string zhong = "中";                                      // E4 B8 AD
  const std::string malformed = repeat("\xE4\xB8 \xAD\xFF\xC0\xAF半", 100);
  const std::vector<std::vector<std::string>> pages = {
      {"<html>", cjk, "<p>", mixed, ascii, "</html>"},
      {cjk, cjk, cjk},  // the same text three times in one page
      {outside, "end"},
      {malformed, cjk},
      // A character cut between two writes: the long texts around the cut
      // must be converted together with it, not apart.
      {cjk + zhong.substr(0, 2), zhong.substr(2) + cjk},
      {cjk + zhong.substr(0, 1), zhong.substr(1) + mixed},
      {std::string(zhong.substr(2)) + cjk},
      {},
  };
  for (std::size_t i = 0; i < pages.size(); ++i) {
    host::Response page;
    for (const std::string& text : pages[i]) page.Write(text);
    const std::string whole = gbk::fromUtf8(page.body());
    for (int time = 0; time < 3; ++time)
      EXPECT_EQ(encoded(page), whole) << "page " << i << ", time " << time;
  }
}

TEST(ServePageEncoding, ATextChangedInPlaceIsConvertedAgain) {
  // Same length, same bytes at the start and the end: only the middle differs.
  std::string before = repeat("甲", 400), after = before;
  after.replace(600, 3, "乙");
  for (int time = 0; time < 3; ++time) {
    for (const std::string& text : {before, after}) {
      host::Response page;
      page.Write(text);
      EXPECT_EQ(encoded(page), gbk::fromUtf8(text));
    }
  }
}

// On a thread of its own: what a thread keeps starts empty.
void keptTextsStayWithinBounds() {
  const EncodedTexts start = encodedTextsKept();
  EXPECT_EQ(start.texts, 0u);
  // A text met once is not kept; met again, it is.
  host::Response once;
  once.Write(repeat("一次", 300) + "独");
  encoded(once);
  EXPECT_EQ(encodedTextsKept().texts, start.texts);
  encoded(once);
  EXPECT_EQ(encodedTextsKept().texts, start.texts + 1);
  // Many texts, each met twice, some large: the thread keeps a bounded part.
  for (int i = 0; i < 200; ++i) {
    host::Response page;
    page.Write(repeat("很多文字", 100 + 50 * (i % 7)) + std::to_string(i));
    encoded(page);
    encoded(page);
  }
  const EncodedTexts kept = encodedTextsKept();
  EXPECT_LE(kept.texts, 24u);
  EXPECT_LE(kept.bytes, 256u * 1024);
  EXPECT_GT(kept.texts, 0u);
  // A text larger than the whole bound is converted but not kept.
  host::Response huge;
  huge.Write(repeat("大", 100'000));
  EXPECT_EQ(encoded(huge), gbk::fromUtf8(huge.body()));
  EXPECT_EQ(encoded(huge), gbk::fromUtf8(huge.body()));
  EXPECT_LE(encodedTextsKept().bytes, 256u * 1024);
}

TEST(ServePageEncoding, KeptTextsStayWithinBounds) {
  std::thread(keptTextsStayWithinBounds).join();
}

}  // namespace
}  // namespace zurvafun::serve

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "members/paging_bar.h"
#include "tests/golden.h"

namespace zurvafun::testing {
namespace {

using members::BarLayout;
using members::PagingBar;

class PagingBarTest : public ::testing::Test {
 protected:
  void SetUp() override { linkMode("0"); }
  void linkMode(const std::string& mode) {
    h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant("默认##/skins/##css.css##760##" + mode)}));
  }
  static bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  host::TestHost h;
  zurva z;
};

PagingBar full(long page, long pages, std::string carried = "") {
  return {.page = page, .pageCount = pages, .records = 25, .base = "/list.asp?", .carried = std::move(carried)};
}

PagingBar indented(long page, long pages) {
  return {.page = page,
          .pageCount = pages,
          .records = 19,
          .base = "/xc.asp?",
          .carried = "&id=25",
          .numberedFirstPage = false,
          .jumpSelect = false,
          .layout = BarLayout::Indented};
}

TEST_F(PagingBarTest, FullBarAsTranscribed) {
  PagingBar bar = full(2, 3, "&sex=1");
  EXPECT_TRUE(matchesGolden("paging_bar_full.html", members::pagingBar(z, bar)));
}

TEST_F(PagingBarTest, IndentedBarAsTranscribed) {
  PagingBar bar = indented(2, 3);
  EXPECT_TRUE(matchesGolden("paging_bar_indented.html", members::pagingBar(z, bar)));
}

// First, middle, last and out-of-range pages: the plain end texts, the
// links and the selected option follow the adjusted page.
TEST_F(PagingBarTest, EndsOfTheRange) {
  const std::string firstPlain = "<font color=A5537B>首页 上页</font> \r\n";
  const std::string lastPlain = "<font color=A5537B>下页 尾页</font> \r\n";
  struct Case {
    long requested, pages, shown;
    bool firstLinks, lastLinks;
  };
  const std::vector<Case> cases = {
      {1, 1, 1, false, false}, {1, 4, 1, false, true}, {2, 4, 2, true, true},
      {4, 4, 4, true, false},  {9, 4, 4, true, false}, {-3, 4, 1, false, true}, {0, 4, 1, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.requested) + " of " + std::to_string(c.pages));
    PagingBar bar = full(c.requested, c.pages);
    const std::string text = members::pagingBar(z, bar);
    EXPECT_EQ(bar.page, c.shown);
    EXPECT_TRUE(holds(text, "第 <font color=ff0000><b>" + std::to_string(c.shown) + "</b></font> 页/共 <font color=ff0000><b>" +
                                std::to_string(c.pages) + "</b></font>"));
    EXPECT_EQ(holds(text, firstPlain), !c.firstLinks);
    EXPECT_EQ(holds(text, lastPlain), !c.lastLinks);
    if (c.firstLinks) {
      EXPECT_TRUE(holds(text, "<a href=/list.asp?Page=" + std::to_string(c.shown - 1) + "><font color=\"A5537B\">上页"));
    }
    if (c.lastLinks) {
      EXPECT_TRUE(holds(text, "<a href=/list.asp?Page=" + std::to_string(c.shown + 1) + "><font color=\"A5537B\">下页"));
    }
    EXPECT_TRUE(holds(text, "<OPTION value=" + std::to_string(c.shown) + "   selected>"));
    EXPECT_EQ(text.find("  selected>"), text.rfind("  selected>"));
  }
}

TEST_F(PagingBarTest, WithoutJumpSelectTheBarClosesItsCell) {
  PagingBar bar = full(1, 2);
  bar.jumpSelect = false;
  const std::string text = members::pagingBar(z, bar);
  EXPECT_FALSE(holds(text, "SELECT"));
  EXPECT_TRUE(holds(text, "                </div></td>\r\n            </tr>\r\n"));
}

TEST_F(PagingBarTest, IndentedEndsAndOnePage) {
  const std::string b46(46, ' ');
  PagingBar one = indented(1, 1);
  EXPECT_EQ(members::pagingBar(z, one),
            "\r\n" + b46 + "第 <font color=ff0000><b>1</b></font> " + b46 +
                "页/共 <font color=ff0000><b>1</b></font> 页 &nbsp;共 <font color=ff0000><b>19</b></font> 条相关信息 " + b46 +
                "\r\n" + b46 + "<font color=A5537B>首页 上页</font> " + b46 + "\r\n" + b46 + "\r\n" + b46 +
                "<font color=A5537B>下页 尾页</font>&nbsp; " + b46);
  // The photo manager's form: the link parameter before the page item.
  PagingBar manager = indented(3, 3);
  manager.base = "/admin_userphoto.asp?userid=25&";
  manager.carried = "";
  const std::string text = members::pagingBar(z, manager);
  EXPECT_TRUE(holds(text, "<a href=/admin_userphoto.asp?userid=25&><font color=\"A5537B\">首页"));
  EXPECT_TRUE(holds(text, "<a href=/admin_userphoto.asp?userid=25&Page=2><font color=\"A5537B\">上页"));
}

TEST_F(PagingBarTest, StaticLinkModeRewritesEveryLink) {
  linkMode("1");
  PagingBar bar = full(2, 3, "&sex=1");
  const std::string text = members::pagingBar(z, bar);
  EXPECT_TRUE(holds(text, "<a href=/list_Page_1_sex_1.html>"));
  EXPECT_TRUE(holds(text, "<a href=/list_Page_3_sex_1.html>"));
  EXPECT_FALSE(holds(text, "list.asp"));
}

}  // namespace
}  // namespace zurvafun::testing

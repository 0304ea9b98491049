#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "db/db.h"
#include "framework/zurva.h"
#include "site/seed_cache.h"
#include "tests/framework/scoped_log.h"
#include "tests/members/members_fixture.h"
#include "tests/support.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kCardStart =
    R"(<table align="center" bgcolor="#ffffff" border="0" cellpadding="0" cellspacing="0" width="90%">)";
constexpr const char* kNothingFound = "<BR><BR>　　　暂时没有查到您需要的资料...<br>";

class MemberListTest : public MembersTest {
 protected:
  void SetUp() override {
    MembersTest::SetUp();
    for (long id = 1; id <= 11; ++id) addRow({{"userid", id}, {"nickname", "会员" + std::to_string(id)}});
    h->request().ServerVariables.set("SCRIPT_NAME", "/newmembers.asp");
  }

  std::string list(const std::string& sql, const char* page = nullptr) {
    if (page) h->request().QueryString.add("Page", page);
    zurva z;
    std::string text;
    asPage([&] { text = z.showmeminfo(sql, kServer, kUser, kPassword, kDatabase).str(); });
    return text;
  }
  static constexpr const char* kAll = "select * from zurva_user order by userid desc";
};

TEST_F(MemberListTest, NoRowsGiveOnlyTheEmptyText) {
  EXPECT_EQ(list("select * from zurva_user where userid>100"), kNothingFound);
}

TEST_F(MemberListTest, TenCardsAPageAndTheRestOnTheNext) {
  const std::string first = list(kAll);
  EXPECT_EQ(count(first, kCardStart), 10);
  EXPECT_TRUE(holds(first, "会员11<"));
  EXPECT_FALSE(holds(first, "会员1<"));
  EXPECT_TRUE(holds(first, "第 <font color=ff0000><b>1</b></font> 页/共 <font color=ff0000><b>2</b></font> 页 &nbsp;"
                           "共 <font color=ff0000><b>11</b></font> 条相关信息"));
  EXPECT_TRUE(first.starts_with("\r\n\r\n" + std::string(kCardStart)));
  EXPECT_TRUE(first.ends_with("        </tr>\r\n      </tbody></table></td>\r\n  </tr>\r\n</tbody></table>\r\n"));

  newVisitor();
  h->request().ServerVariables.set("SCRIPT_NAME", "/newmembers.asp");
  const std::string second = list(kAll, "2");
  EXPECT_EQ(count(second, kCardStart), 1);
  EXPECT_TRUE(holds(second, "会员1<"));

  newVisitor();
  h->request().ServerVariables.set("SCRIPT_NAME", "/newmembers.asp");
  const std::string ten = list("select * from zurva_user where userid<=10");
  EXPECT_EQ(count(ten, kCardStart), 10);
  EXPECT_TRUE(holds(ten, "<font color=A5537B>首页 上页</font> \r\n<font color=A5537B>下页 尾页</font> \r\n"));
}

// Out-of-range pages are kept within the result, so the cards shown are
// those of the page the bar names.
TEST_F(MemberListTest, PageNumbersAreClampedBeforePositioning) {
  struct Case {
    const char* page;
    long cards;
    const char* shown;
  };
  for (const Case& c : {Case{"0", 10, "1"}, Case{"-4", 10, "1"}, Case{"99", 1, "2"}, Case{"1.5", 1, "2"}}) {
    SCOPED_TRACE(c.page);
    newVisitor();
    h->request().ServerVariables.set("SCRIPT_NAME", "/newmembers.asp");
    const std::string text = list(kAll, c.page);
    EXPECT_EQ(count(text, kCardStart), c.cards);
    EXPECT_TRUE(holds(text, std::string("第 <font color=ff0000><b>") + c.shown + "</b>"));
    EXPECT_TRUE(holds(text, std::string("<OPTION value=") + c.shown + "   selected>"));
  }
}

TEST_F(MemberListTest, InvalidPageEndsTheRequest) {
  for (const char* page : {"abc", "1234567890123456", ""}) {
    SCOPED_TRACE(page);
    newVisitor();
    EXPECT_EQ(list(kAll, page), "");
    EXPECT_EQ(body(), alertBack("请求错误！"));
  }
}

TEST_F(MemberListTest, SexValueIsCarriedByEveryLink) {
  h->request().QueryString.add("sex", "577");
  const std::string text = list(kAll);
  EXPECT_TRUE(holds(text, "<a href=/newmembers.asp?Page=2&sex=1>"));
  EXPECT_TRUE(holds(text, "location='/newmembers.asp?sex=1&page='+this.options"));
  EXPECT_FALSE(holds(text, "Page=2>"));
}

TEST_F(MemberListTest, FailuresOfTheConnectionAndOfTheQuery) {
  zurva z;
  EXPECT_EQ(z.showmeminfo(kAll, kServer, kUser, "wrong", kDatabase).str(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(h->response().ended());
  EXPECT_EQ(h->response().body(), "");  // the text is the result, not written

  newVisitor();
  ScopedLog log("member-list");
  zurva z2;
  EXPECT_NE(errorOf([&] { z2.showmeminfo("select * from no_such_table", kServer, kUser, kPassword, kDatabase); }), 0);
  EXPECT_EQ(log.text(), "");  // the query's error goes to the page unlogged
}

// The list over the 100,000-member demo database: the last page, a page in
// the middle and the bar's numbers. The database is a copy of the one the
// seed cache keeps, seeded once for every run that needs it. A test of the
// embedded file.
class MemberListLargeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (testPostgres()) return;
    folder_ = new ScopedDataFolder(dbConfig("sa", "pw", "large"));
    seed::copyKeptDemoDatabase(100000, db::databaseFile("large"));
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static ScopedDataFolder* folder_;
};
ScopedDataFolder* MemberListLargeTest::folder_ = nullptr;

TEST_F(MemberListLargeTest, PagesThroughEveryMember) {
  ZURVA_EMBEDDED_ONLY();
  for (auto [page, cards, firstId] : {std::tuple{"1", 10L, 100000L}, std::tuple{"5000", 10L, 50010L},
                                      std::tuple{"10000", 10L, 10L}, std::tuple{"10001", 10L, 10L}}) {
    SCOPED_TRACE(page);
    host::TestHost h;
    h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant("默认##/##css.css##760##0")}));
    h.application().set("zurva_info", Variant(VariantArray{Variant("t<><><><><>a<><><><><>b")}));
    h.request().ServerVariables.set("SCRIPT_NAME", "/newmembers.asp");
    h.request().QueryString.add("Page", page);
    zurva z;
    const std::string text =
        z.showmeminfo("select * from zurva_user order by userid desc", "(local)", "sa", "pw", "large").str();
    EXPECT_EQ(count(text, kCardStart), cards);
    EXPECT_TRUE(holds(text, "共 <font color=ff0000><b>10000</b></font> 页 &nbsp;共 <font color=ff0000><b>100000</b></font>"));
    EXPECT_TRUE(holds(text, "sendmsg.asp?userid=" + std::to_string(firstId) + "'"));
    EXPECT_EQ(count(text, "<OPTION value="), 10000);
  }
}

}  // namespace
}  // namespace zurvafun::testing

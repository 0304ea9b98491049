// The showcase and the galleries over real HTTP: the home page with the
// showcase widget and the member gallery, a city page, and the purchase road
// of a logged-in member (status box, purchase form, purchase, free start),
// and purchases racing for one member's money.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class ShowcaseE2E : public e2e::ServerSuite<ShowcaseE2E> {
 public:
  static std::string settings() { return e2e::demoSiteSettings(40, 40); }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  // The signed member cookie ("kalimo=...") of a demo account.
  static std::string logIn(const std::string& username, const std::string& password) {
    const RawResponse r = postLogin("username=" + username + "&password=" + password + "&log_type=1");
    return cookiePair(r.setCookie("kalimo"));
  }
  static std::string cookie(const std::string& pair) { return "Cookie: " + pair + "\r\n"; }
};

TEST_F(ShowcaseE2E, HomePageShowsTheShowcaseAndTheGallery) {
  const RawResponse home = rawGet("/index.asp");
  ASSERT_EQ(home.status, 200);
  const std::string page = utf8(home);
  // The showcase widget, then the gallery, then the newest members' cards.
  const std::size_t widget = page.find("<h3>我型我秀</h3>"), gallery = page.find("<h3>会员展示</h3>"),
                    newest = page.find("<h3>最新会员");
  ASSERT_TRUE(widget < gallery && gallery < newest && newest != std::string::npos) << page;
  const std::string showcase = page.substr(widget, gallery - widget), cells = page.substr(gallery, newest - gallery);
  EXPECT_EQ(count(showcase, "给TA留言"), 1) << page;  // one large card
  EXPECT_EQ(count(showcase, R"(<td valign="top" width="200" height="140">)"), 3);  // a row of three compact cards
  // The full gallery: eight photo cells (the photo, or the placeholder its privacy asks for).
  EXPECT_EQ(count(cells, R"(<td width="120" height="150" align="center" bgcolor="#FFFFFF"><a href="/id_)"), 8);
  EXPECT_GT(count(cells, "onload=\"DrawImage(this,120,150)\""), 0);
  // The functions the cards call: the pop-up window and the picture fitting.
  EXPECT_NE(page.find(R"(<script type="text/javascript" src="/inc/control2.js"></script>)"), std::string::npos);
  EXPECT_NE(page.find(R"(<script type="text/javascript" src="/members.js"></script>)"), std::string::npos);
  EXPECT_NE(rawGet("/inc/control2.js").body.find("function popup("), std::string::npos);
  EXPECT_NE(rawGet("/members.js").body.find("function DrawImage("), std::string::npos);
  // Guests get a rotation memory, kept at the site's root.
  const std::string memory = home.setCookie("kalimo");
  EXPECT_NE(memory.find("rand="), std::string::npos) << memory;
  EXPECT_NE(memory.find("; path=/"), std::string::npos) << memory;

  // The links of the cards lead to pages that exist.
  std::smatch link;
  for (const char* pattern : {R"(href="/(id_[0-9]+S[0-9a-f]{16}_por\.html))", R"(href="/(xjrz\.html))",
                              R"(href="(ReadyBuy\.html))", R"(popup\('(userid_[0-9]+_sendmsg\.html))",
                              R"(window\.open\('(userid_[0-9]+_addfriends\.html))",
                              R"(window\.open\('(love1_userid_[0-9]+_submitok_ww\.html))",
                              R"(window\.open\('(myfiles/userid_[0-9]+_sc\.html))",
                              R"(window\.open\('(id_[0-9]+_nosou\.html))",
                              R"(href="/(por_type_photo_id_[0-9]+S[0-9a-f]{16}\.html))"}) {
    ASSERT_TRUE(std::regex_search(page, link, std::regex(pattern))) << pattern;
    EXPECT_EQ(rawGet("/" + link[1].str()).status, 200) << link[1];
  }
}

TEST_F(ShowcaseE2E, CityPageShowsItsMembersPlacedFirst) {
  const std::string page = utf8(rawGet("/city_city_0_city1_1.html"));  // 广东, 广州市
  EXPECT_NE(page.find("广州市"), std::string::npos);
  const std::regex nick(R"(<font color="#ff6600">([^<]+)</font></a>&nbsp;&nbsp;)");
  std::vector<std::string> names;
  for (std::sregex_iterator it(page.begin(), page.end(), nick), end; it != end; ++it) names.push_back((*it)[1]);
  ASSERT_GE(names.size(), 2u) << page;
  // Members 6 and 7 are placed on the page (the seeder's showcase data).
  EXPECT_TRUE(names[0].ends_with("6")) << names[0];
  EXPECT_TRUE(names[1].ends_with("7")) << names[1];
  EXPECT_NE(utf8(rawGet("/city.asp?city=99&city1=0")).find("参数错误！"), std::string::npos);
}

TEST_F(ShowcaseE2E, MemberBuysShowcaseDaysAndStartsHisFreeDays) {
  const std::string member = logIn("demo2%40example.com", "demo456");
  ASSERT_FALSE(member.empty());
  EXPECT_NE(utf8(rawGet("/myshow.asp", cookie(member))).find("您有5天免费我型我秀"), std::string::npos);

  const std::string form = utf8(rawGet("/Apply.html", cookie(member)));
  EXPECT_NE(form.find("您目前的E币金额：<font color=\"ff6600\">200</font>"), std::string::npos) << form;
  EXPECT_NE(form.find("action=\"save.html\""), std::string::npos);
  EXPECT_NE(form.find("window.open('action_free_save.html'"), std::string::npos);
  EXPECT_NE(form.find("function chkform()"), std::string::npos);

  const RawResponse bought =
      rawPost("/save.html", "ORDERMONEY=3&agefrom=25&ageto=35&Submit=x", cookie(member));
  EXPECT_EQ(bought.status, 200);
  EXPECT_NE(utf8(bought).find("我型我秀申请成功"), std::string::npos) << utf8(bought);
  EXPECT_NE(utf8(bought).find("window.location.href='index.html';"), std::string::npos);
  // The days join the free days still pending; 90 E币 are gone and recorded.
  EXPECT_NE(utf8(rawGet("/myshow.asp", cookie(member))).find("您有8天免费我型我秀"), std::string::npos);
  EXPECT_NE(utf8(rawGet("/indexw.asp", cookie(member))).find("您的 E币 余额：110"), std::string::npos);
  EXPECT_NE(utf8(rawGet("/History.html", cookie(member))).find("&lt;我型我秀&gt;申请:3天"), std::string::npos);

  // Too little money: refused, nothing changes.
  const std::string refused = utf8(rawPost("/save.html", "ORDERMONEY=4", cookie(member)));
  EXPECT_NE(refused.find("申请我型我秀所需E币大于现有E币，请重新输入！"), std::string::npos) << refused;
  EXPECT_NE(utf8(rawGet("/indexw.asp", cookie(member))).find("您的 E币 余额：110"), std::string::npos);

  // The free start, which the purchase form opens by GET and the site's
  // script posts: from tomorrow on. By GET alone it only asks.
  EXPECT_NE(utf8(rawGet("/action_free_save.html", cookie(member))).find("确定使用免费我型我秀吗？"),
            std::string::npos);
  EXPECT_NE(utf8(rawGet("/myshow.asp", cookie(member))).find("您有8天免费我型我秀"),
            std::string::npos);
  const std::string started = utf8(rawPost("/action_free_save.html", "", cookie(member)));
  EXPECT_NE(started.find("将于第二天发布"), std::string::npos) << started;
  EXPECT_NE(utf8(rawGet("/myshow.asp", cookie(member))).find("无我型我秀"), std::string::npos);
  EXPECT_NE(
      utf8(rawPost("/action_free_save.html", "", cookie(member))).find("没有免费我型我秀时间"),
      std::string::npos);

  // Guests are refused.
  EXPECT_NE(utf8(rawPost("/save.html", "ORDERMONEY=1")).find("非法操作"), std::string::npos);
}

// Purchases of one day each, racing for demo member 1's 1000 E币 over many
// connections: exactly the purchases the money covers go through, and the
// balance, the days and the ledger agree. ZURVA_RACE_REQUESTS sets the number
// of purchases (1000 by default).
TEST_F(ShowcaseE2E, RacingPurchasesSpendTheMoneyOnce) {
  const std::string member = logIn("demo1%40example.com", "demo123");
  ASSERT_FALSE(member.empty());
  const int expected = e2e::raceForDemoMemberOne({server_->port()}, member);

  const std::string balance = std::to_string(1000 - 30 * expected);
  EXPECT_NE(utf8(rawGet("/indexw.asp", cookie(member))).find("您的 E币 余额：" + balance + "　"), std::string::npos);
  // Her running period (30 days from yesterday) got every day bought.
  const std::string box = utf8(rawGet("/myshow.asp", cookie(member)));
  EXPECT_NE(box.find(std::to_string(30 + expected - 1) + "</FONT>天"), std::string::npos) << box;
  const std::string ledger = utf8(rawGet("/History.asp", cookie(member)));
  EXPECT_EQ(count(ledger, "&lt;我型我秀&gt;申请:1天"), expected) << ledger;
}

}  // namespace
}  // namespace zurvafun

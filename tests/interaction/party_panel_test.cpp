#include <gtest/gtest.h>

#include <string>

#include "framework/zurva.h"
#include "tests/golden.h"
#include "tests/interaction/support.h"

namespace zurvafun::testing {
namespace {

// The button row, as the panel ends in every case.
std::string buttons(const std::string& caption, const std::string& link) {
  return "</TBODY>\n<tr><td colspan=\"3\" align=\"center\"><input type=\"button\" name=\"button\" value=\"" + caption +
         "\" onclick=\"Chk_Submit('" + link +
         "')\">&nbsp;<input type=\"button\" name=\"close\" value=\"关闭\" onclick=\"window.close()\"></td></tr>\n";
}

class PartyPanelTest : public InteractionTest {
 protected:
  void SetUp() override {
    InteractionTest::SetUp();
    addPerson(1, "安妮", 577, 3);
    addPerson(2, "鲍勃", 576, 2);
    run("insert into party(id,userid,bt,partytime) values(1,1,'明天','2026-03-16 09:00:00')");
    run("insert into party(id,userid,bt,partytime) values(2,1,'今天','2026-03-15 00:00:00')");
    run("insert into party(id,userid,bt,partytime) values(3,1,'昨天','2026-03-14 23:59:59')");
  }

  std::string panel(const std::string& party, long who = 1) {
    freshRequest();
    if (who) logIn(who);
    if (!party.empty()) h->request().QueryString.add("partyid", party);
    zurva z;
    return z.partyaction(kServer, kUser, kPassword, kDatabase).str();
  }
  static bool holds(const std::string& html, const std::string& piece) { return html.find(piece) != std::string::npos; }
};

TEST_F(PartyPanelTest, BeforeThePartysDayOnlyTheButtons) {
  EXPECT_EQ(panel(""), buttons("发表", "sign_upd_action.html"));
  EXPECT_EQ(panel("1"), buttons("修改", "action_sign_upd_partyid_1.html"));
  EXPECT_EQ(panel("2"), buttons("修改", "action_sign_upd_partyid_2.html"));
  freshRequest();
  setLinkMode(0);
  logIn(1);
  h->request().QueryString.add("partyid", "1");
  zurva z;
  EXPECT_EQ(z.partyaction(kServer, kUser, kPassword, kDatabase).str(),
            buttons("修改", "action.asp?sign=upd&partyid=1"));
}

TEST_F(PartyPanelTest, AfterTheDayTheSummaryRowWithoutASummary) {
  const std::string html = panel("3");
  EXPECT_TRUE(matchesGolden("party_panel_no_summary.html", html, Blanks::BetweenTags)) << html;
}

TEST_F(PartyPanelTest, TheSummaryItsUploadLinkAndItsVerification) {
  run("insert into partyzj(partyid,nr,rz) values(3,'玩得<很>开心 & 难忘',2)");
  std::string html = panel("3");
  EXPECT_TRUE(holds(html, ">玩得&lt;很&gt;开心 &amp; 难忘</textarea>")) << html;
  EXPECT_TRUE(holds(html, "<p><a href=\"partyid_3_upload.html\" target=\"_blank\">上传图片</a></p>"));
  EXPECT_FALSE(holds(html, "注意:请写完总结"));
  EXPECT_TRUE(holds(html, "<font color=\"#FF0000\">已通过认证</font>"));
  for (const char* rz : {"0", "1", "null"}) {
    SCOPED_TRACE(rz);
    run(std::string("update partyzj set rz=") + rz);
    html = panel("3");
    EXPECT_TRUE(holds(html, "<font color=\"#FF0000\">还没认证通过</font>")) << html;
  }
}

TEST_F(PartyPanelTest, OnlyTheOrganiserGetsThePanelOfHisParty) {
  for (const auto& [party, who] : {std::pair{"3", 2L}, {"3", 0L}, {"99", 1L}}) {
    SCOPED_TRACE(party + std::string("/") + std::to_string(who));
    freshRequest();
    if (who) logIn(who);
    h->request().QueryString.add("partyid", party);
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.partyaction(kServer, kUser, kPassword, kDatabase); }));
    EXPECT_TRUE(holds(body(), "您还没权修改本活动！"));
  }
  freshRequest();
  logIn(1);
  h->request().QueryString.add("partyid", "3 or 1=1");
  zurva z;
  EXPECT_TRUE(endsRequest([&] { z.partyaction(kServer, kUser, kPassword, kDatabase); }));
  EXPECT_EQ(body(), alertAndBack("请求错误！"));
}

TEST_F(PartyPanelTest, AFailedOpenReturnsNothing) {
  logIn(1);
  zurva z;
  EXPECT_EQ(z.partyaction(kServer, kUser, "wrong", kDatabase).str(), "");
  EXPECT_EQ(body(), "SQL数据库连接出错，请检查连接字串。");
}

}  // namespace
}  // namespace zurvafun::testing

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "tests/interaction/support.h"

namespace zurvafun::testing {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;


const Fields kSignup = {{"tel", "13900000000"}, {"email", "guest@example.com"}, {"name", "小王"},
                        {"xl", "本科"},         {"zy", "教师"},                 {"sex", "女"},
                        {"nl", "28"}};

class PartyActionTest : public InteractionTest {
 protected:
  void SetUp() override {
    InteractionTest::SetUp();
    addPerson(1, "安妮", 577, 3);
    addPerson(2, "鲍勃", 576, 2);
    // Party 1 of member 1 on a day to come, party 2 of member 1 held, party 3 of member 2.
    run("insert into party(id,userid,bt,partytime,addtime,rz) values(1,1,'烧烤','2026-03-20 14:00:00','2026-03-01',0)");
    run("insert into party(id,userid,bt,partytime,addtime,rz) values(2,1,'读书','2026-03-10 14:00:00','2026-03-01',0)");
    run("insert into party(id,userid,bt,partytime,addtime,rz) values(3,2,'徒步','2026-03-25 09:00:00','2026-03-01',0)");
  }

  // One request of party_action by member `who` (0: a visitor); the result.
  Variant act(const std::string& sign, const std::string& party, const Fields& form = {}, long who = 0) {
    freshRequest();
    if (who) logIn(who);
    if (!sign.empty()) h->request().QueryString.add("sign", sign);
    if (!party.empty()) h->request().QueryString.add("partyid", party);
    for (const auto& [name, value] : form) h->request().Form.add(name, value);
    zurva z;
    Variant result;
    ended = endsRequest([&] { result = z.party_action(kServer, kUser, kPassword, kDatabase); });
    return result;
  }
  // Sign-up rows as "party:member:email:name:age:gk:tb".
  static std::vector<std::string> signups() {
    std::vector<std::string> rows;
    db::Connection conn = open();
    for (db::Recordset rs = conn.Execute("select partyid,userid,email,name,nl,gk,tb from partycj order by id");
         !rs.eof(); rs.MoveNext()) {
      std::string row;
      for (int i = 0; i < 7; ++i) row += (i ? ":" : "") + rs(i).str();
      rows.push_back(row);
    }
    return rows;
  }
  static Fields with(Fields form, const Fields& more) {
    for (const auto& field : more) {
      bool replaced = false;
      for (auto& [name, value] : form)
        if (name == field.first) value = field.second, replaced = true;
      if (!replaced) form.push_back(field);
    }
    return form;
  }

  bool ended = false;
};

TEST_F(PartyActionTest, WithoutPartyAndSignTheReplyClosesThePopUp) {
  EXPECT_EQ(act("", "").str(),
            "<SCRIPT     LANGUAGE=javascript>\r\n"
            " //Refresh   the   parent   window   and   close   the   current   window\r\n"
            " window.opener.location.reload();\r\n"
            " window.close();\r\n"
            "</SCRIPT>\r\n");
  EXPECT_FALSE(ended);
  EXPECT_EQ(body(), "");
  // A party with an empty or unknown sign (exact case, with its hyphen) only counts.
  for (const char* sign : {"", "JOIN", "up_datejoin", "Del"}) {
    SCOPED_TRACE(sign);
    EXPECT_EQ(act(sign, "1", kSignup, 2).str(), "");
    EXPECT_FALSE(ended);
    EXPECT_EQ(body(), "");
  }
  EXPECT_TRUE(signups().empty());
  EXPECT_EQ(number("select count(*) from party"), 3);
}

TEST_F(PartyActionTest, AMemberJoinsOnceByHisMemberNumber) {
  act("join", "1", kSignup, 2);
  EXPECT_TRUE(ended);
  EXPECT_EQ(body(), alertAndClose("您参加活动成功！"));
  EXPECT_EQ(signups(), (std::vector<std::string>{"1:2:guest@example.com:小王:28:1:0"}));
  EXPECT_EQ(text("select lx||'|'||xl||'|'||zy||'|'||sex||'|'||addtime from partycj"),
            "13900000000|本科|教师|女|2026-03-15 10:20:30");
  // Again, whatever e-mail the form gives.
  act("join", "1", with(kSignup, {{"email", "other@example.com"}}), 2);
  EXPECT_EQ(body(), alertAndClose("您已经参加了该活动！"));
  EXPECT_EQ(signups().size(), 1u);
  // Another party is another sign-up.
  act("join", "3", kSignup, 2);
  EXPECT_EQ(signups().size(), 2u);
}

TEST_F(PartyActionTest, VisibilityAndJoinFlagsAsPosted) {
  const struct {
    Fields extra;
    const char* stored;  // gk:tb
  } cases[] = {
      {{}, "1:0"},
      {{{"IsHidden", ""}, {"isjoin", "0"}}, "1:0"},
      {{{"IsHidden", "0"}, {"isjoin", "1"}}, "0:1"},
      {{{"IsHidden", "2"}, {"isjoin", "7"}}, "2:1"},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    run("delete from partycj");
    act("join", "1", with(kSignup, with(c.extra, {{"email", "v" + std::to_string(++n) + "@example.com"}})));
    EXPECT_EQ(body(), alertAndClose("您参加活动成功！"));
    EXPECT_EQ(text("select gk||':'||tb from partycj"), c.stored);
  }
  // Values that are no numbers are refused before a row is written.
  for (const Fields& bad : {Fields{{"nl", "abc"}}, Fields{{"nl", ""}}, Fields{{"nl", "40000"}},
                            Fields{{"isjoin", "yes"}}, Fields{{"IsHidden", "x"}}}) {
    SCOPED_TRACE(bad[0].first + "=" + bad[0].second);
    run("delete from partycj");
    act("join", "1", with(kSignup, bad));
    EXPECT_EQ(body(), alertAndBack("请求错误！"));
    EXPECT_TRUE(signups().empty());
  }
}

TEST_F(PartyActionTest, VisitorsAreKnownByTheirEmailAmongVisitors) {
  act("join", "1", kSignup);
  EXPECT_EQ(body(), alertAndClose("您参加活动成功！"));
  act("join", "1", kSignup);
  EXPECT_EQ(body(), alertAndClose("您已经参加了该活动！"));
  // A member who typed the same e-mail is another person.
  act("join", "1", kSignup, 2);
  EXPECT_EQ(body(), alertAndClose("您参加活动成功！"));
  act("join", "1", with(kSignup, {{"email", "b@example.com"}, {"name", "小李"}}));
  EXPECT_EQ(signups(), (std::vector<std::string>{"1:0:guest@example.com:小王:28:1:0", "1:2:guest@example.com:小王:28:1:0",
                                                 "1:0:b@example.com:小李:28:1:0"}));

  // The visitor changes his own row only.
  act("up-datejoin", "1", with(kSignup, {{"name", "王小"}, {"nl", "30"}}));
  EXPECT_EQ(body(), alertAndClose("修改成功！"));
  EXPECT_EQ(signups(), (std::vector<std::string>{"1:0:guest@example.com:王小:30:1:0", "1:2:guest@example.com:小王:28:1:0",
                                                 "1:0:b@example.com:小李:28:1:0"}));
  // He withdraws it; the member's row with the same e-mail stays.
  act("deljoin", "1", {{"email", "guest@example.com"}});
  EXPECT_EQ(body(), alertAndGo("删除成功！", "partyid_1_partyinfo.html"));
  EXPECT_EQ(signups(), (std::vector<std::string>{"1:2:guest@example.com:小王:28:1:0", "1:0:b@example.com:小李:28:1:0"}));
  // Without an e-mail a visitor is nobody's sign-up.
  act("deljoin", "1", {});
  EXPECT_EQ(body(), alertAndBack("您还没参加本活动！"));
  act("up-datejoin", "1", with(kSignup, {{"email", ""}}));
  EXPECT_EQ(body(), alertAndBack("您还没参加本活动！"));
  EXPECT_EQ(signups().size(), 2u);
}

TEST_F(PartyActionTest, AMemberChangesAndWithdrawsOnlyHisOwnSignup) {
  act("join", "1", kSignup, 1);
  act("join", "1", with(kSignup, {{"email", "bob@example.com"}, {"name", "B"}}), 2);
  act("up-datejoin", "1", with(kSignup, {{"xl", "硕士"}, {"nl", "31"}, {"isjoin", "1"}}), 2);
  EXPECT_EQ(body(), alertAndClose("修改成功！"));
  // The member signs as his account and nickname.
  EXPECT_EQ(signups(), (std::vector<std::string>{"1:1:guest@example.com:小王:28:1:0", "1:2:m2@example.com:鲍勃:31:1:1"}));
  EXPECT_EQ(text("select xl from partycj where userid=2"), "硕士");

  act("deljoin", "1", {}, 2);
  EXPECT_EQ(body(), alertAndGo("删除成功！", "partyid_1_partyinfo.html"));
  EXPECT_EQ(signups(), (std::vector<std::string>{"1:1:guest@example.com:小王:28:1:0"}));
  act("deljoin", "1", {}, 2);
  EXPECT_EQ(body(), alertAndBack("您还没参加本活动！"));
  act("up-datejoin", "1", kSignup, 2);
  EXPECT_EQ(body(), alertAndBack("您还没参加本活动！"));
  // Two rows of one member (written before the count was atomic) are refused.
  run("insert into partycj(partyid,userid,email) values(1,1,'x')");
  run("insert into partycj(partyid,userid,email) values(1,1,'y')");
  act("deljoin", "1", {}, 1);
  EXPECT_EQ(body(), alertAndBack("您还没参加本活动！"));
  EXPECT_EQ(signups().size(), 3u);
}

TEST_F(PartyActionTest, PartyNumbersAreNumbersOfPartiesThatExist) {
  for (const char* party : {"0 or 1=1", "1;drop table party", "1 1", "abc"}) {
    SCOPED_TRACE(party);
    for (const char* sign : {"join", "up-datejoin", "deljoin", "upd", "del", ""}) {
      act(sign, party, with(kSignup, {{"partytime", "2026-04-01"}}), 1);
      EXPECT_EQ(body(), alertAndBack("请求错误！")) << sign;
    }
  }
  act("join", "", kSignup, 2);  // a sign-up needs its party
  EXPECT_EQ(body(), alertAndBack("请求错误！"));
  act("join", "99", kSignup, 2);
  EXPECT_EQ(body(), alertAndBack("请求错误！"));
  EXPECT_TRUE(signups().empty());
  EXPECT_EQ(number("select count(*) from party"), 3);
}

// ---------------------------------------------------------------- upd, del

const Fields kParty = {{"title", "新活动"}, {"cs", "广州"},     {"address", "市民广场"}, {"partytime", "2026-04-01 14:00"},
                       {"bmtime", "3月30日"}, {"yqrs", "20人"}, {"hdfy", "AA制"},       {"lxfs", "138"},
                       {"gg", "准时"},        {"fa", "游戏"},   {"jtzn", "地铁"}};

TEST_F(PartyActionTest, AMemberCreatesAPartyAndItsOrganiserEditsIt) {
  act("upd", "", kParty, 2);
  EXPECT_EQ(body(), alertAndGo("保存完毕,等待认证通过!", "partymanage.html"));
  EXPECT_EQ(text("select userid||'|'||bt||'|'||cs||'|'||address||'|'||partytime||'|'||bmtime||'|'||yqrs||'|'||hdfy||'|'||"
                 "lxfs||'|'||gg||'|'||fa||'|'||jtzn||'|'||addtime||'|'||rz from party where id=4"),
            "2|新活动|广州|市民广场|2026-04-01 14:00:00|3月30日|20人|AA制|138|准时|游戏|地铁|2026-03-15 10:20:30|0");

  act("upd", "1", with(kParty, {{"title", "改了"}}), 1);
  EXPECT_EQ(body(), alertAndGo("保存完毕,等待认证通过!", "partymanage.html"));
  EXPECT_EQ(text("select userid||'|'||bt||'|'||addtime||'|'||rz from party where id=1"), "1|改了|2026-03-15 10:20:30|1");
  EXPECT_EQ(number("select count(*) from partyzj"), 0);  // its day is still to come
}

TEST_F(PartyActionTest, OnlyTheLoggedInOrganiserEditsOrDeletes) {
  act("upd", "1", with(kParty, {{"title", "抢走"}}), 2);
  EXPECT_TRUE(ended);
  EXPECT_NE(body().find("您还没权修改本活动！"), std::string::npos);
  EXPECT_NE(body().find("history.go(-1)"), std::string::npos);  // the message box's way back
  act("upd", "1", with(kParty, {{"title", "抢走"}}));
  EXPECT_NE(body().find("非法操作"), std::string::npos);
  act("upd", "", kParty);  // a visitor creates nothing
  EXPECT_NE(body().find("非法操作"), std::string::npos);
  EXPECT_EQ(text("select bt from party where id=1"), "烧烤");
  EXPECT_EQ(number("select count(*) from party"), 3);

  run("insert into partycj(partyid,userid,email) values(1,2,'b')");
  for (long who : {2L, 0L}) {
    act("del", "1", {}, who);
    EXPECT_NE(body().find("您还没权删除本活动！"), std::string::npos);
    EXPECT_NE(body().find("history.go(-1)"), std::string::npos);
  }
  act("del", "", {}, 1);
  EXPECT_EQ(body(), alertAndBack("您还没权删除本活动！"));
  act("del", "99", {}, 1);
  EXPECT_EQ(body(), alertAndBack("请求错误！"));
  // A party organised by nobody (a visitor's, from before) is nobody's to delete.
  run("update party set userid=0 where id=3");
  act("del", "3", {});
  EXPECT_NE(body().find("您还没权删除本活动！"), std::string::npos);
  EXPECT_EQ(number("select count(*) from party"), 3);
  EXPECT_EQ(signups().size(), 1u);
}

TEST_F(PartyActionTest, DeletingAPartyTakesItsSummaryAndSignupsAlong) {
  for (const char* row : {"2,2,'b'", "2,0,'v'", "1,2,'b'"})
    run(std::string("insert into partycj(partyid,userid,email) values(") + row + ")");
  run("insert into partyzj(partyid,nr) values(2,'总结')");
  run("insert into partyzj(partyid,nr) values(1,'x')");
  act("del", "2", {}, 1);
  EXPECT_EQ(body(), alertAndGo("删除成功！", "index.html"));
  EXPECT_EQ(number("select count(*) from party where id=2"), 0);
  EXPECT_EQ(number("select count(*) from partycj where partyid=2"), 0);
  EXPECT_EQ(number("select count(*) from partyzj where partyid=2"), 0);
  EXPECT_EQ(number("select count(*) from partycj"), 1);
  EXPECT_EQ(number("select count(*) from partyzj"), 1);
}

TEST_F(PartyActionTest, APartyTimeThatIsNoDateIsRefusedBeforeAnythingIsStored) {
  for (const char* time : {"next week", "", "2026-13-45"}) {
    SCOPED_TRACE(time);
    act("upd", "1", with(kParty, {{"partytime", time}, {"title", "改了"}}), 1);
    EXPECT_EQ(body(), alertAndBack("活动时间不是有效的日期！"));
    act("upd", "", with(kParty, {{"partytime", time}}), 1);
    EXPECT_EQ(body(), alertAndBack("活动时间不是有效的日期！"));
  }
  EXPECT_EQ(text("select bt from party where id=1"), "烧烤");
  EXPECT_EQ(number("select count(*) from party"), 3);
}

TEST_F(PartyActionTest, TheSummaryIsSavedOnceThePartysDayIsOver) {
  // Dated today: no summary, whatever the form holds.
  act("upd", "2", with(kParty, {{"partytime", "2026-03-15 08:00"}, {"zj", "太早"}}), 1);
  EXPECT_EQ(number("select count(*) from partyzj"), 0);
  // Dated yesterday: the summary row is added, then rewritten.
  act("upd", "2", with(kParty, {{"partytime", "2026-03-14 23:59"}, {"zj", "很开心"}}), 1);
  EXPECT_EQ(body(), alertAndGo("保存完毕,等待认证通过!", "partymanage.html"));
  EXPECT_EQ(text("select partyid||'|'||nr||'|'||addtime from partyzj"), "2|很开心|2026-03-15 10:20:30");
  run("update partyzj set rz=2");
  act("upd", "2", with(kParty, {{"partytime", "2026-03-14 23:59"}, {"zj", "改写"}}), 1);
  EXPECT_EQ(text("select count(*)||'|'||max(nr)||'|'||max(rz) from partyzj"), "1|改写|2");
  // A new party dated in the past has no summary field yet.
  act("upd", "", with(kParty, {{"partytime", "2026-01-01"}, {"zj", "新"}}), 1);
  EXPECT_EQ(number("select count(*) from partyzj"), 1);
  EXPECT_EQ(number("select count(*) from party"), 4);
}

TEST_F(PartyActionTest, AFailedOpenWritesTheConnectionError) {
  h->request().QueryString.add("sign", "join");
  zurva z;
  EXPECT_EQ(z.party_action(kServer, kUser, "wrong", kDatabase).str(), "");
  EXPECT_EQ(body(), "SQL数据库连接出错，请检查连接字串。");
}

}  // namespace
}  // namespace zurvafun::testing

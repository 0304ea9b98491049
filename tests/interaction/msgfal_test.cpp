#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "tests/interaction/support.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kHead =
    "<script language='JavaScript' type='text/javascript'>function fal(){location.href='userid_2_msgfal.html';}"
    "setTimeout(\"fal();\",10000);</script>"
    "<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>"
    "<Body onscroll='top.window.showc.document.body.scrollTop=5000'>";
constexpr const char* kAppendStart =
    "<script language='JavaScript' type='text/javascript'>"
    "top.window.showc.document.getElementById('showcontent').innerHTML="
    "top.window.showc.document.getElementById('showcontent').innerHTML+'";
constexpr const char* kReplaceStart =
    "<script language='JavaScript' type='text/javascript'>"
    "top.window.showc.document.getElementById('showcontent').innerHTML='";
constexpr const char* kScriptEnd = "';document.body.scrollTop=5000</script>";

// Line headers: a received line (the other member, red) and a sent one (the
// viewer, blue), at the given time.
std::string fromBob(const std::string& time) {
  return "<br><FONT color=#FF0000><STRONG>鲍勃&nbsp;</STRONG></FONT>&nbsp;&nbsp;" + time + "<br>";
}
std::string fromAnn(const std::string& time) {
  return "<br><FONT color=#0033FF><STRONG>安妮&nbsp;&nbsp;</STRONG></FONT>&nbsp;&nbsp;" + time + "<br>";
}
std::string appended(const std::string& lines) { return kAppendStart + lines + kScriptEnd; }
std::string replaced(const std::string& lines) { return kReplaceStart + lines + kScriptEnd; }

class MsgfalTest : public InteractionTest {
 protected:
  void SetUp() override {
    InteractionTest::SetUp();
    addPerson(1, "安妮", 577, 3);
    addPerson(2, "鲍勃", 576, 3);
  }

  // A message as the site's send page writes it (new=1, pop=0, sendnew=1 by default).
  static long send(long from, long to, const std::string& content, const std::string& time,
                   int isNew = 1, int pop = 0, int sendnew = 1) {
    run("insert into Sendbooks(userid,senduserid,content,addtime,new,pop,sendnew) values(?,?,?,?,?,?,?)",
        {Variant(to), Variant(from), Variant(content), Variant(time), Variant(isNew), Variant(pop),
         Variant(sendnew)});
    return number("select max(id) from Sendbooks");
  }
  static std::string flags(long id) {
    db::Connection conn = open();
    db::Recordset rs = conn.Execute("select new,pop,sendnew from Sendbooks where id=" + std::to_string(id));
    return rs(0).str() + rs(1).str() + rs(2).str();
  }
  static void setViewer(long userid, int sex, int grade) {
    run("update zurva_user set sex=?, grade=? where userid=?", {Variant(sex), Variant(grade), Variant(userid)});
  }

  // One load of member `viewer`'s frame with member `other`; the frame's text.
  std::string load(long viewer = 1, const std::string& other = "2", const std::string& menu = "") {
    freshRequest();
    logIn(viewer);
    h->request().QueryString.add("userid", other);
    if (!menu.empty()) h->request().QueryString.add("menu", menu);
    zurva z;
    z.msgfal(kServer, kUser, kPassword, kDatabase);
    return body();
  }
};

TEST_F(MsgfalTest, WithoutMessagesTheFrameIsTheHeadAndTheBodyEnd) {
  EXPECT_EQ(load(), std::string(kHead) + "</Body>\r\n");
  EXPECT_EQ(load(1, "2", "all"), std::string(kHead) + "</Body>\r\n");
  EXPECT_EQ(h->response().CacheControl, "no-cache");

  // The dynamic link mode reloads through the page's dynamic address.
  freshRequest();
  setLinkMode(0);
  logIn(1);
  h->request().QueryString.add("userid", "2");
  zurva z;
  z.msgfal(kServer, kUser, kPassword, kDatabase);
  EXPECT_NE(body().find("location.href='msgfal.asp?userid=2';"), std::string::npos) << body();
}

TEST_F(MsgfalTest, ANewMessageReachesEachFrameOnceAndHistoryShowsAll) {
  const long id = send(2, 1, "你好", "2026-03-15 09:00:00");
  EXPECT_EQ(load(1), kHead + appended(fromBob("2026-03-15 09:00:00") + "你好") + "</Body>\r\n");
  EXPECT_EQ(flags(id), "011");  // read and put into the receiver's frame
  // Nothing is new any more: the append script comes with no lines.
  EXPECT_EQ(load(1), kHead + appended("") + "</Body>\r\n");

  // The sender's frame echoes the line once.
  EXPECT_EQ(load(2, "1"), std::string(kHead).replace(std::string(kHead).find("userid_2"), 8, "userid_1") +
                              appended("<br><FONT color=#0033FF><STRONG>鲍勃&nbsp;&nbsp;</STRONG></FONT>&nbsp;&nbsp;"
                                       "2026-03-15 09:00:00<br>你好") +
                              "</Body>\r\n");
  EXPECT_EQ(flags(id), "010");

  // The history view: every line, oldest first, after the (empty) new-message pass.
  send(1, 2, "你也好", "2026-03-15 09:05:00", 0, 1, 0);
  EXPECT_EQ(load(1, "2", "all"), kHead + appended("") +
                                     replaced(fromBob("2026-03-15 09:00:00") + "你好" +
                                              fromAnn("2026-03-15 09:05:00") + "你也好") +
                                     "</Body>\r\n");
  // Only "all", in exact case, asks for it.
  EXPECT_EQ(load(1, "2", "ALL"), kHead + appended("") + "</Body>\r\n");
}

TEST_F(MsgfalTest, NewReceivedMessagesByBlacklistGradeSexAndRestriction) {
  struct Case {
    const char* why;
    int grade;
    int sex;
    const char* restriction;
    bool blacklisted;
    const char* body;   // what stands after the line header
    const char* flags;  // new, pop, sendnew afterwards
  };
  const Case cases[] = {
      {"gold member", 3, 577, "1", false, "hello", "011"},
      {"ordinary woman, women restricted", 1, 577, "1", false, "银卡以下的女会员无法查看新的留言！", "111"},
      {"ordinary man, women restricted", 1, 576, "1", false, "hello", "011"},
      {"ordinary man, men restricted", 1, 576, "2", false, "银卡以下的男会员无法查看新的留言！", "111"},
      {"ordinary woman, men restricted", 1, 577, "2", false, "hello", "011"},
      {"ordinary woman, no restriction", 1, 577, "0", false, "hello", "011"},
      {"temporary silver card is never restricted", 0, 577, "1", false, "hello", "011"},
      {"unknown restriction restricts nobody", 1, 577, "7", false, "hello", "011"},
      {"blacklisted", 3, 577, "1", true, "黑名单！互相无法发送和查看消息！", "111"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    run("delete from Sendbooks");
    run("delete from Friends");
    setViewer(1, c.sex, c.grade);
    if (c.blacklisted) run("insert into Friends(userid,senduserid,ifok,ifhmd) values(2,1,0,1)");
    const long id = send(2, 1, "hello", "2026-03-15 09:00:00");
    freshRequest();
    setBaseInfo({{24, c.restriction}});
    logIn(1);
    h->request().QueryString.add("userid", "2");
    zurva z;
    z.msgfal(kServer, kUser, kPassword, kDatabase);
    EXPECT_EQ(body(), kHead + appended(fromBob("2026-03-15 09:00:00") + c.body) + "</Body>\r\n");
    EXPECT_EQ(flags(id), c.flags);
  }
}

TEST_F(MsgfalTest, HistoryViewHoldsBackUnreadTextsAndShowsReadOnes) {
  // A blacklist either way: the unread line shows the notice and stays
  // unread; a line read before the blacklist shows its text; sent lines
  // always show.
  run("insert into Friends(userid,senduserid,ifok,ifhmd) values(1,2,0,1)");
  const long read = send(2, 1, "old news", "2026-03-14 08:00:00", 0, 1, 0);
  const long unread = send(2, 1, "secret", "2026-03-14 09:00:00", 1, 1, 0);
  const long mine = send(1, 2, "mine", "2026-03-14 10:00:00", 1, 0, 0);
  EXPECT_EQ(load(1, "2", "all"),
            kHead + appended("") +
                replaced(fromBob("2026-03-14 08:00:00") + "old news" + fromBob("2026-03-14 09:00:00") +
                         "黑名单！互相无法发送和查看消息！" + fromAnn("2026-03-14 10:00:00") + "mine") +
                "</Body>\r\n");
  EXPECT_EQ(flags(read), "010");
  EXPECT_EQ(flags(unread), "110");
  EXPECT_EQ(flags(mine), "100");  // the receiver's flags are not the sender's business

  // Blacklist lifted, no restriction for an ordinary member: the unread line
  // is held back in the history view.
  run("delete from Friends");
  setViewer(1, 577, 1);
  freshRequest();
  setBaseInfo({{24, "0"}});
  logIn(1);
  h->request().QueryString.add("userid", "2");
  h->request().QueryString.add("menu", "all");
  zurva z;
  z.msgfal(kServer, kUser, kPassword, kDatabase);
  EXPECT_NE(body().find(fromBob("2026-03-14 09:00:00") + "银卡以下的会员无法查看新的留言！"), std::string::npos);
  EXPECT_EQ(flags(unread), "110");

  // An ordinary man whom the restriction (women) does not name reads it there.
  setViewer(1, 576, 1);
  EXPECT_NE(load(1, "2", "all").find(fromBob("2026-03-14 09:00:00") + "secret"), std::string::npos);
  EXPECT_EQ(flags(unread), "010");
}

TEST_F(MsgfalTest, SeveralNewLinesComeNewestFirstAndAMemberWritingToHimselfGetsBoth) {
  send(2, 1, "one", "2026-03-15 09:00:01");
  send(2, 1, "two", "2026-03-15 09:00:02");
  send(2, 1, "three", "2026-03-15 09:00:03");
  EXPECT_EQ(load(1), kHead +
                         appended(fromBob("2026-03-15 09:00:03") + "three" + fromBob("2026-03-15 09:00:02") +
                                  "two" + fromBob("2026-03-15 09:00:01") + "one") +
                         "</Body>\r\n");

  run("delete from Sendbooks");
  const long self = send(1, 1, "note", "2026-03-15 09:00:00");
  const std::string head = std::string(kHead).replace(std::string(kHead).find("userid_2"), 8, "userid_1");
  const std::string own = "<br><FONT color=#FF0000><STRONG>安妮&nbsp;</STRONG></FONT>&nbsp;&nbsp;2026-03-15 09:00:00<br>note";
  EXPECT_EQ(load(1, "1"), head + appended(own + fromAnn("2026-03-15 09:00:00") + "note") + "</Body>\r\n");
  EXPECT_EQ(flags(self), "010");
}

TEST_F(MsgfalTest, HostileTextStaysInsideTheScriptString) {
  run("update zurva_user set nickname=? where userid=2", {Variant("O'Neil<b>\\")});
  send(2, 1, "It's </script><script>alert(1)</script>\r\nline\nfool", "2026-03-15 09:00:00");
  const std::string frame = load(1);
  const std::string expected =
      "<br><FONT color=#FF0000><STRONG>O&#39;Neil&lt;b&gt;\\\\&nbsp;</STRONG></FONT>&nbsp;&nbsp;"
      "2026-03-15 09:00:00<br>"
      "It\\'s &lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;<BR>line\\n****";
  EXPECT_EQ(frame, kHead + appended(expected) + "</Body>\r\n");
}

TEST_F(MsgfalTest, BadMemberNumbersGetAMessageInsteadOfAFrame) {
  for (const char* other : {"abc", "", "2 or 1=1", "99", "99999999999"}) {
    SCOPED_TRACE(other);
    freshRequest();
    logIn(1);
    h->request().QueryString.add("userid", other);
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.msgfal(kServer, kUser, kPassword, kDatabase); }));
    EXPECT_EQ(body(), alertAndBack("请求错误！"));
  }
  // A guest has no conversation.
  freshRequest();
  h->request().QueryString.add("userid", "2");
  zurva z;
  EXPECT_TRUE(endsRequest([&] { z.msgfal(kServer, kUser, kPassword, kDatabase); }));
  EXPECT_EQ(body().find("<script language"), std::string::npos);
}

TEST_F(MsgfalTest, AFailedOpenWritesTheConnectionErrorAndReturns) {
  logIn(1);
  h->request().QueryString.add("userid", "2");
  zurva z;
  z.msgfal(kServer, kUser, "wrong", kDatabase);
  EXPECT_EQ(body(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(h->response().ended());
}

TEST_F(MsgfalTest, EachPassExaminesTenThousandRowsAtMost) {
  // 10001 messages from the viewer that both frames have shown, except the
  // oldest, which is new to the receiver: the newest-first pass never gets
  // to it, and the history view stops before the newest.
  {
    db::Connection conn = open();
    conn.transaction([&] {
      conn.ExecuteAction("insert into Sendbooks(userid,senduserid,content,addtime,new,pop,sendnew) "
                         "values(1,2,'first','2026-01-01 00:00:00',1,0,0)");
      for (int i = 1; i <= 10000; ++i)
        conn.ExecuteAction("insert into Sendbooks(userid,senduserid,content,addtime,new,pop,sendnew) "
                           "values(2,1,'m',?,0,1,0)",
                           {Variant(dateTimeText(toSerial({2026, 2, 1, 0, 0, 0}) + i / 86400.0))});
    });
  }
  EXPECT_EQ(load(1), kHead + appended("") + "</Body>\r\n");
  EXPECT_EQ(number("select pop from Sendbooks where content='first'"), 0);
  const std::string history = load(1, "2", "all");
  EXPECT_NE(history.find("first"), std::string::npos);
  EXPECT_EQ(history.find("2026-02-01 02:46:40"), std::string::npos);  // the newest, row 10001
  EXPECT_NE(history.find("2026-02-01 02:46:39"), std::string::npos);
}

}  // namespace
}  // namespace zurvafun::testing

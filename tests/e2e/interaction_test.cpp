// The demo site's interaction pages over real HTTP: messages between the demo
// members, the poll, gifts with SMS notices through a stand-in gateway (run
// by the test), the gift race, and the party roads. The server runs a freshly
// seeded demo database in the static link mode.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"
#include "tests/interaction/fake_gateway.h"

namespace zurvafun {
namespace {

class InteractionE2E : public e2e::ServerSuite<InteractionE2E> {
 public:
  static testing::FakeGateway& gateway() {
    static testing::FakeGateway* g = new testing::FakeGateway;  // lives as long as the process
    return *g;
  }
  static std::string settings() {
    std::string base;
    for (int i = 0; i < 26; ++i) {
      const std::string field = i == 0    ? "演示站"
                                : i == 1  ? "http://demo/"
                                : i == 15 ? "1"
                                : i == 22 ? "smsuser"
                                : i == 23 ? "smspass"
                                : i == 24 ? "1"
                                : i == 25 ? "0"
                                          : "f" + std::to_string(i);
      base += (i ? ", \"" : "\"") + field + "\"";
    }
    return R"("worker_threads": 40,
      "database": {"demo_members": 20},
      "application": {
        "zurva_base_info": [{"separator": "<><><><><>", "fields": [)" + base + R"(]}],
        "zurva_info": ["t<><><><><>admin<><><><><>笨蛋"],
        "zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"],
        "zurva_sms_gateway": [")" + gateway().address() + R"("]
      })";
  }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  // The Cookie header of a logged-in demo member.
  static std::string logIn(const std::string& account, const std::string& password) {
    const RawResponse answer =
        postLogin(gbkForm({{"username", account}, {"password", password}, {"log_type", "1"}}));
    const std::string member = cookiePair(answer.setCookie("kalimo"));
    EXPECT_FALSE(member.empty());
    return "Cookie: " + member + "\r\n";
  }
  static bool holds(const RawResponse& r, const std::string& piece) { return utf8(r).find(piece) != std::string::npos; }

  static std::string balance(const std::string& member) {
    static const std::regex line("您的 E币 余额：([0-9.]+)");
    const std::string home = utf8(rawGet("/indexw.asp", member));
    std::smatch m;
    return std::regex_search(home, m, line) ? m[1].str() : "<none>";
  }
};

TEST_F(InteractionE2E, AMessageFromDemo1ReachesDemo2sFrameOnce) {
  const std::string demo1 = logIn("demo1@example.com", "demo123");
  const std::string demo2 = logIn("demo2@example.com", "demo456");
  const RawResponse frameset = rawGet("/userid_2_message.html", demo1);
  EXPECT_TRUE(holds(frameset, "<frame name=\"showc\" src=\"/messageshow.asp\">"));
  // The send frame names the partner, with a link to his profile.
  EXPECT_TRUE(holds(rawGet("/userid_2_messagesend.html", demo1),
                    "<p class=\"partner\">与 <a href=\"id_2_userinfo.html\" "
                    "target=\"_blank\">演示二号</a> 的对话</p>"));
  // The lower frame starts blank: the upper one loads it once it can take
  // the lines.
  EXPECT_TRUE(holds(frameset,
                    "<frame name=\"msg\" src=\"about:blank\" data-src=\"userid_2_msgfal.html\">"));
  EXPECT_TRUE(holds(rawGet("/messageshow.asp", demo1),
                    "top.msg.location.replace(f.getAttribute('data-src'))"));

  const RawResponse sent = rawPost("/userid_2_messagesend.html", gbkForm({{"content", "周末见！It's me <b>"}}), demo1);
  EXPECT_EQ(sent.status, 200);
  EXPECT_TRUE(holds(sent, "已发送。")) << utf8(sent);

  const std::string line = "<br><FONT color=#FF0000><STRONG>演示一号&nbsp;</STRONG></FONT>&nbsp;&nbsp;";
  const RawResponse frame = rawGet("/userid_1_msgfal.html", demo2);
  EXPECT_EQ(frame.status, 200);
  EXPECT_TRUE(holds(frame, "<br>周末见！It\\'s me &lt;b&gt;<br>")) << utf8(frame);
  EXPECT_TRUE(holds(frame, line));
  EXPECT_TRUE(holds(frame, "今晚有空吗？一起去看电影吧。"));  // the seeded unread one
  // Shown once; the history view shows it again, oldest first.
  EXPECT_FALSE(holds(rawGet("/userid_1_msgfal.html", demo2), "周末见"));
  EXPECT_TRUE(holds(rawGet("/msgfal_userid_1_menu_all.html", demo2), "周末见！It\\'s me"));
  // The sender's own frame echoes it once.
  EXPECT_TRUE(holds(rawGet("/userid_2_msgfal.html", demo1), "<FONT color=#0033FF><STRONG>演示一号&nbsp;&nbsp;"));
  EXPECT_FALSE(holds(rawGet("/userid_2_msgfal.html", demo1), "周末见"));
}

TEST_F(InteractionE2E, ThePollBoxOnTheHomePageTakesAVote) {
  const RawResponse home = rawGet("/index.asp");
  EXPECT_TRUE(holds(home, "<form action='vote.html' target='newwindow' method='post' name='submitvote'>"));
  EXPECT_TRUE(holds(home, "name='Options' type='radio' value=2>2.网上聊天"));
  const RawResponse voted = rawPost("/vote.html", gbkForm({{"Options", "2"}, {"submit", "投票"}}));
  EXPECT_TRUE(holds(voted, "感谢您的投票！")) << utf8(voted);
  EXPECT_TRUE(holds(rawGet("/stype_view_vote.html"), "2.网上聊天</td><td>1 票"));
  EXPECT_TRUE(holds(rawPost("/vote.html", gbkForm({{"Options", "6"}})), "请选择一个选项。"));
}

// One vote per member and poll, and per browser for a guest (a signed
// cookie): a repeated vote is answered, not counted.
TEST_F(InteractionE2E, ThePollCountsOneVoteAMemberAndABrowser) {
  static const std::regex line("3\\.朋友介绍</td><td>([0-9]+) 票");
  const auto votes = [] {
    std::smatch m;
    const std::string page = utf8(rawGet("/stype_view_vote.html"));
    return std::regex_search(page, m, line) ? std::stoi(m[1].str()) : -1;
  };
  const int before = votes();
  ASSERT_GE(before, 0);
  const std::string demo1 = logIn("demo1@example.com", "demo123");
  EXPECT_TRUE(holds(rawPost("/vote.html", "Options=3", demo1), "感谢您的投票！"));
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(holds(rawPost("/vote.html", "Options=3", demo1), "您已经投过票了"));
  EXPECT_EQ(votes(), before + 1);

  // A guest's browser keeps the cookie of its vote.
  const RawResponse guest = rawPost("/vote.html", "Options=3");
  EXPECT_TRUE(holds(guest, "感谢您的投票！"));
  const std::string voted = "Cookie: " + cookiePair(guest.setCookie("zurva_vote")) + "\r\n";
  ASSERT_NE(voted, "Cookie: \r\n");
  EXPECT_TRUE(holds(rawPost("/vote.html", "Options=3", voted), "您已经投过票了"));
  EXPECT_EQ(votes(), before + 2);
  // Another browser is another guest; a member in the guest's browser is
  // counted by his number.
  EXPECT_TRUE(holds(rawPost("/vote.html", "Options=3"), "感谢您的投票！"));
  const std::string demo2 = logIn("demo2@example.com", "demo456");
  const std::string both = demo2.substr(0, demo2.size() - 2) + "; " + voted.substr(8);
  EXPECT_TRUE(holds(rawPost("/vote.html", "Options=3", both), "感谢您的投票！"));
  EXPECT_EQ(votes(), before + 4);
}

TEST_F(InteractionE2E, AGiftWithAnSmsNoticeLowersTheBalanceOnTheMemberHome) {
  const std::string demo1 = logIn("demo1@example.com", "demo123");
  EXPECT_EQ(balance(demo1), "1000");
  const RawResponse giftForm = rawGet("/id_2_sendpresent.html", demo1);
  EXPECT_TRUE(holds(giftForm, "<td>巧克力</td>")) << utf8(giftForm);
  EXPECT_TRUE(holds(giftForm, "<font color=#ff0000>7.5</font>E币"));
  EXPECT_TRUE(holds(giftForm, "action=sendsave.html"));

  const std::size_t notices = gateway().targets().size();
  const std::string given = query("select count(*) from presentmx where senduserid=1");
  const RawResponse sent = rawPost("/sendsave.html", gbkForm({{"to", "2"}, {"id", "2"}, {"ifsms", "1"}, {"des", "送你"}}), demo1);
  EXPECT_EQ(sent.status, 200);
  EXPECT_TRUE(holds(sent, "alert('已成功送出礼物\\n演示二号 发送礼物通知短信成功！');window.close();")) << utf8(sent);
  ASSERT_EQ(gateway().targets().size(), notices + 1);
  EXPECT_NE(gateway().targets().back().find("to=13800138001&text="), std::string::npos);
  EXPECT_EQ(balance(demo1), "991.5");  // half the price of 15, and 1 for the notice

  // A guest gets the refusal; nothing is given.
  EXPECT_TRUE(holds(rawPost("/sendsave.html", gbkForm({{"to", "2"}, {"id", "2"}})), "非法操作"));
  EXPECT_EQ(query("select count(*) from presentmx where senduserid=1"), std::to_string(std::stoi(given) + 1));
}

TEST_F(InteractionE2E, GiftSendsRacingForOneBalanceNeverOverspend) {
  // Demo member 2 (silver card, 200 E币) sends the card at 2.5 a time: the
  // balance covers 80 of the 1000 sends.
  const std::string demo2 = logIn("demo2@example.com", "demo456");
  const std::string cookie = demo2.substr(8, demo2.size() - 10);  // "kalimo=..." without the header
  ASSERT_EQ(balance(demo2), "200");
  const std::string body = gbkForm({{"to", "1"}, {"id", "6"}});
  std::atomic<int> given{0}, refused{0}, other{0}, failed{0};
  std::atomic<int> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 32; ++t) {
    threads.emplace_back([&] {
      httplib::Client c = client();
      c.set_keep_alive(true);
      const httplib::Headers headers = {{"Cookie", cookie}, {"Origin", "http://127.0.0.1"}};
      while (next++ < 1000) {
        const auto r = c.Post("/sendsave.html", headers, body, "application/x-www-form-urlencoded");
        if (!r || r->status != 200) {
          ++failed;
          continue;
        }
        const std::string text = gbk::toUtf8(r->body);
        if (text.find("已成功送出礼物") != std::string::npos) ++given;
        else if (text.find("您的E币不足,请充值!") != std::string::npos) ++refused;
        else ++other;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(other.load(), 0);
  EXPECT_EQ(given.load() + refused.load(), 1000);
  EXPECT_EQ(given.load(), 80);
  // Gifts, ledger rows and balance agree.
  EXPECT_EQ(query("select count(*) from presentmx where senduserid=2 and presentedid=6"), std::to_string(given.load()));
  EXPECT_EQ(query("select count(*) from emoneymx where userID=2 and b_count=2.5"), std::to_string(given.load()));
  EXPECT_EQ(query("select emoney from zurva_user where userid=2"), "0");
  EXPECT_EQ(balance(demo2), "0");
}

// Gift notices by SMS racing for one balance: every message the gateway got
// was charged, and no charge was kept for a message it did not get.
TEST_F(InteractionE2E, SmsNoticesRacingForOneBalanceChargeEveryMessageSent) {
  // Member 10, a silver card with 55 E币: the cards (2.5 each at his grade)
  // of 20 gifts and 5 notices at 1 E币.
  ASSERT_TRUE(execute("update zurva_user set grade=2, emoney=55, ifdel=0 where userid=10"));
  const std::string sender = logIn("member10@example.com", "123456");
  const std::string cookie = sender.substr(8, sender.size() - 10);
  // The gateway takes its time, so that the requests overlap while it works.
  gateway().setOnRequest([] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
  const std::size_t before = gateway().targets().size();
  const std::string body = gbkForm({{"to", "2"}, {"id", "6"}, {"ifsms", "1"}, {"des", "hi"}});
  std::atomic<int> given{0}, noticed{0}, failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 24; ++t) {
    threads.emplace_back([&] {
      httplib::Client c = client();
      const auto r =
          c.Post("/sendsave.html", {{"Cookie", cookie}, {"Origin", "http://127.0.0.1"}}, body,
                 "application/x-www-form-urlencoded");
      if (!r || r->status != 200) {
        ++failed;
        return;
      }
      const std::string text = gbk::toUtf8(r->body);
      if (text.find("已成功送出礼物") != std::string::npos) ++given;
      if (text.find("发送礼物通知短信成功") != std::string::npos) ++noticed;
    });
  }
  for (std::thread& t : threads) t.join();
  gateway().setOnRequest({});
  const int sent = int(gateway().targets().size() - before);
  EXPECT_EQ(failed.load(), 0);
  EXPECT_GT(sent, 0);
  EXPECT_EQ(noticed.load(), sent);
  // Charged = sent: the notices' ledger rows, less those given back, and the balance.
  EXPECT_EQ(query("select cast(coalesce(sum(b_count),0) as integer) from emoneymx where userID=10 "
                  "and b_history like '%短信%'"),
            std::to_string(sent));
  const double left = 55 - 2.5 * given.load() - sent;
  EXPECT_GE(left, 0);
  EXPECT_EQ(std::stod(query("select emoney from zurva_user where userid=10")), left);
}

TEST_F(InteractionE2E, AMemberSignsUpChangesAndWithdrawsAndTheOrganiserEdits) {
  const std::string demo1 = logIn("demo1@example.com", "demo123");
  const std::string demo2 = logIn("demo2@example.com", "demo456");
  const Fields signup = {{"name", "演示二号"}, {"email", "demo2@example.com"}, {"tel", "13800138001"},
                         {"sex", "男"},        {"nl", "38"},                   {"xl", "硕士"}, {"zy", "工程师"}};
  // Party 2: demo member 1's party that is over, without sign-ups.
  EXPECT_TRUE(holds(rawGet("/partyid_2_partyinfo.html"), "还没有人报名"));
  EXPECT_TRUE(holds(rawPost("/action_sign_join_partyid_2.html", gbkForm(signup), demo2), "alert('您参加活动成功！');"));
  EXPECT_TRUE(holds(rawPost("/action_sign_join_partyid_2.html", gbkForm(signup), demo2), "alert('您已经参加了该活动！');"));
  EXPECT_TRUE(holds(rawGet("/partyid_2_partyinfo.html"), "<b>已报名：</b>演示二号</p>"));

  Fields changed = signup;
  changed[4].second = "39";
  EXPECT_TRUE(holds(rawGet("/partyjoin_partyid_2_sign_up-datejoin.html", demo2), "action_sign_up-datejoin_partyid_2.html"));
  EXPECT_TRUE(holds(rawPost("/action_sign_up-datejoin_partyid_2.html", gbkForm(changed), demo2), "alert('修改成功！');"));
  EXPECT_EQ(query("select nl from partycj where partyid=2 and userid=2"), "39");

  const RawResponse withdrawn = rawPost("/action_sign_deljoin_partyid_2.html", "", demo2);
  EXPECT_TRUE(holds(withdrawn, "alert('删除成功！');window.location.href='partyid_2_partyinfo.html';")) << utf8(withdrawn);
  EXPECT_TRUE(holds(rawGet("/partyid_2_partyinfo.html"), "还没有人报名"));

  // The organiser edits her party; another member may not.
  const Fields party = {{"title", "周末户外烧烤（改期）"}, {"cs", "广州市"}, {"address", "白云山"},
                        {"partytime", "2099-05-01 10:00"}};
  EXPECT_TRUE(holds(rawPost("/action_sign_upd_partyid_1.html", gbkForm(party), demo2), "您还没权修改本活动！"));
  const RawResponse saved = rawPost("/action_sign_upd_partyid_1.html", gbkForm(party), demo1);
  EXPECT_TRUE(holds(saved, "alert('保存完毕,等待认证通过!');window.location.href='partymanage.html';")) << utf8(saved);
  EXPECT_TRUE(holds(rawGet("/partyid_1_partyinfo.html"), "周末户外烧烤（改期）"));
  // The organiser's panel of her held party with its verified summary.
  const RawResponse panel = rawGet("/partyid_2_partyedit.html", demo1);
  EXPECT_TRUE(holds(panel, "已通过认证")) << utf8(panel);
  EXPECT_TRUE(holds(panel, "<a href=\"partyid_2_upload.html\" target=\"_blank\">上传图片</a>"));
  EXPECT_TRUE(holds(rawGet("/partyid_2_partyedit.html", demo2), "您还没权修改本活动！"));
}

}  // namespace
}  // namespace zurvafun

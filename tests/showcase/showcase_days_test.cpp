// The showcase days: the status box, the purchase form and the purchase handler.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/dates.h"
#include "tests/showcase/showcase_fixture.h"

namespace zurvafun::testing {
namespace {

class ShowcaseDaysTest : public ShowcaseTest {
 protected:
  Variant info(const Variant& database = kDatabase) {
    zurva z;
    return z.myshow_info(kServer, kUser, kPassword, database);
  }
  Variant apply(const Variant& database = kDatabase) {
    zurva z;
    return z.myshow_apply(kServer, kUser, kPassword, database);
  }
  // Posts the purchase form (or the free start) and returns the message page.
  std::string save(const std::vector<std::pair<std::string, std::string>>& form, const std::string& query = "") {
    host->nextRequest();
    for (const auto& [name, value] : form) host->request().Form.add(name, value);
    if (!query.empty()) host->request().QueryString.add("action", query);
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.myshow_save(kServer, kUser, kPassword, kDatabase); }));
    return host->response().body();
  }
  std::string buy(const std::string& days, const std::string& from = "", const std::string& to = "") {
    return save({{"ORDERMONEY", days}, {"agefrom", from}, {"ageto", to}});
  }
  static std::string column(const std::string& name, long userid = 4) {
    return value("select " + name + " from zurva_user where userid=" + std::to_string(userid)).str();
  }
  static std::vector<std::string> ledger() {
    std::vector<std::string> rows;
    db::Connection conn = open();
    for (db::Recordset rs = conn.Execute("select userID,b_count,b_history,b_time from emoneymx order by id");
         !rs.eof(); rs.MoveNext())
      rows.push_back(rs(0).str() + "|" + rs(1).str() + "|" + rs(2).str() + "|" + rs(3).str());
    return rows;
  }
  // Member 4, logged in, with an approved head photo and the given showcase columns.
  void member(const Variant& emoney, const Variant& iflianxi = Variant::null(),
              const Variant& moneytime = Variant::null(), const Variant& userbz = "25-40#160-180#124-126") {
    addShowMember({.userid = 4, .nickname = "小雨", .smallphoto = kApproved, .emoney = emoney,
                   .iflianxi = iflianxi, .moneytime = moneytime, .userbz = userbz});
    logIn(4, 577, 1);
  }
};

// ------------------------------------------------------------------ status box

TEST_F(ShowcaseDaysTest, StatusBoxStatesAndCountdown) {
  struct Case {
    Variant iflianxi, moneytime;
    std::string state;
  } cases[] = {
      {Variant::null(), Variant::null(), "无我型我秀</FONT>"},
      {3, Variant::null(), "无我型我秀</FONT>"},
      {Variant::null(), "2026-03-14 09:00:00", "无我型我秀</FONT>"},
      {3, "2026-03-15 00:00:01", "无我型我秀</FONT>"},  // bought today: runs from tomorrow
      {3, "2026-03-14 23:59:00", "2</FONT>天<FONT color=#ff6600>13</font>小时<FONT color=#ff6600>40</font>分"},
      {3, "2026-03-13 09:00:00", "1</FONT>天<FONT color=#ff6600>13</font>小时<FONT color=#ff6600>40</font>分"},
      {3, "2026-03-12 09:00:00", "13</font>小时<FONT color=#ff6600>40</font>分"},  // the last day
      {3, "2026-03-11 09:00:00", "无我型我秀</FONT>"},                             // over
      {5, "9999-12-31 00:00:00", "您有5天免费我型我秀"},
      {3, "2026-03-16 09:00:00", "无我型我秀</FONT>"},  // a start still to come
  };
  for (const Case& c : cases) {
    run("delete from zurva_user");
    member(0, c.iflianxi, c.moneytime);
    const std::string box = info().str();
    EXPECT_EQ(box, " " "   您还有我型我秀： <FONT " "                  color=#ff6600>" "                  " + c.state +
                       "                  " "                             <BR>"
                       "                  &nbsp;&nbsp;&nbsp;&nbsp;<INPUT class=button_2 "
                       "onClick=javescript:location='Apply.asp'; type=button value=开始申请> "
                       "                  （无形象照者不能申请）")
        << c.moneytime.str();
  }
}

TEST_F(ShowcaseDaysTest, StatusBoxOnTheLastEveningShowsSixtyMinutes) {
  setClock([] { return toSerial({2026, 3, 15, 23, 0, 0}); });
  member(0, 3, "2026-03-12 09:00:00");
  EXPECT_NE(info().str().find("color=#ff6600>                  0</font>小时<FONT color=#ff6600>60</font>分"),
            std::string::npos);
}

TEST_F(ShowcaseDaysTest, StatusBoxButtonNeedsAnApprovedHeadPhoto) {
  for (const Variant& photo : {Variant::null(), Variant(""), Variant("smallphoto4.jpg0")}) {
    run("delete from zurva_user");
    addShowMember({.userid = 4, .smallphoto = photo});
    logIn(4, 577, 1);
    EXPECT_NE(info().str().find("<INPUT class=button_2 onClick=javescript:alert('您还没有个人形象照！'); type=button"),
              std::string::npos)
        << photo.str();
  }
  run("delete from zurva_user");
  member(0);
  settings(1);
  EXPECT_NE(info().str().find("onClick=javescript:location='Apply.html';"), std::string::npos);
}

TEST_F(ShowcaseDaysTest, StatusBoxRefusals) {
  // A guest: the request ends with the message that closes the window.
  {
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.myshow_info(kServer, kUser, kPassword, kDatabase); }));
    EXPECT_NE(host->response().body().find("非法操作"), std::string::npos);
  }
  // A member whose row is gone.
  host->nextRequest();
  logIn(4, 577, 1);
  {
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.myshow_info(kServer, kUser, kPassword, kDatabase); }));
    EXPECT_NE(host->response().body().find("非法操作!"), std::string::npos);
  }
  // No database: the text is the result, and the response ends.
  host->nextRequest();
  EXPECT_EQ(info("nosuchdb").str(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(host->response().ended());
  EXPECT_EQ(host->response().body(), "");
}

// ------------------------------------------------------------------ purchase form

TEST_F(ShowcaseDaysTest, PurchaseForm) {
  member(1234.5);
  host->request().Cookies.setFromHeader("kalimo", "username=m4&userid=4&nickname=%3Cb%3E%D0%A1%D3%EA");
  const std::string form = apply().str();
  for (const char* part : {
           R"~(<form name="form1" onSubmit="return chkform()" action="save.asp" method="post">)~",
           R"(<td height="30"><font color="#ff6600">&nbsp;&lt;b&gt;小雨</font>，您目前的E币金额：<font color="ff6600">1234.5</font> E币。&nbsp;&nbsp;)",
           R"(<a href="../History.asp" class="blue_UnderLine" target="subiframe">E币收支记录&gt;&gt;</a>)",
           "申请时间：2026-03-15，&nbsp;申请我型我秀天数：",
           R"(<input name="ORDERMONEY" type="text" size="5" maxlength="8" onChange="javescript:return chkform();">天，&nbsp;需要)",
           R"(<input name="MONEY" type="text" id="MONEY" value="0" size="7" maxlength="10" readonly onChange="javescript:return chkform();">E 币，&nbsp;剩余)",
           R"(<input name="MONEY2" type="text" id="MONEY2" value="1234.5" size="7" maxlength="10" readonly onChange="javescript:return chkform();">E币)",
           R"(年龄范围：从<select name="agefrom"><option value="">请选择--</option><option value="20">20</option>)",
           R"(<option value="25" selected>25</option>)",
           R"(<option value="40" selected>40</option>)",
           R"(<option value="70">70</option></select>岁</td>)",
           R"(<input type="submit" name="Submit" value="申请我型我秀")",
       }) {
    EXPECT_NE(form.find(part), std::string::npos) << part << "\n" << form;
  }
  EXPECT_EQ(occurrences(form, " selected"), 2);
  EXPECT_EQ(occurrences(form, "<option "), 2 * 52);
  EXPECT_EQ(form.find("免费我型我秀!"), std::string::npos);
}

TEST_F(ShowcaseDaysTest, PurchaseFormRefusals) {
  // A guest: the message that closes the window.
  {
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.myshow_apply(kServer, kUser, kPassword, kDatabase); }));
    EXPECT_NE(host->response().body().find("非法操作"), std::string::npos);
  }
  // A member whose row is gone: a bad request, one page back, and no form.
  host->nextRequest();
  logIn(4, 577, 1);
  {
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.myshow_apply(kServer, kUser, kPassword, kDatabase); }));
    const std::string body = host->response().body();
    EXPECT_NE(body.find("请求错误！"), std::string::npos) << body;
    EXPECT_NE(body.find(R"~(onclick="history.go(-1)")~"), std::string::npos) << body;
    EXPECT_EQ(body.find("非法操作"), std::string::npos) << body;
    EXPECT_EQ(body.find("form1"), std::string::npos) << body;
  }
}

TEST_F(ShowcaseDaysTest, PurchaseFormVariants) {
  struct Case {
    Variant emoney, iflianxi, moneytime, userbz;
    int selected;
    bool freeButton;
    const char* balance;
  } cases[] = {
      {Variant::null(), Variant::null(), Variant::null(), "18-40#x", 1, false, "0"},
      {0, 5, "9999-12-31 00:00:00", Variant::null(), 0, true, "0"},
      {50, 5, "2026-03-14 00:00:00", "", 0, false, "50"},
      {50, 7, "9999-01-01 12:00:00", "30", 1, true, "50"},
  };
  for (const Case& c : cases) {
    run("delete from zurva_user");
    member(c.emoney, c.iflianxi, c.moneytime, c.userbz);
    const std::string form = apply().str();
    EXPECT_EQ(occurrences(form, " selected"), c.selected) << c.userbz.str();
    EXPECT_NE(form.find(std::string("<font color=\"ff6600\">") + c.balance + "</font>"), std::string::npos);
    EXPECT_NE(form.find(std::string("id=\"MONEY2\" value=\"") + c.balance + "\""), std::string::npos);
    const std::string button = "value=\"您有" + c.iflianxi.str() + "天免费我型我秀!\" "
                               "onClick=\"if(confirm('确定使用免费我型我秀吗？')){window.open('save.asp?action=free',"
                               "'_blank','width=1,height=1,top=5000');}return false;\"";
    EXPECT_EQ(form.find(button) != std::string::npos, c.freeButton) << form;
  }
}

// ------------------------------------------------------------------ purchase handler

TEST_F(ShowcaseDaysTest, PurchaseChargesSetsThePeriodAndWritesTheLedger) {
  member(100);
  const std::string page = buy("3", "22", "30");
  EXPECT_NE(page.find("我型我秀申请成功,将于第二天发布<br>可以通过修改基本资料里的意中人年龄标准来确定我型我秀的年龄范围<Br>"
                      "如有其他疑问可以联系我们的客服!谢谢!"),
            std::string::npos);
  EXPECT_NE(page.find("window.location.href='index.asp';"), std::string::npos);
  EXPECT_EQ(column("emoney"), "10");
  EXPECT_EQ(column("tuijian"), "1");
  EXPECT_EQ(column("iflianxi"), "3");
  EXPECT_EQ(column("moneytime"), "2026-03-15 10:20:30");
  EXPECT_EQ(column("userbz"), "22-30#160-180#124-126");
  EXPECT_EQ(ledger(), std::vector<std::string>{"4|90|<我型我秀>申请:3天|2026-03-15 10:20:30"});
}

TEST_F(ShowcaseDaysTest, PurchaseRefusalsChangeNothing) {
  struct Case {
    std::string days;
    const char* message;
  } cases[] = {
      {"4", "申请我型我秀所需E币大于现有E币，请重新输入！"},
      {"0", "天数必须大于一天并且是整数，请重新输入！"},
      {"0.4", "天数必须大于一天并且是整数，请重新输入！"},
      {"0.5", "天数必须大于一天并且是整数，请重新输入！"},
      {"-3", "天数必须大于一天并且是整数，请重新输入！"},
      {"40000", "天数必须大于一天并且是整数，请重新输入！"},
      {"1e300", "天数必须大于一天并且是整数，请重新输入！"},
      {"abc", "请求错误！"},
      {"", "请求错误！"},
      {"1234567890123456", "请求错误！"},
  };
  member(100, 2, "2026-03-14 08:00:00");
  for (const Case& c : cases) {
    const std::string page = buy(c.days, "22", "30");
    EXPECT_NE(page.find(c.message), std::string::npos) << c.days << ": " << page;
    EXPECT_EQ(column("emoney"), "100");
    EXPECT_EQ(column("iflianxi"), "2");
    EXPECT_EQ(column("moneytime"), "2026-03-14 08:00:00");
    EXPECT_EQ(column("userbz"), "25-40#160-180#124-126");
  }
  // No ORDERMONEY at all: no days.
  EXPECT_NE(save({{"agefrom", "22"}}).find("天数必须大于一天并且是整数"), std::string::npos);
  // ORDERMONEY counts only from the posted form.
  host->nextRequest();
  host->request().QueryString.add("ORDERMONEY", "1");
  {
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.myshow_save(kServer, kUser, kPassword, kDatabase); }));
  }
  EXPECT_NE(host->response().body().find("天数必须大于一天并且是整数"), std::string::npos);
  EXPECT_TRUE(ledger().empty());
}

TEST_F(ShowcaseDaysTest, PurchaseAmounts) {
  struct Case {
    Variant emoney;
    std::string days;
    std::string balance, iflianxi;
  } cases[] = {
      {90, "3", "0", "3"},       // exactly enough
      {100, "1", "70", "1"},
      {100, "2.5", "40", "2"},   // half to even
      {100, "1.5", "40", "2"},
      {100, "3.4", "10", "3"},
      {7.5, "1", "7.5", ""},     // refused: 30 > 7.5
      {Variant::null(), "1", "", ""},
  };
  for (const Case& c : cases) {
    run("delete from zurva_user");
    member(c.emoney);
    buy(c.days);
    EXPECT_EQ(column("emoney"), c.balance) << c.emoney.str() << " " << c.days;
    EXPECT_EQ(column("iflianxi"), c.iflianxi) << c.emoney.str() << " " << c.days;
  }
}

TEST_F(ShowcaseDaysTest, SecondPurchaseExtendsAPeriodThatHasNotEnded) {
  struct Case {
    Variant iflianxi, moneytime;
    std::string total, start;
  } cases[] = {
      {5, "2026-03-13 08:00:00", "8", "2026-03-13 08:00:00"},  // running
      {5, "9999-12-31 00:00:00", "8", "9999-12-31"},  // free days pending (a date without time of day)
      {5, "2026-03-15 08:00:00", "8", "2026-03-15 08:00:00"},  // bought this morning
      {2, "2026-03-12 08:00:00", "3", "2026-03-15 10:20:30"},  // ended: anew
      {Variant::null(), "2026-03-14 08:00:00", "3", "2026-03-15 10:20:30"},
      {5, Variant::null(), "3", "2026-03-15 10:20:30"},
  };
  for (const Case& c : cases) {
    run("delete from zurva_user");
    member(1000, c.iflianxi, c.moneytime);
    buy("3");
    EXPECT_EQ(column("iflianxi"), c.total) << c.moneytime.str();
    EXPECT_EQ(column("moneytime"), c.start) << c.moneytime.str();
    EXPECT_EQ(column("emoney"), "910");
  }
  // Two purchases on one day: both charged, the days add up.
  run("delete from zurva_user");
  run("delete from emoneymx");
  member(1000);
  buy("3");
  buy("4");
  EXPECT_EQ(column("iflianxi"), "7");
  EXPECT_EQ(column("moneytime"), "2026-03-15 10:20:30");
  EXPECT_EQ(column("emoney"), "790");
  EXPECT_EQ(ledger().size(), 2u);
  // A total beyond a 16-bit day count is refused.
  run("update zurva_user set iflianxi=32767 where userid=4");
  EXPECT_NE(buy("1").find("天数必须大于一天并且是整数"), std::string::npos);
  EXPECT_EQ(column("iflianxi"), "32767");
  EXPECT_EQ(column("emoney"), "790");
}

TEST_F(ShowcaseDaysTest, TargetAgeRange) {
  struct Case {
    Variant userbz;
    std::string from, to, expected;
  } cases[] = {
      {"25-40#160-180#124-126", "22", "30", "22-30#160-180#124-126"},
      {"25-40", "22", "30", "22-30"},
      {Variant::null(), "22", "30", "22-30"},
      {"", "22", "30", "22-30"},
      {"25-40#160-180", "", "", "25-40#160-180"},      // not chosen: kept
      {"25-40#160-180", "abc", "30", "25-40#160-180"},
      {"25-40#160-180", "30", "22", "25-40#160-180"},  // out of order
      {"25-40#160-180", "10", "30", "25-40#160-180"},
      {"25-40#160-180", "22", "100", "25-40#160-180"},
      {"25-40#160-180", "22.5", "30", "25-40#160-180"},
      {"25-40#160-180", "22'", "30", "25-40#160-180"},
  };
  for (const Case& c : cases) {
    run("delete from zurva_user");
    member(1000, Variant::null(), Variant::null(), c.userbz);
    buy("1", c.from, c.to);
    EXPECT_EQ(column("userbz"), c.expected) << c.from << "-" << c.to;
    EXPECT_EQ(column("iflianxi"), "1");
  }
}

TEST_F(ShowcaseDaysTest, FreeStart) {
  member(0, 5, "9999-12-31 00:00:00");
  const std::string page = save({}, "free");
  EXPECT_NE(page.find("我型我秀申请成功,将于第二天发布<br>可以通过修改基本资料里的意中人年龄标准来确定我型我秀的年龄范围<br>"
                      "如有其他疑问可以联系我们的客服!谢谢!"),
            std::string::npos);
  EXPECT_NE(page.find("/images/erro/close.jpg"), std::string::npos);
  EXPECT_EQ(column("tuijian"), "1");
  EXPECT_EQ(column("iflianxi"), "5");
  EXPECT_EQ(column("moneytime"), "2026-03-15 10:20:30");
  EXPECT_EQ(ledger(), std::vector<std::string>{"4|0|<我型我秀>使用免费服务:5天|2026-03-15 10:20:30"});

  // Started already: nothing more to start.
  EXPECT_NE(save({}, "free").find("非法操作!没有免费我型我秀时间!"), std::string::npos);
  for (const Variant& start : {Variant::null(), Variant("2026-03-14 00:00:00")}) {
    run("delete from zurva_user");
    member(0, 5, start);
    EXPECT_NE(save({}, "free").find("非法操作!没有免费我型我秀时间!"), std::string::npos);
    EXPECT_EQ(column("tuijian"), "0");
  }
  EXPECT_EQ(ledger().size(), 1u);
  // "Free" is not "free": a purchase of no days.
  EXPECT_NE(save({}, "Free").find("天数必须大于一天并且是整数"), std::string::npos);
}

TEST_F(ShowcaseDaysTest, HandlerRefusesGuestsAndMembersWithoutARow) {
  EXPECT_NE(save({{"ORDERMONEY", "1"}}).find("非法操作"), std::string::npos);
  logIn(4, 577, 1);  // no row for member 4
  EXPECT_NE(save({{"ORDERMONEY", "1"}}).find("非法操作!"), std::string::npos);
  EXPECT_NE(save({}, "free").find("非法操作!"), std::string::npos);
  EXPECT_TRUE(ledger().empty());
}

TEST_F(ShowcaseDaysTest, LedgerFailureUndoesThePurchase) {
  member(100);
  run("drop table emoneymx");
  host->nextRequest();
  host->request().Form.add("ORDERMONEY", "1");
  zurva z;
  EXPECT_NE(errorOf([&] { z.myshow_save(kServer, kUser, kPassword, kDatabase); }), 0);
  EXPECT_EQ(column("emoney"), "100");
  EXPECT_EQ(column("iflianxi"), "");
}

TEST_F(ShowcaseDaysTest, ConcurrentPurchasesNeverSpendTheSameMoneyTwice) {
  member(30 * 25);  // 25 days' worth
  constexpr int kThreads = 8, kEach = 10;
  std::atomic<int> bought{0}, refused{0}, failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        host::TestHost h;
        h.request().Cookies.setFromHeader("kalimo", "username=m4&userid=4");
        h.request().Form.add("ORDERMONEY", "1");
        zurva z;
        try {
          z.myshow_save(kServer, kUser, kPassword, kDatabase);
          ++failed;
        } catch (const VbError& e) {
          if (!e.isRequestEnd()) ++failed;
          else if (h.response().body().find("我型我秀申请成功") != std::string::npos) ++bought;
          else if (h.response().body().find("所需E币大于现有E币") != std::string::npos) ++refused;
          else ++failed;
        }
      }
      db::releasePooledConnections();
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(bought, 25);
  EXPECT_EQ(refused, kThreads * kEach - 25);
  EXPECT_EQ(column("emoney"), "0");
  EXPECT_EQ(column("iflianxi"), "25");
  EXPECT_EQ(ledger().size(), 25u);
}

}  // namespace
}  // namespace zurvafun::testing

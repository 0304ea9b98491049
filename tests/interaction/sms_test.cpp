#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "interaction/sms_gateway.h"
#include "runtime/gbk.h"
#include "tests/interaction/fake_gateway.h"
#include "tests/interaction/support.h"

namespace zurvafun::testing {
namespace {

TEST(SmsGatewayUrl, PlaceholdersTakeTheirValuesEncodedInGbkOnce) {
  const interaction::SmsValues values{"site user", "p&w=1", "138{message}", "你好，请登陆"};
  EXPECT_EQ(interaction::smsGatewayUrl("http://gw/s?u={username}&p={password}&m={mobile}&t={message}&again={mobile}",
                                       values),
            "http://gw/s?u=site+user&p=p%26w%3D1&m=138%7Bmessage%7D&t=" + gbk::urlEncode("你好，请登陆") +
                "&again=138%7Bmessage%7D");
  EXPECT_EQ(interaction::smsGatewayUrl("http://gw/{unknown}{username", values), "http://gw/{unknown}{username");
}

class SendSmsTest : public InteractionTest {
 protected:
  void SetUp() override {
    InteractionTest::SetUp();
    addPerson(1, "安妮", 577, 3, 10);
    h->application().set("zurva_sms_gateway", arraySetting(gateway.address()));
    logIn(1);
  }

  Variant send(const Variant& mobile = "13900000000", const Variant& money = 1,
               const Variant& text = "您有新的礼物") {
    Variant user = "caller", pass = "caller";
    zurva z;
    const Variant sent = z.SendSms(user, pass, mobile, text, money, "发送短信：测试", kServer, kUser, kPassword,
                                   kDatabase);
    lastUser = user;
    lastPass = pass;
    return sent;
  }
  static std::string balance() { return text("select emoney from zurva_user where userid=1"); }
  static long ledgerRows() { return number("select count(*) from emoneymx"); }
  // The ledger's rows in order, "member|amount|cause" joined by " / ".
  static std::string ledger() {
    db::Connection conn = open();
    db::Recordset rs = conn.Execute("select userID, b_count, b_history from emoneymx order by id");
    std::string rows;
    for (; !rs.eof(); rs.MoveNext())
      rows += (rows.empty() ? "" : " / ") + rs(0).str() + "|" + rs(1).str() + "|" + rs(2).str();
    return rows;
  }

  FakeGateway gateway;
  Variant lastUser, lastPass;
};

// The charge is taken before the gateway is asked; a message the gateway
// does not take gets its price back, with a ledger row of its own.
TEST_F(SendSmsTest, OnlyTheExactAnswerTrueSendsAndKeepsTheCharge) {
  const struct {
    const char* answer;
    bool sent;
  } cases[] = {{"true", true}, {"True", false}, {"true\r\n", false}, {" true", false}, {"false", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    run("update zurva_user set emoney=10 where userid=1");
    run("delete from emoneymx");
    gateway.setAnswer(c.answer);
    EXPECT_EQ(CBool(send()), c.sent);
    EXPECT_EQ(balance(), c.sent ? "9" : "10");
    EXPECT_EQ(ledger(), c.sent ? "1|1|发送短信：测试"
                     : "1|1|发送短信：测试 / 1|-1|短信未发出，退回：发送短信：测试");
  }
}

TEST_F(SendSmsTest, TheGatewayGetsTheSiteAccountAndTheValuesEncoded) {
  EXPECT_TRUE(CBool(send("139 0000", 1.5, "你好 a&b=c")));
  ASSERT_EQ(gateway.targets().size(), 1u);
  EXPECT_EQ(gateway.targets()[0], "/send?u=smsuser&p=smspass&to=139+0000&text=" + gbk::urlEncode("你好 a&b=c"));
  // One GET that says what it carries, as the gateway expects.
  const std::string head = gateway.heads()[0];
  EXPECT_EQ(head.substr(0, 4), "GET ");
  EXPECT_EQ(FakeGateway::headerValues(head, "Content-Type"),
            std::vector<std::string>{"text/xml;charset=GB2312"})
      << head;
  EXPECT_EQ(lastUser.str(), "smsuser");  // written back into the caller's variables
  EXPECT_EQ(lastPass.str(), "smspass");
  EXPECT_EQ(balance(), "8.5");
  // An empty number is sent too: the gateway decides.
  EXPECT_TRUE(CBool(send("")));
  EXPECT_EQ(gateway.targets()[1], "/send?u=smsuser&p=smspass&to=&text=" + gbk::urlEncode("您有新的礼物"));
}

TEST_F(SendSmsTest, ABalanceThatDoesNotCoverThePriceSendsNothing) {
  run("update zurva_user set emoney=0.5 where userid=1");
  EXPECT_FALSE(CBool(send()));
  EXPECT_TRUE(gateway.targets().empty());
  EXPECT_EQ(balance(), "0.5");
  // A Null balance counts as 0: it covers a free message, and is then 0.
  run("update zurva_user set emoney=null where userid=1");
  EXPECT_FALSE(CBool(send()));
  EXPECT_TRUE(CBool(send("13900000000", 0)));
  EXPECT_EQ(balance(), "0");
  EXPECT_EQ(ledgerRows(), 1);
  // The exact balance covers the price.
  run("update zurva_user set emoney=2 where userid=1");
  EXPECT_TRUE(CBool(send("13900000000", 2)));
  EXPECT_EQ(balance(), "0");
}

TEST_F(SendSmsTest, RefusedCallersAndBadPricesReachNoGateway) {
  // Neither a member nor an administrator: the message page, the request ends.
  freshRequest();
  h->application().set("zurva_sms_gateway", arraySetting(gateway.address()));
  EXPECT_TRUE(endsRequest([&] { send(); }));
  EXPECT_NE(body().find("非法操作"), std::string::npos);
  EXPECT_EQ(lastUser.str(), "");  // the call never returned
  // An administrator has no member account to charge.
  freshRequest();
  h->application().set("zurva_sms_gateway", arraySetting(gateway.address()));
  setCookie({{"admin_name", "root"}}, "zurva_admin");
  EXPECT_EQ(errorOf([&] { send(); }), err::TypeMismatch);
  // A price that is no number, or a negative one.
  logIn(1);
  EXPECT_EQ(errorOf([&] { send("139", "one"); }), err::TypeMismatch);
  EXPECT_EQ(errorOf([&] { send("139", -5); }), err::InvalidCall);
  EXPECT_TRUE(gateway.targets().empty());
  EXPECT_EQ(balance(), "10");
}

TEST_F(SendSmsTest, AFailedOpenSendsNothing) {
  Variant user, pass;
  zurva z;
  EXPECT_TRUE(endsRequest(
      [&] { z.SendSms(user, pass, "139", "hi", 1, "h", kServer, kUser, "wrong", kDatabase); }));
  EXPECT_EQ(body(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(gateway.targets().empty());
}

TEST_F(SendSmsTest, GatewayFailuresGoToTheCallerAndChargeNothing) {
  // A gateway that closes without an answer: the price goes back.
  gateway.setAnswer("drop");
  EXPECT_NE(errorOf([&] { send(); }), 0);
  EXPECT_EQ(balance(), "10");
  EXPECT_EQ(number("select sum(b_count) from emoneymx"), 0);
  // Not configured, or not an http address: refused before any charge.
  run("delete from emoneymx");
  h->application().remove("zurva_sms_gateway");
  EXPECT_EQ(errorOf([&] { send(); }), err::InvalidCall);
  h->application().set("zurva_sms_gateway", arraySetting("file:///etc/passwd?{message}"));
  EXPECT_EQ(errorOf([&] { send(); }), err::InvalidCall);
  EXPECT_EQ(balance(), "10");
  EXPECT_EQ(ledgerRows(), 0);
}

TEST_F(SendSmsTest, AGatewayThatNeverAnswersTimesOutAfterTenSeconds) {
  gateway.setAnswer("hang");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NE(errorOf([&] { send(); }), 0);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(seconds.count(), 9);
  EXPECT_LT(seconds.count(), 30);
  EXPECT_EQ(balance(), "10");
}

TEST_F(SendSmsTest, TheChargeIsStoredBeforeTheGatewayIsAskedAndLocksNothingMeanwhile) {
  // While the gateway works, the charge and its ledger row are in the
  // database, and another request can write the member's row at once.
  std::string seen;
  gateway.setOnRequest([&] {
    seen = balance() + " " + std::to_string(ledgerRows());
    run("update zurva_user set emoney=emoney+100 where userid=1");
  });
  EXPECT_TRUE(CBool(send()));
  EXPECT_EQ(seen, "9 1");
  EXPECT_EQ(balance(), "109");
  EXPECT_EQ(ledgerRows(), 1);
}

TEST_F(SendSmsTest, AChargeThatCannotBeStoredSendsNothingAndAFailedGivingBackIsLogged) {
  // No ledger: the charge goes back with it, and the gateway is never asked.
  run("alter table emoneymx rename to emoneymx_away");
  EXPECT_NE(errorOf([&] { send(); }), 0);
  EXPECT_TRUE(gateway.targets().empty());
  EXPECT_EQ(balance(), "10");
  run("alter table emoneymx_away rename to emoneymx");
  // The gateway refuses, and the ledger is gone when the price is to go
  // back: the member stays charged, and the error log says so.
  gateway.setAnswer("false");
  gateway.setOnRequest([] { run("alter table emoneymx rename to emoneymx_away"); });
  EXPECT_FALSE(CBool(send()));
  EXPECT_EQ(balance(), "9");
  const std::string log = [&] {
    std::ifstream in(dir() / "zurvaLog.Log");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }();
  EXPECT_NE(log.find("\\wwtemp, SendSms: 短信未发出，未能退回会员 1 的 1 E币："), std::string::npos)
      << log;
}

}  // namespace
}  // namespace zurvafun::testing

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "runtime/gbk.h"
#include "tests/interaction/fake_gateway.h"
#include "tests/interaction/support.h"

namespace zurvafun::testing {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kDone = "已成功送出礼物";
constexpr const char* kNoReceiver = "请输入赠与者的id，id必须为数字";
constexpr const char* kFailedTail =
    " 发送礼物通知短信失败，失败原因可能为：对象未填写手机信息或您的会员等级不是银卡以上会员。";


class GiftSendTest : public InteractionTest {
 protected:
  void SetUp() override {
    InteractionTest::SetUp();
    addPerson(1, "安妮", 577, 2, 1000);
    addPerson(2, "友2", 576, 2, 0, "13900000002#1");
    addPerson(3, "友3", 576, 2, 0, "13900000003#2");
    addPerson(4, "友4", 576, 2, 0, Variant::null());
    run("insert into present(id,name,emoney,across,imgs) values(3,'巧克力',15,'甜蜜','gift2.gif')");
  }

  // Posts the gift form as member 1; true when the request ended (it always should).
  bool give(const Fields& fields, const Variant& smsPrice = 1) {
    return endsRequest([&] { post(fields, smsPrice); });
  }
  // The same post, for a call that ends with a run-time error: its description.
  std::string giveFailing(const Fields& fields) {
    try {
      post(fields, 1);
    } catch (const VbError& e) {
      return e.isRequestEnd() ? "" : e.description();
    }
    return "";
  }
  void post(const Fields& fields, const Variant& smsPrice) {
    freshRequest();
    h->application().set("zurva_sms_gateway", arraySetting(gateway.address()));
    logIn(1);
    for (const auto& [name, value] : fields) h->request().Form.add(name, value);
    zurva z;
    z.slw_action(smsPrice, "演示站", "http://x/", kServer, kUser, kPassword, kDatabase);
  }
  static void setSender(int grade, const Variant& emoney) {
    run("update zurva_user set grade=?, emoney=? where userid=1", {Variant(grade), emoney});
  }
  static std::string balance() { return text("select emoney from zurva_user where userid=1"); }
  // presentmx rows as "receiver:sender:gift:message".
  static std::vector<std::string> gifts() {
    std::vector<std::string> rows;
    db::Connection conn = open();
    for (db::Recordset rs = conn.Execute("select userid,senduserid,presentedid,sm,addtime from presentmx order by id");
         !rs.eof(); rs.MoveNext())
      rows.push_back(rs(0).str() + ":" + rs(1).str() + ":" + rs(2).str() + ":" + rs(3).str());
    return rows;
  }
  // Ledger rows as "member|amount|text".
  static std::vector<std::string> ledger() {
    std::vector<std::string> rows;
    db::Connection conn = open();
    for (db::Recordset rs = conn.Execute("select userID,b_count,b_history from emoneymx order by id"); !rs.eof();
         rs.MoveNext())
      rows.push_back(rs(0).str() + "|" + rs(1).str() + "|" + rs(2).str());
    return rows;
  }
  void expectNothingWritten(const std::string& balanceBefore = "1000") {
    EXPECT_TRUE(gifts().empty());
    EXPECT_TRUE(ledger().empty());
    EXPECT_EQ(balance(), balanceBefore);
  }
  std::string cookieBalance() const {
    const host::ResponseCookie* kalimo = h->response().Cookies.find("kalimo");
    return kalimo ? kalimo->subKey("emoney").str() : "<none>";
  }

  FakeGateway gateway;
};

TEST_F(GiftSendTest, CardMembersPayHalfForEveryReceiver) {
  ASSERT_TRUE(give({{"to", "2"}, {"list", "3, 4"}, {"id", "3"}, {"des", "送你"}}));
  EXPECT_EQ(body(), alertAndClose(kDone));
  EXPECT_EQ(gifts(), (std::vector<std::string>{"3:1:3:送你", "4:1:3:送你", "2:1:3:送你"}));
  EXPECT_EQ(ledger(), (std::vector<std::string>{"1|7.5|您向友3送去礼物,金银卡会员打五折.",
                                                "1|7.5|您向友4送去礼物,金银卡会员打五折.",
                                                "1|7.5|您向友2送去礼物,金银卡会员打五折."}));
  EXPECT_EQ(balance(), "977.5");
  EXPECT_EQ(cookieBalance(), "977.5");
  EXPECT_EQ(text("select addtime from presentmx"), "2026-03-15 10:20:30");
}

TEST_F(GiftSendTest, OrdinaryMembersPayTheCataloguePrice) {
  setSender(1, 1000);
  ASSERT_TRUE(give({{"to", "2"}, {"list", "3, 4"}, {"id", "3"}}));
  EXPECT_EQ(ledger(), (std::vector<std::string>{"1|15|您向友3送去礼物", "1|15|您向友4送去礼物", "1|15|您向友2送去礼物"}));
  EXPECT_EQ(balance(), "955");
  // Only friends ticked: no main receiver.
  run("delete from presentmx");
  ASSERT_TRUE(give({{"list", "4"}, {"id", "3"}}));
  EXPECT_EQ(gifts(), (std::vector<std::string>{"4:1:3:"}));
  EXPECT_EQ(balance(), "940");
}

TEST_F(GiftSendTest, EachReceiverGetsOneGiftAndPaysOnce) {
  setSender(1, 30);  // covers two gifts, not three
  ASSERT_TRUE(give({{"to", "2"}, {"list", "2, 3, 3"}, {"id", "3"}}));
  EXPECT_EQ(body(), alertAndClose(kDone));
  EXPECT_EQ(gifts(), (std::vector<std::string>{"3:1:3:", "2:1:3:"}));
  EXPECT_EQ(balance(), "0");
}

TEST_F(GiftSendTest, TooLittleMoneyChangesNothing) {
  setSender(1, 44.99);
  ASSERT_TRUE(give({{"to", "2"}, {"list", "3, 4"}, {"id", "3"}}));
  EXPECT_EQ(body(), alertAndClose("您的E币不足,请充值!"));
  expectNothingWritten("44.99");
  ASSERT_TRUE(give({{"to", "2"}, {"id", "3"}}));  // one gift is covered
  EXPECT_EQ(balance(), "29.99");
  // A Null balance counts as 0.
  run("delete from presentmx");
  run("delete from emoneymx");
  setSender(1, Variant::null());
  ASSERT_TRUE(give({{"to", "2"}, {"id", "3"}}));
  EXPECT_EQ(body(), alertAndClose("您的E币不足,请充值!"));
  EXPECT_TRUE(gifts().empty());
}

TEST_F(GiftSendTest, EveryValueIsCheckedBeforeTheFirstRow) {
  const struct {
    Fields fields;
    std::string answer;
  } cases[] = {
      {{{"to", "99"}, {"id", "3"}}, alertAndBack("查无此人")},
      {{{"to", "abc"}, {"id", "3"}}, alertAndBack(kNoReceiver)},
      {{{"to", "2 or 1=1"}, {"id", "3"}}, alertAndBack(kNoReceiver)},
      {{{"to", ""}, {"list", ""}, {"id", "3"}}, alertAndBack(kNoReceiver)},
      {{{"id", "3"}}, alertAndBack(kNoReceiver)},
      {{{"to", "2"}, {"list", "3, abc, 4"}, {"id", "3"}}, alertAndBack(kNoReceiver)},
      {{{"to", "2"}, {"list", "3, 99, 4"}, {"id", "3"}}, alertAndBack("查无此人")},
      {{{"to", "2"}, {"list", "3, , 4"}, {"id", "3"}}, alertAndBack(kNoReceiver)},
      {{{"to", "2"}, {"id", "abc"}}, alertAndBack("请求错误！")},
      {{{"to", "2"}, {"id", "99"}}, alertAndBack("请求错误！")},
      {{{"to", "2"}}, alertAndBack("请求错误！")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    ASSERT_TRUE(give(c.fields));
    EXPECT_EQ(body(), c.answer);
    expectNothingWritten();
  }
  // A guest.
  freshRequest();
  h->request().Form.add("to", "2");
  h->request().Form.add("id", "3");
  zurva z;
  EXPECT_TRUE(endsRequest([&] { z.slw_action(1, "s", "w", kServer, kUser, kPassword, kDatabase); }));
  EXPECT_NE(body().find("非法操作"), std::string::npos);
  expectNothingWritten();
}

TEST_F(GiftSendTest, AFailurePartWayLeavesNothingWritten) {
  // The ledger cannot take the rows: the gift rows and the charge go too.
  run("drop table emoneymx");
  EXPECT_FALSE(give({{"to", "2"}, {"list", "3"}, {"id", "3"}}));  // the error goes to the page
  EXPECT_TRUE(gifts().empty());
  EXPECT_EQ(balance(), "1000");
}

TEST_F(GiftSendTest, TheMessageKeepsItsFirstHundredCharacters) {
  std::string message;
  for (int i = 0; i < 150; ++i) message += i % 2 ? "爱" : "a";
  ASSERT_TRUE(give({{"to", "2"}, {"id", "3"}, {"des", message}}));
  EXPECT_EQ(text("select sm from presentmx"), Left(message, 100));
}

TEST_F(GiftSendTest, SmsNoticesGoWhereTheyCanAndAreCharged) {
  ASSERT_TRUE(give({{"to", "4"}, {"list", "3"}, {"id", "3"}, {"ifsms", "1"}}));
  EXPECT_EQ(body(), alertAndClose(std::string(kDone) + "\\n友3 发送礼物通知短信成功！\\n友4" + kFailedTail));
  ASSERT_EQ(gateway.targets().size(), 1u);
  EXPECT_EQ(gateway.targets()[0], "/send?u=smsuser&p=smspass&to=13900000003&text=" +
                                      gbk::urlEncode("安妮,您有新的礼物来自演示站(http://x/),请登陆网站查收！"));
  EXPECT_EQ(FakeGateway::headerValues(gateway.heads()[0], "content-type"),
            std::vector<std::string>{"text/xml;charset=GB2312"});
  EXPECT_EQ(ledger(), (std::vector<std::string>{"1|7.5|您向友3送去礼物,金银卡会员打五折.",
                                                "1|7.5|您向友4送去礼物,金银卡会员打五折.",
                                                "1|1|发送短信：您向友3发送了一条礼物通知短信"}));
  EXPECT_EQ(balance(), "984");
  EXPECT_EQ(cookieBalance(), "984");

  // Without the box ticked: no notice, no look-up, the plain outcome.
  ASSERT_TRUE(give({{"to", "3"}, {"id", "3"}}));
  EXPECT_EQ(body(), alertAndClose(kDone));
  EXPECT_EQ(gateway.targets().size(), 1u);
}

TEST_F(GiftSendTest, BelowTheSilverCardNoNoticeIsSent) {
  setSender(0, 1000);  // half price, but no notices
  ASSERT_TRUE(give({{"to", "2"}, {"list", "3"}, {"id", "3"}, {"ifsms", "1"}}));
  EXPECT_EQ(body(), alertAndClose(std::string(kDone) + "\\n友3,友2" + kFailedTail));
  EXPECT_TRUE(gateway.targets().empty());
  EXPECT_EQ(balance(), "985");
}

TEST_F(GiftSendTest, AGatewayFailureNeverTakesTheGiftBack) {
  // A gateway that cannot be reached: its error reaches the page, which
  // tells the sender; the gift stays and the notice costs nothing.
  gateway.setAnswer("drop");
  const std::string cause = giveFailing({{"to", "3"}, {"id", "3"}, {"ifsms", "1"}});
  EXPECT_NE(cause.find("无法连接到服务器"), std::string::npos) << cause;
  EXPECT_EQ(gifts().size(), 1u);
  EXPECT_EQ(balance(), "992.5");
  EXPECT_EQ(ledger().back(), "1|-1|短信未发出，退回：发送短信：您向友3发送了一条礼物通知短信");
  // A refused notice and one the balance no longer covers are not sent
  // either; the receiver's name stands in the alert's script string.
  gateway.setAnswer("false");
  run("update zurva_user set nickname=? where userid=3", {Variant("O'Neil</script>")});
  ASSERT_TRUE(give({{"to", "3"}, {"id", "3"}, {"ifsms", "1"}}));
  EXPECT_EQ(body(), alertAndClose(std::string(kDone) + "\\nO\\'Neil<\\/script>" + kFailedTail));
  ASSERT_TRUE(give({{"to", "2"}, {"id", "3"}, {"ifsms", "1"}}));
  EXPECT_EQ(body(), alertAndClose(std::string(kDone) + "\\n友2" + kFailedTail));
  gateway.setAnswer("true");
  setSender(2, 7.5);
  ASSERT_TRUE(give({{"to", "2"}, {"id", "3"}, {"ifsms", "1"}}));
  EXPECT_EQ(body(), alertAndClose(std::string(kDone) + "\\n友2" + kFailedTail));
  EXPECT_EQ(balance(), "0");
}

}  // namespace
}  // namespace zurvafun::testing

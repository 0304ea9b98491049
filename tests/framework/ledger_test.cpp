#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/support_db.h"

namespace zurvafun::testing {
namespace {

using Keys = std::vector<std::pair<std::string, std::string>>;

// The member cookie as the login wrote it for ann.
const Keys kAnnCookie = {
    {"username", "ann@example.com"}, {"password", "59819a11775936d8"}, {"sex", "577"},
    {"userid", "1"}, {"grade", "3"}, {"ok", "1"}, {"trust", "2"}, {"bri", "1980"},
    {"emoney", "1000"}, {"wholook", "abc"}, {"addtime", "2025-01-02 03:04:05"},
    {"nickname", "安妮"}, {"userdata", "1980#f#1#39#北京#北京-北京#124#北京-北京#205"},
    {"field", "301"}, {"mobile", "13800000000#1"},
};

void setCookie(host::TestHost& h, const std::string& name, const Keys& keys) {
  host::SubKeys subKeys;
  for (const auto& [key, value] : keys) subKeys.set(key, value);
  h.request().Cookies.set(name, host::RequestCookie(subKeys));
}

bool endsRequest(const std::function<void()>& call) {
  try {
    call();
  } catch (const VbError& e) {
    return e.isRequestEnd();
  }
  return false;
}

class LedgerTest : public MemberDbTest {
 protected:
  void SetUp() override {
    MemberDbTest::SetUp();
    addMember({.userid = 1, .zurvauser = "ann@example.com", .nickname = "安妮"});
    addMember({.userid = 2, .zurvauser = "bob@example.com", .nickname = "鲍勃", .emoney = 200});
    addMember({.userid = 40000, .zurvauser = "big@example.com", .nickname = "大号", .emoney = 3});
  }

  static void add(zurva& z, const Variant& member, const Variant& amount, const Variant& text) {
    z.loveb_add(member, amount, text, kServer, kUser, kPassword, kDatabase);
  }

  // Every ledger row as "userID|b_count|b_history|b_time".
  static std::vector<std::string> ledger() {
    std::vector<std::string> rows;
    db::Connection conn = open();
    db::Recordset rs = conn.Execute("select userID,b_count,b_history,b_time from emoneymx order by id");
    for (; !rs.eof(); rs.MoveNext())
      rows.push_back(rs(0).str() + "|" + rs(1).str() + "|" + rs(2).str() + "|" + rs(3).str());
    return rows;
  }

  static std::string balances() {
    return value("select emoney from zurva_user where userid=1").str() + "," +
           value("select emoney from zurva_user where userid=2").str();
  }
};

TEST_F(LedgerTest, MemberRecordsMovementsAndNoBalanceChanges) {
  host::TestHost h;
  setCookie(h, "kalimo", {{"username", "ann@example.com"}, {"userid", "1"}});
  zurva z;
  add(z, 1, -50, "<我型我秀>申请:5天");
  add(z, "2", "7.5", "It's a gift");  // the member named need not be the one logged in
  EXPECT_EQ(ledger(), (std::vector<std::string>{
                          "1|-50|<我型我秀>申请:5天|2026-03-15 10:20:30",
                          "2|7.5|It's a gift|2026-03-15 10:20:30",
                      }));
  EXPECT_EQ(balances(), "1000,200");
  EXPECT_EQ(h.response().body(), "");
  EXPECT_FALSE(h.response().ended());
}

TEST_F(LedgerTest, AdministratorAloneMayRecord) {
  host::TestHost h;
  setCookie(h, "zurva_admin", {{"admin_name", "boss"}});
  zurva z;
  add(z, 2, 100, "管理员充值");
  EXPECT_EQ(ledger(), std::vector<std::string>{"2|100|管理员充值|2026-03-15 10:20:30"});
  EXPECT_EQ(balances(), "1000,200");
}

TEST_F(LedgerTest, GuestIsRefused) {
  for (const Keys& kalimo : {Keys{}, Keys{{"username", ""}, {"userid", "1"}}}) {
    host::TestHost h;
    if (!kalimo.empty()) setCookie(h, "kalimo", kalimo);
    setCookie(h, "zurva_admin", {{"admin_name", ""}});
    zurva z;
    EXPECT_TRUE(endsRequest([&] { add(z, 1, 5, "x"); }));
    EXPECT_TRUE(h.response().ended());
    EXPECT_NE(h.response().body().find("非法操作"), std::string::npos);
  }
  EXPECT_TRUE(ledger().empty());
}

TEST_F(LedgerTest, ValuesThatAreNotNumbersNeverReachTheStatement) {
  host::TestHost h;
  setCookie(h, "kalimo", {{"username", "ann@example.com"}, {"userid", "1"}});
  zurva z;
  for (auto [member, amount] : {std::pair<Variant, Variant>{"1,5,'x','2020-01-01');--", 1},
                                std::pair<Variant, Variant>{1, "5 or 1=1"},
                                std::pair<Variant, Variant>{Variant(), 5},
                                std::pair<Variant, Variant>{1, ""}}) {
    try {
      add(z, member, amount, "x");
      ADD_FAILURE() << "accepted " << member.str() << " / " << amount.str();
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), err::TypeMismatch);
    }
  }
  EXPECT_TRUE(ledger().empty());
}

TEST_F(LedgerTest, RowJoinsTheCallersTransaction) {
  host::TestHost h;
  setCookie(h, "kalimo", {{"username", "ann@example.com"}, {"userid", "1"}});
  zurva z;
  db::Connection conn = open();
  EXPECT_THROW(conn.transaction([&] {
    conn.ExecuteAction("update zurva_user set emoney=emoney-50 where userid=1");
    add(z, 1, -50, "短信");
    throw std::runtime_error("gateway refused");
  }),
               std::runtime_error);
  EXPECT_TRUE(ledger().empty());
  EXPECT_EQ(balances(), "1000,200");

  conn.transaction([&] {
    conn.ExecuteAction("update zurva_user set emoney=emoney-50 where userid=1");
    add(z, 1, -50, "短信");
  });
  EXPECT_EQ(ledger(), std::vector<std::string>{"1|-50|短信|2026-03-15 10:20:30"});
  EXPECT_EQ(balances(), "950,200");
}

TEST_F(LedgerTest, DatabaseThatCannotBeOpenedWritesNoRow) {
  host::TestHost h;
  setCookie(h, "kalimo", {{"username", "ann@example.com"}, {"userid", "1"}});
  zurva z;
  EXPECT_NO_THROW(z.loveb_add(1, 5, "x", kServer, kUser, kPassword, Variant("nosuchdb")));
  EXPECT_TRUE(h.response().ended());
  EXPECT_EQ(h.response().body(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(ledger().empty());
  // The response has ended: a later call with a good database stops at once.
  EXPECT_TRUE(endsRequest([&] { add(z, 1, 5, "x"); }));
  EXPECT_TRUE(ledger().empty());
}

TEST_F(LedgerTest, EmoneyCookieFollowsTheBalance) {
  run("update zurva_user set emoney=1234.5 where userid=1");
  host::TestHost h;
  setCookie(h, "kalimo", kAnnCookie);
  zurva z;
  const Variant balance = z.emoneycookies(kServer, kUser, kPassword, kDatabase);
  EXPECT_EQ(balance.str(), "1234.5");
  const host::ResponseCookie* kalimo = h.response().Cookies.find("kalimo");
  ASSERT_NE(kalimo, nullptr);
  Keys expected = kAnnCookie;
  expected[8].second = "1234.5";
  EXPECT_EQ(kalimo->keys().items(), expected);
  EXPECT_EQ(kalimo->Path, "");
  EXPECT_TRUE(kalimo->Expires.isEmpty());
  EXPECT_FALSE(h.response().ended());
}

TEST_F(LedgerTest, EmoneyCookieForAMemberNumberAbove32767) {
  host::TestHost h;
  setCookie(h, "kalimo", {{"username", "big@example.com"}, {"userid", "40000"}});
  zurva z;
  EXPECT_EQ(z.emoneycookies(kServer, kUser, kPassword, kDatabase).str(), "3");
}

TEST_F(LedgerTest, EmoneyCookieFailures) {
  {  // not logged in: the request ends
    host::TestHost h;
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.emoneycookies(kServer, kUser, kPassword, kDatabase); }));
    EXPECT_NE(h.response().body().find("非法操作"), std::string::npos);
    EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
  }
  {  // no database: Empty, the response ends, no error
    host::TestHost h;
    setCookie(h, "kalimo", kAnnCookie);
    zurva z;
    Variant balance = "unset";
    EXPECT_NO_THROW(balance = z.emoneycookies(kServer, Variant("nobody"), kPassword, kDatabase));
    EXPECT_TRUE(balance.isEmpty());
    EXPECT_TRUE(h.response().ended());
    EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
    // The response has ended: a later call stops at once.
    EXPECT_TRUE(endsRequest([&] { z.emoneycookies(kServer, kUser, kPassword, kDatabase); }));
    EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
  }
  // A signed cookie of a member who is gone, or whose member number is not a
  // number, belongs to a guest: no balance, no error, no cookie written.
  for (const char* userid : {"99", "abc", "1e12", "2.5"}) {
    host::TestHost h;
    setCookie(h, "kalimo", {{"username", "ghost@example.com"}, {"userid", userid}});
    zurva z;
    Variant balance = "unset";
    EXPECT_NO_THROW(balance = z.emoneycookies(kServer, kUser, kPassword, kDatabase)) << userid;
    EXPECT_TRUE(balance.isEmpty()) << userid;
    EXPECT_FALSE(h.response().ended()) << userid;
    EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr) << userid;
  }
}

}  // namespace
}  // namespace zurvafun::testing

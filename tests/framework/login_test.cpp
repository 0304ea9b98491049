#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/member_logins.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "tests/support.h"
#include "tests/support_db.h"

namespace zurvafun::testing {
namespace {

// Stored password digests (16 middle hex digits of the MD5).
constexpr const char* kSecret1 = "59819a11775936d8";  // "secret1"
constexpr const char* kPw2 = "b85bd4f11e44c977";      // "pw2"
constexpr const char* kPass3 = "97f88a72528e864c";    // "pass3"
constexpr const char* kLocked4 = "725f7dded7af0f94";  // "locked4"
constexpr const char* kOdd = "7e1ad28bd90f1beb";      // "a'b<c&d"
constexpr const char* k123456 = "49ba59abbe56e057";   // "123456"

const std::string kRefused =
    "<script Language=javaScript>alert('您的用户名不存在或者密码错误或者您的帐号已被管理员锁定或者"
    "您已经成功退回。');top.window.location.href='login.asp';</script></body></html>";

std::string handOffForm(const std::string& userName, const std::string& password) {
  return "<form name='QuorelLoginform' id='QuorelLoginform' action='bbs/login.asp?action=chk' "
         "method='post'>"
         "\t<input type='hidden' name='UserName' value='" + userName + "'>"
         "\t<input type='hidden' name='Password' value='" + password + "'>"
         "\t<input type='hidden' name='CookieDate' value='0'>"
         "    <input type='hidden'  name='userhidden' value='2'/>"
         "\t<input type='hidden' name='ComeUrl' value=''>"
         "</form>"
         "    <script language='javascript'>document.QuorelLoginform.submit();</script>";
}

class LoginTest : public MemberDbTest {
 protected:
  void SetUp() override {
    MemberDbTest::SetUp();
    // ann: verified, with a forum account; bob: verified without one, Null
    // mobile and wholook; cat: unverified and closed; dan: locked; eve: a
    // quote in the account name and markup in the password; fay: userdata
    // without a birth year.
    addMember({.userid = 1, .zurvauser = "ann@example.com", .nickname = "安妮", .digest = kSecret1});
    addMember({.userid = 2, .zurvauser = "bob@example.com", .nickname = "鲍勃", .digest = kPw2,
               .wholook = Variant::null(), .mobile = Variant::null(), .logins = 5});
    addMember({.userid = 3, .zurvauser = "cat@example.com", .nickname = "小猫", .digest = kPass3,
               .ok = 0, .ifclose = 1});
    addMember({.userid = 4, .zurvauser = "dan@example.com", .nickname = "阿丹", .digest = kLocked4,
               .ifdel = 1});
    addMember({.userid = 5, .zurvauser = "o'neil@example.com", .nickname = "伊芙", .digest = kOdd});
    addMember({.userid = 6, .zurvauser = "fay@example.com", .nickname = "菲菲", .digest = k123456,
               .userdata = "未知#f#1#39#北京#北京-北京#124#北京-北京#205"});
    addForumAccount("安妮");
    addForumAccount("伊芙");
    addForumAccount("小猫");
  }

  // Posts the login form and runs the handler on a new instance, as the
  // site's login page does, on a site with a forum (unless `forum` is false).
  // URL mode 0: links come out in the ".asp" form.
  static void login(host::TestHost& h, const std::string& name, const std::string& password,
                    const std::string& logType = "1", const std::string& inpass = "",
                    bool forum = true) {
    h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant("a##b##c##d##0")}));
    if (forum) h.application().set("zurva_forum", Variant(VariantArray{Variant("1")}));
    if (!h.request().ServerVariables.contains("REMOTE_ADDR"))
      h.request().ServerVariables.set("REMOTE_ADDR", "10.0.0.7");
    h.request().Form.add("username", name);
    h.request().Form.add("password", password);
    h.request().Form.add("log_type", logType);
    h.request().Form.add("inpass", inpass);
    zurva z;
    z.chklogin(kServer, kUser, kPassword, kDatabase);
  }

  static std::string cookie(host::TestHost& h, const char* name, const char* key) {
    const host::ResponseCookie* c = h.response().Cookies.find(name);
    return c ? c->subKey(key).str() : "<no cookie>";
  }
};

TEST_F(LoginTest, AccountOrNicknameLogsInAsTheAccount) {
  for (auto [logType, name] : {std::pair{"1", "ann@example.com"}, std::pair{"2", "安妮"},
                               std::pair{"", "ANN@example.com  "}}) {
    SCOPED_TRACE(name);
    host::TestHost h;
    login(h, name, "secret1", logType);
    EXPECT_EQ(cookie(h, "kalimo", "username"), "ann@example.com");
    EXPECT_EQ(cookie(h, "kalimo", "nickname"), "安妮");
    EXPECT_EQ(h.response().body(), handOffForm("ann@example.com", "secret1"));
    EXPECT_FALSE(h.response().ended());
  }
}

TEST_F(LoginTest, MemberCookieHoldsTheLoginsSubKeysInOrderThenTheRowsNumber) {
  run("update zurva_user set cookiever=7 where userid=1");
  host::TestHost h;
  login(h, "ann@example.com", "secret1");
  const host::ResponseCookie* kalimo = h.response().Cookies.find("kalimo");
  ASSERT_NE(kalimo, nullptr);
  EXPECT_EQ(kalimo->Path, "/");
  EXPECT_TRUE(kalimo->Expires.isEmpty());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"username", "ann@example.com"},
      {"password", kSecret1},
      {"sex", "577"},
      {"userid", "1"},
      {"grade", "3"},
      {"ok", "1"},
      {"trust", "2"},
      {"bri", "1980"},
      {"emoney", "1000"},
      {"wholook", "abc"},
      {"addtime", "2025-01-02 03:04:05"},
      {"nickname", "安妮"},
      {"userdata", "1980#f#1#39#北京#北京-北京#124#北京-北京#205"},
      {"field", "301"},
      {"mobile", "13800000000#1"},
      {"ver", "7"},
  };
  EXPECT_EQ(kalimo->keys().items(), expected);
}

TEST_F(LoginTest, NullMobileAndWholookAndTheForumWarning) {
  host::TestHost h;
  login(h, "bob@example.com", "pw2");
  EXPECT_EQ(cookie(h, "kalimo", "mobile"), "#");
  EXPECT_EQ(cookie(h, "kalimo", "wholook"), "");
  // Verified but without a forum account: logged in to the site, warned.
  EXPECT_EQ(cookie(h, "kalimo", "username"), "bob@example.com");
  EXPECT_EQ(h.response().body(),
            "<script Language=javaScript>alert('您的论坛帐号异常！');"
            "top.window.location.href='/indexw.asp';</script></body></html>");
}

TEST_F(LoginTest, UnverifiedMemberIsLoggedInButNotHandedToTheForum) {
  host::TestHost h;
  login(h, "cat@example.com", "pass3");  // also closed: ifclose does not matter
  EXPECT_EQ(cookie(h, "kalimo", "username"), "cat@example.com");
  EXPECT_EQ(cookie(h, "kalimo", "ok"), "0");
  EXPECT_EQ(h.response().body(),
            "<script Language=javaScript>alert('由于您目前未通过注册验证，故未开放论坛帐号，"
            "有任何疑问请联系我们的客服！');top.window.location.href='indexw.asp';</script>"
            "</body></html>");
}

TEST_F(LoginTest, LoginIsRecordedOnTheRow) {
  {
    host::TestHost h;
    h.request().ServerVariables.set("REMOTE_ADDR", "10.0.'0.7");
    login(h, "ann@example.com", "secret1");
  }
  EXPECT_EQ(value("select logins from zurva_user where userid=1").str(), "1");
  EXPECT_EQ(value("select loginip from zurva_user where userid=1").str(), "10.0.0.7");
  EXPECT_EQ(value("select lasttime from zurva_user where userid=1").str(), "2026-03-15 10:20:30");
  {
    host::TestHost h;
    login(h, "安妮", "secret1", "2");
  }
  EXPECT_EQ(value("select logins from zurva_user where userid=1").str(), "2");
  {
    host::TestHost h;
    login(h, "bob@example.com", "pw2");
  }
  EXPECT_EQ(value("select logins from zurva_user where userid=2").str(), "6");
}

TEST_F(LoginTest, RefusedLoginsWriteNothing) {
  struct Case {
    const char* what;
    const char* name;
    const char* password;
    const char* logType;
  };
  const Case cases[] = {
      {"wrong password", "ann@example.com", "secret2", "1"},
      {"unknown account", "nobody@example.com", "secret1", "1"},
      {"nickname typed as account", "安妮", "secret1", "1"},
      {"locked member", "dan@example.com", "locked4", "1"},
      {"injection in the account name", "x' or 1=1--", "whatever", "1"},
      {"injection in the nickname", "' or ''='", "whatever", "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::TestHost h;
    login(h, c.name, c.password, c.logType, "1");
    EXPECT_EQ(h.response().body(), kRefused);
    EXPECT_FALSE(h.response().ended());
    EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
    EXPECT_EQ(h.response().Cookies.find("rupeni"), nullptr);
  }
  EXPECT_EQ(value("select count(*) from zurva_user where logins is not null and userid<>2").str(),
            "0");
  EXPECT_EQ(value("select logins from zurva_user where userid=2").str(), "5");
}

TEST_F(LoginTest, QuotesInTheNameAndMarkupInThePasswordAreSafe) {
  host::TestHost h;
  login(h, "o'neil@example.com", "a'b<c&d");
  EXPECT_EQ(cookie(h, "kalimo", "username"), "o'neil@example.com");
  EXPECT_EQ(h.response().body(),
            handOffForm("o&#39;neil@example.com", "a&#39;b&lt;c&amp;d"));
}

// The remember-me cookie holds a random token, never the password; the row
// keeps only the token's SHA-256.
TEST_F(LoginTest, RememberMeCookieHoldsATokenNotThePassword) {
  std::string token;
  {
    host::TestHost h;
    login(h, "安妮", "secret1", "2", "1");
    const host::ResponseCookie* rupeni = h.response().Cookies.find("rupeni");
    ASSERT_NE(rupeni, nullptr);
    EXPECT_EQ(rupeni->Expires.str(), "2026-04-15");
    EXPECT_EQ(rupeni->Path, "");
    token = rupeni->subKey("pass").str();
    EXPECT_TRUE(logins::wellFormedToken(token)) << token;
    const std::vector<std::pair<std::string, std::string>> remembered = {
        {"pass", token}, {"inpass", "1"}, {"user", "安妮"}, {"log_type", "2"}};
    EXPECT_EQ(rupeni->keys().items(), remembered);
    EXPECT_EQ(rupeni->text().find("secret1"), std::string::npos);
  }
  EXPECT_EQ(value("select remembertoken from zurva_user where userid=1").str(),
            logins::tokenDigest(token));
  {
    host::TestHost h;
    login(h, "ann@example.com", "secret1", "1", "");
    const host::ResponseCookie* rupeni = h.response().Cookies.find("rupeni");
    ASSERT_NE(rupeni, nullptr);
    EXPECT_EQ(rupeni->Expires.str(), "2026-04-15");
    const std::vector<std::pair<std::string, std::string>> forgotten = {
        {"pass", ""}, {"inpass", ""}, {"user", ""}, {"log_type", ""}};
    EXPECT_EQ(rupeni->keys().items(), forgotten);
  }
  // Two logins never draw the same token.
  host::TestHost h;
  login(h, "ann@example.com", "secret1", "1", "1");
  EXPECT_NE(cookie(h, "rupeni", "pass"), token);
}

// The login form posted with the box ticked and no password logs in with the
// browser's remembered token, once: each such login draws a new one.
TEST_F(LoginTest, ARememberedLoginNeedsNoPasswordAndRenewsItsToken) {
  const auto remembered = [&](const std::string& name, const std::string& logType) {
    host::TestHost h;
    login(h, name, "secret1", logType, "1");
    return cookie(h, "rupeni", "pass");
  };
  // The browser comes back with its remember-me cookie and posts the form
  // as the login page fills it in.
  const auto comeBack = [&](host::TestHost& h, const std::string& token, const std::string& name,
                            const std::string& logType, const std::string& inpass = "1") {
    host::SubKeys keys;
    keys.set("pass", token);
    keys.set("inpass", "1");
    keys.set("user", name);
    keys.set("log_type", logType == "2" ? "2" : "");
    h.request().Cookies.set("rupeni", host::RequestCookie(keys));
    login(h, name, "", logType, inpass);
  };

  const std::string first = remembered("安妮", "2");
  std::string second;
  {
    host::TestHost h;
    comeBack(h, first, "安妮", "2");
    EXPECT_EQ(cookie(h, "kalimo", "username"), "ann@example.com");
    second = cookie(h, "rupeni", "pass");
    EXPECT_TRUE(logins::wellFormedToken(second));
    EXPECT_NE(second, first);
    // The forum gets no password: none was typed.
    EXPECT_EQ(h.response().body(), handOffForm("ann@example.com", ""));
  }
  EXPECT_EQ(value("select logins from zurva_user where userid=1").str(), "2");

  struct Case {
    const char* what;
    std::string token;
    const char* name;
    const char* logType;
    const char* inpass;
  };
  const Case refused[] = {
      {"the token used before", first, "安妮", "2", "1"},
      {"another member's name", second, "bob@example.com", "1", "1"},
      {"the box not ticked", second, "安妮", "2", ""},
      {"a token that is no token", second.substr(1) + "g", "安妮", "2", "1"},
      {"no token", "", "安妮", "2", "1"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.what);
    host::TestHost h;
    comeBack(h, c.token, c.name, c.logType, c.inpass);
    EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
    EXPECT_EQ(h.response().body(), kRefused);
  }
  // A locked member's token logs nobody in.
  run("update zurva_user set ifdel=1 where userid=1");
  host::TestHost h;
  comeBack(h, second, "安妮", "2");
  EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
}

// A site without a forum: no hand-off form, so the typed password never
// comes back; the member goes to the member home, verified or not.
TEST_F(LoginTest, WithoutAForumTheMemberGoesHomeAndThePasswordStaysUnwritten) {
  for (const auto& [name, password] :
       {std::pair{"ann@example.com", "secret1"}, std::pair{"bob@example.com", "pw2"},
        std::pair{"cat@example.com", "pass3"}}) {
    SCOPED_TRACE(name);
    host::TestHost h;
    login(h, name, password, "1", "1", false);
    EXPECT_EQ(cookie(h, "kalimo", "username"), name);
    EXPECT_EQ(h.response().body(),
              "<script "
              "Language=javaScript>top.window.location.href='indexw.asp';</script></body></html>");
    EXPECT_FALSE(h.response().ended());
  }
}

TEST_F(LoginTest, MemberWithoutBirthYearStillLogsIn) {
  host::TestHost h;
  login(h, "fay@example.com", "123456");
  EXPECT_EQ(cookie(h, "kalimo", "username"), "fay@example.com");
  EXPECT_EQ(cookie(h, "kalimo", "bri"), "");
  EXPECT_EQ(value("select logins from zurva_user where userid=6").str(), "1");
}

TEST_F(LoginTest, LoggedInOnTheNextRequest) {
  host::TestHost h;
  login(h, "ann@example.com", "secret1");
  h.nextRequest();
  EXPECT_EQ(h.request().Cookies("kalimo")("username").str(), "ann@example.com");
  EXPECT_EQ(h.request().Cookies("kalimo")("userid").str(), "1");
}

TEST_F(LoginTest, DatabaseThatCannotBeOpenedEndsTheResponseQuietly) {
  host::TestHost h;
  h.request().Form.add("username", "ann@example.com");
  h.request().Form.add("password", "secret1");
  zurva z;
  EXPECT_NO_THROW(z.chklogin(kServer, kUser, Variant("wrong"), kDatabase));
  EXPECT_TRUE(h.response().ended());
  EXPECT_EQ(h.response().body(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
  EXPECT_TRUE(value("select logins from zurva_user where userid=1").isNull());
  // The response has ended, so the instance does nothing more, even with a
  // database it can open: the next call stops at once.
  EXPECT_EQ(errorOf([&] { z.chklogin(kServer, kUser, kPassword, kDatabase); }), RequestEndError);
  EXPECT_EQ(h.response().body(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_EQ(h.response().Cookies.find("kalimo"), nullptr);
  EXPECT_TRUE(value("select logins from zurva_user where userid=1").isNull());
}

}  // namespace
}  // namespace zurvafun::testing

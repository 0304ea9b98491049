// How a member's logins end, over HTTP against the demo site as it ships: a
// copied member cookie stops counting at the logout, at a lock and at a
// password change (the member row holds the number the cookie must carry),
// and the remember-me cookie holds a token, never the password. Logins
// racing for one member row are each counted, and a remembered token logs
// in once however many browsers send it at once.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class MemberLoginsE2E : public e2e::ShippedSiteSuite<MemberLoginsE2E> {
 protected:
  static RawResponse login(const std::string& account, const std::string& password,
                           bool remember = false, const std::string& cookies = "") {
    return rawPost("/chklogin.asp",
                   gbkForm({{"username", account},
                            {"password", password},
                            {"log_type", "1"},
                            {"inpass", remember ? "1" : ""}}),
                   "Referer: http://127.0.0.1/login.html\r\n" +
                       (cookies.empty() ? "" : "Cookie: " + cookies + "\r\n"));
  }
  static std::string memberCookie(const std::string& account, const std::string& password) {
    return cookiePair(login(account, password).setCookie("kalimo"));
  }
  static std::string cookieHeader(const std::string& pairs) { return "Cookie: " + pairs + "\r\n"; }
  // The member home greets the member the cookie names.
  static bool greeted(const std::string& cookie, const std::string& nickname) {
    return utf8(rawGet("/indexw.asp", cookieHeader(cookie))).find("欢迎您，" + nickname + "！") !=
           std::string::npos;
  }
};

// A cookie copied before the logout (another browser's, or one taken off the
// wire) is a guest's from the logout on; the page drops it.
TEST_F(MemberLoginsE2E, TheLogoutEndsEveryCopyOfTheMemberCookie) {
  const std::string kept = memberCookie("demo2@example.com", "demo456");
  const std::string otherBrowser = memberCookie("demo2@example.com", "demo456");
  ASSERT_FALSE(kept.empty());
  ASSERT_TRUE(greeted(kept, "演示二号"));
  ASSERT_TRUE(greeted(otherBrowser, "演示二号"));

  const RawResponse out = rawPost("/logout.asp", "", cookieHeader(kept));
  EXPECT_EQ(out.status, 302);

  for (const std::string& cookie : {kept, otherBrowser}) {
    const RawResponse home = rawGet("/indexw.asp", cookieHeader(cookie));
    EXPECT_EQ(utf8(home).find("欢迎您"), std::string::npos);
    EXPECT_NE(utf8(home).find("请先"), std::string::npos);  // asked to log in
    EXPECT_NE(home.setCookie("kalimo").find("expires="), std::string::npos)
        << home.setCookie("kalimo");
  }
  // Nor does the old cookie act: a gift sent with it is refused, nothing given.
  const std::string given = query("select count(*) from presentmx where senduserid=2");
  const RawResponse gift =
      rawPost("/sendsave.html", gbkForm({{"to", "1"}, {"id", "6"}}), cookieHeader(kept));
  EXPECT_NE(utf8(gift).find("非法操作"), std::string::npos) << utf8(gift);
  EXPECT_EQ(query("select count(*) from presentmx where senduserid=2"), given);

  // A new login works as before, also from the browser that still sends the
  // old cookie.
  const RawResponse again = login("demo2@example.com", "demo456", false, kept);
  EXPECT_EQ(again.setCookie("kalimo").find("expires="), std::string::npos) << again.setCookie("kalimo");
  EXPECT_TRUE(greeted(cookiePair(again.setCookie("kalimo")), "演示二号"));
}

// A lock takes effect on the member's next page, whoever wrote it; a new
// password set by the administrator ends the member's logins too (see
// ProfileE2E.AnAdministratorEditsAMember for the password).
TEST_F(MemberLoginsE2E, ALockEndsTheMembersCookieAtOnce) {
  const std::string cookie = memberCookie("member5@example.com", "123456");
  ASSERT_FALSE(cookie.empty());
  const std::string nickname = query("select nickname from zurva_user where userid=5");
  ASSERT_TRUE(greeted(cookie, nickname));
  ASSERT_TRUE(execute("update zurva_user set ifdel=1 where userid=5"));
  EXPECT_FALSE(greeted(cookie, nickname));
  EXPECT_EQ(memberCookie("member5@example.com", "123456"), "");
  ASSERT_TRUE(execute("update zurva_user set ifdel=0 where userid=5"));
}

// The remember-me cookie holds a random token whose SHA-256 the member row
// keeps; the login form offers the remembered login without the password,
// and the logout ends it.
TEST_F(MemberLoginsE2E, TheRememberedLoginKeepsNoPasswordAndEndsWithTheLogout) {
  const RawResponse first = login("demo1@example.com", "demo123", true);
  const std::string remembered = first.setCookie("rupeni");
  ASSERT_FALSE(remembered.empty());
  // Neither the cookie nor the answer (no forum: no hand-off form) holds the password.
  EXPECT_EQ(remembered.find("demo123"), std::string::npos) << remembered;
  EXPECT_EQ(first.body.find("demo123"), std::string::npos) << first.body;
  const std::string stored = query("select remembertoken from zurva_user where userid=1");
  EXPECT_EQ(stored.size(), 64u);
  EXPECT_EQ(remembered.find(stored), std::string::npos);

  // The login page offers the remembered login: the name, the box ticked.
  const std::string form = utf8(rawGet("/login.asp", cookieHeader(cookiePair(remembered))));
  EXPECT_NE(form.find("name=\"username\" size=\"30\" value=\"demo1@example.com\""),
            std::string::npos)
      << form;
  EXPECT_NE(form.find("name=\"inpass\" value=\"1\" checked"), std::string::npos);
  EXPECT_NE(form.find("已记住您的登录"), std::string::npos);
  EXPECT_EQ(form.find("demo123"), std::string::npos);
  // A browser without it gets the empty form.
  EXPECT_EQ(utf8(rawGet("/login.asp")).find("checked"), std::string::npos);

  // The form posted as offered, without the password, logs in, with a new token.
  const RawResponse again = login("demo1@example.com", "", true, cookiePair(remembered));
  const std::string member = cookiePair(again.setCookie("kalimo"));
  ASSERT_FALSE(member.empty()) << utf8(again);
  EXPECT_TRUE(greeted(member, "演示一号"));
  const std::string renewed = again.setCookie("rupeni");
  EXPECT_NE(cookiePair(renewed), cookiePair(remembered));
  // The token used is spent.
  EXPECT_EQ(login("demo1@example.com", "", true, cookiePair(remembered)).setCookie("kalimo"), "");

  // The logout ends the remembered login too.
  rawPost("/logout.asp", "", cookieHeader(member));
  EXPECT_EQ(login("demo1@example.com", "", true, cookiePair(renewed)).setCookie("kalimo"), "");
  EXPECT_EQ(utf8(rawGet("/login.asp", cookieHeader(cookiePair(renewed)))).find("checked"),
            std::string::npos);
  EXPECT_EQ(query("select remembertoken is null from zurva_user where userid=1"), "1");
}

// Runs `body` on `browsers` threads at once and counts the member cookies
// (kalimo) its logins were answered with.
template <class Body>
int racingLogins(int browsers, Body body) {
  std::atomic<int> cookies{0};
  std::vector<std::thread> threads;
  for (int b = 0; b < browsers; ++b) threads.emplace_back([&] { cookies += body(); });
  for (std::thread& t : threads) t.join();
  return cookies;
}

// Every login reads the member's count of logins and writes it back one
// higher: logins racing for one row lose no count.
TEST_F(MemberLoginsE2E, RacingLoginsOfOneMemberAreEachCounted) {
  constexpr int kBrowsers = 16, kEach = 6;
  const long before = std::stol("0" + query("select logins from zurva_user where userid=7"));
  const int cookies = racingLogins(kBrowsers, [] {
    int got = 0;
    for (int i = 0; i < kEach; ++i)
      got += !login("member7@example.com", "123456").setCookie("kalimo").empty();
    return got;
  });
  EXPECT_EQ(cookies, kBrowsers * kEach);
  EXPECT_EQ(std::stol(query("select logins from zurva_user where userid=7")),
            before + kBrowsers * kEach);
}

// A remembered token is spent by the login that takes it: the same cookie
// sent by many browsers at once logs in exactly one of them.
TEST_F(MemberLoginsE2E, ARememberedTokenSentAtOnceLogsInOnce) {
  const std::string remembered =
      cookiePair(login("member8@example.com", "123456", true).setCookie("rupeni"));
  ASSERT_FALSE(remembered.empty());
  const int cookies = racingLogins(16, [&] {
    return int(!login("member8@example.com", "", true, remembered).setCookie("kalimo").empty());
  });
  EXPECT_EQ(cookies, 1);
}

}  // namespace
}  // namespace zurvafun

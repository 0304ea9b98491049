// The demo site's member and message pages over real HTTP: the server binary
// with a freshly seeded demo database (the three demo accounts), in the
// static link mode, driven the way a browser would: forms posted in GBK,
// cookies sent back as they were set, scripts and redirects followed.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class SiteE2E : public e2e::ServerSuite<SiteE2E> {
 public:
  static std::string settings() { return e2e::demoSiteSettings(3); }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  // The login form posted from the site's own login page.
  static RawResponse login(const std::string& username, const std::string& password, const std::string& logType,
                           const std::string& referer = "http://127.0.0.1/login.html") {
    return rawPost("/chklogin.asp",
                   gbkForm({{"username", username},
                            {"password", password},
                            {"log_type", logType},
                            {"inpass", "1"}}),
                   referer.empty() ? "" : "Referer: " + referer + "\r\n", !referer.empty());
  }
  static std::string cookieHeader(const std::string& pair) { return "Cookie: " + pair + "\r\n"; }
  static bool holds(const std::string& gbkBody, const std::string& utf8) {
    return gbkBody.find(gbk::fromUtf8(utf8)) != std::string::npos;
  }

  // Logs in as a browser does: posts the login form, then follows the
  // answer's script to the member home (the demo site has no forum, so no
  // hand-off form is written: the typed password never comes back). Returns
  // the member cookie and the member home's body.
  static std::pair<std::string, std::string> loginToMemberHome(const std::string& username,
                                                               const std::string& password,
                                                               const std::string& logType) {
    const RawResponse answer = login(username, password, logType);
    EXPECT_EQ(answer.status, 200);
    const std::string member = cookiePair(answer.setCookie("kalimo"));
    EXPECT_FALSE(member.empty()) << gbk::toUtf8(answer.body);
    EXPECT_EQ(answer.body.find("QuorelLoginform"), std::string::npos) << answer.body;
    EXPECT_EQ(answer.body.find(gbk::fromUtf8(password)), std::string::npos) << answer.body;

    std::smatch target;
    EXPECT_TRUE(std::regex_search(answer.body, target,
                                  std::regex("top\\.window\\.location\\.href='([^']*)'")))
        << answer.body;
    if (target.empty()) return {member, ""};
    EXPECT_EQ(target[1].str(), "indexw.html");
    const RawResponse home = rawGet("/" + target[1].str(), cookieHeader(member));
    EXPECT_EQ(home.status, 200);
    return {member, home.body};
  }
};

TEST_F(SiteE2E, LoginByAccountGreetsTheMemberWithHerBalance) {
  const auto [member, home] = loginToMemberHome("demo1@example.com", "demo123", "1");
  EXPECT_NE(member.find("username=demo1%40example%2Ecom&"), std::string::npos) << member;
  EXPECT_NE(home.find("\xD1\xDD\xCA\xBE\xD2\xBB\xBA\xC5"), std::string::npos);  // 演示一号 in GBK
  // The member bar: nickname, grade badge (a gold card), balance.
  const std::string bar =
      "欢迎您，演示一号！<img src=\"/Images/golduser3.gif\" border=\"0\" alt=\"金卡会员\" "
      "title=\"金卡会员\">　您的 E币 余额：1000　"
      "<a href=\"/indexw.html\">会员中心</a>　<form class=\"linkform\" method=\"post\" "
      "action=\"/logout.html\"><button type=\"submit\" "
      "class=\"linkbutton\">退出登录</button></form>";
  EXPECT_TRUE(holds(home, bar)) << gbk::toUtf8(home);

  // Every page of the site carries the same bar; a visitor gets the login link.
  const RawResponse siteHome = rawGet("/index.asp", cookieHeader(member));
  EXPECT_TRUE(holds(siteHome.body, bar));
  const RawResponse visitor = rawGet("/index.asp");
  EXPECT_FALSE(holds(visitor.body, "欢迎您"));
  EXPECT_TRUE(holds(visitor.body, "您好，欢迎光临！　<a href=\"/login.html\">会员登录</a>　<a href=\"/reg.html\">免费注册</a>"));
}

TEST_F(SiteE2E, LoginByNicknameKeepsTheAccountNameInTheCookie) {
  const auto [member, home] = loginToMemberHome("演示二号", "demo456", "2");
  EXPECT_NE(member.find("username=demo2%40example%2Ecom&"), std::string::npos) << member;
  EXPECT_TRUE(holds(home,
                    "欢迎您，演示二号！<img src=\"/Images/silleruser2.gif\" border=\"0\" "
                    "alt=\"银卡会员\" title=\"银卡会员\">　您的 E币 余额：200　"))
      << gbk::toUtf8(home);
}

TEST_F(SiteE2E, RefusedLoginsWriteNoMemberCookie) {
  const struct {
    const char* why;
    const char* username;
    const char* password;
    const char* logType;
  } cases[] = {
      {"wrong password", "demo1@example.com", "demo124", "1"},
      {"locked account", "demo3@example.com", "demo789", "1"},
      {"locked account by nickname", "演示三号", "demo789", "2"},
      {"nickname without the nickname login type", "演示一号", "demo123", "1"},
      {"unknown account", "nobody@example.com", "demo123", "1"},
      {"quotes in the name", "demo1@example.com' or 'a'='a", "x' or 'a'='a", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const RawResponse r = login(c.username, c.password, c.logType);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.setCookie("kalimo"), "");
    EXPECT_TRUE(holds(r.body, "alert('您的用户名不存在或者密码错误或者您的帐号已被管理员锁定或者您已经成功退回。');"
                              "top.window.location.href='login.html';"))
        << gbk::toUtf8(r.body);
  }
  // The login form the refusal goes back to.
  const RawResponse form = rawGet("/login.html");
  EXPECT_EQ(form.status, 200);
  for (const char* field : {"name=\"username\"", "name=\"password\"", "name=\"log_type\"",
                            "name=\"inpass\" value=\"1\"", "action=\"/chklogin.asp\""})
    EXPECT_NE(form.body.find(field), std::string::npos) << field;
}

TEST_F(SiteE2E, LogoutExpiresTheMemberCookie) {
  const RawResponse answer = login("demo1@example.com", "demo123", "1");
  const std::string member = cookiePair(answer.setCookie("kalimo"));
  ASSERT_FALSE(member.empty());

  // The logout is the member bar's post; a link or a page of another site
  // (a GET, a post from elsewhere) logs nobody out.
  // (The member bar of a page may write the cookie anew; it never empties it.)
  const RawResponse asked = rawGet("/logout.asp", cookieHeader(member));
  EXPECT_TRUE(holds(asked.body, "确定退出登录吗？"));
  EXPECT_NE(asked.setCookie("kalimo").rfind("kalimo=.", 0), 0u);
  const RawResponse foreign =
      rawPost("/logout.asp", "", cookieHeader(member) + "Origin: http://evil.example\r\n");
  EXPECT_EQ(foreign.status, 403);
  EXPECT_NE(foreign.setCookie("kalimo").rfind("kalimo=.", 0), 0u);

  const RawResponse out = rawPost("/logout.asp", "", cookieHeader(member));
  EXPECT_EQ(out.status, 302);
  EXPECT_EQ(out.header("Location"), "/index.asp");  // the home page
  const std::string cleared = out.setCookie("kalimo");
  EXPECT_EQ(cleared.rfind("kalimo=.", 0), 0u) << cleared;  // empty text, then the signature
  EXPECT_NE(cleared.find("; path=/;"), std::string::npos);
  std::smatch expires;
  ASSERT_TRUE(std::regex_search(cleared, expires, std::regex("expires=([^;]+)"))) << cleared;
  std::tm tm{};
  ASSERT_NE(::strptime(expires[1].str().c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm), nullptr);
  EXPECT_LT(::timegm(&tm), std::time(nullptr));

  // A browser that still sent the emptied cookie is no longer greeted.
  const RawResponse home = rawGet("/indexw.asp", cookieHeader(cookiePair(cleared)));
  EXPECT_EQ(home.status, 200);
  EXPECT_FALSE(holds(home.body, "欢迎您"));
  EXPECT_TRUE(holds(home.body, "<a href=\"/login.html\">会员登录</a>"));
}

TEST_F(SiteE2E, HomePageShowsWhatTheSiteOffersNow) {
  const RawResponse home = rawGet("/");
  EXPECT_EQ(home.status, 200);
  // One login link, in the member line; no promise of pages that do not exist.
  size_t logins = 0;
  const std::string loginLink = "href=\"/login.";
  for (size_t at = home.body.find(loginLink); at != std::string::npos; at = home.body.find(loginLink, at + 1))
    ++logins;
  EXPECT_EQ(logins, 1u) << gbk::toUtf8(home.body);
  EXPECT_FALSE(holds(home.body, "会员资料与相册、会员搜索"));
  EXPECT_TRUE(holds(home.body, "开发者页面"));
  EXPECT_TRUE(holds(home.body, "<link rel=\"icon\" href=\"/favicon.ico\""));
  const RawResponse icon = rawGet("/favicon.ico");
  EXPECT_EQ(icon.status, 200);
  EXPECT_EQ(icon.body.substr(0, 4), std::string("\0\0\1\0", 4));
  // Every link of the home page leads to a page that exists.
  const std::regex linkPattern("href=\"(/[^\"]*)\"");
  for (std::sregex_iterator m(home.body.begin(), home.body.end(), linkPattern), end; m != end; ++m)
    EXPECT_EQ(rawGet((*m)[1].str()).status, 200) << (*m)[1].str();
}

// The home page, the city page and the quick search load the city table as
// the site's script file, which the browser keeps, instead of carrying it.
TEST_F(SiteE2E, PagesWithTheGalleryLoadTheCityTableAsAFile) {
  for (const char* path :
       {"/", "/city.asp?city=0&city1=0", "/quicksearch.asp?sex=577&agefrom=20&ageto=30"}) {
    const RawResponse page = rawGet(path);
    EXPECT_EQ(page.status, 200) << path;
    EXPECT_TRUE(
        holds(page.body, "<script type=\"text/javascript\" src=\"/js/citytable.js\"></script>"))
        << path;
    EXPECT_FALSE(holds(page.body, "subcat[0] = ")) << path;
  }
  const RawResponse table = rawGet("/js/citytable.js");
  EXPECT_EQ(table.status, 200);
  EXPECT_EQ(table.header("Cache-Control"), "public, max-age=3600");
  EXPECT_TRUE(holds(table.body, "subcat[0] = new Array(\"广州市\",\"广东\",\"广州市\");\r\n"));
  EXPECT_TRUE(gbk::toUtf8(table.body).ends_with("onecount=467;\r\n"));
}

TEST_F(SiteE2E, AMissingPageIsAnsweredInTheSitesLook) {
  for (const char* path : {"/no-such-page.asp", "/no_such_page.html", "/images/none.gif", "/nofolder/"}) {
    const RawResponse r = rawGet(path);
    EXPECT_EQ(r.status, 404) << path;
    EXPECT_EQ(r.header("Content-Type"), "text/html; charset=gb2312") << path;
    EXPECT_TRUE(holds(r.body, "页面不存在")) << path;
    EXPECT_TRUE(holds(r.body, "<a href=\"/index.asp\">返回首页</a>")) << path;
  }
}

TEST_F(SiteE2E, MessageDemosShowEachForm) {
  const RawResponse alert = rawGet("/demo/messages.asp?what=msg&code=-1&form=1");
  EXPECT_EQ(alert.status, 200);  // the request-end error of Msg ends the page normally
  const std::string expected = gbk::fromUtf8(
      "<script Language=javaScript>alert('这是一条演示信息：Msg 提示框（-1）：返回上一页。');history.go(-1);"
      "</script></body></html>");
  ASSERT_GE(alert.body.size(), expected.size());
  EXPECT_EQ(alert.body.substr(alert.body.size() - expected.size()), expected) << gbk::toUtf8(alert.body);

  // The home page links the developers' page; every link of it shows its form.
  const RawResponse home = rawGet("/index.asp");
  ASSERT_TRUE(holds(home.body, "<li><a href=\"/demo/messages_index.asp\">"));
  const std::string indexMark = gbk::fromUtf8("开发者页面：组件提示信息一览");
  const RawResponse index = rawGet("/demo/messages_index.html");
  ASSERT_NE(index.body.find(indexMark), std::string::npos);
  std::vector<std::string> links;
  const std::regex linkPattern("<li><a href=\"([^\"]+)\"");
  for (std::sregex_iterator m(index.body.begin(), index.body.end(), linkPattern), end; m != end; ++m)
    links.push_back((*m)[1].str());
  EXPECT_EQ(links.size(), 14u);  // Msg: 4 targets in 2 forms; MsgOut: 4 modes; Msg1; zurva_error
  for (const std::string& link : links) {
    const RawResponse r = rawGet(link.front() == '/' ? link : "/demo/" + link);
    EXPECT_EQ(r.status, 200) << link;
    EXPECT_EQ(r.body.find(indexMark), std::string::npos) << link;
    EXPECT_TRUE(holds(r.body, "这是一条演示信息") || holds(r.body, "产生错误的可能原因")) << link;
  }

  // Where the demos go afterwards, and a combination that is not listed.
  EXPECT_NE(rawGet("/demo/index.asp").body.find(indexMark), std::string::npos);
  const RawResponse other = rawGet("/demo/messages.asp?what=msg&code=javascript:alert(1)&form=1");
  EXPECT_EQ(other.status, 200);
  EXPECT_NE(other.body.find(indexMark), std::string::npos);
  EXPECT_EQ(other.body.find("javascript:alert(1)"), std::string::npos);
}

// The login handler takes the form only from a page of the site: a form
// posted from another site (or with no referrer) logs nobody in.
TEST_F(SiteE2E, LoginFromAnotherSiteIsRefused) {
  for (const char* referer : {"", "http://evil.example/login.html", "http://127.0.0.1.evil.example/login.html"}) {
    SCOPED_TRACE(referer);
    const RawResponse r = login("demo1@example.com", "demo123", "1", referer);
    EXPECT_EQ(r.setCookie("kalimo"), "");
    EXPECT_TRUE(holds(r.body, "错误或非法操作")) << gbk::toUtf8(r.body);
  }
  EXPECT_NE(login("demo1@example.com", "demo123", "1", "http://127.0.0.1:8080/login.html").setCookie("kalimo"), "");
}

// A member's pages are stored by no cache.
TEST_F(SiteE2E, MemberPagesAreNotCached) {
  const auto [member, home] = loginToMemberHome("demo1@example.com", "demo123", "1");
  EXPECT_EQ(rawGet("/indexw.asp", cookieHeader(member)).header("Cache-Control"), "private, no-store");
  EXPECT_EQ(rawGet("/index.asp", cookieHeader(member)).header("Cache-Control"), "private, no-store");
  EXPECT_EQ(rawGet("/index.asp").header("Cache-Control"), "private");
}

// Login attempts of one address beyond the limit (10 a minute) get the site's
// page with status 429, right password or not; other pages are served.
TEST_F(SiteE2E, LoginAttemptsBeyondTheLimitGet429) {
  for (int i = 0; i < 10; ++i) {
    const RawResponse r = login("demo1@example.com", "wrong" + std::to_string(i), "1");
    ASSERT_EQ(r.status, 200) << i;
  }
  for (const char* password : {"wrong", "demo123"}) {
    const RawResponse r = login("demo1@example.com", password, "1");
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.setCookie("kalimo"), "");
    EXPECT_EQ(r.header("Content-Type"), "text/html; charset=gb2312");
    EXPECT_GE(std::atoi(r.header("Retry-After").c_str()), 1);
    EXPECT_TRUE(holds(r.body, "您的请求过于频繁，请稍后再试。")) << gbk::toUtf8(r.body);
    // In the site's frame: its navigation and the page's title.
    EXPECT_TRUE(holds(r.body, "<td class=\"sitenav\">"));
    EXPECT_TRUE(holds(r.body, "<td class=\"classtop\">请求过于频繁</td>"));
    EXPECT_EQ(r.header("Cache-Control"), "no-store");
  }
  EXPECT_EQ(rawGet("/login.asp").status, 200);
  // The static link of the handler is the same page, and counts the same.
  EXPECT_EQ(rawPost("/chklogin.html", "username=x", "Referer: http://127.0.0.1/login.html\r\n").status, 429);
}

}  // namespace
}  // namespace zurvafun

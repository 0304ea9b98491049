#include <gtest/gtest.h>

#include <functional>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "tests/framework/scoped_log.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

const double kStart = toSerial({2026, 12, 10, 9, 0, 0});
const double kSecond = 1.0 / 86400;

bool endsTheRequest(const std::function<void()>& call) {
  return testing::errorOf(call) == RequestEndError;
}

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    now = kStart;
    setClock([this] { return now; });
  }
  void TearDown() override { setClock({}); }
  bool logIsEmpty() { return log.text().empty(); }

  double now = 0;
  ScopedLog log{"guard"};
  host::TestHost h;
};

TEST_F(GuardTest, ClearcookiesSetsNoCacheHeadersOnly) {
  h.request().Cookies.setFromHeader("kalimo", "userid=5&grade=3");
  zurva z;
  z.clearcookies();
  EXPECT_EQ(CLng(h.response().Expires), -1);
  EXPECT_DOUBLE_EQ(h.response().ExpiresAbsolute.dateValue(), kStart - 1);
  EXPECT_EQ(h.response().CacheControl, "no-cache");
  EXPECT_TRUE(h.response().Cookies.all().empty());
  EXPECT_EQ(h.request().Cookies("kalimo")("userid").str(), "5");
  EXPECT_FALSE(h.response().ended());
}

TEST_F(GuardTest, ChkPostComparesTheReferrerWithTheServerName) {
  const struct {
    const char* referer;
    bool fromHere;
  } cases[] = {
      {"http://www.example.cn/reg.asp", true},
      {"http://www.example.cn", true},
      {"http://www.example.cn:8080/reg.asp", true},
      {"http://www.example.cn?x=1", true},
      {"https://www.example.cn/reg.asp", true},  // the site served over TLS
      {"https://www.example.cn.evil.org/", false},
      {"httpx://www.example.cn/", false},
      {"http://WWW.EXAMPLE.CN/reg.asp", false},
      {"http://www.example.com/", false},
      // Another host whose name merely begins with ours is not this server.
      {"http://www.example.cn.evil.org/", false},
      {"http://www.example.cn@evil.org/", false},
      {"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.referer);
    h.request().ServerVariables.set("SERVER_NAME", "www.example.cn");
    h.request().ServerVariables.set("HTTP_REFERER", c.referer);
    zurva z;
    EXPECT_EQ(CBool(z.ChkPost()), c.fromHere);
  }
  h.request().ServerVariables.clear();
  h.request().ServerVariables.set("SERVER_NAME", "www.example.cn");
  zurva z;
  EXPECT_FALSE(CBool(z.ChkPost()));  // no referrer at all
}

TEST_F(GuardTest, ChkpostfromRefusesAForeignReferrer) {
  h.request().ServerVariables.set("SERVER_NAME", "www.example.cn");
  h.request().ServerVariables.set("HTTP_REFERER", "http://www.example.cn/form.asp");
  {
    zurva z;
    z.chkpostfrom();
    EXPECT_EQ(h.response().body(), "");
  }
  h.request().ServerVariables.set("HTTP_REFERER", "http://elsewhere.example/form.asp");
  zurva z;
  bool ranOn = false;
  EXPECT_TRUE(endsTheRequest([&] {
    z.chkpostfrom();
    ranOn = true;
  }));
  EXPECT_FALSE(ranOn);
  EXPECT_EQ(h.response().body(),
            "<Script language=JavaScript>alert('错误或非法操作！')</Script>"
            "<Script language=JavaScript>window.opener=null;window.close();</Script>");
  EXPECT_TRUE(h.response().ended());
  EXPECT_TRUE(logIsEmpty());
}

class GuardReflashTest : public GuardTest {
 protected:
  // One view of `path` as a new request of the same session: true when accepted.
  bool view(const std::string& path) {
    h.nextRequest();
    h.request().ServerVariables.set("PATH_INFO", path);
    zurva z;
    return !endsTheRequest([&] { z.chkreflash(); });
  }
  double reflashTime() { return h.session()("ReflashTime").dateValue(); }
};

TEST_F(GuardReflashTest, SecondViewWithin50SecondsIsRefused) {
  ASSERT_TRUE(view("/Article_one.asp"));  // ReflashTime never set: accepted
  EXPECT_DOUBLE_EQ(reflashTime(), kStart);

  now = kStart + 49 * kSecond;
  EXPECT_FALSE(view("/Article_one.asp"));
  const std::string& body = h.response().body();
  EXPECT_NE(body.find("警告！系统已记录您的IP，和刷新次数。\\n\\n请不要在50秒内连续刷新本页面！"),
            std::string::npos);
  EXPECT_NE(body.find("/images/erro/fh.jpg"), std::string::npos);  // box with the back button
  EXPECT_DOUBLE_EQ(reflashTime(), kStart);  // a refused view does not move the time

  now = kStart + 50 * kSecond;
  EXPECT_TRUE(view("/Article_one.asp"));
  EXPECT_EQ(h.response().body(), "");
  EXPECT_DOUBLE_EQ(reflashTime(), now);  // the count restarts

  now += 10 * kSecond;
  EXPECT_FALSE(view("/bbs/ARTICLE_ONE.ASP?id=3"));  // any letter case, anywhere in the path
  EXPECT_TRUE(logIsEmpty());
}

TEST_F(GuardReflashTest, OtherPagesAreNeverGuarded) {
  EXPECT_TRUE(view("/index.asp"));
  EXPECT_TRUE(view("/index.asp"));
  EXPECT_TRUE(view("/Article_two.asp"));
  EXPECT_FALSE(h.session().contains("ReflashTime"));
}

TEST_F(GuardReflashTest, NullTimeIsReplaced) {
  h.session().set("ReflashTime", Variant::null());
  EXPECT_TRUE(view("/article_one.asp"));
  EXPECT_DOUBLE_EQ(reflashTime(), kStart);
}

TEST_F(GuardTest, PagesAcceptsShortNumbersOnly) {
  const struct {
    Variant value;
    bool accepted;
  } cases[] = {
      {Variant("123"), true},
      {Variant(123), true},
      {Variant("123456789012345"), true},  // 15 characters
      {Variant(), true},                   // absent: Empty counts as numeric
      {Variant("12a"), false},
      {Variant("1234567890123456"), false},  // 16 digits
      {Variant(""), false},
      {Variant::null(), false},
      {Variant("1;drop"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.str());
    h.nextRequest();
    zurva z;
    Variant result;
    bool ranOn = false;
    const bool ended = endsTheRequest([&] {
      result = z.pages(c.value);
      ranOn = true;
    });
    EXPECT_EQ(ended, !c.accepted);
    EXPECT_EQ(ranOn, c.accepted);
    if (c.accepted) {
      EXPECT_TRUE(CBool(result));
      EXPECT_EQ(h.response().body(), "");
    } else {
      EXPECT_EQ(
          h.response().body(),
          "<script Language=javaScript>alert('请求错误！');history.go(-1);</script></body></html>");
    }
  }
  EXPECT_TRUE(logIsEmpty());
}

TEST_F(GuardTest, IsValidEmail) {
  const struct {
    const char* email;
    bool valid;
  } cases[] = {
      {"demo1@example.com", true},
      {"Li.Ming_2-x@Mail.Example.CN", true},
      {"a@b.cn", true},
      {"123@456.78", true},
      {"a@example.info", false},  // four characters after the last dot
      {"a@example.c", false},
      {"a@localhost", false},
      {"a..b@example.com", false},
      {"a@example..com", false},
      {".a@example.com", false},
      {"a.@example.com", false},
      {"a@.example.com", false},
      {"a@example.com.", false},
      {"@example.com", false},
      {"a@", false},
      {"", false},
      {"a@b@example.com", false},
      {"example.com", false},
      {"a+b@example.com", false},
      {"a b@example.com", false},
      {"李@example.com", false},
      {"a@例子.com", false},
      {"a<b@example.com", false},
  };
  zurva z;
  for (const auto& c : cases) EXPECT_EQ(CBool(z.IsValidEmail(c.email)), c.valid) << c.email;
  EXPECT_TRUE(logIsEmpty());
}

TEST_F(GuardTest, IsValidEmailNeverReportsAFailureAsValid) {
  zurva z;
  EXPECT_TRUE(z.IsValidEmail(Variant::null()).isEmpty());
  EXPECT_EQ(log.text(), "2026-12-10 09:00:00    \\1, IsValidEmail: 无效使用 Null\r\n");
}

TEST_F(GuardTest, Backurl) {
  h.request().ServerVariables.set("SERVER_NAME", "www.example.cn");
  h.request().ServerVariables.set("URL", "/userinfo.asp");
  h.request().ServerVariables.set("QUERY_STRING", "");
  {
    zurva z;
    EXPECT_EQ(z.Backurl().str(), "http://www.example.cn/userinfo.asp");
  }
  h.request().ServerVariables.set("QUERY_STRING", "id=25&page=2");
  zurva z;
  EXPECT_EQ(z.Backurl().str(), "http://www.example.cn/userinfo.asp?id=25&page=2");
}

TEST_F(GuardTest, LastNextPageDoesNothing) {
  zurva z;
  z.LastNextPage(10, 2, "t", "f");
  EXPECT_EQ(h.response().body(), "");
  EXPECT_FALSE(h.response().ended());
}

}  // namespace
}  // namespace zurvafun

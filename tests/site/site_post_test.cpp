// The site's rule for requests that change something: a POST whose Origin
// (or, without one, its Referer) names the server's host. In process, with
// the server variables the host sets.
#include <gtest/gtest.h>

#include <string>

#include "framework/zurva.h"
#include "host/serve/pages.h"
#include "host/test_host.h"
#include "runtime/error.h"
#include "site/site_post.h"

namespace zurvafun::site {
namespace {

class SitePostTest : public ::testing::Test {
 protected:
  serve::PageContext page() {
    return {host.request(),
            host.response(),
            host.session(),
            host.application(),
            host.server(),
            "",
            "",
            "",
            ""};
  }
  void request(const char* method, const char* serverName, const char* origin,
               const char* referer) {
    host.request().ServerVariables.set("REQUEST_METHOD", method);
    host.request().ServerVariables.set("SERVER_NAME", serverName);
    host.request().ServerVariables.set("HTTP_ORIGIN", origin);
    host.request().ServerVariables.set("HTTP_REFERER", referer);
  }
  // Runs requireSitePost: true when the page may go on.
  bool mayAct() {
    zurva z;
    serve::PageContext p = page();
    try {
      requireSitePost(z, p);
      return true;
    } catch (const VbError& e) {
      EXPECT_TRUE(e.isRequestEnd());
      return false;
    }
  }

  host::TestHost host;
};

TEST_F(SitePostTest, TheOriginOrElseTheRefererMustNameTheServersHost) {
  const struct {
    const char* serverName;
    const char* origin;
    const char* referer;
    bool fromThisSite;
  } cases[] = {
      {"www.example.cn", "http://www.example.cn", "", true},
      {"www.example.cn", "https://WWW.Example.CN:8443", "",
       true},  // any port, either scheme, any case
      {"www.example.cn", "", "http://www.example.cn/form.asp?a=1", true},
      {"www.example.cn", "", "https://www.example.cn:8080", true},
      {"[::1]", "http://[::1]:8080", "", true},
      {"www.example.cn", "http://www.example.cn.evil.org", "", false},
      {"www.example.cn", "http://evil.org", "http://www.example.cn/form.asp",
       false},  // the Origin decides
      {"www.example.cn", "null", "http://www.example.cn/form.asp", false},
      {"www.example.cn", "", "http://www.example.cnx/form.asp", false},
      {"www.example.cn", "", "http://user@www.example.cn/form.asp", false},
      {"www.example.cn", "", "ftp://www.example.cn/form.asp", false},
      {"www.example.cn", "", "www.example.cn/form.asp", false},
      {"www.example.cn", "", "", false},
      {"[::1]", "http://[::2]:8080", "", false},
  };
  for (const auto& c : cases) {
    request("POST", c.serverName, c.origin, c.referer);
    serve::PageContext p = page();
    EXPECT_EQ(fromThisSite(p), c.fromThisSite) << c.origin << " | " << c.referer;
  }
}

TEST_F(SitePostTest, OnlyAPostFromTheSiteMayAct) {
  request("POST", "www.example.cn", "http://www.example.cn", "");
  EXPECT_TRUE(mayAct());
  EXPECT_EQ(host.response().Status, 200);

  host.nextRequest();
  request("GET", "www.example.cn", "", "http://www.example.cn/index.asp");
  EXPECT_FALSE(mayAct());
  EXPECT_EQ(host.response().Status, 405);
  EXPECT_NE(host.response().body().find("alert('错误或非法操作！')"), std::string::npos);

  host.nextRequest();
  request("POST", "www.example.cn", "http://evil.org", "");
  EXPECT_FALSE(mayAct());
  EXPECT_EQ(host.response().Status, 403);
  EXPECT_NE(host.response().body().find("alert('错误或非法操作！')"), std::string::npos);
}

// A request the input filter refused when the component was created stops
// with the filter's message alone.
TEST_F(SitePostTest, ARequestTheInputFilterRefusedStops) {
  request("POST", "www.example.cn", "http://www.example.cn", "");
  host.request().Form.add("content", "select 1");
  EXPECT_FALSE(mayAct());
  EXPECT_NE(host.response().body().find("请勿输入非法字符！"), std::string::npos);
  EXPECT_EQ(host.response().body().find("错误或非法操作"), std::string::npos);
}

TEST_F(SitePostTest, AGetOfALinkThatActsAsksAndPostsTheSameAddress) {
  request("GET", "www.example.cn", "", "");
  host.request().ServerVariables.set("SCRIPT_NAME", "/userphoto.asp");
  host.request().QueryString.add("ifok", "del");
  host.request().QueryString.add("ID", "0");
  host.request().QueryString.setText("ifok=del&ID=0");
  zurva z;
  serve::PageContext p = page();
  try {
    confirmBeforeActing(z, p, {.title = "我的相册", .question = "确定删除此照片吗？"});
    ADD_FAILURE() << "the page went on";
  } catch (const VbError& e) {
    EXPECT_TRUE(e.isRequestEnd());
  }
  const std::string& body = host.response().body();
  EXPECT_NE(body.find("<p>确定删除此照片吗？</p>"), std::string::npos) << body;
  EXPECT_NE(body.find("<form method=\"post\" action=\"/userphoto.asp?ifok=del&amp;ID=0\">"),
            std::string::npos)
      << body;
}

}  // namespace
}  // namespace zurvafun::site

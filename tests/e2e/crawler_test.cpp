// What the site crawl reads in a page: a fault here would hide dead links.
#include "tests/e2e/crawler.h"

#include <gtest/gtest.h>

namespace zurvafun::e2e::crawl {
namespace {

constexpr const char* kOrigin = "http://127.0.0.1:8080";

TEST(CrawlerTest, ResolvesLinksAsABrowserDoes) {
  const struct {
    const char* page;
    const char* link;
    std::optional<std::string> target;
  } cases[] = {
      {"/admin/result.asp?menu=1", "u_mod1.asp?userid=2", "/admin/u_mod1.asp?userid=2"},
      {"/admin/result.asp", "../por.asp?id=5", "/por.asp?id=5"},
      {"/a/b/c.asp", "../../../x.html", "/x.html"},
      {"/a/b.asp", "./c.asp#top", "/a/c.asp"},
      {"/id_1_xc.html", "?page=2", "/id_1_xc.html?page=2"},
      {"/index.asp", "/id_1_por.html#", "/id_1_por.html"},
      {"/index.asp", "http://127.0.0.1:8080/login.html", "/login.html"},
      {"/index.asp", "http://127.0.0.1:8081/login.html", std::nullopt},
      {"/index.asp", "//evil.example/x", std::nullopt},
      {"/index.asp", "javascript:void(0);", std::nullopt},
      {"/index.asp", "javescript:alert('x');", std::nullopt},
      {"/index.asp", "mailto:a@b.c", std::nullopt},
      {"/index.asp", "#", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.page) + " + " + c.link);
    EXPECT_EQ(resolve(c.page, c.link, kOrigin), c.target);
  }
}

TEST(CrawlerTest, FindsLinksFramesResourcesFormsAndScriptAddresses) {
  const std::string page =
      "<html><head><script src=\"/inc/a.js\"></script><script>for(i=0;i<n;i++){}"
      "function f(){window.open('vote.html','x');}</script>"
      "<link href=\"/css.css\" rel=\"stylesheet\"></head><body>"
      "<!-- <a href=\"gone.asp\">old</a> -->"
      "<a href='a.asp?x=1&amp;y=2'>a</a><A HREF=b.html>b</A><iframe src=\"/f.asp\"></iframe><img src=\"p.gif\">"
      "<form name=f method=post action=\"save.asp\"><input name=t value=\"A B\"><input type=checkbox name=c value=1>"
      "<input type=checkbox name=d value=2 checked><input type=radio name=r value=3 checked>"
      "<select name=s><option value=7>7<option value=8 selected>8</select><textarea name=m>x&amp;y</textarea>"
      "<input type=submit name=go value=ok><input type=submit name=other value=no></form>"
      "<form action=\"find.asp?old=1\"><input name=q value=\"\xd6\xd0\"></form>"
      "<input type=button onclick=\"location='next.html';\"></body></html>";
  std::vector<std::string> seen;
  for (const Found& f : linksOf(page))
    seen.push_back(f.request.method + " " + f.link + (f.request.body.empty() ? "" : " [" + f.request.body + "]") +
                   (f.request.resource ? " (resource)" : ""));
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "GET /inc/a.js (resource)",
                      "GET /css.css (resource)",
                      "GET a.asp?x=1&y=2",
                      "GET b.html",
                      "GET /f.asp",
                      "GET p.gif (resource)",
                      "POST save.asp [t=A+B&d=2&r=3&s=8&m=x%26y&go=ok]",
                      "GET find.asp?q=%D6%D0",
                      "GET vote.html",
                      "GET next.html",
                  }));
}

TEST(CrawlerTest, TellsGb2312FromOtherBytes) {
  EXPECT_EQ(firstNonGb2312("plain <b>text</b>"), std::nullopt);
  EXPECT_EQ(firstNonGb2312("\xd6\xd0\xce\xc4"), std::nullopt);           // 中文
  EXPECT_EQ(firstNonGb2312("ab\xe7\x9a\x84"), std::optional<std::size_t>(2));  // UTF-8 的
  EXPECT_EQ(firstNonGb2312("\x81\x40"), std::optional<std::size_t>(0));  // GBK beyond GB2312
  EXPECT_EQ(firstNonGb2312("x\xd6"), std::optional<std::size_t>(1));     // cut in half
}

TEST(CrawlerTest, ShapesAndActingLinks) {
  EXPECT_EQ(shapeOf({.target = "/id_49514952535049Sa0b923820dcc509a_por.html"}),
            shapeOf({.target = "/id_49514952535257Saa0efb9e19094440_por.html"}));
  EXPECT_NE(shapeOf({.target = "/id_1_xc.html"}), shapeOf({.target = "/id_1_userinfo.html"}));
  for (const char* target : {"/logout.html", "/admin/logout.asp", "/quit.html", "/userphoto_ifok_del_ID_0.html",
                             "/ifok_headdel_userphoto.html", "/action_sign_del_partyid_1.html",
                             "/action.asp?sign=deljoin&partyid=2"})
    EXPECT_TRUE(acts({.target = target})) << target;
  EXPECT_TRUE(acts({.method = "POST", .target = "/photocheck.asp"}));
  for (const char* target : {"/photocheck.asp", "/action_sign_join_partyid_1.html", "/userphoto.html", "/login.html"})
    EXPECT_FALSE(acts({.target = target})) << target;
}

}  // namespace
}  // namespace zurvafun::e2e::crawl

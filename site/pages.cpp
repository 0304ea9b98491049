// The home page, and the list of the site's page groups.
#include "site/pages.h"

#include "framework/zurva.h"
#include "site/seed.h"

namespace zurvafun::site {

namespace {

constexpr std::string_view kHomeTop = R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>zurva 交友 · 演示站</title>
<link href="/css.css" rel="stylesheet" type="text/css">
<link rel="icon" href="/favicon.ico" type="image/x-icon">
</head>
<body>
<table class="bk" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop">zurva 交友 · 演示站</td></tr>
  <tr><td class="classtd">
)";

constexpr std::string_view kHomeIntro = R"(    <p>这是交友网站服务端组件的演示站：页面的动态部分都由组件的方法生成。下面列出目前已经可以试用的功能，功能上线后会陆续出现在这里。</p>
    <h3>演示账号</h3>
    <table class="bk" cellspacing="1" cellpadding="4">
      <tr class="bg_l"><td>登录名</td><td>昵称</td><td>密码</td><td>说明</td></tr>
)";

constexpr std::string_view kAccountsEnd = R"(    </table>
    <p>其他会员 N 以 memberN@example.com 登录，密码都是 )";

constexpr std::string_view kOffersTop = R"(。</p>
    <h3>本站功能</h3>
    <ul>
)";

constexpr std::string_view kNoOffersYet = R"(      <li>各功能页面正在建设中，敬请期待。</li>
)";

constexpr std::string_view kHomeBottom = R"(    </ul>
    <h3>开发者页面</h3>
    <ul>
      <li><a href="/demo/messages_index.asp">组件提示信息一览（Msg、MsgOut、Msg1、zurva_error）</a></li>
    </ul>
  </td></tr>
</table>
</body>
</html>
)";

// What each demo account shows, in the order of seed::kDemoAccounts.
constexpr const char* kDemoStanding[] = {
    "女，已认证，金卡会员，1000 E币",
    "男，已认证，银卡会员，200 E币",
    "男，已锁定：登录会被拒绝",
};

std::string html(std::string_view text) { return host::Server::HTMLEncode(text); }

void homePage(const serve::PageRegistry& pages, serve::PageContext& p) {
  zurva z;  // as every page of the site: creation takes the context and filters the input
  host::Response& out = p.Response;
  out.Write(kHomeTop);
  writeMemberLine(z, p);
  writePollBox(z, p);
  writeQuickSearchBox(z, p);
  writeHomeShowcase(z, p);
  out.Write(kHomeIntro);
  for (size_t i = 0; i < std::size(seed::kDemoAccounts); ++i) {
    const seed::DemoAccount& a = seed::kDemoAccounts[i];
    out.Write("      <tr><td>" + html(a.zurvauser) + "</td><td>" + html(a.nickname) + "</td><td>" +
              html(a.password) + "</td><td>" + (i < std::size(kDemoStanding) ? kDemoStanding[i] : "") +
              "</td></tr>\n");
  }
  out.Write(kAccountsEnd);
  out.Write(html(seed::kMemberPassword));
  out.Write(kOffersTop);
  if (pages.listed().empty()) out.Write(kNoOffersYet);
  for (const serve::PageRegistry::Listing& listing : pages.listed()) {
    Variant link = listing.link;  // written in the site's link mode
    out.Write("      <li><a href=\"" + html(z.showurl(link).str()) + "\">" + html(listing.title) + "</a></li>\n");
  }
  out.Write(kHomeBottom);
}

}  // namespace

// The answer to a path the site does not have, in the site's look.
void notFoundPage(serve::PageContext& p) {
  p.Response.Status = 404;
  p.Response.Write(pageTop("页面不存在"));
  p.Response.Write("    <p>您要访问的页面不存在，可能已经删除或者地址有误。</p>\n"
                   "    <p><a href=\"/index.asp\">返回首页</a></p>\n");
  p.Response.Write(kPageBottom);
}

void registerHomePage(serve::PageRegistry& pages) {
  pages.add("/index.asp", [&pages](serve::PageContext& p) { homePage(pages, p); });
  pages.setNotFound(notFoundPage);
}

void registerPages(serve::PageRegistry& pages) {
  registerHomePage(pages);
  // Each later group of pages registers here; their listings follow on the
  // home page in this order.
  registerMemberPages(pages);
  registerMessagePages(pages);
  registerProfilePages(pages);
  registerInteractionPages(pages);
  registerSearchPages(pages);
  registerAlbumPages(pages);
  registerShowcasePages(pages);
}

}  // namespace zurvafun::site

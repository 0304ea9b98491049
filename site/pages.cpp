// The home page, the answer to a path the site does not have, and the list
// of the site's page groups.
#include "site/pages.h"

#include "framework/html.h"
#include "framework/zurva.h"
#include "site/emoney_pages.h"
#include "site/seed.h"
#include "site/site_page.h"

namespace zurvafun::site {

namespace {

constexpr std::string_view kWelcome =
    R"(    <p>欢迎来到交友网站服务端组件的演示站：页面的动态部分（会员展示、搜索、资料、相册、短信、礼物、聚会、投票……）都由组件的方法生成。用下面的演示账号登录，或者先随便看看。</p>
)";

constexpr std::string_view kAccountsTop = R"(    <h3>演示账号</h3>
    <table class="bk" cellspacing="1" cellpadding="4">
      <tr class="bg_l"><td>登录名</td><td>昵称</td><td>密码</td><td>说明</td></tr>
)";

constexpr html::Fragment kAccount =
    "      "
    "<tr><td>{{user}}</td><td>{{nickname}}</td><td>{{password}}</td><td>{{standing}}</td></tr>\n";

constexpr html::Fragment kAccountsEnd = R"(    </table>
    <p>其他会员 N 以 memberN@example.com 登录，密码都是 {{password}}。</p>
    <h3>本站功能</h3>
    <ul>
)";

constexpr html::Fragment kListing = "      <li>{{anchor}}</li>\n";

constexpr std::string_view kNoOffersYet = R"(      <li>各功能页面正在建设中，敬请期待。</li>
)";

constexpr std::string_view kDevelopers = R"(    </ul>
    <h3>开发者页面</h3>
    <ul>
      <li><a href="/demo/messages_index.asp">组件提示信息一览（Msg、MsgOut、Msg1、zurva_error）</a></li>
    </ul>
)";

// What each demo account shows, in the order of seed::kDemoAccounts.
constexpr const char* kDemoStanding[] = {
    "女，已认证，金卡会员，1000 E币",
    "男，已认证，银卡会员，200 E币",
    "男，已锁定：登录会被拒绝",
};

void homePage(const serve::PageRegistry& pages, serve::PageContext& p) {
  zurva z;  // as every page of the site: creation takes the context and filters the input
  host::Response& out = p.Response;
  SitePage page(z, p, {.title = "首页", .cityTable = CityTable::File, .scripts = kGalleryScripts});
  out.Write(kWelcome);
  writeShowcaseAndSearch(z, p);
  out.Write("    <h3>会员展示</h3>\n");
  writeGallery(z, p, Variant(""), Variant(""));
  out.Write("    <h3>最新会员　" + siteAnchor(z, "/newmembers.asp", "更多…") + "</h3>\n");
  writeNewestMembers(z, p, {});
  // The demo accounts and the site's pages: fixed text and links.
  out.Write(settingsText(
      p,
      "home page accounts and listings\n" +
          std::to_string(reinterpret_cast<std::uintptr_t>(&pages)),
      [&] {
        std::string text(kAccountsTop);
        for (size_t i = 0; i < std::size(seed::kDemoAccounts); ++i) {
          const seed::DemoAccount& a = seed::kDemoAccounts[i];
          kAccount.appendTo(
              text,
              {{"user", a.zurvauser},
               {"nickname", a.nickname},
               {"password", a.password},
               {"standing", html::trusted(i < std::size(kDemoStanding) ? kDemoStanding[i] : "")}});
        }
        kAccountsEnd.appendTo(text, {{"password", seed::kMemberPassword}});
        if (pages.listed().empty()) text += kNoOffersYet;
        for (const serve::PageRegistry::Listing& listing : pages.listed())
          kListing.appendTo(
              text, {{"anchor", html::trusted(siteAnchor(z, listing.link, listing.title))}});
        return text + std::string(kDevelopers);
      }));
  page.end();
}

}  // namespace

void writeShowcaseAndSearch(zurva& z, serve::PageContext& p) {
  p.Response.Write("    <table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr><td valign=\"top\">\n    ");
  writeQuickSearchBox(z, p);
  p.Response.Write("    <h3>我型我秀</h3>\n");
  writeShowcaseWidget(z, p);
  p.Response.Write("    </td><td width=\"10\"></td><td width=\"230\" valign=\"top\">\n");
  writePollBox(z, p);
  p.Response.Write("    </td></tr></table>\n");
}

// The answer to a path the site does not have, in the site's look.
void notFoundPage(serve::PageContext& p) {
  zurva z;
  p.Response.Status = 404;
  SitePage page(z, p, {.title = "页面不存在"});
  p.Response.Write("    <p>您要访问的页面不存在，可能已经删除或者地址有误。</p>\n"
                   "    <p><a href=\"/index.asp\">返回首页</a></p>\n");
  page.end();
}

// The answer to a visitor whose requests to a limited page (the logins)
// came too fast: the host sends it with the status 429 and Retry-After.
void tooManyRequestsPage(serve::PageContext& p) {
  zurva z;
  SitePage page(z, p, {.title = "请求过于频繁"});
  p.Response.Write(
      "    <p>您的请求过于频繁，请稍后再试。</p>\n"
      "    <p><a href=\"/index.asp\">返回首页</a></p>\n");
  page.end();
}

void registerHomePage(serve::PageRegistry& pages) {
  pages.add("/index.asp", [&pages](serve::PageContext& p) { homePage(pages, p); });
  pages.setNotFound(notFoundPage);
  pages.setTooManyRequests(tooManyRequestsPage);
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
  registerEmoneyPages(pages);
  registerFriendPages(pages);
  registerStandInPages(pages);
}

}  // namespace zurvafun::site

#include "site/site_page.h"

#include <stdexcept>
#include <utility>

#include "framework/escape.h"
#include "framework/html.h"
#include "framework/member_logins.h"
#include "framework/site_settings.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

constexpr std::string_view kDemoName = "zurva 交友";

// The site's pages every visitor can reach, in the navigation's order.
struct NavigationItem {
  std::string_view path;
  std::string_view text;
};
constexpr NavigationItem kNavigation[] = {
    {"/index.asp", "首页"},      {"/city.asp", "城市会员"},  {"/newmembers.asp", "最新会员"},
    {"/search.asp", "高级搜索"}, {"/party.asp", "聚会活动"}, {"/present.asp", "礼物商店"},
    {"/indexw.asp", "会员中心"},
};

// The component's alerts hold the line breaks of its message boxes as
// "<br>": an alert shows them as line breaks. Written into the head itself,
// so that it holds before the first script of the body runs and delays no
// frame.
constexpr std::string_view kAlertLineBreaks =
    R"~((function(){var shown=window.alert;window.alert=function(t){return shown.call(window,String(t).replace(/<br\s*\/?>/gi,'\n'));};})();)~";

std::string head(zurva& z, const serve::PageContext& p, const PageLayout& layout) {
  std::string out = R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>)" + htmlEscape(layout.title) +
                    " - " + htmlEscape(siteName(p)) + R"(</title>
<link href="/css.css" rel="stylesheet" type="text/css">
<link rel="icon" href="/favicon.ico" type="image/x-icon">
<script type="text/javascript">)" +
                    std::string(kAlertLineBreaks) + R"(</script>
<script type="text/javascript" src="/inc/site.js" defer></script>
<script type="text/javascript" src="/inc/sitepost.js" defer></script>
)";
  for (std::string_view style : layout.styles)
    out += "<link href=\"" + std::string(style) + "\" rel=\"stylesheet\" type=\"text/css\">\n";
  for (std::string_view script : layout.scripts)
    out += "<script type=\"text/javascript\" src=\"" + std::string(script) + "\"></script>\n";
  if (layout.cityTable == CityTable::Inline)
    out += "<script type=\"text/javascript\">\n" + z.allcitymenu().str() + "</script>\n";
  if (layout.cityTable == CityTable::File)
    out +=
        "<script type=\"text/javascript\" src=\"" + std::string(kCityTableFile) + "\"></script>\n";
  if (!layout.script.empty()) out += "<script type=\"text/javascript\">\n" + std::string(layout.script) + "</script>\n";
  return out + "</head>\n<body>\n";
}

std::string navigation(zurva& z) {
  std::string out = "  <tr><td class=\"sitenav\">";
  bool first = true;
  for (const NavigationItem& item : kNavigation) {
    out += (first ? "" : "　|　") + siteAnchor(z, item.path, item.text);
    first = false;
  }
  return out + "</td></tr>\n";
}

// The member bar: the logged-in member's nickname, grade badge and e-money
// balance (reading it also refreshes the member cookie's copy), or the login
// and registration links; and the administrator's links when one is logged in.
std::string memberBar(zurva& z, serve::PageContext& p) {
  const Viewer viewer(p.Request);
  // A cookie that names a member who is gone (no balance) is a guest's.
  const Variant balance = viewer.isMember() ? z.emoneycookies(p.SqlLocalName, p.SqlUserName, p.SqlPassword,
                                                             p.SqlDatabaseName)
                                            : Variant();
  std::string out = "  <tr><td class=\"memberbar\">";
  if (balance.isEmpty()) {
    out += "您好，欢迎光临！　" + siteAnchor(z, "/login.asp", "会员登录") + "　" + siteAnchor(z, "/reg.asp", "免费注册");
  } else {
    out += "欢迎您，" + htmlEscape(viewer.member("nickname").str()) + "！" +
           gradeBadge(z, viewer.member("grade")) + "　您的 E币 余额：" + htmlEscape(balance.str()) +
           "　" + siteAnchor(z, "/indexw.asp", "会员中心") + "　" +
           postButton(z, "/logout.asp", "退出登录");
  }
  if (viewer.isAdministrator()) {
    out += "　｜　管理员 " + htmlEscape(viewer.admin("admin_name").str()) + "：" +
           siteAnchor(z, "/admin/index.asp", "管理首页") + "　" + postButton(z, "/admin/logout.asp", "退出管理");
  }
  return out + "</td></tr>\n";
}

std::string footer(const serve::PageContext& p) {
  std::string out = "  <tr><td class=\"sitefoot\" align=\"center\">";
  if (const auto copyright = siteSetting(p, 4)) out += htmlEscape(*copyright);
  const auto mail = siteSetting(p, 2);
  const auto phone = siteSetting(p, 3);
  if (mail && !mail->empty()) out += "　联系邮箱：" + htmlEscape(*mail);
  if (phone && !phone->empty()) out += "　电话：" + htmlEscape(*phone);
  return out + "</td></tr>\n";
}

constexpr std::string_view kContentEnd = "  </td></tr>\n";
constexpr std::string_view kFrameEnd = "</table>\n</body>\n</html>\n";

}  // namespace

SitePage::SitePage(zurva& z, serve::PageContext& p, const PageLayout& layout) : z_(z), p_(p), frame_(layout.frame) {
  std::string out = head(z, p, layout);
  const std::string title = htmlEscape(layout.title);
  switch (frame_) {
    case Frame::Page:
      out += "<table class=\"bk site\" width=\"760\" align=\"center\" cellspacing=\"0\" cellpadding=\"6\">\n"
             "  <tr><td class=\"sitehead\">" +
             siteAnchor(z, "/index.asp", htmlEscape(siteName(p)), "class=\"sitename\"") + " <span>演示站</span></td></tr>\n" +
             navigation(z) + memberBar(z, p) + "  <tr><td class=\"classtop\">" + title +
             "</td></tr>\n  <tr><td class=\"classtd\">\n";
      break;
    case Frame::Window:
      out += "<table class=\"bk site\" width=\"96%\" align=\"center\" cellspacing=\"0\" cellpadding=\"6\">\n"
             "  <tr><td class=\"classtop\">" + title + "<span class=\"sitename\">" + htmlEscape(siteName(p)) +
             "</span></td></tr>\n  <tr><td class=\"classtd\">\n";
      break;
    case Frame::Inner:
      break;
  }
  p.Response.Write(out);
}

void SitePage::note(std::string_view text, std::string_view css) {
  p_.Response.Write("    <p" + (css.empty() ? std::string() : " class=\"" + std::string(css) + "\"") + ">" +
                    htmlEscape(text) + "</p>\n");
}

void SitePage::end() {
  switch (frame_) {
    case Frame::Page:
      p_.Response.Write(std::string(kContentEnd) + footer(p_) + std::string(kFrameEnd));
      break;
    case Frame::Window:
      p_.Response.Write("    <p class=\"windowclose\"><a href=\"javascript:window.close();\">关闭窗口</a>　" +
                        siteAnchor(z_, "/index.asp", "返回首页", "target=\"_blank\"") + "</p>\n" +
                        std::string(kContentEnd) + std::string(kFrameEnd));
      break;
    case Frame::Inner:
      p_.Response.Write("</body>\n</html>\n");
      break;
  }
}

// A site without zurva_base_info still shows its pages.
std::optional<std::string> siteSetting(const serve::PageContext& p, long index) {
  try {
    return siteSettings(p.Application)->baseInfo(index);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string gradeBadge(zurva& z, const Variant& grade) {
  static constexpr html::Fragment kBadge =
      R"(<img src="{{src}}" border="0" alt="{{name}}" title="{{name}}">)";
  const std::string badge = z.dj(grade).str();
  const std::size_t src = badge.find("src='");
  const std::size_t end = src == std::string::npos ? src : badge.find('\'', src + 5);
  if (end == std::string::npos) return badge;  // the name as text, or no badge
  return kBadge({{"src", badge.substr(src + 5, end - src - 5)}, {"name", z.dj1(grade)}}).str();
}

std::string siteName(const serve::PageContext& p) {
  const std::optional<std::string> name = siteSetting(p, 0);
  return name && !name->empty() ? *name : std::string(kDemoName);
}

std::string escapedSiteLink(zurva& z, std::string_view path) {
  Variant url = std::string(path);
  std::string link = z.showurl(url).str();
  // The static form of a link with one parameter leaves out the folder
  // ("/vote.asp?stype=view" gives "stype_view_vote.html"): a site path keeps
  // its folder, so the link leads to the same page from every folder.
  if (path.starts_with('/') && !link.starts_with('/'))
    link = std::string(path.substr(0, path.rfind('/', path.find('?')) + 1)) + link;
  return htmlEscape(link);
}

std::string siteAnchor(zurva& z, std::string_view path, std::string_view text, std::string_view attributes) {
  return "<a href=\"" + escapedSiteLink(z, path) + "\"" + (attributes.empty() ? "" : " ") +
         std::string(attributes) + ">" + std::string(text) + "</a>";
}

db::Connection openDatabase(const serve::PageContext& p) {
  db::Connection conn;
  if (!conn.Open({p.SqlLocalName.str(), p.SqlUserName.str(), p.SqlPassword.str(), p.SqlDatabaseName.str()}))
    throw std::runtime_error("the database cannot be opened");
  return conn;
}

std::optional<std::int32_t> loggedInMember(const serve::PageContext& p) {
  const Viewer viewer(p.Request);
  if (!viewer.isMember()) return std::nullopt;
  const std::optional<std::int32_t> number = viewer.memberNumber();
  if (!number || *number <= 0) return std::nullopt;
  return number;
}

bool isAdministrator(const serve::PageContext& p) { return Viewer(p.Request).isAdministrator(); }

void expireCookie(serve::PageContext& p, const char* name) {
  host::ResponseCookie& cookie = p.Response.Cookies(name);
  cookie = "";
  cookie.Path = "/";
  cookie.Expires = DateAdd("d", -1, Now());
}

void endMemberLogin(serve::PageContext& p) {
  if (const std::optional<std::int32_t> me = loggedInMember(p)) {
    db::Connection conn = openDatabase(p);
    logins::endLogins(conn, *me);
  }
  expireCookie(p, kMemberCookie);
}

serve::Page standIn(std::string title, std::string note, Frame frame) {
  return [title = std::move(title), note = std::move(note), frame](serve::PageContext& p) {
    zurva z;
    SitePage page(z, p, {.title = title, .frame = frame});
    p.Response.Write("    <p>" + note + "</p>\n");
    page.end();
  };
}

void notePage(zurva& z, serve::PageContext& p, const PageLayout& layout, std::string_view text) {
  SitePage page(z, p, layout);
  page.note(text);
  page.end();
}

void askToLogIn(zurva& z, serve::PageContext& p, std::string_view title) {
  SitePage page(z, p, {.title = title});
  p.Response.Write("    <p>请先" + siteAnchor(z, "/login.asp", "登录") + "（还不是会员？" +
                   siteAnchor(z, "/reg.asp", "免费注册") + "）。</p>\n");
  page.end();
}

}  // namespace zurvafun::site

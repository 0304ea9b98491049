#include "site/site_page.h"

#include <stdexcept>
#include <utility>

#include "framework/guest_cache.h"
#include "framework/html.h"
#include "framework/member_logins.h"
#include "framework/site_settings.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/kept.h"
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

constexpr html::Fragment kHead = R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>{{title}} - {{site}}</title>
<link href="/css.css" rel="stylesheet" type="text/css">
<link rel="icon" href="/favicon.ico" type="image/x-icon">
<script type="text/javascript">{{alertLineBreaks}}</script>
<script type="text/javascript" src="/inc/site.js" defer></script>
<script type="text/javascript" src="/inc/sitepost.js" defer></script>
)";
constexpr html::Fragment kStyleSheet = R"(<link href="{{href}}" rel="stylesheet" type="text/css">
)";
constexpr html::Fragment kScriptFile = R"(<script type="text/javascript" src="{{src}}"></script>
)";
// Script text of the site or of the component's own methods.
constexpr html::Fragment kScript = R"(<script type="text/javascript">
{{script}}</script>
)";
constexpr html::Fragment kBody = R"(</head>
<body>
)";

std::string head(zurva& z, const serve::PageContext& p, const PageLayout& layout) {
  std::string out;
  kHead.appendTo(out, {{"title", layout.title},
                       {"site", siteName(p)},
                       {"alertLineBreaks", html::trusted(kAlertLineBreaks)}});
  for (std::string_view style : layout.styles) kStyleSheet.appendTo(out, {{"href", style}});
  for (std::string_view script : layout.scripts) kScriptFile.appendTo(out, {{"src", script}});
  if (layout.cityTable == CityTable::Inline)
    kScript.appendTo(out, {{"script", html::trusted(z.allcitymenu())}});
  if (layout.cityTable == CityTable::File) kScriptFile.appendTo(out, {{"src", kCityTableFile}});
  if (!layout.script.empty()) kScript.appendTo(out, {{"script", html::trusted(layout.script)}});
  kBody.appendTo(out);
  return out;
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

constexpr html::Fragment kGuestBar = "您好，欢迎光临！　{{login}}　{{register}}";
constexpr html::Fragment kMemberBar =
    "欢迎您，{{nickname}}！{{badge}}　您的 E币 余额：{{balance}}　{{home}}　{{logout}}";
constexpr html::Fragment kAdministratorBar = "　｜　管理员 {{name}}：{{home}}　{{logout}}";

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
    kGuestBar.appendTo(out, {{"login", html::trusted(siteAnchor(z, "/login.asp", "会员登录"))},
                             {"register", html::trusted(siteAnchor(z, "/reg.asp", "免费注册"))}});
  } else {
    kMemberBar.appendTo(out, {{"nickname", viewer.member("nickname")},
                              {"badge", html::trusted(gradeBadge(z, viewer.member("grade")))},
                              {"balance", balance},
                              {"home", html::trusted(siteAnchor(z, "/indexw.asp", "会员中心"))},
                              {"logout", html::trusted(postButton(z, "/logout.asp", "退出登录"))}});
  }
  if (viewer.isAdministrator()) {
    kAdministratorBar.appendTo(
        out, {{"name", viewer.admin("admin_name")},
              {"home", html::trusted(siteAnchor(z, "/admin/index.asp", "管理首页"))},
              {"logout", html::trusted(postButton(z, "/admin/logout.asp", "退出管理"))}});
  }
  return out + "</td></tr>\n";
}

constexpr html::Fragment kFooter =
    R"(  <tr><td class="sitefoot" align="center">{{copyright}}{{mail}}{{phone}}</td></tr>
)";
constexpr html::Fragment kMail = "　联系邮箱：{{mail}}";
constexpr html::Fragment kPhone = "　电话：{{phone}}";

std::string footer(const serve::PageContext& p) {
  const auto mail = siteSetting(p, 2);
  const auto phone = siteSetting(p, 3);
  return kFooter({{"copyright", siteSetting(p, 4).value_or("")},
                  {"mail", mail && !mail->empty() ? kMail({{"mail", *mail}}) : html::Html()},
                  {"phone", phone && !phone->empty() ? kPhone({{"phone", *phone}}) : html::Html()}})
      .str();
}

constexpr std::string_view kContentEnd = "  </td></tr>\n";
constexpr std::string_view kFrameEnd = "</table>\n</body>\n</html>\n";

constexpr html::Fragment kPageTop =
    R"(<table class="bk site" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="sitehead">{{site}} <span>演示站</span></td></tr>
{{navigation}}{{memberBar}}  <tr><td class="classtop">{{title}}</td></tr>
  <tr><td class="classtd">
)";
constexpr html::Fragment kWindowTop =
    R"(<table class="bk site" width="96%" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop">{{title}}<span class="sitename">{{site}}</span></td></tr>
  <tr><td class="classtd">
)";
constexpr html::Fragment kWindowBottom =
    R"(    <p class="windowclose"><a href="javascript:window.close();">关闭窗口</a>　{{home}}</p>
)";
constexpr html::Fragment kNote = "    <p>{{text}}</p>\n";
constexpr html::Fragment kLinks = "    <p>{{links}}</p>\n";
constexpr html::Fragment kNoteOfClass = "    <p class=\"{{css}}\">{{text}}</p>\n";
constexpr html::Fragment kAnchor = R"(<a href="{{href}}">{{text}}</a>)";
constexpr html::Fragment kAnchorWith = R"(<a href="{{href}}" {{attributes}}>{{text}}</a>)";

// Text made from the site settings alone, kept while they stand: the tops
// of the pages guests see (for one layout the same for every visitor who is
// neither a member nor an administrator; a layout with the city table
// written into the page is not kept: the table is the settings row's), and
// the pieces of settingsText().
GuestCache& settingsPieces() {
  static kept::InProcess<GuestCache> pieces(256, false);
  return pieces;
}

std::shared_ptr<const GuestCache::Pieces> piecesOf(const serve::PageContext& p) {
  return settingsPieces().under({"", std::nullopt, siteSettings(p.Application), 0});
}

std::string layoutKey(const PageLayout& layout) {
  std::string key =
      std::to_string(int(layout.frame)) + std::to_string(int(layout.cityTable)) + "\n";
  key += layout.title;
  for (std::string_view style : layout.styles) (key += "\n") += style;
  key += "\n\n";
  for (std::string_view script : layout.scripts) (key += "\n") += script;
  return (key += "\n\n") += layout.script;
}

}  // namespace

SitePage::SitePage(zurva& z, serve::PageContext& p, const PageLayout& layout) : z_(z), p_(p), frame_(layout.frame) {
  std::shared_ptr<const GuestCache::Pieces> kept;
  std::string key;
  if (layout.cityTable != CityTable::Inline) {
    const Viewer viewer(p.Request);
    if (!viewer.isMember() && !viewer.isAdministrator()) {
      kept = piecesOf(p);
      key = "top\n" + layoutKey(layout);
      std::string top;
      if (kept && kept->appendTo(key, top)) {
        p.Response.Write(top);
        return;
      }
    }
  }
  std::string out = head(z, p, layout);
  switch (frame_) {
    case Frame::Page:
      kPageTop.appendTo(
          out,
          {{"site", html::trusted(siteAnchor(z, "/index.asp", siteName(p), "class=\"sitename\""))},
           {"navigation", html::trusted(navigation(z))},
           {"memberBar", html::trusted(memberBar(z, p))},
           {"title", layout.title}});
      break;
    case Frame::Window:
      kWindowTop.appendTo(out, {{"title", layout.title}, {"site", siteName(p)}});
      break;
    case Frame::Inner:
      break;
  }
  p.Response.Write(out);
  if (kept) kept->put(key, std::move(out));
}

void SitePage::note(std::string_view text, std::string_view css) {
  p_.Response.Write(css.empty() ? kNote({{"text", text}})
                                : kNoteOfClass({{"css", css}, {"text", text}}));
}

void SitePage::links(std::initializer_list<std::string> items) {
  std::string joined;
  for (const std::string& item : items) joined += (&item == items.begin() ? "" : "　") + item;
  p_.Response.Write(kLinks({{"links", html::trusted(joined)}}));
}

void SitePage::end() {
  switch (frame_) {
    case Frame::Page:
      p_.Response.Write(std::string(kContentEnd) + footer(p_) + std::string(kFrameEnd));
      break;
    case Frame::Window:
      p_.Response.Write(
          kWindowBottom({{"home", html::trusted(siteAnchor(z_, "/index.asp", "返回首页",
                                                           "target=\"_blank\""))}})
              .str() +
          std::string(kContentEnd) + std::string(kFrameEnd));
      break;
    case Frame::Inner:
      p_.Response.Write("</body>\n</html>\n");
      break;
  }
}

std::string settingsText(const serve::PageContext& p, const std::string& key,
                         const std::function<std::string()>& make) {
  const std::shared_ptr<const GuestCache::Pieces> kept = piecesOf(p);
  const std::string keptKey = "text\n" + key;
  std::string out;
  if (kept && kept->appendTo(keptKey, out)) return out;
  out = make();
  if (kept) kept->put(keptKey, out);
  return out;
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

std::string siteLink(zurva& z, std::string_view path) {
  Variant url = std::string(path);
  std::string link = z.showurl(url).str();
  // The static form of a link with one parameter leaves out the folder
  // ("/vote.asp?stype=view" gives "stype_view_vote.html"): a site path keeps
  // its folder, so the link leads to the same page from every folder.
  if (path.starts_with('/') && !link.starts_with('/'))
    link = std::string(path.substr(0, path.rfind('/', path.find('?')) + 1)) + link;
  return link;
}

std::string siteAnchor(zurva& z, std::string_view path, const html::Value& text,
                       std::string_view attributes) {
  const std::string href = siteLink(z, path);
  if (attributes.empty()) return kAnchor({{"href", href}, {"text", text}}).str();
  return kAnchorWith({{"href", href}, {"attributes", html::trusted(attributes)}, {"text", text}})
      .str();
}

std::string errorBox(zurva& z, std::string_view title, std::string_view reason) {
  return z.zurva_error(std::string(title), html::escaped(reason).str()).str();
}

db::ConnectionParams databaseParams(const serve::PageContext& p) {
  return {p.SqlLocalName.str(), p.SqlUserName.str(), p.SqlPassword.str(), p.SqlDatabaseName.str()};
}

std::optional<db::Connection> openDatabaseOrNothing(const serve::PageContext& p) {
  db::Connection conn;
  if (!conn.Open(databaseParams(p))) return std::nullopt;
  return conn;
}

db::Connection openDatabase(const serve::PageContext& p) {
  std::optional<db::Connection> conn = openDatabaseOrNothing(p);
  if (!conn) throw std::runtime_error("the database cannot be opened");
  return std::move(*conn);
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
  static constexpr html::Fragment kLogInFirst =
      "    <p>请先{{login}}（还不是会员？{{register}}）。</p>\n";
  p.Response.Write(
      kLogInFirst({{"login", html::trusted(siteAnchor(z, "/login.asp", "登录"))},
                   {"register", html::trusted(siteAnchor(z, "/reg.asp", "免费注册"))}}));
  page.end();
}

}  // namespace zurvafun::site

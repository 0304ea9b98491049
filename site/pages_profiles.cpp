// The profile and album pages: a member's profile ("/userinfo.asp?id=N",
// and "/por.asp?id=<encoded id>" that the member cards link to), his album
// and its single photos ("/xc.asp": the grid for a plain member number, the
// full-size photo for the encoded id the grid's links carry), the newest
// members as member cards ("/newmembers.asp"), and small stand-ins for the
// site's own pages that these link to.
#include <string>

#include "framework/escape.h"
#include "framework/viewer.h"
#include "members/album_access.h"
#include "members/request_numbers.h"
#include "runtime/dates.h"
#include "site/pages.h"
#include "site/member_pages.h"

namespace zurvafun::site {

namespace {

// The client script and classes that the album and photo fragments expect
// of their page (site/www/members.css and members.js): DrawImage fits a
// picture into a box once it has loaded.
constexpr std::string_view kPageHead =
    "<link href=\"/css.css\" rel=\"stylesheet\" type=\"text/css\">\n"
    "<link href=\"/members.css\" rel=\"stylesheet\" type=\"text/css\">\n"
    "<script type=\"text/javascript\" src=\"/members.js\"></script>\n";

constexpr std::string_view kNewestMembers = "select top 500 * from zurva_user where ifdel=0";

// The member number a page was asked for: a plain number or an encoded id.
std::optional<std::int32_t> requestedMember(zurva& z, serve::PageContext& p) {
  return members::albumMemberId(z, p.Request("id"));
}

void profilePage(serve::PageContext& p) {
  zurva z;
  // The cards link to the profile by the encoded id; the panel reads the number.
  const std::optional<std::int32_t> id = requestedMember(z, p);
  if (id) p.Request.QueryString.set("id", std::to_string(*id));
  p.Response.Write(profilePageTop("会员资料"));
  if (id) {
    const std::string n = std::to_string(*id);
    p.Response.Write("    <p>" + siteAnchor(z, "xc.asp?id=" + n, "查看相册") + "　" +
                     siteAnchor(z, "newmembers.asp", "最新会员") + "　" + siteAnchor(z, "index.asp", "返回首页") +
                     "</p>\n");
  }
  z.memberinfo(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  p.Response.Write(kProfilePageBottom);
}

// The grid of a member's album for a plain member number; one photo of it
// for the encoded id that the grid's big-photo links carry.
void albumPage(serve::PageContext& p) {
  zurva z;
  const Variant id = p.Request("id");
  const std::optional<std::int32_t> plain = members::wholeNumber(id);
  const std::optional<std::int32_t> member = requestedMember(z, p);
  // A statement with the number only; an id the methods refuse reads nothing.
  const std::string sql = "select photo from zurva_user where userid=" + std::to_string(member.value_or(0));
  if (!plain && member) {
    p.Response.Write(profilePageTop("相册照片"));
    const Variant html = z.showxcphoto(sql, "/up_article", "id=" + id.str(), "page", p.SqlLocalName,
                                       p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
    p.Response.Write(html);
    p.Response.Write("    <p>" + siteAnchor(z, "xc.asp?id=" + std::to_string(*member), "返回相册") + "</p>\n");
  } else {
    p.Response.Write(profilePageTop("会员相册"));
    if (plain) {
      p.Response.Write("    <p>" + siteAnchor(z, "userinfo.asp?id=" + std::to_string(*plain), "查看资料") + "　" +
                       siteAnchor(z, "index.asp", "返回首页") + "</p>\n");
    }
    z.memberphoto(sql, "", "/mup_article", p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  }
  p.Response.Write(kProfilePageBottom);
}

// The newest members; with a sex value (the paging links carry "sex=1"),
// only the viewer's opposite sex (women for a guest).
void newestMembersPage(serve::PageContext& p) {
  zurva z;
  std::string sql(kNewestMembers);
  const bool oneSex = !p.Request("sex").str().empty();
  if (oneSex) {
    const Viewer viewer(p.Request);
    const bool woman = viewer.isMember() && eq(viewer.member("sex"), "577");
    sql += woman ? " and sex=576" : " and sex=577";
  }
  sql += " order by userid desc";
  p.Response.Write(profilePageTop("最新会员"));
  p.Response.Write("    <p>" + siteAnchor(z, oneSex ? "newmembers.asp" : "newmembers.asp?sex=1", oneSex ? "全部会员" : "只看异性") +
                   "　" + siteAnchor(z, "index.asp", "返回首页") + "</p>\n");
  p.Response.Write(z.showmeminfo(sql, p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName));
  p.Response.Write(kProfilePageBottom);
}

// A stand-in for a page of the site outside this demo: a short note and a
// way back (the pages opened in a new window close it).
serve::Page standIn(std::string title, std::string note) {
  return [title, note](serve::PageContext& p) {
    zurva z;
    p.Response.Write(profilePageTop(title));
    p.Response.Write("    <p>" + note + "</p>\n    <p><a href=\"javascript:window.close();\">关闭窗口</a>　" +
                     siteAnchor(z, "index.asp", "返回首页") + "</p>\n");
    p.Response.Write(kProfilePageBottom);
  };
}

// Where a refused photo action sends the visitor: both logins end here.
void quitPage(serve::PageContext& p) {
  expireCookie(p, "kalimo");
  expireCookie(p, "zurva_admin");
  standIn("已退出", "您已退出登录。")(p);
}

}  // namespace

std::string profilePageTop(std::string_view title) {
  return std::string(R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>)") + std::string(title) + "</title>\n" + std::string(kPageHead) + R"(</head>
<body>
<table class="bk" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop">)" + std::string(title) + R"(</td></tr>
  <tr><td class="classtd">
)";
}

void expireCookie(serve::PageContext& p, const char* name) {
  host::ResponseCookie& cookie = p.Response.Cookies(name);
  cookie = "";
  cookie.Path = "/";
  cookie.Expires = DateAdd("d", -1, Now());
}

std::string siteLink(zurva& z, std::string_view path) {
  Variant url = std::string(path);
  return htmlEscape(z.showurl(url).str());
}

std::string siteAnchor(zurva& z, std::string_view path, std::string_view text) {
  return "<a href=\"" + siteLink(z, path) + "\">" + std::string(text) + "</a>";
}

void registerAlbumPages(serve::PageRegistry& pages) {
  pages.add("/userinfo.asp", profilePage);
  pages.add("/por.asp", profilePage);
  pages.add("/xc.asp", albumPage);
  pages.add("/newmembers.asp", newestMembersPage);
  pages.add("/quit.asp", quitPage);
  registerPhotoPages(pages);
  pages.list("/userinfo.asp?id=1", "会员资料（演示一号）");
  pages.list("/xc.asp?id=1", "会员相册（演示一号）");
  pages.list("/newmembers.asp", "最新会员");
}

}  // namespace zurvafun::site

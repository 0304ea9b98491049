// The member pages: the login form and its handler (which takes the form
// only from a page of the site), the member home with the greeting and the
// e-money balance, and the logout.
//
// The login handler hands a verified member to the forum with a form that
// posts itself to "bbs/action_chk_login.html", which the site's link scheme
// reads as "/bbs/login.asp?action=chk". The forum is a separate package; its
// stand-in here only sends the member on to the member home.
#include "framework/escape.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "site/pages.h"

namespace zurvafun::site {

std::string pageTop(std::string_view title) {
  return std::string(R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>)") + std::string(title) + R"(</title>
<link href="/css.css" rel="stylesheet" type="text/css">
<link rel="icon" href="/favicon.ico" type="image/x-icon">
</head>
<body>
<table class="bk" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop">)" + std::string(title) + R"(</td></tr>
  <tr><td class="classtd">
)";
}

namespace {

constexpr std::string_view kMemberHome = "/indexw.asp";

// The login form; the field meanings are those of chklogin.
constexpr std::string_view kLoginForm = R"(    <form name="login" method="post" action="/chklogin.asp">
    <table cellspacing="1" cellpadding="4">
      <tr><td>登录方式：</td><td><select name="log_type">
        <option value="1" selected>按登录名（电子邮箱）</option>
        <option value="2">按昵称</option>
      </select></td></tr>
      <tr><td>用户名：</td><td><input type="text" name="username" size="30"></td></tr>
      <tr><td>密　码：</td><td><input type="password" name="password" size="30"></td></tr>
      <tr><td>&nbsp;</td><td><label><input type="checkbox" name="inpass" value="1"> 记住我（31 天）</label></td></tr>
      <tr><td>&nbsp;</td><td><input type="submit" value="登 录"></td></tr>
    </table>
    </form>
)";

// A site path in the site's link mode, ready for an href attribute.
std::string link(zurva& z, std::string_view path) {
  Variant url = std::string(path);
  return htmlEscape(z.showurl(url).str());
}

std::string anchor(zurva& z, std::string_view path, std::string_view text) {
  return "<a href=\"" + link(z, path) + "\">" + std::string(text) + "</a>";
}

void loginPage(serve::PageContext& p) {
  zurva z;
  p.Response.Write(pageTop("会员登录"));
  p.Response.Write(kLoginForm);
  p.Response.Write("    <p>演示账号见" + anchor(z, "/index.asp", "首页") + "。</p>\n");
  p.Response.Write(kPageBottom);
}

void memberHome(serve::PageContext& p) {
  zurva z;
  p.Response.Write(pageTop("会员首页"));
  writeMemberLine(z, p);
  p.Response.Write("    <p>" + anchor(z, "/search.asp", "高级搜索") + "　" + anchor(z, "/index.asp", "返回演示站首页") + "</p>\n");
  p.Response.Write(kPageBottom);
}

void logout(serve::PageContext& p) {
  // The whole member cookie, emptied and expired: the browser drops it.
  host::ResponseCookie& kalimo = p.Response.Cookies("kalimo");
  kalimo = "";
  kalimo.Path = "/";
  kalimo.Expires = DateAdd("d", -1, Now());
  p.Response.Redirect(kMemberHome);
}

}  // namespace

void writeMemberLine(zurva& z, serve::PageContext& p) {
  const host::RequestCookie& member = p.Request.Cookies("kalimo");
  // A visitor without a member cookie, or whose cookie names a member who is
  // gone (no balance), is a guest.
  const Variant balance =
      eq(member("username"), "")
          ? Variant()
          : z.emoneycookies(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  if (balance.isEmpty()) {
    p.Response.Write("    <p>" + anchor(z, "/login.asp", "会员登录") + "</p>\n");
    return;
  }
  p.Response.Write("    <p>欢迎您，" + htmlEscape(member("nickname").str()) + "！您的 E币 余额：" +
                   htmlEscape(balance.str()) + "　" + anchor(z, kMemberHome, "会员首页") + "　" +
                   anchor(z, "/logout.asp", "退出登录") + "</p>\n");
}

void registerMemberPages(serve::PageRegistry& pages) {
  pages.add("/login.asp", loginPage);
  pages.add("/chklogin.asp", [](serve::PageContext& p) {
    zurva z;
    // Only the site's own login form may log a visitor in: a form on another
    // site could otherwise log him into an account of its choosing.
    z.chkpostfrom();
    z.chklogin(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  });
  pages.add("/bbs/login.asp", [](serve::PageContext& p) { p.Response.Redirect(kMemberHome); });
  pages.add("/indexw.asp", memberHome);
  pages.add("/logout.asp", logout);
}

}  // namespace zurvafun::site

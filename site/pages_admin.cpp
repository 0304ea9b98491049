// The administrator's pages. An administrator is a visitor holding the
// administrator cookie "zurva_admin" (sub-key admin_name), which the host
// signs; the login here sets it for the name and password of the server's
// configuration. Without the cookie every other page refuses.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <array>
#include <string>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/profile_pages.h"
#include "site/profile_store.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

// The configured login; an empty password turns the login off.
struct AdministratorLogin {
  std::string name;
  std::string password;
};
AdministratorLogin& configuredLogin() {
  static AdministratorLogin login;
  return login;
}

using Digest = std::array<unsigned char, 32>;

Digest sha256(std::string_view text) {
  Digest digest{};
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest.data(), &length, EVP_sha256(), nullptr);
  return digest;
}

// Compares two texts in a time that does not depend on where they differ
// (nor on their lengths: the digests are compared).
bool sameText(std::string_view a, std::string_view b) {
  const Digest x = sha256(a), y = sha256(b);
  return CRYPTO_memcmp(x.data(), y.data(), x.size()) == 0;
}

constexpr std::string_view kLoginForm = R"(    <form name="adminlogin" method="post" action="/admin/login.asp">
    <table cellspacing="1" cellpadding="4">
      <tr><td>管理员：</td><td><input type="text" name="admin_name" size="20"></td></tr>
      <tr><td>密　码：</td><td><input type="password" name="admin_password" size="20"></td></tr>
      <tr><td>&nbsp;</td><td><input type="submit" value="登 录"></td></tr>
    </table>
    </form>
)";

void loginPage(serve::PageContext& p) {
  zurva z;
  const bool posting = !p.Request.Form.keys().empty();
  if (posting) {
    requireSitePost(z, p);
    const AdministratorLogin& login = configuredLogin();
    const std::string name = p.Request.Form("admin_name").str();
    const std::string password = p.Request.Form("admin_password").str();
    // Both compared, whatever the first gives, so the time tells nothing.
    const bool nameMatches = sameText(name, login.name);
    const bool passwordMatches = sameText(password, login.password);
    if (!login.password.empty() && nameMatches && passwordMatches) {
      host::ResponseCookie& admin = p.Response.Cookies("zurva_admin");
      admin.Path = "/";
      admin("admin_name") = name;
      p.Response.Redirect("/admin/index.asp");
      return;
    }
  }
  // A refused login answers 403, so that each one stands out in the access log.
  if (posting) p.Response.Status = 403;
  SitePage page(z, p, {.title = "管理员登录"});
  if (posting) page.note("管理员名称或密码不正确。", "bg_l");
  if (configuredLogin().password.empty()) page.note("本站未设置管理员密码，管理员登录已关闭。");
  p.Response.Write(kLoginForm);
  page.end();
}

void logoutPage(serve::PageContext& p) {
  zurva z;
  confirmBeforeActing(z, p, {.title = "退出管理", .question = "确定退出管理吗？"});
  expireCookie(p, "zurva_admin");
  p.Response.Redirect("/admin/login.asp");
}

// Refuses a visitor without the administrator cookie (the request ends).
void requireAdministrator(zurva& z, serve::PageContext& p) {
  if (!isAdministrator(p)) z.Msg("非法操作", "/admin/login.asp", 1);
}

// The administrator's pages, one line each.
constexpr std::string_view kAdministration = R"(    <table class="bk" cellspacing="1" cellpadding="6">
      <tr><td class="bg_l">会员资料</td><td><form method="get" action="/admin/editinfo.asp" style="margin:0">会员编号：<input type="text" name="userid" size="8"> <input type="submit" value="修改资料">　<a href="/admin/editinfo.asp?userid=1">修改 1 号会员的资料</a></form></td></tr>
      <tr><td class="bg_l">查找会员</td><td><a href="/admin/result.asp">会员列表与单项查找</a>（按编号、昵称或登录名；可查看、编辑）</td></tr>
      <tr><td class="bg_l">会员相册</td><td><a href="/admin_userphoto.asp">会员相册管理</a>　<a href="/photocheck.asp">待审核照片</a></td></tr>
      <tr><td class="bg_l">退出</td><td>{LOGOUT}</td></tr>
    </table>
)";

void indexPage(serve::PageContext& p) {
  zurva z;
  requireAdministrator(z, p);
  SitePage page(z, p, {.title = "管理首页"});
  page.note("管理员：" + p.Request.Cookies("zurva_admin")("admin_name").str());
  const std::string logout = postButton(z, "/admin/logout.asp", "退出管理");
  p.Response.Write(Replace(kAdministration, "{LOGOUT}", logout));
  page.end();
}

void editPage(serve::PageContext& p) {
  zurva z;
  requireAdministrator(z, p);
  SitePage page(z, p, formFrame("修改会员资料"));
  if (eq(p.Request.QueryString("saved"), "1")) page.note("会员资料已保存。", "bg_l");
  p.Response.Write(z.admin_editinfo(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName).str());
  page.end();
}

// The search condition of the list of every member.
constexpr const char* kEveryMember = "userid>0";

// The single search form of the administrator's member list.
constexpr std::string_view kSingleSearch = R"(    <form name="adminsearch" method="post" action="/admin/result.asp?menu=1">
    查找会员：<select name="s_value"><option value="0">会员编号</option><option value="1">昵称</option><option value="2">登录名</option></select>
    <input type="text" name="s_name" size="24"> <input type="submit" value="查找">
    </form>
)";

// "/admin/result.asp": the administrator's view of the members a search
// found (the session's last search), or with menu=1 the single search.
void resultPage(serve::PageContext& p) {
  zurva z;
  requireAdministrator(z, p);
  // Without a search of his own the administrator's list holds every member
  // (the first 200 by grade).
  if (p.Session("iwhere").str().empty()) p.Session.set("iwhere", Variant(kEveryMember));
  const Variant list = z.seach_result(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, 120, 150, "admin");
  SitePage page(z, p, {.title = "查找会员", .styles = {"/inc/search.css"}, .scripts = {"/inc/search.js"}});
  p.Response.Write(kSingleSearch);
  page.note("不查找时列出本次会话中最近一次搜索的会员（没有搜索时列出全部会员的前 200 位）。");
  p.Response.Write(list);
  page.end();
}

// The save page of the administrator's form: the member the form names.
void savePage(serve::PageContext& p) {
  zurva z;
  requireSitePost(z, p);
  requireAdministrator(z, p);
  const Variant id = p.Request.Form("id");
  long userid = 0;
  try {
    if (!id.isEmpty() && IsNumeric(id)) userid = CLng(id);
  } catch (const VbError&) {  // beyond 32 bits
  }
  if (userid <= 0) z.Msg("请求错误！", "-1", 1);
  const std::string password = p.Request.Form("password").str();
  try {
    db::Connection conn = openDatabase(p);
    saveProfile(conn, userid, p.Request.Form, Editor::Administrator,
                password.empty() ? "" : z.MD5(password, 16).str());
  } catch (const ProfileRejected& refused) {
    SitePage page(z, p, formFrame("修改会员资料"));
    p.Response.Write(z.zurva_error("保存失败", htmlEscape(refused.what())).str());
    page.end();
    return;
  }
  p.Response.Redirect("/admin/editinfo.asp?userid=" + std::to_string(userid) + "&saved=1");
}

}  // namespace

void setAdministratorLogin(std::string name, std::string password) {
  configuredLogin() = {std::move(name), std::move(password)};
}

void registerAdministratorPages(serve::PageRegistry& pages) {
  pages.add("/admin/login.asp", loginPage);
  // Where the component's time-out line links: the same login, limited as it is.
  pages.alias("/admin/admin_login.asp", "/admin/login.asp");
  pages.add("/admin/logout.asp", logoutPage);
  pages.add("/admin/index.asp", indexPage);
  pages.add("/admin/editinfo.asp", editPage);
  pages.add("/admin/u_mod1.asp", editPage);  // where the member list's edit links lead
  pages.add("/admin/result.asp", resultPage);
  pages.add("/admin/reg_submit.asp", savePage);
}

}  // namespace zurvafun::site

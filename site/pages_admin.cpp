// The administrator's pages. An administrator is a visitor holding the
// administrator cookie "zurva_admin" (sub-key admin_name), which the host
// signs; the login here sets it for the name and password of the server's
// configuration. Without the cookie every other page refuses.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <array>
#include <string>

#include "db/db.h"
#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "members/paging_bar.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/emoney_pages.h"
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
      host::ResponseCookie& admin = p.Response.Cookies(kAdministratorCookie);
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
  expireCookie(p, kAdministratorCookie);
  p.Response.Redirect("/admin/login.asp");
}

// Refuses a visitor without the administrator cookie (the request ends).
void requireAdministrator(zurva& z, serve::PageContext& p) {
  if (!isAdministrator(p)) z.Msg("非法操作", "/admin/login.asp", 1);
}

// The administrator's pages, one line each.
constexpr std::string_view kAdministration =
    R"(    <table class="bk" cellspacing="1" cellpadding="6">
      <tr><td class="bg_l">会员资料</td><td><form method="get" action="/admin/editinfo.asp" style="margin:0">会员编号：<input type="text" name="userid" size="8"> <input type="submit" value="修改资料">　<a href="/admin/editinfo.asp?userid=1">修改 1 号会员的资料</a></form></td></tr>
      <tr><td class="bg_l">会员列表</td><td><a href="/admin/result.asp">会员列表与单项查找</a>（最新注册的在前；为会员充值或扣除 E币；按编号、昵称或登录名查找；可查看、编辑）</td></tr>
      <tr><td class="bg_l">会员相册</td><td><a href="/admin_userphoto.asp">会员相册管理</a>　<a href="/photocheck.asp">待审核照片</a></td></tr>
      <tr><td class="bg_l">退出</td><td>{LOGOUT}</td></tr>
    </table>
)";

void indexPage(serve::PageContext& p) {
  zurva z;
  requireAdministrator(z, p);
  SitePage page(z, p, {.title = "管理首页"});
  page.note("管理员：" + Viewer(p.Request).admin("admin_name").str());
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

// The single search form of the administrator's member list.
constexpr std::string_view kSingleSearch = R"(    <form name="adminsearch" method="post" action="/admin/result.asp?menu=1">
    查找会员：<select name="s_value"><option value="0">会员编号</option><option value="1">昵称</option><option value="2">登录名</option></select>
    <input type="text" name="s_name" size="24"> <input type="submit" value="查找">
    </form>
)";

constexpr long kMembersOnAPage = 20;

constexpr html::Fragment kListTop =
    R"(    <p>共 <b>{{count}}</b> 位会员，最新注册的在前。每一行可以为会员充值或扣除 E币（记入他的 E币收支记录）。
    <form method="get" action="/admin/result.asp" style="display:inline">只看会员编号：<input type="text" name="userid" size="8"> <input type="submit" value="查看"></form>　<a href="/admin/result.asp">全部会员</a></p>
    <table class="bk adminlist" width="100%" cellspacing="1" cellpadding="3">
      <tr class="bg_l"><td>编号</td><td>昵称</td><td>登录名</td><td>等级</td><td>E币</td><td>注册时间</td><td>管理</td><td>E币 充值 / 扣除</td></tr>
)";
constexpr html::Fragment kListLine =
    R"(      <tr><td>{{id}}</td><td><a href="/userinfo.asp?id={{id}}" target="_blank">{{nickname}}</a>{{locked}}</td><td>{{account}}</td>)"
    R"(<td>{{badge}}</td><td>{{emoney}}</td><td>{{addtime}}</td>)"
    R"(<td><a href="/admin/editinfo.asp?userid={{id}}">编辑</a> <a href="/admin_userphoto.asp?userid={{id}}">相册</a></td><td>{{form}}</td></tr>)"
    "\n";

// The list of every member (or of the one member `userid` asks for), newest
// first, twenty to a page with the paging bar, each line with his balance
// and the credit and debit form.
void writeMemberList(zurva& z, serve::PageContext& p) {
  db::Connection conn = openDatabase(p);
  const std::optional<std::int32_t> one = numbers::digits(p.Request.QueryString("userid"));
  db::Recordset rs;
  rs.Open(one ? sql::statement(
                    "select userid,nickname,zurvauser,grade,emoney,addtime,ifdel from zurva_user "
                    "where userid={}",
                    *one)
              : sql::statement(
                    "select userid,nickname,zurvauser,grade,emoney,addtime,ifdel from zurva_user "
                    "order by userid desc"),
          conn, db::adOpenKeyset, db::adLockReadOnly);
  if (rs.eof()) {
    p.Response.Write("    <p>没有这位会员。" +
                     std::string(R"(<a href="/admin/result.asp">全部会员</a>)") + "</p>\n");
    return;
  }
  rs.PageSize = kMembersOnAPage;
  members::PagingBar bar{
      .page = numbers::clampedPage(p.Request.QueryString("page"), rs.PageCount()),
      .pageCount = rs.PageCount(),
      .records = rs.RecordCount(),
      .base = "/admin/result.asp?",
      .carried = "",
      .jumpSelect = false};
  rs.setAbsolutePage(bar.page);
  const std::string back = one ? "/admin/result.asp?userid=" + std::to_string(*one)
                               : "/admin/result.asp?page=" + std::to_string(bar.page);
  std::string out = kListTop({{"count", rs.RecordCount()}}).str();
  for (long i = 0; i < kMembersOnAPage && !rs.eof(); ++i, rs.MoveNext()) {
    const long id = CLng(rs("userid"));
    kListLine.appendTo(out, {{"id", id},
                             {"nickname", rs("nickname")},
                             {"locked", html::trusted(eq(rs("ifdel"), 1) ? "（已锁定）" : "")},
                             {"account", rs("zurvauser")},
                             {"badge", html::trusted(gradeBadge(z, rs("grade")))},
                             {"emoney", rs("emoney").isNull() ? Variant(0) : rs("emoney")},
                             {"addtime", rs("addtime")},
                             {"form", html::trusted(emoneyForm(id, back))}});
  }
  out += "    </table>\n    <table width=\"100%\">" + members::pagingBar(z, bar) + "</table>\n";
  p.Response.Write(out);
}

// "/admin/result.asp": every member, or with menu=1 the result of the
// single search (the component's administrator view of it).
void resultPage(serve::PageContext& p) {
  zurva z;
  requireAdministrator(z, p);
  const bool single =
      eq(p.Request.QueryString("menu"), "1") || eq(p.Request.QueryString("menu"), "1#");
  const Variant found = single ? z.seach_result(p.SqlLocalName, p.SqlUserName, p.SqlPassword,
                                                p.SqlDatabaseName, 120, 150, "admin")
                               : Variant();
  SitePage page(
      z, p, {.title = "会员列表", .styles = {"/inc/search.css"}, .scripts = {"/inc/search.js"}});
  p.Response.Write(kSingleSearch);
  if (single) {
    p.Response.Write("    <p><a href=\"/admin/result.asp\">返回会员列表</a></p>\n");
    p.Response.Write(found);
  } else {
    writeMemberList(z, p);
  }
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
    p.Response.Write(errorBox(z, "保存失败", refused.what()));
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

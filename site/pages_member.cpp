// The member pages: the login form and its handler (which takes the form
// only from a page of the site), the member home and the logout (a POST from
// the member bar), and the check before every page that drops a member
// cookie whose login has ended.
//
// The login form offers a browser's remembered login: the login name filled
// in, the remember-me box ticked, and the password not needed while the
// token of the remember-me cookie still holds (framework/member_logins.h).
//
// A site with a forum (the application value zurva_forum "1") has the login
// handler hand a verified member to it with a form that posts itself to
// "bbs/action_chk_login.html", which the site's link scheme reads as
// "/bbs/login.asp?action=chk". The forum is a separate package; its stand-in
// here only sends the member on to the member home.
//
// The member home is the member's hub: his profile and photos, his saved
// search, his messages, the gifts he received, the parties he organises and
// those he signed up for, and the showcase status box with the purchase.
#include <array>
#include <optional>
#include <string>

#include "framework/html.h"
#include "framework/ledger.h"
#include "framework/member_logins.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/balance.h"
#include "model/member_record.h"
#include "showcase/member_row.h"
#include "site/emoney_pages.h"
#include "site/pages.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

constexpr std::string_view kMemberHome = "/indexw.asp";

// The login form; the field meanings are those of chklogin.
constexpr html::Fragment kLoginForm =
    R"(    <form name="login" method="post" action="/chklogin.asp">
    <table cellspacing="1" cellpadding="4">
      <tr><td>登录方式：</td><td><select name="log_type">
        <option value="1"{{byAccount}}>按登录名（电子邮箱）</option>
        <option value="2"{{byNickname}}>按昵称</option>
      </select></td></tr>
      <tr><td>用户名：</td><td><input type="text" name="username" size="30" value="{{user}}"></td></tr>
      <tr><td>密　码：</td><td><input type="password" name="password" size="30">{{remembered}}</td></tr>
      <tr><td>&nbsp;</td><td><label><input type="checkbox" name="inpass" value="1"{{remember}}> 记住我（31 天）</label></td></tr>
      <tr><td>&nbsp;</td><td><input type="submit" value="登 录"></td></tr>
    </table>
    </form>
)";
constexpr std::string_view kRememberedNote = "　已记住您的登录，密码可以不填";

// What this browser's remember-me cookie offers the login form: the login
// name with its kind, and whether its token still logs in.
struct Remembered {
  std::string user;
  bool byNickname = false;
  bool token = false;
};

Remembered remembered(serve::PageContext& p) {
  const host::RequestCookie& cookie = p.Request.Cookies("rupeni");
  Remembered r{cookie("user").str(), eq(cookie("log_type"), "2"), false};
  const std::string token = cookie("pass").str();
  if (r.user.empty() || !eq(cookie("inpass"), "1") || !logins::wellFormedToken(token)) return r;
  db::Connection conn = openDatabase(p);
  const sql::Quoted user = sql::text(r.user);
  const sql::Quoted digest = sql::text(logins::tokenDigest(token));
  r.token =
      !conn.Execute(r.byNickname
                        ? sql::statement("select userid from zurva_user where nickname='{}' and "
                                         "remembertoken='{}' and ifdel<>1",
                                         user, digest)
                        : sql::statement("select userid from zurva_user where zurvauser='{}' and "
                                         "remembertoken='{}' and ifdel<>1",
                                         user, digest))
           .eof();
  return r;
}

void loginPage(serve::PageContext& p) {
  zurva z;
  const Remembered r = remembered(p);
  SitePage page(z, p, {.title = "会员登录"});
  const auto flag = [](bool on, const char* attribute) {
    return html::trusted(on ? attribute : "");
  };
  p.Response.Write(kLoginForm({{"byAccount", flag(!r.byNickname, " selected")},
                               {"byNickname", flag(r.byNickname, " selected")},
                               {"user", r.user},
                               {"remembered", flag(r.token, kRememberedNote.data())},
                               {"remember", flag(r.token, " checked")}})
                       .str());
  static constexpr html::Fragment kNotYetAMember =
      "    <p>还不是会员？{{register}}。演示账号见{{home}}。</p>\n";
  p.Response.Write(
      kNotYetAMember({{"register", html::trusted(siteAnchor(z, "/reg.asp", "免费注册"))},
                      {"home", html::trusted(siteAnchor(z, "/index.asp", "首页"))}}));
  page.end();
}

// ---- the member home

// One box of the hub: a heading with its links, then its lines.
std::string box(std::string_view heading, const std::string& links, const std::string& lines) {
  static constexpr html::Fragment kBox =
      R"(    <table class="bk hubbox" width="100%" cellspacing="0" cellpadding="4">
      <tr class="bg_l"><td><b>{{heading}}</b>　{{links}}</td></tr>
      <tr><td>{{lines}}</td></tr>
    </table>
)";
  return kBox({{"heading", html::trusted(heading)},
               {"links", html::trusted(links)},
               {"lines", html::trusted(lines)}})
      .str();
}

constexpr html::Fragment kProfileLines =
    "会员编号 {{n}}，相册中已通过审核的照片 {{photos}} 张（{{album}}）。个人头像：{{head}}。";
constexpr html::Fragment kMessageLines = "未读短信 {{unread}} 条。{{friends}}";
constexpr html::Fragment kGiftLine = "{{sender}} 送给您 {{gift}}（{{time}}）<br>";
constexpr html::Fragment kPartyLine = "{{party}}（{{time}}）<br>";
constexpr html::Fragment kBalanceLine = "余额 {{balance}} E币。";

// The member's own row as the hub's first two boxes read it (EOF when the
// member was deleted since logging in).
sql::Statement ownRowSelect(std::int32_t me) {
  return sql::statement("select photo, userbz, smallphoto from zurva_user where userid={}", me);
}

db::Recordset ownRow(db::Connection& conn, std::int32_t me) {
  return conn.Execute(ownRowSelect(me));
}

std::string profileBox(zurva& z, const db::Recordset& rs, std::int32_t me) {
  const Variant photos = rs.eof() ? Variant(0L) : z.photonum(rs("photo"));
  const std::string head = rs.eof() ? "" : rs("smallphoto").str();
  const std::string n = std::to_string(me);
  return box(
      "我的资料与相册",
      siteAnchor(z, "/editinfo.asp", "修改个人资料") + "　" +
          siteAnchor(z, "/userinfo.asp?id=" + n, "查看我的资料") + "　" +
          siteAnchor(z, "/userphoto.asp", "管理我的相册") + "　" +
          siteAnchor(z, "/upload.asp", "上传照片") + "　" +
          siteAnchor(z, "/photoaction.asp", "设置个人头像"),
      kProfileLines({{"n", me},
                     {"photos", photos},
                     {"album", html::trusted(siteAnchor(z, "/xc.asp?id=" + n, "别人看到的相册"))},
                     {"head", head.empty()               ? "还没有设置"
                              : member::isApproved(head) ? "已通过审核"
                                                         : "等待管理员审核"}})
          .str());
}

std::string searchBox(zurva& z, const db::Recordset& rs) {
  const bool saved = !rs.eof() && !rs("userbz").isNull() && !rs("userbz").str().empty();
  return box("我的搜索", siteAnchor(z, "/search.asp", "高级搜索") + "　" + siteAnchor(z, "/newmembers.asp?sex=1", "最新异性会员"),
             saved ? "您已保存速配条件：打开高级搜索时自动选好，点击“高级查找”即可按它搜索。"
                   : "您还没有保存速配条件：在高级搜索中选好条件后点击“存为我的速配”。");
}

sql::Statement unreadSelect(std::int32_t me) {
  return sql::statement("select count(*) from Sendbooks where userid={} and new=1", me);
}

std::string messageBox(zurva& z, db::Connection& conn, std::int32_t me) {
  const Variant unread = conn.Execute(unreadSelect(me))(0);
  return box(
      "站内短信与好友",
      siteAnchor(z, "/mymessages.asp", "我的对话") + "　" +
          siteAnchor(z, "/friends.asp", "我的好友"),
      kMessageLines({{"unread", unread}, {"friends", html::trusted(friendsSummary(z, conn, me))}})
          .str());
}

sql::Statement giftsSelect(std::int32_t me) {
  return sql::statement(
      "select top 5 m.senduserid, u.nickname, p.name, m.addtime from presentmx m "
      "left join present p on p.id=m.presentedid left join zurva_user u on "
      "u.userid=m.senduserid "
      "where m.userid={} order by m.id desc",
      me);
}

std::string giftBox(zurva& z, db::Connection& conn, std::int32_t me) {
  std::string lines;
  for (db::Recordset rs = conn.Execute(giftsSelect(me)); !rs.eof(); rs.MoveNext()) {
    kGiftLine.appendTo(
        lines,
        {{"sender", html::trusted(siteAnchor(z, "/userinfo.asp?id=" + rs(0).str(), rs(1).str()))},
         {"gift", rs(2).str()},
         {"time", rs(3).str()}});
  }
  return box("收到的礼物", siteAnchor(z, "/present.asp", "礼物商店"), lines.empty() ? "还没有收到礼物。" : lines);
}

std::string partyLines(zurva& z, db::Recordset rs) {
  std::string lines;
  for (; !rs.eof(); rs.MoveNext())
    kPartyLine.appendTo(
        lines, {{"party", html::trusted(
                              siteAnchor(z, "/partyinfo.asp?partyid=" + rs(0).str(), rs(1).str()))},
                {"time", rs(2).str()}});
  return lines;
}

// The parties the member organised, then those he joined.
std::array<sql::Statement, 2> partySelects(std::int32_t me) {
  return {
      sql::statement("select id, bt, partytime from party where userid={} order by partytime desc",
                     me),
      sql::statement("select p.id, p.bt, p.partytime from partycj c join party p on p.id=c.partyid "
                     "where c.userid={} order by p.partytime desc",
                     me)};
}

std::string partyBox(zurva& z, db::Connection& conn, std::int32_t me) {
  const auto [organisedSelect, joinedSelect] = partySelects(me);
  const std::string organised = partyLines(z, conn.Execute(organisedSelect));
  const std::string joined = partyLines(z, conn.Execute(joinedSelect));
  return box("聚会活动",
             siteAnchor(z, "/party.asp", "全部活动") + "　" + siteAnchor(z, "/partymanage.asp", "我组织的活动") + "　" +
                 siteAnchor(z, "/partyedit.asp", "发表新活动"),
             "我组织的：<br>" + (organised.empty() ? "（没有）<br>" : organised) + "我报名的：<br>" +
                 (joined.empty() ? "（没有）" : joined));
}

std::string emoneyBox(zurva& z, db::Connection& conn, std::int32_t me) {
  const std::optional<Variant> balance = interaction::balanceOf(conn, me);
  const std::string rows = ledgerRows(conn, me, 5);
  return box(
      "我的E币",
      siteAnchor(z, "/History.asp", "E币收支记录") + "　" + siteAnchor(z, "/chongzhi.asp", "充值") +
          "　" + siteAnchor(z, "/ReadyBuy.asp", "会员升级"),
      kBalanceLine({{"balance", balance ? *balance : Variant(0)}}).str() +
          (rows.empty()
               ? std::string("还没有收支记录。")
               : "最近的收支：<table class=\"ledger\" cellspacing=\"0\" cellpadding=\"2\">\n" +
                     rows + "      </table>"));
}

std::string showcaseBox(zurva& z, serve::PageContext& p) {
  const Variant status = z.myshow_info(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  return box("我型我秀",
             siteAnchor(z, "/myshow.asp", "我型我秀状态") + "　" + siteAnchor(z, "/Apply.asp", "购买我型我秀") + "　" +
                 siteAnchor(z, "/History.asp", "E币收支记录"),
             status.str() + "<br>每天 30 E币，购买后第二天起在首页的“我型我秀”中展示。");
}

void memberHome(serve::PageContext& p) {
  zurva z;
  const auto me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "会员中心");
  db::Connection conn = openDatabase(p);
  // Every select of the page (the member bar's, each box's) asked for at
  // once: on a database server, one round trip instead of one each.
  const auto [friends, asked] = friendsSummarySelects(*me);
  const auto [organised, joined] = partySelects(*me);
  conn.prefetch({ledger::balanceSelect(*me).str(), ownRowSelect(*me).str(),
                 interaction::balanceSelect(*me), ledgerSelect(*me, 5).str(),
                 unreadSelect(*me).str(), friends.str(), asked.str(), giftsSelect(*me).str(),
                 organised.str(), joined.str(),
                 showcase::memberRowSelect(showcase::statusBoxColumns(), *me).str()});
  SitePage page(z, p, {.title = "会员中心"});
  const db::Recordset own = ownRow(conn, *me);
  p.Response.Write(profileBox(z, own, *me) + emoneyBox(z, conn, *me) + searchBox(z, own) +
                   messageBox(z, conn, *me) + giftBox(z, conn, *me) + partyBox(z, conn, *me) +
                   showcaseBox(z, p));
  page.end();
}

void logout(serve::PageContext& p) {
  zurva z;
  confirmBeforeActing(z, p, {.title = "退出登录", .question = "确定退出登录吗？"});
  endMemberLogin(p);
  p.Response.Redirect("/index.asp");
}

// Before every page: a member cookie whose login has ended (a logout, a
// password change or a lock since it was written) is a guest's. It leaves
// the request, so that no page trusts it, and the browser drops it.
void dropEndedMemberCookie(serve::PageContext& p) {
  {
    const Viewer viewer(p.Request);
    if (!viewer.isMember()) return;
    // A database that cannot be opened: the page says so in its own way.
    std::optional<db::Connection> conn = openDatabaseOrNothing(p);
    if (!conn) return;
    // The member bar's balance comes with the check, in its round trip.
    if (const std::optional<std::int32_t> id = viewer.memberNumber())
      conn->prefetch({logins::cookieCheckSelect(*id), ledger::balanceSelect(*id).str()});
    if (logins::memberCookieCurrent(*conn, viewer)) return;
  }
  p.Request.Cookies.remove(kMemberCookie);
  expireCookie(p, kMemberCookie);
}

}  // namespace

void registerMemberPages(serve::PageRegistry& pages) {
  pages.add("/login.asp", loginPage);
  pages.add("/chklogin.asp", [](serve::PageContext& p) {
    zurva z;
    // Only the site's own login form may log a visitor in: a form on another
    // site could otherwise log him into an account of its choosing.
    requireSitePost(z, p);
    z.chklogin(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  });
  pages.add("/bbs/login.asp", [](serve::PageContext& p) { p.Response.Redirect(kMemberHome); });
  pages.add("/indexw.asp", memberHome);
  pages.add("/logout.asp", logout);
  pages.setBeforeEach(dropEndedMemberCookie);
}

}  // namespace zurvafun::site

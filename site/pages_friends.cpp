// Friends on the demo site: the friend request that the member cards' 申请好友
// link sends ("/addfriends.asp?userid=N", opened by GET in a small window, so
// it asks first; the site's pages post it at once, site/site_post.h), and the
// member's friends page ("/friends.asp"), where he accepts or refuses the
// requests he received.
//
// A request is a row of Friends: userid the member asked, senduserid the
// member who asks, ifok 0 until the asked member accepts (then 1); ifhmd 1
// marks a blacklist, which no request changes. An accepted friendship opens
// a friends-only album and lists the friend in the gift form.
#include <optional>
#include <string>

#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "site/pages.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

// The row that joins two members, in either direction.
db::Recordset friendship(db::Connection& conn, std::int32_t a, std::int32_t b) {
  return conn.Execute(
      sql::statement("select id, userid, senduserid, ifok, ifhmd from Friends where userid={} and "
                     "senduserid={} or userid={} and "
                     "senduserid={} order by id",
                     a, b, b, a));
}

// What a request from `me` to `other` does, as the text the window shows.
std::string request(db::Connection& conn, std::int32_t me, std::int32_t other) {
  db::Recordset row = friendship(conn, me, other);
  if (!row.eof()) {
    if (eq(row("ifhmd"), 1)) return "黑名单！互相无法申请好友。";
    if (eq(row("ifok"), 1)) return "你们已经是好友了。";
    if (eq(row("senduserid"), Variant(long(me)))) return "您已经申请过了，请等待对方同意。";
    // TA asked first: asking back accepts.
    conn.ExecuteAction(
        sql::statement("update Friends set ifok=1, new=0 where id={}", sql::lng(row("id"))));
    return "你们已经成为好友。";
  }
  conn.ExecuteAction(
      sql::statement("insert into Friends(userid, senduserid, ifok, ifhmd, new, addtime) "
                     "values({}, {}, 0, 0, 1, '{}')",
                     other, me, sql::text(Now())));
  return "好友申请已发送，对方在会员中心的“我的好友”中同意后，你们就是好友了。";
}

void addFriendPage(serve::PageContext& p) {
  zurva z;
  const PageLayout window = {.title = "申请好友", .frame = Frame::Window};
  const std::optional<std::int32_t> me = loggedInMember(p);
  if (!me) return notePage(z, p, window, "请先登录。");
  const std::optional<std::int32_t> other = numbers::digits(p.Request.QueryString("userid"));
  if (!other || *other <= 0) return notePage(z, p, window, "请求错误！");
  if (*other == *me) return notePage(z, p, window, "不能加自己为好友。");
  confirmBeforeActing(
      z, p, {.title = window.title, .question = "确定申请加TA为好友吗？", .frame = Frame::Window});
  db::Connection conn = openDatabase(p);
  if (conn.Execute(sql::statement("select userid from zurva_user where userid={}", *other)).eof())
    return notePage(z, p, window, "没有这位会员。");
  notePage(z, p, window, request(conn, *me, *other));
}

// ------------------------------------------------------------------ the friends page

constexpr html::Fragment kFriendLine =
    "      <tr><td><a "
    "href=\"{{profile}}\">{{nickname}}</a>（{{id}}）</td><td>{{since}}</td><td>{{actions}}</td></"
    "tr>\n";

// The lines of the rows `rs` (id, the other member's number and nickname,
// addtime), each with `actions` for its row id.
template <class Actions>
std::string friendLines(zurva& z, db::Recordset rs, Actions actions) {
  std::string out;
  for (; !rs.eof(); rs.MoveNext())
    kFriendLine.appendTo(out, {{"profile", siteLink(z, "/userinfo.asp?id=" + rs(1).str())},
                               {"nickname", rs(2)},
                               {"id", rs(1)},
                               {"since", rs(3)},
                               {"actions", html::trusted(actions(rs(0).str()))}});
  return out.empty() ? "      <tr><td colspan=\"3\">（没有）</td></tr>\n" : out;
}

std::string table(std::string_view heading, const std::string& lines) {
  return "    <h3>" + std::string(heading) +
         "</h3>\n    <table class=\"bk\" cellspacing=\"1\" cellpadding=\"4\">\n" + lines +
         "    </table>\n";
}

// A request to `me` that he accepts or refuses (row `id`).
void decide(zurva& z, serve::PageContext& p, db::Connection& conn, std::int32_t me) {
  const std::optional<std::int32_t> id = numbers::digits(p.Request.QueryString("id"));
  const Variant act = p.Request.QueryString("act");
  if (!id || (!eq(act, "accept") && !eq(act, "refuse"))) z.Msg("请求错误！", "-1", 1);
  const long changed =
      eq(act, "accept")
          ? conn.ExecuteAction(sql::statement(
                "update Friends set ifok=1, new=0 where id={} and userid={} and ifok=0 and ifhmd=0",
                *id, me))
          : conn.ExecuteAction(sql::statement(
                "delete from Friends where id={} and userid={} and ifok=0 and ifhmd=0", *id, me));
  if (changed == 0) z.Msg("没有这个好友申请。", "/friends.asp", 1);
  p.Response.Redirect("/friends.asp");
}

void friendsPage(serve::PageContext& p) {
  zurva z;
  const bool deciding = postedToAct(z, p);
  const std::optional<std::int32_t> me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "我的好友");
  db::Connection conn = openDatabase(p);
  if (deciding) return decide(z, p, conn, *me);
  const auto none = [](const std::string&) { return std::string(); };
  const std::string asked = friendLines(
      z,
      conn.Execute(sql::statement(
          "select f.id, f.senduserid, u.nickname, f.addtime from Friends f join zurva_user u on "
          "u.userid=f.senduserid where f.userid={} and f.ifok=0 and f.ifhmd=0 order by f.id desc",
          *me)),
      [&](const std::string& id) {
        return postButton(z, "/friends.asp?act=accept&id=" + id, "同意") + " " +
               postButton(z, "/friends.asp?act=refuse&id=" + id, "拒绝");
      });
  const std::string friends = friendLines(
      z,
      conn.Execute(sql::statement("select f.id, u.userid, u.nickname, f.addtime from Friends f "
                                  "join zurva_user u on u.userid=case when "
                                  "f.userid={} then f.senduserid else f.userid end where "
                                  "(f.userid={} or f.senduserid={}) and f.ifok=1 and "
                                  "f.ifhmd=0 order by u.nickname",
                                  *me, *me, *me)),
      none);
  const std::string waiting = friendLines(
      z,
      conn.Execute(sql::statement(
          "select f.id, f.userid, u.nickname, f.addtime from Friends f join zurva_user u on "
          "u.userid=f.userid where f.senduserid={} and f.ifok=0 and f.ifhmd=0 order by f.id desc",
          *me)),
      none);
  SitePage page(z, p, {.title = "我的好友"});
  page.note(
      "好友可以查看只对好友开放的相册，送礼物时可以一次选好几位好友。在会员资料卡片上点击“申请好友”"
      "即可申请。");
  p.Response.Write(table("等待您同意的好友申请", asked) + table("我的好友", friends) +
                   table("我发出的申请（等待对方同意）", waiting));
  page.links({siteAnchor(z, "/indexw.asp", "会员中心")});
  page.end();
}

}  // namespace

std::array<sql::Statement, 2> friendsSummarySelects(std::int32_t me) {
  return {
      sql::statement(
          "select count(*) from Friends where (userid={} or senduserid={}) and ifok=1 and ifhmd=0",
          me, me),
      sql::statement("select count(*) from Friends where userid={} and ifok=0 and ifhmd=0", me)};
}

std::string friendsSummary(zurva& z, db::Connection& conn, std::int32_t me) {
  const auto [friendsSelect, askedSelect] = friendsSummarySelects(me);
  const Variant friends = conn.Execute(friendsSelect)(0);
  const Variant asked = conn.Execute(askedSelect)(0);
  return "好友 " + friends.str() + " 位，等待您同意的好友申请 " + asked.str() + " 个（" +
         siteAnchor(z, "/friends.asp", "我的好友") + "）。";
}

void registerFriendPages(serve::PageRegistry& pages) {
  pages.add("/addfriends.asp", addFriendPage);
  pages.add("/friends.asp", friendsPage);
}

}  // namespace zurvafun::site

// The profile and album pages: a member's profile ("/userinfo.asp?id=N",
// and "/por.asp?id=<encoded id>" that the member cards link to, with
// type=photo his album), his album and its single photos ("/xc.asp": the
// grid for a plain member number, the full-size photo for the encoded id the
// grid's links carry), the newest members as member cards
// ("/newmembers.asp"), and the page where a refused photo action ends.
#include <optional>
#include <string>
#include <vector>

#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "members/album_access.h"
#include "members/profile_panel.h"
#include "members/viewer_rules.h"
#include "model/member_record.h"
#include "runtime/text.h"
#include "site/guest_fragments.h"
#include "site/member_pages.h"
#include "site/pages.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

constexpr long kNewestOnAPage = 6;

// The frame of the profile and album pages, with what their fragments expect.
PageLayout albumFrame(std::string_view title) {
  return {.title = title, .styles = kAlbumStyles, .scripts = kGalleryScripts};
}

// The member number a page was asked for: a plain number or an encoded id.
std::optional<std::int32_t> requestedMember(zurva& z, serve::PageContext& p) {
  return members::albumMemberId(z, p.Request("id"));
}

void albumGrid(zurva& z, serve::PageContext& p, std::optional<std::int32_t> member);

// Member `member`'s head photo as this viewer may see it (the rules of the
// member cards: his privacy setting, friendship and the viewer's grade);
// "" when there is no such member.
sql::Statement headPhotoSelect(std::int32_t member) {
  return sql::statement("select smallphoto, ifphotolook, sex from zurva_user where userid={}",
                        member);
}

std::string headPhotoOf(zurva& z, serve::PageContext& p, std::int32_t member) {
  db::Connection conn = openDatabase(p);
  db::Recordset rs = conn.Execute(headPhotoSelect(member));
  if (rs.eof()) return "";
  const Viewer viewer(p.Request);
  const std::optional<std::int32_t> me = loggedInMember(p);
  // A guest is held to the rules as an ordinary member who is no friend. The
  // friendship decides only a photo kept for friends (showphoto1 reads it
  // nowhere else): for any other photo the query is left out.
  const bool friendsOnlyPhoto = !rs("smallphoto").isNull() && eq(rs("ifphotolook"), 3);
  const Variant friendFlag = me && friendsOnlyPhoto
                                 ? z.mainiffriend(long(*me), long(member), p.SqlLocalName,
                                                  p.SqlUserName, p.SqlPassword, p.SqlDatabaseName)
                                 : Variant(0);
  const Variant grade = me ? viewer.member("grade") : Variant(1);
  return z.showphoto1(rs("smallphoto"), rs("ifphotolook"), friendFlag, grade, rs("sex"), 120, 150)
      .str();
}

// The profile; with type=photo (the cards' photo-count link) the album.
void profilePage(serve::PageContext& p) {
  zurva z;
  // The cards link to the profile by the encoded id; the panel reads the number.
  const std::optional<std::int32_t> id = requestedMember(z, p);
  if (id) p.Request.QueryString.set("id", std::to_string(*id));
  if (eq(p.Request.QueryString("type"), "photo")) return albumGrid(z, p, id);
  SitePage page(z, p, albumFrame("会员资料"));
  if (id) {
    // The page's selects asked for at once: the head photo's and the panel's.
    std::vector<std::string> selects{headPhotoSelect(*id).str(),
                                     members::panelRowSelect(*id).str()};
    if (const std::optional<std::int32_t> me = loggedInMember(p))
      selects.push_back(members::acceptedFriendsSelect(*id, *me).str());
    openDatabase(p).prefetch(selects);
    const std::string n = std::to_string(*id);
    page.links({siteAnchor(z, "xc.asp?id=" + n, "查看相册"),
                siteAnchor(z, "message.asp?userid=" + n, "发短信", "target=\"_blank\""),
                siteAnchor(z, "present.asp?reid=" + n, "送礼物"),
                siteAnchor(z, "newmembers.asp", "最新会员")});
  }
  // The head photo beside the panel, as the member cards show it to this viewer.
  p.Response.Write(
      "    <table width=\"100%\" cellspacing=\"0\" cellpadding=\"0\"><tr><td class=\"headphoto\" "
      "valign=\"top\" "
      "align=\"center\" width=\"136\">" +
      (id ? headPhotoOf(z, p, *id) : std::string()) + "</td>\n    <td valign=\"top\">\n");
  z.memberinfo(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  p.Response.Write("    </td></tr></table>\n");
  page.end();
}

// The statement of a member's photo list, with the number only; an id the
// methods refuse reads nothing.
std::string photoQuery(std::optional<std::int32_t> member) {
  return sql::statement("select photo from zurva_user where userid={}", member.value_or(0)).str();
}

// When member `member`'s album is closed to this viewer, says to whom it is
// open and how the viewer gets there, and returns true.
bool albumClosed(zurva& z, serve::PageContext& p, std::optional<std::int32_t> member) {
  if (!member) return false;
  db::Connection conn = openDatabase(p);
  db::Recordset row = conn.Execute(members::privacySelect(*member));
  const Viewer viewer(p.Request);
  if (row.eof() ||
      members::albumOpenTo(conn, *member, row(0), viewer, members::freeAccessSwitch(p.Application)))
    return false;
  const bool friendsOnly = eq(row(0), 3);
  const std::string n = std::to_string(*member);
  std::string way;
  if (!loggedInMember(p)) {
    way = "请先" + siteAnchor(z, "/login.asp", "登录") + "。";
  } else if (friendsOnly) {
    way = postButton(z, "/addfriends.asp?userid=" + n, "申请加TA为好友") + "（对方同意后即可查看）";
  } else {
    way = siteAnchor(z, "/ReadyBuy.asp", "升级为银卡、金卡会员");
  }
  static constexpr html::Fragment kAlbumClosed =
      "    <p class=\"albumclosed\">{{whom}}{{way}}</p>\n";
  p.Response.Write(kAlbumClosed({{"whom", friendsOnly ? "该会员的相册只对TA的好友开放。"
                                                      : "该会员的相册只对金卡、银卡会员开放。"},
                                 {"way", html::trusted(way)}}));
  return true;
}

void albumGrid(zurva& z, serve::PageContext& p, std::optional<std::int32_t> member) {
  SitePage page(z, p, albumFrame("会员相册"));
  if (member) page.links({siteAnchor(z, "userinfo.asp?id=" + std::to_string(*member), "查看资料")});
  if (member) {
    // The page's selects asked for at once: the privacy, which this page and
    // the grid's own check read, and the photo list.
    const std::string privacy = members::privacySelect(*member).str();
    openDatabase(p).prefetch({privacy, privacy, photoQuery(member)});
  }
  if (albumClosed(z, p, member)) return page.end();
  z.memberphoto(photoQuery(member), "", "/mup_article", p.SqlLocalName, p.SqlUserName, p.SqlPassword,
                p.SqlDatabaseName);
  page.end();
}

// The grid of a member's album for a plain member number; one photo of it
// for the encoded id that the grid's big-photo links carry.
void albumPage(serve::PageContext& p) {
  zurva z;
  const Variant id = p.Request("id");
  const std::optional<std::int32_t> plain = numbers::digits(id);
  const std::optional<std::int32_t> member = requestedMember(z, p);
  if (plain || !member) return albumGrid(z, p, plain);
  SitePage page(z, p, albumFrame("相册照片"));
  if (albumClosed(z, p, member)) return page.end();
  const Variant html = z.showxcphoto(photoQuery(member), "/up_article", "id=" + id.str(), "page", p.SqlLocalName,
                                     p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  p.Response.Write(html);
  page.links({siteAnchor(z, "xc.asp?id=" + std::to_string(*member), "返回相册")});
  page.end();
}

// The newest members; with a sex value (the paging links carry "sex=1"),
// only the viewer's opposite sex (women for a guest).
void newestMembersPage(serve::PageContext& p) {
  zurva z;
  sql::Statement sql = sql::verbatim("select top 500 * from zurva_user where ifdel=0");
  const bool oneSex = !p.Request("sex").str().empty();
  if (oneSex) {
    const Viewer viewer(p.Request);
    const bool woman = viewer.isMember() && eq(viewer.member("sex"), "577");
    sql += woman ? sql::verbatim(" and sex=576") : sql::verbatim(" and sex=577");
  }
  sql += sql::verbatim(" order by userid desc");
  SitePage page(z, p, albumFrame("最新会员"));
  page.links({siteAnchor(z, oneSex ? "newmembers.asp" : "newmembers.asp?sex=1",
                         oneSex ? "全部会员" : "只看异性")});
  const auto list = [&] {
    return z.showmeminfo(sql.str(), p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName)
        .str();
  };
  // The first page of everybody is the same for every guest (as the newest
  // members of the home page); another page or the sex switch is made each time.
  const bool plain = p.Request("Page").isEmpty() && !oneSex;
  p.Response.Write(
      plain ? guestFragment(
                  p, "newest members page\n" + p.Request.ServerVariables("SCRIPT_NAME").str(), list)
            : list());
  page.end();
}

// The newest members who live in `where`: the place compared by its
// columns derived from userdata (an index range in member order), and each
// row read checked item by item as the member record reads it, which the
// comparison without regard to case may take in besides. Rarely more than
// the first rows are read.
std::string newestOf(serve::PageContext& p, const Residence& where) {
  db::Connection conn = openDatabase(p);
  const sql::Statement city = where.city.empty()
                                  ? sql::Statement()
                                  : sql::statement(" and ud_city='{}'", sql::text(where.city));
  std::vector<std::int32_t> ids;
  for (long top = kNewestOnAPage;; top *= 16) {
    ids.clear();
    long read = 0;
    for (db::Recordset rs = conn.Execute(
             sql::statement("select top {} userid, userdata from zurva_user where ifdel=0 and "
                            "ud_province='{}'{} order by userid desc",
                            top, sql::text(where.province), city));
         !rs.eof() && long(ids.size()) < kNewestOnAPage; rs.MoveNext(), ++read) {
      const member::Place lives = member::readUserData(rs(1).str()).residence;
      if (lives.province == where.province && (where.city.empty() || lives.city == where.city))
        ids.push_back(std::int32_t(CLng(rs(0))));
    }
    if (long(ids.size()) >= kNewestOnAPage || read < top) break;
  }
  if (ids.empty()) ids.push_back(0);
  return sql::statement("select * from zurva_user where userid in ({}) order by userid desc",
                        sql::numberList(ids))
      .str();
}

// Where a refused photo action sends the visitor (by GET, so it asks
// first): both logins end here.
void quitPage(serve::PageContext& p) {
  zurva z;
  confirmBeforeActing(z, p, {.title = "退出登录", .question = "确定退出登录吗？"});
  endMemberLogin(p);
  expireCookie(p, kAdministratorCookie);
  standIn("已退出", "您已退出登录。", Frame::Page)(p);
}

}  // namespace

void writeNewestMembers(zurva& z, serve::PageContext& p, const std::optional<Residence>& where) {
  const auto list = [&] {
    const std::string sql =
        where ? newestOf(p, *where)
              : sql::statement("select top {} * from zurva_user where ifdel=0 order by userid desc",
                               kNewestOnAPage)
                    .str();
    return z.showmeminfo(sql, p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName)
        .str();
  };
  // The same list for every guest: the cards read member rows, settings and
  // the year, and the paging bar the page's path; a page asked for with a
  // page number or the sex switch is made each time.
  const bool plain = p.Request("Page").isEmpty() && p.Request("sex").isEmpty();
  const std::string key = "newest\n" + p.Request.ServerVariables("SCRIPT_NAME").str() +
                          (where ? "\n" + where->province + "\n" + where->city : std::string());
  p.Response.Write(plain ? guestFragment(p, key, list) : list());
  p.Response.Write("\n");
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

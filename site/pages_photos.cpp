// The photo pages: the member's own photo manager ("/userphoto.asp"), the
// administrator's manager of any member ("/admin_userphoto.asp?userid=N"),
// and the site's own pages around them that the component leaves to the
// site: the upload of an album photo ("/upload.asp"), the approval of waiting
// photos ("/photocheck.asp"), and the head photo's page ("/photoaction.asp",
// pages_head_photo.cpp); the administrator logs in at "/admin/login.asp".
//
// In the static link mode a link to a page whose name holds "_" is read back
// as another page: "admin_userphoto_userid_25_ifok_del_ID_3.html" arrives as
// "/admin.asp?userphoto=userid&25=ifok&del=ID&3" and the first-page link
// "userid_25_admin_userphoto.html" as "/userid.asp?25=admin&userphoto";
// both are taken back to the administrator's manager here.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "members/paging_bar.h"
#include "members/photo_list.h"
#include "members/photo_manager.h"
#include "model/member_record.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/member_pages.h"
#include "site/pages_interaction.h"
#include "site/pages_showcase.h"
#include "site/photo_upload.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

namespace fs = std::filesystem;

constexpr const char* kAdminPage = "/admin_userphoto.asp";

// ---- the managers

// Runs the photo manager. Its actions may change or delete a head photo
// that the showcase list names, so the list is rebuilt after one (the
// action's message ends the request).
void runManager(zurva& z, serve::PageContext& p) {
  const bool acting = !p.Request("ifok").isEmpty();
  try {
    z.photo_show(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  } catch (const VbError& e) {
    if (acting && e.isRequestEnd()) refreshShowcaseList(p, true);
    throw;
  }
  if (acting) refreshShowcaseList(p, true);
}

// The frame of the manager pages, with what the manager's fragments expect.
PageLayout managerFrame(std::string_view title) {
  return {.title = title, .styles = kAlbumStyles, .scripts = kAlbumScripts};
}

// A request of the manager that acts takes the way of every request that
// changes something (site/site_post.h): its delete links arrive by GET and
// are asked about first. The actions are those the manager carries out
// (the exact values of ifok it compares).
void confirmManagerAction(zurva& z, serve::PageContext& p, std::string_view title) {
  const Variant ifok = p.Request("ifok");
  const char* question = eq(ifok, "del")       ? "确定删除此照片吗？"
                         : eq(ifok, "headdel") ? "确定删除头像吗？"
                         : eq(ifok, "upphoto") ? "确定修改形象照吗？"
                                               : nullptr;
  if (question) confirmBeforeActing(z, p, {.title = title, .question = question});
}

void memberManager(serve::PageContext& p) {
  // The party panel frames its photos here, by the party's number.
  if (!p.Request("partyid").isEmpty()) return interaction_pages::partyPhotos(p);
  zurva z;
  confirmManagerAction(z, p, "我的相册");
  SitePage page(z, p, managerFrame("我的相册"));
  if (Viewer(p.Request).isMember()) {
    page.links({siteAnchor(z, "upload.asp", "上传照片"),
                siteAnchor(z, "photoaction.asp", "设置个人头像"),
                siteAnchor(z, "indexw.asp", "会员中心")});
  }
  // The manager ends the page itself ("<BR></BODY></HTML>").
  runManager(z, p);
}

void administratorManager(serve::PageContext& p) {
  zurva z;
  if (!isAdministrator(p)) {
    p.Response.Redirect("/admin/login.asp");
    return;
  }
  confirmManagerAction(z, p, "会员相册管理");
  SitePage page(z, p, managerFrame("会员相册管理"));
  p.Response.Write("    <form method=\"get\" action=\"" + std::string(kAdminPage) +
                   "\">会员编号：<input type=\"text\" name=\"userid\" size=\"8\"> <input type=\"submit\" value=\"管理\">　" +
                   siteAnchor(z, "photocheck.asp", "待审核照片") + "</form>\n");
  if (p.Request.QueryString("userid").isEmpty()) {
    page.end();
    return;
  }
  runManager(z, p);
}

// Takes a static link of the administrator's manager back to its query.
void readBackAdministratorLink(serve::PageContext& p, const std::vector<std::pair<std::string, std::string>>& pairs) {
  p.Request.QueryString.clear();
  std::string text;
  for (const auto& [key, value] : pairs) {
    p.Request.QueryString.add(key, value);
    text += (text.empty() ? "" : "&") + key + "=" + value;
  }
  p.Request.QueryString.setText(text);
  p.Request.ServerVariables.set("SCRIPT_NAME", kAdminPage);
  p.Request.ServerVariables.set("URL", kAdminPage);
  administratorManager(p);
}

std::vector<std::string> queryTokens(const serve::PageContext& p) {
  std::vector<std::string> tokens;
  for (const std::string& item : Split(p.Request.QueryString.text(), "&"))
    for (const std::string& token : Split(item, "=")) tokens.push_back(token);
  return tokens;
}

void staticAdministratorLink(serve::PageContext& p) {  // "/admin.asp?userphoto=k&v=k&v..."
  const std::vector<std::string> tokens = queryTokens(p);
  if (tokens.empty() || tokens[0] != "userphoto") {
    p.Response.Status = 404;
    p.Response.Write("404 Not Found");
    return;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (std::size_t i = 1; i < tokens.size(); i += 2) pairs.emplace_back(tokens[i], i + 1 < tokens.size() ? tokens[i + 1] : "");
  readBackAdministratorLink(p, pairs);
}

void staticAdministratorFirstPage(serve::PageContext& p) {  // "/userid.asp?N=admin&userphoto"
  const std::vector<std::string> tokens = queryTokens(p);
  if (tokens.size() != 3 || tokens[1] != "admin" || tokens[2] != "userphoto") {
    p.Response.Status = 404;
    p.Response.Write("404 Not Found");
    return;
  }
  readBackAdministratorLink(p, {{"userid", tokens[0]}});
}

// ---- upload

std::string two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

void uploadPage(serve::PageContext& p) {
  // The party panel's upload link comes here with the party's number.
  if (!p.Request("partyid").isEmpty()) return interaction_pages::partyPhotoUpload(p);
  zurva z;
  const Viewer viewer(p.Request);
  const std::optional<std::int32_t> id = viewer.isMember() ? viewer.memberNumber() : std::nullopt;
  if (!id) {
    z.Msg("非法操作", "-2", 2);
    return;
  }
  if (p.Request.Form("photodata").isEmpty()) {
    SitePage page(z, p, {.title = "上传照片"});
    p.Response.Write(uploadForm("/upload.asp?act=upload",
                                "请选择一张 JPEG 照片（不大于 " +
                                    std::to_string(pictureLimitKb(p)) +
                                    "K），上传后等待管理员审核。",
                                "上传照片"));
    page.links({siteAnchor(z, "userphoto.asp", "返回我的相册")});
    page.end();
    return;
  }
  requireSitePost(z, p);
  const std::string bytes = postedPicture(z, p);

  db::Connection conn = openDatabase(p);
  db::Recordset rs =
      conn.Execute(sql::statement("select photo from zurva_user where userid={}", *id));
  if (rs.eof()) z.Msg("非法操作", "-2", 2);
  const std::string list = rs("photo").str();
  if (long(member::readPhotoList(list).size()) >= siteNumber(p, 16, 5))
    z.Msg("您的相册已满，请先删除一些照片！", "-1", 1);

  // "photo" id, the upload date in three "_"-fields, the time, ".jpg"; the
  // files go out only to whom the album rule shows them, found by the id
  // (site/photo_files.cpp).
  const Variant now = Now();
  const std::string stem = "photo" + std::to_string(*id) + "_" + std::to_string(Year(now)) + "_" + two(Month(now)) + "_" +
                           two(Day(now)) + "_" + two(Hour(now)) + two(Minute(now)) + two(Second(now));
  const fs::path album = p.Server.MapPath("/up_article");
  const fs::path thumbnails = p.Server.MapPath("/mup_article");
  fs::create_directories(album);
  fs::create_directories(thumbnails);
  std::string name = stem + ".jpg";
  for (int n = 1; fs::exists(album / name); ++n) name = stem + std::to_string(n) + ".jpg";
  for (const fs::path& folder : {album, thumbnails}) writePictureFile(folder / name, bytes);

  const bool waits = siteNumber(p, 8, 1) == 1;
  const std::string entry = member::photoEntry(name, !waits);
  conn.ExecuteAction(sql::statement("update zurva_user set photo='{}' where userid={}",
                                    sql::text(list.empty() ? entry : list + "#" + entry), *id));
  members::recountTrust(conn, *id);
  Variant back = "userphoto.asp";
  z.Msg(waits ? "上传成功，请等待管理员审核！" : "上传成功！", z.showurl(back), 1);
}

// ---- the administrator

// Approves or rejects one waiting picture (form values userid, entry, kind
// "album" or "head", action "approve" or "reject"), then the trust recount.
void decide(serve::PageContext& p, db::Connection& conn) {
  const std::optional<std::int32_t> id = numbers::digits(p.Request.Form("userid"));
  if (!id) return;
  const std::string entry = p.Request.Form("entry").str();
  // Only a pressed button decides: a post without one changes nothing.
  const bool approve = eq(p.Request.Form("action"), "approve");
  if (!approve && !eq(p.Request.Form("action"), "reject")) return;
  db::Recordset rs =
      conn.Execute(sql::statement("select photo, smallphoto from zurva_user where userid={}", *id));
  if (rs.eof()) return;
  std::vector<std::string> deleted;  // site paths of files to delete
  if (eq(p.Request.Form("kind"), "head")) {
    const std::string stored = rs("smallphoto").str();
    if (stored.empty() || stored != entry) return;
    if (approve) {
      conn.ExecuteAction(
          sql::statement("update zurva_user set smallphoto='{}' where userid={}",
                         sql::text(member::photoEntry(member::photoFileName(stored), true)), *id));
    } else {
      conn.ExecuteAction(
          sql::statement("update zurva_user set smallphoto=null where userid={}", *id));
      deleted.push_back("/smallphoto/" + member::headPhotoName(*id));
    }
  } else {
    std::vector<std::string> entries = member::readPhotoList(rs("photo").str());
    const auto at = std::find(entries.begin(), entries.end(), entry);
    if (at == entries.end()) return;
    const std::string name = member::photoFileName(entry);
    if (approve) {
      *at = member::photoEntry(name, true);
    } else {
      entries.erase(at);
      deleted.push_back("/up_article/" + name);
      deleted.push_back("/mup_article/" + name);
    }
    conn.ExecuteAction(entries.empty()
                           ? sql::statement("update zurva_user set photo=null where userid={}", *id)
                           : sql::statement("update zurva_user set photo='{}' where userid={}",
                                            sql::text(Join(entries, "#")), *id));
  }
  members::recountTrust(conn, *id);
  for (const std::string& path : deleted) {
    const std::size_t slash = path.rfind('/');
    if (const std::optional<std::string> file = members::fileInFolder(p.Server, path.substr(0, slash + 1), path.substr(slash + 1))) {
      std::error_code ignored;
      fs::remove(*file, ignored);
    }
  }
}

constexpr html::Fragment kDecisionForm =
    R"(<form method="post" action="/photocheck.asp" style="display:inline"><input type="hidden" name="userid" value="{{id}}">)"
    R"(<input type="hidden" name="entry" value="{{entry}}"><input type="hidden" name="kind" value="{{kind}}">)"
    R"(<input type="hidden" name="page" value="{{page}}">)"
    R"(<button type="submit" name="action" value="approve">通过</button> <button type="submit" name="action" value="reject">删除</button></form>)";

// A member whose pictures wait for approval, as the approval page lists him.
struct Waiting {
  long id = 0;
  std::string nickname;
  std::vector<std::string> album;  // the waiting entries of his album
  std::string head;                // his waiting head photo, or ""
  fs::file_time_type newest{};     // when the newest of them arrived (its file's time)
};

// Every member with a picture waiting, the newest arrival first (then the
// highest member number).
std::vector<Waiting> waitingMembers(serve::PageContext& p, db::Connection& conn) {
  const auto arrived = [&](const std::string& folder, const std::string& entry) {
    std::error_code ignored;
    const fs::file_time_type time =
        fs::last_write_time(p.Server.MapPath(folder + member::photoFileName(entry)), ignored);
    return ignored ? fs::file_time_type{} : time;
  };
  std::vector<Waiting> list;
  for (db::Recordset rs =
           conn.Execute(sql::statement("select userid, nickname, photo, smallphoto from zurva_user "
                                       "where photo like '%.jpg0' or "
                                       "photo like '%.jpg0#%' or smallphoto like '%.jpg0'"));
       !rs.eof(); rs.MoveNext()) {
    Waiting w{.id = CLng(rs("userid")), .nickname = rs("nickname").str(), .album = {}, .head = {}};
    for (const std::string& entry : member::readPhotoList(rs("photo").str())) {
      if (!entry.ends_with("0")) continue;
      w.album.push_back(entry);
      w.newest = std::max(w.newest, arrived("/up_article/", entry));
    }
    if (const std::string head = rs("smallphoto").str(); head.ends_with("0")) {
      w.head = head;
      w.newest = std::max(w.newest, arrived("/smallphoto/", head));
    }
    if (!w.album.empty() || !w.head.empty()) list.push_back(std::move(w));
  }
  std::sort(list.begin(), list.end(), [](const Waiting& a, const Waiting& b) {
    return a.newest != b.newest ? a.newest > b.newest : a.id > b.id;
  });
  return list;
}

constexpr long kWaitingOnAPage = 10;

constexpr html::Fragment kWaitingCount =
    "    <p>{{links}}</p>\n    <p>等待审核：<b>{{pictures}}</b> 张照片，来自 <b>{{members}}</b> "
    "位会员（最新上传的在前）。</p>\n";
constexpr html::Fragment kWaitingLine =
    "      <tr class=\"bg_h\"><td>{{id}} <a "
    "href=\"/admin_userphoto.asp?userid={{id}}\">{{nickname}}</a></td><td>{{pictures}}</td></tr>\n";
constexpr html::Fragment kWaitingPicture =
    R"~({{label}}<img src="{{src}}" onload="DrawImage(this,100,100)"> {{form}}<br>)~";

void photoCheckPage(serve::PageContext& p) {
  zurva z;
  if (!isAdministrator(p)) {
    p.Response.Redirect("/admin/login.asp");
    return;
  }
  db::Connection conn = openDatabase(p);
  if (postedToAct(z, p)) {
    decide(p, conn);
    refreshShowcaseList(p, true);  // a rejected head photo leaves the showcase
    // Back to the page the administrator decided on.
    const std::optional<std::int32_t> page = numbers::digits(p.Request.Form("page"));
    p.Response.Redirect("/photocheck.asp" +
                        (page && *page > 1 ? "?page=" + std::to_string(*page) : std::string()));
    return;
  }
  const std::vector<Waiting> waiting = waitingMembers(p, conn);
  long pictures = 0;
  for (const Waiting& w : waiting) pictures += long(w.album.size()) + (w.head.empty() ? 0 : 1);
  const long pageCount =
      std::max(1L, (long(waiting.size()) + kWaitingOnAPage - 1) / kWaitingOnAPage);
  members::PagingBar bar{.page = numbers::clampedPage(p.Request.QueryString("page"), pageCount),
                         .pageCount = pageCount,
                         .records = long(waiting.size()),
                         .base = "/photocheck.asp?",
                         .carried = "",
                         .jumpSelect = false};

  SitePage page(z, p, managerFrame("待审核照片"));
  std::string out =
      kWaitingCount({{"links", html::trusted(siteAnchor(z, "admin_userphoto.asp", "会员相册管理"))},
                     {"pictures", pictures},
                     {"members", long(waiting.size())}})
          .str();
  out += "    <table cellspacing=\"1\" cellpadding=\"4\">\n";
  const auto form = [&](const Waiting& w, const std::string& entry, const char* kind) {
    return html::trusted(
        kDecisionForm({{"id", w.id}, {"entry", entry}, {"kind", kind}, {"page", bar.page}}).str());
  };
  const std::size_t first = std::size_t((bar.page - 1) * kWaitingOnAPage);
  for (std::size_t i = first; i < waiting.size() && i < first + kWaitingOnAPage; ++i) {
    const Waiting& w = waiting[i];
    std::string cell;
    for (const std::string& entry : w.album)
      kWaitingPicture.appendTo(cell, {{"label", ""},
                                      {"src", "/mup_article/" + member::photoFileName(entry)},
                                      {"form", form(w, entry, "album")}});
    if (!w.head.empty())
      kWaitingPicture.appendTo(cell, {{"label", "头像："},
                                      {"src", "/smallphoto/" + member::photoFileName(w.head)},
                                      {"form", form(w, w.head, "head")}});
    kWaitingLine.appendTo(
        out, {{"id", w.id}, {"nickname", w.nickname}, {"pictures", html::trusted(cell)}});
  }
  if (waiting.empty()) out += "      <tr><td>没有待审核的照片。</td></tr>\n";
  out += "    </table>\n";
  if (!waiting.empty())
    out += "    <table width=\"100%\">" + members::pagingBar(z, bar) + "</table>\n";
  p.Response.Write(out);
  page.end();
}

}  // namespace

void registerPhotoPages(serve::PageRegistry& pages) {
  pages.add("/userphoto.asp", memberManager);
  pages.add(kAdminPage, administratorManager);
  pages.add("/admin.asp", staticAdministratorLink);
  pages.add("/userid.asp", staticAdministratorFirstPage);
  registerHeadPhotoPages(pages);
  pages.add("/upload.asp", uploadPage);
  pages.add("/photocheck.asp", photoCheckPage);
  guardPhotoFolders(pages);
  pages.list("/userphoto.asp", "我的相册（会员）");
}

}  // namespace zurvafun::site

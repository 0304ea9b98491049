// The photo pages: the member's own photo manager ("/userphoto.asp"), the
// administrator's manager of any member ("/admin_userphoto.asp?userid=N"),
// and the site's own pages around them that the component leaves to the
// site: the upload of an album photo ("/upload.asp"), the approval of waiting
// photos ("/photocheck.asp"), the profile picture's page ("/photoaction.asp")
// (the administrator logs in at "/admin/login.asp").
//
// In the static link mode a link to a page whose name holds "_" is read back
// as another page: "admin_userphoto_userid_25_ifok_del_ID_3.html" arrives as
// "/admin.asp?userphoto=userid&25=ifok&del=ID&3" and the first-page link
// "userid_25_admin_userphoto.html" as "/userid.asp?25=admin&userphoto";
// both are taken back to the administrator's manager here.
#include <openssl/evp.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/escape.h"
#include "framework/numbers.h"
#include "framework/site_settings.h"
#include "framework/viewer.h"
#include "members/photo_list.h"
#include "members/photo_manager.h"
#include "profile/member_record.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/jpeg_picture.h"
#include "site/member_pages.h"
#include "site/pages_interaction.h"
#include "site/pages_showcase.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

namespace fs = std::filesystem;

constexpr const char* kAdminPage = "/admin_userphoto.asp";

// A site setting of zurva_base_info as a number, or `fallback`.
long setting(serve::PageContext& p, long index, long fallback) {
  try {
    const std::optional<std::int32_t> n =
        numbers::digits(Variant(siteSettings(p.Application)->baseInfo(index)));
    return n.value_or(fallback);
  } catch (const std::exception&) {
    return fallback;
  }
}

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
    p.Response.Write("    <p>" + siteAnchor(z, "upload.asp", "上传照片") + "　" + siteAnchor(z, "indexw.asp", "会员中心") +
                     "</p>\n");
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

// ---- the profile picture

// The member's profile picture (his last album entry), or for an
// administrator entry `num` of member `userid`.
void photoActionPage(serve::PageContext& p) {
  zurva z;
  const Viewer viewer(p.Request);
  std::optional<std::int32_t> member = viewer.isMember() ? viewer.memberNumber() : std::nullopt;
  std::optional<std::int32_t> index;
  if (viewer.isAdministrator() && !p.Request("userid").isEmpty()) {
    member = numbers::digits(p.Request("userid"));
    index = numbers::digits(p.Request("num"));
  }
  if (!member) {
    z.Msg("非法操作", "-2", 2);
    return;
  }
  db::Connection conn = openDatabase(p);
  db::Recordset rs = conn.Execute("select photo from zurva_user where userid=" + std::to_string(*member));
  const std::vector<std::string> entries = rs.eof() ? std::vector<std::string>{} : member::readPhotoList(rs("photo").str());
  SitePage page(z, p, {.title = "形象照", .frame = Frame::Window, .scripts = kAlbumScripts});
  const long chosen = index ? *index : long(entries.size()) - 1;
  if (chosen >= 0 && chosen < long(entries.size())) {
    p.Response.Write("    <p>形象照是相册中排在最后的照片，会员资料和搜索结果中显示它。</p>\n    <p><img src=\"/up_article/" +
                     htmlEscape(member::photoFileName(entries[std::size_t(chosen)])) +
                     "\" onload=\"DrawImage(this,600,600)\"></p>\n");
  } else {
    p.Response.Write("    <p>暂时没有像册...</p>\n");
  }
  page.end();
}

// ---- upload

// The form posts to "upload.asp?act=upload": for that request the input
// filter leaves the form's values alone, so the picture's bytes (base64 text,
// in which "and" or "select" turn up by chance) are never taken for words.
constexpr std::string_view kUploadForm = R"(    <p>请选择一张 JPEG 照片（不大于 {KB}K），上传后等待管理员审核。</p>
    <form name="upload" method="post" action="/upload.asp?act=upload" onsubmit="return readPhoto(this);">
      <input type="file" id="photofile" accept="image/jpeg">
      <input type="hidden" name="photodata" value="">
      <input type="submit" value="上传照片">
    </form>
    <script type="text/javascript">
    function readPhoto(form) {
      var file = document.getElementById('photofile').files[0];
      if (!file) { alert('请选择照片！'); return false; }
      var reader = new FileReader();
      reader.onload = function () {
        form.photodata.value = reader.result.substring(reader.result.indexOf(',') + 1);
        form.submit();
      };
      reader.readAsDataURL(file);
      return false;
    }
    </script>
)";

// The bytes of base64 text (blanks and line breaks skipped); std::nullopt
// when it is not base64.
std::optional<std::string> base64Bytes(std::string_view text) {
  std::string clean;
  for (char c : text)
    if (c != ' ' && c != '\r' && c != '\n' && c != '\t') clean += c;
  if (clean.empty() || clean.size() % 4 != 0) return std::nullopt;
  std::string bytes(clean.size() / 4 * 3, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                reinterpret_cast<const unsigned char*>(clean.data()), int(clean.size()));
  if (n < 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && clean[clean.size() - 1 - padding] == '=') ++padding;
  bytes.resize(std::size_t(n) - padding);
  return bytes;
}

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
  const long limitKb = setting(p, 17, 200);
  if (p.Request.Form("photodata").isEmpty()) {
    SitePage page(z, p, {.title = "上传照片"});
    p.Response.Write(Replace(kUploadForm, "{KB}", std::to_string(limitKb)));
    p.Response.Write("    <p>" + siteAnchor(z, "userphoto.asp", "返回我的相册") + "</p>\n");
    page.end();
    return;
  }
  requireSitePost(z, p);
  const std::optional<std::string> bytes = base64Bytes(p.Request.Form("photodata").str());
  if (!bytes) z.Msg("只能上传 JPEG 格式的照片！", "-1", 1);
  if (long(bytes->size()) > limitKb * 1024) z.Msg("照片不能大于" + std::to_string(limitKb) + "K！", "-1", 1);
  // The whole picture is decoded: a file that only looks like a JPEG at its
  // ends is refused.
  switch (checkJpeg(*bytes).result) {
    case JpegCheck::Result::Picture: break;
    case JpegCheck::Result::TooLarge: z.Msg("照片的尺寸太大，请缩小后再上传！", "-1", 1); break;
    case JpegCheck::Result::NotAPicture: z.Msg("只能上传 JPEG 格式的照片！", "-1", 1); break;
  }

  db::Connection conn = openDatabase(p);
  db::Recordset rs = conn.Execute("select photo from zurva_user where userid=" + std::to_string(*id));
  if (rs.eof()) z.Msg("非法操作", "-2", 2);
  const std::string list = rs("photo").str();
  if (long(member::readPhotoList(list).size()) >= setting(p, 16, 5))
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
  for (const fs::path& folder : {album, thumbnails}) std::ofstream(folder / name, std::ios::binary) << *bytes;

  const bool waits = setting(p, 8, 1) == 1;
  const std::string entry = member::photoEntry(name, !waits);
  conn.ExecuteAction("update zurva_user set photo=? where userid=?",
                     {Variant(list.empty() ? entry : list + "#" + entry), Variant(long(*id))});
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
  db::Recordset rs = conn.Execute("select photo, smallphoto from zurva_user where userid=" + std::to_string(*id));
  if (rs.eof()) return;
  std::vector<std::string> deleted;  // site paths of files to delete
  if (eq(p.Request.Form("kind"), "head")) {
    const std::string stored = rs("smallphoto").str();
    if (stored.empty() || stored != entry) return;
    if (approve) {
      conn.ExecuteAction("update zurva_user set smallphoto=? where userid=?",
                         {Variant(member::photoEntry(member::photoFileName(stored), true)), Variant(long(*id))});
    } else {
      conn.ExecuteAction("update zurva_user set smallphoto=null where userid=?", {Variant(long(*id))});
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
    conn.ExecuteAction("update zurva_user set photo=? where userid=?",
                       {entries.empty() ? Variant::null() : Variant(Join(entries, "#")), Variant(long(*id))});
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

constexpr std::string_view kDecisionForm =
    R"(<form method="post" action="/photocheck.asp" style="display:inline"><input type="hidden" name="userid" value="{ID}">)"
    R"(<input type="hidden" name="entry" value="{ENTRY}"><input type="hidden" name="kind" value="{KIND}">)"
    R"(<button type="submit" name="action" value="approve">通过</button> <button type="submit" name="action" value="reject">删除</button></form>)";

std::string decisionForm(long id, const std::string& entry, const char* kind) {
  return Replace(Replace(Replace(kDecisionForm, "{ID}", std::to_string(id)), "{ENTRY}", htmlEscape(entry)), "{KIND}", kind);
}

void photoCheckPage(serve::PageContext& p) {
  zurva z;
  if (!isAdministrator(p)) {
    p.Response.Redirect("/admin/login.asp");
    return;
  }
  db::Connection conn = openDatabase(p);
  if (eq(p.Request.ServerVariables("REQUEST_METHOD"), "POST")) {
    requireSitePost(z, p);
    decide(p, conn);
    refreshShowcaseList(p, true);  // a rejected head photo leaves the showcase
    p.Response.Redirect("/photocheck.asp");
    return;
  }
  SitePage page(z, p, managerFrame("待审核照片"));
  p.Response.Write("    <p>" + siteAnchor(z, "admin_userphoto.asp", "会员相册管理") +
                   "</p>\n    <table cellspacing=\"1\" cellpadding=\"4\">\n");
  db::Recordset rs = conn.Execute(
      "select top 30 userid, nickname, photo, smallphoto from zurva_user where photo like '%.jpg0' or "
      "photo like '%.jpg0#%' or smallphoto like '%.jpg0' order by userid");
  long shown = 0;
  for (; !rs.eof(); rs.MoveNext(), ++shown) {
    const long id = CLng(rs("userid"));
    p.Response.Write("      <tr class=\"bg_h\"><td>" + std::to_string(id) + " " + htmlEscape(rs("nickname").str()) + "</td><td>");
    for (const std::string& entry : member::readPhotoList(rs("photo").str())) {
      if (!entry.ends_with("0")) continue;
      p.Response.Write("<img src=\"/mup_article/" + htmlEscape(member::photoFileName(entry)) +
                       "\" onload=\"DrawImage(this,100,100)\"> " + decisionForm(id, entry, "album") + "<br>");
    }
    const std::string head = rs("smallphoto").str();
    if (head.ends_with("0")) {
      p.Response.Write("头像：<img src=\"/smallphoto/" + htmlEscape(member::photoFileName(head)) +
                       "\" onload=\"DrawImage(this,100,100)\"> " + decisionForm(id, head, "head"));
    }
    p.Response.Write("</td></tr>\n");
  }
  if (shown == 0) p.Response.Write("      <tr><td>没有待审核的照片。</td></tr>\n");
  p.Response.Write("    </table>\n");
  page.end();
}

}  // namespace

void registerPhotoPages(serve::PageRegistry& pages) {
  pages.add("/userphoto.asp", memberManager);
  pages.add(kAdminPage, administratorManager);
  pages.add("/admin.asp", staticAdministratorLink);
  pages.add("/userid.asp", staticAdministratorFirstPage);
  pages.add("/photoaction.asp", photoActionPage);
  pages.add("/upload.asp", uploadPage);
  pages.add("/photocheck.asp", photoCheckPage);
  guardPhotoFolders(pages);
  pages.list("/userphoto.asp", "我的相册（会员）");
}

}  // namespace zurvafun::site

// The head photo's page "/photoaction.asp". The photo manager's 形象照 icon
// opens it: for a member "photoaction.html", for an administrator on a
// member's manager "photoaction.asp?userid=N&num=I" (entry I of member N's
// album).
//
// The head photo is the picture of the member cards, the search rows, the
// profile page and the galleries: column smallphoto, "smallphoto<id>.jpg"
// with its approval flag, the file under "/smallphoto/". A member makes one
// of his approved album photos his head photo, or uploads a picture for it;
// either is a copy under that name that waits for approval like any upload
// (site setting 8), so other members see the earlier picture's place held by
// the placeholder until the administrator approves it on "/photocheck.asp".
// An administrator's choice for a member is approved at once.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "model/member_record.h"
#include "site/member_pages.h"
#include "site/pages_showcase.h"
#include "site/photo_upload.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

namespace fs = std::filesystem;

// Whose head photo the request is about.
struct Target {
  std::int32_t member = 0;
  bool administrator = false;         // an administrator for member `member`
  std::optional<std::int32_t> entry;  // the album entry an administrator chose
};

// An administrator names the member and the entry; anybody else is the
// member of his cookie. std::nullopt for a guest.
std::optional<Target> targetOf(serve::PageContext& p) {
  const Viewer viewer(p.Request);
  if (viewer.isAdministrator() && !p.Request("userid").isEmpty()) {
    const std::optional<std::int32_t> member = numbers::digits(p.Request("userid"));
    if (!member || *member <= 0) return std::nullopt;
    return Target{*member, true, numbers::digits(p.Request("num"))};
  }
  const std::optional<std::int32_t> me = loggedInMember(p);
  if (!me) return std::nullopt;
  return Target{*me, false, std::nullopt};
}

struct Pictures {
  std::vector<std::string> album;  // the entries, in stored order
  std::string head;                // the stored head photo, or ""
};

std::optional<Pictures> picturesOf(db::Connection& conn, std::int32_t member) {
  db::Recordset rs = conn.Execute(
      sql::statement("select photo, smallphoto from zurva_user where userid={}", member));
  if (rs.eof()) return std::nullopt;
  return Pictures{member::readPhotoList(rs("photo").str()), rs("smallphoto").str()};
}

// The bytes of an album picture's full-size file; std::nullopt when the file
// is not there (or the stored name could not name one).
std::optional<std::string> albumPicture(serve::PageContext& p, const std::string& entry) {
  const std::string name = member::photoFileName(entry);
  if (name.empty() || name.find_first_of("/\\:") != std::string::npos ||
      name.find("..") != std::string::npos)
    return std::nullopt;
  std::ifstream in(p.Server.MapPath("/up_article/" + name), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ------------------------------------------------------------------ the page

constexpr html::Fragment kHeadPhotoTop =
    R"(    <p>个人头像显示在您的会员卡片、搜索结果、资料页和首页的会员展示中，申请我型我秀也需要它。设置或更换头像后，头像要等管理员审核通过才显示给其他会员。</p>
    <p>现在的头像：{{state}}</p>
    {{current}}
    <h3>从相册中选一张（已通过审核的照片）</h3>
    <table cellspacing="6"><tr>{{choices}}</tr></table>
    <h3>或者上传一张照片作为头像</h3>
)";
constexpr html::Fragment kChoice =
    R"~(<td align="center" valign="top"><img src="{{src}}" onload="DrawImage(this,120,150)"><br>{{label}}{{button}}</td>)~";
constexpr html::Fragment kCurrent =
    R"~(<p><img src="{{src}}" onload="DrawImage(this,120,150)"></p>)~";
constexpr html::Fragment kAdministratorChoice = R"~(    <p>会员 {{member}} 的相册照片：</p>
    <p><img src="{{src}}" onload="DrawImage(this,300,300)"></p>
    <p>{{button}}</p>
    <p><a href="/admin_userphoto.asp?userid={{member}}">返回会员相册管理</a></p>
)~";

std::string headPhotoState(const std::string& head) {
  if (head.empty()) return "还没有设置";
  return member::isApproved(head) ? "已通过审核" : "等待管理员审核";
}

void writeMemberPage(zurva& z, serve::PageContext& p, const Target& target,
                     const Pictures& pictures) {
  std::string choices;
  // The profile picture (the last entry) first, as the manager lists them.
  for (long i = long(pictures.album.size()) - 1; i >= 0; --i) {
    const std::string& entry = pictures.album[std::size_t(i)];
    if (!member::isApproved(entry)) continue;
    const bool profilePicture = i == long(pictures.album.size()) - 1;
    kChoice.appendTo(
        choices,
        {{"src", "/mup_article/" + member::photoFileName(entry)},
         {"label", html::trusted(profilePicture ? "<font color=red>形象照</font><br>" : "")},
         {"button", html::trusted(postButton(z, "/photoaction.asp?num=" + std::to_string(i),
                                             "设为个人头像"))}});
  }
  if (choices.empty()) choices = "<td>相册中还没有通过审核的照片。</td>";
  const std::string current =
      pictures.head.empty()
          ? std::string()
          : kCurrent({{"src", "/smallphoto/" + member::photoFileName(pictures.head)}}).str();
  p.Response.Write(kHeadPhotoTop({{"state", headPhotoState(pictures.head)},
                                  {"current", html::trusted(current)},
                                  {"choices", html::trusted(choices)}})
                       .str());
  p.Response.Write(uploadForm(
      "/photoaction.asp?act=upload",
      "请选择一张 JPEG 照片（不大于 " + std::to_string(pictureLimitKb(p)) + "K）。", "上传头像"));
  p.Response.Write(
      "    <p>" + siteAnchor(z, "/userphoto.asp", "返回我的相册") + "　" +
      siteAnchor(z, "/userinfo.asp?id=" + std::to_string(target.member), "查看我的资料") +
      "</p>\n");
}

void writeAdministratorPage(zurva& z, serve::PageContext& p, const Target& target,
                            const Pictures& pictures) {
  const std::optional<std::int32_t> index = target.entry;
  if (!index || *index < 0 || std::size_t(*index) >= pictures.album.size()) {
    p.Response.Write("    <p>暂时没有像册...</p>\n");
    return;
  }
  const std::string member = std::to_string(target.member);
  p.Response.Write(
      kAdministratorChoice(
          {{"member", member},
           {"src", "/up_article/" + member::photoFileName(pictures.album[std::size_t(*index)])},
           {"button", html::trusted(postButton(
                          z, "/photoaction.asp?userid=" + member + "&num=" + std::to_string(*index),
                          "设为该会员的个人头像（无需审核）"))}})
          .str());
}

// ------------------------------------------------------------------ setting it

// The picture the post chose: an uploaded one (act=upload), or an album
// entry (num) that a member may use only once it is approved.
std::string chosenPicture(zurva& z, serve::PageContext& p, const Target& target,
                          const Pictures& pictures) {
  if (eq(p.Request.QueryString("act"), "upload")) return postedPicture(z, p);
  const std::optional<std::int32_t> index =
      target.administrator ? target.entry : numbers::digits(p.Request("num"));
  if (!index || *index < 0 || std::size_t(*index) >= pictures.album.size())
    z.Msg("请求错误！", "-1", 1);
  const std::string& entry = pictures.album[std::size_t(*index)];
  if (!target.administrator && !member::isApproved(entry))
    z.Msg("请选择一张已通过审核的照片！", "-1", 1);
  const std::optional<std::string> bytes = albumPicture(p, entry);
  if (!bytes) z.Msg("这张照片的文件已经不在了，请选择另一张或上传一张照片！", "-1", 1);
  return *bytes;
}

void setHeadPhoto(zurva& z, serve::PageContext& p, const Target& target, const Pictures& pictures) {
  const std::string bytes = chosenPicture(z, p, target, pictures);
  const std::string name = member::headPhotoName(target.member);
  writePictureFile(fs::path(p.Server.MapPath("/smallphoto")) / name, bytes);
  const bool waits = !target.administrator && siteNumber(p, 8, 1) == 1;
  db::Connection conn = openDatabase(p);
  conn.ExecuteAction(sql::statement("update zurva_user set smallphoto='{}' where userid={}",
                                    sql::text(member::photoEntry(name, !waits)), target.member));
  // The showcase list carries the head photo with its flag.
  refreshShowcaseList(p, true);
  const std::string back = target.administrator
                               ? "/admin_userphoto.asp?userid=" + std::to_string(target.member)
                               : std::string("/userphoto.asp");
  z.Msg(waits ? "头像已提交，请等待管理员审核！" : "头像已设置！", back, 1);
}

void headPhotoPage(serve::PageContext& p) {
  zurva z;
  const bool setting = postedToAct(z, p);
  const std::optional<Target> target = targetOf(p);
  if (!target) return askToLogIn(z, p, "个人头像");
  db::Connection conn = openDatabase(p);
  const std::optional<Pictures> pictures = picturesOf(conn, target->member);
  if (!pictures) z.Msg("请求错误！", "-1", 1);
  if (setting) return setHeadPhoto(z, p, *target, *pictures);
  SitePage page(z, p, {.title = "个人头像", .styles = kAlbumStyles, .scripts = kAlbumScripts});
  if (target->administrator) {
    writeAdministratorPage(z, p, *target, *pictures);
  } else {
    writeMemberPage(z, p, *target, *pictures);
  }
  page.end();
}

}  // namespace

void registerHeadPhotoPages(serve::PageRegistry& pages) {
  pages.add("/photoaction.asp", headPhotoPage);
}

}  // namespace zurvafun::site

// photo_show: the member's own photo manager, and an administrator's
// manager of any member's pictures ("admin_userphoto.asp"). One call writes
// the manager page, then carries out at most one action chosen by the
// request value ifok: "upphoto" makes an album entry the profile picture,
// "del" deletes an album entry with its picture and thumbnail, "headdel"
// deletes the head photo.
//
// An action checks everything it will touch before it changes anything: the
// entry must exist, and every file it would delete must lie inside its own
// folder. A refused file is logged (the refusal tells the visitor it was
// recorded); "修改成功！" is shown only when the record was changed.
#include "members/photo_manager.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include "db/db.h"
#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "host/objects.h"
#include "members/photo_list.h"
#include "model/member_record.h"
#include "runtime/text.h"

namespace zurvafun {

namespace members {

std::optional<std::string> fileInFolder(const host::Server& server, std::string_view folder, std::string_view name) {
  if (name.empty() || name.find_first_of("/\\:") != std::string_view::npos || name.find("..") != std::string_view::npos)
    return std::nullopt;
  namespace fs = std::filesystem;
  const std::string file = server.MapPath(std::string(folder) + std::string(name));
  std::error_code error;
  const fs::path realFolder = fs::weakly_canonical(server.MapPath(folder), error);
  if (error) return std::nullopt;
  const fs::path realFile = fs::weakly_canonical(file, error);
  if (error || realFile.parent_path() != realFolder) return std::nullopt;
  return file;
}

}  // namespace members

namespace {

constexpr const char* kAlbumFolder = "/up_article/";
constexpr const char* kThumbnailFolder = "/mup_article/";
constexpr const char* kHeadPhotoFolder = "/smallphoto/";

constexpr html::Fragment kRefusal =
    "<script language='javascript'>alert('非法操作，您的操作已被记录！');"
    "window.document.location.href='{{quit}}';</script>";
constexpr const char* kNoFileSystem =
    "<b><font color=red>服务器不支持 FSO(Scripting.FileSystemObject)! 不能使用本功能</font></b>";

}  // namespace

namespace {
struct PhotoShow;
}

// photo_show's steps: whose pictures, the member's row, the page, and the
// three actions. Every statement is skipped when it fails, and the method
// goes on.
template <>
struct MethodSteps<PhotoShow> {
  zurva& z;
  db::Connection& conn;
  long memberId;

  // An administrator manages the member the query names (`linkParameter`
  // carries him in the page's links); a member only his own pictures,
  // whatever the query says.
  static long managedMember(zurva& z, const Viewer& viewer, std::string& linkParameter) {
    const Variant queryUserid = z.Request().QueryString("userid");
    z.pages(queryUserid);
    if (viewer.isAdministrator() && !queryUserid.isEmpty()) {
      const std::optional<std::int32_t> id = numbers::digits(queryUserid);
      if (!id) z.Msg("请求错误！", "-1", 1);
      linkParameter = "userid=" + std::to_string(*id) + "&";
      return *id;
    }
    if (!viewer.isMember()) z.Msg("请求错误！", "-1", 1);
    return viewer.userid();
  }

  // The member's smallphoto and photo; a member without a row is refused.
  void readRow(Variant& smallphoto, Variant& photo) {
    bool found = false;
    z.resume([&] {
      db::Recordset rs;
      rs.Open(sql::statement("select smallphoto,photo from [Zurva_user] where userid={}", memberId), conn,
              db::adOpenKeyset, db::adLockReadOnly);
      found = !rs.eof();
      if (found) {
        smallphoto = rs("smallphoto");
        photo = rs("photo");
      }
    });
    if (!found) z.Msg("请求错误！", "-1", 1);
  }

  // The manager page at the requested page of the album.
  void writePage(const Viewer& viewer, const std::string& linkParameter, const Variant& smallphoto,
                 const std::string& list, std::size_t entryCount) {
    const Variant requestedPage = z.Request()("page");
    z.pages(requestedPage);
    members::ManagerPage page{
        .memberId = memberId,
        .linkParameter = linkParameter,
        .script = z.Request().ServerVariables("SCRIPT_NAME").str(),
        .viewerSex = viewer.member("sex"),
        .smallphoto = smallphoto,
        .photo = list,
        .memberWithoutAdministrator = viewer.isMember() && !viewer.isAdministrator(),
    };
    z.resume([&] {
      const long pageNumber =
          numbers::clampedPage(requestedPage, members::managerPageCount(long(entryCount)));
      z.Response().Write(members::managerPage(z, page, pageNumber));
    });
  }

  // "upphoto": the chosen entry goes last (the profile picture); the others
  // follow in reverse order, last first.
  void choosePicture(const std::vector<std::string>& entries) {
    const std::optional<std::size_t> chosen = entryIndex(z.Request().Form("xxphoto"), entries);
    if (!chosen) z.Msg("请求错误！", "-1", 1);
    std::string rewritten;
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (i != *chosen) rewritten = entries[i] + "#" + rewritten;
    rewritten += entries[*chosen];
    long changed = 0;
    z.resume([&] {
      changed = conn.ExecuteAction(sql::statement(
          "update zurva_user set photo='{}' where userid={}", sql::text(rewritten), memberId));
    });
    if (changed > 0) z.Msg("修改成功！", "-1", 1);
  }

  // "del": an album entry, with its picture and thumbnail, and the trust
  // level recounted.
  void deleteEntry(const std::vector<std::string>& entries) {
    const std::optional<std::size_t> victim = entryIndex(z.Request()("ID"), entries);
    if (!victim) z.Msg("请求错误！", "-1", 1);
    const std::string name = member::photoFileName(entries[*victim]);
    const std::optional<std::string> picture =
        members::fileInFolder(z.Server(), kAlbumFolder, name);
    const std::optional<std::string> thumbnail =
        members::fileInFolder(z.Server(), kThumbnailFolder, name);
    if (!picture || !thumbnail) refuse(name);

    std::vector<std::string> rest = entries;
    rest.erase(rest.begin() + long(*victim));
    const std::string remaining = Join(rest, "#");
    long changed = 0;
    z.resume([&] {
      changed = remaining.empty()
                    ? conn.ExecuteAction(sql::statement(
                          "update zurva_user set photo=null where userid={}", memberId))
                    : conn.ExecuteAction(
                          sql::statement("update zurva_user set photo='{}' where userid={}",
                                         sql::text(remaining), memberId));
    });
    if (changed == 0) return;
    z.resume([&] { members::recountTrust(conn, memberId); });
    z.filename = kAlbumFolder + name;
    deleteFiles({*picture, *thumbnail});
    z.Msg("修改成功！", "-1", 1);
  }

  // "headdel": the head photo, with the trust level lowered.
  void deleteHeadPhoto() {
    Variant stored = Variant::null();
    z.resume([&] {
      db::Recordset rs = conn.Execute(
          sql::statement("select smallphoto from zurva_user  where userid={}", memberId));
      if (!rs.eof()) stored = rs(0);
    });
    if (stored.isNull()) return;
    const std::string name = member::headPhotoName(memberId);
    const std::optional<std::string> head =
        members::fileInFolder(z.Server(), kHeadPhotoFolder, name);
    if (!head) refuse(name);
    long changed = 0;
    z.resume([&] { members::lowerTrustForHeadPhoto(conn, memberId); });
    z.resume([&] {
      changed = conn.ExecuteAction(
          sql::statement("update zurva_user set smallphoto=null where userid={}", memberId));
    });
    if (changed == 0) return;
    z.filename = kHeadPhotoFolder + name;
    deleteFiles({*head});
    z.Msg("修改成功！", "-1", 1);
  }

 private:
  // The entry an action names: a number within the album, else nothing.
  static std::optional<std::size_t> entryIndex(const Variant& value,
                                               const std::vector<std::string>& entries) {
    const std::optional<double> index = numbers::floored(value);
    if (!index || *index < 0 || *index >= double(entries.size())) return std::nullopt;
    return std::size_t(*index);
  }

  // A file outside its folder: logged, and the visitor is told so.
  [[noreturn]] void refuse(const std::string& what) {
    WriteLog(logMessage(logTagOf("photo_show"),
                        "拒绝删除会员 " + std::to_string(memberId) + " 的照片文件 " + what));
    Variant quit = "quit.asp";
    z.Response().Write(kRefusal({{"quit", html::trusted(z.showurl(quit))}}));
    z.Response().End();
    raiseRequestEnd();
  }

  void deleteFiles(const std::vector<std::string>& files) {
    if (!CBool(z.IsObjInstalled("Scripting.FileSystemObject"))) {
      z.Response().Write(kNoFileSystem);
      return;
    }
    const auto fso = std::static_pointer_cast<host::FileSystemObject>(
        z.Server().CreateObject("Scripting.FileSystemObject"));
    for (const std::string& file : files)
      z.resume([&] {
        if (fso->FileExists(file)) fso->DeleteFile(file);
      });
  }
};

void zurva::photo_show(const Variant& SqlLocalName, const Variant& SqlUserName,
                       const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  using Steps = MethodSteps<PhotoShow>;
  logged([&] {
    const Viewer viewer(Request());
    if (!viewer.isMember() && !viewer.isAdministrator()) Msg("非法操作", "-2", 2);
    std::string linkParameter;
    const long memberId = Steps::managedMember(*this, viewer, linkParameter);

    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;

    // From here a failing statement is skipped and the method goes on.
    Steps steps{*this, conn, memberId};
    Variant smallphoto, photo;
    steps.readRow(smallphoto, photo);
    const std::string list = photo.str();
    const std::vector<std::string> entries = member::readPhotoList(list);
    steps.writePage(viewer, linkParameter, smallphoto, list, entries.size());

    const Variant action = Request()("ifok");
    if (eq(action, "upphoto")) {
      steps.choosePicture(entries);
    } else if (eq(action, "del")) {
      steps.deleteEntry(entries);
    } else if (eq(action, "headdel")) {
      steps.deleteHeadPhoto();
    }
  });
}

}  // namespace zurvafun

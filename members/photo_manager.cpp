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
#include "profile/member_record.h"
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

void zurva::photo_show(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                       const Variant& SqlDatabaseName) {
  logged([&] {
    const Viewer viewer(Request());
    if (!viewer.isMember() && !viewer.isAdministrator()) Msg("非法操作", "-2", 2);
    const Variant queryUserid = Request().QueryString("userid");
    pages(queryUserid);

    // An administrator manages the member the query names; a member only
    // his own pictures, whatever the query says.
    const bool administratorMode = viewer.isAdministrator() && !queryUserid.isEmpty();
    long memberId = 0;
    std::string linkParameter;
    if (administratorMode) {
      const std::optional<std::int32_t> id = numbers::digits(queryUserid);
      if (!id) Msg("请求错误！", "-1", 1);
      memberId = *id;
      linkParameter = "userid=" + std::to_string(memberId) + "&";
    } else {
      if (!viewer.isMember()) Msg("请求错误！", "-1", 1);
      memberId = viewer.userid();
    }

    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;

    // From here a failing statement is skipped and the method goes on.
    bool found = false;
    Variant smallphoto, photo;
    resume([&] {
      db::Recordset rs;
      rs.Open(sql::statement("select smallphoto,photo from [Zurva_user] where userid={}", memberId), conn,
              db::adOpenKeyset, db::adLockReadOnly);
      found = !rs.eof();
      if (found) {
        smallphoto = rs("smallphoto");
        photo = rs("photo");
      }
    });
    if (!found) Msg("请求错误！", "-1", 1);

    const std::string list = photo.str();
    const std::vector<std::string> entries = member::readPhotoList(list);
    const Variant requestedPage = Request()("page");
    pages(requestedPage);
    members::ManagerPage page{
        .memberId = memberId,
        .linkParameter = linkParameter,
        .script = Request().ServerVariables("SCRIPT_NAME").str(),
        .viewerSex = viewer.member("sex"),
        .smallphoto = smallphoto,
        .photo = list,
        .memberWithoutAdministrator = viewer.isMember() && !viewer.isAdministrator(),
    };
    resume([&] {
      const long pageNumber =
          numbers::clampedPage(requestedPage, members::managerPageCount(long(entries.size())));
      Response().Write(members::managerPage(*this, page, pageNumber));
    });

    // The entry an action names: a number within the album, else nothing.
    const auto entryIndex = [&](const Variant& value) -> std::optional<std::size_t> {
      const std::optional<double> index = numbers::floored(value);
      if (!index || *index < 0 || *index >= double(entries.size())) return std::nullopt;
      return std::size_t(*index);
    };
    const auto refuse = [&](const std::string& what) {
      WriteLog(logMessage(logTagOf("photo_show"),
                          "拒绝删除会员 " + std::to_string(memberId) + " 的照片文件 " + what));
      Variant quit = "quit.asp";
      Response().Write(kRefusal({{"quit", html::trusted(showurl(quit))}}));
      Response().End();
      raiseRequestEnd();
    };
    const auto deleteFiles = [&](const std::vector<std::string>& files) {
      if (!CBool(IsObjInstalled("Scripting.FileSystemObject"))) {
        Response().Write(kNoFileSystem);
        return;
      }
      const auto fso = std::static_pointer_cast<host::FileSystemObject>(Server().CreateObject("Scripting.FileSystemObject"));
      for (const std::string& file : files)
        resume([&] {
          if (fso->FileExists(file)) fso->DeleteFile(file);
        });
    };
    const Variant action = Request()("ifok");

    if (eq(action, "upphoto")) {
      const std::optional<std::size_t> chosen = entryIndex(Request().Form("xxphoto"));
      if (!chosen) Msg("请求错误！", "-1", 1);
      // The chosen entry goes last (the profile picture); the others follow
      // in reverse order, last first.
      std::string rewritten;
      for (std::size_t i = 0; i < entries.size(); ++i)
        if (i != *chosen) rewritten = entries[i] + "#" + rewritten;
      rewritten += entries[*chosen];
      long changed = 0;
      resume([&] {
        changed = conn.ExecuteAction(sql::statement("update zurva_user set photo='{}' where userid={}",
                                                    sql::text(rewritten), memberId));
      });
      if (changed > 0) Msg("修改成功！", "-1", 1);
    } else if (eq(action, "del")) {
      const std::optional<std::size_t> victim = entryIndex(Request()("ID"));
      if (!victim) Msg("请求错误！", "-1", 1);
      const std::string name = member::photoFileName(entries[*victim]);
      const std::optional<std::string> picture = members::fileInFolder(Server(), kAlbumFolder, name);
      const std::optional<std::string> thumbnail = members::fileInFolder(Server(), kThumbnailFolder, name);
      if (!picture || !thumbnail) refuse(name);

      std::vector<std::string> rest = entries;
      rest.erase(rest.begin() + long(*victim));
      const std::string remaining = Join(rest, "#");
      long changed = 0;
      resume([&] {
        changed = remaining.empty()
                      ? conn.ExecuteAction(sql::statement("update zurva_user set photo=null where userid={}", memberId))
                      : conn.ExecuteAction(sql::statement("update zurva_user set photo='{}' where userid={}",
                                                          sql::text(remaining), memberId));
      });
      if (changed == 0) return;
      resume([&] { members::recountTrust(conn, memberId); });
      filename = kAlbumFolder + name;
      deleteFiles({*picture, *thumbnail});
      Msg("修改成功！", "-1", 1);
    } else if (eq(action, "headdel")) {
      Variant stored = Variant::null();
      resume([&] {
        db::Recordset rs = conn.Execute(sql::statement("select smallphoto from zurva_user  where userid={}", memberId));
        if (!rs.eof()) stored = rs(0);
      });
      if (stored.isNull()) return;
      const std::string name = member::headPhotoName(memberId);
      const std::optional<std::string> head = members::fileInFolder(Server(), kHeadPhotoFolder, name);
      if (!head) refuse(name);
      long changed = 0;
      resume([&] { members::lowerTrustForHeadPhoto(conn, memberId); });
      resume([&] {
        changed = conn.ExecuteAction(sql::statement("update zurva_user set smallphoto=null where userid={}", memberId));
      });
      if (changed == 0) return;
      filename = kHeadPhotoFolder + name;
      deleteFiles({*head});
      Msg("修改成功！", "-1", 1);
    }
  });
}

}  // namespace zurvafun

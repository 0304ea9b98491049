// The picture files of the photo folders go out only to whom the pages show
// them: a restricted album's pictures are not public by their address, and
// the names (the member number, the upload date and time) are easy to walk.
//
//   /up_article/NAME, /mup_article/NAME   an entry of a member's album
//                                         (column photo); NAME is
//                                         "photo<member>_…" as the upload
//                                         page and the demo data name them
//   /smallphoto/NAME                      a member's head photo (column
//                                         smallphoto), "smallphoto<member>.jpg"
//
// The file goes out when the member's row lists it, and then: a picture
// waiting for approval to its owner and to an administrator only; an approved
// one by the album rule that the album grid and the single-photo viewer apply
// (members/album_access.h), and always to an administrator. Anything else
// (a name no row lists, a file in a subfolder) is answered as missing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "members/album_access.h"
#include "members/viewer_rules.h"
#include "model/member_record.h"
#include "site/member_pages.h"
#include "site/site_page.h"

namespace zurvafun::site {

namespace {

enum class Folder { Album, HeadPhoto };

// The member number in a file name: the digits after `prefix`, up to `end`.
std::optional<std::int32_t> ownerOf(std::string_view name, std::string_view prefix,
                                    std::string_view end) {
  if (!name.starts_with(prefix)) return std::nullopt;
  const std::string_view rest = name.substr(prefix.size());
  const std::size_t stop = rest.find(end);
  if (stop == 0 || stop == std::string_view::npos || stop > 9) return std::nullopt;
  for (char c : rest.substr(0, stop))
    if (c < '0' || c > '9') return std::nullopt;
  return numbers::digits(Variant(std::string(rest.substr(0, stop))));
}

// The stored entry (the name and its approval flag) that names file `name`
// in the member's column, or "" when none does.
std::string storedEntry(const Variant& column, Folder folder, std::string_view name) {
  const std::vector<std::string> entries = folder == Folder::Album
                                               ? member::readPhotoList(column.str())
                                               : std::vector<std::string>{column.str()};
  for (const std::string& entry : entries)
    if (entry.size() > 1 && member::photoFileName(entry) == name) return entry;
  return "";
}

bool mayFetch(serve::PageContext& p, Folder folder, std::string_view name) {
  const std::optional<std::int32_t> owner =
      folder == Folder::Album ? ownerOf(name, "photo", "_") : ownerOf(name, "smallphoto", ".jpg");
  if (!owner || name.find('/') != std::string_view::npos) return false;
  db::Connection conn = openDatabase(p);
  db::Recordset row = conn.Execute(
      folder == Folder::Album
          ? sql::statement("select ifphotolook, photo from zurva_user where userid={}", *owner)
          : sql::statement("select ifphotolook, smallphoto from zurva_user where userid={}",
                           *owner));
  if (row.eof()) return false;
  const std::string entry = storedEntry(row(1), folder, name);
  if (entry.empty()) return false;
  const Viewer viewer(p.Request);
  if (viewer.isAdministrator()) return true;
  if (viewer.isMember() && viewer.memberNumber() == *owner) return true;
  // Only approved pictures reach anybody else.
  return member::isApproved(entry) &&
         members::albumOpenTo(conn, *owner, row(0), viewer,
                              members::freeAccessSwitch(p.Application));
}

}  // namespace

void guardPhotoFolders(serve::PageRegistry& pages) {
  for (const char* folder : {"/up_article/", "/mup_article/"})
    pages.guardFolder(folder, [](serve::PageContext& p, std::string_view name) {
      return mayFetch(p, Folder::Album, name);
    });
  pages.guardFolder("/smallphoto/", [](serve::PageContext& p, std::string_view name) {
    return mayFetch(p, Folder::HeadPhoto, name);
  });
}

}  // namespace zurvafun::site

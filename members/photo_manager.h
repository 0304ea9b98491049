// The member's own photo manager (photo_show): the page, written before any
// action, and the file checks of the actions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "framework/zurva.h"
#include "host/host.h"

namespace zurvafun::members {

// What the manager page shows and whose links it writes.
struct ManagerPage {
  long memberId = 0;
  std::string linkParameter;  // "userid=" id "&" in administrator mode, else ""
  std::string script;         // the page's own path (SCRIPT_NAME)
  Variant viewerSex;          // the member cookie's sex, for the head-photo cell
  Variant smallphoto;         // the stored head photo
  std::string photo;          // the stored album ("" for Null)
  bool memberWithoutAdministrator = false;  // the profile-picture icon's link
};

inline constexpr long kManagerPhotosPerPage = 9;

// The number of pages of an album of `entries` entries (at least 1).
long managerPageCount(long entries);
// The manager page for page `page` (already within 1..managerPageCount).
std::string managerPage(zurva& z, const ManagerPage& page, long pageNumber);

// Picture files are deleted only inside their own folder. The file `name`
// of the site folder `folder` ("/up_article/") as the server maps it, or
// std::nullopt when the name may not name a file there: an empty name, one
// holding "/", "\", ".." or ":", or one whose real path (symbolic links
// resolved) lies outside the folder.
std::optional<std::string> fileInFolder(const host::Server& server, std::string_view folder, std::string_view name);

}  // namespace zurvafun::members

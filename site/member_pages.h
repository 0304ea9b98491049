// What the demo site's profile, album and photo pages share: the client
// script and styles the component's fragments expect (DrawImage, the album
// classes), and the demo pictures.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "host/serve/pages.h"

namespace zurvafun::site {

// The style sheet and the script (DrawImage fits a picture into a box once it
// has loaded) that the album and photo fragments expect of their page.
inline const std::vector<std::string_view> kAlbumStyles = {"/members.css"};
inline const std::vector<std::string_view> kAlbumScripts = {"/members.js"};

// Gives the members of the demo database picture files where the pages load
// them: every album entry of members 1 to kDemoPictureMembers gets
// "/up_article/<name>" and its thumbnail "/mup_article/<name>", every head
// photo "/smallphoto/smallphoto<id>.jpg", each a link to (or copy of) one of
// the portraits under "/images/demo/". Files that exist are left alone, so a
// deleted picture whose entry is gone never comes back. The server runs it
// once at its start; a failure leaves the pages without pictures, never
// without pages.
inline constexpr long kDemoPictureMembers = 3000;
void writeDemoPictures(const host::Server& server, const db::ConnectionParams& params);

// The site folders of the members' picture files: the album, its
// thumbnails, the head photos. Several servers of one site mount them from
// one shared folder.
inline constexpr const char* kPhotoFolders[] = {"up_article", "mup_article", "smallphoto"};

// The picture files of "/up_article/", "/mup_article/" and "/smallphoto/"
// go out only to whom the album rule shows them (site/photo_files.cpp).
void guardPhotoFolders(serve::PageRegistry& pages);

// The photo manager's pages: "/userphoto.asp", "/admin_userphoto.asp" (and
// the read-back pages of its static links), "/upload.asp",
// "/photoaction.asp", the administrator's login, logout and approval pages.
void registerPhotoPages(serve::PageRegistry& pages);

// "/photoaction.asp", where the photo manager's 形象照 icon leads: the member
// makes one of his approved album photos, or a picture he uploads there, his
// head photo, which waits for approval like any upload; an administrator
// makes an album photo of a member the member's head photo at once.
void registerHeadPhotoPages(serve::PageRegistry& pages);

}  // namespace zurvafun::site

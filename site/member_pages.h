// What the demo site's profile, album and photo pages share: the page frame
// with the client script and styles the component's fragments expect
// (DrawImage, the album classes), links in the site's link mode, and the
// demo pictures.
#pragma once

#include <string>
#include <string_view>

#include "db/db.h"
#include "framework/zurva.h"
#include "host/serve/pages.h"

namespace zurvafun::site {

// The top of a page up to its content cell, with `title` in the title tag
// and the heading.
std::string profilePageTop(std::string_view title);
// The bottom of such a page.
inline constexpr std::string_view kProfilePageBottom = "  </td></tr>\n</table>\n</body>\n</html>\n";

// A site path in the site's link mode, escaped for an href attribute.
std::string siteLink(zurva& z, std::string_view path);
// An anchor to `path` with the (fixed) text.
std::string siteAnchor(zurva& z, std::string_view path, std::string_view text);

// Makes the browser drop cookie `name` (emptied, expired, site-wide).
void expireCookie(serve::PageContext& p, const char* name);

// Gives the members of the demo database picture files where the pages load
// them: every album entry of members 1 to kDemoPictureMembers gets
// "/up_article/<name>" and its thumbnail "/mup_article/<name>", every head
// photo "/smallphoto/smallphoto<id>.jpg", each a link to (or copy of) one of
// the portraits under "/images/demo/". Files that exist are left alone, so a
// deleted picture whose entry is gone never comes back. The server runs it
// once at its start; a failure leaves the pages without pictures, never
// without pages.
inline constexpr long kDemoPictureMembers = 3000;
void writeDemoPictures(const std::string& documentRoot, const db::ConnectionParams& params);

// The photo manager's pages: "/userphoto.asp", "/admin_userphoto.asp" (and
// the read-back pages of its static links), "/upload.asp",
// "/photoaction.asp", the administrator's login, logout and approval pages.
void registerPhotoPages(serve::PageRegistry& pages);

}  // namespace zurvafun::site

// What the profile pages of the demo site share: their frame, which carries
// the city table and the client functions the profile forms call, and the
// message box of a refused save.
#pragma once

#include <string>
#include <string_view>

#include "host/serve/pages.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::site {

// The top of a profile page up to its content cell: the title, the style
// sheet, the city table script (allcitymenu) and /js/profile.js.
void writeProfilePageTop(zurva& z, serve::PageContext& p, std::string_view title);
void writeProfilePageBottom(serve::PageContext& p);

// A line of text (escaped) in the page, as a paragraph of class `css`.
void writeNote(serve::PageContext& p, std::string_view text, std::string_view css = "");

// The administrator's pages: "/admin/login.asp" (the administrator login,
// with the credentials of the server's configuration), "/admin/index.asp",
// "/admin/editinfo.asp?userid=N" (admin_editinfo), its save page
// "/admin/reg_submit.asp" and "/admin/logout.asp".
void registerAdministratorPages(serve::PageRegistry& pages);

// The administrator's name and password of the server's configuration; an
// empty password turns the administrator login off. Set once, before the
// server serves.
void setAdministratorLogin(std::string name, std::string password);

}  // namespace zurvafun::site

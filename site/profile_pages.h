// The administrator's pages of the demo site and his login.
#pragma once

#include <string>
#include <string_view>

#include "host/serve/pages.h"
#include "site/site_page.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::site {

// The administrator's pages: "/admin/login.asp" (the administrator login,
// with the credentials of the server's configuration), "/admin/index.asp",
// "/admin/editinfo.asp?userid=N" (admin_editinfo, also "/admin/u_mod1.asp"
// where the member list links), its save page "/admin/reg_submit.asp", the
// member list "/admin/result.asp" (every member, newest first, with the E币
// form on each line; with menu=1 the single search) and "/admin/logout.asp".
void registerAdministratorPages(serve::PageRegistry& pages);

// The administrator's name and password of the server's configuration; an
// empty password turns the administrator login off. Set once, before the
// server serves.
void setAdministratorLogin(std::string name, std::string password);

// The frame of the profile forms (the member's, the registration and the
// administrator's), with the city table and the client functions the forms
// call.
PageLayout formFrame(std::string_view title);

}  // namespace zurvafun::site

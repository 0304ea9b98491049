// The demo site's pages, as zurva-serve runs them (see host/serve/pages.h).
// Each group of pages has its own file and registration function; the
// groups' pages list their entry links on the home page.
#pragma once

#include "host/serve/pages.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::site {

// Registers every page of the demo site.
void registerPages(serve::PageRegistry& pages);

// The home page "/index.asp" (also "/" and "/index.html"): what the site
// offers, with the demo accounts.
void registerHomePage(serve::PageRegistry& pages);

// The member pages: "/login.asp" (the login form), "/chklogin.asp" (its
// handler), "/bbs/login.asp" (stand-in for the forum's login handler),
// "/indexw.asp" (the member home) and "/logout.asp".
void registerMemberPages(serve::PageRegistry& pages);

// The member line at the top of the home pages: the logged-in member's
// greeting with the e-money balance (which also refreshes the member cookie's
// copy of it) and links to the member home and the logout; for a visitor the
// link to the login form.
void writeMemberLine(zurva& z, serve::PageContext& p);

// "/demo/messages_index.asp" and "/demo/messages.asp": every form of the
// component's message pages, one link each.
void registerMessagePages(serve::PageRegistry& pages);

// The showcase pages: "/city.asp" (the province and city galleries),
// "/myshow.asp" (the member's showcase status), "/Apply.asp" (the purchase
// form), "/save.asp" (its handler), "/History.asp" (the e-money ledger), and
// stand-ins for the site's pages that the cards link to.
void registerShowcasePages(serve::PageRegistry& pages);

// The home page's showcase (a large card and a row of compact cards) and its
// member gallery.
void writeHomeShowcase(zurva& z, serve::PageContext& p);

}  // namespace zurvafun::site

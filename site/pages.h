// The demo site's pages, as zurva-serve runs them (see host/serve/pages.h).
// Each group of pages has its own file and registration function; the
// groups' pages list their entry links on the home page.
#pragma once

#include <string>
#include <string_view>

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

// The top of a page of the site, up to its content cell (the title goes into
// the title tag and the heading), and the rest of the page after it.
std::string pageTop(std::string_view title);
inline constexpr std::string_view kPageBottom = R"(  </td></tr>
</table>
</body>
</html>
)";

// The member pages: "/login.asp" (the login form), "/chklogin.asp" (its
// handler), "/bbs/login.asp" (stand-in for the forum's login handler),
// "/indexw.asp" (the member home) and "/logout.asp".
void registerMemberPages(serve::PageRegistry& pages);

// The member line at the top of the home pages: the logged-in member's
// greeting with the e-money balance (which also refreshes the member cookie's
// copy of it) and links to the member home and the logout; for a visitor the
// link to the login form.
void writeMemberLine(zurva& z, serve::PageContext& p);

// The profile pages: "/editinfo.asp" (the member's own profile form) and its
// save page "/regsubmit.asp", "/reg.asp" (the registration), and the
// administrator's login and member form under "/admin/".
void registerProfilePages(serve::PageRegistry& pages);

// "/demo/messages_index.asp" and "/demo/messages.asp": every form of the
// component's message pages, one link each.
void registerMessagePages(serve::PageRegistry& pages);

// Pages that exist only for the host's own end-to-end tests (under
// "/selftest/"): they echo what arrived and exercise cookies, sessions,
// redirects, the request end, a failing page and the component inside the
// host. Registered only when the configuration asks for them.
void registerSelfTestPages(serve::PageRegistry& pages);

// The member interaction pages: conversations ("/mymessages.asp",
// "/message.asp" and its frames, "/msgfal.asp"), the vote page
// ("/vote.asp"), gifts ("/present.asp", "/sendpresent.asp", "/sendsave.asp",
// the stand-in SMS gateway "/smsgateway.asp") and parties ("/party.asp",
// "/partyinfo.asp", "/action.asp", "/partymanage.asp", "/partyedit.asp"...).
void registerInteractionPages(serve::PageRegistry& pages);

// The poll box of the home page.
void writePollBox(zurva& z, serve::PageContext& p);

// The member search: "/search.asp" (the advanced search form beside the
// frame of its results), "/zurvarasult.asp" (its handler), "/result.asp"
// (the results and the single search), the home page's quick search, and
// stand-ins for the site's pages the result rows link to.
void registerSearchPages(serve::PageRegistry& pages);
// The quick search box of the home page (it posts to "/quicksearch.asp").
void writeQuickSearchBox(zurva& z, serve::PageContext& p);

// Member profiles and albums: "/userinfo.asp" and "/por.asp" (the profile),
// "/xc.asp" (the album and its photos), "/newmembers.asp" (member cards),
// the photo manager's pages (site/member_pages.h) and stand-ins for the
// site's pages they link to.
void registerAlbumPages(serve::PageRegistry& pages);

// The showcase pages: "/city.asp" (the province and city galleries),
// "/myshow.asp" (the member's showcase status), "/Apply.asp" (the purchase
// form), "/save.asp" (its handler), "/History.asp" (the e-money ledger), and
// stand-ins for the site's pages that the cards link to.
void registerShowcasePages(serve::PageRegistry& pages);

// The home page's showcase (a large card and a row of compact cards) and its
// member gallery.
void writeHomeShowcase(zurva& z, serve::PageContext& p);

}  // namespace zurvafun::site

// The demo site's pages, as zurva-serve runs them (see host/serve/pages.h).
// Each group of pages has its own file and registration function; the
// groups' pages list their entry links on the home page.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/sql.h"
#include "host/serve/pages.h"

namespace zurvafun {
class zurva;
class Variant;
}

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::site {

// Registers every page of the demo site.
void registerPages(serve::PageRegistry& pages);

// The home page "/index.asp" (also "/" and "/index.html"): what the site
// offers, with the demo accounts.
void registerHomePage(serve::PageRegistry& pages);

// The member pages: "/login.asp" (the login form), "/chklogin.asp" (its
// handler), "/bbs/login.asp" (stand-in for the forum's login handler),
// "/indexw.asp" (the member home, the member's hub of his pages) and
// "/logout.asp".
void registerMemberPages(serve::PageRegistry& pages);

// The profile pages: "/editinfo.asp" (the member's own profile form) and its
// save page "/regsubmit.asp", "/reg.asp" (the registration), and the
// administrator's login and member form under "/admin/".
void registerProfilePages(serve::PageRegistry& pages);

// Stand-ins for the site's own pages outside this demo that the component's
// output links to (verification levels, winks, favourites, the
// administrator's site message).
void registerStandInPages(serve::PageRegistry& pages);

// "/demo/messages_index.asp" and "/demo/messages.asp": every form of the
// component's message pages, one link each.
void registerMessagePages(serve::PageRegistry& pages);

// Pages that exist only for the host's own end-to-end tests (under
// "/selftest/"): they echo what arrived and exercise cookies, sessions,
// redirects, the request end, a failing page and the component inside the
// host. Registered only when the configuration asks for them.
void registerSelfTestPages(serve::PageRegistry& pages);

// The member interaction pages: conversations ("/mymessages.asp",
// "/message.asp" and its frames, "/msgfal.asp"; "/sendmsg.asp", where the
// member cards' message link opens it), the vote page
// ("/vote.asp"), gifts ("/present.asp", "/sendpresent.asp", "/sendsave.asp",
// the stand-in SMS gateway "/smsgateway.asp") and parties ("/party.asp",
// "/partyinfo.asp", "/action.asp", "/partymanage.asp", "/partyedit.asp"...).
void registerInteractionPages(serve::PageRegistry& pages);

// The address of the demo's stand-in SMS gateway ("/smsgateway.asp") on the
// server that `serverUrl` names ("http://127.0.0.1:8080/", as the server
// prints it once bound), with the gateway's four placeholders; an address
// that listens everywhere ("0.0.0.0", "[::]") is reached on its loopback.
std::string demoSmsGateway(std::string_view serverUrl);

// The friend pages: "/addfriends.asp" (the member cards' friend request) and
// "/friends.asp" (the member's friends and the requests he received).
void registerFriendPages(serve::PageRegistry& pages);
// One line about member `me`'s friends for his member home: how many he has
// and how many requests wait for him, with the link to his friends page.
std::string friendsSummary(zurva& z, db::Connection& conn, std::int32_t me);
// The selects friendsSummary runs: friends, then requests waiting.
std::array<sql::Statement, 2> friendsSummarySelects(std::int32_t me);

// The poll box of the home and city pages.
void writePollBox(zurva& z, serve::PageContext& p);

// The member search: "/search.asp" (the advanced search form beside the
// frame of its results), "/zurvarasult.asp" (its handler), "/result.asp"
// (the results and the single search), the home page's quick search, and
// stand-ins for the site's pages the result rows link to.
void registerSearchPages(serve::PageRegistry& pages);
// The quick search box of the home and city pages (it posts to
// "/quicksearch.asp"); the page carries the city table and kGalleryScripts.
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

// The showcase widget of the home and city pages: a large card and a row of
// compact cards of the members whose showcase days are running.
void writeShowcaseWidget(zurva& z, serve::PageContext& p);
// The member gallery: the home page's for an empty `city`, else that of
// province `city` (an index of the region menu) and its entry `city1`.
void writeGallery(zurva& z, serve::PageContext& p, const Variant& city, const Variant& city1);

// The place of a list of members: a province, and a city of it or "" for the
// whole province.
struct Residence {
  std::string province;
  std::string city;
};
// The six newest members as member cards: of the whole site, or of the
// members who live in `where`.
void writeNewestMembers(zurva& z, serve::PageContext& p, const std::optional<Residence>& where);

// What the home and city pages show first: the quick search and the
// showcase widget beside the poll box.
void writeShowcaseAndSearch(zurva& z, serve::PageContext& p);
// The script files of the pages that show member cards, galleries and the
// quick search: the search form's functions, the pop-up window and the
// picture fitting (DrawImage).
inline const std::vector<std::string_view> kGalleryScripts = {"/inc/search.js", "/inc/control2.js", "/members.js"};

}  // namespace zurvafun::site

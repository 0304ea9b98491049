// What every page of the demo site shares: its frame (the head, the header
// with the site's name and the navigation, the member bar, the footer), links
// in the site's link mode, the database, and the small pages that stand in
// for the site's pages outside this demo.
//
//   void somePage(serve::PageContext& p) {
//     zurva z;
//     SitePage page(z, p, {.title = "会员相册", .cityTable = CityTable::File});
//     p.Response.Write(z.someMethod(...));   // the component's output, unchanged
//     page.end();
//   }
//
// A method that ends the request (a message of the component) ends the page
// there: nothing after it reaches the visitor, the frame's bottom included.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/db.h"
#include "framework/html.h"
#include "host/serve/pages.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::site {

// The frames a page can have.
enum class Frame {
  // The whole frame: header, navigation, member bar, the page's title, footer.
  Page,
  // A small window the site opens (a pop-up): the site's name and the title,
  // and a link that closes the window.
  Window,
  // A page shown inside a frame or an iframe of another page: the head and
  // the body, nothing around the content.
  Inner,
};

// Where a page gets the city table script (allcitymenu) that its province
// and city selects call: none, written into the page, or the site's copy of
// it, the static file kCityTableFile, which browsers keep between pages.
enum class CityTable { None, Inline, File };
inline constexpr std::string_view kCityTableFile = "/js/citytable.js";

struct PageLayout {
  std::string_view title;
  Frame frame = Frame::Page;
  CityTable cityTable = CityTable::None;
  // Style sheets and script files beyond the site's style sheet.
  std::vector<std::string_view> styles = {};
  std::vector<std::string_view> scripts = {};
  // Script text of the head (fixed text of the site).
  std::string_view script = {};
};

// A page of the site: the constructor writes the top of the page up to its
// content, end() the rest.
class SitePage {
 public:
  SitePage(zurva& z, serve::PageContext& p, const PageLayout& layout);
  SitePage(const SitePage&) = delete;
  SitePage& operator=(const SitePage&) = delete;

  // A paragraph of (escaped) text, of class `css` when given.
  void note(std::string_view text, std::string_view css = "");
  // A paragraph of links or buttons the site wrote (siteAnchor, postButton,
  // …), a wide blank between two of them.
  void links(std::initializer_list<std::string> items);
  // The bottom of the page.
  void end();

 private:
  zurva& z_;
  serve::PageContext& p_;
  Frame frame_;
};

// The site's name: field 0 of the site settings, or the demo's name when the
// settings do not have it.
std::string siteName(const serve::PageContext& p);
// Field `index` of the site settings, or std::nullopt when the settings do
// not have it.
std::optional<std::string> siteSetting(const serve::PageContext& p, long index);

// The badge of a member grade with the grade's name: the component's badge
// picture (dj) with the name as its alt and title, or the name as text.
std::string gradeBadge(zurva& z, const Variant& grade);

// A site path in the site's link mode, as it stands (the component's
// unescapedSiteLink): for a fragment's slot, which escapes it.
std::string siteLink(zurva& z, std::string_view path);
// <a href="link" attributes>text</a>. `text` fills a fragment's slot: plain
// text is escaped, html::Html written as it stands; `attributes` is fixed
// text of the site, written as it stands.
std::string siteAnchor(zurva& z, std::string_view path, const html::Value& text,
                       std::string_view attributes = "");

// The component's error box (zurva_error) titled `title` that says `reason`,
// plain text, escaped.
std::string errorBox(zurva& z, std::string_view title, std::string_view reason);

// The four connection parameters of the site's database.
db::ConnectionParams databaseParams(const serve::PageContext& p);
// The site's database, or std::nullopt when it cannot be opened: for a step
// that answers that in its own way.
std::optional<db::Connection> openDatabaseOrNothing(const serve::PageContext& p);
// The site's database (std::runtime_error when it cannot be opened: the host
// answers 500).
db::Connection openDatabase(const serve::PageContext& p);

// The logged-in member's number (a signed member cookie with a user name and
// a member number above 0), or std::nullopt for a visitor.
std::optional<std::int32_t> loggedInMember(const serve::PageContext& p);
// An administrator is logged in (the signed administrator cookie).
bool isAdministrator(const serve::PageContext& p);

// Makes the browser drop cookie `name` (emptied, expired, site-wide).
void expireCookie(serve::PageContext& p, const char* name);
// Logs the member out: ends every login he has (his cookies on every browser
// and his remembered login, see framework/member_logins.h) and drops his
// cookie here. A visitor without a member login only loses the cookie.
void endMemberLogin(serve::PageContext& p);

// A page standing in for a page of the site outside this demo: the title, a
// short note (fixed HTML of the site) and the way back.
serve::Page standIn(std::string title, std::string note, Frame frame = Frame::Window);

// A page that says only `text`, written as SitePage::note writes it.
void notePage(zurva& z, serve::PageContext& p, const PageLayout& layout, std::string_view text);

// The page that asks a visitor to log in first.
void askToLogIn(zurva& z, serve::PageContext& p, std::string_view title);

}  // namespace zurvafun::site

// Requests that change something (store, delete, spend, vote, log in or
// out) are taken only as a POST from a page of this site. A page of another
// site cannot make a visitor's browser act here: its forms post with its own
// Origin (and Referer), and a link or a picture on it makes a GET.
//
// Every page that changes something calls requireSitePost first, right
// after creating the component and before it writes anything:
//
//   void sendPage(serve::PageContext& p) {
//     zurva z;
//     requireSitePost(z, p);  // ends the request unless it may act
//     ... store ...
//   }
//
// A page that a link of the component's output reaches by GET (the photo
// manager's delete links, the cards' "不再搜出TA", the free showcase days)
// calls confirmBeforeActing instead: a GET gets a page that asks, with a
// button that posts the same request. On the site's own pages the script
// /inc/sitepost.js sends those links as that POST at once, so a visitor
// clicks them as before. The site's own links that act are small forms
// (postButton), buttons that look like links.
#pragma once

#include <string>
#include <string_view>

#include "host/serve/pages.h"
#include "site/site_page.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::site {

// The request came from a page of this site: its Origin, or without one its
// Referer, names this server's host (SERVER_NAME, from the Host header; any
// port and either scheme). A request with neither, or with the Origin
// "null", did not.
bool fromThisSite(const serve::PageContext& p);

// Ends the request (the request-end error) unless it may change something:
// a POST from a page of this site (fromThisSite) that the input filter did
// not refuse when the component was created. A request the filter refused
// has its message already; a GET or HEAD is answered 405, a POST from
// elsewhere 403, each with the alert "错误或非法操作！".
void requireSitePost(zurva& z, serve::PageContext& p);

// For a page that shows a form on GET and acts on what it posts: true for a
// POST, which must pass requireSitePost (else the request ends); false for
// any other request, which only shows.
bool postedToAct(zurva& z, serve::PageContext& p);

// What a page that acts asks a visitor who reached it by GET.
struct Confirmation {
  std::string_view title;     // the page's title
  std::string_view question;  // "确定删除此照片吗？"
  Frame frame = Frame::Page;
};

// For a page that links of the component's output reach by GET: a POST
// goes through requireSitePost; a GET or HEAD gets a page asking `ask`,
// whose button posts the same address (its query included), and ends.
void confirmBeforeActing(zurva& z, serve::PageContext& p, const Confirmation& ask);

// A link that acts, as a small form: a button that looks like a link and
// posts to the site path `path` (in the site's link mode). With `confirm`,
// the browser asks it first.
std::string postButton(zurva& z, std::string_view path, std::string_view text,
                       std::string_view confirm = {});

}  // namespace zurvafun::site

// The demo site as a visitor finds it: from the home page, as a guest, as a
// logged-in member and as an administrator, the crawl follows every
// same-site link, form target (posting the form's own values), frame source
// and script address the pages hold, and fetches every picture, script and
// style sheet they load. Every answer is 200 (a page, or a message of the
// component), a redirect on the site, or the administrator login's refusal
// (403, the login page again), never 404 or 500, and every page, script and
// style sheet is GB2312 text. The server runs the default
// configuration's site settings on a seeded demo database, in the static
// link mode.
//
// The crawl keeps the cookies it logged in with (a logout's expired cookie
// does not end its login) and the session the server gave it. Links that
// act on what the crawl stands on (logouts, deletes, a withdrawal) are
// followed after every other link, and their answers are not crawled
// further. Links of one shape (two members' profiles, two pages of a list)
// are followed at most kPerShape times, and at most kPages pages per role.
// ZURVA_CRAWL_LOG=1 in the environment prints every page the crawl reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/crawler.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

using e2e::crawl::Request;

constexpr std::size_t kPages = 400;
constexpr int kPerShape = 3;

class CrawlE2E : public e2e::ServerSuite<CrawlE2E> {
 public:
  static std::string settings() { return e2e::shippedSettings(60); }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  struct Visit {
    Request request;
    std::string from;  // the page that holds the link
  };

  // What one role's crawl found wrong, one line each.
  struct Crawl {
    std::string role;
    std::string cookies = {};  // "name=value; ..." as the browser sends them
    std::vector<std::string> faults = {};
    std::set<std::string> seen = {};
    std::map<std::string, int> shapes = {};
    std::deque<Visit> queue = {};
    std::vector<Visit> last = {};  // links that act, followed at the end
    std::size_t pages = 0, resources = 0, messages = 0;

    void fault(const Visit& v, const std::string& what) {
      faults.push_back(role + ": " + v.request.method + " " + v.request.target +
                       (v.request.body.empty() ? "" : " [" + v.request.body.substr(0, 80) + "]") + " (from " + v.from +
                       "): " + what);
    }
  };

  static std::string origin() { return "http://127.0.0.1:" + std::to_string(server_->port()); }

  // Takes `link` found on page `from` into the crawl, once per request.
  static void enqueue(Crawl& c, const std::string& from, const std::string& link, Request request) {
    const std::optional<std::string> target = e2e::crawl::resolve(from, link, origin());
    if (!target) return;
    request.target = e2e::crawl::requestTarget(*target);
    const std::string key = request.method + " " + request.target + " " + request.body;
    if (!c.seen.insert(key).second) return;
    if (++c.shapes[e2e::crawl::shapeOf(request)] > kPerShape) return;
    Visit visit{std::move(request), from};
    if (e2e::crawl::acts(visit.request)) c.last.push_back(std::move(visit));
    else c.queue.push_back(std::move(visit));
  }

  // A page of the component's messages: an alert, a message box, the small
  // message page or the error table.
  static bool isMessage(const std::string& body) {
    for (const char* mark : {"<script Language=javaScript>alert(", "<SCRIPT LANGUAGE=javascript>alert(",
                             "<img src=\"/images/erro/cc.jpg\"", "产生错误的可能原因"})
      if (body.find(gbk::fromUtf8(mark)) != std::string::npos) return true;
    return false;
  }

  // Fetches one request, checks the answer and takes in what it leads to.
  static void fetch(Crawl& c, const Visit& v, bool follow) {
    std::string headers = c.cookies.empty() ? "" : "Cookie: " + c.cookies + "\r\n";
    headers += "Referer: " + origin() + v.from + "\r\n";
    const RawResponse r = v.request.method == "POST" ? rawPost(v.request.target, v.request.body, headers)
                                                     : rawGet(v.request.target, headers);
    v.request.resource ? ++c.resources : ++c.pages;
    // The session the server gives is kept, as a browser keeps it.
    for (const auto& [name, value] : r.headers)
      if (name == "Set-Cookie" && value.rfind("ZURVASESSIONID=", 0) == 0 && c.cookies.find("ZURVASESSIONID=") == std::string::npos)
        c.cookies += (c.cookies.empty() ? "" : "; ") + cookiePair(value);

    if (r.status == 301 || r.status == 302 || r.status == 303) {
      const std::string location = r.header("Location");
      if (!e2e::crawl::resolve(v.request.target, location, origin())) c.fault(v, "redirect off the site: " + location);
      else if (follow) enqueue(c, v.request.target, location, Request{});
      return;
    }
    const bool refusedLogin = r.status == 403 && v.request.method == "POST" &&
                              e2e::crawl::lower(v.request.target).rfind("/admin/login.", 0) == 0;
    if (r.status != 200 && !refusedLogin) {
      c.fault(v, "status " + std::to_string(r.status) + " " + gbk::toUtf8(r.body.substr(0, 200)));
      return;
    }
    const std::string type = r.header("Content-Type");
    const bool text = type.find("text/") == 0 || type.find("javascript") != std::string::npos;
    if (text) {
      if (const auto at = e2e::crawl::firstNonGb2312(r.body))
        c.fault(v, "not GB2312 at byte " + std::to_string(*at) + ": " + gbk::toUtf8(r.body.substr(*at > 40 ? *at - 40 : 0, 80)));
    }
    if (type.find("text/html") != 0) return;
    if (isMessage(r.body)) ++c.messages;
    if (std::getenv("ZURVA_CRAWL_LOG")) std::cout << c.role << " " << v.request.method << " " << v.request.target << "\n";
    if (!follow || v.request.resource) return;
    for (e2e::crawl::Found& found : e2e::crawl::linksOf(r.body)) enqueue(c, v.request.target, found.link, found.request);
  }

  // Follows the links from the home page, except those that act.
  static void explore(Crawl& c) {
    enqueue(c, "/", "/", Request{});
    while (!c.queue.empty() && c.pages < kPages) {
      const Visit v = std::move(c.queue.front());
      c.queue.pop_front();
      fetch(c, v, true);
    }
  }

  static std::string report(const Crawl& c) {
    std::ostringstream out;
    out << c.role << ": " << c.pages << " pages (" << c.messages << " messages of the component), " << c.resources
        << " resources, " << c.last.size() << " acting links last, " << c.queue.size() << " left unvisited\n";
    for (const std::string& f : c.faults) out << "  " << f << "\n";
    return out.str();
  }

  static std::string memberCookie() {
    return cookiePair(postLogin("username=demo1%40example.com&password=demo123&log_type=1").setCookie("kalimo"));
  }
  static std::string administratorCookie() {
    return cookiePair(rawPost("/admin/login.asp", "admin_name=admin&admin_password=demo-admin").setCookie("zurva_admin"));
  }
};

TEST_F(CrawlE2E, EveryLinkOfTheSiteAnswers) {
  const std::string member = memberCookie();
  const std::string admin = administratorCookie();
  ASSERT_FALSE(member.empty());
  ASSERT_FALSE(admin.empty());
  std::vector<Crawl> crawls = {{.role = "guest"}, {.role = "member", .cookies = member},
                               {.role = "administrator", .cookies = admin}};
  for (Crawl& c : crawls) explore(c);
  // The links that act, once every role has seen what they change.
  for (Crawl& c : crawls)
    for (const Visit& v : c.last) fetch(c, v, false);
  for (const Crawl& c : crawls) {
    EXPECT_TRUE(c.faults.empty()) << report(c);
    // The crawl reached the site's pages, not just the home page.
    EXPECT_GT(c.pages, 80u) << report(c);
  }
}

}  // namespace
}  // namespace zurvafun

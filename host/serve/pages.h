// The site's pages as the HTTP host runs them. A page is a function
// registered under its path ("/userinfo.asp"); the host calls it on a worker
// thread with the request context installed, so the page can create the
// component (`zurva z;`) and call its methods, and it writes its own text
// through the same host objects.
//
//   pages.add("/userinfo.asp", [](PageContext& p) {
//     zurva z;
//     z.memberinfo(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
//   });
//   pages.list("/userinfo.asp?id=1", "会员资料");  // a link on the home page
//
// A page reaches the visitor by both link shapes: userinfo.asp?id=25 and the
// static id_25_userinfo.html.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/host.h"
#include "runtime/variant.h"

namespace zurvafun::serve {

struct PageContext {
  host::Request& Request;
  host::Response& Response;
  host::Session& Session;
  host::Application& Application;
  host::Server& Server;
  // The installation's four connection parameters, as a page hands them to
  // the component's methods (some methods take them by reference).
  Variant SqlLocalName;
  Variant SqlUserName;
  Variant SqlPassword;
  Variant SqlDatabaseName;
};

using Page = std::function<void(PageContext&)>;

// Decides whether the visitor may fetch a file of a guarded folder: called
// with the request context installed and the file's path inside the folder
// ("photo5_2024_01_02_.jpg", or "a/b.jpg" in a subfolder).
using FileGuard = std::function<bool(PageContext&, std::string_view fileName)>;

class PageRegistry {
 public:
  struct Listing {
    std::string link;
    std::string title;
  };

  // Registers `page` under `path` (a site path such as "/userinfo.asp"); a
  // later registration of the same path replaces it.
  void add(std::string path, Page page);
  // Registers `path` as one more path of the page registered under
  // `existing` (std::invalid_argument when there is none): the same page,
  // so that what the host applies to a page (the rate limit) holds under
  // each of its paths.
  void alias(std::string path, std::string_view existing);
  // The page of a site path, matched without regard to case; null when none.
  // Every path of one page gives the same pointer.
  const Page* find(std::string_view path) const;

  // The page that answers a path with no page and no file (it sets the
  // status 404 itself); without one the answer is a plain "404 Not Found".
  void setNotFound(Page page) { notFound_ = std::move(page); }
  const Page* notFound() const { return notFound_ ? &notFound_ : nullptr; }

  // The page that answers a request refused by the rate limit, in the
  // site's look; the host sets the status 429 and Retry-After after it (and
  // drops what it set about caching). Without one the answer is a short page
  // of the host's own.
  void setTooManyRequests(Page page) { tooManyRequests_ = std::move(page); }
  const Page* tooManyRequests() const { return tooManyRequests_ ? &tooManyRequests_ : nullptr; }

  // Runs `page` before every page, in its request context: it may take a
  // cookie out of the request that no page is to trust.
  void setBeforeEach(Page page) { beforeEach_ = std::move(page); }
  const Page* beforeEach() const { return beforeEach_ ? &beforeEach_ : nullptr; }

  // The files under site folder `folder` ("/up_article/") go out only when
  // `guard` allows; otherwise the answer is 404, as for a file that is not
  // there. Other files are served without asking anybody.
  void guardFolder(std::string folder, FileGuard guard);
  struct Guarded {
    const FileGuard* guard = nullptr;
    std::string fileName;  // the path inside the folder
  };
  // The guard of the file at site path `path`, matched without regard to
  // case, with repeated "/" read as one (as the file system reads them).
  std::optional<Guarded> guardOf(std::string_view path) const;

  // Lists a link ("/userinfo.asp?id=1") under a title on the home page.
  void list(std::string link, std::string title);
  // The listed links in the order they were listed.
  const std::vector<Listing>& listed() const { return listed_; }

 private:
  std::unordered_map<std::string, std::shared_ptr<const Page>> pages_;  // keys in lower case
  std::vector<Listing> listed_;
  Page notFound_;
  Page tooManyRequests_;
  Page beforeEach_;
  std::vector<std::pair<std::string, FileGuard>> guards_;  // folders in lower case, ending in "/"
};

}  // namespace zurvafun::serve

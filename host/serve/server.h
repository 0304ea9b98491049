// zurva-serve: the HTTP host that runs the site's pages. It stands in for the
// web server and its page-script host: one request is served by one worker
// thread, which builds the request context (Request, Response, Session,
// Application, Server) from the HTTP request, runs the page registered for
// the path with that context installed, and turns the page's Response into
// the HTTP response.
//
//   - Request values: the query string and posted forms (URL-encoded or
//     multipart) decoded from GBK; cookies with their sub-keys (only signed
//     ones, see host/serve/cookies.h); the server variables REMOTE_ADDR,
//     SERVER_NAME, SERVER_PORT, HTTP_HOST, HTTP_REFERER, HTTP_ORIGIN,
//     HTTP_USER_AGENT, URL, PATH_INFO, SCRIPT_NAME, QUERY_STRING and
//     REQUEST_METHOD.
//   - Links: "/dir/page.asp?k=v" runs the page "/dir/page.asp"; a static link
//     "/dir/k_v_page.html" is read back into that dynamic form first (the
//     site's link scheme), and runs the same page with the same query. Any
//     other path is a file under the document root; a path segment starting
//     with "." (so any "..") is refused. A file of a guarded folder
//     (PageRegistry::guardFolder) goes out only when its guard allows, with
//     the page run before every page run first; else 404. A file is sent
//     with its ETag and Last-Modified, and answered "304 Not Modified" when
//     If-None-Match names its tag; scripts and style sheets may be kept by
//     the browser for an hour.
//   - Responses: the page's text in GBK (characters outside it as "&#N;"),
//     "text/html; charset=gb2312"; Response.Redirect as 302; Expires,
//     ExpiresAbsolute and CacheControl as headers; the cookies the page wrote,
//     signed with their age (see host/serve/cookies.h), HttpOnly and
//     SameSite=Lax, and Secure when the request came over TLS or a trusted
//     proxy says it did. A page whose request carried any of the visitor's
//     cookies or a session, or that wrote a cookie or started a session, is
//     the visitor's own: it is sent with "Cache-Control: private, no-store"
//     whatever the page set. The request-end error ends a page normally; any
//     other error gives a plain 500 and one line on the server log (standard
//     error), and the server goes on.
//   - Every answer, files and refusals too, says "X-Content-Type-Options:
//     nosniff" and allows frames of the site's own pages only.
//   - Sessions: created when a page first stores a value, kept under a random
//     128-bit id (drawn then) in a session cookie, ended after the idle
//     timeout; the requests of one session run one at a time. They live in
//     the server's memory (host/serve/sessions.h) or in the site's database
//     (host/serve/session_table.h), where every server of the site finds them.
//   - Limits: the requests of one client address to the configured pages
//     (the login handler) are limited, beyond the limit a short page with
//     status 429 (host/serve/rate_limit.h); a request with more name-value
//     pairs than the bound gets 413.
//   - Connections: plain or TLS; a request is taken in whole before a worker
//     serves it, with its body framed by the host itself
//     (host/serve/framing.h); a request whose framing or header is malformed
//     or ambiguous is refused and its connection closed. Ranges are not
//     served: every answer is whole. See host/serve/connection.h and
//     host/serve/workers.h. The HTTP library parses and answers each request
//     (host/serve/http_layer.h).
//   - An access log in the common log format, when configured.
#pragma once

#include <memory>
#include <string>

#include "host/serve/config.h"
#include "host/serve/pages.h"

namespace zurvafun::serve {

class HttpServer {
 public:
  // `cookieSecret`: the key that signs the cookies. Throws
  // std::runtime_error when the TLS files or the access log cannot be opened.
  HttpServer(ServeConfig config, std::string cookieSecret);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Register the pages before run().
  PageRegistry& pages();
  // The application values (the configuration's); a value set before run()
  // is seen by every page.
  host::Application& application();
  // The server object the pages see (MapPath); folders mounted on it before
  // run() are served from there too.
  host::Server& server();
  // With sessions kept in the database: makes their table when it lacks
  // one. Call once the database layer is configured, before run(); throws
  // std::runtime_error when the database cannot be opened.
  void prepareSessions();

  // Binds the configured address and port (port 0: any free port); returns
  // the bound port. Throws std::runtime_error when it cannot bind (a port
  // in use says so).
  int bind();
  // "http://address:port/" (https with TLS) once bound.
  std::string url() const;
  // Serves until stop(); call after bind().
  void run();
  // Stops serving (from any thread): run() returns once the requests in
  // progress are done.
  void stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zurvafun::serve

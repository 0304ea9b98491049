#include "host/serve/server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unordered_set>

#include "db/db.h"
#include "host/collection.h"
#include "host/links.h"
#include "host/serve/access_log.h"
#include "host/serve/connection.h"
#include "host/serve/cookies.h"
#include "host/serve/form.h"
#include "host/serve/http_layer.h"
#include "host/serve/listener.h"
#include "host/serve/page_encoding.h"
#include "host/serve/rate_limit.h"
#include "host/serve/session_table.h"
#include "host/serve/sessions.h"
#include "host/serve/tls.h"
#include "host/serve/workers.h"
#include "runtime/dates.h"
#include "runtime/error.h"
#include "runtime/gbk.h"

namespace zurvafun::serve {

namespace {

constexpr std::string_view kSessionCookie = "ZURVASESSIONID";

// Sent with every answer: browsers take the content type as given, and only
// the site's own pages may show it in a frame.
constexpr std::pair<const char*, const char*> kSecurityHeaders[] = {
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "SAMEORIGIN"},
    {"Content-Security-Policy", "frame-ancestors 'self'"},
};

std::string securityHeaderLines() {
  std::string lines;
  for (const auto& [name, value] : kSecurityHeaders) lines.append(name).append(": ").append(value).append("\r\n");
  return lines;
}

// The answer to a client beyond the rate limit.
constexpr std::string_view kTooManyRequests = R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>请求过于频繁</title>
</head>
<body>
<p>您的请求过于频繁，请稍后再试。</p>
</body>
</html>
)";

// The connection whose request the calling worker thread is serving.
thread_local ConnectionStream* currentConnection = nullptr;

// The size of the last page this thread served, which the next page's body
// reserves up front (up to kLargestReservation) rather than growing to it.
thread_local std::size_t lastPageSize = 0;
constexpr std::size_t kLargestReservation = 1 << 20;

void closeConnectionAfterResponse() {
  if (currentConnection) currentConnection->closeAfterResponse();
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && host::sameKey(s.substr(s.size() - suffix.size()), suffix);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && host::sameKey(s.substr(0, prefix.size()), prefix);
}

// A header value that cannot end its header line early.
bool isSafeHeaderValue(std::string_view s) {
  for (char c : s)
    if (c == '\r' || c == '\n' || c == '\0') return false;
  return true;
}

bool isHeaderName(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c <= 32 || c >= 127 || c == ':') return false;
  return true;
}

// The host's own short answers (errors, refusals).
void plain(httplib::Response& res, int status, std::string_view text) {
  res.status = status;
  res.body.assign(text);
  res.body += '\n';
  res.set_header("Content-Type", "text/plain");
}

// A request the host does not serve (see ConnectionStream::refusal()).
void refuse(httplib::Response& res, int status) {
  res.set_header("Connection", "close");
  switch (status) {
    case 413: return plain(res, 413, "413 Request Entity Too Large");
    case 501: return plain(res, 501, "501 Not Implemented");
    default: return plain(res, 400, "400 Bad Request");
  }
}

std::string_view contentTypeOf(std::string_view path) {
  static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
      {".css", "text/css"},
      {".js", "application/javascript"},
      {".html", "text/html; charset=gb2312"},
      {".htm", "text/html; charset=gb2312"},
      {".txt", "text/plain; charset=gb2312"},
      {".xml", "text/xml"},
      {".json", "application/json"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".gif", "image/gif"},
      {".png", "image/png"},
      {".webp", "image/webp"},
      {".svg", "image/svg+xml"},
      {".ico", "image/x-icon"},
      {".swf", "application/x-shockwave-flash"},
  };
  for (const auto& [extension, type] : kTypes)
    if (endsWithNoCase(path, extension)) return type;
  return "application/octet-stream";
}

// How long a browser may use a script or style sheet of the site without
// asking again. Past that it asks with the file's tag (ETag) and is answered
// "304 Not Modified" while the file is unchanged; other files are asked for
// every time (member pictures among them are not to be kept).
constexpr int kScriptMaxAgeSeconds = 3600;

bool isScriptOrStyleSheet(std::string_view path) {
  return endsWithNoCase(path, ".js") || endsWithNoCase(path, ".css");
}

// The tag of a file's contents as far as its size and time of change tell.
std::string entityTag(const struct stat& st) {
  char tag[64];
  std::snprintf(tag, sizeof tag, "\"%llx-%llx\"", static_cast<unsigned long long>(st.st_size),
                static_cast<unsigned long long>(st.st_mtim.tv_sec) * 1000000000ULL +
                    static_cast<unsigned long long>(st.st_mtim.tv_nsec));
  return tag;
}

// An If-None-Match header value names `tag` (or is "*"); weak tags match too.
bool namesTag(std::string_view header, std::string_view tag) {
  while (!header.empty()) {
    const size_t comma = header.find(',');
    std::string_view item = header.substr(0, comma);
    header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    if (item.starts_with("W/")) item.remove_prefix(2);
    if (item == "*" || item == tag) return true;
  }
  return false;
}

enum class PathCheck { Ok, Refused, Bad };

// A decoded request path may not climb out of the document root: a segment
// that starts with "." ("..", hidden files) is refused, with "\" counting as
// a separator too; control characters make the request bad.
PathCheck checkPath(std::string_view path) {
  bool segmentStart = true;
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) return PathCheck::Bad;
    if (c == '/' || c == '\\') {
      segmentStart = true;
      continue;
    }
    if (segmentStart && c == '.') return PathCheck::Refused;
    segmentStart = false;
  }
  return PathCheck::Ok;
}

// SERVER_NAME: the host the browser asked for, without its port.
std::string serverName(std::string_view host, const std::string& localAddress) {
  if (host.empty()) return localAddress;
  const size_t colon = host.rfind(':');
  const size_t bracket = host.rfind(']');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket))
    host = host.substr(0, colon);
  return std::string(host);
}

// A redirect target as it may stand in the Location header: the text in
// GBK, with bytes outside printable ASCII escaped.
std::string locationOf(std::string_view url) {
  std::string out;
  for (char c : gbk::fromUtf8(url)) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 32 || b >= 127 || c == '"') {
      out += '%';
      out += "0123456789ABCDEF"[b >> 4];
      out += "0123456789ABCDEF"[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// Control characters of text bound for a one-line log entry.
std::string printable(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  return out;
}

std::string headerValue(const httplib::Request& req, const char* name) {
  const auto it = req.headers.find(name);
  return it == req.headers.end() ? std::string() : it->second;
}

// Header values as the client sent them: the HTTP layer's own copies are
// percent-decoded.
std::vector<std::string_view> rawHeaderValues(std::string_view name) {
  if (!currentConnection) return {};
  return headerValues(currentConnection->rawHeader(), name);
}

std::string rawHeaderValue(std::string_view name) {
  const std::vector<std::string_view> values = rawHeaderValues(name);
  return values.empty() ? std::string() : std::string(values.front());
}

// The HTTP layer compresses text for a client that accepts it, choosing
// brotli first, at a setting that costs several milliseconds per page; gzip
// costs a fraction of that, so a client that accepts both gets gzip.
void preferGzip(httplib::Request& req) {
  const auto it = req.headers.find("Accept-Encoding");
  if (it == req.headers.end() || it->second.find("br") == std::string::npos) return;
  if (it->second.find("gzip") != std::string::npos) it->second = "gzip";
  else req.headers.erase(it);
}

// The last comma-separated item of the last value of a header: what the
// nearest proxy added.
std::string lastItem(const std::vector<std::string_view>& values) {
  if (values.empty()) return {};
  std::string_view item = values.back();
  item = item.substr(item.rfind(',') == std::string_view::npos ? 0 : item.rfind(',') + 1);
  while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
  return std::string(item);
}

// The request as the HTTP layer is to read it: the body the connection took
// in, of the length it found (a chunked body arrives decoded). Ranges are not
// served: the HTTP layer answers a range with status 200 as if it were the
// whole, and builds every range asked for in memory (thousands of ranges of
// one picture fit into a header), so every answer is whole.
void prepareRequest(httplib::Request& req, ConnectionStream& connection) {
  connection.headersRead(req.method);
  req.headers.erase("Content-Length");
  req.headers.erase("Transfer-Encoding");
  req.headers.erase("Expect");  // the connection answered it
  if (req.method == "POST") req.set_header("Content-Length", std::to_string(connection.bodyLength()));
  req.headers.erase("Range");
  req.ranges.clear();
  preferGzip(req);
}

}  // namespace

// ------------------------------------------------------------------ the host

class HttpServer::Impl {
 public:
  Impl(ServeConfig config, std::string cookieSecret);

  // Serves the requests of a connection while they come, or until it moves
  // to the waiting room or closes.
  void serveConnection(Workers::Connection c);
  void serve(const httplib::Request& req, httplib::Response& res, host::ValueCollection* form);
  void runPage(const Page& page, std::string scriptPath, std::string_view linkQuery, const httplib::Request& req,
               httplib::Response& res, host::ValueCollection* form);
  void writeResponse(const host::Response& page, httplib::Response& res, bool personal, bool secure,
                     std::time_t now) const;
  // Serves a file of the document root, "304 Not Modified" when the request
  // names its current tag; false (and nothing set) when there is none.
  bool serveFile(const std::string& sitePath, const httplib::Request& req,
                 httplib::Response& res) const;
  // Serves the file of a site path that names no page: through its folder's
  // guard when it has one; the answer to a path with no file otherwise.
  void serveStatic(const std::string& sitePath, const httplib::Request& req,
                   httplib::Response& res);
  // The answer to a path with no page and no file: the site's own page, or plain text.
  void notFound(const std::string& path, const httplib::Request& req, httplib::Response& res);
  void readBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
  void logError(const httplib::Request& req, std::string_view what);

  bool fromTrustedProxy(const std::string& address) const;
  // The client's address: the peer's, or the one a trusted proxy forwards.
  std::string clientAddress(const std::string& peer) const;
  // The request came over TLS, or a trusted proxy says it did.
  bool secureRequest(const std::string& peer) const;

  ServeConfig config_;
  CookieSigner signer_;
  SessionStore sessions_;
  // The sessions in the database instead, when the configuration says so.
  std::unique_ptr<SessionTable> sessionTable_;
  RateLimiter rateLimiter_;
  // The pages of the rate limit's paths, found when the server starts to
  // serve: a page is limited under every path that reaches it (its
  // aliases, its static link, any case).
  std::unordered_set<const Page*> limitedPages_;
  AccessLog accessLog_;
  TlsContext tls_{nullptr, SSL_CTX_free};
  PageRegistry pages_;
  std::shared_ptr<host::Application> application_ = std::make_shared<host::Application>();
  std::shared_ptr<host::Server> server_;
  std::string documentRoot_;
  Variant connection_[4];  // SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName
  const std::string tooManyRequests_ = gbk::fromUtf8(kTooManyRequests);
  HttpLayer http_;
  Listener listener_;
  Workers workers_;
  int port_ = -1;
  std::mutex logMutex_;
};

HttpServer::Impl::Impl(ServeConfig config, std::string cookieSecret)
    : config_(std::move(config)),
      signer_(cookieSecret, config_.cookieAges),
      sessions_(std::chrono::duration_cast<SessionStore::Clock::duration>(
                    std::chrono::duration<double>(config_.sessionIdleSeconds)),
                config_.maxSessions),
      rateLimiter_(config_.rateLimit),
      accessLog_(config_.accessLog),
      workers_(static_cast<size_t>(config_.workerThreads),
               [this](Workers::Connection c) { serveConnection(std::move(c)); }) {
  if (!config_.tlsCertificate.empty()) tls_ = makeTlsContext(config_.tlsCertificate, config_.tlsKey);
  documentRoot_ = std::filesystem::absolute(config_.documentRoot).lexically_normal().string();
  while (documentRoot_.size() > 1 && documentRoot_.back() == '/') documentRoot_.pop_back();
  server_ = std::make_shared<host::Server>(documentRoot_);
  connection_[0] = config_.SqlLocalName;
  connection_[1] = config_.SqlUserName;
  connection_[2] = config_.SqlPassword;
  connection_[3] = config_.SqlDatabaseName;
  if (config_.sessionStore == ServeConfig::SessionStoreKind::Database)
    sessionTable_ = std::make_unique<SessionTable>(
        db::ConnectionParams{config_.SqlLocalName, config_.SqlUserName, config_.SqlPassword,
                             config_.SqlDatabaseName},
        config_.sessionIdleSeconds, config_.maxSessions);
  for (const auto& [name, elements] : config_.application) {
    VariantArray items(elements.begin(), elements.end());
    application_->set(name, Variant(std::move(items)));
  }

  http_.set_payload_max_length(config_.limits.maxBodyBytes);
  // What the Keep-Alive header tells the client (the connections keep to it).
  http_.set_keep_alive_timeout(config_.limits.keepAliveTimeoutSeconds);
  http_.set_keep_alive_max_count(static_cast<size_t>(config_.limits.keepAliveMaxRequests));
  httplib::Headers headers;
  for (const auto& [name, value] : kSecurityHeaders) headers.emplace(name, value);
  http_.set_default_headers(std::move(headers));
  http_.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    if (!accessLog_.enabled() || !currentConnection) return;
    accessLog_.write(clientAddress(req.remote_addr), currentConnection->requestLine(), res.status,
                     req.method == "HEAD" ? 0 : res.body.size());
  });
  // Every request but a POST is answered here, before the HTTP layer's own
  // (pattern-matching) routing; a POST goes on to read its body.
  http_.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (const int status = currentConnection ? currentConnection->refusal() : 0) {
      refuse(res, status);
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method == "POST") return httplib::Server::HandlerResponse::Unhandled;
    if (req.method == "GET" || req.method == "HEAD") {
      serve(req, res, nullptr);
    } else {
      plain(res, 405, "405 Method Not Allowed");
      res.set_header("Allow", "GET, HEAD, POST");
    }
    return httplib::Server::HandlerResponse::Handled;
  });
  http_.Post(".*", [this](const httplib::Request& req, httplib::Response& res,
                            const httplib::ContentReader& reader) { readBody(req, res, reader); });
  http_.set_exception_handler([this](const httplib::Request& req, httplib::Response& res, std::exception_ptr e) {
    std::string what = "unknown exception";
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      what = x.what();
    } catch (...) {
    }
    logError(req, what);
    plain(res, 500, "500 Internal Server Error");
  });
}

void HttpServer::Impl::serveConnection(Workers::Connection c) {
  const auto stopping = [this] { return listener_.stopping(); };
  const auto othersWaiting = [this] { return workers_.othersWaiting(); };
  // Whatever happens to one connection (even memory running out), the worker goes on.
  try {
    for (;;) {
      switch (c->awaitRequest(workers_.wakeFd(), stopping, othersWaiting)) {
        case ConnectionStream::Await::Park: return workers_.park(std::move(c));
        case ConnectionStream::Await::Close: return;
        case ConnectionStream::Await::Ready: break;
      }
      if (const int status = c->refusal()) {  // refused before the HTTP layer could read it
        const size_t bytes = c->writeRefusal(securityHeaderLines());
        // The client's address behind a trusted proxy is read from this
        // connection's header, as for a request that was served.
        currentConnection = c.get();
        const std::string client = clientAddress(c->remoteIp());
        currentConnection = nullptr;
        accessLog_.write(client, c->requestLine(), status, bytes);
        c->flush();
        return workers_.close(std::move(c));
      }
      bool closed = false;
      currentConnection = c.get();
      const bool ok = http_.serveOne(*c, c->lastRequest(), closed,
                                     [&c](httplib::Request& req) { prepareRequest(req, *c); });
      currentConnection = nullptr;
      if (!c->flush() || !ok || closed || !c->finishRequest()) return workers_.close(std::move(c));
    }
  } catch (...) {
    currentConnection = nullptr;
  }
}

bool HttpServer::Impl::fromTrustedProxy(const std::string& address) const {
  return std::find(config_.trustedProxies.begin(), config_.trustedProxies.end(), address) !=
         config_.trustedProxies.end();
}

std::string HttpServer::Impl::clientAddress(const std::string& peer) const {
  if (!fromTrustedProxy(peer)) return peer;
  std::string forwarded = lastItem(rawHeaderValues("X-Forwarded-For"));
  return forwarded.empty() ? peer : printable(forwarded);
}

bool HttpServer::Impl::secureRequest(const std::string& peer) const {
  if (currentConnection && currentConnection->secure()) return true;
  return fromTrustedProxy(peer) && host::sameKey(lastItem(rawHeaderValues("X-Forwarded-Proto")), "https");
}

void HttpServer::Impl::readBody(const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& reader) {
  const size_t limit = config_.limits.maxBodyBytes;
  host::ValueCollection form;
  bool tooLarge = false;
  bool ok;
  if (req.is_multipart_form_data()) {
    MultipartForm multipart(limit, config_.limits.maxRequestPairs);
    ok = reader(
        [&](const httplib::MultipartFormData& part) { return multipart.beginPart(part.name, part.filename); },
        [&](const char* data, size_t size) { return multipart.append(data, size); });
    tooLarge = multipart.tooLarge();
    if (ok) multipart.fill(form);
  } else {
    std::string body;
    ok = reader([&](const char* data, size_t size) {
      if (body.size() + size > limit) {
        tooLarge = true;
        return false;
      }
      body.append(data, size);
      return true;
    });
    if (ok && startsWithNoCase(headerValue(req, "Content-Type"), "application/x-www-form-urlencoded")) {
      addUrlEncodedPairs(body, form);
      form.setText(std::move(body));
    }
  }
  if (!ok) {
    closeConnectionAfterResponse();
    return refuse(res, tooLarge || res.status == 413 ? 413 : 400);
  }
  serve(req, res, &form);
}

void HttpServer::Impl::serve(const httplib::Request& req, httplib::Response& res, host::ValueCollection* form) {
  const std::string_view target = req.target;
  const size_t mark = target.find('?');
  const std::string_view rawPath = target.substr(0, mark);
  if (rawPath.empty() || rawPath.front() != '/') return plain(res, 400, "400 Bad Request");
  const std::string path = pathBytesToText(percentDecode(rawPath, false));
  switch (checkPath(path)) {
    case PathCheck::Bad: return plain(res, 400, "400 Bad Request");
    case PathCheck::Refused: return plain(res, 403, "403 Forbidden");
    case PathCheck::Ok: break;
  }
  const size_t slash = path.rfind('/');
  const std::string dir = path.substr(0, slash + 1);
  const std::string_view name = std::string_view(path).substr(slash + 1);

  if (name.empty()) {  // the folder's default page, else its index.html
    const std::string script = dir + "index.asp";
    if (const Page* page = pages_.find(script)) return runPage(*page, script, {}, req, res, form);
    if (form) return plain(res, 405, "405 Method Not Allowed");
    return serveStatic(dir + "index.html", req, res);
  }
  if (name.find(".html") != std::string_view::npos) {
    // A static link: read back into the dynamic form, which names the page
    // and carries the query.
    const std::string dynamic = staticLinkToDynamic(rawPath.substr(rawPath.rfind('/') + 1));
    const size_t query = dynamic.find('?');
    const std::string script =
        dir + pathBytesToText(percentDecode(std::string_view(dynamic).substr(0, query), false));
    if (const Page* page = pages_.find(script)) {
      const std::string_view linkQuery =
          query == std::string::npos ? std::string_view() : std::string_view(dynamic).substr(query + 1);
      return runPage(*page, script, linkQuery, req, res, form);
    }
  } else if (endsWithNoCase(name, ".asp")) {
    if (const Page* page = pages_.find(path)) return runPage(*page, path, {}, req, res, form);
    return notFound(path, req, res);
  }
  if (form) return plain(res, 405, "405 Method Not Allowed");
  serveStatic(path, req, res);
}

void HttpServer::Impl::serveStatic(const std::string& sitePath, const httplib::Request& req,
                                   httplib::Response& res) {
  const std::optional<PageRegistry::Guarded> guarded = pages_.guardOf(sitePath);
  if (!guarded) {
    if (!serveFile(sitePath, req, res)) notFound(sitePath, req, res);
    return;
  }
  // The guard runs as a page does (the visitor's cookies, the session, the
  // page run before every page); the file replaces the page's empty text,
  // and the headers it set (cookies, Cache-Control) stay.
  bool allowed = false;
  const Page guard = [&](PageContext& p) { allowed = (*guarded->guard)(p, guarded->fileName); };
  runPage(guard, sitePath, {}, req, res, nullptr);
  if (res.status != 200) return;  // the guard failed, or the request was refused
  res.headers.erase("Content-Type");
  if (!allowed || !serveFile(sitePath, req, res)) plain(res, 404, "404 Not Found");
}

void HttpServer::Impl::notFound(const std::string& path, const httplib::Request& req,
                                httplib::Response& res) {
  if (const Page* page = pages_.notFound()) return runPage(*page, path, {}, req, res, nullptr);
  plain(res, 404, "404 Not Found");
}

void HttpServer::Impl::runPage(const Page& page, std::string scriptPath, std::string_view linkQuery,
                               const httplib::Request& req, httplib::Response& res, host::ValueCollection* form) {
  const Page* refusal = pages_.tooManyRequests();
  if (&page != refusal && (limitedPages_.count(&page) > 0 || rateLimiter_.covers(scriptPath))) {
    if (const int wait = rateLimiter_.take(clientAddress(req.remote_addr))) {
      if (refusal) {
        // The site's page, without the form that was refused.
        runPage(*refusal, scriptPath, linkQuery, req, res, nullptr);
        if (res.status >= 500) return;
      } else {
        res.set_header("Content-Type", "text/html; charset=gb2312");
        res.body = tooManyRequests_;
      }
      res.status = 429;
      res.set_header("Retry-After", std::to_string(wait));
      res.headers.erase("Cache-Control");
      res.set_header("Cache-Control", "no-store");
      return;
    }
  }
  // Within a request, a database opened again is taken without checking its
  // file anew, and reads share one state of it (see db::beginRequest); the
  // page itself starts another such span below, after any wait for the
  // session's turn. The span ends with the request, so that an idle worker
  // holds no read of the file.
  db::beginRequest();
  struct RequestSpan {
    ~RequestSpan() { db::endRequest(); }
  } span;
  auto request = std::make_shared<host::Request>();

  // The query: a static link's own query first, then the URL's.
  const std::string_view target = req.target;
  const size_t mark = target.find('?');
  const std::string_view rawQuery = mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
  const size_t pairs = addUrlEncodedPairs(linkQuery, request->QueryString, Escapes::Path) +
                       addUrlEncodedPairs(rawQuery, request->QueryString) + (form ? form->count() : 0);
  if (pairs > config_.limits.maxRequestPairs) {
    closeConnectionAfterResponse();
    return refuse(res, 413);
  }
  std::string queryText(linkQuery);
  if (!linkQuery.empty() && !rawQuery.empty()) queryText += '&';
  queryText += rawQuery;
  request->QueryString.setText(queryText);

  if (form) request->Form = std::move(*form);

  const std::time_t now = std::time(nullptr);
  std::string sessionId;
  for (std::string_view header : rawHeaderValues("Cookie"))
    readRequestCookies(header, signer_, kSessionCookie, request->Cookies, sessionId, now);

  host::ValueCollection& variables = request->ServerVariables;
  const std::string host = pathBytesToText(rawHeaderValue("Host"));
  variables.add("REMOTE_ADDR", req.remote_addr);
  variables.add("SERVER_NAME", serverName(host, req.local_addr));
  variables.add("SERVER_PORT", std::to_string(req.local_port));
  variables.add("HTTP_HOST", host);
  variables.add("HTTP_REFERER", pathBytesToText(rawHeaderValue("Referer")));
  variables.add("HTTP_ORIGIN", pathBytesToText(rawHeaderValue("Origin")));
  variables.add("HTTP_USER_AGENT", pathBytesToText(rawHeaderValue("User-Agent")));
  variables.add("URL", scriptPath);
  variables.add("PATH_INFO", scriptPath);
  variables.add("SCRIPT_NAME", scriptPath);
  variables.add("QUERY_STRING", std::move(queryText));
  variables.add("REQUEST_METHOD", req.method);

  // The visitor's session; a new one is kept, and gets its id, only once a
  // page stores a value.
  std::shared_ptr<SessionStore::Entry> entry;
  SessionTable::Held stored;
  std::shared_ptr<host::Session> session;
  std::unique_lock<std::mutex> sessionTurn;
  try {
    if (!sessionId.empty() && sessionTable_)
      stored = sessionTable_->find(sessionId, SessionTable::wallClock());
    else if (!sessionId.empty())
      entry = sessions_.find(sessionId);
  } catch (const std::exception& e) {
    logError(req, std::string("the session cannot be read: ") + e.what());
    return plain(res, 500, "500 Internal Server Error");
  }
  if (entry) {
    session = entry->session;
    sessionTurn = std::unique_lock(entry->running);
  } else if (stored.session) {
    session = stored.session;
  } else {
    session = std::make_shared<host::Session>();
  }
  const bool known = entry || stored.session;

  auto response = std::make_shared<host::Response>(request.get());
  // The body grows to about the size this thread's last page had.
  response->reserve(std::min(lastPageSize, kLargestReservation));
  auto context = std::make_shared<host::ObjectContext>();
  context->application = application_;
  context->server = server_;
  context->session = session;
  context->request = request;
  context->response = response;

  std::optional<std::string> failure;
  db::beginRequest();
  {
    host::ObjectContextScope scope(context);
    PageContext p{*request,      *response,     *session,      *application_, *server_,
                  connection_[0], connection_[1], connection_[2], connection_[3]};
    try {
      if (const Page* before = pages_.beforeEach()) (*before)(p);
      page(p);
    } catch (const VbError& e) {
      if (!e.isRequestEnd()) failure = "run-time error " + std::to_string(e.number()) + ": " + e.description();
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "unknown exception";
    }
  }
  if (sessionTurn) sessionTurn.unlock();
  const bool newSession = !known && !session->names().empty();
  if (!failure && sessionTable_) {
    try {
      if (newSession) session->SessionID = SessionStore::newId();
      if (newSession)
        sessionTable_->add(*session, SessionTable::wallClock());
      else
        sessionTable_->keep(stored, SessionTable::wallClock());
    } catch (const std::exception& e) {
      failure = std::string("the session cannot be kept: ") + e.what();
    }
  }
  if (failure) {
    logError(req, *failure);
    return plain(res, 500, "500 Internal Server Error");
  }
  const bool secure = secureRequest(req.remote_addr);
  if (newSession) {
    if (!sessionTable_) {
      session->SessionID = SessionStore::newId();
      sessions_.add(session);
    }
    res.set_header("Set-Cookie", sessionCookieHeader(kSessionCookie, session->SessionID, signer_, now, secure));
  }
  // A page that read or wrote any of the visitor's cookies (the member and
  // administrator cookies above all) or the session is the visitor's own.
  const bool personal = !request->Cookies.names().empty() || !sessionId.empty() || newSession ||
                        !response->Cookies.all().empty();
  writeResponse(*response, res, personal, secure, now);
}

void HttpServer::Impl::writeResponse(const host::Response& page, httplib::Response& res, bool personal, bool secure,
                                     std::time_t now) const {
  for (const auto& cookie : page.Cookies.all()) {
    const std::string header = setCookieHeader(*cookie, signer_, now, secure);
    if (!header.empty()) res.set_header("Set-Cookie", header);
  }
  // A visitor's own page is kept by no cache (nor by the browser, for its
  // back button after a logout); other pages as the page says.
  const bool cacheControlOk = !page.CacheControl.empty() && isSafeHeaderValue(page.CacheControl);
  if (personal) res.set_header("Cache-Control", "private, no-store");
  else res.set_header("Cache-Control", cacheControlOk ? page.CacheControl : std::string("private"));

  // Expires (minutes from now) and ExpiresAbsolute: the earlier one counts.
  std::optional<std::time_t> expires;
  auto consider = [&expires](std::time_t t) {
    if (!expires || t < *expires) expires = t;
  };
  try {
    if (!page.Expires.isEmpty()) consider(std::time(nullptr) + static_cast<std::time_t>(CDbl(page.Expires) * 60));
  } catch (const VbError&) {
  }
  try {
    if (!page.ExpiresAbsolute.isEmpty()) consider(timeOfSerial(dateSerialOf(page.ExpiresAbsolute)));
  } catch (const VbError&) {
  }
  if (expires) res.set_header("Expires", httpDate(*expires));

  for (const auto& [name, value] : page.headers())
    if (isHeaderName(name) && isSafeHeaderValue(value)) res.set_header(name, value);

  if (!page.redirectLocation().empty()) {
    const std::string location = locationOf(page.redirectLocation());
    res.status = 302;
    res.set_header("Location", location);
    res.set_header("Content-Type", "text/html");
    res.body = "<head><title>Object moved</title></head>\r\n<body><h1>Object Moved</h1>This object may be found <a HREF=\"" +
               location + "\">here</a>.</body>\r\n";
    return;
  }
  res.status = page.Status >= 100 && page.Status <= 599 ? page.Status : 200;
  std::string type = page.ContentType.empty() ? std::string("text/html") : page.ContentType;
  if (!page.Charset.empty()) type += "; charset=" + page.Charset;
  res.set_header("Content-Type", isSafeHeaderValue(type) ? type : std::string("text/html; charset=gb2312"));
  res.body = encodePage(page.body(), page.longWrites());
  lastPageSize = page.body().size();
}

bool HttpServer::Impl::serveFile(const std::string& sitePath, const httplib::Request& req,
                                 httplib::Response& res) const {
  // The document root, or the folder mounted for the path's first segment.
  const std::string file = server_->MapPath(sitePath);
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  const std::string tag = entityTag(st);
  res.set_header("ETag", tag);
  res.set_header("Last-Modified", httpDate(st.st_mtim.tv_sec));
  if (isScriptOrStyleSheet(sitePath))
    res.set_header("Cache-Control", "public, max-age=" + std::to_string(kScriptMaxAgeSeconds));
  if (namesTag(headerValue(req, "If-None-Match"), tag)) {
    ::close(fd);
    res.status = 304;
    return true;
  }
  res.body.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < res.body.size()) {
    const ssize_t n = ::pread(fd, res.body.data() + done, res.body.size() - done, static_cast<off_t>(done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  res.body.resize(done);
  res.status = 200;
  res.set_header("Content-Type", std::string(contentTypeOf(sitePath)));
  return true;
}

void HttpServer::Impl::logError(const httplib::Request& req, std::string_view what) {
  const std::string line = dateTimeText(clockNow()) + "  500  " + req.method + " " + printable(req.target) + "  " +
                           printable(what) + "\n";
  std::lock_guard lock(logMutex_);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// ------------------------------------------------------------------ HttpServer

HttpServer::HttpServer(ServeConfig config, std::string cookieSecret)
    : impl_(std::make_unique<Impl>(std::move(config), std::move(cookieSecret))) {}

HttpServer::~HttpServer() = default;

PageRegistry& HttpServer::pages() { return impl_->pages_; }

host::Application& HttpServer::application() { return *impl_->application_; }

host::Server& HttpServer::server() { return *impl_->server_; }

void HttpServer::prepareSessions() {
  if (impl_->sessionTable_) impl_->sessionTable_->createTable();
}

int HttpServer::bind() {
  impl_->port_ = impl_->listener_.bind(impl_->config_.address, impl_->config_.port);
  return impl_->port_;
}

std::string HttpServer::url() const {
  const std::string& address = impl_->config_.address;
  const bool v6 = address.find(':') != std::string::npos;
  return std::string(impl_->tls_ ? "https://" : "http://") + (v6 ? "[" + address + "]" : address) + ":" +
         std::to_string(impl_->port_) + "/";
}

void HttpServer::run() {
  Impl* impl = impl_.get();
  for (const std::string& path : impl->config_.rateLimit.paths)
    if (const Page* page = impl->pages_.find(path)) impl->limitedPages_.insert(page);
  impl->listener_.run([impl](int fd) {
    impl->workers_.enqueue([impl, fd] {
      std::shared_ptr<ConnectionStream> connection;
      try {
        connection = std::make_shared<ConnectionStream>(fd, impl->config_.limits, impl->tls_.get());
      } catch (...) {  // memory ran out: the socket was not taken over
        ::close(fd);
        return;
      }
      impl->serveConnection(std::move(connection));
    });
  });
  impl->workers_.shutdown();
}

void HttpServer::stop() { impl_->listener_.stop(); }

}  // namespace zurvafun::serve

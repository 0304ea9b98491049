// The page host's object model: Request, Response, Session, Application and
// Server, and the object context through which a component finds them. The
// HTTP host fills them from a real request; tests fill them directly
// (host/test_host.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/collection.h"
#include "runtime/variant.h"

namespace zurvafun::host {

// ------------------------------------------------------------------ Request

// One request cookie: a plain value, or sub-keys. A default-made cookie
// stands for one the browser did not send.
class RequestCookie {
 public:
  RequestCookie() = default;
  explicit RequestCookie(std::string value) : sent_(true), value_(std::move(value)) {}
  explicit RequestCookie(SubKeys keys) : sent_(true), keys_(std::move(keys)) {}

  // The whole text: the plain value, or "k1=v1&k2=v2" (values URL-encoded);
  // Empty for a cookie that was not sent.
  Variant operator()() const;
  // A sub-key's value; Empty when absent.
  Variant operator()(std::string_view subKey) const;
  bool hasKeys() const { return !keys_.empty(); }
  const SubKeys& keys() const { return keys_; }

 private:
  bool sent_ = false;
  std::string value_;
  SubKeys keys_;
};

class RequestCookies {
 public:
  // The cookie of that name, or an empty cookie.
  const RequestCookie& operator()(std::string_view name) const;
  bool contains(std::string_view name) const;
  std::vector<std::string> names() const;

  void set(std::string name, RequestCookie cookie);
  void remove(std::string_view name);
  // Sets a cookie from the text a browser sends: "k1=v1&k2=v2" gives sub-keys,
  // anything else a plain (URL-decoded) value.
  void setFromHeader(std::string name, std::string_view rawValue);

 private:
  std::vector<std::pair<std::string, RequestCookie>> cookies_;
};

class Request {
 public:
  ValueCollection QueryString;
  ValueCollection Form;
  RequestCookies Cookies;
  ValueCollection ServerVariables;

  // The general lookup: query string, form, cookies, server variables.
  Variant operator()(std::string_view name) const;
};

// ------------------------------------------------------------------ Response

// One cookie written by the response.
class ResponseCookie {
 public:
  // Assignment to one sub-key: Response.Cookies("c")("k") = v.
  class SubKeyRef {
   public:
    SubKeyRef(ResponseCookie& cookie, std::string key) : cookie_(cookie), key_(std::move(key)) {}
    SubKeyRef& operator=(const Variant& value);

   private:
    ResponseCookie& cookie_;
    std::string key_;
  };

  explicit ResponseCookie(std::string name) : name_(std::move(name)) {}

  SubKeyRef operator()(std::string_view subKey) { return SubKeyRef(*this, std::string(subKey)); }
  // Assigning the whole cookie drops its sub-keys.
  ResponseCookie& operator=(const Variant& value);

  std::string Path;
  Variant Expires;  // a date; Empty = until the browser closes
  std::string Domain;

  const std::string& name() const { return name_; }
  bool hasKeys() const { return !keys_.empty(); }
  const SubKeys& keys() const { return keys_; }
  const std::string& value() const { return value_; }
  // The cookie's text as it travels: the value or "k1=v1&k2=v2".
  std::string text() const;
  // A sub-key's current value (Empty when absent); for tests and the host.
  Variant subKey(std::string_view key) const;

 private:
  friend class Response;
  std::string name_;
  std::string value_;
  SubKeys keys_;
};

class Response {
 public:
  // The response's cookies. A cookie first touched here starts from the
  // request's sub-keys of the same name, so writing one sub-key keeps the others.
  class Cookies_ {
   public:
    explicit Cookies_(const Request* request) : request_(request) {}
    ResponseCookie& operator()(std::string_view name);
    const std::vector<std::unique_ptr<ResponseCookie>>& all() const { return cookies_; }
    const ResponseCookie* find(std::string_view name) const;

   private:
    const Request* request_;
    std::vector<std::unique_ptr<ResponseCookie>> cookies_;
  };

  explicit Response(const Request* request = nullptr) : Cookies(request) {}

  void Write(const Variant& text);
  void Write(std::string_view text);
  void Write(const char* text) { Write(std::string_view(text)); }
  void Write(const std::string& text) { Write(std::string_view(text)); }
  // Ends the response: later writes are discarded.
  void End() { ended_ = true; }
  // Sends a redirect and ends the response; what the page wrote before is
  // dropped, as a buffered response's body was.
  void Redirect(std::string_view url);
  void Clear() {
    body_.clear();
    longWrites_.clear();
  }
  // Room for a body of `bytes` bytes, made before the page writes.
  void reserve(std::size_t bytes) { body_.reserve(bytes); }
  void AddHeader(std::string name, std::string value);

  Cookies_ Cookies;
  Variant Expires;          // minutes; Empty = not set
  Variant ExpiresAbsolute;  // a date; Empty = not set
  std::string CacheControl;
  std::string ContentType = "text/html";
  std::string Charset = "gb2312";
  int Status = 200;

  bool ended() const { return ended_; }
  const std::string& body() const { return body_; }
  // Where the body's long texts lie, each as written by one call: (offset,
  // length). Such a text (a kept fragment, a fixed part of the page) often
  // comes back the same on the next request, and the host can reuse what it
  // made of it then.
  static constexpr std::size_t kLongWrite = 512;
  const std::vector<std::pair<std::size_t, std::size_t>>& longWrites() const { return longWrites_; }
  const std::string& redirectLocation() const { return redirect_; }
  const std::vector<std::pair<std::string, std::string>>& headers() const { return headers_; }

 private:
  void append(std::string_view text);

  std::string body_;
  std::vector<std::pair<std::size_t, std::size_t>> longWrites_;
  bool ended_ = false;
  std::string redirect_;
  std::vector<std::pair<std::string, std::string>> headers_;
};

// ------------------------------------------------------------------ Session, Application

// Named values with case-insensitive names.
class ValueStore {
 public:
  ValueStore();
  // A number that changes with every change of the values, and that no other
  // store has ever had: what a reader derived from the values stays good
  // while the version is the same.
  std::uint64_t version() const { return version_.load(std::memory_order_acquire); }

  // The value of `name`, Empty when unset.
  Variant operator()(std::string_view name) const;
  void set(std::string_view name, Variant value);
  bool contains(std::string_view name) const;
  void remove(std::string_view name);
  void clear();
  std::vector<std::string> names() const;

 private:
  void changed();

  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, Variant>> values_;
  std::atomic<std::uint64_t> version_;
};

class Session : public ValueStore {
 public:
  std::string SessionID;
  int Timeout = 20;  // minutes
};

// Site-wide values; the component only reads them. Values may be arrays whose
// element 0 holds the text the component splits.
class Application : public ValueStore {};

// ------------------------------------------------------------------ Server

// An object made by Server.CreateObject.
class HostObject {
 public:
  explicit HostObject(std::string progId) : progId_(std::move(progId)) {}
  virtual ~HostObject() = default;
  const std::string& progId() const { return progId_; }

 private:
  std::string progId_;
};

class Server {
 public:
  explicit Server(std::string documentRoot = ".") : documentRoot_(std::move(documentRoot)) {}

  // The file system path of a site path: "/a/b.jpg" and "a/b.jpg" lie under the
  // document root ("\" counts as "/"), or under the folder mounted for their
  // first segment; ".." may not climb out of it (error 5).
  std::string MapPath(std::string_view path) const;
  // Serves the site folder `name` (one segment, e.g. "up_article") from
  // `folder` instead of the document root: a folder that several servers
  // share. Call before serving.
  void mount(std::string name, std::string folder);
  // Escapes < > & " (other characters pass).
  static std::string HTMLEncode(std::string_view text);
  // URL encoding in the server code page.
  static std::string URLEncode(std::string_view text);
  // The objects the component asks for by program identifier; anything else
  // raises error 429.
  std::shared_ptr<HostObject> CreateObject(std::string_view progId) const;

  const std::string& documentRoot() const { return documentRoot_; }

 private:
  std::string documentRoot_;
  std::vector<std::pair<std::string, std::string>> mounts_;  // site folder, file system folder
};

// ------------------------------------------------------------------ Object context

// What the host hands a component on its worker thread for one request.
struct ObjectContext {
  std::shared_ptr<Application> application;
  std::shared_ptr<Server> server;
  std::shared_ptr<Session> session;
  std::shared_ptr<Request> request;
  std::shared_ptr<Response> response;
};

// The object context of the calling thread's current request, or null outside
// a request.
std::shared_ptr<ObjectContext> GetObjectContext();
// Installs `context` as the calling thread's current one for the scope's life.
class ObjectContextScope {
 public:
  explicit ObjectContextScope(std::shared_ptr<ObjectContext> context);
  ~ObjectContextScope();
  ObjectContextScope(const ObjectContextScope&) = delete;
  ObjectContextScope& operator=(const ObjectContextScope&) = delete;

 private:
  std::shared_ptr<ObjectContext> previous_;
};

}  // namespace zurvafun::host

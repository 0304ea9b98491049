#include "host/host.h"

#include "host/objects.h"
#include "runtime/gbk.h"

namespace zurvafun::host {

// ------------------------------------------------------------------ Request

Variant RequestCookie::operator()() const {
  if (!sent_) return Variant();
  return keys_.empty() ? Variant(value_) : Variant(joinSubKeys(keys_));
}

Variant RequestCookie::operator()(std::string_view subKey) const {
  const std::string* v = keys_.find(subKey);
  return v ? Variant(*v) : Variant();
}

const RequestCookie& RequestCookies::operator()(std::string_view name) const {
  static const RequestCookie none;
  for (const auto& [n, c] : cookies_)
    if (sameKey(n, name)) return c;
  return none;
}

bool RequestCookies::contains(std::string_view name) const {
  for (const auto& entry : cookies_)
    if (sameKey(entry.first, name)) return true;
  return false;
}

std::vector<std::string> RequestCookies::names() const {
  std::vector<std::string> out;
  for (const auto& entry : cookies_) out.push_back(entry.first);
  return out;
}

void RequestCookies::set(std::string name, RequestCookie cookie) {
  for (auto& [n, c] : cookies_)
    if (sameKey(n, name)) {
      c = std::move(cookie);
      return;
    }
  cookies_.emplace_back(std::move(name), std::move(cookie));
}

void RequestCookies::remove(std::string_view name) {
  std::erase_if(cookies_, [&](const auto& entry) { return sameKey(entry.first, name); });
}

void RequestCookies::setFromHeader(std::string name, std::string_view rawValue) {
  if (rawValue.find('=') != std::string_view::npos) set(std::move(name), RequestCookie(parseSubKeys(rawValue)));
  else set(std::move(name), RequestCookie(gbk::urlDecode(rawValue)));
}

Variant Request::operator()(std::string_view name) const {
  if (QueryString.contains(name)) return QueryString(name);
  if (Form.contains(name)) return Form(name);
  if (Cookies.contains(name)) return Cookies(name)();
  return ServerVariables(name);
}

// ------------------------------------------------------------------ Response

ResponseCookie::SubKeyRef& ResponseCookie::SubKeyRef::operator=(const Variant& value) {
  cookie_.value_.clear();
  cookie_.keys_.set(key_, value.str());
  return *this;
}

ResponseCookie& ResponseCookie::operator=(const Variant& value) {
  keys_.clear();
  value_ = value.str();
  return *this;
}

std::string ResponseCookie::text() const {
  return keys_.empty() ? gbk::urlEncode(value_) : joinSubKeys(keys_);
}

Variant ResponseCookie::subKey(std::string_view key) const {
  const std::string* v = keys_.find(key);
  return v ? Variant(*v) : Variant();
}

ResponseCookie& Response::Cookies_::operator()(std::string_view name) {
  for (auto& c : cookies_)
    if (sameKey(c->name(), name)) return *c;
  auto cookie = std::make_unique<ResponseCookie>(std::string(name));
  if (request_) {
    const RequestCookie& sent = request_->Cookies(name);
    if (sent.hasKeys()) cookie->keys_ = sent.keys();
  }
  cookies_.push_back(std::move(cookie));
  return *cookies_.back();
}

const ResponseCookie* Response::Cookies_::find(std::string_view name) const {
  for (const auto& c : cookies_)
    if (sameKey(c->name(), name)) return c.get();
  return nullptr;
}

void Response::Write(const Variant& text) {
  if (ended_) return;
  // Text is appended where it is held, not copied out first.
  if (text.isString())
    append(text.stringValue());
  else
    append(text.str());
}

void Response::Write(std::string_view text) {
  if (!ended_) append(text);
}

void Response::append(std::string_view text) {
  if (text.size() >= kLongWrite) longWrites_.emplace_back(body_.size(), text.size());
  body_.append(text);
}

void Response::Redirect(std::string_view url) {
  if (ended_) return;
  Status = 302;
  redirect_ = std::string(url);
  Clear();
  ended_ = true;
}

void Response::AddHeader(std::string name, std::string value) {
  headers_.emplace_back(std::move(name), std::move(value));
}

// ------------------------------------------------------------------ ValueStore

namespace {
std::atomic<std::uint64_t> storeVersions{1};
}

ValueStore::ValueStore() : version_(storeVersions.fetch_add(1)) {}

void ValueStore::changed() { version_.store(storeVersions.fetch_add(1), std::memory_order_release); }

Variant ValueStore::operator()(std::string_view name) const {
  std::lock_guard lock(mutex_);
  for (const auto& [n, v] : values_)
    if (sameKey(n, name)) return v;
  return Variant();
}

void ValueStore::set(std::string_view name, Variant value) {
  std::lock_guard lock(mutex_);
  for (auto& [n, v] : values_)
    if (sameKey(n, name)) {
      v = std::move(value);
      changed();
      return;
    }
  values_.emplace_back(std::string(name), std::move(value));
  changed();
}

bool ValueStore::contains(std::string_view name) const {
  std::lock_guard lock(mutex_);
  for (const auto& entry : values_)
    if (sameKey(entry.first, name)) return true;
  return false;
}

void ValueStore::remove(std::string_view name) {
  std::lock_guard lock(mutex_);
  std::erase_if(values_, [&](const auto& entry) { return sameKey(entry.first, name); });
  changed();
}

void ValueStore::clear() {
  std::lock_guard lock(mutex_);
  values_.clear();
  changed();
}

std::vector<std::string> ValueStore::names() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& entry : values_) out.push_back(entry.first);
  return out;
}

// ------------------------------------------------------------------ Server

std::string Server::MapPath(std::string_view path) const {
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (part == "..") {
      if (parts.empty()) raise(err::InvalidCall, "路径超出站点根目录");
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char c : path) {
    if (c == '/' || c == '\\') flush();
    else part += c;
  }
  flush();
  std::string out = documentRoot_;
  size_t first = 0;
  if (!parts.empty())
    for (const auto& [name, folder] : mounts_)
      if (parts[0] == name) {
        out = folder;
        first = 1;
        break;
      }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  for (size_t i = first; i < parts.size(); ++i) out += "/" + parts[i];
  return out;
}

void Server::mount(std::string name, std::string folder) {
  mounts_.emplace_back(std::move(name), std::move(folder));
}

namespace {
bool isHtmlSpecial(char c) { return c == '<' || c == '>' || c == '&' || c == '"'; }
}  // namespace

std::string Server::HTMLEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // The runs between the characters that change are copied whole.
  for (size_t at = 0; at < text.size();) {
    size_t special = at;
    while (special < text.size() && !isHtmlSpecial(text[special])) ++special;
    out.append(text, at, special - at);
    if (special == text.size()) break;
    switch (text[special]) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      default: out += "&quot;";
    }
    at = special + 1;
  }
  return out;
}

std::string Server::URLEncode(std::string_view text) { return gbk::urlEncode(text); }

std::shared_ptr<HostObject> Server::CreateObject(std::string_view progId) const {
  if (auto object = createHostObject(progId, *this)) return object;
  raise(err::CannotCreateObject);
}

// ------------------------------------------------------------------ Object context

namespace {
thread_local std::shared_ptr<ObjectContext> currentContext;
}

std::shared_ptr<ObjectContext> GetObjectContext() { return currentContext; }

ObjectContextScope::ObjectContextScope(std::shared_ptr<ObjectContext> context)
    : previous_(std::move(currentContext)) {
  currentContext = std::move(context);
}

ObjectContextScope::~ObjectContextScope() { currentContext = std::move(previous_); }

}  // namespace zurvafun::host

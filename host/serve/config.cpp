#include "host/serve/config.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace zurvafun::serve {

namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& key, const std::string& what) {
  throw std::runtime_error("configuration key \"" + key + "\": " + what);
}

// Walks one JSON object: every key must be read by the caller (or be a
// comment starting with "_"); done() reports any other.
class Section {
 public:
  Section(const json& object, std::string path) : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) fail(path_, "must be an object");
  }

  void text(const char* key, std::string& out) {
    if (const json* v = take(key)) {
      if (!v->is_string()) fail(name(key), "must be a text");
      out = v->get<std::string>();
    }
  }

  template <class Int>
  void whole(const char* key, Int& out, long long min, long long max) {
    if (const json* v = take(key)) {
      if (!v->is_number_integer()) fail(name(key), "must be a whole number");
      const long long n = v->get<long long>();
      if (n < min || n > max)
        fail(name(key), "must lie between " + std::to_string(min) + " and " + std::to_string(max));
      out = static_cast<Int>(n);
    }
  }

  void number(const char* key, double& out, double min) {
    if (const json* v = take(key)) {
      if (!v->is_number()) fail(name(key), "must be a number");
      out = v->get<double>();
      if (out < min) fail(name(key), "must be at least " + std::to_string(min));
    }
  }

  void texts(const char* key, std::vector<std::string>& out) {
    if (const json* v = take(key)) {
      if (!v->is_array()) fail(name(key), "must be an array of texts");
      out.clear();
      for (const json& item : *v) {
        if (!item.is_string()) fail(name(key), "must be an array of texts");
        out.push_back(item.get<std::string>());
      }
    }
  }

  void flag(const char* key, bool& out) {
    if (const json* v = take(key)) {
      if (!v->is_boolean()) fail(name(key), "must be true or false");
      out = v->get<bool>();
    }
  }

  // A nested object, or null when absent.
  const json* object(const char* key) { return take(key); }
  std::string name(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
  }

  void done() const {
    for (const auto& [key, value] : object_.items()) {
      if (!key.empty() && key[0] == '_') continue;
      if (std::find(used_.begin(), used_.end(), key) == used_.end()) fail(name(key), "unknown key");
    }
  }

 private:
  const json* take(const char* key) {
    used_.emplace_back(key);
    const auto it = object_.find(key);
    return it == object_.end() ? nullptr : &*it;
  }

  const json& object_;
  std::string path_;
  std::vector<std::string> used_;
};

std::string fieldText(const json& v, const std::string& key) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_number()) return v.dump();
  fail(key, "fields must be texts or numbers");
}

// One element of an application value: a text, or {"separator": s,
// "fields": [...]} whose fields are joined by the separator.
std::string applicationElement(const json& v, const std::string& key) {
  if (v.is_string()) return v.get<std::string>();
  Section element(v, key);
  std::string separator;
  element.text("separator", separator);
  const json* fields = element.object("fields");
  element.done();
  if (!fields || !fields->is_array()) fail(key, "needs an array \"fields\"");
  std::string out;
  for (size_t i = 0; i < fields->size(); ++i) {
    if (i) out += separator;
    out += fieldText((*fields)[i], key + ".fields");
  }
  return out;
}

}  // namespace

ServeConfig parseConfig(std::string_view text) {
  json root;
  try {
    root = json::parse(text);
  } catch (const json::parse_error& e) {
    throw std::runtime_error(std::string("the configuration is not valid JSON: ") + e.what());
  }
  ServeConfig c;
  constexpr long long kIntMax = std::numeric_limits<int>::max();
  Section top(root, "");
  top.text("address", c.address);
  top.whole("port", c.port, 0, 65535);
  top.text("document_root", c.documentRoot);
  top.text("data_folder", c.dataFolder);
  top.text("photo_folder", c.photoFolder);
  top.text("secrets_file", c.secretsFile);
  top.whole("worker_threads", c.workerThreads, 1, 4096);
  top.text("cookie_secret", c.cookieSecret);
  top.flag("self_test_pages", c.selfTestPages);
  top.text("access_log", c.accessLog);
  top.text("error_log", c.errorLog);
  top.texts("trusted_proxies", c.trustedProxies);

  if (const json* v = top.object("connection")) {
    Section s(*v, "connection");
    s.text("SqlLocalName", c.SqlLocalName);
    s.text("SqlUserName", c.SqlUserName);
    s.text("SqlPassword", c.SqlPassword);
    s.text("SqlDatabaseName", c.SqlDatabaseName);
    s.done();
  }
  if (const json* v = top.object("database")) {
    Section s(*v, "database");
    s.text("server_name", c.databaseServerName);
    s.text("user", c.databaseUser);
    s.text("password", c.databasePassword);
    s.whole("demo_members", c.demoMembers, 3, 1000000);
    s.whole("demo_seed", c.demoSeed, 0, std::numeric_limits<unsigned>::max());
    if (const json* list = s.object("servers")) {
      if (!list->is_array()) fail("database.servers", "needs an array of servers");
      for (const json& item : *list) {
        Section server(item, "database.servers");
        DatabaseServer d;
        server.text("name", d.name);
        server.text("host", d.host);
        server.whole("port", d.port, 1, 65535);
        server.text("sslmode", d.sslmode);
        server.done();
        static const char* const kModes[] = {"",        "disable",   "allow",      "prefer",
                                             "require", "verify-ca", "verify-full"};
        if (std::find(std::begin(kModes), std::end(kModes), d.sslmode) == std::end(kModes))
          fail("database.servers.sslmode", "is not a TLS mode of the server connection");
        if (d.name.empty()) fail("database.servers.name", "must name the server");
        c.databaseServers.push_back(std::move(d));
      }
    }
    s.done();
  }
  if (const json* v = top.object("administrator")) {
    Section s(*v, "administrator");
    s.text("name", c.adminName);
    s.text("password", c.adminPassword);
    s.done();
  }
  if (const json* v = top.object("sessions")) {
    Section s(*v, "sessions");
    s.number("idle_timeout_seconds", c.sessionIdleSeconds, 0.001);
    s.whole("max_sessions", c.maxSessions, 1, 100000000);
    std::string store = "memory";
    s.text("store", store);
    s.done();
    if (store == "database")
      c.sessionStore = ServeConfig::SessionStoreKind::Database;
    else if (store != "memory")
      fail("sessions.store", "must be \"memory\" or \"database\"");
  }
  if (const json* v = top.object("limits")) {
    Section s(*v, "limits");
    Limits& l = c.limits;
    s.whole("max_body_bytes", l.maxBodyBytes, 0, std::numeric_limits<long long>::max());
    s.whole("max_header_bytes", l.maxHeaderBytes, 1024, 1024 * 1024);
    s.whole("request_timeout_seconds", l.requestTimeoutSeconds, 1, kIntMax);
    s.whole("read_timeout_seconds", l.readTimeoutSeconds, 1, kIntMax);
    s.whole("write_timeout_seconds", l.writeTimeoutSeconds, 1, kIntMax);
    s.whole("keep_alive_timeout_seconds", l.keepAliveTimeoutSeconds, 1, kIntMax);
    s.whole("keep_alive_max_requests", l.keepAliveMaxRequests, 1, kIntMax);
    s.whole("max_request_pairs", l.maxRequestPairs, 1, 100000000);
    s.done();
  }
  if (const json* v = top.object("cookies")) {
    Section s(*v, "cookies");
    s.number("max_age_seconds", c.cookieAges.withoutExpirySeconds, 1);
    s.number("max_age_with_expiry_seconds", c.cookieAges.withExpirySeconds, 0);
    s.done();
  }
  if (const json* v = top.object("rate_limit")) {
    Section s(*v, "rate_limit");
    s.texts("paths", c.rateLimit.paths);
    s.whole("requests", c.rateLimit.requests, 1, kIntMax);
    s.number("per_seconds", c.rateLimit.perSeconds, 0.001);
    s.done();
  }
  if (const json* v = top.object("tls")) {
    Section s(*v, "tls");
    s.text("certificate", c.tlsCertificate);
    s.text("key", c.tlsKey);
    s.done();
    if (c.tlsCertificate.empty() != c.tlsKey.empty())
      fail("tls", "needs both \"certificate\" and \"key\"");
  }
  if (const json* v = top.object("application")) {
    if (!v->is_object()) fail("application", "must be an object");
    for (const auto& [name, value] : v->items()) {
      if (!name.empty() && name[0] == '_') continue;
      const std::string key = "application." + name;
      if (!value.is_array()) fail(key, "must be an array");
      std::vector<std::string> elements;
      for (const json& element : value) elements.push_back(applicationElement(element, key));
      c.application.emplace_back(name, std::move(elements));
    }
  }
  top.done();
  return c;
}

ServeConfig loadConfig(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the configuration file " + file);
  std::ostringstream text;
  text << in.rdbuf();
  ServeConfig config;
  try {
    config = parseConfig(text.str());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(file + ": " + e.what());
  }
  applySecretsFile(config);
  return config;
}

void applySecretsFile(ServeConfig& config) {
  if (config.secretsFile.empty()) return;
  const std::string& file = config.secretsFile;
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) throw std::runtime_error("cannot read the secrets file " + file);
  try {
    json root;
    try {
      root = json::parse(text.str());
    } catch (const json::parse_error& e) {
      throw std::runtime_error(std::string("not valid JSON: ") + e.what());
    }
    Section top(root, "");
    std::string secret;
    top.text("cookie_secret", secret);
    if (const json* v = top.object("administrator")) {
      Section s(*v, "administrator");
      s.text("name", config.adminName);
      s.text("password", config.adminPassword);
      s.done();
    }
    top.done();
    if (secret.empty())
      fail("cookie_secret", "must hold the secret every server signs cookies with");
    config.cookieSecret = std::move(secret);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("the secrets file " + file + ": " + e.what());
  }
}

}  // namespace zurvafun::serve

// The configuration of zurva-serve: one JSON file (config/zurva-serve.json is
// the documented default; config/README.md describes every key). Keys left
// out take the defaults below; a key starting with "_" is a comment; any
// other unknown key is an error, so a misspelt key does not pass unnoticed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zurvafun::serve {

struct Limits {
  std::size_t maxBodyBytes = 2 * 1024 * 1024;  // a larger request body gets 413
  std::size_t maxHeaderBytes = 16 * 1024;      // request line and headers together
  int requestTimeoutSeconds = 30;              // the whole request must arrive within this
  int readTimeoutSeconds = 10;                 // longest wait for the next bytes
  int writeTimeoutSeconds = 10;                // longest wait to send the next bytes
  int keepAliveTimeoutSeconds = 5;             // an idle connection is closed after this
  int keepAliveMaxRequests = 100;              // requests on one connection
  std::size_t maxRequestPairs = 1000;  // name-value pairs of the query string and the form together
};

// How long a signed cookie counts after the server wrote it.
struct CookieAges {
  double withoutExpirySeconds = 24 * 60 * 60;  // a cookie written without an expiry date
  double withExpirySeconds = 0;  // one with an expiry date: 0 until that date, else at most this
};

// Requests to some pages, counted per client address.
struct RateLimit {
  // The pages' site paths (any case): by default the member and the
  // administrator logins.
  std::vector<std::string> paths = {"/chklogin.asp", "/admin/login.asp"};
  int requests = 10;                                   // a client's requests to them...
  double perSeconds = 60;                              // ...within this many seconds; more get 429
};

// A PostgreSQL server that the connection parameters can name (SqlLocalName).
struct DatabaseServer {
  std::string name;
  std::string host = "localhost";  // a host name, an address, or a folder of Unix sockets
  int port = 5432;
  std::string
      sslmode;  // disable, allow, prefer, require, verify-ca, verify-full; "" libpq's default
};

struct ServeConfig {
  std::string address = "127.0.0.1";
  int port = 8080;  // 0: any free port
  std::string documentRoot = "site/www";
  std::string dataFolder = "data";
  // The folder of the member pictures' folders when several servers share
  // them; empty: they lie under the document root.
  std::string photoFolder;
  int workerThreads = 64;  // one per connection being served

  // The four connection parameters the pages pass to the component.
  std::string SqlLocalName = "(local)";
  std::string SqlUserName = "zurva";
  std::string SqlPassword = "zurva";
  std::string SqlDatabaseName = "zurva";
  // What the database layer accepts: its local server name (besides
  // "(local)", ".", "localhost", "127.0.0.1") and its login.
  std::string databaseServerName = "zurva-db";
  std::string databaseUser = "zurva";
  std::string databasePassword = "zurva";
  std::vector<DatabaseServer> databaseServers;
  // The demo database made on first run.
  int demoMembers = 3000;
  unsigned demoSeed = 1;

  // The administrator login of the demo site: name and password. An empty
  // password turns the administrator login off.
  std::string adminName = "admin";
  std::string adminPassword;

  // The cookie-signing secret; empty: kept in <data folder>/cookie.secret,
  // made on first run.
  std::string cookieSecret;
  // A file holding the cookie secret and the administrator's login, read by
  // every server of one site (see applySecretsFile); empty: none.
  std::string secretsFile;

  double sessionIdleSeconds = 20 * 60;
  std::size_t maxSessions = 100000;
  // Where sessions live: in this server's memory, or in the site's database
  // (table zurva_sessions), where every server of the site finds them.
  enum class SessionStoreKind { Memory, Database };
  SessionStoreKind sessionStore = SessionStoreKind::Memory;
  CookieAges cookieAges;

  Limits limits;
  RateLimit rateLimit;

  // One line per request in the common log format: "" none, "-" standard
  // error, anything else a file appended to.
  std::string accessLog;
  // Where the component's error log goes: "-" standard error (beside the
  // server's own error lines), anything else a file appended to.
  std::string errorLog = "-";

  // TLS: the certificate (chain) and private key files, PEM; both empty:
  // plain HTTP.
  std::string tlsCertificate;
  std::string tlsKey;
  // Addresses of proxies in front of the server whose X-Forwarded-For and
  // X-Forwarded-Proto headers are believed.
  std::vector<std::string> trustedProxies;

  // The application values: each an array of texts (element 0 is the text
  // the component splits).
  std::vector<std::pair<std::string, std::vector<std::string>>> application;

  // The site registers the pages under /selftest/ that the host's tests use.
  bool selfTestPages = false;
};

// Reads the configuration from JSON text; throws std::runtime_error naming
// the offending key.
ServeConfig parseConfig(std::string_view json);
// Reads the configuration file, and the secrets file it names.
ServeConfig loadConfig(const std::string& file);
// Takes the cookie secret and the administrator's login from the secrets
// file the configuration names (JSON: "cookie_secret", which must not be
// empty, and optionally "administrator": {"name", "password"}), over the
// configuration's own. Throws std::runtime_error naming the file when it
// cannot be read or is not such an object.
void applySecretsFile(ServeConfig& config);

}  // namespace zurvafun::serve

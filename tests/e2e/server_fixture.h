// The end-to-end suites' server: the zurva-serve binary started once per test
// suite on a free loopback port, with a temporary data folder (the demo
// database is seeded there on first run), and the helpers that talk to it as
// a browser would.
//
//   class SiteE2E : public e2e::ServerSuite<SiteE2E> {
//    public:
//     static std::string settings() { return R"("database": {"demo_members": 3})"; }
//     static constexpr const char* kReadyPath = "/login.asp";
//   };
//
// settings() gives the configuration's keys beyond the port, the document
// root and the data folder; kReadyPath is a page that answers 200 once the
// server serves.
//
// The backend: the embedded file in the data folder, or, in a run on the
// database server (ZURVA_TEST_BACKEND=postgres, see tests/support_db.h), a
// database of its own on that server, made and seeded by the server at its
// start and dropped when it stops; query() and execute() reach either.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "db/db.h"
#include "runtime/gbk.h"
#include "site/database_schema.h"
#include "tests/support_db.h"

namespace zurvafun::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Settings of a suite that runs the demo site as it ships: the default
// configuration's site settings and administrator on a demo database of
// `demoMembers` members, with the SMS gateway pointed at a port where
// nothing answers.
inline std::string shippedSettings(int demoMembers) {
  std::ifstream in(ZURVA_SOURCE_DIR "/config/zurva-serve.json");
  nlohmann::json config = nlohmann::json::parse(in);
  nlohmann::json application = config["application"];
  application["zurva_sms_gateway"] = {"http://127.0.0.1:9/sms?mobile={mobile}&text={message}"};
  return R"("worker_threads": 8,
      "database": {"demo_members": )" + std::to_string(demoMembers) + R"(},
      "application": )" + application.dump() + R"(,
      "administrator": )" + config["administrator"].dump();
}

// Copies the site's own files to `to`, without the picture folders the
// servers write (and the photo pages delete): each server gets a document
// root of its own, so suites running side by side never see each other's
// pictures come and go.
inline void copySiteFiles(const std::filesystem::path& to) {
  namespace fs = std::filesystem;
  const fs::path from = fs::path(ZURVA_SOURCE_DIR) / "site/www";
  fs::create_directories(to);
  for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
    const std::string name = entry.path().filename().string();
    if (name == "up_article" || name == "mup_article" || name == "smallphoto") continue;
    fs::copy(entry.path(), to / name, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
}

// Sends raw bytes to the server on `port` and returns everything it sends
// back until it closes the connection (at most `wait`).
inline std::string exchangeWith(int port, const std::string& request,
                                std::chrono::seconds wait = 10s) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const auto until = std::chrono::steady_clock::now() + wait;
    char buffer[4096];
    while (std::chrono::steady_clock::now() < until) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) {
        reply += n == 0 ? "<closed>" : "<reset>";
        break;
      }
      reply.append(buffer, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  return reply;
}

// What purchases of one showcase day each, racing for one member's money,
// were answered (see racePurchases).
struct PurchaseRace {
  int bought = 0, refused = 0, other = 0, serverErrors = 0;
};

// Posts `requests` purchases of one showcase day with the member cookie
// `member` from `connections` kept-alive connections at once, connection c to
// the server on ports[c % ports.size()], and counts the answers.
inline PurchaseRace racePurchases(const std::vector<int>& ports, const std::string& member,
                                  int requests, int connections = 32) {
  std::atomic<int> next{0}, bought{0}, refused{0}, other{0}, serverErrors{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < connections; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", ports[size_t(c) % ports.size()]);
      client.set_connection_timeout(5);
      client.set_read_timeout(30);
      client.set_keep_alive(true);
      const httplib::Headers headers = {{"Cookie", member}, {"Origin", "http://127.0.0.1"}};
      while (next++ < requests) {
        const auto r =
            client.Post("/save.asp", headers, "ORDERMONEY=1", "application/x-www-form-urlencoded");
        if (!r || r->status >= 500) {
          ++serverErrors;
          continue;
        }
        const std::string body = gbk::toUtf8(r->body);
        if (body.find("我型我秀申请成功") != std::string::npos)
          ++bought;
        else if (body.find("所需E币大于现有E币") != std::string::npos)
          ++refused;
        else
          ++other;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  return {bought, refused, other, serverErrors};
}

// Races ZURVA_RACE_REQUESTS purchases (1000 by default) of one showcase day,
// 30 E币 each, for demo member 1's 1000 E币 (see racePurchases), and checks
// that exactly the purchases the money covers went through and that every
// other was refused. Returns how many the money covers.
inline int raceForDemoMemberOne(const std::vector<int>& ports, const std::string& member) {
  const char* configured = std::getenv("ZURVA_RACE_REQUESTS");
  const int requests = configured ? std::atoi(configured) : 1000;
  const PurchaseRace race = racePurchases(ports, member, requests);
  EXPECT_EQ(race.serverErrors, 0);
  EXPECT_EQ(race.other, 0);
  const int covered = std::min(requests, 1000 / 30);
  EXPECT_EQ(race.bought, covered);
  EXPECT_EQ(race.refused, requests - covered);
  return covered;
}

// The settings of a demo site in the default skin: a demo database of
// `demoMembers` members, served by `workers` threads.
inline std::string demoSiteSettings(int demoMembers, int workers = 8) {
  return R"("worker_threads": )" + std::to_string(workers) + R"(,
      "database": {"demo_members": )" +
         std::to_string(demoMembers) + R"(},
      "application": {"zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"]})";
}

// The server process of a suite.
class ServerProcess {
 public:
  bool start(const std::string& settings, const std::string& readyPath, std::string& error) {
    char pattern[] = "/tmp/zurva_serve_e2e_XXXXXX";
    if (!::mkdtemp(pattern)) return fail(error, "mkdtemp failed");
    dir_ = pattern;
    log_ = dir_ + "/server.log";
    const std::string config = dir_ + "/zurva-serve.json";
    copySiteFiles(dir_ + "/www");
    std::ofstream(config) << onTestBackend(R"({
      "port": 0,
      "document_root": ")" + dir_ + R"(/www",
      "data_folder": ")" + dir_ + R"(/data",
      )" + settings + "\n}");

    int out[2];
    if (::pipe(out) != 0) return fail(error, "pipe failed");
    std::string binary = ZURVA_SERVE_BINARY;
    char* argv[] = {binary.data(), const_cast<char*>("--config"), const_cast<char*>(config.c_str()), nullptr};
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
      // The server ends with the test process, even when that one is killed.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (::getppid() != parent) ::_exit(127);
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      const int log = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(log, STDERR_FILENO);
      ::execv(binary.c_str(), argv);
      ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
    if (pid_ < 0) return fail(error, "cannot start " + binary);

    // The server prints its address once it listens (after seeding).
    std::string line;
    const auto until = std::chrono::steady_clock::now() + 60s;
    while (line.find('\n') == std::string::npos) {
      pollfd p{stdout_, POLLIN, 0};
      if (std::chrono::steady_clock::now() > until || ::poll(&p, 1, 200) < 0) break;
      char c;
      if ((p.revents & (POLLIN | POLLHUP)) && ::read(stdout_, &c, 1) == 1) line += c;
      else if (p.revents & POLLHUP) break;
    }
    const size_t at = line.find("://127.0.0.1:");
    if (at == std::string::npos) return fail(error, "no address printed: " + line + " / " + logText());
    port_ = std::stoi(line.substr(at + 13));
    tls_ = line.compare(at - 5, 5, "https") == 0;

    // Ready when a page answers.
    for (int i = 0; i < 100; ++i) {
      if (tls_) {
        httplib::SSLClient client("127.0.0.1", port_);
        client.enable_server_certificate_verification(false);
        if (auto r = client.Get(readyPath); r && r->status == 200) return true;
      } else {
        httplib::Client client("127.0.0.1", port_);
        if (auto r = client.Get(readyPath); r && r->status == 200) return true;
      }
      std::this_thread::sleep_for(100ms);
    }
    return fail(error, "the server does not answer: " + logText());
  }

  void stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(50ms);
      if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
      pid_ = -1;
    }
    if (stdout_ >= 0) ::close(stdout_);
    stdout_ = -1;
    if (!dir_.empty()) fs::remove_all(dir_);
    if (!database_.empty() && ownDatabase_) {
      // Dropped by the login that made it, now that its server has gone.
      if (PGconn* conn = connectTo("postgres")) {
        PQclear(
            PQexec(conn, ("DROP DATABASE IF EXISTS \"" + database_ + "\" WITH (FORCE)").c_str()));
        PQfinish(conn);
      }
      database_.clear();
    }
  }

  // The login the servers of a run on the database server use; the role
  // names differ from every test database's name (these end in "_db").
  static constexpr const char* kServerUser = "web";
  static constexpr const char* kServerPassword = "pw";

  // A connection to `database` on the test server with that login, or null.
  static PGconn* connectTo(const std::string& database) {
    const db::ServerConfig* pg = testing::testPostgres();
    if (!pg) return nullptr;
    const std::string port = std::to_string(pg->port);
    const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
    const char* values[] = {pg->host.c_str(), port.c_str(),    database.c_str(),
                            kServerUser,      kServerPassword, nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 0);
    if (PQstatus(conn) == CONNECTION_OK) return conn;
    PQfinish(conn);
    return nullptr;
  }
  // The server's database on the test server ("" on the embedded file).
  const std::string& serverDatabase() const { return database_; }

  int port() const { return port_; }
  bool tls() const { return tls_; }
  const std::string& dir() const { return dir_; }
  // The server's data folder (the database file is "zurva.db" there): the
  // suite's own when its settings name one.
  const std::string& dataFolder() const { return dataFolder_; }
  std::string logText() const {
    std::ifstream in(log_);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  static bool fail(std::string& error, std::string what) {
    error = std::move(what);
    return false;
  }

  // The configuration as given, or on the test server with a database of
  // this server's own there (the suite's other database keys stay).
  std::string onTestBackend(const std::string& text) {
    nlohmann::json config = nlohmann::json::parse(text);
    dataFolder_ = config.value("data_folder", "");
    const db::ServerConfig* pg = testing::testPostgres();
    if (!pg) return text;
    static int made = 0;
    database_ = "ze" + std::to_string(::getpid()) + "_" + std::to_string(++made) + "_db";
    nlohmann::json& connection = config["connection"];
    if (connection.is_null() || !connection.contains("SqlLocalName")) {
      connection["SqlLocalName"] = "ZVPG";
      connection["SqlUserName"] = kServerUser;
      connection["SqlPassword"] = kServerPassword;
      connection["SqlDatabaseName"] = database_;
      config["database"]["servers"] = {
          {{"name", "ZVPG"}, {"host", pg->host}, {"port", pg->port}, {"sslmode", "disable"}}};
      // A suite that seeds its own database file has its rows copied to the
      // server, as the server seeds an empty database from the demo file it
      // makes; the server then finds its database seeded.
      if (const fs::path file = fs::path(dataFolder_) / "zurva.db"; fs::exists(file))
        copyToServer(file.string(), *pg);
    } else {
      // The suite's own database: it makes and drops it.
      database_ = connection.value("SqlDatabaseName", "");
      ownDatabase_ = false;
    }
    return config.dump(2);
  }

  // Makes this server's database on the test server and copies the rows of
  // the database file `file` into it.
  void copyToServer(const std::string& file, const db::ServerConfig& pg) {
    const db::Config previous = db::config();
    db::Config config = previous;
    config.servers = {pg};
    config.schema = site::databaseSchema();
    db::configure(config);
    const db::ConnectionParams params{pg.name, kServerUser, kServerPassword, database_};
    try {
      db::createDatabase(params, db::schemaText());
      db::copyDatabase(file, params);
    } catch (...) {
      db::releasePooledConnections();
      db::configure(previous);
      throw;
    }
    db::releasePooledConnections();
    db::configure(previous);
  }

  pid_t pid_ = -1;
  int stdout_ = -1;
  int port_ = 0;
  bool tls_ = false;
  std::string dir_, log_, dataFolder_;
  std::string database_;     // on the test server
  bool ownDatabase_ = true;  // made for this server, dropped at the end
};

// The fixture of a suite: one server for all its tests, configured by
// Suite::settings() and ready once Suite::kReadyPath answers.
template <class Suite>
class ServerSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new ServerProcess;
    // A suite whose server cannot start fails every test (an exception here
    // would only mark them skipped).
    try {
      if (!server_->start(Suite::settings(), Suite::kReadyPath, startError_)) ADD_FAILURE() << startError_;
    } catch (const std::exception& e) {
      startError_ = std::string("the suite's server could not be set up: ") + e.what();
      ADD_FAILURE() << startError_;
    }
  }
  static void TearDownTestSuite() {
    server_->stop();
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(startError_.empty()) << startError_; }

  static httplib::Client client() {
    httplib::Client c("127.0.0.1", server_->port());
    c.set_url_encode(false);  // send the targets as written
    c.set_connection_timeout(5);
    c.set_read_timeout(10);
    return c;
  }
  static std::string text(const httplib::Result& r) { return gbk::toUtf8(r->body); }

  // Sends raw bytes and returns everything the server sends back until it
  // closes the connection (at most `wait`).
  static std::string exchange(const std::string& request, std::chrono::seconds wait = 10s) {
    return exchangeWith(server_->port(), request, wait);
  }

  // A response read off the wire. (The HTTP library's client percent-decodes
  // header values, so Set-Cookie and Location are read here as sent.)
  struct RawResponse {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    std::string header(std::string_view name) const {
      for (const auto& [n, v] : headers)
        if (n == name) return v;
      return "";
    }
    // The Set-Cookie value of cookie `name` ("" when absent).
    std::string setCookie(const std::string& name) const {
      for (const auto& [n, v] : headers)
        if (n == "Set-Cookie" && v.rfind(name + "=", 0) == 0) return v;
      return "";
    }
  };

  // `bytes` in base64, as the upload forms' script posts a picture.
  static std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
      unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
      if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
      if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
      out += kAlphabet[n >> 18 & 63];
      out += kAlphabet[n >> 12 & 63];
      out += i + 1 < bytes.size() ? kAlphabet[n >> 6 & 63] : '=';
      out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
    }
    return out;
  }

  // The body of a response (GB2312 as the site sends it) in UTF-8.
  static std::string utf8(const RawResponse& r) { return gbk::toUtf8(r.body); }

  // The fields of a form, in order, and the form text a GB2312 page posts.
  using Fields = std::vector<std::pair<std::string, std::string>>;
  static std::string gbkForm(const Fields& fields) {
    std::string body;
    for (const auto& [name, value] : fields) body += (body.empty() ? "" : "&") + name + "=" + gbk::urlEncode(value);
    return body;
  }

  static RawResponse rawGet(const std::string& target, const std::string& headers = "") {
    return rawRequest("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n");
  }
  // A form post of the URL-encoded `body`. By default it comes from a page
  // of the site, as a browser sends it: with the site's Origin, unless
  // `headers` hold an Origin or a Referer of their own (the site takes a
  // post that changes something only from its own pages). With
  // `fromSitePage` false it names no page it came from.
  static RawResponse rawPost(const std::string& target, const std::string& body,
                             const std::string& headers = "", bool fromSitePage = true) {
    const bool source = !fromSitePage || headers.find("Origin:") != std::string::npos ||
                        headers.find("Referer:") != std::string::npos;
    return rawRequest("POST " + target +
                      " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                      "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n" + (source ? "" : kSiteOrigin) + headers +
                      "\r\n" + body);
  }
  // The Origin header of a page of the site.
  static constexpr const char* kSiteOrigin = "Origin: http://127.0.0.1\r\n";
  // Posts the login form as the site's own login page does: the login
  // handler takes the form only from the site's pages.
  static RawResponse postLogin(const std::string& formBody) {
    return rawPost("/chklogin.asp", formBody, "Referer: http://127.0.0.1/login.html\r\n");
  }

  static RawResponse rawRequest(const std::string& request) {
    std::string reply = exchange(request);
    RawResponse r;
    const size_t end = reply.find("\r\n\r\n");
    if (reply.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) return r;
    r.status = std::stoi(reply.substr(9, 3));
    size_t line = reply.find("\r\n") + 2;
    while (line < end) {
      const size_t next = reply.find("\r\n", line);
      const std::string text = reply.substr(line, next - line);
      const size_t colon = text.find(": ");
      if (colon != std::string::npos) r.headers.emplace_back(text.substr(0, colon), text.substr(colon + 2));
      line = next + 2;
    }
    r.body = reply.substr(end + 4, std::stoul("0" + r.header("Content-Length")));
    return r;
  }
  // The session cookie a response sets ("" when none). Its value holds no
  // escapes, so the library's client reads it as sent.
  static std::string sessionCookie(const httplib::Result& r) {
    for (size_t i = 0; i < r->get_header_value_count("Set-Cookie"); ++i) {
      const std::string v = r->get_header_value("Set-Cookie", i);
      if (v.rfind("ZURVASESSIONID=", 0) == 0) return v;
    }
    return "";
  }
  // How often `part` stands in `text` (not overlapping).
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
  }
  // The first field of a query on the server's database ("" when none), in
  // the embedded file's text on either backend: a truth value as 1 or 0, an
  // exact decimal without the trailing zeros of its scale.
  static std::string query(const std::string& sql) {
    if (testing::testPostgres()) {
      std::string value;
      if (PGconn* conn = ServerProcess::connectTo(server_->serverDatabase())) {
        PGresult* r = PQexec(conn, sql.c_str());
        if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 && !PQgetisnull(r, 0, 0)) {
          value = PQgetvalue(r, 0, 0);
          constexpr Oid kBool = 16, kNumeric = 1700;
          if (PQftype(r, 0) == kBool) value = value == "t" ? "1" : "0";
          if (PQftype(r, 0) == kNumeric && value.find('.') != std::string::npos) {
            value.erase(value.find_last_not_of('0') + 1);
            if (value.back() == '.') value.pop_back();
          }
        }
        PQclear(r);
        PQfinish(conn);
      }
      return value;
    }
    sqlite3* db = nullptr;
    std::string value;
    if (sqlite3_open_v2((server_->dataFolder() + "/zurva.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW &&
          sqlite3_column_text(stmt, 0))
        value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return value;
  }
  // Runs a statement on the server's database while it serves, as an
  // administrator's tool would; false when it fails.
  static bool execute(const std::string& sql) {
    if (testing::testPostgres()) {
      bool ok = false;
      if (PGconn* conn = ServerProcess::connectTo(server_->serverDatabase())) {
        PGresult* r = PQexec(conn, sql.c_str());
        ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        PQclear(r);
        PQfinish(conn);
      }
      return ok;
    }
    sqlite3* db = nullptr;
    bool ok = false;
    if (sqlite3_open_v2((server_->dataFolder() + "/zurva.db").c_str(), &db, SQLITE_OPEN_READWRITE,
                        nullptr) == SQLITE_OK) {
      db::registerDialect(db);
      sqlite3_busy_timeout(db, 5000);
      ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    sqlite3_close(db);
    return ok;
  }
  // "name=value" of a Set-Cookie value, as a browser sends it back.
  static std::string cookiePair(const std::string& setCookie) { return setCookie.substr(0, setCookie.find(';')); }

  inline static ServerProcess* server_ = nullptr;
  inline static std::string startError_;
};

// A suite of the demo site as it ships (shippedSettings) on a demo database of
// 12 members, with the login limit lifted, ready once the login page answers.
template <class Suite>
class ShippedSiteSuite : public ServerSuite<Suite> {
 public:
  static std::string settings() { return shippedSettings(12) + R"(, "rate_limit": {"paths": []})"; }
  static constexpr const char* kReadyPath = "/login.asp";
};

}  // namespace zurvafun::e2e

// Three zurva-serve instances as one site on one PostgreSQL database, with
// their sessions in it, one secrets file and one photo folder: a visitor
// goes on on another instance with his session and his login, and purchases
// racing for one member's money over all three spend it exactly once. Runs
// on the database server only (ZURVA_TEST_BACKEND=postgres).
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"
#include "tests/support_db.h"

namespace zurvafun {
namespace {

namespace fs = std::filesystem;

constexpr int kInstances = 3;

class SeveralInstances : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const db::ServerConfig* pg = testing::testPostgres();
    if (!pg) return;
    shared_ = fs::temp_directory_path() / ("zurva-instances-" + std::to_string(::getpid()));
    fs::create_directories(shared_ / "photos");
    std::ofstream(shared_ / "secrets.json")
        << R"({"cookie_secret": "one secret for the whole site", "administrator": {"name": "boss", "password": "pw1"}})";
    database_ = "zi" + std::to_string(::getpid()) + "_db";
    const std::string settings = R"("worker_threads": 16,
      "self_test_pages": true,
      "rate_limit": {"paths": []},
      "secrets_file": ")" + (shared_ / "secrets.json").string() +
                                 R"(",
      "photo_folder": ")" + (shared_ / "photos").string() +
                                 R"(",
      "sessions": {"store": "database"},
      "connection": {"SqlLocalName": "ZVPG", "SqlUserName": "web", "SqlPassword": "pw",
                     "SqlDatabaseName": ")" +
                                 database_ + R"("},
      "database": {"demo_members": 40, "servers": [{"name": "ZVPG", "host": ")" +
                                 pg->host + R"(", "port": )" + std::to_string(pg->port) +
                                 R"(, "sslmode": "disable"}]},
      "application": {"zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"]})";
    // The first instance makes and seeds the database; the others start on it.
    for (int i = 0; i < kInstances; ++i) {
      auto server = std::make_unique<e2e::ServerProcess>();
      if (!server->start(settings, "/login.asp", startError_)) return;
      servers_.push_back(std::move(server));
    }
  }
  static void TearDownTestSuite() {
    for (auto& server : servers_) server->stop();
    servers_.clear();
    if (const db::ServerConfig* pg = testing::testPostgres(); pg && !database_.empty()) {
      // Dropped by the login that made it, once the instances have gone.
      const std::string port = std::to_string(pg->port);
      const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
      const char* values[] = {pg->host.c_str(), port.c_str(), "postgres", "web", "pw", nullptr};
      PGconn* conn = PQconnectdbParams(keys, values, 0);
      PQclear(PQexec(conn, ("DROP DATABASE IF EXISTS \"" + database_ + "\" WITH (FORCE)").c_str()));
      PQfinish(conn);
    }
    if (!shared_.empty()) fs::remove_all(shared_);
  }
  void SetUp() override {
    if (!testing::testPostgres()) GTEST_SKIP() << "several instances share a database server";
    ASSERT_TRUE(startError_.empty()) << startError_;
    ASSERT_EQ(servers_.size(), size_t(kInstances));
  }

  static httplib::Client client(int instance) {
    httplib::Client c("127.0.0.1", servers_.at(size_t(instance))->port());
    c.set_connection_timeout(5);
    c.set_read_timeout(30);
    return c;
  }
  // The "name=value" of the cookie `name` a response sets ("" when none),
  // read off the wire (the HTTP library's client decodes header values).
  static std::string cookieSet(const std::string& reply, const std::string& name) {
    const size_t at = reply.find("\r\nSet-Cookie: " + name + "=");
    if (at == std::string::npos || at > reply.find("\r\n\r\n")) return "";
    const size_t from = at + 14;
    return reply.substr(from, reply.find_first_of(";\r", from) - from);
  }
  static std::string post(int instance, const std::string& path, const std::string& form,
                          const std::string& from) {
    return e2e::exchangeWith(
        servers_.at(size_t(instance))->port(),
        "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + from +
            "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
            std::to_string(form.size()) + "\r\n\r\n" + form);
  }
  static std::string logIn(int instance, const std::string& form) {
    return cookieSet(
        post(instance, "/chklogin.asp", form, "Referer: http://127.0.0.1/login.html\r\n"),
        "kalimo");
  }
  static std::string page(int instance, const std::string& path, const std::string& cookies) {
    const auto r = client(instance).Get(path, {{"Cookie", cookies}});
    return r && r->status == 200 ? gbk::toUtf8(r->body) : "<failed>";
  }

  inline static std::vector<std::unique_ptr<e2e::ServerProcess>> servers_;
  inline static std::string startError_, database_;
  inline static fs::path shared_;
};

// A session begun on one instance goes on on the others: each request, on
// the next instance, sees the value the last one stored. The member cookie
// written by one instance is taken by the others, and so is the
// administrator's login from the shared secrets file.
TEST_F(SeveralInstances, AVisitorGoesOnOnAnotherInstance) {
  const std::string session = cookieSet(
      e2e::exchangeWith(servers_[0]->port(),
                        "GET /selftest/session.asp?set=started HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                        "Connection: close\r\n\r\n"),
      "ZURVASESSIONID");
  ASSERT_FALSE(session.empty());
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(page(i % kInstances, "/selftest/count.asp", session), "n=" + std::to_string(i)) << i;
    EXPECT_EQ(page((i + 1) % kInstances, "/selftest/session.asp", session), "v=started");
  }

  const std::string member = logIn(0, "username=demo2%40example.com&password=demo456&log_type=1");
  ASSERT_FALSE(member.empty());
  for (int i = 1; i < kInstances; ++i)
    EXPECT_NE(page(i, "/indexw.asp", member).find("演示二号"), std::string::npos)
        << "instance " << i;

  const std::string adminCookie =
      cookieSet(post(1, "/admin/login.asp", "admin_name=boss&admin_password=pw1",
                     "Origin: http://127.0.0.1\r\n"),
                "zurva_admin");
  ASSERT_FALSE(adminCookie.empty());
  EXPECT_NE(page(2, "/admin/index.asp", adminCookie).find("会员列表"), std::string::npos);
}

// Purchases of one showcase day, racing for demo member 1's 1000 E币 from 32
// connections spread over the three instances: exactly as many go through
// as the money covers, and the balance, the days and the ledger agree.
// ZURVA_RACE_REQUESTS sets the number of purchases (1000 by default).
TEST_F(SeveralInstances, RacingPurchasesOverEveryInstanceSpendTheMoneyOnce) {
  const std::string member = logIn(1, "username=demo1%40example.com&password=demo123&log_type=1");
  ASSERT_FALSE(member.empty());
  std::vector<int> ports;
  for (const auto& server : servers_) ports.push_back(server->port());
  const int expected = e2e::raceForDemoMemberOne(ports, member);

  const std::string balance = std::to_string(1000 - 30 * expected);
  for (int i = 0; i < kInstances; ++i)
    EXPECT_NE(page(i, "/indexw.asp", member).find("您的 E币 余额：" + balance + "　"),
              std::string::npos)
        << "instance " << i;
  const std::string box = page(2, "/myshow.asp", member);
  EXPECT_NE(box.find(std::to_string(30 + expected - 1) + "</FONT>天"), std::string::npos) << box;
  const std::string ledger = page(0, "/History.asp", member);
  int rows = 0;
  for (size_t at = ledger.find("&lt;我型我秀&gt;申请:1天"); at != std::string::npos;
       at = ledger.find("&lt;我型我秀&gt;申请:1天", at + 1))
    ++rows;
  EXPECT_EQ(rows, expected) << ledger;
}

}  // namespace
}  // namespace zurvafun

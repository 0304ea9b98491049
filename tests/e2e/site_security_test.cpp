// The demo site as an attacker meets it, over real HTTP: password guesses at
// the logins under every address the server takes for them. The server runs
// the shipped configuration (the administrator login on), logs every request
// on standard error, and believes X-Forwarded-For from the loopback address,
// so that each test can stand for a client address of its own.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

using namespace std::chrono_literals;

class SecurityE2E : public e2e::ServerSuite<SecurityE2E> {
 public:
  static std::string settings() {
    return e2e::shippedSettings(20) + R"(,
      "access_log": "-",
      "trusted_proxies": ["127.0.0.1"])";
  }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  // The header that makes a request come from `address`.
  static std::string from(const std::string& address) {
    return "X-Forwarded-For: " + address + "\r\n";
  }

  static RawResponse adminLogin(const std::string& path, const std::string& password,
                                const std::string& client) {
    return rawPost(path, "admin_name=admin&admin_password=" + password,
                   from(client) + "Referer: http://127.0.0.1/admin/login.asp\r\n");
  }

  // The server log once it holds `piece` (the lines are written after each answer).
  static std::string logHolding(const std::string& piece) {
    std::string log = server_->logText();
    for (int i = 0; i < 100 && log.find(piece) == std::string::npos; ++i) {
      std::this_thread::sleep_for(20ms);
      log = server_->logText();
    }
    return log;
  }
};

// Every address that reaches the administrator's login is limited as the
// login itself: ten refused guesses through it, and the right password is
// refused with 429 too. Addresses that do not reach the login answer no
// login at all.
TEST_F(SecurityE2E, EveryAddressOfTheAdministratorLoginIsRateLimited) {
  struct Spelling {
    const char* path;
    bool reachesTheLogin;
  };
  const Spelling spellings[] = {
      {"/admin/login.asp", true},       {"/ADMIN/LOGIN.ASP", true},
      {"/admin/Login.Asp", true},       {"/admin/login.html", true},
      {"/admin/%6cogin.asp", true},     {"/admin/x_y_login.html", true},
      {"/admin/admin_login.asp", true}, {"/Admin/Admin_Login.asp", true},
      {"//admin/login.asp", false},     {"/admin//login.asp", false},
      {"/admin/./login.asp", false},    {"/admin/../admin/login.asp", false},
      {"/admin/login.asp/", false},     {"/admin/login.asp.", false},
      {"/admin/login.HTML", false},     {"/admin/login.html.html", false},
  };
  int client = 0;
  for (const Spelling& s : spellings) {
    SCOPED_TRACE(s.path);
    const std::string address = "198.51.100." + std::to_string(++client);
    if (!s.reachesTheLogin) {
      const RawResponse r = adminLogin(s.path, "demo-admin", address);
      EXPECT_GE(r.status, 400);
      EXPECT_EQ(r.setCookie("zurva_admin"), "");
      continue;
    }
    for (int i = 0; i < 10; ++i)
      ASSERT_EQ(adminLogin(s.path, "guess" + std::to_string(i), address).status, 403) << i;
    const RawResponse r = adminLogin(s.path, "demo-admin", address);
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.setCookie("zurva_admin"), "");
  }
  // A fresh address logs in.
  EXPECT_NE(adminLogin("/admin/login.asp", "demo-admin", "198.51.100.99").setCookie("zurva_admin"),
            "");
}

// The guesses of one address at both logins, under any of their addresses,
// come out of one allowance.
TEST_F(SecurityE2E, GuessesAtBothLoginsShareOneAllowance) {
  const std::string address = "203.0.113.5";
  const char* paths[] = {"/admin/login.asp", "/chklogin.asp", "/admin/admin_login.asp",
                         "/CHKLOGIN.asp", "/a_b_chklogin.html"};
  for (int i = 0; i < 10; ++i) {
    const std::string path = paths[i % 5];
    const RawResponse r =
        path.find("admin") != std::string::npos
            ? adminLogin(path, "guess", address)
            : rawPost(path, "username=demo1%40example.com&password=guess&log_type=1",
                      from(address) + "Referer: http://127.0.0.1/login.asp\r\n");
    ASSERT_NE(r.status, 429) << i << " " << path;
  }
  EXPECT_EQ(adminLogin("/admin/login.html", "demo-admin", address).status, 429);
  EXPECT_EQ(rawPost("/chklogin.html", "username=demo1%40example.com&password=demo123&log_type=1",
                    from(address) + "Referer: http://127.0.0.1/login.asp\r\n")
                .status,
            429);
}

// A refused administrator login stands in the access log as a refusal.
TEST_F(SecurityE2E, ARefusedAdministratorLoginIsLogged) {
  const RawResponse refused = adminLogin("/admin/login.asp?logged=refusal", "nope", "192.0.2.77");
  EXPECT_EQ(refused.status, 403);
  EXPECT_NE(utf8(refused).find("管理员名称或密码不正确。"), std::string::npos);
  const std::string log = logHolding("logged=refusal");
  EXPECT_NE(log.find("192.0.2.77 - - "), std::string::npos) << log;
  EXPECT_NE(log.find("\"POST /admin/login.asp?logged=refusal HTTP/1.1\" 403 "), std::string::npos)
      << log;
}

}  // namespace
}  // namespace zurvafun

// zurva-serve over real HTTP: the test suite starts the server binary once on
// a free loopback port, with a temporary data folder (the demo database is
// seeded there on first run) and the self-test pages, and talks to it as a
// browser would.
#include <gtest/gtest.h>
#include <httplib.h>

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

using namespace std::chrono_literals;

constexpr double kSessionIdleSeconds = 1;
constexpr size_t kMaxBody = 4096;
constexpr int kCookieMaxAge = 2;  // seconds a cookie without expiry counts

class ServeE2E : public e2e::ServerSuite<ServeE2E> {
 public:
  static std::string settings() {
    return R"("worker_threads": 16,
      "database": {"demo_members": 10},
      "sessions": {"idle_timeout_seconds": )" + std::to_string(kSessionIdleSeconds) + R"(},
      "cookies": {"max_age_seconds": )" + std::to_string(kCookieMaxAge) + R"(},
      "trusted_proxies": ["127.0.0.1"],
      "limits": {"max_body_bytes": )" + std::to_string(kMaxBody) + R"(, "max_header_bytes": 4096,
                 "request_timeout_seconds": 2, "read_timeout_seconds": 2, "keep_alive_timeout_seconds": 2},
      "application": {
        "zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"],
        "zurva_info": ["词语过滤表<><><><><>管理员<><><><><>傻瓜"]
      },
      "self_test_pages": true)";
  }
  static constexpr const char* kReadyPath = "/selftest/echo.asp";
};

TEST_F(ServeE2E, GbkQueryAndFormValuesArriveAsText) {
  auto c = client();
  auto get = c.Get("/selftest/echo.asp?name=%D6%D0%CE%C4&x=%ZZ%&&flag&s=a+b");
  ASSERT_TRUE(get);
  EXPECT_EQ(get->status, 200);
  const std::string echoed = text(get);
  EXPECT_NE(echoed.find("Q name=中文\n"), std::string::npos) << echoed;
  EXPECT_NE(echoed.find("Q x=%ZZ%\n"), std::string::npos);
  EXPECT_NE(echoed.find("Q flag=\n"), std::string::npos);
  EXPECT_NE(echoed.find("Q s=a b\n"), std::string::npos);
  EXPECT_NE(echoed.find("V REQUEST_METHOD=GET\n"), std::string::npos);
  EXPECT_NE(echoed.find("V SCRIPT_NAME=/selftest/echo.asp\n"), std::string::npos);

  auto post = c.Post("/selftest/echo.asp?via=q", "nick=%C4%E3%BA%C3&intro=%D2%BB+%B6%FE",
                     "application/x-www-form-urlencoded");
  ASSERT_TRUE(post);
  const std::string posted = text(post);
  EXPECT_NE(posted.find("F nick=你好\n"), std::string::npos) << posted;
  EXPECT_NE(posted.find("F intro=一 二\n"), std::string::npos);
  EXPECT_NE(posted.find("Q via=q\n"), std::string::npos);
  EXPECT_NE(posted.find("RF=nick=%C4%E3%BA%C3&intro=%D2%BB+%B6%FE\n"), std::string::npos);
  EXPECT_NE(posted.find("V REQUEST_METHOD=POST\n"), std::string::npos);

  const httplib::MultipartFormDataItems items = {
      {"nick", "\xC4\xE3\xBA\xC3", "", ""},
      {"photo", "\xFF\xD8 not kept", "me.jpg", "image/jpeg"},
      {"city", "\xB1\xB1\xBE\xA9", "", ""},
  };
  auto multipart = c.Post("/selftest/echo.asp", items);
  ASSERT_TRUE(multipart);
  const std::string fields = text(multipart);
  EXPECT_NE(fields.find("F nick=你好\nF city=北京\n"), std::string::npos) << fields;
  EXPECT_EQ(fields.find("photo"), std::string::npos);
}

TEST_F(ServeE2E, ResponseIsGbkWithReferencesBeyondIt) {
  auto c = client();
  auto r = c.Get("/selftest/text.asp");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->body, "\xD6\xD0\xCE\xC4&#128512;");  // 中文 in GBK, then 😀 as a reference
  EXPECT_EQ(r->get_header_value("Content-Type"), "text/html; charset=gb2312");
  EXPECT_EQ(r->get_header_value("Cache-Control"), "private");

  auto expires = c.Get("/selftest/expires.asp");
  ASSERT_TRUE(expires);
  EXPECT_EQ(expires->get_header_value("Cache-Control"), "no-cache");
  EXPECT_TRUE(expires->has_header("Expires"));

  auto home = c.Get("/");
  ASSERT_TRUE(home);
  EXPECT_EQ(home->status, 200);
  EXPECT_NE(text(home).find("演示一号"), std::string::npos);
}

TEST_F(ServeE2E, CookieWithSubKeysRoundTripsSignedAndTamperedIsAbsent) {
  const RawResponse set = rawGet("/selftest/setcookie.asp?userid=25");
  const std::string member = set.setCookie("kalimo");
  ASSERT_FALSE(member.empty());
  EXPECT_EQ(member.rfind("kalimo=userid=25&nickname=%D1%DD%CA%BE%D2%BB%BA%C5&grade=3.", 0), 0u) << member;
  EXPECT_NE(member.find("; path=/"), std::string::npos);
  EXPECT_NE(member.find("; expires="), std::string::npos);
  EXPECT_NE(member.find("; HttpOnly; SameSite=Lax"), std::string::npos);
  const std::string plain = set.setCookie("plain");
  ASSERT_FALSE(plain.empty());

  const RawResponse back =
      rawGet("/selftest/echo.asp", "Cookie: " + cookiePair(member) + "; " + cookiePair(plain) + "\r\n");
  const std::string echoed = gbk::toUtf8(back.body);
  EXPECT_NE(echoed.find("C kalimo.userid=25\n"), std::string::npos) << echoed;
  EXPECT_NE(echoed.find("C kalimo.nickname=演示一号\n"), std::string::npos);
  EXPECT_NE(echoed.find("C kalimo.grade=3\n"), std::string::npos);
  EXPECT_NE(echoed.find("C plain=值 1\n"), std::string::npos);

  // The same cookie with grade=3 turned into grade=9, and cookies never signed.
  std::string tampered = cookiePair(member);
  const size_t grade = tampered.find("grade=3");
  ASSERT_NE(grade, std::string::npos);
  tampered[grade + 6] = '9';
  for (const std::string& forged : {tampered, std::string("kalimo=userid=1&grade=10"),
                                    std::string("zurva_admin=admin_name=root")}) {
    const RawResponse r = rawGet("/selftest/echo.asp", "Cookie: " + forged + "\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body.find("C "), std::string::npos) << forged << "\n" << r.body;
  }
}

TEST_F(ServeE2E, SessionValueSurvivesRequestsAndExpires) {
  auto c = client();
  auto first = c.Get("/selftest/session.asp?set=%C4%E3%BA%C3");
  ASSERT_TRUE(first);
  EXPECT_EQ(text(first), "v=你好");
  const std::string session = sessionCookie(first);
  ASSERT_FALSE(session.empty());
  EXPECT_NE(session.find("HttpOnly"), std::string::npos);
  const httplib::Headers withSession = {{"Cookie", cookiePair(session)}};

  auto second = c.Get("/selftest/session.asp", withSession);
  ASSERT_TRUE(second);
  EXPECT_EQ(text(second), "v=你好");
  EXPECT_TRUE(sessionCookie(second).empty());  // the session goes on

  auto stranger = c.Get("/selftest/session.asp");
  ASSERT_TRUE(stranger);
  EXPECT_EQ(text(stranger), "v=");

  std::this_thread::sleep_for(std::chrono::duration<double>(kSessionIdleSeconds * 1.6));
  auto expired = c.Get("/selftest/session.asp", withSession);
  ASSERT_TRUE(expired);
  EXPECT_EQ(text(expired), "v=");
}

TEST_F(ServeE2E, RequestsOfOneSessionRunOneAfterTheOther) {
  auto c = client();
  auto first = c.Get("/selftest/count.asp");
  ASSERT_TRUE(first);
  ASSERT_EQ(text(first), "n=1");
  const httplib::Headers withSession = {{"Cookie", cookiePair(sessionCookie(first))}};
  // Two slow read-modify-writes of the same session value at once: both
  // count only if the second waits for the first.
  std::vector<std::thread> visitors;
  for (int i = 0; i < 2; ++i)
    visitors.emplace_back([&withSession] { client().Get("/selftest/count.asp", withSession); });
  for (std::thread& t : visitors) t.join();
  auto last = c.Get("/selftest/count.asp", withSession);
  ASSERT_TRUE(last);
  EXPECT_EQ(text(last), "n=4");
}

TEST_F(ServeE2E, BothLinkShapesReachTheSamePage) {
  auto c = client();
  auto dynamicLink = c.Get("/selftest/echo.asp?id=25");
  auto staticLink = c.Get("/selftest/id_25_echo.html");
  ASSERT_TRUE(dynamicLink);
  ASSERT_TRUE(staticLink);
  EXPECT_EQ(staticLink->status, 200);
  EXPECT_EQ(staticLink->body, dynamicLink->body);
  EXPECT_NE(text(staticLink).find("Q id=25\n"), std::string::npos);

  auto several = c.Get("/selftest/echo_city_bj_page_2.html?sort=new");
  ASSERT_TRUE(several);
  const std::string s = text(several);
  EXPECT_NE(s.find("Q city=bj\nQ page=2\nQ sort=new\n"), std::string::npos) << s;
  EXPECT_NE(s.find("V QUERY_STRING=city=bj&page=2&sort=new\n"), std::string::npos);

  // A value the site escaped in GBK, and one a browser escaped in UTF-8.
  for (const char* path : {"/selftest/city_%B1%B1%BE%A9_echo.html", "/selftest/city_%E5%8C%97%E4%BA%AC_echo.html"}) {
    auto r = c.Get(path);
    ASSERT_TRUE(r);
    EXPECT_NE(text(r).find("Q city=北京\n"), std::string::npos) << path << "\n" << text(r);
  }

  auto upper = c.Get("/SelfTest/ECHO.ASP?id=25");
  ASSERT_TRUE(upper);
  EXPECT_EQ(upper->status, 200);
  EXPECT_EQ(c.Get("/selftest/nopage.asp")->status, 404);
}

TEST_F(ServeE2E, ComponentRunsInsideTheRequest) {
  auto c = client();
  auto link = c.Get("/selftest/component.asp");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->body, "id_25_userinfo.html");  // link mode 1 from the application values
  auto refused = c.Get("/selftest/component.asp?q=select");
  ASSERT_TRUE(refused);
  EXPECT_EQ(text(refused), "请勿输入非法字符！");
}

TEST_F(ServeE2E, RedirectAndRequestEnd) {
  auto c = client();
  const RawResponse moved = rawGet("/selftest/redirect.asp");
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(moved.header("Location"), "/selftest/echo.asp?city=%B1%B1%BE%A9");
  auto ended = c.Get("/selftest/end.asp");
  ASSERT_TRUE(ended);
  EXPECT_EQ(ended->status, 200);
  EXPECT_EQ(ended->body, "before");
}

TEST_F(ServeE2E, OversizedBodyGets413) {
  const std::string big(kMaxBody + 1, 'a');
  auto r = client().Post("/selftest/echo.asp", "f=" + big, "application/x-www-form-urlencoded");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 413);

  // Without a length (chunked), the bound holds while the body arrives.
  auto chunked = client().Post(
      "/selftest/echo.asp",
      [&big](size_t offset, httplib::DataSink& sink) {
        if (offset < 3 * big.size()) sink.write(big.data(), big.size());
        else sink.done();
        return true;
      },
      "application/x-www-form-urlencoded");
  ASSERT_TRUE(chunked);
  EXPECT_EQ(chunked->status, 413);

  auto fits = client().Post("/selftest/echo.asp", "f=ok", "application/x-www-form-urlencoded");
  ASSERT_TRUE(fits);
  EXPECT_NE(fits->body.find("F f=ok"), std::string::npos);
}

TEST_F(ServeE2E, FailingPageGives500AndServerGoesOn) {
  auto c = client();
  auto failed = c.Get("/selftest/fail.asp?run=1");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->status, 500);
  EXPECT_EQ(failed->body.find("partial"), std::string::npos);
  auto next = c.Get("/selftest/echo.asp?after=1");
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);

  std::istringstream log(server_->logText());
  int lines = 0;
  for (std::string line; std::getline(log, line);)
    if (line.find("/selftest/fail.asp?run=1") != std::string::npos) {
      ++lines;
      EXPECT_NE(line.find("500"), std::string::npos);
      EXPECT_NE(line.find("self-test page failed"), std::string::npos);
    }
  EXPECT_EQ(lines, 1);
}

TEST_F(ServeE2E, StaticFilesAndRefusedPaths) {
  auto c = client();
  auto css = c.Get("/css.css");
  ASSERT_TRUE(css);
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->get_header_value("Content-Type"), "text/css");
  std::ifstream file(ZURVA_SOURCE_DIR "/site/www/css.css", std::ios::binary);
  std::ostringstream expected;
  expected << file.rdbuf();
  EXPECT_EQ(css->body, expected.str());
  auto picture = c.Get("/images/erro/cc.jpg");
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->get_header_value("Content-Type"), "image/jpeg");
  EXPECT_EQ(c.Get("/images/none.gif")->status, 404);

  for (const char* path : {"/../CMakeLists.txt", "/%2e%2e/CMakeLists.txt", "/images/..%2f..%2f..%2fCMakeLists.txt",
                           "/images/..\\..\\CMakeLists.txt", "/.hidden"}) {
    const std::string reply = exchange(std::string("GET ") + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.1 403", 0), 0u) << path << ": " << reply.substr(0, 40);
  }
}

// Every file carries its tag; scripts and style sheets may be kept by the
// browser for an hour. Asked again with the current tag, the server answers
// 304 without the bytes; a changed file comes whole, with a new tag.
TEST_F(ServeE2E, StaticFilesAreAnswered304WhileUnchanged) {
  const std::filesystem::path sheet = std::filesystem::path(server_->dir()) / "www/kept.css";
  std::ofstream(sheet) << "a{}";
  const RawResponse first = rawGet("/kept.css");
  ASSERT_EQ(first.status, 200);
  EXPECT_EQ(first.header("Cache-Control"), "public, max-age=3600");
  EXPECT_FALSE(first.header("Last-Modified").empty());
  const std::string tag = first.header("ETag");
  ASSERT_EQ(tag.front(), '"');
  for (const std::string& asked : {tag, "\"other\", " + tag, "W/" + tag, std::string("*")}) {
    const RawResponse again = rawGet("/kept.css", "If-None-Match: " + asked + "\r\n");
    EXPECT_EQ(again.status, 304) << asked;
    EXPECT_EQ(again.body, "") << asked;
    EXPECT_EQ(again.header("ETag"), tag);
  }
  EXPECT_EQ(rawGet("/kept.css", "If-None-Match: \"other\"\r\n").body, "a{}");

  std::ofstream(sheet) << "body{}";
  const RawResponse changed = rawGet("/kept.css", "If-None-Match: " + tag + "\r\n");
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, "body{}");
  EXPECT_NE(changed.header("ETag"), tag);

  const RawResponse picture = rawGet("/images/erro/cc.jpg");
  EXPECT_EQ(picture.header("Cache-Control"), "");
  EXPECT_EQ(
      rawGet("/images/erro/cc.jpg", "If-None-Match: " + picture.header("ETag") + "\r\n").status,
      304);
}

TEST_F(ServeE2E, BadInputIsRefusedAndSlowClientsAreCutOff) {
  // A header beyond the bound.
  const std::string big = exchange("GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(8000, 'a') + "\r\n\r\n");
  EXPECT_EQ(big.rfind("HTTP/1.1 400", 0), 0u) << big.substr(0, 40);
  EXPECT_NE(big.find("<closed>"), std::string::npos);

  // Garbage, then a request line that never ends.
  EXPECT_EQ(exchange("\x01\x02 nonsense\r\n\r\n").rfind("HTTP/1.1 400", 0), 0u);
  const std::string slow = exchange("GET /selftest/echo.asp HTTP/1.1\r\nHost: x\r\n", 15s);
  EXPECT_NE(slow.find("<closed>"), std::string::npos) << slow;

  EXPECT_EQ(exchange("DELETE / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n").rfind("HTTP/1.1 405", 0), 0u);
  auto still = client().Get("/selftest/echo.asp");
  ASSERT_TRUE(still);
  EXPECT_EQ(still->status, 200);
}

// A cookie counts for a bounded time: one written without an expiry date
// for the configured age, one with an expiry date until then.
TEST_F(ServeE2E, SignedCookiesCountForABoundedTime) {
  const RawResponse set = rawGet("/selftest/setcookie.asp?userid=25");
  const std::string cookies = "Cookie: " + cookiePair(set.setCookie("kalimo")) + "; " +
                              cookiePair(set.setCookie("plain")) + "\r\n";
  const std::string fresh = gbk::toUtf8(rawGet("/selftest/echo.asp", cookies).body);
  EXPECT_NE(fresh.find("C plain=值 1\n"), std::string::npos) << fresh;
  EXPECT_NE(fresh.find("C kalimo.userid=25\n"), std::string::npos);

  std::this_thread::sleep_for(std::chrono::milliseconds(kCookieMaxAge * 1000 + 1200));
  const std::string old = gbk::toUtf8(rawGet("/selftest/echo.asp", cookies).body);
  EXPECT_EQ(old.find("C plain="), std::string::npos) << old;   // too old
  EXPECT_NE(old.find("C kalimo.userid=25\n"), std::string::npos);  // expires in 31 days
}

// Every answer forbids sniffing and frames of other sites; a visitor's own
// page (cookies in or out) is stored by no cache.
TEST_F(ServeE2E, SecurityAndCacheHeaders) {
  const RawResponse page = rawGet("/selftest/echo.asp");
  EXPECT_EQ(page.header("Cache-Control"), "private");
  const RawResponse withCookie = rawGet("/selftest/setcookie.asp?userid=3");
  EXPECT_EQ(withCookie.header("Cache-Control"), "private, no-store");
  const RawResponse sentCookie =
      rawGet("/selftest/expires.asp", "Cookie: " + cookiePair(withCookie.setCookie("kalimo")) + "\r\n");
  EXPECT_EQ(sentCookie.header("Cache-Control"), "private, no-store");  // beats the page's own no-cache
  EXPECT_EQ(rawGet("/selftest/expires.asp").header("Cache-Control"), "no-cache");
  EXPECT_EQ(rawGet("/selftest/session.asp?set=1").header("Cache-Control"), "private, no-store");

  const RawResponse answers[] = {
      page, withCookie, rawGet("/css.css"), rawGet("/images/none.gif"), rawGet("/selftest/fail.asp"),
      rawRequest("GET /selftest/echo.asp HTTP/1.1\r\nHost: x\nX: 1\r\n\r\n"),  // refused by the connection
      rawRequest("BREW /pot HTTP/1.1\r\nHost: x\r\n\r\n"),              // refused by the HTTP layer
  };
  for (const RawResponse& r : answers) {
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.header("X-Content-Type-Options"), "nosniff") << r.status;
    EXPECT_EQ(r.header("X-Frame-Options"), "SAMEORIGIN") << r.status;
    EXPECT_EQ(r.header("Content-Security-Policy"), "frame-ancestors 'self'") << r.status;
  }
}

// Cookies are Secure when a trusted proxy says the request came over TLS.
TEST_F(ServeE2E, CookiesAreSecureBehindATlsProxy) {
  const RawResponse plain = rawGet("/selftest/setcookie.asp?userid=1");
  EXPECT_EQ(plain.setCookie("kalimo").find("Secure"), std::string::npos);
  const RawResponse proxied =
      rawGet("/selftest/setcookie.asp?userid=1", "X-Forwarded-Proto: https\r\nX-Forwarded-For: 10.1.2.3\r\n");
  EXPECT_NE(proxied.setCookie("kalimo").find("; Secure; HttpOnly; SameSite=Lax"), std::string::npos)
      << proxied.setCookie("kalimo");
  EXPECT_NE(proxied.setCookie("plain").find("; Secure;"), std::string::npos);
}

// A second server on the port in use stops with a message saying so; the
// first goes on serving.
TEST_F(ServeE2E, SecondServerOnAPortInUseStops) {
  const std::string config = server_->dir() + "/second.json";
  std::ofstream(config) << R"({"port": )" << server_->port() << R"(, "data_folder": ")" << server_->dir()
                        << R"(/data2", "database": {"demo_members": 3}})";
  // (A server that does start is stopped by the time limit, and the test fails.)
  const std::string command = "timeout 20 " + std::string(ZURVA_SERVE_BINARY) + " --config " + config + " 2>&1 </dev/null";
  FILE* second = ::popen(command.c_str(), "r");
  ASSERT_NE(second, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, second)) output += buffer;
  const int status = ::pclose(second);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << ": " << output;
  EXPECT_NE(output.find("cannot listen on 127.0.0.1:" + std::to_string(server_->port()) + ": the port is in use"),
            std::string::npos)
      << output;
  EXPECT_EQ(output.find("serving"), std::string::npos) << output;

  for (int i = 0; i < 5; ++i) {
    auto r = client().Get("/selftest/echo.asp");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
  }
}

}  // namespace
}  // namespace zurvafun

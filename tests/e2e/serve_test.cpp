// zurva-serve over real HTTP: the test suite starts the server binary once on
// a free loopback port, with a temporary data folder (the demo database is
// seeded there on first run) and the self-test pages, and talks to it as a
// browser would.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "runtime/gbk.h"

namespace zurvafun {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double kSessionIdleSeconds = 1;
constexpr size_t kMaxBody = 4096;

// The server process of the suite.
class ServerProcess {
 public:
  bool start(std::string& error) {
    char pattern[] = "/tmp/zurva_serve_e2e_XXXXXX";
    if (!::mkdtemp(pattern)) return fail(error, "mkdtemp failed");
    dir_ = pattern;
    log_ = dir_ + "/server.log";
    const std::string config = dir_ + "/zurva-serve.json";
    std::ofstream(config) << R"({
      "port": 0,
      "document_root": ")" ZURVA_SOURCE_DIR R"(/site/www",
      "data_folder": ")" + dir_ + R"(/data",
      "worker_threads": 16,
      "database": {"demo_members": 10},
      "sessions": {"idle_timeout_seconds": )" + std::to_string(kSessionIdleSeconds) + R"(},
      "limits": {"max_body_bytes": )" + std::to_string(kMaxBody) + R"(, "max_header_bytes": 4096,
                 "request_timeout_seconds": 2, "read_timeout_seconds": 2, "keep_alive_timeout_seconds": 2},
      "application": {
        "zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"],
        "zurva_info": ["词语过滤表<><><><><>管理员<><><><><>傻瓜"]
      },
      "self_test_pages": true
    })";

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
    const size_t at = line.find("http://127.0.0.1:");
    if (at == std::string::npos) return fail(error, "no address printed: " + line + " / " + logText());
    port_ = std::stoi(line.substr(at + 17));

    // Ready when a page answers.
    for (int i = 0; i < 100; ++i) {
      httplib::Client client("127.0.0.1", port_);
      if (auto r = client.Get("/selftest/echo.asp"); r && r->status == 200) return true;
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
  }

  int port() const { return port_; }
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

  pid_t pid_ = -1;
  int stdout_ = -1;
  int port_ = 0;
  std::string dir_, log_;
};

class ServeE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new ServerProcess;
    if (!server_->start(startError_)) ADD_FAILURE() << startError_;
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
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(server_->port()));
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

  static RawResponse rawGet(const std::string& target, const std::string& headers = "") {
    std::string reply =
        exchange("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n");
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
  // "name=value" of a Set-Cookie value, as a browser sends it back.
  static std::string cookiePair(const std::string& setCookie) { return setCookie.substr(0, setCookie.find(';')); }

  static ServerProcess* server_;
  static std::string startError_;
};

ServerProcess* ServeE2E::server_ = nullptr;
std::string ServeE2E::startError_;

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

}  // namespace
}  // namespace zurvafun

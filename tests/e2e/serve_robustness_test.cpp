// zurva-serve against malformed and hostile requests, sent over raw loopback
// sockets to the real server: each is answered sensibly (or the connection
// closed), never more than once, and the server goes on serving. Every wait
// is bounded by a few seconds; the server's own timeouts are set far beyond
// them, so that a case passes only when the server answers by itself.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

using namespace std::chrono_literals;

constexpr size_t kMaxBody = 4096;
constexpr size_t kMaxPairs = 50;
constexpr int kWorkers = 4;

// "k0=v&k1=v&...": `n` name-value pairs.
std::string manyPairs(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += (i ? "&k" : "k") + std::to_string(i) + "=v";
  return text;
}

class ServeRobust : public e2e::ServerSuite<ServeRobust> {
 public:
  static std::string settings() {
    return R"("worker_threads": )" + std::to_string(kWorkers) + R"(,
      "database": {"demo_members": 3},
      "limits": {"max_body_bytes": )" + std::to_string(kMaxBody) + R"(, "max_header_bytes": 4096,
                 "max_request_pairs": )" + std::to_string(kMaxPairs) + R"(,
                 "request_timeout_seconds": 120, "read_timeout_seconds": 120, "keep_alive_timeout_seconds": 120},
      "access_log": "-",
      "trusted_proxies": ["127.0.0.1"],
      "self_test_pages": true)";
  }
  static constexpr const char* kReadyPath = "/selftest/echo.asp";

 protected:
  // A client connection; every wait is bounded.
  class Wire {
   public:
    Wire() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<uint16_t>(server_->port()));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
      const timeval sendWait{5, 0};  // a server that stops reading cannot hold the test
      ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &sendWait, sizeof sendWait);
    }
    ~Wire() { ::close(fd_); }
    Wire(const Wire&) = delete;
    Wire& operator=(const Wire&) = delete;

    bool connected() const { return connected_; }
    bool send(std::string_view bytes) {
      while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
      }
      return true;
    }
    // The next response: its head and as much body as its Content-Length
    // gives (none for a HEAD request); "" when it does not arrive in time.
    std::string response(bool head = false, std::chrono::milliseconds wait = 5s) {
      const auto until = std::chrono::steady_clock::now() + wait;
      for (;;) {
        const size_t end = in_.find("\r\n\r\n");
        if (end != std::string::npos) {
          size_t length = 0;
          const size_t at = in_.find("\r\nContent-Length: ");
          if (!head && at != std::string::npos && at < end) length = std::stoul(in_.substr(at + 18));
          if (in_.size() >= end + 4 + length) {
            std::string r = in_.substr(0, end + 4 + length);
            in_.erase(0, r.size());
            return r;
          }
        }
        if (!receive(until)) return "";
      }
    }
    // All that arrives until the server closes, then "<closed>" (or "<reset>"),
    // or "<open>" when it has not closed in time.
    std::string rest(std::chrono::milliseconds wait = 5s) {
      const auto until = std::chrono::steady_clock::now() + wait;
      while (receive(until)) {
      }
      std::string r = std::move(in_) + end_;
      in_.clear();
      return r;
    }

   private:
    bool receive(std::chrono::steady_clock::time_point until) {
      if (!end_.empty()) return false;
      for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
          end_ = "<open>";
          return false;
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[8192];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
          in_.append(buffer, static_cast<size_t>(n));
          return true;
        }
        end_ = n == 0 ? "<closed>" : "<reset>";
        return false;
      }
    }

    int fd_;
    bool connected_ = false;
    std::string in_, end_;
  };

  static int status(std::string_view response) {
    return response.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(std::string(response.substr(9, 3)).c_str()) : 0;
  }
  static int responses(std::string_view reply) {
    int n = 0;
    for (size_t at = reply.find("HTTP/1.1 "); at != std::string_view::npos; at = reply.find("HTTP/1.1 ", at + 1)) ++n;
    return n;
  }

  // A normal request on a new connection is served.
  static void expectServing(const std::string& after) {
    Wire w;
    ASSERT_TRUE(w.connected());
    w.send("GET /selftest/echo.asp?alive=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    const std::string r = w.response();
    EXPECT_EQ(status(r), 200) << "after " << after;
    EXPECT_NE(r.find("Q alive=1\n"), std::string::npos) << "after " << after;
  }

  static std::string echoed(const std::string& response) { return gbk::toUtf8(response); }

  static constexpr const char* kUrlEncoded = "application/x-www-form-urlencoded";

  // A POST of `body` as `type`, its length declared.
  static std::string formPost(const std::string& target, const std::string& type, const std::string& body) {
    return "POST " + target + " HTTP/1.1\r\nHost: x\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  }
  // `data` as one chunk of a chunked body.
  static std::string chunk(const std::string& data) {
    std::ostringstream size;
    size << std::hex << data.size();
    return size.str() + "\r\n" + data + "\r\n";
  }

  // A multipart/form-data body (boundary "b") of `n` text fields.
  static std::string multipart(size_t n) {
    std::string body;
    for (size_t i = 0; i < n; ++i)
      body += "--b\r\nContent-Disposition: form-data; name=\"f" + std::to_string(i) + "\"\r\n\r\nv\r\n";
    return body + "--b--\r\n";
  }
};

// Requests whose body cannot be delimited safely, or that the server cannot
// read: one answer, then the connection closes, so that no byte of them is
// ever taken for another request.
TEST_F(ServeRobust, AmbiguousOrMalformedRequestsGetOneAnswerAndTheConnectionCloses) {
  const std::string post = "POST /selftest/echo.asp HTTP/1.1\r\nHost: x\r\n";
  const std::string smuggled = "GET /selftest/echo.asp?smuggled=1 HTTP/1.1\r\nHost: x\r\n\r\n";
  struct Case {
    std::string name, request;
    int status;
  };
  const Case cases[] = {
      {"negative length", post + "Content-Length: -1\r\n\r\n", 400},
      {"length not a number", post + "Content-Length: abc\r\n\r\na=1" + smuggled, 400},
      {"two lengths", post + "Content-Length: 3\r\nContent-Length: 10\r\n\r\na=1" + smuggled, 400},
      {"length and chunked", post + "Content-Length: 30\r\nTransfer-Encoding: chunked\r\n\r\n3\r\na=1\r\n0\r\n\r\n" + smuggled, 400},
      {"unknown coding", post + "Transfer-Encoding: gzip, chunked\r\n\r\n3\r\na=1\r\n0\r\n\r\n", 501},
      {"chunk size not hex", post + "Transfer-Encoding: chunked\r\n\r\nzz\r\nab\r\n0\r\n\r\n", 400},
      {"negative chunk size", post + "Transfer-Encoding: chunked\r\n\r\n-5\r\nabc\r\n0\r\n\r\n" + smuggled, 400},
      {"endless chunk size line", post + "Transfer-Encoding: chunked\r\n\r\n5" + std::string(20000, '0'), 400},
      {"chunk longer than its size", post + "Transfer-Encoding: chunked\r\n\r\n3\r\na=1XYZ\r\n0\r\n\r\n", 400},
      {"folded header", post + "X-A: 1\r\n Transfer-Encoding: chunked\r\n\r\n", 400},
      {"blank before colon", post + "Content-Length : 3\r\n\r\na=1", 400},
      {"length beyond any number", post + "Content-Length: 99999999999999999999999\r\n\r\n", 413},
      {"length beyond the bound", post + "Content-Length: " + std::to_string(kMaxBody + 1) + "\r\n\r\n", 413},
      {"chunked beyond the bound", post + "Transfer-Encoding: chunked\r\n\r\n1001\r\n" + std::string(4097, 'a') + "\r\n0\r\n\r\n", 413},
      {"header beyond the bound", "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(5000, 'a') + "\r\n\r\n", 400},
      {"garbage", "\x01\x02\xFF nonsense\r\n\r\n" + smuggled, 400},
      {"unknown method", "BREW /pot HTTP/1.1\r\nHost: x\r\n\r\n" + smuggled, 400},
      {"unknown version", "GET / HTTP/2.0\r\nHost: x\r\n\r\n" + smuggled, 400},
      {"a second ? in the target", "GET /selftest/echo.asp?a=1?2 HTTP/1.1\r\nHost: x\r\n\r\n" + smuggled, 400},
      {"NUL in the request line", std::string("GET /css.css") + '\0' + ".jpg HTTP/1.1\r\nHost: x\r\n\r\n", 400},
      {"NUL in a header", std::string("GET / HTTP/1.1\r\nHost: x\r\nX-A: a") + '\0' + "b\r\n\r\n" + smuggled, 400},
      // A request line beyond the header bound, refused before it ends.
      {"request line beyond the bound", "GET /selftest/echo.asp?" + std::string(5000, 'a'), 414},
      // Bare LF and bare CR line ends are refused as soon as they arrive
      // (the server's timeouts are far beyond the wait).
      {"bare LF line ends", "GET /selftest/echo.asp HTTP/1.1\nHost: x\n\n" + smuggled, 400},
      {"bare LF in the headers", "GET /selftest/echo.asp HTTP/1.1\r\nHost: x\nX-A: 1\r\n\r\n", 400},
      {"bare CR line ends", "GET /selftest/echo.asp HTTP/1.1\rHost: x\r\r" + smuggled, 400},
      {"bare CR in the headers", "GET /selftest/echo.asp HTTP/1.1\r\nHost: x\rX-A: 1\r\n\r\n", 400},
      {"CR inside the request line", "GET /selftest/echo.asp?a=1\rb HTTP/1.1\r\nHost: x\r\n\r\n", 400},
      {"HTTP/1.1 without Host", "GET /selftest/echo.asp HTTP/1.1\r\n\r\n" + smuggled, 400},
      {"two Hosts", "GET /selftest/echo.asp HTTP/1.1\r\nHost: x\r\nhost: y\r\n\r\n" + smuggled, 400},
      {"HTTP/1.0 with two Hosts", "GET /selftest/echo.asp HTTP/1.0\r\nHost: x\r\nHost: y\r\n\r\n", 400},
      // More name-value pairs than the bound: in the query, in a form, in
      // a chunked form, in a multipart form.
      {"pairs beyond the bound in the query",
       "GET /selftest/echo.asp?" + manyPairs(kMaxPairs + 1) + " HTTP/1.1\r\nHost: x\r\n\r\n", 413},
      {"pairs beyond the bound in a static link",
       "GET /selftest/echo" + std::string(2 * kMaxPairs + 2, '_') + "a.html HTTP/1.1\r\nHost: x\r\n\r\n", 413},
      {"pairs beyond the bound in query and form", formPost("/selftest/echo.asp?q=1", kUrlEncoded, manyPairs(kMaxPairs)),
       413},
      {"pairs beyond the bound in a chunked form",
       post + "Content-Type: " + kUrlEncoded + "\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk(manyPairs(kMaxPairs + 1)) +
           "0\r\n\r\n",
       413},
      {"parts beyond the bound in a multipart form",
       formPost("/selftest/echo.asp", "multipart/form-data; boundary=b", multipart(kMaxPairs + 1)), 413},
  };
  for (const Case& c : cases) {
    Wire w;
    ASSERT_TRUE(w.connected());
    w.send(c.request);
    const std::string reply = w.rest();
    EXPECT_EQ(status(reply), c.status) << c.name << ": " << reply.substr(0, 60);
    EXPECT_EQ(responses(reply), 1) << c.name << ": " << reply;
    EXPECT_EQ(reply.find("smuggled"), std::string::npos) << c.name;
    EXPECT_TRUE(reply.ends_with("<closed>")) << c.name << ": " << reply;
    expectServing(c.name);
  }
}

// A form with as many pairs as the bound allows is served whole; one with
// more is refused as soon as its pairs exceed the bound, before its body has
// arrived. An HTTP/1.0 request needs no Host.
TEST_F(ServeRobust, PairBoundAndHostRules) {
  Wire full;
  full.send(formPost("/selftest/echo.asp?q=1", kUrlEncoded, manyPairs(kMaxPairs - 1)));
  const std::string served = full.response();
  EXPECT_EQ(status(served), 200) << served.substr(0, 60);
  EXPECT_NE(served.find("Q q=1\n"), std::string::npos);
  EXPECT_NE(served.find("F k" + std::to_string(kMaxPairs - 2) + "=v\n"), std::string::npos);

  Wire early;
  const std::string pairs = manyPairs(kMaxPairs + 1) + "&";
  early.send("POST /selftest/echo.asp HTTP/1.1\r\nHost: x\r\nContent-Type: " + std::string(kUrlEncoded) +
             "\r\nContent-Length: 4000\r\n\r\n" + pairs);
  EXPECT_EQ(status(early.response()), 413);  // 4000 - pairs.size() bytes of the body still to come

  Wire old;
  old.send("GET /selftest/echo.asp?v=10 HTTP/1.0\r\n\r\n");
  const std::string answer = old.rest();
  EXPECT_NE(answer.find("Q v=10\n"), std::string::npos) << answer;
}

// The access log: one line per request in the common log format, refusals
// included, request lines escaped.
TEST_F(ServeRobust, AccessLogHasALinePerRequest) {
  Wire w;
  w.send("GET /selftest/echo.asp?log=1 HTTP/1.1\r\nHost: x\r\n\r\n");
  const std::string page = w.response();
  w.send("HEAD /css.css HTTP/1.1\r\nHost: x\r\n\r\n");
  w.response(true);
  w.send("GET /selftest/none.asp?log=\"2\" HTTP/1.1\r\nHost: x\r\n\r\n");
  w.response();
  Wire refused;
  refused.send("GET /selftest/echo.asp?log=3 HTTP/1.1\nHost: x\n\n");
  refused.rest();

  const size_t pageBody = page.size() - page.find("\r\n\r\n") - 4;
  const std::string date = R"(\[\d{2}/[A-Z][a-z]{2}/\d{4}:\d{2}:\d{2}:\d{2} [+-]\d{4}\])";
  const std::string expected[] = {
      R"(127\.0\.0\.1 - - )" + date + R"( "GET /selftest/echo\.asp\?log=1 HTTP/1\.1" 200 )" + std::to_string(pageBody),
      R"(127\.0\.0\.1 - - )" + date + R"( "HEAD /css\.css HTTP/1\.1" 200 -)",
      R"(127\.0\.0\.1 - - )" + date + R"( "GET /selftest/none\.asp\?log=\\"2\\" HTTP/1\.1" 404 \d+)",
      R"(127\.0\.0\.1 - - )" + date + R"( "" 400 \d+)",  // refused before its request line was read
  };
  // The lines are written after each answer: wait a little for the last.
  std::string log;
  for (int i = 0; i < 50 && log.find("\" 400 ") == std::string::npos; ++i) {
    std::this_thread::sleep_for(20ms);
    log = server_->logText();
  }
  for (const std::string& line : expected)
    EXPECT_TRUE(std::regex_search(log, std::regex("(^|\n)" + line + "\n"))) << line << "\n" << log;
}

// Behind a trusted proxy the log names the forwarded client, also for a
// request refused before the page host read it.
TEST_F(ServeRobust, AccessLogNamesTheForwardedClient) {
  Wire w;
  w.send("GET /selftest/echo.asp?log=proxied HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 10.9.8.7\r\n\r\n");
  EXPECT_EQ(status(w.response()), 200);
  Wire refused;
  refused.send("POST /selftest/echo.asp?log=proxiedbig HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 10.9.8.6\r\n"
               "Content-Length: 300000\r\n\r\n");
  EXPECT_EQ(status(refused.response()), 413);

  std::string log;
  for (int i = 0; i < 50 && log.find("log=proxiedbig") == std::string::npos; ++i) {
    std::this_thread::sleep_for(20ms);
    log = server_->logText();
  }
  EXPECT_TRUE(std::regex_search(log, std::regex(R"((^|\n)10\.9\.8\.7 - - .*log=proxied HTTP.* 200 )"))) << log;
  EXPECT_TRUE(std::regex_search(log, std::regex(R"((^|\n)10\.9\.8\.6 - - .*log=proxiedbig HTTP.* 413 )"))) << log;
}

// A body beyond the bound is refused at once, from its declared length, and
// the client reads the refusal even while it goes on sending the body.
TEST_F(ServeRobust, OversizedBodyIsRefusedWithoutResettingTheClient) {
  Wire w;
  w.send("POST /selftest/echo.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 300000\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\n\r\n");
  EXPECT_EQ(status(w.response()), 413);  // before a byte of the body was sent
  w.send(std::string(300000, 'a'));
  EXPECT_EQ(w.rest(), "<closed>");

  // Expect: 100-continue: no invitation to send what would be refused.
  Wire expect;
  expect.send("POST /selftest/echo.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 5000\r\nExpect: 100-continue\r\n\r\n");
  const std::string reply = expect.rest();
  EXPECT_EQ(status(reply), 413) << reply;
  EXPECT_EQ(responses(reply), 1) << reply;
  expectServing("oversized bodies");
}

// Keep-alive, pipelining, chunked bodies, 100-continue and HEAD on one
// connection: every request is answered once, in order.
TEST_F(ServeRobust, ConnectionsCarryRequestsOneAfterTheOther) {
  Wire w;
  ASSERT_TRUE(w.connected());
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  // Three requests in one packet, blank lines before the second.
  w.send("GET /selftest/echo.asp?n=1 HTTP/1.1\r\nHost: x\r\n\r\n\r\n"
         "POST /selftest/echo.asp?n=2 HTTP/1.1\r\nHost: x\r\n" + form + "Content-Length: 3\r\n\r\na=2"
         "GET /selftest/echo.asp?n=3 HTTP/1.1\r\nHost: x\r\n\r\n");
  for (const char* expected : {"Q n=1\n", "F a=2\n", "Q n=3\n"}) {
    const std::string r = w.response();
    EXPECT_EQ(status(r), 200) << expected;
    EXPECT_NE(r.find(expected), std::string::npos) << r;
  }

  // A POST without a length has no body: it is answered at once.
  w.send("POST /selftest/echo.asp?n=4 HTTP/1.1\r\nHost: x\r\n\r\n");
  std::string r = w.response();
  EXPECT_EQ(status(r), 200);
  EXPECT_NE(r.find("Q n=4\n"), std::string::npos) << r;

  // A chunked body (extensions, trailer) arrives decoded; the request after it is kept.
  w.send("POST /selftest/echo.asp HTTP/1.1\r\nHost: x\r\n" + form +
         "Transfer-Encoding: chunked\r\n\r\n4;x=y\r\nnick\r\nA\r\n=%C4%E3%BA\r\n3\r\n%C3\r\n0\r\nX-Sum: 1\r\n\r\n"
         "GET /selftest/echo.asp?n=5 HTTP/1.1\r\nHost: x\r\n\r\n");
  r = w.response();
  EXPECT_NE(echoed(r).find("F nick=你好\n"), std::string::npos) << r;
  EXPECT_NE(w.response().find("Q n=5\n"), std::string::npos);

  // 100-continue: the body follows the invitation.
  w.send("POST /selftest/echo.asp HTTP/1.1\r\nHost: x\r\n" + form + "Content-Length: 3\r\nExpect: 100-continue\r\n\r\n");
  EXPECT_EQ(status(w.response()), 100);
  w.send("a=6");
  EXPECT_NE(w.response().find("F a=6\n"), std::string::npos);

  // HEAD: the length of the page, no body; the next answer follows directly.
  w.send("HEAD /selftest/text.asp HTTP/1.1\r\nHost: x\r\n\r\nGET /selftest/text.asp HTTP/1.1\r\nHost: x\r\n\r\n");
  const std::string head = w.response(true);
  EXPECT_EQ(status(head), 200);
  EXPECT_NE(head.find("\r\nContent-Length: 13\r\n"), std::string::npos) << head;
  const std::string get = w.response();
  EXPECT_EQ(status(get), 200) << get;
  EXPECT_TRUE(get.ends_with("\r\n\r\n\xD6\xD0\xCE\xC4&#128512;")) << get;

  // A GET with a body: answered, and the body is never taken for a request.
  const std::string body = "GET /selftest/echo.asp?smuggled=1 HTTP/1.1\r\nHost: x\r\n\r\n";
  w.send("GET /selftest/echo.asp?n=7 HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body);
  const std::string last = w.rest();
  EXPECT_NE(last.find("Q n=7\n"), std::string::npos) << last;
  EXPECT_EQ(responses(last), 1) << last;
  EXPECT_TRUE(last.ends_with("<closed>")) << last;
}

// A range request gets the whole file: many ranges of one file are not
// built in memory, and a part is never passed off as the whole.
TEST_F(ServeRobust, RangesAreAnsweredWithTheWholeFile) {
  std::ifstream file(ZURVA_SOURCE_DIR "/site/www/css.css", std::ios::binary);
  std::ostringstream css;
  css << file.rdbuf();
  std::string ranges = "bytes=0-5";
  for (int i = 0; i < 500; ++i) ranges += ",0-";
  for (const std::string& range : {std::string("bytes=0-5"), ranges}) {
    Wire w;
    w.send("GET /css.css HTTP/1.1\r\nHost: x\r\nRange: " + range + "\r\n\r\n");
    const std::string r = w.response();
    EXPECT_EQ(status(r), 200);
    EXPECT_EQ(r.substr(r.find("\r\n\r\n") + 4), css.str());
  }
}

// Paths outside the document root are refused however they are written; a
// path that stays inside is looked up there.
TEST_F(ServeRobust, PathsCannotLeaveTheDocumentRoot) {
  struct Case {
    const char* target;
    int status;
  };
  const Case cases[] = {
      {"/%2E%2E%5CCMakeLists.txt", 403},
      {"/images/%2e%2e%2f%2e%2e%2fCMakeLists.txt", 403},
      {"/images/.%2e/.%2e/CMakeLists.txt", 403},
      {"/images/erro/..%5c..%5c..%5cCMakeLists.txt", 403},
      {"/%2e%2e/selftest/id_1_echo.html", 403},
      {"/selftest/a_1_%2e%2e%2fCMakeLists.html", 404},  // a static link read back names a page, no file
      {"//etc/passwd", 404},                                   // under the root
      {"/css.css%00.jpg", 400},
      {"/images%0a/x.gif", 400},
      {"http://x/css.css", 400},
      {"*", 400},
  };
  for (const Case& c : cases) {
    Wire w;
    w.send(std::string("GET ") + c.target + " HTTP/1.1\r\nHost: x\r\n\r\n");
    const std::string r = w.response();
    EXPECT_EQ(status(r), c.status) << c.target << ": " << r.substr(0, 40);
    EXPECT_EQ(r.find("cmake_minimum_required"), std::string::npos) << c.target;
  }
  expectServing("paths");
}

// Malformed escapes and byte sequences outside GBK in every part of a
// request arrive with replacement characters; the page runs.
TEST_F(ServeRobust, MalformedEscapesAndInvalidBytesArriveReplaced) {
  Wire w;
  w.send("GET /selftest/a_%FF%81_echo.html?q=%&b=%G1%FF%FE%81&c=%D6 HTTP/1.1\r\n"
         "Host: \xD6\xD0\xFF\r\nCookie: x=%ZZ.abc; \xFF\xFE=1; ;=;\r\nReferer: \xFF\xFE%\r\nUser-Agent: %00\xD6\r\n\r\n");
  const std::string r = echoed(w.response());
  EXPECT_EQ(status(r), 200) << r;
  // U+FFFD is outside GBK: the page shows it as a reference.
  EXPECT_NE(r.find("Q a=&#65533;"), std::string::npos) << r;
  EXPECT_NE(r.find("Q q=%\n"), std::string::npos);
  EXPECT_NE(r.find("Q b=%G1&#65533;"), std::string::npos);
  EXPECT_NE(r.find("Q c=&#65533;\n"), std::string::npos);
  EXPECT_NE(r.find("V HTTP_HOST=中&#65533;\n"), std::string::npos);  // the host read like the other headers
  EXPECT_NE(r.find("V HTTP_REFERER=&#65533;"), std::string::npos);
  EXPECT_EQ(r.find("\nC "), std::string::npos);  // no cookie verifies
  expectServing("malformed escapes");
}

// A signature binds a cookie's text to its name: the member cookie's value
// under another name, a shortened or altered signature, is absent.
TEST_F(ServeRobust, CookieSignaturesBindTextAndName) {
  Wire set;
  set.send("GET /selftest/setcookie.asp?userid=25 HTTP/1.1\r\nHost: x\r\n\r\n");
  const std::string r = set.response();
  const size_t at = r.find("Set-Cookie: kalimo=");
  ASSERT_NE(at, std::string::npos) << r;
  const std::string value = r.substr(at + 19, r.find(';', at) - at - 19);
  const std::string text = value.substr(0, value.rfind('.'));
  const std::string signature = value.substr(value.rfind('.') + 1);
  std::string flipped = signature;
  flipped[0] = flipped[0] == 'A' ? 'B' : 'A';

  const std::string forged[] = {
      "zurva_admin=" + value,                            // another cookie's name
      "ZURVASESSIONID=" + value,                         // as a session
      "kalimo=" + text + "." + signature.substr(0, 42),  // shortened
      "kalimo=" + text + "." + flipped,
      "kalimo=" + text + "&grade=9." + signature,
      "kalimo=" + text,
  };
  for (const std::string& cookie : forged) {
    Wire w;
    w.send("GET /selftest/echo.asp HTTP/1.1\r\nHost: x\r\nCookie: " + cookie + "\r\n\r\n");
    const std::string echo = w.response();
    EXPECT_EQ(status(echo), 200);
    EXPECT_EQ(echo.find("\nC "), std::string::npos) << cookie << "\n" << echo;
    EXPECT_EQ(echo.find("Set-Cookie"), std::string::npos) << cookie;
  }
  Wire genuine;
  genuine.send("GET /selftest/echo.asp HTTP/1.1\r\nHost: x\r\nCookie: kalimo=" + value + "\r\n\r\n");
  EXPECT_NE(genuine.response().find("\nC kalimo.userid=25\n"), std::string::npos);
}

// Connections whose request is still on its way (a header sent in part, a
// body trickling in, nothing sent yet, an idle keep-alive connection), many
// more than there are workers, do not keep the workers from a request that
// has arrived; each of them is served when its request is complete.
TEST_F(ServeRobust, SlowAndIdleConnectionsDoNotHoldTheWorkers) {
  std::vector<std::unique_ptr<Wire>> partial, trickling, silent, idle;
  for (int i = 0; i < 2 * kWorkers; ++i) {
    partial.push_back(std::make_unique<Wire>());
    partial.back()->send("GET /selftest/echo.asp?slow=" + std::to_string(i) + " HTTP/1.1\r\nHost: x\r\n");
    trickling.push_back(std::make_unique<Wire>());
    trickling.back()->send(
        "POST /selftest/echo.asp HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: 6\r\n\r\nt=");
    silent.push_back(std::make_unique<Wire>());
    idle.push_back(std::make_unique<Wire>());
    idle.back()->send("GET /selftest/echo.asp?idle=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_EQ(status(idle.back()->response()), 200);
  }
  expectServing("slow connections");

  for (size_t i = 0; i < partial.size(); ++i) {
    partial[i]->send("\r\n");
    EXPECT_NE(partial[i]->response().find("Q slow=" + std::to_string(i) + "\n"), std::string::npos) << i;
    trickling[i]->send("done");
    EXPECT_NE(trickling[i]->response().find("F t=done\n"), std::string::npos) << i;
    silent[i]->send("GET /selftest/echo.asp?silent=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_NE(silent[i]->response().find("Q silent=1\n"), std::string::npos) << i;
    idle[i]->send("GET /selftest/echo.asp?again=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_NE(idle[i]->response().find("Q again=1\n"), std::string::npos) << i;
  }
}

}  // namespace
}  // namespace zurvafun

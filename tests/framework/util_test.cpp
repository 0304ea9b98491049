#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/gbk.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

namespace fs = std::filesystem;
using testing::errorOf;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh folder of the test's own.
class UtilFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("zurva-util-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setLogFilePath((dir_ / "zurvaLog.Log").string());
  }
  void TearDown() override {
    setLogFilePath("");
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(UtilFiles, Write2FileReplacesOrAppendsOneLine) {
  host::TestHost h;
  zurva z;
  const std::string file = (dir_ / "notes.txt").string();
  z.Write2File(file, "first", false);
  EXPECT_EQ(readFile(file), "first\r\n");
  z.Write2File(file, "second", true);
  z.Write2File(file, "第三行", true);
  EXPECT_EQ(readFile(file), "first\r\nsecond\r\n第三行\r\n");
  z.Write2File(file, "only", false);
  EXPECT_EQ(readFile(file), "only\r\n");
  // Append creates a missing file.
  z.Write2File((dir_ / "new.txt").string(), "x", true);
  EXPECT_EQ(readFile(dir_ / "new.txt"), "x\r\n");
  EXPECT_EQ(h.response().body(), "");
  EXPECT_FALSE(fs::exists(dir_ / "zurvaLog.Log"));
}

TEST_F(UtilFiles, Write2FileInAMissingFolderSaysSo) {
  host::TestHost h;
  const fs::path file = dir_ / "missing" / "notes.txt";
  zurva().Write2File(file.string(), "text", false);
  EXPECT_EQ(h.response().body(), "您没有写得权限.");
  EXPECT_FALSE(fs::exists(file));
  h.nextRequest();
  zurva().Write2File(file.string(), "text", true);
  EXPECT_EQ(h.response().body(), "您没有写得权限.");
  EXPECT_FALSE(fs::exists(dir_ / "zurvaLog.Log"));
}

TEST_F(UtilFiles, Write2FileWithNullTextIsSilentAndWritesNothing) {
  host::TestHost h;
  zurva z;
  const std::string file = (dir_ / "notes.txt").string();
  z.Write2File(file, "kept", false);
  z.Write2File(file, Variant::null(), false);
  EXPECT_EQ(readFile(file), "kept\r\n");
  EXPECT_EQ(h.response().body(), "");
}

TEST(Util, CreatepassGivesSixteenLettersAndDigits) {
  zurva z;
  std::set<std::string> seen;
  std::map<char, int> count;
  const int passwords = 2000;
  for (int i = 0; i < passwords; ++i) {
    const std::string pass = z.Createpass().str();
    ASSERT_EQ(pass.size(), 16u);
    for (char ch : pass) {
      ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(ch))) << pass;
      ++count[ch];
    }
    seen.insert(pass);
  }
  EXPECT_EQ(seen.size(), std::size_t(passwords));
  // About half the characters are digits; 0 and 9, a and z, A and Z come half
  // as often as their neighbours. (Bounds lie many standard deviations out.)
  int digits = 0;
  for (char d = '0'; d <= '9'; ++d) digits += count[d];
  EXPECT_NEAR(double(digits) / (16 * passwords), 0.5, 0.03);
  auto ratio = [&](char edge, char inner) { return double(count[edge]) / count[inner]; };
  for (auto [edge, inner] : {std::pair{'0', '1'}, {'9', '8'}, {'a', 'b'}, {'z', 'y'}, {'A', 'B'}, {'Z', 'Y'}}) {
    SCOPED_TRACE(std::string(1, edge));
    EXPECT_NEAR(ratio(edge, inner), 0.5, 0.2);
  }
  EXPECT_NEAR(ratio('m', 'n'), 1.0, 0.35);
}

TEST(Util, IsObjInstalled) {
  {
    host::TestHost h;
    zurva z;
    EXPECT_TRUE(eq(z.IsObjInstalled("Scripting.FileSystemObject"), Variant(true)));
    EXPECT_TRUE(eq(z.IsObjInstalled("MSXML2.ServerXMLHTTP.3.0"), Variant(true)));
    EXPECT_TRUE(eq(z.IsObjInstalled("No.Such.Class"), Variant(false)));
    EXPECT_TRUE(eq(z.IsObjInstalled(""), Variant(false)));
  }
  zurva outsideAHost;
  EXPECT_TRUE(eq(outsideAHost.IsObjInstalled("Scripting.FileSystemObject"), Variant(false)));
}

TEST(Util, JoinCharPreparesOneMoreParameter) {
  zurva z;
  const std::pair<Variant, const char*> cases[] = {
      {"page.asp", "page.asp?"},         {"page.asp?a=1", "page.asp?a=1&"},
      {"page.asp?", "page.asp?"},        {"page.asp?a=1&", "page.asp?a=1&"},
      {"?a=1", "?a=1?"},                 {"page.asp?a=1&b=2", "page.asp?a=1&b=2&"},
      {"页面.asp?名=值", "页面.asp?名=值&"}, {"", ""},
      {Variant(), ""},                   {"?", "?"},
  };
  for (const auto& [url, expected] : cases) {
    SCOPED_TRACE(url.str());
    EXPECT_EQ(z.JoinChar(url).str(), expected);
  }
  // A Null has no "?" before its end: it comes back unchanged, still Null.
  EXPECT_TRUE(z.JoinChar(Variant::null()).isNull());
}

// ---------------------------------------------------------------- zurvatop

// A loopback port: with `listen`, a socket listening on it that never
// answers (returned in *socketOut); without, a port nothing listens on.
int loopbackListener(bool listen, int* socketOut = nullptr) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      (listen && ::listen(fd, 4) != 0)) {
    ADD_FAILURE() << "no loopback socket";
  }
  if (listen && socketOut) {
    *socketOut = fd;
  } else {
    ::close(fd);
  }
  return ntohs(address.sin_port);
}

// A tiny HTTP server on a free loopback port, run on its own thread: it
// answers GET requests from a table of paths (anything else is a 404).
class UtilHttp : public ::testing::Test {
 protected:
  struct Page {
    std::string contentType;
    std::string body;
  };

  void SetUp() override {
    pages_["/hello"] = {"text/html; charset=gb2312", gbk::fromUtf8("你好，世界")};
    pages_["/utf8"] = {"text/plain; charset=utf-8", "你好"};
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener_, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::listen(listener_, 8), 0);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  void TearDown() override {
    ::shutdown(listener_, SHUT_RDWR);  // wakes the blocked accept
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  void serve() {
    for (;;) {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, std::size_t(n));
      }
      const auto start = request.find(' ') + 1;
      const auto it = pages_.find(request.substr(start, request.find(' ', start) - start));
      const bool found = request.rfind("GET ", 0) == 0 && it != pages_.end();
      const Page page = found ? it->second : Page{"text/plain", ""};
      const std::string reply = std::string(found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                                "\r\nContent-Type: " + page.contentType +
                                "\r\nContent-Length: " + std::to_string(page.body.size()) +
                                "\r\nConnection: close\r\n\r\n" + page.body;
      ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(client);
    }
  }

  std::map<std::string, Page> pages_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

TEST_F(UtilHttp, ReturnsTheBodyAsText) {
  host::TestHost h;
  zurva z;
  EXPECT_EQ(z.zurvatop(url("/hello")).str(), "你好，世界");
  EXPECT_EQ(z.zurvatop(url("/utf8")).str(), "你好");
  // No status check: a missing page gives its (empty) body.
  EXPECT_EQ(z.zurvatop(url("/missing")).str(), "");
}

TEST(UtilHttpRefusal, OtherSchemesAndUnreachableServersRaise) {
  host::TestHost h;
  zurva z;
  EXPECT_EQ(errorOf([&] { z.zurvatop("file:///etc/passwd"); }), err::InvalidCall);
  EXPECT_EQ(errorOf([&] { z.zurvatop("ftp://127.0.0.1/"); }), err::InvalidCall);
  EXPECT_EQ(errorOf([&] { z.zurvatop(""); }), err::InvalidCall);
  const int port = loopbackListener(false);
  EXPECT_NE(errorOf([&] { z.zurvatop("http://127.0.0.1:" + std::to_string(port) + "/"); }), 0);
}

TEST(UtilHttpTimeout, GivesUpAfterTenSeconds) {
  // A listening socket that accepts the connection but never answers.
  int listener = -1;
  const int port = loopbackListener(true, &listener);
  host::TestHost h;
  zurva z;
  long error = 0;
  std::string description;
  try {
    z.zurvatop("http://127.0.0.1:" + std::to_string(port) + "/");
  } catch (const VbError& e) {
    error = e.number();
    description = e.description();
  }
  ::close(listener);
  EXPECT_NE(error, 0);
  EXPECT_NE(description.find("Timeout"), std::string::npos) << description;
}

}  // namespace
}  // namespace zurvafun

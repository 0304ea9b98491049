// A stand-in for the SMS gateway on a free loopback port, run on its own
// thread: it records the target and the head of every request and answers
// with the text set in `answer` ("hang": accepts and never answers; "drop":
// closes the connection without an answer). Like the real gateway it takes
// only a request that says "Content-type: text/xml;charset=GB2312": where it
// answers, any other request gets "false". `onRequest` runs before the answer.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zurvafun::testing {

class FakeGateway {
 public:
  FakeGateway() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(listener_, 64) != 0) {
      ADD_FAILURE() << "no loopback socket for the gateway";
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~FakeGateway() {
    ::shutdown(listener_, SHUT_RDWR);  // wakes the blocked accept
    thread_.join();
    ::close(listener_);
    for (int client : held_) ::close(client);
  }
  FakeGateway(const FakeGateway&) = delete;
  FakeGateway& operator=(const FakeGateway&) = delete;

  // The gateway address with the four placeholders.
  std::string address() const {
    return "http://127.0.0.1:" + std::to_string(port_) +
           "/send?u={username}&p={password}&to={mobile}&text={message}";
  }
  int port() const { return port_; }

  void setAnswer(std::string answer) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
  }
  void setOnRequest(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    onRequest_ = std::move(hook);
  }
  // The request targets received so far ("/send?u=...").
  std::vector<std::string> targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
  }
  // The heads of the requests received so far: request line and header
  // lines, each ended by CR LF.
  std::vector<std::string> heads() const {
    std::lock_guard lock(mutex_);
    return heads_;
  }

  // The values of the header `name` (in any case) in a request head, in order.
  static std::vector<std::string> headerValues(const std::string& head, const std::string& name) {
    std::vector<std::string> values;
    for (std::size_t at = head.find("\r\n"); at != std::string::npos && at + 2 < head.size();) {
      const std::size_t end = head.find("\r\n", at + 2);
      const std::string line = head.substr(at + 2, end - at - 2);
      at = end;
      const std::size_t colon = line.find(':');
      if (colon != name.size() ||
          !std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
          }))
        continue;
      const std::size_t value = line.find_first_not_of(' ', colon + 1);
      values.push_back(value == std::string::npos ? "" : line.substr(value));
    }
    return values;
  }

 private:
  void serve() {
    for (;;) {
      const int client = ::accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      std::string request;
      char buffer[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, std::size_t(n));
      }
      std::string answer;
      std::function<void()> hook;
      {
        std::lock_guard lock(mutex_);
        const std::size_t start = request.find(' ') + 1;
        targets_.push_back(request.substr(start, request.find(' ', start) - start));
        const std::string head = request.substr(0, request.find("\r\n\r\n") + 2);
        heads_.push_back(head);
        const bool understood =
            headerValues(head, "Content-type") == std::vector<std::string>{kContentType};
        answer = understood || answer_ == "hang" || answer_ == "drop" ? answer_ : "false";
        hook = onRequest_;
      }
      if (hook) hook();
      if (answer == "hang") {
        held_.push_back(client);
        continue;
      }
      if (answer != "drop") {
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                  std::to_string(answer.size()) + "\r\nConnection: close\r\n\r\n" + answer;
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      }
      ::close(client);
    }
  }

  static constexpr const char* kContentType = "text/xml;charset=GB2312";

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string answer_ = "true";
  std::function<void()> onRequest_;
  std::vector<std::string> targets_;
  std::vector<std::string> heads_;
  std::vector<int> held_;
};

}  // namespace zurvafun::testing

// A stand-in for the SMS gateway on a free loopback port, run on its own
// thread: it records the target of every request and answers with the text
// set in `answer` ("hang": accepts and never answers; "drop": closes the
// connection without an answer). `onRequest` runs before the answer.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
        answer = answer_;
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

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string answer_ = "true";
  std::function<void()> onRequest_;
  std::vector<std::string> targets_;
  std::vector<int> held_;
};

}  // namespace zurvafun::testing

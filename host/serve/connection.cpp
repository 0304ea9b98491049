#include "host/serve/connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zurvafun::serve {

namespace {

void addressOf(const sockaddr_storage& address, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto& a = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    port = ntohs(a.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
    port = ntohs(a.sin6_port);
  }
  ip = text;
}

constexpr size_t kOutputChunk = 64 * 1024;  // collected output beyond this is sent at once

}  // namespace

ConnectionStream::ConnectionStream(int fd, const Limits& limits) : fd_(fd), limits_(limits) {
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  const int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    addressOf(address, remoteIp_, remotePort_);
  length = sizeof address;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    addressOf(address, localIp_, localPort_);
}

bool ConnectionStream::waitFor(short events, Clock::duration timeout, bool deadlineBound) const {
  auto until = Clock::now() + timeout;
  if (deadlineBound) until = std::min(until, deadline_);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd_, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000 * 1000)));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

bool ConnectionStream::waitForRequest(const std::function<bool()>& stopping) {
  if (inPos_ < inEnd_) return true;  // the next request came with the last one
  const auto until = Clock::now() + std::chrono::seconds(limits_.keepAliveTimeoutSeconds);
  while (!stopping()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    // Short slices, so that a stopping server does not wait for idle connections.
    const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
  return false;
}

void ConnectionStream::beginRequest() {
  readingHeaders_ = true;
  rawHeader_.clear();
  deadline_ = Clock::now() + std::chrono::seconds(limits_.requestTimeoutSeconds);
}

bool ConnectionStream::is_readable() const {
  return inPos_ < inEnd_ || waitFor(POLLIN, std::chrono::seconds(limits_.readTimeoutSeconds), true);
}

bool ConnectionStream::is_writable() const { return !failed_; }

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (!flush()) return -1;
  if (readFailed_) return -1;
  if (readingHeaders_) {
    const size_t left = limits_.maxHeaderBytes - std::min(rawHeader_.size(), limits_.maxHeaderBytes);
    if (left == 0) {  // the header is too large: the request is refused
      readFailed_ = true;
      return -1;
    }
    size = std::min(size, left);
  }
  if (inPos_ == inEnd_) {
    inPos_ = inEnd_ = 0;
    for (;;) {
      if (!waitFor(POLLIN, std::chrono::seconds(limits_.readTimeoutSeconds), true)) {
        readFailed_ = true;
        return -1;
      }
      // A large read goes straight to the caller; small ones (the header is
      // read byte by byte) are served from the buffer.
      const bool direct = size >= sizeof in_;
      const ssize_t n = ::recv(fd_, direct ? ptr : in_, direct ? size : sizeof in_, 0);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
      if (n <= 0) return n;
      if (direct) {
        if (readingHeaders_) rawHeader_.append(ptr, static_cast<size_t>(n));
        return n;
      }
      inEnd_ = static_cast<size_t>(n);
      break;
    }
  }
  const size_t n = std::min(size, inEnd_ - inPos_);
  std::memcpy(ptr, in_ + inPos_, n);
  inPos_ += n;
  if (readingHeaders_) rawHeader_.append(ptr, n);
  return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  if (failed_) return -1;
  out_.append(ptr, size);
  if (out_.size() >= kOutputChunk && !flush()) return -1;
  return static_cast<ssize_t>(size);
}

bool ConnectionStream::flush() {
  size_t sent = 0;
  while (sent < out_.size() && !failed_) {
    const ssize_t n = ::send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      if (!waitFor(POLLOUT, std::chrono::seconds(limits_.writeTimeoutSeconds), false)) failed_ = true;
    } else {
      failed_ = true;
    }
  }
  out_.clear();
  return !failed_;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  ip = remoteIp_;
  port = remotePort_;
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  ip = localIp_;
  port = localPort_;
}

}  // namespace zurvafun::serve

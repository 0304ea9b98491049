#include "host/serve/listener.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>

namespace zurvafun::serve {

Listener::Listener() : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (wake_ < 0) throw std::runtime_error(std::string("cannot make an eventfd: ") + std::strerror(errno));
}

Listener::~Listener() {
  if (fd_ >= 0) ::close(fd_);
  ::close(wake_);
}

int Listener::bind(const std::string& address, int port) {
  const std::string where = address + ":" + std::to_string(port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found); rc != 0)
    throw std::runtime_error("cannot listen on " + where + ": " + ::gai_strerror(rc));
  std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, ::freeaddrinfo);

  const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("cannot listen on " + where + ": " + std::strerror(errno));
  // A restarted server may bind while its old connections linger; SO_REUSEADDR
  // alone never lets two servers listen on one port (SO_REUSEPORT would).
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EADDRINUSE)
      throw std::runtime_error("cannot listen on " + where +
                               ": the port is in use (another server, perhaps another zurva-serve, listens there)");
    throw std::runtime_error("cannot listen on " + where + ": " + std::strerror(error));
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  fd_ = fd;
  if (bound.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(bound).sin6_port);
  return ntohs(reinterpret_cast<const sockaddr_in&>(bound).sin_port);
}

void Listener::run(const std::function<void(int)>& accepted) {
  pollfd p[] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
  while (!stopping()) {
    if (::poll(p, 2, -1) < 0 && errno != EINTR) break;
    while (!stopping()) {
      const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (connection >= 0) {
        accepted(connection);
      } else if (errno == EINTR || errno == ECONNABORTED) {
        continue;
      } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // Out of descriptors or memory: connections close meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        break;
      } else {
        break;  // nothing more waits
      }
    }
  }
}

void Listener::stop() {
  stopping_.store(true, std::memory_order_relaxed);
  const std::uint64_t one = 1;
  (void)!::write(wake_, &one, sizeof one);
}

}  // namespace zurvafun::serve

// The listening socket of the server: bound to one address and port (never
// shared with another process: a port in use is an error), and the loop that
// accepts connections until stop().
#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace zurvafun::serve {

class Listener {
 public:
  Listener();
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Binds `address` and `port` (0: any free port) and listens; returns the
  // bound port. Throws std::runtime_error with the reason (a port in use
  // says so).
  int bind(const std::string& address, int port);
  // Hands every accepted connection (a non-blocking socket that the callee
  // owns) to `accepted` until stop(); call after bind().
  void run(const std::function<void(int)>& accepted);
  // Makes run() return (from any thread).
  void stop();
  bool stopping() const { return stopping_.load(std::memory_order_relaxed); }

 private:
  int fd_ = -1;
  int wake_ = -1;
  std::atomic<bool> stopping_{false};
};

}  // namespace zurvafun::serve

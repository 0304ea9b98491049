// The worker threads that serve the connections, and the waiting room.
//
// A worker serves one connection at a time. While a connection's next
// request has not arrived whole, the worker waits for it only as long as no
// other connection waits for a worker that is not free; otherwise the
// connection moves to the waiting room, where one thread watches all such connections and hands a
// connection back to the workers once its request is in (or the client
// closed, or a bound was hit), and closes it at its wait limit. So idle
// keep-alive connections and clients that send slowly cannot keep the
// workers from the others.
//
// The waiting room also closes connections that are to linger: it reads and
// drops what the client still sends until the client closes, so that the
// client reads the answer before the connection goes (see
// ConnectionStream::shouldLinger()).
#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "host/serve/connection.h"

namespace zurvafun::serve {

class Workers final {
 public:
  using Connection = std::shared_ptr<ConnectionStream>;

  // `serve` serves a connection that comes back from the waiting room.
  Workers(std::size_t threads, std::function<void(Connection)> serve);
  ~Workers();
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // A job for a worker (a new connection); stopping, once the jobs given
  // are done.
  void enqueue(std::function<void()> job);
  void shutdown();

  // More jobs wait than there are free workers to take them.
  bool othersWaiting() const {
    return queued_.load(std::memory_order_relaxed) > threads_ - busy_.load(std::memory_order_relaxed);
  }
  // Readable once othersWaiting() turned true, until no job waits (mostly:
  // a worker still looks at othersWaiting() now and then), so that a worker
  // waiting on its connection hears of it.
  int wakeFd() const { return wake_; }
  // Keeps `c` in the waiting room (see above).
  void park(Connection c);
  // Closes `c`, lingering first when it should.
  void close(Connection c);

 private:
  void watch();  // the waiting room's thread
  void leave(const Connection& c);

  std::function<void(Connection)> serve_;
  const int threads_;
  std::atomic<int> queued_{0};  // jobs not yet started
  std::atomic<int> busy_{0};    // workers running a job
  httplib::ThreadPool pool_;
  int wake_;
  int epoll_;
  std::mutex mutex_;
  std::unordered_map<int, Connection> parked_;  // by socket
  bool stopped_ = false;
  std::thread room_;
};

}  // namespace zurvafun::serve

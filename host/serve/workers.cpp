#include "host/serve/workers.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace zurvafun::serve {

namespace {

// The wake-up eventfd (see Workers::wakeFd()).
void raiseWake(int fd) {
  const std::uint64_t one = 1;
  (void)!::write(fd, &one, sizeof one);
}

void lowerWake(int fd) {
  std::uint64_t count;
  (void)!::read(fd, &count, sizeof count);
}

}  // namespace

Workers::Workers(std::size_t threads, std::function<void(Connection)> serve)
    : serve_(std::move(serve)),
      threads_(static_cast<int>(threads)),
      pool_(threads),
      wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)) {
  if (wake_ < 0 || epoll_ < 0) {
    if (wake_ >= 0) ::close(wake_);
    if (epoll_ >= 0) ::close(epoll_);
    pool_.shutdown();
    throw std::runtime_error("cannot make the waiting room");
  }
  room_ = std::thread([this] { watch(); });
}

Workers::~Workers() {
  if (room_.joinable()) shutdown();
  ::close(epoll_);
  ::close(wake_);
}

void Workers::enqueue(std::function<void()> job) {
  queued_.fetch_add(1, std::memory_order_relaxed);
  if (othersWaiting()) raiseWake(wake_);
  pool_.enqueue([this, job = std::move(job)] {
    busy_.fetch_add(1, std::memory_order_relaxed);
    if (queued_.fetch_sub(1, std::memory_order_relaxed) == 1) lowerWake(wake_);
    job();
    busy_.fetch_sub(1, std::memory_order_relaxed);
  });
}

void Workers::shutdown() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  room_.join();
  {
    std::lock_guard lock(mutex_);
    parked_.clear();  // closes them
  }
  pool_.shutdown();
}

void Workers::park(Connection c) {
  const int fd = c->socket();
  std::lock_guard lock(mutex_);
  if (stopped_) return;  // closed
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP;
  event.data.fd = fd;
  if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) == 0) parked_.emplace(fd, std::move(c));
}

void Workers::close(Connection c) {
  if (!c->shouldLinger()) return;  // closed as it goes
  c->startLinger();
  park(std::move(c));
}

void Workers::leave(const Connection& c) {
  std::lock_guard lock(mutex_);
  const auto it = parked_.find(c->socket());
  if (it == parked_.end() || it->second != c) return;  // gone already (its socket may be another's by now)
  ::epoll_ctl(epoll_, EPOLL_CTL_DEL, c->socket(), nullptr);
  parked_.erase(it);
}

void Workers::watch() {
  constexpr int kSlice = 100;  // milliseconds between looks at the wait limits
  epoll_event events[64];
  std::vector<Connection> ready, expired;
  for (;;) {
    const int n = ::epoll_wait(epoll_, events, 64, kSlice);
    ready.clear();
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      for (int i = 0; i < n; ++i)
        if (const auto it = parked_.find(events[i].data.fd); it != parked_.end()) ready.push_back(it->second);
    }
    for (const Connection& c : ready) {
      try {
        if (c->lingering()) {
          if (c->drain()) leave(c);
        } else if (c->receive()) {
          leave(c);
          if (!c->ended()) enqueue([this, c] { serve_(c); });
        }
      } catch (...) {  // (memory ran out) this connection is given up, the others go on
        leave(c);
      }
    }
    {
      std::lock_guard lock(mutex_);
      const auto now = ConnectionStream::Clock::now();
      for (auto it = parked_.begin(); it != parked_.end();) {
        if (it->second->waitLimit() > now) {
          ++it;
          continue;
        }
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, it->first, nullptr);
        expired.push_back(std::move(it->second));
        it = parked_.erase(it);
      }
    }
    expired.clear();  // closes them
  }
}

}  // namespace zurvafun::serve

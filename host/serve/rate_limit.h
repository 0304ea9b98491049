// A limit on the requests that one client address makes to some pages (the
// login handler, so that passwords cannot be guessed at full speed): each
// address has a bucket of `requests` tokens that refills evenly over
// `perSeconds`; a request takes one, and a request that finds none is
// refused (the host answers 429). Thread-safe.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/serve/config.h"

namespace zurvafun::serve {

class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  // `maxClients`: addresses tracked at most; when they are all tracked,
  // those whose buckets are full again are forgotten first.
  explicit RateLimiter(const RateLimit& limit, std::size_t maxClients = 100000);

  // Whether requests to the site path `path` are limited (any case).
  bool covers(std::string_view path) const;
  // Takes one request of `client` at `now`: 0 when it may go on, else the
  // whole seconds until it may try again (at least 1).
  int take(std::string_view client, Clock::time_point now = Clock::now());

 private:
  struct Bucket {
    double tokens;
    Clock::time_point updated;
  };
  void forgetFull(Clock::time_point now);  // callers hold mutex_

  std::unordered_set<std::string> paths_;  // lower case
  double capacity_;
  double perSecond_;  // tokens regained per second
  std::size_t maxClients_;
  std::mutex mutex_;
  std::unordered_map<std::string, Bucket> buckets_;
};

}  // namespace zurvafun::serve

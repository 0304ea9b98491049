#include "host/serve/rate_limit.h"

#include <algorithm>
#include <cmath>

#include "host/collection.h"

namespace zurvafun::serve {

RateLimiter::RateLimiter(const RateLimit& limit, std::size_t maxClients)
    : capacity_(limit.requests),
      perSecond_(limit.requests / limit.perSeconds),
      maxClients_(std::max<std::size_t>(maxClients, 1)) {
  for (const std::string& path : limit.paths) paths_.insert(host::lowerKey(path));
}

bool RateLimiter::covers(std::string_view path) const {
  return !paths_.empty() && paths_.count(host::lowerKey(path)) > 0;
}

int RateLimiter::take(std::string_view client, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  auto it = buckets_.find(std::string(client));
  if (it == buckets_.end()) {
    if (buckets_.size() >= maxClients_) forgetFull(now);
    it = buckets_.emplace(std::string(client), Bucket{capacity_, now}).first;
  }
  Bucket& b = it->second;
  const double elapsed = std::chrono::duration<double>(now - b.updated).count();
  if (elapsed > 0) {
    b.tokens = std::min(capacity_, b.tokens + elapsed * perSecond_);
    b.updated = now;
  }
  if (b.tokens >= 1) {
    b.tokens -= 1;
    return 0;
  }
  return std::max(1, static_cast<int>(std::ceil((1 - b.tokens) / perSecond_)));
}

void RateLimiter::forgetFull(Clock::time_point now) {
  std::erase_if(buckets_, [&](const auto& entry) {
    const Bucket& b = entry.second;
    return b.tokens + std::chrono::duration<double>(now - b.updated).count() * perSecond_ >= capacity_;
  });
  // Every address is still busy: the oldest half goes, so the table stays bounded.
  if (buckets_.size() >= maxClients_) {
    std::vector<std::pair<Clock::time_point, std::string>> ages;
    ages.reserve(buckets_.size());
    for (const auto& [client, b] : buckets_) ages.emplace_back(b.updated, client);
    std::nth_element(ages.begin(), ages.begin() + static_cast<long>(ages.size() / 2), ages.end());
    for (size_t i = 0; i <= ages.size() / 2 && i < ages.size(); ++i) buckets_.erase(ages[i].second);
  }
}

}  // namespace zurvafun::serve

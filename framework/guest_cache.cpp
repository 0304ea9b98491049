#include "framework/guest_cache.h"

#include <mutex>

namespace zurvafun {

bool GuestCache::Pieces::contains(const std::string& key) const {
  std::shared_lock lock(mutex_);
  return pieces_.contains(key);
}

bool GuestCache::Pieces::appendTo(const std::string& key, std::string& out) const {
  std::shared_lock lock(mutex_);
  const auto found = pieces_.find(key);
  if (found == pieces_.end()) return false;
  out += found->second;
  return true;
}

void GuestCache::Pieces::put(const std::string& key, std::string piece) const {
  std::unique_lock lock(mutex_);
  if (pieces_.size() >= most_) pieces_.clear();
  pieces_[key] = std::move(piece);
}

std::shared_ptr<const GuestCache::Pieces> GuestCache::under(const GuestStamp& stamp) {
  if (fromMemberRows_ && !stamp.members) return nullptr;
  std::shared_ptr<const Pieces> kept = copy_.get();
  if (kept && kept->stamp() == stamp) return kept;
  // Pieces of member rows older than those the cache was made from are not kept.
  if (kept && stamp.members && kept->stamp().members && kept->stamp().database == stamp.database &&
      kept->stamp().members->atOrAfter(*stamp.members) &&
      kept->stamp().members->version > stamp.members->version)
    return nullptr;
  auto fresh = std::make_shared<const Pieces>(stamp, most_);
  copy_.set(fresh);
  return fresh;
}

}  // namespace zurvafun

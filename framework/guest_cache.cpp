#include "framework/guest_cache.h"

#include <mutex>
#include <vector>

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

namespace {

// The versions of every cache's copies, so that a version names one copy of
// one cache (a cache made where another was gone shares none of its versions).
std::atomic<std::uint64_t> gLastVersion{0};

// This thread's handles on the caches' pieces, each as of a version.
struct HeldPieces {
  const GuestCache* cache;
  std::uint64_t version;
  std::shared_ptr<const GuestCache::Pieces> pieces;
};
thread_local std::vector<HeldPieces> tHeld;

}  // namespace

GuestCache::GuestCache(std::size_t most, bool fromMemberRows)
    : most_(most), fromMemberRows_(fromMemberRows), version_(++gLastVersion) {}

std::shared_ptr<const GuestCache::Pieces> GuestCache::current() const {
  // The version is read before the copy, which is replaced before its
  // version: a handle is never older than the version it is kept with.
  const std::uint64_t version = version_.load(std::memory_order_acquire);
  for (HeldPieces& held : tHeld) {
    if (held.cache != this) continue;
    if (held.version != version) {
      std::shared_ptr<const Pieces> copy = copy_.get();
      held = {this, version, copy ? ownHandle(std::move(copy)) : nullptr};
    }
    return held.pieces;
  }
  std::shared_ptr<const Pieces> copy = copy_.get();
  tHeld.push_back({this, version, copy ? ownHandle(std::move(copy)) : nullptr});
  return tHeld.back().pieces;
}

void GuestCache::replace(std::shared_ptr<const Pieces> pieces) {
  copy_.set(std::move(pieces));
  version_.store(++gLastVersion, std::memory_order_release);
}

std::shared_ptr<const GuestCache::Pieces> GuestCache::under(const GuestStamp& stamp) {
  if (fromMemberRows_ && !stamp.members) return nullptr;
  std::shared_ptr<const Pieces> kept = current();
  if (kept && kept->stamp() == stamp) return kept;
  // Pieces of member rows older than those the cache was made from are not kept.
  if (kept && stamp.members && kept->stamp().members && kept->stamp().database == stamp.database &&
      kept->stamp().members->atOrAfter(*stamp.members) &&
      kept->stamp().members->version > stamp.members->version)
    return nullptr;
  auto fresh = std::make_shared<const Pieces>(stamp, most_);
  replace(fresh);
  return fresh;
}

}  // namespace zurvafun

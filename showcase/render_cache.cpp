#include "showcase/render_cache.h"

#include "framework/shared_copy.h"

namespace zurvafun::showcase {

namespace {

// Cards kept at most in each cache (a few megabytes): enough for every entry
// of a showcase list of a few hundred in each layout; past that, the cache
// starts over.
constexpr std::size_t kMostCards = 1024;

SharedCopy<CardCache>& cache(CardSource source) {
  static SharedCopy<CardCache> caches[2];
  return caches[source == CardSource::Database ? 0 : 1];
}

}  // namespace

bool CardCache::contains(const std::string& key) const {
  std::shared_lock lock(mutex_);
  return cards_.contains(key);
}

bool CardCache::appendTo(const std::string& key, std::string& out) const {
  std::shared_lock lock(mutex_);
  const auto found = cards_.find(key);
  if (found == cards_.end()) return false;
  out += found->second;
  return true;
}

void CardCache::put(const std::string& key, std::string html) const {
  std::unique_lock lock(mutex_);
  if (cards_.size() >= kMostCards) cards_.clear();
  cards_[key] = std::move(html);
}

std::shared_ptr<const CardCache> guestCards(CardSource source, const CardStamp& stamp) {
  if (source == CardSource::Database && !stamp.members) return nullptr;
  SharedCopy<CardCache>& copy = cache(source);
  std::shared_ptr<const CardCache> kept = copy.get();
  if (kept && kept->stamp() == stamp) return kept;
  // Cards of member rows older than those the cache was made from are not kept.
  const std::optional<member_changes::Stamp>& keptMembers =
      kept ? kept->stamp().members : std::nullopt;
  if (keptMembers && stamp.members && kept->stamp().database == stamp.database &&
      keptMembers->atOrAfter(*stamp.members) && keptMembers->version > stamp.members->version)
    return nullptr;
  auto fresh = std::make_shared<const CardCache>(stamp);
  copy.set(fresh);
  return fresh;
}

void clearGuestCards() {
  cache(CardSource::Database).clear();
  cache(CardSource::List).clear();
}

}  // namespace zurvafun::showcase

// The cards rendered for guests, kept by the process between calls for as
// long as nothing they were made from has changed: a guest's card depends
// only on the member rows (framework/member_changes.h), the site settings and
// the year, not on who asks. One cache for cards made from the database's
// rows too and one for cards made from the showcase list alone, for the life
// of the process; a stamp other than the one a cache's cards were made under
// starts that cache afresh.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "framework/member_changes.h"
#include "framework/site_settings.h"

namespace zurvafun::showcase {

// Everything a guest's card is made from besides its own key.
struct CardStamp {
  std::string database;  // the database file
  // Where the member rows stood (cards made from the showcase list alone: none).
  std::optional<member_changes::Stamp> members;
  std::shared_ptr<const SiteSettings> settings;  // held, so that its address is never reused
  int year = 0;
  bool operator==(const CardStamp& other) const {
    return database == other.database && members == other.members && settings == other.settings &&
           year == other.year;
  }
};

// What a card is made from: the database's rows too, or the showcase list only.
enum class CardSource { Database, List };

// Rendered cards by key, for one stamp; any thread may read and add (adding
// a card changes nothing a reader relies on, so it is const).
class CardCache {
 public:
  explicit CardCache(CardStamp stamp) : stamp_(std::move(stamp)) {}
  const CardStamp& stamp() const { return stamp_; }

  bool contains(const std::string& key) const;
  // Appends the card of `key` to `out`; false when there is none.
  bool appendTo(const std::string& key, std::string& out) const;
  void put(const std::string& key, std::string html) const;

 private:
  const CardStamp stamp_;
  mutable std::shared_mutex mutex_;
  mutable std::unordered_map<std::string, std::string> cards_;
};

// The process's cache for guest cards of `source` made under `stamp`;
// nullptr when cards made now are not to be kept: the database keeps no
// record of member changes, or the page read the member rows at an earlier
// stamp than the cache's.
std::shared_ptr<const CardCache> guestCards(CardSource source, const CardStamp& stamp);

// Drops the cards of both caches (tests).
void clearGuestCards();

}  // namespace zurvafun::showcase

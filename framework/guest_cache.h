// What guests are shown, kept by the process between pages for as long as
// nothing it was made from has changed: a guest's card or list depends only
// on the member rows (framework/data_versions.h), the site settings and the
// year, not on who asks. A GuestCache holds the pieces made under one stamp;
// a page that brings another stamp starts it afresh (one made from member
// rows older than the cache's is not kept). Any thread may read and add.
//
//   GuestCache& cards = ...;  // one owner for the process
//   if (auto kept = cards.under(stamp); kept && !kept->appendTo(key, out)) {
//     std::string card = make();
//     out += card;
//     kept->put(key, std::move(card));
//   }
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>

#include "framework/data_versions.h"
#include "framework/shared_copy.h"
#include "framework/site_settings.h"

namespace zurvafun {

// Everything a guest's piece is made from besides its own key.
struct GuestStamp {
  std::string database;  // the database file
  // Where the member rows stood; pieces made from other data alone leave it out.
  std::optional<data_versions::Stamp> members;
  std::shared_ptr<const SiteSettings> settings;  // held, so that its address is never reused
  int year = 0;
  bool operator==(const GuestStamp& other) const {
    return database == other.database && members == other.members &&
           settings.get() == other.settings.get() && year == other.year;
  }
};

class GuestCache {
 public:
  // The pieces made under one stamp, by key. Adding a piece changes nothing
  // a reader relies on, so it is const.
  class Pieces {
   public:
    Pieces(GuestStamp stamp, std::size_t most) : stamp_(std::move(stamp)), most_(most) {}
    const GuestStamp& stamp() const { return stamp_; }
    bool contains(const std::string& key) const;
    // Appends the piece of `key` to `out`; false when there is none.
    bool appendTo(const std::string& key, std::string& out) const;
    // Keeps `piece` under `key`; past the most pieces, the cache starts over.
    void put(const std::string& key, std::string piece) const;

   private:
    const GuestStamp stamp_;
    const std::size_t most_;
    mutable std::shared_mutex mutex_;
    mutable std::unordered_map<std::string, std::string> pieces_;
  };

  // Keeps at most `most` pieces, made from member rows or not.
  GuestCache(std::size_t most, bool fromMemberRows);

  // The pieces made under `stamp`; nullptr when pieces made now are not to
  // be kept: they are made from member rows and the database keeps no
  // record of their changes, or the rows were read at an earlier stamp than
  // the cache's.
  std::shared_ptr<const Pieces> under(const GuestStamp& stamp);

  // Drops every piece (kept::clearAll()).
  void clear() { replace(nullptr); }

 private:
  // The current pieces, through this thread's own handle on them: a thread
  // reads the shared copy only after it changed, so that the threads do not
  // all count references on one counter.
  std::shared_ptr<const Pieces> current() const;
  void replace(std::shared_ptr<const Pieces> pieces);

  const std::size_t most_;
  const bool fromMemberRows_;
  SharedCopy<Pieces> copy_;
  // Changes with every replacement of the copy; no two caches ever share one.
  std::atomic<std::uint64_t> version_;
};

}  // namespace zurvafun

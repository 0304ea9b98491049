#include "showcase/guest_cards.h"

#include "framework/process_caches.h"

namespace zurvafun::showcase {

namespace {

// A cache of at most `most` cards, dropped by process_caches::clearAll().
template <GuestCache& (*Owner)()>
GuestCache& made(std::size_t most, bool fromMemberRows) {
  static GuestCache cards(most, fromMemberRows);
  static const bool added = (process_caches::add([] { Owner().clear(); }), true);
  (void)added;
  return cards;
}

}  // namespace

// Cards kept at most of each kind (a few megabytes each): every entry of a
// showcase list of a few thousand in the layouts the site shows; past that a
// cache starts over.
GuestCache& galleryCards() { return made<galleryCards>(4096, true); }
GuestCache& largeCards() { return made<largeCards>(4096, true); }
GuestCache& compactCards() { return made<compactCards>(8192, false); }

}  // namespace zurvafun::showcase

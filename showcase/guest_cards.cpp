#include "showcase/guest_cards.h"

#include "runtime/kept.h"

namespace zurvafun::showcase {

// Cards kept at most of each kind (a few megabytes each): every entry of a
// showcase list of a few thousand in the layouts the site shows; past that a
// cache starts over.
GuestCache& galleryCards() {
  static kept::InProcess<GuestCache> cards(4096, true);
  return cards;
}

GuestCache& largeCards() {
  static kept::InProcess<GuestCache> cards(4096, true);
  return cards;
}

GuestCache& compactCards() {
  static kept::InProcess<GuestCache> cards(8192, false);
  return cards;
}

}  // namespace zurvafun::showcase

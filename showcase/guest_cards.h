// The cards the showcase and the galleries show guests, one cache of each
// kind for the life of the process (framework/guest_cache.h).
#pragma once

#include "framework/guest_cache.h"

namespace zurvafun::showcase {

// The gallery's cards (made from member rows).
GuestCache& galleryCards();
// The showcase's large cards (made from member rows too) and compact cards
// (made from the showcase list alone).
GuestCache& largeCards();
GuestCache& compactCards();

}  // namespace zurvafun::showcase

// What the demo site's interaction pages share beyond site/site_page.h.
#pragma once

#include <cstdint>
#include <optional>

#include "host/serve/pages.h"
#include "site/pages.h"
#include "site/site_page.h"

namespace zurvafun::site::interaction_pages {

// A whole number from a request value, or std::nullopt.
std::optional<std::int32_t> numberOf(const Variant& value);

// Registers the party pages (pages_party.cpp).
void registerPartyPages(serve::PageRegistry& pages);

// The party panel's photo pages, which it links under the names of the
// member's photo pages with the party's number ("upload.asp?partyid=N",
// "userphoto.asp?partyid=N"): the upload, and the frame of the photos.
void partyPhotoUpload(serve::PageContext& p);
void partyPhotos(serve::PageContext& p);

}  // namespace zurvafun::site::interaction_pages

// Parts of the site's pages that are the same for every guest and are made
// from member rows, kept by the process for as long as the member rows, the
// site settings and the year they were made from stand
// (framework/guest_cache.h): the newest members of the home and city pages.
// One cache for the life of the process.
#pragma once

#include <functional>
#include <string>

#include "framework/guest_cache.h"
#include "host/serve/pages.h"

namespace zurvafun::site {

GuestCache& guestFragments();

// The fragment `key` for the visitor of `p`: for a guest (no member logged
// in) the kept one, made by `make` and kept when there is none; for anyone else
// made by `make` each time. `make` is to read nothing but member rows, the
// site settings and the clock's year, and the request values in `key`.
std::string guestFragment(serve::PageContext& p, const std::string& key,
                          const std::function<std::string()>& make);

}  // namespace zurvafun::site

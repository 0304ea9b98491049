// The demo site's pages, as zurva-serve runs them (see host/serve/pages.h).
// Each group of pages has its own file and registration function; the
// groups' pages list their entry links on the home page.
#pragma once

#include "host/serve/pages.h"

namespace zurvafun::site {

// Registers every page of the demo site.
void registerPages(serve::PageRegistry& pages);

// The home page "/index.asp" (also "/" and "/index.html"): what the site
// offers, with the demo accounts.
void registerHomePage(serve::PageRegistry& pages);

}  // namespace zurvafun::site

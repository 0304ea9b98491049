// The site's two link shapes as class zurva writes them. The reading of a
// static link back into the dynamic form is the HTTP host's, which sits below
// the component: see host/links.h.
#pragma once

#include <string>
#include <string_view>

#include "framework/html.h"
#include "host/links.h"

namespace zurvafun {

// The site's own host name: showsqlurl gives an empty text for exactly this text.
inline constexpr std::string_view kSiteHostName = "www.zurvafun.com";

class zurva;

// A link of the site in the shape of its URL mode (showurl), as page HTML
// that is not escaped: the component's own output, which goes into a
// fragment as it stands. Give it only targets the component wrote.
html::Html unescapedSiteLink(zurva& z, std::string target);

}  // namespace zurvafun

// The site's two link shapes as class zurva writes them. The reading of a
// static link back into the dynamic form is the HTTP host's, which sits below
// the component: see host/links.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// The site links of one shape, `before` + number + `after`, for many numbers
// (a list writes the same links for every member it shows): showurl runs once
// on the shape with a marker in the number's place, and each number's link is
// that result with the number put in. No text that showurl looks for holds a
// digit, so a run of digits passes wherever the marker passes, unchanged. Any
// other value, or a shape whose link does not carry the marker exactly once
// (a broken URL mode setting gives empty links), gets a showurl call of its
// own, so what it writes and logs stays that call's.
class SiteLinkShape {
 public:
  SiteLinkShape(zurva& z, std::string before, std::string after);
  html::Html operator()(std::string_view number) const;

 private:
  zurva* z_;
  std::string before_;
  std::string after_;
  std::optional<std::pair<std::string, std::string>>
      around_;  // the link before and after the number
};

}  // namespace zurvafun

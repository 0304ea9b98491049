// A link of the site written in its link mode (showurl), as page HTML.
#pragma once

#include <string>
#include <utility>

#include "framework/html.h"
#include "framework/zurva.h"

namespace zurvafun::interaction {

inline html::Html siteLink(zurva& z, std::string target) {
  Variant url = std::move(target);
  return html::trusted(z.showurl(url));
}

}  // namespace zurvafun::interaction

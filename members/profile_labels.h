// What the profile panel and the member card show for two items of the
// member record beyond the code tables' labels (model/code_tables.h, where
// every code's label is looked up): the constellation's image and the looks
// self-rating.
#pragma once

#include <string>
#include <string_view>

#include "model/code_tables.h"

namespace zurvafun::members {

// The image number (1 to 12) of a constellation name, in the order of the
// images z1.gif to z12.gif; 0 for any other text.
inline int constellationNumber(std::string_view name) {
  for (std::size_t i = 0; i < codes::kConstellation.size(); ++i)
    if (codes::kConstellation[i].code == name) return int(i) + 1;
  return 0;
}

// The looks rating as the panel and the card show it: codes::looksLabel,
// except that an empty item gives "分".
inline std::string looksText(std::string_view looks) {
  return looks.empty() ? "分" : codes::looksLabel(looks);
}

}  // namespace zurvafun::members

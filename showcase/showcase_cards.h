// The member cards of the showcase widget: the large card (photo, profile
// facts, self-introduction and the action row) and the compact card (photo
// and seven short lines), the latter in a vertical and a horizontal layout.
#pragma once

#include <string>

#include "runtime/variant.h"
#include "showcase/card_parts.h"
#include "showcase/showcase_list.h"

namespace zurvafun::showcase {

// Appends the large card of `entry` to `out`; a member whose row is gone gets
// no card. `width` is the card table's width, `width` and `height` the photo's.
void appendLargeCard(zurva& z, db::Connection& conn, const CardViewer& viewer,
                     const ShowcaseEntry& entry, const Variant& width, const Variant& height,
                     std::string& out);

enum class Layout { Vertical, Horizontal };

// Appends the compact card of `entry` to `out`: a table of its own followed by
// a spacer table (vertical), or a 200-pixel cell followed by a 10-pixel cell
// (horizontal). `width` and `height` are the photo's.
void appendCompactCard(zurva& z, db::Connection& conn, const CardViewer& viewer,
                       const ShowcaseEntry& entry, Layout layout, const Variant& width,
                       const Variant& height, std::string& out);

}  // namespace zurvafun::showcase

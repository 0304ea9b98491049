// The small member card of the home and city gallery: head photo, nickname,
// grade badge, verification level, photo count, profile facts, looks and the
// start of the self-introduction. A card asked for after the last member is
// written as its empty frame.
#pragma once

#include <string>

#include "runtime/variant.h"
#include "showcase/card_parts.h"

namespace zurvafun::db {
class Recordset;
}

namespace zurvafun::showcase {

// The columns a gallery card reads, in the order of the gallery's select.
inline constexpr const char* kGalleryColumns =
    "userid,smallphoto,nickname,grade,trust,photo,sex,userdata,field,height_,weight_,aboutus,ifphotolook";

// One member of the gallery, read from a row of that select.
struct GalleryMember {
  Variant userid, smallphoto, nickname, grade, trust, photo, sex, userdata, field, height, weight, aboutus,
      ifphotolook;
  static GalleryMember read(const db::Recordset& row);
};

enum class Side { Left, Right };

// Appends the card of `member` (nullptr: the empty frame) to `out`; `width`
// and `height` go to the photo's DrawImage call.
void appendGalleryCard(zurva& z, db::Connection& conn, const CardViewer& viewer,
                       const GalleryMember* member, Side side, const Variant& width,
                       const Variant& height, std::string& out);

}  // namespace zurvafun::showcase

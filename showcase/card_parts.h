// What the showcase cards and the gallery cards share: the viewer, the friend
// test, the head-photo cell, the age, the places of userdata and the cut
// self-introduction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/viewer.h"
#include "model/member_record.h"
#include "runtime/variant.h"

namespace zurvafun {
class zurva;
namespace db {
class Connection;
}
}  // namespace zurvafun

namespace zurvafun::showcase {

// The viewer as the member cookie describes him.
struct CardViewer {
  bool guest = true;     // the cookie's username is empty after trimming blanks
  std::int32_t id = 0;   // his member number; 0 for a guest or a number that cannot be read
  Variant grade;         // the cookie's grade as written
};
CardViewer cardViewer(const Viewer& viewer);

// 1 when the viewer passes the friends-only rule of the member's photo: a
// friendship row in either direction that is accepted, or any row when the
// photo is not friends-only (visibility 3); the member himself always passes.
// 0 for a guest (id 0), who has no friends.
int friendFlag(db::Connection& conn, std::int32_t member, std::int32_t viewer,
               std::optional<std::int32_t> visibility);

// The head-photo image of a card: the guest rule for a guest, the member rule
// (grade and friendship) for a member, and the photo itself (or the no-photo
// picture while it awaits approval) for the member's own card.
Variant headPhoto(zurva& z, const CardViewer& viewer, std::int32_t member, const Variant& photo,
                  const Variant& visibility, int iffriend, const Variant& sex, const Variant& width,
                  const Variant& height);
// Whether a head-photo image shows the approved photo itself (rather than a
// placeholder for privacy or a missing photo).
bool showsThePhoto(const Variant& image);

// The age in years: the current year minus the birth year, the first four
// characters of userdata; "" when those are not a year.
std::string ageText(std::string_view userdata);

// A place of userdata as stored: "province-city" ("" when both are empty).
std::string placeText(const member::Place& place);

// The self-introduction as the cards show it: HTML-encoded, line breaks as two
// blanks, trimmed, bad words starred out, cut to `length` characters with
// "..." when longer. Null gives "".
std::string introText(zurva& z, const Variant& aboutus, int length);

// The profile link "id_<token>_por.html" in the site's link mode.
std::string profileLink(zurva& z, std::int32_t member);

}  // namespace zurvafun::showcase

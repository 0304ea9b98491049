// The large member card: one member of a list with his head photo (by his
// photo privacy, the friendship and the viewer's grade), nickname, grade
// badge, trust level, a few facts, the start of the self-introduction and
// five actions. Every list that draws members as large cards writes it
// through appendMemberCard.
//
// Each card opens a 90%-wide frame table that it leaves open; the list
// closes the last one after its paging bar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/zurva.h"

namespace zurvafun::members {

// The viewer as the card sees him: his member number (none for a guest, who
// then is nobody's friend) and his grade as the member cookie holds it
// (Empty for a guest).
struct CardViewer {
  std::optional<std::int32_t> id;
  Variant grade;
};

// Appends the card of the member on the current row of `row` (a row of
// zurva_user holding at least userid, nickname, grade, trust, sex, userdata,
// field, height_, weight_, aboutus, smallphoto and ifphotolook). `conn` is
// the list's connection, used for the friendship test of the photo cell.
void appendMemberCard(std::string& out, zurva& z, db::Connection& conn, const db::Recordset& row,
                      const CardViewer& viewer);

}  // namespace zurvafun::members

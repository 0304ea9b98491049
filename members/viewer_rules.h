// What the member pages need to know about the viewer beside his cookie: the
// site's free-access switch (element 25 of zurva_base_info), where 1 lets
// ordinary members see what gold and silver members see, and whether he is
// an accepted friend of a member. The pages compare the switch as a number;
// a missing, empty or malformed element reads as 0 (closed), so a broken
// setting never opens anything nor takes a page down.
#pragma once

#include <cstdint>

#include "db/db.h"
#include "framework/sql.h"
#include "host/host.h"

namespace zurvafun::members {

double freeAccessSwitch(const host::Application& application);

// Whether an accepted friendship (ifok=1) joins the two members, whichever
// of them asked.
bool acceptedFriends(db::Connection& conn, std::int32_t member, std::int32_t viewer);
// The select acceptedFriends reads.
sql::Statement acceptedFriendsSelect(std::int32_t member, std::int32_t viewer);

}  // namespace zurvafun::members

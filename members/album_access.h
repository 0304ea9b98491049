// Who may open a member's album, in the grid and photo by photo: the
// member's album privacy (ifphotolook) decides, on the server, for every
// way in (the grid's links, a typed address of the single-photo viewer).
//
//   2  gold and silver members only: refused to guests and to grades below
//      2, unless the site's free-access switch is on;
//   3  friends only: refused to anybody without an accepted friendship
//      (either direction) with the member;
//   any other value: open to everybody.
// The member himself always sees his own album; grades of 10 and above pass
// both rules.
#pragma once

#include <cstdint>
#include <optional>

#include "db/db.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"

namespace zurvafun::members {

enum class AlbumAccess { Open, Refused, NoMember };

// The select of a member's album privacy that the check reads.
sql::Statement privacySelect(std::int32_t memberId);

AlbumAccess albumAccess(db::Connection& conn, std::int32_t memberId, const Viewer& viewer, double freeAccess);
// The same rule for a member whose privacy (ifphotolook) the caller has read.
bool albumOpenTo(db::Connection& conn, std::int32_t memberId, const Variant& privacy,
                 const Viewer& viewer, double freeAccess);

// The album check of the grid and the single-photo viewer: a refused viewer
// gets "非法操作！" and a member number without a member "请求错误！" through
// Msg, which ends the request; an open album returns.
void requireAlbumAccess(zurva& z, db::Connection& conn, std::int32_t memberId, const Viewer& viewer,
                        double freeAccess);

// The member number of an album link's id: a plain whole number, or the
// encoded id that idasc makes for the links (checked against its digest).
std::optional<std::int32_t> albumMemberId(zurva& z, const Variant& id);

}  // namespace zurvafun::members

#include "members/album_access.h"

#include <exception>
#include <string>

#include "framework/numbers.h"
#include "framework/sql.h"
#include "members/viewer_rules.h"
#include "runtime/text.h"

namespace zurvafun::members {

sql::Statement privacySelect(std::int32_t memberId) {
  return sql::statement("select ifphotolook from zurva_user where userid = {}", memberId);
}

AlbumAccess albumAccess(db::Connection& conn, std::int32_t memberId, const Viewer& viewer, double freeAccess) {
  db::Recordset row = conn.Execute(privacySelect(memberId));
  if (row.eof()) return AlbumAccess::NoMember;
  return albumOpenTo(conn, memberId, row(0), viewer, freeAccess) ? AlbumAccess::Open
                                                                 : AlbumAccess::Refused;
}

bool albumOpenTo(db::Connection& conn, std::int32_t memberId, const Variant& privacy,
                 const Viewer& viewer, double freeAccess) {
  bool hasId = false;
  std::int32_t viewerId = 0;
  if (viewer.isMember()) {
    if (const std::optional<std::int32_t> number = viewer.memberNumber()) {
      hasId = true;
      viewerId = *number;
    }
  }
  const double grade = viewer.isMember() ? viewer.grade() : 0;
  if ((hasId && viewerId == memberId) || grade >= 10) return true;
  if (eq(privacy, 2)) return grade >= 2 || freeAccess != 0;
  if (eq(privacy, 3)) return hasId && acceptedFriends(conn, memberId, viewerId);
  return true;
}

void requireAlbumAccess(zurva& z, db::Connection& conn, std::int32_t memberId, const Viewer& viewer,
                        double freeAccess) {
  switch (albumAccess(conn, memberId, viewer, freeAccess)) {
    case AlbumAccess::Open: break;
    case AlbumAccess::Refused: z.Msg("非法操作！", "-2", 2); break;
    case AlbumAccess::NoMember: z.Msg("请求错误！", "-1", 1); break;
  }
}

std::optional<std::int32_t> albumMemberId(zurva& z, const Variant& id) {
  if (const std::optional<std::int32_t> number = numbers::digits(id)) return number;
  const std::string token = id.str();
  const long mark = InStr(token, "S");
  if (mark <= 1) return std::nullopt;
  try {
    const std::optional<std::int32_t> number = numbers::digits(z.idchar(Left(token, mark - 1)));
    if (number && z.idasc(*number).str() == token) return number;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

}  // namespace zurvafun::members

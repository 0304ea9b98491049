// One member of the search result list: head photo by the member's photo
// privacy and the friendship with the viewer, nickname, badges, facts, the
// self-introduction and the five action links.
#pragma once

#include <cstdint>
#include <string>

#include "framework/links.h"
#include "runtime/variant.h"

namespace zurvafun {
class zurva;
}
namespace zurvafun::db {
class Connection;
class Recordset;
}  // namespace zurvafun::db

namespace zurvafun::search {

// Who looks at the list: the member number (0 for an administrator without a
// member login) and the grade as the member cookie holds it.
struct ListViewer {
  std::int32_t id = 0;
  Variant grade;
};

// The links of the rows of one page: two that every row shows and the shapes
// of the member's own ones, made once for all of the page's rows.
struct RowLinks {
  explicit RowLinks(zurva& z);
  html::Html upgrade, verify;
  SiteLinkShape message, friendship, wink, favourite, hide;
};

// Appends to `out` the row of the current record of `rs`. The friend test
// runs on `conn`.
void appendMemberRow(std::string& out, zurva& z, db::Connection& conn, const db::Recordset& rs,
                     const ListViewer& viewer, const RowLinks& links, const Variant& width,
                     const Variant& height);

// 1 when the viewer may pass the friends-only photo rule of the member: a
// Friends row joins the two in either direction and is not a refused one of
// a member who keeps his photo for friends.
int friendFlag(db::Connection& conn, std::int32_t memberId, std::int32_t viewerId, const Variant& ifphotolook);

}  // namespace zurvafun::search

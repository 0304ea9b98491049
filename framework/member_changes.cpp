#include "framework/member_changes.h"

#include <algorithm>

#include "db/db.h"
#include "framework/sql.h"
#include "runtime/error.h"

namespace zurvafun::member_changes {

namespace {

std::int64_t whole(const Variant& v) { return static_cast<std::int64_t>(CDbl(v)); }

}  // namespace

std::optional<Stamp> current(db::Connection& conn) {
  try {
    Stamp stamp;
    int found = 0;
    for (db::Recordset rs = conn.Execute(
             "select name,version from zurva_versions where name in ('database','members')");
         !rs.eof(); rs.MoveNext()) {
      (eq(rs(0), "database") ? stamp.database : stamp.version) = whole(rs(1));
      ++found;
    }
    if (found == 2) return stamp;
  } catch (const VbError&) {
    // No such table: a database made before the record existed.
  }
  return std::nullopt;
}

std::optional<std::vector<std::int32_t>> changed(db::Connection& conn, const Stamp& from,
                                                 const Stamp& to, std::size_t most) {
  if (!to.atOrAfter(from) || std::uint64_t(to.version - from.version) > most) return std::nullopt;
  std::vector<std::int32_t> ids;
  std::int64_t records = 0;
  try {
    for (db::Recordset rs = conn.Execute(sql::statement(
             "select version,userid from zurva_member_changes where version>={} and version<={}",
             from.version, to.version));
         !rs.eof(); rs.MoveNext()) {
      ++records;
      if (whole(rs(0)) != from.version) ids.push_back(static_cast<std::int32_t>(whole(rs(1))));
    }
  } catch (const VbError&) {
    return std::nullopt;
  }
  // The versions run without a gap: a record missing means it was pruned.
  if (records != to.version - from.version + 1) return std::nullopt;
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

}  // namespace zurvafun::member_changes

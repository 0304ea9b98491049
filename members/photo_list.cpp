#include "members/photo_list.h"

#include <exception>
#include <optional>

#include "framework/sql.h"
#include "model/member_record.h"
#include "runtime/text.h"

namespace zurvafun::members {

std::vector<std::string> approvedEntries(std::string_view photoList) {
  std::vector<std::string> approved;
  for (std::string& entry : member::readPhotoList(photoList))
    if (Right(entry, 1) == "1") approved.push_back(std::move(entry));
  return approved;
}

std::string managerUploadDate(std::string_view entry) {
  const long first = InStr(entry, "_");
  if (first == 0) return "";
  long fourth = first;
  for (int i = 0; i < 3 && fourth > 0; ++i) fourth = InStr(fourth + 1, entry, "_");
  if (fourth == 0) return "";
  return Replace(Mid(entry, first + 1, fourth - first - 1), "_", "-");
}

std::string albumUploadDate(std::string_view entry) {
  const std::vector<std::string> fields = Split(entry, "_");
  if (fields.size() < 4) return "";
  const std::size_t last = fields.size() - 1;
  return fields[last - 3] + "-" + fields[last - 2] + "-" + fields[last - 1];
}

namespace {

// Field 0 of the first row of a select; std::nullopt when the statement
// fails or gives no row (the callers skip a failing statement).
std::optional<Variant> firstValue(db::Connection& conn, const sql::Statement& statement) {
  try {
    db::Recordset rs = conn.Execute(statement);
    if (rs.eof()) return std::nullopt;
    return rs(0);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

void recountTrust(db::Connection& conn, long userid) {
  const std::optional<Variant> ok = firstValue(conn, sql::statement("select ok from zurva_user where userid={}", userid));
  if (!ok) return;  // no member: nothing to rewrite
  if (ok->isNull()) return;  // the sum would be Null: the trust stays
  Variant trust = *ok;
  const sql::Statement counts[] = {
      sql::statement("select count(userid) from zurva_user where photo like 'photo%.jpg1%' and userid={}", userid),
      sql::statement("select count(userid) from zurva_user where sfphoto like 'photo%.jpg1' and userid={}", userid),
      sql::statement("select count(userid) from zurva_user where hyphoto like 'photo%.jpg1' and userid={}", userid),
      sql::statement("select count(userid) from zurva_user where srphoto like 'photo%.jpg1' and userid={}", userid),
      sql::statement("select count(userid) from zurva_user where xlphoto like 'photo%.jpg1' and userid={}", userid),
  };
  for (const sql::Statement& count : counts)
    if (const std::optional<Variant> n = firstValue(conn, count)) trust = trust + *n;
  try {
    conn.ExecuteAction(sql::statement("update zurva_user set trust={} where userid={}", sql::lng(trust), userid));
  } catch (const std::exception&) {
  }
}

void lowerTrustForHeadPhoto(db::Connection& conn, long userid) {
  conn.ExecuteAction(sql::statement("update zurva_user set trust=trust-1 where userid={} and trust>0", userid));
}

}  // namespace zurvafun::members

#include "site/profile_store.h"

#include <string_view>

#include "db/db.h"
#include "framework/member_logins.h"
#include "runtime/text.h"

namespace zurvafun::site {

std::optional<Row> memberRow(db::Connection& conn, long userid) {
  db::Recordset rs = conn.Execute("select * from zurva_user where userid=?", {Variant(userid)});
  if (rs.eof()) return std::nullopt;
  Row row;
  for (int i = 0; i < rs.fieldCount(); ++i) row[LCase(rs.fieldName(i))] = rs(i);
  return row;
}

namespace {

[[noreturn]] void reject(const std::string& what, int code = 0) {
  throw ProfileRejected(what, code);
}

// Refuses a value of `column` that another member than `userid` already has.
void requireUnique(db::Connection& conn, const char* column, const Variant& value, long userid, const char* message,
                   int errorCode) {
  const std::string sql = "select count(*) from zurva_user where " + std::string(column) + "=? and userid<>?";
  if (toNumber(conn.Execute(sql, {value, Variant(userid)})(0)) > 0) reject(message, errorCode);
}

void requireUniqueIdentity(db::Connection& conn, const Row& columns, long userid) {
  if (columns.contains("zurvauser"))
    requireUnique(conn, "zurvauser", columns.at("zurvauser"), userid, "注册邮箱重复！", 1);
  if (columns.contains("nickname")) requireUnique(conn, "nickname", columns.at("nickname"), userid, "昵称重复！", 2);
  if (columns.contains("idno")) requireUnique(conn, "idno", columns.at("idno"), userid, "身份证重复！", 3);
}

}  // namespace

void saveProfile(db::Connection& conn, long userid, const host::ValueCollection& form, Editor editor,
                 const std::string& digest) {
  const std::optional<Row> stored = memberRow(conn, userid);
  if (!stored) reject("没有这个会员");
  const Row columns = profileColumns(form, stored, editor, digest);
  requireUniqueIdentity(conn, columns, userid);
  std::string sql = "update zurva_user set ";
  std::vector<Variant> values;
  for (const auto& [column, value] : columns) {
    sql += (values.empty() ? "" : ",") + column + "=?";
    values.push_back(value);
  }
  values.push_back(Variant(userid));
  // A new password ends every login of the member made with the old one.
  conn.transaction([&] {
    conn.ExecuteAction(sql + " where userid=?", values);
    if (!digest.empty()) logins::endLogins(conn, std::int32_t(userid));
  });
}

long createMember(db::Connection& conn, const host::ValueCollection& form, const std::string& digest) {
  Row columns = profileColumns(form, std::nullopt, Editor::Registration, digest);
  columns["zurvauser"] = Trim(form("username").str());
  long userid = 0;
  conn.transaction([&] {
    requireUniqueIdentity(conn, columns, 0);
    userid = long(toNumber(conn.Execute("select isnull(max(userid),0)+1 from zurva_user")(0)));
    std::string names = "userid,ok,grade,trust,addtime", marks = "?,1,1,1,getdate()";
    std::vector<Variant> values{Variant(userid)};
    for (const auto& [column, value] : columns) {
      names += "," + column;
      marks += ",?";
      values.push_back(value);
    }
    conn.ExecuteAction("insert into zurva_user(" + names + ") values(" + marks + ")", values);
    // The forum knows every member by nickname.
    conn.ExecuteAction("insert into dv_user(username) values(?)", {columns.at("nickname")});
  });
  return userid;
}

}  // namespace zurvafun::site

#include "site/profile_store.h"

#include <stdexcept>
#include <string_view>

#include "db/db.h"
#include "framework/member_logins.h"
#include "framework/sql.h"
#include "model/member_columns.h"
#include "runtime/text.h"

namespace zurvafun::site {

std::optional<Row> memberRow(db::Connection& conn, long userid) {
  db::Recordset rs =
      conn.Execute(sql::statement("select * from zurva_user where userid={}", userid));
  if (rs.eof()) return std::nullopt;
  Row row;
  for (int i = 0; i < rs.fieldCount(); ++i) row[LCase(rs.fieldName(i))] = rs(i);
  return row;
}

namespace {

[[noreturn]] void reject(const std::string& what, int code = 0) {
  throw ProfileRejected(what, code);
}

// The member column of a profile row.
sql::ColumnName columnName(const std::string& name) {
  const member::Column* column = member::column(name);
  if (!column) throw std::logic_error("no member column " + name);
  return sql::ColumnName(*column);
}

// A stored value as a statement takes it: text between quotes, a whole
// number (the sex code) as it stands.
sql::Statement valueOf(const Variant& value) {
  if (value.isString()) return sql::statement("'{}'", sql::text(value));
  return sql::statement("{}", sql::lng(value));
}

// Refuses a value of `column` that another member than `userid` already has.
void requireUnique(db::Connection& conn, const char* column, const Row& columns, long userid,
                   const char* message, int errorCode) {
  const auto value = columns.find(column);
  if (value == columns.end()) return;
  const sql::Statement count =
      sql::statement("select count(*) from zurva_user where {}={} and userid<>{}",
                     columnName(column), valueOf(value->second), userid);
  if (toNumber(conn.Execute(count)(0)) > 0) reject(message, errorCode);
}

void requireUniqueIdentity(db::Connection& conn, const Row& columns, long userid) {
  requireUnique(conn, "zurvauser", columns, userid, "注册邮箱重复！", 1);
  requireUnique(conn, "nickname", columns, userid, "昵称重复！", 2);
  requireUnique(conn, "idno", columns, userid, "身份证重复！", 3);
}

}  // namespace

void saveProfile(db::Connection& conn, long userid, const host::ValueCollection& form, Editor editor,
                 const std::string& digest) {
  const std::optional<Row> stored = memberRow(conn, userid);
  if (!stored) reject("没有这个会员");
  const Row columns = profileColumns(form, stored, editor, digest);
  requireUniqueIdentity(conn, columns, userid);
  sql::Statement assignments;
  for (const auto& [column, value] : columns)
    assignments += assignments.str().empty()
                       ? sql::statement("{}={}", columnName(column), valueOf(value))
                       : sql::statement(",{}={}", columnName(column), valueOf(value));
  // A new password ends every login of the member made with the old one.
  conn.transaction([&] {
    conn.ExecuteAction(
        sql::statement("update zurva_user set {} where userid={}", assignments, userid));
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
    sql::Statement names, values;
    for (const auto& [column, value] : columns) {
      names += sql::statement(",{}", columnName(column));
      values += sql::statement(",{}", valueOf(value));
    }
    conn.ExecuteAction(sql::statement(
        "insert into zurva_user(userid,ok,grade,trust,addtime{}) values({},1,1,1,getdate(){})",
        names, userid, values));
    // The forum knows every member by nickname.
    conn.ExecuteAction(sql::statement("insert into dv_user(username) values('{}')",
                                      sql::text(columns.at("nickname"))));
  });
  return userid;
}

}  // namespace zurvafun::site

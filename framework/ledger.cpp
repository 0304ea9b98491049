// The love-coin ledger (table emoneymx) and the member cookie's copy of the
// e-money balance.
#include <cstdint>
#include <string>

#include "framework/ledger.h"

#include "db/db.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// A caller's number as it is pasted into a statement: converted, so that text
// which is not a number never reaches the database (error 13, as an empty
// value would break the statement).
void requireNumber(const Variant& v) {
  if (v.isEmpty() || !IsNumeric(v)) raise(err::TypeMismatch);
}

}  // namespace

void zurva::loveb_add(const Variant& str_a, const Variant& str_c, const Variant& str_d,
                      const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  logged([&] {
    const Viewer viewer(Request());
    if (!viewer.isMember() && !viewer.isAdministrator()) Msg("非法操作", "-2", 2);
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    // On this thread the connection shares the caller's database handle, so
    // the row joins the caller's transaction when it has one.
    trapOff([&] {
      requireNumber(str_a);
      requireNumber(str_c);
      conn.Execute(sql::statement(
          "insert into emoneymx(userID,b_count,b_history,b_time)values({},{},'{}','{}')",
          sql::lng(str_a), sql::money(str_c), sql::text(str_d), sql::text(Now())));
    });
  });
}

Variant zurva::emoneycookies(const Variant& SqlLocalName, const Variant& SqlUserName,
                             const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    const Viewer viewer(Request());
    resume([&] {
      if (!viewer.isMember()) Msg("非法操作", "-2", 2);
    });
    // A cookie without a member number, or of a member who is gone, belongs
    // to no member: the visitor is a guest, and has no balance.
    const std::optional<std::int32_t> userid = viewer.memberNumber();
    if (!userid) return;
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    db::Recordset balance = conn.Execute(ledger::balanceSelect(*userid));
    if (balance.eof()) return;
    result = balance(0);
    Response().Cookies(kMemberCookie)("emoney") = result;
  });
}

namespace ledger {

sql::Statement balanceSelect(std::int32_t userid) {
  return sql::statement("select emoney from zurva_user where userid={}", userid);
}

}  // namespace ledger

}  // namespace zurvafun

// The love-coin ledger (table emoneymx) and the member cookie's copy of the
// e-money balance.
#include <cstdint>
#include <string>

#include "db/db.h"
#include "framework/escape.h"
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
  db::Connection conn;
  bool opened = false;
  logged("1", "loveb_add", [&] {
    if (eq(Request().Cookies("kalimo")("username"), "") &&
        eq(Request().Cookies("zurva_admin")("admin_name"), ""))
      Msg("非法操作", "-2", 2);
    opened = openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
  });
  if (!opened) return;
  // From here on a run-time error goes to the page. On this thread the
  // connection shares the caller's database handle, so the row joins the
  // caller's transaction when it has one.
  requireNumber(str_a);
  requireNumber(str_c);
  conn.Execute("insert into emoneymx(userID,b_count,b_history,b_time)values(" +
               std::to_string(CLng(str_a)) + "," + CCur(str_c).str() + ",'" +
               sqlQuoted(str_d.str()) + "','" + Now().str() + "')");
}

Variant zurva::emoneycookies(const Variant& SqlLocalName, const Variant& SqlUserName,
                             const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  enter();
  resume([&] {
    if (eq(Request().Cookies("kalimo")("username"), "")) Msg("非法操作", "-2", 2);
  });
  const std::int32_t userid = CLng(Request().Cookies("kalimo")("userid"));
  db::Connection conn;
  if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return Variant();
  const Variant emoney =
      conn.Execute("select emoney from zurva_user where userid=" + std::to_string(userid))(0);
  Response().Cookies("kalimo")("emoney") = emoney;
  return emoney;
}

}  // namespace zurvafun

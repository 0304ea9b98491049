#include "interaction/balance.h"

#include "db/db.h"
#include "framework/sql.h"

namespace zurvafun::interaction {

std::optional<Variant> balanceOf(db::Connection& conn, std::int32_t userid) {
  db::Recordset rs = conn.Execute(balanceSelect(userid));
  if (rs.eof()) return std::nullopt;
  const Variant emoney = rs("emoney");
  return emoney.isNull() ? CCur(0) : CCur(emoney);
}

std::string balanceSelect(std::int32_t userid) {
  return sql::statement("select * from Zurva_user where userid={}", userid).str();
}

bool charge(db::Connection& conn, std::int32_t userid, const Variant& amount) {
  const sql::Number money = sql::money(amount);
  return conn.ExecuteAction(sql::statement(
             "update zurva_user set emoney=isnull(emoney,0)-{} where userid={} and isnull(emoney,0)>={}",
             money, userid, money)) == 1;
}

}  // namespace zurvafun::interaction

#include "interaction/gifts.h"

#include "db/db.h"

namespace zurvafun::interaction {

bool paysHalfPrice(int grade) { return grade >= 2 || grade == 0; }

Variant priceFor(const Variant& price, int grade) {
  const Variant catalogue = price.isNull() ? CCur(0) : CCur(price);
  return paysHalfPrice(grade) ? CCur(catalogue / Variant(2)) : catalogue;
}

Variant firstFieldOrNull(db::Connection& conn, const sql::Statement& select) {
  db::Recordset rs = conn.Execute(select);
  return rs.eof() ? Variant::null() : rs(0);
}

}  // namespace zurvafun::interaction

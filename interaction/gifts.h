// What gifts cost and the member rows the gift pages read.
#pragma once

#include <cstdint>

#include "framework/sql.h"
#include "runtime/variant.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::interaction {

// Card members, grade 0 (temporary silver card) and grade 2 and above, pay
// half of a gift's catalogue price; ordinary members (grade 1) pay it whole.
bool paysHalfPrice(int grade);
// The price a member of `grade` pays for a gift of catalogue price `price`:
// halved by a real division (15 gives 7.5). A Null price counts as 0.
Variant priceFor(const Variant& price, int grade);

// The first field of the first row of a select, or Null when it gives no row.
Variant firstFieldOrNull(db::Connection& conn, const sql::Statement& select);

}  // namespace zurvafun::interaction

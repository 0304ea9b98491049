// The SQL Server functions, conversions and collation the rewritten statements
// call, registered on every SQLite handle the layer opens.
#pragma once

#include <optional>

#include "runtime/error.h"

struct sqlite3;

namespace zurvafun::db::detail {

// Registers zv_left, zv_right, zv_substring, zv_charindex, zv_patindex,
// zv_len, zv_getdate, zv_dateadd, zv_datediff, zv_toint, zv_int, zv_tonum, zv_todate,
// zv_birthyear and zv_place (the values derived from a member's packed data),
// LIKE with SQL Server's patterns, and the collation ZV.
void registerFunctions(sqlite3* db);

// The run-time error a function raised in the last failed statement of this
// thread, taken (cleared) by the caller.
std::optional<VbError> takeFunctionError();
void clearFunctionError();

}  // namespace zurvafun::db::detail

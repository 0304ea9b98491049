// The SQL Server functions, conversions and collation the rewritten statements
// call, registered on every SQLite handle the layer opens.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/error.h"

struct sqlite3;

namespace zurvafun::db::detail {

// Registers zv_left, zv_right, zv_substring, zv_charindex, zv_patindex,
// zv_len, zv_getdate, zv_dateadd, zv_datediff, zv_toint, zv_int, zv_tonum, zv_todate,
// LIKE with SQL Server's patterns, and the collation ZV.
void registerFunctions(sqlite3* db);

// CAST(text AS INT): blanks around and one sign allowed, '' gives 0, anything
// else (a decimal point, letters) fails. No range check.
bool sqlserverTextToInt(std::string_view text, long long& out);
// Conversion of text to a number: blanks around, a sign, digits with one
// decimal point. `canonical` receives the number as SQL literal text.
bool sqlserverTextToNumberText(std::string_view text, std::string& canonical);

// LIKE of SQL Server: % any run, _ one character, [abc], [a-z], [^a]; ASCII
// letters match without regard to case, and trailing blanks of the value are
// not significant (as for varchar data). `escape` 0 for none.
bool likeMatch(std::string_view pattern, std::string_view value, char32_t escape = 0);
// PATINDEX: 1-based character position of the first match, 0 for none.
long patternIndex(std::string_view pattern, std::string_view value);

// The ZV collation: ASCII case and trailing blanks ignored.
int compareZv(std::string_view a, std::string_view b);

// The run-time error a function raised in the last failed statement of this
// thread, taken (cleared) by the caller.
std::optional<VbError> takeFunctionError();
void clearFunctionError();

}  // namespace zurvafun::db::detail

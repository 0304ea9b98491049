// The member's e-money balance as the ledger methods read it.
#pragma once

#include <cstdint>

#include "framework/sql.h"

namespace zurvafun::ledger {

// The select emoneycookies runs for member `userid`.
sql::Statement balanceSelect(std::int32_t userid);

}  // namespace zurvafun::ledger

// The e-money balance of a member (zurva_user.emoney) as the interaction
// charges read and lower it. A Null balance counts as 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/variant.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::interaction {

// The member's balance as Currency, or std::nullopt when he has no row.
std::optional<Variant> balanceOf(db::Connection& conn, std::int32_t userid);
// The select balanceOf runs.
std::string balanceSelect(std::int32_t userid);

// Lowers the member's balance by `amount` in one statement that changes it
// only when it covers the amount; false when it does not (nothing changed).
// Run it in the transaction that writes the charge's ledger rows.
bool charge(db::Connection& conn, std::int32_t userid, const Variant& amount);

}  // namespace zurvafun::interaction

// E币 on the demo site: the member's ledger shown as changes of his balance,
// the administrator's credit and debit of a member's balance, the page that
// tells a member how to get E币 here (the demo has no payment provider), and
// the membership upgrade that the cards' upgrade links lead to.
//
// The ledger (emoneymx) keeps what each movement took from the member, as the
// component's charges write it: a charge is positive, money given back or
// credited negative. The pages show the change of the balance: the sign
// turned, "+" for money in and "-" for money out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/sql.h"
#include "host/serve/pages.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::site {

// The latest `limit` rows of member `userid`'s ledger as table rows (time,
// signed change, text); "" when he has none.
std::string ledgerRows(db::Connection& conn, std::int32_t userid, long limit);
// The select ledgerRows runs.
sql::Statement ledgerSelect(std::int32_t userid, long limit);

// The credit and debit form of one member in the administrator's member
// list: an amount, a note, and the buttons 充值 and 扣除. It posts to
// "/admin/emoney.asp", which returns to `back` (a page of the list).
std::string emoneyForm(long userid, std::string_view back);

// "/admin/emoney.asp" (the administrator's credit and debit), "/chongzhi.asp"
// (how to get E币 on the demo) and "/ReadyBuy.asp" (the upgrade to a card
// membership, also "/payment/readybuy.asp").
void registerEmoneyPages(serve::PageRegistry& pages);

}  // namespace zurvafun::site

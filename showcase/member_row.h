// The logged-in member's own row of zurva_user, as the showcase's member-area
// methods (status box, purchase form, purchase handler) read it.
#pragma once

#include <cstdint>

#include "db/db.h"
#include "framework/sql.h"
#include "framework/viewer.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::showcase {

// How a method answers a member cookie that names no row: a message box
// through Msg, which ends the request.
struct NoRowAnswer {
  const char* text;
  const char* gourl;
};
// The status box and the purchase handler: "非法操作!", and the window closes.
inline constexpr NoRowAnswer kIllegalOperation{"非法操作!", "-2"};
// The purchase form: "请求错误！", and one page back.
inline constexpr NoRowAnswer kRequestError{"请求错误！", "-1"};

// The row of "select <columns> from zurva_user where userid=<the member
// cookie's number>". A cookie without a member number, or one that names no
// row, gets `noRow`.
db::Recordset memberRow(zurva& z, const Viewer& viewer, db::Connection& conn,
                        const sql::Statement& columns,
                        const NoRowAnswer& noRow = kIllegalOperation);
// The select memberRow runs for member `id`.
sql::Statement memberRowSelect(const sql::Statement& columns, std::int32_t id);

// The columns the status box (myshow_info) reads.
sql::Statement statusBoxColumns();

}  // namespace zurvafun::showcase

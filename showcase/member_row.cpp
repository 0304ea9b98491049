#include "showcase/member_row.h"

#include "framework/zurva.h"
#include "showcase/connection.h"

namespace zurvafun::showcase {

bool openForMember(zurva& z, const Viewer& viewer, db::Connection& conn, host::Response& response,
                   const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                   const Variant& SqlDatabaseName, Variant& result) {
  if (!viewer.isMember()) z.Msg("非法操作", "-2", 2);
  if (openForResult(conn, response, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return true;
  result = kConnectionFailed;
  return false;
}

db::Recordset memberRow(zurva& z, const Viewer& viewer, db::Connection& conn,
                        const sql::Statement& columns, const NoRowAnswer& noRow) {
  const std::optional<std::int32_t> id = viewer.memberNumber();
  db::Recordset row;
  if (id) row = conn.Execute(sql::statement("select {} from zurva_user where userid={}", columns, *id));
  if (!id || row.eof()) z.Msg(noRow.text, noRow.gourl, 2);
  return row;
}

}  // namespace zurvafun::showcase

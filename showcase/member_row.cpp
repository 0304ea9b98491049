#include "showcase/member_row.h"

#include "framework/zurva.h"

namespace zurvafun::showcase {

db::Recordset memberRow(zurva& z, const Viewer& viewer, db::Connection& conn,
                        const sql::Statement& columns, const NoRowAnswer& noRow) {
  const std::optional<std::int32_t> id = viewer.memberNumber();
  db::Recordset row;
  if (id) row = conn.Execute(memberRowSelect(columns, *id));
  if (!id || row.eof()) z.Msg(noRow.text, noRow.gourl, 2);
  return row;
}

sql::Statement memberRowSelect(const sql::Statement& columns, std::int32_t id) {
  return sql::statement("select {} from zurva_user where userid={}", columns, id);
}

sql::Statement statusBoxColumns() {
  return sql::verbatim(
      "iflianxi,moneytime,DATEDIFF (\"d\",moneytime,getdate()) as ct,"
      "right(isnull(smallphoto,0),1) as ifsmallphoto");
}

}  // namespace zurvafun::showcase

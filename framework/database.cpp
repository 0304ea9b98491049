// Opening the database from the four connection parameters a page passes.
#include "db/db.h"
#include "framework/zurva.h"

namespace zurvafun {

void zurva::open(db::Connection& conn, const Variant& SqlLocalName, const Variant& SqlUserName,
                 const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  // Continue-on-error around the open and its failure test.
  bool opened = false;
  try {
    opened = conn.Open({SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()});
  } catch (const std::exception&) {
  }
  if (opened) return;
  Response().Write("SQL数据库连接出错，请检查连接字串。");
  Response().End();
  raiseRequestEnd();
}

bool zurva::openOrReturn(db::Connection& conn, const Variant& SqlLocalName,
                         const Variant& SqlUserName, const Variant& SqlPassword,
                         const Variant& SqlDatabaseName) {
  try {
    open(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
  } catch (const VbError& e) {
    if (!e.isRequestEnd()) throw;
    return false;
  }
  return true;
}

}  // namespace zurvafun

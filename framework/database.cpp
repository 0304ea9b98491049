// Opening the database from the four connection parameters a page passes.
// Every method opens through one of the three routines below; they differ
// only in how the method answers a database that cannot be opened.
#include <exception>
#include <string_view>

#include "db/db.h"
#include "framework/zurva.h"

namespace zurvafun {

namespace {

constexpr std::string_view kConnectionError = "SQL数据库连接出错，请检查连接字串。";

// Continue-on-error around the open and its failure test: an open that
// raises an error counts as one that failed.
bool opened(db::Connection& conn, const Variant& SqlLocalName, const Variant& SqlUserName,
            const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  try {
    return conn.Open(
        {SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()});
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void zurva::open(db::Connection& conn, const Variant& SqlLocalName, const Variant& SqlUserName,
                 const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
    raiseRequestEnd();
}

bool zurva::openOrReturn(db::Connection& conn, const Variant& SqlLocalName,
                         const Variant& SqlUserName, const Variant& SqlPassword,
                         const Variant& SqlDatabaseName) {
  if (opened(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return true;
  Response().Write(kConnectionError);
  Response().End();
  return false;
}

bool zurva::openOrAnswer(db::Connection& conn, Variant& result, const Variant& SqlLocalName,
                         const Variant& SqlUserName, const Variant& SqlPassword,
                         const Variant& SqlDatabaseName) {
  if (opened(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return true;
  result = kConnectionError;
  Response().End();
  return false;
}

}  // namespace zurvafun

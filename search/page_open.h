// Opening the database for the search methods that return their HTML: a
// failed open puts the connection error text into the method's result
// (instead of writing it), ends the response, and the method returns it.
#pragma once

#include "db/db.h"
#include "host/host.h"
#include "runtime/variant.h"

namespace zurvafun::search {

inline constexpr const char* kConnectionError = "SQL数据库连接出错，请检查连接字串。";

// True when `conn` is open; otherwise `result` holds the connection error
// text and the response has ended.
inline bool openForResult(db::Connection& conn, host::Response& response, Variant& result,
                          const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                          const Variant& SqlDatabaseName) {
  bool opened = false;
  try {
    opened = conn.Open({SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()});
  } catch (const std::exception&) {
  }
  if (opened) return true;
  result = kConnectionError;
  response.End();
  return false;
}

}  // namespace zurvafun::search

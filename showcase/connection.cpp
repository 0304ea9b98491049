#include "showcase/connection.h"

#include <exception>

#include "db/db.h"

namespace zurvafun::showcase {

bool openForResult(db::Connection& conn, host::Response& response, const Variant& SqlLocalName,
                   const Variant& SqlUserName, const Variant& SqlPassword,
                   const Variant& SqlDatabaseName) {
  bool opened = false;
  try {
    opened = conn.Open({SqlLocalName.str(), SqlUserName.str(), SqlPassword.str(), SqlDatabaseName.str()});
  } catch (const std::exception&) {
  }
  if (!opened) response.End();
  return opened;
}

}  // namespace zurvafun::showcase

// Opening the database for the showcase methods that answer a failed open with
// their result (the gallery, the status box, the purchase form) instead of
// writing it into the response.
#pragma once

#include <string_view>

#include "host/host.h"
#include "runtime/variant.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::showcase {

// The answer to a database that cannot be opened.
inline constexpr std::string_view kConnectionFailed = "SQL数据库连接出错，请检查连接字串。";

// Opens `conn` from the four connection parameters. On failure the response
// is ended (nothing is written) and the result is false: the method returns
// kConnectionFailed.
bool openForResult(db::Connection& conn, host::Response& response, const Variant& SqlLocalName,
                   const Variant& SqlUserName, const Variant& SqlPassword,
                   const Variant& SqlDatabaseName);

}  // namespace zurvafun::showcase

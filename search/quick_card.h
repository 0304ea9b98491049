// The member card of the home page's quick search, in its guest form (photo
// as far as anyone may see it, action links that ask for a login) and its
// member form (photo by friendship and grade, working action links).
#pragma once

#include <string>

#include "host/host.h"
#include "runtime/variant.h"

namespace zurvafun {
class zurva;
}
namespace zurvafun::db {
class Recordset;
}

namespace zurvafun::search {

// The card of the current record of `rs`; the friend test opens its own
// connection from the four parameters.
std::string quickCard(zurva& z, const host::Request& request, const db::Recordset& rs, const Variant& SqlLocalName,
                      const Variant& SqlUserName, const Variant& SqlPassword, const Variant& SqlDatabaseName);

}  // namespace zurvafun::search

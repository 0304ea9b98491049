#include "db/internal.h"
#include "runtime/error.h"

namespace zurvafun::db::detail::postgres {

std::shared_ptr<Handle> open(const ServerConfig&, const ConnectionParams&, bool) { return nullptr; }
void releaseThreadHandles() {}
void closeAll() {}
void createDatabase(const ServerConfig&, const ConnectionParams&, std::string_view) {
  raise(dberr::CommandError, "not available");
}
void dropDatabase(const ServerConfig&, const ConnectionParams&) {}

}  // namespace zurvafun::db::detail::postgres

// The collation ZV and the dialect's SQL functions as a loadable SQLite
// extension, so that programs other than the layer (the sqlite3 shell, see
// scripts/sqlite-shell.sh) can check and query the database files: their text
// columns and indexes use the collation, the search indexes the functions.
// Built as its own module (not part of the library); it exports only its
// entry point.
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "db/sqlite/functions.h"

extern "C" __attribute__((visibility("default"))) int sqlite3_zurvasqlite_init(sqlite3* db, char**,
                                                                                const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  zurvafun::db::detail::registerFunctions(db);
  return SQLITE_OK;
}

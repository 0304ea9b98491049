// The database schema of the system: every table the component and the site's
// pages read or write, created when a new database file is made.
#pragma once

namespace zurvafun::db {

// The CREATE TABLE and CREATE INDEX statements, each ended by ";" and all of
// them guarded by IF NOT EXISTS, so the text can be run on an existing file.
// Text columns use the collation ZV (case- and trailing-blank-insensitive),
// and the search indexes the dialect's functions (zv_int…): both must be
// registered on the connection before the text is run.
const char* schemaSql();

}  // namespace zurvafun::db

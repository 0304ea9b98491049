// The database schema of the system: every table the component and the site's
// pages read or write, created when a new database is made and brought up to
// date on an older one. The member table's columns come from
// model/member_columns.h. The database layer takes the schema through its
// configuration (db::Config::schema); its conventions are those of db/db.h.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zurvafun::schema {

// The CREATE TABLE, CREATE INDEX and CREATE TRIGGER statements and the rows
// every database starts with, each ended by ";" and all of them guarded (IF
// NOT EXISTS, WHERE NOT EXISTS), so the text can be run on an existing file.
// Text columns use the collation ZV (case- and trailing-blank-insensitive),
// and the search indexes the dialect's functions (zv_int…): both must be
// registered on the connection before the text is run.
const std::string& sql();

// The columns of zurva_user added after its first version, in order: name
// and declaration as ALTER TABLE … ADD COLUMN takes it (in the schema's
// SQLite syntax), for bringing an older database up to date; their indexes
// are in sql(), guarded by IF NOT EXISTS.
std::vector<std::pair<std::string, std::string>> addedMemberColumns();

// The tables a copy of another database's rows leaves alone: those in which
// the database records its own changes, and the members counted by sex and
// birth year (both kept by the schema's triggers, which a copy passes by).
std::vector<std::string> notCopied();

// What a copy runs at its end, each statement when the database has its
// table: every version marked moved, and every member counted afresh.
std::vector<std::pair<std::string, std::string>> afterCopy();

}  // namespace zurvafun::schema

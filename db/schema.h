// The database schema of the system: every table the component and the site's
// pages read or write, created when a new database file is made.
#pragma once

namespace zurvafun::db {

// The CREATE TABLE, CREATE INDEX and CREATE TRIGGER statements and the rows
// every database starts with, each ended by ";" and all of them guarded (IF
// NOT EXISTS, WHERE NOT EXISTS), so the text can be run on an existing file.
// Text columns use the collation ZV (case- and trailing-blank-insensitive),
// and the search indexes the dialect's functions (zv_int…): both must be
// registered on the connection before the text is run.
const char* schemaSql();

// The tables in which the database records its own changes (kept by the
// schema's triggers): a copy of another database's rows leaves them as they
// are, and then marks every version moved (kEverythingChanged).
inline constexpr const char* kChangeRecordTables[] = {"zurva_versions", "zurva_member_changes"};
inline constexpr const char* kEverythingChanged =
    "UPDATE zurva_versions SET version = version + 1 WHERE name <> 'database'";

// The table of members counted by sex and birth year that the schema's
// triggers keep, and the statement that counts every member into it when it
// is empty (after rows were copied in without the triggers).
inline constexpr const char* kMemberCountsTable = "zurva_birthyear_counts";
const char* countAllMembers();

}  // namespace zurvafun::db

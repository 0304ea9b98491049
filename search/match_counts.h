// The number of members a criteria search matches, kept for the process.
//
// The result list counts its matches (at most 200) on every page: a walk of
// the search index that passes over every member who does not match, which
// at 100,000 members is most of the page's time, while every visitor who
// searches alike gets the same number. The number is kept per statement and
// is used again while the member rows stand as they were counted, which the
// database's record of changes tells (framework/data_versions.h). That record
// follows only some columns of the member row (the ones the galleries and
// the member lists read), so only a statement that reads nothing else, and
// no clock, has its count kept: a search by last login, income or online
// state is counted afresh every time.
//
// With the count goes the order of the matches (their member numbers), where
// the database reads the statement in the order of an index, whose ties go by
// member number, so that the order follows from the followed columns alone:
// a page then reads just its own six rows by member number, and the last
// page costs what the first does. Where it sorts them instead (ties in an
// order the values do not decide: on a database server, or a condition no
// index serves in order) every page reads the statement, as before.
#pragma once

#include <string>
#include <string_view>

namespace zurvafun::db {
class Connection;
class Recordset;
}  // namespace zurvafun::db

namespace zurvafun::search {

// Opens the select `statement` on `rs` as Recordset::OpenPaged does; its
// number of rows, and where kept its rows' member numbers in order, are the
// ones read before for the same statement on the database `database`
// (db::databaseKey) when the member rows have not changed since, and are kept
// for the next request when they are read.
void openCounted(db::Recordset& rs, const std::string& statement, db::Connection& conn,
                 const std::string& database);

// True when the count of `statement` depends only on the member columns the
// record of changes follows: its words are those of a select on zurva_user
// with these columns and the text functions of the criteria search, nothing
// else (no other table or column, no clock, no variable, no comment).
bool countKeepable(std::string_view statement);

}  // namespace zurvafun::search

#include "model/schema.h"

#include "model/member_columns.h"

namespace zurvafun::schema {

namespace {

// The table of members counted by sex and birth year that the triggers below
// keep, and the statement that marks every version but the database's moved.
constexpr const char* kMemberCountsTable = "zurva_birthyear_counts";
constexpr const char* kEverythingChanged =
    "UPDATE zurva_versions SET version = version + 1 WHERE name <> 'database'";

// The member search (a sex, bounds on birth year, height, weight and
// education, the status flags, top 200 in one of three orders) walks one of
// the search indexes in its order and stops after 200 matches. Besides the
// sort keys the indexes hold what the conditions read, so that a member who
// does not match is passed over without reading the row: the status flags,
// and the derived values as the dialect writes the conditions on them
// (zv_toint(zv_int(e)) for "cast(e as int)" and for a text compared with a
// number, see db/dialect.cpp), indexed as zv_int(e), which never fails:
//   birth year   cast(left(userdata,4) as int)
//   height       cast(height_ as int)
//   weight       cast(weight_ as int)
//   education    SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3) against a number
#define SEARCHED                                                    \
  "zv_int(zv_left(userdata,4)), zv_int(height_), zv_int(weight_), " \
  "zv_int(zv_substring(userdata,zv_charindex('#12',userdata)+1,3)), ok, ifclose, iferro, ifdel"

// The members whose birth year or education code is a text that does not
// convert to int: on the server, where zv_int gives NULL for such a text, a
// search that tests the indexed zv_int value first reads these to raise the
// conversion error as the cast would (see db/postgres/render.cpp). In the
// file, zv_int keeps such a text, and these indexes stay empty.
#define ODD_VALUE_INDEX(name, e)                                                       \
  "CREATE INDEX IF NOT EXISTS ix_zurva_user_odd_" name " ON zurva_user (sex) WHERE " e \
  " IS NOT NULL AND zv_int(" e ") IS NULL;\n"
#define ODD_VALUE_INDEXES                             \
  ODD_VALUE_INDEX("birthyear", "zv_left(userdata,4)") \
  ODD_VALUE_INDEX("education", "zv_substring(userdata,zv_charindex('#12',userdata)+1,3)")

// The quick search walks its order with every value its condition and the
// member search's read (so either search may take it); the age index finds
// the members whose birth year is not a number; the newest members of a
// place walk the member number down.
#define DERIVED_INDEXES                                                                         \
  "CREATE INDEX IF NOT EXISTS ix_zurva_user_age ON zurva_user (sex, ud_birthyear, ifclose, "    \
  "iferro, ifdel);\n"                                                                           \
  "CREATE INDEX IF NOT EXISTS ix_zurva_user_quick ON zurva_user (sex, grade DESC, trust DESC, " \
  "addtime DESC, " SEARCHED ", ud_birthyear);\n" ODD_VALUE_INDEXES                              \
  "CREATE INDEX IF NOT EXISTS ix_zurva_user_province ON zurva_user (ud_province, ifdel, "       \
  "userid);\n"                                                                                  \
  "CREATE INDEX IF NOT EXISTS ix_zurva_user_city ON zurva_user (ud_province, ud_city, ifdel, "  \
  "userid);\n"
// The columns of a member row that the galleries and their cards read, and
// the test that one of them took another value (compared byte for byte: a
// nickname that changes only its case is shown changed).
#define SHOWN                                                                            \
  "userid, ok, ifclose, ifdel, iferro, smallphoto, citymoney, maincity, nextcitymoney, " \
  "nextcity, userdata, nickname, grade, trust, photo, sex, field, height_, weight_, "    \
  "aboutus, ifphotolook, addtime"
#define DIFFERS(c) "old." #c " IS NOT new." #c " COLLATE BINARY"
#define SHOWN_DIFFERS \
  DIFFERS(userid) " OR " DIFFERS(ok) " OR " DIFFERS(ifclose) " OR " DIFFERS(ifdel) " OR "   \
  DIFFERS(iferro) " OR " DIFFERS(smallphoto) " OR " DIFFERS(citymoney) " OR "              \
  DIFFERS(maincity) " OR " DIFFERS(nextcitymoney) " OR " DIFFERS(nextcity) " OR "          \
  DIFFERS(userdata) " OR " DIFFERS(nickname) " OR " DIFFERS(grade) " OR " DIFFERS(trust)   \
  " OR " DIFFERS(photo) " OR " DIFFERS(sex) " OR " DIFFERS(field) " OR " DIFFERS(height_)  \
  " OR " DIFFERS(weight_) " OR " DIFFERS(aboutus) " OR " DIFFERS(ifphotolook) " OR "       \
  DIFFERS(addtime)
// The body of a trigger that records a change of member `who`.
#define MEMBER_CHANGED(who)                                                   \
  "UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';\n" \
  "  INSERT INTO zurva_member_changes (version, userid)\n"                    \
  "    SELECT version, " who                                                  \
  " FROM zurva_versions WHERE name = 'members';\n"                            \
  "  DELETE FROM zurva_member_changes\n"                                      \
  "    WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;"
// Adds the row of version `name` unless there is one (statements both
// backends take).
#define VERSION_ROW(name, value)                                         \
  "INSERT INTO zurva_versions (name, version) SELECT '" name "', " value \
  " WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = '" name "');\n"
// The triggers that move version `name` with every row added to, changed in
// or removed from `table`.
#define VERSION_MOVES_ON(table, name, event, what)                            \
  "CREATE TRIGGER IF NOT EXISTS " table "_" what " AFTER " event " ON " table \
  " BEGIN\n"                                                                  \
  "  UPDATE zurva_versions SET version = version + 1 WHERE name = '" name "';\nEND;\n"
#define VERSION_MOVES_WITH(table, name)              \
  VERSION_MOVES_ON(table, name, "INSERT", "added")   \
  VERSION_MOVES_ON(table, name, "UPDATE", "changed") \
  VERSION_MOVES_ON(table, name, "DELETE", "removed")

// The number of members that listings show (ifclose, iferro and ifdel all 0)
// of each sex and birth year (ud_birthyear), kept by the triggers below, so
// that the quick search counts its matches from a few rows whatever the age
// range. A member without a sex or a birth year that converts is in no row.
#define LISTED(row)                                                                            \
  row ".sex IS NOT NULL AND " row ".ud_birthyear IS NOT NULL AND " row ".ifclose = 0 AND " row \
      ".iferro = 0 AND " row ".ifdel = 0"
#define COUNTED_BY(row) "sex = " row ".sex AND birthyear = " row ".ud_birthyear"
#define COUNT_IN(row)                                                                      \
  "INSERT INTO zurva_birthyear_counts (sex, birthyear, members) VALUES (" row ".sex, " row \
  ".ud_birthyear, 0) ON CONFLICT DO NOTHING;\n"                                            \
  "  UPDATE zurva_birthyear_counts SET members = members + 1 WHERE " COUNTED_BY(row) ";"
#define COUNT_OUT(row) \
  "UPDATE zurva_birthyear_counts SET members = members - 1 WHERE " COUNTED_BY(row) ";"
// Counts every member when the table has no row (a database made before it).
#define COUNT_ALL \
  "INSERT INTO zurva_birthyear_counts (sex, birthyear, members)\n"        \
  "  SELECT sex, ud_birthyear, count(*) FROM zurva_user\n"                \
  "  WHERE " LISTED("zurva_user") "\n"                                    \
  "    AND NOT EXISTS (SELECT 1 FROM zurva_birthyear_counts)\n"           \
  "  GROUP BY sex, ud_birthyear"
// The columns the count depends on (ud_birthyear through userdata).
#define COUNTED_COLUMNS "sex, userdata, ifclose, iferro, ifdel"
#define COUNT_TRIGGER(name, event, row, body)                     \
  "CREATE TRIGGER IF NOT EXISTS zurva_user_" name " AFTER " event \
  " ON zurva_user WHEN " LISTED(row) " BEGIN\n  " body(row) "\nEND;\n"

// Every statement of the schema after the member table's CREATE TABLE, which
// is made from the member columns (model/member_columns.h).
constexpr const char* kAfterMemberTable =
    R"sql(CREATE INDEX IF NOT EXISTS ix_zurva_user_zurvauser ON zurva_user (zurvauser);
CREATE INDEX IF NOT EXISTS ix_zurva_user_nickname ON zurva_user (nickname);
CREATE INDEX IF NOT EXISTS ix_zurva_user_search ON zurva_user (sex, grade DESC, trust DESC, addtime DESC, )sql" SEARCHED
    R"sql();
CREATE INDEX IF NOT EXISTS ix_zurva_user_search_addtime ON zurva_user (sex, addtime DESC, grade DESC, trust DESC, )sql" SEARCHED
    R"sql();
CREATE INDEX IF NOT EXISTS ix_zurva_user_search_lasttime ON zurva_user (sex, lasttime DESC, grade DESC, trust DESC, )sql" SEARCHED
    R"sql();
)sql" DERIVED_INDEXES R"sql(

CREATE TABLE IF NOT EXISTS zurva_system (
  id INTEGER PRIMARY KEY,
  citymenu TEXT COLLATE ZV,
  maincitymenu TEXT COLLATE ZV
);

CREATE TABLE IF NOT EXISTS Friends (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  senduserid INTEGER,
  ifok INTEGER DEFAULT 0,
  ifhmd INTEGER DEFAULT 0,
  new INTEGER DEFAULT 1,
  addtime DATETIME
);
CREATE INDEX IF NOT EXISTS ix_friends_pair ON Friends (userid, senduserid);
CREATE INDEX IF NOT EXISTS ix_friends_sender ON Friends (senduserid, userid);

CREATE TABLE IF NOT EXISTS emoneymx (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userID INTEGER,
  b_count MONEY,
  b_history VARCHAR(255) COLLATE ZV,
  b_time DATETIME
);
-- A member's ledger is read newest first: by member and row number, so that
-- a member with many entries reads only the rows shown.
DROP INDEX IF EXISTS ix_emoneymx_user;
CREATE INDEX IF NOT EXISTS ix_emoneymx_user_id ON emoneymx (userID, id);

CREATE TABLE IF NOT EXISTS Sendbooks (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  senduserid INTEGER,
  content TEXT COLLATE ZV,
  addtime DATETIME,
  new INTEGER DEFAULT 1,
  pop INTEGER DEFAULT 0,
  sendnew INTEGER DEFAULT 1
);
CREATE INDEX IF NOT EXISTS ix_sendbooks_pair ON Sendbooks (userid, senduserid);
CREATE INDEX IF NOT EXISTS ix_sendbooks_sender ON Sendbooks (senduserid, userid);

CREATE TABLE IF NOT EXISTS present (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name VARCHAR(50) COLLATE ZV,
  emoney MONEY,
  across VARCHAR(255) COLLATE ZV,
  imgs VARCHAR(100) COLLATE ZV
);

CREATE TABLE IF NOT EXISTS presentmx (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  senduserid INTEGER,
  presentedid INTEGER,
  sm VARCHAR(255) COLLATE ZV,
  addtime DATETIME
);
-- The same for the gifts a member received.
DROP INDEX IF EXISTS ix_presentmx_user;
CREATE INDEX IF NOT EXISTS ix_presentmx_user_id ON presentmx (userid, id);

CREATE TABLE IF NOT EXISTS party (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  bt VARCHAR(100) COLLATE ZV,
  cs VARCHAR(50) COLLATE ZV,
  address VARCHAR(255) COLLATE ZV,
  partytime DATETIME,
  bmtime VARCHAR(50) COLLATE ZV,
  yqrs VARCHAR(50) COLLATE ZV,
  hdfy VARCHAR(50) COLLATE ZV,
  lxfs VARCHAR(255) COLLATE ZV,
  gg TEXT COLLATE ZV,
  fa TEXT COLLATE ZV,
  jtzn TEXT COLLATE ZV,
  addtime DATETIME,
  rz INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_party_user ON party (userid);

CREATE TABLE IF NOT EXISTS partycj (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  partyid INTEGER,
  userid INTEGER,
  email VARCHAR(100) COLLATE ZV,
  name VARCHAR(50) COLLATE ZV,
  xl VARCHAR(50) COLLATE ZV,
  zy VARCHAR(50) COLLATE ZV,
  sex VARCHAR(10) COLLATE ZV,
  nl INTEGER,
  lx VARCHAR(50) COLLATE ZV,
  gk INTEGER DEFAULT 1,
  tb INTEGER DEFAULT 0,
  addtime DATETIME
);
CREATE INDEX IF NOT EXISTS ix_partycj_party ON partycj (partyid, userid);
CREATE INDEX IF NOT EXISTS ix_partycj_user ON partycj (userid, partyid);

CREATE TABLE IF NOT EXISTS partyzj (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  partyid INTEGER,
  nr TEXT COLLATE ZV,
  addtime DATETIME,
  rz INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_partyzj_party ON partyzj (partyid);

CREATE TABLE IF NOT EXISTS vote (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  Title VARCHAR(255) COLLATE ZV,
  Select1 VARCHAR(100) COLLATE ZV,
  Select2 VARCHAR(100) COLLATE ZV,
  Select3 VARCHAR(100) COLLATE ZV,
  Select4 VARCHAR(100) COLLATE ZV,
  Select5 VARCHAR(100) COLLATE ZV,
  Select6 VARCHAR(100) COLLATE ZV,
  Select7 VARCHAR(100) COLLATE ZV,
  Select8 VARCHAR(100) COLLATE ZV,
  IsChecked INTEGER DEFAULT 0
);

CREATE TABLE IF NOT EXISTS dv_user (
  userid INTEGER PRIMARY KEY AUTOINCREMENT,
  username VARCHAR(50) COLLATE ZV
);
CREATE INDEX IF NOT EXISTS ix_dv_user_username ON dv_user (username);

-- What a server keeps copies of, and where it stands. The version 'members'
-- moves by one, and zurva_member_changes records the member under the new
-- version, whenever a member is added or removed or a column that the
-- galleries, their cards and the member lists read takes another value; a
-- login, a balance, a message change none of them. The versions 'settings'
-- and 'polls' move with every change of the settings row (the region menus)
-- and of the polls. A server
-- keeps its copies while the version stays and re-reads only the members
-- recorded since (a copy older than the last 100,000 changes is made
-- afresh). The row 'database' holds a number drawn when the database was
-- made, so that a database made anew under the same name never passes for
-- the old one.
CREATE TABLE IF NOT EXISTS zurva_versions (
  name VARCHAR(20) COLLATE ZV PRIMARY KEY,
  version BIGINT NOT NULL
);
)sql" VERSION_ROW("database", "zv_random()") VERSION_ROW("members", "0")
        VERSION_ROW("settings", "0") VERSION_ROW("polls", "0") R"sql(
CREATE TABLE IF NOT EXISTS zurva_member_changes (
  version INTEGER PRIMARY KEY,
  userid INTEGER NOT NULL
);
INSERT INTO zurva_member_changes (version, userid)
  SELECT 0, 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_member_changes WHERE version = 0);
CREATE TRIGGER IF NOT EXISTS zurva_user_added AFTER INSERT ON zurva_user BEGIN
  )sql" MEMBER_CHANGED("new.userid") R"sql(
END;
CREATE TRIGGER IF NOT EXISTS zurva_user_removed AFTER DELETE ON zurva_user BEGIN
  )sql" MEMBER_CHANGED("old.userid") R"sql(
END;
CREATE TRIGGER IF NOT EXISTS zurva_user_renumbered AFTER UPDATE OF userid ON zurva_user
WHEN old.userid IS NOT new.userid BEGIN
  )sql" MEMBER_CHANGED("old.userid") R"sql(
END;
CREATE TABLE IF NOT EXISTS zurva_birthyear_counts (
  sex INTEGER NOT NULL,
  birthyear INTEGER NOT NULL,
  members INTEGER NOT NULL,
  PRIMARY KEY (sex, birthyear)
);
)sql" COUNT_ALL R"sql(;
)sql" COUNT_TRIGGER("counted_in", "INSERT", "new", COUNT_IN)
            COUNT_TRIGGER("counted_out", "DELETE", "old", COUNT_OUT) COUNT_TRIGGER(
                "recounted_out", "UPDATE OF " COUNTED_COLUMNS, "old", COUNT_OUT)
                COUNT_TRIGGER("recounted_in", "UPDATE OF " COUNTED_COLUMNS, "new", COUNT_IN) R"sql(
)sql" VERSION_MOVES_WITH("zurva_system", "settings")
                    VERSION_MOVES_WITH("vote", "polls") R"sql(
CREATE TRIGGER IF NOT EXISTS zurva_user_shown_changed AFTER UPDATE OF )sql" SHOWN
                                                        R"sql( ON zurva_user
WHEN )sql" SHOWN_DIFFERS R"sql( BEGIN
  )sql" MEMBER_CHANGED("new.userid") R"sql(
END;
)sql";

#undef DERIVED_INDEXES
#undef ODD_VALUE_INDEXES
#undef ODD_VALUE_INDEX
#undef SEARCHED
#undef SHOWN
#undef DIFFERS
#undef SHOWN_DIFFERS
#undef MEMBER_CHANGED
#undef VERSION_ROW
#undef VERSION_MOVES_ON
#undef VERSION_MOVES_WITH
#undef COUNTED_BY
#undef COUNT_IN
#undef COUNT_OUT
#undef COUNTED_COLUMNS
#undef COUNT_TRIGGER

// The member table's CREATE TABLE: every column of model/member_columns.h
// in its order, one a line.
std::string memberTable() {
  std::string text = "CREATE TABLE IF NOT EXISTS zurva_user (\n";
  for (const member::Column& column : member::kColumns) {
    if (&column != &member::kColumns.front()) text += ",\n";
    text += "  " + std::string(column.name) + " " + member::declaration(column);
  }
  return text + "\n);\n";
}

}  // namespace

const std::string& sql() {
  static const std::string text = "\n" + memberTable() + kAfterMemberTable;
  return text;
}

std::vector<std::pair<std::string, std::string>> addedMemberColumns() {
  std::vector<std::pair<std::string, std::string>> added;
  for (const member::Column& column : member::kColumns)
    if (column.added) added.emplace_back(column.name, member::declaration(column));
  return added;
}

std::vector<std::string> notCopied() {
  return {"zurva_versions", "zurva_member_changes", kMemberCountsTable};
}

std::vector<std::pair<std::string, std::string>> afterCopy() {
  return {{"zurva_versions", kEverythingChanged},
          {kMemberCountsTable, "DELETE FROM " + std::string(kMemberCountsTable)},
          {kMemberCountsTable, COUNT_ALL}};
}

#undef LISTED
#undef COUNT_ALL

}  // namespace zurvafun::schema

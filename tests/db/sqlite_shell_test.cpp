// The database files can be checked and queried by the standard sqlite3 shell
// through scripts/sqlite-shell.sh, which loads the project's extension (the
// collation ZV and the dialect's functions that the schema's indexes use).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "db/db.h"
#include "tests/db/db_fixture.h"

namespace zurvafun::testing {
namespace {

// Standard output of a shell command and its exit status.
std::pair<std::string, int> run(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return {"", -1};
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

using DbSqliteShell = DbFixture;

TEST_F(DbSqliteShell, TheShellChecksAndQueriesTheDatabaseWithTheExtension) {
  ZURVA_EMBEDDED_ONLY();
  if (run("command -v sqlite3").second != 0) GTEST_SKIP() << "no sqlite3 shell";
  // The installation's database with the project's schema, and members whose
  // packed values are well formed, malformed or missing: the search indexes
  // take them all.
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("zurva")));
  const char* rows[] = {
      "insert into zurva_user (nickname,sex,userdata,height_,weight_,grade,trust,addtime) values "
      "('Alice',577,'1996#1#1#11#北京#北京-朝阳区#125#北京-海淀区#205','165','50',2,1,'2026-03-01 08:00:00')",
      "insert into zurva_user (nickname,sex,userdata,height_,weight_) values ('bob',576,'19x6#f','tall','')",
      "insert into zurva_user (nickname,sex) values ('Carol',577)",
  };
  for (const char* sql : rows) EXPECT_EQ(conn.ExecuteAction(sql), 1) << sql;
  conn.Close();
  db::closeAllConnections();
  const std::string file = db::databaseFile("zurva");
  EXPECT_FALSE(std::filesystem::exists(file + "-wal"));

  const std::string shell = "ZURVA_SQLITE_EXTENSION=" + quoted(ZURVA_SQLITE_EXTENSION_FILE) + " " +
                            quoted(std::string(ZURVA_SOURCE_DIR) + "/scripts/sqlite-shell.sh") + " " + quoted(file);
  const auto [checked, status] = run(shell + " 'PRAGMA integrity_check'");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(checked, "ok\n");
  // Queries see the collation (case and trailing blanks) and the functions.
  EXPECT_EQ(run(shell + " \"select count(*) from zurva_user where nickname='ALICE  '\"").first, "1\n");
  EXPECT_EQ(run(shell + " \"select nickname from zurva_user where sex=577 and "
                        "zv_int(zv_left(userdata,4)) between 1990 and 2000 order by grade desc,trust desc\"")
                .first,
            "Alice\n");
  EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
  // The plain shell cannot read the indexes.
  EXPECT_EQ(run("sqlite3 " + quoted(file) + " 'PRAGMA integrity_check'").first.find("ok\n"), std::string::npos);
}

}  // namespace
}  // namespace zurvafun::testing

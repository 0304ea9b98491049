// The database server backend: what differs from the embedded file (how a
// connection finds its server, the key that stands for the collation and the
// indexes that hold it). Run on the server only (ZURVA_TEST_BACKEND=postgres);
// the behaviour both backends share is tested by the other suites of tests/db
// on both.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <future>
#include <string>
#include <thread>

#include "db/db.h"
#include "tests/db/db_fixture.h"

namespace zurvafun::testing {
namespace {

class DbServer : public DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    if (!testPostgres()) GTEST_SKIP() << "a test of the database server";
  }
};

constexpr const char* kMembers = R"sql(
CREATE TABLE m (id INTEGER PRIMARY KEY AUTOINCREMENT, nickname VARCHAR(50) COLLATE ZV, grade INTEGER,
  emoney MONEY DEFAULT 0, vip BIT, addtime DATETIME);
CREATE INDEX ix_m_nickname ON m (nickname);
INSERT INTO m (id, nickname, grade, emoney, vip, addtime) VALUES (1, 'Ab  ', 1, 7.5, 1, '2026-03-01 08:09:10');
INSERT INTO m (id, nickname, grade, emoney, vip, addtime) VALUES (2, 'ab', 2, 0.0001, 0, NULL);
INSERT INTO m (id, nickname, grade, emoney, vip, addtime) VALUES (3, 'Cd', 3, -12, NULL, NULL);
)sql";

TEST_F(DbServer, TheServerNameOpensTheServerAndTheLocalNamesTheFile) {
  create(kMembers);
  db::Connection conn;
  EXPECT_TRUE(conn.Open(params("t", "zvpg", "SA")));  // names and logins compare without case
  EXPECT_FALSE(
      conn.Open(params("t", "ZVPG", kDbUser, "secret")));  // the server checks the password
  EXPECT_FALSE(conn.Open(params("nosuch", "ZVPG")));
  EXPECT_FALSE(conn.Open(params("t", "(local)")));  // no file "t": the local names mean the file
}

TEST_F(DbServer, TextComparesByAnIndexedKeyAndLikeKeepsItsRules) {
  db::Connection conn = create(kMembers);
  EXPECT_EQ(column0(conn, "select id from m where nickname='AB' order by id"), "1,2");
  EXPECT_EQ(column0(conn, "select id from m where nickname like 'a%' order by id"), "1,2");
  EXPECT_EQ(column0(conn, "select id from m where nickname like '[^a]%'"), "3");
  EXPECT_EQ(column0(conn, "select nickname from m order by nickname desc, id"), "Cd,Ab  ,ab");
  // The comparison uses the index on the key.
  conn.ExecuteAction(
      "insert into m (nickname, grade) select 'n' || g, 1 from generate_series(1, 5000) as g");
  conn.ExecuteAction("analyze m");
  db::Recordset plan = conn.Execute("explain select id from m where nickname='AB'");
  std::string text;
  for (; !plan.eof(); plan.MoveNext()) text += plan(0).str() + "\n";
  EXPECT_NE(text.find("ix_m_nickname"), std::string::npos) << text;
}

TEST_F(DbServer, ValuesReadBackAsTheDeclaredTypes) {
  db::Connection conn = create(kMembers);
  db::Recordset rs =
      conn.Execute("select id, grade, emoney, vip, addtime, nickname from m where id=1");
  EXPECT_EQ(rs("id").type(), VarType::Long);
  EXPECT_EQ(rs("emoney").type(), VarType::Currency);
  EXPECT_EQ(rs("emoney").currencyScaledValue(), 75000);
  EXPECT_EQ(rs("vip").type(), VarType::Boolean);
  EXPECT_EQ(rs("vip").str(), "True");
  EXPECT_EQ(rs("addtime").type(), VarType::Date);
  EXPECT_EQ(rs("nickname").str(), "Ab  ");
  EXPECT_EQ(conn.Execute("select emoney from m where id=2")(0).currencyScaledValue(), 1);
  // An identity column follows the numbers given to it explicitly.
  db::Recordset add;
  add.Open("select * from m", conn, db::adOpenKeyset, db::adLockOptimistic);
  add.AddNew();
  add["nickname"] = "new";
  add.Update();
  EXPECT_EQ(add("id").str(), "4");
}

TEST_F(DbServer, ClosingEveryConnectionEndsThemAll) {
  db::Connection conn = create(kMembers);
  db::closeAllConnections();
  EXPECT_EQ(raisedBy([&] { conn.Execute("select 1"); }).number, db::dberr::ConnectionNotOpen);
  db::releasePooledConnections();
  db::Connection again;
  ASSERT_TRUE(again.Open(params("t")));
  EXPECT_EQ(again.Execute("select count(*) from m")(0).str(), "3");
}

// A transaction's locks are taken on the server with its statements: a
// write of another row goes on at once; a writer that waits for a locked row
// too long fails there and rolls back, and its pooled connection then serves
// the next transaction; a transaction that ends before any statement takes
// nothing.
// Another connection, on a thread of its own, that runs `statement` in a
// transaction and holds it until the end of its scope, where it commits it
// (`commit`) or rolls it back.
class HeldElsewhere {
 public:
  HeldElsewhere(const std::string& statement, bool commit)
      : thread_([this, statement, commit] {
          db::Connection other;
          if (other.Open(params("t"))) {
            other.BeginTrans();
            other.Execute(statement);
            holding_.set_value();
            release_.get_future().wait();
            if (commit)
              other.CommitTrans();
            else
              other.RollbackTrans();
          } else {
            holding_.set_value();
          }
          db::releasePooledConnections();
        }) {
    holding_.get_future().wait();
  }
  ~HeldElsewhere() {
    release_.set_value();
    thread_.join();
  }

 private:
  std::promise<void> holding_, release_;
  std::thread thread_;
};

TEST_F(DbServer, AWriterThatCannotTakeTheLockFailsAndItsConnectionGoesOn) {
  db::Connection conn = create(kMembers);
  {
    const HeldElsewhere holder("update m set grade=10 where id=1", true);
    conn.Execute("select set_config('lock_timeout', '100', false)");
    conn.BeginTrans();
    conn.CommitTrans();  // nothing ran: no wait for the lock
    conn.transaction([&] { conn.ExecuteAction("update m set grade=20 where id=2"); });
    conn.BeginTrans();
    EXPECT_NE(raisedBy([&] { conn.ExecuteAction("update m set grade=30 where id=1"); }).number, 0);
    conn.RollbackTrans();
  }
  conn.transaction([&] { conn.ExecuteAction("update m set grade=grade+1 where id=1"); });
  EXPECT_EQ(column0(conn, "select grade from m order by id"), "11,20,3");
}

// An update through a locked recordset outside a transaction commits in the
// round trip of the update: written for every connection, its locks gone, the
// commit counted. In a transaction it waits for the transaction's end, and a
// failed update leaves nothing written and the connection going on.
TEST_F(DbServer, AnUpdateOfALockedRowCommitsWithItOutsideATransaction) {
  db::Connection conn = create(kMembers);
  // Runs `sql` on another connection that waits at most 100 ms for a lock;
  // gives the error number (0: done).
  auto elsewhere = [](const char* sql) {
    long number = 0;
    std::thread([&] {
      db::Connection other;
      if (!other.Open(params("t"))) return;
      other.Execute("select set_config('lock_timeout', '100', false)");
      number = raisedBy([&] { other.ExecuteAction(sql); }).number;
      db::releasePooledConnections();
    }).join();
    return number;
  };
  auto updateGrade = [&](int id, const Variant& value) {
    db::Recordset rs;
    rs.Open("select * from m where id=" + std::to_string(id), conn, db::adOpenKeyset,
            db::adLockPessimistic);
    rs["grade"] = value;
    rs.Update();
    EXPECT_EQ(rs("grade").str(), value.str());  // the row read back from the update
  };

  const std::uint64_t commits = db::commitCount();
  updateGrade(1, 7);
  EXPECT_EQ(db::commitCount(), commits + 1);
  EXPECT_EQ(elsewhere("update m set grade=grade+1 where id=1"), 0);
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "8");

  conn.BeginTrans();
  updateGrade(2, 9);
  EXPECT_NE(elsewhere("update m set grade=0 where id=2"), 0);  // still locked
  conn.RollbackTrans();
  EXPECT_EQ(column0(conn, "select grade from m where id=2"), "2");

  db::Recordset rs;
  rs.Open("select * from m where id=3", conn, db::adOpenKeyset, db::adLockPessimistic);
  rs["nickname"] = "x";
  rs["id"] = 1;  // taken: the server refuses the update
  EXPECT_NE(raisedBy([&] { rs.Update(); }).number, 0);
  EXPECT_EQ(elsewhere("update m set grade=4 where id=3"), 0);
  EXPECT_EQ(column0(conn, "select nickname from m where id=3"), "Cd");
  EXPECT_EQ(column0(conn, "select grade from m where id=3"), "4");
}

// What a statement read in a transaction locks until the transaction ends:
// the rows of a select by row key; the rows of a select by another
// condition, and the same question asked again; the whole table of a count.
// Another transaction's statement waits (here: gives up) or goes on.
TEST_F(DbServer, ATransactionLocksWhatItRead) {
  db::Connection conn = create(kMembers);
  struct Case {
    const char* held;   // read in the holding transaction
    const char* other;  // run in another transaction meanwhile
    bool waits;
  };
  const Case cases[] = {
      {"select grade from m where id=1", "update m set grade=5 where id=1", true},
      {"select grade from m where id=1", "select grade from m where id=1", true},
      {"select grade from m where m.id=1 and grade>0", "update m set grade=5 where id=1", true},
      {"select grade from m where id=1", "update m set grade=5 where id=2", false},
      {"select grade from m where id=1", "insert into m (nickname) values ('x')", false},
      {"select id from m where nickname='ab'", "update m set grade=5 where id=2", true},
      {"select id from m where nickname='ab'", "update m set grade=5 where id=3", false},
      {"select id from m where nickname='zz'", "select id from m where nickname='zz'", true},
      {"select id from m where nickname='zz'", "select id from m where nickname='yy'", false},
      {"select id from m where nickname='zz'", "insert into m (nickname) values ('x')", false},
      {"select count(*) from m where nickname='zz'", "insert into m (nickname) values ('zz')",
       true},
      {"select count(*) from m where nickname='zz'", "update m set grade=5 where id=3", true},
      {"select count(*) from m where nickname='zz'", "select count(*) from m", true},
  };
  for (const Case& c : cases) {
    bool waited = false;
    {
      const HeldElsewhere holder(c.held, false);
      conn.BeginTrans();
      try {
        conn.Execute("select set_config('lock_timeout', '100', true)");
        conn.Execute(c.other);
      } catch (const VbError&) {
        waited = true;
      }
      conn.RollbackTrans();
    }
    EXPECT_EQ(waited, c.waits) << c.held << " / " << c.other;
  }
  // A read outside a transaction never waits.
  conn.BeginTrans();
  conn.Execute("select grade from m where id=1");
  std::thread([&] {
    db::Connection other;
    if (other.Open(params("t"))) {
      EXPECT_EQ(column0(other, "select grade from m where id=1"), "1");
    }
    db::releasePooledConnections();
  }).join();
  conn.RollbackTrans();
}

// Selects asked for ahead are read in one round trip and answered from what
// came back, for this request: a change another connection makes meanwhile
// shows from the next request on, or after this one writes.
TEST_F(DbServer, RowsAskedForAheadServeTheRequest) {
  db::Connection conn = create(kMembers);
  auto changeGradeTo = [](int grade) {
    std::thread([grade] {
      db::Connection other;
      if (other.Open(params("t")))
        other.ExecuteAction("update m set grade=" + std::to_string(grade) + " where id=1");
      db::releasePooledConnections();
    }).join();
  };
  conn.prefetch({"select grade from m where id=1", "select nickname from m where id=2"});
  changeGradeTo(5);
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "1");
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "5");  // each kept answer serves once

  // Listed twice, asked once: the kept answer serves two runs.
  conn.prefetch({"select grade from m where id=1", "select nickname from m where id=2",
                 "select grade from m where id=1"});
  changeGradeTo(4);
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "5");
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "5");
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "4");

  // Asked for again before it was read: the rows kept serve both runs.
  conn.prefetch({"select grade from m where id=1"});
  conn.prefetch({"select grade from m where id=1", "select nickname from m where id=2"});
  changeGradeTo(3);
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "4");
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "4");
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "3");

  conn.prefetch({"select grade from m where id=1"});
  changeGradeTo(6);
  db::beginRequest();
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "6");

  conn.prefetch({"select grade from m where id=1"});
  conn.ExecuteAction("update m set grade=7 where id=3");
  changeGradeTo(8);
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "8");

  // In a transaction a select takes its locks as it runs: nothing is kept.
  conn.BeginTrans();
  conn.prefetch({"select grade from m where id=1"});
  conn.CommitTrans();
  conn.prefetch({"select grade from m where id=1"});
  conn.BeginTrans();
  EXPECT_EQ(column0(conn, "select grade from m where id=1"), "8");
  conn.CommitTrans();
}

// The installation's own database, made by an earlier version without the
// member columns added since and the record of changes, gets them at its
// first open: the derived columns computed for every row, the indexes, the
// tables and triggers; what was there stays.
// Runs statements on a server database directly, as an earlier version of
// the system would have left it.
void runDirectly(const std::string& database, std::initializer_list<const char*> statements) {
  const std::string port = std::to_string(testPostgres()->port);
  const char* keys[] = {"host", "port", "dbname", "user", "password", nullptr};
  const char* values[] = {
      testPostgres()->host.c_str(), port.c_str(), database.c_str(), kDbUser, kDbPassword, nullptr};
  PGconn* old = PQconnectdbParams(keys, values, 0);
  ASSERT_EQ(PQstatus(old), CONNECTION_OK) << PQerrorMessage(old);
  for (const char* sql : statements) {
    PGresult* r = PQexec(old, sql);
    EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << sql << ": " << PQerrorMessage(old);
    PQclear(r);
  }
  PQfinish(old);
}

TEST_F(DbServer, ADatabaseOfAnEarlierVersionGetsWhatTheSchemaAddedAtItsFirstOpen) {
  seedDemoDatabase(params("zurva"), 5);
  db::releasePooledConnections();
  runDirectly(folder_.serverDatabase("zurva"),
              {"UPDATE zurva_user SET nickname = 'kept' WHERE userid = 2",
               "ALTER TABLE zurva_user DROP COLUMN cookiever CASCADE, DROP COLUMN remembertoken "
               "CASCADE, DROP COLUMN "
               "ud_birthyear CASCADE, DROP COLUMN ud_province CASCADE, DROP COLUMN ud_city CASCADE",
               "DROP TABLE zurva_member_changes CASCADE"});

  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("zurva")));
  EXPECT_EQ(
      conn.Execute("select count(*) from zurva_user where cookiever=0 and remembertoken is null")(0)
          .str(),
      "5");
  EXPECT_EQ(
      conn.Execute(
              "select count(*) from zurva_user where ud_birthyear=cast(left(userdata,4) as int) "
              "and ud_city<>''")(0)
          .str(),
      "5");
  EXPECT_EQ(conn.Execute("select nickname from zurva_user where userid=2")(0).str(), "kept");
  EXPECT_EQ(
      conn.Execute("select count(*) from pg_indexes where indexname in ('ix_zurva_user_age', "
                   "'ix_zurva_user_quick', 'ix_zurva_user_province', 'ix_zurva_user_city')")(0)
          .str(),
      "4");
  // The record of changes is back and follows the members again.
  conn.ExecuteAction("update zurva_user set nickname='x' where userid=3");
  EXPECT_EQ(conn.Execute("select count(*) from zurva_member_changes where userid=3")(0).str(), "1");
}

// A member's ledger and gifts indexed by member alone, as an earlier version
// made them: the indexes by member and row number replace them.
TEST_F(DbServer, ADatabaseOfAnEarlierVersionGetsTheLedgerIndexesByMemberAndRow) {
  seedDemoDatabase(params("zurva"), 5);
  db::releasePooledConnections();
  runDirectly(folder_.serverDatabase("zurva"),
              {"DROP INDEX ix_emoneymx_user_id", "DROP INDEX ix_presentmx_user_id",
               "CREATE INDEX ix_emoneymx_user ON emoneymx (userid)",
               "CREATE INDEX ix_presentmx_user ON presentmx (userid)"});
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("zurva")));
  std::string indexes;
  for (db::Recordset rs = conn.Execute(
           "select indexname from pg_indexes where tablename in ('emoneymx', 'presentmx') "
           "and indexname like 'ix_%' order by indexname");
       !rs.eof(); rs.MoveNext())
    indexes += rs(0).str() + " ";
  EXPECT_EQ(indexes, "ix_emoneymx_user_id ix_presentmx_user_id ");
}

TEST_F(DbServer, ADatabaseWhoseFunctionsAreOfAnEarlierVersionGetsTheseAtItsFirstOpen) {
  seedDemoDatabase(params("zurva"), 5);
  db::releasePooledConnections();
  // Every table, column and index is there; only a function's body and the
  // mark of the functions' version are an earlier version's.
  runDirectly(folder_.serverDatabase("zurva"),
              {"CREATE OR REPLACE FUNCTION zv_len(text) RETURNS integer LANGUAGE sql IMMUTABLE "
               "STRICT PARALLEL SAFE AS $$ SELECT -1 $$",
               "COMMENT ON FUNCTION zv_int(text) IS 'zurva functions 00000000'"});
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("zurva")));
  EXPECT_EQ(conn.Execute("select len('ab  ') as n")(0).str(), "2");
}

}  // namespace
}  // namespace zurvafun::testing

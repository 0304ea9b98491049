// Connections: opening from the four parameters, the per-thread pool, WAL
// readers beside a writer, transactions, bound parameters and closing every
// handle at the end. (The
// component's own statements on the project's schema: statements_test.cpp.)
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "db/db.h"
#include "db/internal.h"
#include "runtime/dates.h"
#include "tests/db/db_fixture.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kAccounts = R"sql(
CREATE TABLE a (id INTEGER PRIMARY KEY, emoney MONEY, note VARCHAR(50) COLLATE ZV, at DATETIME);
INSERT INTO a VALUES (1, 100, 'x', NULL);
CREATE TABLE ledger (id INTEGER PRIMARY KEY AUTOINCREMENT, userid INTEGER, amount MONEY);
)sql";

using DbConnection = DbFixture;

// The first field of `sql` read through a connection opened anew on "t".
std::string readOnANewConnection(const char* sql) {
  db::Connection conn;
  EXPECT_TRUE(conn.Open(params("t")));
  return conn.Execute(sql)(0).str();
}

// Runs `sql` on "t" on a thread of its own, which ends with it.
void writeOnAnotherThread(const char* sql) {
  std::thread([sql] {
    db::Connection conn;
    if (conn.Open(params("t"))) conn.ExecuteAction(sql);
    db::releasePooledConnections();
  }).join();
}

TEST_F(DbConnection, OpensWithTheConfiguredParameters) {
  ZURVA_EMBEDDED_ONLY();
  create(kAccounts);
  for (const char* server : {"(local)", ".", "localhost", "127.0.0.1", "ZURVA-HOST", "zurva-host"}) {
    db::Connection conn;
    EXPECT_TRUE(conn.Open(params("t", server))) << server;
    EXPECT_EQ(conn.State(), db::adStateOpen);
  }
  db::Connection conn;
  EXPECT_TRUE(conn.Open(params("T", ".", "SA")));  // logins compare without case
}

TEST_F(DbConnection, RefusesWrongParameters) {
  create(kAccounts);
  const db::ConnectionParams wrong[] = {
      params("t", "otherhost"),
      params("t", ""),
      params("t", "(local)", "guest"),
      params("t", "(local)", kDbUser, "secret"),  // passwords compare with case
      params("t", "(local)", kDbUser, ""),
      params("nosuch"),
      params(""),
      params("../t"),
      params("sub/t"),
  };
  for (const db::ConnectionParams& p : wrong) {
    db::Connection conn;
    EXPECT_FALSE(conn.Open(p)) << p.server << " " << p.user << " " << p.password << " " << p.database;
    EXPECT_EQ(conn.State(), db::adStateClosed);
    EXPECT_EQ(raisedBy([&] { conn.Execute("select 1"); }).number, db::dberr::ConnectionNotOpen);
  }
  EXPECT_FALSE(std::filesystem::exists(db::databaseFile("nosuch")));
  // A file that is not a database does not open either.
  { std::ofstream(db::databaseFile("junk")) << "not a database"; }
  db::Connection conn;
  EXPECT_FALSE(conn.Open(params("junk")));
}

TEST_F(DbConnection, TheInstallationsDatabaseIsCreatedWithTheSchemaOnFirstOpen) {
  const bool file = !testPostgres();
  if (file) {
    EXPECT_FALSE(std::filesystem::exists(db::databaseFile("zurva")));
  }
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("zurva")));
  EXPECT_EQ(conn.Execute("select count(*) from zurva_user")(0).str(), "0");
  if (file) {
    EXPECT_TRUE(std::filesystem::exists(db::databaseFile("zurva")));
    EXPECT_EQ(conn.Execute("PRAGMA journal_mode")(0).str(), "wal");
  }
}

TEST_F(DbConnection, ConnectionsOfOneThreadShareATransaction) {
  db::Connection method = create(kAccounts);
  db::Connection ledgerWriter;
  // A failure after both writes undoes both, whichever connection made them.
  EXPECT_THROW(method.transaction([&] {
    method.ExecuteAction("update a set emoney=emoney-30 where id=1");
    ASSERT_TRUE(ledgerWriter.Open(params("t")));
    ledgerWriter.ExecuteAction("insert into ledger (userid, amount) values (1, -30)");
    ledgerWriter.Close();
    throw std::runtime_error("gateway failed");
  }),
               std::runtime_error);
  EXPECT_EQ(method.Execute("select emoney from a")(0).str(), "100");
  EXPECT_EQ(method.Execute("select count(*) from ledger")(0).str(), "0");

  method.transaction([&] {
    method.ExecuteAction("update a set emoney=emoney-30 where id=1");
    ASSERT_TRUE(ledgerWriter.Open(params("t")));
    ledgerWriter.transaction([&] {  // nested: a savepoint
      ledgerWriter.ExecuteAction("insert into ledger (userid, amount) values (1, -30)");
    });
  });
  EXPECT_EQ(method.Execute("select emoney from a")(0).str(), "70");
  EXPECT_EQ(method.Execute("select count(*) from ledger")(0).str(), "1");
}

TEST_F(DbConnection, ANestedFailureUndoesOnlyItsOwnPart) {
  db::Connection conn = create(kAccounts);
  conn.transaction([&] {
    conn.ExecuteAction("update a set note='outer' where id=1");
    EXPECT_THROW(conn.transaction([&] {
      conn.ExecuteAction("update a set emoney=0 where id=1");
      conn.Execute("select cast('x' as int)");
    }),
                 VbError);
  });
  EXPECT_EQ(conn.Execute("select note || '/' || emoney from a")(0).str(), "outer/100");
}

TEST_F(DbConnection, ClosingRollsBackAnUnfinishedTransaction) {
  db::Connection conn = create(kAccounts);
  conn.BeginTrans();
  conn.ExecuteAction("update a set emoney=0 where id=1");
  conn.Close();
  db::Connection again;
  ASSERT_TRUE(again.Open(params("t")));
  EXPECT_EQ(again.Execute("select emoney from a")(0).str(), "100");
  // The pooled handle is free for a new transaction.
  again.transaction([&] { again.ExecuteAction("update a set emoney=1 where id=1"); });
  EXPECT_EQ(again.Execute("select emoney from a")(0).str(), "1");
}

TEST_F(DbConnection, ReadersOnOtherThreadsAreNotBlockedByAWriter) {
  db::Connection writer = create(kAccounts);
  writer.BeginTrans();
  writer.ExecuteAction("update a set emoney=5 where id=1");
  std::string seen;
  std::thread reader([&] {
    db::Connection conn;
    if (conn.Open(params("t"))) seen = conn.Execute("select emoney from a")(0).str();
    db::releasePooledConnections();
  });
  reader.join();
  EXPECT_EQ(seen, "100");  // the committed value, read without waiting
  writer.CommitTrans();

  // A second writer waits for the first instead of failing.
  writer.BeginTrans();
  writer.ExecuteAction("update a set emoney=6 where id=1");
  long changed = 0;
  std::thread second([&] {
    db::Connection conn;
    if (conn.Open(params("t"))) changed = conn.ExecuteAction("update a set emoney=emoney+1 where id=1");
    db::releasePooledConnections();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  writer.CommitTrans();
  second.join();
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(writer.Execute("select emoney from a")(0).str(), "7");
}

// Writers of the process take turns: whichever way a writer's transaction
// ends, a writer on another thread gets its turn (a turn kept by mistake
// would make it wait for the lock and fail).
TEST_F(DbConnection, EveryWayAWriteEndsLetsTheNextWriterIn) {
  db::Connection conn = create(kAccounts);
  auto updatable = [&] {
    auto rs = std::make_unique<db::Recordset>();
    rs->Open("select note from a where id=1", conn, db::adOpenKeyset, db::adLockOptimistic);
    EXPECT_FALSE(rs->eof());  // reading takes the write lock
    return rs;
  };
  const std::pair<const char*, std::function<void()>> endings[] = {
      {"commit", [&] { conn.transaction([&] { conn.ExecuteAction("update a set note='c' where id=1"); }); }},
      {"rollback",
       [&] {
         conn.BeginTrans();
         conn.ExecuteAction("update a set note='r' where id=1");
         conn.RollbackTrans();
       }},
      {"inner commit, outer rollback",
       [&] {
         conn.BeginTrans();
         conn.BeginTrans();
         conn.ExecuteAction("update a set note='i' where id=1");
         conn.CommitTrans();
         conn.RollbackTrans();
       }},
      {"failed statement in a transaction",
       [&] {
         EXPECT_THROW(conn.transaction([&] { conn.Execute("select cast('x' as int) from a"); }), VbError);
       }},
      {"statement outside a transaction", [&] { conn.ExecuteAction("update a set note='s' where id=1"); }},
      {"failed statement outside a transaction",
       [&] { EXPECT_THROW(conn.ExecuteAction("insert into a (id) values (1)"), VbError); }},
      {"connection closed in a transaction",
       [&] {
         db::Connection other;
         ASSERT_TRUE(other.Open(params("t")));
         other.BeginTrans();
         other.ExecuteAction("update a set note='x' where id=1");
       }},
      {"updatable recordset updated",
       [&] {
         auto rs = updatable();
         (*rs)["note"] = "u";
         rs->Update();
       }},
      {"updatable recordset closed without an update", [&] { updatable()->Close(); }},
      {"updatable recordset dropped", [&] { updatable(); }},
      {"update that fails",
       [&] {
         db::Recordset rs;
         rs.Open("select id from a where id=1", conn, db::adOpenKeyset, db::adLockOptimistic);
         rs.AddNew();
         rs["id"] = 1;
         EXPECT_THROW(rs.Update(), VbError);
         rs.CancelUpdate();
       }},
      // Last: every handle of the process closes, this thread's too.
      {"every handle closed by another thread in a transaction",
       [&] {
         conn.BeginTrans();
         conn.ExecuteAction("update a set note='h' where id=1");
         std::thread([] { db::closeAllConnections(); }).join();
       }},
  };
  for (const auto& [name, ending] : endings) {
    ending();
    long changed = 0;
    std::string error;
    std::thread other([&] {
      db::Connection mine;
      try {
        if (mine.Open(params("t"))) changed = mine.ExecuteAction("update a set emoney=emoney+1 where id=1");
      } catch (const VbError& e) {
        error = e.description();
      }
      mine.Close();
      db::releasePooledConnections();
    });
    other.join();
    EXPECT_EQ(changed, 1) << name << ": " << error;
  }
}

// Selects asked for ahead read as Execute reads them: the same rows, values
// and types, an empty result, a text that is not a select, and one that
// fails (at its Execute, as it would without asking ahead).
TEST_F(DbConnection, SelectsAskedForAheadReadAsExecuteReadsThem) {
  db::Connection conn = create(kAccounts);
  conn.ExecuteAction("insert into ledger (userid, amount) values (1, 2.5)");
  conn.ExecuteAction("insert into ledger (userid, amount) values (1, NULL)");
  const std::vector<std::string> selects = {
      "select emoney, note, at from a where id=1",
      "select amount from ledger where userid=1 order by id",
      "select count(*) from ledger where userid=1 and amount>=2",
      "select id from a where note like 'x%' and at is null",
      "select top 1 id from ledger order by id desc",
      "select note from a where id=2",
  };
  auto read = [&](const std::string& sql) {
    db::Recordset rs = conn.Execute(sql);
    std::string out;
    for (; !rs.eof(); rs.MoveNext())
      for (int i = 0; i < rs.fieldCount(); ++i)
        out +=
            rs(i).isNull() ? "NULL|" : rs(i).str() + ":" + std::to_string(int(rs(i).type())) + "|";
    return out;
  };
  std::vector<std::string> expected;
  for (const std::string& sql : selects) expected.push_back(read(sql));
  std::vector<std::string> ahead = selects;
  ahead.push_back("select cast('x' as int) from a");
  ahead.push_back("update a set note='y' where id=1");
  conn.prefetch(ahead);
  for (size_t i = 0; i < selects.size(); ++i)
    EXPECT_EQ(read(selects[i]), expected[i]) << selects[i];
  EXPECT_NE(raisedBy([&] { conn.Execute("select cast('x' as int) from a"); }).number, 0);
  EXPECT_EQ(column0(conn, "select note from a where id=1"), "x");  // the update never ran ahead
}

TEST_F(DbConnection, BoundValuesAreStoredAsTheColumnsHoldThem) {
  db::Connection conn = create(kAccounts);
  fixClock(2026, 1, 5, 9, 3, 7);
  EXPECT_EQ(conn.ExecuteAction("update a set emoney=?, note=?, at=? where id=?",
                               {Variant::currencyScaled(75000), "it's", Now(), 1}),
            1);
  db::Recordset rs = conn.Execute("select emoney, note, at, at || '' as raw from a where id=?", {1});
  EXPECT_EQ(rs("emoney").currencyScaledValue(), 75000);
  EXPECT_EQ(rs("note").str(), "it's");
  EXPECT_EQ(rs("raw").str(), "2026-01-05 09:03:07");
  EXPECT_EQ(raisedBy([&] { conn.ExecuteAction("update a set note=? where id=?", {"x"}); }).number,
            db::dberr::CommandError);
}

TEST_F(DbConnection, AReplacedDatabaseFileIsNotWrittenThroughAStaleHandle) {
  ZURVA_EMBEDDED_ONLY();
  create(kAccounts);
  {
    db::Connection conn;
    ASSERT_TRUE(conn.Open(params("t")));
    conn.ExecuteAction("update a set note='old' where id=1");
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db::databaseFile("t") + suffix);
  db::createDatabase(db::databaseFile("t"), kAccounts);
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("t")));
  EXPECT_EQ(conn.Execute("select note from a")(0).str(), "x");
}

// Within a request a database opened again is taken without looking at its
// file; the next request notices a file another thread replaced, and a
// database this thread drops and creates again is never read through the
// handle of the old file.
TEST_F(DbConnection, ARequestTakesItsHandleOnceAndTheNextNoticesAReplacedFile) {
  ZURVA_EMBEDDED_ONLY();
  create(kAccounts);
  const auto note = [] { return readOnANewConnection("select note from a where id=1"); };
  const auto replace = [](const char* value) {
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(db::databaseFile("t") + suffix);
    db::createDatabase(db::databaseFile("t"), kAccounts);
    db::Connection conn;
    EXPECT_TRUE(conn.Open(params("t")));
    conn.ExecuteAction("update a set note=? where id=1", {value});
  };
  {
    db::Connection conn;
    ASSERT_TRUE(conn.Open(params("t")));
    conn.ExecuteAction("update a set note='old' where id=1");
  }

  db::beginRequest();
  EXPECT_EQ(note(), "old");
  std::thread([&] { replace("other thread"); }).join();
  EXPECT_EQ(note(), "old");  // the request's handle
  db::beginRequest();
  EXPECT_EQ(note(), "other thread");

  db::dropDatabase(params("t"));
  db::Connection gone;
  EXPECT_FALSE(gone.Open(params("t")));
  replace("this thread");
  EXPECT_EQ(note(), "this thread");
  db::releasePooledConnections();  // ends the request's span as well
  std::thread([&] { replace("after the span"); }).join();
  EXPECT_EQ(note(), "after the span");
}

// Holds a request's shared reads for at most `limit` while it lives.
class SharedReadLimit {
 public:
  explicit SharedReadLimit(std::chrono::microseconds limit)
      : before_(db::detail::sqlite::setSharedReadLimit(limit)) {}
  ~SharedReadLimit() { db::detail::sqlite::setSharedReadLimit(before_); }
  SharedReadLimit(const SharedReadLimit&) = delete;
  SharedReadLimit& operator=(const SharedReadLimit&) = delete;

 private:
  std::chrono::microseconds before_;
};

// The reads of a request share one state of the file: another connection's
// commit is seen by the next request (and, meanwhile, by a write or a
// transaction of the request, which start from the latest state), and what
// the request writes is seen by its later reads. The commit count stays at
// the request's state, so that nothing read in it is kept as a later state.
TEST_F(DbConnection, TheReadsOfARequestSeeOneStateAndItsWritesTheLatest) {
  ZURVA_EMBEDDED_ONLY();
  create(kAccounts);
  const SharedReadLimit longEnough(std::chrono::hours(1));  // however slow the machine
  const auto read = readOnANewConnection;
  const auto elsewhere = writeOnAnotherThread;

  db::beginRequest();
  const std::uint64_t commits = db::commitCount();
  EXPECT_EQ(read("select emoney from a where id=1"), "100");
  elsewhere("update a set emoney=emoney+1 where id=1");
  EXPECT_EQ(read("select emoney from a where id=1"), "100");
  EXPECT_EQ(read("select count(*) from a"), "1");
  EXPECT_EQ(db::commitCount(), commits);

  {  // a write of the request starts from the other connection's commit
    db::Connection conn;
    ASSERT_TRUE(conn.Open(params("t")));
    EXPECT_EQ(conn.ExecuteAction("update a set emoney=emoney+10 where id=1"), 1);
  }
  EXPECT_EQ(read("select emoney from a where id=1"), "111");
  EXPECT_GT(db::commitCount(), commits);

  elsewhere("update a set emoney=emoney+1 where id=1");
  EXPECT_EQ(read("select emoney from a where id=1"), "111");
  {  // and so does a transaction
    db::Connection conn;
    ASSERT_TRUE(conn.Open(params("t")));
    conn.transaction([&] {
      EXPECT_EQ(conn.Execute("select emoney from a where id=1")(0).str(), "112");
      conn.ExecuteAction("update a set note='mine' where id=1");
    });
  }
  EXPECT_EQ(read("select note || '/' || emoney from a where id=1"), "mine/112");

  elsewhere("update a set emoney=emoney+1 where id=1");
  db::beginRequest();
  EXPECT_EQ(read("select emoney from a where id=1"), "113");
  db::endRequest();
  elsewhere("update a set emoney=emoney+1 where id=1");
  EXPECT_EQ(read("select emoney from a where id=1"), "114");  // a thread between requests
  db::releasePooledConnections();
}

// A request's shared read holds back the log's checkpoints: it lets go once
// it has been held for a while, and at the end of the request.
TEST_F(DbConnection, ARequestLetsGoOfItsStateWhenItTakesLongAndWhenItEnds) {
  ZURVA_EMBEDDED_ONLY();
  create(kAccounts);
  const auto read = [] { return readOnANewConnection("select emoney from a where id=1"); };
  const auto writeElsewhere = [] {
    writeOnAnotherThread("update a set emoney=emoney+1 where id=1");
  };
  // Whether another connection's checkpoint copies the whole log and starts
  // it afresh at once, which no reader of an earlier state may be in the way of.
  const auto logRestarts = [] {
    sqlite3* other = nullptr;
    EXPECT_EQ(sqlite3_open(db::databaseFile("t").c_str(), &other), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(other, "PRAGMA wal_checkpoint(TRUNCATE)", -1, &stmt, nullptr);
    const bool done = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == 0;
    sqlite3_finalize(stmt);
    sqlite3_close(other);
    return done;
  };

  std::optional<SharedReadLimit> limit(std::in_place, std::chrono::hours(1));
  db::beginRequest();
  EXPECT_EQ(read(), "100");
  writeElsewhere();
  EXPECT_EQ(read(), "100");
  EXPECT_FALSE(logRestarts());
  limit.emplace(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(read(), "101");  // held long: a state read afresh

  limit.emplace(std::chrono::hours(1));
  writeElsewhere();
  EXPECT_EQ(read(), "101");
  db::endRequest();
  EXPECT_TRUE(logRestarts());
  db::releasePooledConnections();
}

// Commits checkpoint the log as it grows, partly after their write turn; it
// must still start afresh, and so stay small, while writers on several
// threads and a reader go on all the time, and lose no write.
TEST_F(DbConnection, TheWriteAheadLogStaysBoundedWhileWritersAndReadersGoOn) {
  ZURVA_EMBEDDED_ONLY();
  create(kAccounts);
  const std::string file = db::databaseFile("t");
  // A frame each, 20,000 in all: the log starts afresh once it holds 4,000,
  // and a start the reader foils is tried again 2,000 frames later.
  constexpr int kWriters = 2, kCommits = 10000;
  std::atomic<bool> writing{true};
  std::atomic<std::uintmax_t> largestLog{0};
  std::thread reader([&] {
    db::Connection conn;
    if (!conn.Open(params("t"))) return;
    while (writing) {
      conn.Execute("select emoney from a where id=1");
      std::error_code ignored;
      const std::uintmax_t size = std::filesystem::file_size(file + "-wal", ignored);
      if (!ignored && size > largestLog) largestLog = size;
    }
    db::releasePooledConnections();
  });
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&] {
      db::Connection conn;
      if (!conn.Open(params("t"))) return;
      for (int i = 0; i < kCommits; ++i)
        conn.ExecuteAction("update a set emoney=emoney+1 where id=1");
      db::releasePooledConnections();
    });
  }
  for (std::thread& t : writers) t.join();
  writing = false;
  reader.join();

  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("t")));
  EXPECT_EQ(conn.Execute("select emoney from a where id=1")(0).str(),
            std::to_string(100 + kWriters * kCommits));
  // Frames of a 4 KB page and their headers: half of what the commits wrote.
  EXPECT_LT(largestLog.load(), std::uintmax_t(10000) * (4096 + 24));
}

// A reader that keeps its snapshot foils every restart of the log while it
// reads, and the restarts tried then are put off; once it is done, the log
// starts afresh all the same, and no write is lost on the way.
TEST_F(DbConnection, TheLogStartsAfreshOnceAReaderThatHeldItIsDone) {
  ZURVA_EMBEDDED_ONLY();
  db::Connection conn = create(kAccounts);
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open_v2(db::databaseFile("t").c_str(), &reader, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT id FROM ledger;", nullptr, nullptr, nullptr),
            SQLITE_OK);
  // Commits of a logged frame each: past the restart bound (4,000) while the
  // reader holds its snapshot, then as many again after it.
  constexpr int kWhileReading = 5000, kAfter = 5000;
  auto commit = [&](int n) {
    for (int i = 0; i < n; ++i) conn.ExecuteAction("update a set emoney=emoney+1 where id=1");
  };
  commit(kWhileReading);
  sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(reader);
  commit(kAfter);

  EXPECT_EQ(conn.Execute("select emoney from a where id=1")(0).str(),
            std::to_string(100 + kWhileReading + kAfter));
  // The frames in the log now: fewer than the commits since the reader went.
  EXPECT_LT(std::stoi(conn.Execute("PRAGMA wal_checkpoint(PASSIVE)")(1).str()), kAfter);
}

TEST_F(DbConnection, ClosingEveryHandleRemovesTheWriteAheadLog) {
  ZURVA_EMBEDDED_ONLY();
  db::Connection conn = create(kAccounts);
  const std::string file = db::databaseFile("t");
  std::mutex m;
  std::condition_variable cv;
  int stage = 0;  // 1: the worker wrote and waits; 2: all handles closed
  Raised afterClose;
  std::thread worker([&] {
    db::Connection mine;
    if (mine.Open(params("t"))) mine.ExecuteAction("update a set emoney=emoney+1 where id=1");
    std::unique_lock<std::mutex> lock(m);
    stage = 1;
    cv.notify_all();
    cv.wait(lock, [&] { return stage == 2; });
    afterClose = raisedBy([&] { mine.Execute("select emoney from a"); });
    db::releasePooledConnections();
  });
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return stage == 1; });
  }
  conn.ExecuteAction("insert into ledger (userid, amount) values (1, 1)");
  EXPECT_TRUE(std::filesystem::exists(file + "-wal"));

  db::closeAllConnections();  // this thread's handle and the worker's
  EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
  EXPECT_FALSE(std::filesystem::exists(file + "-shm"));
  {
    std::lock_guard<std::mutex> lock(m);
    stage = 2;
  }
  cv.notify_all();
  worker.join();
  // A connection left open on a closed handle fails cleanly.
  EXPECT_EQ(afterClose.number, db::dberr::ConnectionNotOpen);
  // Nothing was lost, and opening again gives a working handle.
  db::Connection again;
  ASSERT_TRUE(again.Open(params("t")));
  EXPECT_EQ(again.Execute("select emoney from a")(0).str(), "101");
  EXPECT_EQ(again.Execute("select count(*) from ledger")(0).str(), "1");
}

}  // namespace
}  // namespace zurvafun::testing

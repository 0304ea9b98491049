// The embedded backend: a pooled SQLite handle per thread and database file,
// with its statement cache by statement shape.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <semaphore.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/internal.h"

namespace zurvafun::db::detail::sqlite {

// A prepared SQLite statement.
struct Statement : Prepared {
  sqlite3_stmt* stmt = nullptr;
};

// The write gate of a database file (see SqliteHandle): one turn at a time,
// waited for asleep. A turn belongs to a handle, not to a thread: whoever
// closes the handle gives it back.
class WriteGate {
 public:
  WriteGate() { sem_init(&turns_, 0, 1); }
  ~WriteGate() { sem_destroy(&turns_); }
  WriteGate(const WriteGate&) = delete;
  WriteGate& operator=(const WriteGate&) = delete;
  // False when the turn did not come within `limit`.
  bool take(std::chrono::milliseconds limit);
  // Gives the turn back; with writers asleep at the gate, the calling thread
  // then lets the one woken run first (see the definition).
  void release();

  // Read and written by the turn's holder only (see
  // SqliteHandle::checkpoint): the log's frame count when a checkpoint was
  // last asked for, the one from which a restart of the log is tried again
  // (0: from the usual bound) and the tries that readers foiled since the log
  // last started afresh. And whether a checkpoint outside the turn is copying
  // now (by any handle of the file).
  int checkpointedTo = 0;
  int restartFrom = 0;
  int foiledRestarts = 0;
  std::atomic<bool> checkpointing{false};

 private:
  sem_t turns_;
  std::atomic<int> sleepers_{0};  // writers waiting asleep for the turn
};

// A turn taken at a gate, given back when it goes (or by giveBack).
class WriteTurn {
 public:
  WriteTurn() = default;
  explicit WriteTurn(std::shared_ptr<WriteGate> gate) : gate_(std::move(gate)) {}
  WriteTurn(WriteTurn&& other) noexcept : gate_(std::move(other.gate_)) {}
  WriteTurn& operator=(WriteTurn&& other) noexcept {
    if (this != &other) {
      giveBack();
      gate_ = std::move(other.gate_);
    }
    return *this;
  }
  ~WriteTurn() { giveBack(); }
  void giveBack() noexcept {
    if (gate_) std::exchange(gate_, nullptr)->release();
  }

 private:
  std::shared_ptr<WriteGate> gate_;
};

// One pooled SQLite handle: one per thread and database file.
//
// The outermost transaction level begins with BEGIN IMMEDIATE, so the write
// lock is taken before anything is read.
//
// The writers of one file within the process take turns at the file's write
// gate before they ask for SQLite's write lock: a writer that finds another
// one writing sleeps until that one is done, instead of polling SQLite's lock
// from the busy handler, which with many threads writing costs more than the
// writes themselves (retries, sleeps, context switches, and no order among
// the waiters). Other processes still meet SQLite's lock and the busy handler.
class SqliteHandle final : public Handle {
 public:
  sqlite3* db = nullptr;  // null once closed by closeAllConnections()
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;

  explicit SqliteHandle(std::string file);
  ~SqliteHandle() override;

  // The reads of a request share one read transaction (see db::beginRequest)
  // while this is set: the handle was opened in the thread's current request.
  bool sharesReads = false;
  // Ends the shared read transaction, when one is open.
  void endSharedRead() noexcept;
  // The commit count when the shared read transaction began; nothing when
  // none is open.
  std::optional<std::uint64_t> sharedReadCommits() const {
    return sharedRead_ ? std::optional<std::uint64_t>(sharedReadCommits_) : std::nullopt;
  }

  bool isOpen() const override { return db != nullptr; }
  // Closes the SQLite handle (rolling back what is open); the object stays,
  // and statements through it raise 3709.
  void close() noexcept override;

  // The statement for SQL Server text, rewritten. Statements are found first
  // by the shape of the text (no rewriting when a text of that shape was
  // seen), then by their rewritten text, so statements that differ only in
  // their literals share one.
  Prepared& prepare(std::string_view sql, bool forUpdate, std::vector<Slot>& slots) override;
  long run(Prepared& p, const std::vector<Slot>& slots, const std::vector<Variant>& params,
           RowBuffer* rows) override;
  bool sortedRows(Prepared& p) const override;
  std::int64_t insertRow(const std::string& table, const std::vector<Assignment>& values) override;
  long updateRow(const std::string& table, const std::vector<Assignment>& values,
                 std::int64_t key) override;
  std::shared_ptr<const ColumnSet> readRow(const std::string& table, std::int64_t key,
                                           RowBuffer& row) override;

 protected:
  void beginOutermost() override;  // ends the shared read first
  void commitOutermost() override;
  void rollbackOutermost() noexcept override;
  void savepoint(const std::string& sql) override { exec(sql.c_str()); }
  void rollbackToSavepoint(const std::string& sql) noexcept override;
  void levelsEnded() noexcept override {
    writing_.giveBack();
    checkpointOutsideTurn();
  }

 private:
  // The statement for SQLite text as it stands (cached likewise).
  Statement& prepareNative(const std::string& sql);
  // Runs SQLite text that has no rows (SAVEPOINT, PRAGMA…).
  void exec(const char* sql);
  // The outermost level's BEGIN IMMEDIATE, COMMIT and ROLLBACK, prepared once
  // for the handle (they run with every write).
  enum class Fixed { Begin, Commit, Rollback, BeginRead };
  void exec(Fixed statement);
  int tryExec(Fixed statement) noexcept;  // gives SQLite's result instead of raising
  // The file's write turn for a statement about to run outside a transaction
  // of the handle: held when the statement writes, empty when it only reads
  // or the handle's transaction holds the turn already.
  WriteTurn autocommitTurn(sqlite3_stmt* stmt);
  // Before a statement that runs outside a transaction level: one that reads
  // joins the shared read transaction (begun now, or anew once it has been
  // held for the limit, see setSharedReadLimit), one that writes ends it.
  void beforeAutocommit(sqlite3_stmt* stmt);
  // Raises the error of a failed step: a function's own error, else the
  // database's message.
  [[noreturn]] void fail(int rc);
  void forgetStatements();
  // Waits for the file's write turn (at most the busy limit; then the
  // database is locked, as SQLite says when its own wait runs out).
  WriteTurn takeWriteTurn();
  void checkpoint(int frames);
  // The checkpoint that a commit of this handle left for after its turn.
  void checkpointOutsideTurn() noexcept;
  static int walHook(void* self, sqlite3* db, const char* name, int frames);
  static int busyHandler(void* self, int count);
  void refreshSchema();
  Statement& cached(std::string key, const Translation& t);
  std::shared_ptr<const ColumnSet> describe(sqlite3_stmt* stmt, const Translation& t) const;
  void storeRow(sqlite3_stmt* stmt, int width, RowBuffer& rows) const;

  std::unordered_map<std::string, std::unique_ptr<Statement>> cache_;
  ShapeCache shapes_;
  SchemaInfo schema_;
  long long schemaVersion_ = -1;
  sqlite3_stmt* versionStmt_ = nullptr;
  sqlite3_stmt* fixed_[4] = {};           // by Fixed, prepared at first use
  std::shared_ptr<WriteGate> writeGate_;  // the file's, shared by the process's handles of it
  WriteTurn writing_;                     // held while a transaction level is open
  bool checkpointDue_ = false;            // see checkpointOutsideTurn
  int busyLimitMs_ = 5000;                // how long a statement waits for a lock
  std::int64_t busySince_ = 0;            // when the current wait began (steady clock, µs)
  std::int64_t busyUntil_ = 0;            // when set, the end of every wait (steady clock, µs)
  bool sharedRead_ = false;               // the shared read transaction is open
  std::uint64_t sharedReadCommits_ = 0;   // the commit count when it began
  std::chrono::steady_clock::time_point sharedReadSince_;  // when it began
};

}  // namespace zurvafun::db::detail::sqlite

// Internals shared by the connection and recordset code: the pooled SQLite
// handle with its statement cache, and the description of a result's columns.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <semaphore.h>
#include <utility>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/dialect.h"
#include "runtime/variant.h"

namespace zurvafun::db::detail {

// The value type a field reads as, from its declared column type.
enum class ValueKind : std::uint8_t { Dynamic, Long, Integer, Boolean, Currency, Date, Text };
ValueKind valueKindOf(const char* declared);

struct Column {
  std::string name;
  ValueKind kind = ValueKind::Dynamic;
  ColKind writeKind = ColKind::Unknown;  // how a value written to it is converted
  std::string baseColumn;  // the column of the base table that Update writes ("" for none)
  bool computed = false;   // an expression named like a base column: not read back
};

struct ColumnSet {
  std::vector<Column> columns;  // the fields a page sees
  int stored = 0;               // values stored per row (fields plus the row key)
  int rowidIndex = -1;          // the row key's place in a stored row, or -1
  std::string baseTable;        // the table Update and AddNew write, or ""
  int find(std::string_view name) const;  // -1 when absent

  // For each field, the place of its base column among the columns of
  // `baseRow` (the columns of a whole row of the base table), or -1 for a
  // field that reads back no column of it (no base column, or a computed
  // one). Worked out once per `baseRow` and kept.
  const std::vector<int>& baseColumnPlaces(const std::shared_ptr<const ColumnSet>& baseRow) const;

 private:
  mutable std::shared_ptr<const ColumnSet> placesOf_;  // kept, so that its address is never another's
  mutable std::vector<int> places_;
};

// A prepared statement with what the layer knows about it.
struct Prepared {
  sqlite3_stmt* stmt = nullptr;
  std::shared_ptr<const ColumnSet> columns;  // null for statements without rows
  bool schemaChange = false;
};

// The write gate of a database file (see Handle): one turn at a time, waited
// for asleep. A turn belongs to a handle, not to a thread: whoever closes the
// handle gives it back.
class WriteGate {
 public:
  WriteGate() { sem_init(&turns_, 0, 1); }
  ~WriteGate() { sem_destroy(&turns_); }
  WriteGate(const WriteGate&) = delete;
  WriteGate& operator=(const WriteGate&) = delete;
  // False when the turn did not come within `limit`.
  bool take(std::chrono::milliseconds limit);
  void release() { sem_post(&turns_); }

 private:
  sem_t turns_;
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
// The writers of one file within the process take turns at the file's write
// gate before they ask for SQLite's write lock: a writer that finds another
// one writing sleeps until that one is done, instead of polling SQLite's lock
// from the busy handler, which with many threads writing costs more than the
// writes themselves (retries, sleeps, context switches, and no order among
// the waiters). Other processes still meet SQLite's lock and the busy handler.
struct Handle {
  sqlite3* db = nullptr;  // null once closed by closeAllConnections()
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;

  explicit Handle(std::string file);
  ~Handle();
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  // Closes the SQLite handle (rolling back what is open); the object stays,
  // and statements through it raise 3709.
  void close() noexcept;

  // Transaction levels, shared by the connections and recordsets of the
  // handle. The outermost begins with BEGIN IMMEDIATE (the write lock is taken
  // before anything is read), inner ones are savepoints; it holds the write
  // turn of the file (see WriteTurn) until it ends. begin() gives the
  // new level's id. commit() ends a level: at once when it is the innermost,
  // else when the levels inside it have ended too; false when the level is
  // gone (an outer level was rolled back). rollback() undoes a level with
  // every level inside it.
  std::uint64_t begin();
  bool commit(std::uint64_t level);
  void rollback(std::uint64_t level) noexcept;
  bool holds(std::uint64_t level) const;

  // The statement for SQL Server text, rewritten; `slots` receives what to
  // bind (see bindSlots). Statements are found first by the shape of the
  // text (no rewriting when a text of that shape was seen), then by their
  // rewritten text, so statements that differ only in their literals share
  // one. After running a statement that changes the schema, call
  // forgetStatements().
  Prepared& prepare(std::string_view sql, bool forUpdate, std::vector<Slot>& slots);
  // The statement for SQLite text as it stands (cached likewise).
  Prepared& prepareNative(const std::string& sql);
  // Runs SQLite text that has no rows (SAVEPOINT, PRAGMA…).
  void exec(const char* sql);
  // The same for the outermost level's BEGIN IMMEDIATE, COMMIT and ROLLBACK,
  // prepared once for the handle (they run with every write).
  enum class Fixed { Begin, Commit, Rollback };
  void exec(Fixed statement);
  int tryExec(Fixed statement) noexcept;  // gives SQLite's result instead of raising
  // The file's write turn for a statement about to run outside a transaction
  // of the handle: held when the statement writes, empty when it only reads
  // or the handle's transaction holds the turn already.
  WriteTurn autocommitTurn(sqlite3_stmt* stmt);
  // Raises the error of a failed step: a function's own error, else the
  // database's message.
  [[noreturn]] void fail(int rc);
  void forgetStatements();

 private:
  struct Level {
    std::uint64_t id;
    bool ended;  // committed, waiting for the levels inside it
  };
  void requireOpen() const;
  // Waits for the file's write turn (at most the busy limit; then the
  // database is locked, as SQLite says when its own wait runs out).
  WriteTurn takeWriteTurn();
  // The transaction levels are gone: the write turn is given back.
  void levelsEnded() noexcept;
  void settleLevels();
  void checkpoint(int frames);
  static int walHook(void* self, sqlite3* db, const char* name, int frames);
  static int busyHandler(void* self, int count);
  void refreshSchema();
  Prepared& cached(std::string key, const Translation& t);
  std::shared_ptr<const ColumnSet> describe(sqlite3_stmt* stmt, const Translation& t) const;

  // A translation made for a text of some shape, kept for other texts of it.
  struct ShapeUse {
    Prepared* prepared;
    std::vector<Slot> slots;
    std::vector<int> slotLiterals;
    std::vector<std::pair<int, std::string>> pinned;  // a literal's place and its text
  };
  Prepared* byShape(const Shape& shape, std::vector<Slot>& slots);

  std::unordered_map<std::string, Prepared> cache_;
  std::unordered_map<std::string, std::vector<ShapeUse>> shapes_;
  SchemaInfo schema_;
  long long schemaVersion_ = -1;
  sqlite3_stmt* versionStmt_ = nullptr;
  sqlite3_stmt* fixed_[3] = {};  // by Fixed, prepared at first use
  std::vector<Level> levels_;  // outermost first
  std::shared_ptr<WriteGate> writeGate_;  // the file's, shared by the process's handles of it
  WriteTurn writing_;                     // held while levels_ is not empty
  std::uint64_t nextLevel_ = 0;
  int busyLimitMs_ = 5000;     // how long a statement waits for a lock
  std::int64_t busySince_ = 0;  // when the current wait began (steady clock, µs)
};

// Resets a statement after use, whatever happens.
struct StatementUse {
  sqlite3_stmt* stmt;
  explicit StatementUse(sqlite3_stmt* s) : stmt(s) {}
  ~StatementUse() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
};

// Binds a value for a column of the given kind, converted as the column stores it.
void bindValue(sqlite3_stmt* stmt, int index, const Variant& value, ColKind kind);
// Binds the slots of a rewritten statement, the caller's values in place of its "?".
void bindSlots(sqlite3_stmt* stmt, const std::vector<Slot>& slots, const std::vector<Variant>& params);
// Runs a statement through all its rows (they are dropped), its slots bound
// to `params`, holding the file's write turn while it writes outside a
// transaction; a statement that changed the schema makes the handle forget
// its statements afterwards.
void runToEnd(Handle& h, Prepared& p, const std::vector<Slot>& slots, const std::vector<Variant>& params);

}  // namespace zurvafun::db::detail

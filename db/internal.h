// The internal interface between the database layer's shared code (Connection,
// Recordset, the value types, the transaction levels and the locking rules)
// and its backends, each in its own folder: db/sqlite/ (an embedded file) and
// db/postgres/ (a database server). A backend gives pooled handles; a handle
// prepares statements from SQL Server text (parsed once by the dialect and
// rendered in the backend's terms), runs them into the shared row buffer, and
// reads and writes single rows of a base table by their row key.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/db.h"
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
  std::vector<Column> columns;            // the fields a page sees
  int stored = 0;                         // values stored per row (fields plus the row key)
  int rowidIndex = -1;                    // the row key's place in a stored row, or -1
  std::string baseTable;                  // the table Update and AddNew write, or ""
  int find(std::string_view name) const;  // -1 when absent

  // For each field, the place of its base column among the columns of
  // `baseRow` (the columns of a whole row of the base table), or -1 for a
  // field that reads back no column of it (no base column, or a computed
  // one). Worked out once per `baseRow` and kept.
  const std::vector<int>& baseColumnPlaces(const std::shared_ptr<const ColumnSet>& baseRow) const;

 private:
  mutable std::shared_ptr<const ColumnSet>
      placesOf_;  // kept, so that its address is never another's
  mutable std::vector<int> places_;
};

// A stored value: rows are kept as raw database values and become Variants
// only when a field is read (see Recordset).
struct Cell {
  enum Tag : std::uint8_t { Null, Int, Real, Text, Value };
  Tag tag = Null;
  std::uint32_t length = 0;  // Text: bytes in the buffer's text
  union {
    std::int64_t integer = 0;
    double real;
    std::uint64_t
        offset;  // Text: offset in the buffer's text; Value: index of a Variant kept aside
  };
  bool sameValue(const Cell& other, std::string_view text, std::string_view otherText) const;
};

// Rows as a backend stores them: `width` cells a row, back to back, and the
// bytes of every text cell in `text`.
struct RowBuffer {
  std::vector<Cell>* cells;
  std::string* text;
  long rows = 0;
  // Adds a row of `width` Null cells and gives its first cell.
  Cell* addRow(int width) {
    cells->resize(cells->size() + size_t(width));
    ++rows;
    return cells->data() + cells->size() - size_t(width);
  }
  void setText(Cell& cell, const char* p, size_t n) const {
    cell.tag = Cell::Text;
    cell.offset = text->size();
    cell.length = std::uint32_t(n);
    text->append(p ? p : "", n);
  }
};

// A value converted for a column of the given kind, as the column stores it.
struct Bound {
  enum Tag : std::uint8_t { Null, Int, Real, Text, Currency } tag = Null;
  std::int64_t integer = 0;  // Int; Currency: scaled by 10,000
  double real = 0;
  std::string text;
};
Bound boundValue(const Variant& value, ColKind kind);

// A statement prepared by a backend with what the layer knows about it.
struct Prepared {
  virtual ~Prepared() = default;
  std::shared_ptr<const ColumnSet> columns;  // null for statements without rows
  bool schemaChange = false;
};

// The statements a handle prepared, by the shape of their text: a text of a
// shape seen before finds its statement without being rewritten, its slots
// filled from its own literals (a few translations per shape, for texts that
// differ in a literal the rewrite depends on).
class ShapeCache {
 public:
  // The statement of a text whose shape was seen with the same pinned
  // literals, its slots filled from the text's own literals; null when none.
  Prepared* find(const Shape& shape, std::vector<Slot>& slots) const;
  // Keeps the translation `t` of a text of `shape`, prepared as `p`.
  void remember(const Shape& shape, Prepared* p, const Translation& t);
  void clear() { shapes_.clear(); }

 private:
  struct Use {
    Prepared* prepared;
    std::vector<Slot> slots;
    std::vector<int> slotLiterals;
    std::vector<std::pair<int, std::string>> pinned;  // a literal's place and its text
  };
  std::unordered_map<std::string, std::vector<Use>> shapes_;
};

// One pooled connection of a backend to one database, used by one thread.
// Connections and recordsets of that thread opened for the database share it,
// and with it its transaction levels.
class Handle {
 public:
  virtual ~Handle() = default;
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  // Closes every open handle of every backend (see db::closeAllConnections).
  static void closeEveryHandle();

  // False once closed (closeAllConnections, a lost server connection).
  virtual bool isOpen() const = 0;
  virtual void close() noexcept = 0;
  void requireOpen() const;

  // Transaction levels, shared by the connections and recordsets of the
  // handle. The outermost takes the database's write lock before anything is
  // read (see the backends), inner ones are savepoints. begin() gives the new
  // level's id. commit() ends a level: at once when it is the innermost, else
  // when the levels inside it have ended too; false when the level is gone
  // (an outer level was rolled back). rollback() undoes a level with every
  // level inside it.
  std::uint64_t begin();
  bool commit(std::uint64_t level);
  void rollback(std::uint64_t level) noexcept;
  bool holds(std::uint64_t level) const;
  bool inTransaction() const { return !levels_.empty(); }

  // The statement for SQL Server text; `slots` receives what to bind.
  // `forUpdate` asks for the row key as a last column (see Parsed).
  virtual Prepared& prepare(std::string_view sql, bool forUpdate, std::vector<Slot>& slots) = 0;
  // Runs a statement, its slots bound to the caller's `params`, and appends
  // its rows to `rows` (or drops them when null). Gives the number of rows a
  // statement that writes changed, -1 for one that does not write. A
  // statement that changed the schema makes the handle forget its statements.
  virtual long run(Prepared& p, const std::vector<Slot>& slots, const std::vector<Variant>& params,
                   RowBuffer* rows) = 0;
  // Sends the selects among `sqls` ahead and keeps their rows for the next
  // run of each with the same values (see Connection::prefetch); a backend
  // that answers at once does nothing.
  virtual void prefetch(const std::vector<std::string>& /*sqls*/) {}
  // Whether a run of the statement so far put its rows in order by sorting
  // them, rather than reading them in the order of an index (whose ties go
  // by the row key, so that the order is total and reads the same both
  // ways). A backend that cannot tell says true.
  virtual bool sortedRows(Prepared&) const { return true; }
  // Whether the order of a statement's rows may be kept (Recordset::
  // orderedKeys) from one run that sorts them with their ties by row key: a
  // backend that cannot tell how it reads them sorts them anew at every run,
  // ties falling as they may, so pages read by the keys of one run are more
  // consistent than pages that each run the statement again.
  virtual bool keepsSortedOrder() const { return false; }

  // Single rows of a base table by their row key (the recordset's writes).
  // The values go with the kinds of their columns.
  struct Assignment {
    std::string column;
    const Variant* value;
    ColKind kind;
  };
  // Inserts a row and gives its key.
  virtual std::int64_t insertRow(const std::string& table,
                                 const std::vector<Assignment>& values) = 0;
  // Updates the row; gives the number of rows changed (0 when it is gone).
  virtual long updateRow(const std::string& table, const std::vector<Assignment>& values,
                         std::int64_t key) = 0;
  // The same, where `level` ends right after the update: when it is the
  // only level, a backend may commit it with the update, in one round trip
  // (the level is then gone; a failed update leaves it for the caller to
  // end, as updateRow does).
  long updateRowEnding(std::uint64_t level, const std::string& table,
                       const std::vector<Assignment>& values, std::int64_t key);
  // Reads the whole row into `row` (one row added, or none when it is gone)
  // and gives the columns of a whole row of the table.
  virtual std::shared_ptr<const ColumnSet> readRow(const std::string& table, std::int64_t key,
                                                   RowBuffer& row) = 0;

 protected:
  // The backend's part of the levels.
  virtual void beginOutermost() = 0;
  virtual void commitOutermost() = 0;  // raises when the commit failed
  virtual void rollbackOutermost() noexcept = 0;
  virtual void savepoint(const std::string& sql) = 0;  // SAVEPOINT, RELEASE
  virtual void rollbackToSavepoint(const std::string& sql) noexcept = 0;
  // updateRow, then the commit of the outermost level, the only one: a
  // backend that sends both at once does so, ends the levels and gives the
  // number of rows changed; a failed update raises with the levels left as
  // they were, a failed commit ends them and raises as commitOutermost does.
  // std::nullopt, with nothing done, where it does not.
  virtual std::optional<long> updateRowAndCommit(const std::string& /*table*/,
                                                 const std::vector<Assignment>& /*values*/,
                                                 std::int64_t /*key*/) {
    return std::nullopt;
  }
  // The levels are gone (committed, rolled back, or ended by a failure).
  virtual void levelsEnded() noexcept {}
  // A failure ended the whole transaction on the database's side.
  void abandonLevels() noexcept;
  // Enters the handle in the process's list of open handles (at the end of a
  // backend's constructor) and takes it out (at the start of its destructor).
  void enlist();
  void delist() noexcept;
  // Counts a transaction that wrote and committed (db::commitCount()).
  static void countCommit() noexcept;
  // The transactions counted so far, by every thread.
  static std::uint64_t commitsSoFar() noexcept;

 private:
  struct Level {
    std::uint64_t id;
    bool ended;  // committed, waiting for the levels inside it
  };
  void settleLevels();
  std::vector<Level> levels_;  // outermost first
  std::uint64_t nextLevel_ = 0;
};

// A select read by pages: "select [top N] <list> from … [order by …]"
// without DISTINCT, GROUP BY or a second select on its own level. Its rows
// are counted by `count` and read a window at a time by `page`, so that a
// recordset holds the rows it shows, not every row the statement gives.
struct PagedText {
  std::string count;  // one row, one field: the number of rows the statement gives
  std::string list;   // the select list
  std::string body;   // "from …" to the end, ORDER BY included
  bool ordered = false;  // whether the statement has an ORDER BY
  long top = -1;      // N of TOP N, or -1
  // "from …" with every item of the ORDER BY in the other direction ("" for
  // a statement without ORDER BY or with TOP).
  std::string reversedBody;
  // The one table of a body "from T [where …] [order by …]", or "".
  std::string table;
  // Rows read by their keys (Recordset::OpenPaged with RowKeys): the key's
  // column, its place among the fields (-1 when the rows are read by
  // `page`), and the keys of every row in the statement's order.
  std::string keyColumn;
  int keyField = -1;
  std::vector<std::int64_t> keys;
  // Of `rows` rows from row `first` (0-based), those the statement gives.
  long rowsFrom(long first, long rows) const;
  // The statement of rowsFrom(first, rows) rows from row `first` on, in the
  // statement's order.
  std::string page(long first, long rows) const;
  // The statement of `rows` rows that end `fromEnd` rows before the last, in
  // the other direction (the last of them first).
  std::string reversedPage(long fromEnd, long rows) const;
  // The statement of the rows holding keys[first] to keys[first + rows - 1],
  // in the table's order: "select <list> from <table> where <key> in (…)".
  std::string keyedPage(long first, long rows) const;
};
// Null for a statement whose rows cannot be counted or windowed so.
std::optional<PagedText> pagedText(std::string_view sql);

// The text a closed connection's statement raises 3709 with.
extern const char* const kConnectionClosed;

// ---- the backends' entry points (db/sqlite/, db/postgres/)

namespace sqlite {
// SQLite's process-wide settings, made before its first use.
void configureLibrary();
// Creates a database file (see db::createDatabase).
void createFile(const std::string& file, std::string_view schemaSql);
// The pooled handle of this thread for a database file of the data folder
// (the configured database created on first open); null when it cannot be
// opened.
std::shared_ptr<Handle> open(const std::string& name, bool own);
void releaseThreadHandles();
// See db::beginRequest and db::endRequest.
void beginRequest();
void endRequest();
// The commit count (db::commitCount) when the oldest of this thread's shared
// reads began; nothing when it holds none.
std::optional<std::uint64_t> sharedReadCommits();
// Sets how long a shared read is held at most (for tests); gives the limit
// it replaces.
std::chrono::microseconds setSharedReadLimit(std::chrono::microseconds limit);
// The next open of each database on this thread checks its file again (after
// this thread removed or created a database file).
void recheckFiles();
}  // namespace sqlite

namespace postgres {
// The pooled handle of this thread for a database on a configured server;
// null when it cannot be opened (wrong login, no such database).
std::shared_ptr<Handle> open(const ServerConfig& server, const ConnectionParams& params, bool own);
void releaseThreadHandles();
// Rows this thread's handles kept ahead (prefetch) are dropped: they belong
// to the request that asked for them.
void beginRequest();
// Creates a database on the server and applies the schema to it.
void createDatabase(const ServerConfig& server, const ConnectionParams& params,
                    std::string_view schemaSql);
void dropDatabase(const ServerConfig& server, const ConnectionParams& params);
void copyDatabase(const ServerConfig& server, const ConnectionParams& params, const std::string& file);
}  // namespace postgres

}  // namespace zurvafun::db::detail

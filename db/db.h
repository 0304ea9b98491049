// The database layer: connections and recordsets in the manner of the data
// access objects the page methods were written against, over an embedded
// SQLite file or a PostgreSQL server, accepting the SQL Server dialect that
// the methods' statements are written in.
//
//   db::Connection conn;
//   if (!conn.Open(params)) { /* write the connection error text */ }
//   Variant balance = conn.Execute("select emoney from zurva_user where userid=5")(0);
//   db::Recordset rs;
//   rs.Open("select userbz from zurva_user where userid=5", conn, db::adOpenKeyset,
//           db::adLockOptimistic);
//   rs["userbz"] = text;
//   rs.Update();
//
// Statements: every call runs exactly one statement; text holding a second
// statement after a ";" (outside literals) is refused with an error and runs
// nothing. The SQL Server text is rewritten for the backend before it is prepared:
// TOP n, [names], LEFT/RIGHT/ISNULL/SUBSTRING/CHARINDEX/PATINDEX/LEN,
// GETDATE (the runtime's clock), DATEADD/DATEDIFF with bare or quoted date
// parts, CAST/CONVERT to int with SQL Server's rules, and SQL Server's
// comparison of text with numbers, also in BETWEEN and IN (the text side is
// converted; text that is not a number is a conversion error). `?`
// placeholders take bound values.
//
// Schema conventions the layer relies on (the schema is the configuration's,
// see Config::schema):
//   - text columns are declared with COLLATE ZV: the collation registered here
//     compares without regard to ASCII case or trailing blanks ('ab' = 'AB  '),
//     as SQL Server's default collation does, for =, <>, <, ORDER BY, DISTINCT
//     and the indexes on them;
//   - declared types decide the value types a field reads as:
//       INT, INTEGER, BIGINT        -> Long (Double beyond 32 bits)
//       SMALLINT, TINYINT           -> Integer
//       BIT                         -> Boolean (True is -1; so flags compared
//                                      with 1 must be integer columns)
//       MONEY, SMALLMONEY, DECIMAL, NUMERIC -> Currency (exact; 7.5 stays 7.5)
//       DATETIME, SMALLDATETIME, DATE -> Date (stored as 'yyyy-mm-dd hh:mm:ss')
//       CHAR, VARCHAR, NVARCHAR, TEXT, NTEXT… -> String
//     a NULL reads as Null; a computed column reads by the value it holds
//     (integer -> Long, real -> Double, text -> String);
//   - "integer primary key" (the rowid) serves as identity column.
//
// Connections are pooled per thread and database: two Connection objects
// opened on one thread for the same database share one SQLite handle, so a
// method and the ledger writer it calls never wait for each other, and a
// transaction opened on one covers the writes of the other. Handles run in WAL
// mode with a busy timeout of 5 seconds and read through their own page cache
// (no memory map: a write would make every other handle drop its map). The
// write-ahead log is checkpointed and restarted as it grows, so that it stays
// a few megabytes under sustained writes beside readers. A Connection or
// Recordset belongs to the thread that opened it.
//
// An updatable recordset never loses a concurrent update: reading its rows
// takes the database's write lock (a transaction, or a savepoint inside one
// already open on the handle), held until Update writes, or until Close or
// the recordset's end when nothing is written; a later edit takes the lock
// again and first checks that the row still holds the values read (80040E38
// when not). Readers are not blocked meanwhile.
//
// A database server (PostgreSQL): the configuration names servers (see
// ServerConfig); a connection whose server parameter names one opens the
// database of that name on it with the connection's login. The schema's
// statements are rendered for it: text columns compare by a key without ASCII
// case and trailing blanks (zv_key, indexed), values read back as the same
// types, the dialect's functions exist on the server. A transaction locks
// what each of its statements reads as it reads it, until it ends: the rows
// of a select of one table (FOR UPDATE), the tables of a count or a join, so
// that what it read stays as it read it while transactions on other rows go
// on at once (see ReadLocks in db/postgres/postgres.h); an updatable
// recordset locks the rows it read. Handles are pooled per thread, server,
// login and database, and keep their prepared statements.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/variant.h"

struct sqlite3;

namespace zurvafun::db {

// ---- Configuration (set by the host before it serves requests)

// The four connection parameters a page passes to a method.
struct ConnectionParams {
  std::string server, user, password, database;
};

// A PostgreSQL server that connections reach by its name.
struct ServerConfig {
  std::string name;      // the server parameter that names it (case-insensitive)
  std::string host;      // a host name, an address, or a folder of Unix sockets
  int port = 5432;
  std::string sslmode;   // libpq's TLS modes: disable, prefer, require, verify-full…; "" for libpq's default
  // Put before every database name on this server (several sites, or test
  // runs, sharing one server); names are folded to lower case.
  std::string databasePrefix;
};

// The schema databases are made with (the installation's: model/schema.h),
// and what the layer must know of it to bring an older database up to date
// and to copy one.
struct Schema {
  // The statements that make every table, index and trigger and the rows a
  // database starts with, each ended by ";" and all guarded (IF NOT EXISTS,
  // WHERE NOT EXISTS) so that they can run again on an existing database; in
  // SQLite syntax and the conventions above.
  std::string sql;
  // The columns of zurva_user added after its first version, in order: name
  // and declaration as ALTER TABLE … ADD COLUMN takes it (in the schema's
  // SQLite syntax); their indexes are in `sql`.
  std::vector<std::pair<std::string, std::string>> addedMemberColumns;
  // Tables that a copy of another database's rows leaves alone (kept by the
  // schema's triggers, which the copied rows pass by).
  std::vector<std::string> notCopied;
  // Statements a copy runs at its end, each (table, statement) only when the
  // database has the table.
  std::vector<std::pair<std::string, std::string>> afterCopy;
};

struct Config {
  std::string dataDir;          // folder of the database files "<name>.db"
  std::string localServerName;  // accepted as server besides "(local)", ".", "localhost", "127.0.0.1"
  std::string user;             // the login a connection must present (case-insensitive)
  std::string password;         // its password (case-sensitive)
  // The installation's own database: when its file does not exist yet, the
  // first open creates it and applies the schema. Any other name must exist.
  std::string database;
  // A file holding the schema applied on creation; empty means schema.sql.
  std::string schemaFile;
  // Database servers by name; "(local)" and the local names always mean the
  // embedded files.
  std::vector<ServerConfig> servers;
  // The schema a database is made with and brought up to date by.
  Schema schema;
};
void configure(Config config);
const Config& config();

// File of a database name in the configured data folder.
std::string databaseFile(std::string_view name);
// What names the database that `params` open, for keeping things made from
// it: its file on the embedded backend, the server's address and the
// database's name on a server.
std::string databaseKey(const ConnectionParams& params);
// Text of the configured schema: the schema file's, else Config::schema.sql
// (raises 53 when the file cannot be read).
std::string schemaText();
// Creates a database file in WAL mode and runs `schemaSql` (several
// statements, SQLite syntax) in it. Raises when the file exists already or the
// schema fails; a failed creation leaves no file behind.
void createDatabase(const std::string& file, std::string_view schemaSql);
// Creates the database the parameters name, with `schemaSql` (in the
// schema's own conventions, see above): a file of the data folder for
// a local server name, a database on a configured server otherwise (made with
// the parameters' login, which must be allowed to create databases). Raises
// when it exists already or the schema fails.
void createDatabase(const ConnectionParams& params, std::string_view schemaSql);
// Removes a database made so (a test's); nothing when it does not exist.
void dropDatabase(const ConnectionParams& params);
// Copies the rows of a database file (the demo seeder's) into the database
// the parameters name on a configured server, made with the same schema and
// still empty. Raises when the parameters name no server.
void copyDatabase(const std::string& file, const ConnectionParams& params);
// The configured server a server parameter names, or null (a local name, or
// an unknown one).
const ServerConfig* serverNamed(std::string_view name);

// Closes this thread's pooled handles (for a worker that ends, or a test that
// removes its files).
void releasePooledConnections();
// Marks the start of a request on this thread. Until the next mark, opening a
// database this thread already opened since the mark takes the same handle
// without looking at the file again; the first open after each mark checks
// that the file is still the one the handle has open (a replaced file gets a
// new handle). A thread that never marks, or released its connections since
// its last mark, checks at every open.
//
// On the embedded file, the statements of a request that read outside a
// transaction share one read transaction per database, so they see one state
// of it and take the file's read lock once. It ends before a statement that
// writes and before a transaction begins (the write starts from the latest
// state, and later reads see it), at the next mark, at endRequest(), when
// the thread's files are checked again or its connections released, and once
// it has been held for a while (so that it never holds back the log's
// checkpoints for long).
void beginRequest();
// Marks the end of a request on this thread: its shared reads end, and opens
// until the next mark check their files again.
void endRequest();
// The number of transactions committed so far through this process's
// connections, on any database (a statement outside a transaction commits
// one). Read before reading something from a database and found unchanged
// afterwards, it tells that this process has committed nothing meanwhile.
// While this thread reads a request's shared state of a database, it is the
// count when that began (the lowest of them), so that what is read there is
// never taken for a later state.
std::uint64_t commitCount();
// Closes the pooled handles of every thread, so that each database's
// write-ahead log is checkpointed and removed. For the end of the process,
// once no other thread uses the layer; a Connection still open afterwards
// raises 3709 on its next statement.
void closeAllConnections();

// Registers the collation ZV and the dialect's SQL functions on a SQLite
// handle opened outside the layer (a bulk loader, a native query), which
// needs them to read or write the schema's text columns and indexes.
void registerDialect(sqlite3* handle);

// ---- Errors the layer raises (numbers as the data access objects gave them)
namespace dberr {
inline constexpr long InvalidArgument = 3001;    // AbsolutePage / AbsolutePosition out of range
inline constexpr long NoCurrentRecord = 3021;    // field or move with EOF or BOF true
inline constexpr long IllegalOperation = 3219;   // e.g. Close with an edit pending
inline constexpr long NotUpdatable = 3251;       // writing a read-only recordset
inline constexpr long ItemNotFound = 3265;       // unknown field name or index
inline constexpr long ObjectClosed = 3704;       // using a closed recordset
inline constexpr long ObjectOpen = 3705;         // opening an open recordset
inline constexpr long ConnectionNotOpen = 3709;  // a statement on a closed connection
inline constexpr long CommandError = -2147217900;     // 80040E14: a statement the server refused
inline constexpr long ConversionError = -2147217913;  // 80040E07: a failed conversion
inline constexpr long RowNotFound = -2147217864;      // 80040E38: Update found the row gone
inline constexpr long NoBackwardFetch = -2147217884;  // 80040E24: moving back on a forward-only cursor
}  // namespace dberr

enum CursorType { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType {
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4
};
enum ObjectState { adStateClosed = 0, adStateOpen = 1 };
// AbsolutePage and AbsolutePosition with no current record.
inline constexpr long adPosBOF = -2;
inline constexpr long adPosEOF = -3;


namespace detail {
class Handle;
struct ColumnSet;
struct Cell;
struct Prepared;
struct Slot;
struct PagedText;
}  // namespace detail

class Recordset;

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(Connection&&) noexcept;
  Connection& operator=(Connection&&) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens as the configuration maps the parameters: a known server name, the
  // configured login and password, and a database name whose file exists in
  // the data folder (or the configured database, created on first open).
  // Returns false when any of it fails; nothing is raised.
  bool Open(const ConnectionParams& params);
  void Close();
  int State() const { return handle_ ? adStateOpen : adStateClosed; }

  // A select gives a forward-only, read-only recordset of its rows (so
  // `conn.Execute(sql)(0)` is the first field of the first row); any other
  // statement runs and gives a closed recordset.
  Recordset Execute(std::string_view sql);
  Recordset Execute(std::string_view sql, const std::vector<Variant>& params);
  // Runs a statement and gives the number of rows it changed.
  long ExecuteAction(std::string_view sql);
  long ExecuteAction(std::string_view sql, const std::vector<Variant>& params);

  // Asks for the rows of these selects ahead, all in one round trip on a
  // database server, for the Execute calls of this request that will read
  // them: such an Execute, on any connection of this thread to the same
  // database, reads the rows kept for its text instead of asking again (as
  // many Executes as the text is listed, here or by an earlier prefetch of
  // the request), until a statement that writes runs, a transaction begins
  // or the request ends.
  // A text that is not a select, or that fails, runs when its Execute comes.
  // The embedded file answers each Execute at once: there it does nothing.
  void prefetch(const std::vector<std::string>& sqls);

  // Transactions; nested calls become savepoints. The outermost begins with
  // BEGIN IMMEDIATE, so the write lock is taken before any balance is read.
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans() noexcept;
  // Runs `f` in a transaction: committed when `f` returns, rolled back when it
  // throws (the exception goes on).
  template <class F>
  void transaction(F&& f) {
    BeginTrans();
    try {
      f();
    } catch (...) {
      RollbackTrans();
      throw;
    }
    CommitTrans();
  }

 private:
  friend class Recordset;
  const std::shared_ptr<detail::Handle>& handle() const;
  std::shared_ptr<detail::Handle> handle_;
  std::vector<std::uint64_t> transactions_;  // levels this connection began, outermost first
};

// A field of the current row that can be read and written:
//   rs["lasttime"] = Now();   Variant v = rs["nickname"];
class FieldRef {
 public:
  operator Variant() const { return value(); }
  Variant value() const;
  FieldRef& operator=(const Variant& v);
  FieldRef& operator=(const FieldRef& other) { return *this = other.value(); }

 private:
  friend class Recordset;
  FieldRef(Recordset& rs, int index) : rs_(&rs), index_(index) {}
  Recordset* rs_;
  int index_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Runs a select. Read-only recordsets read all rows at once; updatable ones
  // (lock type 2 to 4) read them at the first call that needs them, so that
  // AddNew on "select * from T" inserts without reading T (the recordset then
  // holds only the rows it added).
  void Open(std::string_view sql, Connection& conn, int cursorType = adOpenForwardOnly,
            int lockType = adLockReadOnly);
  // Opens a select as a read-only keyset recordset that reads only what it
  // shows: the number of its rows at once (so RecordCount, PageCount, EOF and
  // an error the statement raises on any row come as Open gives them), and
  // its rows a page at a time, PageSize rows from the current record on, when
  // a field is read. A statement that cannot be counted and read by pages
  // (DISTINCT, GROUP BY, UNION…) is read whole, as Open reads it.
  void OpenPaged(std::string_view sql, Connection& conn);
  // The same with the number of its rows read by `countSql` (one row, one
  // number; none or Null is 0): a count the database keeps, that must be the
  // number of rows `sql` gives. FromEitherEnd reads a page in the second half
  // from the end (the ORDER BY turned round, the rows read put back in
  // order), so that the last pages cost what the first do; it does so only
  // where the backend reads that statement in the order of an index (ties by
  // row key, the same rows either way), and reads from the start elsewhere.
  enum class PagedReading { FromStart, FromEitherEnd };
  void OpenPaged(std::string_view sql, std::string_view countSql, Connection& conn,
                 PagedReading reading = PagedReading::FromStart);
  // The rows of a select found before, by their keys: the integer values of
  // `column` (a column of the statement's one table that tells its rows
  // apart, among its fields under its own name) of every row the statement
  // gives, in its order, as orderedKeys gives them.
  struct RowKeys {
    std::string column;
    std::vector<std::int64_t> keys;
  };
  // The same with the rows read by their keys: RecordCount is the number of
  // keys, and a page reads just its own rows by key ("select <list> from T
  // where <column> in (…)"), in the keys' order, so that every page costs
  // the same. The rows are those that hold the keys when the page is read; a
  // row gone meanwhile ends the recordset there. A statement that does not
  // read one table, or without the column among its fields, is read as
  // OpenPaged(sql, conn) reads it.
  void OpenPaged(std::string_view sql, RowKeys keys, Connection& conn);
  // The keys (the values of `column`, as RowKeys holds them) of the rows the
  // select `sql` gives, in its order, read by the statement a page of
  // OpenPaged reads; std::nullopt when that order could come otherwise at
  // another reading: the backend sorted the rows rather than reading them in
  // the order of an index (whose ties go by row key, so that the order
  // follows from the rows' values alone). A database server, which cannot
  // tell and sorts anew at every run (ties falling as they may), gives the
  // order of one run with ties by `column`, read once: pages read by these
  // keys are consistent where pages that each run the statement need not
  // be. Also std::nullopt, without reading, for a statement that may
  // give more than `most` rows (no TOP, or a larger one), that does not read
  // one table or does not show `column`, and when a key is not an integer.
  static std::optional<std::vector<std::int64_t>> orderedKeys(std::string_view sql,
                                                              std::string_view column, long most,
                                                              Connection& conn);
  void Close();
  int State() const { return open_ ? adStateOpen : adStateClosed; }

  // EOF is a C macro, hence the lower-case names.
  bool eof() const;
  bool bof() const;
  void MoveNext();
  void MovePrevious();
  void MoveFirst();
  void MoveLast();

  // -1 on a forward-only cursor, which does not count its rows.
  long RecordCount() const;
  long PageSize = 10;
  long PageCount() const;
  // The page of the current record (adPosBOF / adPosEOF without one).
  long AbsolutePage() const;
  // Moves to the first record of page `page`; a page past the last gives EOF.
  void setAbsolutePage(long page);
  // 1-based number of the current record (adPosBOF / adPosEOF without one).
  long AbsolutePosition() const;
  void setAbsolutePosition(long position);

  // Field values of the current row; reading with EOF or BOF true raises 3021,
  // an unknown name or index 3265. Names compare without regard to case.
  Variant operator()(std::string_view name) const { return get(name); }
  Variant operator()(int index) const { return get(index); }
  Variant get(std::string_view name) const;
  Variant get(int index) const;
  FieldRef operator[](std::string_view name) { return FieldRef(*this, fieldIndex(name)); }
  FieldRef operator[](int index) { return FieldRef(*this, checkedIndex(index)); }
  void set(std::string_view name, const Variant& value);
  void set(int index, const Variant& value);

  // Starts a new row (its fields Null until assigned); Update inserts it.
  void AddNew();
  // Writes the assigned fields of the current row (or inserts the new row)
  // and reads the row back, so identity and default values show.
  void Update();
  void CancelUpdate();

  long fieldCount() const;
  std::string fieldName(int index) const;

 private:
  friend class FieldRef;
  friend class Connection;
  using Cell = detail::Cell;
  struct Edit;
  // Row buffers each thread keeps between its recordsets, up to 256 KB of
  // cells and of text (runtime/kept.h: dropped by kept::clearAll()).
  struct Spare;
  static Spare& spare();
  void takeBuffers() const;
  void giveBuffers();
  void openPaged(std::string_view sql, std::optional<std::string_view> countSql, Connection& conn,
                 PagedReading reading, RowKeys* keys = nullptr);
  bool holdRowsFromEnd(long wanted) const;
  void holdRowsByKey(long wanted) const;
  void run(const std::shared_ptr<detail::Handle>& handle, std::string_view sql,
           const std::vector<Variant>& params, int cursorType, int lockType);
  int fieldIndex(std::string_view name) const;
  int checkedIndex(int index) const;
  void requireOpen() const;
  void fetch() const;
  void requireCurrent() const;
  void flushEdit();
  void moveTo(long index);
  void loadRows(detail::Prepared& p, const std::vector<detail::Slot>& slots, const std::vector<Variant>& params) const;
  void loadWindow(detail::Prepared& p, const std::vector<detail::Slot>& slots) const;
  Variant cellValue(const Cell& cell, int column) const;
  void setValue(int index, const Variant& value);
  void holdCurrentRow() const;
  void lockRows() const;
  void endLock() const;
  void unlockRows() const noexcept;
  void checkRowUnchanged(long row);
  template <class F>
  void forEachStoredColumn(long row, const std::shared_ptr<const detail::ColumnSet>& baseRow, F&& f);

  bool open_ = false;
  int cursorType_ = adOpenForwardOnly;
  int lockType_ = adLockReadOnly;
  std::shared_ptr<detail::Handle> handle_;
  std::shared_ptr<const detail::ColumnSet> columns_;
  std::string sql_;  // the statement as given (updatable recordsets fetch it later)
  mutable bool fetched_ = false;
  mutable std::vector<Cell> cells_;  // rows × stored columns
  mutable std::string text_;         // the text of every text cell, back to back
  mutable std::vector<Variant> overrides_;  // values written through Update
  mutable long rowCount_ = 0;
  long current_ = 0;  // -1 = BOF, rowCount_ = EOF
  std::unique_ptr<Edit> edit_;
  // The handle's transaction level that holds the write lock while the rows
  // read are current (0 for none); see the head of this file.
  mutable std::uint64_t lock_ = 0;
  // A recordset opened by OpenPaged: its statements, and the rows held (from
  // row window_ on, held_ of them); null for one that holds every row.
  std::unique_ptr<detail::PagedText> paged_;
  mutable long window_ = 0;
  mutable long held_ = 0;
};

}  // namespace zurvafun::db

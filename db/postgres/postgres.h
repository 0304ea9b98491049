// The server backend: a PostgreSQL connection (libpq) per thread, server,
// login and database, with its prepared statements, and the rendering of the
// dialect's shared form and of the schema for PostgreSQL.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "db/internal.h"

namespace zurvafun::db::detail::postgres {

// The dialect's functions (zv_key, zv_left, zv_toint…) as server functions.
const char* functionsSql();

// What a column of a table reads and writes as, from its type on the server.
struct ColumnType {
  ValueKind kind = ValueKind::Dynamic;
  ColKind writeKind = ColKind::Unknown;
  std::string name;  // the column's name
  bool generated = false;  // computed from the row's other columns: never written
};

// The tables of the database as the layer needs them: declared kinds for the
// dialect, row keys, and each column's type by (table oid, column number).
struct Catalog {
  SchemaInfo schema;
  std::map<std::pair<Oid, int>, ColumnType> columns;
  std::unordered_map<std::string, Oid> tables;  // by lower-case name
};

// The statements of a schema script rendered for PostgreSQL, one by one:
// CREATE TABLE and CREATE INDEX in the schema's conventions become their
// PostgreSQL forms (types, identity columns, text compared by zv_key); any
// other statement is returned as it is written, to run through the dialect.
struct SchemaStatement {
  std::string sql;
  bool native = false;  // rendered already (DDL); else SQL Server text
};
std::vector<SchemaStatement> renderSchema(std::string_view script, const SchemaInfo& schema);
// A column of the schema's conventions ("name declaration", as ALTER TABLE
// … ADD COLUMN takes it on the embedded file) in its PostgreSQL form.
std::string renderColumn(std::string_view table, std::string_view column,
                         std::string_view declaration);

// Renders a statement of the dialect for PostgreSQL.
Translation render(std::string_view text, const SchemaInfo& schema, bool forUpdate);

void copyDatabase(const ServerConfig& server, const ConnectionParams& params,
                  const std::string& file);

// A SQL Server LIKE pattern as a regular expression over zv_fold of the value.
std::string likeRegex(std::string_view pattern);

// What a statement run inside a transaction locks, so that what the
// transaction read stays as it read it until the transaction ends, while
// transactions that touch other rows go on at once:
// - a select of the rows of one table locks those rows (FOR UPDATE): a
//   second transaction that reads or writes them waits, then sees the first
//   one's changes (read-modify-write of a member row, an updatable
//   recordset). A select that does not pin the table's row key to one value
//   also waits for another transaction that asked the same question (the
//   same text and values) until that one ends, so that "none yet, so add
//   one" is decided once;
// - any other select (counts, maxima, joins, subqueries) locks the tables it
//   reads against every write (LOCK TABLE … IN EXCLUSIVE MODE; plain reads go
//   on), so that a row it did not see cannot appear before it ends;
// - a write locks the rows it changes by itself (its conditions are checked
//   again on the row's latest version); one that reads other rows too locks
//   the tables it names, as such a select does.
struct ReadLocks {
  bool rows = false;
  bool question = false;
  std::vector<std::string> tables;  // lower case
};
ReadLocks readLocksOf(std::string_view sql, const Catalog& catalog);

// A statement prepared on the server.
struct Statement : Prepared {
  std::string name;             // of the server's prepared statement
  std::vector<Oid> paramTypes;  // per slot
  std::vector<Oid> resultTypes;
  bool writes = false;  // changes rows (its count is given)
  ReadLocks locks;      // taken when it runs in a transaction
  std::string lockingName;     // the same with FOR UPDATE (locks.rows)
  std::uint64_t question = 0;  // a hash of its text (locks.question)
};

class PgHandle final : public Handle {
 public:
  PgHandle(PGconn* conn, std::string key);
  ~PgHandle() override;

  bool isOpen() const override { return conn_ != nullptr; }
  void close() noexcept override;

  Prepared& prepare(std::string_view sql, bool forUpdate, std::vector<Slot>& slots) override;
  long run(Prepared& p, const std::vector<Slot>& slots, const std::vector<Variant>& params,
           RowBuffer* rows) override;
  std::int64_t insertRow(const std::string& table, const std::vector<Assignment>& values) override;
  long updateRow(const std::string& table, const std::vector<Assignment>& values,
                 std::int64_t key) override;
  std::optional<long> updateRowAndCommit(const std::string& table,
                                         const std::vector<Assignment>& values,
                                         std::int64_t key) override;
  std::shared_ptr<const ColumnSet> readRow(const std::string& table, std::int64_t key,
                                           RowBuffer& row) override;

  void prefetch(const std::vector<std::string>& sqls) override;
  // Drops the rows kept ahead (see prefetch).
  bool keepsSortedOrder() const override { return true; }
  void dropAhead() noexcept { ahead_.clear(); }

  // Runs text without parameters (several statements allowed); raises on failure.
  void exec(const std::string& sql);
  // Copies the rows of a database file into this database's tables (same
  // schema, empty tables); the identity columns go on after them.
  void copyFrom(const std::string& file);
  // Reads the catalog again (after a change of the schema).
  void refreshCatalog();
  const std::string& key() const { return key_; }

 protected:
  void beginOutermost() override;
  void commitOutermost() override;
  void rollbackOutermost() noexcept override;
  void savepoint(const std::string& sql) override { exec(sql); }
  void rollbackToSavepoint(const std::string& sql) noexcept override;

 private:
  Statement& prepareText(std::string key, const Translation& t,
                         const std::vector<Oid>* types = nullptr, ReadLocks locks = {});
  Statement& prepareNative(const std::string& sql, const std::vector<Oid>& types);
  // Runs a prepared statement with text values (null for NULL).
  PGresult* execute(Statement& s, const std::vector<const char*>& values);
  // The prepared statement `name`, sent after the transaction's BEGIN (when
  // pending) and the statements that take its locks, in one round trip;
  // gives the first failure among them, else the statement's result.
  PGresult* executeLocked(const std::string& name, const std::vector<const char*>& values,
                          const std::vector<std::string>& preludes);
  // The values of a statement's slots as text for the server (null for NULL).
  void bind(const Statement& s, const std::vector<Slot>& slots, const std::vector<Variant>& params,
            std::vector<std::string>& texts, std::vector<const char*>& values) const;
  static std::string aheadKey(const Statement& s, const std::vector<const char*>& values);
  [[noreturn]] void fail(PGresult* result);
  std::shared_ptr<const ColumnSet> describe(PGresult* description, const Translation& t) const;
  void storeRows(PGresult* result, const Statement& s, RowBuffer& rows) const;
  const std::string& rowKeyOf(const std::string& table) const;
  void forgetStatements() noexcept;
  // Keeps the row an insert or update returned, for readRow of that row.
  void keepWritten(const std::string& table, std::int64_t key, PGresult* result);
  // The statement that updates a row by its key (RETURNING *), and its
  // values as text in `texts`, pointed to by `bound`.
  Statement& updateStatement(const std::string& table, const std::vector<Assignment>& values,
                             std::int64_t key, std::vector<std::string>& texts,
                             std::vector<const char*>& bound);
  // The results of `count` commands sent in pipeline mode, one each (null
  // where none came: a lost connection), after sending the pipeline's end;
  // the connection leaves pipeline mode.
  std::vector<PGresult*> pipelineResults(size_t count);

  // The row the last insertRow or updateRow wrote, as the server returned it.
  struct WrittenRow {
    std::string table;  // lower case
    std::int64_t key = 0;
    std::unique_ptr<PGresult, decltype(&PQclear)> result{nullptr, &PQclear};
  };

  PGconn* conn_;
  std::string key_;
  Catalog catalog_;
  std::unordered_map<std::string, std::unique_ptr<Statement>> cache_;
  ShapeCache shapes_;
  WrittenRow written_;
  long long nextName_ = 0;
  // A transaction has begun and nothing has been sent since: its BEGIN goes
  // with its first command (a statement in the same round trip through the
  // pipeline, other text as one query with it). A transaction that ends
  // before any command never reaches the server.
  bool beginPending_ = false;
  // Rows of selects sent ahead (prefetch), by statement and values, for
  // their next runs outside a transaction, as many as the select was listed;
  // dropped at any write, transaction or new request.
  struct AheadRows {
    std::unique_ptr<PGresult, decltype(&PQclear)> result{nullptr, &PQclear};
    int runs = 0;
  };
  std::unordered_map<std::string, AheadRows> ahead_;
  // The tables the transaction locked whole (see ReadLocks).
  std::unordered_set<std::string> lockedTables_;
};

}  // namespace zurvafun::db::detail::postgres

// The server backend: libpq connections pooled per thread, server, login and
// database; statements prepared on the server once per connection; values
// read in PostgreSQL's text form into the layer's row buffers; transactions
// that lock what they read as they read it (see ReadLocks).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "db/postgres/postgres.h"
#include "runtime/dates.h"
#include "runtime/error.h"

namespace zurvafun::db::detail::postgres {

namespace {

// A transaction's BEGIN goes to the server with its first command (see
// PgHandle::beginPending_); each statement in it takes its locks in the same
// round trip, before it reads (see ReadLocks).
constexpr const char* kBeginCommand = "BEGIN";
constexpr const char* kBegin = "BEGIN; ";

// FNV-1a, 64 bits: the same on every instance, for advisory lock keys.
std::uint64_t hashed(std::string_view text, std::uint64_t hash = 14695981039346656037ull) {
  for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

// Type oids of the built-in types the values come back as.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kText = 25, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700, kTimestamp = 1114;

thread_local std::unordered_map<std::string, std::shared_ptr<PgHandle>> tPool;

std::string lowerName(std::string_view name) { return lowerAscii(name); }

// Opens a connection, or gives null and the server's message.
PGconn* connect(const ServerConfig& server, const ConnectionParams& params,
                const std::string& database, std::string& error) {
  const std::string port = std::to_string(server.port);
  // Logins compare without regard to case: roles are named in lower case.
  const std::string user = lowerName(params.user);
  const char* keys[] = {"host",
                        "port",
                        "dbname",
                        "user",
                        "password",
                        "sslmode",
                        "application_name",
                        "options",
                        "client_encoding",
                        "connect_timeout",
                        nullptr};
  const char* values[] = {
      server.host.c_str(),
      port.c_str(),
      database.c_str(),
      user.c_str(),
      params.password.c_str(),
      server.sslmode.empty() ? nullptr : server.sslmode.c_str(),
      "zurvafun",
      // Prepared statements run with the general plan from the first run:
      // the server would otherwise plan each of the first five runs anew with
      // their values, and for a search those custom plans (a bitmap scan and
      // a sort) cost several times the general one on every new connection.
      "-c datestyle=ISO,YMD -c lock_timeout=5000 -c client_min_messages=warning "
      "-c plan_cache_mode=force_generic_plan",
      "UTF8",
      "10",
      nullptr};
  // A null value ends the list for libpq: the TLS mode goes last when unset.
  if (!values[5]) {
    keys[5] = "application_name";
    values[5] = values[6];
    keys[6] = "options";
    values[6] = values[7];
    keys[7] = "client_encoding";
    values[7] = values[8];
    keys[8] = "connect_timeout";
    values[8] = values[9];
    keys[9] = nullptr;
  }
  PGconn* conn = PQconnectdbParams(keys, values, 0);
  if (PQstatus(conn) != CONNECTION_OK) {
    error = PQerrorMessage(conn);
    PQfinish(conn);
    return nullptr;
  }
  return conn;
}

std::string poolKey(const ServerConfig& server, const ConnectionParams& params) {
  return server.host + '\1' + std::to_string(server.port) + '\1' + server.sslmode + '\1' +
         lowerName(params.user) + '\1' + params.password + '\1' +
         lowerName(server.databasePrefix + params.database);
}

// The server's name of a database: the server's prefix and the name, in
// lower case (names compare without regard to case, as the catalog's did).
std::string databaseName(const ServerConfig& server, const ConnectionParams& params) {
  return lowerName(server.databasePrefix + params.database);
}

std::string quoted(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += char(std::tolower(static_cast<unsigned char>(c)));
  }
  return out + '"';
}

// The value of a bound slot or field as text for the server.
std::string boundText(const Bound& b) {
  switch (b.tag) {
    case Bound::Int: return std::to_string(b.integer);
    case Bound::Real: {
      char buf[32];
      const auto r = std::to_chars(buf, buf + sizeof buf, b.real);
      return std::string(buf, r.ptr);
    }
    case Bound::Currency: {
      // Exact, without trailing zeros: money keeps the scale it is given.
      const std::int64_t a = b.integer < 0 ? -b.integer : b.integer;
      char buf[40];
      std::snprintf(buf, sizeof buf, "%s%lld.%04lld", b.integer < 0 ? "-" : "",
                    static_cast<long long>(a / 10000), static_cast<long long>(a % 10000));
      std::string text = buf;
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
      return text;
    }
    case Bound::Text: return b.text;
    case Bound::Null: break;
  }
  return {};
}

// The kinds a column of a server type reads and writes as.
void kindsOfType(const std::string& type, ValueKind& kind, ColKind& writeKind) {
  struct Kinds {
    const char* type;
    ValueKind kind;
    ColKind writeKind;
  };
  static const Kinds kTypes[] = {
      {"int4", ValueKind::Long, ColKind::Int},          {"int8", ValueKind::Long, ColKind::Int},
      {"oid", ValueKind::Long, ColKind::Int},           {"int2", ValueKind::Integer, ColKind::Int},
      {"zv_bit", ValueKind::Boolean, ColKind::Int},     {"bool", ValueKind::Boolean, ColKind::Int},
      {"numeric", ValueKind::Currency, ColKind::Numeric}, {"float4", ValueKind::Dynamic, ColKind::Numeric},
      {"float8", ValueKind::Dynamic, ColKind::Numeric}, {"timestamp", ValueKind::Date, ColKind::Date},
      {"date", ValueKind::Date, ColKind::Date},         {"timestamptz", ValueKind::Date, ColKind::Date},
      {"text", ValueKind::Text, ColKind::Text},         {"varchar", ValueKind::Text, ColKind::Text},
      {"bpchar", ValueKind::Text, ColKind::Text},
  };
  kind = ValueKind::Dynamic;
  writeKind = ColKind::Unknown;
  for (const Kinds& k : kTypes) {
    if (type == k.type) {
      kind = k.kind;
      writeKind = k.writeKind;
    }
  }
}

ColKind writeKindOfOid(Oid type) {
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kBool: return ColKind::Int;
    case kNumeric:
    case kFloat4:
    case kFloat8: return ColKind::Numeric;
    case kTimestamp: return ColKind::Date;
    case kText: return ColKind::Text;
    default: return ColKind::Unknown;
  }
}

Oid slotType(const Slot& slot) {
  if (slot.likePattern) return kText;
  switch (slot.kind) {
    case Slot::Integer: return kInt8;
    case Slot::Real: return kNumeric;
    case Slot::Now: return kTimestamp;
    default: return 0;  // the server infers it from where it stands
  }
}

// Whether a statement's text writes rows (its changed rows are counted).
bool writesRows(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  const std::string first = lowerAscii(sql.substr(i, 6));
  return first == "insert" || first == "update" || first == "delete";
}

bool isDdlTable(std::string_view sql) {
  const Seq seq = syntaxTree(sql);
  size_t i = 0;
  if (seq.empty() || !equalsIgnoreCase(seq[0].text, "create")) return false;
  i = 1;
  if (i < seq.size() && equalsIgnoreCase(seq[i].text, "unique")) ++i;
  return i < seq.size() &&
         (equalsIgnoreCase(seq[i].text, "table") || equalsIgnoreCase(seq[i].text, "index"));
}

struct Result {
  PGresult* r;
  explicit Result(PGresult* result) : r(result) {}
  ~Result() { PQclear(r); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
};

// The mark a database's functions carry (a comment on zv_int(text)): it
// names this version's text of them, so that a database whose functions were
// installed by another version is brought up to date at its first open.
std::string functionsMark() {
  std::uint32_t hash = 2166136261u;  // FNV-1a of the functions' text
  for (const char* c = functionsSql(); *c; ++c)
    hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
  char mark[32];
  std::snprintf(mark, sizeof mark, "zurva functions %08x", hash);
  return mark;
}

void installFunctions(PgHandle& h) {
  h.exec(functionsSql());
  h.exec("COMMENT ON FUNCTION zv_int(text) IS '" + functionsMark() + "'");
}

// Applies the functions and a schema script to a new or adopted database, or
// again to one made by an earlier version (every statement of the schema
// leaves what exists alone).
void installSchema(PgHandle& h, std::string_view schemaSql) {
  installFunctions(h);
  h.refreshCatalog();
  SchemaInfo known;
  for (const SchemaStatement& s : renderSchema(schemaSql, known)) {
    if (s.native) {
      h.exec(s.sql);
      h.refreshCatalog();
    } else {
      std::vector<Slot> slots;
      Prepared& p = h.prepare(s.sql, false, slots);
      h.run(p, slots, {}, nullptr);
    }
  }
}

// The database was made by an earlier version: its member table lacks a
// column added since, or it lacks the record of changes, the indexes of the
// member values that do not convert to int or those of a member's ledger and
// gifts by row number, or its functions are not this version's.
bool outdated(PGconn* conn) {
  const auto& added = config().schema.addedMemberColumns;
  std::string names = "''";
  for (const auto& [column, declaration] : added) names += ", '" + lowerAscii(column) + "'";
  const std::string sql =
      "SELECT to_regclass('zurva_user') IS NOT NULL AND ((SELECT count(*) FROM "
      "information_schema.columns WHERE table_schema = current_schema() AND table_name = "
      "'zurva_user' AND column_name IN (" +
      names + ")) < " + std::to_string(added.size()) +
      " OR to_regclass('zurva_member_changes') IS NULL OR "
      "to_regclass('ix_zurva_user_odd_education') IS NULL OR "
      "to_regclass('ix_emoneymx_user_id') IS NULL OR to_regclass('ix_presentmx_user_id') IS NULL "
      "OR "
      "obj_description(to_regprocedure('zv_int(text)'), 'pg_proc') IS DISTINCT FROM '" +
      functionsMark() + "')";
  Result r(PQexec(conn, sql.c_str()));
  return PQresultStatus(r.r) == PGRES_TUPLES_OK && PQgetvalue(r.r, 0, 0)[0] == 't';
}

// Brings a database of an earlier version up to the current schema: the
// member columns it lacks (derived ones computed for every row), then
// whatever else of the schema it lacks.
void upgradeSchema(PgHandle& h) {
  installFunctions(h);
  h.refreshCatalog();
  for (const auto& [column, declaration] : config().schema.addedMemberColumns)
    h.exec("ALTER TABLE zurva_user ADD COLUMN IF NOT EXISTS " +
           renderColumn("zurva_user", column, declaration));
  installSchema(h, schemaText());
}

// Runs `change` on the database of `conn` when `needed` says so, one instance
// at a time: the others wait, and find it done.
template <class Needed, class Change>
void changeSchemaOnce(PgHandle& h, PGconn* conn, Needed needed, Change change) {
  if (!needed(conn)) return;
  h.exec("SELECT pg_advisory_lock(2052872)");
  try {
    if (needed(conn)) change(h);
  } catch (...) {
    h.exec("SELECT pg_advisory_unlock(2052872)");
    throw;
  }
  h.exec("SELECT pg_advisory_unlock(2052872)");
}

bool lacksFunctions(PGconn* conn) {
  Result r(PQexec(conn, "SELECT to_regprocedure('zv_key(text)') IS NULL"));
  return PQresultStatus(r.r) == PGRES_TUPLES_OK && PQgetvalue(r.r, 0, 0)[0] == 't';
}

}  // namespace

// ---------------------------------------------------------------- the pool

std::shared_ptr<Handle> open(const ServerConfig& server, const ConnectionParams& params, bool own) {
  const std::string key = poolKey(server, params);
  if (auto it = tPool.find(key); it != tPool.end()) {
    if (it->second->isOpen()) return it->second;
    tPool.erase(it);
  }
  const std::string database = databaseName(server, params);
  std::string error;
  PGconn* conn = connect(server, params, database, error);
  if (!conn && own && error.find("does not exist") != std::string::npos) {
    try {
      createDatabase(server, params, schemaText());
    } catch (const VbError&) {
      // made by another thread or instance meanwhile, or not allowed: the next connect tells
    }
    conn = connect(server, params, database, error);
  }
  if (!conn) return nullptr;
  auto handle = std::make_shared<PgHandle>(conn, key);
  handle->refreshCatalog();
  if (own) {
    // A database made by its administrator gets the functions and the schema
    // at its first open, and one made by an earlier version what the schema
    // has added since (one instance at a time).
    changeSchemaOnce(*handle, conn, lacksFunctions,
                     [](PgHandle& h) { installSchema(h, schemaText()); });
    changeSchemaOnce(*handle, conn, outdated, upgradeSchema);
    handle->refreshCatalog();
  }
  tPool.emplace(key, handle);
  return handle;
}

void releaseThreadHandles() { tPool.clear(); }

void beginRequest() {
  for (auto& [key, handle] : tPool) handle->dropAhead();
}

void createDatabase(const ServerConfig& server, const ConnectionParams& params,
                    std::string_view schemaSql) {
  const std::string database = databaseName(server, params);
  std::string error;
  PGconn* admin = connect(server, params, "postgres", error);
  if (!admin) raise(dberr::CommandError, "创建数据库失败：" + error);
  {
    Result r(PQexec(admin, ("CREATE DATABASE " + quoted(database) +
                            " TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'")
                               .c_str()));
    if (PQresultStatus(r.r) != PGRES_COMMAND_OK) {
      const char* state = PQresultErrorField(r.r, PG_DIAG_SQLSTATE);
      const std::string message = PQresultErrorMessage(r.r);
      PQfinish(admin);
      if (state && std::string_view(state) == "42P04")
        raise(dberr::CommandError, "数据库已存在：" + database);
      raise(dberr::CommandError, "创建数据库失败：" + message);
    }
  }
  PQfinish(admin);
  try {
    PGconn* conn = connect(server, params, database, error);
    if (!conn) raise(dberr::CommandError, "创建数据库失败：" + error);
    PgHandle h(conn, std::string());
    installSchema(h, schemaSql);
  } catch (const std::exception& e) {
    // A failed creation leaves no database behind.
    dropDatabase(server, params);
    if (const auto* vb = dynamic_cast<const VbError*>(&e))
      raise(dberr::CommandError, "创建数据库失败：" + vb->description());
    raise(dberr::CommandError, std::string("创建数据库失败：") + e.what());
  }
}

void dropDatabase(const ServerConfig& server, const ConnectionParams& params) {
  const std::string database = databaseName(server, params);
  for (auto it = tPool.begin(); it != tPool.end();)
    it = it->first.ends_with('\1' + database) ? tPool.erase(it) : std::next(it);
  std::string error;
  PGconn* admin = connect(server, params, "postgres", error);
  if (!admin) return;
  PQclear(PQexec(admin, ("DROP DATABASE IF EXISTS " + quoted(database) + " WITH (FORCE)").c_str()));
  PQfinish(admin);
}

// ---------------------------------------------------------------- PgHandle

PgHandle::PgHandle(PGconn* conn, std::string key) : conn_(conn), key_(std::move(key)) { enlist(); }

PgHandle::~PgHandle() {
  delist();
  close();
}

void PgHandle::close() noexcept {
  if (!conn_) return;
  beginPending_ = false;
  abandonLevels();
  ahead_.clear();
  cache_.clear();
  shapes_.clear();
  PQfinish(std::exchange(conn_, nullptr));
}

void PgHandle::fail(PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  const char* hint = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_HINT) : nullptr;
  // Copied: the fields live in the result.
  const std::string message = primary ? primary : PQerrorMessage(conn_);
  const std::string code = state ? state : "";
  const long number = hint ? std::strtol(hint, nullptr, 10) : 0;
  PQclear(result);
  if (PQstatus(conn_) == CONNECTION_BAD) {
    close();
    raise(dberr::CommandError, message);
  }
  if (code == "ZV001" && number != 0) raise(number, message);
  if (code == "22007" || code == "22008")
    raise(dberr::ConversionError, "从字符串转换日期和/或时间时，转换失败。");
  if (code.rfind("22", 0) == 0) raise(dberr::ConversionError, message);
  raise(dberr::CommandError, message);
}

void PgHandle::exec(const std::string& sql) {
  requireOpen();
  written_.result.reset();
  ahead_.clear();
  PGresult* r = PQexec(conn_, beginPending_ ? (kBegin + sql).c_str() : sql.c_str());
  beginPending_ = false;
  const ExecStatusType status = PQresultStatus(r);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(r);
  PQclear(r);
}

void PgHandle::refreshCatalog() {
  requireOpen();
  Result r(PQexec(
      conn_,
      "SELECT c.oid, c.relname, a.attnum, a.attname, t.typname, "
      "EXISTS (SELECT 1 FROM pg_index i WHERE i.indrelid = c.oid AND i.indisprimary AND i.indnatts "
      "= 1 "
      "AND i.indkey[0] = a.attnum), a.attgenerated <> '' "
      "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid JOIN pg_type t ON t.oid = "
      "a.atttypid "
      "WHERE c.relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema()) "
      "AND c.relkind IN ('r', 'v', 'p') AND a.attnum > 0 AND NOT a.attisdropped"));
  if (PQresultStatus(r.r) != PGRES_TUPLES_OK) fail(PQcopyResult(r.r, PG_COPYRES_ATTRS));
  Catalog catalog;
  for (int i = 0; i < PQntuples(r.r); ++i) {
    const Oid table = Oid(std::strtoul(PQgetvalue(r.r, i, 0), nullptr, 10));
    const std::string tableName = PQgetvalue(r.r, i, 1);
    const int number = std::atoi(PQgetvalue(r.r, i, 2));
    ColumnType type;
    type.name = PQgetvalue(r.r, i, 3);
    kindsOfType(PQgetvalue(r.r, i, 4), type.kind, type.writeKind);
    type.generated = PQgetvalue(r.r, i, 6)[0] == 't';
    catalog.schema.add(tableName, type.name, type.writeKind);
    if (PQgetvalue(r.r, i, 5)[0] == 't') catalog.schema.keys[lowerName(tableName)] = type.name;
    catalog.tables[lowerName(tableName)] = table;
    catalog.columns[{table, number}] = std::move(type);
  }
  catalog_ = std::move(catalog);
}

void PgHandle::forgetStatements() noexcept {
  ahead_.clear();
  shapes_.clear();
  cache_.clear();
  if (conn_) PQclear(PQexec(conn_, "DEALLOCATE ALL"));
}

// ---- transactions

void PgHandle::beginOutermost() {
  written_.result.reset();
  ahead_.clear();
  lockedTables_.clear();
  beginPending_ = true;
}

void PgHandle::commitOutermost() {
  requireOpen();
  // Nothing ran since the start: there is nothing to commit on the server.
  if (std::exchange(beginPending_, false)) {
    countCommit();
    return;
  }
  PGresult* r = PQexec(conn_, "COMMIT");
  if (PQresultStatus(r) != PGRES_COMMAND_OK) fail(r);
  // A transaction in which a statement failed ends rolled back.
  const bool rolledBack = std::string_view(PQcmdStatus(r)) == "ROLLBACK";
  PQclear(r);
  if (rolledBack) raise(dberr::CommandError, "事务已被回滚：其中的一条语句失败了。");
  countCommit();
}

void PgHandle::rollbackOutermost() noexcept {
  written_.result.reset();
  if (std::exchange(beginPending_, false)) return;  // never begun on the server
  if (conn_) PQclear(PQexec(conn_, "ROLLBACK"));
}

void PgHandle::rollbackToSavepoint(const std::string& sql) noexcept {
  written_.result.reset();
  // A savepoint was sent with the transaction's start (exec): the start is
  // never pending here.
  if (conn_ && !beginPending_) PQclear(PQexec(conn_, sql.c_str()));
}

std::vector<PGresult*> PgHandle::pipelineResults(size_t count) {
  PQpipelineSync(conn_);
  std::vector<PGresult*> results(count, nullptr);
  size_t command = 0;
  for (;;) {
    PGresult* r = PQgetResult(conn_);
    if (!r) {
      // The end of one command's results; none follow a lost connection.
      if (++command > count || PQstatus(conn_) == CONNECTION_BAD) break;
      continue;
    }
    if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
      PQclear(r);
      break;
    }
    PGresult*& kept = results[std::min(command, count - 1)];
    if (kept)
      PQclear(r);
    else
      kept = r;
  }
  PQexitPipelineMode(conn_);
  return results;
}

PGresult* PgHandle::executeLocked(const std::string& name, const std::vector<const char*>& values,
                                  const std::vector<std::string>& preludes) {
  const bool begin = std::exchange(beginPending_, false);
  if (!PQenterPipelineMode(conn_)) {
    std::string text = begin ? kBegin : "";
    for (const std::string& p : preludes) text += p + "; ";
    exec(text);
    return PQexecPrepared(conn_, name.c_str(), int(values.size()), values.data(), nullptr, nullptr,
                          0);
  }
  // BEGIN, the locks and the statement, each with its result, then the
  // pipeline's end; a failure skips what follows it (its result is aborted).
  std::vector<const char*> commands;
  if (begin) commands.push_back(kBeginCommand);
  for (const std::string& p : preludes) commands.push_back(p.c_str());
  const int count = int(commands.size()) + 1;
  // A command that cannot be sent (a lost connection) leaves its result,
  // and those after it, missing: they read as the connection's failure.
  bool sent = true;
  for (const char* command : commands)
    sent = sent && PQsendQueryParams(conn_, command, 0, nullptr, nullptr, nullptr, nullptr, 0);
  if (sent)
    PQsendQueryPrepared(conn_, name.c_str(), int(values.size()), values.data(), nullptr, nullptr,
                        0);
  std::vector<PGresult*> results = pipelineResults(size_t(count));
  // The first failure is the one to report; else the statement's result.
  PGresult* answer = nullptr;
  for (PGresult*& r : results) {
    const ExecStatusType status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (!answer &&
        (&r == &results.back() || (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)))
      answer = std::exchange(r, nullptr);
    PQclear(r);
  }
  return answer;
}

// ---- statements

Prepared& PgHandle::prepare(std::string_view sql, bool forUpdate, std::vector<Slot>& slots) {
  requireOpen();
  Shape shape = shapeOf(sql);
  shape.key += forUpdate ? '\1' : '\0';
  if (Prepared* p = shapes_.find(shape, slots)) return *p;

  // The server takes a statement up to a NUL byte: text holding one is
  // refused, never cut short.
  if (sql.find('\0') != std::string_view::npos)
    raise(dberr::CommandError, "每次只能执行一条 SQL 语句：分号之后的第二条语句被拒绝。");
  Translation t = render(sql, catalog_.schema, forUpdate);
  if (t.schemaChange) {
    // Run as text: a table or an index in the schema's conventions becomes
    // its PostgreSQL statements.
    auto s = std::make_unique<Statement>();
    s->schemaChange = true;
    if (isDdlTable(sql)) {
      for (const SchemaStatement& r : renderSchema(sql, catalog_.schema)) s->name += r.sql + ";\n";
    } else {
      s->name = t.sql;
    }
    slots = std::move(t.slots);
    std::string key = "\3" + s->name;
    return *cache_.insert_or_assign(std::move(key), std::move(s)).first->second;
  }
  // The same text with values of other types is another statement: the
  // server fixed its parameters' types when it prepared it.
  std::string key;
  key.reserve(t.sql.size() + t.slots.size() + 2);
  key += forUpdate ? '\1' : '\0';
  for (const Slot& slot : t.slots) key += char('a' + slot.kind + (slot.likePattern ? 8 : 0));
  key += '\0';
  key += t.sql;
  Statement* p = nullptr;
  if (auto it = cache_.find(key); it != cache_.end()) {
    p = it->second.get();
  } else {
    p = &prepareText(std::move(key), t, nullptr, readLocksOf(sql, catalog_));
  }
  shapes_.remember(shape, p, t);
  slots = std::move(t.slots);
  return *p;
}

Statement& PgHandle::prepareText(std::string key, const Translation& t,
                                 const std::vector<Oid>* types, ReadLocks locks) {
  if (cache_.size() >= 400) forgetStatements();
  auto s = std::make_unique<Statement>();
  s->name = "zv" + std::to_string(++nextName_);
  if (types)
    s->paramTypes = *types;
  else
    for (const Slot& slot : t.slots) s->paramTypes.push_back(slotType(slot));
  s->writes = writesRows(t.sql);
  // A statement the server refuses ends the transaction it is prepared in,
  // as a failed statement does: the transaction begins on the server first.
  if (beginPending_) exec(std::string());
  {
    PGresult* r = PQprepare(conn_, s->name.c_str(), t.sql.c_str(), int(s->paramTypes.size()),
                            s->paramTypes.data());
    if (PQresultStatus(r) != PGRES_COMMAND_OK) fail(r);
    PQclear(r);
  }
  Result d(PQdescribePrepared(conn_, s->name.c_str()));
  if (PQresultStatus(d.r) != PGRES_COMMAND_OK) fail(PQcopyResult(d.r, PG_COPYRES_ATTRS));
  const int n = PQnfields(d.r);
  for (int i = 0; i < n; ++i) s->resultTypes.push_back(PQftype(d.r, i));
  if (n > 0) s->columns = describe(d.r, t);
  if (locks.rows && t.sql.ends_with(" FOR UPDATE")) {
    s->lockingName = s->name;  // an updatable recordset's select locks its rows itself
  } else if (locks.rows) {
    // Prepared with the statement: it runs in its place in a transaction.
    s->lockingName = s->name + "u";
    Result r(PQprepare(conn_, s->lockingName.c_str(), (t.sql + " FOR UPDATE").c_str(),
                       int(s->paramTypes.size()), s->paramTypes.data()));
    if (PQresultStatus(r.r) != PGRES_COMMAND_OK) fail(PQcopyResult(r.r, PG_COPYRES_ATTRS));
  }
  s->locks = std::move(locks);
  s->question = hashed(t.sql);
  return *cache_.emplace(std::move(key), std::move(s)).first->second;
}

Statement& PgHandle::prepareNative(const std::string& sql, const std::vector<Oid>& types) {
  requireOpen();
  std::string key = '\2' + sql;
  if (auto it = cache_.find(key); it != cache_.end()) return *it->second;
  Translation t;
  t.sql = sql;
  return prepareText(std::move(key), t, &types);
}

std::shared_ptr<const ColumnSet> PgHandle::describe(PGresult* d, const Translation& t) const {
  auto set = std::make_shared<ColumnSet>();
  const int n = PQnfields(d);
  set->stored = n;
  Oid baseOid = 0;
  const std::unordered_map<std::string, ColKind>* baseColumns = nullptr;
  if (t.rowid && !t.baseTable.empty()) {
    const std::string base = lowerName(t.baseTable);
    if (auto it = catalog_.tables.find(base);
        it != catalog_.tables.end() && catalog_.schema.keys.count(base)) {
      baseOid = it->second;
      set->baseTable = t.baseTable;
      if (auto c = catalog_.schema.tables.find(base); c != catalog_.schema.tables.end())
        baseColumns = &c->second;
    }
  }
  for (int i = 0; i < n; ++i) {
    if (t.rowid && i == n - 1) {
      set->rowidIndex = i;
      break;
    }
    Column c;
    c.name = PQfname(d, i);
    const Oid table = PQftable(d, i);
    const int number = PQftablecol(d, i);
    auto type =
        table != InvalidOid ? catalog_.columns.find({table, number}) : catalog_.columns.end();
    if (type != catalog_.columns.end()) {
      c.kind = type->second.kind;
      c.writeKind = type->second.writeKind;
      if (baseOid != 0 && table == baseOid) c.baseColumn = type->second.name;
    } else {
      c.kind = ValueKind::Dynamic;
      c.writeKind = writeKindOfOid(PQftype(d, i));
      if (baseColumns) {
        // An expression named like a column of the table writes that column.
        if (auto col = baseColumns->find(lowerName(c.name)); col != baseColumns->end()) {
          c.baseColumn = c.name;
          c.computed = true;
          c.writeKind = col->second;
        }
      }
    }
    set->columns.push_back(std::move(c));
  }
  return set;
}

PGresult* PgHandle::execute(Statement& s, const std::vector<const char*>& values) {
  // Another statement may change the row last written: it is read again.
  written_.result.reset();
  // Rows read ahead may be what a write changes.
  if (s.writes || inTransaction()) ahead_.clear();
  const std::string* name = &s.name;
  std::vector<std::string> preludes;
  if (inTransaction()) {
    std::string tables;
    for (const std::string& table : s.locks.tables)
      if (lockedTables_.insert(table).second)
        tables += (tables.empty() ? "" : ", ") + quoted(table);
    if (!tables.empty()) preludes.push_back("LOCK TABLE " + tables + " IN EXCLUSIVE MODE");
    if (s.locks.question) {
      std::uint64_t key = s.question;
      for (const char* v : values)
        key = v ? hashed(std::string_view(v, std::strlen(v) + 1), key) : hashed("\1", key);
      // Two 32-bit keys: apart from any lock of one 64-bit key.
      preludes.push_back("SELECT pg_advisory_xact_lock(" + std::to_string(std::int32_t(key >> 32)) +
                         ", " + std::to_string(std::int32_t(key)) + ")");
    }
    if (s.locks.rows) name = &s.lockingName;
  }
  PGresult* r = beginPending_ || !preludes.empty()
                    ? executeLocked(*name, values, preludes)
                    : PQexecPrepared(conn_, name->c_str(), int(values.size()), values.data(),
                                     nullptr, nullptr, 0);
  const ExecStatusType status = PQresultStatus(r);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(r);
  // A statement outside a transaction commits itself when it writes.
  if (!inTransaction() && !std::string_view(PQcmdStatus(r)).starts_with("SELECT")) countCommit();
  return r;
}

void PgHandle::storeRows(PGresult* r, const Statement& s, RowBuffer& rows) const {
  const int width = PQnfields(r);
  const int count = PQntuples(r);
  for (int row = 0; row < count; ++row) {
    Cell* out = rows.addRow(width);
    for (int c = 0; c < width; ++c) {
      Cell& cell = out[c];
      if (PQgetisnull(r, row, c)) continue;
      const char* v = PQgetvalue(r, row, c);
      const size_t n = size_t(PQgetlength(r, row, c));
      switch (s.resultTypes[size_t(c)]) {
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
          cell.tag = Cell::Int;
          std::from_chars(v, v + n, cell.integer);
          break;
        case kBool:
          cell.tag = Cell::Int;
          cell.integer = v[0] == 't' ? 1 : 0;
          break;
        case kFloat4:
        case kFloat8:
          cell.tag = Cell::Real;
          cell.real = std::strtod(v, nullptr);
          break;
        case kNumeric: {
          // Money columns read their exact text; a computed number reads as
          // the file gives it: whole without a decimal point (money keeps the
          // scale it was given), else a double.
          const bool money = s.columns && c < int(s.columns->columns.size()) &&
                             s.columns->columns[size_t(c)].kind == ValueKind::Currency;
          if (money) {
            rows.setText(cell, v, n);
          } else if (!std::memchr(v, '.', n) &&
                     std::from_chars(v, v + n, cell.integer).ec == std::errc()) {
            cell.tag = Cell::Int;
          } else {
            cell.tag = Cell::Real;
            cell.real = std::strtod(v, nullptr);
          }
          break;
        }
        default: rows.setText(cell, v, n);
      }
    }
  }
}

long PgHandle::run(Prepared& prepared, const std::vector<Slot>& slots,
                   const std::vector<Variant>& params, RowBuffer* rows) {
  requireOpen();
  Statement& s = static_cast<Statement&>(prepared);
  if (s.schemaChange) {
    const std::string script = s.name;
    exec(script);
    if (!inTransaction()) countCommit();
    forgetStatements();
    refreshCatalog();
    return -1;
  }
  std::vector<std::string> texts;
  std::vector<const char*> values;
  bind(s, slots, params, texts, values);
  if (!ahead_.empty() && !s.writes && !inTransaction()) {
    if (auto it = ahead_.find(aheadKey(s, values)); it != ahead_.end()) {
      if (rows) storeRows(it->second.result.get(), s, *rows);
      if (--it->second.runs == 0) ahead_.erase(it);
      return -1;
    }
  }
  Result r(execute(s, values));
  if (rows && PQresultStatus(r.r) == PGRES_TUPLES_OK) storeRows(r.r, s, *rows);
  return s.writes ? std::atol(PQcmdTuples(r.r)) : -1;
}

void PgHandle::bind(const Statement& s, const std::vector<Slot>& slots,
                    const std::vector<Variant>& params, std::vector<std::string>& texts,
                    std::vector<const char*>& values) const {
  size_t callers = 0;
  for (const Slot& slot : slots) callers += slot.kind == Slot::Caller;
  if (callers != params.size() || slots.size() != s.paramTypes.size())
    raise(dberr::CommandError, "参数个数与语句中的 ? 个数不符。");
  texts.assign(slots.size(), std::string());
  values.assign(slots.size(), nullptr);
  size_t next = 0;
  for (size_t i = 0; i < slots.size(); ++i) {
    const Slot& slot = slots[i];
    switch (slot.kind) {
      case Slot::Caller: {
        const Bound b = boundValue(params[next++], ColKind::Unknown);
        if (b.tag == Bound::Null) continue;
        texts[i] = boundText(b);
        break;
      }
      case Slot::Integer: texts[i] = std::to_string(slot.integer); break;
      case Slot::Real: texts[i] = boundText(Bound{Bound::Real, 0, slot.real, {}}); break;
      case Slot::Text: texts[i] = slot.text; break;
      case Slot::Now: texts[i] = dateTimeText(clockNow()); break;
    }
    if (slot.likePattern) texts[i] = likeRegex(texts[i]);
    values[i] = texts[i].c_str();
  }
}

std::string PgHandle::aheadKey(const Statement& s, const std::vector<const char*>& values) {
  std::string key = s.name;
  for (const char* v : values) {
    key += v ? '\1' : '\0';
    if (v) key.append(v, std::strlen(v) + 1);
  }
  return key;
}

void PgHandle::prefetch(const std::vector<std::string>& sqls) {
  requireOpen();
  // A transaction's statements take their locks as they run.
  if (inTransaction()) return ahead_.clear();
  struct Ahead {
    std::string name, key;
    std::vector<std::string> texts;
    std::vector<bool> null;
  };
  std::vector<Ahead> ahead;
  // A select listed again is sent once and serves as many runs.
  std::unordered_map<std::string, int> runs;
  for (const std::string& sql : sqls) {
    try {
      std::vector<Slot> slots;
      Statement& s = static_cast<Statement&>(prepare(sql, false, slots));
      if (s.schemaChange || s.writes || !s.columns) continue;
      Ahead a;
      std::vector<const char*> values;
      bind(s, slots, {}, a.texts, values);
      for (const char* v : values) a.null.push_back(v == nullptr);
      a.name = s.name;
      a.key = aheadKey(s, values);
      // Rows asked for earlier in the request and not yet read serve one
      // run more.
      if (auto kept = ahead_.find(a.key); kept != ahead_.end()) {
        ++kept->second.runs;
        continue;
      }
      if (runs[a.key]++ == 0) ahead.push_back(std::move(a));
    } catch (const VbError&) {
      // It fails again, as it should, when its Execute comes.
    }
  }
  if (ahead.empty() || !PQenterPipelineMode(conn_)) return;
  // Each select with its result, then the pipeline's end; a failure skips
  // what follows it (their results are aborted, and they run when asked).
  for (const Ahead& a : ahead) {
    std::vector<const char*> values;
    for (size_t i = 0; i < a.texts.size(); ++i)
      values.push_back(a.null[i] ? nullptr : a.texts[i].c_str());
    if (!PQsendQueryPrepared(conn_, a.name.c_str(), int(values.size()), values.data(), nullptr,
                             nullptr, 0))
      break;
  }
  std::vector<PGresult*> results = pipelineResults(ahead.size());
  for (size_t i = 0; i < ahead.size(); ++i) {
    if (results[i] && PQresultStatus(results[i]) == PGRES_TUPLES_OK) {
      AheadRows& kept = ahead_[ahead[i].key];
      kept.result.reset(results[i]);
      kept.runs = runs[ahead[i].key];
    } else {
      PQclear(results[i]);
    }
  }
}

const std::string& PgHandle::rowKeyOf(const std::string& table) const {
  auto it = catalog_.schema.keys.find(lowerName(table));
  if (it == catalog_.schema.keys.end())
    raise(dberr::NotUpdatable, "记录集的行不是来自单个表，不能更新。");
  return it->second;
}

namespace {

// The values of `values` as text in `texts`, pointed to by `bound` (null for
// NULL), with `more` places after them for the caller to fill.
void bindAssignments(const std::vector<Handle::Assignment>& values, size_t more,
                     std::vector<std::string>& texts, std::vector<const char*>& bound) {
  texts.assign(values.size() + more, std::string());
  bound.assign(values.size() + more, nullptr);
  for (size_t i = 0; i < values.size(); ++i) {
    const Bound b = boundValue(*values[i].value, values[i].kind);
    if (b.tag == Bound::Null) continue;
    texts[i] = boundText(b);
    bound[i] = texts[i].c_str();
  }
}

}  // namespace

std::int64_t PgHandle::insertRow(const std::string& table, const std::vector<Assignment>& values) {
  const std::string key = quoted(rowKeyOf(table));
  std::string sql;
  if (values.empty()) {
    sql = "INSERT INTO " + quoted(table) + " DEFAULT VALUES RETURNING *";
  } else {
    std::string names, marks;
    for (size_t i = 0; i < values.size(); ++i) {
      names += (i ? "," : "") + quoted(values[i].column);
      marks += (i ? ",$" : "$") + std::to_string(i + 1);
    }
    sql = "INSERT INTO " + quoted(table) + " (" + names + ") VALUES (" + marks + ") RETURNING *";
  }
  Statement& s = prepareNative(sql, std::vector<Oid>(values.size(), 0));
  std::vector<std::string> texts;
  std::vector<const char*> bound;
  bindAssignments(values, 0, texts, bound);
  PGresult* r = execute(s, bound);
  const int column = PQfnumber(r, key.c_str());
  const std::int64_t id =
      PQntuples(r) == 1 && column >= 0 ? std::atoll(PQgetvalue(r, 0, column)) : 0;
  keepWritten(table, id, r);
  return id;
}

Statement& PgHandle::updateStatement(const std::string& table,
                                     const std::vector<Assignment>& values, std::int64_t key,
                                     std::vector<std::string>& texts,
                                     std::vector<const char*>& bound) {
  std::string sets;
  for (size_t i = 0; i < values.size(); ++i)
    sets += (i ? "," : "") + quoted(values[i].column) + "=$" + std::to_string(i + 1);
  const std::string sql = "UPDATE " + quoted(table) + " SET " + sets + " WHERE " +
                          quoted(rowKeyOf(table)) + "=$" + std::to_string(values.size() + 1) +
                          " RETURNING *";
  Statement& s = prepareNative(sql, std::vector<Oid>(values.size() + 1, 0));
  bindAssignments(values, 1, texts, bound);
  texts.back() = std::to_string(key);
  bound.back() = texts.back().c_str();
  return s;
}

long PgHandle::updateRow(const std::string& table, const std::vector<Assignment>& values,
                         std::int64_t key) {
  std::vector<std::string> texts;
  std::vector<const char*> bound;
  Statement& s = updateStatement(table, values, key, texts, bound);
  PGresult* r = execute(s, bound);
  const long changed = PQntuples(r);
  keepWritten(table, key, r);
  return changed;
}

std::optional<long> PgHandle::updateRowAndCommit(const std::string& table,
                                                 const std::vector<Assignment>& values,
                                                 std::int64_t key) {
  requireOpen();
  // Nothing was sent since the transaction began: its BEGIN would have to
  // go first; the update goes the usual way.
  if (beginPending_) return std::nullopt;
  std::vector<std::string> texts;
  std::vector<const char*> bound;
  Statement& s = updateStatement(table, values, key, texts, bound);
  if (!PQenterPipelineMode(conn_)) return std::nullopt;
  written_.result.reset();
  ahead_.clear();
  // The update and the COMMIT, each with its result, then the pipeline's
  // end: a failed update skips the COMMIT, and the transaction stays open
  // (aborted) for the caller to end, as after updateRow.
  if (PQsendQueryPrepared(conn_, s.name.c_str(), int(bound.size()), bound.data(), nullptr, nullptr,
                          0))
    PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0);
  std::vector<PGresult*> results = pipelineResults(2);
  Result update(results[0]), commit(results[1]);
  if (PQresultStatus(update.r) != PGRES_TUPLES_OK) fail(std::exchange(update.r, nullptr));
  // Committed or not, the transaction is over on the server.
  abandonLevels();
  if (PQresultStatus(commit.r) != PGRES_COMMAND_OK) fail(std::exchange(commit.r, nullptr));
  if (std::string_view(PQcmdStatus(commit.r)) == "ROLLBACK")
    raise(dberr::CommandError, "事务已被回滚：其中的一条语句失败了。");
  countCommit();
  const long changed = PQntuples(update.r);
  keepWritten(table, key, std::exchange(update.r, nullptr));
  return changed;
}

void PgHandle::keepWritten(const std::string& table, std::int64_t key, PGresult* result) {
  written_.table = lowerName(table);
  written_.key = key;
  written_.result.reset(result);
}

std::shared_ptr<const ColumnSet> PgHandle::readRow(const std::string& table, std::int64_t key,
                                                   RowBuffer& row) {
  // In a transaction the row stays as read until it ends (see ReadLocks).
  Statement& s =
      prepareNative("SELECT * FROM " + quoted(table) + " WHERE " + quoted(rowKeyOf(table)) + "=$1" +
                        (inTransaction() ? " FOR UPDATE" : ""),
                    {kInt8});
  // The row just written came back with its write (RETURNING *, the columns
  // of SELECT * in their order): read from there, without asking again.
  if (written_.result && written_.key == key && written_.table == lowerName(table) &&
      PQnfields(written_.result.get()) == int(s.resultTypes.size())) {
    storeRows(written_.result.get(), s, row);
    written_ = {};
    return s.columns;
  }
  const std::string text = std::to_string(key);
  Result r(execute(s, {text.c_str()}));
  storeRows(r.r, s, row);
  return s.columns;
}

}  // namespace zurvafun::db::detail::postgres

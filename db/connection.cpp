// Configuration, the per-thread pool of SQLite handles, statement preparation
// and Connection.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <unordered_set>
#include <utility>

#include "db/db.h"
#include "db/internal.h"
#include "db/schema.h"
#include "db/sqlfunctions.h"
#include "runtime/dates.h"
#include "runtime/error.h"

namespace zurvafun::db {

using detail::equalsIgnoreCase;

namespace {

Config gConfig;

bool serverKnown(std::string_view server) {
  static const std::array<std::string_view, 4> kLocal = {"(local)", ".", "localhost", "127.0.0.1"};
  for (std::string_view name : kLocal)
    if (equalsIgnoreCase(server, name)) return true;
  return !gConfig.localServerName.empty() && equalsIgnoreCase(server, gConfig.localServerName);
}

// A database name is a file name of the data folder, never a path.
bool validDatabaseName(std::string_view name) {
  if (name.empty() || name.size() > 128 || name.front() == '.') return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == ':' || c == '\0') return false;
  return name.find("..") == std::string_view::npos;
}

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
};

std::optional<FileId> fileId(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

// Every open handle of every thread, for closeAllConnections(). Never
// destroyed: threads may end after the process's static objects.
struct Registry {
  std::mutex mutex;
  std::unordered_set<detail::Handle*> handles;
};
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

// The write gates of the database files, by file identity (see Handle). An
// entry lives while a handle of the file holds it.
struct WriteGates {
  std::mutex mutex;
  std::map<std::pair<dev_t, ino_t>, std::weak_ptr<detail::WriteGate>> gates;
};

std::shared_ptr<detail::WriteGate> writeGateOf(dev_t device, ino_t inode) {
  static WriteGates* g = new WriteGates;  // never destroyed, as the registry
  std::lock_guard<std::mutex> lock(g->mutex);
  std::weak_ptr<detail::WriteGate>& entry = g->gates[{device, inode}];
  std::shared_ptr<detail::WriteGate> gate = entry.lock();
  if (!gate) {
    for (auto it = g->gates.begin(); it != g->gates.end();) it = it->second.expired() ? g->gates.erase(it) : ++it;
    gate = std::make_shared<detail::WriteGate>();
    g->gates[{device, inode}] = gate;
  }
  return gate;
}

// The pool: one handle per database file on each thread.
thread_local std::unordered_map<std::string, std::shared_ptr<detail::Handle>> tPool;

// The pooled handle of an existing file whose identity `id` was just read.
std::shared_ptr<detail::Handle> pooledHandle(const std::string& file, const FileId& id) {
  if (auto it = tPool.find(file); it != tPool.end()) {
    const detail::Handle& h = *it->second;
    if (h.db && h.device == id.device && h.inode == id.inode) return it->second;
    tPool.erase(it);  // closed, or the file was replaced: never write through a stale handle
  }
  auto handle = std::make_shared<detail::Handle>(file);
  handle->device = id.device;
  handle->inode = id.inode;
  tPool.emplace(file, handle);
  return handle;
}

// The file of a database name and its identity, or no identity when it does
// not exist; names compare without regard to case, as the server's catalog
// names did.
std::string resolveDatabaseFile(const std::string& name, std::optional<FileId>& id) {
  std::string file = databaseFile(name);
  if ((id = fileId(file))) return file;
  std::error_code ec;
  const std::string wanted = name + ".db";
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(file).parent_path(), ec)) {
    const std::string found = entry.path().filename().string();
    if (equalsIgnoreCase(found, wanted)) {
      id = fileId(entry.path().string());
      return entry.path().string();
    }
  }
  return file;
}

std::atomic<unsigned> gCreateCounter{0};

// Transactions committed through the layer's handles (see commitCount()).
std::atomic<std::uint64_t> gCommits{0};

// SQLite's process-wide settings, made before its first use: no memory
// statistics. With them, every allocation of every handle (and reading a row
// allocates for each of its text values) takes one lock that all threads
// share.
void configureSqlite() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);  // refused (and harmless) once SQLite is in use
    return true;
  }();
  (void)configured;
}

void removeDatabaseFiles(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

}  // namespace

// ---------------------------------------------------------------- configuration

void configure(Config config) {
  configureSqlite();
  gConfig = std::move(config);
}
const Config& config() { return gConfig; }

std::string databaseFile(std::string_view name) {
  std::string dir = gConfig.dataDir.empty() ? "." : gConfig.dataDir;
  if (dir.back() != '/') dir += '/';
  return dir + std::string(name) + ".db";
}

std::string schemaText() {
  if (gConfig.schemaFile.empty()) return schemaSql();
  const std::string& file = gConfig.schemaFile;
  std::ifstream in(file, std::ios::binary);
  if (!in) raise(53, errorDescription(53) + ": " + file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void createDatabase(const std::string& file, std::string_view schemaSql) {
  if (fileId(file)) raise(dberr::CommandError, "数据库文件已存在：" + file);
  // Built under a temporary name and linked into place, so that no one opens
  // a half-made database and two creators cannot both succeed.
  const std::string temp = file + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(++gCreateCounter);
  configureSqlite();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  std::string error;
  if (rc == SQLITE_OK) {
    detail::registerFunctions(db);
    const std::string script = "PRAGMA journal_mode=WAL; BEGIN; " + std::string(schemaSql) + "\n; COMMIT;";
    char* message = nullptr;
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      error = message ? message : "schema failed";
      sqlite3_free(message);
    }
  } else {
    error = db ? sqlite3_errmsg(db) : "cannot create the file";
  }
  sqlite3_close_v2(db);
  if (error.empty() && ::link(temp.c_str(), file.c_str()) != 0) {
    // A file system without hard links: a rename, unless the name is taken.
    if (errno == EEXIST || fileId(file) || std::rename(temp.c_str(), file.c_str()) != 0)
      error = "数据库文件已存在：" + file;
  }
  removeDatabaseFiles(temp);
  if (!error.empty()) raise(dberr::CommandError, "创建数据库失败：" + error);
}

void releasePooledConnections() { tPool.clear(); }

std::uint64_t commitCount() { return gCommits.load(std::memory_order_acquire); }

void closeAllConnections() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (detail::Handle* h : r.handles) h->close();
}

void registerDialect(sqlite3* handle) { detail::registerFunctions(handle); }

// ---------------------------------------------------------------- Handle

namespace detail {

// The write-ahead log is checkpointed once it holds this many frames (pages),
// restarting it from its beginning so that it stops growing even while
// readers are always active; the file is cut back to the size limit then.
constexpr int kCheckpointFrames = 1000;
constexpr const char* kWalSizeLimit = "PRAGMA journal_size_limit=4194304";
// How long the checkpoint after a commit may wait for other writers and for
// the readers of older frames; it is tried again at the next commit.
constexpr int kCheckpointWaitMs = 10;

Handle::Handle(std::string file) : path(std::move(file)) {
  configureSqlite();
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "cannot open";
    sqlite3_close_v2(db);
    db = nullptr;
    raise(dberr::CommandError, message);
  }
  sqlite3_busy_handler(db, busyHandler, this);
  // A "name" is always a name, as on SQL Server: never a text literal when no
  // such column exists.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  registerFunctions(db);
  try {
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    // No memory map: a commit makes every other handle of the file drop its
    // whole map at its next read, which costs more than the copies into the
    // handle's own page cache when many threads read and some write.
    exec("PRAGMA mmap_size=0");
    // A page cache of 512 KB per handle (SQLite's default is 2 MB): every
    // worker thread of a server keeps a handle, and the file's pages stay in
    // the system's cache anyway; the upper levels of the indexes fit.
    exec("PRAGMA cache_size=-512");
    exec(kWalSizeLimit);
    sqlite3_wal_hook(db, walHook, this);
    refreshSchema();  // also proves the file is a database
  } catch (...) {
    sqlite3_finalize(versionStmt_);
    sqlite3_close_v2(db);
    db = nullptr;
    throw;
  }
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.handles.insert(this);
}

Handle::~Handle() {
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.handles.erase(this);
  }
  close();
}

void Handle::close() noexcept {
  if (!db) return;
  forgetStatements();
  sqlite3_finalize(versionStmt_);
  versionStmt_ = nullptr;
  for (sqlite3_stmt*& stmt : fixed_) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
  }
  if (!levels_.empty()) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  levels_.clear();
  levelsEnded();
  sqlite3_close_v2(db);
  db = nullptr;
}

void Handle::requireOpen() const {
  if (!db) raise(dberr::ConnectionNotOpen, "连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。");
}

// Waits for a lock in short sleeps (SQLite's own timeout sleeps whole
// milliseconds, and longer as it goes on), up to the handle's limit.
int Handle::busyHandler(void* self, int count) {
  Handle& h = *static_cast<Handle*>(self);
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  if (count == 0) h.busySince_ = now;
  if (now - h.busySince_ >= std::int64_t(h.busyLimitMs_) * 1000) return 0;
  std::this_thread::sleep_for(std::chrono::microseconds(count < 20 ? 20 : count < 100 ? 100 : 1000));
  return 1;
}

int Handle::walHook(void* self, sqlite3*, const char*, int frames) {
  gCommits.fetch_add(1, std::memory_order_release);  // called after each commit
  static_cast<Handle*>(self)->checkpoint(frames);
  return SQLITE_OK;
}

// After a commit: once the log holds kCheckpointFrames frames, copy them into
// the database and have the next writer start the log afresh. A busy
// checkpoint (a long writer, a slow reader) is left to a later commit.
void Handle::checkpoint(int frames) {
  if (frames < kCheckpointFrames) return;
  const int limit = std::exchange(busyLimitMs_, kCheckpointWaitMs);
  sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
  busyLimitMs_ = limit;
}

void Handle::forgetStatements() {
  shapes_.clear();
  for (auto& [text, prepared] : cache_) sqlite3_finalize(prepared.stmt);
  cache_.clear();
}

void Handle::fail(int rc) {
  // Some failures (a full disk, an I/O error) end the whole transaction.
  if (!levels_.empty() && sqlite3_get_autocommit(db)) {
    levels_.clear();
    levelsEnded();
  }
  if (std::optional<VbError> e = takeFunctionError()) throw *e;
  std::string message = sqlite3_errmsg(db);
  if (message.empty()) message = sqlite3_errstr(rc);
  raise(dberr::CommandError, message);
}

void Handle::exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    raise(dberr::CommandError, text);
  }
}

int Handle::tryExec(Fixed statement) noexcept {
  static constexpr const char* kText[] = {"BEGIN IMMEDIATE", "COMMIT", "ROLLBACK"};
  sqlite3_stmt*& stmt = fixed_[static_cast<int>(statement)];
  if (!stmt) {
    const int rc = sqlite3_prepare_v3(db, kText[static_cast<int>(statement)], -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                                      nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  const int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

void Handle::exec(Fixed statement) {
  if (tryExec(statement) != SQLITE_OK) raise(dberr::CommandError, sqlite3_errmsg(db));
}

// Re-reads the declared column types when the schema has changed.
void Handle::refreshSchema() {
  if (!versionStmt_ && sqlite3_prepare_v3(db, "PRAGMA schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                                          &versionStmt_, nullptr) != SQLITE_OK)
    fail(SQLITE_ERROR);
  long long version = -1;
  {
    StatementUse use(versionStmt_);
    const int rc = sqlite3_step(versionStmt_);
    if (rc != SQLITE_ROW) fail(rc);
    version = sqlite3_column_int64(versionStmt_, 0);
  }
  if (version == schemaVersion_) return;

  sqlite3_stmt* st = nullptr;
  forgetStatements();
  schema_ = SchemaInfo{};
  const char* kColumns =
      "SELECT m.name, p.name, p.type FROM sqlite_schema AS m JOIN pragma_table_info(m.name) AS p "
      "WHERE m.type IN ('table','view')";
  if (sqlite3_prepare_v2(db, kColumns, -1, &st, nullptr) != SQLITE_OK) fail(SQLITE_ERROR);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    auto text = [&](int i) {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      return std::string(p ? p : "");
    };
    schema_.add(text(0), text(1), kindOfDeclaredType(text(2)));
  }
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) fail(rc);
  schemaVersion_ = version;
}

// ---- transaction levels

bool WriteGate::take(std::chrono::milliseconds limit) {
  if (sem_trywait(&turns_) == 0) return true;
  timespec until{};
  clock_gettime(CLOCK_MONOTONIC, &until);
  const long long nanoseconds = until.tv_nsec + (limit.count() % 1000) * 1000000LL;
  until.tv_sec += static_cast<time_t>(limit.count() / 1000 + nanoseconds / 1000000000);
  until.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
  for (;;) {
    if (sem_clockwait(&turns_, CLOCK_MONOTONIC, &until) == 0) return true;
    if (errno != EINTR) return false;
  }
}

WriteTurn Handle::takeWriteTurn() {
  if (!writeGate_) writeGate_ = writeGateOf(device, inode);
  if (!writeGate_->take(std::chrono::milliseconds(busyLimitMs_))) raise(dberr::CommandError, sqlite3_errstr(SQLITE_BUSY));
  return WriteTurn(writeGate_);
}

void Handle::levelsEnded() noexcept { writing_.giveBack(); }

WriteTurn Handle::autocommitTurn(sqlite3_stmt* stmt) {
  if (!levels_.empty() || sqlite3_stmt_readonly(stmt)) return {};
  return takeWriteTurn();
}

std::uint64_t Handle::begin() {
  requireOpen();
  const size_t depth = levels_.size();
  if (depth == 0) {
    WriteTurn turn = takeWriteTurn();
    exec(Fixed::Begin);
    writing_ = std::move(turn);
  } else {
    exec(("SAVEPOINT zv_" + std::to_string(depth)).c_str());
  }
  levels_.push_back(Level{++nextLevel_, false});
  return nextLevel_;
}

bool Handle::holds(std::uint64_t level) const {
  for (const Level& l : levels_)
    if (l.id == level) return true;
  return false;
}

bool Handle::commit(std::uint64_t level) {
  for (Level& l : levels_) {
    if (l.id != level) continue;
    l.ended = true;
    settleLevels();
    return true;
  }
  return false;
}

// Ends the innermost levels that were committed: savepoints are released, the
// outermost level commits. A failed commit rolls everything back and raises.
void Handle::settleLevels() {
  while (!levels_.empty() && levels_.back().ended) {
    if (levels_.size() > 1) {
      exec(("RELEASE zv_" + std::to_string(levels_.size() - 1)).c_str());
      levels_.pop_back();
      continue;
    }
    try {
      exec(Fixed::Commit);
    } catch (...) {
      tryExec(Fixed::Rollback);
      levels_.clear();
      levelsEnded();
      throw;
    }
    levels_.clear();
    levelsEnded();
  }
}

void Handle::rollback(std::uint64_t level) noexcept {
  for (size_t i = 0; i < levels_.size(); ++i) {
    if (levels_[i].id != level) continue;
    if (i == 0) {
      tryExec(Fixed::Rollback);
    } else {
      const std::string n = std::to_string(i);
      sqlite3_exec(db, ("ROLLBACK TO zv_" + n + "; RELEASE zv_" + n).c_str(), nullptr, nullptr, nullptr);
    }
    levels_.resize(i);
    if (levels_.empty()) levelsEnded();
    try {
      settleLevels();  // outer levels that ended meanwhile commit now
    } catch (...) {
    }
    return;
  }
}

// ---- statements

Prepared& Handle::prepare(std::string_view sql, bool forUpdate, std::vector<Slot>& slots) {
  requireOpen();
  Shape shape = shapeOf(sql);
  shape.key += forUpdate ? '\1' : '\0';
  if (Prepared* p = byShape(shape, slots)) return *p;

  Translation t = translate(sql, schema_, forUpdate);
  std::string key;
  key.reserve(t.sql.size() + 1);
  key += forUpdate ? '\1' : '\0';
  key += t.sql;
  Prepared* p = nullptr;
  if (auto it = cache_.find(key); it != cache_.end()) {
    p = &it->second;
  } else {
    const long long before = schemaVersion_;
    refreshSchema();
    if (schemaVersion_ != before) {  // rewrite with the column types as they are now
      t = translate(sql, schema_, forUpdate);
      key.resize(1);
      key += t.sql;
    }
    p = &cached(std::move(key), t);
  }
  // Kept for the next text of this shape (a few translations per shape, for
  // texts that differ in a literal the rewrite depends on).
  constexpr size_t kShapes = 400, kUsesPerShape = 8;
  if (shapes_.size() >= kShapes) shapes_.clear();
  std::vector<ShapeUse>& uses = shapes_[shape.key];
  if (uses.size() >= kUsesPerShape) uses.erase(uses.begin());
  ShapeUse use{p, t.slots, std::move(t.slotLiterals), {}};
  for (int l : t.pinned) use.pinned.emplace_back(l, std::string(shape.literals[size_t(l)]));
  uses.push_back(std::move(use));
  slots = std::move(t.slots);
  return *p;
}

// The statement of a text whose shape was seen with the same pinned
// literals, its slots filled from the text's own literals; null when none.
Prepared* Handle::byShape(const Shape& shape, std::vector<Slot>& slots) {
  auto it = shapes_.find(shape.key);
  if (it == shapes_.end()) return nullptr;
  for (const ShapeUse& use : it->second) {
    bool same = true;
    for (const auto& [l, text] : use.pinned) same = same && shape.literals[size_t(l)] == text;
    if (!same) continue;
    slots = use.slots;
    for (size_t k = 0; k < slots.size() && same; ++k)
      if (use.slotLiterals[k] >= 0) same = literalSlot(shape.literals[size_t(use.slotLiterals[k])], slots[k]);
    if (same) return use.prepared;
  }
  return nullptr;
}

Prepared& Handle::prepareNative(const std::string& sql) {
  requireOpen();
  std::string key = '\2' + sql;
  if (auto it = cache_.find(key); it != cache_.end()) return it->second;
  Translation t;
  t.sql = sql;
  return cached(std::move(key), t);
}

Prepared& Handle::cached(std::string key, const Translation& t) {
  if (cache_.size() >= 200) forgetStatements();
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  clearFunctionError();
  const int rc = sqlite3_prepare_v3(db, t.sql.c_str(), int(t.sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
  if (rc != SQLITE_OK) fail(rc);
  if (!stmt) raise(dberr::CommandError, "命令文本为空。");
  // Never run part of a text: whatever follows the statement (a NUL byte
  // included) is refused.
  for (const char* p = tail; p && p < t.sql.data() + t.sql.size(); ++p) {
    if (!std::isspace(static_cast<unsigned char>(*p))) {
      sqlite3_finalize(stmt);
      raise(dberr::CommandError, "每次只能执行一条 SQL 语句：分号之后的第二条语句被拒绝。");
    }
  }
  Prepared p;
  p.stmt = stmt;
  p.schemaChange = t.schemaChange;
  if (sqlite3_column_count(stmt) > 0) p.columns = describe(stmt, t);
  return cache_.emplace(std::move(key), std::move(p)).first->second;
}

std::shared_ptr<const ColumnSet> Handle::describe(sqlite3_stmt* stmt, const Translation& t) const {
  auto set = std::make_shared<ColumnSet>();
  const int n = sqlite3_column_count(stmt);
  set->stored = n;
  const std::string base = t.rowid ? t.baseTable : std::string();
  const std::unordered_map<std::string, ColKind>* baseColumns = nullptr;
  if (!base.empty()) {
    set->baseTable = base;
    if (auto it = schema_.tables.find(lowerAscii(base)); it != schema_.tables.end()) baseColumns = &it->second;
  }
  for (int i = 0; i < n; ++i) {
    if (t.rowid && i == n - 1) {
      set->rowidIndex = i;
      break;
    }
    Column c;
    c.name = sqlite3_column_name(stmt, i);
    const char* declared = sqlite3_column_decltype(stmt, i);
    c.kind = valueKindOf(declared);
    c.writeKind = kindOfDeclaredType(declared ? declared : "");
    const char* table = sqlite3_column_table_name(stmt, i);
    const char* origin = sqlite3_column_origin_name(stmt, i);
    if (baseColumns) {
      if (origin && table && equalsIgnoreCase(table, base)) {
        c.baseColumn = origin;
      } else {
        // An expression named like a column of the table writes that column.
        if (auto col = baseColumns->find(lowerAscii(c.name)); col != baseColumns->end()) {
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

ValueKind valueKindOf(const char* declared) {
  if (!declared) return ValueKind::Dynamic;
  const std::string t = lowerAscii(declared);
  auto has = [&](std::string_view part) { return t.find(part) != std::string::npos; };
  if (has("smallint") || has("tinyint")) return ValueKind::Integer;
  if (has("int")) return ValueKind::Long;
  if (has("bit")) return ValueKind::Boolean;
  if (has("money") || has("dec") || has("numeric")) return ValueKind::Currency;
  if (has("date") || has("time")) return ValueKind::Date;
  if (has("char") || has("text") || has("clob")) return ValueKind::Text;
  return ValueKind::Dynamic;
}

int ColumnSet::find(std::string_view name) const {
  for (size_t i = 0; i < columns.size(); ++i)
    if (equalsIgnoreCase(columns[i].name, name)) return int(i);
  return -1;
}

const std::vector<int>& ColumnSet::baseColumnPlaces(const std::shared_ptr<const ColumnSet>& baseRow) const {
  if (placesOf_ == baseRow) return places_;
  places_.assign(columns.size(), -1);
  for (size_t c = 0; c < columns.size(); ++c)
    if (!columns[c].baseColumn.empty() && !columns[c].computed) places_[c] = baseRow->find(columns[c].baseColumn);
  placesOf_ = baseRow;
  return places_;
}

void bindValue(sqlite3_stmt* stmt, int index, const Variant& v, ColKind kind) {
  if (v.isNull() || v.isEmpty()) {
    sqlite3_bind_null(stmt, index);
    return;
  }
  auto bindText = [&](const std::string& s) {
    sqlite3_bind_text(stmt, index, s.data(), int(s.size()), SQLITE_TRANSIENT);
  };
  auto bindCurrency = [&](std::int64_t scaled) {
    if (scaled % 10000 == 0) sqlite3_bind_int64(stmt, index, scaled / 10000);
    else sqlite3_bind_double(stmt, index, double(scaled) / 10000.0);
  };
  switch (kind) {
    case ColKind::Int: {
      const double d = bankersRound(toNumber(v));
      if (!(std::fabs(d) < 9.2e18)) raise(err::Overflow);
      sqlite3_bind_int64(stmt, index, static_cast<long long>(d));
      return;
    }
    case ColKind::Numeric: bindCurrency(CCur(v).currencyScaledValue()); return;
    case ColKind::Date: bindText(dateTimeText(dateSerialOf(v))); return;
    case ColKind::Text: bindText(CStr(v)); return;
    case ColKind::Unknown: break;
  }
  switch (v.type()) {
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long: sqlite3_bind_int64(stmt, index, static_cast<long long>(toNumber(v))); return;
    case VarType::Double: sqlite3_bind_double(stmt, index, toNumber(v)); return;
    case VarType::Currency: bindCurrency(v.currencyScaledValue()); return;
    case VarType::Date: bindText(dateTimeText(v.dateValue())); return;
    default: bindText(CStr(v));
  }
}

void bindSlots(sqlite3_stmt* stmt, const std::vector<Slot>& slots, const std::vector<Variant>& params) {
  size_t callers = 0;
  for (const Slot& slot : slots) callers += slot.kind == Slot::Caller;
  if (callers != params.size() || sqlite3_bind_parameter_count(stmt) != int(slots.size()))
    raise(dberr::CommandError, "参数个数与语句中的 ? 个数不符。");
  size_t next = 0;
  for (size_t i = 0; i < slots.size(); ++i) {
    const Slot& slot = slots[i];
    const int index = int(i) + 1;
    switch (slot.kind) {
      case Slot::Caller: bindValue(stmt, index, params[next++], ColKind::Unknown); break;
      case Slot::Integer: sqlite3_bind_int64(stmt, index, slot.integer); break;
      case Slot::Real: sqlite3_bind_double(stmt, index, slot.real); break;
      case Slot::Text:
        sqlite3_bind_text(stmt, index, slot.text.data(), int(slot.text.size()), SQLITE_TRANSIENT);
        break;
    }
  }
}

void runToEnd(Handle& h, Prepared& p, const std::vector<Slot>& slots, const std::vector<Variant>& params) {
  const bool schemaChange = p.schemaChange;
  {
    const WriteTurn turn = h.autocommitTurn(p.stmt);
    StatementUse use(p.stmt);
    bindSlots(p.stmt, slots, params);
    clearFunctionError();
    int rc;
    while ((rc = sqlite3_step(p.stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) h.fail(rc);
  }
  if (schemaChange) h.forgetStatements();
}

}  // namespace detail

// ---------------------------------------------------------------- Connection

Connection::Connection() = default;
Connection::~Connection() { Close(); }
Connection::Connection(Connection&& other) noexcept
    : handle_(std::move(other.handle_)), transactions_(std::move(other.transactions_)) {
  other.transactions_.clear();
}
Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::move(other.handle_);
    transactions_ = std::move(other.transactions_);
    other.transactions_.clear();
  }
  return *this;
}

bool Connection::Open(const ConnectionParams& p) {
  Close();
  if (!serverKnown(p.server) || !equalsIgnoreCase(p.user, gConfig.user) || p.password != gConfig.password ||
      !validDatabaseName(p.database))
    return false;
  const bool own = !gConfig.database.empty() && equalsIgnoreCase(p.database, gConfig.database);
  try {
    std::optional<FileId> id;
    const std::string file = resolveDatabaseFile(own ? gConfig.database : p.database, id);
    if (!id && own) {
      try {
        createDatabase(file, schemaText());
      } catch (const VbError&) {
        if (!fileId(file)) throw;  // not merely created by another thread first
      }
      id = fileId(file);
    }
    if (id) handle_ = pooledHandle(file, *id);
  } catch (const std::exception&) {
    handle_.reset();
  }
  return handle_ != nullptr;
}

void Connection::Close() {
  // A transaction this connection began and did not finish is rolled back,
  // so that it never outlives the connection on the shared handle.
  while (!transactions_.empty()) RollbackTrans();
  handle_.reset();
}

const std::shared_ptr<detail::Handle>& Connection::handle() const {
  if (!handle_) raise(dberr::ConnectionNotOpen, "连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。");
  return handle_;
}

Recordset Connection::Execute(std::string_view sql) { return Execute(sql, {}); }

Recordset Connection::Execute(std::string_view sql, const std::vector<Variant>& params) {
  Recordset rs;
  rs.run(handle(), sql, params, adOpenForwardOnly, adLockReadOnly);
  return rs;
}

long Connection::ExecuteAction(std::string_view sql) { return ExecuteAction(sql, {}); }

long Connection::ExecuteAction(std::string_view sql, const std::vector<Variant>& params) {
  detail::Handle& h = *handle();
  std::vector<detail::Slot> slots;
  detail::Prepared& p = h.prepare(sql, false, slots);
  const bool changes = !sqlite3_stmt_readonly(p.stmt);
  detail::runToEnd(h, p, slots, params);
  return changes ? long(sqlite3_changes64(h.db)) : -1;
}

void Connection::BeginTrans() { transactions_.push_back(handle()->begin()); }

void Connection::CommitTrans() {
  detail::Handle& h = *handle();
  if (transactions_.empty()) raise(dberr::CommandError, "没有活动的事务。");
  const std::uint64_t level = transactions_.back();
  transactions_.pop_back();
  if (!h.commit(level)) raise(dberr::CommandError, "事务已被回滚：外层的事务在它结束之前回滚了。");
}

void Connection::RollbackTrans() noexcept {
  if (!handle_ || transactions_.empty()) return;
  const std::uint64_t level = transactions_.back();
  transactions_.pop_back();
  handle_->rollback(level);
}

}  // namespace zurvafun::db

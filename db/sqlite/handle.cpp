// The embedded backend: SQLite handles pooled per thread and file, their
// statement cache, transactions under the file's write gate, and the rows of
// a statement stored into the layer's row buffers.
#include "db/sqlite/handle.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "db/sqlite/functions.h"
#include "runtime/dates.h"
#include "runtime/error.h"

namespace zurvafun::db::detail::sqlite {

namespace {

// SQLite's rendering of the dialect's shared form.
class SqliteRenderer final : public Renderer {
 protected:
  void param(int, std::string& out) const override { out += '?'; }
  // Text columns are declared with the collation ZV; a literal or a
  // function's result is given it.
  void textKey(const Node& key, std::string& out, int& params) const override {
    if (!key.collate) {
      write(key.kids, out, params);
      return;
    }
    if (key.kids.size() == 1) {
      write(key.kids, out, params);
    } else {
      out += '(';
      write(key.kids, out, params);
      out += ')';
    }
    out += " COLLATE ZV";
  }
  void rowKey(const Node& key, std::string& out, int&) const override {
    quotedName(key.kids[0].text, out);
    out += ".rowid";
  }
};
const SqliteRenderer kRenderer;

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

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
};

std::optional<FileId> fileId(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

// The write gates of the database files, by file identity (see Handle). An
// entry lives while a handle of the file holds it.
struct WriteGates {
  std::mutex mutex;
  std::map<std::pair<dev_t, ino_t>, std::weak_ptr<WriteGate>> gates;
};

std::shared_ptr<WriteGate> writeGateOf(dev_t device, ino_t inode) {
  static WriteGates* g = new WriteGates;  // never destroyed, as the registry
  std::lock_guard<std::mutex> lock(g->mutex);
  std::weak_ptr<WriteGate>& entry = g->gates[{device, inode}];
  std::shared_ptr<WriteGate> gate = entry.lock();
  if (!gate) {
    for (auto it = g->gates.begin(); it != g->gates.end();)
      it = it->second.expired() ? g->gates.erase(it) : ++it;
    gate = std::make_shared<WriteGate>();
    g->gates[{device, inode}] = gate;
  }
  return gate;
}

// The pool: one handle per database file on each thread.
thread_local std::unordered_map<std::string, std::shared_ptr<SqliteHandle>> tPool;

// The pooled handle of an existing file whose identity `id` was just read.
std::shared_ptr<SqliteHandle> pooledHandle(const std::string& file, const FileId& id) {
  if (auto it = tPool.find(file); it != tPool.end()) {
    const SqliteHandle& h = *it->second;
    if (h.db && h.device == id.device && h.inode == id.inode) return it->second;
    tPool.erase(it);  // closed, or the file was replaced: never write through a stale handle
  }
  auto handle = std::make_shared<SqliteHandle>(file);
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
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(file).parent_path(), ec)) {
    const std::string found = entry.path().filename().string();
    if (equalsIgnoreCase(found, wanted)) {
      id = fileId(entry.path().string());
      return entry.path().string();
    }
  }
  return file;
}

std::atomic<unsigned> gCreateCounter{0};

}  // namespace

// SQLite's process-wide settings, made before its first use: no memory
// statistics. With them, every allocation of every handle (and reading a row
// allocates for each of its text values) takes one lock that all threads
// share.
void configureLibrary() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);  // refused (and harmless) once SQLite is in use
    return true;
  }();
  (void)configured;
}

namespace {

void removeDatabaseFiles(const std::string& file) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::remove((file + suffix).c_str());
}

}  // namespace

// ---------------------------------------------------------------- files and pool

void createFile(const std::string& file, std::string_view schemaSql) {
  recheckFiles();  // a file of that name went: no handle of it is taken unchecked
  if (fileId(file)) raise(dberr::CommandError, "数据库文件已存在：" + file);
  // Built under a temporary name and linked into place, so that no one opens
  // a half-made database and two creators cannot both succeed.
  const std::string temp =
      file + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(++gCreateCounter);
  configureLibrary();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(
      temp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::string error;
  if (rc == SQLITE_OK) {
    registerFunctions(db);
    const std::string script =
        "PRAGMA journal_mode=WAL; BEGIN; " + std::string(schemaSql) + "\n; COMMIT;";
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

namespace {

// The pooled handle of a database, its file's identity checked.
std::shared_ptr<SqliteHandle> openChecked(const std::string& name, bool own) {
  std::optional<FileId> id;
  const std::string file = resolveDatabaseFile(name, id);
  if (!id && own) {
    try {
      createFile(file, schemaText());
    } catch (const VbError&) {
      if (!fileId(file)) throw;  // not merely created by another thread first
    }
    id = fileId(file);
  }
  if (!id) return nullptr;
  return pooledHandle(file, *id);
}

}  // namespace

// The handles this thread opened since its last request mark, by database
// name, whose files were found unchanged then (see db::beginRequest). Empty
// and unused on a thread that never marks.
struct CheckedOpens {
  bool marked = false;
  std::vector<std::pair<std::string, std::shared_ptr<SqliteHandle>>> handles;
};
thread_local CheckedOpens tChecked;

std::shared_ptr<Handle> open(const std::string& name, bool own) {
  for (const auto& [checkedName, handle] : tChecked.handles)
    if (checkedName == name && handle->db) return handle;
  std::shared_ptr<SqliteHandle> handle = openChecked(name, own);
  if (tChecked.marked && handle) {
    handle->sharesReads = true;
    tChecked.handles.emplace_back(name, handle);
  }
  return handle;
}

namespace {

// Ends the shared reads of the handles the request opened, and forgets them.
void forgetCheckedOpens() noexcept {
  for (const auto& [name, handle] : tChecked.handles) {
    handle->endSharedRead();
    handle->sharesReads = true;
  }
  tChecked.handles.clear();
}

}  // namespace

void beginRequest() {
  forgetCheckedOpens();
  tChecked.marked = true;
}

void endRequest() {
  forgetCheckedOpens();
  tChecked.marked = false;
}

std::optional<std::uint64_t> sharedReadCommits() {
  std::optional<std::uint64_t> oldest;
  for (const auto& [name, handle] : tChecked.handles)
    if (const std::optional<std::uint64_t> began = handle->sharedReadCommits())
      if (!oldest || *began < *oldest) oldest = began;
  return oldest;
}

// A handle of a file that went may hold a shared read of the old file: it
// ends with the handles that are forgotten here.
void recheckFiles() { forgetCheckedOpens(); }

void releaseThreadHandles() {
  forgetCheckedOpens();
  tChecked = {};
  tPool.clear();
}

// ---------------------------------------------------------------- SqliteHandle

// The write-ahead log is copied into the database every kCheckpointFrames
// frames (pages) that commits add to it. Such a checkpoint syncs the log,
// copies what no reader still needs and syncs the database: the syncs are
// most of its time, so the commit leaves it for after its write turn, and
// the next writers go on meanwhile (a passive checkpoint takes no writer's
// lock). The log is synced as often as before. A checkpoint beside writers
// cannot start the log afresh, so once it holds kRestartFrames frames a
// commit checkpoints within its turn, restarting the log from its beginning
// so that it stops growing even while readers are always active (the file is
// cut back to the size limit then); the checkpoints before have left it
// little to copy.
constexpr int kCheckpointFrames = 1000;
constexpr int kRestartFrames = 4 * kCheckpointFrames;
constexpr const char* kWalSizeLimit = "PRAGMA journal_size_limit=4194304";
// How long the restarting checkpoint after a commit may wait, all its waits
// together, for other writers and for the readers of older frames; twice as
// long after each try that the readers foiled, up to 2^kWaitDoublings times.
constexpr int kCheckpointWaitMs = 10;
constexpr int kWaitDoublings = 4;

SqliteHandle::SqliteHandle(std::string file) : path(std::move(file)) {
  configureLibrary();
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
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
  enlist();
}

SqliteHandle::~SqliteHandle() {
  delist();
  close();
}

void SqliteHandle::close() noexcept {
  if (!db) return;
  sharedRead_ = false;  // closing the handle ends it
  forgetStatements();
  sqlite3_finalize(versionStmt_);
  versionStmt_ = nullptr;
  for (sqlite3_stmt*& stmt : fixed_) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
  }
  if (inTransaction()) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  abandonLevels();
  sqlite3_close_v2(db);
  db = nullptr;
}

namespace {

std::int64_t steadyMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// Waits for a lock in short sleeps (SQLite's own timeout sleeps whole
// milliseconds, and longer as it goes on), up to the handle's limit for each
// wait, or up to the end a checkpoint was given for all of its waits.
int SqliteHandle::busyHandler(void* self, int count) {
  SqliteHandle& h = *static_cast<SqliteHandle*>(self);
  const std::int64_t now = steadyMicroseconds();
  if (h.busyUntil_ != 0) {
    if (now >= h.busyUntil_) return 0;
  } else {
    if (count == 0) h.busySince_ = now;
    if (now - h.busySince_ >= std::int64_t(h.busyLimitMs_) * 1000) return 0;
  }
  std::this_thread::sleep_for(std::chrono::microseconds(count < 20    ? 20
                                                        : count < 100 ? 100
                                                                      : 1000));
  return 1;
}

int SqliteHandle::walHook(void* self, sqlite3*, const char*, int frames) {
  countCommit();  // called after each commit that wrote
  static_cast<SqliteHandle*>(self)->checkpoint(frames);
  return SQLITE_OK;
}

// After a commit, within its write turn: once the log holds kRestartFrames
// frames, copy them into the database and have the next writer start the log
// afresh; a busy checkpoint (a checkpoint copying outside its turn) is left to
// a later commit. Every kCheckpointFrames frames otherwise, a checkpoint is
// due after the turn.
//
// The restart waits for the readers of older frames. Readers that overlap
// without a pause, a long one among them (a search), can keep it from
// restarting the log however often it is tried: trying at every commit made
// every turn wait for them, and the writes of the whole file crawled. So a
// foiled restart is tried again 2 * kCheckpointFrames frames later, with a
// checkpoint after the turn in between to copy the frames meanwhile, and with
// twice the time to wait (which outlasts the readers in the end, and the log
// stops growing).
void SqliteHandle::checkpoint(int frames) {
  WriteGate* gate = writeGate_.get();
  if (!gate) {  // a commit without a turn (none is made so): everything within it
    if (frames < kCheckpointFrames) return;
  } else {
    if (frames < gate->checkpointedTo) {  // the log started afresh
      gate->checkpointedTo = 0;
      gate->restartFrom = 0;
      gate->foiledRestarts = 0;
    }
    if (frames < std::max(kRestartFrames, gate->restartFrom) || gate->checkpointing.load()) {
      if (frames - gate->checkpointedTo >= kCheckpointFrames) {
        gate->checkpointedTo = frames;
        checkpointDue_ = true;
      }
      return;
    }
  }
  const int doublings = gate ? std::min(gate->foiledRestarts, kWaitDoublings) : 0;
  busyUntil_ = steadyMicroseconds() + std::int64_t(kCheckpointWaitMs << doublings) * 1000;
  const int rc =
      sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
  busyUntil_ = 0;
  if (!gate) return;
  if (rc == SQLITE_OK) {  // the next commit starts the log afresh
    gate->checkpointedTo = 0;
    gate->restartFrom = 0;
    gate->foiledRestarts = 0;
  } else {
    gate->checkpointedTo = frames;  // it copied what the readers let it
    gate->restartFrom = frames + 2 * kCheckpointFrames;
    ++gate->foiledRestarts;
  }
}

// A passive checkpoint: it waits for nobody and copies what it can; one at a
// time for the file (another handle's running makes this one unneeded).
void SqliteHandle::checkpointOutsideTurn() noexcept {
  if (!std::exchange(checkpointDue_, false) || !db || !writeGate_) return;
  if (writeGate_->checkpointing.exchange(true)) return;
  sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  writeGate_->checkpointing.store(false);
}

void SqliteHandle::forgetStatements() {
  shapes_.clear();
  for (auto& [text, prepared] : cache_) sqlite3_finalize(prepared->stmt);
  cache_.clear();
}

void SqliteHandle::fail(int rc) {
  // Some failures (a full disk, an I/O error) end the whole transaction.
  if (sqlite3_get_autocommit(db)) {
    if (inTransaction()) abandonLevels();
    sharedRead_ = false;
  }
  if (std::optional<VbError> e = takeFunctionError()) throw *e;
  std::string message = sqlite3_errmsg(db);
  if (message.empty()) message = sqlite3_errstr(rc);
  raise(dberr::CommandError, message);
}

void SqliteHandle::exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    raise(dberr::CommandError, text);
  }
}

int SqliteHandle::tryExec(Fixed statement) noexcept {
  static constexpr const char* kText[] = {"BEGIN IMMEDIATE", "COMMIT", "ROLLBACK", "BEGIN"};
  sqlite3_stmt*& stmt = fixed_[static_cast<int>(statement)];
  if (!stmt) {
    const int rc = sqlite3_prepare_v3(db, kText[static_cast<int>(statement)], -1,
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  const int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

void SqliteHandle::exec(Fixed statement) {
  if (tryExec(statement) != SQLITE_OK) raise(dberr::CommandError, sqlite3_errmsg(db));
}

// Re-reads the declared column types when the schema has changed.
void SqliteHandle::refreshSchema() {
  if (!versionStmt_ &&
      sqlite3_prepare_v3(db, "PRAGMA schema_version", -1, SQLITE_PREPARE_PERSISTENT, &versionStmt_,
                         nullptr) != SQLITE_OK)
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
      "SELECT m.name, p.name, p.type FROM sqlite_schema AS m JOIN pragma_table_xinfo(m.name) AS p "
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
  sleepers_.fetch_add(1);
  struct Awake {
    std::atomic<int>& sleepers;
    ~Awake() { sleepers.fetch_sub(1); }
  } awake{sleepers_};
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

// The writer woken by the turn's release is often queued on the processor of
// the thread that released it, and would run only when that thread pauses
// (after the rest of its page, the response sent), the gate standing free
// meanwhile with every other writer asleep: the releasing thread yields, so
// that the woken writer starts its turn at once. The rest of a page can wait
// better than the file's only writer.
void WriteGate::release() {
  sem_post(&turns_);
  if (sleepers_.load() > 0) sched_yield();
}

WriteTurn SqliteHandle::takeWriteTurn() {
  if (!writeGate_) writeGate_ = writeGateOf(device, inode);
  if (!writeGate_->take(std::chrono::milliseconds(busyLimitMs_)))
    raise(dberr::CommandError, sqlite3_errstr(SQLITE_BUSY));
  return WriteTurn(writeGate_);
}

WriteTurn SqliteHandle::autocommitTurn(sqlite3_stmt* stmt) {
  if (inTransaction() || sqlite3_stmt_readonly(stmt)) return {};
  return takeWriteTurn();
}

// How long a request's shared read transaction is held at most (20 ms
// unless a test sets it): meanwhile the log's checkpoints copy no frame
// committed after it began, and cannot start the log afresh.
std::atomic<std::int64_t> gSharedReadLimitUs{20000};

std::chrono::microseconds setSharedReadLimit(std::chrono::microseconds limit) {
  return std::chrono::microseconds(gSharedReadLimitUs.exchange(limit.count()));
}

void SqliteHandle::beforeAutocommit(sqlite3_stmt* stmt) {
  // A statement without rows that SQLite counts as reading controls a
  // transaction (BEGIN, COMMIT…): it too runs outside the shared read.
  if (!sqlite3_stmt_readonly(stmt) || sqlite3_column_count(stmt) == 0) {
    endSharedRead();  // a write starts from the latest state, never from a stale one
    return;
  }
  if (!sharesReads) return;
  const auto now = std::chrono::steady_clock::now();
  if (sharedRead_) {
    const auto limit =
        std::chrono::microseconds(gSharedReadLimitUs.load(std::memory_order_relaxed));
    if (now - sharedReadSince_ < limit) return;
    endSharedRead();
  }
  // Counted before the transaction takes its snapshot (at its first read):
  // every commit counted is in it.
  const std::uint64_t commits = commitsSoFar();
  if (tryExec(Fixed::BeginRead) != SQLITE_OK) return;  // the statement reads on its own
  sharedRead_ = true;
  sharedReadCommits_ = commits;
  sharedReadSince_ = now;
}

void SqliteHandle::endSharedRead() noexcept {
  if (!std::exchange(sharedRead_, false) || !db) return;
  if (!sqlite3_get_autocommit(db) && tryExec(Fixed::Commit) != SQLITE_OK) tryExec(Fixed::Rollback);
}

void SqliteHandle::beginOutermost() {
  endSharedRead();
  WriteTurn turn = takeWriteTurn();
  exec(Fixed::Begin);
  writing_ = std::move(turn);
}

void SqliteHandle::commitOutermost() {
  try {
    exec(Fixed::Commit);
  } catch (...) {
    tryExec(Fixed::Rollback);
    throw;
  }
}

void SqliteHandle::rollbackOutermost() noexcept { tryExec(Fixed::Rollback); }

void SqliteHandle::rollbackToSavepoint(const std::string& sql) noexcept {
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

// ---- statements

Prepared& SqliteHandle::prepare(std::string_view sql, bool forUpdate, std::vector<Slot>& slots) {
  requireOpen();
  Shape shape = shapeOf(sql);
  shape.key += forUpdate ? '\1' : '\0';
  if (Prepared* p = shapes_.find(shape, slots)) return *p;

  Translation t = translate(sql, schema_, forUpdate, kRenderer);
  std::string key;
  key.reserve(t.sql.size() + 1);
  key += forUpdate ? '\1' : '\0';
  key += t.sql;
  Statement* p = nullptr;
  if (auto it = cache_.find(key); it != cache_.end()) {
    p = it->second.get();
  } else {
    const long long before = schemaVersion_;
    refreshSchema();
    if (schemaVersion_ != before) {  // rewrite with the column types as they are now
      t = translate(sql, schema_, forUpdate, kRenderer);
      key.resize(1);
      key += t.sql;
    }
    p = &cached(std::move(key), t);
  }
  shapes_.remember(shape, p, t);
  slots = std::move(t.slots);
  return *p;
}

Statement& SqliteHandle::prepareNative(const std::string& sql) {
  requireOpen();
  std::string key = '\2' + sql;
  if (auto it = cache_.find(key); it != cache_.end()) return *it->second;
  Translation t;
  t.sql = sql;
  return cached(std::move(key), t);
}

Statement& SqliteHandle::cached(std::string key, const Translation& t) {
  if (cache_.size() >= 200) forgetStatements();
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  clearFunctionError();
  const int rc = sqlite3_prepare_v3(db, t.sql.c_str(), int(t.sql.size()), SQLITE_PREPARE_PERSISTENT,
                                    &stmt, &tail);
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
  auto p = std::make_unique<Statement>();
  p->stmt = stmt;
  p->schemaChange = t.schemaChange;
  if (sqlite3_column_count(stmt) > 0) p->columns = describe(stmt, t);
  return *cache_.emplace(std::move(key), std::move(p)).first->second;
}

std::shared_ptr<const ColumnSet> SqliteHandle::describe(sqlite3_stmt* stmt,
                                                        const Translation& t) const {
  auto set = std::make_shared<ColumnSet>();
  const int n = sqlite3_column_count(stmt);
  set->stored = n;
  const std::string base = t.rowid ? t.baseTable : std::string();
  const std::unordered_map<std::string, ColKind>* baseColumns = nullptr;
  if (!base.empty()) {
    set->baseTable = base;
    if (auto it = schema_.tables.find(lowerAscii(base)); it != schema_.tables.end())
      baseColumns = &it->second;
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

// ---- running statements

namespace {

void bindBound(sqlite3_stmt* stmt, int index, const Bound& b) {
  switch (b.tag) {
    case Bound::Null: sqlite3_bind_null(stmt, index); return;
    case Bound::Int: sqlite3_bind_int64(stmt, index, b.integer); return;
    case Bound::Real: sqlite3_bind_double(stmt, index, b.real); return;
    case Bound::Text:
      sqlite3_bind_text(stmt, index, b.text.data(), int(b.text.size()), SQLITE_TRANSIENT);
      return;
    case Bound::Currency:
      if (b.integer % 10000 == 0)
        sqlite3_bind_int64(stmt, index, b.integer / 10000);
      else
        sqlite3_bind_double(stmt, index, double(b.integer) / 10000.0);
      return;
  }
}

// Binds the slots of a rewritten statement, the caller's values in place of its "?".
void bindSlots(sqlite3_stmt* stmt, const std::vector<Slot>& slots,
               const std::vector<Variant>& params) {
  size_t callers = 0;
  for (const Slot& slot : slots) callers += slot.kind == Slot::Caller;
  if (callers != params.size() || sqlite3_bind_parameter_count(stmt) != int(slots.size()))
    raise(dberr::CommandError, "参数个数与语句中的 ? 个数不符。");
  size_t next = 0;
  for (size_t i = 0; i < slots.size(); ++i) {
    const Slot& slot = slots[i];
    const int index = int(i) + 1;
    switch (slot.kind) {
      case Slot::Caller:
        bindBound(stmt, index, boundValue(params[next++], ColKind::Unknown));
        break;
      case Slot::Integer: sqlite3_bind_int64(stmt, index, slot.integer); break;
      case Slot::Real: sqlite3_bind_double(stmt, index, slot.real); break;
      case Slot::Text:
        sqlite3_bind_text(stmt, index, slot.text.data(), int(slot.text.size()), SQLITE_TRANSIENT);
        break;
      case Slot::Now: {
        const std::string now = dateTimeText(clockNow());
        sqlite3_bind_text(stmt, index, now.data(), int(now.size()), SQLITE_TRANSIENT);
        break;
      }
    }
  }
}

void storeCell(Cell& cell, sqlite3_stmt* stmt, int column, const RowBuffer& rows) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL: cell.tag = Cell::Null; break;
    case SQLITE_INTEGER:
      cell.tag = Cell::Int;
      cell.integer = sqlite3_column_int64(stmt, column);
      break;
    case SQLITE_FLOAT:
      cell.tag = Cell::Real;
      cell.real = sqlite3_column_double(stmt, column);
      break;
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
      rows.setText(cell, p, size_t(sqlite3_column_bytes(stmt, column)));
    }
  }
}

std::string quoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

void SqliteHandle::storeRow(sqlite3_stmt* stmt, int width, RowBuffer& rows) const {
  Cell* out = rows.addRow(width);
  for (int i = 0; i < width; ++i) storeCell(out[i], stmt, i, rows);
}

long SqliteHandle::run(Prepared& prepared, const std::vector<Slot>& slots,
                       const std::vector<Variant>& params, RowBuffer* rows) {
  Statement& p = static_cast<Statement&>(prepared);
  const bool schemaChange = p.schemaChange;
  const bool changes = !sqlite3_stmt_readonly(p.stmt);
  if (!inTransaction()) beforeAutocommit(p.stmt);
  {
    const WriteTurn turn = autocommitTurn(p.stmt);
    StatementUse use(p.stmt);
    bindSlots(p.stmt, slots, params);
    clearFunctionError();
    const int width = p.columns ? p.columns->stored : 0;
    int rc;
    if (rows) {
      while ((rc = sqlite3_step(p.stmt)) == SQLITE_ROW) storeRow(p.stmt, width, *rows);
    } else {
      while ((rc = sqlite3_step(p.stmt)) == SQLITE_ROW) {
      }
    }
    if (rc != SQLITE_DONE) fail(rc);
  }
  const long changed = changes ? long(sqlite3_changes64(db)) : -1;
  checkpointOutsideTurn();
  if (schemaChange) forgetStatements();
  return changed;
}

bool SqliteHandle::sortedRows(Prepared& prepared) const {
  return sqlite3_stmt_status(static_cast<Statement&>(prepared).stmt, SQLITE_STMTSTATUS_SORT, 0) > 0;
}

std::int64_t SqliteHandle::insertRow(const std::string& table,
                                     const std::vector<Assignment>& values) {
  std::string sql;
  if (values.empty()) {
    sql = "INSERT INTO " + quoteName(table) + " DEFAULT VALUES";
  } else {
    std::string names, marks;
    for (const Assignment& a : values) {
      names += (names.empty() ? "" : ",") + quoteName(a.column);
      marks += marks.empty() ? "?" : ",?";
    }
    sql = "INSERT INTO " + quoteName(table) + " (" + names + ") VALUES (" + marks + ")";
  }
  Statement& write = prepareNative(sql);
  if (!inTransaction()) beforeAutocommit(write.stmt);
  {
    const WriteTurn turn = autocommitTurn(write.stmt);
    StatementUse use(write.stmt);
    int k = 1;
    for (const Assignment& a : values) bindBound(write.stmt, k++, boundValue(*a.value, a.kind));
    clearFunctionError();
    const int rc = sqlite3_step(write.stmt);
    if (rc != SQLITE_DONE) fail(rc);
  }
  const std::int64_t rowid = sqlite3_last_insert_rowid(db);
  checkpointOutsideTurn();
  return rowid;
}

long SqliteHandle::updateRow(const std::string& table, const std::vector<Assignment>& values,
                             std::int64_t key) {
  std::string sets;
  for (const Assignment& a : values) sets += (sets.empty() ? "" : ",") + quoteName(a.column) + "=?";
  Statement& write =
      prepareNative("UPDATE " + quoteName(table) + " SET " + sets + " WHERE rowid=?");
  if (!inTransaction()) beforeAutocommit(write.stmt);
  {
    const WriteTurn turn = autocommitTurn(write.stmt);
    StatementUse use(write.stmt);
    int k = 1;
    for (const Assignment& a : values) bindBound(write.stmt, k++, boundValue(*a.value, a.kind));
    sqlite3_bind_int64(write.stmt, k, key);
    clearFunctionError();
    const int rc = sqlite3_step(write.stmt);
    if (rc != SQLITE_DONE) fail(rc);
  }
  const long changed = long(sqlite3_changes(db));
  checkpointOutsideTurn();
  return changed;
}

std::shared_ptr<const ColumnSet> SqliteHandle::readRow(const std::string& table, std::int64_t key,
                                                       RowBuffer& row) {
  Statement& read = prepareNative("SELECT * FROM " + quoteName(table) + " WHERE rowid=?");
  if (!inTransaction()) beforeAutocommit(read.stmt);
  StatementUse use(read.stmt);
  sqlite3_bind_int64(read.stmt, 1, key);
  const int rc = sqlite3_step(read.stmt);
  if (rc == SQLITE_ROW)
    storeRow(read.stmt, read.columns->stored, row);
  else if (rc != SQLITE_DONE)
    fail(rc);
  return read.columns;
}

}  // namespace zurvafun::db::detail::sqlite

// Configuration, the choice of backend for the connection parameters, what
// the backends share (transaction levels, value conversions, column sets) and
// Connection.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unordered_set>
#include <utility>

#include "db/db.h"
#include "db/internal.h"
#include "db/sqlite/functions.h"
#include "runtime/dates.h"
#include "runtime/error.h"

namespace zurvafun::db {

using detail::equalsIgnoreCase;

namespace {

Config gConfig;

// Transactions committed through the layer's handles (see commitCount()).
std::atomic<std::uint64_t> gCommits{0};

bool localServer(std::string_view server) {
  static const std::array<std::string_view, 4> kLocal = {"(local)", ".", "localhost", "127.0.0.1"};
  for (std::string_view name : kLocal)
    if (equalsIgnoreCase(server, name)) return true;
  return !gConfig.localServerName.empty() && equalsIgnoreCase(server, gConfig.localServerName);
}

// A database name is a file name of the data folder (or a database of a
// server), never a path.
bool validDatabaseName(std::string_view name) {
  if (name.empty() || name.size() > 128 || name.front() == '.') return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == ':' || c == '\0') return false;
  return name.find("..") == std::string_view::npos;
}

}  // namespace

// ---------------------------------------------------------------- configuration

void configure(Config config) {
  detail::sqlite::configureLibrary();
  gConfig = std::move(config);
}
const Config& config() { return gConfig; }

const ServerConfig* serverNamed(std::string_view name) {
  if (localServer(name)) return nullptr;
  for (const ServerConfig& server : gConfig.servers)
    if (equalsIgnoreCase(server.name, name)) return &server;
  return nullptr;
}

std::string databaseFile(std::string_view name) {
  std::string dir = gConfig.dataDir.empty() ? "." : gConfig.dataDir;
  if (dir.back() != '/') dir += '/';
  return dir + std::string(name) + ".db";
}

std::string databaseKey(const ConnectionParams& params) {
  if (const ServerConfig* server = serverNamed(params.server))
    return server->host + ':' + std::to_string(server->port) + '/' +
           detail::lowerAscii(server->databasePrefix + params.database);
  return databaseFile(params.database);
}

std::string schemaText() {
  if (gConfig.schemaFile.empty()) return gConfig.schema.sql;
  const std::string& file = gConfig.schemaFile;
  std::ifstream in(file, std::ios::binary);
  if (!in) raise(53, errorDescription(53) + ": " + file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void createDatabase(const std::string& file, std::string_view schemaSql) {
  detail::sqlite::createFile(file, schemaSql);
}

void createDatabase(const ConnectionParams& params, std::string_view schemaSql) {
  if (!validDatabaseName(params.database))
    raise(dberr::CommandError, "数据库名称无效：" + params.database);
  if (const ServerConfig* server = serverNamed(params.server))
    detail::postgres::createDatabase(*server, params, schemaSql);
  else
    detail::sqlite::createFile(databaseFile(params.database), schemaSql);
}

void dropDatabase(const ConnectionParams& params) {
  if (!validDatabaseName(params.database)) return;
  if (const ServerConfig* server = serverNamed(params.server)) {
    detail::postgres::dropDatabase(*server, params);
  } else {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::remove((databaseFile(params.database) + suffix).c_str());
    detail::sqlite::recheckFiles();
  }
}

void copyDatabase(const std::string& file, const ConnectionParams& params) {
  const ServerConfig* server = serverNamed(params.server);
  if (!server) raise(dberr::CommandError, "不是数据库服务器：" + params.server);
  detail::postgres::copyDatabase(*server, params, file);
}

void releasePooledConnections() {
  detail::sqlite::releaseThreadHandles();
  detail::postgres::releaseThreadHandles();
}

void beginRequest() {
  detail::sqlite::beginRequest();
  detail::postgres::beginRequest();
}

void endRequest() { detail::sqlite::endRequest(); }

std::uint64_t commitCount() {
  const std::uint64_t all = gCommits.load(std::memory_order_acquire);
  const std::optional<std::uint64_t> reading = detail::sqlite::sharedReadCommits();
  return reading ? std::min(all, *reading) : all;
}

void closeAllConnections() { detail::Handle::closeEveryHandle(); }

void registerDialect(sqlite3* handle) { detail::registerFunctions(handle); }

// ---------------------------------------------------------------- shared by the backends

namespace detail {

const char* const kConnectionClosed = "连接无法用于执行此操作。在此上下文中它可能已被关闭或无效。";

std::uint64_t Handle::begin() {
  requireOpen();
  const size_t depth = levels_.size();
  if (depth == 0)
    beginOutermost();
  else
    savepoint("SAVEPOINT zv_" + std::to_string(depth));
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
      savepoint("RELEASE zv_" + std::to_string(levels_.size() - 1));
      levels_.pop_back();
      continue;
    }
    try {
      commitOutermost();
    } catch (...) {
      abandonLevels();
      throw;
    }
    abandonLevels();
  }
}

long Handle::updateRowEnding(std::uint64_t level, const std::string& table,
                             const std::vector<Assignment>& values, std::int64_t key) {
  if (levels_.size() == 1 && levels_.front().id == level)
    if (const std::optional<long> changed = updateRowAndCommit(table, values, key)) return *changed;
  return updateRow(table, values, key);
}

void Handle::rollback(std::uint64_t level) noexcept {
  for (size_t i = 0; i < levels_.size(); ++i) {
    if (levels_[i].id != level) continue;
    if (i == 0) {
      rollbackOutermost();
    } else {
      const std::string n = std::to_string(i);
      rollbackToSavepoint("ROLLBACK TO zv_" + n + "; RELEASE zv_" + n);
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

namespace {

// Every open handle of every thread, for closeAllConnections(). Never
// destroyed: threads may end after the process's static objects.
struct Registry {
  std::mutex mutex;
  std::unordered_set<Handle*> handles;
};
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

}  // namespace

void Handle::countCommit() noexcept { gCommits.fetch_add(1, std::memory_order_release); }

std::uint64_t Handle::commitsSoFar() noexcept { return gCommits.load(std::memory_order_acquire); }

void Handle::enlist() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.handles.insert(this);
}

void Handle::delist() noexcept {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.handles.erase(this);
}

void Handle::closeEveryHandle() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (Handle* h : r.handles) h->close();
}

void Handle::abandonLevels() noexcept {
  levels_.clear();
  levelsEnded();
}

void Handle::requireOpen() const {
  if (!isOpen()) raise(dberr::ConnectionNotOpen, kConnectionClosed);
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
  // The lengths first: a page reads fields of rows of some sixty columns.
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].name.size() == name.size() && equalsIgnoreCase(columns[i].name, name))
      return int(i);
  return -1;
}

const std::vector<int>& ColumnSet::baseColumnPlaces(
    const std::shared_ptr<const ColumnSet>& baseRow) const {
  if (placesOf_ == baseRow) return places_;
  places_.assign(columns.size(), -1);
  for (size_t c = 0; c < columns.size(); ++c)
    if (!columns[c].baseColumn.empty() && !columns[c].computed)
      places_[c] = baseRow->find(columns[c].baseColumn);
  placesOf_ = baseRow;
  return places_;
}

Bound boundValue(const Variant& v, ColKind kind) {
  Bound b;
  if (v.isNull() || v.isEmpty()) return b;
  auto text = [&](std::string s) {
    b.tag = Bound::Text;
    b.text = std::move(s);
    return b;
  };
  auto currency = [&](std::int64_t scaled) {
    b.tag = Bound::Currency;
    b.integer = scaled;
    return b;
  };
  switch (kind) {
    case ColKind::Int: {
      const double d = bankersRound(toNumber(v));
      if (!(std::fabs(d) < 9.2e18)) raise(err::Overflow);
      b.tag = Bound::Int;
      b.integer = static_cast<long long>(d);
      return b;
    }
    case ColKind::Numeric: return currency(CCur(v).currencyScaledValue());
    case ColKind::Date: return text(dateTimeText(dateSerialOf(v)));
    case ColKind::Text: return text(CStr(v));
    case ColKind::Unknown: break;
  }
  switch (v.type()) {
    case VarType::Boolean:
    case VarType::Integer:
    case VarType::Long:
      b.tag = Bound::Int;
      b.integer = static_cast<long long>(toNumber(v));
      return b;
    case VarType::Double:
      b.tag = Bound::Real;
      b.real = toNumber(v);
      return b;
    case VarType::Currency: return currency(v.currencyScaledValue());
    case VarType::Date: return text(dateTimeText(v.dateValue()));
    default: return text(CStr(v));
  }
}

Prepared* ShapeCache::find(const Shape& shape, std::vector<Slot>& slots) const {
  auto it = shapes_.find(shape.key);
  if (it == shapes_.end()) return nullptr;
  for (const Use& use : it->second) {
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

void ShapeCache::remember(const Shape& shape, Prepared* p, const Translation& t) {
  constexpr size_t kShapes = 400, kUsesPerShape = 8;
  if (shapes_.size() >= kShapes) shapes_.clear();
  std::vector<Use>& uses = shapes_[shape.key];
  if (uses.size() >= kUsesPerShape) uses.erase(uses.begin());
  Use use{p, t.slots, t.slotLiterals, {}};
  for (int l : t.pinned) use.pinned.emplace_back(l, std::string(shape.literals[size_t(l)]));
  uses.push_back(std::move(use));
}

bool Cell::sameValue(const Cell& other, std::string_view text, std::string_view otherText) const {
  if (tag != other.tag) return false;
  switch (tag) {
    case Null: return true;
    case Int: return integer == other.integer;
    case Real: return real == other.real;
    case Text: return text.substr(offset, length) == otherText.substr(other.offset, other.length);
    case Value: return false;
  }
  return false;
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
  if (!validDatabaseName(p.database)) return false;
  const bool own = !gConfig.database.empty() && equalsIgnoreCase(p.database, gConfig.database);
  try {
    if (const ServerConfig* server = serverNamed(p.server)) {
      handle_ = detail::postgres::open(*server, p, own);
    } else {
      if (!localServer(p.server) || !equalsIgnoreCase(p.user, gConfig.user) ||
          p.password != gConfig.password)
        return false;
      handle_ = detail::sqlite::open(own ? gConfig.database : p.database, own);
    }
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
  if (!handle_) raise(dberr::ConnectionNotOpen, detail::kConnectionClosed);
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
  return h.run(p, slots, params, nullptr);
}

void Connection::prefetch(const std::vector<std::string>& sqls) { handle()->prefetch(sqls); }

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

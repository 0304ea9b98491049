// Recordset: the rows of a select held in memory, typed field values, cursor
// movement and paging, and writes through Update and AddNew.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "db/db.h"
#include "db/internal.h"
#include "runtime/dates.h"
#include "runtime/error.h"
#include "runtime/kept.h"

namespace zurvafun::db {

using detail::ColumnSet;
using detail::equalsIgnoreCase;
using detail::ValueKind;

// Assigned field values of the current row, not yet written.
struct Recordset::Edit {
  bool adding = false;
  long row = 0;
  long previous = 0;  // the current row before AddNew
  std::vector<std::pair<int, Variant>> values;
};

// Row buffers kept by each thread between recordsets: a page opens one result
// after another, and reusing the memory spares the allocator and the page
// faults of fresh memory on every open. A thread keeps at most what an
// ordinary page's results need (a few hundred rows): a worker that once read
// a large result does not hold its memory for the rest of the process.
struct Recordset::Spare {
  std::vector<Cell> cells;
  std::string text;
};

Recordset::Spare& Recordset::spare() {
  thread_local kept::PerThread<Spare> buffers;
  return buffers.get();
}

void Recordset::takeBuffers() const {
  Spare& s = spare();
  if (cells_.capacity() < s.cells.capacity()) cells_.swap(s.cells);
  if (text_.capacity() < s.text.capacity()) text_.swap(s.text);
  cells_.clear();
  text_.clear();
}

void Recordset::giveBuffers() {
  constexpr size_t kKeepCells = 1 << 14, kKeepText = 256 << 10;  // 256 KB of cells, 256 KB of text
  Spare& s = spare();
  if (cells_.capacity() > s.cells.capacity() && cells_.capacity() <= kKeepCells)
    cells_.swap(s.cells);
  if (text_.capacity() > s.text.capacity() && text_.capacity() <= kKeepText) text_.swap(s.text);
  cells_.clear();
  text_.clear();
}

namespace {

const char* const kNotUpdatable =
    "当前记录集不支持更新。这可能是提供者的限制，也可能是选定锁定类型的限制。";
const char* const kNotSupported = "对象或提供者不能执行所需的操作。";
const char* const kOutOfRange = "参数类型不正确，或不在可以接受的范围之内，或与其他参数冲突。";
const char* const kRowChanged = "无法为更新定位行。一些值可能已在最后读取后已更改。";

// Exact money from its stored text ("7.5", "-12.0001"); false for other text.
bool currencyFromText(std::string_view s, std::int64_t& scaled) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::int64_t whole = 0, fraction = 0;
  int digits = 0, decimals = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
    if (whole > 92233720368547) return false;
    whole = whole * 10 + (s[i] - '0');
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9' && decimals < 4; ++i, ++decimals)
      fraction = fraction * 10 + (s[i] - '0');
  }
  if (i != s.size() || digits + decimals == 0) return false;
  while (decimals++ < 4) fraction *= 10;
  scaled = (whole * 10000 + fraction) * (negative ? -1 : 1);
  return true;
}

Variant integerValue(std::int64_t n, ValueKind kind) {
  const bool fits32 = n >= INT32_MIN && n <= INT32_MAX;
  switch (kind) {
    case ValueKind::Integer:
      if (n >= INT16_MIN && n <= INT16_MAX) return Variant::integer(std::int16_t(n));
      break;
    case ValueKind::Boolean: return Variant(n != 0);
    case ValueKind::Currency:
      if (n > -922337203685477LL && n < 922337203685477LL)
        return Variant::currencyScaled(n * 10000);
      return Variant(double(n));
    case ValueKind::Date:
      return Variant::date(double(n) + 2);  // SQL Server counts days from 1900-01-01
    case ValueKind::Text: return Variant(std::to_string(n));
    default: break;
  }
  return fits32 ? Variant::lng(std::int32_t(n)) : Variant(double(n));
}

Variant realValue(double d, ValueKind kind) {
  switch (kind) {
    case ValueKind::Currency:
      if (std::fabs(d) < 9.2e14) return Variant::currency(d);
      break;
    case ValueKind::Boolean: return Variant(d != 0);
    case ValueKind::Date: return Variant::date(d + 2);
    case ValueKind::Text: return Variant(numberText(d));
    default: break;
  }
  return Variant(d);
}

Variant textValue(std::string_view s, ValueKind kind) {
  if (kind == ValueKind::Date) {
    double serial = 0;
    if (parseDate(s, serial)) return Variant::date(serial);
  } else if (kind == ValueKind::Currency) {
    std::int64_t scaled = 0;
    if (currencyFromText(s, scaled)) return Variant::currencyScaled(scaled);
  }
  return Variant(s);
}

}  // namespace

// ---------------------------------------------------------------- life

Recordset::Recordset() = default;
Recordset::~Recordset() {
  unlockRows();
  giveBuffers();
}

Recordset::Recordset(Recordset&& other) noexcept { *this = std::move(other); }

Recordset& Recordset::operator=(Recordset&& other) noexcept {
  if (this == &other) return *this;
  unlockRows();
  giveBuffers();
  PageSize = other.PageSize;
  open_ = std::exchange(other.open_, false);
  cursorType_ = other.cursorType_;
  lockType_ = other.lockType_;
  handle_ = std::move(other.handle_);
  columns_ = std::move(other.columns_);
  sql_ = std::move(other.sql_);
  fetched_ = other.fetched_;
  cells_ = std::move(other.cells_);
  text_ = std::move(other.text_);
  overrides_ = std::move(other.overrides_);
  rowCount_ = std::exchange(other.rowCount_, 0);
  current_ = other.current_;
  edit_ = std::move(other.edit_);
  lock_ = std::exchange(other.lock_, 0);
  paged_ = std::move(other.paged_);
  window_ = std::exchange(other.window_, 0);
  held_ = std::exchange(other.held_, 0);
  return *this;
}

void Recordset::Open(std::string_view sql, Connection& conn, int cursorType, int lockType) {
  run(conn.handle(), sql, {}, cursorType, lockType);
}

void Recordset::OpenPaged(std::string_view sql, Connection& conn) {
  openPaged(sql, std::nullopt, conn, PagedReading::FromStart);
}

void Recordset::OpenPaged(std::string_view sql, std::string_view countSql, Connection& conn,
                          PagedReading reading) {
  openPaged(sql, countSql, conn, reading);
}

void Recordset::OpenPaged(std::string_view sql, RowKeys keys, Connection& conn) {
  openPaged(sql, std::nullopt, conn, PagedReading::FromStart, &keys);
}

void Recordset::openPaged(std::string_view sql, std::optional<std::string_view> countSql,
                          Connection& conn, PagedReading reading, RowKeys* keys) {
  if (open_) raise(dberr::ObjectOpen, "对象打开时，不允许操作。");
  std::optional<detail::PagedText> text = detail::pagedText(sql);
  if (!text) return Open(sql, conn, adOpenKeyset, adLockReadOnly);
  if (countSql) text->count = *countSql;
  if (reading == PagedReading::FromStart) text->reversedBody.clear();
  const std::shared_ptr<detail::Handle>& handle = conn.handle();
  std::vector<detail::Slot> slots;
  // The page statement prepared first: its fields are the recordset's.
  std::shared_ptr<const ColumnSet> columns =
      handle->prepare(text->page(0, 1), false, slots).columns;
  long total = 0;
  if (keys && !text->table.empty() && (text->keyField = columns->find(keys->column)) >= 0) {
    // Counted by the keys, read by them.
    total = long(keys->keys.size());
    text->keyColumn = std::move(keys->column);
    text->keys = std::move(keys->keys);
  } else {
    text->keyField = -1;
    detail::Prepared& count = handle->prepare(text->count, false, slots);
    std::vector<Cell> cells;
    std::string countText;
    detail::RowBuffer rows{&cells, &countText};
    handle->run(count, slots, {}, &rows);
    if (rows.rows == 1 && !cells.empty()) {
      if (cells[0].tag == Cell::Int)
        total = long(cells[0].integer);
      else if (cells[0].tag == Cell::Real)
        total = long(cells[0].real);
      else if (cells[0].tag == Cell::Text)
        total = std::atol(countText.substr(cells[0].offset, cells[0].length).c_str());
    }
  }
  handle_ = handle;
  columns_ = std::move(columns);
  cursorType_ = adOpenKeyset;
  lockType_ = adLockReadOnly;
  current_ = 0;
  rowCount_ = total;
  edit_.reset();
  takeBuffers();
  overrides_.clear();
  fetched_ = true;
  paged_ = std::make_unique<detail::PagedText>(std::move(*text));
  window_ = 0;
  held_ = 0;
  open_ = true;
}

// Reads the page of rows from the current record on when it is not held (a
// recordset opened by OpenPaged). Rows gone since they were counted end the
// recordset there.
void Recordset::holdCurrentRow() const {
  if (!paged_ || (current_ >= window_ && current_ < window_ + held_)) return;
  const long wanted = paged_->rowsFrom(current_, std::max(PageSize, 1L));
  if (paged_->keyField >= 0) return holdRowsByKey(std::min(wanted, rowCount_ - current_));
  if (holdRowsFromEnd(wanted)) return;
  std::vector<detail::Slot> slots;
  detail::Prepared& p = handle_->prepare(paged_->page(current_, wanted), false, slots);
  const long total = rowCount_;
  loadWindow(p, slots);
  held_ = rowCount_;
  rowCount_ = held_ < wanted ? current_ + held_ : total;
}

// Loads the rows of a page statement as the window from the current record
// on; the count of rows is the page's until the caller sets it again, and
// stays the whole count when the read fails.
void Recordset::loadWindow(detail::Prepared& p, const std::vector<detail::Slot>& slots) const {
  const long total = rowCount_;
  window_ = current_;
  held_ = 0;
  try {
    loadRows(p, slots, {});
  } catch (...) {
    rowCount_ = total;
    throw;
  }
}

// The same for a page nearer the end than the start, read from the end when
// the recordset may (FromEitherEnd) and the backend reads the turned-round
// statement in an index's order; false when the page is to be read from the
// start.
bool Recordset::holdRowsFromEnd(long wanted) const {
  const long total = rowCount_;
  if (paged_->reversedBody.empty() || current_ <= total - current_) return false;
  const long rows = std::min(wanted, total - current_);
  if (rows <= 0) return false;
  std::vector<detail::Slot> slots;
  detail::Prepared& p =
      handle_->prepare(paged_->reversedPage(total - current_ - rows, rows), false, slots);
  if (handle_->sortedRows(p)) return false;
  loadWindow(p, slots);
  if (handle_->sortedRows(p)) {
    // Sorted this time: ties may lie otherwise than from the start.
    rowCount_ = total;
    return false;
  }
  held_ = rowCount_;
  const auto width = std::ptrdiff_t(columns_->stored);
  for (long a = 0, b = held_ - 1; a < b; ++a, --b)
    std::swap_ranges(cells_.begin() + a * width, cells_.begin() + (a + 1) * width,
                     cells_.begin() + b * width);
  // Rows gone since they were counted: the rows held are the last ones there are.
  rowCount_ = held_ < rows ? current_ + held_ : total;
  return true;
}

// The same for a recordset read by the keys of its rows: the rows holding
// the keys of the page, put in the keys' order.
void Recordset::holdRowsByKey(long wanted) const {
  std::vector<detail::Slot> slots;
  detail::Prepared& p = handle_->prepare(paged_->keyedPage(current_, wanted), false, slots);
  const long total = rowCount_;
  loadWindow(p, slots);
  const long found = rowCount_;
  const auto width = std::size_t(columns_->stored);
  const auto keyAt = std::size_t(paged_->keyField);
  std::vector<Cell> ordered;
  ordered.reserve(std::size_t(found) * width);
  for (long k = current_; k < current_ + wanted; ++k) {
    const std::int64_t key = paged_->keys[std::size_t(k)];
    long row = 0;
    while (row < found && !(cells_[std::size_t(row) * width + keyAt].tag == Cell::Int &&
                            cells_[std::size_t(row) * width + keyAt].integer == key))
      ++row;
    // A row gone since its key was read: the rows held end before it.
    if (row == found) break;
    const auto first = cells_.begin() + std::ptrdiff_t(std::size_t(row) * width);
    ordered.insert(ordered.end(), first, first + std::ptrdiff_t(width));
  }
  std::copy(ordered.begin(), ordered.end(), cells_.begin());
  held_ = long(ordered.size() / width);
  cells_.resize(ordered.size());
  rowCount_ = held_ < wanted ? current_ + held_ : total;
}

std::optional<std::vector<std::int64_t>> Recordset::orderedKeys(std::string_view sql,
                                                                std::string_view column, long most,
                                                                Connection& conn) {
  const std::optional<detail::PagedText> text = detail::pagedText(sql);
  if (!text || text->top < 0 || text->top > most || text->table.empty()) return std::nullopt;
  const std::shared_ptr<detail::Handle>& handle = conn.handle();
  // The statement the pages read, all its rows at once: the same prepared
  // statement, read the same way; or, where a sorted order may be kept, the
  // statement with its ties ordered by the key, so that the order kept is
  // one the statement gives however the backend reads it. (On a line of its
  // own: a comment at the end of the statement ends before it.)
  const bool sortedKept = handle->keepsSortedOrder();
  detail::PagedText read = *text;
  if (sortedKept) read.body += (read.ordered ? "\n, " : "\norder by ") + std::string(column);
  std::vector<detail::Slot> slots;
  detail::Prepared& p = handle->prepare(read.page(0, read.top), false, slots);
  const int field = p.columns->find(column);
  if (field < 0 || (!sortedKept && handle->sortedRows(p))) return std::nullopt;
  std::vector<Cell> cells;
  std::string cellText;
  detail::RowBuffer rows{&cells, &cellText};
  handle->run(p, slots, {}, &rows);
  if (!sortedKept && handle->sortedRows(p)) return std::nullopt;
  std::vector<std::int64_t> keys;
  keys.reserve(std::size_t(rows.rows));
  for (long row = 0; row < rows.rows; ++row) {
    const Cell& key = cells[std::size_t(row) * std::size_t(p.columns->stored) + std::size_t(field)];
    if (key.tag != Cell::Int) return std::nullopt;
    keys.push_back(key.integer);
  }
  return keys;
}

void Recordset::run(const std::shared_ptr<detail::Handle>& handle, std::string_view sql,
                    const std::vector<Variant>& params, int cursorType, int lockType) {
  if (open_) raise(dberr::ObjectOpen, "对象打开时，不允许操作。");
  const bool updatable = lockType >= adLockPessimistic;
  detail::Handle& h = *handle;
  std::vector<detail::Slot> slots;
  detail::Prepared& p = h.prepare(sql, updatable, slots);
  if (!p.columns) {
    // A statement without rows runs; the recordset stays closed.
    h.run(p, slots, params, nullptr);
    return;
  }
  handle_ = handle;
  columns_ = p.columns;
  cursorType_ = cursorType;
  lockType_ = lockType;
  current_ = 0;
  rowCount_ = 0;
  edit_.reset();
  fetched_ = false;
  if (updatable && params.empty()) {
    sql_ = std::string(sql);
  } else {
    if (updatable) lockRows();
    try {
      loadRows(p, slots, params);
    } catch (...) {
      unlockRows();
      throw;
    }
    fetched_ = true;
  }
  open_ = true;
}

// Takes the write lock for the rows about to be read (an updatable recordset).
void Recordset::lockRows() const { lock_ = handle_->begin(); }

// Ends the level that holds the lock by committing it: Update wrote in it,
// and other statements that ran on the handle meanwhile keep their effect, as
// they would have without it. A failed commit (which undid them) raises.
void Recordset::endLock() const {
  const std::uint64_t level = std::exchange(lock_, 0);
  if (level != 0 && handle_ && handle_->isOpen()) handle_->commit(level);
}

// The same where nothing can be raised (an error on the way out, the end of
// the recordset).
void Recordset::unlockRows() const noexcept {
  try {
    endLock();
  } catch (...) {
  }
}

void Recordset::Close() {
  requireOpen();
  if (edit_) raise(dberr::IllegalOperation, "在此上下文中不允许操作。");
  endLock();
  open_ = false;
  handle_.reset();
  columns_.reset();
  sql_.clear();
  giveBuffers();
  overrides_.clear();
  rowCount_ = 0;
  current_ = 0;
  fetched_ = false;
  paged_.reset();
  window_ = 0;
  held_ = 0;
}

// ---------------------------------------------------------------- rows

void Recordset::requireOpen() const {
  if (!open_) raise(dberr::ObjectClosed, "对象关闭时，不允许操作。");
}

void Recordset::fetch() const {
  if (fetched_) return;
  std::vector<detail::Slot> slots;
  detail::Prepared& p = handle_->prepare(sql_, true, slots);
  lockRows();
  try {
    loadRows(p, slots, {});
  } catch (...) {
    unlockRows();
    throw;
  }
  fetched_ = true;
}

void Recordset::loadRows(detail::Prepared& p, const std::vector<detail::Slot>& slots,
                         const std::vector<Variant>& params) const {
  takeBuffers();
  overrides_.clear();
  rowCount_ = 0;
  detail::RowBuffer rows{&cells_, &text_};
  try {
    handle_->run(p, slots, params, &rows);
  } catch (...) {
    cells_.clear();
    throw;
  }
  rowCount_ = rows.rows;
}

Variant Recordset::cellValue(const Cell& cell, int column) const {
  const ValueKind kind = columns_->columns[size_t(column)].kind;
  switch (cell.tag) {
    case Cell::Null: return Variant::null();
    case Cell::Int: return integerValue(cell.integer, kind);
    case Cell::Real: return realValue(cell.real, kind);
    case Cell::Text:
      return textValue(std::string_view(text_).substr(cell.offset, cell.length), kind);
    case Cell::Value: return overrides_[cell.offset];
  }
  return Variant::null();
}

// ---------------------------------------------------------------- position

bool Recordset::eof() const {
  requireOpen();
  fetch();
  return rowCount_ == 0 || current_ >= rowCount_;
}

bool Recordset::bof() const {
  requireOpen();
  fetch();
  return rowCount_ == 0 || current_ < 0;
}

void Recordset::requireCurrent() const {
  if (current_ < 0 || current_ >= rowCount_) raise(err::NoCurrentRecord);
}

void Recordset::flushEdit() {
  if (edit_) Update();
}

void Recordset::moveTo(long index) {
  requireOpen();
  fetch();
  flushEdit();
  current_ = index;
}

void Recordset::MoveNext() {
  requireOpen();
  fetch();
  if (current_ >= rowCount_) raise(err::NoCurrentRecord);
  moveTo(current_ + 1);
}

void Recordset::MovePrevious() {
  requireOpen();
  if (cursorType_ == adOpenForwardOnly) raise(dberr::NoBackwardFetch, "行集合不支持反向提取。");
  fetch();
  if (current_ < 0) raise(err::NoCurrentRecord);
  moveTo(current_ - 1);
}

void Recordset::MoveFirst() { moveTo(0); }

void Recordset::MoveLast() {
  requireOpen();
  if (cursorType_ == adOpenForwardOnly) raise(dberr::NoBackwardFetch, "行集合不支持反向提取。");
  fetch();
  if (rowCount_ == 0) raise(err::NoCurrentRecord);
  moveTo(rowCount_ - 1);
}

long Recordset::RecordCount() const {
  requireOpen();
  fetch();
  if (cursorType_ == adOpenForwardOnly || cursorType_ == adOpenDynamic) return -1;
  return rowCount_;
}

long Recordset::PageCount() const {
  const long count = RecordCount();
  if (count < 0) return -1;
  if (PageSize < 1) raise(dberr::InvalidArgument, kOutOfRange);
  return (count + PageSize - 1) / PageSize;
}

long Recordset::AbsolutePage() const {
  requireOpen();
  fetch();
  if (PageSize < 1) raise(dberr::InvalidArgument, kOutOfRange);
  if (current_ < 0) return adPosBOF;
  if (current_ >= rowCount_) return adPosEOF;
  return current_ / PageSize + 1;
}

void Recordset::setAbsolutePage(long page) {
  requireOpen();
  if (cursorType_ == adOpenForwardOnly) raise(dberr::NotUpdatable, kNotSupported);
  if (page < 1 || PageSize < 1) raise(dberr::InvalidArgument, kOutOfRange);
  fetch();
  const long long first = (static_cast<long long>(page) - 1) * PageSize;
  moveTo(first >= rowCount_ ? rowCount_ : long(first));
}

long Recordset::AbsolutePosition() const {
  requireOpen();
  fetch();
  if (current_ < 0) return adPosBOF;
  if (current_ >= rowCount_) return adPosEOF;
  return current_ + 1;
}

void Recordset::setAbsolutePosition(long position) {
  requireOpen();
  if (cursorType_ == adOpenForwardOnly) raise(dberr::NotUpdatable, kNotSupported);
  fetch();
  if (position < 1 || position > rowCount_) raise(dberr::InvalidArgument, kOutOfRange);
  moveTo(position - 1);
}

// ---------------------------------------------------------------- fields

int Recordset::fieldIndex(std::string_view name) const {
  requireOpen();
  const int i = columns_->find(name);
  if (i < 0) raise(dberr::ItemNotFound, "在对应所需名称或序数的集合中，未找到项目。");
  return i;
}

int Recordset::checkedIndex(int index) const {
  requireOpen();
  if (index < 0 || size_t(index) >= columns_->columns.size())
    raise(dberr::ItemNotFound, "在对应所需名称或序数的集合中，未找到项目。");
  return index;
}

Variant Recordset::get(std::string_view name) const { return get(fieldIndex(name)); }

Variant Recordset::get(int index) const {
  checkedIndex(index);
  fetch();
  requireCurrent();
  holdCurrentRow();
  requireCurrent();
  if (edit_ && edit_->row == current_) {
    for (const auto& [i, v] : edit_->values)
      if (i == index) return v;
  }
  return cellValue(cells_[size_t(current_ - window_) * size_t(columns_->stored) + size_t(index)],
                   index);
}

void Recordset::set(std::string_view name, const Variant& value) {
  setValue(fieldIndex(name), value);
}
void Recordset::set(int index, const Variant& value) { setValue(checkedIndex(index), value); }

void Recordset::setValue(int index, const Variant& value) {
  requireOpen();
  if (lockType_ < adLockPessimistic) raise(dberr::NotUpdatable, kNotUpdatable);
  fetch();
  requireCurrent();
  if (!edit_) {
    edit_ = std::make_unique<Edit>();
    edit_->row = current_;
  }
  for (auto& [i, v] : edit_->values) {
    if (i == index) {
      v = value;
      return;
    }
  }
  edit_->values.emplace_back(index, value);
}

Variant FieldRef::value() const { return rs_->get(index_); }

FieldRef& FieldRef::operator=(const Variant& v) {
  rs_->setValue(index_, v);
  return *this;
}

long Recordset::fieldCount() const {
  requireOpen();
  return long(columns_->columns.size());
}

std::string Recordset::fieldName(int index) const {
  return columns_->columns[size_t(checkedIndex(index))].name;
}

// ---------------------------------------------------------------- writes

void Recordset::AddNew() {
  requireOpen();
  if (lockType_ < adLockPessimistic) raise(dberr::NotUpdatable, kNotUpdatable);
  if (!fetched_) {
    // The table is not read for a row that is only added.
    fetched_ = true;
    cells_.clear();
    rowCount_ = 0;
  }
  flushEdit();
  auto edit = std::make_unique<Edit>();
  edit->adding = true;
  edit->previous = current_;
  edit->row = rowCount_;
  cells_.resize(cells_.size() + size_t(columns_->stored));
  ++rowCount_;
  current_ = edit->row;
  edit_ = std::move(edit);
}

void Recordset::CancelUpdate() {
  requireOpen();
  if (!edit_) return;
  if (edit_->adding) {
    --rowCount_;
    cells_.resize(size_t(rowCount_) * size_t(columns_->stored));
    current_ = std::min(edit_->previous, rowCount_);
  }
  edit_.reset();
}

void Recordset::Update() {
  requireOpen();
  if (lockType_ < adLockPessimistic) raise(dberr::NotUpdatable, kNotUpdatable);
  if (!edit_) return;
  const ColumnSet& cs = *columns_;
  if (cs.baseTable.empty() || cs.rowidIndex < 0)
    raise(dberr::NotUpdatable, "记录集的行不是来自单个表，不能更新。");
  for (const auto& [i, v] : edit_->values)
    if (cs.columns[size_t(i)].baseColumn.empty())
      raise(dberr::NotUpdatable, "字段 '" + cs.columns[size_t(i)].name + "' 不能更新。");

  detail::Handle& h = *handle_;
  const size_t width = size_t(cs.stored);
  const auto& values = edit_->values;
  if (!edit_->adding && values.empty()) {
    edit_.reset();
    return;
  }
  std::vector<detail::Handle::Assignment> assignments;
  assignments.reserve(values.size());
  for (const auto& [i, v] : values)
    assignments.push_back({cs.columns[size_t(i)].baseColumn, &v, cs.columns[size_t(i)].writeKind});

  try {
    // Values read before an earlier Update ended the lock (or before an outer
    // transaction's rollback took it) may be stale: the lock is taken again
    // and the row must still hold them.
    if (!edit_->adding && (lock_ == 0 || !h.holds(lock_))) {
      lockRows();
      checkRowUnchanged(edit_->row);
    }
    std::int64_t rowid = 0;
    if (edit_->adding) {
      rowid = h.insertRow(cs.baseTable, assignments);
    } else {
      rowid = cells_[size_t(edit_->row) * width + size_t(cs.rowidIndex)].integer;
      // The lock's level ends right after the update (endLock below): it
      // may commit with it.
      if (h.updateRowEnding(lock_, cs.baseTable, assignments, rowid) == 0)
        raise(dberr::RowNotFound, kRowChanged);
    }

    // Read the row back, so that identity, defaults and stored forms show.
    const long row = edit_->row;
    std::vector<Cell> readCells;
    std::string readText;
    detail::RowBuffer read{&readCells, &readText};
    const std::shared_ptr<const ColumnSet> baseRow = h.readRow(cs.baseTable, rowid, read);
    if (read.rows == 1) {
      forEachStoredColumn(row, baseRow, [&](Cell& cell, int j) {
        cell = readCells[size_t(j)];
        if (cell.tag == Cell::Text) {
          const size_t from = size_t(cell.offset);
          cell.offset = text_.size();
          text_.append(readText, from, cell.length);
        }
      });
    }
    for (const auto& [i, v] : values) {
      if (!cs.columns[size_t(i)].computed) continue;
      Cell& cell = cells_[size_t(row) * width + size_t(i)];
      cell.tag = Cell::Value;
      cell.offset = overrides_.size();
      overrides_.push_back(v);
    }
    Cell& key = cells_[size_t(row) * width + size_t(cs.rowidIndex)];
    key.tag = Cell::Int;
    key.integer = rowid;
  } catch (...) {
    unlockRows();  // a failed statement changed nothing
    throw;
  }
  endLock();
  edit_.reset();
}

// Calls f(cell, column of baseRow) for each stored field of `row` that is a
// column of the base table, with its column in `baseRow` (a row of
// "SELECT * FROM table").
template <class F>
void Recordset::forEachStoredColumn(long row, const std::shared_ptr<const ColumnSet>& baseRow,
                                    F&& f) {
  const ColumnSet& cs = *columns_;
  const std::vector<int>& places = cs.baseColumnPlaces(baseRow);
  for (size_t c = 0; c < places.size(); ++c)
    if (places[c] >= 0) f(cells_[size_t(row) * size_t(cs.stored) + c], places[c]);
}

// Raises 80040E38 when `row` is gone from its table or no longer holds the
// values this recordset read.
void Recordset::checkRowUnchanged(long row) {
  const ColumnSet& cs = *columns_;
  std::vector<Cell> nowCells;
  std::string nowText;
  detail::RowBuffer now{&nowCells, &nowText};
  const std::shared_ptr<const ColumnSet> baseRow = handle_->readRow(
      cs.baseTable, cells_[size_t(row) * size_t(cs.stored) + size_t(cs.rowidIndex)].integer, now);
  bool same = now.rows == 1;
  if (same)
    forEachStoredColumn(row, baseRow, [&](Cell& cell, int j) {
      same = same && cell.sameValue(nowCells[size_t(j)], text_, nowText);
    });
  if (!same) raise(dberr::RowNotFound, kRowChanged);
}

}  // namespace zurvafun::db

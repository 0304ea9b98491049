// What a statement run inside a transaction locks on the server, so that
// what the transaction read stays as it read it until it ends (see
// ReadLocks in postgres.h).
#include <algorithm>
#include <array>
#include <functional>
#include <string>

#include "db/postgres/postgres.h"

namespace zurvafun::db::detail::postgres {

namespace {

bool isWord(const Node& n, std::string_view w) {
  return n.type == T::Word && equalsIgnoreCase(n.text, w);
}

bool isAnyWord(const Node& n, std::initializer_list<std::string_view> words) {
  return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return isWord(n, w); });
}

// Words after which the rows of a select are no longer rows of its table, or
// that read more than the select's one table.
constexpr std::array<std::string_view, 13> kNotRowsOfOneTable = {
    "distinct", "group", "having", "union", "intersect", "except", "join",
    "count",    "max",   "min",    "sum",   "avg",       "over"};

struct Reading {
  std::vector<std::string> tables;  // lower case, each once
  bool select = false;              // a select anywhere (a subquery, INSERT … SELECT)
  bool notRows = false;             // a word of kNotRowsOfOneTable anywhere
};

void read(const Seq& seq, const Catalog& catalog, Reading& r) {
  for (const Node& n : seq) {
    if (n.type == T::Group) {
      read(n.kids, catalog, r);
      continue;
    }
    if (n.type != T::Word && n.type != T::Quoted) continue;
    if (n.type == T::Word && isWord(n, "select")) r.select = true;
    if (n.type == T::Word && std::any_of(kNotRowsOfOneTable.begin(), kNotRowsOfOneTable.end(),
                                         [&](std::string_view w) { return isWord(n, w); }))
      r.notRows = true;
    // A name of a table (or a column named like one: locking it too is
    // only more than needed).
    std::string name = lowerAscii(n.text);
    if (catalog.tables.count(name) &&
        std::find(r.tables.begin(), r.tables.end(), name) == r.tables.end())
      r.tables.push_back(std::move(name));
  }
}

// Whether the top-level tokens from `from` to the next clause name one table
// (with or without an alias): no comma.
bool fromNamesOneTable(const Seq& seq) {
  bool inFrom = false;
  for (const Node& n : seq) {
    if (isWord(n, "from")) {
      inFrom = true;
    } else if (inFrom) {
      if (isAnyWord(n, {"where", "order", "limit", "offset", "for"})) return true;
      if (n.type == T::Comma) return false;
    }
  }
  return inFrom;
}

bool namesColumn(const Node& n, const std::string& column) {
  return (n.type == T::Word || n.type == T::Quoted) && equalsIgnoreCase(n.text, column);
}

bool isValue(const Node& n) {
  return n.type == T::Number || n.type == T::String || n.type == T::Param;
}

// Whether the top-level WHERE of a select holds "key = value" (or "value =
// key", the key maybe qualified) as one of its AND-ed terms, with no OR
// beside it: the select reads at most the one row of that key.
bool pinsKey(const Seq& seq, const std::string& key) {
  size_t begin = seq.size(), end = seq.size();
  for (size_t i = 0; i < seq.size(); ++i) {
    if (begin == seq.size()) {
      if (isWord(seq[i], "where")) begin = i + 1;
    } else if (isAnyWord(seq[i], {"order", "limit", "offset", "for"})) {
      end = i;
      break;
    }
  }
  if (begin >= end) return false;
  for (size_t i = begin; i < end; ++i)
    if (isWord(seq[i], "or")) return false;
  // Terms are split at the top-level AND (a BETWEEN's AND stays within its
  // term, which then holds no "=" on the key alone).
  size_t term = begin;
  for (size_t i = begin; i <= end; ++i) {
    if (i < end && !isWord(seq[i], "and")) continue;
    // [alias .] key = value, or value = [alias .] key
    size_t k = term;
    if (k + 2 < i && seq[k + 1].type == T::Dot) k += 2;
    if (i - k == 3 && namesColumn(seq[k], key) && seq[k + 1].type == T::Op &&
        seq[k + 1].text == "=" && isValue(seq[k + 2]))
      return true;
    if (i - term >= 3 && isValue(seq[term]) && seq[term + 1].type == T::Op &&
        seq[term + 1].text == "=") {
      size_t c = term + 2;
      if (c + 2 < i && seq[c + 1].type == T::Dot) c += 2;
      if (c + 1 == i && namesColumn(seq[c], key)) return true;
    }
    term = i + 1;
  }
  return false;
}

}  // namespace

ReadLocks readLocksOf(std::string_view sql, const Catalog& catalog) {
  ReadLocks locks;
  const Seq seq = syntaxTree(sql);
  if (seq.empty()) return locks;
  const bool select = isWord(seq[0], "select");
  const bool write = isAnyWord(seq[0], {"insert", "update", "delete"});
  if (!select && !write) return locks;
  Reading r;
  read(seq, catalog, r);
  if (write) {
    // A write locks the rows it changes by itself; one that also reads
    // (a subquery, INSERT … SELECT, another table) locks what it reads.
    if (r.select || r.tables.size() > 1) locks.tables = std::move(r.tables);
    return locks;
  }
  bool nested = false;  // a subquery reads rows that FOR UPDATE would not lock
  std::function<void(const Seq&)> findNested = [&](const Seq& s) {
    for (const Node& n : s) {
      if (n.type != T::Group) continue;
      if (!n.kids.empty() && isWord(n.kids[0], "select")) nested = true;
      findNested(n.kids);
    }
  };
  findNested(seq);
  if (r.tables.size() == 1 && !nested && !r.notRows && fromNamesOneTable(seq)) {
    locks.rows = true;
    const auto key = catalog.schema.keys.find(r.tables.front());
    locks.question = key == catalog.schema.keys.end() || !pinsKey(seq, key->second);
    return locks;
  }
  locks.tables = std::move(r.tables);
  return locks;
}

}  // namespace zurvafun::db::detail::postgres

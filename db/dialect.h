// Rewriting of SQL Server statement text into SQLite text. The statement is
// tokenized (string literals, [names] and comments respected), checked to hold
// one statement, and rewritten with knowledge of the declared column types, so
// that comparisons between text and numbers convert the way SQL Server does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zurvafun::db::detail {

// What a column holds, as far as comparisons are concerned.
enum class ColKind : std::uint8_t { Unknown, Int, Numeric, Text, Date };

// The kind of a declared column type ("int", "varchar(50)", "money", "datetime"…).
ColKind kindOfDeclaredType(std::string_view declared);

// Declared column kinds of a database, by lower-case table and column name.
struct SchemaInfo {
  std::unordered_map<std::string, std::unordered_map<std::string, ColKind>> tables;
  // Kind of a column name over every table: Unknown where tables disagree.
  std::unordered_map<std::string, ColKind> anyTable;
  void add(const std::string& table, const std::string& column, ColKind kind);
};

// A parameter of the rewritten statement: a literal taken out of the text
// (so that statements differing only in their values share one prepared
// statement), or a "?" of the caller's.
struct Slot {
  enum Kind : std::uint8_t { Caller, Integer, Real, Text };
  Kind kind = Caller;
  long long integer = 0;
  double real = 0;
  std::string text;
};

struct Translation {
  std::string sql;        // SQLite text, its literals replaced by "?"
  std::vector<Slot> slots;  // one per "?" of `sql`, in order
  // Per slot: the literal of the text (by its place among the text's
  // literals) whose value it holds, or -1 (a caller's "?", a value the
  // rewrite made).
  std::vector<int> slotLiterals;
  // The literals the rewritten text depends on by value (kept in the text,
  // converted): a text of the same shape (see Shape) may use this translation,
  // its own literals in the slots, only where these literals are the same.
  std::vector<int> pinned;
  std::string baseTable;  // the one table of an updatable select, else ""
  bool rowid = false;     // a last result column zv_rowid (the row's key) was added
  bool schemaChange = false;  // CREATE, ALTER or DROP
};

// The shape of a statement's text: the text with each literal replaced by a
// marker of its kind (text, whole number, other number), and the literals as
// written. Texts of one shape differ only in their literals; the shape is
// found without rewriting, so that a statement run again with other values
// finds its prepared statement at once.
struct Shape {
  std::string key;
  std::vector<std::string_view> literals;  // into the text; a text literal with its quotes
};
Shape shapeOf(std::string_view text);

// The slot that a literal as written gives (what translate binds for it);
// false for a number that is not a plain decimal number.
bool literalSlot(std::string_view literal, Slot& slot);

// Rewrites one SQL Server statement. `forUpdate` asks for the row key of the
// single base table of a select as an extra last column. Literals become
// parameters, except in ORDER BY and GROUP BY (where a number names a column)
// and in statements that cannot take parameters (CREATE, ALTER, DROP,
// PRAGMA). Raises a VbError for text holding a second statement, unbalanced
// brackets, an unclosed literal or comment, or an unknown date part.
Translation translate(std::string_view text, const SchemaInfo& schema, bool forUpdate);

// ASCII case folding for names (tables, columns, fields).
std::string lowerAscii(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// Canonical name of a SQL Server date part for the runtime's DateAdd and
// DateDiff ("dd", "day", "d" -> "d"; "mi", "n" -> "n"…), or "" when unknown.
std::string datePart(std::string_view part);

}  // namespace zurvafun::db::detail

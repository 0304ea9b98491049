// Rewriting of SQL Server statement text for a backend. The statement is
// tokenized (string literals, [names] and comments respected), checked to hold
// one statement, and rewritten once, with knowledge of the declared column
// types, into a form that every backend shares: comparisons between text and
// numbers convert the way SQL Server does, SQL Server's functions become the
// dialect's own (zv_left, zv_toint…, which each backend provides), TOP becomes
// LIMIT, and text compared or sorted by the default collation is marked. Each
// backend's Renderer then writes that form in its own terms: its quoting, its
// parameter markers, the collation, the row key.
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
  // The row key column of each table that has one (a backend without a
  // hidden row number updates rows by it).
  std::unordered_map<std::string, std::string> keys;
  void add(const std::string& table, const std::string& column, ColKind kind);
};

// A parameter of the rewritten statement: a literal taken out of the text
// (so that statements differing only in their values share one prepared
// statement), or a "?" of the caller's.
struct Slot {
  // Now: the runtime's clock, read when the statement is bound (a backend
  // whose GETDATE() cannot call back into the process).
  enum Kind : std::uint8_t { Caller, Integer, Real, Text, Now };
  Kind kind = Caller;
  long long integer = 0;
  double real = 0;
  std::string text;
  bool likePattern = false;  // a LIKE pattern the backend converts when it binds it
};

struct Translation {
  std::string sql;          // the backend's text, its literals replaced by parameters
  std::vector<Slot> slots;  // one per "?" of `sql`, in order
  // Per slot: the literal of the text (by its place among the text's
  // literals) whose value it holds, or -1 (a caller's "?", a value the
  // rewrite made).
  std::vector<int> slotLiterals;
  // The literals the rewritten text depends on by value (kept in the text,
  // converted): a text of the same shape (see Shape) may use this translation,
  // its own literals in the slots, only where these literals are the same.
  std::vector<int> pinned;
  std::string baseTable;      // the one table of an updatable select, else ""
  bool rowid = false;         // a last result column zv_rowid (the row's key) was added
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

// ---- the shared form

// A token, or (Group) a parenthesised list whose tokens are `kids`, or one of
// the marks the rewrite adds: Key, text compared or sorted by the default
// collation (`kids` the operand; `collate` when the operand has no collation
// of its own, a literal or a function's result), and RowKey, the row key of
// base table `text` as referred to by `kids[0]`.
enum class T : std::uint8_t {
  Word,
  Quoted,
  String,
  Number,
  Param,
  Op,
  Group,
  Comma,
  Semicolon,
  Dot,
  Key,
  RowKey
};

struct Node {
  T type;
  std::string text;  // Word/Op/Number as written; Quoted unquoted; String with its quotes
  std::vector<Node> kids;
  bool doubleQuoted = false;  // a Quoted token written "x" rather than [x]
  bool keyword = false;       // a Word that ends an operand
  int literal = -1;           // a String or Number as written: its place among the text's literals
  bool collate = false;       // Key: the operand needs the collation stated
  bool likePattern = false;   // a String or Param that a backend converts as a LIKE pattern
};
using Seq = std::vector<Node>;

// A statement parsed and rewritten, before a backend renders it.
struct Parsed {
  Seq seq;
  int literals = 0;           // literals of the text
  bool keepLiterals = false;  // a statement that takes no parameters (CREATE, ALTER, DROP, PRAGMA)
  bool schemaChange = false;
  bool rowid = false;  // a last column zv_rowid (the row key) was added
  std::string baseTable;
};

// Parses and rewrites one SQL Server statement. `forUpdate` asks for the row
// key of the single base table of a select as an extra last column. Raises a
// VbError for text holding a second statement, unbalanced brackets, an
// unclosed literal or comment, or an unknown date part.
Parsed parse(std::string_view text, const SchemaInfo& schema, bool forUpdate);

// Writes the shared form as one backend's text. Literals become parameters,
// except in ORDER BY and GROUP BY (where a number names a column), among a
// function's arguments, and in statements that cannot take parameters.
class Renderer {
 public:
  virtual ~Renderer() = default;
  Translation render(Parsed parsed) const;

 protected:
  // Whether GETDATE() is bound as a value (Slot::Now) instead of called.
  virtual bool clockAsValue() const { return false; }
  // Changes the form before its literals become parameters.
  virtual void adapt(Parsed&) const {}
  // Writes the nodes that differ between backends; the rest are written as
  // they stand.
  virtual void quotedName(const std::string& name, std::string& out) const;
  virtual void param(int number, std::string& out) const = 0;  // numbered from 1
  virtual void textKey(const Node& key, std::string& out, int& params) const = 0;
  virtual void rowKey(const Node& key, std::string& out, int& params) const = 0;
  // Adds to the end of the text.
  virtual void finish(const Parsed&, std::string&) const {}

  void write(const Seq& seq, std::string& out, int& params) const;
};

Translation translate(std::string_view text, const SchemaInfo& schema, bool forUpdate,
                      const Renderer& renderer);

// The items of a comma-separated list (a group's tokens).
std::vector<Seq> splitList(const Seq& kids);
// Whether `n` is written apart from the token before it.
bool spacedFrom(const Node& prev, const Node& n);

// The tokens of a text nested by parentheses, not rewritten (a schema's
// statements, which a backend renders itself).
Seq syntaxTree(std::string_view text);
// The statements of a script, split at the ";" outside literals, comments
// and names, and outside a trigger's body (a "CREATE TRIGGER" statement ends
// at the ";" after its END); empty ones dropped.
std::vector<std::string_view> splitStatements(std::string_view text);

// ASCII case folding for names (tables, columns, fields).
std::string lowerAscii(std::string_view s);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

// Canonical name of a SQL Server date part for the runtime's DateAdd and
// DateDiff ("dd", "day", "d" -> "d"; "mi", "n" -> "n"…), or "" when unknown.
std::string datePart(std::string_view part);

}  // namespace zurvafun::db::detail

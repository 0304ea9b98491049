#include "db/dialect.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "db/db.h"
#include "db/textrules.h"
#include "runtime/dates.h"
#include "runtime/error.h"

namespace zurvafun::db::detail {

namespace {

// ---------------------------------------------------------------- tokens

[[noreturn]] void fail(std::string description) {
  raise(dberr::CommandError, std::move(description));
}

std::string lower(std::string_view s) { return lowerAscii(s); }

// Words that end an operand: an expression never contains them (a function
// name that is also a keyword has been renamed before they are looked at).
bool isBoundaryWord(const std::string& lw) {
  static const std::array<std::string_view, 52> kWords = {
      "add",    "all",    "alter",     "and",    "as",     "asc",      "between", "by",     "case",
      "create", "cross",  "default",   "delete", "desc",   "distinct", "drop",    "else",   "end",
      "escape", "except", "exists",    "from",   "full",   "glob",     "group",   "having", "in",
      "inner",  "insert", "intersect", "into",   "is",     "join",     "left",    "like",   "limit",
      "not",    "offset", "on",        "or",     "order",  "outer",    "right",   "select", "set",
      "then",   "union",  "update",    "using",  "values", "when",     "where"};
  return std::find(kWords.begin(), kWords.end(), lw) != kWords.end();
}

// The classes of a byte as the scanner sees them, in a table: the texts are
// scanned at every statement a page runs (see shapeOf), and the C library's
// classification is a call per byte. The C locale's classes (the process
// never sets another): a byte of a multi-byte character is only ever a
// letter of an identifier.
enum : std::uint8_t { kSpace = 1, kDigit = 2, kAlpha = 4, kIdentStart = 8, kIdentPart = 16 };
constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
  std::array<std::uint8_t, 256> classes{};
  for (unsigned c : {' ', '\t', '\n', '\v', '\f', '\r'}) classes[c] |= kSpace;
  for (unsigned c = '0'; c <= '9'; ++c) classes[c] |= kDigit | kIdentPart;
  for (unsigned c = 'a'; c <= 'z'; ++c) {
    classes[c] |= kAlpha | kIdentStart | kIdentPart;
    classes[c - 'a' + 'A'] |= kAlpha | kIdentStart | kIdentPart;
  }
  for (unsigned c : {'_', '@', '#'}) classes[c] |= kIdentStart | kIdentPart;
  for (unsigned c = 0x80; c < 256; ++c) classes[c] |= kIdentStart | kIdentPart;
  classes['$'] |= kIdentPart;
  return classes;
}();
bool isClass(unsigned char c, std::uint8_t classes) { return (kByteClasses[c] & classes) != 0; }
bool isSpace(unsigned char c) { return isClass(c, kSpace); }
bool isDigit(unsigned char c) { return isClass(c, kDigit); }
bool isAlnum(unsigned char c) { return isClass(c, kDigit | kAlpha); }
bool isIdentStart(unsigned char c) { return isClass(c, kIdentStart); }
bool isIdentPart(unsigned char c) { return isClass(c, kIdentPart); }
char lowerByte(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// A token of the text: its type and where it lies (a String from its quote,
// after an N prefix; a Group is its "(").
struct Token {
  T type;
  size_t begin, end;
};

// Calls emit(Token) for each token of `s`; blanks and comments are skipped.
template <class Emit>
void scan(std::string_view s, Emit&& emit) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (isSpace(c)) {
      ++i;
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      // Block comments nest, as on SQL Server; one left open is an error
      // rather than a comment that swallows the rest of the statement.
      int depth = 1;
      for (i += 2; depth > 0; ++i) {
        if (i + 1 >= n) fail("缺少注释结束标记 '*/'。");
        if (s[i] == '/' && s[i + 1] == '*') {
          ++depth;
          ++i;
        } else if (s[i] == '*' && s[i + 1] == '/') {
          --depth;
          ++i;
        }
      }
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
      const size_t start = c == '\'' ? i : i + 1;
      size_t j = start + 1;
      for (;;) {
        if (j >= n) fail("字符串 " + std::string(s.substr(start)) + " 后的引号不完整。");
        if (s[j] == '\'') {
          if (j + 1 < n && s[j + 1] == '\'') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      emit(Token{T::String, start, j + 1});
      i = j + 1;
    } else if (c == '[' || c == '"') {
      const char close = c == '[' ? ']' : '"';
      size_t j = i + 1;
      for (;;) {
        if (j >= n) fail("标识符 " + std::string(s.substr(i)) + " 后的引号不完整。");
        if (s[j] == close) {
          if (j + 1 < n && s[j + 1] == close) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      emit(Token{T::Quoted, i, j + 1});
      i = j + 1;
    } else if (isDigit(c) ||
               (c == '.' && i + 1 < n && isDigit(static_cast<unsigned char>(s[i + 1])))) {
      size_t j = i;
      while (j < n && (isAlnum(static_cast<unsigned char>(s[j])) || s[j] == '.')) {
        if ((s[j] == 'e' || s[j] == 'E') && j + 1 < n && (s[j + 1] == '+' || s[j + 1] == '-')) ++j;
        ++j;
      }
      emit(Token{T::Number, i, j});
      i = j;
    } else if (isIdentStart(c)) {
      size_t j = i + 1;
      while (j < n && isIdentPart(static_cast<unsigned char>(s[j]))) ++j;
      emit(Token{T::Word, i, j});
      i = j;
    } else {
      const size_t start = i++;
      T type = T::Op;
      switch (c) {
        case '(': type = T::Group; break;
        case ',': type = T::Comma; break;
        case ';': type = T::Semicolon; break;
        case '.': type = T::Dot; break;
        case '?': type = T::Param; break;
        case ')': break;
        default:
          if (i < n) {
            const char d = s[i];
            if ((c == '<' && (d == '=' || d == '>')) || (c == '>' && d == '=') ||
                (c == '!' && (d == '=' || d == '<' || d == '>')) || (c == '|' && d == '|') ||
                (c == '=' && d == '='))
              ++i;
          }
      }
      emit(Token{type, start, i});
    }
  }
}

bool isDecimalNumber(std::string_view text) {
  return text.find_first_of(".eE") != std::string_view::npos;
}

std::vector<Node> tokenize(std::string_view s) {
  std::vector<Node> out;
  int literals = 0;
  scan(s, [&](const Token& t) {
    Node node{t.type, std::string(s.substr(t.begin, t.end - t.begin)), {}, false};
    switch (t.type) {
      case T::Quoted: {
        // The name between the brackets or quotes, a doubled closer as one.
        const char close = node.text[0] == '[' ? ']' : '"';
        node.doubleQuoted = close == '"';
        std::string name;
        for (size_t k = 1; k + 1 < node.text.size(); ++k) {
          name += node.text[k];
          if (node.text[k] == close) ++k;
        }
        node.text = std::move(name);
        break;
      }
      case T::String:
      case T::Number: node.literal = literals++; break;
      case T::Word: node.keyword = isBoundaryWord(lower(node.text)); break;
      default: break;
    }
    out.push_back(std::move(node));
  });
  return out;
}

// Nests the flat tokens by parentheses.
Seq nest(std::vector<Node>& flat, size_t& pos, bool inner) {
  Seq seq;
  while (pos < flat.size()) {
    Node& tok = flat[pos++];
    if (tok.type == T::Group) {
      tok.kids = nest(flat, pos, true);
      seq.push_back(std::move(tok));
    } else if (tok.type == T::Op && tok.text == ")") {
      if (!inner) fail("')' 附近有语法错误。");
      return seq;
    } else {
      seq.push_back(std::move(tok));
    }
  }
  if (inner) fail("'(' 附近有语法错误：缺少 ')'。");
  return seq;
}

// ---------------------------------------------------------------- helpers

bool isWord(const Node& n, std::string_view lw) {
  if (n.type != T::Word || n.text.size() != lw.size()) return false;
  for (size_t i = 0; i < lw.size(); ++i)
    if (lowerByte(n.text[i]) != lw[i]) return false;
  return true;
}

bool isBoundary(const Node& n) {
  return n.type == T::Comma || n.type == T::Semicolon || (n.type == T::Word && n.keyword);
}

bool isName(const Node& n) {
  return n.type == T::Quoted || (n.type == T::Word && !n.keyword && !isWord(n, "null"));
}

Node word(std::string text) {
  Node n{T::Word, std::move(text), {}, false};
  n.keyword = isBoundaryWord(lower(n.text));
  return n;
}
Node group(Seq kids) { return Node{T::Group, "(", std::move(kids), false}; }
Node number(std::string text) { return Node{T::Number, std::move(text), {}, false}; }

std::string quoteLiteral(std::string_view value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}
Node stringNode(std::string_view value) { return Node{T::String, quoteLiteral(value), {}, false}; }

// Value of a string literal as written ('it''s').
std::string literalValue(std::string_view t) {
  std::string out;
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    out += t[i];
    if (t[i] == '\'') ++i;
  }
  return out;
}
std::string literalValue(const Node& n) { return literalValue(n.text); }

std::vector<Seq> splitArgs(const Seq& kids) {
  std::vector<Seq> args(1);
  for (const Node& n : kids) {
    if (n.type == T::Comma)
      args.emplace_back();
    else
      args.back().push_back(n);
  }
  if (args.size() == 1 && args[0].empty()) args.clear();
  return args;
}

Seq joinArgs(std::vector<Seq> args) {
  Seq out;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) out.push_back(Node{T::Comma, ",", {}, false});
    for (Node& n : args[i]) out.push_back(std::move(n));
  }
  return out;
}

// ---------------------------------------------------------------- the rewriter

// What an operand of a comparison is.
enum class Cls { Unknown, Null, IntLiteral, DecLiteral, StrLiteral, Int, Numeric, Text, Date };

class Rewriter {
 public:
  Rewriter(const SchemaInfo& schema) : schema_(schema) {}

  // Collects the tables (and their aliases) a statement names.
  void collectTables(const Seq& seq) {
    for (size_t i = 0; i < seq.size(); ++i) {
      const Node& n = seq[i];
      if (n.type == T::Group) {
        collectTables(n.kids);
        continue;
      }
      if (!(isWord(n, "from") || isWord(n, "join") || isWord(n, "update") || isWord(n, "into")))
        continue;
      const bool list = isWord(n, "from");
      size_t j = i + 1;
      while (j < seq.size() && isName(seq[j])) {
        const std::string table = lower(seq[j].text);
        tables_.push_back(table);
        ++j;
        if (j + 1 < seq.size() && isWord(seq[j], "as") && isName(seq[j + 1])) {
          aliases_[lower(seq[j + 1].text)] = table;
          j += 2;
        } else if (j < seq.size() && isName(seq[j])) {
          aliases_[lower(seq[j].text)] = table;
          ++j;
        }
        if (!list || j >= seq.size() || seq[j].type != T::Comma) break;
        ++j;
      }
    }
  }

  ColKind columnKind(const std::string& qualifier, const std::string& column) const {
    const std::string col = lower(column);
    if (!qualifier.empty()) {
      std::string table = lower(qualifier);
      if (auto a = aliases_.find(table); a != aliases_.end()) table = a->second;
      if (auto t = schema_.tables.find(table); t != schema_.tables.end()) {
        if (auto c = t->second.find(col); c != t->second.end()) return c->second;
      }
      return ColKind::Unknown;
    }
    bool found = false;
    ColKind kind = ColKind::Unknown;
    for (const std::string& table : tables_) {
      auto t = schema_.tables.find(table);
      if (t == schema_.tables.end()) continue;
      auto c = t->second.find(col);
      if (c == t->second.end()) continue;
      if (found && kind != c->second) return ColKind::Unknown;
      found = true;
      kind = c->second;
    }
    if (found) return kind;
    auto any = schema_.anyTable.find(col);
    return any == schema_.anyTable.end() ? ColKind::Unknown : any->second;
  }

  static ColKind kindOf(Cls c) {
    switch (c) {
      case Cls::Int: return ColKind::Int;
      case Cls::Numeric: return ColKind::Numeric;
      case Cls::Text: return ColKind::Text;
      case Cls::Date: return ColKind::Date;
      default: return ColKind::Unknown;
    }
  }

  static Cls ofKind(ColKind k) {
    switch (k) {
      case ColKind::Int: return Cls::Int;
      case ColKind::Numeric: return Cls::Numeric;
      case ColKind::Text: return Cls::Text;
      case ColKind::Date: return Cls::Date;
      default: return Cls::Unknown;
    }
  }

  Cls classify(const Node* b, const Node* e) const {
    const size_t n = size_t(e - b);
    if (n == 0) return Cls::Unknown;
    if (n == 1) {
      const Node& x = *b;
      switch (x.type) {
        case T::Number: return isDecimalNumber(x.text) ? Cls::DecLiteral : Cls::IntLiteral;
        case T::String: return Cls::StrLiteral;
        case T::Key: return Cls::Text;
        case T::Quoted: return ofKind(columnKind("", x.text));
        case T::Word:
          if (isWord(x, "null")) return Cls::Null;
          return isName(x) ? ofKind(columnKind("", x.text)) : Cls::Unknown;
        case T::Group: {
          for (const Node& k : x.kids)
            if (isBoundary(k)) return Cls::Unknown;
          return classify(x.kids.data(), x.kids.data() + x.kids.size());
        }
        default: return Cls::Unknown;
      }
    }
    if (n == 2 && b[0].type == T::Op && (b[0].text == "-" || b[0].text == "+") &&
        b[1].type == T::Number)
      return classify(b + 1, e);
    if (n == 2 && b[0].type == T::Word && b[1].type == T::Group) return classifyCall(b[0], b[1]);
    if (n == 3 && isName(b[0]) && b[1].type == T::Dot && isName(b[2]))
      return ofKind(columnKind(b[0].text, b[2].text));
    // An expression: || joins text, arithmetic gives a number unless text
    // literals take part.
    bool arithmetic = false;
    for (const Node* p = b; p != e; ++p) {
      if (p->type == T::Op && p->text == "||") return Cls::Text;
      if (p->type == T::String) return Cls::Unknown;
      if (p->type == T::Op &&
          (p->text == "+" || p->text == "-" || p->text == "*" || p->text == "/" || p->text == "%"))
        arithmetic = true;
      else if (p->type == T::Word && !isName(*p))
        return Cls::Unknown;
    }
    return arithmetic ? Cls::Numeric : Cls::Unknown;
  }

  Cls classifyCall(const Node& name, const Node& args) const {
    const std::string f = lower(name.text);
    static const std::array<std::string_view, 11> kText = {
        "zv_left", "zv_right", "zv_substring", "substr",  "ltrim", "rtrim",
        "trim",    "upper",    "lower",        "replace", "space"};
    static const std::array<std::string_view, 8> kInt = {
        "zv_toint",    "zv_len", "zv_charindex", "zv_patindex",
        "zv_datediff", "count",  "length",       "instr"};
    static const std::array<std::string_view, 5> kNumeric = {"zv_tonum", "abs", "round", "sum",
                                                             "total"};
    static const std::array<std::string_view, 3> kDate = {"zv_getdate", "zv_dateadd", "zv_todate"};
    auto in = [&](const auto& list) {
      return std::find(list.begin(), list.end(), f) != list.end();
    };
    if (in(kText)) return Cls::Text;
    if (in(kInt)) return Cls::Int;
    if (in(kNumeric)) return Cls::Numeric;
    if (in(kDate)) return Cls::Date;
    if (f == "ifnull" || f == "coalesce" || f == "max" || f == "min") {
      std::vector<Seq> a = splitArgs(args.kids);
      if (a.empty()) return Cls::Unknown;
      const Cls c = classify(a[0].data(), a[0].data() + a[0].size());
      return c == Cls::IntLiteral   ? Cls::Int
             : c == Cls::DecLiteral ? Cls::Numeric
             : c == Cls::StrLiteral ? Cls::Text
                                    : c;
    }
    if (f == "cast") {
      for (size_t i = 0; i + 1 < args.kids.size(); ++i)
        if (isWord(args.kids[i], "as") && isWord(args.kids[i + 1], "text")) return Cls::Text;
    }
    return Cls::Unknown;
  }

  // ---- literal conversions

  // A text literal compared with or stored into an integer column: the
  // number it converts to, or (when it does not convert) a call that raises
  // the conversion error when the statement evaluates it.
  static Seq intLiteral(const Node& lit) {
    const std::string v = literalValue(lit);
    long long n = 0;
    if (sqlserverTextToInt(v, n)) return {number(std::to_string(n))};
    return {word("zv_toint"), group({lit})};
  }
  static Seq numLiteral(const Node& lit) {
    const std::string v = literalValue(lit);
    std::string canonical;
    if (sqlserverTextToNumberText(v, canonical)) return {number(canonical)};
    return {word("zv_tonum"), group({lit})};
  }
  static Seq dateLiteral(const Node& lit) {
    double serial = 0;
    if (parseDate(literalValue(lit), serial)) return {stringNode(dateTimeText(serial))};
    return {word("zv_todate"), group({lit})};
  }

  // A literal stored into a column of the given kind.
  static void convertStored(ColKind kind, Seq& value) {
    if (value.size() != 1) return;
    const Node& v = value[0];
    if (v.type == T::String) {
      if (kind == ColKind::Int)
        value = intLiteral(v);
      else if (kind == ColKind::Numeric)
        value = numLiteral(v);
      else if (kind == ColKind::Date)
        value = dateLiteral(v);
    } else if (v.type == T::Number && kind == ColKind::Text) {
      value = {stringNode(v.text)};
    }
  }

  // A conversion to int is written zv_toint(zv_int(x)): zv_int gives the
  // number of a text that converts and leaves anything else as it is, so
  // that zv_int(x) can be indexed (it never fails), while zv_toint raises the
  // conversion error for what is left, as SQL Server does.
  static Seq wrap(const char* function, Seq operand) {
    return {word(function), group(std::move(operand))};
  }

  // Rewrites `left op right` (op a comparison) as SQL Server evaluates it.
  void compare(Seq& left, Seq& right) const {
    const Cls l = classify(left.data(), left.data() + left.size());
    const Cls r = classify(right.data(), right.data() + right.size());
    if (!fixSides(left, l, r)) fixSides(right, r, l);
    auto text = [](Cls c) { return c == Cls::Text || c == Cls::StrLiteral; };
    if ((text(l) && (text(r) || r == Cls::Unknown)) || (text(r) && l == Cls::Unknown)) {
      keyed(left);
      keyed(right);
    }
  }

  // Handles the cases where `a` is the side that converts; false when none applies.
  static bool fixSides(Seq& a, Cls ca, Cls cb) {
    const bool bInt = cb == Cls::IntLiteral || cb == Cls::Int;
    const bool bNumber = bInt || cb == Cls::DecLiteral || cb == Cls::Numeric;
    if (ca == Cls::Text && bNumber) {
      a = bInt ? wrap("zv_toint", wrap("zv_int", std::move(a))) : wrap("zv_tonum", std::move(a));
      return true;
    }
    if (ca == Cls::Text && cb == Cls::Date) {
      a = wrap("zv_todate", std::move(a));
      return true;
    }
    if (ca == Cls::StrLiteral && bNumber) {
      a = bInt ? intLiteral(a[0]) : numLiteral(a[0]);
      return true;
    }
    if (ca == Cls::StrLiteral && cb == Cls::Date) {
      a = dateLiteral(a[0]);
      return true;
    }
    if (ca == Cls::StrLiteral && (cb == Cls::Text || cb == Cls::Unknown || cb == Cls::StrLiteral)) {
      collate(a);
      return true;
    }
    // Two text expressions (a function's result has no collation of its own).
    if (ca == Cls::Text && cb == Cls::Text && !isColumn(a)) {
      collate(a);
      return true;
    }
    return false;
  }

  // Text compared and sorted as the default collation does.
  static void collate(Seq& a) {
    if (a.size() == 1 && a[0].type == T::Key) {
      a[0].collate = true;
      return;
    }
    Node key{T::Key, "", std::move(a), false};
    key.collate = true;
    a = {std::move(key)};
  }

  // Text compared by the default collation, which the column already has: the
  // operand is marked for the backends that compare by a key instead.
  static void keyed(Seq& a) {
    if (a.empty() || (a.size() == 1 && a[0].type == T::Key)) return;
    a = {Node{T::Key, "", std::move(a), false}};
  }

  static bool isColumn(const Seq& a) {
    return (a.size() == 1 && isName(a[0])) ||
           (a.size() == 3 && isName(a[0]) && a[1].type == T::Dot && isName(a[2]));
  }

  // x [NOT] BETWEEN lo AND hi and x [NOT] IN (a, b, …): as in a comparison,
  // text converts to the number or date type that takes part.
  void ranges(Seq& seq) const {
    for (size_t k = 1; k < seq.size(); ++k) {
      const bool between = isWord(seq[k], "between");
      const bool in = isWord(seq[k], "in") && k + 1 < seq.size() && seq[k + 1].type == T::Group &&
                      !(!seq[k + 1].kids.empty() && isWord(seq[k + 1].kids[0], "select"));
      if (!between && !in) continue;
      const size_t e = isWord(seq[k - 1], "not") ? k - 1 : k;
      size_t b = e;
      while (b > 0 && !isBoundary(seq[b - 1]) && !isComparison(seq[b - 1])) --b;
      if (b == e) continue;
      std::vector<Seq> parts(1, Seq(seq.begin() + long(b), seq.begin() + long(e)));
      size_t and_ = k + 1, end = k + 2;
      if (in) {
        for (Seq& item : splitArgs(seq[k + 1].kids)) parts.push_back(std::move(item));
      } else {
        while (and_ < seq.size() && !isWord(seq[and_], "and")) ++and_;
        if (and_ >= seq.size()) continue;
        for (end = and_ + 1; end < seq.size() && !isBoundary(seq[end]);) ++end;
        parts.emplace_back(seq.begin() + long(k) + 1, seq.begin() + long(and_));
        parts.emplace_back(seq.begin() + long(and_) + 1, seq.begin() + long(end));
      }
      if (!unify(parts)) continue;
      Seq out(std::make_move_iterator(seq.begin()), std::make_move_iterator(seq.begin() + long(b)));
      auto append = [&out](Seq& part) {
        out.insert(out.end(), std::make_move_iterator(part.begin()),
                   std::make_move_iterator(part.end()));
      };
      append(parts[0]);
      for (size_t i = e; i <= k; ++i) out.push_back(std::move(seq[i]));
      if (in) {
        seq[k + 1].kids = joinArgs(std::vector<Seq>(std::make_move_iterator(parts.begin() + 1),
                                                    std::make_move_iterator(parts.end())));
        out.push_back(std::move(seq[k + 1]));
      } else {
        append(parts[1]);
        out.push_back(std::move(seq[and_]));
        append(parts[2]);
      }
      const size_t next = out.size();
      out.insert(out.end(), std::make_move_iterator(seq.begin() + long(end)),
                 std::make_move_iterator(seq.end()));
      seq = std::move(out);
      k = next - 1;
    }
  }

  // Converts the text operands of `parts` to the number or date type among
  // them (SQL Server's type precedence); false when none takes part.
  bool unify(std::vector<Seq>& parts) const {
    std::vector<Cls> cls;
    Cls target = Cls::Unknown;
    for (const Seq& p : parts) {
      const Cls c = classify(p.data(), p.data() + p.size());
      cls.push_back(c);
      if (c == Cls::Date)
        target = Cls::Date;
      else if ((c == Cls::Numeric || c == Cls::DecLiteral) && target != Cls::Date)
        target = Cls::Numeric;
      else if ((c == Cls::Int || c == Cls::IntLiteral) && target == Cls::Unknown)
        target = Cls::Int;
    }
    if (target == Cls::Unknown) {
      // Text among text: compared by the default collation.
      bool text = false;
      for (Cls c : cls) {
        if (c == Cls::Text || c == Cls::StrLiteral)
          text = true;
        else if (c != Cls::Unknown)
          return false;
      }
      if (!text) return false;
      for (Seq& p : parts) keyed(p);
      return true;
    }
    for (size_t i = 0; i < parts.size(); ++i)
      if (cls[i] == Cls::Text || cls[i] == Cls::StrLiteral) fixSides(parts[i], cls[i], target);
    return true;
  }

  // ORDER BY and SELECT DISTINCT on a text expression sort and compare by the
  // default collation too (a column has it already).
  void collations(Seq& seq) const {
    // An aggregate's DISTINCT (count(distinct nickname)) counts text by it too.
    if (seq.size() >= 2 && isWord(seq[0], "distinct")) {
      Seq item(seq.begin() + 1, seq.end());
      if (classify(item.data(), item.data() + item.size()) == Cls::Text) {
        if (isColumn(item)) keyed(item);
        else collate(item);
        seq.resize(1);
        seq.insert(seq.end(), item.begin(), item.end());
      }
      return;
    }
    for (size_t i = 0; i + 1 < seq.size(); ++i) {
      if (isWord(seq[i], "order") && isWord(seq[i + 1], "by")) {
        collateList(seq, i + 2, "limit", true);
        return;
      }
      if (isWord(seq[i], "select") && isWord(seq[i + 1], "distinct"))
        collateList(seq, i + 2, "from", false);
    }
  }

  // Adds the collation to each text expression of the comma-separated list
  // that starts at seq[begin] and ends before the word `stop` (or the end);
  // an item's ASC/DESC or alias stays after it.
  void collateList(Seq& seq, size_t begin, std::string_view stop, bool keyColumns) const {
    size_t start = begin;
    for (size_t j = start; j <= seq.size(); ++j) {
      const bool last = j == seq.size() || isWord(seq[j], stop);
      if (!last && seq[j].type != T::Comma) continue;
      size_t itemEnd = j;
      if (itemEnd - start >= 2 &&
          (isWord(seq[itemEnd - 1], "asc") || isWord(seq[itemEnd - 1], "desc"))) {
        --itemEnd;
      } else if (itemEnd - start >= 2 && isName(seq[itemEnd - 1])) {
        const Node& before = seq[itemEnd - 2];
        if (isWord(before, "as"))
          itemEnd -= 2;
        else if (before.type != T::Op && before.type != T::Dot)
          --itemEnd;
      }
      Seq item(seq.begin() + long(start), seq.begin() + long(itemEnd));
      const bool column = !item.empty() && isColumn(item);
      if (!item.empty() && (keyColumns || !column) &&
          classify(item.data(), item.data() + item.size()) == Cls::Text) {
        const size_t tail = j - itemEnd;
        if (column)
          keyed(item);
        else
          collate(item);
        seq.erase(seq.begin() + long(start), seq.begin() + long(itemEnd));
        seq.insert(seq.begin() + long(start), item.begin(), item.end());
        j = start + item.size() + tail;
      }
      if (last) return;
      start = j + 1;
    }
  }

  // ---- function calls

  void rewriteCall(Node& name, Node& args) const {
    const std::string f = lower(name.text);
    if (f == "left" || f == "right" || f == "substring" || f == "charindex" || f == "patindex" ||
        f == "len" || f == "getdate") {
      name.text = "zv_" + f;
      name.keyword = false;  // LEFT and RIGHT are join words only without "("
    } else if (f == "isnull") {
      // ISNULL(a, b) gives b converted to the type of a: a number for a text
      // column becomes text, a text for a number or date column converts.
      name.text = "ifnull";
      std::vector<Seq> a = splitArgs(args.kids);
      if (a.size() == 2) {
        convertStored(kindOf(classify(a[0].data(), a[0].data() + a[0].size())), a[1]);
        args.kids = joinArgs(std::move(a));
      }
    } else if (f == "dateadd" || f == "datediff") {
      std::vector<Seq> a = splitArgs(args.kids);
      if (a.size() != 3) fail(f + " 函数需要 3 个参数。");
      std::string part;
      if (a[0].size() == 1) {
        const Node& p = a[0][0];
        if (p.type == T::Word || p.type == T::Quoted)
          part = p.text;
        else if (p.type == T::String)
          part = literalValue(p);
      }
      const std::string canonical = datePart(part);
      if (canonical.empty()) fail("'" + part + "' 不是可以识别的 " + f + " 选项。");
      a[0] = {stringNode(canonical)};
      name.text = "zv_" + f;
      args.kids = joinArgs(std::move(a));
    } else if (f == "cast") {
      // CAST(expr AS type[(n)])
      size_t as = args.kids.size();
      for (size_t i = 0; i < args.kids.size(); ++i)
        if (isWord(args.kids[i], "as")) as = i;
      if (as + 1 >= args.kids.size()) return;
      Seq expr(args.kids.begin(), args.kids.begin() + long(as));
      convertTo(lower(args.kids[as + 1].text), std::move(expr), name, args);
    } else if (f == "convert") {
      // CONVERT(type[(n)], expr[, style])
      std::vector<Seq> a = splitArgs(args.kids);
      if (a.size() < 2 || a[0].empty() || a[0][0].type != T::Word) return;
      convertTo(lower(a[0][0].text), std::move(a[1]), name, args);
    }
  }

  void convertTo(const std::string& type, Seq expr, Node& name, Node& args) const {
    static const std::array<std::pair<std::string_view, int>, 5> kInts = {
        {{"int", 32}, {"integer", 32}, {"smallint", 16}, {"tinyint", 8}, {"bigint", 64}}};
    for (const auto& [t, bits] : kInts) {
      if (type == t) {
        name.text = "zv_toint";
        if (bits != 32) {
          expr.push_back(Node{T::Comma, ",", {}, false});
          expr.push_back(number(std::to_string(bits)));
          args.kids = std::move(expr);
        } else {
          args.kids = wrap("zv_int", std::move(expr));
        }
        return;
      }
    }
    const ColKind kind = kindOfDeclaredType(type);
    if (kind == ColKind::Text) {
      name.text = "CAST";
      expr.push_back(word("AS"));
      expr.push_back(word("TEXT"));
      args.kids = std::move(expr);
    } else if (kind == ColKind::Numeric) {
      name.text = "zv_tonum";
      args.kids = std::move(expr);
    } else if (kind == ColKind::Date) {
      name.text = "zv_todate";
      args.kids = std::move(expr);
    }
  }

  // ---- one nesting level

  void process(Seq& seq) {
    for (Node& n : seq)
      if (n.type == T::Group) process(n.kids);
    for (size_t i = 0; i + 1 < seq.size(); ++i)
      if (seq[i].type == T::Word && seq[i + 1].type == T::Group) rewriteCall(seq[i], seq[i + 1]);
    top(seq);
    insertValues(seq);
    ranges(seq);
    comparisons(seq);
    collations(seq);
  }

  // SELECT [DISTINCT|ALL] TOP n … becomes SELECT … LIMIT n.
  static void top(Seq& seq) {
    for (size_t i = 0; i < seq.size(); ++i) {
      if (!isWord(seq[i], "select")) continue;
      size_t j = i + 1;
      if (j < seq.size() && (isWord(seq[j], "distinct") || isWord(seq[j], "all"))) ++j;
      if (j + 1 >= seq.size() || !isWord(seq[j], "top")) continue;
      Node count = std::move(seq[j + 1]);
      if (count.type != T::Number && count.type != T::Group) fail("'top' 附近有语法错误。");
      seq.erase(seq.begin() + long(j), seq.begin() + long(j) + 2);
      if (j < seq.size() && (isWord(seq[j], "percent") || isWord(seq[j], "with")))
        fail("不支持 TOP … " + seq[j].text + "。");
      seq.push_back(word("LIMIT"));
      seq.push_back(std::move(count));
      return;
    }
  }

  // INSERT INTO t (cols) VALUES (…): text literals for integer, money and
  // date columns are converted as SQL Server stores them.
  void insertValues(Seq& seq) const {
    for (size_t i = 0; i + 4 < seq.size(); ++i) {
      if (!isWord(seq[i], "insert") || !isWord(seq[i + 1], "into") || !isName(seq[i + 2]) ||
          seq[i + 3].type != T::Group)
        continue;
      const std::string table = seq[i + 2].text;
      std::vector<Seq> cols = splitArgs(seq[i + 3].kids);
      for (size_t v = i + 4; v < seq.size(); ++v) {
        if (seq[v].type != T::Group) continue;
        std::vector<Seq> vals = splitArgs(seq[v].kids);
        if (vals.size() != cols.size()) continue;
        for (size_t c = 0; c < cols.size(); ++c)
          if (cols[c].size() == 1 && isName(cols[c][0]))
            convertStored(columnKind(table, cols[c][0].text), vals[c]);
        seq[v].kids = joinArgs(std::move(vals));
      }
      return;
    }
  }

  // Comparisons of this level, and the assignments of an UPDATE's SET list.
  void comparisons(Seq& seq) const {
    bool assigning = false;
    size_t start = 0;
    for (size_t i = 0; i <= seq.size(); ++i) {
      if (i < seq.size() && !isBoundary(seq[i])) continue;
      if (i > start) comparisonSegment(seq, start, i, assigning);
      // (comparisonSegment moved i to the segment's new end.) A comma keeps
      // the SET list going; any keyword ends it.
      if (i < seq.size() && seq[i].type == T::Word) assigning = isWord(seq[i], "set");
      start = i + 1;
    }
  }

  static bool isComparison(const Node& n) {
    return n.type == T::Op &&
           (n.text == "=" || n.text == "==" || n.text == "<>" || n.text == "!=" || n.text == "<" ||
            n.text == "<=" || n.text == ">" || n.text == ">=" || n.text == "!<" || n.text == "!>");
  }

  // Rewrites seq[start, end) when it is one comparison (or assignment), and
  // moves `end` by the change in length.
  void comparisonSegment(Seq& seq, size_t start, size_t& end, bool assigning) const {
    size_t op = end;
    for (size_t i = start; i < end; ++i) {
      if (isComparison(seq[i])) {
        if (op != end) return;  // a = b = c: leave it to the database
        op = i;
      }
    }
    if (op == end) return;
    Seq left(std::make_move_iterator(seq.begin() + long(start)),
             std::make_move_iterator(seq.begin() + long(op)));
    Seq right(std::make_move_iterator(seq.begin() + long(op) + 1),
              std::make_move_iterator(seq.begin() + long(end)));
    Node opNode = std::move(seq[op]);
    if (opNode.text == "!<") opNode.text = ">=";
    if (opNode.text == "!>") opNode.text = "<=";
    if (assigning) {
      if (left.size() == 1 && isName(left[0]))
        convertStored(columnKind("", left[0].text), right);
      else if (left.size() == 3 && left[1].type == T::Dot)
        convertStored(columnKind(left[0].text, left[2].text), right);
    } else {
      compare(left, right);
    }
    Seq replacement = std::move(left);
    replacement.push_back(std::move(opNode));
    for (Node& n : right) replacement.push_back(std::move(n));
    seq.erase(seq.begin() + long(start), seq.begin() + long(end));
    seq.insert(seq.begin() + long(start), std::make_move_iterator(replacement.begin()),
               std::make_move_iterator(replacement.end()));
    end = start + replacement.size();
  }

  // Adds the row key of the single base table of a top-level select.
  static bool addRowid(Seq& seq, std::string& baseTable) {
    if (seq.empty() || !isWord(seq[0], "select")) return false;
    if (seq.size() > 1 && isWord(seq[1], "distinct")) return false;
    size_t from = seq.size();
    for (size_t i = 1; i < seq.size(); ++i) {
      if (isWord(seq[i], "group") || isWord(seq[i], "union") || isWord(seq[i], "except") ||
          isWord(seq[i], "intersect"))
        return false;
      if (from == seq.size() && isWord(seq[i], "from")) from = i;
    }
    if (from + 1 >= seq.size() || !isName(seq[from + 1])) return false;
    const Node table = seq[from + 1];
    Node ref = table;
    size_t next = from + 2;
    if (next < seq.size() && isWord(seq[next], "as")) {
      if (next + 1 >= seq.size() || !isName(seq[next + 1])) return false;
      ref = seq[next + 1];
      next += 2;
    } else if (next < seq.size() && isName(seq[next])) {
      ref = seq[next];
      next += 1;
    }
    if (next < seq.size() &&
        !(isWord(seq[next], "where") || isWord(seq[next], "order") || isWord(seq[next], "limit")))
      return false;
    if (ref.type == T::Word) ref = Node{T::Quoted, ref.text, {}, false};
    Node key{T::RowKey, table.text, {ref}, false};
    Seq extra = {Node{T::Comma, ",", {}, false}, std::move(key), word("AS"), word("zv_rowid")};
    seq.insert(seq.begin() + long(from), extra.begin(), extra.end());
    baseTable = table.text;
    return true;
  }

 private:
  const SchemaInfo& schema_;
  std::vector<std::string> tables_;
  std::unordered_map<std::string, std::string> aliases_;
};

// The caller's "?" of a statement whose literals stay as written.
void callerSlots(const Seq& seq, std::vector<Slot>& slots) {
  for (const Node& n : seq) {
    if (n.type == T::Param) {
      Slot slot;
      slot.likePattern = n.likePattern;
      slots.push_back(slot);
    } else if (n.type == T::Group || n.type == T::Key) {
      callerSlots(n.kids, slots);
    }
  }
}

// Whether seq[i] is the argument list of a function call.
bool isCall(const Seq& seq, size_t i) {
  return seq[i].type == T::Group && i > 0 && seq[i - 1].type == T::Word && !seq[i - 1].keyword;
}

// Replaces the literals of `seq` by "?" and collects them, in text order,
// with the literal of the text each one holds (-1 for a value the rewrite
// made, or a caller's "?"). Literals stay as written in ORDER BY and GROUP BY
// (where a number names a column) and among a function's arguments: those
// are part of the expression, and an index on an expression serves only the
// expression with the same constants.
void parameterize(Seq& seq, Translation& t, bool skip, bool clockAsValue) {
  for (size_t i = 0; i < seq.size(); ++i) {
    Node& n = seq[i];
    switch (n.type) {
      case T::Word:
        if (clockAsValue && isWord(n, "zv_getdate") && i + 1 < seq.size() &&
            seq[i + 1].type == T::Group && seq[i + 1].kids.empty()) {
          seq.erase(seq.begin() + long(i) + 1);
          Slot slot;
          slot.kind = Slot::Now;
          t.slots.push_back(slot);
          t.slotLiterals.push_back(-1);
          seq[i] = Node{T::Param, "?", {}, false};
          break;
        }
        if (isWord(n, "order") || isWord(n, "group"))
          skip = true;
        else if (isWord(n, "limit") || isWord(n, "offset") || isWord(n, "having") ||
                 isWord(n, "union") || isWord(n, "except") || isWord(n, "intersect"))
          skip = false;
        break;
      case T::Group: parameterize(n.kids, t, skip || isCall(seq, i), clockAsValue); break;
      case T::Key: parameterize(n.kids, t, skip, clockAsValue); break;
      case T::Param: {
        Slot slot;
        slot.likePattern = n.likePattern;
        t.slots.push_back(slot);
        t.slotLiterals.push_back(-1);
        break;
      }
      case T::String:
      case T::Number: {
        Slot slot;
        // A pattern is converted when it is bound: it is never left in the text.
        if ((skip && !n.likePattern) || !literalSlot(n.text, slot))
          break;  // not a plain decimal number: left as written
        slot.likePattern = n.likePattern;
        t.slots.push_back(std::move(slot));
        t.slotLiterals.push_back(n.literal);
        n = Node{T::Param, "?", {}, false};
        break;
      }
      default: break;
    }
  }
}

// The literals of the text still written in `seq`.
void writtenLiterals(const Seq& seq, std::vector<bool>& written) {
  for (const Node& n : seq) {
    if (n.literal >= 0) written[size_t(n.literal)] = true;
    if (n.type == T::Group || n.type == T::Key) writtenLiterals(n.kids, written);
  }
}

}  // namespace

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = lowerByte(c);
  return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerByte(a[i]) != lowerByte(b[i])) return false;
  return true;
}

ColKind kindOfDeclaredType(std::string_view declared) {
  const std::string t = lower(declared);
  auto has = [&](std::string_view part) { return t.find(part) != std::string::npos; };
  if (t.empty()) return ColKind::Unknown;
  if (has("int") || has("bit")) return ColKind::Int;
  if (has("date") || has("time")) return ColKind::Date;
  if (has("char") || has("text") || has("clob")) return ColKind::Text;
  if (has("money") || has("dec") || has("numeric") || has("real") || has("floa") || has("doub"))
    return ColKind::Numeric;
  return ColKind::Unknown;
}

void SchemaInfo::add(const std::string& table, const std::string& column, ColKind kind) {
  const std::string t = lower(table), c = lower(column);
  tables[t][c] = kind;
  auto [it, inserted] = anyTable.emplace(c, kind);
  if (!inserted && it->second != kind) it->second = ColKind::Unknown;
}

std::string datePart(std::string_view part) {
  const std::string p = lower(part);
  if (p == "yyyy" || p == "yy" || p == "year") return "yyyy";
  if (p == "q" || p == "qq" || p == "quarter") return "q";
  if (p == "m" || p == "mm" || p == "month") return "m";
  if (p == "d" || p == "dd" || p == "day") return "d";
  // Day of year and weekday add days and count day boundaries.
  if (p == "y" || p == "dy" || p == "dayofyear" || p == "w" || p == "dw" || p == "weekday")
    return "d";
  if (p == "ww" || p == "wk" || p == "week") return "ww";
  if (p == "hh" || p == "hour") return "h";
  if (p == "n" || p == "mi" || p == "minute") return "n";
  if (p == "s" || p == "ss" || p == "second") return "s";
  return "";
}

Parsed parse(std::string_view text, const SchemaInfo& schema, bool forUpdate) {
  std::vector<Node> flat = tokenize(text);
  int literals = 0;
  for (const Node& n : flat) literals += n.literal >= 0;
  // One statement: a ";" may only end the text.
  for (size_t i = 0; i < flat.size(); ++i) {
    if (flat[i].type != T::Semicolon) continue;
    for (size_t j = i + 1; j < flat.size(); ++j)
      if (flat[j].type != T::Semicolon)
        fail("每次只能执行一条 SQL 语句：分号之后的第二条语句被拒绝。");
    flat.resize(i);
    break;
  }
  if (flat.empty()) fail("命令文本为空。");
  size_t pos = 0;
  Parsed parsed;
  parsed.literals = literals;
  parsed.seq = nest(flat, pos, false);
  Seq& seq = parsed.seq;
  parsed.schemaChange =
      isWord(seq[0], "create") || isWord(seq[0], "alter") || isWord(seq[0], "drop");
  parsed.keepLiterals = parsed.schemaChange || isWord(seq[0], "pragma");
  Rewriter rewriter(schema);
  rewriter.collectTables(seq);
  rewriter.process(seq);
  if (forUpdate) parsed.rowid = Rewriter::addRowid(seq, parsed.baseTable);
  return parsed;
}

Translation Renderer::render(Parsed parsed) const {
  Translation result;
  result.schemaChange = parsed.schemaChange;
  result.rowid = parsed.rowid;
  result.baseTable = parsed.baseTable;
  Seq& seq = parsed.seq;
  adapt(parsed);
  if (parsed.keepLiterals) {
    callerSlots(seq, result.slots);
    result.slotLiterals.assign(result.slots.size(), -1);
  } else {
    parameterize(seq, result, false, clockAsValue());
  }
  // A literal is free when it only went into its own slot; any other (left in
  // the text, converted, dropped) is pinned.
  const int literals = parsed.literals;
  std::vector<bool> written(size_t(literals), false), slotted(size_t(literals), false);
  writtenLiterals(seq, written);
  for (int l : result.slotLiterals)
    if (l >= 0) slotted[size_t(l)] = true;
  for (int l = 0; l < literals; ++l)
    if (written[size_t(l)] || !slotted[size_t(l)]) result.pinned.push_back(l);
  result.sql.reserve(256);
  int params = 0;
  write(seq, result.sql, params);
  finish(parsed, result.sql);
  return result;
}

bool spacedFrom(const Node& prev, const Node& n) {
  return !(n.type == T::Comma || n.type == T::Dot || prev.type == T::Dot ||
           (n.type == T::Group && prev.type == T::Word));
}

std::vector<Seq> splitList(const Seq& kids) { return splitArgs(kids); }

void Renderer::write(const Seq& seq, std::string& out, int& params) const {
  for (size_t i = 0; i < seq.size(); ++i) {
    const Node& n = seq[i];
    if (i > 0 && spacedFrom(seq[i - 1], n)) out += ' ';
    switch (n.type) {
      case T::Quoted: quotedName(n.text, out); break;
      case T::Group:
        out += '(';
        write(n.kids, out, params);
        out += ')';
        break;
      case T::Param: param(++params, out); break;
      case T::Key: textKey(n, out, params); break;
      case T::RowKey: rowKey(n, out, params); break;
      default: out += n.text;
    }
  }
}

void Renderer::quotedName(const std::string& name, std::string& out) const {
  out += '"';
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

Seq syntaxTree(std::string_view text) {
  std::vector<Node> flat = tokenize(text);
  size_t pos = 0;
  return nest(flat, pos, false);
}

std::vector<std::string_view> splitStatements(std::string_view text) {
  std::vector<std::string_view> out;
  size_t start = 0;
  int tokens = 0;         // of the statement so far, counted up to two
  bool trigger = false;   // it starts "CREATE TRIGGER"
  std::string_view last;  // its last token
  scan(text, [&](const Token& t) {
    const std::string_view token = text.substr(t.begin, t.end - t.begin);
    if (t.type != T::Semicolon) {
      if (tokens < 2) {
        const std::string_view expected = ++tokens == 1 ? "create" : "trigger";
        trigger =
            (tokens == 1 || trigger) && t.type == T::Word && equalsIgnoreCase(token, expected);
      }
      last = token;
      return;
    }
    if (trigger && !equalsIgnoreCase(last, "end")) return;  // a statement of the body
    out.push_back(text.substr(start, t.begin - start));
    start = t.end;
    tokens = 0;
    trigger = false;
    last = {};
  });
  out.push_back(text.substr(start));
  std::erase_if(out, [](std::string_view s) { return s.find_first_not_of(" \t\r\n") == std::string_view::npos; });
  return out;
}

Translation translate(std::string_view text, const SchemaInfo& schema, bool forUpdate,
                      const Renderer& renderer) {
  return renderer.render(parse(text, schema, forUpdate));
}

bool literalSlot(std::string_view literal, Slot& slot) {
  if (literal.empty()) return false;
  if (literal.front() == '\'') {
    slot.kind = Slot::Text;
    slot.text = literalValue(literal);
    return true;
  }
  if (!isDecimalNumber(literal)) {
    slot.kind = Slot::Integer;
    const auto [end, error] =
        std::from_chars(literal.data(), literal.data() + literal.size(), slot.integer);
    return error == std::errc() && end == literal.data() + literal.size();
  }
  const std::string text(literal);
  char* end = nullptr;
  slot.kind = Slot::Real;
  slot.real = std::strtod(text.c_str(), &end);
  return end && *end == '\0';
}

Shape shapeOf(std::string_view text) {
  Shape shape;
  shape.key.reserve(text.size() + 1);
  // Bytes between literals as they are, marker bytes escaped, so that two
  // texts have one shape only when they differ in nothing but their literals.
  auto verbatim = [&](std::string_view part) {
    size_t from = 0;
    for (size_t i = 0; i < part.size(); ++i) {
      if (part[i] < '\1' || part[i] > '\4') continue;
      shape.key.append(part.data() + from, i - from);
      shape.key += '\4';
      from = i;
    }
    shape.key.append(part.data() + from, part.size() - from);
  };
  size_t pos = 0;
  scan(text, [&](const Token& t) {
    if (t.type != T::String && t.type != T::Number) return;
    verbatim(text.substr(pos, t.begin - pos));
    const std::string_view literal = text.substr(t.begin, t.end - t.begin);
    shape.key += t.type == T::String ? '\1' : isDecimalNumber(literal) ? '\3' : '\2';
    shape.literals.push_back(literal);
    pos = t.end;
  });
  verbatim(text.substr(pos));
  return shape;
}

}  // namespace zurvafun::db::detail

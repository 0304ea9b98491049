// PostgreSQL's rendering of the dialect's shared form, and of the schema.
//
// Text compares by the default collation (ASCII case and trailing blanks not
// significant) through the key zv_key(x): the rewrite marks every text
// operand of a comparison, of IN and BETWEEN and of ORDER BY, and each is
// written zv_key(operand). The schema's text columns are "C"-collated text, and
// an index on a text column is an index on its key, so that the planner
// matches it to the comparisons (zv_key is a SQL function, inlined on both
// sides). LIKE compares zv_fold(value) (folded, blanks kept) with the pattern
// made a regular expression; a pattern the statement passes as a value is
// converted when it is bound.
#include <algorithm>
#include <cctype>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "db/postgres/postgres.h"
#include "runtime/error.h"

namespace zurvafun::db::detail::postgres {

namespace {

bool isWord(const Node& n, std::string_view lw) {
  return n.type == T::Word && equalsIgnoreCase(n.text, lw);
}
bool isBoundary(const Node& n) {
  return n.type == T::Comma || n.type == T::Semicolon || (n.type == T::Word && n.keyword);
}
bool isComparison(const Node& n) {
  return n.type == T::Op && (n.text == "=" || n.text == "==" || n.text == "<>" || n.text == "!=" ||
                             n.text == "<" || n.text == "<=" || n.text == ">" || n.text == ">=");
}
Node word(std::string text) { return Node{T::Word, std::move(text), {}}; }
Node group(Seq kids) { return Node{T::Group, "(", std::move(kids)}; }

void writeName(std::string_view name, std::string& out) {
  out += '"';
  for (char c : name) {
    if (c == '"') out += '"';
    out += char(std::tolower(static_cast<unsigned char>(c)));
  }
  out += '"';
}

class PgRenderer final : public Renderer {
 public:
  explicit PgRenderer(const SchemaInfo& schema) : schema_(schema) {}

 protected:
  bool clockAsValue() const override { return true; }

  void adapt(Parsed& parsed) const override { adaptLevel(parsed.seq); }

  // Names are folded to lower case, as PostgreSQL folds the unquoted ones.
  void quotedName(const std::string& name, std::string& out) const override {
    writeName(name, out);
  }

  void param(int number, std::string& out) const override {
    out += '$';
    out += std::to_string(number);
  }

  void textKey(const Node& key, std::string& out, int& params) const override {
    out += "zv_key(";
    const Seq& kids = key.kids;
    const bool column = (kids.size() == 1 && (kids[0].type == T::Quoted ||
                                              (kids[0].type == T::Word && !kids[0].keyword))) ||
                        (kids.size() == 3 && kids[1].type == T::Dot);
    if (column) {
      write(kids, out, params);
    } else {
      out += "CAST(";
      write(kids, out, params);
      out += " AS text)";
    }
    out += ')';
  }

  void rowKey(const Node& key, std::string& out, int&) const override {
    auto it = schema_.keys.find(lowerAscii(key.text));
    if (it == schema_.keys.end()) {
      out += "CAST(NULL AS bigint)";
      return;
    }
    writeName(key.kids[0].text, out);
    out += '.';
    writeName(it->second, out);
  }

  // The rows an updatable recordset reads are locked until its write.
  void finish(const Parsed& parsed, std::string& out) const override {
    if (parsed.rowid) out += " FOR UPDATE";
  }

 private:
  void adaptLevel(Seq& seq) const {
    indexedConversions(seq);
    for (size_t i = 0; i < seq.size(); ++i) {
      Node& n = seq[i];
      if (n.type == T::Group || n.type == T::Key) adaptLevel(n.kids);
      if (n.type != T::Word || i + 1 >= seq.size() || seq[i + 1].type != T::Group) continue;
      if (isWord(n, "ifnull")) {
        n.text = "coalesce";
      } else if (isWord(n, "zv_toint")) {
        // zv_toint(zv_int(x)): the server's zv_toint takes the text itself.
        Seq& args = seq[i + 1].kids;
        if (args.size() == 2 && isWord(args[0], "zv_int") && args[1].type == T::Group) {
          Seq inner = std::move(args[1].kids);
          args = std::move(inner);
        }
      }
    }
    likes(seq);
    derivedTables(seq);
    nullOrder(seq);
  }

  // A conversion to int in a condition of a select from one table, on a text
  // of at most nine characters (zv_left(x, n), zv_substring(x, s, n), n <= 9)
  // whose values that do not convert the schema indexes (see oddValueIndexes):
  //   zv_toint(e) op v      ->  zv_int(e) op v
  // which the indexes on zv_int(e) serve, so that the select walks an index
  // in its order, tests the conditions there, and stops at its limit. On
  // such a text zv_int(e) and zv_toint(e) are the same number wherever the
  // text converts, and both NULL for NULL; only a text that does not convert
  // differs (zv_int gives NULL, zv_toint raises the conversion error). So
  // that it still raises, the select gains, for each such e,
  //   and not exists (select 1 from t where <the select's other conditions>
  //                   and e is not null and zv_int(e) is null and zv_toint(e) is not null)
  // which the server evaluates once: the rows in the select's scope whose e
  // does not convert (the partial index holds them) raise the error with
  // their value, as the select itself did.
  void indexedConversions(Seq& seq) const {
    if (seq.empty() || !isWord(seq[0], "select") || holdsParam(seq)) return;
    size_t from = 0;
    while (from < seq.size() && !isWord(seq[from], "from")) ++from;
    if (from + 1 >= seq.size()) return;
    const std::vector<Seq>* checked = oddValueIndexes(seq[from + 1].text);
    if (!checked) return;
    size_t where = from + 1;
    while (where < seq.size() && !isWord(seq[where], "where")) {
      const Node& n = seq[where];
      if (!(n.type == T::Quoted || (n.type == T::Word && !n.keyword) || isWord(n, "as"))) return;
      ++where;
    }
    if (where >= seq.size() || where == from + 1 || where - from > 4) return;
    size_t end = where + 1;
    while (end < seq.size() && seq[end].type != T::Semicolon &&
           !(seq[end].type == T::Word && isClauseEnd(seq[end])))
      ++end;
    // The conditions, split at each "and" of this level.
    std::vector<std::pair<size_t, size_t>> conditions;
    for (size_t b = where + 1, k = b; k <= end; ++k) {
      if (k < end && (isWord(seq[k], "or") || isWord(seq[k], "between") || isWord(seq[k], "case")))
        return;
      if (k == end || isWord(seq[k], "and")) {
        if (k == b) return;
        conditions.emplace_back(b, k);
        b = k + 1;
      }
    }
    std::vector<Seq> converted;
    std::vector<bool> rewritten(conditions.size(), false);
    for (size_t c = 0; c < conditions.size(); ++c) {
      const auto [b, e] = conditions[c];
      size_t op = e;
      for (size_t k = b; k < e; ++k) {
        if (!isComparison(seq[k])) continue;
        if (op != e) return;
        op = k;
      }
      if (op == e) continue;
      size_t call = op + 1 + 2 == e ? op + 1 : op == b + 2 ? b : e;
      if (call == e || !isWord(seq[call], "zv_toint") || seq[call + 1].type != T::Group) continue;
      Seq& args = seq[call + 1].kids;
      if (!(args.size() == 2 && isWord(args[0], "zv_int") && args[1].type == T::Group &&
            shortText(args[1].kids) &&
            std::any_of(checked->begin(), checked->end(),
                        [&](const Seq& index) { return sameTokens(index, args[1].kids); })))
        continue;
      Seq operand = args[1].kids;
      seq[call].text = "zv_int";
      args = std::move(operand);
      rewritten[c] = true;
      if (std::none_of(converted.begin(), converted.end(),
                       [&](const Seq& s) { return sameTokens(s, args); }))
        converted.push_back(args);
    }
    if (converted.empty()) return;
    Seq guards;
    for (const Seq& e : converted) {
      Seq sub = {keyword("select"), Node{T::Number, "1", {}}, keyword("from")};
      sub.insert(sub.end(), seq.begin() + long(from) + 1, seq.begin() + long(where));
      sub.push_back(keyword("where"));
      for (size_t c = 0; c < conditions.size(); ++c) {
        if (rewritten[c]) continue;
        sub.insert(sub.end(), seq.begin() + long(conditions[c].first),
                   seq.begin() + long(conditions[c].second));
        sub.push_back(keyword("and"));
      }
      sub.insert(sub.end(), e.begin(), e.end());
      sub.insert(sub.end(),
                 {keyword("is"), keyword("not"), word("null"), keyword("and"), word("zv_int"),
                  group(e), keyword("is"), word("null"), keyword("and"), word("zv_toint"), group(e),
                  keyword("is"), keyword("not"), word("null")});
      guards.insert(guards.end(),
                    {keyword("and"), keyword("not"), keyword("exists"), group(std::move(sub))});
    }
    seq.insert(seq.begin() + long(end), std::make_move_iterator(guards.begin()),
               std::make_move_iterator(guards.end()));
  }

  static Node keyword(std::string text) {
    Node n = word(std::move(text));
    n.keyword = true;
    return n;
  }
  static bool isClauseEnd(const Node& n) {
    for (const char* w :
         {"order", "group", "having", "limit", "offset", "union", "except", "intersect", "for"})
      if (isWord(n, w)) return true;
    return false;
  }
  // A caller's "?" is bound once: a statement holding one is left as it is.
  static bool holdsParam(const Seq& seq) {
    return std::any_of(seq.begin(), seq.end(), [](const Node& n) {
      return n.type == T::Param || ((n.type == T::Group || n.type == T::Key) && holdsParam(n.kids));
    });
  }
  // zv_left(x, n) or zv_substring(x, s, n) with n a number of 0 to 9: a text
  // that, where it converts to int, converts within zv_int's nine digits.
  static bool shortText(const Seq& e) {
    if (e.size() != 2 || e[1].type != T::Group) return false;
    const std::vector<Seq> args = splitList(e[1].kids);
    const size_t count = isWord(e[0], "zv_left") ? 2 : isWord(e[0], "zv_substring") ? 3 : 0;
    if (count == 0 || args.size() != count) return false;
    const Seq& n = args.back();
    return n.size() == 1 && n[0].type == T::Number && n[0].text.size() == 1 &&
           n[0].text[0] >= '0' && n[0].text[0] <= '9';
  }
  // The same expression (names and words in any case).
  static bool sameTokens(const Seq& a, const Seq& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      const bool sameText = a[i].type == T::Word || a[i].type == T::Quoted
                                ? equalsIgnoreCase(a[i].text, b[i].text)
                                : a[i].text == b[i].text;
      if (a[i].type != b[i].type || !sameText || !sameTokens(a[i].kids, b[i].kids)) return false;
    }
    return true;
  }

  // The texts e of table `table` whose values that do not convert to int the
  // schema indexes, by a partial index
  //   CREATE INDEX … ON table (…) WHERE e IS NOT NULL AND zv_int(e) IS NULL
  // (null when there is none). Read from the installation's schema, once a
  // thread while it stays the same.
  static const std::vector<Seq>* oddValueIndexes(const std::string& table) {
    thread_local std::string schemaSql;
    thread_local std::unordered_map<std::string, std::vector<Seq>> byTable;
    const std::string& sql = config().schema.sql;
    if (sql != schemaSql) {
      schemaSql = sql;
      byTable.clear();
      for (std::string_view statement : splitStatements(sql)) {
        const Seq s = syntaxTree(statement);
        size_t on = 0, where = 0;
        while (on < s.size() && !isWord(s[on], "on")) ++on;
        while (where < s.size() && !isWord(s[where], "where")) ++where;
        if (s.size() < 2 || !isWord(s[0], "create") || !isWord(s[1], "index") || on + 1 >= where ||
            where >= s.size())
          continue;
        const Seq predicate(s.begin() + long(where) + 1, s.end());
        // e IS NOT NULL AND zv_int ( e ) IS NULL
        if (predicate.size() <= 8) continue;
        const size_t len = predicate.size() - 8;
        const Seq e(predicate.begin(), predicate.begin() + long(len));
        if (isWord(predicate[len], "is") && isWord(predicate[len + 1], "not") &&
            isWord(predicate[len + 2], "null") && isWord(predicate[len + 3], "and") &&
            isWord(predicate[len + 4], "zv_int") && predicate[len + 5].type == T::Group &&
            sameTokens(predicate[len + 5].kids, e) && isWord(predicate[len + 6], "is") &&
            isWord(predicate[len + 7], "null"))
          byTable[lowerAscii(s[on + 1].text)].push_back(e);
      }
    }
    auto it = byTable.find(lowerAscii(table));
    return it == byTable.end() ? nullptr : &it->second;
  }

  // A subquery in FROM needs a name here.
  void derivedTables(Seq& seq) const {
    for (size_t i = 0; i + 1 < seq.size(); ++i) {
      if (!(isWord(seq[i], "from") || isWord(seq[i], "join") || seq[i].type == T::Comma)) continue;
      const Node& g = seq[i + 1];
      if (g.type != T::Group || g.kids.empty() || !isWord(g.kids[0], "select")) continue;
      const bool named =
          i + 2 < seq.size() && (isWord(seq[i + 2], "as") || seq[i + 2].type == T::Quoted ||
                                 (seq[i + 2].type == T::Word && !seq[i + 2].keyword));
      if (named) continue;
      seq.insert(seq.begin() + long(i) + 2, word("zv_derived" + std::to_string(++derived_)));
    }
  }

  // NULL sorts lowest: first ascending, last descending (the schema's
  // indexes are declared so). A row key holds no NULL: it keeps the server's
  // order, which its primary key index serves.
  void nullOrder(Seq& seq) const {
    for (size_t i = 0; i + 1 < seq.size(); ++i) {
      if (!isWord(seq[i], "order") || !isWord(seq[i + 1], "by")) continue;
      size_t start = i + 2;
      for (size_t j = start; j <= seq.size(); ++j) {
        const bool last = j == seq.size() || isWord(seq[j], "limit") || isWord(seq[j], "offset") ||
                          isWord(seq[j], "for") || seq[j].type == T::Semicolon;
        if (!last && seq[j].type != T::Comma) continue;
        const bool desc = j > start && isWord(seq[j - 1], "desc");
        const size_t itemEnd = desc || (j > start && isWord(seq[j - 1], "asc")) ? j - 1 : j;
        if (!isRowKey(seq, start, itemEnd)) {
          seq.insert(seq.begin() + long(j), {word("NULLS"), word(desc ? "LAST" : "FIRST")});
          j += 2;
        }
        if (last) break;
        start = j + 1;
      }
      return;
    }
  }

  // Whether seq[b, e) names the row key column of a table of the schema.
  bool isRowKey(const Seq& seq, size_t b, size_t e) const {
    const Node* name = e == b + 1                                ? &seq[b]
                       : e == b + 3 && seq[b + 1].type == T::Dot ? &seq[b + 2]
                                                                 : nullptr;
    if (!name || !(name->type == T::Quoted || (name->type == T::Word && !name->keyword)))
      return false;
    for (const auto& [table, key] : schema_.keys)
      if (equalsIgnoreCase(key, name->text)) return true;
    return false;
  }

  // value [NOT] LIKE pattern  ->  zv_fold(value) [!]~ regex
  static void likes(Seq& seq) {
    for (size_t k = 1; k < seq.size(); ++k) {
      if (!isWord(seq[k], "like")) continue;
      const bool negated = isWord(seq[k - 1], "not");
      const size_t e = negated ? k - 1 : k;
      size_t b = e;
      while (b > 0 && !isBoundary(seq[b - 1]) && !isComparison(seq[b - 1])) --b;
      size_t end = k + 1;
      while (end < seq.size() && !isBoundary(seq[end])) ++end;
      if (b == e || end == k + 1) continue;
      if (end < seq.size() && isWord(seq[end], "escape"))
        raise(dberr::CommandError, "不支持 LIKE … ESCAPE。");
      Seq value(std::make_move_iterator(seq.begin() + long(b)),
                std::make_move_iterator(seq.begin() + long(e)));
      Seq pattern(std::make_move_iterator(seq.begin() + long(k) + 1),
                  std::make_move_iterator(seq.begin() + long(end)));
      Seq out;
      out.push_back(word("zv_fold"));
      Seq cast = {word("CAST"), group({})};
      cast[1].kids = std::move(value);
      cast[1].kids.push_back(word("AS"));
      cast[1].kids.push_back(word("text"));
      out.push_back(group(std::move(cast)));
      out.push_back(Node{T::Op, negated ? "!~" : "~", {}});
      if (pattern.size() == 1 && (pattern[0].type == T::String || pattern[0].type == T::Param)) {
        pattern[0].likePattern = true;
        out.push_back(std::move(pattern[0]));
      } else {
        out.push_back(word("zv_likeregex"));
        out.push_back(group(std::move(pattern)));
      }
      seq.erase(seq.begin() + long(b), seq.begin() + long(end));
      seq.insert(seq.begin() + long(b), std::make_move_iterator(out.begin()),
                 std::make_move_iterator(out.end()));
      k = b + out.size() - 1;
    }
  }

  const SchemaInfo& schema_;
  mutable int derived_ = 0;
};

// ---------------------------------------------------------------- the schema

// The tokens as they stand, names folded.
void writeTokens(const Seq& seq, std::string& out) {
  for (size_t i = 0; i < seq.size(); ++i) {
    const Node& n = seq[i];
    if (i > 0 && spacedFrom(seq[i - 1], n)) out += ' ';
    switch (n.type) {
      case T::Quoted: writeName(n.text, out); break;
      case T::Group:
        out += '(';
        writeTokens(n.kids, out);
        out += ')';
        break;
      case T::Word:
        if (isWord(n, "ifnull"))
          out += "coalesce";
        else if (isWord(n, "getdate") || isWord(n, "zv_getdate"))
          out += "LOCALTIMESTAMP";
        else
          out += n.text;
        break;
      default: out += n.text;
    }
  }
}

// The PostgreSQL type of a declared type, with its kind.
std::string columnType(const std::string& declared, const Node* args, ColKind& kind) {
  const std::string t = lowerAscii(declared);
  kind = kindOfDeclaredType(t);
  if (t == "bit") return "zv_bit";
  if (t == "bigint") return "bigint";
  if (t == "smallint" || t == "tinyint") return "smallint";
  if (t.find("int") != std::string::npos) return "integer";
  if (t == "money" || t == "smallmoney") return "numeric";
  if (t == "decimal" || t == "numeric") {
    std::string out = "numeric";
    if (args)
      writeTokens({*args}, out);
    else
      out += "(19,4)";
    return out;
  }
  if (t == "real" || t == "float" || t == "double") return "double precision";
  if (kind == ColKind::Date) return "timestamp(0)";
  return "text COLLATE \"C\"";
}

std::string quoted(std::string_view name) {
  std::string out;
  writeName(name, out);
  return out;
}

// The trigger of the embedded file's
//   CREATE TRIGGER [IF NOT EXISTS] name AFTER event [OF columns] ON table
//   [FOR EACH ROW] [WHEN condition] BEGIN statements END
// as a PL/pgSQL function of the statements and a row trigger that runs it.
// In the condition "a IS NOT b" is IS DISTINCT FROM and "a IS b" IS NOT
// DISTINCT FROM, as the file compares any two values with them; a collation
// named there is dropped (text columns compare byte by byte already).
void renderTrigger(const Seq& seq, std::vector<SchemaStatement>& out) {
  size_t i = 2;
  if (i + 2 < seq.size() && isWord(seq[i], "if") && isWord(seq[i + 1], "not") &&
      isWord(seq[i + 2], "exists"))
    i += 3;
  const auto find = [&](size_t from, std::string_view w) {
    while (from < seq.size() && !isWord(seq[from], w)) ++from;
    return from;
  };
  const size_t on = find(i, "on"), begin = find(on, "begin");
  size_t end = seq.size();
  while (end > begin && !isWord(seq[end - 1], "end")) --end;
  if (i + 1 >= on || on + 1 >= begin || end <= begin)
    raise(dberr::CommandError, "CREATE TRIGGER 语句不完整。");
  const std::string name = seq[i].text, fn = quoted("zv_trigger_" + lowerAscii(name));

  std::string body;
  Seq statement;
  for (size_t k = begin + 1; k < end - 1; ++k) {
    if (seq[k].type != T::Semicolon) {
      statement.push_back(seq[k]);
      continue;
    }
    writeTokens(statement, body);
    body += ";\n";
    statement.clear();
  }
  out.push_back({"CREATE OR REPLACE FUNCTION " + fn +
                     "() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN\n" + body +
                     "RETURN NULL;\nEND $f$",
                 true});

  std::string trigger = "CREATE OR REPLACE TRIGGER " + quoted(name) + " ";
  writeTokens(Seq(seq.begin() + long(i) + 1, seq.begin() + long(on)), trigger);
  trigger += " ON " + quoted(seq[on + 1].text) + " FOR EACH ROW";
  const size_t when = find(on, "when");
  if (when < begin) {
    Seq condition;
    for (size_t k = when + 1; k < begin; ++k) {
      if (isWord(seq[k], "collate")) {
        ++k;
      } else if (isWord(seq[k], "is") && k + 1 < begin && !isWord(seq[k + 1], "null")) {
        const bool negated = isWord(seq[k + 1], "not");
        if (negated && k + 2 < begin && isWord(seq[k + 2], "null")) {
          condition.push_back(seq[k]);
          continue;
        }
        for (const char* w : {"IS", negated ? "" : "NOT", "DISTINCT", "FROM"})
          if (*w) condition.push_back(word(w));
        if (negated) ++k;
      } else {
        condition.push_back(seq[k]);
      }
    }
    trigger += " WHEN (";
    writeTokens(condition, trigger);
    trigger += ")";
  }
  out.push_back({trigger + " EXECUTE FUNCTION " + fn + "()", true});
}

}  // namespace

Translation render(std::string_view text, const SchemaInfo& schema, bool forUpdate) {
  return translate(text, schema, forUpdate, PgRenderer(schema));
}

std::vector<SchemaStatement> renderSchema(std::string_view script, const SchemaInfo& schema) {
  std::vector<SchemaStatement> out;
  // Text columns of the tables the script declares, for its indexes.
  std::unordered_map<std::string, std::unordered_set<std::string>> textColumns;
  // The row key of each table the script declares: the statements sort by it
  // without NULLS FIRST/LAST (it holds no NULL), so its index items are the
  // server's default order, which a scan either way serves.
  std::unordered_map<std::string, std::string> rowKeys = schema.keys;
  for (const auto& [table, columns] : schema.tables)
    for (const auto& [column, kind] : columns)
      if (kind == ColKind::Text) textColumns[table].insert(column);

  for (std::string_view statement : splitStatements(script)) {
    Seq seq = syntaxTree(statement);
    if (seq.size() < 3 || !isWord(seq[0], "create")) {
      out.push_back({std::string(statement), false});
      continue;
    }
    if (isWord(seq[1], "trigger")) {
      renderTrigger(seq, out);
      continue;
    }
    size_t i = 1;
    const bool unique = isWord(seq[i], "unique");
    if (unique) ++i;
    const bool table = isWord(seq[i], "table"), index = isWord(seq[i], "index");
    if (!table && !index) {
      out.push_back({std::string(statement), false});
      continue;
    }
    ++i;
    std::string ifNotExists;
    if (i + 2 < seq.size() && isWord(seq[i], "if") && isWord(seq[i + 1], "not") &&
        isWord(seq[i + 2], "exists")) {
      ifNotExists = "IF NOT EXISTS ";
      i += 3;
    }
    if (i >= seq.size()) raise(dberr::CommandError, "CREATE 语句不完整。");
    const std::string name = seq[i].text;
    ++i;
    if (table) {
      if (i >= seq.size() || seq[i].type != T::Group)
        raise(dberr::CommandError, "CREATE TABLE 缺少列。");
      const std::string t = quoted(name), lname = lowerAscii(name);
      std::string columns, key, pre, post;
      for (const Seq& def : splitList(seq[i].kids)) {
        if (def.empty()) continue;
        if (!columns.empty()) columns += ", ";
        static const char* kConstraints[] = {"primary", "unique", "constraint", "check", "foreign"};
        if (std::any_of(std::begin(kConstraints), std::end(kConstraints),
                        [&](const char* w) { return isWord(def[0], w); })) {
          writeTokens(def, columns);
          continue;
        }
        const std::string column = def[0].text;
        size_t j = 1;
        std::string declared =
            j < def.size() && def[j].type == T::Word && !isWord(def[j], "primary") ? def[j++].text
                                                                                   : "";
        const Node* args = j < def.size() && def[j].type == T::Group ? &def[j++] : nullptr;
        ColKind kind = ColKind::Unknown;
        const std::string type = columnType(declared, args, kind);
        if (kind == ColKind::Text || type.find("text") == 0)
          textColumns[lname].insert(lowerAscii(column));
        bool primary = false;
        std::string rest;
        for (; j < def.size(); ++j) {
          if (isWord(def[j], "primary") && j + 1 < def.size() && isWord(def[j + 1], "key")) {
            primary = true;
            ++j;
            if (j + 1 < def.size() && (isWord(def[j + 1], "asc") || isWord(def[j + 1], "desc")))
              ++j;
          } else if (isWord(def[j], "virtual") || isWord(def[j], "stored")) {
            rest += " STORED";  // the server keeps every generated column in the row
          } else if (isWord(def[j], "autoincrement")) {
          } else if (isWord(def[j], "collate") && j + 1 < def.size()) {
            ++j;  // the collation of text is the type's
          } else if (isWord(def[j], "default") && j + 1 < def.size()) {
            rest += " DEFAULT ";
            writeTokens({def[j + 1]}, rest);
            ++j;
            if (def[j].type == T::Word && j + 1 < def.size() && def[j + 1].type == T::Group) {
              writeTokens({def[j + 1]}, rest);
              ++j;
            }
          } else {
            rest += ' ';
            writeTokens({def[j]}, rest);
          }
        }
        if (primary) rowKeys[lname] = lowerAscii(column);
        if (primary && (type == "integer" || type == "bigint")) {
          // The row key is an identity column that also follows the values
          // given to it explicitly, as the file's row numbers do.
          const std::string seqName = quoted(lname + "_zvid");
          key = column;
          pre = "CREATE SEQUENCE " + ifNotExists + seqName;
          columns += quoted(column) + " " + type + " NOT NULL DEFAULT nextval('" + seqName +
                     "') PRIMARY KEY" + rest;
          const std::string fn = quoted("zv_ids_" + lname), k = quoted(column);
          post = "CREATE OR REPLACE FUNCTION " + fn +
                 "() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW." + k +
                 " >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM " +
                 seqName + ") THEN PERFORM setval('" + seqName + "', NEW." + k +
                 "); END IF; RETURN NULL; END $f$;\n" +
                 "CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON " + t +
                 " FOR EACH ROW EXECUTE FUNCTION " + fn + "();\nALTER SEQUENCE " + seqName +
                 " OWNED BY " + t + "." + k;
        } else {
          columns += quoted(column) + " " + type + (primary ? " PRIMARY KEY" : "") + rest;
        }
      }
      if (!pre.empty()) out.push_back({pre, true});
      out.push_back({"CREATE TABLE " + ifNotExists + t + " (" + columns + ")", true});
      if (!post.empty()) out.push_back({post, true});
      continue;
    }
    // CREATE INDEX name ON table (items)
    if (i + 1 >= seq.size() || !isWord(seq[i], "on"))
      raise(dberr::CommandError, "CREATE INDEX 语句不完整。");
    const std::string tableName = seq[i + 1].text;
    if (i + 2 >= seq.size() || seq[i + 2].type != T::Group)
      raise(dberr::CommandError, "CREATE INDEX 缺少列。");
    const auto& texts = textColumns[lowerAscii(tableName)];
    std::string items;
    for (Seq item : splitList(seq[i + 2].kids)) {
      std::string order;
      if (!item.empty() && (isWord(item.back(), "asc") || isWord(item.back(), "desc"))) {
        order = " " + item.back().text;
        item.pop_back();
      }
      if (item.size() >= 3 && isWord(item[item.size() - 2], "collate"))
        item.resize(item.size() - 2);
      if (!items.empty()) items += ", ";
      std::string expr;
      writeTokens(item, expr);
      const bool textColumn = item.size() == 1 &&
                              (item[0].type == T::Word || item[0].type == T::Quoted) &&
                              texts.count(lowerAscii(item[0].text));
      items += textColumn ? "zv_key(" + expr + ")" : item.size() == 1 ? expr : "(" + expr + ")";
      const auto key = rowKeys.find(lowerAscii(tableName));
      if (key != rowKeys.end() && item.size() == 1 && equalsIgnoreCase(item[0].text, key->second)) {
        items += order;
        continue;
      }
      // NULL lowest, as the statements sort (see nullOrder).
      items += order + (equalsIgnoreCase(order, " desc") ? " NULLS LAST" : " NULLS FIRST");
    }
    // A partial index: its condition as written.
    std::string partial;
    if (i + 3 < seq.size() && isWord(seq[i + 3], "where")) {
      partial = " WHERE ";
      writeTokens(Seq(seq.begin() + long(i) + 4, seq.end()), partial);
    }
    out.push_back({std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + ifNotExists +
                       quoted(name) + " ON " + quoted(tableName) + " (" + items + ")" + partial,
                   true});
  }
  return out;
}

std::string likeRegex(std::string_view p) {
  std::string out = "^";
  for (size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    if (c == '%') {
      out += ".*";
    } else if (c == '_') {
      out += '.';
    } else if (c == '[' && p.find(']', i + 2) != std::string_view::npos) {
      const size_t close = p.find(']', i + 2);
      out += '[';
      for (size_t k = i + 1; k < close; ++k) {
        const char s = char(std::tolower(static_cast<unsigned char>(p[k])));
        if (s == '\\' || s == '[') out += '\\';
        out += s;
      }
      out += ']';
      i = close;
    } else if (std::string_view(".^$*+?()[]{}|\\-").find(c) != std::string_view::npos) {
      out += '\\';
      out += c;
    } else {
      out += char(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return out + " *$";
}

std::string renderColumn(std::string_view table, std::string_view column,
                         std::string_view declaration) {
  // Rendered as the only column of a table, and taken from its list.
  const std::vector<SchemaStatement> rendered =
      renderSchema("CREATE TABLE " + std::string(table) + " (" + std::string(column) + " " +
                       std::string(declaration) + ")",
                   {});
  const std::string& sql = rendered.back().sql;
  const size_t open = sql.find('(');
  return sql.substr(open + 1, sql.size() - open - 2);
}

}  // namespace zurvafun::db::detail::postgres

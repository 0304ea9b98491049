// A select split for reading by pages (see PagedText in db/internal.h): the
// words of the statement's own level are found by a scan that passes over
// literals, [names], "names", comments and parenthesised parts, so the count
// and page statements are the statement's own text around its FROM and
// ORDER BY.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "db/internal.h"

namespace zurvafun::db::detail {

namespace {

struct Word {
  std::string text;  // lower case
  std::size_t begin, end;
};

bool wordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@' || c == '#' ||
         c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

// The words, numbers and commas outside parentheses, literals, names and
// comments; false when the text holds a ";" there or does not close what it
// opens.
bool topLevelWords(std::string_view sql, std::vector<Word>& words) {
  int depth = 0;
  std::size_t i = 0;
  auto skipTo = [&](std::string_view close) {
    const std::size_t at = sql.find(close, i);
    if (at == std::string_view::npos) return false;
    i = at + close.size();
    return true;
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'') {
      // 'it''s': a doubled quote stays inside the literal.
      for (++i;; ++i) {
        if (i >= sql.size()) return false;
        if (sql[i] == '\'') {
          if (i + 1 < sql.size() && sql[i + 1] == '\'')
            ++i;
          else
            break;
        }
      }
      ++i;
    } else if (c == '[') {
      ++i;
      if (!skipTo("]")) return false;
    } else if (c == '"') {
      ++i;
      if (!skipTo("\"")) return false;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const std::size_t at = sql.find('\n', i);
      i = at == std::string_view::npos ? sql.size() : at + 1;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      i += 2;
      if (!skipTo("*/")) return false;
    } else if (c == '(') {
      ++depth;
      ++i;
    } else if (c == ')') {
      if (--depth < 0) return false;
      ++i;
    } else if (c == ';') {
      return false;
    } else if (c == ',') {
      if (depth == 0) words.push_back({",", i, i + 1});
      ++i;
    } else if (wordChar(c)) {
      const std::size_t begin = i;
      while (i < sql.size() && wordChar(sql[i])) ++i;
      if (depth == 0) words.push_back({lowerAscii(sql.substr(begin, i - begin)), begin, i});
    } else {
      ++i;
    }
  }
  return depth == 0;
}

bool isNumber(const std::string& s) {
  return !s.empty() && s.size() <= 9 &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The statement's text from `from` on with every item of its ORDER BY (the
// words from `first` on) in the other direction: ASC and DESC swapped, an
// item without either made DESC; "" when an item has no word of its own (a
// parenthesised one) or a comment follows the last word.
std::string reversedOrder(std::string_view sql, std::size_t from, const std::vector<Word>& words,
                          std::size_t first) {
  std::string out;
  std::size_t copied = from;
  for (std::size_t w = first;; ++w) {
    if (w >= words.size() || words[w].text == ",") return "";
    std::size_t last = w;
    while (last + 1 < words.size() && words[last + 1].text != ",") ++last;
    const Word& word = words[last];
    if (word.text == "asc" || word.text == "desc") {
      out += sql.substr(copied, word.begin - copied);
      out += word.text == "asc" ? "desc" : "asc";
      copied = word.end;
    } else {
      // The item ends at the comma after it, or with the text.
      const std::size_t end = last + 1 < words.size() ? words[last + 1].begin : sql.size();
      const std::string_view tail = sql.substr(word.end, end - word.end);
      if (tail.find("--") != std::string_view::npos || tail.find("/*") != std::string_view::npos)
        return "";
      out += sql.substr(copied, end - copied);
      out += " desc";
      copied = end;
    }
    if (last + 1 >= words.size()) break;
    w = last + 1;  // the comma
  }
  out += sql.substr(copied);
  return out;
}

}  // namespace

std::optional<PagedText> pagedText(std::string_view sql) {
  std::vector<Word> words;
  if (!topLevelWords(sql, words) || words.size() < 3 || words[0].text != "select")
    return std::nullopt;
  PagedText t;
  std::size_t listBegin = words[0].end, next = 1;
  if (words[1].text == "top") {
    if (!isNumber(words[2].text) ||
        words[2].begin != sql.find_first_not_of(" \t\r\n", words[1].end))
      return std::nullopt;
    t.top = std::strtol(words[2].text.c_str(), nullptr, 10);
    listBegin = words[2].end;
    next = 3;
  }
  std::size_t from = std::string_view::npos, order = std::string_view::npos, orderWord = 0;
  for (std::size_t w = next; w < words.size(); ++w) {
    const std::string& s = words[w].text;
    // A count or a window of these is not a count or window of the rows.
    if (s == "distinct" || s == "all" || s == "top" || s == "group" || s == "having" ||
        s == "union" || s == "except" || s == "intersect" || s == "into" || s == "for" ||
        s == "limit" || s == "offset" || s == "compute" || s == "select")
      return std::nullopt;
    if (s == "from" && from == std::string_view::npos) from = words[w].begin;
    if (s == "order" && w + 1 < words.size() && words[w + 1].text == "by") {
      order = words[w].begin;
      orderWord = w;
    }
  }
  if (from == std::string_view::npos || (order != std::string_view::npos && order < from))
    return std::nullopt;
  // "from T" followed by nothing but its conditions and order: the rows are
  // those of T, each once, which a statement on T by row key reads again.
  const auto blank = [&](std::size_t begin, std::size_t end) {
    const std::size_t at = sql.find_first_not_of(" \t\r\n", begin);
    return at == std::string_view::npos || at >= end;
  };
  std::size_t fromWord = next;
  while (words[fromWord].begin != from) ++fromWord;
  if (fromWord + 1 < words.size()) {
    const Word& name = words[fromWord + 1];
    const bool last = fromWord + 2 == words.size();
    const std::size_t after = last ? sql.size() : words[fromWord + 2].begin;
    if (std::isalpha(static_cast<unsigned char>(name.text[0])) && name.text != "where" &&
        name.text != "order" && blank(words[fromWord].end, name.begin) && blank(name.end, after) &&
        (last || words[fromWord + 2].text == "where" || words[fromWord + 2].text == "order"))
      t.table = std::string(sql.substr(name.begin, name.end - name.begin));
  }
  t.list = std::string(sql.substr(listBegin, from - listBegin));
  t.body = std::string(sql.substr(from));
  t.ordered = order != std::string_view::npos;
  const std::string rows(
      sql.substr(from, order == std::string_view::npos ? std::string_view::npos : order - from));
  // A TOP keeps its order in the count, so that the count walks the rows as
  // the statement does (the order's index) and stops where the statement stops.
  t.count = t.top < 0 ? "select count(*) " + rows
                      : "select count(*) from (select top " + std::to_string(t.top) +
                            " 1 as zv_one " + t.body + ") zv_counted";
  if (order != std::string_view::npos && t.top < 0)
    t.reversedBody = reversedOrder(sql, from, words, orderWord + 2);
  return t;
}

long PagedText::rowsFrom(long first, long rows) const {
  if (top >= 0 && top - first < rows) return top - first > 0 ? top - first : 0;
  return rows;
}

std::string PagedText::page(long first, long rows) const {
  return "select " + list + " " + body + " limit " + std::to_string(rowsFrom(first, rows)) +
         " offset " + std::to_string(first);
}

std::string PagedText::reversedPage(long fromEnd, long rows) const {
  return "select " + list + " " + reversedBody + " limit " + std::to_string(rows) + " offset " +
         std::to_string(fromEnd);
}

std::string PagedText::keyedPage(long first, long rows) const {
  std::string out = "select " + list + " from " + table + " where " + keyColumn + " in (";
  for (long k = first; k < first + rows; ++k) {
    if (k > first) out += ',';
    out += std::to_string(keys[std::size_t(k)]);
  }
  return out + ")";
}

}  // namespace zurvafun::db::detail

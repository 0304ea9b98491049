// Statement text, built so that a value can enter it only in a safe form:
// as a converted number, or as text between quotes with every quote doubled.
//
//   sql::statement("select emoney from zurva_user where userid={}", sql::lng(cookieUserid))
//   sql::statement("select userid from zurva_user where nickname='{}'", sql::text(nickname))
//
// The statements keep the exact text of the SQL Server dialect the database
// layer reads (its comparison rules depend on the literals, so values are not
// bound as parameters). What the compiler checks in the format text:
//   - one "{}" per value, no more and no fewer;
//   - sql::text values stand inside a quoted literal ('{}', '%{}%');
//   - a Statement or a StoredCondition pasted into another stands outside
//     every literal.
// A value of any other type (a raw std::string or Variant) does not compile.
// Text enters a statement whole only as a literal of the source
// (sql::verbatim), as a search condition the component kept
// (sql::StoredCondition), or as the name of a member column of the column
// table (sql::ColumnName).
#pragma once

#include <fmt/format.h>

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "runtime/variant.h"

namespace zurvafun::member {
struct Column;
}

namespace zurvafun::sql {

// A number converted from a value; text that is not a number raises the
// conversion's run-time error before any statement is built.
struct Number {
  std::string text;
};
// A 32-bit whole number (CLng: member numbers, ids, counts).
Number lng(const Variant& value);
// A 16-bit whole number (CInt), where the statement takes one.
Number int16(const Variant& value);
// A money amount (CCur, exact to four decimals).
Number money(const Variant& value);

// Text for the inside of a quoted literal, every ' doubled (Null and Empty give "").
struct Quoted {
  std::string text;
};
Quoted text(const Variant& value);
Quoted text(std::string_view value);
inline Quoted text(const char* value) { return text(std::string_view(value)); }
inline Quoted text(const std::string& value) { return text(std::string_view(value)); }

// Text that a LIKE pattern matches as itself: the wildcards % and _ and the
// bracket [ are put in brackets. Put it in a pattern through sql::text.
std::string likeLiteral(std::string_view text);

// Text the compiler saw as a constant: a string literal, or a constexpr text
// of the source. Text made at run time does not compile.
class Literal {
 public:
  template <class S>
  requires std::convertible_to<const S&, std::string_view>
  consteval Literal(const S& text) : text_(text) {}
  std::string_view text() const { return text_; }

 private:
  std::string_view text_;
};

// A search condition that the component built through statement() and kept
// as text between two requests (the session value "iwhere", the quick
// search's condition): the one text made at run time that enters a
// statement whole. Only the search lists read one back.
class StoredCondition {
 public:
  explicit StoredCondition(std::string text) : text_(std::move(text)) {}
  const std::string& str() const { return text_; }

 private:
  std::string text_;
};

// The name of a column of the member table as the table of its columns
// (model/member_columns.h) spells it: text of the source that stands outside
// every literal, for a statement over columns chosen at run time.
class ColumnName {
 public:
  explicit ColumnName(const member::Column& column);
  std::string_view text() const { return text_; }

 private:
  std::string_view text_;
};

class Statement;

template <class T>
concept Value = std::same_as<T, Number> || std::same_as<T, Quoted> || std::same_as<T, Statement> ||
    std::same_as<T, StoredCondition> || std::same_as<T, ColumnName> ||
    (std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char>);

template <class... Args>
class Format {
 public:
  template <class S>
    requires std::convertible_to<const S&, std::string_view>
  consteval Format(const S& text) : text_(text) {
    [[maybe_unused]] const fmt::format_string<Args...> checkedByFmt(text);
    check(text_);
  }
  std::string_view text() const { return text_; }

 private:
  consteval void check(std::string_view text) {
    constexpr bool isText[] = {std::same_as<std::remove_cvref_t<Args>, Quoted>..., false};
    constexpr bool isStatement[] = {(std::same_as<std::remove_cvref_t<Args>, Statement> ||
                                     std::same_as<std::remove_cvref_t<Args>, StoredCondition> ||
                                     std::same_as<std::remove_cvref_t<Args>, ColumnName>)...,
                                    false};
    std::size_t values = 0;
    bool inLiteral = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '\'') {
        inLiteral = !inLiteral;
      } else if (c == '{') {
        if (i + 1 < text.size() && text[i + 1] == '{') {
          ++i;
          continue;
        }
        if (values == sizeof...(Args)) throw "more \"{}\" than values";
        if (isText[values] && !inLiteral) throw "sql::text outside a quoted literal";
        if (isStatement[values] && inLiteral) throw "a statement or a name inside a quoted literal";
        ++values;
      }
    }
    if (values != sizeof...(Args)) throw "fewer \"{}\" than values";
    if (inLiteral) throw "a quoted literal without its closing quote";
  }

  std::string_view text_;
};

class Statement {
 public:
  // The empty statement: nothing pasted.
  Statement() = default;
  const std::string& str() const { return text_; }
  operator std::string_view() const { return text_; }
  friend bool operator==(const Statement&, const Statement&) = default;

  // Appends another statement (conditions joined one after the other).
  Statement& operator+=(const Statement& more) {
    text_ += more.text_;
    return *this;
  }

  friend Statement verbatim(Literal text);
  template <Value... Args>
  friend Statement statement(Format<std::type_identity_t<Args>...> format, const Args&... values);

 private:
  explicit Statement(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

// A literal of the source as a statement or a part of one: a fixed column
// list, an order clause, a fixed condition.
Statement verbatim(Literal text);

template <Value... Args>
Statement statement(Format<std::type_identity_t<Args>...> format, const Args&... values) {
  return Statement(fmt::vformat(format.text(), fmt::make_format_args(values...)));
}

// Whole numbers separated by commas, for an "in (…)" list.
Statement numberList(const std::vector<std::int32_t>& numbers);

}  // namespace zurvafun::sql

template <>
struct fmt::formatter<zurvafun::sql::Number> : fmt::formatter<std::string_view> {
  auto format(const zurvafun::sql::Number& n, format_context& ctx) const {
    return fmt::formatter<std::string_view>::format(n.text, ctx);
  }
};
template <>
struct fmt::formatter<zurvafun::sql::Quoted> : fmt::formatter<std::string_view> {
  auto format(const zurvafun::sql::Quoted& q, format_context& ctx) const {
    return fmt::formatter<std::string_view>::format(q.text, ctx);
  }
};
template <>
struct fmt::formatter<zurvafun::sql::StoredCondition> : fmt::formatter<std::string_view> {
  auto format(const zurvafun::sql::StoredCondition& c, format_context& ctx) const {
    return fmt::formatter<std::string_view>::format(c.str(), ctx);
  }
};
template <>
struct fmt::formatter<zurvafun::sql::ColumnName> : fmt::formatter<std::string_view> {
  auto format(const zurvafun::sql::ColumnName& c, format_context& ctx) const {
    return fmt::formatter<std::string_view>::format(c.text(), ctx);
  }
};
template <>
struct fmt::formatter<zurvafun::sql::Statement> : fmt::formatter<std::string_view> {
  auto format(const zurvafun::sql::Statement& s, format_context& ctx) const {
    return fmt::formatter<std::string_view>::format(s.str(), ctx);
  }
};

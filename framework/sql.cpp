#include "framework/sql.h"

#include "framework/escape.h"
#include "model/member_columns.h"

namespace zurvafun::sql {

Number lng(const Variant& value) { return {std::to_string(CLng(value))}; }

Number int16(const Variant& value) { return {std::to_string(CInt(value))}; }

Number money(const Variant& value) { return {CCur(value).str()}; }

Quoted text(const Variant& value) { return {sqlQuoted(value.str())}; }

Quoted text(std::string_view value) { return {sqlQuoted(value)}; }

ColumnName::ColumnName(const member::Column& column) : text_(column.name) {}

Statement verbatim(Literal text) { return Statement(std::string(text.text())); }

Statement numberList(const std::vector<std::int32_t>& numbers) {
  Statement list;
  for (std::size_t i = 0; i < numbers.size(); ++i)
    list += i == 0 ? statement("{}", numbers[i]) : statement(",{}", numbers[i]);
  return list;
}

std::string likeLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '%' || c == '_' || c == '[') {
      out += '[';
      out += c;
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace zurvafun::sql

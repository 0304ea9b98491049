#include "framework/sql.h"

#include "framework/escape.h"

namespace zurvafun::sql {

Number lng(const Variant& value) { return {std::to_string(CLng(value))}; }

Number int16(const Variant& value) { return {std::to_string(CInt(value))}; }

Number money(const Variant& value) { return {CCur(value).str()}; }

Quoted text(const Variant& value) { return {sqlQuoted(value.str())}; }

Quoted text(std::string_view value) { return {sqlQuoted(value)}; }

Statement verbatim(std::string text) { return Statement(std::move(text)); }

}  // namespace zurvafun::sql

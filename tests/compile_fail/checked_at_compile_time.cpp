// What the compiler refuses: each CASE above 0 must fail to compile, CASE 0
// (the same code without the fault) must compile. Run by CTest.
#include <string>

#include "framework/html.h"
#include "framework/log_tags.h"
#include "framework/sql.h"
#include "model/member_columns.h"

using namespace zurvafun;

namespace probe {
struct zurva {
  void dj() { [[maybe_unused]] MethodTag tag; }
#if CASE == 8
  void notLogged() { [[maybe_unused]] MethodTag tag; }  // a logging method missing from the table
#endif
};
}  // namespace probe

void statements(const std::string& typed) {
  sql::statement("a={} and b='{}' and {}", 1, sql::text("x"), sql::statement("c={}", sql::lng(2)));
  constexpr const char* kFixed = " and d=1";
  sql::statement("{}{}{}", sql::verbatim("e=2"), sql::verbatim(kFixed),
                 sql::StoredCondition(typed));
  const sql::ColumnName nickname(*member::column("nickname"));
  sql::statement("{}='{}'", nickname, sql::text("x"));
#if CASE == 1
  sql::statement("a={} and b={}", 1);  // fewer values than "{}"
#elif CASE == 2
  sql::statement("a={}", 1, 2);  // more values than "{}"
#elif CASE == 3
  sql::statement("a={}", sql::text("x"));  // text outside a quoted literal
#elif CASE == 4
  sql::statement("a='{}'", std::string("x"));  // raw text
#elif CASE == 5
  sql::statement("a={}", Variant("x"));  // an unconverted value
#elif CASE == 6
  sql::statement("a='{}'", sql::statement("b=1"));  // a statement inside a literal
#elif CASE == 10
  sql::verbatim(typed);  // text made at run time as a literal
#elif CASE == 11
  sql::statement("a='{}'", nickname);  // a column name inside a literal
#endif
}

constexpr html::Fragment kFine = "{{name}}{{name:js}}{{12 blanks}}{{crlf}}";
#if CASE == 7
constexpr html::Fragment kBad = "{{two words}}";
#elif CASE == 9
constexpr html::Fragment kBad = "{{unclosed";
#endif

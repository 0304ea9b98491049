#include "db/sqlite/functions.h"
#include "db/textrules.h"

// Built into the library, and into the loadable extension (db/sqlite_extension.cpp),
// where every call into SQLite goes through the routines the loading program hands over.
#ifdef ZURVA_SQLITE_EXTENSION
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT3
#else
#include <sqlite3.h>
#endif

#include <cmath>
#include <cstdint>
#include <limits>

#include "db/db.h"
#include "runtime/dates.h"

namespace zurvafun::db::detail {

namespace {

thread_local std::optional<VbError> tFunctionError;

// Raises a SQL Server error from inside a function: the statement fails and
// the layer rethrows the error with its number.
void fail(sqlite3_context* ctx, long number, const std::string& description) {
  tFunctionError.emplace(number, description);
  sqlite3_result_error(ctx, description.c_str(), int(description.size()));
}

void conversionFailed(sqlite3_context* ctx, std::string_view text, std::string_view type) {
  fail(ctx, dberr::ConversionError,
       "在将 varchar 值 '" + std::string(text) + "' 转换成数据类型 " + std::string(type) +
           " 时失败。");
}

// ---- arguments

bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string_view textOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string_view(p, size_t(sqlite3_value_bytes(v))) : std::string_view();
}

// A whole-number argument (a length, a position, a count). False after
// raising the conversion error.
bool intArg(sqlite3_context* ctx, sqlite3_value* v, long long& out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: out = sqlite3_value_int64(v); return true;
    case SQLITE_FLOAT:
      out = static_cast<long long>(std::trunc(sqlite3_value_double(v)));
      return true;
    default: {
      const std::string_view t = textOf(v);
      if (sqlserverTextToInt(t, out)) return true;
      conversionFailed(ctx, t, "int");
      return false;
    }
  }
}

// A date argument as a serial; text in the date formats, numbers as days since
// 1900-01-01 (SQL Server's day 0).
bool dateArg(sqlite3_context* ctx, sqlite3_value* v, double& serial) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: serial = sqlite3_value_double(v) + 2; return true;
    default:
      if (parseDate(textOf(v), serial)) return true;
      fail(ctx, dberr::ConversionError, "从字符串转换日期和/或时间时，转换失败。");
      return false;
  }
}

void resultText(sqlite3_context* ctx, std::string_view s) {
  sqlite3_result_text(ctx, s.data(), int(s.size()), SQLITE_TRANSIENT);
}

void resultDate(sqlite3_context* ctx, double serial) { resultText(ctx, dateTimeText(serial)); }

bool anyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (isNull(argv[i])) return true;
  return false;
}

// Runs a function body, turning a runtime error into a statement error.
template <class F>
void guarded(sqlite3_context* ctx, F&& body) {
  try {
    body();
  } catch (const VbError& e) {
    fail(ctx, e.number(), e.description());
  } catch (const std::exception& e) {
    fail(ctx, dberr::CommandError, e.what());
  }
}

// ---- the functions

void fnLeftRight(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool right) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  long long n = 0;
  if (!intArg(ctx, argv[1], n)) return;
  if (n < 0)
    return fail(ctx, dberr::CommandError,
                right ? "传递给 RIGHT 函数的长度参数无效。"
                      : "传递给 LEFT 或 SUBSTRING 函数的长度参数无效。");
  const std::string_view s = textOf(argv[0]);
  if (!right) return resultText(ctx, s.substr(0, skipChars(s, 0, n)));
  const long long total = countChars(s);
  resultText(ctx, s.substr(skipChars(s, 0, total > n ? total - n : 0)));
}
void fnLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  fnLeftRight(ctx, argc, argv, false);
}
void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  fnLeftRight(ctx, argc, argv, true);
}

// SUBSTRING(s, start, length): a start below 1 still counts its characters
// against the length; a negative length is an error.
void fnSubstring(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  long long start = 0, length = 0;
  if (!intArg(ctx, argv[1], start) || !intArg(ctx, argv[2], length)) return;
  if (length < 0)
    return fail(ctx, dberr::CommandError, "传递给 LEFT 或 SUBSTRING 函数的长度参数无效。");
  long long end = start + length;  // exclusive, 1-based
  if (start < 1) start = 1;
  if (end <= start) return resultText(ctx, "");
  const std::string_view s = textOf(argv[0]);
  const size_t from = skipChars(s, 0, start - 1);
  const size_t to = skipChars(s, from, end - start);
  resultText(ctx, s.substr(from, to - from));
}

// CHARINDEX(find, s[, start]): case-insensitive for ASCII letters; 0 when
// absent or when `find` is empty.
void fnCharindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  long long start = 1;
  if (argc == 3 && !intArg(ctx, argv[2], start)) return;
  if (start < 1) start = 1;
  const std::string_view find = textOf(argv[0]);
  const std::string_view s = textOf(argv[1]);
  if (find.empty()) return sqlite3_result_int64(ctx, 0);
  size_t pos = skipChars(s, 0, start - 1);
  long long index = start;
  const unsigned char first = foldByte(static_cast<unsigned char>(find[0]));
  while (pos + find.size() <= s.size()) {
    if (foldByte(static_cast<unsigned char>(s[pos])) == first) {
      size_t k = 1;
      while (k < find.size() && foldByte(static_cast<unsigned char>(s[pos + k])) ==
                                    foldByte(static_cast<unsigned char>(find[k])))
        ++k;
      if (k == find.size()) return sqlite3_result_int64(ctx, index);
    }
    pos = skipChars(s, pos, 1);
    ++index;
  }
  sqlite3_result_int64(ctx, 0);
}

void fnPatindex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, patternIndex(textOf(argv[0]), textOf(argv[1])));
}

// LEN(s): characters without the trailing blanks.
void fnLen(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, countChars(trimBlanksRight(textOf(argv[0]))));
}

void fnGetdate(sqlite3_context* ctx, int, sqlite3_value**) {
  guarded(ctx, [&] { resultDate(ctx, clockNow()); });
}

// zv_dateadd('part', n, d); the part was made canonical by the rewriter.
void fnDateadd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  long long n = 0;
  double serial = 0;
  if (!intArg(ctx, argv[1], n) || !dateArg(ctx, argv[2], serial)) return;
  guarded(ctx, [&] {
    const Variant r = DateAdd(textOf(argv[0]), double(n), Variant::date(serial));
    resultDate(ctx, r.dateValue());
  });
}

void fnDatediff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  double a = 0, b = 0;
  if (!dateArg(ctx, argv[1], a) || !dateArg(ctx, argv[2], b)) return;
  guarded(ctx, [&] {
    sqlite3_result_int64(ctx, DateDiff(textOf(argv[0]), Variant::date(a), Variant::date(b)));
  });
}

struct IntRange {
  long long lo, hi;
  const char* name;
};

IntRange intRange(int bits) {
  switch (bits) {
    case 8: return {0, 255, "tinyint"};
    case 16: return {-32768, 32767, "smallint"};
    case 64:
      return {std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max(),
              "bigint"};
    default: return {-2147483648LL, 2147483647LL, "int"};
  }
}

// zv_toint(x[, bits]): CAST(x AS INT) (or TINYINT, SMALLINT, BIGINT by bits).
void fnToint(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  if (isNull(v)) return sqlite3_result_null(ctx);
  const IntRange range = intRange(argc > 1 ? sqlite3_value_int(argv[1]) : 32);
  long long n = 0;
  bool fits = true;
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: n = sqlite3_value_int64(v); break;
    case SQLITE_FLOAT: {
      const double d = std::trunc(sqlite3_value_double(v));
      fits = std::fabs(d) < 9.2e18;
      n = fits ? static_cast<long long>(d) : 0;
      break;
    }
    default: {
      const std::string_view t = textOf(v);
      if (!sqlserverTextToInt(t, n)) return conversionFailed(ctx, t, range.name);
      if (n < range.lo || n > range.hi)
        return fail(ctx, dberr::ConversionError,
                    "varchar 值 '" + std::string(t) + "' 的转换溢出了 " + range.name + " 列。");
      return sqlite3_result_int64(ctx, n);
    }
  }
  if (!fits || n < range.lo || n > range.hi)
    return fail(ctx, dberr::ConversionError,
                std::string("将表达式转换为数据类型 ") + range.name + " 时出现算术溢出错误。");
  sqlite3_result_int64(ctx, n);
}

// zv_int(x): the number of a text that converts to int (CAST's rules, in the
// range of int); anything else as it is. Never fails, so that an index can
// hold it; zv_toint around it raises the error for what did not convert.
void fnInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  long long n = 0;
  if (sqlite3_value_type(v) == SQLITE_TEXT && sqlserverTextToInt(textOf(v), n) &&
      n >= intRange(32).lo && n <= intRange(32).hi)
    return sqlite3_result_int64(ctx, n);
  sqlite3_result_value(ctx, v);
}

// zv_birthyear(userdata): the birth year of a member's packed data (its
// first four characters) when it converts to int as CAST does; NULL when it
// does not (or when userdata is NULL).
void fnBirthyear(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0])) return sqlite3_result_null(ctx);
  const std::string_view s = textOf(argv[0]);
  long long n = 0;
  if (sqlserverTextToInt(s.substr(0, skipChars(s, 0, 4)), n) && n >= intRange(32).lo &&
      n <= intRange(32).hi)
    return sqlite3_result_int64(ctx, n);
  sqlite3_result_null(ctx);
}

// zv_place(userdata, part): part 1 (the province) or 2 (the city) of the
// place of residence, item 5 of the "#"-separated userdata, itself
// "province-city"; "" for an item or part that is not there.
void fnPlace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  auto item = [](std::string_view text, char separator, long long index) {
    for (; index > 0; --index) {
      const size_t at = text.find(separator);
      if (at == std::string_view::npos) return std::string_view();
      text.remove_prefix(at + 1);
    }
    return text.substr(0, text.find(separator));
  };
  const std::string_view part =
      item(item(textOf(argv[0]), '#', 5), '-', sqlite3_value_int64(argv[1]) - 1);
  resultText(ctx, part.empty() ? std::string_view("") : part);  // '' is not NULL
}

// zv_tonum(x): a number from text (SQL Server's conversion to numeric).
void fnTonum(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return sqlite3_result_null(ctx);
    case SQLITE_INTEGER: return sqlite3_result_int64(ctx, sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_result_double(ctx, sqlite3_value_double(v));
    default: {
      std::string canonical;
      if (!sqlserverTextToNumberText(textOf(v), canonical))
        return fail(ctx, dberr::ConversionError, "从数据类型 varchar 转换为 numeric 时出错。");
      if (canonical.find('.') == std::string::npos) {
        long long n = 0;
        if (sqlserverTextToInt(canonical, n)) return sqlite3_result_int64(ctx, n);
      }
      sqlite3_result_double(ctx, std::strtod(canonical.c_str(), nullptr));
    }
  }
}

// zv_todate(x): a date as its stored text.
void fnTodate(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (isNull(argv[0])) return sqlite3_result_null(ctx);
  double serial = 0;
  if (dateArg(ctx, argv[0], serial)) guarded(ctx, [&] { resultDate(ctx, serial); });
}

// like(pattern, value[, escape]) — SQLite calls `value LIKE pattern` so.
void fnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
  char32_t escape = 0;
  if (argc == 3) {
    const std::string_view e = textOf(argv[2]);
    if (countChars(e) != 1) return fail(ctx, dberr::CommandError, "ESCAPE 子句必须是一个字符。");
    size_t pos = 0;
    escape = decode(e, pos);
  }
  sqlite3_result_int(ctx, likeMatch(textOf(argv[0]), textOf(argv[1]), escape) ? 1 : 0);
}

// zv_random(): a random whole number below 2^40 (a database's identity).
void fnRandom(sqlite3_context* ctx, int, sqlite3_value**) {
  std::int64_t n = 0;
  sqlite3_randomness(sizeof n, &n);
  sqlite3_result_int64(ctx, n & ((std::int64_t(1) << 40) - 1));
}

int collateZv(void*, int n1, const void* a, int n2, const void* b) {
  return compareZv(std::string_view(static_cast<const char*>(a), size_t(n1)),
                   std::string_view(static_cast<const char*>(b), size_t(n2)));
}

}  // namespace

std::optional<VbError> takeFunctionError() {
  std::optional<VbError> e = std::move(tFunctionError);
  tFunctionError.reset();
  return e;
}

void clearFunctionError() { tFunctionError.reset(); }

void registerFunctions(sqlite3* db) {
  struct Fn {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  };
  static const Fn kFunctions[] = {
      {"zv_left", 2, fnLeft},
      {"zv_right", 2, fnRight},
      {"zv_substring", 3, fnSubstring},
      {"zv_charindex", 2, fnCharindex},
      {"zv_charindex", 3, fnCharindex},
      {"zv_patindex", 2, fnPatindex},
      {"zv_len", 1, fnLen},
      {"zv_getdate", 0, fnGetdate},
      {"zv_dateadd", 3, fnDateadd},
      {"zv_datediff", 3, fnDatediff},
      {"zv_toint", 1, fnToint},
      {"zv_toint", 2, fnToint},
      {"zv_int", 1, fnInt},
      {"zv_birthyear", 1, fnBirthyear},
      {"zv_place", 2, fnPlace},
      {"zv_tonum", 1, fnTonum},
      {"zv_todate", 1, fnTodate},
      {"like", 2, fnLike},
      {"like", 3, fnLike},
  };
  // Deterministic: SQLite evaluates a call with constant arguments once per
  // run of the statement, as SQL Server does with GETDATE(); and the schema's
  // indexes may use them. Innocuous: they only compute, so a schema may use
  // them even where the schema is not trusted.
  for (const Fn& f : kFunctions)
    sqlite3_create_function_v2(db, f.name, f.args,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, f.fn,
                               nullptr, nullptr, nullptr);
  // Not deterministic: each call draws anew.
  sqlite3_create_function_v2(db, "zv_random", 0, SQLITE_UTF8 | SQLITE_INNOCUOUS, nullptr, fnRandom,
                             nullptr, nullptr, nullptr);
  sqlite3_create_collation_v2(db, "ZV", SQLITE_UTF8, nullptr, collateZv, nullptr);
}

}  // namespace zurvafun::db::detail

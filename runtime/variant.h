// The Variant value of the original scripting language: Empty, Null, Boolean,
// 16-bit Integer, 32-bit Long, Double, Currency (exact, four decimals), Date,
// String (UTF-8) and Array, with the language's conversion, arithmetic and
// comparison rules.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/error.h"

namespace zurvafun {

enum class VarType { Empty, Null, Boolean, Integer, Long, Double, Currency, Date, String, Array };

class Variant;
using VariantArray = std::vector<Variant>;

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool b);
  Variant(int n);  // Integer when it fits 16 bits, else Long (like a literal)
  Variant(long n);
  Variant(long long n);  // Long when it fits 32 bits, else Double
  Variant(unsigned int n);
  Variant(unsigned long n);
  Variant(unsigned long long n);
  Variant(double d);
  Variant(const char* s);
  Variant(std::string s);
  Variant(std::string_view s);
  Variant(VariantArray items);

  static Variant null();
  static Variant integer(std::int16_t n);
  static Variant lng(std::int32_t n);
  // Exact decimal money; `scaled` is the amount times 10000.
  static Variant currencyScaled(std::int64_t scaled);
  // Rounded half to even at 4 decimals, as the decimal the amount reads as
  // (0.00015 gives 0.0002); 6 beyond the Currency range.
  static Variant currency(double amount);
  // A date as days since 1899-12-30 with the time of day as fraction.
  static Variant date(double serial);

  VarType type() const noexcept { return type_; }
  bool isEmpty() const noexcept { return type_ == VarType::Empty; }
  bool isNull() const noexcept { return type_ == VarType::Null; }
  bool isString() const noexcept { return type_ == VarType::String; }
  bool isArray() const noexcept { return type_ == VarType::Array; }
  bool isDate() const noexcept { return type_ == VarType::Date; }
  // Integer, Long, Double, Currency, Boolean (Boolean counts as a number).
  bool isNumber() const noexcept;

  // Raw access for the exact type (no conversion).
  const std::string& stringValue() const;  // String only
  std::int64_t wholeValue() const;  // Integer, Long (Boolean as -1 / 0)
  double doubleValue() const;  // Double, Date
  std::int64_t currencyScaledValue() const;  // Currency only
  double dateValue() const;  // Date only
  const VariantArray& arrayValue() const;  // raises 13 unless Array
  VariantArray& arrayValue();

  // Array element with bounds check (error 9 past UBound, 13 when not an array).
  const Variant& operator[](long index) const;

  // Text of the value as the language's `&` produces it: Null and Empty give "".
  std::string str() const;

  // The name of the subtype as TypeName gives it ("Empty", "Null", "Integer", …).
  std::string typeName() const;

 private:
  VarType type_ = VarType::Empty;
  bool b_ = false;
  std::int64_t i_ = 0;  // Integer, Long, Currency (scaled by 10000)
  double d_ = 0;        // Double, Date
  std::shared_ptr<const std::string> s_;
  std::shared_ptr<VariantArray> a_;
};

// ---- Conversions (raise 13 on text that is not numeric, 6 on overflow, 94 on Null)
std::int16_t CInt(const Variant& v);
std::int32_t CLng(const Variant& v);
double CDbl(const Variant& v);
bool CBool(const Variant& v);
std::string CStr(const Variant& v);  // Null raises 94; Empty gives ""
Variant CCur(const Variant& v);
Variant CDate(const Variant& v);  // raises 13 when not a date
// Exact decimal text of a Currency, e.g. "7.5", "100", "-3.25".
std::string currencyText(std::int64_t scaled);

// Number of `v` as a double, for values already known numeric (Empty gives 0).
// Text is parsed by the IsNumeric rules; raises like CDbl.
double toNumber(const Variant& v);

// ---- Tests
bool IsNumeric(const Variant& v);
bool IsNull(const Variant& v);
bool IsEmpty(const Variant& v);
bool IsDate(const Variant& v);
bool IsArray(const Variant& v);

// ---- Numbers
Variant Int(const Variant& v);  // floor; Null gives Null
Variant Fix(const Variant& v);  // toward zero
Variant Round(const Variant& v, int digits = 0);  // half to even
Variant Abs(const Variant& v);
double Val(std::string_view s);  // leading number, never raises
// Half-to-even rounding of a double to a whole number.
double bankersRound(double x);
// Text of a double as the language prints it (up to 15 significant digits).
std::string numberText(double d);

// ---- Arithmetic (Null propagates; + on two texts concatenates; 11 on x/0).
// A date with + or - gives a date (Date - Date gives days); * and / take dates
// as numbers. Integer results widen to Long, then Double; Currency stays exact.
// A result beyond its type's range (Double, Currency, date) raises 6.
Variant operator+(const Variant& a, const Variant& b);
Variant operator-(const Variant& a, const Variant& b);
Variant operator*(const Variant& a, const Variant& b);
Variant operator/(const Variant& a, const Variant& b);
Variant intDiv(const Variant& a, const Variant& b);  // the \ operator
Variant mod(const Variant& a, const Variant& b);
Variant operator-(const Variant& a);
// The & operator: text of both sides, Null and Empty as "".
Variant cat(const Variant& a, const Variant& b);

// ---- Comparison. std::nullopt when either side is Null (the comparison is not true).
// Two variants: numbers numerically, texts binary, a number is less than a text,
// Empty as 0 beside a number and as "" beside a text.
std::optional<int> compare(const Variant& a, const Variant& b);
// Against a number literal: text is converted to a number (13 when not numeric).
std::optional<int> compareNumber(const Variant& a, double literal);
// Against a text literal: the value is compared as text.
std::optional<int> compareText(const Variant& a, std::string_view literal);

bool eq(const Variant& a, const Variant& b);
bool ne(const Variant& a, const Variant& b);
bool lt(const Variant& a, const Variant& b);
bool le(const Variant& a, const Variant& b);
bool gt(const Variant& a, const Variant& b);
bool ge(const Variant& a, const Variant& b);
// Literal forms: eq(v, 1) compares numerically, eq(v, "1") as text.
bool eq(const Variant& a, double literal);
bool eq(const Variant& a, int literal);
bool eq(const Variant& a, const char* literal);
bool eq(const Variant& a, std::string_view literal);
bool ne(const Variant& a, double literal);
bool ne(const Variant& a, int literal);
bool ne(const Variant& a, const char* literal);
bool ne(const Variant& a, std::string_view literal);

// Array item of a string list with the language's bounds check (error 9).
const std::string& item(const std::vector<std::string>& list, long index);

}  // namespace zurvafun

// The rules by which a number is read from a request value, a cookie or a
// stored text: one table of inputs, each read by every rule.
#include "framework/numbers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zurvafun {
namespace {

using Read = std::optional<double>;
constexpr Read no = std::nullopt;

template <class T>
Read asRead(const std::optional<T>& n) {
  return n ? Read(double(*n)) : no;
}

struct Case {
  const char* what;
  Variant input;
  Read digits, guarded, guarded16, floored;
};

Variant text(const char* s) { return Variant(std::string(s)); }

TEST(NumberRulesTest, EveryRuleOnOneTableOfInputs) {
  const Case cases[] = {
      // what                  input                  digits  guarded  guarded16  floored
      {"Empty", Variant(), no, no, no, no},
      {"Null", Variant::null(), no, no, no, no},
      {"True", Variant(true), no, -1, -1, -1},
      {"\"\"", text(""), no, no, no, no},
      {"blanks", text("  "), no, no, no, no},
      {"plain", text("12"), 12, 12, 12, 12},
      {"blanks around", text(" 12 "), 12, 12, 12, 12},
      {"plus", text("+12"), 12, 12, 12, 12},
      {"minus", text("-12"), -12, -12, -12, -12},
      {"leading zeros", text("0012"), 12, 12, 12, 12},
      {"sign alone", text("-"), no, no, no, no},
      {"sign and blank", text("- 12"), no, no, no, no},
      {"fraction", text("2.5"), no, 2, 2, 2},
      {"fraction rounds to even", text("3.5"), no, 4, 4, 3},
      {"negative fraction", text("-0.5"), no, 0, 0, -1},
      {"grouping", text("1,000"), no, 1000, 1000, 1000},
      {"hexadecimal", text("&H10"), no, 16, 16, 16},
      {"exponent", text("1e3"), no, 1000, 1000, 1000},
      {"tab before", text("\t12"), no, 12, 12, 12},
      {"trailing letter", text("12a"), no, no, no, no},
      {"largest 32-bit", text("2147483647"), 2147483647, 2147483647, no, 2147483647},
      {"past 32 bits", text("2147483648"), no, no, no, 2147483648},
      {"smallest 32-bit", text("-2147483648"), -2147483648.0, -2147483648.0, no, -2147483648.0},
      {"past 16 bits", text("32768"), 32768, 32768, no, 32768},
      {"eleven digits", text("00000000012"), no, 12, 12, 12},
      {"sixteen characters", text("0000000000000012"), no, no, no, 12},
      {"a whole double", Variant(7.0), 7, 7, 7, 7},
      {"a fractional double", Variant(7.5), no, 8, 8, 7},
      {"a double past 32 bits", Variant(3e9), no, no, no, 3e9},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(asRead(numbers::digits(c.input)), c.digits) << c.what;
    EXPECT_EQ(asRead(numbers::guarded(c.input)), c.guarded) << c.what;
    EXPECT_EQ(asRead(numbers::guarded16(c.input)), c.guarded16) << c.what;
    EXPECT_EQ(numbers::floored(c.input), c.floored) << c.what;
  }
}

TEST(NumberRulesTest, PageNumbersStayWithinThePages) {
  struct Page {
    Variant requested;
    long clamped, rounded;  // of 5 pages
  };
  const Page cases[] = {
      {Variant(), 1, 1},   {text(""), 1, 1},      {text("3"), 3, 3}, {text("2.5"), 2, 2},
      {text("2.7"), 2, 3}, {text("3.5"), 3, 4},   {text("0"), 1, 1}, {text("-4"), 1, 1},
      {text("9"), 5, 5},   {text("1e300"), 5, 5},
  };
  for (const Page& p : cases) {
    EXPECT_EQ(numbers::clampedPage(p.requested, 5), p.clamped) << p.requested.str();
    EXPECT_EQ(numbers::roundedPage(p.requested, 5), p.rounded) << p.requested.str();
  }
  // A list without pages still shows page 1.
  EXPECT_EQ(numbers::clampedPage(text("3"), 0), 1);
  EXPECT_EQ(numbers::roundedPage(text("3"), 0), 1);
}

}  // namespace
}  // namespace zurvafun

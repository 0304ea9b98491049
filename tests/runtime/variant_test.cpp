#include "runtime/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>

#include "tests/support.h"

#include "runtime/dates.h"

namespace zurvafun {
namespace {

using testing::errorOf;

TEST(VariantConvert, IntegerConversionRoundsHalfToEvenAndChecksRange) {
  struct Case {
    Variant in;
    long cint;  // 0 with error set means error
    long error;
  };
  const Case cases[] = {
      {0.5, 0, 0},        {1.5, 2, 0},       {2.5, 2, 0},          {-2.5, -2, 0},
      {3.5, 4, 0},        {32767, 32767, 0}, {32768, 0, 6},        {-32768, -32768, 0},
      {-32769, 0, 6},     {"", 0, 13},       {Variant(), 0, 0},    {" 12 ", 12, 0},
      {"1e3", 1000, 0},   {"1d3", 1000, 0},  {"&H1F", 31, 0},      {"1,000", 1000, 0},
      {"12a", 0, 13},     {".", 0, 13},      {"1 2", 0, 13},       {Variant::null(), 0, 94},
      {"2.5", 2, 0},      {true, -1, 0},     {"-7", -7, 0},        {"+5", 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in.typeName() + " " + c.in.str());
    EXPECT_EQ(errorOf([&] { CInt(c.in); }), c.error);
    if (!c.error) {
      EXPECT_EQ(CInt(c.in), c.cint);
    }
  }
  EXPECT_EQ(CLng(Variant(32768)), 32768);
  EXPECT_EQ(CLng(Variant(2.5)), 2);
  EXPECT_EQ(errorOf([] { CLng(Variant(3e9)); }), 6);
  EXPECT_EQ(CLng(Variant::currency(7.5)), 8);
  EXPECT_EQ(CLng(Variant::currency(6.5)), 6);
}

TEST(VariantConvert, NumericTest) {
  for (const Variant& yes : {Variant(), Variant(3), Variant(" 12 "), Variant("1e3"), Variant("&H1F"),
                             Variant("1,000"), Variant("-1.5"), Variant(2.5)})
    EXPECT_TRUE(IsNumeric(yes)) << yes.str();
  for (const Variant& no : {Variant(""), Variant("."), Variant("12a"), Variant::null(), Variant("1 2"),
                            Variant("abc"), Variant("1e")})
    EXPECT_FALSE(IsNumeric(no)) << no.str();
}

TEST(VariantConvert, TextOfNumbers) {
  EXPECT_EQ(Variant(1.5).str(), "1.5");
  EXPECT_EQ(Variant(0.5).str(), "0.5");
  EXPECT_EQ(Variant(100).str(), "100");
  EXPECT_EQ(Variant(-3).str(), "-3");
  EXPECT_EQ(Variant(7.5).str(), "7.5");
  EXPECT_EQ(Variant(1e20).str(), "1E+20");
  EXPECT_EQ(Variant(0.00001).str(), "1E-05");
  EXPECT_EQ(Variant::currency(7.5).str(), "7.5");
  EXPECT_EQ(Variant::currency(-0.25).str(), "-0.25");
  EXPECT_EQ(Variant(true).str(), "True");
  EXPECT_EQ(Variant::null().str(), "");
  EXPECT_EQ(errorOf([] { CStr(Variant::null()); }), 94);
}

TEST(VariantNumbers, IntFixRoundVal) {
  EXPECT_EQ(CDbl(Int(Variant(-2.5))), -3);
  EXPECT_EQ(CDbl(Fix(Variant(-2.5))), -2);
  EXPECT_EQ(CDbl(Int(Variant(2.7))), 2);
  EXPECT_TRUE(Int(Variant::null()).isNull());
  EXPECT_EQ(CDbl(Round(Variant(2.5))), 2);
  EXPECT_EQ(CDbl(Round(Variant(3.5))), 4);
  EXPECT_EQ(CDbl(Round(Variant(1.25), 1)), 1.2);
  EXPECT_EQ(CDbl(Round(Variant(1.35), 1)), 1.4);
  EXPECT_EQ(Val("12a"), 12);
  EXPECT_EQ(Val("1,000"), 1);
  EXPECT_EQ(Val(" 1 2"), 12);
  EXPECT_EQ(Val("abc"), 0);
  EXPECT_EQ(Val("&H1F"), 31);
}

TEST(VariantArithmetic, NullPropagatesAndTypesPromote) {
  EXPECT_TRUE((Variant::null() + Variant(1)).isNull());
  EXPECT_EQ(cat(Variant::null(), Variant("a")).str(), "a");
  EXPECT_EQ((Variant("a") + Variant("b")).str(), "ab");
  EXPECT_EQ((Variant("2") + Variant(3)).str(), "5");
  EXPECT_EQ(errorOf([] { Variant("x") + Variant(3); }), 13);
  Variant big = Variant(32767) + Variant(1);
  EXPECT_EQ(big.type(), VarType::Long);
  EXPECT_EQ(CLng(big), 32768);
  EXPECT_EQ((Variant(3) + Variant()).type(), VarType::Integer);
  Variant money = Variant::currency(7.5) + Variant(1);
  EXPECT_EQ(money.type(), VarType::Currency);
  EXPECT_EQ(money.str(), "8.5");
  EXPECT_EQ((Variant::currency(0.1) * Variant(3)).str(), "0.3");
  EXPECT_EQ(errorOf([] { Variant(1) / Variant(0); }), 11);
  EXPECT_EQ(CLng(intDiv(Variant(7), Variant(2))), 3);
  EXPECT_EQ(CLng(mod(Variant(7), Variant(3))), 1);
  EXPECT_EQ(CDbl(Variant(1) / Variant(4)), 0.25);
}

// Currency results are exact to the fourth decimal (rounded half to even)
// and overflow instead of wrapping.
TEST(VariantArithmetic, CurrencyStaysExact) {
  const Variant max = Variant::currencyScaled(INT64_MAX), min = Variant::currencyScaled(INT64_MIN);
  struct Case {
    std::function<Variant()> calc;
    const char* text;  // nullptr: raises 6
  };
  const Case cases[] = {
      {[] { return Variant::currencyScaled(3) * Variant::currencyScaled(5000); }, "0.0002"},
      {[] { return Variant::currencyScaled(73568275) * Variant::currencyScaled(53000); }, "38991.1858"},
      {[] { return Variant::currencyScaled(-12345) * Variant(3); }, "-3.7035"},
      {[&] { return max + Variant::currencyScaled(1); }, nullptr},
      {[&] { return min - Variant(1); }, nullptr},
      {[&] { return max * Variant(2); }, nullptr},
      {[] { return Int(Variant::currencyScaled(-25001)); }, "-3"},
      {[] { return Fix(Variant::currencyScaled(-25001)); }, "-2"},
      {[] { return Round(Variant::currencyScaled(25000)); }, "2"},
      {[] { return Round(Variant::currencyScaled(12345), 3); }, "1.234"},
      {[] { return Round(Variant::currencyScaled(12355), 3); }, "1.236"},
      {[&] { return Int(max); }, "922337203685477"},
      {[&] { return Int(min); }, nullptr},
      {[&] { return Abs(min); }, nullptr},
      // Text and doubles round as the decimal they read as.
      {[] { return CCur(Variant("0.00015")); }, "0.0002"},
      {[] { return CCur(Variant("0.00025")); }, "0.0002"},
      {[] { return CCur(Variant("-1.00015")); }, "-1.0002"},
      {[] { return CCur(Variant(" 123456789012.3457 ")); }, "123456789012.3457"},
      {[] { return CCur(Variant(1e-300)); }, "0"},
      {[] { return CCur(Variant(1e15)); }, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "overflow");
    if (!c.text) {
      EXPECT_EQ(errorOf(c.calc), 6);
      continue;
    }
    const Variant r = c.calc();
    EXPECT_EQ(r.type(), VarType::Currency);
    EXPECT_EQ(r.str(), c.text);
  }
}

// Numbers beyond the double range (from text or from arithmetic) and dates
// beyond the date range overflow rather than travel on as infinities.
TEST(VariantArithmetic, HugeAndNonFiniteNumbersOverflow) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const std::function<void()> overflows[] = {
      [] { CDbl(Variant("1e400")); },
      [] { CLng(Variant("-1e400")); },
      [] { Variant(1e308) * Variant(10); },
      [] { Variant(1e308) + Variant("1e308"); },
      [] { Variant(1e300) / Variant(1e-300); },
      [&] { CInt(Variant(nan)); },
      [&] { CLng(Variant(inf)); },
      [&] { CLng(Variant(-inf)); },
      [] { Variant::date(46366) + Variant(1e9); },
      [] { Variant::date(0) - Variant(700000); },
  };
  for (size_t i = 0; i < std::size(overflows); ++i) EXPECT_EQ(errorOf(overflows[i]), 6) << i;
  EXPECT_FALSE(IsNumeric(Variant("1e400")));
  EXPECT_TRUE(IsNumeric(Variant("1e300")));
  EXPECT_EQ(CDbl(Round(Variant(2.5), 400)), 2.5);  // more digits than a double holds
  EXPECT_EQ(generalDateText((Variant::date(0) - Variant(657434)).dateValue()), "0100-01-01");
}

TEST(VariantArithmetic, DatesCountInDays) {
  Variant d = Variant::date(toSerial({2026, 12, 10, 8, 30, 0}));
  Variant yesterday = d - Variant(1);
  EXPECT_TRUE(yesterday.isDate());
  EXPECT_EQ(generalDateText(yesterday.dateValue()), "2026-12-09 08:30:00");
  EXPECT_EQ(generalDateText((d + Variant(31)).dateValue()), "2027-01-10 08:30:00");
  EXPECT_EQ(CDbl(d - yesterday), 1);
  const Variant half = d - Variant::date(toSerial({2026, 12, 9, 20, 30, 0}));
  EXPECT_EQ(half.type(), VarType::Double);
  EXPECT_EQ(half.str(), "0.5");
  const Variant scaled = Variant::date(2) * Variant(1e7);  // far beyond any date: a plain number
  EXPECT_EQ(scaled.type(), VarType::Double);
  EXPECT_EQ(scaled.str(), "20000000");
}

TEST(VariantCompare, RulesOfTheLanguage) {
  // two variants
  EXPECT_TRUE(lt(Variant(10), Variant("9")));   // a number is less than a text
  EXPECT_TRUE(lt(Variant("10"), Variant("9")));  // text compares binary
  EXPECT_TRUE(eq(Variant(), Variant(0)));
  EXPECT_TRUE(eq(Variant(), Variant("")));
  EXPECT_TRUE(eq(Variant(), Variant()));
  EXPECT_FALSE(eq(Variant::null(), Variant::null()));
  EXPECT_FALSE(ne(Variant::null(), Variant(1)));
  // against literals
  EXPECT_TRUE(eq(Variant("1"), 1));
  EXPECT_TRUE(eq(Variant(" 1 "), 1));
  EXPECT_TRUE(eq(Variant(1), "1"));
  EXPECT_FALSE(eq(Variant("01"), "1"));
  EXPECT_TRUE(eq(Variant(), 0));
  EXPECT_EQ(errorOf([] { eq(Variant("abc"), 1); }), 13);
  EXPECT_FALSE(eq(Variant::null(), 1));
  EXPECT_FALSE(ne(Variant::null(), "x"));
  EXPECT_TRUE(gt(Variant("中"), Variant("a")));
}

TEST(VariantArray, BoundsAndCopyOnWrite) {
  Variant a(VariantArray{Variant("x"), Variant(2)});
  EXPECT_EQ(a[0].str(), "x");
  EXPECT_EQ(errorOf([&] { a[2]; }), 9);
  Variant b = a;
  b.arrayValue()[0] = Variant("y");
  EXPECT_EQ(a[0].str(), "x");
  std::vector<std::string> list{"a"};
  EXPECT_EQ(errorOf([&] { item(list, 1); }), 9);
  EXPECT_EQ(errorOf([] { Variant(1)[0]; }), 13);
}

TEST(VariantError, DescriptionsOfTheRuntime) {
  EXPECT_EQ(errorDescription(6), "溢出");
  EXPECT_EQ(errorDescription(11), "除数为零");
  EXPECT_EQ(errorDescription(13), "类型不匹配");
  try {
    raiseRequestEnd();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), -13572468);
    EXPECT_EQ(e.number(), static_cast<long>(static_cast<std::int32_t>(0xFF30E68C)));
    EXPECT_EQ(e.description(), "");
  }
}

}  // namespace
}  // namespace zurvafun

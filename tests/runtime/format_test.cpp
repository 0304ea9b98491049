#include "runtime/format.h"

#include <gtest/gtest.h>

#include "tests/support.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "runtime/dates.h"

namespace zurvafun {
namespace {

using testing::errorOf;

TEST(FormatNumber, Table) {
  struct Case {
    Variant value;
    int digits;
    bool leadingDigit, parens, group;
    const char* expected;
  };
  const Case cases[] = {
      {0.5, 2, true, false, true, "0.50"},
      {1234.5, 2, true, false, true, "1,234.50"},
      {-3, 2, true, false, true, "-3.00"},
      {1234567.891, 2, true, false, true, "1,234,567.89"},
      {1234567.891, 2, true, false, false, "1234567.89"},
      {123, 2, true, false, true, "123.00"},
      {-123456, 0, true, false, true, "-123,456"},
      {0.5, 2, false, false, true, ".50"},
      {-0.5, 2, false, false, true, "-.50"},
      {0, 0, false, false, true, "0"},
      {-1, 2, true, true, true, "(1.00)"},
      {-1234.5, 1, true, true, true, "(1,234.5)"},
      // Half away from zero on the decimal value, free of binary artefacts.
      {1.005, 2, true, false, true, "1.01"},
      {2.675, 2, true, false, true, "2.68"},
      {0.5, 0, true, false, true, "1"},
      {2.5, 0, true, false, true, "3"},
      {-2.5, 0, true, false, true, "-3"},
      {999.995, 2, true, false, true, "1,000.00"},
      {0.0049, 2, true, false, true, "0.00"},
      {-0.001, 2, true, true, true, "0.00"},  // no sign on a zero
      {0.1, 4, true, false, true, "0.1000"},
      {1e-7, 2, true, false, true, "0.00"},
      {1e20, 0, true, false, true, "100,000,000,000,000,000,000"},
      {123.456, -1, true, false, true, "123.46"},  // -1: the default two digits
      {"1234.5", 2, true, false, true, "1,234.50"},
      {Variant(), 2, true, false, true, "0.00"},
      {true, 2, true, false, true, "-1.00"},
      {Variant::currencyScaled(12345678), 2, true, false, true, "1,234.57"},
      {Variant::currencyScaled(-50), 3, true, false, true, "-0.005"},
      // Exact Currency amounts beyond a double's precision.
      {Variant::currencyScaled(INT64_MAX), 4, true, false, true, "922,337,203,685,477.5807"},
      {Variant::currencyScaled(INT64_MIN), 2, true, true, false, "(922337203685477.58)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.expected));
    EXPECT_EQ(FormatNumber(c.value, c.digits, c.leadingDigit, c.parens, c.group), c.expected);
  }
}

TEST(FormatNumber, DefaultsAndErrors) {
  EXPECT_EQ(FormatNumber(Variant(1234.5)), "1,234.50");
  EXPECT_EQ(errorOf([] { FormatNumber(Variant::null()); }), err::InvalidUseOfNull);
  EXPECT_EQ(errorOf([] { FormatNumber(Variant("abc")); }), err::TypeMismatch);
  EXPECT_EQ(errorOf([] { FormatNumber(Variant(1), -2); }), err::InvalidCall);
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    EXPECT_EQ(errorOf([bad] { FormatNumber(Variant(bad)); }), err::Overflow) << bad;
  }
  EXPECT_EQ(errorOf([] { FormatNumber(Variant("1e400")); }), err::Overflow);
}

// Restores the default generator and the system clock after every test.
class FormatRandom : public ::testing::Test {
 protected:
  void TearDown() override {
    setRandomSource({});
    setClock({});
  }
  static std::vector<double> draws(int n) {
    std::vector<double> out;
    for (int i = 0; i < n; ++i) out.push_back(Rnd());
    return out;
  }
};

TEST_F(FormatRandom, InjectedSourceIsProcessWideAndIgnoresRandomize) {
  double next = 0;
  setRandomSource([&next] {
    next += 0.25;
    return next;
  });
  EXPECT_EQ(Rnd(), 0.25);
  Randomize();
  Randomize(7);
  EXPECT_EQ(Rnd(), 0.5);
  double fromThread = 0;
  std::thread([&] { fromThread = Rnd(); }).join();
  EXPECT_EQ(fromThread, 0.75);

  setRandomSource({});
  const double r = Rnd();
  EXPECT_GE(r, 0);
  EXPECT_LT(r, 1);
  EXPECT_EQ(next, 0.75);
}

TEST_F(FormatRandom, SeededGeneratorRepeatsAndStaysInRange) {
  Randomize(42);
  const std::vector<double> first = draws(200);
  Randomize(42);
  EXPECT_EQ(draws(200), first);
  Randomize(43);
  EXPECT_NE(draws(200), first);
  for (double r : first) {
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 1);
  }
}

TEST_F(FormatRandom, ReseedingFromAStoppedTimerStillMovesOn) {
  const double serial = toSerial({2026, 12, 10, 15, 5, 9});
  setClock([serial] { return serial; });
  Randomize(1);
  Randomize();
  const double a = Rnd();
  Randomize();
  const double b = Rnd();
  EXPECT_NE(a, b);
  // Deterministic from a given seed and timer.
  Randomize(1);
  Randomize();
  EXPECT_EQ(Rnd(), a);
}

}  // namespace
}  // namespace zurvafun

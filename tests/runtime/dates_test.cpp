#include "runtime/dates.h"

#include <gtest/gtest.h>

#include "tests/support.h"

#include <atomic>
#include <cmath>
#include <ctime>
#include <string>
#include <thread>

namespace zurvafun {
namespace {

Variant at(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
  return Variant::date(toSerial({y, m, d, h, mi, s}));
}

std::string text(const Variant& v) { return dateTimeText(v.dateValue()); }

using testing::errorOf;

// Restores the system clock after every test.
class DatesClock : public ::testing::Test {
 protected:
  void TearDown() override { setClock({}); }
  static void fixClock(int y, int m, int d, int h, int mi, int s) {
    const double serial = toSerial({y, m, d, h, mi, s});
    setClock([serial] { return serial; });
  }
};

TEST(DatesSerial, PartsAndSerialsAgree) {
  struct Case {
    DateParts parts;
    double serial;
  };
  const Case cases[] = {
      {{1899, 12, 30, 0, 0, 0}, 0},
      {{1899, 12, 31, 0, 0, 0}, 1},
      {{1900, 1, 1, 12, 0, 0}, 2.5},
      {{2000, 1, 1, 18, 0, 0}, 36526.75},
      {{2026, 12, 10, 0, 0, 0}, 46366},
      {{1899, 12, 29, 6, 0, 0}, -1.25},  // before the epoch the fraction still counts forward
      {{1899, 12, 29, 18, 0, 0}, -1.75},
      {{1899, 12, 28, 0, 0, 0}, -2},
      {{100, 1, 1, 0, 0, 0}, -657434},
      {{9999, 12, 31, 0, 0, 0}, 2958465},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    EXPECT_DOUBLE_EQ(toSerial(c.parts), c.serial);
    const DateParts p = fromSerial(c.serial);
    EXPECT_EQ(p.year, c.parts.year);
    EXPECT_EQ(p.month, c.parts.month);
    EXPECT_EQ(p.day, c.parts.day);
    EXPECT_EQ(p.hour, c.parts.hour);
    EXPECT_EQ(p.minute, c.parts.minute);
    EXPECT_EQ(p.second, c.parts.second);
  }
}

TEST(DatesSerial, FromSerialRoundsToTheSecondAndCarries) {
  const double second = 1.0 / 86400;
  EXPECT_EQ(dateTimeText(toSerial({2026, 5, 1, 10, 0, 0}) - 0.4 * second), "2026-05-01 10:00:00");
  EXPECT_EQ(dateTimeText(toSerial({2026, 12, 31, 23, 59, 59}) + 0.6 * second),
            "2027-01-01 00:00:00");
  // Just short of a whole negative day is the midnight that follows.
  EXPECT_EQ(dateTimeText(-1.999999999), "1899-12-30 00:00:00");
}

TEST(DatesSerial, OutOfRangeSerialsOverflow) {
  for (double serial : {-657435.0, 2958466.0, 1e300, std::nan("")}) {
    SCOPED_TRACE(serial);
    EXPECT_EQ(errorOf([&] { fromSerial(serial); }), err::Overflow);
  }
}

TEST(DatesSerial, ToSerialNormalisesOverflowingParts) {
  EXPECT_EQ(dateTimeText(toSerial({2026, 13, 1, 0, 0, 0})), "2027-01-01 00:00:00");
  EXPECT_EQ(dateTimeText(toSerial({2026, 3, 1, -1, 0, 0})), "2026-02-28 23:00:00");
  EXPECT_EQ(dateTimeText(toSerial({2026, 1, 1, 0, 0, 90})), "2026-01-01 00:01:30");
}

TEST_F(DatesClock, InjectedClockDrivesNowTodayAndTimer) {
  fixClock(2026, 12, 10, 15, 5, 9);
  EXPECT_EQ(text(Now()), "2026-12-10 15:05:09");
  EXPECT_TRUE(Today().isDate());
  EXPECT_EQ(text(Today()), "2026-12-10 00:00:00");
  EXPECT_DOUBLE_EQ(Timer(), 15 * 3600 + 5 * 60 + 9);
  EXPECT_EQ(text(Now() - Variant(1)), "2026-12-09 15:05:09");  // same time yesterday
  EXPECT_EQ(text(Today() + Variant(31)), "2027-01-10 00:00:00");

  // Server threads read the same clock.
  double seen = 0;
  std::thread([&] { seen = clockNow(); }).join();
  EXPECT_DOUBLE_EQ(seen, toSerial({2026, 12, 10, 15, 5, 9}));
}

TEST_F(DatesClock, TodayBeforeTheEpochIsThatMidnight) {
  fixClock(1899, 12, 29, 6, 0, 0);
  EXPECT_DOUBLE_EQ(Today().dateValue(), -1);
  EXPECT_DOUBLE_EQ(Timer(), 6 * 3600);
}

TEST_F(DatesClock, EmptyClockRestoresTheSystemClock) {
  fixClock(2001, 1, 1, 0, 0, 0);
  setClock({});
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  const double expected = toSerial({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                    local.tm_hour, local.tm_min, local.tm_sec});
  EXPECT_NEAR(clockNow(), expected, 5.0 / 86400);
  EXPECT_GE(Timer(), 0);
  EXPECT_LT(Timer(), 86400);
}

TEST(DatesParse, AcceptsTheDateForms) {
  struct Case {
    const char* text;
    DateParts parts;
  };
  const Case cases[] = {
      {"2026-12-10", {2026, 12, 10, 0, 0, 0}},
      {"2026-1-5 9:03:07", {2026, 1, 5, 9, 3, 7}},
      {"2026/1/5", {2026, 1, 5, 0, 0, 0}},
      {"2026/01/05 23:59", {2026, 1, 5, 23, 59, 0}},
      {"  2024-2-29 00:00:00  ", {2024, 2, 29, 0, 0, 0}},
      {"2000-02-29", {2000, 2, 29, 0, 0, 0}},
      {"1899-12-29 06:00", {1899, 12, 29, 6, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    double serial = -99;
    ASSERT_TRUE(parseDate(c.text, serial));
    EXPECT_DOUBLE_EQ(serial, toSerial(c.parts));
  }
}

TEST(DatesParse, RefusesEverythingElse) {
  for (const char* text :
       {"", "   ", "2026", "2026-12", "2026-13-01", "2026-0-1", "2026-4-31", "2025-2-29",
        "1900-2-29", "2026-1-0", "26-1-5", "20261-1-5", "2026-1/5", "2026.1.5", "2026-1-5x",
        "2026-1-5 24:00", "2026-1-5 9:60", "2026-1-5 9:03:60", "2026-1-5 9", "2026-1-5 9:3",
        "2026-1-5 9:03:", "2026-1-5T09:03", "2026-001-5", "abc", "2026-1-5 9:03 pm"}) {
    SCOPED_TRACE(text);
    double serial = -99;
    EXPECT_FALSE(parseDate(text, serial));
    EXPECT_EQ(serial, -99);
  }
}

TEST(DatesValue, DateSerialOfEachKindOfValue) {
  EXPECT_EQ(dateSerialOf(Variant()), 0);
  EXPECT_EQ(dateSerialOf(Variant(46366)), 46366);
  EXPECT_EQ(dateSerialOf(Variant(-1.25)), -1.25);
  EXPECT_EQ(dateSerialOf(Variant::date(2.5)), 2.5);
  EXPECT_EQ(dateSerialOf(Variant("2026-12-10")), 46366);
  EXPECT_EQ(errorOf([] { dateSerialOf(Variant("10 Dec 2026")); }), err::TypeMismatch);
  EXPECT_EQ(errorOf([] { dateSerialOf(Variant::null()); }), err::InvalidUseOfNull);
  EXPECT_EQ(errorOf([] { Year(Variant::null()); }), err::InvalidUseOfNull);
}

TEST(DatesValue, PartsAndWeekday) {
  const Variant d = at(2026, 12, 10, 15, 5, 9);  // a Thursday
  EXPECT_EQ(Year(d), 2026);
  EXPECT_EQ(Month(d), 12);
  EXPECT_EQ(Day(d), 10);
  EXPECT_EQ(Hour(d), 15);
  EXPECT_EQ(Minute(d), 5);
  EXPECT_EQ(Second(d), 9);
  EXPECT_EQ(Year(Variant("2026-1-5 9:03:07")), 2026);
  struct Case {
    Variant date;
    int weekday;
  };
  const Case cases[] = {
      {d, 5},
      {at(2026, 12, 13), 1},         // Sunday
      {at(2026, 12, 12, 23, 59), 7}, // Saturday
      {Variant(), 7},                // 1899-12-30
      {at(1899, 12, 31), 1},
      {at(1899, 12, 24, 12), 1},     // a Sunday before the epoch
      {at(1899, 12, 29, 6), 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date.str());
    EXPECT_EQ(Weekday(c.date), c.weekday);
  }
}

TEST(DatesAdd, IntervalsTable) {
  struct Case {
    const char* interval;
    double number;
    Variant date;
    const char* expected;
  };
  const Case cases[] = {
      {"m", 1, at(2026, 1, 31, 8, 30), "2026-02-28 08:30:00"},  // clamped to the month's end
      {"m", 1, at(2024, 1, 31), "2024-02-29 00:00:00"},
      {"m", -1, at(2026, 3, 31), "2026-02-28 00:00:00"},
      {"m", 13, at(2026, 5, 15), "2027-06-15 00:00:00"},
      {"m", -5, at(2026, 3, 15), "2025-10-15 00:00:00"},
      {"yyyy", 1, at(2024, 2, 29), "2025-02-28 00:00:00"},
      {"q", 1, at(2026, 11, 30), "2027-02-28 00:00:00"},
      {"d", 1, at(2026, 12, 31, 23, 59, 59), "2027-01-01 23:59:59"},
      {"d", -7, at(2026, 12, 10), "2026-12-03 00:00:00"},
      {"y", 2, at(2026, 12, 10), "2026-12-12 00:00:00"},
      {"w", 3, at(2026, 12, 10), "2026-12-13 00:00:00"},
      {"ww", 2, at(2026, 12, 10), "2026-12-24 00:00:00"},
      {"h", 1, at(1899, 12, 29, 23, 30), "1899-12-30 00:30:00"},  // across the epoch
      {"h", -2, at(1899, 12, 30, 1), "1899-12-29 23:00:00"},
      {"n", 90, at(2026, 12, 10, 23), "2026-12-11 00:30:00"},
      {"s", -1, at(2027, 1, 1), "2026-12-31 23:59:59"},
      {"D", 1.5, at(2026, 12, 10), "2026-12-12 00:00:00"},  // counts round half to even
      {"d", 2.5, at(2026, 12, 10), "2026-12-12 00:00:00"},
      {"d", 1, Variant("2026-12-10"), "2026-12-11 00:00:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.interval) + " " + std::to_string(c.number) + " " + c.date.str());
    const Variant r = DateAdd(c.interval, c.number, c.date);
    ASSERT_TRUE(r.isDate());
    EXPECT_EQ(text(r), c.expected);
  }
}

TEST(DatesAdd, NullUnknownIntervalAndRange) {
  EXPECT_TRUE(DateAdd("d", 1, Variant::null()).isNull());
  EXPECT_EQ(errorOf([] { DateAdd("x", 1, at(2026, 1, 1)); }), err::InvalidCall);
  EXPECT_EQ(errorOf([] { DateAdd("dd", 1, at(2026, 1, 1)); }), err::InvalidCall);
  EXPECT_EQ(errorOf([] { DateAdd("yyyy", 1, at(9999, 6, 1)); }), err::InvalidCall);
  EXPECT_EQ(errorOf([] { DateAdd("d", 1, at(9999, 12, 31)); }), err::InvalidCall);
  EXPECT_EQ(errorOf([] { DateAdd("s", 1e14, at(2026, 1, 1)); }), err::InvalidCall);
  EXPECT_EQ(errorOf([] { DateAdd("d", 1, Variant("tomorrow")); }), err::TypeMismatch);
}

TEST(DatesDiff, CountsBoundariesCrossed) {
  struct Case {
    const char* interval;
    Variant d1, d2;
    long expected;
  };
  const Case cases[] = {
      {"d", at(2026, 12, 10, 23, 59), at(2026, 12, 11, 0, 1), 1},  // one midnight
      {"d", at(2026, 12, 10, 0, 0), at(2026, 12, 10, 23, 59), 0},
      {"d", at(2026, 12, 11, 0, 1), at(2026, 12, 10, 23, 59), -1},
      {"d", at(1899, 12, 29, 23), at(1899, 12, 30, 1), 1},  // across the epoch
      {"y", at(2026, 1, 1), at(2026, 3, 1), 59},
      {"m", at(2026, 1, 31), at(2026, 2, 1), 1},
      {"m", at(2026, 2, 1), at(2026, 2, 28), 0},
      {"m", at(2027, 3, 1), at(2025, 12, 31), -15},
      {"q", at(2026, 3, 31), at(2026, 4, 1), 1},
      {"yyyy", at(2026, 12, 31, 23, 59, 59), at(2027, 1, 1), 1},
      {"yyyy", at(2026, 1, 1), at(2026, 12, 31), 0},
      {"ww", at(2026, 12, 12), at(2026, 12, 13), 1},  // Saturday to Sunday
      {"ww", at(2026, 12, 13), at(2026, 12, 19), 0},  // Sunday to Saturday
      {"ww", at(2026, 12, 13), at(2026, 12, 27), 2},
      {"ww", at(2026, 12, 20), at(2026, 12, 12), -2},
      {"w", at(2026, 12, 10), at(2026, 12, 23), 1},  // whole weeks
      {"w", at(2026, 12, 23), at(2026, 12, 10), -1},
      {"h", at(2026, 12, 10, 8, 59, 59), at(2026, 12, 10, 9, 0, 0), 1},
      {"h", at(1899, 12, 29, 23, 30), at(1899, 12, 30, 0, 10), 1},
      {"n", at(2026, 12, 10, 8, 0, 59), at(2026, 12, 10, 8, 1, 0), 1},
      {"s", at(2026, 12, 10, 8, 0, 0), at(2026, 12, 10, 8, 0, 49), 49},
      {"s", at(2026, 12, 11), at(2026, 12, 10, 23, 59, 10), -50},
      {"S", Variant(), at(1899, 12, 31), 86400},
      {"d", Variant("2026-12-1"), Variant("2026/12/10 9:00"), 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.interval) + " " + c.d1.str() + " -> " + c.d2.str());
    EXPECT_EQ(DateDiff(c.interval, c.d1, c.d2), c.expected);
  }
}

TEST(DatesDiff, Errors) {
  EXPECT_EQ(errorOf([] { DateDiff("days", at(2026, 1, 1), at(2026, 1, 2)); }), err::InvalidCall);
  EXPECT_EQ(errorOf([] { DateDiff("d", Variant::null(), at(2026, 1, 2)); }),
            err::InvalidUseOfNull);
  EXPECT_EQ(errorOf([] { DateDiff("d", Variant("x"), at(2026, 1, 2)); }), err::TypeMismatch);
}

TEST(DatesSerialFunctions, DateSerialAndTimeSerialNormalise) {
  struct Case {
    Variant value;
    const char* expected;
  };
  const Case cases[] = {
      {DateSerial(2026, 13, 1), "2027-01-01 00:00:00"},
      {DateSerial(2026, 0, 1), "2025-12-01 00:00:00"},
      {DateSerial(2026, 3, 0), "2026-02-28 00:00:00"},
      {DateSerial(2024, 2, 30), "2024-03-01 00:00:00"},
      {DateSerial(2026, 1, -1), "2025-12-30 00:00:00"},
      {DateSerial(26, 1, 5), "2026-01-05 00:00:00"},  // two-digit years
      {DateSerial(99, 1, 5), "1999-01-05 00:00:00"},
      {TimeSerial(12, -15, 0), "1899-12-30 11:45:00"},
      {TimeSerial(25, 0, 0), "1899-12-31 01:00:00"},
      {TimeSerial(0, 0, 3661), "1899-12-30 01:01:01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    ASSERT_TRUE(c.value.isDate());
    EXPECT_EQ(text(c.value), c.expected);
  }
  EXPECT_EQ(errorOf([] { DateSerial(10000, 1, 1); }), err::InvalidCall);
  EXPECT_EQ(errorOf([] { DateSerial(100, 0, 1); }), err::InvalidCall);
}

TEST(DatesText, GeneralAndFullText) {
  struct Case {
    double serial;
    const char* general;
    const char* full;
  };
  const Case cases[] = {
      {toSerial({2026, 12, 10, 15, 5, 9}), "2026-12-10 15:05:09", "2026-12-10 15:05:09"},
      {toSerial({2026, 12, 10, 0, 0, 0}), "2026-12-10", "2026-12-10 00:00:00"},
      {toSerial({1899, 12, 30, 9, 3, 7}), "09:03:07", "1899-12-30 09:03:07"},
      {0, "00:00:00", "1899-12-30 00:00:00"},
      {-1.25, "1899-12-29 06:00:00", "1899-12-29 06:00:00"},
      {toSerial({100, 1, 1, 0, 0, 1}), "0100-01-01 00:00:01", "0100-01-01 00:00:01"},
      {toSerial({9999, 12, 31, 23, 59, 59}), "9999-12-31 23:59:59", "9999-12-31 23:59:59"},
      {toSerial({1999, 10, 9, 10, 0, 10}), "1999-10-09 10:00:10", "1999-10-09 10:00:10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.full);
    EXPECT_EQ(generalDateText(c.serial), c.general);
    EXPECT_EQ(dateTimeText(c.serial), c.full);
  }
}

}  // namespace
}  // namespace zurvafun

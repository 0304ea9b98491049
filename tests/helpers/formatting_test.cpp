#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "runtime/format.h"
#include "tests/framework/scoped_log.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::errorOf;

class FormattingTest : public ::testing::Test {
 protected:
  void TearDown() override { setRandomSource({}); }

  // Fixes the random source to `values`, repeated; counts the draws.
  void fixRandom(std::vector<double> values) {
    draws = std::make_shared<int>(0);
    setRandomSource([values = std::move(values), count = draws] {
      return values[size_t((*count)++) % values.size()];
    });
  }
  std::string log() const { return tempLog.text(); }

  ScopedLog tempLog{"formatting"};
  host::TestHost h;
  zurva z;
  std::shared_ptr<int> draws;
};

// ------------------------------------------------------------------ grades

TEST_F(FormattingTest, GradeBadgesAndNames) {
  const char* silverTemp = R"(<img src='/Images/linshisilleruser2.gif' border="0">)";
  const char* silver = R"(<img src='/Images/silleruser2.gif' border="0">)";
  const char* gold = R"(<img src='/Images/golduser3.gif' border="0">)";
  const struct {
    Variant grade;
    const char* badge;
    const char* name;
  } cases[] = {
      {0, silverTemp, "临时银卡会员"},
      {1, "<font color=red>普通会员</font>", "普通会员"},
      {2, silver, "银卡会员"},
      {"2", silver, "银卡会员"},
      {3, gold, "金卡会员"},
      {10, gold, "金卡会员"},
      {23, gold, "金卡会员"},
      {2.5, "", ""},
      {-1, "", ""},
      {Variant::null(), "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(z.dj(c.grade).str(), c.badge) << c.grade.str();
    EXPECT_EQ(z.dj1(c.grade).str(), c.name) << c.grade.str();
  }
  EXPECT_TRUE(z.dj(-1).isEmpty());
  EXPECT_TRUE(z.dj1(Variant::null()).isEmpty());
}

TEST_F(FormattingTest, GradeThatIsNoNumberIsLogged) {
  EXPECT_TRUE(z.dj("gold").isEmpty());
  EXPECT_NE(log().find("\\1, dj: 类型不匹配"), std::string::npos);
}

// ------------------------------------------------------------------ money and numbers

TEST_F(FormattingTest, FmoneyGivesAmountsBelowOneOneLeadingDigit) {
  const struct {
    Variant amount;
    const char* text;
  } cases[] = {
      {0.5, "0.5"},
      {Variant::currency(0.25), "0.25"},
      {".5", "0.5"},
      {0, "0"},
      {Variant(), "0"},
      {-0.5, "-0.5"},  // a negative amount keeps its sign in front
      {-5, "-5"},
      {"-.5", "-0.5"},
  };
  for (const auto& c : cases) {
    Variant amount = c.amount;
    EXPECT_EQ(z.fmoney(amount).str(), c.text) << c.amount.str();
    EXPECT_EQ(amount.str(), c.text) << c.amount.str();
  }
  // From 1 up, the amount itself comes back.
  Variant twelve = 12;
  const Variant result = z.fmoney(twelve);
  EXPECT_EQ(result.type(), VarType::Integer);
  EXPECT_EQ(result.str(), "12");
  EXPECT_EQ(twelve.type(), VarType::Integer);
  Variant null = Variant::null();
  EXPECT_TRUE(z.fmoney(null).isNull());
}

TEST_F(FormattingTest, FmoneyOfTextThatIsNoNumberIsLogged) {
  Variant amount = "abc";
  EXPECT_TRUE(z.fmoney(amount).isEmpty());
  EXPECT_EQ(amount.str(), "abc");
  EXPECT_NE(log().find("\\1, fmoney: 类型不匹配"), std::string::npos);
}

TEST_F(FormattingTest, Formatnumber2TwoDecimalsGroupedAndRewritten) {
  const struct {
    Variant number;
    const char* text;
  } cases[] = {
      {0.5, "0.50"},        {1234.5, "1,234.50"}, {0, "0.00"},         {0.999, "1.00"},
      {-0.5, "-0.50"},      {-1234.5, "-1,234.50"}, {"7", "7.00"},     {1234567.891, "1,234,567.89"},
  };
  for (const auto& c : cases) {
    Variant number = c.number;
    EXPECT_EQ(z.formatnumber2(number).str(), c.text) << c.number.str();
    EXPECT_EQ(number.str(), c.text) << c.number.str();
  }
  Variant null = Variant::null();
  EXPECT_TRUE(z.formatnumber2(null).isEmpty());
  EXPECT_TRUE(null.isNull());
}

// ------------------------------------------------------------------ FormatDT

TEST_F(FormattingTest, FormatDTEveryStyle) {
  const Variant dt = Variant::date(toSerial({2007, 12, 20, 15, 5, 9}));
  const char* styles[] = {
      "2007-12-20 下午 3:05:09", "2007-12-20 15:05:09", "2007-12-20 15:05", "07-12-20 15:05", "12-20 15:05",
      "2007-12-20",             "07-12-20",            "12-20",            "15H-05M-09S",    "20071220150509",
  };
  for (int style = 0; style < 10; ++style) EXPECT_EQ(z.FormatDT(dt, style).str(), styles[style]) << style;
  EXPECT_EQ(z.FormatDT("2007-12-20 15:05:09", "8").str(), "15H-05M-09S");
  EXPECT_TRUE(z.FormatDT(dt, 10).isEmpty());
  EXPECT_TRUE(z.FormatDT(dt, -1).isEmpty());
  EXPECT_TRUE(z.FormatDT(dt, 1.5).isEmpty());
}

TEST_F(FormattingTest, FormatDTTwelveHourForm) {
  const struct {
    int hour, minute, second;
    const char* text;
  } cases[] = {
      {12, 0, 0, "2026-01-05 上午 12:00:00"},  // noon
      {0, 0, 0, "2026-01-05 上午 00:00:00"},   // midnight
      {0, 7, 0, "2026-01-05 上午 00:07:00"},
      {0, 1, 0, "2026-01-05 上午 00:01:00"},   // a minute past midnight
      {9, 3, 7, "2026-01-05 上午 09:03:07"},
      {13, 0, 0, "2026-01-05 下午 1:00:00"},
      {23, 59, 59, "2026-01-05 下午 11:59:59"},
  };
  for (const auto& c : cases) {
    const Variant dt = Variant::date(toSerial({2026, 1, 5, c.hour, c.minute, c.second}));
    EXPECT_EQ(z.FormatDT(dt, 0).str(), c.text);
  }
  // Midnight in the other styles keeps its padded hour.
  EXPECT_EQ(z.FormatDT(Variant::date(toSerial({2026, 1, 5, 0, 1, 0})), 1).str(), "2026-01-05 00:01:00");
}

TEST_F(FormattingTest, FormatDTOfTextThatIsNoDateIsLogged) {
  EXPECT_TRUE(z.FormatDT("yesterday", 1).isEmpty());
  EXPECT_NE(log().find("\\1, FormatDT: 类型不匹配"), std::string::npos);
}

// ------------------------------------------------------------------ gradeshow

TEST_F(FormattingTest, GradeshowPadsToSixCharacters) {
  const struct {
    Variant userid;
    const char* text;
  } cases[] = {
      {42, "000042"},      {5, "000005"},          {10, "000010"},       {123456, "123456"},
      {999999, "999999"},  {1234567, "1234567"}, {"42", "000042"},     {"0000042", "0000042"},
  };
  for (const auto& c : cases) {
    const Variant shown = z.gradeshow(c.userid);
    EXPECT_EQ(shown.str(), c.text) << c.userid.str();
    EXPECT_TRUE(shown.isString()) << c.userid.str();  // text, also from a million on
  }
  EXPECT_TRUE(z.gradeshow("member").isEmpty());
  EXPECT_NE(log().find("\\1, gradeshow: 类型不匹配"), std::string::npos);
}

// ------------------------------------------------------------------ shuiji

TEST_F(FormattingTest, ShuijiStaysInBoundsAndOffTheList) {
  std::set<long> seen;
  for (int i = 0; i < 200; ++i) {
    Variant all = "";
    const long n = CLng(z.shuiji(9, 0, all));
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 9);
    EXPECT_EQ(all.str(), "");
    seen.insert(n);
  }
  EXPECT_GT(seen.size(), 5u);
  for (int i = 0; i < 300; ++i) {
    Variant all = "7";
    const long n = CLng(z.shuiji(50, 1, all));
    EXPECT_NE(n, 7);
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 50);
    EXPECT_EQ(all.str(), "7");
  }
  // A narrow range of long numbers, as the gallery asks for.
  for (int i = 0; i < 5; ++i) {
    Variant all = "";
    const long n = CLng(z.shuiji(40050, 40000, all));
    EXPECT_GE(n, 40000);
    EXPECT_LE(n, 40050);
  }
}

TEST_F(FormattingTest, ShuijiStepsDownFromAListedDraw) {
  const struct {
    std::vector<double> draws;
    const char* list;
    long result;
  } cases[] = {
      {{0.2, 0.07}, "", 7},         // two digits (0.2), then 7 of 0..99
      {{0.1, 0.7}, "7", 6},         // one digit, 7 listed: 6
      {{0.1, 0.7}, "5,6,7", 4},
      {{0.1, 0.7}, "17,77", 7},     // items match whole
      {{0.1, 0.3, 0.45}, "1,2,3", 4},  // 3, 2 and 1 listed: the try fails
      {{0.1, 0.9, 0.6}, "", 9},
  };
  for (const auto& c : cases) {
    fixRandom(c.draws);
    Variant all = c.list;
    EXPECT_EQ(CLng(z.shuiji(50, 1, all)), c.result) << c.list;
    EXPECT_EQ(all.str(), c.list);
  }
}

TEST_F(FormattingTest, ShuijiClearsAFullListAfterAThousandTries) {
  // One digit; then 3 and 1 in turn, both listed with nothing unlisted below.
  fixRandom({0.1, 0.3});
  Variant all = "1,2,3,4,5";
  EXPECT_EQ(CLng(z.shuiji(5, 1, all)), 3);  // the first draw after the list is dropped
  EXPECT_EQ(all.str(), "");
  EXPECT_EQ(*draws, 1 + 1000 + 1);

  setRandomSource({});
  for (int i = 0; i < 5; ++i) {
    Variant full = "1,2,3,4,5";
    const long n = CLng(z.shuiji(5, 1, full));
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 5);
    EXPECT_EQ(full.str(), "");
  }
}

TEST_F(FormattingTest, ShuijiDrawsUntilOneLandsInRange) {
  // 1200 digit counts of 0 before a count of 1, then 2500 draws of 0 (out of
  // range) before a 4: every draw is taken in turn, however long it takes.
  draws = std::make_shared<int>(0);
  setRandomSource([count = draws] {
    const int at = (*count)++;
    if (at < 1200) return 0.05;
    if (at == 1200) return 0.1;
    return at < 1200 + 1 + 2500 ? 0.0 : 0.4;
  });
  Variant all = "1,2";
  EXPECT_EQ(CLng(z.shuiji(5, 1, all)), 4);
  EXPECT_EQ(all.str(), "");
  EXPECT_EQ(*draws, 1200 + 1 + 2500 + 1);
}

TEST_F(FormattingTest, ShuijiRefusesBoundsNoNumberSatisfies) {
  const struct {
    Variant max, last;
    long error;
  } cases[] = {
      {5, 9, 5},                      // last above max
      {99, 100, 5},                   // last longer than max
      {9, -5, 5},                     // "-5" has two characters
      {1.7, 1.5, 5},                  // no whole number between
      {9999999999.0, 1000000000, 5},  // ten digits
      {5, "x", 13},
  };
  for (const auto& c : cases) {
    Variant all = "";
    EXPECT_EQ(errorOf([&] { z.shuiji(c.max, c.last, all); }), c.error) << c.max.str() << " " << c.last.str();
  }
}

}  // namespace
}  // namespace zurvafun

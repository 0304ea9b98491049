// The labels pages print for the codes of the member record: one table type,
// looked up by exact text.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "members/profile_labels.h"
#include "model/code_tables.h"

namespace zurvafun::codes {
namespace {

struct Case {
  Table table;
  std::string_view code;
  std::string_view label;
};

TEST(CodeLabelsTest, CodesAndTheirLabels) {
  const Case cases[] = {
      {kSex, "576", "绅士"},
      {kSex, "577", "淑女"},
      {kSex, "578", ""},
      {kSex, " 576", ""},
      {kMarital, "1", "未婚"},
      {kMarital, "2", "离异"},
      {kMarital, "3", "丧偶"},
      {kMarital, "4", ""},
      {kEducationShown, "122", "大专以下"},
      {kEducationShown, "127", "博士后"},
      {kEducationShown, "128", "双学士"},
      {kEducationShown, "121", ""},
      {kEducationShown, "129", ""},
      {kOccupation, "152", "学生"},
      {kOccupation, "166", "人事行政"},
      {kOccupation, "168", "文秘助理"},
      {kOccupation, "174", "教师"},
      {kOccupation, "179", "军人"},
      {kOccupation, "185", "记者编辑"},
      {kOccupation, "186", "体育"},
      {kOccupation, "187", "律师"},
      {kOccupation, "822", "专业人士"},
      {kOccupation, "823", "自由职业"},
      {kOccupation, "826", "其他职业"},
      {kOccupation, "167", ""},
      {kOccupation, "175", ""},
      {kOccupation, "176", ""},
      {kOccupation, "177", ""},
      {kOccupation, "178", ""},
      {kOccupation, "824", ""},
      {kIncome, "222", "2万元以下"},
      {kIncome, "230", "9-10万"},
      {kIncome, "236", "50-100万"},
      {kIncome, "237", "100万以上"},
      {kIncome, "221", ""},
      {kIncome, "238", ""},
      {kIncome, "", ""},
      // The variants some lists print.
      {kMaritalPadded, "1", "   未婚"},
      {kMaritalPadded, "3", "    丧偶    "},
      {kMaritalPadded, "03", ""},
      {kEthnicShort, "48", "苗族"},
      {kEthnicShort, "49", ""},
      {kEducationFrom124, "123", ""},
      {kEducationFrom124, "124", "本科"},
      {kEducationFrom124, "127", "博士后"},
      {kEducationCard, "127", "\t 博士后"},
      {kEducationCard, "128", "  双学士"},
      {kEducationResultRow, "127", "         博士后"},
      {kEducationResultRow, "122", "  大专以下"},
  };
  for (const Case& c : cases) EXPECT_EQ(labelOrEmpty(c.table, c.code), c.label) << c.code;
}

TEST(CodeLabelsTest, EveryOccupationCodeHasItsOwnLabel) {
  int labelled = 0;
  for (int code = 100; code < 900; ++code) {
    if (!labelOrEmpty(kOccupation, std::to_string(code)).empty()) ++labelled;
  }
  EXPECT_EQ(labelled, 34);
  for (int code = 222; code <= 237; ++code)
    EXPECT_FALSE(labelOrEmpty(kIncome, std::to_string(code)).empty()) << code;
}

TEST(CodeLabelsTest, LooksRule) {
  EXPECT_EQ(looksLabel("0"), "未填");
  EXPECT_EQ(looksLabel("f"), "满分");
  EXPECT_EQ(looksLabel("7"), "7分");
  EXPECT_EQ(looksLabel("F"), "F分");
  EXPECT_EQ(looksLabel(""), "");
  // The profile panel and the member card write the unit for an empty rating.
  EXPECT_EQ(members::looksText(""), "分");
  EXPECT_EQ(members::looksText("7"), "7分");
}

}  // namespace
}  // namespace zurvafun::codes

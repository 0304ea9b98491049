#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "showcase/card_labels.h"

namespace zurvafun::showcase {
namespace {

struct Case {
  std::string_view (*table)(std::string_view);
  std::string_view code;
  std::string_view label;
};

TEST(CardLabelsTest, CodesAndTheirLabels) {
  const Case cases[] = {
      {sexLabel, "576", "绅士"},          {sexLabel, "577", "淑女"},
      {sexLabel, "578", ""},              {sexLabel, " 576", ""},
      {maritalLabel, "1", "未婚"},        {maritalLabel, "2", "离异"},
      {maritalLabel, "3", "丧偶"},        {maritalLabel, "4", ""},
      {educationLabel, "122", "大专以下"}, {educationLabel, "127", "博士后"},
      {educationLabel, "128", "双学士"},   {educationLabel, "121", ""},
      {educationLabel, "129", ""},        {occupationLabel, "152", "学生"},
      {occupationLabel, "166", "人事行政"}, {occupationLabel, "168", "文秘助理"},
      {occupationLabel, "174", "教师"},     {occupationLabel, "179", "军人"},
      {occupationLabel, "185", "记者编辑"}, {occupationLabel, "186", "体育"},
      {occupationLabel, "187", "律师"},     {occupationLabel, "822", "专业人士"},
      {occupationLabel, "823", "自由职业"}, {occupationLabel, "826", "其他职业"},
      {occupationLabel, "167", ""},        {occupationLabel, "175", ""},
      {occupationLabel, "176", ""},        {occupationLabel, "177", ""},
      {occupationLabel, "178", ""},        {occupationLabel, "824", ""},
      {incomeLabel, "222", "2万元以下"},   {incomeLabel, "230", "9-10万"},
      {incomeLabel, "236", "50-100万"},   {incomeLabel, "237", "100万以上"},
      {incomeLabel, "221", ""},            {incomeLabel, "238", ""},
      {incomeLabel, "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.table(c.code), c.label) << c.code;
}

TEST(CardLabelsTest, EveryOccupationCodeHasItsOwnLabel) {
  int labelled = 0;
  for (int code = 100; code < 900; ++code) {
    if (!occupationLabel(std::to_string(code)).empty()) ++labelled;
  }
  EXPECT_EQ(labelled, 34);
  for (int code = 222; code <= 237; ++code) EXPECT_FALSE(incomeLabel(std::to_string(code)).empty()) << code;
}

TEST(CardLabelsTest, LooksRule) {
  EXPECT_EQ(looksLabel("0"), "未填");
  EXPECT_EQ(looksLabel("f"), "满分");
  EXPECT_EQ(looksLabel("7"), "7分");
  EXPECT_EQ(looksLabel("F"), "F分");
  EXPECT_EQ(looksLabel(""), "");
}

}  // namespace
}  // namespace zurvafun::showcase

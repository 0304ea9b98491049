// The check of a posted profile form: what it stores, and what it refuses
// before it gives a single column.
#include "profile/profile_check.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "model/member_columns.h"

namespace zurvafun::profile {
namespace {

// A registration form every check accepts.
host::ValueCollection registrationForm(
    const std::vector<std::pair<std::string, std::string>>& changes = {}) {
  std::vector<std::pair<std::string, std::string>> fields = {{"nickname", "小燕"},
                                                             {"name_r", "林晓燕"},
                                                             {"name_ropen", "1"},
                                                             {"SelID", "1"},
                                                             {"IDNo", "440100199001011234"},
                                                             {"sex", "577"},
                                                             {"birthyear", "1990"},
                                                             {"look", "8"},
                                                             {"marrystatus", "1"},
                                                             {"Folk", "39"},
                                                             {"ancestor", "广东"},
                                                             {"province", "广东"},
                                                             {"city", "广州市"},
                                                             {"degree", "124"},
                                                             {"province1", "广东"},
                                                             {"city1", "广州市"},
                                                             {"housesta", "206"},
                                                             {"height", "165"},
                                                             {"weight", "52"},
                                                             {"Shape", "113"},
                                                             {"job", "185"},
                                                             {"dutytype", "教师"},
                                                             {"income", "225"},
                                                             {"incomeopen", "2"},
                                                             {"constel", "白羊座"},
                                                             {"Mobile", "13800138000"},
                                                             {"tel_ropen", "1"},
                                                             {"drink", "不喝"},
                                                             {"smoking", "不吸"},
                                                             {"question", "生日"},
                                                             {"answer", "0101"},
                                                             {"agefrom", "25"},
                                                             {"ageto", "35"},
                                                             {"heightfrom", ""},
                                                             {"heightto", ""},
                                                             {"degreefrom", ""},
                                                             {"degreeto", ""},
                                                             {"qq", "10001"},
                                                             {"msn", ""},
                                                             {"email", "a@example.com"},
                                                             {"intro", "你好"}};
  for (const auto& [field, value] : changes) {
    bool found = false;
    for (auto& f : fields)
      if (f.first == field) f.second = value, found = true;
    if (!found) fields.emplace_back(field, value);
  }
  host::ValueCollection form;
  for (const auto& [field, value] : fields) form.add(field, value);
  return form;
}

Row registration(const host::ValueCollection& form) {
  return profileColumns(form, std::nullopt, Editor::Registration, "digest");
}

TEST(ProfileCheck, TheColumnsOfAValidFormAreCheckedAndPacked) {
  const Row row = registration(registrationForm());
  EXPECT_EQ(row.at("tx").str(), "113");
  EXPECT_EQ(row.at("height_").str(), "165");
  EXPECT_EQ(row.at("weight_").str(), "52");
  EXPECT_EQ(row.at("field").str(), "185");
  EXPECT_EQ(row.at("job").str(), "教师");
  EXPECT_EQ(row.at("star").str(), "白羊座");
  EXPECT_EQ(row.at("drink").str(), "不喝");
  EXPECT_EQ(row.at("passask").str(), "0101");
  EXPECT_EQ(row.at("userdata").str(), "1990#8#1#39#广东#广东-广州市#124#广东-广州市#206");
  EXPECT_EQ(row.at("pay").str(), "225#2");
  EXPECT_EQ(row.at("mobile").str(), "13800138000#1");
  EXPECT_EQ(row.at("password").str(), "digest");
  // Every column a rule of the member table checks is given, under its own name.
  for (const member::Column& column : member::kColumns) {
    if (column.rule == member::Rule::Code || column.rule == member::Rule::Number ||
        column.rule == member::Rule::FreeText) {
      EXPECT_TRUE(row.contains(std::string(column.name))) << column.name;
    }
  }
  // A number is stored as its plain decimal text; an optional code may be left out.
  const Row other = registration(registrationForm({{"height", " 0170 "}, {"constel", ""}}));
  EXPECT_EQ(other.at("height_").str(), "170");
  EXPECT_EQ(other.at("star").str(), "");
}

TEST(ProfileCheck, AValueOutsideItsColumnsRuleIsRefused) {
  struct Case {
    const char* field;
    std::string value;
    const char* refusal;
  };
  const Case cases[] = {
      {"Shape", "999", "请选择体形"},
      {"Shape", "", "请选择体形"},
      {"job", "113", "请选择职业类别"},
      {"constel", "火星座", "请选择星座"},
      {"height", "139", "请选择身高"},
      {"height", "251", "请选择身高"},
      {"height", "1.7", "请选择身高"},
      {"weight", "", "请选择体重"},
      {"weight", "12345", "请选择体重"},
      {"dutytype", "一二三四五六七八九", "职务职称不能超过8个字"},
      {"drink", "a#b", "饮酒习惯不能含有“#”"},
      {"question", std::string(11, 'q'), "取密码问题不能超过10个字"},
      {"income", "221", "请选择年总收入"},
      {"Mobile", std::string(21, '1'), "手机不能超过20个字"},
  };
  for (const Case& c : cases) {
    try {
      registration(registrationForm({{c.field, c.value}}));
      ADD_FAILURE() << c.field << "=" << c.value << " was accepted";
    } catch (const ProfileRejected& refused) {
      EXPECT_EQ(std::string(refused.what()), c.refusal) << c.field << "=" << c.value;
    }
  }
}

}  // namespace
}  // namespace zurvafun::profile

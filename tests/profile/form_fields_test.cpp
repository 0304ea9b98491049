#include "profile/form_fields.h"

#include <gtest/gtest.h>

#include "model/code_tables.h"

namespace zurvafun {
namespace {

TEST(CodeTables, HoldTheCodesInTheFormsOrder) {
  const struct {
    codes::Table table;
    std::size_t size;
    std::string_view first, last;
  } tables[] = {
      {codes::kSex, 2, "576", "577"},          {codes::kVisibility, 4, "1", "4"},
      {codes::kIncomeVisibility, 3, "1", "3"}, {codes::kDocumentType, 3, "1", "3"},
      {codes::kBodyShape, 10, "113", "879"},   {codes::kLooks, 10, "1", "f"},
      {codes::kMarital, 3, "1", "3"},          {codes::kEthnic, 11, "39", "49"},
      {codes::kEducation, 6, "122", "127"},    {codes::kEducationShown, 7, "122", "128"},
      {codes::kOccupation, 34, "152", "826"},  {codes::kHousing, 6, "205", "210"},
      {codes::kIncome, 16, "222", "237"},      {codes::kConstellation, 12, "白羊座", "双鱼座"},
      {codes::kMobileFlag, 2, "1", "2"},
  };
  for (const auto& t : tables) {
    EXPECT_EQ(t.table.size(), t.size) << t.first;
    EXPECT_EQ(t.table.front().code, t.first);
    EXPECT_EQ(t.table.back().code, t.last);
  }
  EXPECT_EQ(codes::labelOf(codes::kEducationShown, "128"), "双学士");
  EXPECT_FALSE(codes::has(codes::kEducation, "128"));
  EXPECT_EQ(codes::labelOf(codes::kOccupation, "185"), "记者编辑");
  EXPECT_FALSE(codes::has(codes::kOccupation, "167"));
  EXPECT_EQ(codes::labelOf(codes::kIncome, "231"), "10-15万");
  EXPECT_EQ(codes::labelOf(codes::kLooks, "f"), "10分");
  EXPECT_EQ(codes::labelOf(codes::kMobileFlag, "1"), "金卡银卡会员可见");
  EXPECT_EQ(codes::labelOf(codes::kVisibility, " 1"), std::nullopt);  // compared as text, exactly
}

TEST(FormFields, StoredValuesAreMadeSafeForTheirPlace) {
  EXPECT_EQ(profile::scriptNumber("1980"), "1980");
  for (const char* item : {"", "19 80", "-5", "1e3", "1980);x(", "１９８０"}) EXPECT_EQ(profile::scriptNumber(item), "") << item;

  EXPECT_EQ(profile::bareAttribute("13800138000").str(), "13800138000");
  EXPECT_EQ(profile::bareAttribute("北京").str(), "北京");
  EXPECT_EQ(profile::bareAttribute("").str(), "");
  EXPECT_EQ(profile::bareAttribute("1 onclick=x").str(), "\"1 onclick=x\"");
  EXPECT_EQ(profile::bareAttribute("a\"b>").str(), "\"a&quot;b&gt;\"");
}

TEST(FormFields, VisibilityIndexTakesOnlyOneDigit) {
  const struct {
    std::string_view digit, index;
  } cases[] = {{"1", "0"}, {"4", "3"}, {"0", "-1"}, {"", ""}, {"x", ""}, {"12", ""}, {"１", ""}};
  for (const auto& c : cases) EXPECT_EQ(profile::visibilityIndex(c.digit), c.index) << c.digit;
}

TEST(FormFields, OptionsAreMarkedByComparison) {
  EXPECT_EQ(profile::options(codes::kMobileFlag, "2").str(),
            "<OPTION value=1>金卡银卡会员可见</OPTION><OPTION value=2 selected>完全保密</OPTION>");
  EXPECT_EQ(profile::options(codes::kMobileFlag, "1", {.mark = " selected "}).str(),
            "<OPTION value=1 selected >金卡银卡会员可见</OPTION><OPTION value=2>完全保密</OPTION>");
  EXPECT_EQ(profile::options(codes::kSex, std::nullopt, {.quote = profile::Quote::Double, .lowerCase = true}).str(),
            "<option value=\"576\">绅士</option><option value=\"577\">淑女</option>");
  EXPECT_EQ(profile::numberOptions(1997, 1995, "1996", {.quote = profile::Quote::Single}).str(),
            "<OPTION value='1997'>1997</OPTION><OPTION value='1996' selected>1996</OPTION>"
            "<OPTION value='1995'>1995</OPTION>");
  EXPECT_EQ(profile::numberOptions(20, 21, "020").str(), "<OPTION value=20>20</OPTION><OPTION value=21>21</OPTION>");
  const std::string regions = profile::regionOptions().str();
  EXPECT_TRUE(regions.starts_with("<OPTION value=广东>广东</OPTION><OPTION value=广西>广西</OPTION>"));
  EXPECT_TRUE(regions.ends_with("<OPTION value=大洋洲>大洋洲</OPTION>"));
}

}  // namespace
}  // namespace zurvafun

#include "model/regions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace zurvafun::regions {
namespace {

TEST(Regions, CityTableInIndexOrder) {
  ASSERT_EQ(kCities.size(), 467u);
  EXPECT_EQ(kCities[0].city, "广州市");
  EXPECT_EQ(kCities[0].province, "广东");
  EXPECT_EQ(kCities[466].city, "五家渠市");
  EXPECT_EQ(kCities[466].province, "新疆");
  // Entries as the table holds them, odd ones included.
  struct Spot {
    std::size_t index;
    const char* city;
    const char* province;
  };
  const Spot spots[] = {
      {91, "十堰市", "浙江"},      {78, "十堰市", "湖北"},      {114, "上海市区", "上海"},
      {221, "朝阳区", "北京"},     {187, "朝阳市", "辽宁"},     {303, "市区", "重庆"},
      {321, "香港", "香港"},       {324, "湘西州", "湖南"},     {405, "黄埔区", "上海"},
      {412, "普坨区", "上海"},     {422, "肇庆市", "广东"},     {433, "其他国家", "亚洲"},
      {434, "美国", "北美"},       {453, "其他国家", "大洋洲"}, {454, "宁德市", "福建"},
      {209, "大兴安岭", "黑龙江"}, {329, "阿拉善盟", "内蒙古"}, {383, "延庆县", "北京"},
  };
  for (const Spot& s : spots) {
    EXPECT_EQ(kCities[s.index].city, s.city) << s.index;
    EXPECT_EQ(kCities[s.index].province, s.province) << s.index;
  }
}

TEST(Regions, FortyProvinceNamesCoverTheTable) {
  ASSERT_EQ(kProvinces.size(), 40u);
  EXPECT_EQ(kProvinces.front(), "广东");
  EXPECT_EQ(kProvinces[17], "内蒙古");
  EXPECT_EQ(kProvinces[35], "欧洲");
  EXPECT_EQ(kProvinces[36], "北美");
  EXPECT_EQ(kProvinces.back(), "大洋洲");
  std::set<std::string_view> names(kProvinces.begin(), kProvinces.end());
  EXPECT_EQ(names.size(), 40u);
  std::set<std::string_view> used;
  for (const City& c : kCities) used.insert(c.province);
  EXPECT_EQ(used, names);
  // Names are stored between "#" and "-" separators in the member record.
  for (const City& c : kCities) {
    EXPECT_EQ(std::string(c.city).find_first_of("#-"), std::string::npos) << c.city;
  }
}

TEST(Regions, CitiesOfAProvinceKeepIndexOrderAcrossRuns) {
  std::vector<std::size_t> hunan = citiesOf("湖南");
  ASSERT_EQ(hunan.size(), 14u);
  EXPECT_EQ(hunan.front(), 50u);
  EXPECT_EQ(hunan.back(), 324u);
  std::vector<std::size_t> xinjiang = citiesOf("新疆");
  EXPECT_EQ(xinjiang.size(), 16u);
  EXPECT_TRUE(std::is_sorted(xinjiang.begin(), xinjiang.end()));
  EXPECT_TRUE(citiesOf("火星").empty());
}

}  // namespace
}  // namespace zurvafun::regions

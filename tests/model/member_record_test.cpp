#include "model/member_record.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "runtime/text.h"

namespace zurvafun::member {
namespace {

UserData beijing1980() {
  UserData d;
  d.birthYear = "1980";
  d.looks = "f";
  d.marital = "1";
  d.ethnic = "39";
  d.nativeRegion = "北京";
  d.residence = {"北京", "北京"};
  d.education = "124";
  d.household = {"北京", "北京"};
  d.housing = "205";
  return d;
}

TEST(MemberRecordUserData, BuildsTheFixedLayoutThatSqlReads) {
  std::string s = buildUserData(beijing1980());
  EXPECT_EQ(s, "1980#f#1#39#北京#北京-北京#124#北京-北京#205");
  // What the search conditions cut out of the text, counted in characters.
  EXPECT_EQ(Left(s, 4), "1980");
  EXPECT_EQ(Mid(s, 8, 1), "1");
  EXPECT_EQ(Mid(s, 13, 2), "北京");
  EXPECT_EQ(Right(s, 3), "205");
  EXPECT_EQ(Mid(s, InStr(s, "#12") + 1, 3), "124");
  EXPECT_EQ(userDataProblem(s), "");
}

TEST(MemberRecordUserData, ReadsBackEveryItem) {
  UserData d = readUserData("1975#7#2#43#黑龙江#广东-广州市#126#湖北-十堰市#210");
  EXPECT_EQ(d.birthYear, "1975");
  EXPECT_EQ(d.looks, "7");
  EXPECT_EQ(d.marital, "2");
  EXPECT_EQ(d.ethnic, "43");
  EXPECT_EQ(d.nativeRegion, "黑龙江");
  EXPECT_EQ(d.residence.province, "广东");
  EXPECT_EQ(d.residence.city, "广州市");
  EXPECT_EQ(d.education, "126");
  EXPECT_EQ(d.household.province, "湖北");
  EXPECT_EQ(d.household.city, "十堰市");
  EXPECT_EQ(d.housing, "210");
  EXPECT_EQ(buildUserData(d), "1975#7#2#43#黑龙江#广东-广州市#126#湖北-十堰市#210");
}

TEST(MemberRecordUserData, MissingItemsReadAsEmpty) {
  UserData d = readUserData("1980#5");
  EXPECT_EQ(d.birthYear, "1980");
  EXPECT_EQ(d.looks, "5");
  EXPECT_EQ(d.marital, "");
  EXPECT_EQ(d.residence.province, "");
  EXPECT_EQ(d.housing, "");
  // A place without "-": the province only.
  d = readUserData("1980#5#1#39#北京#北京#124");
  EXPECT_EQ(d.residence.province, "北京");
  EXPECT_EQ(d.residence.city, "");
  EXPECT_EQ(readUserData("").birthYear, "");
}

TEST(MemberRecordUserData, RefusesItemsThatBreakTheLayout) {
  const std::vector<std::pair<const char*, std::function<void(UserData&)>>> cases = {
      {"three-digit year", [](UserData& d) { d.birthYear = "980"; }},
      {"five-digit year", [](UserData& d) { d.birthYear = "19800"; }},
      {"year with a letter", [](UserData& d) { d.birthYear = "198a"; }},
      {"looks 10", [](UserData& d) { d.looks = "10"; }},
      {"looks F", [](UserData& d) { d.looks = "F"; }},
      {"looks empty", [](UserData& d) { d.looks = ""; }},
      {"marital 0", [](UserData& d) { d.marital = "0"; }},
      {"marital 4", [](UserData& d) { d.marital = "4"; }},
      {"ethnic 38", [](UserData& d) { d.ethnic = "38"; }},
      {"ethnic 50", [](UserData& d) { d.ethnic = "50"; }},
      {"ethnic one digit", [](UserData& d) { d.ethnic = "4"; }},
      {"education 121", [](UserData& d) { d.education = "121"; }},
      {"education 129", [](UserData& d) { d.education = "129"; }},
      {"housing 204", [](UserData& d) { d.housing = "204"; }},
      {"housing 211", [](UserData& d) { d.housing = "211"; }},
      {"housing two digits", [](UserData& d) { d.housing = "20"; }},
      {"native region with #", [](UserData& d) { d.nativeRegion = "北#京"; }},
      {"native region with -", [](UserData& d) { d.nativeRegion = "北-京"; }},
      {"native region starting 12", [](UserData& d) { d.nativeRegion = "12区"; }},
      {"residence starting 12", [](UserData& d) { d.residence.province = "123"; }},
      {"city with -", [](UserData& d) { d.residence.city = "a-b"; }},
      {"household with #", [](UserData& d) { d.household.province = "a#b"; }},
  };
  for (const auto& [name, change] : cases) {
    UserData d = beijing1980();
    change(d);
    EXPECT_NE(userDataProblem(d), "") << name;
    EXPECT_THROW(buildUserData(d), std::invalid_argument) << name;
  }
}

TEST(MemberRecordUserData, ChecksStoredTexts) {
  EXPECT_EQ(userDataProblem("1980#f#1#39#北京#-#124#-#205"), "");  // places may be empty
  EXPECT_NE(userDataProblem("1980#f#1#39#北京#北京-北京#124#北京-北京"), "");       // eight items
  EXPECT_NE(userDataProblem("1980#f#1#39#北京#北京-北京#124#北京-北京#205#"), "");  // ten
  EXPECT_NE(userDataProblem("1980#f#1#39#北京#北京#124#北京-北京#205"), "");        // no "-"
  EXPECT_NE(userDataProblem("1980#f#1#39#北京#北京-北-京#124#北京-北京#205"), "");
  EXPECT_NE(userDataProblem("80#f#1#39#北京#北京-北京#124#北京-北京#205"), "");
}

TEST(MemberRecordFlagged, NameCarriesItsVisibilityDigit) {
  EXPECT_EQ(buildName("张三", kFriends), "张三3");
  Flagged n = readName("张三3");
  EXPECT_EQ(n.value, "张三");
  EXPECT_EQ(n.flag, "3");
  n = readName("李四");  // last character not a digit
  EXPECT_EQ(n.value, "李");
  EXPECT_EQ(n.flag, "四");
  n = readName("");
  EXPECT_EQ(n.value, "");
  EXPECT_EQ(n.flag, "");
  EXPECT_EQ(buildName("一二三四五六七八九十一二三四五六", kSecret).size(), 16u * 3 + 1);
  EXPECT_THROW(buildName("一二三四五六七八九十一二三四五六七", 1), std::invalid_argument);
  EXPECT_THROW(buildName("张三", 0), std::invalid_argument);
  EXPECT_THROW(buildName("张三", 5), std::invalid_argument);
}

TEST(MemberRecordFlagged, IdNoIsTrimmedBeforeTheTypeDigitIsTaken) {
  const std::string number = "11010519800101123X";
  std::string stored = buildIdNo(number, 1);
  EXPECT_EQ(Len(stored), 19);
  EXPECT_EQ(Right(stored, 1), "1");
  Flagged id = readIdNo(" " + stored + "  ");
  EXPECT_EQ(id.value, number);
  EXPECT_EQ(id.flag, "1");
  EXPECT_EQ(readIdNo("   ").flag, "");
  EXPECT_THROW(buildIdNo(number + "9", 1), std::invalid_argument);
  EXPECT_THROW(buildIdNo(number, 4), std::invalid_argument);
}

TEST(MemberRecordPacked, PayAndMobileSplitOnHash) {
  EXPECT_EQ(buildPay(225, 2), "225#2");
  Pay p = readPay("231#1");
  EXPECT_EQ(p.income, "231");
  EXPECT_EQ(p.visibility, "1");
  p = readPay("225");  // no visibility item
  EXPECT_EQ(p.income, "225");
  EXPECT_EQ(p.visibility, "");
  EXPECT_THROW(buildPay(221, 1), std::invalid_argument);
  EXPECT_THROW(buildPay(238, 1), std::invalid_argument);
  EXPECT_THROW(buildPay(225, 4), std::invalid_argument);

  EXPECT_EQ(buildMobile("13800138000", 2), "13800138000#2");
  Mobile m = readMobile("13800138000#2");
  EXPECT_EQ(m.number, "13800138000");
  EXPECT_EQ(m.flag, "2");
  m = readMobile("13800138000");
  EXPECT_EQ(m.number, "13800138000");
  EXPECT_EQ(m.flag, "");
  m = readMobile("#");  // the login's isnull(mobile,'#')
  EXPECT_EQ(m.number, "");
  EXPECT_EQ(m.flag, "");
  EXPECT_THROW(buildMobile("138", 3), std::invalid_argument);
  EXPECT_THROW(buildMobile("1#38", 1), std::invalid_argument);
}

TEST(MemberRecordPacked, LianxiReadsNullAsThreeEmptyItems) {
  Contact c = readLianxi(std::nullopt);
  EXPECT_EQ(c.qq + c.msn + c.email, "");
  c = readLianxi("12345");
  EXPECT_EQ(c.qq, "12345");
  EXPECT_EQ(c.msn, "");
  EXPECT_EQ(c.email, "");
  c = readLianxi("##a@b.cn");
  EXPECT_EQ(c.qq, "");
  EXPECT_EQ(c.email, "a@b.cn");
  c = readLianxi("1#m@live.cn#e@x.cn#extra");
  EXPECT_EQ(c.msn, "m@live.cn");
  EXPECT_EQ(c.email, "e@x.cn");
  EXPECT_EQ(buildLianxi({"12345", "", "e@x.cn"}), "12345##e@x.cn");
  EXPECT_THROW(buildLianxi({"1#2", "", ""}), std::invalid_argument);
}

TEST(MemberRecordCriteria, BuildsEighteenItemsWithRanges) {
  Criteria c;
  c.items[kAgeRange] = buildRange("20", "30");
  c.items[kHeightRange] = buildRange("160", "180");
  c.items[kEducationRange] = buildRange("122", "127");
  c.items[kDayNum] = "0";
  c.items[kSex] = "577";
  c.items[kResidence] = buildRange("0", "0");
  c.items[kIncomeRange] = buildRange("", "");
  c.items[kWeightRange] = buildRange("", "");
  c.items[kHousehold] = buildRange("0", "0");
  c.items[kLoginDayNum] = "0";
  std::string s = buildUserBz(c);
  EXPECT_EQ(s, "20-30#160-180#122-127#0###577#0-0#-##-##0-0#####0");

  Criteria back = readUserBz(s);
  EXPECT_EQ(back.items, c.items);
  EXPECT_EQ(back.range(kAgeRange).low, "20");
  EXPECT_EQ(back.range(kAgeRange).high, "30");
  EXPECT_EQ(back.range(kEducationRange).high, "127");
  EXPECT_EQ(back.range(kWeightRange).low, "");

  c.items[kAncestor] = "a#b";
  EXPECT_THROW(buildUserBz(c), std::invalid_argument);
}

TEST(MemberRecordCriteria, ShortTextsAndItemsWithoutDash) {
  Criteria c = readUserBz("25-35#160-175#123-125");
  EXPECT_EQ(c.range(kHeightRange).high, "175");
  EXPECT_EQ(c.items[kSex], "");
  EXPECT_EQ(c.items[kLoginDayNum], "");
  Range r = readRange("25");
  EXPECT_EQ(r.low, "25");
  EXPECT_EQ(r.high, "");
  r = readRange("-");
  EXPECT_EQ(r.low, "");
  EXPECT_EQ(r.high, "");
  EXPECT_EQ(readUserBz("").items[kAgeRange], "");
}

TEST(MemberRecordNosou, HoldsMemberNumbersOnly) {
  EXPECT_EQ(buildNosou({12, 57}), "12#57");
  EXPECT_EQ(buildNosou({}), "");
  EXPECT_EQ(readNosou("12#57"), (std::vector<long>{12, 57}));
  EXPECT_EQ(readNosou(""), std::vector<long>{});
  // Elements that are no member number never reach a statement.
  EXPECT_EQ(readNosou("12#1 or 1=1#57##x"), (std::vector<long>{12, 57}));
}

TEST(MemberRecordPhotos, FlagsAndProfilePicture) {
  EXPECT_TRUE(isApproved("photo25_2024_03_15_1.jpg1"));
  EXPECT_FALSE(isApproved("photo25_2024_03_15_1.jpg0"));
  EXPECT_FALSE(isApproved(""));
  EXPECT_EQ(photoFileName("smallphoto25.jpg1"), "smallphoto25.jpg");
  EXPECT_EQ(photoEntry("smallphoto25.jpg", false), "smallphoto25.jpg0");
  EXPECT_EQ(headPhotoName(25), "smallphoto25.jpg");

  EXPECT_TRUE(readPhotoList("").empty());
  std::vector<std::string> album = {"photo1_a.jpg1", "photo1_b.jpg0", "photo1_c.jpg1"};
  std::string stored = buildPhotoList(album);
  EXPECT_EQ(stored, "photo1_a.jpg1#photo1_b.jpg0#photo1_c.jpg1");
  EXPECT_EQ(readPhotoList(stored), album);
  EXPECT_EQ(profilePicture(stored), "photo1_c.jpg1");
  EXPECT_EQ(profilePicture(""), "");
  EXPECT_THROW(buildPhotoList({"a.jpg1", ""}), std::invalid_argument);
}

TEST(MemberRecordSex, OppositeSex) {
  EXPECT_EQ(oppositeSex(kMan), kWoman);
  EXPECT_EQ(oppositeSex(kWoman), kMan);
  EXPECT_TRUE(isSexCode(576));
  EXPECT_TRUE(isSexCode(577));
  EXPECT_FALSE(isSexCode(0));
  EXPECT_FALSE(isSexCode(578));
}

}  // namespace
}  // namespace zurvafun::member

// The member row of the result list: photo rule with the friend test, facts,
// self-introduction, action links, and rows with broken stored values.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/search/search_fixture.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::contains;

class MemberRowTest : public testing::SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    add({.userid = 9, .nickname = "viewer", .sex = 576});
  }

  // The result list of a single search for member `userid`, seen by member 9.
  std::string row(long userid, const std::string& grade = "2") {
    nextRequest();
    logIn(9, grade);
    query("menu", "1");
    post({{"s_value", "0"}, {"s_name", std::to_string(userid)}});
    Variant width = 120, height = 150, rtype = "";
    Variant result;
    const long error =
        testing::errorOf([&] { result = z().seach_result(con[0], con[1], con[2], con[3], width, height, rtype); });
    EXPECT_EQ(error, 0);
    return result.str();
  }
};

TEST_F(MemberRowTest, FactsAndLinks) {
  add({.userid = 5, .nickname = "小雨", .grade = 3, .trust = 4});
  Variant id = 5;
  const std::string token = z().idasc(id).str();
  const std::string page = row(5);
  EXPECT_TRUE(contains(page, "<a href=/por.asp?id=" + token + "  target=_blank> <img src='/images/nophoto.gif' "
                                                      "width='120' height='150' border='0'></a>"));
  EXPECT_TRUE(contains(page, " <a href=\"/por.asp?id=" + token + "\" target=\"_blank\" class=\"Orange_NoUnderLine\">小雨</a>"));
  EXPECT_TRUE(contains(page, "<a href=\"ReadyBuy.asp\" target=\"_blank\">        <img src='/Images/golduser3.gif' "
                             "border=\"0\"></a>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<a href=\"/xjrz.asp\" target=\"_blank\">"
                             "<img src=\"/images/s_blue_4.gif\" border=\"0\" alt=\"身份验证等级4钻\"></a>"));
  EXPECT_TRUE(contains(page, ">淑女，30(岁)，教师</font>"));
  EXPECT_TRUE(contains(page, ">湖南-长沙市，   未婚， 本科， 165cm，52kg，</font>"));
  EXPECT_TRUE(contains(page, ">相貌自评： 8分　　　 </font>"));
  EXPECT_TRUE(contains(page, "&nbsp;&nbsp;&nbsp;&nbsp;你好</font>"));
  EXPECT_TRUE(contains(page, R"~(<script language="javascript" src="inc/control2.js"></script>)~"));
  EXPECT_TRUE(contains(page, "onClick=\"javascript:popup('sendmsg.asp?userid=5',512,370);\""));
  EXPECT_TRUE(contains(page, "window.open('addfriends.asp?userid=5','_blank','width=1,height=1,top=2000')"));
  EXPECT_TRUE(contains(page, "window.open('love1.asp?userid=5&submitok=ww','_blank','width=500,height=200')"));
  EXPECT_TRUE(contains(page, "window.open('myfiles/sc.asp?userid=5','_blank','1,1,top=1000');"));
  EXPECT_TRUE(contains(page, "window.open('nosou.asp?id=5','_blank','1,1,top=1000');"));
}

TEST_F(MemberRowTest, CodeLabels) {
  struct Case {
    const char* field;
    const char* userdata;
    const char* line1;
    const char* line2;
    const char* looks;
  };
  const std::vector<Case> cases = {
      {"185", "1996#f#2#39#广东#广东-广州市#127#湖南-长沙市#206", "淑女，30(岁)，记者编辑",
       "湖南-长沙市，    离异，         博士后， 165cm", "相貌自评： 满分"},
      {"186", "1990#0#3#39#广东#广东-广州市#128#北京-朝阳区#206", "淑女，36(岁)，体育",
       "北京-朝阳区，    丧偶    ，  双学士， 165cm", "相貌自评： 未填"},
      {"167", "1990#6#9#39#广东#广东-广州市#122#北京-朝阳区#206", "淑女，36(岁)，</font>",
       "北京-朝阳区，，  大专以下， 165cm", "相貌自评： 6分"},
  };
  long id = 10;
  for (const Case& c : cases) {
    add({.userid = id, .userdata = c.userdata, .field = c.field});
    const std::string page = row(id++);
    EXPECT_TRUE(contains(page, c.line1)) << c.field;
    EXPECT_TRUE(contains(page, c.line2)) << c.field;
    EXPECT_TRUE(contains(page, c.looks)) << c.field;
  }
}

TEST_F(MemberRowTest, FriendsOnlyPhotosNeedAnAcceptedFriendship) {
  const std::string photo = "<img src='/smallphoto/smallphoto5.jpg' border='0' width=120 height=150>";
  const std::string friendsOnly = "<img src='/images/no03577.gif' width=120 height=150 border='0'>";
  // friendship (row direction, ifok), the member's privacy, the viewer's grade, photo shown
  const std::vector<std::tuple<std::string, int, std::string, std::string>> cases = {
      {"9,5,1", 3, "2", photo},  {"5,9,1", 3, "2", photo},   {"9,5,0", 3, "2", friendsOnly},
      {"", 3, "2", friendsOnly}, {"", 3, "11", photo},       {"9,5,0", 2, "2", photo},
      {"9,5,null", 3, "2", photo},
  };
  for (const auto& [friendship, privacy, grade, shown] : cases) {
    run("delete from zurva_user where userid=5");
    run("delete from Friends");
    add({.userid = 5, .smallphoto = "smallphoto5.jpg1", .ifphotolook = privacy});
    if (!friendship.empty()) run("insert into Friends(userid,senduserid,ifok) values(" + friendship + ")");
    EXPECT_TRUE(contains(row(5, grade), shown)) << friendship << " " << privacy << " " << grade;
  }
}

TEST_F(MemberRowTest, AMemberSeesHisOwnFriendsOnlyPhoto) {
  run("delete from zurva_user where userid=9");
  add({.userid = 9, .nickname = "viewer", .sex = 576, .smallphoto = "smallphoto9.jpg1", .ifphotolook = 3});
  EXPECT_TRUE(contains(row(9), "<img src='/smallphoto/smallphoto9.jpg' border='0' width=120 height=150>"));
}

TEST_F(MemberRowTest, TheSelfIntroductionIsEscapedFilteredAndCut) {
  add({.userid = 5, .aboutus = "  第一行\r\n<b>第二行</b> 笨蛋  "});
  EXPECT_TRUE(contains(row(5), "&nbsp;&nbsp;&nbsp;&nbsp;第一行  &lt;b&gt;第二行&lt;/b&gt; **</font>"));
  run("update zurva_user set aboutus=? where userid=5", {Variant(std::string(199, 'a') + "&")});
  const std::string cut = row(5);
  EXPECT_TRUE(contains(cut, std::string(199, 'a') + "&...</font>"));
  run("update zurva_user set aboutus=? where userid=5", {Variant(std::string(200, 'a'))});
  EXPECT_TRUE(contains(row(5), std::string(200, 'a') + "</font>"));
}

TEST_F(MemberRowTest, StoredTextIsEscapedAndBrokenValuesShowEmpty) {
  add({.userid = 5, .nickname = "<script>x</script>", .height = "\"><b>"});
  const std::string escaped = row(5);
  EXPECT_TRUE(contains(escaped, "&lt;script&gt;x&lt;/script&gt;</a>"));
  EXPECT_TRUE(contains(escaped, "&quot;&gt;&lt;b&gt;cm"));
  EXPECT_FALSE(contains(escaped, "<script>x"));

  add({.userid = 6, .nickname = Variant::null(), .sex = Variant::null(), .trust = Variant::null(), .userdata = "abc",
       .height = Variant::null(), .aboutus = Variant::null()});
  add({.userid = 7, .userdata = Variant::null(), .field = Variant::null()});
  add({.userid = 8, .userdata = "1990#5", .ifphotolook = Variant::null()});
  const std::string broken = row(6);
  EXPECT_TRUE(contains(broken, "<font color=\"#4f4f4f\">，(岁)，教师</font>"));
  EXPECT_TRUE(contains(broken, "&nbsp;&nbsp;&nbsp;&nbsp;</font>"));
  EXPECT_TRUE(contains(broken, "alt=\"身份验证等级钻\""));
  EXPECT_TRUE(contains(row(7), "，(岁)，</font>"));
  EXPECT_TRUE(contains(row(8), "相貌自评： 5分"));
  // Empty items keep their places; items past the household are not read.
  add({.userid = 10, .userdata = "1990#7##x#y##129#上海-浦东#more#"});
  const std::string sparse = row(10);
  EXPECT_TRUE(contains(sparse, "相貌自评： 7分"));
  EXPECT_TRUE(contains(sparse, "<font color=\"#4f4f4f\">上海-浦东，"));
}

}  // namespace
}  // namespace zurvafun

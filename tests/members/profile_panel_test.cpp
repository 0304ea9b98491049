#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "tests/golden.h"
#include "tests/members/members_fixture.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kAccount = "xiaoyu@example.com";
constexpr const char* kDigest = "0123456789abcdef";

class ProfilePanelTest : public MembersTest {
 protected:
  void SetUp() override {
    MembersTest::SetUp();
    addRow(member25());
  }

  // The member of the golden page: a woman with every value filled.
  static Columns member25() {
    return {{"userid", 25},
            {"zurvauser", kAccount},
            {"password", kDigest},
            {"nickname", "小雨<b>"},
            {"trust", 3},
            {"grade", 2},
            {"name", "林晓燕1"},
            {"idno", " 4401011990010112341 "},
            {"sex", 577},
            {"userdata", "1990#8#1#39#广东#广东-广州市#124#广东-广州市#206"},
            {"height_", "165"},
            {"weight_", "52"},
            {"tx", "867"},
            {"field", "174"},
            {"job", "高级教师"},
            {"pay", "231#1"},
            {"star", "双鱼座"},
            {"mobile", "13800138000#1"},
            {"drink", "偶尔"},
            {"smoking", ""},
            {"userbz", "25-30#160-175#124-126#0#0#0#576"},
            {"lianxi", "12345##a@b.com"},
            {"aboutus", "你好  世界 <i>\r\n第二行"},
            {"sfphoto", "photo25_sf.jpg1"},
            {"xlphoto", "photo25_xl.jpg0"},
            {"hyphoto", Variant::null()},
            {"srphoto", "photo25_sr.jpg1"}};
  }

  void show(const std::string& id = "25") {
    h->request().QueryString.add("id", id);
    zurva z;
    asPage([&] { z.memberinfo(kServer, kUser, kPassword, kDatabase); });
  }

  // The text of the value cell that follows the label `label`.
  std::string cell(const std::string& label) const {
    const std::string text = body();
    std::string lower = text;  // tags of either case; positions stay
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    size_t at = text.find(label);
    if (at == std::string::npos) return "<no label " + label + ">";
    at = lower.find("<td", lower.find("</td>", at));
    at = text.find('>', at) + 1;
    return text.substr(at, lower.find("</td>", at) - at);
  }
};

TEST_F(ProfilePanelTest, GuestSeesThePanelAsTranscribed) {
  show();
  EXPECT_TRUE(matchesGolden("profile_panel_guest.html", body(), Blanks::BetweenTags));
  EXPECT_FALSE(h->response().ended());
}

TEST_F(ProfilePanelTest, AccountNameAndDigestReachNoViewer) {
  for (const char* grade : {"", "1", "3", "23"}) {
    SCOPED_TRACE(grade);
    newVisitor();
    if (*grade) logIn(7, grade);
    show();
    EXPECT_EQ(body().find(kAccount), std::string::npos);
    EXPECT_EQ(body().find(kDigest), std::string::npos);
    EXPECT_NE(body().find(R"(<input name="username"  type=hidden value="" maxlength="50" />)"), std::string::npos);
    EXPECT_NE(body().find(R"(name="password_confirm"  type=hidden value="" maxlength="12" />)"), std::string::npos);
  }
}

// Every viewer kind against the switch: what a filled contact part shows.
TEST_F(ProfilePanelTest, ContactRulesByGradeSwitchAndSex) {
  const std::string part = "12345";
  const std::string upgrade =
      R"(<FONT color=#336600><FONT color=#ff6600>金银卡会员可见</font></font>&nbsp;<a href="ReadyBuy.asp" target="_top"><img src="images/upvip.gif" border="0"></a>)";
  const std::string sameSex = "<FONT color=#336600><FONT color=#ff6600>异性可见</font></font>";
  struct Case {
    const char* grade;  // "" for a guest
    const char* sex;
    const char* freeAccess;
    std::string qq;
  };
  const std::vector<Case> cases = {
      {"", "", "0", upgrade},       {"", "", "1", part},          {"", "", "2", upgrade},
      {"0", "576", "0", upgrade},   {"0", "576", "1", part},      {"1", "576", "0", upgrade},
      {"1", "576", "1", part},      {"1", "577", "0", upgrade},   {"1", "577", "1", sameSex},
      {"2", "576", "0", part},      {"2", "576", "1", part},      {"2", "577", "0", sameSex},
      {"3", "577", "1", sameSex},   {"10", "577", "0", sameSex},  {"10", "576", "0", part},
      {"23", "577", "0", part},     {"23", "576", "1", part},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("grade ") + c.grade + " sex " + c.sex + " switch " + c.freeAccess);
    newVisitor();
    settings(c.freeAccess);
    if (*c.grade) logIn(7, c.grade, c.sex);
    show();
    EXPECT_EQ(cell("Q Q："), c.qq);
    EXPECT_EQ(cell("MSN："), "未填");  // an empty part, for every viewer
  }
}

TEST_F(ProfilePanelTest, MobileNumberByFlag) {
  const std::string mobileUpgrade =
      R"(<FONT color=#ff6600>金银卡会员可见</font>&nbsp;<a href="ReadyBuy.asp" target="_top"><img src="images/upvip.gif" border="0"></a>)";
  const std::string secret = "<FONT color=#ff6600>完全保密</font>";
  struct Case {
    Variant mobile;
    const char* grade;
    const char* sex;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"13800138000#2", "3", "576", secret},    {"13800138000#2", "10", "576", secret},
      {"13800138000#2", "23", "577", "13800138000"}, {"13800138000#1", "1", "576", mobileUpgrade},
      {"13800138000#1", "2", "576", "13800138000"},  {"13800138000", "2", "576", "13800138000"},
      {"13800138000", "2", "577", "<FONT color=#336600><FONT color=#ff6600>异性可见</font></font>"},
      {Variant::null(), "2", "576", ""},        {"", "1", "576", mobileUpgrade},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mobile.str() + " grade " + c.grade);
    run("update zurva_user set mobile=? where userid=25", {c.mobile});
    newVisitor();
    logIn(7, c.grade, c.sex);
    show();
    EXPECT_EQ(cell("手机："), c.shown);
  }
}

TEST_F(ProfilePanelTest, MemberSeesHisOwnContactDataAsTheOtherSexWould) {
  logIn(25, "3", "577");
  show();
  EXPECT_EQ(cell("Q Q："), "<FONT color=#336600><FONT color=#ff6600>异性可见</font></font>");
}

TEST_F(ProfilePanelTest, FriendsOnlyNameOpensToAcceptedFriendsInEitherDirection) {
  run("update zurva_user set name='林晓燕3' where userid=25");
  addFriendship(25, 8, 1);   // 8 asked 25, accepted
  addFriendship(9, 25, 1);   // 25 asked 9, accepted
  addFriendship(25, 10, 0);  // pending
  const std::string hidden = "<font color=red>好友可见</font>";
  const std::string icon = R"(<IMG src="/images/yz.gif" alt="已验证" >)";
  for (auto [viewer, shown] : {std::pair{8L, "林晓燕"}, std::pair{9L, "林晓燕"},
                               std::pair{10L, hidden.c_str()}, std::pair{25L, hidden.c_str()}}) {
    SCOPED_TRACE(viewer);
    newVisitor();
    logIn(viewer, "1");
    show();
    EXPECT_EQ(cell("真实姓名："), shown + icon);
  }
}

TEST_F(ProfilePanelTest, IdMustBeAPlainWholeNumberOfAMember) {
  for (const char* id : {"abc", "1234567890123456", "1,000", "&H10", "1.5", "", "999"}) {
    SCOPED_TRACE(id);
    newVisitor();
    show(id);
    EXPECT_EQ(body(), alertBack("请求错误！"));
    EXPECT_TRUE(h->response().ended());
  }
  newVisitor();
  zurva z;  // no id at all
  asPage([&] { z.memberinfo(kServer, kUser, kPassword, kDatabase); });
  EXPECT_EQ(body(), alertBack("请求错误！"));
}

TEST_F(ProfilePanelTest, LabelsOfTheCodes) {
  struct Case {
    const char* column;
    Variant value;
    const char* label;
    std::string shown;
  };
  const std::string icon = R"(<IMG src="/images/yz.gif" alt="已验证" >)";
  const std::vector<Case> cases = {
      {"userdata", "1990#f#2#48#广东#广东-广州市#128#广东-广州市#208", "相貌评价：", "满分"},
      {"userdata", "1990#0#2#48#广东#广东-广州市#128#广东-广州市#208", "相貌评价：", "未填"},
      {"userdata", "1990##2#48#广东#广东-广州市#128#广东-广州市#208", "相貌评价：", "分"},
      {"userdata", "1990#7#2#48#广东#广东-广州市#128#广东-广州市#208", "民　　族：", "苗族"},
      {"userdata", "1990#7#2#49#广东#广东-广州市#128#广东-广州市#208", "民　　族：", ""},
      {"userdata", "1990#7#2#039#广东#广东-广州市#128#广东-广州市#208", "民　　族：", ""},
      {"userdata", "1990#7#2#39#广东#广东-广州市#128#广东-广州市#208", "学　　历：", "双学士"},
      {"userdata", "1990#7#2#39#广东#广东-广州市#127#广东-广州市#208", "住房状况：", "与父母同住"},
      {"userdata", "1990#7#4#39#广东#广东-广州市#127#广东-广州市#208", "婚姻状况：", ""},
      {"field", "186", "职业类别：", "体育"},
      {"field", "167", "职业类别：", ""},
      {"tx", "879", "体　　形：", " 胖"},
      {"idno", " 123456782  ", "证件类型：", "<FONT color=#333333>军官证</FONT>"},
      {"idno", "123456784", "证件类型：", "<FONT color=#333333></FONT>"},
      {"sex", 0, "性　　别：", " "},
      {"pay", "237#4", "年总收入：", "<font color=red>完全保密</font>" + icon},
      {"pay", "222#2", "年总收入：", "<font color=red>金银卡会员可见</font>" + icon},
      {"pay", "230#1", "年总收入：", "9-10万" + icon},
      {"hyphoto", "photo25_hy.jpg1", "婚姻状况：", "   未婚" + icon},
      {"star", "白羊座", "星&nbsp;&nbsp;座：", R"(&nbsp;<img src="bbs/Skins/Default/birth/z1.gif" alt="白羊座">)"},
      {"star", "魔羯座", "星&nbsp;&nbsp;座：", R"(&nbsp;<img src="bbs/Skins/Default/birth/z10.gif" alt="魔羯座">)"},
      {"star", "龙座", "星&nbsp;&nbsp;座：", "&nbsp;"},
      {"star", Variant::null(), "星&nbsp;&nbsp;座：", "&nbsp;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.column) + "=" + c.value.str());
    Columns row = {{"userid", 30}, {"sex", 576}, {"userdata", member25()[9].second}, {"srphoto", "s.jpg1"}};
    std::erase_if(row, [&](const auto& column) { return column.first == c.column; });
    row.emplace_back(c.column, c.value);
    addRow(row);
    newVisitor();
    show("30");
    EXPECT_EQ(cell(c.label), c.shown);
    run("delete from zurva_user where userid=30");
  }
}

TEST_F(ProfilePanelTest, PartnerEducationBounds) {
  struct Case {
    const char* userbz;
    std::string age, height, education;
  };
  const std::vector<Case> cases = {
      {"25-30#160-175#124-126#", "从25到 30岁 ", "从160CM到175CM", "从本科 到 博士"},
      {"-#-#122-123#", "从到 岁 ", "从CM到CM", "从大专以下 到 "},
      {"18-#-180#128-127", "从18到 岁 ", "从CM到180CM", "从双学士 到 博士后"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userbz);
    run("update zurva_user set userbz=? where userid=25", {Variant(c.userbz)});
    newVisitor();
    show();
    EXPECT_EQ(cell("年龄："), c.age);
    EXPECT_EQ(cell("身高："), c.height);
    EXPECT_EQ(cell("学历："), c.education);
  }
}

TEST_F(ProfilePanelTest, BrokenStoredValuesShowEmptyCells) {
  // Every packed column short, Null or malformed, and no free-access switch.
  addRow({{"userid", 31},
          {"userdata", "1990"},
          {"pay", "999#1"},
          {"name", Variant::null()},
          {"lianxi", ""},
          {"userbz", Variant::null()},
          {"mobile", "#"},
          {"idno", Variant::null()},
          {"drink", Variant::null()}});
  h->application().set("zurva_base_info", Variant(VariantArray{Variant("only<><><><><>two")}));
  show("31");
  const std::string text = body();
  ASSERT_NE(text.find(R"(<TD height="30" bgColor=#f8f8f8></TD>)"), std::string::npos) << text;
  EXPECT_EQ(cell("年总收入："), "");
  EXPECT_EQ(cell("籍　　贯："), "");
  EXPECT_EQ(cell("真实姓名："), "");
  EXPECT_EQ(cell("出生年份："), " 1990年");
  EXPECT_EQ(cell("饮酒习惯："), "");
  EXPECT_EQ(cell("EMAIL："), "未填");
  EXPECT_EQ(cell("年龄："), "从到 岁 ");
  // The missing switch reads as closed: a guest gets the upgrade notice.
  EXPECT_NE(cell("手机："), "");
  EXPECT_EQ(text.find(">>"), std::string::npos);
}

TEST_F(ProfilePanelTest, StoredTextIsEscapedWhereItLands) {
  const std::string hostile = "<script>x</script>\"'&";
  const std::string escaped = "&lt;script&gt;x&lt;/script&gt;&quot;&#39;&amp;";
  run("update zurva_user set nickname=?, job=?, drink=?, height_=?, lianxi=?, userdata=?, userbz=? "
      "where userid=25",
      {Variant(hostile), Variant(hostile), Variant(hostile), Variant(hostile),
       Variant(hostile + "##"), Variant("1990#8#1#39#" + hostile + "#广东-广州市#124#广东-广州市#206"),
       Variant("a<b-c\"d#1-2#3-4")});
  logIn(7, "3");
  show();
  EXPECT_EQ(body().find("<script>"), std::string::npos);
  EXPECT_EQ(cell("会员昵称："), escaped);
  EXPECT_EQ(cell("职务职称："), escaped);
  EXPECT_EQ(cell("饮酒习惯："), escaped + " ");
  EXPECT_EQ(cell("籍　　贯："), escaped);
  EXPECT_EQ(cell("Q Q："), escaped);
  EXPECT_EQ(cell("年龄："), "从a&lt;b到 c&quot;d岁 ");
  EXPECT_NE(body().find("<FONT color=#333333>" + escaped + "cm</FONT>"), std::string::npos);
}

TEST_F(ProfilePanelTest, UnreachableDatabaseWritesOnlyTheConnectionMessage) {
  h->request().QueryString.add("id", "25");
  zurva z;
  z.memberinfo(kServer, kUser, "wrong", kDatabase);
  EXPECT_EQ(body(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(h->response().ended());
}

}  // namespace
}  // namespace zurvafun::testing

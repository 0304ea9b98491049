// The widget's layouts and its two cards.
#include <gtest/gtest.h>

#include <string>

#include "tests/showcase/showcase_fixture.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kUserdata = "1990#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206";

// A showcase entry of member `id`: nickname n<id>, born 1990, income 226,
// occupation 185, head photo smallphoto<id>.jpg1, with the given visibility
// code and pay.
std::string entry(long id, const std::string& visibility = "1", const std::string& pay = "226#1",
                  const std::string& userdata = kUserdata, const std::string& field = "185") {
  const std::string n = std::to_string(id);
  return "," + n + "@577@25-40@" + userdata + "@n" + n + "@3@4@" + pay + "@" + field + "@smallphoto" + n +
         ".jpg1@" + visibility;
}

constexpr const char* kSpacer =
    R"(<table width="100%" border="0" cellspacing="0" cellpadding="0"><tr><td width="65%" height="10" valign="top">)"
    R"(</td><td height="10" valign="top" class="12x18"></td></tr></table>)";
constexpr const char* kCell = R"(<td valign="top" width="200" height="140">)";
constexpr const char* kRowOpen =
    R"(<TABLE cellSpacing=0 cellPadding=0 width="100%" border=0>              <TBODY>              <TR>)";

class ShowcaseCardsTest : public ShowcaseTest {
 protected:
  std::string show(int stype) {
    zurva z;
    return z.myshow(kServer, kUser, kPassword, kDatabase, 100, 120, stype, 9).str();
  }
  void member(long id, ShowMember m = {}) {
    m.userid = id;
    addShowMember(m);
  }
};

TEST_F(ShowcaseCardsTest, Layouts) {
  showcaseList(entry(4) + entry(5) + entry(6));
  for (long id : {4, 5, 6}) member(id);

  const std::string vertical = show(1);
  EXPECT_TRUE(vertical.starts_with(R"(<table width="100%" border="0" cellspacing="0" cellpadding="0"><tbody><tr>)"));
  EXPECT_EQ(occurrences(vertical, kSpacer), 3);
  EXPECT_EQ(occurrences(vertical, "<tbody>"), 3);
  EXPECT_EQ(occurrences(vertical, kCell), 0);

  const std::string row = show(3);
  EXPECT_TRUE(row.starts_with(std::string(kRowOpen) + kCell)) << row;
  EXPECT_TRUE(row.ends_with("</td><td width=\"10\"></td>\r\n  </TD></TR></TBODY></TABLE>")) << row;
  EXPECT_EQ(occurrences(row, kCell), 3);
  EXPECT_EQ(occurrences(row, "</td><td width=\"10\"></td>"), 3);
  EXPECT_EQ(occurrences(row, kSpacer), 0);

  const std::string cells = show(0);  // side by side without the row around
  EXPECT_TRUE(cells.starts_with(kCell));
  EXPECT_EQ(occurrences(cells, "TABLE"), 0);
  EXPECT_EQ(row, std::string(kRowOpen) + cells + "  </TD></TR></TBODY></TABLE>");

  const std::string large = show(2);
  EXPECT_EQ(occurrences(large, R"(<table width="100" border="0" cellspacing="0" cellpadding="3">)"), 3);
  EXPECT_EQ(occurrences(large, "给TA留言"), 3);
}

TEST_F(ShowcaseCardsTest, CompactCardLines) {
  showcaseList(entry(4));
  const std::string card = show(1);
  EXPECT_NE(card.find(R"(<td width="89%" height="140" valign="top" class="12x18">&nbsp;)"
                      R"(<a href="/por.asp?id=49514952535052Sa2f3e71d9181a67b" target="_blank"><font color="ff6600">n4</font></a><br>)"
                      R"(&nbsp;<a href="/xjrz.asp" target="_blank"><img src="/images/s_blue_4.gif" border="0" )"
                      R"(alt="身份验证等级4钻"></a><br>&nbsp;广东-广州市<br>&nbsp;36(岁)<br>&nbsp;本科<br>)"
                      R"(&nbsp;记者编辑<br>&nbsp;5-6万 </td>)"),
            std::string::npos)
      << card;
  // The photo links to the profile page like the nickname; a guest gets the guest photo rule.
  EXPECT_NE(card.find(R"(<a href="/por.asp?id=49514952535052Sa2f3e71d9181a67b" target="_blank">)"
                      R"(<img src='/smallphoto/smallphoto4.jpg' border='0' width=100 height=120></a>)"),
            std::string::npos);

  settings(1);  // static links
  const std::string linked = show(3);
  EXPECT_NE(linked.find(R"(<a href="/id_49514952535052Sa2f3e71d9181a67b_por.html" target="_blank">)"),
            std::string::npos);
  EXPECT_NE(linked.find(R"(<a href="/xjrz.html" target="_blank">)"), std::string::npos);
}

TEST_F(ShowcaseCardsTest, CompactCardLabelsAndIncome) {
  struct Case {
    std::string pay, field, userdata, expected;
  } cases[] = {
      {"226#1", "186", kUserdata, "<br>&nbsp;本科<br>&nbsp;体育<br>&nbsp;5-6万 </td>"},
      {"237#1", "175", "1990#8#1#39#湖南#广东-广州市#128#湖南-长沙市#206", "<br>&nbsp;双学士<br>&nbsp;<br>&nbsp;100万以上 </td>"},
      {"226#1", "167", "1990#8#1#39#湖南#广东-广州市#129#湖南-长沙市#206", "(岁)<br>&nbsp;<br>&nbsp;<br>&nbsp;5-6万 </td>"},
      // Codes outside the income table, and no income at all, show nothing.
      {"0#1", "185", kUserdata, "记者编辑<br>&nbsp; </td>"},
      {"238#1", "185", kUserdata, "记者编辑<br>&nbsp; </td>"},
      {"", "185", kUserdata, "记者编辑<br>&nbsp; </td>"},
      {"226#9", "185", kUserdata, "记者编辑<br>&nbsp; </td>"},
      // A guest meets the privacy notices.
      {"226#2", "185", kUserdata, "记者编辑<br>&nbsp;<font color=red>金银卡会员可见</font> </td>"},
      {"226#3", "185", kUserdata, "记者编辑<br>&nbsp;<font color=red>好友可见</font> </td>"},
      {"226#4", "185", kUserdata, "记者编辑<br>&nbsp;<font color=red>完全保密</font> </td>"},
      // Short or malformed userdata shows empty lines, never an error.
      {"226#1", "185", "19x0", "<br>&nbsp;<br>&nbsp;(岁)<br>&nbsp;<br>&nbsp;记者编辑"},
  };
  for (const Case& c : cases) {
    showcaseList(entry(4, "1", c.pay, c.userdata, c.field));
    const std::string card = show(1);
    EXPECT_NE(card.find(c.expected), std::string::npos) << c.pay << " " << c.field << "\n" << card;
  }
}

TEST_F(ShowcaseCardsTest, FriendTestDecidesPhotoAndIncome) {
  member(4);
  member(9, {.sex = 576});
  struct Case {
    const char* visibility;
    int friendship;  // -1 none, else ifok of a row 4 asked by 9
    int grade;
    const char* photo;
    const char* income;
  } cases[] = {
      {"3", -1, 3, "<img src='/images/no03577.gif' width=100 height=120 border='0'>", "好友可见"},
      {"3", -1, 11, "<img src='/smallphoto/smallphoto4.jpg'", "5-6万"},
      {"3", 0, 3, "/images/no03577.gif", "好友可见"},
      {"1", 0, 3, "/smallphoto/smallphoto4.jpg", "5-6万"},
      {"3", 1, 3, "/smallphoto/smallphoto4.jpg", "5-6万"},
      {"2", -1, 1, "/images/no02577.gif", "好友可见"},
      {"2", -1, 2, "/smallphoto/smallphoto4.jpg", "好友可见"},
  };
  for (const Case& c : cases) {
    run("delete from Friends");
    if (c.friendship >= 0) addFriendship(4, 9, c.friendship);
    showcaseList(entry(4, c.visibility, "226#3"));
    logIn(9, 576, c.grade);
    const std::string card = show(1);
    EXPECT_NE(card.find(c.photo), std::string::npos) << c.visibility << "/" << c.friendship << "/" << c.grade;
    EXPECT_NE(card.find(c.income), std::string::npos) << c.visibility << "/" << c.friendship << "/" << c.grade;
  }
  // The friendship counts in either direction.
  run("delete from Friends");
  addFriendship(9, 4, 1);
  showcaseList(entry(4, "3", "226#3"));
  EXPECT_NE(show(1).find("/smallphoto/smallphoto4.jpg"), std::string::npos);
}

TEST_F(ShowcaseCardsTest, MembersAlwaysSeeTheirOwnPhoto) {
  member(4, {.sex = 576});
  // The viewer is member 4, an ordinary member, looking at his own entry
  // restricted to gold and silver members, and to friends.
  for (const char* visibility : {"2", "3"}) {
    showcaseList(",4@576@25-40@" + std::string(kUserdata) + "@n4@3@4@226#3@185@smallphoto4.jpg1@" + visibility);
    host->request().Cookies.setFromHeader("kalimo", "username=me&userid=4&sex=577&grade=1");
    EXPECT_NE(show(1).find("/smallphoto/smallphoto4.jpg"), std::string::npos) << visibility;
    EXPECT_NE(show(2).find("/smallphoto/smallphoto4.jpg"), std::string::npos) << visibility;
  }
}

TEST_F(ShowcaseCardsTest, LargeCardFacts) {
  member(4, {.height = "168", .weight = "50", .aboutus = "我<b>开朗</b>\r\n  是个笨蛋"});
  showcaseList(entry(4));
  const std::string card = show(2);
  for (const char* part : {
           R"(<a href="/por.asp?id=49514952535052Sa2f3e71d9181a67b#" target="_blank"><font color="#ff6600">n4</font></a>)",
           R"(<a href="ReadyBuy.asp" target="_blank"><img src='/Images/golduser3.gif' border="0"></a>)",
           R"(<img src="/Images/s_blue_4.gif" border="0" alt="身份验证等级4钻")",
           "淑女，36(岁)，记者编辑</td>",
           "湖南-长沙市，未婚，本科， 168cm，50kg，祖籍湖南</td>",
           "相貌自评： 8分　　　</td>",
           "&nbsp;&nbsp;&nbsp;&nbsp;我&lt;b&gt;开朗&lt;/b&gt;    是个**</td>",
           "popup('sendmsg.asp?userid=4',501,295)",
           "window.open('addfriends.asp?userid=4','_blank','1,1,top=2000');}return false;",
           "window.open('love1.asp?userid=4&submitok=ww','_blank','width=500,height=200');}return false;",
           "window.open('myfiles/sc.asp?userid=4','_blank','1,1,top=1000');}return false;",
           "window.open('nosou.asp?id=4','_blank','1,1,top=1000');}return false;",
       }) {
    EXPECT_NE(card.find(part), std::string::npos) << part << "\n" << card;
  }
}

TEST_F(ShowcaseCardsTest, LargeCardSelfIntroductionIsCutAt200) {
  const std::string exact(200, 'a');
  member(4, {.aboutus = exact});
  member(5, {.aboutus = exact + "b"});
  member(6, {.height = Variant::null(), .aboutus = Variant::null()});
  showcaseList(entry(4) + entry(5) + entry(6, "1", "226#1", "1990#0", "167"));
  const std::string cards = show(2);
  EXPECT_NE(cards.find("&nbsp;&nbsp;&nbsp;&nbsp;" + exact + "</td>"), std::string::npos);
  EXPECT_NE(cards.find("&nbsp;&nbsp;&nbsp;&nbsp;" + exact + "...</td>"), std::string::npos);
  // Null and short values of member 6 show empty.
  EXPECT_NE(cards.find("淑女，36(岁)，</td>"), std::string::npos);
  EXPECT_NE(cards.find("，，， cm，52kg，</td>"), std::string::npos) << cards;
  EXPECT_NE(cards.find("相貌自评： 未填　　　</td>"), std::string::npos);
  EXPECT_NE(cards.find("&nbsp;&nbsp;&nbsp;&nbsp;</td>"), std::string::npos);
}

TEST_F(ShowcaseCardsTest, LargeCardForAGuestAndForAMemberGone) {
  member(4);
  member(6);
  // Member 5 has no row any more: his card is left out, the others stay.
  showcaseList(entry(4, "3") + entry(5) + entry(6, "2"));
  const std::string cards = show(2);
  EXPECT_EQ(occurrences(cards, "给TA留言"), 2);
  EXPECT_EQ(cards.find(">n5<"), std::string::npos);
  // A guest is viewer 0 and sees the guest photo rule.
  EXPECT_NE(cards.find("<img src='/images/no03577.gif' width=100 height=120 border='0'>"), std::string::npos);
  EXPECT_NE(cards.find("<img src='/images/no02577.gif' width=100 height=120 border='0'>"), std::string::npos);
  // Compact cards still show the member who is gone: they read only the list.
  EXPECT_NE(show(1).find(">n5<"), std::string::npos);
}

TEST_F(ShowcaseCardsTest, CardsKeptForGuestsFollowEveryChange) {
  member(4, {.aboutus = "旧的介绍"});
  showcaseList(entry(4));
  EXPECT_NE(show(2).find("旧的介绍"), std::string::npos);
  run("update zurva_user set aboutus='新的介绍' where userid=4");
  EXPECT_NE(show(2).find("新的介绍"), std::string::npos);
  EXPECT_NE(show(1).find(">n4<"), std::string::npos);
  showcaseList(entry(4, "1", "226#1", kUserdata, "186"));  // the list changes
  EXPECT_NE(show(1).find("体育"), std::string::npos);
  EXPECT_NE(show(2).find("体育"), std::string::npos);
}

TEST_F(ShowcaseCardsTest, StoredTextIsEscaped) {
  member(4, {.height = "<i>", .weight = "\"9"});
  showcaseList(",4@577@25-40@1990#8#1#39#<s>#广东-<b>#124#湖南-'x'#206@<script>n@3@4\"@226#1@185@a'.jpg1@1");
  for (int stype : {1, 2}) {
    const std::string card = show(stype);
    EXPECT_EQ(card.find("<script>"), std::string::npos) << card;
    EXPECT_EQ(card.find("<b>"), std::string::npos);
    EXPECT_EQ(card.find("<s>"), std::string::npos);
    EXPECT_EQ(card.find("<i>"), std::string::npos);
    EXPECT_EQ(card.find("a'.jpg"), std::string::npos);
    EXPECT_NE(card.find("&lt;script&gt;n"), std::string::npos);
    EXPECT_NE(card.find("s_blue_4&quot;.gif"), std::string::npos);
  }
}

TEST_F(ShowcaseCardsTest, DatabaseThatCannotBeOpened) {
  showcaseList(entry(4));
  zurva z;
  EXPECT_TRUE(endsRequest([&] { z.myshow(kServer, kUser, kPassword, "nosuchdb", 100, 120, 1, 5); }));
  EXPECT_EQ(host->response().body(), "SQL数据库连接出错，请检查连接字串。");
}

}  // namespace
}  // namespace zurvafun::testing

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/zurva.h"
#include "members/member_card.h"
#include "tests/golden.h"
#include "tests/members/members_fixture.h"

namespace zurvafun::testing {
namespace {

class MemberCardTest : public MembersTest {
 protected:
  void SetUp() override {
    MembersTest::SetUp();
    addRow({{"userid", 12},
            {"nickname", "阿杰&"},
            {"grade", 3},
            {"trust", 4},
            {"sex", 576},
            {"userdata", "1985#7#2#39#江苏#上海-浦东新区#126#江苏-南京市#205"},
            {"field", "161"},
            {"height_", "175"},
            {"weight_", "70"},
            {"aboutus", "  喜欢 旅游\r\n和摄影 <b> 坏话  "},
            {"smallphoto", "smallphoto12.jpg1"},
            {"ifphotolook", 1}});
  }

  std::string card(long userid, members::CardViewer viewer = {}) {
    db::Connection conn = open();
    db::Recordset rs;
    rs.Open("select * from zurva_user where userid=" + std::to_string(userid), conn, db::adOpenKeyset,
            db::adLockReadOnly);
    std::string out;
    zurva z;
    members::appendMemberCard(out, z, conn, rs, viewer);
    return out;
  }
  void set(const std::string& column, const Variant& value) {
    run("update zurva_user set " + column + "=? where userid=12", {value});
  }
};

TEST_F(MemberCardTest, GuestCardAsTranscribed) {
  std::string text = card(12);
  zurva z;
  const std::string token = z.idasc(12).str();
  for (size_t at; (at = text.find(token)) != std::string::npos;) text.replace(at, token.size(), "{token}");
  EXPECT_TRUE(matchesGolden("member_card_guest.html", text, Blanks::BetweenTags));
}

// The photo cell of a friends-only photo: the member himself and accepted
// friends see it; a pending request or no friendship does not open it.
TEST_F(MemberCardTest, FriendsOnlyPhotoByFriendship) {
  set("ifphotolook", 3);
  addRow({{"userid", 20}});
  addFriendship(12, 21, 0);  // pending, 21 asked
  addFriendship(22, 12, 1);  // accepted, 12 asked
  const std::string photo = "<img src='/smallphoto/smallphoto12.jpg'";
  const std::string hidden = "<img src='/images/no03576.gif'";
  struct Case {
    std::optional<std::int32_t> viewer;
    std::string shown;
  };
  for (const Case& c : {Case{12, photo}, Case{22, photo}, Case{21, hidden}, Case{20, hidden}, Case{std::nullopt, hidden}}) {
    SCOPED_TRACE(c.viewer.value_or(-1));
    EXPECT_TRUE(holds(card(12, {c.viewer, Variant("1")}), c.shown));
  }
}

TEST_F(MemberCardTest, FactLabels) {
  struct Case {
    const char* column;
    Variant value;
    std::string part;
  };
  const std::vector<Case> cases = {
      {"sex", 0, "<font color=\"#4f4f4f\">，41(岁)，"},
      {"field", "186", "\r\n体育</font>"},
      {"field", "185", "\r\n记者编辑</font>"},
      {"field", "167", "\r\n</font>"},
      {"userdata", "1985#f#1#39##上海-浦东新区#128#江苏-南京市#205", "   未婚，  双学士， 175cm，70kg，</font>"},
      {"userdata", "1985#0#3#39#江苏#上海-浦东新区#127#江苏-南京市#205", "    丧偶    ，\t 博士后，"},
      {"userdata", "1985#0#3#39#江苏#上海-浦东新区#127#江苏-南京市#205", "相貌自评： 未填　　　 "},
      {"userdata", "1985#f#1#39#江苏#上海-浦东新区#124#江苏-南京市#205", "相貌自评： 满分"},
      {"trust", 0, "<img src=\"Images/s_blue_0.gif\" border=\"0\">"},
      {"trust", 6, "<img src=\"Images/s_blue_6.gif\" border=\"0\">"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.column) + "=" + c.value.str());
    set(c.column, c.value);
    EXPECT_TRUE(holds(card(12), c.part)) << card(12);
  }
}

TEST_F(MemberCardTest, SelfIntroductionIsCutAt200Characters) {
  const std::string exact(200, 'a');
  set("aboutus", exact);
  EXPECT_TRUE(holds(card(12), "&nbsp;&nbsp;&nbsp;&nbsp;" + exact + "</font>"));
  std::string longer;
  for (int i = 0; i < 201; ++i) longer += "字";
  set("aboutus", longer);
  std::string cut;
  for (int i = 0; i < 200; ++i) cut += "字";
  EXPECT_TRUE(holds(card(12), "&nbsp;&nbsp;&nbsp;&nbsp;" + cut + "...</font>"));
}

TEST_F(MemberCardTest, NullAndHostileValuesStayInTheirCells) {
  addRow({{"userid", 13},
          {"nickname", "<script>alert(1)</script>"},
          {"userdata", Variant::null()},
          {"aboutus", Variant::null()},
          {"height_", "\"><b>"}});
  const std::string text = card(13);
  EXPECT_FALSE(holds(text, "<script>"));
  EXPECT_TRUE(holds(text, "&lt;script&gt;alert(1)&lt;/script&gt;"));
  EXPECT_TRUE(holds(text, "，(岁)，"));
  EXPECT_TRUE(holds(text, "&quot;&gt;&lt;b&gt;cm"));
  EXPECT_TRUE(holds(text, "&nbsp;&nbsp;&nbsp;&nbsp;</font>"));
  EXPECT_TRUE(holds(text, " <img src='/images/nophoto.gif' width='120' height='150' border='0'>"));
}

}  // namespace
}  // namespace zurvafun::testing

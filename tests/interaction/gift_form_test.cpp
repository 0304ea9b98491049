#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "tests/interaction/support.h"

namespace zurvafun::testing {
namespace {

class GiftFormTest : public InteractionTest {
 protected:
  void SetUp() override {
    InteractionTest::SetUp();
    addPerson(1, "安妮", 577, 3);
    run("insert into present(id,name,emoney,across,imgs) values(3,'巧克力',15,'甜蜜的心形巧克力','gift2.gif')");
  }

  // Friends 2 to 1+count of member 1, accepted, every other one asked by
  // member 1; friend 2 is the oldest friendship.
  static void addFriends(int count) {
    for (int i = 0; i < count; ++i) {
      const long friendId = 2 + i;
      addPerson(friendId, "友" + std::to_string(friendId), 576, 2);
      const std::string time = "2026-03-0" + std::to_string(1 + i) + " 10:00:00";
      if (i % 2 == 0)
        run("insert into Friends(userid,senduserid,ifok,addtime) values(1,?,1,?)", {Variant(friendId), Variant(time)});
      else
        run("insert into Friends(userid,senduserid,ifok,addtime) values(?,1,1,?)", {Variant(friendId), Variant(time)});
    }
  }

  std::string form(const std::vector<std::pair<std::string, std::string>>& query = {{"id", "3"}}) {
    h->request().ServerVariables.add("SCRIPT_NAME", "/sendpresent.asp");
    for (const auto& [key, value] : query) h->request().QueryString.add(key, value);
    zurva z;
    z.url("before");
    const Variant html = z.slw(kServer, kUser, kPassword, kDatabase);
    lastUrl = z.url().str();
    return html.str();
  }
  // The member numbers in the tick boxes, in order.
  static std::vector<std::string> ticked(const std::string& html) {
    std::vector<std::string> numbers;
    const std::regex box("name=list value=(\\d+)>");
    for (std::sregex_iterator m(html.begin(), html.end(), box), end; m != end; ++m) numbers.push_back((*m)[1]);
    return numbers;
  }
  static bool holds(const std::string& html, const std::string& piece) { return html.find(piece) != std::string::npos; }

  std::string lastUrl;
};

TEST_F(GiftFormTest, CardMembersSeeHalfThePriceAndTheFormKeepsTheCataloguePrice) {
  const struct {
    int grade;
    const char* shown;
  } cases[] = {{0, "7.5"}, {1, "15"}, {2, "7.5"}, {3, "7.5"}, {10, "7.5"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.grade);
    freshRequest();
    run("update zurva_user set grade=? where userid=1", {Variant(c.grade)});
    logIn(1);
    const std::string html = form();
    EXPECT_TRUE(holds(html, std::string("<td><font color=#ff0000>") + c.shown + "</font>E币</td>")) << html;
    EXPECT_TRUE(holds(html, "<input type=hidden name=emoney value=\"15\"><input type=hidden name=id value=\"3\">"));
  }
}

TEST_F(GiftFormTest, TheGiftAndTheReceiverRows) {
  logIn(1);
  const std::string typed = form();
  EXPECT_TRUE(holds(typed, "<form name=form1 onSubmit=\"return chkform()\" action=sendsave.html "
                           "onSubmit=\"javascript:return chksubmit();\" method=post>"));
  EXPECT_TRUE(holds(typed, "<img id=photo src=\"main_files/gift2.gif\" "
                           "onload=\"DrawImage(document.all.photo,'150','150')\" border=0>"));
  EXPECT_TRUE(holds(typed, "名称：</td><td>巧克力</td>"));
  EXPECT_TRUE(holds(typed, "说明：</td><td>甜蜜的心形巧克力</td>"));
  EXPECT_TRUE(holds(typed, "赠与：</td><td>\t<input name=to maxLength=10 size=10><br>\t输入会员编号<br>\t</td>"));
  EXPECT_TRUE(holds(typed, "<a href=\"/payment/ReadyBuy.html\" target=_blank>升级为银卡会员&gt;&gt;</a>"));
  EXPECT_TRUE(holds(typed, "<textarea name=des rows=4 cols=25 onkeyup=\"check_str_num(this,200,'detail')\">"));
  EXPECT_TRUE(holds(typed, "<input type=checkbox name=ifsms value=1>"));
  EXPECT_FALSE(holds(typed, "会员编号："));

  // A preset receiver: hidden and read-only, with his nickname (escaped) and number.
  addPerson(2, "<b>鲍勃</b>", 576, 2);
  freshRequest();
  logIn(1);
  const std::string preset = form({{"id", "3"}, {"reid", "2"}});
  EXPECT_FALSE(holds(preset, "name=to maxLength"));
  EXPECT_TRUE(holds(preset, "<input name=to value=\"2\" readonly=\"readonly\" type=hidden "
                            "style=\"border:1px solid #b9b9b9;color: #b9b9b9;\">&lt;b&gt;鲍勃&lt;/b&gt;</font></TD>"));
  EXPECT_TRUE(holds(preset, "<tr><td></td><td>会员编号：000002</td></tr>"));
}

TEST_F(GiftFormTest, FriendsSixToAPageNewestFirst) {
  addFriends(7);
  const struct {
    const char* page;  // "" = absent
    std::vector<std::string> friends;
    const char* bar;
  } cases[] = {
      {"", {"8", "7", "6", "5", "4", "3"}, "第 <b><font color=ff0000>1</font></b> / <b><font color=ff0000>2</font></b>"},
      {"0", {"8", "7", "6", "5", "4", "3"}, "<option value=1 selected>1</option><option value=2>2</option>"},
      {"-3", {"8", "7", "6", "5", "4", "3"}, "<option value=1 selected>1</option>"},
      {"2", {"2"}, "<option value=1>1</option><option value=2 selected>2</option>"},
      {"9", {"2"}, "第 <b><font color=ff0000>2</font></b>"},
      {"1e10", {"2"}, "第 <b><font color=ff0000>2</font></b>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    freshRequest();
    logIn(1);
    std::vector<std::pair<std::string, std::string>> query = {{"id", "3"}};
    if (*c.page) query.emplace_back("Page", c.page);
    const std::string html = form(query);
    EXPECT_EQ(ticked(html), c.friends);  // the friend's number, never the viewer's
    EXPECT_TRUE(holds(html, c.bar)) << html;
    EXPECT_TRUE(holds(html, "共 <b><font color=ff0000>7</font></b> 条信息"));
    EXPECT_EQ(lastUrl, "?id=3");
  }
  // One row in full.
  freshRequest();
  logIn(1);
  EXPECT_TRUE(holds(form(), "<tr><td><input type=checkbox name=list value=8></td><td>000008</td>"
                            "<td bgcolor=#EFEFEF align=center><font color=red>友8</font></td>"
                            "<td><a href=\"/xjrz.html\" target=_blank><img src=\"/images/s_blue_2.gif\" "
                            "alt=\"身份验证等级2钻\" border=0></a></td><td><img src='/Images/silleruser2.gif' "
                            "border=\"0\"></td></tr>"));
  // A page number that is not a number.
  freshRequest();
  logIn(1);
  EXPECT_TRUE(endsRequest([&] { form({{"id", "3"}, {"Page", "abc"}}); }));
  EXPECT_TRUE(holds(body(), "alert('请求错误！');"));
}

TEST_F(GiftFormTest, TheJumpSelectKeepsTheGiftAndTheReceiver) {
  addFriends(1);
  logIn(1);
  EXPECT_TRUE(holds(form({{"id", "3"}, {"reid", "2"}}),
                    "<select name=turnpage onchange=\"location='/sendpresent_id_3_reid_2_page_'+"
                    "this.options[this.selectedIndex].value+'.html'\"><option value=1 selected>1</option>"
                    "</select>页"));
  EXPECT_EQ(lastUrl, "?id=3&reid=2");
  freshRequest();
  setLinkMode(0);
  logIn(1);
  EXPECT_TRUE(holds(form({{"id", "3"}}), "onchange=\"location='/sendpresent.asp?id=3&page='+"
                                         "this.options[this.selectedIndex].value\">"));
}

TEST_F(GiftFormTest, NoFriendsNoPagingBarAndTheUrlIsLeftAlone) {
  run("insert into Friends(userid,senduserid,ifok,addtime) values(1,2,0,'2026-03-01')");  // not accepted
  logIn(1);
  const std::string html = form();
  EXPECT_TRUE(holds(html, "<BR><BR>暂时还没有您的好友...　<br>"));
  EXPECT_FALSE(holds(html, "turnpage"));
  EXPECT_EQ(lastUrl, "before");
}

TEST_F(GiftFormTest, AFriendWhoseRowIsGoneDoesNotTakeTheFormDown) {
  run("insert into Friends(userid,senduserid,ifok,addtime) values(1,77,1,'2026-03-01')");
  logIn(1);
  const std::string html = form();
  EXPECT_TRUE(holds(html, "name=list value=77>"));
  EXPECT_TRUE(holds(html, "<font color=red>无昵称</font>"));
}

TEST_F(GiftFormTest, GuestsAndBadNumbersGetMessages) {
  EXPECT_TRUE(endsRequest([&] { form(); }));
  EXPECT_TRUE(holds(body(), "非法操作"));
  const std::vector<std::pair<std::string, std::string>> bad[] = {
      {{"id", "abc"}}, {{"id", "3 or 1=1"}}, {{"id", "99"}}, {{"id", "40000"}},
      {{"id", "3"}, {"reid", "x"}}, {{"id", "3"}, {"reid", "55"}},
  };
  for (const auto& query : bad) {
    SCOPED_TRACE(query.back().second);
    freshRequest();
    logIn(1);
    EXPECT_TRUE(endsRequest([&] { form(query); }));
    EXPECT_EQ(body(), alertAndBack("请求错误！"));
  }
}

}  // namespace
}  // namespace zurvafun::testing

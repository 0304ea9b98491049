#include <gtest/gtest.h>

#include <string>

#include "framework/zurva.h"
#include "tests/interaction/support.h"

namespace zurvafun::testing {
namespace {

std::string head(const std::string& action) {
  return "<table width='96%' border='0' cellspacing='0' cellpadding='3' align='center'><form action='" + action +
         "' target='newwindow' method='post' name='submitvote'><tr><td>"
         "<table width='100%' border='0' cellspacing='0' cellpadding='0' align='center'>";
}
std::string end(const std::string& results) {
  return "</table></td></tr><tr><td width='100%' height='30' align='center'>"
         "<input type='submit' name='submit' value='投票' style='cursor:hand' class='wenbenkuang1'>&nbsp; "
         "<input type='button' value='投票结果' onClick='openwin()' class='wenbenkuang1'></td></tr></form></table>"
         "<script>function openwin(){window.open('" +
         results +
         "','','width=400,height=200,top=0,left=0, toolbar=no, menubar=no, scrollbars=no, resizable=no,location=no, "
         "status=no');} </script>";
}
std::string option(int n, const std::string& text, bool checked = false) {
  return "<tr><td valign=top width='100%' height='18'><input style='border:0'" + std::string(checked ? "checked" : "") +
         " name='Options' type='radio' value=" + std::to_string(n) + ">" + std::to_string(n) + "." + text +
         "</td></tr>";
}

class PollTest : public InteractionTest {
 protected:
  std::string box() {
    zurva z;
    return z.d_vote(kServer, kUser, kPassword, kDatabase).str();
  }
  static void addPoll(const std::string& values) {
    run("insert into vote(Title,Select1,Select2,Select3,Select4,Select5,Select6,Select7,Select8,IsChecked) values(" +
        values + ")");
  }
};

TEST_F(PollTest, WithoutAnActivePollTheBoxSaysSoAndKeepsItsButtons) {
  addPoll("'旧的','a','b',null,null,null,null,null,null,0");
  EXPECT_EQ(box(), head("vote.html") + "<tr><td width='100%' align='center' height='50'>暂时没有投票</td></tr>" +
                       end("stype_view_vote.html"));
  EXPECT_EQ(body(), "");
}

TEST_F(PollTest, OptionsKeepTheirNumbersAndTheFirstIsChosen) {
  addPoll("'你理想的约会地点是？','咖啡馆','电影院','',' 公园 ',null,null,null,'<b>海边</b>',1");
  EXPECT_EQ(box(), head("vote.html") + "<tr><td width='100%' align='center' height='30'>你理想的约会地点是？</td></tr>" +
                       option(1, "咖啡馆", true) + option(2, "电影院") + option(4, " 公园 ") +
                       option(8, "<b>海边</b>") + end("stype_view_vote.html"));
  // Without option 1 no button is chosen.
  run("update vote set Select1=null");
  const std::string html = box();
  EXPECT_EQ(html.find("checked"), std::string::npos);
  EXPECT_NE(html.find(option(2, "电影院")), std::string::npos);
}

TEST_F(PollTest, OfSeveralActivePollsTheOldestIsShown) {
  addPoll("'B','甲',null,null,null,null,null,null,null,1");
  addPoll("'A','乙',null,null,null,null,null,null,null,1");
  // An index that would hand the rows over by title, not in the order they came.
  run("create index ix_vote_title on vote(IsChecked, Title)");
  const std::string html = box();
  EXPECT_NE(html.find(">B<"), std::string::npos) << html;
  EXPECT_EQ(html.find(">A<"), std::string::npos);
}

TEST_F(PollTest, DynamicLinksAndAFailedOpen) {
  setLinkMode(0);
  EXPECT_EQ(box(), head("vote.asp") + "<tr><td width='100%' align='center' height='50'>暂时没有投票</td></tr>" +
                       end("vote.asp?stype=view"));
  zurva z;
  EXPECT_EQ(z.d_vote(kServer, kUser, "wrong", kDatabase).str(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_EQ(body(), "");
  EXPECT_TRUE(h->response().ended());
}

}  // namespace
}  // namespace zurvafun::testing

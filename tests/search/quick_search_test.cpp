// The home page's quick search: its condition, the list with its paging bar
// or guest notice, and the member card in its guest and member forms.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "db/db.h"
#include "tests/search/search_fixture.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::contains;

constexpr const char* kNothingFound = "<BR><BR>　　　暂时没有查到您需要的资料...<br>";

class QuickSearchTest : public testing::SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    h.request().ServerVariables.add("SCRIPT_NAME", "/quicksearch.asp");
  }

  std::string show(int maintype) {
    Variant type = maintype;
    Variant result;
    error_ = testing::errorOf([&] { result = z().mainseachshow(con[0], con[1], con[2], con[3], type); });
    return result.str();
  }
  void again() {
    nextRequest();
    h.request().ServerVariables.add("SCRIPT_NAME", "/quicksearch.asp");
  }

  // The nicknames of the cards, in the order listed.
  static std::vector<std::string> listed(const std::string& page) {
    static const std::regex nickname(R"~(<font color="#ff6600">([^<]*)</font></a></font></td>)~");
    std::vector<std::string> names;
    for (std::sregex_iterator it(page.begin(), page.end(), nickname), end; it != end; ++it)
      names.push_back((*it)[1].str());
    return names;
  }

  long error_ = 0;
};

TEST_F(QuickSearchTest, TheConditionPrefix) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> form;
    std::string prefix;
  };
  const std::string ages = " and cast(left(userdata,4) as int)<=2006 and cast(left(userdata,4) as int)>=1996";
  const std::vector<Case> cases = {
      {{{"sex", "577"}, {"agefrom", "20"}, {"ageto", "30"}, {"province1", "0"}, {"city1", "0"}},
       "sex=577" + ages + " and "},
      {{{"sex", "576"}, {"agefrom", "20"}, {"ageto", "30"}, {"province1", "0"}, {"city1", "广州市"}},
       "sex=576" + ages + " and SUBSTRING(userdata,CHARINDEX('-',userdata)+1,255) like '广州市#%' and "},
      {{{"sex", "577"}, {"agefrom", "20"}, {"ageto", "30"}, {"province1", "黑龙江"}, {"city1", ""}},
       "sex=577" + ages + " and LEFT(userdata,CHARINDEX('-',userdata)) like '%#黑龙江-' and "},
      {{{"sex", "577"}, {"agefrom", "19.5"}, {"ageto", "30.5"}},
       "sex=577 and cast(left(userdata,4) as int)<=2006 and cast(left(userdata,4) as int)>=1996 and "},
      {{}, "sex= and cast(left(userdata,4) as int)<=2026 and cast(left(userdata,4) as int)>=2026 and "},
  };
  for (const Case& c : cases) {
    again();
    post(c.form);
    EXPECT_EQ(z().mainseach().str(), c.prefix);
  }
  EXPECT_EQ(log(), "");
  for (const auto& form : std::vector<std::vector<std::pair<std::string, std::string>>>{
           {{"sex", "577"}, {"agefrom", ""}, {"ageto", "30"}},
           {{"sex", "577"}, {"agefrom", "20"}, {"ageto", "x"}},
           {{"sex", "577"}, {"agefrom", "20"}, {"ageto", "99999"}},
           {{"sex", "577 or 1=1"}, {"agefrom", "20"}, {"ageto", "30"}}}) {
    again();
    post(form);
    EXPECT_TRUE(z().mainseach().isEmpty());
  }
  EXPECT_TRUE(contains(log(), "\\1, mainseach: 类型不匹配"));
  EXPECT_TRUE(contains(log(), "\\1, mainseach: 溢出"));
}

class QuickListTest : public QuickSearchTest {
 protected:
  void SetUp() override {
    QuickSearchTest::SetUp();
    for (int i = 1; i <= 25; ++i)
      add({.userid = i, .nickname = "w" + std::to_string(i), .trust = 30 - i, .userdata = "1996#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206"});
    add({.userid = 26, .nickname = "man", .sex = 576, .grade = 3});
    add({.userid = 27, .nickname = "deleted", .grade = 3, .ifdel = 1});
    add({.userid = 28, .nickname = "closed", .grade = 3, .ifclose = 1});
    add({.userid = 29, .nickname = "old", .grade = 3, .userdata = "1960#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206"});
  }
  void search(const std::string& page = "") {
    again();
    post({{"sex", "577"}, {"agefrom", "20"}, {"ageto", "30"}, {"province1", "广东"}, {"city1", "0"}});
    if (!page.empty()) query("Page", page);
  }
};

TEST_F(QuickListTest, TenCardsAPageAndTheBarCarriesTheCriteria) {
  logIn(26, "2");
  search();
  std::string page = show(1);
  std::vector<std::string> names = listed(page);
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "w1");
  EXPECT_EQ(names.back(), "w10");
  const std::string next = "/quicksearch.asp?page=2&amp;sex=577&amp;agefrom=20&amp;ageto=30&amp;province1=%B9%E3%B6%AB&amp;city1=0";
  EXPECT_TRUE(contains(page, "当前从第\r\n<font color=red>1</font> 个开始。\r\n<a href=\"" + next + "\">下一页</a></div></td>\r\n</tr>\r\n</table>\r\n"))
      << page.substr(page.size() - 600);
  EXPECT_TRUE(page.starts_with("\r\n<table bgcolor=\"#ffffff\""));
  EXPECT_FALSE(contains(page, "上一页"));

  // Page 2 by its link: no form, the criteria in the query.
  again();
  logIn(26, "2");
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"page", "2"}, {"sex", "577"}, {"agefrom", "20"}, {"ageto", "30"}, {"province1", "广东"}, {"city1", "0"}})
    query(name, value);
  page = show(1);
  names = listed(page);
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "w11");
  EXPECT_TRUE(contains(page, "<font color=red>11</font> 个开始。\r\n<a href=\"/quicksearch.asp?page=1&amp;sex=577"));
  EXPECT_TRUE(contains(page, "\"> 上一页</a>\r\n <a href=\"/quicksearch.asp?page=3&amp;sex=577"));
  EXPECT_TRUE(contains(page, "\">下一页</a>\r\n </div></td>"));

  search("9");  // beyond the last page: the last page
  logIn(26, "2");
  page = show(1);
  EXPECT_EQ(listed(page).size(), 5u);
  EXPECT_TRUE(contains(page, "<font color=red>21</font> 个开始。\r\n<a href=\"/quicksearch.asp?page=2&amp;sex=577"));
  EXPECT_TRUE(contains(page, "\">上一页</a></div></td>"));

  for (const char* first : {"0", "-3"}) {
    search(first);
    EXPECT_EQ(listed(show(1)).front(), "w1");
  }
  search("abc");
  EXPECT_EQ(show(1), "");
  EXPECT_EQ(error_, RequestEndError);
  EXPECT_TRUE(contains(h.response().body(), "请求错误！"));
}

// A stored birth year that is not a number fails the search of its sex with
// the conversion error, as the statement on userdata always did; the search
// of the other sex never reaches it.
TEST_F(QuickListTest, ABirthYearThatIsNoNumberFailsTheSearchOfItsSex) {
  add({.userid = 30,
       .nickname = "odd man",
       .sex = 576,
       .userdata = "19x6#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206"});
  logIn(26, "2");
  search();
  EXPECT_EQ(listed(show(1)).size(), 10u);
  EXPECT_EQ(error_, 0);

  add({.userid = 31,
       .nickname = "odd woman",
       .userdata = "19x6#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206"});
  for (const char* page : {"1", "3"}) {
    search(page);
    logIn(26, "2");
    EXPECT_EQ(show(1), "");
    EXPECT_EQ(error_, db::dberr::ConversionError) << page;
  }
}

// Without a place the search counts its matches from the counts the
// database keeps by sex and birth year: the pages follow members who leave
// the listings or change their birth year.
TEST_F(QuickListTest, TheKeptCountPagesASearchWithoutAPlace) {
  const auto lastPage = [&] {
    again();
    logIn(26, "2");
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"page", "9"}, {"sex", "577"}, {"agefrom", "20"}, {"ageto", "30"}, {"province1", "0"}})
      query(name, value);
    return listed(show(1));
  };
  EXPECT_EQ(lastPage(), (std::vector<std::string>{"w21", "w22", "w23", "w24", "w25"}));
  run("update zurva_user set ifdel=1 where userid>=21 and userid<=25");
  std::vector<std::string> names = lastPage();
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "w11");
  run("update zurva_user set userdata='1960#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206' where "
      "userid=20");
  run("update zurva_user set userdata='2000#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206' where "
      "userid=29");
  run("delete from zurva_user where userid=19");
  names = lastPage();  // "old", now 26, leads the first page by his grade
  ASSERT_EQ(names.size(), 9u);
  EXPECT_EQ(names.front(), "w10");
  EXPECT_EQ(names.back(), "w18");
}

// The counts follow every change of what they count, and no other.
// Every page lists what the whole list holds in its place, late pages
// (read from the end of the order) included, where many members tie in the
// order: the order index breaks their ties, the same way in both directions.
// (On a server, ties lie as its sort leaves them.)
TEST_F(QuickSearchTest, LatePagesListWhatTheWholeOrderHoldsThere) {
  ZURVA_EMBEDDED_ONLY();
  for (int i = 1; i <= 47; ++i)
    add({.userid = i,
         .nickname = "m" + std::to_string(i),
         .grade = 1 + i % 2,
         .userdata = std::to_string(1996 + i % 3) + "#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206",
         .height = std::to_string(160 + i % 4)});
  add({.userid = 48, .nickname = "viewer", .sex = 576});
  std::vector<std::string> whole;
  db::Connection conn = open();
  for (db::Recordset rs = conn.Execute(
           "select nickname from zurva_user where sex=577 and ifclose=0 and iferro=0 and ifdel=0 "
           "order by grade desc,trust desc,addtime desc");
       !rs.eof(); rs.MoveNext())
    whole.push_back(rs(0).str());
  ASSERT_EQ(whole.size(), 47u);
  std::vector<std::string> paged;
  for (int page = 1; page <= 5; ++page) {
    again();
    logIn(48, "2");
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"page", std::to_string(page)}, {"sex", "577"}, {"agefrom", "20"}, {"ageto", "40"}})
      query(name, value);
    const std::vector<std::string> names = listed(show(1));
    paged.insert(paged.end(), names.begin(), names.end());
  }
  EXPECT_EQ(paged, whole);
}

TEST_F(QuickSearchTest, TheKeptCountsFollowEveryChange) {
  const auto rows = [](const std::string& sql) {
    std::string out;
    for (db::Recordset rs = open().Execute(sql); !rs.eof(); rs.MoveNext())
      out += rs(0).str() + ":" + rs(1).str() + "=" + rs(2).str() + " ";
    return out;
  };
  const auto kept = [&] {
    return rows(
        "select sex,birthyear,members from zurva_birthyear_counts where members<>0 order by "
        "sex,birthyear");
  };
  const auto counted = [&] {
    return rows(
        "select sex,ud_birthyear,count(*) from zurva_user where ifclose=0 and iferro=0 and "
        "ifdel=0 and sex is not null and ud_birthyear is not null group by sex,ud_birthyear "
        "order by sex,ud_birthyear");
  };
  for (int i = 1; i <= 8; ++i)
    add({.userid = i,
         .sex = i % 2 ? 577 : 576,
         .userdata =
             std::to_string(1990 + i % 3) + "#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206"});
  EXPECT_EQ(kept(), "576:1990=1 576:1991=1 576:1992=2 577:1990=1 577:1991=2 577:1992=1 ");
  for (const char* change : {
           "update zurva_user set userdata='1980#8#1#39#湖南#广东-广州市#124' where userid=1",
           "update zurva_user set sex=576 where userid=3",
           "update zurva_user set ifdel=1 where userid=4",
           "update zurva_user set ifdel=0 where userid=4",
           "update zurva_user set ifclose=1,iferro=1 where userid=5",
           "update zurva_user set iferro=0 where userid=5",
           "update zurva_user set ifclose=0 where userid=5",
           "update zurva_user set userdata='19x6#8#1' where userid=6",
           "update zurva_user set userdata=null where userid=7",
           "update zurva_user set sex=null where userid=8",
           "update zurva_user set nickname='n',grade=3 where userid=2",
           "update zurva_user set userid=12 where userid=2",
           "delete from zurva_user where userid=3",
           "delete from zurva_user where userid=4",
       }) {
    run(change);
    EXPECT_EQ(kept(), counted()) << change;
  }
  EXPECT_EQ(kept(), "576:1992=1 577:1980=1 577:1992=1 ");
}

// The demo seeder's members are counted (on a server, where they are copied
// in without the triggers, after the copy).
TEST_F(QuickSearchTest, ASeededDatabaseHasItsMembersCounted) {
  const db::ConnectionParams params{kServer, kUser, kPassword, "seeded"};
  testing::seedDemoDatabase(params, 40);
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params));
  const long listed = long(toNumber(
      conn.Execute("select count(*) from zurva_user where ifclose=0 and iferro=0 and ifdel=0 and "
                   "sex is not null and ud_birthyear is not null")(0)));
  EXPECT_GT(listed, 30);
  EXPECT_EQ(toNumber(conn.Execute("select sum(members) from zurva_birthyear_counts")(0)), listed);
}

TEST_F(QuickListTest, AFailedConditionFindsNobodyAndNoFormListsEverybodyShown) {
  again();
  post({{"sex", "577"}, {"agefrom", ""}, {"ageto", "30"}});
  EXPECT_EQ(show(1), kNothingFound);
  again();
  post({{"sex", "577"}, {"agefrom", "40"}, {"ageto", "30"}});
  EXPECT_EQ(show(1), kNothingFound);

  // A direct visit lists every member listings may show: 27 of the 29.
  again();
  query("Page", "3");
  const std::vector<std::string> last = listed(show(1));
  EXPECT_EQ(last.size(), 7u);
  again();
  const std::string first = show(1);
  EXPECT_EQ(listed(first).front(), "man");
  for (const char* hidden : {">deleted<", ">closed<"}) EXPECT_FALSE(contains(first, hidden));
  EXPECT_TRUE(contains(first, "<a href=\"/quicksearch.asp?page=2\">下一页</a>"));
}

TEST_F(QuickListTest, GuestsGetTheRegistrationNotice) {
  search();
  const std::string page = show(0);
  EXPECT_EQ(listed(page).size(), 10u);
  EXPECT_TRUE(page.ends_with("\r\n\r\n<br><div >抱歉！由于您不是本站会员，只能查看最多10位会员信息，本站<font color=ff0000><b>"
                             "<a href=\"reg.asp\">免费注册</a></b></font>会员！\r\n<br>\r\n"));
  EXPECT_FALSE(contains(page, "个开始"));
}

TEST_F(QuickSearchTest, GuestAndMemberCards) {
  add({.userid = 5, .nickname = "小雨", .trust = 0, .userdata = "1990#7#1#39#湖南#广东-广州市#128#湖南-长沙市#206",
       .smallphoto = "smallphoto5.jpg1", .ifphotolook = 3});
  add({.userid = 9, .nickname = "viewer", .sex = 576});
  const std::string friendsOnly = "<img src='/images/no03577.gif' width=120 height=150 border='0'>";
  const std::string photo = "<img src='/smallphoto/smallphoto5.jpg' border='0' width=120 height=150>";

  std::string card = show(0);
  EXPECT_TRUE(contains(card, friendsOnly));
  EXPECT_TRUE(contains(card, R"~(onClick="javescript:alert('申请好友只有登陆后才能操作！');")~"));
  EXPECT_TRUE(contains(card, R"~(onClick="javescript:alert('在线交谈只有登陆后才能操作！');" class="black_nounderline"><font color="#ff6600">给TA留言</font>)~"));
  EXPECT_TRUE(contains(card, ">湖南-长沙市，   未婚，， 165cm，52kg，祖籍湖南 </font>"));
  EXPECT_TRUE(contains(card, ">淑女，36(岁)，教师</font>"));
  EXPECT_TRUE(contains(card, "相貌自评： 7分</font>"));
  EXPECT_TRUE(contains(card, R"~(<img src="Images/s_blue_0.gif" border="0" alt="身份验证等级0钻">)~"));

  again();
  logIn(9, "2");
  card = show(1);
  EXPECT_TRUE(contains(card, friendsOnly));
  EXPECT_TRUE(contains(card, "onClick=\"javascript:popup('sendmsg.asp?userid=5 ',501,400);\""));
  EXPECT_TRUE(contains(card, "window.open('addfriends.asp?userid=5','_blank','1,1,top=2000')"));
  EXPECT_TRUE(contains(card, "window.open('myfiles/sc.asp?userid=5','_blank','1,1,top=1000');"));
  run("insert into Friends(userid,senduserid,ifok) values(5,9,1)");
  again();
  logIn(9, "2");
  EXPECT_TRUE(contains(show(1), photo));
  // A member looking at his own card counts as a friend.
  run("delete from Friends");
  again();
  logIn(5, "1");
  EXPECT_TRUE(contains(show(1), photo));
}

TEST_F(QuickSearchTest, StoredTextIsEscapedAndBrokenCardsShowEmpty) {
  add({.userid = 5, .nickname = "<i>x</i>", .userdata = "1990#7#1#39#<b>#广东-广州市#124#湖南-长沙市#206",
       .aboutus = "a<b>\r\nc"});
  add({.userid = 6, .nickname = Variant::null(), .sex = Variant::null(), .trust = Variant::null(),
       .userdata = Variant::null(), .field = Variant::null(), .aboutus = Variant::null()});
  const std::string page = show(0);
  EXPECT_EQ(error_, 0);
  EXPECT_TRUE(contains(page, "&lt;i&gt;x&lt;/i&gt;"));
  EXPECT_TRUE(contains(page, "祖籍&lt;b&gt; "));
  EXPECT_TRUE(contains(page, "&nbsp;&nbsp;&nbsp;&nbsp;a&lt;b&gt;  c</font>"));
  EXPECT_TRUE(contains(page, "<font color=\"#4f4f4f\">，(岁)，</font>"));
  EXPECT_TRUE(contains(page, ">，，， 165cm，52kg，祖籍 </font>"));
}

TEST_F(QuickSearchTest, AFailedOpenIsTheResult) {
  Variant type = 1;
  EXPECT_EQ(z().mainseachshow(badCon[0], badCon[1], badCon[2], badCon[3], type).str(),
            "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(h.response().ended());
}

}  // namespace
}  // namespace zurvafun

// The search result list: access, the criteria search of the session with its
// filters and sort orders, the single search, paging, and the
// administrators' table.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "tests/search/search_fixture.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::contains;

constexpr const char* kNothingFound = "<BR><BR>　　　暂时没有查到您需要的资料...<br>";
constexpr const char* kCapHint = "如果您本次查找结果大于200个，系统只显示前200个。";

class ResultListTest : public testing::SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    h.request().ServerVariables.add("SCRIPT_NAME", "/result.asp");
    h.session().set("iwhere", "sex=577");
  }

  std::string list(const std::string& rtype = "") {
    Variant width = 120, height = 150;
    Variant result;
    error_ = testing::errorOf([&] { result = z().seach_result(con[0], con[1], con[2], con[3], width, height, rtype); });
    return result.str();
  }

  // The nicknames of the member rows, in the order listed.
  static std::vector<std::string> listed(const std::string& page) {
    static const std::regex nickname(R"~(target="_blank" class="Orange_NoUnderLine">([^<]*)</a></td>)~");
    std::vector<std::string> names;
    for (std::sregex_iterator it(page.begin(), page.end(), nickname), end; it != end; ++it)
      names.push_back((*it)[1].str());
    return names;
  }

  // Members n1..nK of sex 577 (grade, trust, times as given by `shape`).
  template <class Shape>
  void addMembers(int count, Shape&& shape) {
    for (int i = 1; i <= count; ++i) {
      testing::SearchMember m{.userid = i, .nickname = "n" + std::to_string(i)};
      shape(i, m);
      add(m);
    }
  }

  long error_ = 0;
};

TEST_F(ResultListTest, AVisitorWithoutALoginIsRefused) {
  EXPECT_EQ(list(), "");
  EXPECT_EQ(error_, RequestEndError);
  EXPECT_TRUE(contains(h.response().body(), "非法操作"));
  EXPECT_EQ(h.response().CacheControl, "no-cache");
}

TEST_F(ResultListTest, TheConditionOfTheSessionListsMembersByGradeThenTrust) {
  add({.userid = 1, .nickname = "low", .grade = 1, .trust = 5});
  add({.userid = 2, .nickname = "gold", .grade = 3, .trust = 1});
  add({.userid = 3, .nickname = "gold2", .grade = 3, .trust = 4});
  add({.userid = 4, .nickname = "man", .sex = 576, .grade = 3});
  add({.userid = 5, .nickname = "closed", .ifclose = 1});
  add({.userid = 6, .nickname = "erro", .iferro = 1});
  add({.userid = 7, .nickname = "deleted", .ifdel = 1});
  logIn(1, "2");
  const std::string page = list();
  EXPECT_EQ(error_, 0);
  EXPECT_EQ(listed(page), (std::vector<std::string>{"gold2", "gold", "low"}));
  EXPECT_TRUE(contains(page, "第 <font color=ff0000><b>1</b></font> 页/共 <font color=ff0000><b>1</b></font> 页 "
                             "&nbsp;&nbsp共 <font color=ff0000><b>3</b></font> 条相关信息 &nbsp"));
  // Page 1 of 1: no links, one option, selected.
  EXPECT_TRUE(contains(page, "<font color=A5537B>首页 上页</font>"));
  EXPECT_TRUE(contains(page, "<font color=A5537B>下页 尾页</font>"));
  EXPECT_TRUE(contains(page, "<OPTION value=1   selected>1</OPTION></select>页"));
  EXPECT_TRUE(contains(page, R"~(<select name=turnpage onchange="location='/result.asp?page='+this.options[this.selectedIndex].value">)~"));
  EXPECT_TRUE(contains(page, R"~(onClick="javascript:location='result.asp?order=4';")~"));
  EXPECT_TRUE(contains(page, R"~(<form name="form1" action="Result.asp" method="post">)~"));
  EXPECT_FALSE(contains(page, kCapHint));
  EXPECT_TRUE(contains(page, "onClick=\"popup('SearchMore.htm',350,300);\""));
}

TEST_F(ResultListTest, SortOrdersTheLastMatchingTestWins) {
  addMembers(3, [](int i, testing::SearchMember& m) {
    m.grade = 4 - i;                                                     // n1 first by default
    m.addtime = "2026-01-0" + std::to_string(i) + " 00:00:00";           // n3 registered last
    m.lasttime = "2026-02-0" + std::to_string((i + 1) % 3 + 1) + " 00:00:00";  // n1 last, then n3, then n2
  });
  logIn(1, "2");
  struct Case {
    const char* order;
    const char* sign;
    std::vector<std::string> names;
    const char* linkSuffix;
  };
  const std::vector<Case> cases = {
      {nullptr, nullptr, {"n1", "n2", "n3"}, ""},
      {"0", nullptr, {"n1", "n2", "n3"}, ""},
      {"0", "4", {"n3", "n2", "n1"}, "&order=4&sign=4"},
      {"4", "2", {"n1", "n3", "n2"}, "&order=2&sign=2"},
      {"2", nullptr, {"n1", "n3", "n2"}, "&order=2&sign=2"},
      {"9", "x", {"n1", "n2", "n3"}, ""},  // unknown: the default order
  };
  for (const Case& c : cases) {
    nextRequest();
    h.request().ServerVariables.add("SCRIPT_NAME", "/result.asp");
    if (c.order) query("order", c.order);
    if (c.sign) query("sign", c.sign);
    const std::string page = list();
    EXPECT_EQ(listed(page), c.names) << (c.order ? c.order : "-") << (c.sign ? c.sign : "-");
    const std::string jump = std::string("value") + (c.linkSuffix[0] ? std::string("+'") + c.linkSuffix + "'" : "") + "\">";
    EXPECT_TRUE(contains(page, jump)) << jump;
  }
}

TEST_F(ResultListTest, PagesOfSixWithClampedPageNumbers) {
  addMembers(14, [](int i, testing::SearchMember& m) { m.trust = 20 - i; });
  logIn(1, "2");
  query("Page", "2");
  query("order", "4");
  std::string page = list();
  EXPECT_EQ(listed(page), (std::vector<std::string>{"n7", "n8", "n9", "n10", "n11", "n12"}));
  EXPECT_TRUE(contains(page, "<a href=/result.asp?Page=1&order=4&sign=4><font color=A5537B>首页</font></a> "
                             "<a href=/result.asp?Page=1&order=4&sign=4><font color=A5537B>上页</font></a>"));
  EXPECT_TRUE(contains(page, "<a href=/result.asp?Page=3&order=4&sign=4><font color=A5537B>下页</font></a> "
                             "<a href=/result.asp?Page=3&order=4&sign=4><font color=A5537B>尾页</font></a>&nbsp; "));
  EXPECT_TRUE(contains(page, "<OPTION value=1 >1</OPTION><OPTION value=2   selected>2</OPTION><OPTION value=3 >3</OPTION>"));
  // The bottom bar's jump target ends in a blank, the top bar's does not.
  EXPECT_TRUE(contains(page, "value+'&order=4&sign=4' \">"));
  EXPECT_TRUE(contains(page, "value+'&order=4&sign=4'\">"));
  EXPECT_FALSE(contains(page, "menu"));

  for (const auto& [asked, first] : std::vector<std::pair<std::string, std::string>>{
           {"99", "n13"}, {"0", "n1"}, {"-3", "n1"}, {"12345678901", "n13"}, {"2.6", "n13"}}) {
    nextRequest();
    logIn(1, "2");
    query("Page", asked);
    page = list();
    ASSERT_FALSE(listed(page).empty()) << asked;
    EXPECT_EQ(listed(page).front(), first) << asked;
  }
  // The bar of the last page agrees with its rows.
  EXPECT_TRUE(contains(page, "第 <font color=ff0000><b>3</b></font> 页"));
  EXPECT_TRUE(contains(page, "<font color=A5537B>下页 尾页</font>"));

  nextRequest();
  logIn(1, "2");
  query("Page", "abc");
  EXPECT_EQ(list(), "");
  EXPECT_EQ(error_, RequestEndError);
  EXPECT_TRUE(contains(h.response().body(), "请求错误！"));
}

TEST_F(ResultListTest, StaticLinksInTheStaticLinkMode) {
  setSettings("0", "1");
  addMembers(7, [](int, testing::SearchMember&) {});
  logIn(1, "2");
  const std::string page = list();
  EXPECT_TRUE(contains(page, "<a href=Page_2_result.html><font color=A5537B>下页</font></a>"));
  EXPECT_TRUE(contains(page, "onchange=\"location='page_'+this.options[this.selectedIndex].value+'_result.html'\">"));
  EXPECT_TRUE(contains(page, R"~(<a href=/id_)~"));
  EXPECT_TRUE(contains(page, "window.open('userid_3_addfriends.html'"));
}

TEST_F(ResultListTest, AtMostTwoHundredMembersWithTheHintBelow) {
  std::string values;
  for (int i = 1; i <= 205; ++i)
    values += (i > 1 ? "," : "") + std::string("(") + std::to_string(i) + ",577,'1996#8#1#39#广东#广东-广州市#124#湖南-长沙市#206','x')";
  run("insert into zurva_user(userid,sex,userdata,aboutus) values" + values);
  logIn(1, "2");
  const std::string page = list();
  EXPECT_TRUE(contains(page, "共 <font color=ff0000><b>200</b></font> 条相关信息"));
  EXPECT_TRUE(contains(page, "<OPTION value=34 >34</OPTION></select>"));
  EXPECT_TRUE(contains(page, "</td></tr><tr><td></td></tr>"));  // the top hint row stays empty
  EXPECT_TRUE(contains(page, kCapHint));
}

// The number of matches is kept for a search while its members stand: every
// change that could move it is seen, whatever column the condition reads.
TEST_F(ResultListTest, TheCountFollowsEveryChangeOfTheMembersItReads) {
  struct Case {
    const char* condition;
    const char* change;  // takes member 2 out of the matches
  };
  const Case cases[] = {
      {"sex=577", "update zurva_user set ifdel=1 where userid=2"},
      {"sex=577 and cast(height_ as int)>=160",
       "update zurva_user set height_='150' where userid=2"},
      {"sex=577 and SUBSTRING(userdata,8,1)=1",
       "update zurva_user set userdata='1996#8#2#39' where userid=2"},
      // Columns the record of changes does not follow, and the clock.
      {"sex=577 and online=0", "update zurva_user set online=1 where userid=2"},
      {"sex=577 and left(pay,3)>=200", "update zurva_user set pay='100#1' where userid=2"},
      {"sex=577 and lasttime > DateAdd(\"d\",-30 , GetDate())",
       "update zurva_user set lasttime='2025-01-01 00:00:00' where userid=2"},
  };
  auto total = [](long n) {
    return "共 <font color=ff0000><b>" + std::to_string(n) + "</b></font> 条相关信息";
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.condition);
    run("delete from zurva_user");
    addMembers(3, [](int, testing::SearchMember&) {});
    h.session().set("iwhere", c.condition);
    for (int twice = 0; twice < 2; ++twice) {
      nextRequest();
      logIn(1, "2");
      EXPECT_TRUE(contains(list(), total(3)));
    }
    run(c.change);
    nextRequest();
    logIn(1, "2");
    const std::string page = list();
    EXPECT_EQ(error_, 0);
    EXPECT_TRUE(contains(page, total(2)));
    EXPECT_EQ(listed(page), (std::vector<std::string>{"n1", "n3"}));
  }
}

// The count is what a search spares on its next pages: it is not read again
// while the record of changes stands (here a change that bypasses it).
TEST_F(ResultListTest, TheCountIsNotReadAgainWhileTheMembersStand) {
  addMembers(3, [](int, testing::SearchMember&) {});
  logIn(1, "2");
  EXPECT_EQ(listed(list()).size(), 3u);
  dropTrigger("zurva_user_shown_changed", "zurva_user");
  run("update zurva_user set ifdel=1 where userid=2");
  nextRequest();
  logIn(1, "2");
  EXPECT_TRUE(contains(list(), "共 <font color=ff0000><b>3</b></font> 条相关信息"));
}

// A statement on a column the record of changes does not follow (the last
// login) is read afresh at every request, in turn with one whose count is kept.
TEST_F(ResultListTest, OnlyTheStatementsOnFollowedColumnsKeepTheirCount) {
  addMembers(3, [](int, testing::SearchMember&) {});
  auto count = [&](const char* order) {
    nextRequest();
    logIn(1, "2");
    if (order) query("order", order);
    const std::string page = list();
    for (const char* n : {"1", "2", "3"})
      if (contains(page, std::string("共 <font color=ff0000><b>") + n + "</b></font> 条相关信息"))
        return std::stoi(n);
    return 0;
  };
  EXPECT_EQ(count(nullptr), 3);
  EXPECT_EQ(count("2"), 3);
  dropTrigger("zurva_user_shown_changed", "zurva_user");
  run("update zurva_user set ifdel=1 where userid=2");
  EXPECT_EQ(count("2"), 2);
  EXPECT_EQ(count(nullptr), 3);
  EXPECT_EQ(count("2"), 2);
}

// The member numbers of a search's matches are kept in order with their
// count, and a page reads its six rows by number: every page lists what the
// statement itself gives there, ties included (on the file the index's order
// decides them, on the server the member number: the order kept is that of
// one run with ties by number), the last partial page, an empty result, and
// after a change of a member row between two pages the new order.
TEST_F(ResultListTest, EveryPageListsWhatTheStatementGivesThere) {
  // Grades, trust levels and registration times in few values: many ties.
  addMembers(40, [](int i, testing::SearchMember& m) {
    m.grade = 1 + i % 3;
    m.trust = i % 2;
    m.addtime = "2026-01-0" + std::to_string(1 + i / 5 % 3) + " 00:00:00";
    m.height = std::to_string(150 + i * 7 % 30);
    if (i % 13 == 0) m.ifdel = 1;
    if (i > 36) m.sex = 576;
  });
  // The statement's own rows of a page, read as the list read them before.
  auto expected = [](const std::string& condition, const char* sortClause, long page) {
    db::Connection conn = open();
    db::Recordset rs;
    rs.OpenPaged("select top 200 * from zurva_user  where " + condition +
                     " and ifclose=0 and iferro=0 and ifdel=0" + sortClause +
                     "grade desc,trust desc" + (testing::testPostgres() ? ",userid" : ""),
                 conn);
    rs.PageSize = 6;
    std::vector<std::string> names;
    if (rs.RecordCount() == 0) return names;
    rs.setAbsolutePage(std::min(page, rs.PageCount()));
    for (int shown = 0; shown < 6 && !rs.eof(); ++shown, rs.MoveNext())
      names.push_back(rs("nickname").str());
    return names;
  };
  auto listPage = [&](const std::string& condition, const char* order, long page) {
    nextRequest();
    h.request().ServerVariables.add("SCRIPT_NAME", "/result.asp");
    h.session().set("iwhere", condition);
    logIn(1, "2");
    if (order) query("order", order);
    query("Page", std::to_string(page));
    const std::string shown = list();
    EXPECT_EQ(error_, 0);
    return listed(shown);
  };
  const char* conditions[] = {
      "sex=577", "sex=577 and cast(height_ as int)>=160", "sex=577 and grade>=2 and trust<='0'",
      "sex=576", "sex=577 and nickname='nobody'",
  };
  for (const char* condition : conditions) {
    for (const auto& [order, sortClause] :
         {std::pair<const char*, const char*>{nullptr, " order by "},
          std::pair<const char*, const char*>{"4", " order by addtime desc,"}}) {
      SCOPED_TRACE(std::string(condition) + (order ? " by addtime" : ""));
      for (long page = 1; page <= 7; ++page)
        EXPECT_EQ(listPage(condition, order, page), expected(condition, sortClause, page))
            << "page " << page;
    }
  }
  // A change between two pages: n3 climbs to the top, n4 leaves the matches.
  EXPECT_EQ(listPage("sex=577", nullptr, 1), expected("sex=577", " order by ", 1));
  run("update zurva_user set grade=9 where userid=3");
  run("update zurva_user set height_='140' where userid=4");
  for (long page = 1; page <= 2; ++page) {
    EXPECT_EQ(listPage("sex=577", nullptr, page), expected("sex=577", " order by ", page));
    EXPECT_EQ(listPage("sex=577 and cast(height_ as int)>=150", nullptr, page),
              expected("sex=577 and cast(height_ as int)>=150", " order by ", page));
  }
  EXPECT_EQ(listPage("sex=577", nullptr, 1).front(), "n3");
}

// While the record of changes stands, a page reads the kept order and its
// rows by number, not the statement (here a change that bypasses the
// record), on the file and on the server alike.
TEST_F(ResultListTest, ThePagesReadTheKeptOrderWhileTheMembersStand) {
  addMembers(8, [](int i, testing::SearchMember& m) { m.trust = i; });
  logIn(1, "2");
  const std::vector<std::string> before{"n8", "n7", "n6", "n5", "n4", "n3"};
  EXPECT_EQ(listed(list()), before);
  dropTrigger("zurva_user_shown_changed", "zurva_user");
  run("update zurva_user set trust=0 where userid=8");
  nextRequest();
  h.request().ServerVariables.add("SCRIPT_NAME", "/result.asp");
  logIn(1, "2");
  EXPECT_EQ(listed(list()), before);
}

TEST_F(ResultListTest, HiddenMembersAreLeftOutOfTheStandardView) {
  addMembers(4, [](int, testing::SearchMember&) {});
  add({.userid = 12, .nickname = "n12"});
  add({.userid = 57, .nickname = "n57"});
  add({.userid = 60, .nickname = "viewer", .sex = 576, .nosou = "12#57#2"});
  add({.userid = 61, .nickname = "viewer2", .sex = 576, .nosou = ""});
  add({.userid = 62, .nickname = "viewer3", .sex = 576, .nosou = "3##x#"});
  add({.userid = 5, .nickname = "closed", .ifclose = 1});
  logIn(60, "2");
  EXPECT_EQ(listed(list()), (std::vector<std::string>{"n1", "n3", "n4"}));
  nextRequest();
  logIn(61, "2");
  EXPECT_EQ(listed(list()).size(), 6u);
  nextRequest();
  logIn(62, "2");
  EXPECT_EQ(error_, 0);
  EXPECT_EQ(listed(list()).size(), 5u);
  // A member number without a record hides nobody.
  nextRequest();
  logIn(99, "2");
  EXPECT_EQ(listed(list()).size(), 6u);
  EXPECT_EQ(error_, 0);

  // The administrators' view ignores the list and the status flags.
  nextRequest();
  logIn(60, "2");
  logInAdministrator();
  const std::string admin = list("admin");
  for (const char* id : {"1", "2", "5", "12", "57"}) EXPECT_TRUE(contains(admin, std::string("title=\"ID:") + id + "\""));
}

TEST_F(ResultListTest, AnAdministratorWithoutAMemberLoginSeesTheList) {
  addMembers(2, [](int, testing::SearchMember&) {});
  logInAdministrator();
  EXPECT_EQ(listed(list()).size(), 2u);
  EXPECT_EQ(error_, 0);
}

TEST_F(ResultListTest, NoConditionInTheSessionFindsNothing) {
  addMembers(2, [](int, testing::SearchMember&) {});
  h.session().remove("iwhere");
  logIn(1, "2");
  const std::string page = list();
  EXPECT_EQ(error_, 0);
  EXPECT_TRUE(contains(page, std::string("&nbsp;&nbsp;") + kNothingFound + "</td></tr><tr><td class=\"bg_sh\""));
  EXPECT_TRUE(listed(page).empty());
  EXPECT_FALSE(contains(page, "turnpage"));
  EXPECT_TRUE(contains(page, "Zurva_Result200607_38.gif"));
}

TEST_F(ResultListTest, TheSingleSearchFindsOneMemberByNumberNicknameOrAccount) {
  add({.userid = 1, .nickname = "小雨", .zurvauser = "rain@example.com"});
  add({.userid = 2, .nickname = "阳光", .zurvauser = "sun@example.com"});
  add({.userid = 3, .nickname = "closed", .zurvauser = "c@example.com", .ifclose = 1});
  add({.userid = 9, .nickname = "viewer", .nosou = "2"});
  struct Case {
    const char* kind;
    const char* name;
    std::vector<std::string> found;
  };
  const std::vector<Case> cases = {
      {"0", "1", {"小雨"}},
      {"0", " 2 ", {}},
      {"1", " 小雨 ", {"小雨"}},
      {"2", "rain@example.com", {"小雨"}},
      {"x", "RAIN@example.com", {"小雨"}},
      {"1", "closed", {}},
      {"1", "小雨' or '1'='1", {}},
  };
  for (const Case& c : cases) {
    nextRequest();
    logIn(9, "0");
    query("menu", "1");
    post({{"s_value", c.kind}, {"s_name", c.name}});
    const std::string page = list();
    EXPECT_EQ(error_, 0) << c.kind << c.name;
    EXPECT_EQ(listed(page), c.found) << c.kind << c.name;
    if (c.found.empty()) {
      EXPECT_TRUE(contains(page, kNothingFound));
    }
  }
}

TEST_F(ResultListTest, TheSingleSearchByNumberRefusesTextThatIsNoNumber) {
  add({.userid = 301, .nickname = "小雨"});
  add({.userid = 302, .nickname = "阳光"});
  for (const char* name : {"301 or 1=1", "abc", "", "99999999999", "301;delete from zurva_user"}) {
    nextRequest();
    logIn(9, "0");
    query("menu", "1");
    post({{"s_value", "0"}, {"s_name", name}});
    EXPECT_EQ(list(), "") << name;
    EXPECT_EQ(error_, RequestEndError) << name;
    const std::string body = h.response().body();
    EXPECT_TRUE(contains(body, "请求错误！")) << body;
    EXPECT_TRUE(contains(body, R"~(onclick="history.go(-1)")~")) << body;
    EXPECT_FALSE(contains(body, kNothingFound));
  }
  EXPECT_EQ(db("select count(*) from zurva_user").str(), "2");
  // Without the field the number counts as 0, which names nobody.
  nextRequest();
  logIn(9, "0");
  query("menu", "1");
  post({{"s_value", "0"}});
  EXPECT_TRUE(contains(list(), kNothingFound));
  EXPECT_EQ(error_, 0);
}

TEST_F(ResultListTest, TheSingleSearchGateOfOrdinaryMembers) {
  add({.userid = 1, .nickname = "小雨"});
  for (const auto& [grade, freeAccess, allowed] :
       std::vector<std::tuple<std::string, std::string, bool>>{
           {"1", "0", false}, {"1", "1", true}, {"1", "x", false}, {"0", "0", true}, {"2", "0", true}, {"3", "0", true}}) {
    nextRequest();
    setSettings(freeAccess, "0");
    logIn(9, grade);
    h.request().QueryString.add("menu", "1#");
    post({{"s_value", "0"}, {"s_name", "1"}});
    const std::string page = list();
    EXPECT_EQ(error_, allowed ? 0 : RequestEndError) << grade << freeAccess;
    EXPECT_EQ(contains(h.response().body(), "非金银卡会员用户"), !allowed);
  }
}

TEST_F(ResultListTest, TheAdministratorsTable) {
  add({.userid = 21, .nickname = "<b>阿杰</b>", .zurvauser = "jie@example.com", .grade = 3, .trust = 4,
       .addtime = "2025-05-06 07:08:09", .lasttime = "2026-03-01 08:00:00", .logins = 12, .loginip = "10.1.2.3"});
  logInAdministrator();
  Variant id = 21;
  const std::string token = z().idasc(id).str();
  const std::string page = list("admin");
  const std::string expected =
      "<tr align=\"center\" class=\"classtd\">\r\n"
      "<td nowrap><a title=\"ID:21\"><input type=\"checkbox\" name=\"id\" value=\"21\"></a></td>\r\n"
      "<td nowrap align=\"left\">jie@example.com</td>\r\n"
      "<td nowrap align=\"left\">&lt;b&gt;阿杰&lt;/b&gt;</td>\r\n"
      "<td nowrap><a href=\"admin_msg.asp?a=add&user_id=21\"><img src=\"/images/message.gif\" alt=\"发送站内短信\" border=\"0\"></a></td>\r\n"
      "<td nowrap><img src='/Images/golduser3.gif' border=\"0\"></td>\r\n"
      "<td nowrap><b><font size=\"+1\">4</font></b><img src=\"/images/rz1.gif\" alt=\"钻石\"></td>\r\n"
      "<td nowrap>2025-05-06 07:08:09</td>\r\n"
      "<td nowrap>12</td>\r\n"
      "<td nowrap>2026-03-01 08:00:00</td>\r\n"
      "<td nowrap><img src=\"/images/ip.gif\" alt=\"最后登陆IP：10.1.2.3\"></td>\r\n"
      "<td nowrap><a href=\"../por.asp?id=" + token + "\" title=\"查看该会员\" target=\"_blank\">查看</a> | "
      "<a href=\"u_mod1.asp?userid=21\" target=\"_parent\">编辑</a></td>\r\n"
      "</tr>\t\t\t\t  \r\n"
      "</table>\t\t\t\t\t  \r\n";
  EXPECT_TRUE(contains(page, expected)) << page;
  EXPECT_TRUE(contains(page, "<td class=\"classtop\">删</td>\r\n<td class=\"classtop\">用户名</td>\r\n"));
}

TEST_F(ResultListTest, AFailedOpenIsTheResult) {
  logIn(1, "2");
  Variant width = 120, height = 150, rtype = "";
  const Variant result = z().seach_result(badCon[0], badCon[1], badCon[2], badCon[3], width, height, rtype);
  EXPECT_EQ(result.str(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(h.response().ended());
  EXPECT_EQ(h.response().body(), "");
}

TEST_F(ResultListTest, ACookieNumberThatDoesNotConvertIsLogged) {
  h.request().Cookies.setFromHeader("kalimo", "username=x&userid=abc&grade=1");
  EXPECT_EQ(list(), "");
  EXPECT_EQ(error_, 0);
  EXPECT_TRUE(contains(log(), "\\temp, seach_result: 类型不匹配"));
}

}  // namespace
}  // namespace zurvafun

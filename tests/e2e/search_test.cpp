// The member search over real HTTP, in the static link mode: the advanced
// search from the form's post through the handler's redirect to the result
// page (the condition kept in the session), the save of the criteria, the
// single search, and the home page's quick search followed to its page 2.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class SearchE2E : public e2e::ServerSuite<SearchE2E> {
 public:
  static std::string settings() {
    return R"("worker_threads": 8,
      "database": {"demo_members": 80},
      "application": {"zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"],
                      "zurva_base_info": [{"separator": "<><><><><>", "fields": [
                        "f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9", "f10", "f11", "f12", "f13",
                        "f14", "f15", "f16", "f17", "f18", "f19", "f20", "f21", "f22", "f23", "f24", "0"]}],
                      "zurva_info": ["词语过滤表<><><><><>admin<><><><><>笨蛋"]})";
  }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  static std::string cookies(const std::vector<std::string>& pairs) {
    std::string header = "Cookie: ";
    for (size_t i = 0; i < pairs.size(); ++i) header += (i ? "; " : "") + pairs[i];
    return header + "\r\n";
  }
  static bool holds(const std::string& gbkBody, const std::string& utf8) {
    return gbkBody.find(gbk::fromUtf8(utf8)) != std::string::npos;
  }
  // The member cookie of a login.
  static std::string login(const std::string& username, const std::string& password) {
    const RawResponse r =
        postLogin(gbkForm({{"username", username}, {"password", password}, {"log_type", "1"}}));
    return cookiePair(r.setCookie("kalimo"));
  }

  static inline const Fields kCriteria = {
      {"order", "0"},     {"daynum", "0"},    {"sex", "576"},       {"agefrom", "18"},     {"ageto", "60"},
      {"province1", "0"}, {"city1", "0"},     {"heightfrom", ""},   {"heightto", ""},      {"degreefrom", "122"},
      {"degreeto", "127"}, {"incomefrom", ""}, {"incometo", ""},    {"marystatus", ""},    {"weightfrom", ""},
      {"weightto", ""},   {"ancestor", ""},   {"province", "0"},    {"city", "0"},         {"housesta", ""},
      {"job", ""},        {"ptype", ""},      {"mtype", ""},        {"daynum1", "0"}};
};

TEST_F(SearchE2E, FromTheSearchPostToTheResultPage) {
  const std::string member = login("demo1@example.com", "demo123");
  ASSERT_FALSE(member.empty());

  const RawResponse form = rawGet("/search.html", cookies({member}));
  EXPECT_EQ(form.status, 200);
  EXPECT_TRUE(holds(form.body, R"(<form name="form3" method="post" action="zurvarasult.html" target="subiframe">)"));
  EXPECT_TRUE(holds(form.body, "subcat = new Array();"));

  const RawResponse handler = rawPost("/zurvarasult.html", gbkForm(kCriteria), cookies({member}));
  ASSERT_EQ(handler.status, 302) << gbk::toUtf8(handler.body);
  EXPECT_EQ(handler.header("Location"), "result_sign_0_order_0.html");
  const std::string session = cookiePair(handler.setCookie("ZURVASESSIONID"));
  ASSERT_FALSE(session.empty());

  const RawResponse result = rawGet("/" + handler.header("Location"), cookies({member, session}));
  EXPECT_EQ(result.status, 200);
  EXPECT_TRUE(holds(result.body, "条相关信息"));
  EXPECT_EQ(count(result.body, gbk::fromUtf8(">给TA留言</a>")), 6);
  EXPECT_FALSE(holds(result.body, "淑女，"));  // men only
  // Its page 2 keeps the search of the session.
  std::smatch next;
  ASSERT_TRUE(std::regex_search(result.body, next, std::regex("<a href=(Page_2_result\\.html)>")));
  const RawResponse page2 = rawGet("/" + next[1].str(), cookies({member, session}));
  EXPECT_TRUE(holds(page2.body, "第 <font color=ff0000><b>2</b></font> 页"));
  EXPECT_FALSE(holds(page2.body, "淑女，"));

  // A hostile value is a bad request and changes nothing: the previous
  // search stays.
  Fields hostile = kCriteria;
  hostile[2].second = "576 or 1=1";
  const RawResponse refused = rawPost("/zurvarasult.html", gbkForm(hostile), cookies({member, session}));
  EXPECT_EQ(refused.status, 200);
  EXPECT_TRUE(holds(refused.body, "请求错误！")) << gbk::toUtf8(refused.body);
  EXPECT_TRUE(refused.header("Location").empty());
  EXPECT_FALSE(holds(rawGet("/result_sign_0_order_0.html", cookies({member, session})).body, "淑女，"));
}

TEST_F(SearchE2E, TheSingleSearchAndTheSaveOfTheCriteria) {
  const std::string member = login("demo2@example.com", "demo456");
  const RawResponse single =
      rawPost("/result.html?menu=1", gbkForm({{"s_value", "0"}, {"s_name", "1"}, {"sign", "single"}}), cookies({member}));
  EXPECT_EQ(single.status, 200);
  EXPECT_TRUE(holds(single.body, "class=\"Orange_NoUnderLine\">演示一号</a>"));

  const RawResponse saved = rawPost("/zurvarasult.html?menu=save", gbkForm(kCriteria), cookies({member}));
  EXPECT_TRUE(holds(saved.body, "alert('保存成功')"));
  const RawResponse form = rawGet("/search.html", cookies({member}));
  EXPECT_TRUE(holds(form.body, R"(var a="18";var b="60";)"));
  EXPECT_TRUE(holds(form.body, R"~(value="576" onClick="Chk_Single2(sexText,'绅士')" checked>)~"));
}

TEST_F(SearchE2E, TheQuickSearchOfTheHomePageAndItsPageTwo) {
  const RawResponse home = rawGet("/");
  EXPECT_TRUE(holds(home.body, R"(<form name="quick" method="post" action="/quicksearch.html">)"));

  const Fields criteria = {{"sex", "577"}, {"agefrom", "18"}, {"ageto", "70"}, {"province1", "0"}, {"city1", "0"}};
  const RawResponse guest = rawPost("/quicksearch.html", gbkForm(criteria));
  EXPECT_EQ(guest.status, 200);
  EXPECT_TRUE(holds(guest.body, "只能查看最多10位会员信息"));
  EXPECT_TRUE(holds(guest.body, "javescript:alert('申请好友只有登陆后才能操作！');"));

  const std::string member = login("demo2@example.com", "demo456");
  const RawResponse first = rawPost("/quicksearch.html", gbkForm(criteria), cookies({member}));
  EXPECT_EQ(count(first.body, gbk::fromUtf8("祖籍")), 10);
  std::smatch next;
  ASSERT_TRUE(std::regex_search(first.body, next, std::regex("<a href=\"(/quicksearch_page_2_[^\"]*)\">")))
      << gbk::toUtf8(first.body);
  const RawResponse second = rawGet(next[1].str(), cookies({member}));
  EXPECT_EQ(second.status, 200);
  EXPECT_TRUE(holds(second.body, "<font color=red>11</font> 个开始。"));
  EXPECT_TRUE(holds(second.body, "淑女，"));
  EXPECT_FALSE(holds(second.body, "绅士，"));
}

}  // namespace
}  // namespace zurvafun

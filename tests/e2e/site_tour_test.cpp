// The demo site as one site over real HTTP, as it ships (the default
// configuration, the static link mode): every page in the one frame, the
// home and city pages composed of what the component offers, the member's
// hub, the administrator's member list, and the pages the component links
// under the names of other pages.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class SiteTourE2E : public e2e::ServerSuite<SiteTourE2E> {
 public:
  static std::string settings() { return e2e::shippedSettings(40); }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  static std::string cookie(const std::string& pair) { return pair.empty() ? "" : "Cookie: " + pair + "\r\n"; }
  static std::string member() {
    return cookiePair(postLogin("username=demo1%40example.com&password=demo123&log_type=1").setCookie("kalimo"));
  }
  static std::string administrator() {
    return cookiePair(rawPost("/admin/login.asp", "admin_name=admin&admin_password=demo-admin").setCookie("zurva_admin"));
  }
};

// The frame's parts, as a page of each kind shows them.
constexpr const char* kHeader = R"(<td class="sitehead"><a href="/index.html" class="sitename">zurva 交友</a>)";
constexpr const char* kNavigation = R"(<td class="sitenav"><a href="/index.html">首页</a>　|　<a href="/city.html">城市会员</a>)";
constexpr const char* kFooter = "Copyright &#169; zurva 交友演示站　联系邮箱：admin@example.com　电话：010-12345678";
constexpr const char* kCloseWindow = R"(<a href="javascript:window.close();">关闭窗口</a>)";

TEST_F(SiteTourE2E, EveryPageWearsTheOneFrame) {
  const std::string demo1 = member();
  enum Frame { Page, Window, Inner };
  const struct {
    const char* path;
    bool member;
    const char* title;
    Frame frame;
  } pages[] = {
      {"/", false, "首页", Page},
      {"/city.asp?city=0&city1=1", false, "城市会员展示：广东-广州市", Page},
      {"/newmembers.asp", false, "最新会员", Page},
      {"/id_1_userinfo.html", false, "会员资料", Page},
      {"/party.asp", false, "聚会活动", Page},
      {"/present.asp", false, "礼物商店", Page},
      {"/login.asp", false, "会员登录", Page},
      {"/reg.asp", false, "会员注册", Page},
      {"/admin/login.asp", false, "管理员登录", Page},
      {"/no-such-page.asp", false, "页面不存在", Page},
      {"/indexw.asp", true, "会员中心", Page},
      {"/search.asp", true, "高级搜索", Page},
      {"/editinfo.asp", true, "修改个人资料", Page},
      {"/ReadyBuy.asp", true, "会员升级", Page},
      {"/photoaction.asp", true, "个人头像", Page},
      {"/friends.asp", true, "我的好友", Page},
      {"/chongzhi.asp", true, "E币充值", Page},
      {"/userid_3_addfriends.html", true, "申请好友", Window},
      {"/partyid_1_partyjoin.html", true, "活动报名", Window},
      {"/stype_view_vote.html", false, "投票", Window},
      {"/messageshow.asp", true, "对话", Inner},
      {"/userid_2_messagesend.html", true, "发送短信", Inner},
  };
  for (const auto& page : pages) {
    SCOPED_TRACE(page.path);
    const std::string body = utf8(rawGet(page.path, cookie(page.member ? demo1 : "")));
    EXPECT_NE(body.find(std::string("<title>") + page.title + " - zurva 交友</title>"), std::string::npos) << body;
    EXPECT_NE(body.find(R"(<link href="/css.css" rel="stylesheet" type="text/css">)"), std::string::npos);
    const bool full = page.frame == Page;
    EXPECT_EQ(body.find(kHeader) != std::string::npos, full);
    EXPECT_EQ(body.find(kNavigation) != std::string::npos, full);
    EXPECT_EQ(body.find(kFooter) != std::string::npos, full);
    EXPECT_EQ(body.find("演示一号！") != std::string::npos, full && page.member);  // the member bar
    EXPECT_EQ(body.find(kCloseWindow) != std::string::npos, page.frame == Window);
    if (full) {
      EXPECT_NE(body.find(std::string(R"(<td class="classtop">)") + page.title + "</td>"), std::string::npos);
    }
  }
  // Links of the frame keep their folder in the static link mode: from a
  // page under /admin/ they lead where they lead from the home page.
  const std::string admin = utf8(rawGet("/admin/login.asp"));
  EXPECT_NE(admin.find(kNavigation), std::string::npos);
}

TEST_F(SiteTourE2E, TheHomePageComposesWhatTheComponentOffersAVisitor) {
  const std::string home = utf8(rawGet("/"));
  const std::vector<std::string> parts = {
      R"(<form name="quick" method="post" action="/quicksearch.html">)",  // the quick search
      "<h3>我型我秀</h3>",                                                 // the showcase widget
      "<form action='vote.html' target='newwindow' method='post' name='submitvote'>",  // the poll box
      "<h3>会员展示</h3>",                                                 // the gallery
      "<h3>最新会员",                                                      // the newest members
      "<h3>演示账号</h3>",
  };
  std::size_t at = 0;
  for (const std::string& part : parts) {
    const std::size_t found = home.find(part, at);
    ASSERT_NE(found, std::string::npos) << part;
    at = found;
  }
  // The six newest members as member cards, the newest first.
  const std::string newest = home.substr(home.find("<h3>最新会员"));
  const std::string last = query("select max(userid) from zurva_user where ifdel=0");
  std::smatch first;
  ASSERT_TRUE(std::regex_search(newest, first, std::regex(R"(window\.open\('userid_([0-9]+)_sendmsg\.html')")));
  EXPECT_EQ(first[1].str(), last);
  EXPECT_EQ(count(newest, "_sendmsg.html"), 6);
}

TEST_F(SiteTourE2E, ACityPageShowsThePlacesMembers) {
  const std::string page = utf8(rawGet("/city_city_0_city1_1.html"));  // 广东, 广州市
  EXPECT_NE(page.find("<title>城市会员展示：广东-广州市"), std::string::npos);
  ASSERT_NE(page.find("<h3>会员展示</h3>"), std::string::npos);
  ASSERT_NE(page.find("<h3>当地最新会员</h3>"), std::string::npos);
  EXPECT_NE(page.find("name='submitvote'"), std::string::npos);
  EXPECT_NE(page.find(R"(<form name="quick")"), std::string::npos);
  // Every newest member of the city lives there, and there are as many as
  // the database holds (at most six).
  const std::string newest = page.substr(page.find("<h3>当地最新会员</h3>"));
  std::vector<std::string> ids;
  const std::regex card(R"(window\.open\('userid_([0-9]+)_sendmsg\.html')");
  for (std::sregex_iterator it(newest.begin(), newest.end(), card), end; it != end; ++it) ids.push_back((*it)[1]);
  const int living = std::stoi(query("select count(*) from zurva_user where ifdel=0 and userdata like '%#广东-广州市#%#%#%'"));
  ASSERT_GT(living, 0);
  EXPECT_EQ(int(ids.size()), std::min(living, 6));
  for (const std::string& id : ids) {
    SCOPED_TRACE(id);
    const std::string data = query("select userdata from zurva_user where userid=" + id);
    EXPECT_NE(data.find("#广东-广州市#"), std::string::npos) << data;
  }
  // The region index: every province, and a province's cities.
  EXPECT_NE(page.find(R"(<a href="/city_city_0_city1_0.html">广东</a>)"), std::string::npos);
  EXPECT_NE(page.find(R"(<a href="/city_city_0_city1_1.html">广州市</a>)"), std::string::npos);
  const std::string index = utf8(rawGet("/city.asp"));
  EXPECT_NE(index.find("请选择省份和城市"), std::string::npos);
  EXPECT_EQ(index.find("<h3>会员展示</h3>"), std::string::npos);
}

TEST_F(SiteTourE2E, TheMemberHomeGathersTheMembersPages) {
  EXPECT_NE(utf8(rawGet("/indexw.asp")).find("请先<a href=\"/login.html\">登录</a>"), std::string::npos);
  const std::string demo1 = member();
  const std::string hub = utf8(rawGet("/indexw.asp", cookie(demo1)));
  for (const char* link : {R"(<a href="/editinfo.html">修改个人资料</a>)", R"(<a href="/userphoto.html">管理我的相册</a>)",
                           R"(<a href="/search.html">高级搜索</a>)", R"(<a href="/mymessages.html">我的对话</a>)",
                           R"(<a href="/present.html">礼物商店</a>)", R"(<a href="/partymanage.html">我组织的活动</a>)",
                           R"(<a href="/Apply.html">购买我型我秀</a>)", R"(<a href="/History.html">E币收支记录</a>)"})
    EXPECT_NE(hub.find(link), std::string::npos) << link;
  EXPECT_NE(hub.find("未读短信 " + query("select count(*) from Sendbooks where userid=1 and new=1") + " 条"),
            std::string::npos);
  EXPECT_NE(hub.find("已通过审核的照片 2 张"), std::string::npos) << hub;
  // Her parties, by their titles; the gifts she received, by the giver.
  const std::string party = query("select bt from party where userid=1 order by partytime desc");
  EXPECT_NE(hub.find(">" + party + "</a>"), std::string::npos) << party;
  const std::string giver = query("select nickname from zurva_user where userid=(select senduserid from presentmx "
                                  "where userid=1 order by id desc)");
  EXPECT_NE(hub.find(">" + giver + "</a> 送给您 "), std::string::npos) << giver;
  // The showcase status box of the component, with its purchase button.
  EXPECT_NE(hub.find("onClick=javescript:location='Apply.html';"), std::string::npos) << hub;
}

TEST_F(SiteTourE2E, TheAdministratorsMemberList) {
  EXPECT_NE(utf8(rawGet("/admin/result.asp")).find("alert('非法操作')"), std::string::npos);
  const std::string admin = administrator();
  ASSERT_FALSE(admin.empty());
  // A search made in the administrator's session (as a member, in the same
  // browser) leaves his list alone: every member, newest first, twenty to a
  // page with the paging bar, each line with the edit link and the E币 form.
  const std::string search = cookiePair(
      rawPost("/zurvarasult.html",
              "order=0&sex=576&agefrom=18&ageto=20&degreefrom=122&degreeto=127", cookie(member()))
          .setCookie("ZURVASESSIONID"));
  ASSERT_FALSE(search.empty());
  const std::string both = admin + "; " + search;
  const std::string list = utf8(rawGet("/admin/result.asp", cookie(both)));
  EXPECT_NE(list.find("共 <b>40</b> 位会员"), std::string::npos) << list;
  EXPECT_EQ(count(list, R"(<a href="/admin/editinfo.asp?userid=)"), 20);
  EXPECT_EQ(count(list, R"(<form class="emoneyform" method="post" action="/admin/emoney.asp">)"),
            20);
  EXPECT_LT(list.find(R"(<tr><td>40</td>)"), list.find(R"(<tr><td>39</td>)"));
  EXPECT_NE(
      list.find(
          "第 <font color=ff0000><b>1</b></font> 页/共 <font color=ff0000><b>2</b></font> 页"),
      std::string::npos);
  const std::string second = utf8(rawGet("/admin/Page_2_result.html", cookie(both)));
  EXPECT_NE(second.find(R"(<tr><td>20</td>)"), std::string::npos);
  EXPECT_NE(second.find(R"(<input type="hidden" name="back" value="/admin/result.asp?page=2">)"),
            std::string::npos);
  // One member by number.
  const std::string one = utf8(rawGet("/admin/result.asp?userid=2", cookie(admin)));
  EXPECT_EQ(count(one, R"(<a href="/admin/editinfo.asp?userid=)"), 1);
  const std::string form = utf8(rawGet("/admin/u_mod1.asp?userid=2", cookie(admin)));
  EXPECT_NE(form.find(R"(<form name="form1" method="post" action="reg_submit.asp")"), std::string::npos);
  // The single search by number: the component's view of the member.
  const std::string found = utf8(rawPost("/admin/result.asp?menu=1", "s_value=0&s_name=2", cookie(admin)));
  EXPECT_EQ(count(found, R"(<a href="u_mod1.asp?userid=)"), 1);
  EXPECT_NE(found.find(R"(<a href="u_mod1.asp?userid=2")"), std::string::npos);
  // The administrator's home links his pages; the logout is a post.
  const std::string index = utf8(rawGet("/admin/index.asp", cookie(admin)));
  for (const char* link : {"/admin/result.asp", "/admin_userphoto.asp", "/photocheck.asp"})
    EXPECT_NE(index.find(std::string("<a href=\"") + link + "\""), std::string::npos) << link;
  EXPECT_NE(index.find("<form class=\"linkform\" method=\"post\" action=\"/admin/logout.html\">"),
            std::string::npos);
}

// The party panel links its photo pages by the names of the member's photo
// pages with the party's number: they are the party's, not the member's.
TEST_F(SiteTourE2E, ThePartyPanelsPhotoPagesAreTheParties) {
  const std::string demo1 = member();
  const std::string frame = utf8(rawGet("/partyid_2_userphoto.html", cookie(demo1)));
  EXPECT_NE(frame.find("暂无活动照片。"), std::string::npos) << frame;
  EXPECT_EQ(frame.find("个人头像"), std::string::npos);
  const std::string upload = utf8(rawGet("/partyid_2_upload.html", cookie(demo1)));
  EXPECT_NE(upload.find("演示站暂不开放活动照片上传。"), std::string::npos);
  EXPECT_EQ(upload.find("photodata"), std::string::npos);
  // Without a party number they are the member's own.
  EXPECT_NE(utf8(rawGet("/userphoto.asp", cookie(demo1))).find("个人头像"), std::string::npos);
  EXPECT_NE(utf8(rawGet("/upload.asp", cookie(demo1))).find("photodata"), std::string::npos);
}

}  // namespace
}  // namespace zurvafun

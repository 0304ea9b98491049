// The profile pages over real HTTP: a member edits his profile and sees it
// again, a visitor registers and logs in, an administrator logs in, edits a
// member and the member logs in with the password the administrator set.
// Forms are posted as a browser would post them: what the page's fields hold,
// with the selects that the page's scripts set given the values they select.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

class ProfileE2E : public e2e::ServerSuite<ProfileE2E> {
 public:
  static std::string settings() {
    return R"("worker_threads": 8,
      "database": {"demo_members": 12},
      "administrator": {"name": "admin", "password": "test-admin-pw"},
      "application": {
        "zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"],
        "zurva_info": ["词语过滤表<><><><><>管理员,版主<><><><><>傻瓜"]
      })";
  }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  static std::string cookieHeader(const std::string& pairs) { return "Cookie: " + pairs + "\r\n"; }

  static std::string unescape(std::string s) {
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
      for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    }
    return s;
  }

  // The fields of the page's form as a browser posts them before any script
  // runs: inputs with their values, each select's marked option (else its
  // first), the text areas; buttons left out.
  static Fields formFields(const std::string& page) {
    Fields fields;
    const std::regex control(R"(<(input|select|textarea)\b([^>]*)>)", std::regex::icase);
    const std::regex name(R"(\bname=["']?([A-Za-z_0-9]+))", std::regex::icase);
    const std::regex value(R"re(\bvalue=("([^"]*)"|'([^']*)'|([^\s>]*)))re", std::regex::icase);
    const std::regex type(R"(\btype=["']?(\w+))", std::regex::icase);
    const std::regex option(R"re(<option value=("([^"]*)"|'([^']*)'|([^\s>]*))([^>]*)>)re", std::regex::icase);
    for (std::sregex_iterator m(page.begin(), page.end(), control), end; m != end; ++m) {
      const std::string tag = (*m)[1], attributes = (*m)[2];
      std::smatch n, v, t;
      if (!std::regex_search(attributes, n, name)) continue;
      const std::string kind = std::regex_search(attributes, t, type) ? std::string(t[1]) : "text";
      if (kind == "submit" || kind == "reset") continue;
      const std::size_t after = std::size_t(m->position(0) + m->length(0));
      if (tag == "textarea" || tag == "TEXTAREA") {
        const std::size_t close = page.find("</", after);
        fields.emplace_back(n[1], unescape(page.substr(after, close - after)));
      } else if (tag == "input" || tag == "INPUT") {
        std::string text;
        if (std::regex_search(attributes, v, value)) text = v[2].matched ? v[2] : v[3].matched ? v[3] : v[4];
        fields.emplace_back(n[1], unescape(text));
      } else {
        std::size_t close = page.find("</select>", after);
        close = std::min(close, page.find("</SELECT>", after));
        const std::string options = page.substr(after, close - after);
        std::string chosen, first;
        bool any = false;
        for (std::sregex_iterator o(options.begin(), options.end(), option); o != end; ++o) {
          const std::string text = (*o)[2].matched ? (*o)[2] : (*o)[3].matched ? (*o)[3] : (*o)[4];
          if (!any) first = text;
          any = true;
          if (std::string((*o)[5]).find("selected") != std::string::npos && chosen.empty()) chosen = text;
        }
        fields.emplace_back(n[1], chosen.empty() ? first : chosen);
      }
    }
    return fields;
  }

  // The administrator's edit form as a browser posts it once the page's
  // script has chosen the stored values of these selects (the script runs
  // in no test), with `changes` on top.
  static Fields adminForm(const std::string& page,
                          const std::map<std::string, std::string>& changes) {
    return with(with(formFields(page), {{"look", "7"},
                                        {"marrystatus", "1"},
                                        {"Folk", "39"},
                                        {"ancestor", "湖南"},
                                        {"province", "广东"},
                                        {"city", "深圳市"},
                                        {"degree", "125"},
                                        {"province1", "湖南"},
                                        {"city1", "长沙市"},
                                        {"housesta", "205"}}),
                changes);
  }

  // Demo member 1's edit form as a browser posts it once the page's script
  // has chosen her values (and a few changes of hers), with `changes` on top.
  static Fields memberForm(const std::string& page,
                           const std::map<std::string, std::string>& changes) {
    return with(with(formFields(page), {{"weight", "55"},
                                        {"look", "8"},
                                        {"marrystatus", "1"},
                                        {"Folk", "39"},
                                        {"ancestor", "广东"},
                                        {"province", "广东"},
                                        {"city", "深圳市"},
                                        {"degree", "125"},
                                        {"province1", "广东"},
                                        {"city1", "广州市"},
                                        {"housesta", "207"},
                                        {"height", "168"}}),
                changes);
  }

  static Fields with(Fields fields, const std::map<std::string, std::string>& changes) {
    for (auto& [name, value] : fields) {
      const auto it = changes.find(name);
      if (it != changes.end()) value = it->second;
    }
    return fields;
  }

  static std::string memberCookie(const std::string& username, const std::string& password) {
    const RawResponse answer =
        postLogin(gbkForm({{"username", username}, {"password", password}, {"log_type", "1"}}));
    return cookiePair(answer.setCookie("kalimo"));
  }

  static bool holds(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }
};

TEST_F(ProfileE2E, AMemberEditsHisProfileAndSeesItAgain) {
  const std::string member = memberCookie("demo1@example.com", "demo123");
  ASSERT_FALSE(member.empty());
  const RawResponse first = rawGet("/editinfo.asp", cookieHeader(member));
  ASSERT_EQ(first.status, 200);
  const std::string page = utf8(first);
  ASSERT_TRUE(holds(page, "<FORM name=form1 onSubmit=\"javescript:return chkform();\" action=regsubmit.html# method=post>"));
  EXPECT_TRUE(holds(page, "subcat[0] = new Array(\"广州市\",\"广东\",\"广州市\");"));  // the city table the form's scripts use
  EXPECT_TRUE(holds(page, "src=\"/js/profile.js\""));
  EXPECT_TRUE(holds(page, "<INPUT name=nickname maxLength=12 value=\"演示一号\" readonly"));
  EXPECT_TRUE(holds(page, "var a=\"广东\";var b=\"广州市\";"));
  EXPECT_EQ(rawGet("/js/profile.js").status, 200);
  EXPECT_EQ(rawGet("/lw.html").status, 200);  // the sample the form links to

  const Fields posted =
      memberForm(page, {{"dutytype", "设计师"},
                        {"intro", "喜欢旅游和摄影，也喜欢安静地读一本书，希望遇见真诚的你。"}});
  const RawResponse saved = rawPost("/regsubmit.html", gbkForm(posted), cookieHeader(member));
  ASSERT_EQ(saved.status, 302) << utf8(saved);
  EXPECT_EQ(saved.header("Location"), "/editinfo.asp?saved=1");

  const std::string again = utf8(rawGet("/editinfo.asp?saved=1", cookieHeader(member)));
  EXPECT_TRUE(holds(again, "您的资料已保存。"));
  EXPECT_TRUE(holds(again, "<option value=168 selected>168</option>"));
  EXPECT_TRUE(holds(again, "a=55-30+1;"));
  EXPECT_TRUE(holds(again, "var a=\"广东\";var b=\"深圳市\";"));
  EXPECT_TRUE(holds(again, "a=125-122+1;"));
  EXPECT_TRUE(holds(again, "a=207-205+1;"));
  EXPECT_TRUE(holds(again, "<INPUT name=dutytype value=\"设计师\" maxLength=8>"));
  EXPECT_TRUE(holds(again, ">喜欢旅游和摄影，也喜欢安静地读一本书，希望遇见真诚的你。</TEXTAREA>"));
  // The locked rows posted their labels; the stored codes stayed.
  EXPECT_TRUE(holds(again, "淑女<input name=sex type=hidden value='淑女'>"));
  EXPECT_TRUE(holds(again, "1990年<input name=birthyear type=hidden value=1990>"));
  // The password was not touched: the member still logs in with it.
  EXPECT_FALSE(memberCookie("demo1@example.com", "demo123").empty());
}

// Quotes, a question mark, a semicolon and a backslash in the saved text are
// values, never statement text: they are stored and shown as posted.
TEST_F(ProfileE2E, TextWithQuotesAndMarksIsStoredAsPosted) {
  const std::string member = memberCookie("demo1@example.com", "demo123");
  ASSERT_FALSE(member.empty());
  const std::string page = utf8(rawGet("/editinfo.asp", cookieHeader(member)));
  const std::string intro = "It's 'me'; who? \\ -- 你好";
  const Fields posted = memberForm(page, {{"dutytype", "O'Neil?"}, {"intro", intro}});
  const RawResponse saved = rawPost("/regsubmit.html", gbkForm(posted), cookieHeader(member));
  ASSERT_EQ(saved.status, 302) << utf8(saved);
  EXPECT_EQ(query("select aboutus from zurva_user where userid=1"), intro);
  EXPECT_EQ(query("select job from zurva_user where userid=1"), "O'Neil?");
  const std::string again = utf8(rawGet("/editinfo.asp", cookieHeader(member)));
  EXPECT_TRUE(holds(again, "<INPUT name=dutytype value=\"O&#39;Neil?\" maxLength=8>"));
}

TEST_F(ProfileE2E, TheSavePageRefusesWhatTheChecksRefuse) {
  const std::string member = memberCookie("demo2@example.com", "demo456");
  const std::string page = utf8(rawGet("/editinfo.asp", cookieHeader(member)));
  const Fields base = formFields(page);
  const RawResponse shortIntro = rawPost("/regsubmit.asp", gbkForm(with(base, {{"intro", "太短"}})), cookieHeader(member));
  EXPECT_EQ(shortIntro.status, 200);
  EXPECT_TRUE(holds(utf8(shortIntro), "个人独白不能超过2000个汉字,不能小于20个汉字！"));
  const RawResponse word = rawPost("/regsubmit.asp", gbkForm(with(base, {{"dutytype", "版主"}})), cookieHeader(member));
  EXPECT_TRUE(holds(utf8(word), "非法字符！非法的字符为：版主"));
  // A guest cannot save.
  const RawResponse guest = rawPost("/regsubmit.asp", gbkForm(base));
  EXPECT_TRUE(holds(utf8(guest), "非法操作"));
  EXPECT_TRUE(holds(utf8(rawGet("/editinfo.asp")), "非法操作"));
  EXPECT_FALSE(holds(utf8(rawGet("/editinfo.asp")), "<FORM name=form1"));
}

// A registration form that passes every check.
Fields registration(const std::string& account, const std::string& nickname) {
  return {{"username", account}, {"nickname", nickname}, {"password", "newpass1"}, {"password_confirm", "newpass1"},
          {"name_r", "赵新"}, {"name_ropen", "2"}, {"SelID", "1"}, {"IDNo", "110101199501011234"},
          {"sex", "576"}, {"birthyear", "1995"}, {"height", "175"}, {"weight", "68"}, {"Shape", "115"}, {"look", "7"},
          {"marrystatus", "1"}, {"Folk", "39"}, {"ancestor", "浙江"}, {"province", "浙江"}, {"city", "杭州市"},
          {"degree", "124"}, {"province1", "浙江"}, {"city1", "宁波市"}, {"job", "161"}, {"dutytype", "工程师"},
          {"housesta", "206"}, {"income", "228"}, {"incomeopen", "1"}, {"constel", "狮子座"}, {"Mobile", "13912345678"},
          {"tel_ropen", "1"}, {"question", "我的小学"}, {"answer", "实验小学"}, {"drink", "不喝酒"}, {"smoking", "不吸烟"},
          {"agefrom", "22"}, {"ageto", "30"}, {"heightfrom", "155"}, {"heightto", "170"}, {"degreefrom", "123"},
          {"degreeto", "126"}, {"qq", "88886666"}, {"msn", ""}, {"email", account},
          {"intro", "性格开朗，喜欢运动和旅行，周末常去爬山，希望认识一位善良真诚的女孩。"}};
}

TEST_F(ProfileE2E, AVisitorRegistersAndLogsInWithTheNewAccount) {
  const RawResponse form = rawGet("/reg.asp");
  ASSERT_EQ(form.status, 200);
  for (const char* field : {"name=\"username\"", "name=\"password_confirm\"", "name=\"intro\"", "name=\"city1\""})
    EXPECT_TRUE(holds(utf8(form), field)) << field;

  const RawResponse answer = rawPost("/reg.asp", gbkForm(registration("zhaoxin@example.com", "赵新")));
  ASSERT_EQ(answer.status, 200);
  const std::string member = cookiePair(answer.setCookie("kalimo"));
  ASSERT_FALSE(member.empty()) << utf8(answer);
  // The login sends him to the member home (the demo site has no forum to hand him to).
  EXPECT_TRUE(holds(utf8(answer), "top.window.location.href='indexw.html';")) << utf8(answer);
  EXPECT_FALSE(holds(utf8(answer), "newpass1"));
  EXPECT_TRUE(holds(utf8(rawGet("/indexw.asp", cookieHeader(member))), "欢迎您，赵新！"));

  // The new account logs in, and its profile form shows what was registered.
  const std::string again = memberCookie("zhaoxin@example.com", "newpass1");
  ASSERT_FALSE(again.empty());
  const std::string page = utf8(rawGet("/editinfo.asp", cookieHeader(again)));
  EXPECT_TRUE(holds(page, "var a=\"浙江\";var b=\"杭州市\";"));
  EXPECT_TRUE(holds(page, "<option value=175 selected>175</option>"));
  EXPECT_TRUE(holds(page, "<OPTION value=161 selected>技术</OPTION>"));

  // The same account again is refused, and the form keeps what was typed.
  const RawResponse twice = rawPost("/reg.asp", gbkForm(registration("zhaoxin@example.com", "赵新二")));
  EXPECT_EQ(twice.setCookie("kalimo"), "");
  EXPECT_TRUE(holds(utf8(twice), "注册邮箱重复！"));
  EXPECT_TRUE(holds(utf8(twice), "name=\"nickname\" size=\"12\" value=\"赵新二\""));
}

TEST_F(ProfileE2E, ARefusedRegistrationShowsItsMessageAndKeepsTheForm) {
  Fields form = registration("lisi@example.com", "李四");
  form.back().second = "太短了";
  const RawResponse r = rawPost("/reg.asp", gbkForm(form));
  EXPECT_EQ(r.setCookie("kalimo"), "");
  EXPECT_TRUE(holds(utf8(r), "个人独白不能超过2000个汉字,不能小于20个汉字！"));
  EXPECT_TRUE(holds(utf8(r), ">太短了</textarea>"));
  EXPECT_TRUE(holds(utf8(r), "<option value=\"杭州市\" selected>杭州市</option>"));
  EXPECT_EQ(memberCookie("lisi@example.com", "newpass1"), "");
}

TEST_F(ProfileE2E, AnAdministratorEditsAMember) {
  // The member is logged in before the administrator gives him a new password.
  const std::string before = memberCookie("demo2@example.com", "demo456");
  ASSERT_TRUE(holds(utf8(rawGet("/indexw.asp", cookieHeader(before))), "欢迎您，演示二号！"));
  // Without the administrator cookie every administrator page refuses.
  EXPECT_TRUE(holds(utf8(rawGet("/admin/editinfo.asp?userid=2")), "alert('非法操作');"));
  EXPECT_TRUE(holds(utf8(rawPost("/admin/reg_submit.asp", "id=2&height=180")), "alert('非法操作');"));
  const RawResponse wrong = rawPost("/admin/login.asp", gbkForm({{"admin_name", "admin"}, {"admin_password", "guess"}}));
  EXPECT_EQ(wrong.setCookie("zurva_admin"), "");
  EXPECT_TRUE(holds(utf8(wrong), "管理员名称或密码不正确。"));

  const RawResponse login =
      rawPost("/admin/login.asp", gbkForm({{"admin_name", "admin"}, {"admin_password", "test-admin-pw"}}));
  ASSERT_EQ(login.status, 302);
  const std::string admin = cookiePair(login.setCookie("zurva_admin"));
  ASSERT_FALSE(admin.empty());
  // A forged administrator cookie (no valid signature) counts for nothing.
  EXPECT_TRUE(holds(utf8(rawGet("/admin/editinfo.asp?userid=2", cookieHeader("zurva_admin=admin_name=x"))), "非法操作"));

  const std::string page = utf8(rawGet("/admin/editinfo.asp?userid=2", cookieHeader(admin)));
  ASSERT_TRUE(holds(page, "<form name=\"form1\" method=\"post\" action=\"reg_submit.asp\"")) << page.substr(0, 3000);
  EXPECT_TRUE(holds(page, "演示二号<input name=\"nickname\" type=\"hidden\" value=\"演示二号\""));
  EXPECT_TRUE(holds(utf8(rawGet("/admin/editinfo.asp?userid=abc", cookieHeader(admin))), "alert('请求错误！');"));
  for (const char* id : {"", "abc", "99999999999", "-3"}) {
    const RawResponse r = rawPost("/admin/reg_submit.asp", std::string("id=") + id + "&height=180", cookieHeader(admin));
    EXPECT_EQ(r.status, 200) << id;
    EXPECT_TRUE(holds(utf8(r), "alert('请求错误！');")) << id;
  }

  const Fields posted = adminForm(
      page,
      {{"birthyear", "1987"}, {"weight", "70"}, {"height", "180"}, {"password", "fromadmin1"}});
  // The form's action is relative: it lands beside the administrator's page.
  const RawResponse saved = rawPost("/admin/reg_submit.asp", gbkForm(posted), cookieHeader(admin));
  ASSERT_EQ(saved.status, 302) << utf8(saved);
  EXPECT_EQ(saved.header("Location"), "/admin/editinfo.asp?userid=2&saved=1");
  const std::string again = utf8(rawGet("/admin/editinfo.asp?userid=2&saved=1", cookieHeader(admin)));
  EXPECT_TRUE(holds(again, "会员资料已保存。"));
  EXPECT_TRUE(holds(again, "<OPTION value=\"180\" selected>180</OPTION>"));
  EXPECT_TRUE(holds(again, "var a=\"湖南\";\r\nvar b=\"长沙市\";"));
  // The member logs in with the password the administrator set; the cookie
  // of his login with the old one counts no more.
  EXPECT_EQ(memberCookie("demo2@example.com", "demo456"), "");
  EXPECT_FALSE(memberCookie("demo2@example.com", "fromadmin1").empty());
  EXPECT_FALSE(holds(utf8(rawGet("/indexw.asp", cookieHeader(before))), "欢迎您"));

  const RawResponse out = rawPost("/admin/logout.asp", "", cookieHeader(admin));
  EXPECT_EQ(out.status, 302);
  EXPECT_NE(out.setCookie("zurva_admin").find("expires="), std::string::npos);
}

// The administrator's edit form lists the birth years the component offers,
// which end before a member who registered at 18 was born: the form posted
// without a year keeps his; an unknown year is still refused.
TEST_F(ProfileE2E, TheAdministratorSavesAMemberBornAfterTheFormsLastYear) {
  const RawResponse login = rawPost(
      "/admin/login.asp", gbkForm({{"admin_name", "admin"}, {"admin_password", "test-admin-pw"}}));
  const std::string admin = cookiePair(login.setCookie("zurva_admin"));
  ASSERT_FALSE(admin.empty());
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int latest = local.tm_year + 1900 - 18;
  const std::string stored = query("select userdata from zurva_user where userid=2");
  const std::string young = std::to_string(latest) + stored.substr(stored.find('#'));
  ASSERT_TRUE(execute("update zurva_user set userdata='" + young + "' where userid=2"));
  // The birth year's select has no option for his year.
  const Fields form = adminForm(utf8(rawGet("/admin/editinfo.asp?userid=2", cookieHeader(admin))),
                                {{"birthyear", ""}});

  const RawResponse saved = rawPost("/admin/reg_submit.asp",
                                    gbkForm(with(form, {{"weight", "66"}})), cookieHeader(admin));
  EXPECT_EQ(saved.status, 302) << utf8(saved);
  EXPECT_EQ(query("select userdata from zurva_user where userid=2").substr(0, 5),
            young.substr(0, 5));
  const RawResponse refused = rawPost(
      "/admin/reg_submit.asp", gbkForm(with(form, {{"birthyear", std::to_string(latest + 1)}})),
      cookieHeader(admin));
  EXPECT_TRUE(holds(utf8(refused), "出生年份")) << utf8(refused);
  EXPECT_EQ(query("select userdata from zurva_user where userid=2").substr(0, 5),
            young.substr(0, 5));
}

TEST_F(ProfileE2E, TheHomePageLeadsToTheProfilePages) {
  const std::string home = utf8(rawGet("/index.asp"));
  for (const char* link : {"<a href=\"/reg.html\">会员注册</a>", "<a href=\"/editinfo.html\">修改个人资料</a>",
                           "<a href=\"/admin/login.html\">"})
    EXPECT_TRUE(holds(home, link)) << link;
}

}  // namespace
}  // namespace zurvafun

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/profile/profile_fixture.h"
#include "tests/support.h"

namespace zurvafun::testing {
namespace {

class AdminFormTest : public ProfileDbTest {
 protected:
  struct Page {
    Variant result;
    std::string body;
    bool ended = false;
    long error = 0;
  };
  static Page run(const char* userid, bool administrator = true, const char* database = kDatabase) {
    host::TestHost h;
    if (userid) h.request().QueryString.add("userid", userid);
    if (administrator) h.request().Cookies.setFromHeader("zurva_admin", "admin_name=boss");
    zurva z;
    Page p;
    p.error = errorOf([&] { p.result = z.admin_editinfo(kServer, kUser, kPassword, database); });
    p.body = h.response().body();
    p.ended = h.response().ended();
    return p;
  }
  static std::string formOf(const std::map<std::string, Variant>& changes = {}) {
    addProfile(7, changes);
    const Page p = run("7");
    EXPECT_EQ(p.error, 0);
    return p.result.str();
  }
};

// The text of the error log (MemberDbTest points it at the test's folder).
std::string logText() {
  std::ifstream in(logFilePath(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(AdminFormTest, PostsEveryFieldInPageOrder) {
  const std::string page = formOf();
  EXPECT_EQ(fieldNames(page),
            (std::vector<std::string>{"nickname", "username", "id", "password", "name_r", "name_ropen", "SelID", "IDNo",
                                      "sex", "birthyear", "height", "weight", "Shape", "look", "marrystatus", "Folk",
                                      "ancestor", "province", "city", "degree", "province1", "city1", "job", "dutytype",
                                      "housesta", "income", "incomeopen", "constel", "Mobile", "tel_ropen", "drink",
                                      "smoking", "question", "answer", "agefrom", "ageto", "heightfrom", "heightto",
                                      "degreefrom", "degreeto", "qq", "msn", "email", "intro", "sign", "Submit"}));
  EXPECT_EQ(page.rfind("<form name=\"form1\" method=\"post\" action=\"reg_submit.asp\" "
                       "onSubmit=\"javescript:return chkform();\">",
                       0),
            0u);
  EXPECT_TRUE(page.ends_with("</FORM>\t\r\n<div align=\"left\"></div>\r\n</body>\r\n</html>\r\n"));
  EXPECT_EQ(occurrences(page, "<table"), occurrences(page, "</table>"));
}

TEST_F(AdminFormTest, TheAccountBlockShowsAndPostsTheAccount) {
  const std::string page = withoutBlanksBetweenTags(formOf());
  for (const char* piece : {
           "<b>基本资料</b>",
           "<font color=\"#ff6600\">*</font> 会员昵称：</td><td>晓燕<input name=\"nickname\" type=\"hidden\" value=\"晓燕\" "
           "maxLength=\"12\" readonly style=\"border:1px solid #b9b9b9;color: #b9b9b9;\"></td>",
           "会员帐号：</td><td>lin@example.com<input name=\"username\" type=\"hidden\" value=\"lin@example.com\" "
           "maxLength=\"50\" readonly></td>",
           ">ID</td><td>7<input name=\"id\" type=\"hidden\" id=\"id\" value=\"7\" maxLength=\"12\" readonly",
           "<input name=\"password\" type=\"text\" id=\"password\" maxlength=\"12\"><font color=\"#ff0000\">*</font>为空时不做修改",
       })
    EXPECT_NE(page.find(piece), std::string::npos) << piece;
  // Every control is open: no locks, however verified the member is.
  EXPECT_EQ(page.find("readonly=\"readonly\""), std::string::npos);
  EXPECT_EQ(page.find("type=hidden value='"), std::string::npos);
  // The stored digest is never written.
  EXPECT_EQ(page.find("59819a11775936d8"), std::string::npos);
}

TEST_F(AdminFormTest, SelectsAreMarkedByComparison) {
  const std::string page = formOf({{"idno", "A123452"}, {"userbz", "25-35#160-175#122-124"}, {"field", "186"}});
  const struct {
    const char* select;
    std::vector<std::string> marked;
    int options;
  } selects[] = {
      {"name_ropen", {"1"}, 4},   {"SelID", {"2"}, 3},       {"sex", {"577"}, 3},        {"birthyear", {""}, 64},
      {"height", {"165"}, 112},   {"Shape", {"870"}, 11},    {"look", {""}, 11},         {"marrystatus", {""}, 4},
      {"Folk", {""}, 12},         {"ancestor", {""}, 41},    {"degree", {""}, 7},        {"province1", {"0"}, 41},
      {"city1", {"0"}, 1},        {"city", {"0"}, 1},        {"job", {"186"}, 35},       {"housesta", {""}, 7},
      {"income", {"225"}, 17},    {"incomeopen", {"2"}, 3},  {"constel", {"魔羯座"}, 13}, {"agefrom", {"25"}, 52},
      {"ageto", {"35"}, 52},      {"heightfrom", {"160"}, 62}, {"heightto", {"", "175"}, 62},
      {"degreefrom", {"122"}, 7}, {"degreeto", {"", "124"}, 7},
  };
  for (const auto& s : selects) {
    SCOPED_TRACE(s.select);
    const std::string select = selectOf(page, s.select);
    EXPECT_EQ(markedValues(select), s.marked) << select;
    EXPECT_EQ(occurrences(select, "<OPTION") + occurrences(select, "<option"), s.options);
  }
  // The mobile flag is marked with a blank after the word.
  EXPECT_EQ(markedValues(selectOf(page, "tel_ropen"), " selected "), std::vector<std::string>{"2"});
  EXPECT_NE(page.find("<SELECT  name=tel_ropen>\r\n<OPTION value=1>金卡银卡会员可见</OPTION>"
                      "<OPTION value=2 selected >完全保密</OPTION></SELECT>"),
            std::string::npos);
  // Quoted and unquoted values: codes bare, names and numbers quoted.
  EXPECT_NE(page.find("<OPTION value=186 selected>体育</OPTION>"), std::string::npos);
  EXPECT_NE(page.find("<option value=\"魔羯座\" selected>魔羯座</option>"), std::string::npos);
  EXPECT_NE(page.find("<OPTION value=\"25\" selected>25</OPTION>"), std::string::npos);
}

TEST_F(AdminFormTest, ScriptsSelectTheStoredValues) {
  const std::string page = formOf();
  for (const char* script : {
           "</td>\r\n  </tr>\r\n<script language=\"JavaScript\" type=\"text/JavaScript\">\r\n<!--\r\na=1997-1980+1\r\n"
           ";document.form1.birthyear.selectedIndex=a;\r\n\r\n\r\n//-->\r\n</script>",
           "a=52-30+1\r\n;document.form1.weight.selectedIndex=a;\r\n\r\n\r\n//-->\r\n</script>  kg",
           "a=7;document.form1.look.selectedIndex=a;",
           "a=1;document.form1.marrystatus.selectedIndex=a;",
           "a=39-39+1\r\n;document.form1.Folk.selectedIndex=a;\r\n//--></script> </TD></TR>",
           "a=124-122+1\r\n;document.form1.degree.selectedIndex=a;\r\n//--></script>",
           "\r\n\t\t\t\t\t\t<script language=\"JavaScript\" type=\"text/JavaScript\">\r\n<!--\r\na=207-205+1\r\n"
           ";document.form1.housesta.selectedIndex=a;\r\n//--></script> </FONT></td>",
           "<script language=\"javascript\">\r\ndocument.form1.name_ropen.selectedIndex=0;\r\n</script></td>",
           "var a=\"北京\";\r\nfor (cc=1;cc<document.form1.ancestor.options.length;cc++){\r\n"
           "if (document.form1.ancestor.options[cc].value==a){document.form1.ancestor.selectedIndex=cc;break;}\r\n}",
           "var a=\"广东\";\r\nvar b=\"广州市\";\r\nfor (cc=1;cc<document.form1.province.options.length;cc++){\r\n"
           "if (document.form1.province.options[cc].value==a){document.form1.province.selectedIndex=cc;\r\n"
           "changelocation1(form1.province.options[form1.province.selectedIndex].value,form1.city);\r\n"
           "for (cc1=1;cc1<document.form1.city.options.length;cc1++){\r\n"
           "if (document.form1.city.options[cc1].value==b){document.form1.city.selectedIndex=cc1;break;}\r\n}\r\nbreak;}",
           "var a=\"北京\";\r\nvar b=\"朝阳区\";\r\nfor (cc=1;cc<document.form1.province1.options.length;cc++){",
           "changelocation(form1.province1.options[form1.province1.selectedIndex].value,form1.city1);",
       })
    EXPECT_NE(page.find(script), std::string::npos) << script;
}

TEST_F(AdminFormTest, EdgeValuesOfThePreFill) {
  const struct {
    std::map<std::string, Variant> changes;
    std::string piece;
  } cases[] = {
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州#127#北京-朝阳区#210"}}, "a=1997-1997+1\r\n"},
      {{{"userdata", "1935#0#3#49#大洋洲#广东-广州#127#北京-朝阳区#210"}}, "a=1997-1935+1\r\n"},
      {{{"userdata", "1935#0#3#49#大洋洲#广东-广州#127#北京-朝阳区#210"}}, "a=0;document.form1.look"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州#127#北京-朝阳区#210"}}, "a=10;document.form1.look"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州#127#北京-朝阳区#210"}}, "a=49-39+1\r\n"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州#127#北京-朝阳区#210"}}, "a=127-122+1\r\n"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州#128#北京-朝阳区#210"}}, "a=128-122+1\r\n"},
      {{{"weight_", "65"}}, "a=65-30+1\r\n"},
      {{{"name", "张三3"}}, "value=\"张三\" maxLength=\"16\">"},
      {{{"name", "张三3"}}, "selectedIndex=2;"},
      {{{"mobile", Variant::null()}}, "<input name=\"Mobile\" type=\"text\" size=\"14\" value=>"},
      {{{"mobile", "13900000000"}}, "value=13900000000>\r\n<SELECT  name=tel_ropen>\r\n<OPTION value=1>金卡银卡会员可见</OPTION>"
                                    "<OPTION value=2>完全保密</OPTION>"},
      {{{"pay", "225#4"}}, "<OPTION value=1>完全公开</OPTION><OPTION value=2>金卡银卡会员可见</OPTION><OPTION value=3>好友可见</OPTION>"},
      {{{"lianxi", Variant::null()}}, "id=\"qq\" value=\"\""},
      {{{"lianxi", "#msn@x.com#"}}, "id=\"msn\" value=\"msn@x.com\""},
      {{{"aboutus", "<b>粗体</b>"}}, "<textarea name=\"intro\" rows=\"8\" cols=\"80\">&lt;b&gt;粗体&lt;/b&gt;</textarea>"},
      {{{"userbz", "18-75#139-201#-"}}, "<select name=\"agefrom\">\r\n<option value=\"\">请选择--</option>\r\n"
                                        "<OPTION value=\"20\">20</OPTION>"},
  };
  for (const auto& c : cases) {
    TestDatabase::run("delete from zurva_user");
    const std::string page = formOf(c.changes);
    EXPECT_NE(page.find(c.piece), std::string::npos) << c.piece;
    EXPECT_TRUE(page.ends_with("</html>\r\n")) << c.piece;
  }
  TestDatabase::run("delete from zurva_user");
  const std::string outside = formOf({{"userbz", "18-75#139-201#-"}, {"star", ""}, {"field", "0"}});
  for (const char* select : {"agefrom", "ageto", "heightfrom", "degreefrom", "constel", "job"})
    EXPECT_EQ(markedValues(selectOf(outside, select)), std::vector<std::string>{}) << select;
}

TEST_F(AdminFormTest, ShortAndNullStoredValuesShowAsEmpty) {
  // Each of these would stop the page at its row; here the row shows the value as empty.
  const std::string page = formOf({{"name", Variant::null()},
                                   {"idno", ""},
                                   {"weight_", "heavy"},
                                   {"userdata", Variant::null()},
                                   {"pay", "225"},
                                   {"userbz", "25"},
                                   {"lianxi", ""}});
  EXPECT_TRUE(page.ends_with("</html>\r\n"));
  for (const char* piece : {"id=\"name_r\" value=\"\"", "selectedIndex=;", "name=\"IDNo\" type=\"text\" value=\"\"",
                            "a=-30+1\r\n", "a=1997-+1\r\n", "a=;document.form1.look", "var a=\"\";\r\nvar b=\"\";",
                            "a=-205+1\r\n"})
    EXPECT_NE(page.find(piece), std::string::npos) << piece;
  EXPECT_EQ(markedValues(selectOf(page, "income")), std::vector<std::string>{"225"});
  EXPECT_EQ(markedValues(selectOf(page, "incomeopen")), std::vector<std::string>{});
  EXPECT_EQ(markedValues(selectOf(page, "agefrom")), std::vector<std::string>{"25"});
  EXPECT_EQ(logText(), "");
}

TEST_F(AdminFormTest, HostileStoredTextCannotActInTheAdministratorsPage) {
  const std::string page = formOf({{"nickname", "<img src=x onerror=alert(1)>"},
                                   {"zurvauser", "a\"><script>alert(2)</script>"},
                                   {"name", "\" autofocus onfocus=\"alert(3)1"},
                                   {"userdata", "1980-alert(4)#7;alert(5)#1#39#\";alert(6);//#</script><script>alert(7)-x#124#北京-朝阳区#207"},
                                   {"mobile", "1 onfocus=alert(8)#1"},
                                   {"drink", "\"><script>alert(9)</script>"},
                                   {"aboutus", "</textarea><script>alert(10)</script>"},
                                   {"lianxi", "\"onmouseover=\"alert(11)##"},
                                   {"job", "'\"><b>"}});
  for (const char* hostile : {"<img src=x", "<script>alert(2)", "<script>alert(9)", "<script>alert(10)", "\" autofocus", "alert(4)", "alert(5)", "</script><script>",
                              "</textarea><script>", "\"onmouseover", "'\"><b>"})
    EXPECT_EQ(page.find(hostile), std::string::npos) << hostile;
  for (const char* safe : {"&lt;img src=x onerror=alert(1)&gt;<input name=\"nickname\" type=\"hidden\" "
                           "value=\"&lt;img src=x onerror=alert(1)&gt;\"",
                           "var a=\"\\\";alert(6);//\";", "var a=\"<\\/script><script>alert(7)\";",
                           "value=\"1 onfocus=alert(8)\">", "<textarea name=\"intro\" rows=\"8\" cols=\"80\">&lt;/textarea&gt;"})
    EXPECT_NE(page.find(safe), std::string::npos) << safe;
}

TEST_F(AdminFormTest, ARequestThatNamesNoMemberGetsAMessage) {
  addProfile(7);
  for (const char* userid : {static_cast<const char*>(nullptr), "", "abc", "8", "99999999999", "7 or 1=1"}) {
    SCOPED_TRACE(userid ? userid : "(none)");
    const Page p = run(userid);
    EXPECT_EQ(p.error, RequestEndError);
    EXPECT_TRUE(p.ended);
    EXPECT_EQ(p.body, "<script Language=javaScript>alert('请求错误！');history.go(-1);</script></body></html>");
  }
  addProfile(40000, {{"nickname", "四万号"}});
  EXPECT_NE(run("40000").result.str().find("四万号<input name=\"nickname\""), std::string::npos);
  EXPECT_EQ(logText(), "");
}

TEST_F(AdminFormTest, OnlyAnAdministratorGetsTheForm) {
  addProfile(7);
  const Page p = run("7", false);
  EXPECT_EQ(p.error, RequestEndError);
  EXPECT_TRUE(p.result.isEmpty());
  EXPECT_TRUE(matchesGolden("message_box_close.html", p.body));
}

TEST_F(AdminFormTest, AFailedOpenMakesTheErrorTextTheResult) {
  const Page p = run("7", true, "nosuchdatabase");
  EXPECT_EQ(p.error, 0);
  EXPECT_EQ(p.result.str(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(p.ended);
  EXPECT_EQ(p.body, "");
}

TEST_F(AdminFormTest, AFailurePartWayIsLoggedAndReturnsThePageSoFar) {
  addProfile(7);
  TestDatabase::run("drop table zurva_system");  // the region menu cannot be read
  const Page p = run("7");
  EXPECT_EQ(p.error, 0);
  const std::string page = p.result.str();
  // The page stops before the row that needs the region menu.
  EXPECT_TRUE(page.ends_with(";document.form1.Folk.selectedIndex=a;\r\n//--></script> </TD></TR>\r\n\r\n"));
  EXPECT_EQ(page.find("籍　　贯"), std::string::npos);
  EXPECT_EQ(page.find("</FORM>"), std::string::npos);
  const std::string log = logText();
  EXPECT_NE(log.find("    \\wwtemp, admin_editinfo: "), std::string::npos) << log;
  EXPECT_EQ(occurrences(log, "\r\n"), 1) << log;
}

}  // namespace
}  // namespace zurvafun::testing

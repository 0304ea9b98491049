// The advanced search form: member guard, gates by grade, pre-selection from
// the saved criteria (complete, missing or hostile), the single search box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/search/search_fixture.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::contains;

constexpr const char* kSilverNote = R"~(<font color="#0099ff">只有银卡会员才能使用此选项</font>)~";
constexpr const char* kGoldNote = R"~(<font color="#ff6600">只有金卡会员才能使用此选项</font>)~";

// The seeded region menu text of zurva_system (two provinces).
constexpr const char* kRegionMenu =
    "0<><><><><><>广东<><><><><><>广州市@@@@@@1<><><><><><>广东<><><><><><>深圳市@@@@@@"
    "50<><><><><><>湖南<><><><><><>长沙市";

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

class CriteriaFormTest : public testing::SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    run("insert into zurva_system(id,citymenu) values(1,?)", {Variant(kRegionMenu)});
  }

  std::string form(const Variant& userbz, const std::string& grade = "3") {
    run("delete from zurva_user where userid=7");
    add({.userid = 7, .userbz = userbz});
    nextRequest();
    logIn(7, grade);
    Variant result;
    error_ = testing::errorOf([&] { result = z().seach_bz(con[0], con[1], con[2], con[3]); });
    return result.str();
  }

  long error_ = 0;
};

TEST_F(CriteriaFormTest, AVisitorWithoutALoginIsRefused) {
  Variant result;
  EXPECT_EQ(testing::errorOf([&] { result = z().seach_bz(con[0], con[1], con[2], con[3]); }), RequestEndError);
  EXPECT_EQ(result.str(), "");
  EXPECT_TRUE(contains(h.response().body(), "非法操作"));
}

TEST_F(CriteriaFormTest, TheHeadAndTheSavedChoicesOfTheBasicGroups) {
  const std::string page = form("20-30#160-175#123-126#30#1#0#577#广东-深圳市#225-230#2#50-80#黑龙江#湖南-长沙市#208#186#0#6#7");
  EXPECT_EQ(error_, 0);
  EXPECT_TRUE(contains(page, R"~(<table border="0" cellpadding="0" cellspacing="0" width="179"><form name="form3" method="post" action="zurvarasult.asp" target="subiframe">)~"));
  // Photo marked with its summary script; online not.
  EXPECT_TRUE(contains(page, R"~(onClick="Chk_Single('headphoto',headphotoText,'有照片')" checked><script language="javascript">Chk_Single('headphoto',headphotoText,'有照片')</script>有照片)~"));
  EXPECT_TRUE(contains(page, R"~(onClick="Chk_Single('online',onlineText,'在线')">在线)~"));
  // The time range always starts at "0".
  EXPECT_TRUE(contains(page, R"~(name="daynum" value="0" checked)~"));
  EXPECT_FALSE(contains(page, R"~(name="daynum" value="30" checked)~"));
  EXPECT_TRUE(contains(page, R"~(value="577" onClick="Chk_Single2(sexText,'淑女')" checked>淑女)~"));
  EXPECT_TRUE(contains(page, R"~(</div><script language="javascript">Chk_Single2(sexText,'淑女')</script>)~"));
  EXPECT_TRUE(contains(page,
      R"~(<script language="JavaScript" type="text/JavaScript">var a="20";var b="30";for (cc=0;cc<=100;cc++){if (document.form3.agefrom.options[cc].value==a){document.form3.agefrom.selectedIndex=cc;Dis_SelectValue2(form3.agefrom,form3.ageto,agefromText,'岁');for (cc1=0;cc1<=100;cc1++){if (document.form3.ageto.options[cc1].value==b){document.form3.ageto.selectedIndex=cc1;Dis_SelectValue2(form3.agefrom,form3.ageto,agefromText,'岁');break;}}break;}}//</script>)~"));
  EXPECT_TRUE(contains(page,
      R"~(var a="广东";var b="深圳市";for (cc=0;cc<=100;cc++){if (document.form3.province1.options[cc].value==a){document.form3.province1.selectedIndex=cc;if (cc!=0)changelocation1(form3.province1.options[form3.province1.selectedIndex],form3.city1,addressfromText,addressfromText);for (cc1=0;cc1<=100;cc1++){if (document.form3.city1.options[cc1].value==b){document.form3.city1.selectedIndex=cc1;if (cc!=0)get_CityName(addressfromText,form3.province1.options[form3.province1.selectedIndex],form3.city1.options[form3.city1.selectedIndex]);break;}}break;}}//</script>)~"));
  EXPECT_TRUE(contains(page, R"~(name="province1" id="province1" onChange="changelocation1(form3.province1.options[form3.province1.selectedIndex],form3.city1,addressfromText,addressfromText)">)~"));
  EXPECT_TRUE(contains(page, R"~(<input name="heightfrom" type="text" value="160" size="3")~"));
  EXPECT_TRUE(contains(page, R"~(onKeyUp="Dis_InputValue(form3.heightfrom,form3.heightto,heightfromText,'cm');" value="175" size="3")~"));
  EXPECT_TRUE(contains(page, R"~(var a="123";var b="126";for (cc=0;cc<=100;cc++){if (document.form3.degreefrom)~"));
  EXPECT_TRUE(contains(page, R"~(var a="225";var b="230";for (cc=0;cc<=100;cc++){if (document.form3.incomefrom.options[cc].value==a){document.form3.incomefrom.selectedIndex=cc;if (cc!=0)Dis_SelectValue2()~"));
  EXPECT_TRUE(contains(page, R"~(&nbsp;&nbsp;<input type="radio" name="marystatus" value="2" onClick="Chk_Single2(marystatusText,'离异')" checked><script language="javascript">Chk_Single2(marystatusText,'离异')</script>离异)~"));
  EXPECT_TRUE(contains(page, R"~(<span id="degreefromText"></span>)~"));
  EXPECT_TRUE(contains(page, R"~(<span id="orderText"><font color="#ff0000">网站默认方式</font></span>)~"));
}

TEST_F(CriteriaFormTest, WeightAndRegionGroupsRestoreTheirItems) {
  const std::string page = form("20-30#160-175#123-126#0#1#0#577#0-0#-##150-200#黑龙江#湖南-长沙市#208#186#0#6#7");
  EXPECT_TRUE(contains(page,
      R"~(var a="150";var b="200";for (cc=1;cc<=171;cc++){if (document.form3.weightfrom.options[cc].value==a){document.form3.weightfrom.selectedIndex=cc;Dis_SelectValue2(form3.weightfrom,form3.weightto,weightfromText,'');for (cc1=1;cc1<=171;cc1++){if (document.form3.weightto.options[cc1].value==b){document.form3.weightto.selectedIndex=cc1;Dis_SelectValue2(form3.weightfrom,form3.weightto,weightfromText,'');break;}}break;}}//</script>kg</div>)~"));
  EXPECT_EQ(count(page, "<option value=\"30\">30</option>"), 4u);  // two age and two weight selects
  EXPECT_TRUE(contains(page, R"~(<option value="200">200</option></select>)~"));
  EXPECT_TRUE(contains(page,
      R"~(<script language="JavaScript" type="text/JavaScript">var a="黑龙江";for (cc=0;cc<=100;cc++){if (document.form3.ancestor.options[cc].value==a){document.form3.ancestor.selectedIndex=cc;if (cc!=0)Dis_SelectValue(form3.ancestor,provinceText,'');break;}}//</script></div>)~"));
  EXPECT_TRUE(contains(page, R"~(<OPTION value="" selected>请选择--</OPTION><OPTION value=广东>广东</OPTION><OPTION value=广西>广西</OPTION>)~"));
  EXPECT_TRUE(contains(page, R"~(<OPTION value=非洲>非洲</OPTION><OPTION value=大洋洲>大洋洲</OPTION></SELECT>)~"));
  EXPECT_TRUE(contains(page,
      R"~(var a="湖南";var b="长沙市";for (cc=0;cc<=100;cc++){if (document.form3.province.options[cc].value==a){document.form3.province.selectedIndex=cc;if (cc!=0)changelocation(form3.province.options[form3.province.selectedIndex],form3.city,residencefromText,residencefromText);)~"));
  EXPECT_TRUE(contains(page, "//</script></FONT> </div>"));
}

TEST_F(CriteriaFormTest, HousingOccupationAndTheGoldGroups) {
  const std::string page = form("20-30#160-175#123-126#0#1#0#577#0-0#-##-##0-0#208#186#0#6#7");
  EXPECT_TRUE(contains(page,
      R"~(</font><FONT color=#333333><select name="housesta" onChange="Dis_SelectValue(form3.housesta,houseText,'');"><option value="" selected>请选择--</option><option value=205>自有房</option>)~"));
  EXPECT_TRUE(contains(page,
      R"~(<script language="javascript">var a="208";for (cc=0;cc<=100;cc++){if (document.form3.housesta.options[cc].value==a){document.form3.housesta.selectedIndex=cc;if (cc!=0)Dis_SelectValue(form3.housesta,houseText,'');break;}}</script></FONT></div>)~"));
  EXPECT_TRUE(contains(page, R"~(<option value=185 >记者编辑</option><option value=186 >体育</option>)~"));
  EXPECT_TRUE(contains(page, R"~(var a="186";for (cc=0;cc<=100;cc++){if (document.form3.job.)~"));
  EXPECT_TRUE(contains(page, R"~(var a="0";for (cc=0;cc<=100;cc++){if (document.form3.ptype.)~"));
  EXPECT_TRUE(contains(page, R"~(var a="6";for (cc=0;cc<=100;cc++){if (document.form3.mtype.)~"));
  EXPECT_TRUE(contains(page,
      R"~(<input value="0" onClick="Chk_Single2(logindateText,'不限')" type="radio" name="daynum1">不限<br>)~"
      R"~(<input value="7" checked="checked" onClick="Chk_Single2(logindateText,'最近一周加入的会员')" type="radio" name="daynum1">最近一周登陆的会员<br>)~"
      R"~(<script language="javascript">Chk_Single2(logindateText,'最近一周加入的会员')</script>)~"
      R"~(<input value="30" onClick="Chk_Single2(logindateText,'最近一月加入的会员')" type="radio" name="daynum1">最近一月登陆的会员)~"));
  EXPECT_TRUE(contains(page, "<!--<div class=\"trigger triggernormal\"><font color=\"#ff0000\"><font color=\"#333333\">总 资 产："));
  EXPECT_TRUE(contains(page, "气质类型："));
  EXPECT_TRUE(contains(page, "&nbsp;注：点击以上查找条件可修改"));

  for (const auto& [days, expected] : std::vector<std::pair<std::string, std::string>>{
           {"30", R"~(<input value="30" checked="checked" onClick="Chk_Single2(logindateText,'最近一月加入的会员')" type="radio" name="daynum1"><script language="javascript">Chk_Single2(logindateText,'最近一月加入的会员')</script>最近一月登陆的会员)~"},
           {"", R"~(<input value="0" checked="checked" onClick)~"},
           {"14", R"~(<input value="0" onClick="Chk_Single2(logindateText,'不限')" type="radio" name="daynum1">不限<br><input value="7" onClick)~"}}) {
    const std::string other = form("20-30#160-175#123-126#0#1#0#577#0-0#-##-##0-0#208#186#0#6#" + days);
    EXPECT_TRUE(contains(other, expected)) << days;
    if (days == "14") {
      EXPECT_FALSE(contains(other, "checked=\"checked\""));
    }
  }
}

TEST_F(CriteriaFormTest, GatesByGradeAndTheFreeAccessSwitch) {
  const std::string saved = "20-30#160-175#123-126#0#1#0#577#0-0#-##-##0-0#208#186#0#6#7";
  struct Case {
    std::string grade, freeAccess;
    size_t silverNotes, goldNotes;
    bool liveSingleSearch;
  };
  // The disabled groups in comments hold one silver and one gold note each.
  for (const Case& c : std::vector<Case>{{"0", "0", 1, 4, true},
                                         {"1", "0", 6, 4, false},
                                         {"1", "1", 6, 4, true},
                                         {"2", "0", 1, 4, true},
                                         {"3", "0", 1, 1, true},
                                         {"10", "0", 1, 1, true},
                                         {"23", "0", 1, 1, true}}) {
    setSettings(c.freeAccess, "0");
    const std::string page = form(saved, c.grade);
    EXPECT_EQ(error_, 0);
    EXPECT_EQ(count(page, kSilverNote), c.silverNotes) << c.grade;
    EXPECT_EQ(count(page, kGoldNote), c.goldNotes) << c.grade;
    EXPECT_EQ(contains(page, R"~(<form name="forma" onSubmit="return chk_simplesearch(forma,'result.asp?menu=1#');" action="" method="post">)~"),
              c.liveSingleSearch)
        << c.grade;
    EXPECT_EQ(contains(page, R"~(<input type="button" name="submit" value="查找" onClick="javescript:alert('只有金银卡会员才可使用!');">)~"),
              !c.liveSingleSearch);
    EXPECT_EQ(contains(page, "name=\"weightfrom\""), c.grade != "1");
    EXPECT_EQ(contains(page, "name=\"housesta\""), c.grade != "1");
    EXPECT_EQ(contains(page, "name=\"daynum1\""), c.grade == "3" || c.grade == "10" || c.grade == "23");
  }
}

TEST_F(CriteriaFormTest, MissingItemsShowNoLimit) {
  for (const Variant& userbz : {Variant::null(), Variant(""), Variant("25"), Variant("-#160#122")}) {
    const std::string page = form(userbz, "3");
    EXPECT_EQ(error_, 0);
    EXPECT_TRUE(contains(page, R"~(var b="70";for (cc=0;cc<=100;cc++){if (document.form3.agefrom)~")) << userbz.str();
    EXPECT_TRUE(contains(page, R"~(var b="127";for (cc=0;cc<=100;cc++){if (document.form3.degreefrom)~"));
    EXPECT_TRUE(contains(page, R"~(var a="0";var b="0";for (cc=0;cc<=100;cc++){if (document.form3.province1)~"));
    EXPECT_TRUE(contains(page, R"~(var a="";var b="";for (cc=0;cc<=100;cc++){if (document.form3.incomefrom)~"));
    EXPECT_TRUE(contains(page, R"~(var a="";var b="";for (cc=1;cc<=171;cc++){if (document.form3.weightfrom)~"));
    EXPECT_TRUE(contains(page, R"~(var a="0";var b="0";for (cc=0;cc<=100;cc++){if (document.form3.province.)~"));
    EXPECT_TRUE(contains(page, R"~(var a="";for (cc=0;cc<=100;cc++){if (document.form3.housesta)~"));
    EXPECT_TRUE(contains(page, R"~(<input value="0" checked="checked" onClick)~"));
    EXPECT_FALSE(contains(page, R"~(checked><script language="javascript">Chk_Single2(marystatusText)~"));
  }
  EXPECT_TRUE(contains(form("25", "3"), R"~(var a="25";var b="70";)~"));
}

TEST_F(CriteriaFormTest, SavedValuesAreEscapedWhereTheyLand) {
  const std::string page =
      form("\"</script><script>alert(1)</script>-30#\"><b>-175#123-126#0#1#0#577#广'东-0#-##-##0-0#208#186#0#6#7");
  EXPECT_FALSE(contains(page, "alert(1)</script>"));
  EXPECT_TRUE(contains(page, R"~(var a="\"<\/script><script>alert(1)<\/script>";var b="30";)~"));
  EXPECT_TRUE(contains(page, R"~(value="&quot;&gt;&lt;b&gt;")~"));
  EXPECT_TRUE(contains(page, R"~(var a="广\'东";)~"));
}

TEST_F(CriteriaFormTest, FailuresBeforeAndAtTheConnection) {
  logIn(7, "3");
  Variant result = z().seach_bz(badCon[0], badCon[1], badCon[2], badCon[3]);
  EXPECT_EQ(result.str(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(h.response().ended());

  nextRequest();
  h.request().Cookies.setFromHeader("kalimo", "username=x&userid=abc&grade=3");
  result = z().seach_bz(con[0], con[1], con[2], con[3]);
  EXPECT_EQ(result.str(), "");
  EXPECT_TRUE(contains(log(), "\\temp, seach_bz: 类型不匹配")) << log();

  // A member number without a record is a bad request: no form.
  nextRequest();
  logIn(99999, "3");
  result = Variant();
  EXPECT_EQ(testing::errorOf([&] { result = z().seach_bz(con[0], con[1], con[2], con[3]); }),
            RequestEndError);
  EXPECT_EQ(result.str(), "");
  EXPECT_TRUE(contains(h.response().body(), "请求错误！")) << h.response().body();
  EXPECT_TRUE(contains(h.response().body(), R"~(onclick="history.go(-1)")~"));
  EXPECT_FALSE(contains(h.response().body(), "form3"));
}

}  // namespace
}  // namespace zurvafun

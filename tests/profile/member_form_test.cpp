#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/support.h"
#include "tests/profile/profile_fixture.h"

namespace zurvafun::testing {
namespace {

class MemberFormTest : public ProfileDbTest {
 protected:
  struct Page {
    std::string body;
    bool ended = false;
  };

  // Runs the form as the member cookie `cookie` describes him.
  static Page run(const std::string& cookie, int urlMode = 1, const char* database = kDatabase) {
    host::TestHost h;
    setUrlMode(h, urlMode);
    if (!cookie.empty()) h.request().Cookies.setFromHeader("kalimo", cookie);
    zurva z;
    long error = errorOf([&] { z.umod1_editinfo(kServer, kUser, kPassword, database); });
    EXPECT_TRUE(error == 0 || error == RequestEndError) << error;
    return {h.response().body(), h.response().ended()};
  }
  // The form of member 7 with `changes` to the complete profile.
  static std::string formOf(const std::map<std::string, Variant>& changes = {}) {
    addProfile(7, changes);
    return run("username=m%40example.com&userid=7").body;
  }

};

// ---- Frame

TEST_F(MemberFormTest, PostsEveryFieldInPageOrderToTheSavePage) {
  const std::string page = formOf({{"iferro", 1}, {"ok", 0}});
  EXPECT_EQ(fieldNames(page),
            (std::vector<std::string>{"username", "password", "password_confirm", "nickname", "name_r",
                                      "name_ropen", "SelID", "IDNo", "sex", "birthyear", "height", "weight",
                                      "Shape", "look", "marrystatus", "Folk", "ancestor", "province", "city",
                                      "degree", "province1", "city1", "job", "dutytype", "housesta", "income",
                                      "incomeopen", "constel", "Mobile", "tel_ropen", "question", "answer",
                                      "drink", "smoking", "agefrom", "ageto", "heightfrom", "heightto",
                                      "degreefrom", "degreeto", "qq", "msn", "email", "intro", "sign", "Submit",
                                      "Submit5"}));
  EXPECT_EQ(page.rfind("<FORM name=form1 onSubmit=\"javescript:return chkform();\" action=regsubmit.html# method=post>", 0), 0u);
  // Every table, row and cell the form opens it closes again, the form inside them.
  for (const auto& [open, close] : {std::pair<std::string, std::string>{"<TABLE", "</TABLE>"},
                                    {"<TR", "</TR>"}, {"<TD", "</TD>"}, {"<TBODY>", "</TBODY>"}}) {
    EXPECT_EQ(occurrences(page, open) + occurrences(page, "<table"),
              occurrences(page, close) + occurrences(page, "</table>"))
        << open;
  }
  EXPECT_NE(page.find("<INPUT class=button_3 type=reset value=取消 name=Submit5></TD></TR></TBODY></TABLE></TD></TR>"
                      "\r\n    </FORM></TBODY></TABLE></TD></TR>"),
            std::string::npos);
  EXPECT_TRUE(page.ends_with("</TBODY></TABLE>\r\n"));
  EXPECT_NE(page.find("<input name=username type=hidden value=\"lin@example.com\" maxlength=\"50\">"
                      "<input name=password type=hidden value=\"null\" maxlength=\"12\">"
                      "<input name=password_confirm type=hidden value=\"null\" maxlength=\"12\">"),
            std::string::npos);
  // The stored digest is never written.
  EXPECT_EQ(page.find("59819a11775936d8"), std::string::npos);
}

TEST_F(MemberFormTest, TheCompleteFormOfAVerifiedMember) {
  EXPECT_TRUE(matchesGolden("member_form_complete.html", formOf(), Blanks::BetweenTags));
}

TEST_F(MemberFormTest, LinksFollowTheSiteLinkMode) {
  addProfile(7);
  const std::string dynamic = run("username=m%40example.com&userid=7", 0).body;
  EXPECT_EQ(dynamic.rfind("<FORM name=form1 onSubmit=\"javescript:return chkform();\" action=regsubmit.asp# method=post>", 0), 0u);
  EXPECT_NE(dynamic.find("<A class=Blue_UnderLine href=\"lw.asp\" target=_blank>例文</A> &gt;&gt;&nbsp;"), std::string::npos);
  const std::string fixed = run("username=m%40example.com&userid=7", 1).body;
  EXPECT_NE(fixed.find("<A class=Blue_UnderLine href=\"lw.html\" target=_blank>例文</A>"), std::string::npos);
  // The filler before the link: two blanks, 26 ideographic spaces, one blank.
  EXPECT_NE(fixed.find("（不少于20字）</FONT>&nbsp;&nbsp;" + [] {
    std::string s;
    for (int i = 0; i < 26; ++i) s += "　";
    return s;
  }() + "&nbsp;<A "),
            std::string::npos);
}

TEST_F(MemberFormTest, AGuestGetsOnlyTheRefusal) {
  addProfile(7);
  for (const char* cookie : {"", "userid=7", "username=&userid=7"}) {
    const Page page = run(cookie);
    EXPECT_TRUE(page.ended) << cookie;
    EXPECT_TRUE(matchesGolden("message_box_close.html", page.body)) << cookie;
  }
}

TEST_F(MemberFormTest, AFailedOpenWritesTheConnectionErrorAndEnds) {
  const Page page = run("username=m%40example.com&userid=7", 1, "nosuchdatabase");
  EXPECT_TRUE(page.ended);
  EXPECT_EQ(page.body, "SQL数据库连接出错，请检查连接字串。");
}

TEST_F(MemberFormTest, AMemberWithoutARowGetsAMessageInsteadOfAnEmptyForm) {
  addProfile(7);
  for (const char* cookie : {"username=m%40example.com&userid=8", "username=m%40example.com&userid=abc",
                             "username=m%40example.com&userid=99999"}) {
    const Page page = run(cookie);
    EXPECT_TRUE(page.ended) << cookie;
    EXPECT_EQ(page.body, "<script Language=javaScript>alert('请求错误！');history.go(-1);</script></body></html>")
        << cookie;
  }
}

TEST_F(MemberFormTest, MemberNumbersAboveSixteenBitsLoadTheirRow) {
  addProfile(40000, {{"nickname", "四万号"}});
  const Page page = run("username=m%40example.com&userid=40000");
  EXPECT_NE(page.body.find("value=\"四万号\""), std::string::npos);
}

// ---- Locks

TEST_F(MemberFormTest, VerifiedIdentityRowsAreLocked) {
  const std::string page = formOf();  // iferro 0, ok 1
  const std::string readOnly = " readonly=\"readonly\" style='border:1px solid #b9b9b9;color: #b9b9b9;'>";
  EXPECT_NE(page.find("<INPUT name=nickname maxLength=12 value=\"晓燕\"" + readOnly), std::string::npos);
  EXPECT_NE(page.find("<INPUT id=name_r name=name_r maxLength=16 value=\"林晓燕\"" + readOnly), std::string::npos);
  EXPECT_NE(page.find("<TD>身份证<input name=SelID type=hidden value='身份证'></TD>"), std::string::npos);
  EXPECT_NE(page.find("<INPUT name=IDNo maxLength=18 value=\"440101199001011234\"" + readOnly), std::string::npos);
  EXPECT_NE(page.find("<TD width=\"21%\">淑女<input name=sex type=hidden value='淑女'></TD>"), std::string::npos);
  EXPECT_NE(page.find("<TD>1980年<input name=birthyear type=hidden value=1980></TD>"), std::string::npos);
  // The visibility of the name stays open.
  EXPECT_EQ(selectOf(page, "name_ropen"),
            "<SELECT name=name_ropen><OPTION value=1 selected>完全公开</OPTION><OPTION value=2>金卡银卡会员可见</OPTION>"
            "<OPTION value=3>好友可见</OPTION><OPTION value=4>完全保密</OPTION></SELECT>");
}

TEST_F(MemberFormTest, AnErroneousProfileOpensTheIdentityRowsAgain) {
  const std::string page = formOf({{"iferro", 1}, {"idno", "A123452"}, {"nickname", ""}});
  EXPECT_NE(page.find("<INPUT name=nickname maxLength=12 value=\"\"><FONT"), std::string::npos);
  EXPECT_NE(page.find("<INPUT id=name_r name=name_r maxLength=16 value=\"林晓燕\"><SELECT"), std::string::npos);
  EXPECT_EQ(selectOf(page, "SelID"),
            "<SELECT name=SelID><OPTION value=1>身份证</OPTION><OPTION value=2 selected>军官证</OPTION>"
            "<OPTION value=3>护照</OPTION></SELECT>");
  EXPECT_NE(page.find("<INPUT name=IDNo maxLength=18 value=\"A12345\"><FONT"), std::string::npos);
  EXPECT_EQ(selectOf(page, "sex"),
            "<SELECT name=sex><OPTION value=\"\">请选择--</OPTION><OPTION value=576>绅士</OPTION>"
            "<OPTION value=577 selected>淑女</OPTION></SELECT>");
}

TEST_F(MemberFormTest, LockedRowsPostLabelsOrCodes) {
  const struct {
    const char* why;
    std::map<std::string, Variant> changes;
    std::string expected;
  } cases[] = {
      {"document type 5 shows as a passport", {{"idno", "G123455"}}, "护照<input name=SelID type=hidden value='护照'>"},
      {"a man", {{"sex", 576}}, "绅士<input name=sex type=hidden value='绅士'>"},
      {"sex neither code", {{"sex", 0}}, "淑女<input name=sex type=hidden value='淑女'>"},
      {"approved marital proof", {{"hyphoto", "hy.jpg1"}, {"userdata", "1980#7#2#39#北京#广东-广州市#124#北京-朝阳区#207"}},
       "<TD>离异<input name=marrystatus type=hidden value=\"2\"></TD>"},
      {"approved education proof", {{"xlphoto", "xl.jpg1"}, {"userdata", "1980#7#1#39#北京#广东-广州市#128#北京-朝阳区#207"}},
       "<TD>双学士<input name=degree type=hidden value=\"128\"></TD>"},
      {"approved income proof", {{"srphoto", "sr.jpg1"}, {"pay", "231#1"}},
       "<TD>10-15万<input name=income type=hidden value=\"231\"><SELECT name=incomeopen>"
       "<OPTION value=1 selected>完全公开</OPTION>"},
      {"approved income proof, unknown code", {{"srphoto", "sr.jpg1"}, {"pay", "299#1"}},
       "<TD><input name=income type=hidden value=\"299\"><SELECT name=incomeopen>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TestDatabase::run("delete from zurva_user");
    const std::string page = formOf(c.changes);
    EXPECT_NE(page.find(c.expected), std::string::npos);
  }
}

TEST_F(MemberFormTest, ProofsAwaitingApprovalLeaveTheirRowsOpen) {
  // hyphoto ends in "0", xlphoto is Null, srphoto is empty in the complete profile.
  const std::string page = formOf({{"ok", 0}});
  EXPECT_NE(page.find("<SELECT name=marrystatus><OPTION value=\"\" selected>请选择--</OPTION><OPTION value=1>未婚</OPTION>"
                      "<OPTION value=2>离异</OPTION><OPTION value=3>丧偶</OPTION></SELECT>"
                      "<script language=\"JavaScript\" type=\"text/JavaScript\">a=1;document.form1.marrystatus.selectedIndex=a;//</script>"),
            std::string::npos);
  EXPECT_NE(page.find("a=124-122+1;document.form1.degree.selectedIndex=a;//</script>"), std::string::npos);
  EXPECT_EQ(markedValues(selectOf(page, "income")), std::vector<std::string>{"225"});
  EXPECT_EQ(markedValues(selectOf(page, "incomeopen")), std::vector<std::string>{"2"});
  // An unverified registration may still change the birth year.
  EXPECT_NE(page.find("<SELECT name=birthyear><OPTION value=\"\" selected>请选择--</OPTION><OPTION value='1997'>1997</OPTION>"),
            std::string::npos);
  EXPECT_NE(page.find("<OPTION value='1935'>1935</OPTION></SELECT>年 <FONT color=#a6a6a6>(男士注册须出生年份在83年以前)</FONT>"
                      "<script language=\"JavaScript\" type=\"text/JavaScript\">a=1997-1980+1;document.form1.birthyear.selectedIndex=a;</script>"),
            std::string::npos);
  EXPECT_EQ(occurrences(selectOf(page, "birthyear"), "<OPTION"), 64);
}

// ---- Pre-selection

TEST_F(MemberFormTest, SelectsAreMarkedOrIndexedFromTheStoredValues) {
  const std::string page = formOf({{"iferro", 1}});
  const struct {
    const char* select;
    std::vector<std::string> marked;
    int options;
  } selects[] = {
      {"height", {"165"}, 112},   {"weight", {""}, 172},      {"Shape", {"870"}, 11},   {"look", {"0"}, 11},
      {"Folk", {""}, 12},         {"ancestor", {""}, 41},     {"city", {"0"}, 1},       {"degree", {""}, 7},
      {"province1", {"0"}, 41},   {"city1", {"0"}, 1},        {"job", {"185"}, 35},     {"housesta", {""}, 7},
      {"income", {"225"}, 17},    {"incomeopen", {"2"}, 3},   {"constel", {"魔羯座"}, 13}, {"tel_ropen", {"2"}, 2},
      {"agefrom", {"25"}, 52},    {"ageto", {"35"}, 52},      {"heightfrom", {"160"}, 62}, {"heightto", {"175"}, 62},
      {"degreefrom", {"123"}, 7}, {"degreeto", {"125"}, 7},   {"sex", {"577"}, 3},      {"SelID", {"1"}, 3},
  };
  for (const auto& s : selects) {
    SCOPED_TRACE(s.select);
    const std::string select = selectOf(page, s.select);
    EXPECT_EQ(markedValues(select), s.marked) << select;
    EXPECT_EQ(occurrences(select, "<OPTION") + occurrences(select, "<option"), s.options);
  }
  for (const char* script : {"a=52-30+1;document.form1.weight.selectedIndex=a;</script>kg</TD>",
                             "a=7;document.form1.look.selectedIndex=a;</script><FONT color=#a6a6a6>(10分为满分)</FONT>",
                             "a=39-39+1;document.form1.Folk.selectedIndex=a;//</script>",
                             "var a=\"北京\";for (cc=1;cc<=100;cc++){if (document.form1.ancestor.options[cc].value==a)"
                             "{document.form1.ancestor.selectedIndex=cc;break;}}//</script>",
                             "a=207-205+1;document.form1.housesta.selectedIndex=a;//</script>",
                             "document.form1.name_ropen.selectedIndex=0;</script>"})
    EXPECT_NE(page.find(script), std::string::npos) << script;
}

TEST_F(MemberFormTest, IndexScriptsFollowTheStoredCodes) {
  const struct {
    std::map<std::string, Variant> changes;
    std::string script;
  } cases[] = {
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州市#127#北京-朝阳区#210"}}, "a=10;document.form1.look.selectedIndex=a;"},
      {{{"userdata", "1997#0#3#49#大洋洲#广东-广州市#127#北京-朝阳区#210"}}, "a=0;document.form1.look.selectedIndex=a;"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州市#127#北京-朝阳区#210"}}, "a=49-39+1;document.form1.Folk"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州市#127#北京-朝阳区#210"}}, "a=127-122+1;document.form1.degree"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州市#127#北京-朝阳区#210"}}, "a=210-205+1;document.form1.housesta"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州市#127#北京-朝阳区#210"}}, "a=3;document.form1.marrystatus"},
      {{{"userdata", "1997#f#3#49#大洋洲#广东-广州市#127#北京-朝阳区#210"}, {"ok", 0}}, "a=1997-1997+1;"},
      {{{"weight_", "65.5"}}, "a=66-30+1;"},
      {{{"weight_", "64.5"}}, "a=64-30+1;"},
      {{{"weight_", "heavy"}}, "a=-30+1;"},
      {{{"weight_", Variant::null()}}, "a=-30+1;"},
      {{{"name", "林晓燕4"}}, "document.form1.name_ropen.selectedIndex=3;"},
      {{{"name", "林晓燕x"}}, "document.form1.name_ropen.selectedIndex=;"},
  };
  for (const auto& c : cases) {
    TestDatabase::run("delete from zurva_user");
    const std::string page = formOf(c.changes);
    EXPECT_NE(page.find(c.script), std::string::npos) << c.script;
  }
}

TEST_F(MemberFormTest, CodesMarkOnlyTheirOwnOption) {
  const struct {
    const char* column;
    const char* stored;
    const char* select;
    std::vector<std::string> marked;
  } cases[] = {
      {"field", "186", "job", {"186"}},   {"field", "167", "job", {}},      {"field", "0", "job", {}},
      {"field", "0186", "job", {}},       {"tx", "116", "Shape", {}},       {"height_", "170.0", "height", {}},
      {"height_", " 170", "height", {}},  {"star", "摩羯座", "constel", {}}, {"star", "", "constel", {}},
      {"mobile", "13800138000", "tel_ropen", {}}, {"mobile", "13800138000#1", "tel_ropen", {"1"}},
      {"pay", "225", "incomeopen", {}},   {"pay", "225#4", "incomeopen", {}},
      {"userbz", "18-75#130-210#122-128", "ageto", {}}, {"userbz", "18-75#130-210#122-128", "degreefrom", {"122"}},
      {"userbz", "18-75#130-210#122-128", "degreeto", {}}, {"userbz", "25#-#025-", "agefrom", {"25"}},
      {"userbz", "25#-#025-", "ageto", {}}, {"userbz", "25#-#025-", "heightfrom", {}},
      {"userbz", "25#-#025-", "degreefrom", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.column) + "=" + c.stored);
    TestDatabase::run("delete from zurva_user");
    const std::string page = formOf({{c.column, c.stored}});
    EXPECT_EQ(markedValues(selectOf(page, c.select)), c.marked);
  }
}

TEST_F(MemberFormTest, PlacesAreSelectedByTheirScanningScripts) {
  const std::string page = formOf();
  EXPECT_NE(page.find("<select  name=\"province\" id=\"province\" onChange=\"changelocation1(form1.province.options"
                      "[form1.province.selectedIndex].value,form1.city)\">"),
            std::string::npos);
  EXPECT_NE(page.find("<SELECT name=city id=city size=1><OPTION value=0 selected>--请选择--</OPTION></SELECT>"
                      "<script language=\"JavaScript\" type=\"text/JavaScript\">var a=\"广东\";var b=\"广州市\";"
                      "for (cc=1;cc<=100;cc++){if (document.form1.province.options[cc].value==a)"
                      "{document.form1.province.selectedIndex=cc;"
                      "changelocation1(form1.province.options[form1.province.selectedIndex].value,form1.city);"
                      "for (cc1=1;cc1<=100;cc1++){if (document.form1.city.options[cc1].value==b)"
                      "{document.form1.city.selectedIndex=cc1;break;}}break;}}//</script>"
                      "<FONT color=#a6a6a6>(注：若城市无法选择，请先选择一下其他省，再选回本省）</FONT></FONT></TD></TR>"),
            std::string::npos);
  EXPECT_NE(page.find("<SELECT name=province1 id=province1 size=1 onchange=\"changelocation(form1.province1.options"
                      "[form1.province1.selectedIndex].value,form1.city1)\"><OPTION value=0 selected>--请选择--</OPTION>"
                      "<OPTION value=广东>广东</OPTION><OPTION value=广西>广西</OPTION>"),
            std::string::npos);
  EXPECT_NE(page.find("var a=\"北京\";var b=\"朝阳区\";for (cc=1;cc<=100;cc++){if (document.form1.province1.options[cc]"
                      ".value==a){document.form1.province1.selectedIndex=cc;changelocation(form1.province1.options"
                      "[form1.province1.selectedIndex].value,form1.city1);"),
            std::string::npos);
  EXPECT_NE(page.find("<OPTION value=大洋洲>大洋洲</OPTION></SELECT><SELECT name=city1"), std::string::npos);
}

// ---- Short, Null and hostile stored values

TEST_F(MemberFormTest, NullAndShortValuesGiveEmptyControls) {
  const std::string page = formOf({{"name", Variant::null()},
                                   {"idno", Variant::null()},
                                   {"userdata", "1980#5"},
                                   {"weight_", Variant::null()},
                                   {"pay", Variant::null()},
                                   {"mobile", Variant::null()},
                                   {"pass", Variant::null()},
                                   {"passask", ""},
                                   {"userbz", Variant::null()},
                                   {"lianxi", Variant::null()},
                                   {"aboutus", Variant::null()},
                                   {"hyphoto", "x1"},
                                   {"ok", 0}});
  for (const char* piece : {
           "<INPUT id=name_r name=name_r maxLength=16 value=\"\"",
           "<TD>护照<input name=SelID type=hidden value='护照'></TD>",
           "<INPUT name=IDNo maxLength=18 value=\"\"",
           "a=1997-1980+1;", "a=5;document.form1.look", "a=-30+1;",
           "<TD></TD><TD align=right><FONT color=#ff6600>*</FONT><FONT color=#333333>民　　族：",  // locked, no code
           "a=-39+1;", "var a=\"\";for (cc=1", "var a=\"\";var b=\"\";", "a=-122+1;", "a=-205+1;",
           "<INPUT name=Mobile size=14 value=><SELECT name=tel_ropen><OPTION value=1>金卡银卡会员可见</OPTION>"
           "<OPTION value=2>完全保密</OPTION></SELECT>",
           "<INPUT type=hidden name=question value=\"\" maxLength=10><INPUT type=hidden name=answer value=\"\" maxLength=10>",
           "<INPUT id=qq name=qq maxLength=15 size=15 value=\"\">",
           "<TEXTAREA name=intro rows=8 cols=80></TEXTAREA>", "</FORM>"})
    EXPECT_NE(page.find(piece), std::string::npos) << piece;
  for (const char* select : {"income", "incomeopen", "agefrom", "ageto", "heightfrom", "heightto", "degreefrom", "degreeto"})
    EXPECT_EQ(markedValues(selectOf(page, select)), std::vector<std::string>{}) << select;
}

TEST_F(MemberFormTest, ContactItemsFillTheirOwnBoxes) {
  const std::string qqOnly = formOf({{"lianxi", "12345"}});
  EXPECT_NE(qqOnly.find("name=qq maxLength=15 size=15 value=\"12345\""), std::string::npos);
  EXPECT_NE(qqOnly.find("name=msn maxLength=50 size=40 value=\"\""), std::string::npos);
  TestDatabase::run("delete from zurva_user");
  const std::string mailOnly = formOf({{"lianxi", "##a@b.cn#extra"}});
  EXPECT_NE(mailOnly.find("name=qq maxLength=15 size=15 value=\"\""), std::string::npos);
  EXPECT_NE(mailOnly.find("name=email maxLength=50 size=40 value=\"a@b.cn\""), std::string::npos);
  EXPECT_EQ(mailOnly.find("extra"), std::string::npos);
}

TEST_F(MemberFormTest, StoredTextIsEscapedWhereItLands) {
  const std::string page = formOf({{"iferro", 1},
                                   {"ok", 0},
                                   {"nickname", "a\"><script>x</script>"},
                                   {"name", "<b>林</b>1"},
                                   {"userdata", "1980);alert(1);(#7' onclick='x#1;x=1#39#\";alert(2);//#广东-广州</script>#124#北京-朝阳区#207"},
                                   {"weight_", "52;alert(3)"},
                                   {"mobile", "138 onmouseover=alert(4)#1"},
                                   {"job", "\" onfocus=\"x"},
                                   {"pass", "q\"><b>"},
                                   {"aboutus", "</TEXTAREA><script>alert(5)</script>"},
                                   {"lianxi", "1\"2#<x>#'"}});
  for (const char* hostile : {"<script>x", "<b>林", "alert(1)", "广州</script>", "alert(3)",
                              "\" onfocus", "q\"><b>", "</TEXTAREA><script>", "<x>"})
    EXPECT_EQ(page.find(hostile), std::string::npos) << hostile;
  for (const char* safe : {
           "value=\"a&quot;&gt;&lt;script&gt;x&lt;/script&gt;\"", "value=\"&lt;b&gt;林&lt;/b&gt;\"",
           "a=1997-+1;",                        // a year that is no number is left out of the script
           "a=;document.form1.look",            // so is a rating that is no rating
           "a=-30+1;",                          // and a weight that is no number
           "var a=\"\\\";alert(2);//\";",       // a region inside the script string, quotes escaped
           "var b=\"广州<\\/script>\";",
           "<INPUT name=Mobile size=14 value=\"138 onmouseover=alert(4)\">",
           "<INPUT name=dutytype value=\"&quot; onfocus=&quot;x\"",
           "<TEXTAREA name=intro rows=8 cols=80>&lt;/TEXTAREA&gt;&lt;script&gt;alert(5)&lt;/script&gt;</TEXTAREA>",
           "value=\"1&quot;2\"", "value=\"&lt;x&gt;\"", "value=\"&#39;\""})
    EXPECT_NE(page.find(safe), std::string::npos) << safe;
}

TEST_F(MemberFormTest, ALongSelfIntroductionIsWrittenWhole) {
  std::string intro;
  for (int i = 0; i < 2000; ++i) intro += "字";
  const std::string page = formOf({{"aboutus", intro}, {"job", "一二三四五六七八九十"}});
  EXPECT_NE(page.find("<TEXTAREA name=intro rows=8 cols=80>" + intro + "</TEXTAREA>"), std::string::npos);
  EXPECT_NE(page.find("<INPUT name=dutytype value=\"一二三四五六七八九十\" maxLength=8>"), std::string::npos);
}

TEST_F(MemberFormTest, TheFormChangesNothing) {
  addProfile(7);
  const Variant before = TestDatabase::value("select count(*) from zurva_user where userid=7 and logins is null");
  run("username=m%40example.com&userid=7");
  EXPECT_EQ(TestDatabase::value("select userdata from zurva_user where userid=7").str(),
            "1980#7#1#39#北京#广东-广州市#124#北京-朝阳区#207");
  EXPECT_TRUE(eq(TestDatabase::value("select count(*) from zurva_user where userid=7 and logins is null"), before));
}

}  // namespace
}  // namespace zurvafun::testing

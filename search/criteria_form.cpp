// The advanced search form: the frame (member guard, saved criteria, head of
// the form) and the eleven criteria groups every member gets.
#include "search/criteria_form.h"

#include "db/db.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun::search {

namespace {

using html::trusted;

constexpr html::Fragment kTrigger =
    R"~(<div class="trigger triggernormal"><font color="#ff0000"><font color="#333333">{{label}}</font>)~"
    R"~(<span id="{{span}}">{{summary}}</span></font></div>)~";

constexpr html::Fragment kRangeScript =
    R"~(<script language="JavaScript" type="text/JavaScript">var a="{{a:js}}";var b="{{b:js}}";)~"
    R"~(for (cc={{first}};cc<={{last}};cc++){if (document.form3.{{from}}.options[cc].value==a))~"
    R"~({document.form3.{{from}}.selectedIndex=cc;{{guard}}{{call}})~"
    R"~(for (cc1={{first}};cc1<={{last}};cc1++){if (document.form3.{{to}}.options[cc1].value==b))~"
    R"~({document.form3.{{to}}.selectedIndex=cc1;{{guard}}{{toCall}}break;}}break;}}//</script>)~";

constexpr html::Fragment kTypedSelectScript =
    R"~(<script language="JavaScript" type="text/JavaScript">var a="{{a:js}}";)~"
    R"~(for (cc=0;cc<=100;cc++){if (document.form3.{{select}}.options[cc].value==a))~"
    R"~({document.form3.{{select}}.selectedIndex=cc;if (cc!=0){{call}}break;}}//</script>)~";
constexpr html::Fragment kSelectScript =
    R"~(<script language="javascript">var a="{{a:js}}";)~"
    R"~(for (cc=0;cc<=100;cc++){if (document.form3.{{select}}.options[cc].value==a))~"
    R"~({document.form3.{{select}}.selectedIndex=cc;if (cc!=0){{call}}break;}}</script>)~";

// ---- The head of the form

constexpr html::Fragment kHead =
    R"~(<table border="0" cellpadding="0" cellspacing="0" width="179">)~"
    R"~(<form name="form3" method="post" action="{{action}}" target="subiframe">)~"
    R"~(<tr><td id="asp" bgcolor="#ffffff"><table width="100%" border="0" cellpadding="0" cellspacing="0">)~"
    R"~(<tr><td align="center" height="30"><table width="100%" border="0" cellpadding="0" cellspacing="0">)~"
    R"~(<tr><td align="center" bgcolor="#ffffff" height="35">)~"
    R"~(<input type="image" name="Submit" value="  高级查找  " src="/images/0101.jpg"> )~"
    R"~(<input type="image" value="存为我的速配" onClick="chk_save()" src="/images/0103.jpg"></td></tr>)~"
    R"~(<tr><td bgcolor="#ffffff" height="25">&nbsp;注：点击以下查找条件可修改</td></tr></table></td></tr></table>)~";

// ---- The groups

constexpr const char* kOrderPanel =
    R"~(<input type="radio" name="order" value="0" checked onClick="Chk_Single2(orderText,'网站默认方式')">以网站默认方式搜索<br>)~"
    R"~(<input type="radio" name="order" value="4" onClick="Chk_Single2(orderText,'以注册时间为序')">以注册时间为序搜索<br>)~"
    R"~(<input type="radio" name="order" value="2" onClick="Chk_Single2(orderText,'以登陆时间为序')">以最后登陆时间为序搜索)~";

constexpr const char* kDaynumPanel =
    R"~(<input type="radio" name="daynum" value="0" checked onClick="Chk_Single2(daynumText,'不限')">不限<br>)~"
    R"~(<input type="radio" name="daynum" value="7" onClick="Chk_Single2(daynumText,'最近一周加入的会员')">最近一周加入的会员<br>)~"
    R"~(<input type="radio" name="daynum" value="30" onClick="Chk_Single2(daynumText,'最近一月加入的会员')">最近一月加入的会员)~";

constexpr html::Fragment kCheckBox =
    R"~(<input type="checkbox" name="{{name}}" id="{{name}}" value="1" onClick="{{call}}"{{checked}}>{{script}}{{text}})~";

constexpr html::Fragment kSexPanel =
    R"~(<input type="radio" name="sex" value="576" onClick="Chk_Single2(sexText,'绅士')"{{man}}>绅士)~"
    R"~(<input type="radio" name="sex" value="577" onClick="Chk_Single2(sexText,'淑女')"{{woman}}>淑女)~";

constexpr const char* kAgeChange = "Dis_SelectValue2(form3.agefrom,form3.ageto,agefromText,'岁');";
constexpr const char* kResidenceChange =
    "changelocation1(form3.province1.options[form3.province1.selectedIndex],form3.city1,addressfromText,"
    "addressfromText)";
constexpr const char* kResidenceCityChange =
    "get_CityName(addressfromText,form3.province1.options[form3.province1.selectedIndex],form3.city1.options["
    "form3.city1.selectedIndex]);";
constexpr const char* kHeightChange = "Dis_InputValue(form3.heightfrom,form3.heightto,heightfromText,'cm');";
constexpr const char* kDegreeChange = "Dis_SelectValue2(form3.degreefrom,form3.degreeto,degreefromText,'');";
constexpr const char* kIncomeChange = "Dis_SelectValue2(form3.incomefrom,form3.incometo,incomefromText,'万元');";

constexpr html::Fragment kResidencePanel =
    R"~(<table width="100%" border="0" cellpadding="0" cellspacing="0"><tr><td><font color="#333333">{{provinces}})~"
    R"~(<select name="city1" id="city1" size="1" onChange="{{cityChange}}"><option value="0" selected>请选择</option></select>)~"
    R"~({{script}}</font></td></tr></table>)~";

constexpr html::Fragment kHeightPanel =
    R"~(<input name="heightfrom" type="text" value="{{from}}" size="3" maxlength="3" class="ypertxtinp" onKeyUp="{{change}}">cm到)~"
    R"~(<input name="heightto" id="heightto" type="text" class="ypertxtinp" onKeyUp="{{change}}" value="{{to}}" size="3" maxlength="3">cm)~";

constexpr const char* kDegreeOptions =
    R"~(<option value="122">大专以下</option><option value="123">大专</option><option value="124">本科</option>)~"
    R"~(<option value="125">硕士</option><option value="126">博士</option><option value="127">博士后</option>)~";

constexpr const char* kIncomeOptions =
    R"~(<option value="223">2</option><option value="224">3</option><option value="225">4</option>)~"
    R"~(<option value="226">5</option><option value="227">6</option><option value="228">7</option>)~"
    R"~(<option value="229">8</option><option value="230">9</option><option value="231">10</option>)~"
    R"~(<option value="232">15</option><option value="233">20</option><option value="234">30</option>)~"
    R"~(<option value="235">40</option><option value="236">50</option><option value="237">100</option>)~";

constexpr html::Fragment kPairOfSelects =
    R"~(<select name="{{from}}" id="{{from}}" onChange="{{change}}">{{fromOptions}}</select>)~"
    R"~(<select name="{{to}}" id="{{to}}" onChange="{{change}}">{{toOptions}}</select>)~";

constexpr html::Fragment kMaritalRadio =
    R"~(<input type="radio" name="marystatus" value="{{value}}" onClick="Chk_Single2(marystatusText,'{{text}}')"{{checked}}>)~";

// A check box of the photo or online group, marked (with its summary
// script) when the saved item is "1".
html::Html checkBox(std::string_view name, std::string_view span, std::string_view text, const std::string& item) {
  const std::string call = "Chk_Single('" + std::string(name) + "'," + std::string(span) + ",'" + std::string(text) + "')";
  const bool marked = item == "1";
  return kCheckBox({{"name", trusted(name)},
                    {"call", trusted(call)},
                    {"checked", trusted(marked ? " checked" : "")},
                    {"script", trusted(marked ? summaryScript(call) : "")},
                    {"text", trusted(text)}});
}

}  // namespace

std::string summaryScript(std::string_view call) {
  return "<script language=\"javascript\">" + std::string(call) + "</script>";
}

std::string numberOptions(int first, int last) {
  std::string options;
  for (int value = first; value <= last; ++value) {
    const std::string n = std::to_string(value);
    options += "<option value=\"" + n + "\">" + n + "</option>";
  }
  return options;
}

bool CriteriaForm::silverGateClosed() const { return IsNumeric(grade) && toNumber(grade) == 1; }

bool CriteriaForm::goldGateClosed() const { return !(IsNumeric(grade) && !grade.isEmpty() && toNumber(grade) >= 3); }

member::Criteria criteriaForForm(std::string_view stored) {
  using namespace member;
  Criteria c = readUserBz(stored);
  auto range = [&](CriteriaItem item, std::string_view low, std::string_view high) {
    const Range r = readRange(c.items[item]);
    c.items[item] = buildRange(r.low.empty() ? low : r.low, r.high.empty() ? high : r.high);
  };
  range(kAgeRange, "10", "70");
  range(kHeightRange, "", "");
  range(kEducationRange, "122", "127");
  range(kResidence, "0", "0");
  range(kIncomeRange, "", "");
  range(kWeightRange, "", "");
  range(kHousehold, "0", "0");
  if (c.items[kDayNum].empty()) c.items[kDayNum] = "0";
  if (c.items[kLoginDayNum].empty()) c.items[kLoginDayNum] = "0";
  return c;
}

html::Html triggerLine(std::string_view label, std::string_view span, const html::Html& summary) {
  return kTrigger({{"label", trusted(label)}, {"span", trusted(span)}, {"summary", summary}});
}

html::Html noLimit() { return trusted(R"~(<font class="nolimit">不限</font>)~"); }

html::Html rangeScript(const RangeScript& s, const std::string& a, const std::string& b) {
  const html::Html guard = trusted(s.guarded ? "if (cc!=0)" : "");
  return kRangeScript({{"a", a},
                       {"b", b},
                       {"first", s.first},
                       {"last", s.last},
                       {"from", trusted(s.from)},
                       {"to", trusted(s.to)},
                       {"guard", guard},
                       {"call", trusted(s.call)},
                       {"toCall", trusted(s.toCall)}});
}

html::Html selectScript(std::string_view select, std::string_view call, const std::string& a, bool typed) {
  const html::Fragment& script = typed ? kTypedSelectScript : kSelectScript;
  return script({{"a", a}, {"select", trusted(select)}, {"call", trusted(call)}});
}

namespace {

// The groups of the basic criteria, each a trigger line and its panel.

// 搜索方式 and 时间范围 (neither read back), 照片 and 在线.
void writeWayAndTimeGroups(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const auto& item = form.saved.items;
  // 搜索方式: not saved; the panel's font opens without a blank.
  out += triggerLine("搜索方式：", "orderText", trusted(R"~(<font color="#ff0000">网站默认方式</font>)~")).str();
  out += std::string(kPanel) + kGreyFont + kOrderPanel + "</font></div>";

  // 时间范围: the saved item is not read back.
  out += triggerLine("时间范围：", "daynumText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont + kDaynumPanel + "</font></div>";

  out += triggerLine("照片：", "headphotoText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont + "&nbsp; " + checkBox("headphoto", "headphotoText", "有照片", item[kHeadPhoto]).str() +
         "</font></div>";

  out += triggerLine("在线：", "onlineText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont + "&nbsp; " + checkBox("online", "onlineText", "在线", item[kOnline]).str() +
         "</font></div>";
}

// 性别: one summary script after the panel.
void writeSexGroup(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const auto& item = form.saved.items;
  const bool man = item[kSex] == "576";
  out += triggerLine("性别：", "sexText", trusted("不限")).str();
  out += std::string(kPanel) + kGreyFont + "&nbsp; " +
         kSexPanel({{"man", trusted(man ? " checked" : "")}, {"woman", trusted(item[kSex] == "577" ? " checked" : "")}})
             .str() +
         "</font></div>";
  out += summaryScript(man ? "Chk_Single2(sexText,'绅士')" : "Chk_Single2(sexText,'淑女')");
}

void writeAgeGroup(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const std::string ages = numberOptions(10, 70);
  const Range age = form.saved.range(kAgeRange);
  out += triggerLine("年龄：", "agefromText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont + "&nbsp; " +
         kPairOfSelects({{"from", trusted("agefrom")},
                         {"to", trusted("ageto")},
                         {"change", trusted(kAgeChange)},
                         {"fromOptions", trusted(ages)},
                         {"toOptions", trusted(ages)}})
             .str() +
         "</font></div>";
  out += rangeScript({"agefrom", "ageto", kAgeChange, kAgeChange}, age.low, age.high).str();
}

void writeResidenceGroup(const CriteriaForm& form, const html::Html& provinceSelect,
                         std::string& out) {
  using namespace member;
  const Range residence = form.saved.range(kResidence);
  out += triggerLine("居住地：", "addressfromText", noLimit()).str();
  out += std::string(kPanel) +
         kResidencePanel({{"provinces", provinceSelect},
                          {"cityChange", trusted(kResidenceCityChange)},
                          {"script", rangeScript({"province1", "city1", std::string(kResidenceChange) + ";",
                                                  kResidenceCityChange, true},
                                                 residence.low, residence.high)}})
             .str() +
         "</div>";
}

// 身高, 学历 and 年总收入.
void writeRangeGroups(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const Range height = form.saved.range(kHeightRange);
  out += triggerLine("身高：", "heightfromText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont + "&nbsp; " +
         kHeightPanel({{"from", height.low}, {"to", height.high}, {"change", trusted(kHeightChange)}}).str() +
         "</font></div>";
  out += summaryScript(kHeightChange);

  const Range degree = form.saved.range(kEducationRange);
  out += triggerLine("学历：", "degreefromText", trusted("")).str();
  out += std::string(kPanel) + "&nbsp; " +
         kPairOfSelects({{"from", trusted("degreefrom")},
                         {"to", trusted("degreeto")},
                         {"change", trusted(kDegreeChange)},
                         {"fromOptions", trusted(kDegreeOptions)},
                         {"toOptions", trusted(kDegreeOptions)}})
             .str() +
         "</div>";
  out += rangeScript({"degreefrom", "degreeto", kDegreeChange, kDegreeChange}, degree.low, degree.high).str();

  const Range income = form.saved.range(kIncomeRange);
  out += triggerLine("年总收入：", "incomefromText", noLimit()).str();
  out += std::string(kPanel) + "&nbsp; " +
         kPairOfSelects({{"from", trusted("incomefrom")},
                         {"to", trusted("incometo")},
                         {"change", trusted(kIncomeChange)},
                         {"fromOptions", trusted(std::string(R"~(<option value="" selected>不限</option>)~") + kIncomeOptions)},
                         {"toOptions", trusted(std::string(R"~(<option value="">不限</option>)~") + kIncomeOptions)}})
             .str() +
         "</div>";
  out += rangeScript({"incomefrom", "incometo", kIncomeChange, kIncomeChange, true}, income.low, income.high).str();
}

// 婚姻状况: a marked radio is followed by its summary script.
void writeMaritalGroup(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const auto& item = form.saved.items;
  out += triggerLine("婚姻状况：", "marystatusText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont + "&nbsp; ";
  struct Marital {
    const char* value;
    const char* text;
    const char* before;
    const char* after;
  };
  for (const Marital& m : {Marital{"", "不限", "", ""}, Marital{"1", "未婚", "", "<br>"},
                           Marital{"2", "离异", "&nbsp;&nbsp;", ""}, Marital{"3", "丧偶", "", ""}}) {
    const bool marked = m.value[0] != '\0' && item[kMaritalStatus] == m.value;
    out += m.before;
    kMaritalRadio.appendTo(out, {{"value", trusted(m.value)}, {"text", trusted(m.text)},
                                 {"checked", trusted(marked ? " checked" : "")}});
    if (marked) out += summaryScript(std::string("Chk_Single2(marystatusText,'") + m.text + "')");
    out += std::string(m.text) + m.after;
  }
  out += "</font></div>";
}

}  // namespace

void writeBasicGroups(const CriteriaForm& form, const html::Html& provinceSelect,
                      std::string& out) {
  writeWayAndTimeGroups(form, out);
  writeSexGroup(form, out);
  writeAgeGroup(form, out);
  writeResidenceGroup(form, provinceSelect, out);
  writeRangeGroups(form, out);
  writeMaritalGroup(form, out);
}

}  // namespace zurvafun::search

namespace zurvafun {

Variant zurva::seach_bz(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                        const Variant& SqlDatabaseName) {
  return logged([&](Variant& result) {
    const Viewer viewer(Request());
    if (!viewer.isMember()) Msg("非法操作", "-2", 2);
    const std::int32_t userid = viewer.userid();
    search::CriteriaForm form;
    form.grade = viewer.member("grade");
    const auto settings = siteSettings(Application());

    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    trapOff([&] {
      db::Recordset rs;
      rs.Open(sql::statement("select userbz,grade from zurva_user where userid={}", userid), conn, db::adOpenKeyset,
              db::adLockOptimistic);
      // A member number without a record is a bad request; a member without
      // saved criteria gets the form with no limit anywhere.
      if (rs.eof()) Msg("请求错误！", "-1", 2);
      form.saved = search::criteriaForForm(rs("userbz").str());
      rs.Close();

      std::string out;
      Variant action = "zurvarasult.html";
      search::kHead.appendTo(out, {{"action", html::trusted(showurl(action))}});
      const Variant provinces =
          citymenu(SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName,
                   "changelocation1(form3.province1.options[form3.province1.selectedIndex],form3.city1,"
                   "addressfromText,addressfromText)",
                   "--请选择--", "province1");
      search::writeBasicGroups(form, html::trusted(provinces), out);
      search::writeWeightAndRegionGroups(form, out);
      search::writeLastGroups(*this, form, Variant(settings->baseInfo(25)), out);
      result = out;
    });
  });
}

}  // namespace zurvafun

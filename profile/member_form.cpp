// The member's own profile edit form (umod1_editinfo): one form "form1",
// pre-filled from the member's row, posted to the site's save page. Rows
// behind data the site has verified are locked: a locked row shows its value
// as a read-only box, or as text followed by a hidden input of the same name,
// so that every field is still posted.
//
// The form is written piece by piece, one row group at a time; a group that
// fails is left out and the form goes on with the next.
#include "db/db.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "profile/form_fields.h"

namespace zurvafun {

namespace {

using html::trusted;
using profile::OptionStyle;
using profile::ProfileRow;
using profile::Quote;
using profile::scriptNumber;

// The lock attribute of a read-only text box.
constexpr std::string_view kReadOnly =
    " readonly=\"readonly\" style='border:1px solid #b9b9b9;color: #b9b9b9;'";

html::Html readOnlyIf(bool locked) { return trusted(locked ? kReadOnly : ""); }

// ---- Frame

constexpr html::Fragment kFormStart =
    "<FORM name=form1 onSubmit=\"javescript:return chkform();\" action={{action}}# method=post>";

// Three nested layout tables; the sections stand in the innermost cell.
constexpr html::Fragment kLayoutStart =
    "\r\n<TABLE class=bg_main height=1000 cellSpacing=0 cellPadding=0 width=\"100%\" border=0>"
    "<TBODY><TR><TD vAlign=top bgColor=#ffffff>"
    "\r\n<TABLE cellSpacing=0 cellPadding=0 width=\"100%\" border=0><TBODY><TR><TD bgColor=#ffffff>"
    "\r\n<TABLE cellSpacing=0 cellPadding=0 width=\"100%\" border=0><TBODY><TR>"
    "<TD align=middle bgColor=#ffffff>";

// A section's table and its title row.
constexpr html::Fragment kSectionStart =
    "\r\n<TABLE cellSpacing=0 cellPadding=0 width=\"98%\" border=0><TBODY>"
    "<TR><TD colSpan=2 height=33><IMG src=\"/images/grzl_11.gif\" align=absMiddle border=0>&nbsp;"
    "<FONT color=#000000><B>{{title}}</B></FONT>{{more}}</TD></TR>";

constexpr std::string_view kTableEnd = "</TBODY></TABLE>";

// The one-pixel dotted line between sections.
constexpr std::string_view kDivider =
    "\r\n<TABLE cellSpacing=0 cellPadding=0 width=\"97%\" border=0><TBODY><TR>"
    "<TD vAlign=center background=/images/zcym_0.gif height=1></TD></TR></TBODY></TABLE>";

// A required row's label: the orange asterisk, then the label.
constexpr html::Fragment kLabel = "<FONT color=#ff6600>*</FONT>{{label}}";
constexpr html::Fragment kGreyLabel = "<FONT color=#ff6600>*</FONT><FONT color=#333333>{{label}}</FONT>";

constexpr html::Fragment kHint = "<FONT color=#a6a6a6>{{hint}}</FONT>";

constexpr html::Fragment kScript = "<script language=\"JavaScript\" type=\"text/JavaScript\">{{body}}</script>";

// "a=<index expression>;document.form1.<select>.selectedIndex=a;" closed by `end`.
html::Html indexScript(std::string_view expression, std::string_view select, std::string_view end) {
  return kScript({{"body", trusted(std::string(expression) + "document.form1." + std::string(select) +
                                   ".selectedIndex=a;" + std::string(end))}});
}

// ---- 基本资料: identity rows

constexpr html::Fragment kAccountInputs =
    "<input name=username type=hidden value=\"{{username}}\" maxlength=\"50\">"
    "<input name=password type=hidden value=\"null\" maxlength=\"12\">"
    "<input name=password_confirm type=hidden value=\"null\" maxlength=\"12\">";

constexpr html::Fragment kNicknameRow =
    "\r\n<TR bgColor=#f9f4fa><TD width=\"13%\" height=60 align=right>"
    "<FONT color=#ff6600>*</FONT>会员昵称：</TD><TD>"
    "<INPUT name=nickname maxLength=12 value=\"{{nickname}}\"{{lock}}>"
    "<FONT color=#a6a6a6>(呢称是您在网站中的“名字”，要求</FONT>必须取“中文名”或“英文名”"
    "<FONT color=#a6a6a6>，而</FONT>不能是无意义的字符"
    "<FONT color=#a6a6a6>。中文名限1-6个字，英文名限2-12位字母)</FONT></TD></TR>";

constexpr html::Fragment kNameRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right><FONT color=#ff6600>*</FONT>真实姓名：</TD><TD>"
    "<INPUT id=name_r name=name_r maxLength=16 value=\"{{name}}\"{{lock}}>"
    "<SELECT name=name_ropen>{{options}}</SELECT>{{script}}"
    "<FONT color=#a6a6a6>(8个汉字以内)</FONT></TD></TR>";

// The rows after the full name stand in a table of their own.
constexpr std::string_view kBasicRowsStart =
    "\r\n<TABLE cellSpacing=3 cellPadding=0 width=\"98%\" border=0><TBODY>";

constexpr html::Fragment kDocumentRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{typeLabel}}</TD><TD>{{type}}</TD>"
    "<TD align=right>{{numberLabel}}</TD><TD><INPUT name=IDNo maxLength=18 value=\"{{number}}\"{{lock}}>"
    "<FONT color=#ff6600>（须填写本人真实号码，否则不能通过注册。本号码其他会员不可见。)</FONT></TD></TR>";

// A locked coded field that posts its label: the label, then the hidden input.
constexpr html::Fragment kLabelPosted = "{{label}}<input name={{name}} type=hidden value='{{label}}'>";
// A locked coded field that posts its code.
constexpr html::Fragment kCodePosted = "{{label}}<input name={{name}} type=hidden value=\"{{code}}\">";

constexpr html::Fragment kSelect = "<SELECT name={{name}}>{{options}}</SELECT>";
constexpr html::Fragment kPlaceholder = "<OPTION value=\"\"{{mark}}>请选择--</OPTION>";

html::Html placeholder(bool marked) { return kPlaceholder({{"mark", trusted(marked ? " selected" : "")}}); }

html::Html identityRows(const ProfileRow& row) {
  const bool nicknameSet = !row.text("nickname").empty();
  // The identity rows are open to change again only while the profile is
  // marked as erroneous.
  const bool identityLocked = eq(row.iferro, 0);
  html::Html out =
      kNicknameRow({{"nickname", row.text("nickname")}, {"lock", readOnlyIf(nicknameSet)}});

  const std::string index = profile::visibilityIndex(row.name.flag);
  out += kNameRow({{"name", row.name.value},
                   {"lock", readOnlyIf(identityLocked)},
                   {"options", profile::options(codes::kVisibility, "1")},
                   {"script", kScript({{"body", trusted("document.form1.name_ropen.selectedIndex=" + index + ";")}})}});
  out += trusted(kTableEnd);
  out += trusted(kBasicRowsStart);

  html::Html type;
  if (identityLocked) {
    // Any type digit but 1 and 2 shows as a passport.
    const std::string_view label = codes::labelOf(codes::kDocumentType, row.idno.flag).value_or("护照");
    type = kLabelPosted({{"label", label}, {"name", "SelID"}});
  } else {
    type = kSelect({{"name", "SelID"}, {"options", profile::options(codes::kDocumentType, row.idno.flag)}});
  }
  out += kDocumentRow({{"typeLabel", kGreyLabel({{"label", "证件类型："}})},
                       {"type", type},
                       {"numberLabel", kGreyLabel({{"label", "证件号码："}})},
                       {"number", row.idno.value},
                       {"lock", readOnlyIf(identityLocked)}});
  return out;
}

// The sex pair opens the table row that the birth year closes.
constexpr html::Fragment kSexCells =
    "\r\n<TR bgColor=#f9f4fa><TD width=\"13%\" height=30 align=right>"
    "<FONT color=#ff6600>*</FONT>性　　别：</TD><TD width=\"21%\">{{sex}}</TD>";

html::Html sexCells(const ProfileRow& row) {
  html::Html sex;
  if (eq(row.iferro, 0)) {
    sex = kLabelPosted({{"label", row.text("sex") == "576" ? "绅士" : "淑女"}, {"name", "sex"}});
  } else {
    sex =
        kSelect({{"name", "sex"},
                 {"options", placeholder(false) + profile::options(codes::kSex, row.text("sex"))}});
  }
  return kSexCells({{"sex", sex}});
}

// ---- 基本资料: birth, body and background rows

constexpr html::Fragment kBirthYearCells =
    "<TD width=\"16%\" align=right><FONT color=#ff6600>*</FONT>出生年份：</TD><TD>{{value}}</TD></TR>";
constexpr html::Fragment kBirthYearLocked = "{{year}}年<input name=birthyear type=hidden value={{value}}>";

html::Html birthYearCells(const ProfileRow& row) {
  const std::string& year = row.data.birthYear;
  html::Html value;
  if (eq(row.ok, 1)) {
    // Verified registration: the year is fixed.
    if (!year.empty()) value = kBirthYearLocked({{"year", year}, {"value", profile::bareAttribute(year)}});
  } else {
    value = kSelect({{"name", "birthyear"},
                     {"options", placeholder(true) + profile::numberOptions(codes::kLatestBirthYear,
                                                                              codes::kEarliestBirthYear, std::nullopt,
                                                                              {.quote = Quote::Single})}}) +
            trusted("年 ") + kHint({{"hint", "(男士注册须出生年份在83年以前)"}}) +
            indexScript("a=1997-" + scriptNumber(year) + "+1;", "birthyear", "");
  }
  return kBirthYearCells({{"value", value}});
}

constexpr html::Fragment kBodyRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{heightLabel}}</TD><TD>"
    "<select name=height><option value=\"\">请选择--</option>{{heights}}</select><FONT color=#333333>cm</FONT></TD>"
    "<TD align=right>{{weightLabel}}</TD><TD>"
    "<select name=weight id=weight><option value=\"\" selected=\"selected\">请选择--</option>{{weights}}</select>"
    "{{script}}kg</TD></TR>";

html::Html bodyRow(const ProfileRow& row) {
  const OptionStyle lower{.lowerCase = true};
  return kBodyRow(
      {{"heightLabel", kLabel({{"label", "身　　高："}})},
       {"heights", profile::numberOptions(codes::kLowestHeight, codes::kHighestHeight,
                                          row.text("height_"), lower)},
       {"weightLabel", kLabel({{"label", "体　　重："}})},
       {"weights",
        profile::numberOptions(codes::kLowestWeight, codes::kHighestWeight, std::nullopt, lower)},
       {"script",
        indexScript("a=" + profile::weightNumber(row.text("weight_")) + "-30+1;", "weight", "")}});
}

constexpr html::Fragment kShapeRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{shapeLabel}}</TD><TD>{{shape}}</TD>"
    "<TD align=right>相貌自评：</TD><TD><SELECT name=look><OPTION value=0 selected>未填</OPTION>{{looks}}</SELECT>"
    "{{script}}<FONT color=#a6a6a6>(10分为满分)</FONT></TD></TR>";

html::Html shapeRow(const ProfileRow& row) {
  return kShapeRow(
      {{"shapeLabel", kLabel({{"label", "体　　形："}})},
       {"shape", kSelect({{"name", "Shape"},
                          {"options", placeholder(false) +
                                          profile::options(codes::kBodyShape, row.text("tx"))}})},
       {"looks", profile::options(codes::kLooks, std::nullopt)},
       {"script", indexScript("a=" + profile::looksIndex(row.data.looks) + ";", "look", "")}});
}

constexpr html::Fragment kMaritalRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{maritalLabel}}</TD><TD>{{marital}}</TD>"
    "<TD align=right>{{folkLabel}}</TD><TD>{{folk}}{{script}}</TD></TR>";

// A coded field locked once its proof is approved: its label and its code in
// a hidden input; nothing when the row holds no code.
html::Html lockedCode(codes::Table table, std::string_view name, const std::string& code) {
  if (code.empty()) return {};
  return kCodePosted({{"label", codes::labelOf(table, code).value_or("")}, {"name", name}, {"code", code}});
}

html::Html maritalRow(const ProfileRow& row) {
  const std::string& marital = row.data.marital;
  html::Html value;
  if (row.maritalProofApproved) {
    value = lockedCode(codes::kMarital, "marrystatus", marital);
  } else {
    value = kSelect({{"name", "marrystatus"}, {"options", placeholder(true) + profile::options(codes::kMarital, std::nullopt)}}) +
            indexScript("a=" + scriptNumber(marital) + ";", "marrystatus", "//");
  }
  return kMaritalRow(
      {{"maritalLabel", kLabel({{"label", "婚姻状况："}})},
       {"marital", value},
       {"folkLabel", kGreyLabel({{"label", "民　　族："}})},
       {"folk", kSelect({{"name", "Folk"}, {"options", placeholder(true) + profile::options(codes::kEthnic, std::nullopt)}})},
       {"script", indexScript("a=" + scriptNumber(row.data.ethnic) + "-39+1;", "Folk", "//")}});
}

// The native region opens the table row that the residence closes.
constexpr html::Fragment kNativeRegionCells =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{label}}</TD><TD>"
    "<SELECT name=ancestor>{{options}}</SELECT>"
    "<script language=\"JavaScript\" type=\"text/JavaScript\">var a=\"{{region:js}}\";"
    "for (cc=1;cc<=100;cc++){if (document.form1.ancestor.options[cc].value==a)"
    "{document.form1.ancestor.selectedIndex=cc;break;}}//</script></TD>";

html::Html nativeRegionCells(const ProfileRow& row) {
  return kNativeRegionCells({{"label", kGreyLabel({{"label", "籍　　贯："}})},
                             {"options", placeholder(true) + profile::regionOptions()},
                             {"region", row.data.nativeRegion}});
}

// ---- 基本资料: residence, education, household register and occupation rows

// Selects the stored province, lets the page fill the city select for it,
// then selects the stored city. Both loops run to option 100.
constexpr html::Fragment kPlaceScript =
    "<script language=\"JavaScript\" type=\"text/JavaScript\">"
    "var a=\"{{province:js}}\";var b=\"{{city:js}}\";"
    "for (cc=1;cc<=100;cc++){if (document.form1.{{p}}.options[cc].value==a)"
    "{document.form1.{{p}}.selectedIndex=cc;{{fill}}(form1.{{p}}.options[form1.{{p}}.selectedIndex].value,form1.{{c}});"
    "for (cc1=1;cc1<=100;cc1++){if (document.form1.{{c}}.options[cc1].value==b)"
    "{document.form1.{{c}}.selectedIndex=cc1;break;}}break;}}//</script>";

constexpr html::Fragment kCitySelect =
    "<SELECT name={{name}} id={{name}} size=1><OPTION value=0 selected>--请选择--</OPTION></SELECT>";

constexpr std::string_view kCityHint = "(注：若城市无法选择，请先选择一下其他省，再选回本省）";

// The city select, the script that selects the stored place, and the hint.
html::Html placeTail(const member::Place& place, std::string_view provinceSelect, std::string_view citySelect,
                     std::string_view fill) {
  return kCitySelect({{"name", citySelect}}) +
         kPlaceScript({{"province", place.province},
                       {"city", place.city},
                       {"p", provinceSelect},
                       {"c", citySelect},
                       {"fill", fill}}) +
         kHint({{"hint", kCityHint}});
}

constexpr html::Fragment kResidenceCells =
    "<TD align=right>{{label}}</TD><TD><FONT color=#333333>{{provinces}}{{tail}}</FONT></TD></TR>";

constexpr html::Fragment kEducationHouseholdRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{degreeLabel}}</TD><TD>{{degree}}</TD>"
    "<TD align=right>{{householdLabel}}</TD><TD><FONT color=#333333>"
    "<SELECT name=province1 id=province1 size=1 "
    "onchange=\"changelocation(form1.province1.options[form1.province1.selectedIndex].value,form1.city1)\">"
    "<OPTION value=0 selected>--请选择--</OPTION>{{provinces}}</SELECT>{{tail}}</FONT></TD></TR>";

html::Html educationHouseholdRow(const ProfileRow& row) {
  const std::string& education = row.data.education;
  html::Html degree;
  if (row.educationProofApproved) {
    degree = lockedCode(codes::kEducationShown, "degree", education);
  } else {
    degree = kSelect({{"name", "degree"}, {"options", placeholder(true) + profile::options(codes::kEducation, std::nullopt)}}) +
             indexScript("a=" + scriptNumber(education) + "-122+1;", "degree", "//");
  }
  return kEducationHouseholdRow({{"degreeLabel", kGreyLabel({{"label", "学　　历："}})},
                                 {"degree", degree},
                                 {"householdLabel", kGreyLabel({{"label", "户　　籍："}})},
                                 {"provinces", profile::regionOptions()},
                                 {"tail", placeTail(row.data.household, "province1", "city1", "changelocation")}});
}

constexpr html::Fragment kOccupationRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{label}}</TD><TD><FONT color=#333333>"
    "<SELECT name=job><OPTION value=\"\">请选择--</OPTION>{{options}}</SELECT></FONT></TD>"
    "<TD align=right><FONT color=#333333>职务职称：</FONT></TD><TD>"
    "<INPUT name=dutytype value=\"{{duty}}\" maxLength=8><FONT color=#a6a6a6>(注：本项内容为选填)</FONT></TD></TR>";

html::Html occupationRow(const ProfileRow& row) {
  return kOccupationRow({{"label", kGreyLabel({{"label", "职业类别："}})},
                         {"options", profile::options(codes::kOccupation, row.text("field"))},
                         {"duty", row.text("job")}});
}

// ---- 基本资料: housing, income and the remaining rows

constexpr html::Fragment kHousingIncomeRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>{{housingLabel}}</TD><TD><FONT color=#333333>"
    "<SELECT name=housesta>{{housing}}</SELECT>{{script}}</FONT></TD>"
    "<TD align=right>{{incomeLabel}}</TD><TD>{{income}}"
    "<SELECT name=incomeopen>{{visibility}}</SELECT></TD></TR>";

html::Html housingIncomeRow(const ProfileRow& row) {
  html::Html income;
  if (row.incomeProofApproved) {
    income = lockedCode(codes::kIncome, "income", row.pay.income);
  } else {
    income = kSelect({{"name", "income"}, {"options", placeholder(false) + profile::options(codes::kIncome, row.pay.income)}});
  }
  return kHousingIncomeRow(
      {{"housingLabel", kGreyLabel({{"label", "住房状况："}})},
       {"housing", placeholder(true) + profile::options(codes::kHousing, std::nullopt)},
       {"script", indexScript("a=" + scriptNumber(row.data.housing) + "-205+1;", "housesta", "//")},
       {"incomeLabel", kGreyLabel({{"label", "年总收入："}})},
       {"income", income},
       {"visibility", profile::options(codes::kIncomeVisibility, row.pay.visibility)}});
}

constexpr html::Fragment kStarMobileRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right>&nbsp;<FONT color=#333333>星　　座：</FONT></TD><TD>"
    "<select name=constel><option value=\"\">未填</option>{{stars}}</select></TD>"
    "<TD align=right>&nbsp;<FONT color=#ff6600>*</FONT>手　　机：</TD><TD>"
    "<INPUT name=Mobile size=14 value={{mobile}}><SELECT name=tel_ropen>{{flags}}</SELECT>"
    "<BR><FONT color=#a6a6a6>(便于获取网站及交友对象的最新消息)</FONT>"
    "<INPUT type=hidden name=question value=\"{{question}}\" maxLength=10{{questionLock}}>"
    "<INPUT type=hidden name=answer value=\"{{answer}}\" maxLength=10{{answerLock}}></TD></TR>";

constexpr std::string_view kHiddenReadOnly =
    " readonly=\"readonly\" style=\"border:1px solid #b9b9b9;color: #b9b9b9;\"";

html::Html starMobileRow(const ProfileRow& row) {
  return kStarMobileRow(
      {{"stars", profile::options(codes::kConstellation, row.text("star"),
                                  {.quote = Quote::Double, .lowerCase = true})},
       {"mobile", profile::bareAttribute(row.mobile.number)},
       {"flags", profile::options(codes::kMobileFlag, profile::mobileFlag(row.mobile))},
       {"question", row.text("pass")},
       {"questionLock", trusted(row.text("pass").empty() ? "" : kHiddenReadOnly)},
       {"answer", row.text("passask")},
       {"answerLock", trusted(row.text("passask").empty() ? "" : kHiddenReadOnly)}});
}

constexpr html::Fragment kHabitsRow =
    "\r\n<TR bgColor=#f9f4fa><TD height=30 align=right><FONT color=#666666>饮酒习惯：</FONT></TD>"
    "<TD><FONT color=#666666><input class=tx id=drink2 style=\"FONT-SIZE: 9pt\" name=drink value=\"{{drink}}\" "
    "size=15 maxlength=30></FONT></TD>"
    "<TD align=right><FONT color=#666666>吸烟习惯：</FONT></TD>"
    "<TD><input class=tx id=smoking style=\"FONT-SIZE: 9pt\" name=smoking value=\"{{smoking}}\" "
    "size=21 maxlength=30></TD></TR>";

html::Html habitsRow(const ProfileRow& row) {
  return kHabitsRow({{"drink", row.text("drink")}, {"smoking", row.text("smoking")}});
}

// ---- 意中人标准, 联系方式, 个人独白 and the end of the form

constexpr html::Fragment kFieldRow =
    "\r\n<TR><TD{{width}} height=30 align=right>{{mark}}<FONT color=#585858>{{label}}</FONT></TD>"
    "<TD height=30>{{value}}</TD></TR>";

constexpr std::string_view kFirstRowWidth = " width=\"13%\"";
constexpr std::string_view kRequired = "<FONT color=#ff6600>*</FONT>";

html::Html partnerCriteria(const ProfileRow& row) {
  const auto range = [](std::string_view name, const html::Html& options) {
    return kSelect({{"name", name}, {"options", placeholder(false) + options}});
  };
  html::Html out = kSectionStart({{"title", "意中人标准"}, {"more", ""}});
  bool first = true;
  for (const profile::PartnerRange& r : profile::partnerRanges(row, {})) {
    out += kFieldRow({{"width", trusted(first ? kFirstRowWidth : "")},
                      {"mark", trusted(kRequired)},
                      {"label", r.label},
                      {"value", trusted("从") + range(r.from, r.fromOptions) + trusted(r.between) +
                                    range(r.to, r.toOptions) + trusted(r.after)}});
    first = false;
  }
  out += trusted(kTableEnd);
  out += trusted(kDivider);
  return out;
}

constexpr html::Fragment kContactInput =
    "<INPUT id={{name}} name={{name}} maxLength={{max}} size={{size}} value=\"{{value}}\">";

html::Html contact(const ProfileRow& row) {
  html::Html out = kSectionStart(
      {{"title", "联系方式"},
       {"more", trusted("<FONT color=#ff0000>（填写要求：以下联系方式须至少填写一项。注：联系方式只有金卡银卡会员可见）</FONT>")}});
  bool first = true;
  for (const profile::ContactInput& input : profile::contactInputs(row)) {
    out += kFieldRow({{"width", trusted(first ? kFirstRowWidth : "")},
                      {"mark", ""},
                      {"label", input.label},
                      {"value", kContactInput({{"name", input.name},
                                               {"max", input.max},
                                               {"size", input.size},
                                               {"value", input.value}})}});
    first = false;
  }
  out += trusted(kTableEnd);
  out += trusted(kDivider);
  return out;
}

constexpr html::Fragment kIntroduction =
    "\r\n<TABLE cellSpacing=0 cellPadding=0 width=\"98%\" border=0><TBODY>"
    "<TR><TD height=30><IMG src=\"/images/grzl_11.gif\" align=absMiddle border=0>"
    "<FONT color=#ff6600>*</FONT><FONT color=#000000><B>个人独白</B></FONT><FONT color=#ff0000>（不少于20字）</FONT>"
    "&nbsp;&nbsp;　　　　　　　　　　　　　　　　　　　　　　　　　　&nbsp;"
    "<A class=Blue_UnderLine href=\"{{example}}\" target=_blank>例文</A> &gt;&gt;&nbsp;</TD></TR>"
    "\r\n<TR><TD align=middle height=28><TABLE width=\"95%\" border=0><TBODY><TR>"
    "<TD align=middle width=619 height=180><TEXTAREA name=intro rows=8 cols=80>{{intro}}</TEXTAREA>"
    "</TD></TR></TBODY></TABLE></TD></TR></TBODY></TABLE>";

// The declaration, the buttons, the end of the form and of the layout tables.
constexpr std::string_view kFormEnd =
    "\r\n<TABLE cellSpacing=0 cellPadding=0 width=\"90%\" border=0><TBODY>"
    "<TR><TD class=12x20 height=1><TABLE cellSpacing=0 cellPadding=0 width=\"100%\" border=0><TBODY><TR>"
    "<TD background=/images/zcym_0.gif height=1></TD></TR></TBODY></TABLE>"
    "<FONT class=12x18 color=#999999>&nbsp;&nbsp;&nbsp;&nbsp;本人保证以上填写信息是真实的，如有虚假，自动取消会员资格！"
    "&nbsp;&nbsp;&nbsp;&nbsp;</FONT></TD></TR>"
    "\r\n<TR><TD align=middle><TABLE cellSpacing=10 width=\"100%\" border=0><TBODY><TR><TD align=middle>"
    "<INPUT type=hidden name=sign><INPUT class=button_3 type=submit value=提交 name=Submit>"
    "<INPUT class=button_3 type=reset value=取消 name=Submit5></TD></TR></TBODY></TABLE></TD></TR>"
    "\r\n    </FORM>"
    "</TBODY></TABLE></TD></TR>"
    "</TBODY></TABLE></TD></TR>"
    "</TBODY></TABLE></TD></TR>"
    "</TBODY></TABLE>\r\n";

struct MemberForm;

}  // namespace

// umod1_editinfo's step: the form written piece by piece; a piece that
// fails is left out and the form goes on.
template <>
struct MethodSteps<MemberForm> {
  static void writeForm(zurva& z, const ProfileRow& row, const Variant& SqlLocalName,
                        const Variant& SqlUserName, const Variant& SqlPassword,
                        const Variant& SqlDatabaseName) {
    host::Response& out = z.Response();
    z.resume([&] {
      Variant savePage = "regsubmit.html";
      out.Write(kFormStart({{"action", trusted(z.showurl(savePage))}}));
    });
    out.Write(kLayoutStart());
    z.resume([&] {
      out.Write(kSectionStart({{"title", "基本资料"},
                               {"more", kAccountInputs({{"username", row.text("zurvauser")}})}}));
    });
    z.resume([&] { out.Write(identityRows(row)); });
    z.resume([&] { out.Write(sexCells(row)); });
    z.resume([&] { out.Write(birthYearCells(row)); });
    z.resume([&] { out.Write(bodyRow(row)); });
    z.resume([&] { out.Write(shapeRow(row)); });
    z.resume([&] { out.Write(maritalRow(row)); });
    z.resume([&] { out.Write(nativeRegionCells(row)); });
    z.resume([&] {
      const Variant provinces = z.citymenu(SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName,
                                           profile::kResidenceChange, "--请选择--", "province");
      out.Write(kResidenceCells(
          {{"label", kGreyLabel({{"label", "居 住 地："}})},
           {"provinces", trusted(provinces)},
           {"tail", placeTail(row.data.residence, "province", "city", "changelocation1")}}));
    });
    z.resume([&] { out.Write(educationHouseholdRow(row)); });
    z.resume([&] { out.Write(occupationRow(row)); });
    z.resume([&] { out.Write(housingIncomeRow(row)); });
    z.resume([&] { out.Write(starMobileRow(row)); });
    z.resume([&] { out.Write(habitsRow(row)); });
    out.Write(std::string(kTableEnd) + std::string(kDivider));
    z.resume([&] { out.Write(partnerCriteria(row)); });
    z.resume([&] { out.Write(contact(row)); });
    z.resume([&] {
      Variant example = "lw.html";
      out.Write(kIntroduction(
          {{"example", trusted(z.showurl(example))}, {"intro", row.text("aboutus")}}));
    });
    out.Write(kFormEnd);
  }
};

void zurva::umod1_editinfo(const Variant& SqlLocalName, const Variant& SqlUserName,
                           const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  resumed([&] {
    const Viewer viewer(Request());
    if (!viewer.isMember()) {
      Msg("非法操作", "-2", 2);
      return;
    }

    Variant userid;
    resume([&] { userid = Variant::lng(viewer.userid()); });
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;

    // The row is read before anything is written, so that a member number
    // without a row gets a message instead of an empty form.
    std::optional<ProfileRow> found;
    resume([&] {
      found = profile::readProfileRow(conn, sql::statement("select * from [Zurva_user] where userid={}", sql::lng(userid)));
    });
    if (!found) {
      Msg("请求错误！", "-1", 1);
      return;
    }
    MethodSteps<MemberForm>::writeForm(*this, *found, SqlLocalName, SqlUserName, SqlPassword,
                                       SqlDatabaseName);
  });
}

}  // namespace zurvafun

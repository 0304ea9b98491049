// The administrator's edit form of any member's profile (admin_editinfo):
// the same profile as the member's own form, every control editable, with an
// account block (account name, member number, a new password), posted to the
// site's page "reg_submit.asp". The page is returned as the method's result.
//
// Each control gets its stored value by one of five rules: as text (and a
// hidden input), as an input's value, by marking the matching option, by an
// index script after the select, or by a script that scans a select's options
// for the stored name.
#include "db/db.h"
#include "framework/numbers.h"
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

constexpr std::string_view kGrey = "border:1px solid #b9b9b9;color: #b9b9b9;";

constexpr std::string_view kFormStart =
    "<form name=\"form1\" method=\"post\" action=\"reg_submit.asp\" onSubmit=\"javescript:return chkform();\">\r\n"
    "<table width=\"646\" border=\"1\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" "
    "bordercolor=\"#FFFFFF\">\r\n";

// A row of one label/control pair, and a row of two.
constexpr html::Fragment kRow =
    "  <tr>\r\n    <td width=\"20%\" height=\"30\" align=\"right\">{{label}}</td>\r\n"
    "    <td>{{control}}</td>\r\n  </tr>\r\n";
constexpr html::Fragment kPairedRow =
    "  <tr>\r\n    <td width=\"15%\" height=\"30\" align=\"right\">{{label1}}</td>\r\n"
    "    <td width=\"35%\">{{control1}}</td>\r\n"
    "    <td width=\"15%\" align=\"right\">{{label2}}</td>\r\n"
    "    <td>{{control2}}</td>\r\n  </tr>\r\n";
// The same with the end of the row written by the second control.
constexpr html::Fragment kPairedRowOpenEnd =
    "  <tr>\r\n    <td width=\"15%\" height=\"30\" align=\"right\">{{label1}}</td>\r\n"
    "    <td width=\"35%\">{{control1}}</td>\r\n"
    "    <td width=\"15%\" align=\"right\">{{label2}}</td>\r\n"
    "    <td>{{control2}}\r\n";

constexpr html::Fragment kHeadingRow =
    "  <tr>\r\n    <td height=\"30\" colspan=\"{{span}}\" align=\"center\"><b>{{title}}</b></td>\r\n  </tr>\r\n";

// A label with the red asterisk of a required field.
html::Html required(std::string_view label) {
  return trusted("<font color=\"#ff6600\">*</font> " + std::string(label));
}

// An index script: "a=<expression>" and the statement that selects option a,
// with the lines that `end` closes the block with.
html::Html indexScript(std::string_view expression, std::string_view statement, std::string_view end) {
  return trusted("<script language=\"JavaScript\" type=\"text/JavaScript\">\r\n<!--\r\n" + std::string(expression) +
                 "\r\n" + std::string(statement) + std::string(end));
}

constexpr std::string_view kBlockEnd = "\r\n\r\n\r\n//-->\r\n</script>";

constexpr html::Fragment kSelect = "<select name=\"{{name}}\">\r\n{{options}}</select>";
constexpr html::Fragment kEmptyChoice = "<option value=\"\"{{mark}}>{{label}}</option>\r\n";

html::Html emptyChoice(bool marked, std::string_view label = "请选择--") {
  return kEmptyChoice({{"mark", trusted(marked ? " selected" : "")}, {"label", label}});
}

// ---- 基本资料: the account block and the full name

constexpr html::Fragment kHiddenText =
    "{{text}}<input name=\"{{name}}\" type=\"hidden\"{{id}} value=\"{{value}}\" maxLength=\"{{max}}\" readonly{{style}}>";

html::Html accountRows(const ProfileRow& row) {
  const html::Html greyStyle = trusted(" style=\"" + std::string(kGrey) + "\"");
  html::Html out = kHeadingRow({{"span", 2}, {"title", "基本资料"}});
  out += kRow({{"label", required("会员昵称：")},
               {"control", kHiddenText({{"text", row.text("nickname")},
                                        {"name", "nickname"},
                                        {"id", ""},
                                        {"value", row.text("nickname")},
                                        {"max", 12},
                                        {"style", greyStyle}})}});
  out += kRow({{"label", "会员帐号："},
               {"control", kHiddenText({{"text", row.text("zurvauser")},
                                        {"name", "username"},
                                        {"id", ""},
                                        {"value", row.text("zurvauser")},
                                        {"max", 50},
                                        {"style", ""}})}});
  out += kRow({{"label", "ID"},
               {"control", kHiddenText({{"text", row.userid}, {"name", "id"}, {"id", trusted(" id=\"id\"")},
                                        {"value", row.userid}, {"max", 12}, {"style", greyStyle}})}});
  // The stored digest is never written: an empty box leaves the password as it is.
  out += kRow({{"label", "password"},
               {"control", trusted("<input name=\"password\" type=\"text\" id=\"password\" maxlength=\"12\">"
                                   "<font color=\"#ff0000\">*</font>为空时不做修改")}});
  return out;
}

constexpr html::Fragment kNameRowEnd =
    "  <tr>\r\n    <td height=\"30\" align=\"right\">真实姓名：</td>\r\n"
    "    <td><input name=\"name_r\" type=\"text\" id=\"name_r\" value=\"{{name}}\" maxLength=\"16\">\r\n"
    "<select name=\"name_ropen\">\r\n{{options}}</select>\r\n"
    "<script language=\"javascript\">\r\ndocument.form1.name_ropen.selectedIndex={{index}};\r\n</script>"
    "</td>\r\n  </tr>\r\n</table>\r\n<br>\r\n";

html::Html nameRow(const ProfileRow& row) {
  return kNameRowEnd({{"name", row.name.value},
                      {"options", profile::options(codes::kVisibility, "1")},
                      {"index", trusted(profile::visibilityIndex(row.name.flag))}});
}

// ---- The paired-row table: identity, birth, body and background rows

constexpr std::string_view kPairedTableStart =
    "<table width=\"645\" border=\"1\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" bordercolor=\"#FFFFFF\">\r\n";

const OptionStyle kQuoted{.quote = Quote::Double};

html::Html identityRows(const ProfileRow& row) {
  html::Html out = kPairedRow(
      {{"label1", required("证件类型：")},
       {"control1", kSelect({{"name", "SelID"}, {"options", profile::options(codes::kDocumentType, row.idno.flag)}})},
       {"label2", required("证件号码：")},
       {"control2", trusted("<input name=\"IDNo\" type=\"text\" value=\"") + html::escaped(row.idno.value) +
                        trusted("\" maxLength=\"18\">")}});
  // The birth year's script follows the end of its row.
  out += kPairedRow(
      {{"label1", required("性　　别：")},
       {"control1", kSelect({{"name", "sex"},
                             {"options", emptyChoice(false) +
                                             profile::options(codes::kSex, row.text("sex"))}})},
       {"label2", required("出生年份：")},
       {"control2",
        kSelect({{"name", "birthyear"},
                 {"options", emptyChoice(true) + profile::numberOptions(codes::kLatestBirthYear,
                                                                        codes::kEarliestBirthYear,
                                                                        std::nullopt, kQuoted)}}) +
            trusted("年")}});
  out += indexScript("a=1997-" + scriptNumber(row.data.birthYear) + "+1",
                     ";document.form1.birthyear.selectedIndex=a;", kBlockEnd);
  out += trusted("\r\n");
  return out;
}

html::Html bodyRows(const ProfileRow& row) {
  html::Html out = kPairedRow(
      {{"label1", required("身　　高：")},
       {"control1",
        kSelect({{"name", "height"},
                 {"options", emptyChoice(false) +
                                 profile::numberOptions(codes::kLowestHeight, codes::kHighestHeight,
                                                        row.text("height_"), kQuoted)}}) +
            trusted("cm")},
       {"label2", required("体　　重：")},
       {"control2", trusted("<select name=\"weight\" id=\"weight\">\r\n<option value=\"\" "
                            "selected=\"selected\">请选择--</option>\r\n") +
                        profile::numberOptions(codes::kLowestWeight, codes::kHighestWeight,
                                               std::nullopt, kQuoted) +
                        trusted("</select>") +
                        indexScript("a=" + profile::weightNumber(row.text("weight_")) + "-30+1",
                                    ";document.form1.weight.selectedIndex=a;",
                                    "\r\n\r\n\r\n//-->\r\n</script>  ") +
                        trusted("kg")}});
  out += kPairedRowOpenEnd(
      {{"label1", required("体　　形：")},
       {"control1", kSelect({{"name", "Shape"},
                             {"options", emptyChoice(false) + profile::options(codes::kBodyShape,
                                                                               row.text("tx"))}})},
       {"label2", "相貌自评："},
       {"control2", kSelect({{"name", "look"},
                             {"options", emptyChoice(true, "未填") +
                                             profile::options(codes::kLooks, std::nullopt)}}) +
                        indexScript("a=" + profile::looksIndex(row.data.looks) +
                                        ";document.form1.look.selectedIndex=a;",
                                    "", "\r\n//-->\r\n</script></TD></TR>\r\n")}});
  return out;
}

constexpr html::Fragment kBackgroundRow =
    "  <tr>\r\n    <td width=\"15%\" height=\"30\" align=\"right\">{{label1}}</td>\r\n"
    "    <td width=\"35%\">{{control1}}\r\n"
    "    <td width=\"15%\" align=\"right\">{{label2}}</td>\r\n"
    "    <td>{{control2}}\r\n";

html::Html backgroundRow(const ProfileRow& row) {
  return kBackgroundRow(
      {{"label1", required("婚姻状况：")},
       {"control1", kSelect({{"name", "marrystatus"}, {"options", emptyChoice(true) + profile::options(codes::kMarital, std::nullopt)}}) +
                        indexScript("a=" + scriptNumber(row.data.marital) + ";document.form1.marrystatus.selectedIndex=a;", "",
                                    "\r\n//--></script></TD>")},
       {"label2", required("民　　族：")},
       {"control2", kSelect({{"name", "Folk"}, {"options", emptyChoice(true) + profile::options(codes::kEthnic, std::nullopt)}}) +
                        indexScript("a=" + scriptNumber(row.data.ethnic) + "-39+1", ";document.form1.Folk.selectedIndex=a;",
                                    "\r\n//--></script> </TD></TR>\r\n")}});
}

// Selects the option of `select` whose value is `a`, scanning from option 1
// to the last; for a province, fills its city select by `fill` and selects
// the city `b` the same way.
constexpr html::Fragment kScanScript =
    "<script language=\"JavaScript\" type=\"text/JavaScript\">\r\n<!--\r\n"
    "var a=\"{{value:js}}\";\r\n"
    "for (cc=1;cc<document.form1.{{select}}.options.length;cc++){\r\n"
    "if (document.form1.{{select}}.options[cc].value==a){document.form1.{{select}}.selectedIndex=cc;break;}\r\n"
    "}\r\n//-->\r\n</script>";
constexpr html::Fragment kPlaceScanScript =
    "<script language=\"JavaScript\" type=\"text/JavaScript\">\r\n<!--\r\n"
    "var a=\"{{province:js}}\";\r\nvar b=\"{{city:js}}\";\r\n"
    "for (cc=1;cc<document.form1.{{p}}.options.length;cc++){\r\n"
    "if (document.form1.{{p}}.options[cc].value==a){document.form1.{{p}}.selectedIndex=cc;\r\n"
    "{{fill}}(form1.{{p}}.options[form1.{{p}}.selectedIndex].value,form1.{{c}});\r\n"
    "for (cc1=1;cc1<document.form1.{{c}}.options.length;cc1++){\r\n"
    "if (document.form1.{{c}}.options[cc1].value==b){document.form1.{{c}}.selectedIndex=cc1;break;}\r\n"
    "}\r\nbreak;}\r\n}\r\n//-->\r\n</script>";

constexpr html::Fragment kCitySelect =
    "<select name=\"{{name}}\" id=\"{{name}}\" size=\"1\">\r\n<option value=\"0\" selected>--请选择--</option>\r\n</select>";

html::Html placeScript(const member::Place& place, std::string_view provinceSelect, std::string_view citySelect,
                       std::string_view fill) {
  return kPlaceScanScript({{"province", place.province},
                           {"city", place.city},
                           {"p", provinceSelect},
                           {"c", citySelect},
                           {"fill", fill}});
}

html::Html regionRow(const ProfileRow& row, const Variant& provinces) {
  return kPairedRow(
      {{"label1", required("籍　　贯：")},
       {"control1", kSelect({{"name", "ancestor"}, {"options", emptyChoice(true) + profile::regionOptions(kQuoted)}}) +
                        kScanScript({{"value", row.data.nativeRegion}, {"select", "ancestor"}})},
       {"label2", required("居 住 地：")},
       {"control2", trusted(provinces) + kCitySelect({{"name", "city"}}) +
                        placeScript(row.data.residence, "province", "city", "changelocation1")}});
}

html::Html educationHouseholdRow(const ProfileRow& row) {
  return kPairedRow(
      {{"label1", required("学　　历：")},
       {"control1", kSelect({{"name", "degree"}, {"options", emptyChoice(true) + profile::options(codes::kEducation, std::nullopt)}}) +
                        indexScript("a=" + scriptNumber(row.data.education) + "-122+1",
                                    ";document.form1.degree.selectedIndex=a;", "\r\n//--></script>")},
       {"label2", required("户　　籍：")},
       {"control2", trusted("<select name=\"province1\" id=\"province1\" size=\"1\" "
                            "onchange=\"changelocation(form1.province1.options[form1.province1.selectedIndex].value,form1.city1)\">\r\n"
                            "<option value=\"0\" selected>--请选择--</option>\r\n") +
                        profile::regionOptions(kQuoted) + trusted("</select>") + kCitySelect({{"name", "city1"}}) +
                        placeScript(row.data.household, "province1", "city1", "changelocation")}});
}

// ---- The paired-row table: occupation to smoking

html::Html occupationRow(const ProfileRow& row) {
  return kPairedRow(
      {{"label1", required("职业类别：")},
       {"control1",
        kSelect({{"name", "job"},
                 {"options",
                  emptyChoice(false) + profile::options(codes::kOccupation, row.text("field"))}})},
       {"label2", "职务职称："},
       {"control2", trusted("<input name=\"dutytype\" type=\"text\" value=\"") +
                        html::escaped(row.text("job")) + trusted("\" maxLength=\"8\">")}});
}

html::Html housingIncomeRow(const ProfileRow& row) {
  return kPairedRow(
      {{"label1", required("住房状况：")},
       {"control1", trusted("<FONT color=#333333>") +
                        kSelect({{"name", "housesta"}, {"options", emptyChoice(true) + profile::options(codes::kHousing, std::nullopt)}}) +
                        trusted("\r\n\t\t\t\t\t\t<script language=\"JavaScript\" type=\"text/JavaScript\">\r\n<!--\r\na=" +
                                scriptNumber(row.data.housing) +
                                "-205+1\r\n;document.form1.housesta.selectedIndex=a;\r\n//--></script> </FONT>")},
       {"label2", required("年总收入：")},
       {"control2", kSelect({{"name", "income"}, {"options", emptyChoice(false) + profile::options(codes::kIncome, row.pay.income)}}) +
                        kSelect({{"name", "incomeopen"}, {"options", profile::options(codes::kIncomeVisibility, row.pay.visibility)}})}});
}

html::Html starMobileRow(const ProfileRow& row) {
  return kPairedRow(
      {{"label1", "星　　座："},
       {"control1", trusted("<select name=\"constel\">\r\n<option value=\"\">未填</option>\r\n") +
                        profile::options(codes::kConstellation, row.text("star"),
                                         {.quote = Quote::Double, .lowerCase = true}) +
                        trusted("</select>")},
       {"label2", "手　　机："},
       {"control2", trusted("<input name=\"Mobile\" type=\"text\" size=\"14\" value=") +
                        profile::bareAttribute(row.mobile.number) +
                        trusted(">\r\n<SELECT  name=tel_ropen>\r\n") +
                        profile::options(codes::kMobileFlag, profile::mobileFlag(row.mobile),
                                         {.mark = " selected "}) +
                        trusted("</SELECT>")}});
}

constexpr html::Fragment kHabitInput =
    "<input name=\"{{name}}\" type=\"text\" class=\"tx\" id=\"{{id}}\" style=\"FONT-SIZE: 9pt\" value=\"{{value}}\" "
    "size=\"{{size}}\" maxlength=\"30\">";

html::Html habitsRow(const ProfileRow& row) {
  return kPairedRow(
      {{"label1", "饮酒习惯："},
       {"control1",
        kHabitInput(
            {{"name", "drink"}, {"id", "drink2"}, {"value", row.text("drink")}, {"size", 15}})},
       {"label2", "吸烟习惯："},
       {"control2", kHabitInput({{"name", "smoking"},
                                 {"id", "smoking"},
                                 {"value", row.text("smoking")},
                                 {"size", 21}})}});
}

// ---- Recovery question, partner criteria, contact, self-introduction, submit

constexpr std::string_view kRecoveryTableStart =
    "</table>\r\n<br>\r\n<table width=\"641\" border=\"1\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" "
    "bordercolor=\"#FFFFFF\">\r\n";

constexpr html::Fragment kTextInput =
    "<input name=\"{{name}}\" type=\"text\"{{id}} value=\"{{value}}\" maxlength=\"{{max}}\"{{size}}>";

html::Html recoveryRows(const ProfileRow& row) {
  html::Html out = kRow({{"label", required("取 密 码 问 题：")},
                         {"control", kTextInput({{"name", "question"},
                                                 {"id", ""},
                                                 {"value", row.text("pass")},
                                                 {"max", 10},
                                                 {"size", ""}})}});
  out += kRow({{"label", required("取密码问题答案：")},
               {"control", kTextInput({{"name", "answer"},
                                       {"id", ""},
                                       {"value", row.text("passask")},
                                       {"max", 10},
                                       {"size", ""}})}});
  return out;
}

html::Html partnerRows(const ProfileRow& row) {
  html::Html out = kHeadingRow({{"span", 2}, {"title", "意中人标准"}});
  for (const profile::PartnerRange& r : profile::partnerRanges(row, kQuoted)) {
    // The upper height and education selects mark their empty choice as well.
    const bool emptyMarked = r.to != "ageto";
    out += kRow({{"label", required(r.label)},
                 {"control", trusted("从") + kSelect({{"name", r.from}, {"options", emptyChoice(false) + r.fromOptions}}) +
                                 trusted(r.between) +
                                 kSelect({{"name", r.to}, {"options", emptyChoice(emptyMarked) + r.toOptions}}) +
                                 trusted(r.after)}});
  }
  out += trusted("</table>\r\n");
  return out;
}

constexpr html::Fragment kContactRow =
    "  <tr>\r\n    <td width=\"20%\" height=\"30\" align=\"right\"><font color=\"#585858\">{{label}}</font></td>\r\n"
    "    <td>{{input}}</td>\r\n  </tr>\r\n";

html::Html contactBlock(const ProfileRow& row) {
  html::Html out = trusted("<table width=\"90%\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\">\r\n") +
                   kHeadingRow({{"span", 2}, {"title", "联系方式"}});
  for (const profile::ContactInput& input : profile::contactInputs(row)) {
    out += kContactRow({{"label", input.label},
                        {"input", kTextInput({{"name", input.name},
                                              {"id", trusted(" id=\"" + std::string(input.name) + "\"")},
                                              {"value", input.value},
                                              {"max", input.max},
                                              {"size", trusted(" size=\"" + std::to_string(input.size) + "\"")}})}});
  }
  out += trusted("</table>\r\n");
  return out;
}

constexpr html::Fragment kIntroductionAndSubmit =
    "<table width=\"637\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\">\r\n"
    "  <tr>\r\n    <td height=\"30\"><font color=\"#ff6600\">*</font> <b>个人独白</b></td>\r\n  </tr>\r\n"
    "  <tr>\r\n    <td><table width=\"100%\" border=\"1\" cellpadding=\"0\" cellspacing=\"0\">\r\n"
    "      <tr>\r\n        <td><textarea name=\"intro\" rows=\"8\" cols=\"80\">{{intro}}</textarea></td>\r\n"
    "      </tr>\r\n    </table></td>\r\n  </tr>\r\n</table>\r\n"
    "<table width=\"548\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\">\r\n"
    "  <tr>\r\n    <td>&nbsp;</td>\r\n  </tr>\r\n"
    "  <tr>\r\n    <td><table width=\"100%\" border=\"0\" cellspacing=\"10\" cellpadding=\"0\">\r\n"
    "      <tr>\r\n        <td align=\"center\"><input type=\"hidden\" name=\"sign\">"
    "<input type=\"submit\" class=\"button\" name=\"Submit\" value=\"提交\"></td>\r\n"
    "      </tr>\r\n    </table></td>\r\n  </tr>\r\n</table>\r\n"
    "</FORM>\t\r\n<div align=\"left\"></div>\r\n</body>\r\n</html>\r\n";

// The form's pieces in page order. `result` holds the page built so far
// after each, so that a failure returns what was built.
void writeForm(zurva& z, const ProfileRow& row, Variant& result, const Variant& SqlLocalName,
               const Variant& SqlUserName, const Variant& SqlPassword,
               const Variant& SqlDatabaseName) {
  std::string page;
  const auto add = [&](const html::Html& piece) {
    page += piece.str();
    result = page;
  };
  add(trusted(kFormStart));
  add(accountRows(row));
  add(nameRow(row));
  add(trusted(kPairedTableStart));
  add(identityRows(row));
  add(bodyRows(row));
  add(backgroundRow(row));
  add(regionRow(row, z.citymenu(SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName,
                                profile::kResidenceChange, "--请选择--", "province")));
  add(educationHouseholdRow(row));
  add(occupationRow(row));
  add(housingIncomeRow(row));
  add(starMobileRow(row));
  add(habitsRow(row));
  add(trusted(kRecoveryTableStart));
  add(recoveryRows(row));
  add(partnerRows(row));
  add(contactBlock(row));
  add(kIntroductionAndSubmit({{"intro", row.text("aboutus")}}));
}

}  // namespace

Variant zurva::admin_editinfo(const Variant& SqlLocalName, const Variant& SqlUserName,
                              const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return logged([&](Variant& result) {
    // The form shows the member's recovery answer: only an administrator
    // may see it.
    if (!Viewer(Request()).isAdministrator()) {
      Msg("非法操作", "-2", 2);
      return;
    }

    // A failed open makes the error text the result and ends the response;
    // the method still returns normally.
    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;

    // The member number is checked, and the row read, before any text is
    // built: a request that names no member gets a message, not a page cut
    // off after its first rows.
    const std::optional<std::int32_t> userid = numbers::guarded(Request()("userid"));
    if (!userid) {
      Msg("请求错误！", "-1", 1);
      return;
    }
    const std::optional<ProfileRow> found = profile::readProfileRow(
        conn, sql::statement("select * from [zurva_user] where userid={}", *userid));
    if (!found) {
      Msg("请求错误！", "-1", 1);
      return;
    }
    writeForm(*this, *found, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
  });
}

}  // namespace zurvafun

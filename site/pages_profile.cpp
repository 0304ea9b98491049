// The profile pages: the member's own edit form ("/editinfo.asp") and its
// save page ("/regsubmit.asp", where the form's "regsubmit.html" lands), the
// sample self-introduction the form links to ("/lw.asp"), and the
// registration ("/reg.asp": the form, and its handler when posted).
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/html.h"
#include "framework/zurva.h"
#include "model/code_tables.h"
#include "model/regions.h"
#include "profile/form_fields.h"
#include "site/pages.h"
#include "site/profile_pages.h"
#include "site/profile_store.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

PageLayout formFrame(std::string_view title) {
  return {.title = title, .cityTable = CityTable::Inline, .scripts = {"/js/profile.js"}};
}

namespace {

void editPage(serve::PageContext& p) {
  zurva z;
  SitePage page(z, p, formFrame("修改个人资料"));
  if (eq(p.Request.QueryString("saved"), "1")) page.note("您的资料已保存。", "bg_l");
  z.umod1_editinfo(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  page.end();
}

// A refused save or registration: the error box of its code, or its message.
void writeRefusal(zurva& z, serve::PageContext& p, const ProfileRejected& refused) {
  if (refused.code() != 0) {
    p.Response.Write(z.showerro(Variant(refused.code())).str());
  } else {
    p.Response.Write(errorBox(z, "注册错误", refused.what()));
  }
}

// The member's save page: the registration checks, then the member's row.
void savePage(serve::PageContext& p) {
  zurva z;
  requireSitePost(z, p);
  // A guest, or a cookie whose member number is no 32-bit number, is refused.
  const long userid = loggedInMember(p).value_or(0);
  if (userid == 0) z.Msg("非法操作", "-2", 2);
  Variant code;
  z.erroo(code);  // a value holding an illegal word ends the request here
  if (ne(code, 0)) {
    SitePage page(z, p, formFrame("修改个人资料"));
    p.Response.Write(z.showerro(code).str());
    page.end();
    return;
  }
  try {
    db::Connection conn = openDatabase(p);
    saveProfile(conn, userid, p.Request.Form, Editor::Member, "");
  } catch (const ProfileRejected& refused) {
    SitePage page(z, p, formFrame("修改个人资料"));
    writeRefusal(z, p, refused);
    page.end();
    return;
  }
  p.Response.Redirect("/editinfo.asp?saved=1");
}

void sampleIntroduction(serve::PageContext& p) {
  zurva z;
  notePage(z, p, {.title = "个人独白例文", .frame = Frame::Window},
           "我是一个性格开朗、热爱生活的人，平时喜欢读书、旅行和摄影。工作稳定，生活规律，周末常和朋友去郊外走走。"
           "希望找到一位善良真诚、有责任心的另一半，一起经营温暖的小家。");
}

// ---- Registration

using Posted = const host::ValueCollection&;

std::string posted(Posted form, const char* name) { return form(name).str(); }

constexpr html::Fragment kInput =
    R"(<input type="{{type}}" name="{{name}}" size="{{size}}" value="{{value}}">)";
constexpr html::Fragment kOption = R"(<option value="{{value}}"{{selected}}>{{value}}</option>)";
constexpr html::Fragment kIntro =
    R"(<textarea name="intro" rows="6" cols="60">{{intro}}</textarea>)";

std::string input(Posted form, const char* name, const char* type = "text", int size = 30) {
  const bool keep = std::string_view(type) != "password";
  return kInput({{"type", type},
                 {"name", name},
                 {"size", size},
                 {"value", keep ? posted(form, name) : ""}})
      .str();
}

// An option whose value is its text, selected when `selected`.
void appendOption(std::string& out, std::string_view value, bool selected) {
  kOption.appendTo(out,
                   {{"value", value}, {"selected", html::trusted(selected ? " selected" : "")}});
}

std::string select(const char* name, const html::Html& options, const char* first = "请选择--") {
  static constexpr html::Fragment kSelect =
      R"(<select name="{{name}}"><option value="">{{first}}</option>{{options}}</select>)";
  return kSelect({{"name", name}, {"first", first}, {"options", options}}).str();
}

std::string codeSelect(Posted form, const char* name, codes::Table table) {
  return select(name, profile::options(table, posted(form, name)));
}

std::string numberSelect(Posted form, const char* name, int first, int last) {
  return select(name, profile::numberOptions(first, last, posted(form, name)));
}

// An option for each province, `chosen` selected.
std::string provinceOptions(const std::string& chosen) {
  std::string options;
  for (std::string_view name : regions::kProvinces) appendOption(options, name, name == chosen);
  return options;
}

// A province select and its city select; a posted province brings its cities.
std::string placeSelects(Posted form, const char* province, const char* city, const char* change) {
  static constexpr html::Fragment kPlaceSelects =
      R"~(<select name="{{province}}" onchange="{{change}}(this.value,form1.{{city}})"><option value="0">--请选择--</option>{{provinces}})~"
      R"(</select><select name="{{city}}"><option value="0">--请选择--</option>{{cities}}</select>)";
  const std::string chosen = posted(form, province);
  std::string cities;
  for (std::size_t i : regions::citiesOf(chosen)) {
    const std::string name(regions::kCities[i].city);
    appendOption(cities, name, name == posted(form, city));
  }
  return kPlaceSelects({{"province", province},
                        {"change", change},
                        {"city", city},
                        {"provinces", html::trusted(provinceOptions(chosen))},
                        {"cities", html::trusted(cities)}})
      .str();
}

// The registration form, filled with what was posted.
void writeRegistrationForm(serve::PageContext& p) {
  Posted f = p.Request.Form;
  const std::vector<std::pair<const char*, std::string>> rows = {
      {"注册邮箱（登录名）", input(f, "username")},
      {"会员昵称", input(f, "nickname", "text", 12)},
      {"密码", input(f, "password", "password", 16)},
      {"确认密码", input(f, "password_confirm", "password", 16)},
      {"真实姓名",
       input(f, "name_r", "text", 16) +
           select("name_ropen", profile::options(codes::kVisibility, posted(f, "name_ropen")),
                  "公开方式--")},
      {"证件", codeSelect(f, "SelID", codes::kDocumentType) + input(f, "IDNo", "text", 20)},
      {"性别", codeSelect(f, "sex", codes::kSex)},
      {"出生年份", numberSelect(f, "birthyear", latestBirthYear(), codes::kEarliestBirthYear)},
      {"身高 / 体重",
       numberSelect(f, "height", codes::kLowestHeight, codes::kHighestHeight) + "cm " +
           numberSelect(f, "weight", codes::kLowestWeight, codes::kHighestWeight) + "kg"},
      {"体形 / 相貌自评",
       codeSelect(f, "Shape", codes::kBodyShape) +
           select("look", profile::options(codes::kLooks, posted(f, "look")), "未填")},
      {"婚姻状况 / 民族",
       codeSelect(f, "marrystatus", codes::kMarital) + codeSelect(f, "Folk", codes::kEthnic)},
      {"籍贯", select("ancestor", html::trusted(provinceOptions(posted(f, "ancestor"))))},
      {"居住地", placeSelects(f, "province", "city", "changelocation1")},
      {"学历", codeSelect(f, "degree", codes::kEducation)},
      {"户籍", placeSelects(f, "province1", "city1", "changelocation")},
      {"职业类别 / 职务职称",
       codeSelect(f, "job", codes::kOccupation) + input(f, "dutytype", "text", 8)},
      {"住房状况", codeSelect(f, "housesta", codes::kHousing)},
      {"年总收入",
       codeSelect(f, "income", codes::kIncome) +
           select("incomeopen", profile::options(codes::kIncomeVisibility, posted(f, "incomeopen")),
                  "公开方式--")},
      {"星座", select("constel",
                      profile::options(codes::kConstellation, posted(f, "constel"),
                                       {.quote = profile::Quote::Double}),
                      "未填")},
      {"手机", input(f, "Mobile", "text", 14) +
                   select("tel_ropen", profile::options(codes::kMobileFlag, posted(f, "tel_ropen")),
                          "公开方式--")},
      {"取密码问题 / 答案", input(f, "question", "text", 10) + input(f, "answer", "text", 10)},
      {"饮酒 / 吸烟习惯", input(f, "drink", "text", 15) + input(f, "smoking", "text", 15)},
      {"意中人年龄",
       numberSelect(f, "agefrom", codes::kYoungestPartner, codes::kOldestPartner) + "岁到" +
           numberSelect(f, "ageto", codes::kYoungestPartner, codes::kOldestPartner) + "岁"},
      {"意中人身高",
       numberSelect(f, "heightfrom", codes::kShortestPartner, codes::kTallestPartner) + "CM到" +
           numberSelect(f, "heightto", codes::kShortestPartner, codes::kTallestPartner) + "cm"},
      {"意中人学历", codeSelect(f, "degreefrom", codes::kEducation) + "到" +
                         codeSelect(f, "degreeto", codes::kEducation)},
      {"QQ / MSN / EMAIL",
       input(f, "qq", "text", 15) + input(f, "msn", "text", 25) + input(f, "email", "text", 25)},
      {"个人独白（20字以上）", kIntro({{"intro", posted(f, "intro")}}).str()},
  };
  std::string form = "    <form name=\"form1\" method=\"post\" action=\"/reg.asp\" onSubmit=\"return chkform();\">\n"
                     "    <table cellspacing=\"1\" cellpadding=\"4\">\n";
  static constexpr html::Fragment kFormRow =
      "      <tr><td align=\"right\">{{label}}：</td><td>{{control}}</td></tr>\n";
  for (const auto& [label, control] : rows)
    kFormRow.appendTo(form, {{"label", html::trusted(label)}, {"control", html::trusted(control)}});
  form += "      <tr><td>&nbsp;</td><td><input type=\"submit\" value=\"注 册\"></td></tr>\n    </table>\n    </form>\n";
  p.Response.Write(form);
}

void registrationPage(serve::PageContext& p) {
  zurva z;
  const bool posting = !p.Request.Form.keys().empty();
  Variant code;
  if (posting) {
    requireSitePost(z, p);
    z.erroo(code);  // a value holding an illegal word ends the request here
    if (eq(code, 0)) {
      try {
        db::Connection conn = openDatabase(p);
        createMember(conn, p.Request.Form, z.MD5(p.Request.Form("password"), 16).str());
        // The new member logs in with what he just posted; the login sends
        // him on to the member home (through the forum, where there is one).
        z.chklogin(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
        return;
      } catch (const ProfileRejected& refused) {
        SitePage page(z, p, formFrame("会员注册"));
        writeRefusal(z, p, refused);
        writeRegistrationForm(p);
        page.end();
        return;
      }
    }
  }
  SitePage page(z, p, formFrame("会员注册"));
  if (posting) p.Response.Write(z.showerro(code).str());
  writeRegistrationForm(p);
  page.end();
}

}  // namespace

void registerProfilePages(serve::PageRegistry& pages) {
  pages.add("/editinfo.asp", editPage);
  pages.add("/regsubmit.asp", savePage);
  pages.add("/lw.asp", sampleIntroduction);
  pages.add("/reg.asp", registrationPage);
  registerAdministratorPages(pages);
  pages.list("/reg.asp", "会员注册");
  pages.list("/editinfo.asp", "修改个人资料");
  pages.list("/admin/login.asp", "管理员登录（修改会员资料）");
}

}  // namespace zurvafun::site

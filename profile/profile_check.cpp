#include "profile/profile_check.h"

#include <string_view>

#include "framework/numbers.h"
#include "model/code_tables.h"
#include "model/member_columns.h"
#include "model/member_record.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun::profile {

namespace {

[[noreturn]] void reject(const std::string& what, int code = 0) {
  throw ProfileRejected(what, code);
}

std::string text(const Row& row, const char* column) {
  const auto it = row.find(column);
  return it == row.end() ? std::string() : it->second.str();
}

// A posted code that must be one of the table's codes.
std::string code(const host::ValueCollection& form, std::string_view field, codes::Table table,
                 std::string_view what) {
  const std::string value = Trim(form(field).str());
  if (!codes::has(table, value)) reject("请选择" + std::string(what));
  return value;
}

// A posted whole number within [low, high], as text.
std::string number(const host::ValueCollection& form, std::string_view field, int low, int high,
                   std::string_view what) {
  const std::string value = Trim(form(field).str());
  bool digits = !value.empty() && value.size() <= 4;
  for (char c : value) digits = digits && c >= '0' && c <= '9';
  if (!digits || std::stoi(value) < low || std::stoi(value) > high)
    reject("请选择" + std::string(what));
  return std::to_string(std::stoi(value));
}

// Free text of at most `max` characters without "#" (the packed columns'
// separator).
std::string freeText(const host::ValueCollection& form, std::string_view field, long max,
                     std::string_view what) {
  const std::string value = Trim(form(field).str());
  if (Len(value) > max) reject(std::string(what) + "不能超过" + std::to_string(max) + "个字");
  if (value.find('#') != std::string::npos) reject(std::string(what) + "不能含有“#”");
  return value;
}

// A region name (the fixed list), or a province or city of the city table.
std::string place(const host::ValueCollection& form, std::string_view field,
                  std::string_view what) {
  const std::string value = Trim(form(field).str());
  if (value.empty() || value == "0" || value.find('-') != std::string::npos ||
      value.find('#') != std::string::npos || Len(value) > 20)
    reject("请选择" + std::string(what));
  return value;
}

// An optional bound of the partner criteria: "" or a number.
std::string bound(const host::ValueCollection& form, std::string_view field) {
  const std::string value = Trim(form(field).str());
  for (char c : value)
    if (c < '0' || c > '9' || value.size() > 3) reject("意中人标准不正确");
  return value;
}

// The value of a column that the forms post under one of the table's rules.
std::string posted(const host::ValueCollection& form, const member::Column& column) {
  switch (column.rule) {
    case member::Rule::Code: {
      if (column.optional && Trim(form(column.field).str()).empty()) return "";
      return code(form, column.field, *column.codes, column.label);
    }
    case member::Rule::Number:
      return number(form, column.field, column.low, column.high, column.label);
    case member::Rule::FreeText: return freeText(form, column.field, column.high, column.label);
    case member::Rule::None:
    case member::Rule::Custom: break;
  }
  throw std::logic_error("no rule for column " + std::string(column.name));
}

// The label of column `name`.
std::string_view label(std::string_view name) { return member::column(name)->label; }

template <class Build>
std::string packed(Build&& build) {
  try {
    return build();
  } catch (const std::invalid_argument&) {
    reject("资料格式不正确，请检查后重新提交");
  }
}

}  // namespace

int latestBirthYear() { return fromSerial(clockNow()).year - 18; }

Row profileColumns(const host::ValueCollection& form, const std::optional<Row>& stored,
                   Editor editor, const std::string& digest) {
  const bool member = editor == Editor::Member;
  // What the site has verified stays as it is in the member's own form.
  const bool identityLocked = member && stored && text(*stored, "iferro") == "0";
  const bool birthLocked = member && stored && text(*stored, "ok") == "1";
  const auto proofApproved = [&](const char* column) {
    return member && stored && member::isApproved(text(*stored, column));
  };
  const member::UserData storedData = member::readUserData(stored ? text(*stored, "userdata") : "");
  Row c;

  // Identity.
  if (!stored || text(*stored, "nickname").empty() || editor == Editor::Administrator) {
    const std::string nickname = Trim(form("nickname").str());
    if (nickname.empty() || Len(nickname) > 12) reject("会员昵称必须是1-6个汉字或2-12位字符!", 7);
    c["nickname"] = nickname;
  }
  const std::string visibility = code(form, "name_ropen", codes::kVisibility, "姓名的公开方式");
  if (identityLocked) {
    c["name"] = member::readName(text(*stored, "name")).value + visibility;
  } else {
    const std::string name = Trim(form("name_r").str());
    if (name.empty()) reject("姓名不能为空！", 51);
    c["name"] = packed([&] { return member::buildName(name, std::stoi(visibility)); });
    const std::string type = code(form, "SelID", codes::kDocumentType, "证件类型");
    const std::string idno = Trim(form("IDNo").str());
    if (idno.empty()) reject("请输入有效证件！", 15);
    c["idno"] = packed([&] { return member::buildIdNo(idno, std::stoi(type)); });
    c["sex"] = std::stoi(code(form, "sex", codes::kSex, "性别"));
  }

  // userdata, keeping the items the member's form locks.
  member::UserData d;
  // The component's edit forms list the years up to codes::kLatestBirthYear:
  // for a member born later (registered at 18) they offer no year, and a form
  // posted without one keeps the stored year.
  const bool yearNotOffered =
      Trim(form("birthyear").str()).empty() &&
      numbers::digits(std::string_view(storedData.birthYear)).value_or(0) > codes::kLatestBirthYear;
  d.birthYear = birthLocked || yearNotOffered ? storedData.birthYear
                                              : number(form, "birthyear", codes::kEarliestBirthYear,
                                                       latestBirthYear(), "出生年份");
  const std::string looks = Trim(form("look").str());
  d.looks = looks == "0" || looks.empty() ? "0" : code(form, "look", codes::kLooks, "相貌自评");
  d.marital = proofApproved("hyphoto") ? storedData.marital
                                       : code(form, "marrystatus", codes::kMarital, "婚姻状况");
  d.ethnic = code(form, "Folk", codes::kEthnic, "民族");
  d.nativeRegion = place(form, "ancestor", "籍贯");
  d.residence = {place(form, "province", "居住地省份"), place(form, "city", "居住地城市")};
  d.education = proofApproved("xlphoto") ? storedData.education
                                         : code(form, "degree", codes::kEducation, "学历");
  d.household = {place(form, "province1", "户籍省份"), place(form, "city1", "户籍城市")};
  d.housing = code(form, "housesta", codes::kHousing, "住房状况");
  c["userdata"] = packed([&] { return member::buildUserData(d); });

  // The columns posted as they are stored, each by its rule.
  for (const member::Column& column : member::kColumns) {
    const member::Rule rule = column.rule;
    if (rule == member::Rule::Code || rule == member::Rule::Number ||
        rule == member::Rule::FreeText)
      c[std::string(column.name)] = posted(form, column);
  }

  const std::string incomeVisibility =
      code(form, "incomeopen", codes::kIncomeVisibility, "收入的公开方式");
  const std::string income = proofApproved("srphoto")
                                 ? member::readPay(text(*stored, "pay")).income
                                 : code(form, "income", codes::kIncome, label("pay"));
  c["pay"] =
      packed([&] { return member::buildPay(std::stoi(income), std::stoi(incomeVisibility)); });

  const std::string mobile = freeText(form, "Mobile", 20, label("mobile"));
  const std::string flag = code(form, "tel_ropen", codes::kMobileFlag, "手机的公开方式");
  c["mobile"] = packed([&] { return member::buildMobile(mobile, std::stoi(flag)); });

  // The partner criteria are the first three items of the saved search criteria.
  member::Criteria criteria = member::readUserBz(stored ? text(*stored, "userbz") : "");
  criteria.items[member::kAgeRange] =
      member::buildRange(bound(form, "agefrom"), bound(form, "ageto"));
  criteria.items[member::kHeightRange] =
      member::buildRange(bound(form, "heightfrom"), bound(form, "heightto"));
  criteria.items[member::kEducationRange] =
      member::buildRange(bound(form, "degreefrom"), bound(form, "degreeto"));
  // The saved search looks for the other sex, as the advanced search
  // expects: a registration, or a member whose criteria have no sex yet.
  const std::string sex = c.contains("sex") ? c.at("sex").str()
                          : stored          ? text(*stored, "sex")
                                            : "";
  if (criteria.items[member::kSex].empty() && codes::has(codes::kSex, sex))
    criteria.items[member::kSex] = std::to_string(member::oppositeSex(std::stoi(sex)));
  c["userbz"] = packed([&] { return member::buildUserBz(criteria); });

  c["lianxi"] = packed([&] {
    return member::buildLianxi({freeText(form, "qq", 15, "QQ"), freeText(form, "msn", 50, "MSN"),
                                freeText(form, "email", 50, "EMAIL")});
  });
  const std::string intro = form("intro").str();
  if (Len(intro) > 2000) reject("个人独白不能超过2000个汉字,不能小于20个汉字！", 39);
  c["aboutus"] = intro;

  if (!digest.empty()) c["password"] = digest;
  return c;
}

}  // namespace zurvafun::profile

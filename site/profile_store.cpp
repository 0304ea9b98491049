#include "site/profile_store.h"

#include <string_view>

#include "db/db.h"
#include "framework/member_logins.h"
#include "framework/numbers.h"
#include "model/code_tables.h"
#include "model/member_record.h"
#include "model/regions.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun::site {

namespace {

[[noreturn]] void reject(const std::string& what, int code = 0) { throw ProfileRejected(what, code); }

std::string text(const Row& row, const char* column) {
  const auto it = row.find(column);
  return it == row.end() ? std::string() : it->second.str();
}

// A posted code that must be one of the table's codes.
std::string code(const host::ValueCollection& form, const char* field, codes::Table table, const char* what) {
  const std::string value = Trim(form(field).str());
  if (!codes::has(table, value)) reject("请选择" + std::string(what));
  return value;
}

// A posted whole number within [low, high], as text.
std::string number(const host::ValueCollection& form, const char* field, int low, int high, const char* what) {
  const std::string value = Trim(form(field).str());
  bool digits = !value.empty() && value.size() <= 4;
  for (char c : value) digits = digits && c >= '0' && c <= '9';
  if (!digits || std::stoi(value) < low || std::stoi(value) > high) reject("请选择" + std::string(what));
  return std::to_string(std::stoi(value));
}

// Free text of at most `max` characters without "#" (the packed columns'
// separator).
std::string freeText(const host::ValueCollection& form, const char* field, long max, const char* what) {
  const std::string value = Trim(form(field).str());
  if (Len(value) > max) reject(std::string(what) + "不能超过" + std::to_string(max) + "个字");
  if (value.find('#') != std::string::npos) reject(std::string(what) + "不能含有“#”");
  return value;
}

// A region name (the fixed list), or a province or city of the city table.
std::string place(const host::ValueCollection& form, const char* field, const char* what) {
  const std::string value = Trim(form(field).str());
  if (value.empty() || value == "0" || value.find('-') != std::string::npos || value.find('#') != std::string::npos ||
      Len(value) > 20)
    reject("请选择" + std::string(what));
  return value;
}

// An optional bound of the partner criteria: "" or a number.
std::string bound(const host::ValueCollection& form, const char* field) {
  const std::string value = Trim(form(field).str());
  for (char c : value)
    if (c < '0' || c > '9' || value.size() > 3) reject("意中人标准不正确");
  return value;
}

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

Row profileColumns(const host::ValueCollection& form, const std::optional<Row>& stored, Editor editor,
                   const std::string& digest) {
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
  d.marital = proofApproved("hyphoto") ? storedData.marital : code(form, "marrystatus", codes::kMarital, "婚姻状况");
  d.ethnic = code(form, "Folk", codes::kEthnic, "民族");
  d.nativeRegion = place(form, "ancestor", "籍贯");
  d.residence = {place(form, "province", "居住地省份"), place(form, "city", "居住地城市")};
  d.education = proofApproved("xlphoto") ? storedData.education : code(form, "degree", codes::kEducation, "学历");
  d.household = {place(form, "province1", "户籍省份"), place(form, "city1", "户籍城市")};
  d.housing = code(form, "housesta", codes::kHousing, "住房状况");
  c["userdata"] = packed([&] { return member::buildUserData(d); });

  c["height_"] = number(form, "height", codes::kLowestHeight, codes::kHighestHeight, "身高");
  c["weight_"] = number(form, "weight", codes::kLowestWeight, codes::kHighestWeight, "体重");
  c["tx"] = code(form, "Shape", codes::kBodyShape, "体形");
  c["field"] = code(form, "job", codes::kOccupation, "职业类别");
  c["job"] = freeText(form, "dutytype", 8, "职务职称");

  const std::string incomeVisibility = code(form, "incomeopen", codes::kIncomeVisibility, "收入的公开方式");
  const std::string income = proofApproved("srphoto") ? member::readPay(text(*stored, "pay")).income
                                                      : code(form, "income", codes::kIncome, "年总收入");
  c["pay"] = packed([&] { return member::buildPay(std::stoi(income), std::stoi(incomeVisibility)); });

  const std::string star = Trim(form("constel").str());
  if (!star.empty() && !codes::has(codes::kConstellation, star)) reject("请选择星座");
  c["star"] = star;
  const std::string mobile = freeText(form, "Mobile", 20, "手机");
  const std::string flag = code(form, "tel_ropen", codes::kMobileFlag, "手机的公开方式");
  c["mobile"] = packed([&] { return member::buildMobile(mobile, std::stoi(flag)); });
  c["drink"] = freeText(form, "drink", 30, "饮酒习惯");
  c["smoking"] = freeText(form, "smoking", 30, "吸烟习惯");
  c["pass"] = freeText(form, "question", 10, "取密码问题");
  c["passask"] = freeText(form, "answer", 10, "取密码问题答案");

  // The partner criteria are the first three items of the saved search criteria.
  member::Criteria criteria = member::readUserBz(stored ? text(*stored, "userbz") : "");
  criteria.items[member::kAgeRange] = member::buildRange(bound(form, "agefrom"), bound(form, "ageto"));
  criteria.items[member::kHeightRange] = member::buildRange(bound(form, "heightfrom"), bound(form, "heightto"));
  criteria.items[member::kEducationRange] = member::buildRange(bound(form, "degreefrom"), bound(form, "degreeto"));
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

std::optional<Row> memberRow(db::Connection& conn, long userid) {
  db::Recordset rs = conn.Execute("select * from zurva_user where userid=?", {Variant(userid)});
  if (rs.eof()) return std::nullopt;
  Row row;
  for (int i = 0; i < rs.fieldCount(); ++i) row[LCase(rs.fieldName(i))] = rs(i);
  return row;
}

namespace {

// Refuses a value of `column` that another member than `userid` already has.
void requireUnique(db::Connection& conn, const char* column, const Variant& value, long userid, const char* message,
                   int errorCode) {
  const std::string sql = "select count(*) from zurva_user where " + std::string(column) + "=? and userid<>?";
  if (toNumber(conn.Execute(sql, {value, Variant(userid)})(0)) > 0) reject(message, errorCode);
}

void requireUniqueIdentity(db::Connection& conn, const Row& columns, long userid) {
  if (columns.contains("zurvauser"))
    requireUnique(conn, "zurvauser", columns.at("zurvauser"), userid, "注册邮箱重复！", 1);
  if (columns.contains("nickname")) requireUnique(conn, "nickname", columns.at("nickname"), userid, "昵称重复！", 2);
  if (columns.contains("idno")) requireUnique(conn, "idno", columns.at("idno"), userid, "身份证重复！", 3);
}

}  // namespace

void saveProfile(db::Connection& conn, long userid, const host::ValueCollection& form, Editor editor,
                 const std::string& digest) {
  const std::optional<Row> stored = memberRow(conn, userid);
  if (!stored) reject("没有这个会员");
  const Row columns = profileColumns(form, stored, editor, digest);
  requireUniqueIdentity(conn, columns, userid);
  std::string sql = "update zurva_user set ";
  std::vector<Variant> values;
  for (const auto& [column, value] : columns) {
    sql += (values.empty() ? "" : ",") + column + "=?";
    values.push_back(value);
  }
  values.push_back(Variant(userid));
  // A new password ends every login of the member made with the old one.
  conn.transaction([&] {
    conn.ExecuteAction(sql + " where userid=?", values);
    if (!digest.empty()) logins::endLogins(conn, std::int32_t(userid));
  });
}

long createMember(db::Connection& conn, const host::ValueCollection& form, const std::string& digest) {
  Row columns = profileColumns(form, std::nullopt, Editor::Registration, digest);
  columns["zurvauser"] = Trim(form("username").str());
  long userid = 0;
  conn.transaction([&] {
    requireUniqueIdentity(conn, columns, 0);
    userid = long(toNumber(conn.Execute("select isnull(max(userid),0)+1 from zurva_user")(0)));
    std::string names = "userid,ok,grade,trust,addtime", marks = "?,1,1,1,getdate()";
    std::vector<Variant> values{Variant(userid)};
    for (const auto& [column, value] : columns) {
      names += "," + column;
      marks += ",?";
      values.push_back(value);
    }
    conn.ExecuteAction("insert into zurva_user(" + names + ") values(" + marks + ")", values);
    // The forum knows every member by nickname.
    conn.ExecuteAction("insert into dv_user(username) values(?)", {columns.at("nickname")});
  });
  return userid;
}

}  // namespace zurvafun::site

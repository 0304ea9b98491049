#include "search/member_facts.h"

#include <array>
#include <string_view>
#include <utility>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/zurva.h"
#include "host/host.h"
#include "profile/member_record.h"
#include "runtime/text.h"
#include "search/condition.h"

namespace zurvafun::search {

namespace {

using Label = std::pair<std::string_view, std::string_view>;

constexpr std::array<Label, 34> kOccupations{{
    {"152", "学生"},     {"153", "高层管理"}, {"154", "中层干部"}, {"155", "私营业主"}, {"156", "个体业主"},
    {"157", "销售"},     {"158", "市场"},     {"159", "策划"},     {"160", "研发"},     {"161", "技术"},
    {"162", "科研"},     {"163", "设计"},     {"164", "生产采购"}, {"165", "财务"},     {"166", "人事行政"},
    {"168", "文秘助理"}, {"169", "咨询培训"}, {"170", "普通职员"}, {"171", "高级职员"}, {"172", "公务员"},
    {"173", "机关干部"}, {"174", "教师"},     {"179", "军人"},     {"180", "警察"},     {"181", "医生"},
    {"182", "护士"},     {"183", "艺术"},     {"184", "演艺"},     {"185", "记者编辑"}, {"186", "体育"},
    {"187", "律师"},     {"822", "专业人士"}, {"823", "自由职业"}, {"826", "其他职业"},
}};

constexpr std::array<Label, 3> kMarital{{{"1", "   未婚"}, {"2", "    离异"}, {"3", "    丧偶    "}}};

constexpr std::array<Label, 7> kEducation{{
    {"122", "  大专以下"}, {"123", "  大专"}, {"124", " 本科"}, {"125", " 硕士"},
    {"126", " 博士"},      {"127", "         博士后"}, {"128", "  双学士"},
}};

template <std::size_t N>
std::string labelOf(const std::array<Label, N>& table, std::string_view code) {
  for (const auto& [value, label] : table)
    if (value == code) return std::string(label);
  return "";
}

std::string looksText(const std::string& looks) {
  if (looks.empty()) return "";
  if (looks == "0") return "未填";
  if (looks == "f") return "满分";
  return htmlEscape(looks) + "分";
}

std::string ageText(const std::string& birthYear) {
  const Variant year(birthYear);
  if (birthYear.empty() || !IsNumeric(year)) return "";
  const double age = currentYear() - toNumber(year);
  return numberText(age);
}

}  // namespace

std::string columnText(const db::Recordset& rs, const char* column) { return htmlEscape(rs(column).str()); }

MemberFacts memberFacts(const db::Recordset& rs, EducationLabels labels) {
  const std::string userdata = rs("userdata").str();
  const std::vector<std::string> items = Split(userdata, "#");
  auto item = [&](std::size_t i) { return i < items.size() ? items[i] : std::string(); };

  MemberFacts f;
  const std::string sex = rs("sex").str();
  f.sex = sex == "576" ? "绅士" : sex == "577" ? "淑女" : "";
  f.age = ageText(member::birthYearText(userdata));
  f.occupation = labelOf(kOccupations, rs("field").str());
  f.household = htmlEscape(item(7));
  f.marital = labelOf(kMarital, item(2));
  const std::string education = item(6);
  if (labels == EducationLabels::WithDoubleDegree || education != "128") f.education = labelOf(kEducation, education);
  f.height = columnText(rs, "height_");
  f.weight = columnText(rs, "weight_");
  f.looks = looksText(item(1));
  f.nativeRegion = htmlEscape(item(4));
  return f;
}

html::Html personalLine(const MemberFacts& f) {
  return html::trusted(f.sex + "，" + f.age + "(岁)，" + f.occupation);
}

html::Html profileLine(const MemberFacts& f) {
  return html::trusted(f.household + "，" + f.marital + "，" + f.education + "， " + f.height + "cm，" + f.weight + "kg，");
}

html::Html siteLink(zurva& z, std::string url) {
  Variant v = std::move(url);
  return html::trusted(z.showurl(v));
}

std::string preparedIntroduction(zurva& z, const Variant& aboutus) {
  std::string text = host::Server::HTMLEncode(aboutus.str());
  text = Trim(Replace(text, "\r\n", "  "));
  Variant filtered(text);
  z.ChkBadWords(filtered);
  return z.showstr(filtered, 200).str();
}

}  // namespace zurvafun::search

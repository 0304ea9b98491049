#include "search/member_facts.h"

#include <string>
#include <string_view>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/zurva.h"
#include "host/host.h"
#include "model/code_tables.h"
#include "model/member_record.h"
#include "runtime/text.h"
#include "search/condition.h"

namespace zurvafun::search {

namespace {

std::string ageText(const std::string& birthYear) {
  const Variant year(birthYear);
  if (birthYear.empty() || !IsNumeric(year)) return "";
  const double age = currentYear() - toNumber(year);
  return numberText(age);
}

// Item `index` of the "#"-separated profile data, as splitting it on "#"
// gives it; "" past the end.
std::string_view dataItem(std::string_view data, std::size_t index) {
  std::size_t start = 0;
  for (; index > 0; --index) {
    const std::size_t hash = data.find('#', start);
    if (hash == std::string_view::npos) return {};
    start = hash + 1;
  }
  return data.substr(start, data.find('#', start) - start);
}

// A column as text for HTML (Null gives "").
std::string columnText(const db::Recordset& rs, const char* column) { return htmlEscape(rs(column).str()); }

}  // namespace

MemberFacts memberFacts(const db::Recordset& rs, EducationLabels labels) {
  const std::string userdata = rs("userdata").str();
  auto item = [&](std::size_t i) { return dataItem(userdata, i); };

  MemberFacts f;
  const std::string sex = rs("sex").str();
  f.sex = std::string(codes::labelOrEmpty(codes::kSex, sex));
  f.age = ageText(member::birthYearText(userdata));
  f.occupation = std::string(codes::labelOrEmpty(codes::kOccupation, rs("field").str()));
  f.household = htmlEscape(item(7));
  f.marital = std::string(codes::labelOrEmpty(codes::kMaritalPadded, item(2)));
  const std::string_view education = item(6);
  if (labels == EducationLabels::WithDoubleDegree || education != "128")
    f.education = std::string(codes::labelOrEmpty(codes::kEducationResultRow, education));
  f.height = columnText(rs, "height_");
  f.weight = columnText(rs, "weight_");
  f.looks = htmlEscape(codes::looksLabel(item(1)));
  f.nativeRegion = htmlEscape(item(4));
  return f;
}

html::Html personalLine(const MemberFacts& f) {
  return html::trusted(f.sex + "，" + f.age + "(岁)，" + f.occupation);
}

html::Html profileLine(const MemberFacts& f) {
  return html::trusted(f.household + "，" + f.marital + "，" + f.education + "， " + f.height + "cm，" + f.weight + "kg，");
}

std::string preparedIntroduction(zurva& z, const Variant& aboutus) {
  std::string text = host::Server::HTMLEncode(aboutus.str());
  text = Trim(Replace(text, "\r\n", "  "));
  Variant filtered(text);
  z.ChkBadWords(filtered);
  return z.showstr(filtered, 200).str();
}

}  // namespace zurvafun::search

#include "profile/form_fields.h"

#include "db/db.h"
#include "framework/escape.h"
#include "model/member_columns.h"
#include "model/regions.h"

namespace zurvafun::profile {

namespace {

std::string text(const db::Recordset& rs, std::string_view column) { return rs(column).str(); }

bool approved(const db::Recordset& rs, std::string_view column) {
  return member::isApproved(text(rs, column));
}

void appendOption(std::string& out, std::string_view value, std::string_view label, bool marked,
                  const OptionStyle& style) {
  out += style.lowerCase ? "<option value=" : "<OPTION value=";
  const std::string escaped = htmlEscape(value);
  switch (style.quote) {
    case Quote::None: out += bareAttribute(value).str(); break;
    case Quote::Double: out += "\"" + escaped + "\""; break;
    case Quote::Single: out += "'" + escaped + "'"; break;
  }
  if (marked) out += style.mark;
  out += ">";
  out += htmlEscape(label);
  out += style.lowerCase ? "</option>" : "</OPTION>";
}

}  // namespace

ProfileRow readProfileRow(const db::Recordset& rs) {
  ProfileRow row;
  row.userid = rs("userid");
  for (const member::Column& column : member::kColumns)
    if (column.layout == member::Layout::Plain && !column.field.empty())
      row.texts.emplace(column.name, text(rs, column.name));
  row.name = member::readName(text(rs, "name"));
  row.idno = member::readIdNo(text(rs, "idno"));
  row.ok = rs("ok");
  row.iferro = rs("iferro");
  row.data = member::readUserData(text(rs, "userdata"));
  row.pay = member::readPay(text(rs, "pay"));
  row.mobile = member::readMobile(text(rs, "mobile"));
  const member::Criteria criteria = member::readUserBz(text(rs, "userbz"));
  row.ageRange = criteria.range(member::kAgeRange);
  row.heightRange = criteria.range(member::kHeightRange);
  row.educationRange = criteria.range(member::kEducationRange);
  row.contact = member::readLianxi(text(rs, "lianxi"));
  row.maritalProofApproved = approved(rs, "hyphoto");
  row.educationProofApproved = approved(rs, "xlphoto");
  row.incomeProofApproved = approved(rs, "srphoto");
  return row;
}

const std::string& ProfileRow::text(std::string_view column) const {
  static const std::string kNone;
  const auto it = texts.find(column);
  return it == texts.end() ? kNone : it->second;
}

std::optional<ProfileRow> readProfileRow(db::Connection& conn, const sql::Statement& query) {
  db::Recordset rs;
  rs.Open(query, conn, db::adOpenKeyset, db::adLockReadOnly);
  std::optional<ProfileRow> row;
  if (!rs.eof()) row = readProfileRow(rs);
  rs.Close();
  return row;
}

std::string scriptNumber(std::string_view item) {
  if (item.empty()) return "";
  for (char c : item)
    if (c < '0' || c > '9') return "";
  return std::string(item);
}

std::string weightNumber(std::string_view weight) {
  try {
    return std::to_string(CInt(Variant(weight)));
  } catch (const VbError&) {
    return "";
  }
}

std::string visibilityIndex(std::string_view digit) {
  const bool isDigit = digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9';
  return isDigit ? std::to_string(digit[0] - '0' - 1) : "";
}

std::optional<std::string_view> mobileFlag(const member::Mobile& mobile) {
  if (mobile.flag.empty()) return std::nullopt;
  return mobile.flag;
}

std::string looksIndex(std::string_view looks) { return looks == "f" ? "10" : scriptNumber(looks); }

html::Html bareAttribute(std::string_view value) {
  for (char c : value) {
    const bool safe = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      c == '-' || c == '.' || c == '_' || c == '@' || c == '+' ||
                      static_cast<unsigned char>(c) >= 0x80;  // the bytes of non-ASCII characters
    if (!safe) return html::trusted("\"" + htmlEscape(value) + "\"");
  }
  return html::trusted(std::string(value));
}

html::Html options(codes::Table table, std::optional<std::string_view> selected,
                   const OptionStyle& style) {
  std::string out;
  for (const codes::Code& c : table) appendOption(out, c.code, c.label, selected == c.code, style);
  return html::trusted(std::move(out));
}

html::Html numberOptions(int first, int last, std::optional<std::string_view> selected,
                         const OptionStyle& style) {
  std::string out;
  const int step = first <= last ? 1 : -1;
  for (int n = first;; n += step) {
    const std::string number = std::to_string(n);
    appendOption(out, number, number, selected == number, style);
    if (n == last) break;
  }
  return html::trusted(std::move(out));
}

html::Html regionOptions(const OptionStyle& style) {
  std::string out;
  for (std::string_view name : regions::kProvinces) appendOption(out, name, name, false, style);
  return html::trusted(std::move(out));
}

std::vector<PartnerRange> partnerRanges(const ProfileRow& row, const OptionStyle& numberStyle) {
  const auto ages = [&](const std::string& bound) {
    return numberOptions(codes::kYoungestPartner, codes::kOldestPartner, bound, numberStyle);
  };
  const auto heights = [&](const std::string& bound) {
    return numberOptions(codes::kShortestPartner, codes::kTallestPartner, bound, numberStyle);
  };
  std::vector<PartnerRange> ranges;
  ranges.push_back({"年龄：", "agefrom", "岁到", "ageto", "岁", ages(row.ageRange.low), ages(row.ageRange.high)});
  ranges.push_back({"身高：", "heightfrom", "CM到", "heightto", "cm", heights(row.heightRange.low),
                    heights(row.heightRange.high)});
  ranges.push_back({"学历：", "degreefrom", "到", "degreeto", "", options(codes::kEducation, row.educationRange.low),
                    options(codes::kEducation, row.educationRange.high)});
  return ranges;
}

std::vector<ContactInput> contactInputs(const ProfileRow& row) {
  return {{"QQ：", "qq", 15, 15, row.contact.qq},
          {"MSN：", "msn", 50, 40, row.contact.msn},
          {"EMAIL：", "email", 50, 40, row.contact.email}};
}

}  // namespace zurvafun::profile

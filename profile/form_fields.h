// Pieces shared by the profile edit forms (the member's own and the
// administrator's): the member row as the forms read it, option lists marked
// by comparison, and stored values made safe for the place they land.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/html.h"
#include "framework/sql.h"
#include "model/code_tables.h"
#include "model/member_record.h"
#include "runtime/variant.h"

namespace zurvafun {
namespace db {
class Connection;
class Recordset;
}

namespace profile {

// The columns of one zurva_user row that the profile forms show. The
// columns the forms post as they stand (model/member_columns.h) are read as
// text, Null as ""; the packed columns are split with the member record's
// lenient readers, so a short or Null value gives empty items.
struct ProfileRow {
  Variant userid;
  member::Flagged name;  // full name and visibility digit
  member::Flagged idno;  // document number and type digit (trimmed first)
  Variant ok, iferro;
  member::UserData data;
  member::Pay pay;
  member::Mobile mobile;
  member::Range ageRange, heightRange, educationRange;  // userbz items 0 to 2
  member::Contact contact;
  // The text of a column the forms post as it stands ("height_", "tx", …);
  // "" for any other name.
  const std::string& text(std::string_view column) const;
  std::map<std::string, std::string, std::less<>> texts;
  // The proof scans that lock a field once approved (last character "1").
  bool maritalProofApproved = false, educationProofApproved = false, incomeProofApproved = false;
};

// Reads the current row of a "select * from zurva_user" recordset.
ProfileRow readProfileRow(const db::Recordset& rs);
// The member row that `query` (a "select * from zurva_user where userid=…")
// reads, opened read-only; std::nullopt when there is none.
std::optional<ProfileRow> readProfileRow(db::Connection& conn, const sql::Statement& query);

// ---- Stored values where they land

// A stored item written bare into a script expression ("a=1980-…"): the
// item when it is a whole number in decimal digits, else "" (as a missing
// item would be), so that stored text never becomes script.
std::string scriptNumber(std::string_view item);

// The stored weight as the weight select's index script takes it: a 16-bit
// whole number rounded half to even (65.5 gives 66); "" when it is no number.
std::string weightNumber(std::string_view weight);

// The option index of a looks rating: the digit itself, 10 for full marks
// ("f"), "" for anything else.
std::string looksIndex(std::string_view looks);

// The option index of the full name's visibility select: the stored digit
// less one (visibility 1 is the first option); "" when the flag is no single
// digit.
std::string visibilityIndex(std::string_view digit);

// The mobile flag the flag select marks: std::nullopt when the stored mobile
// has no flag item, so that no option is marked.
std::optional<std::string_view> mobileFlag(const member::Mobile& mobile);

// A value for an attribute written without quotes (value=13800000000): as it
// stands when it holds only characters that cannot end the attribute, else
// escaped between double quotes.
html::Html bareAttribute(std::string_view value);

// The onChange script of the residence's province select (citymenu): the
// page's changelocation1 fills the city select.
inline constexpr std::string_view kResidenceChange =
    "changelocation1(form1.province.options[form1.province.selectedIndex].value,form1.city)";

// ---- Option lists

enum class Quote { None, Double, Single };

struct OptionStyle {
  Quote quote = Quote::None;    // around the option's value
  bool lowerCase = false;       // <option> instead of <OPTION>
  std::string_view mark = " selected";  // written before ">" in the matching option
};

// One option per code of `table`, marked where the code equals `selected`
// (nothing marked when it is std::nullopt).
html::Html options(codes::Table table, std::optional<std::string_view> selected,
                   const OptionStyle& style = {});
// One option per number from `first` to `last` (counting down when `first`
// is the larger), value and label the number's decimal text.
html::Html numberOptions(int first, int last, std::optional<std::string_view> selected,
                         const OptionStyle& style = {});
// One option per region name (model/regions.h), value and label the name.
html::Html regionOptions(const OptionStyle& style = {});

// The partner criteria rows both forms show: "从", the lower-bound select,
// the text between, the upper-bound select, the text after; the options of
// each select marked where they equal the stored bound (userbz items 0 to 2).
struct PartnerRange {
  std::string_view label, from, between, to, after;
  html::Html fromOptions, toOptions;
};
std::vector<PartnerRange> partnerRanges(const ProfileRow& row, const OptionStyle& numberStyle);

// The contact inputs both forms show, in their order: label, input name,
// maxlength, size and the stored value.
struct ContactInput {
  std::string_view label, name;
  int max, size;
  const std::string& value;
};
std::vector<ContactInput> contactInputs(const ProfileRow& row);

}  // namespace profile
}  // namespace zurvafun

// The profile code tables: every coded item of the member record with the
// label the profile forms give it, in the order the forms offer the options.
// The member's own form, the administrator's form and the registration pages
// read them from here; the region names are model/regions.h's kProvinces.
// Every page that prints a code's label looks it up here, in these tables or
// in the variants some lists print (below the forms' tables).
//
// Codes are texts: stored codes are compared with them as texts, by exact
// equality (a stored "0186" is not 186).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zurvafun::codes {

struct Code {
  std::string_view code;
  std::string_view label;
};
using Table = std::span<const Code>;

// The label of `code` in `table`, or std::nullopt when the table lacks it.
std::optional<std::string_view> labelOf(Table table, std::string_view code);
// The label of `code`, or "" when the table lacks it (an unknown code shows nothing).
std::string_view labelOrEmpty(Table table, std::string_view code);
// Whether `code` is one of the table's codes.
bool has(Table table, std::string_view code);

// Sex (column sex): 576 绅士, 577 淑女.
extern const Table kSex;
// Visibility digit of name (and, its first three, of pay): 1 完全公开 to 4 完全保密.
extern const Table kVisibility;
// The three visibility digits the income offers.
extern const Table kIncomeVisibility;
// Identity-document type (last digit of idno): 1 身份证, 2 军官证, 3 护照.
extern const Table kDocumentType;
// Body shape (column tx), ten codes.
extern const Table kBodyShape;
// Looks rating (userdata item 1) as the forms offer it: 1分 to 9分 and f 10分
// (the "not given" option 0 / 未填 is each form's own first option).
extern const Table kLooks;
// Marital status (userdata item 2): 1 未婚, 2 离异, 3 丧偶.
extern const Table kMarital;
// Ethnic group (userdata item 3): 39 汉族 to 49 其他民族.
extern const Table kEthnic;
// Education (userdata item 6) as the forms offer it: 122 大专以下 to 127 博士后.
extern const Table kEducation;
// The same with 128 双学士, which is only ever shown (a locked row), never offered.
extern const Table kEducationShown;
// Occupation (column field), 34 codes in the forms' order.
extern const Table kOccupation;
// Housing (userdata item 8): 205 自有房 to 210 住单位房.
extern const Table kHousing;
// Annual income (pay item 0): 222 2万元以下 to 237 100万以上.
extern const Table kIncome;
// Constellation (column star): the name is the stored value and the label.
extern const Table kConstellation;
// Mobile flag (mobile item 1): 1 金卡银卡会员可见, 2 完全保密.
extern const Table kMobileFlag;

// The labels some lists print differently from the forms:
// Marital status with the blanks the profile panel, the member card and the
// search result rows write around it.
extern const Table kMaritalPadded;
// Ethnic group as the profile panel labels it: 39 to 48 (49 has no label there).
extern const Table kEthnicShort;
// The upper bound of the partner's education as the profile panel labels it:
// from 124 on.
extern const Table kEducationFrom124;
// Education with the blanks of the member card (127 after a tab).
extern const Table kEducationCard;
// Education with the blanks of the search result rows.
extern const Table kEducationResultRow;

// The looks self-rating (userdata item 1) as the lists show it: "0" 未填,
// "f" 满分, anything else followed by "分"; "" when no rating is stored.
std::string looksLabel(std::string_view looks);

// The ranges of the numbered selects.
inline constexpr int kLatestBirthYear = 1997;
inline constexpr int kEarliestBirthYear = 1935;
inline constexpr int kLowestHeight = 140, kHighestHeight = 250;
inline constexpr int kLowestWeight = 30, kHighestWeight = 200;
// The partner criteria: wanted age and height.
inline constexpr int kYoungestPartner = 20, kOldestPartner = 70;
inline constexpr int kShortestPartner = 140, kTallestPartner = 200;

}  // namespace zurvafun::codes

// The code-to-label tables of the profile panel and the member card where
// they differ from the edit forms' tables (profile/code_tables.h, which the
// panel reads for every other coded item): the panel labels ethnic group 49
// not at all, the partner criteria's upper education bound from 124 on only,
// and the card pads some labels with blanks. A stored code is compared as
// text, exactly ("39" matches, "039" does not); a code outside a table has no
// label ("").
#pragma once

#include <string>
#include <string_view>

#include "profile/code_tables.h"

namespace zurvafun::members {

struct Label {
  std::string_view code;
  std::string_view text;
};

// The label of `code` in `table`, or "" when the table has none.
template <std::size_t N>
constexpr std::string_view labelOf(const Label (&table)[N], std::string_view code) {
  for (const Label& entry : table)
    if (entry.code == code) return entry.text;
  return {};
}

// The marital labels carry their blanks, as the panel and the card write them.
inline constexpr Label kMaritalStatuses[] = {{"1", "   未婚"}, {"2", "    离异"}, {"3", "    丧偶    "}};

// 39 to 48; the forms' 49 "其他民族" has no label here.
inline constexpr Label kEthnicGroups[] = {
    {"39", "汉族"}, {"40", "藏族"}, {"41", "朝鲜族"}, {"42", "蒙古族"}, {"43", "回族"},
    {"44", "满族"}, {"45", "维吾尔族"}, {"46", "壮族"}, {"47", "彝族"}, {"48", "苗族"}};

// The upper bound of the partner criteria is labelled from 124 on only.
inline constexpr Label kPartnerEducationUpper[] = {
    {"124", "本科"}, {"125", "硕士"}, {"126", "博士"}, {"127", "博士后"}};

// The member card's education labels, with their blanks (127 after a tab).
inline constexpr Label kCardEducations[] = {{"122", "  大专以下"}, {"123", "  大专"},
                                            {"124", " 本科"},      {"128", "  双学士"},
                                            {"125", " 硕士"},      {"126", " 博士"},
                                            {"127", "\t 博士后"}};

// The image number (1 to 12) of a constellation name, in the order of the
// images z1.gif to z12.gif; 0 for any other text.
inline int constellationNumber(std::string_view name) {
  for (std::size_t i = 0; i < codes::kConstellation.size(); ++i)
    if (codes::kConstellation[i].code == name) return int(i) + 1;
  return 0;
}

// The looks rating as the panel and the card show it: "0" 未填, "f" 满分,
// anything else followed by "分" (an empty item gives "分").
inline std::string looksText(std::string_view looks) {
  if (looks == "0") return "未填";
  if (looks == "f") return "满分";
  return std::string(looks) + "分";
}

}  // namespace zurvafun::members

// The code-to-label tables of the profile panel and the member card. They are
// the panel's own: they differ from the edit forms' tables in places (the
// panel labels education 128 "双学士" but not ethnic group 49; the card pads
// some labels with blanks). A stored code is compared as text, exactly ("39"
// matches, "039" does not); a code outside a table has no label ("").
#pragma once

#include <string>
#include <string_view>

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

inline constexpr Label kIdDocumentTypes[] = {{"1", "身份证"}, {"2", "军官证"}, {"3", "护照"}};


inline constexpr Label kBodyShapes[] = {
    {"113", "瘦"},   {"114", "较瘦"}, {"115", "匀称"}, {"867", "苗条"}, {"868", "高挑"},
    {"869", "丰满"}, {"870", "健壮"}, {"877", "魁梧"}, {"878", "较胖"}, {"879", "胖"}};

// The marital labels carry their blanks, as the panel and the card write them.
inline constexpr Label kMaritalStatuses[] = {{"1", "   未婚"}, {"2", "    离异"}, {"3", "    丧偶    "}};

// 39 to 48; the forms' 49 "其他民族" has no label here.
inline constexpr Label kEthnicGroups[] = {
    {"39", "汉族"}, {"40", "藏族"}, {"41", "朝鲜族"}, {"42", "蒙古族"}, {"43", "回族"},
    {"44", "满族"}, {"45", "维吾尔族"}, {"46", "壮族"}, {"47", "彝族"}, {"48", "苗族"}};

// 122 to 128, "双学士" included although the forms never offer it.
inline constexpr Label kEducations[] = {{"122", "大专以下"}, {"123", "大专"}, {"124", "本科"},
                                        {"125", "硕士"},     {"126", "博士"}, {"127", "博士后"},
                                        {"128", "双学士"}};

// The upper bound of the partner criteria is labelled from 124 on only.
inline constexpr Label kPartnerEducationUpper[] = {
    {"124", "本科"}, {"125", "硕士"}, {"126", "博士"}, {"127", "博士后"}};

// The member card's education labels, with their blanks (127 after a tab).
inline constexpr Label kCardEducations[] = {{"122", "  大专以下"}, {"123", "  大专"},
                                            {"124", " 本科"},      {"128", "  双学士"},
                                            {"125", " 硕士"},      {"126", " 博士"},
                                            {"127", "\t 博士后"}};


inline constexpr Label kHousings[] = {{"205", "自有房"},     {"206", "与人合租"},
                                      {"207", "独自租房"},   {"208", "与父母同住"},
                                      {"209", "住亲朋家"},   {"210", "住单位房"}};

inline constexpr Label kIncomes[] = {
    {"222", "2万元以下"}, {"223", "2-3万"},   {"224", "3-4万"},   {"225", "4-5万"},
    {"226", "5-6万"},     {"227", "6-7万"},   {"228", "7-8万"},   {"229", "8-9万"},
    {"230", "9-10万"},    {"231", "10-15万"}, {"232", "15-20万"}, {"233", "20-30万"},
    {"234", "30-40万"},   {"235", "40-50万"}, {"236", "50-100万"}, {"237", "100万以上"}};

// The constellation names in the order of their images z1.gif to z12.gif.
inline constexpr std::string_view kConstellations[] = {"白羊座", "金牛座", "双子座", "巨蟹座",
                                                       "狮子座", "处女座", "天秤座", "天蝎座",
                                                       "射手座", "魔羯座", "水瓶座", "双鱼座"};

// The image number (1 to 12) of a constellation name, 0 for any other text.
constexpr int constellationNumber(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kConstellations); ++i)
    if (kConstellations[i] == name) return int(i) + 1;
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

#include "model/code_tables.h"

#include <array>

namespace zurvafun::codes {

namespace {

constexpr std::array<Code, 2> kSexCodes{{{"576", "绅士"}, {"577", "淑女"}}};

constexpr std::array<Code, 4> kVisibilityCodes{
    {{"1", "完全公开"}, {"2", "金卡银卡会员可见"}, {"3", "好友可见"}, {"4", "完全保密"}}};

constexpr std::array<Code, 3> kDocumentTypeCodes{{{"1", "身份证"}, {"2", "军官证"}, {"3", "护照"}}};

constexpr std::array<Code, 10> kBodyShapeCodes{{{"113", "瘦"},
                                                {"114", "较瘦"},
                                                {"115", "匀称"},
                                                {"867", "苗条"},
                                                {"868", "高挑"},
                                                {"869", "丰满"},
                                                {"870", "健壮"},
                                                {"877", "魁梧"},
                                                {"878", "较胖"},
                                                {"879", "胖"}}};

constexpr std::array<Code, 10> kLooksCodes{{{"1", "1分"},
                                            {"2", "2分"},
                                            {"3", "3分"},
                                            {"4", "4分"},
                                            {"5", "5分"},
                                            {"6", "6分"},
                                            {"7", "7分"},
                                            {"8", "8分"},
                                            {"9", "9分"},
                                            {"f", "10分"}}};

constexpr std::array<Code, 3> kMaritalCodes{{{"1", "未婚"}, {"2", "离异"}, {"3", "丧偶"}}};

constexpr std::array<Code, 11> kEthnicCodes{{{"39", "汉族"},
                                             {"40", "藏族"},
                                             {"41", "朝鲜族"},
                                             {"42", "蒙古族"},
                                             {"43", "回族"},
                                             {"44", "满族"},
                                             {"45", "维吾尔族"},
                                             {"46", "壮族"},
                                             {"47", "彝族"},
                                             {"48", "苗族"},
                                             {"49", "其他民族"}}};

constexpr std::array<Code, 7> kEducationCodes{{{"122", "大专以下"},
                                               {"123", "大专"},
                                               {"124", "本科"},
                                               {"125", "硕士"},
                                               {"126", "博士"},
                                               {"127", "博士后"},
                                               {"128", "双学士"}}};

constexpr std::array<Code, 34> kOccupationCodes{{
    {"152", "学生"},     {"153", "高层管理"}, {"154", "中层干部"}, {"155", "私营业主"},
    {"156", "个体业主"}, {"157", "销售"},     {"158", "市场"},     {"159", "策划"},
    {"160", "研发"},     {"161", "技术"},     {"162", "科研"},     {"163", "设计"},
    {"164", "生产采购"}, {"165", "财务"},     {"166", "人事行政"}, {"168", "文秘助理"},
    {"169", "咨询培训"}, {"170", "普通职员"}, {"171", "高级职员"}, {"172", "公务员"},
    {"173", "机关干部"}, {"174", "教师"},     {"179", "军人"},     {"180", "警察"},
    {"181", "医生"},     {"182", "护士"},     {"183", "艺术"},     {"184", "演艺"},
    {"185", "记者编辑"}, {"186", "体育"},     {"187", "律师"},     {"822", "专业人士"},
    {"823", "自由职业"}, {"826", "其他职业"},
}};

constexpr std::array<Code, 6> kHousingCodes{{{"205", "自有房"},
                                             {"206", "与人合租"},
                                             {"207", "独自租房"},
                                             {"208", "与父母同住"},
                                             {"209", "住亲朋家"},
                                             {"210", "住单位房"}}};

constexpr std::array<Code, 16> kIncomeCodes{{{"222", "2万元以下"},
                                             {"223", "2-3万"},
                                             {"224", "3-4万"},
                                             {"225", "4-5万"},
                                             {"226", "5-6万"},
                                             {"227", "6-7万"},
                                             {"228", "7-8万"},
                                             {"229", "8-9万"},
                                             {"230", "9-10万"},
                                             {"231", "10-15万"},
                                             {"232", "15-20万"},
                                             {"233", "20-30万"},
                                             {"234", "30-40万"},
                                             {"235", "40-50万"},
                                             {"236", "50-100万"},
                                             {"237", "100万以上"}}};

constexpr std::array<Code, 12> kConstellationCodes{{{"白羊座", "白羊座"},
                                                    {"金牛座", "金牛座"},
                                                    {"双子座", "双子座"},
                                                    {"巨蟹座", "巨蟹座"},
                                                    {"狮子座", "狮子座"},
                                                    {"处女座", "处女座"},
                                                    {"天秤座", "天秤座"},
                                                    {"天蝎座", "天蝎座"},
                                                    {"射手座", "射手座"},
                                                    {"魔羯座", "魔羯座"},
                                                    {"水瓶座", "水瓶座"},
                                                    {"双鱼座", "双鱼座"}}};

constexpr std::array<Code, 2> kMobileFlagCodes{{{"1", "金卡银卡会员可见"}, {"2", "完全保密"}}};

constexpr std::array<Code, 3> kMaritalPaddedCodes{
    {{"1", "   未婚"}, {"2", "    离异"}, {"3", "    丧偶    "}}};

constexpr std::array<Code, 7> kEducationCardCodes{{{"122", "  大专以下"},
                                                   {"123", "  大专"},
                                                   {"124", " 本科"},
                                                   {"128", "  双学士"},
                                                   {"125", " 硕士"},
                                                   {"126", " 博士"},
                                                   {"127", "\t 博士后"}}};

constexpr std::array<Code, 7> kEducationResultRowCodes{{{"122", "  大专以下"},
                                                        {"123", "  大专"},
                                                        {"124", " 本科"},
                                                        {"125", " 硕士"},
                                                        {"126", " 博士"},
                                                        {"127", "         博士后"},
                                                        {"128", "  双学士"}}};

}  // namespace

const Table kSex{kSexCodes};
const Table kVisibility{kVisibilityCodes};
const Table kIncomeVisibility{Table(kVisibilityCodes).first(3)};
const Table kDocumentType{kDocumentTypeCodes};
const Table kBodyShape{kBodyShapeCodes};
const Table kLooks{kLooksCodes};
const Table kMarital{kMaritalCodes};
const Table kEthnic{kEthnicCodes};
const Table kEducation{Table(kEducationCodes).first(6)};
const Table kEducationShown{kEducationCodes};
const Table kOccupation{kOccupationCodes};
const Table kHousing{kHousingCodes};
const Table kIncome{kIncomeCodes};
const Table kConstellation{kConstellationCodes};
const Table kMobileFlag{kMobileFlagCodes};
const Table kMaritalPadded{kMaritalPaddedCodes};
const Table kEthnicShort{Table(kEthnicCodes).first(10)};
const Table kEducationFrom124{Table(kEducationCodes).subspan(2, 4)};
const Table kEducationCard{kEducationCardCodes};
const Table kEducationResultRow{kEducationResultRowCodes};

std::optional<std::string_view> labelOf(Table table, std::string_view code) {
  for (const Code& c : table)
    if (c.code == code) return c.label;
  return std::nullopt;
}

bool has(Table table, std::string_view code) { return labelOf(table, code).has_value(); }

std::string_view labelOrEmpty(Table table, std::string_view code) {
  return labelOf(table, code).value_or(std::string_view());
}

std::string looksLabel(std::string_view looks) {
  if (looks.empty()) return "";  // no rating stored
  if (looks == "0") return "未填";
  if (looks == "f") return "满分";
  return std::string(looks) + "分";
}

}  // namespace zurvafun::codes

#include "model/member_columns.h"

#include <array>

namespace zurvafun::member {

namespace {

using K = Kind;
using L = Layout;
using R = Rule;

// Declared types follow the original server's so that values come back typed:
// whole numbers and flags INTEGER, amounts MONEY (exact, halves such as 7.5
// included), dates DATETIME, text VARCHAR/TEXT. Codes that the statements
// compare in quotes (field, tx, height_, weight_, star) are text, as the
// member record stores them.
//
// The last five columns came later: cookiever is the number a member cookie
// must carry (a logout, a password change or a lock raises it), remembertoken
// the SHA-256 of the member's remember-me token (Null: none); ud_birthyear,
// ud_province and ud_city are derived from userdata so that conditions on
// them are index ranges: the birth year when its text converts to a whole
// number (Null when it does not), and the place of residence
// ("province-city", item 5) as the member record reads it.
constexpr auto kTable = std::to_array<Column>({
    {.name = "userid", .kind = K::Key, .label = "会员号"},
    {.name = "zurvauser",
     .kind = K::Text,
     .size = 50,
     .label = "注册邮箱",
     .field = "username",
     .rule = R::Custom},
    {.name = "password", .kind = K::Text, .size = 32, .label = "密码", .rule = R::Custom},
    {.name = "nickname",
     .kind = K::Text,
     .size = 50,
     .label = "会员昵称",
     .field = "nickname",
     .rule = R::Custom},
    {.name = "name",
     .kind = K::Text,
     .size = 50,
     .layout = L::Name,
     .label = "姓名",
     .field = "name_r",
     .rule = R::Custom},
    {.name = "idno",
     .kind = K::Text,
     .size = 50,
     .layout = L::IdNo,
     .label = "证件",
     .field = "IDNo",
     .rule = R::Custom},
    {.name = "sex",
     .kind = K::Whole,
     .label = "性别",
     .field = "sex",
     .rule = R::Custom,
     .codes = &codes::kSex},
    {.name = "ok", .kind = K::Whole, .defaultValue = "0"},
    {.name = "iferro", .kind = K::Whole, .defaultValue = "0"},
    {.name = "ifclose", .kind = K::Whole, .defaultValue = "0"},
    {.name = "ifdel", .kind = K::Whole, .defaultValue = "0"},
    {.name = "grade", .kind = K::Whole, .defaultValue = "1"},
    {.name = "trust", .kind = K::Whole, .defaultValue = "0"},
    {.name = "online", .kind = K::Whole, .defaultValue = "0"},
    {.name = "ifphotolook", .kind = K::Whole, .defaultValue = "1"},
    {.name = "userdata",
     .kind = K::Text,
     .size = 255,
     .layout = L::UserData,
     .label = "个人资料",
     .rule = R::Custom},
    {.name = "tx",
     .kind = K::Text,
     .size = 10,
     .label = "体形",
     .field = "Shape",
     .rule = R::Code,
     .codes = &codes::kBodyShape},
    {.name = "height_",
     .kind = K::Text,
     .size = 10,
     .label = "身高",
     .field = "height",
     .rule = R::Number,
     .low = codes::kLowestHeight,
     .high = codes::kHighestHeight},
    {.name = "weight_",
     .kind = K::Text,
     .size = 10,
     .label = "体重",
     .field = "weight",
     .rule = R::Number,
     .low = codes::kLowestWeight,
     .high = codes::kHighestWeight},
    {.name = "field",
     .kind = K::Text,
     .size = 10,
     .label = "职业类别",
     .field = "job",
     .rule = R::Code,
     .codes = &codes::kOccupation},
    {.name = "job",
     .kind = K::Text,
     .size = 50,
     .label = "职务职称",
     .field = "dutytype",
     .rule = R::FreeText,
     .high = 8},
    {.name = "pay",
     .kind = K::Text,
     .size = 10,
     .layout = L::Pay,
     .label = "年总收入",
     .field = "income",
     .rule = R::Custom,
     .codes = &codes::kIncome},
    {.name = "star",
     .kind = K::Text,
     .size = 10,
     .label = "星座",
     .field = "constel",
     .rule = R::Code,
     .codes = &codes::kConstellation,
     .optional = true},
    {.name = "mobile",
     .kind = K::Text,
     .size = 50,
     .layout = L::Mobile,
     .label = "手机",
     .field = "Mobile",
     .rule = R::Custom},
    {.name = "drink",
     .kind = K::Text,
     .size = 50,
     .label = "饮酒习惯",
     .field = "drink",
     .rule = R::FreeText,
     .high = 30},
    {.name = "smoking",
     .kind = K::Text,
     .size = 50,
     .label = "吸烟习惯",
     .field = "smoking",
     .rule = R::FreeText,
     .high = 30},
    {.name = "pass",
     .kind = K::Text,
     .size = 50,
     .label = "取密码问题",
     .field = "question",
     .rule = R::FreeText,
     .high = 10},
    {.name = "passask",
     .kind = K::Text,
     .size = 50,
     .label = "取密码问题答案",
     .field = "answer",
     .rule = R::FreeText,
     .high = 10},
    {.name = "lianxi",
     .kind = K::Text,
     .size = 255,
     .layout = L::Lianxi,
     .label = "联系方式",
     .rule = R::Custom},
    {.name = "aboutus",
     .kind = K::LongText,
     .label = "个人独白",
     .field = "intro",
     .rule = R::Custom},
    {.name = "userbz",
     .kind = K::Text,
     .size = 255,
     .layout = L::UserBz,
     .label = "意中人标准",
     .rule = R::Custom},
    {.name = "nosou", .kind = K::LongText, .layout = L::Nosou},
    {.name = "photo", .kind = K::LongText, .layout = L::PhotoList},
    {.name = "smallphoto", .kind = K::Text, .size = 100, .layout = L::Photo},
    {.name = "sfphoto", .kind = K::Text, .size = 100, .layout = L::Photo},
    {.name = "hyphoto", .kind = K::Text, .size = 100, .layout = L::Photo},
    {.name = "srphoto", .kind = K::Text, .size = 100, .layout = L::Photo},
    {.name = "xlphoto", .kind = K::Text, .size = 100, .layout = L::Photo},
    {.name = "emoney", .kind = K::Money, .defaultValue = "0"},
    {.name = "tuijian", .kind = K::Whole, .defaultValue = "0"},
    {.name = "iflianxi", .kind = K::Whole},
    {.name = "moneytime", .kind = K::Date},
    {.name = "citymoney", .kind = K::Money, .defaultValue = "0"},
    {.name = "nextcitymoney", .kind = K::Money, .defaultValue = "0"},
    {.name = "maincity", .kind = K::Text, .size = 10},
    {.name = "nextcity", .kind = K::Text, .size = 100},
    {.name = "wholook", .kind = K::Text, .size = 50},
    {.name = "logins", .kind = K::Whole},
    {.name = "loginip", .kind = K::Text, .size = 50},
    {.name = "lasttime", .kind = K::Date},
    {.name = "addtime", .kind = K::Date},
    {.name = "cookiever", .kind = K::Whole, .defaultValue = "0", .added = true},
    {.name = "remembertoken", .kind = K::Text, .size = 64, .added = true},
    {.name = "ud_birthyear",
     .kind = K::Whole,
     .added = true,
     .generated = "zv_birthyear(userdata)"},
    {.name = "ud_province",
     .kind = K::Text,
     .size = 50,
     .added = true,
     .generated = "zv_place(userdata,1)"},
    {.name = "ud_city",
     .kind = K::Text,
     .size = 50,
     .added = true,
     .generated = "zv_place(userdata,2)"},
});

}  // namespace

const std::span<const Column> kColumns = kTable;

const Column* column(std::string_view name) {
  for (const Column& c : kTable)
    if (c.name == name) return &c;
  return nullptr;
}

std::string declaration(const Column& column) {
  std::string text;
  switch (column.kind) {
    case Kind::Key: return "INTEGER PRIMARY KEY AUTOINCREMENT";
    case Kind::Whole: text = "INTEGER"; break;
    case Kind::Money: text = "MONEY"; break;
    case Kind::Date: text = "DATETIME"; break;
    case Kind::Text: text = "VARCHAR(" + std::to_string(column.size) + ") COLLATE ZV"; break;
    case Kind::LongText: text = "TEXT COLLATE ZV"; break;
  }
  if (!column.defaultValue.empty()) text += " DEFAULT " + std::string(column.defaultValue);
  if (!column.generated.empty())
    text += " GENERATED ALWAYS AS (" + std::string(column.generated) + ") VIRTUAL";
  return text;
}

}  // namespace zurvafun::member

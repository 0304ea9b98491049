// The check of a posted registration or profile form (erroo) and the error
// box of its codes (showerro), for the site's registration and save pages.
#include <array>
#include <string_view>

#include "framework/site_settings.h"
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

struct ErrorText {
  int code;
  std::string_view message;
};

// The messages of the registration codes (there is no code 46).
constexpr std::array<ErrorText, 50> kErrorTexts{{
    {1, "注册邮箱重复！"},
    {2, "昵称重复！"},
    {3, "身份证重复！"},
    {4, "注册邮箱为空！"},
    {5, "电子邮箱（注：本页输入的第一项）格式不正确！"},
    {6, "昵称含非法字符！"},
    {7, "会员昵称必须是1-6个汉字或2-12位字符!"},
    {8, "真实姓名不能超过8个汉字！"},
    {9, "请输入密码"},
    {10, "密码中不能包含空格符，请重新输入！"},
    {11, "两次输入的密码不相同"},
    {12, "请选择职业类别"},
    {13, "请选择户藉省份城市"},
    {14, "请选择居住地省份城市"},
    {15, "请输入有效证件！"},
    {16, "请选择性别"},
    {17, "请选择出身年份"},
    {18, "请选择身高"},
    {19, "请选择体重"},
    {20, "请选择体形"},
    {21, "请选择婚姻状况"},
    {22, "请选择民族"},
    {23, "请选择祖藉"},
    {24, "请选择学历"},
    {25, "请选择住房状况"},
    {26, "请选择年总收入"},
    {27, "取密码问题不能为空"},
    {28, "取密码问题答案不能为空"},
    {29, "请至少填写一项联系方式！"},
    {30, "QQ号码必须是数字！常见错误原因：在中文全角状态下输入了数字使系统无法识别（正确应在英文状态下输入）。"},
    {31, "MSN格式不正确！常见错误原因1：在中文全角状态下输入了数字或字母，使系统无法识别（正确应在英文状态下输入）。"
         "常见错误原因2：号码前后有多余空格使系统无法识别（应删除号码前后多余的空格）。"},
    {32, "联系方式一栏的EMAIl格式不正确！常见错误原因1：在中文全角状态下输入了数字或字母，使系统无法识别（正确应在英文状态下输入）。"
         "常见错误原因2：号码前后有多余空格使系统无法识别（应删除号码前后多余的空格）。"},
    {33, "请选择意中人年龄范围的起始值"},
    {34, "请选择意中人年龄范围的结束值"},
    {35, "请选择意中人身高范围的起始值"},
    {36, "请选择意中人身高范围的结束值"},
    {37, "请选择意中人学历范围的起始值"},
    {38, "请选择意中人学历范围的结束值"},
    {39, "个人独白不能超过2000个汉字,不能小于20个汉字！"},
    {40, "个人独白中包含非法词语！"},
    {41, "留言字符数量不符合要求！"},
    {42, "电话字符数量不符合要求！"},
    {43, "email字符数量不符合要求！"},
    {44, "email格式不符合要求！"},
    {45, "QQ字符数量不符合要求！"},
    {47, "原因字符数量不符合要求！"},
    {48, "QQ号必须是数字！"},
    {49, "请至少填写一项联系方式！"},
    {50, "手机号格式不符合格式！"},
    {51, "姓名不能为空！"},
}};

// Fields that must not be "" (a field missing from the post counts as ""),
// with their codes, in the order they are checked.
constexpr std::array<std::pair<std::string_view, int>, 13> kRequiredChoices{{
    {"sex", 16},
    {"birthyear", 17},
    {"height", 18},
    {"weight", 19},
    {"Shape", 20},
    {"marrystatus", 21},
    {"Folk", 22},
    {"ancestor", 23},
    {"degree", 24},
    {"housesta", 25},
    {"income", 26},
    {"question", 27},
    {"answer", 28},
}};

// The partner bounds, which must be numbers.
constexpr std::array<std::pair<std::string_view, int>, 6> kPartnerBounds{{
    {"agefrom", 33},
    {"ageto", 34},
    {"heightfrom", 35},
    {"heightto", 36},
    {"degreefrom", 37},
    {"degreeto", 38},
}};

}  // namespace

Variant zurva::erroo(Variant& erro) {
  return logged([&](Variant& result) {
    const host::ValueCollection& form = Request().Form;
    const auto field = [&](std::string_view name) { return form(name); };
    const auto trimmed = [&](std::string_view name) { return Trim(field(name).str()); };
    // Every failing check stores its code: the last failing one decides.
    const auto fails = [&](bool failed, int code) {
      if (failed) erro = code;
    };
    const auto isEmail = [&](const std::string& text) { return CBool(IsValidEmail(Variant(text))); };

    erro = 0;
    fails(!isEmail(trimmed("username")), 5);
    fails(trimmed("username").empty(), 4);
    fails(Len(trimmed("nickname")) > 12, 7);
    fails(Len(trimmed("name_r")) > 16, 8);
    fails(trimmed("password").empty(), 9);
    fails(InStr(field("password").str(), " ") > 0, 10);
    fails(ne(field("password_confirm"), field("password")), 11);
    fails(eq(field("job"), ""), 12);
    const auto unchosen = [&](std::string_view name) { return eq(field(name), "0") || eq(field(name), ""); };
    fails(unchosen("province1") || unchosen("city1"), 13);
    fails(unchosen("province") || unchosen("city"), 14);
    fails(trimmed("IDNo").empty(), 15);
    fails(trimmed("name_r").empty(), 51);
    for (const auto& [name, code] : kRequiredChoices) fails(eq(field(name), ""), code);

    const bool noContact = eq(field("qq"), "") && eq(field("msn"), "") && eq(field("email"), "");
    fails(noContact, 29);
    fails(ne(field("qq"), "") && !IsNumeric(field("qq")), 30);
    fails(ne(field("msn"), "") && !isEmail(field("msn").str()), 31);
    fails(ne(field("email"), "") && !isEmail(field("email").str()), 32);
    fails(noContact, 49);
    for (const auto& [name, code] : kPartnerBounds) fails(!IsNumeric(field(name)), code);
    const long introLength = Len(field("intro").str());
    fails(introLength > 2000 || introLength < 20, 39);
    result = erro;

    // The site's illegal words (lower case), searched in every posted value.
    // An empty item of the list (two commas in a row, or one at either end)
    // is no word: it would be found in every value.
    const std::vector<std::string> words = Split(siteSettings(Application())->wordLists(1), ",");
    for (const std::string& key : form.keys()) {
      const std::string value = LCase(form(key).str());
      for (const std::string& word : words) {
        if (!word.empty() && InStr(value, word) > 0) Msg("非法字符！非法的字符为：" + word, "-1", 2);
      }
    }
  });
}

Variant zurva::showerro(const Variant& erro) {
  return logged([&](Variant& result) {
    for (const ErrorText& e : kErrorTexts) {
      if (eq(erro, e.code)) {
        result = zurva_error(e.code == 41 ? "留言错误" : "注册错误", std::string(e.message));
        return;
      }
    }
  });
}

}  // namespace zurvafun

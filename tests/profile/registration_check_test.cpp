#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/framework/scoped_log.h"
#include "tests/support.h"

namespace zurvafun::testing {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

// A registration form that passes every check.
Fields validForm() {
  return {{"username", "lin@example.com"}, {"nickname", "晓燕"}, {"name_r", "林晓燕"}, {"password", "secret1"},
          {"password_confirm", "secret1"}, {"job", "185"}, {"province1", "北京"}, {"city1", "朝阳区"},
          {"province", "广东"}, {"city", "广州市"}, {"IDNo", "440101199001011234"}, {"sex", "577"},
          {"birthyear", "1990"}, {"height", "165"}, {"weight", "52"}, {"Shape", "870"}, {"marrystatus", "1"},
          {"Folk", "39"}, {"ancestor", "北京"}, {"degree", "124"}, {"housesta", "207"}, {"income", "225"},
          {"question", "我的小学"}, {"answer", "实验小学"}, {"qq", "12345678"}, {"msn", ""}, {"email", ""},
          {"agefrom", "25"}, {"ageto", "35"}, {"heightfrom", "160"}, {"heightto", "175"}, {"degreefrom", "123"},
          {"degreeto", "125"}, {"intro", "我性格开朗，喜欢旅游和摄影，周末常去郊外走走。"}};
}

// `form` with `changes` applied: a changed field keeps its place, a new one
// is added at the end, and a field changed to "<absent>" is left out.
Fields changed(Fields form, const Fields& changes) {
  for (const auto& [name, value] : changes) {
    bool found = false;
    for (auto it = form.begin(); it != form.end(); ++it) {
      if (it->first != name) continue;
      found = true;
      if (value == "<absent>") form.erase(it);
      else it->second = value;
      break;
    }
    if (!found && value != "<absent>") form.emplace_back(name, value);
  }
  return form;
}

std::string chars(int n, const char* c = "字") {
  std::string s;
  for (int i = 0; i < n; ++i) s += c;
  return s;
}

struct Checked {
  Variant result;
  Variant erro;
  std::string body;
  bool ended = false;
};

Checked check(const Fields& form, const std::string& illegalWords = "管理员,admin") {
  host::TestHost h;
  h.application().set("zurva_info", Variant(VariantArray{Variant("词语<><><><><>" + illegalWords + "<><><><><>傻瓜")}));
  for (const auto& [name, value] : form) h.request().Form.add(name, value);
  zurva z;
  Checked c;
  c.erro = "before";
  const long error = errorOf([&] { c.result = z.erroo(c.erro); });
  EXPECT_TRUE(error == 0 || error == RequestEndError) << error;
  c.body = h.response().body();
  c.ended = h.response().ended();
  return c;
}

TEST(RegistrationCheck, AValidFormPasses) {
  const Checked c = check(validForm());
  EXPECT_TRUE(eq(c.result, 0));
  EXPECT_TRUE(eq(c.erro, 0));  // the argument is rewritten
  EXPECT_EQ(c.body, "");
}

TEST(RegistrationCheck, EachRuleGivesItsCode) {
  const struct {
    Fields changes;
    int code;
  } cases[] = {
      {{{"username", "lin@example"}}, 5},
      {{{"username", " lin@example.com "}}, 0},
      {{{"username", ""}}, 4},
      {{{"username", "<absent>"}}, 4},
      {{{"nickname", chars(12, "a")}}, 0},
      {{{"nickname", chars(13, "a")}}, 7},
      {{{"nickname", chars(13)}}, 7},
      {{{"name_r", chars(16)}}, 0},
      {{{"name_r", chars(17)}}, 8},
      {{{"name_r", "  "}}, 51},
      {{{"password", " "}, {"password_confirm", " "}}, 10},
      {{{"password", ""}, {"password_confirm", ""}}, 9},
      {{{"password", "a b"}, {"password_confirm", "a b"}}, 10},
      {{{"password_confirm", "secret2"}}, 11},
      {{{"job", ""}}, 12},
      {{{"job", "<absent>"}}, 12},
      {{{"province1", "0"}}, 13},
      {{{"city1", ""}}, 13},
      {{{"province", "广东"}, {"city", "0"}}, 14},
      {{{"IDNo", " "}}, 15},
      {{{"sex", ""}}, 16},
      {{{"birthyear", ""}}, 17},
      {{{"height", ""}}, 18},
      {{{"weight", ""}}, 19},
      {{{"Shape", ""}}, 20},
      {{{"marrystatus", ""}}, 21},
      {{{"Folk", ""}}, 22},
      {{{"ancestor", ""}}, 23},
      {{{"degree", ""}}, 24},
      {{{"housesta", ""}}, 25},
      {{{"income", "<absent>"}}, 26},
      {{{"question", ""}}, 27},
      {{{"answer", ""}}, 28},
      {{{"qq", "１２３"}}, 30},
      {{{"qq", "12a"}}, 30},
      {{{"msn", "msn@hotmail"}}, 31},
      {{{"msn", "lin@hotmail.com"}}, 0},
      {{{"email", "a@@b.com"}}, 32},
      {{{"qq", ""}}, 49},
      {{{"agefrom", ""}}, 33},
      {{{"agefrom", "<absent>"}}, 0},  // a value that was not posted counts as a number
      {{{"ageto", "x"}}, 34},
      {{{"heightfrom", "高"}}, 35},
      {{{"heightto", ""}}, 36},
      {{{"degreefrom", ""}}, 37},
      {{{"degreeto", ""}}, 38},
      {{{"intro", chars(19)}}, 39},
      {{{"intro", chars(20)}}, 0},
      {{{"intro", chars(2000)}}, 0},
      {{{"intro", chars(2001)}}, 39},
      {{{"intro", "<absent>"}}, 39},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.changes.front().first + "=" + c.changes.front().second.substr(0, 20));
    const Checked result = check(changed(validForm(), c.changes));
    EXPECT_TRUE(eq(result.result, c.code)) << result.result.str();
    EXPECT_TRUE(eq(result.erro, c.code));
  }
}

TEST(RegistrationCheck, TheLastFailingCheckWins) {
  const struct {
    Fields changes;
    int code;
  } cases[] = {
      {{{"username", "nobody"}, {"nickname", chars(20, "a")}}, 7},
      {{{"username", ""}}, 4},  // fails 5 and then 4
      {{{"password_confirm", "other"}, {"job", ""}}, 12},
      {{{"province1", "0"}, {"intro", "短"}}, 39},
      {{{"qq", ""}, {"msn", ""}, {"email", ""}}, 49},
      {{{"qq", ""}, {"agefrom", ""}}, 33},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(eq(check(changed(validForm(), c.changes)).result, c.code)) << c.code;
  }
}

TEST(RegistrationCheck, AnIllegalWordEndsTheRequest) {
  const Checked c = check(changed(validForm(), {{"intro", "我是本站的管理员，欢迎大家来找我聊天交朋友。"}}));
  EXPECT_TRUE(c.ended);
  EXPECT_TRUE(c.result.isEmpty());
  EXPECT_NE(c.body.find("非法字符！非法的字符为：管理员"), std::string::npos);
  EXPECT_NE(c.body.find("onclick=\"history.go(-1)\""), std::string::npos);  // the message box goes back

  // Values are lower-cased first; the words are matched as listed.
  EXPECT_NE(check(changed(validForm(), {{"nickname", "ADMIN小王"}})).body.find("非法的字符为：admin"), std::string::npos);
  // A listed word with capitals can therefore never match.
  EXPECT_FALSE(check(changed(validForm(), {{"nickname", "ADMIN"}}), "ADMIN").ended);
}

TEST(RegistrationCheck, EmptyItemsOfTheWordListMatchNothing) {
  for (const char* list : {"管理员,", ",管理员", "管理员,,admin", ","}) {
    const Checked c = check(validForm(), list);
    EXPECT_FALSE(c.ended) << list;
    EXPECT_TRUE(eq(c.result, 0)) << list;
  }
}

TEST(RegistrationCheck, HostileAndUnusualValuesGetCodesNotCrashes) {
  const Checked outsideGbk = check(changed(validForm(), {{"nickname", "😀😀"}, {"intro", chars(25, "😀")}}));
  EXPECT_TRUE(eq(outsideGbk.result, 0));
  const Checked markup = check(changed(validForm(), {{"qq", "<script>alert(1)</script>"}}));
  EXPECT_TRUE(eq(markup.result, 30));
  EXPECT_EQ(markup.body, "");
  const Checked nothing = check({});
  EXPECT_TRUE(eq(nothing.result, 39));
}

TEST(RegistrationCheck, ErrorBoxesCarryTheCodesMessage) {
  host::TestHost h;
  zurva z;
  const auto box = [&](int code) { return z.showerro(Variant(code)); };
  EXPECT_EQ(box(49).str(), z.zurva_error("注册错误", "请至少填写一项联系方式！").str());
  EXPECT_EQ(box(41).str(), z.zurva_error("留言错误", "留言字符数量不符合要求！").str());
  EXPECT_EQ(box(32).str(),
            z.zurva_error("注册错误",
                          "联系方式一栏的EMAIl格式不正确！常见错误原因1：在中文全角状态下输入了数字或字母，使系统无法识别"
                          "（正确应在英文状态下输入）。常见错误原因2：号码前后有多余空格使系统无法识别（应删除号码前后多余的空格）。")
                .str());
  EXPECT_EQ(box(17).str(), z.zurva_error("注册错误", "请选择出身年份").str());
  EXPECT_EQ(z.showerro(Variant("51")).str(), z.zurva_error("注册错误", "姓名不能为空！").str());
  for (int code : {0, 46, 52, -1}) EXPECT_TRUE(box(code).isEmpty()) << code;
  int known = 0;
  for (int code = 1; code <= 51; ++code) known += box(code).isEmpty() ? 0 : 1;
  EXPECT_EQ(known, 50);
  EXPECT_EQ(h.response().body(), "");
}

}  // namespace
}  // namespace zurvafun::testing

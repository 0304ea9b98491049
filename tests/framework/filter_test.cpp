#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

void fill(host::ValueCollection& collection, const Pairs& pairs) {
  std::string text;
  for (const auto& [key, value] : pairs) {
    collection.add(key, value);
    text += (text.empty() ? "" : "&") + key + "=" + value;
  }
  collection.setText(text);
}

struct FilterCase {
  const char* name;
  Pairs query;
  Pairs form;
  const char* adminName;  // nullptr: no administrator cookie
  const char* refusal;    // the response text; "" when the request passes
};

TEST(FilterTest, KeywordsInRequestValues) {
  const FilterCase cases[] = {
      {"plain values pass", {{"id", "25"}, {"page", "2"}}, {{"nickname", "小明"}}, nullptr, ""},
      {"keyword inside a word (count)", {{"id", "Country"}}, {}, nullptr, "请勿输入非法字符！"},
      {"keyword inside a word (and)", {{"q", "candy"}}, {}, nullptr, "请勿输入非法字符！"},
      {"keyword inside a word (mid)", {{"q", "midnight"}}, {}, nullptr, "请勿输入非法字符！"},
      {"keyword inside a word (char)", {{"q", "chart"}}, {}, nullptr, "请勿输入非法字符！"},
      {"capitals are lowered", {{"q", "SELECT"}}, {}, nullptr, "请勿输入非法字符！"},
      {"key names are not tested", {{"select", "1"}}, {{"delete", "ok"}}, nullptr, ""},
      {"a later query key", {{"id", "1"}, {"q", "1;exec xp"}}, {}, nullptr, "请勿输入非法字符！"},
      {"form hit names the keyword", {}, {{"a", "Country"}}, nullptr, "请勿输入非法字符！count"},
      {"first keyword in list order", {}, {{"a", "insert and"}}, nullptr, "请勿输入非法字符！and"},
      {"form select", {}, {{"a", "1 union select 2"}}, nullptr, "请勿输入非法字符！select"},
      {"equals then or", {}, {{"a", "x'=or'1"}}, nullptr, "请勿输入非法字符！=or"},
      {"equals, blank, or", {}, {{"a", "x= or 1"}}, nullptr, ""},
      {"query hit before form hit",
       {{"q", "update"}},
       {{"a", "select"}},
       nullptr,
       "请勿输入非法字符！"},
      {"administrator: form not tested", {}, {{"a", "select"}}, "admin", ""},
      {"administrator: query still tested", {{"q", "select"}}, {}, "admin", "请勿输入非法字符！"},
      {"empty administrator name exempts nothing",
       {},
       {{"a", "select"}},
       "",
       "请勿输入非法字符！select"},
      {"upload: form not tested", {{"act", "upload"}}, {{"a", "select"}}, nullptr, ""},
      {"Upload does not exempt",
       {{"act", "Upload"}},
       {{"a", "select"}},
       nullptr,
       "请勿输入非法字符！select"},
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    host::TestHost h;
    fill(h.request().QueryString, c.query);
    fill(h.request().Form, c.form);
    if (c.adminName)
      h.request().Cookies.setFromHeader("zurva_admin", std::string("admin_name=") + c.adminName);
    zurva z;  // creation completes either way
    EXPECT_EQ(h.response().body(), c.refusal);
    EXPECT_EQ(h.response().ended(), *c.refusal != '\0');
  }
}

TEST(FilterTest, FormValuesWithoutTheWholeTextAreStillTested) {
  host::TestHost h;
  h.request().Form.add("a", "select");
  zurva z;
  EXPECT_EQ(h.response().body(), "请勿输入非法字符！select");
}

TEST(FilterTest, RefusedInstanceDoesNothingMore) {
  host::TestHost h;
  fill(h.request().QueryString, {{"id", "1 and 1=1"}});
  zurva z;
  ASSERT_TRUE(h.response().ended());
  EXPECT_EQ(testing::errorOf([&] { z.Msg1("hello", "index.html"); }), RequestEndError);
  Variant link = "a.asp";
  EXPECT_EQ(testing::errorOf([&] { z.showurl(link); }), RequestEndError);
  EXPECT_EQ(h.response().body(), "请勿输入非法字符！");
}

TEST(FilterTest, CreationOutsideAHostTestsNothing) { EXPECT_NO_THROW(zurva{}); }

}  // namespace
}  // namespace zurvafun

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "framework/links.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "tests/framework/scoped_log.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

// The application value that carries the URL mode in its fifth "##" field.
Variant skinbaseInfo(const std::string& text) { return Variant(VariantArray{Variant(text)}); }
Variant skinbaseWithMode(const std::string& mode) {
  return skinbaseInfo("skin##default##1##0##" + mode + "##more");
}

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setClock([] { return toSerial({2026, 12, 10, 9, 5, 7}); });
  }
  void TearDown() override { setClock({}); }
  void setMode(const std::string& mode) {
    h.application().set("zurva_skinbase_info", skinbaseWithMode(mode));
  }
  std::string readLog() { return log.text(); }

  ScopedLog log{"link"};
  host::TestHost h;
};

struct LinkCase {
  const char* mode;
  const char* link;
  const char* result;
  const char* argumentAfter;  // nullptr: the argument keeps its value
};

TEST_F(LinkTest, ShowurlInBothModes) {
  const LinkCase cases[] = {
      // Links that pass in every mode.
      {"1", "", "", nullptr},
      {"2", "", "", nullptr},
      {"0", "", "", nullptr},
      {"1", "USERINFO.ASP?ID=25", "USERINFO.ASP?ID=25", nullptr},
      {"2", "USERINFO.ASP?ID=25", "USERINFO.ASP?ID=25", nullptr},
      {"1", "zurva_rasult.asp", "zurva_rasult.asp", nullptr},
      {"1", "zurva_rasult.html", "zurva_rasult.html", nullptr},
      {"2", "zurva_rasult.asp", "zurva_rasult.asp", nullptr},
      {"2", "zurva_rasult.html", "zurva_rasult.html", nullptr},
      // Static links (mode 1).
      {"1", "zurva_rasult.asp?id=25", "id_25_zurva_rasult.html", "zurva_rasult.asp?id=25"},
      {"1", "indexw.html", "indexw.html", nullptr},
      {"1", "news/id_25_userinfo.html", "news/id_25_userinfo.html", nullptr},
      {"1", "/admin/admin_login.asp", "/admin/admin_login.html", nullptr},
      {"1", "news/list.asp", "news/list.html", nullptr},
      {"1", "a.aspx", "a.htmlx", nullptr},
      {"1", "userinfo.asp?id=25", "id_25_userinfo.html", "userinfo.asp?id=25"},
      {"1", "bbs/userinfo.asp?id=25", "id_25_userinfo.html", "bbs/userinfo.asp?id=25"},
      {"1", "p.asp?a=b=c", "a_b_c_p.html", "p.asp?a=b=c"},
      {"1", "news/list.asp?city=bj&page=2", "news/list_city_bj_page_2.html",
       "news/list.asp?city=bj&page=2"},
      {"1", "userinfo.asp?", "userinfo.html", "userinfo.asp"},
      {"1", "userinfo.asp?id=", "userinfo.html", "userinfo.asp"},
      {"1", "list.asp?city=&page=", "list.html", "list.asp"},
      {"1", "list.asp?=5&x", "list.html", "list.asp"},
      {"1", "list.asp?city=bj&page=", "city_bj_list.html", "list.asp?city=bj"},
      {"1", "news/list.asp?city=bj&page=", "city_bj_list.html", "news/list.asp?city=bj"},
      {"1", "list.asp?city=bj&&sort&page=2", "list_city_bj_page_2.html", "list.asp?city=bj&page=2"},
      {"1", "list.asp?page=2&&city=bj", "list_page_2_city_bj.html", "list.asp?page=2&city=bj"},
      {"1", "a.asp?x=1?y=2", "y_2_a.html", "a.asp?y=2"},
      // Dynamic links (any other mode).
      {"2", "userinfo.asp?id=25&x=", "userinfo.asp?id=25&x=", nullptr},
      {"0", "news/list.asp", "news/list.asp", nullptr},
      {"2", "indexw.html", "indexw.asp", nullptr},
      {"2", "news/list.html", "news/list.asp", nullptr},
      {"2", "id_25_userinfo.html", "userinfo.asp?id=25", nullptr},
      {"0", "id_25_userinfo.html", "userinfo.asp?id=25", nullptr},
      {"2", "action_chk_login.html", "login.asp?action=chk", nullptr},
      {"2", "list_city_bj_page_2.html", "list.asp?city=bj&page=2", nullptr},
      {"2", "news/list_city_bj_page_2.html", "news/list.asp?city=bj&page=2", nullptr},
      {"2", "news_list.html", "news.asp?list", nullptr},
      {"2", "a_b_c_d.html", "a.asp?b=c&d", nullptr},
      {"2", "news/id_25_userinfo.html", "userinfo.asp?news/id=25", nullptr},
      // The mode is rounded to a whole number.
      {"1.4", "userinfo.asp?id=25", "id_25_userinfo.html", "userinfo.asp?id=25"},
      {"1.6", "userinfo.asp?id=25", "userinfo.asp?id=25", nullptr},
  };
  for (const LinkCase& c : cases) {
    SCOPED_TRACE(std::string("mode ") + c.mode + ": " + c.link);
    setMode(c.mode);
    zurva z;
    Variant url = c.link;
    EXPECT_EQ(z.showurl(url).str(), c.result);
    EXPECT_EQ(url.str(), c.argumentAfter ? c.argumentAfter : c.link);
  }
  EXPECT_EQ(readLog(), "");
}

TEST_F(LinkTest, ShowurlScriptTails) {
  setMode("1");
  const std::string expr = "'+this.options[this.selectedIndex].value";
  const struct {
    std::string link, result;
  } cases[] = {
      // One item: the page name goes into a new string after the expression.
      {"result.asp?page=" + expr, "page_" + expr + "+'_result.html'"},
      {"bbs/result.asp?page=" + expr + "&x=", "page_" + expr + "+'_result.html'"},
      // An item made only of a script tail, without "=", is kept.
      {"result.asp?" + expr, expr + "+'_result.html'"},
      // Several items: the directory stays, ".html" goes into a new string.
      {"news/list.asp?sex=1&page=" + expr, "news/list_sex_1_page_" + expr + "+'.html'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    zurva z;
    Variant url = c.link;
    EXPECT_EQ(z.showurl(url).str(), c.result);
  }
  zurva z;
  Variant url = "bbs/result.asp?page=" + expr + "&x=";
  z.showurl(url);
  EXPECT_EQ(url.str(), "bbs/result.asp?page=" + expr);
}

TEST_F(LinkTest, ShowurlReadsTheModeAfreshForEveryLink) {
  zurva z;
  setMode("1");
  Variant url = "userinfo.asp";
  EXPECT_EQ(z.showurl(url).str(), "userinfo.html");
  setMode("2");
  EXPECT_EQ(z.showurl(url).str(), "userinfo.asp");
}

TEST_F(LinkTest, BrokenModeSettingGivesEmptyLinksAndOneLogLineEach) {
  const struct {
    Variant setting;
    const char* description;
  } cases[] = {
      {Variant(), "类型不匹配"},                   // missing
      {Variant("a##b##c##d##1"), "类型不匹配"},    // not an array
      {skinbaseInfo("a##b##c##d"), "下标越界"},    // four fields
      {skinbaseInfo(""), "下标越界"},              // no fields
      {skinbaseWithMode("static"), "类型不匹配"},  // not a number
      {skinbaseWithMode("40000"), "溢出"},         // beyond 16 bits
      {Variant(VariantArray{Variant::null()}), "无效使用 Null"},
  };
  std::string expectedLog;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    h.application().set("zurva_skinbase_info", c.setting);
    zurva z;
    Variant url = "userinfo.asp?id=25&x=";
    EXPECT_EQ(z.showurl(url).str(), "");
    EXPECT_EQ(url.str(), "userinfo.asp?id=25&x=");
    Variant plain = "about";
    EXPECT_EQ(z.showurl(plain).str(), "");
    expectedLog +=
        std::string("2026-12-10 09:05:07    \\wwtemp, showurl: ") + c.description + "\r\n";
    expectedLog +=
        std::string("2026-12-10 09:05:07    \\wwtemp, showurl: ") + c.description + "\r\n";
  }
  EXPECT_EQ(readLog(), expectedLog);
}

// A link shape gives for each value what showurl gives for the whole link:
// put in for numbers, its own call for anything else.
TEST_F(LinkTest, LinkShapesGiveWhatShowurlGives) {
  const std::string tail = "'+this.options[this.selectedIndex].value";
  const std::pair<std::string, std::string> shapes[] = {
      {"sendmsg.asp?userid=", ""},
      {"userid_", "_addfriends.html"},
      {"love1.asp?userid=", "&submitok=ww"},
      {"news/list.asp?page=", "&city="},
      {"id_", "_por.html"},
      {"a", ".asp"},
      {"x.as", "p?id=1"},
      {"list.asp?", "=5&x"},
      {"zurva_rasult.asp", ""},
      {"result.asp?sex=", "&page=" + tail},
      {"plain", ""},
  };
  const char* values[] = {"25", "0", "007", "", "-5", "p", "1=2", "1&x=", "9.asp", "\x01"};
  for (const char* mode : {"1", "2"}) {
    setMode(mode);
    zurva z;
    for (const auto& [before, after] : shapes) {
      const SiteLinkShape shape(z, before, after);
      for (const char* value : values) {
        SCOPED_TRACE(std::string("mode ") + mode + ": " + before + "|" + value + "|" + after);
        Variant whole = before + value + after;
        EXPECT_EQ(shape(value).str(), z.showurl(whole).str());
      }
    }
  }
  EXPECT_EQ(readLog(), "");
}

TEST_F(LinkTest, LinkShapesWithABrokenModeSettingLogEachLinkOnce) {
  h.application().set("zurva_skinbase_info", skinbaseInfo("a##b"));
  zurva z;
  const SiteLinkShape shape(z, "sendmsg.asp?userid=", "");
  EXPECT_EQ(readLog(), "");
  EXPECT_EQ(shape("25").str(), "");
  EXPECT_EQ(shape("26").str(), "");
  const std::string line = "2026-12-10 09:05:07    \\wwtemp, showurl: 下标越界\r\n";
  EXPECT_EQ(readLog(), line + line);
}

TEST_F(LinkTest, ShowsqlurlExpandsLinkPlaceholders) {
  setMode("1");
  const struct {
    std::string text, result;
  } cases[] = {
      {"Details: {$userinfo.asp?id=25$} (new)", "Details: id_25_userinfo.html (new)"},
      {"x{$a.asp?id=1$}y$}z", "xid_1_a.htmly"},
      {"{$a.asp$}{$b.asp?id=2$}!", "a.htmlid_2_b.html!"},
      {"see {$userinfo.asp?id=25", "see id_25_userinfo.html"},
      {"no placeholders", "no placeholders"},
      {"", ""},
      {"a{$$}b", "ab"},
      // A "{$" with no link leaves nothing.
      {"a{$", "a"},
      {"a{${$b.asp$}", "ab.html"},
      {std::string(kSiteHostName), ""},
      {std::string(kSiteHostName) + "/", std::string(kSiteHostName) + "/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    zurva z;
    const Variant text = c.text;
    EXPECT_EQ(z.showsqlurl(text).str(), c.result);
    EXPECT_EQ(text.str(), c.text);
  }
  setMode("2");
  zurva z;
  EXPECT_EQ(z.showsqlurl("go {$id_25_userinfo.html$}").str(), "go userinfo.asp?id=25");
}

TEST_F(LinkTest, ShowsqlurlKeepsTheTextWhenALinkFails) {
  zurva z;  // no zurva_skinbase_info
  EXPECT_EQ(z.showsqlurl("a{$x.asp$}b").str(), "ab");
  EXPECT_EQ(readLog(), "2026-12-10 09:05:07    \\wwtemp, showurl: 类型不匹配\r\n");
  EXPECT_EQ(testing::errorOf([&] { z.showsqlurl(Variant::null()); }), 94);
}

TEST_F(LinkTest, ReplaceSkinsSeparatesPlaceholders) {
  const struct {
    const char* skins;
    const char* result;
  } cases[] = {
      {"{$title$}{$menu$}", "&nbsp;{$title$}&nbsp;{$menu$}&nbsp;"},
      {"a{$title$}b", "a{$title$}b"},
      {"a{$title$}{$menu$}b", "a{$title$}&nbsp;{$menu$}b"},
      {"", ""},
      {"{$", "&nbsp;{$"},
      {"$}", "$}&nbsp;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.skins);
    zurva z;
    Variant skins = c.skins;
    EXPECT_EQ(z.replace_skins(skins).str(), c.result);
    EXPECT_EQ(skins.str(), c.result);
  }
}

TEST_F(LinkTest, ShowskinsReturnsItsTextWithoutADatabase) {
  zurva z;
  EXPECT_EQ(z.showskins("{$title$}", "nowhere", "nobody", "", "missing").str(), "{$title$}");
}

TEST_F(LinkTest, EndedResponseStopsEveryLinkMethod) {
  setMode("1");
  zurva z;
  h.response().End();
  Variant url = "a.asp";
  EXPECT_EQ(testing::errorOf([&] { z.showurl(url); }), RequestEndError);
  EXPECT_EQ(testing::errorOf([&] { z.showsqlurl("x"); }), RequestEndError);
  EXPECT_EQ(testing::errorOf([&] { z.replace_skins(url); }), RequestEndError);
  EXPECT_EQ(testing::errorOf([&] { z.showskins("x", "", "", "", ""); }), RequestEndError);
  EXPECT_EQ(readLog(), "");
}

}  // namespace
}  // namespace zurvafun

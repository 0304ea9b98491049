// A database holding one complete member profile (and whatever a test adds),
// the region menu of the settings table, and helpers that run the profile
// forms as a page would and look at what they wrote.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "host/test_host.h"
#include "tests/golden.h"
#include "tests/support_db.h"

namespace zurvafun::testing {

// The columns of a complete profile: a verified woman, every proof pending.
inline std::map<std::string, Variant> completeProfile() {
  return {
      {"zurvauser", "lin@example.com"},
      {"password", "59819a11775936d8"},
      {"nickname", "晓燕"},
      {"name", "林晓燕1"},
      {"idno", "4401011990010112341 "},  // a blank after the type digit is trimmed
      {"sex", 577},
      {"ok", 1},
      {"iferro", 0},
      {"grade", 3},
      {"userdata", "1980#7#1#39#北京#广东-广州市#124#北京-朝阳区#207"},
      {"height_", "165"},
      {"weight_", "52"},
      {"tx", "870"},
      {"field", "185"},
      {"job", "编辑"},
      {"pay", "225#2"},
      {"star", "魔羯座"},
      {"mobile", "13800138000#2"},
      {"drink", "不喝酒"},
      {"smoking", "不吸烟"},
      {"pass", "我的小学"},
      {"passask", "实验小学"},
      {"userbz", "25-35#160-175#123-125#0#0#0#576#0-0#-#0#-#0#0-0#0#0#0#0#0"},
      {"lianxi", "12345678#lin@hotmail.com#lin@example.com"},
      {"aboutus", "我性格开朗，喜欢旅游和摄影。"},
      {"hyphoto", "photo1_hy.jpg0"},
      {"xlphoto", Variant::null()},
      {"srphoto", ""},
  };
}

class ProfileDbTest : public MemberDbTest {
 protected:
  void SetUp() override {
    MemberDbTest::SetUp();
    run("insert into zurva_system(id,citymenu) values(1,?)",
        {Variant("1<><><><><><>广东<><><><><><>广州市@@@@@@2<><><><><><>广东<><><><><><>深圳市"
                 "@@@@@@3<><><><><><>北京<><><><><><>朝阳区")});
  }

  // Inserts member `userid` with the complete profile, `changes` applied.
  static void addProfile(long userid, const std::map<std::string, Variant>& changes = {}) {
    std::map<std::string, Variant> columns = completeProfile();
    for (const auto& [column, value] : changes) columns[column] = value;
    std::string names = "userid", marks = "?";
    std::vector<Variant> values{Variant(userid)};
    for (const auto& [column, value] : columns) {
      names += "," + column;
      marks += ",?";
      values.push_back(value);
    }
    run("insert into zurva_user(" + names + ") values(" + marks + ")", values);
  }

  // The link mode of the site: 1 static links, 0 dynamic ones.
  static void setUrlMode(host::TestHost& h, int mode) {
    h.application().set("zurva_skinbase_info",
                        Variant(VariantArray{Variant("a##b##c##d##" + std::to_string(mode))}));
  }
};

// The names of the form's fields (inputs, selects and text areas) in page order.
inline std::vector<std::string> fieldNames(const std::string& page) {
  std::vector<std::string> names;
  const std::regex field(R"(<(?:input|select|textarea)\b[^>]*?\bname=["']?([A-Za-z_0-9]+))", std::regex::icase);
  for (std::sregex_iterator m(page.begin(), page.end(), field), end; m != end; ++m) names.push_back((*m)[1]);
  return names;
}

// How often `what` occurs in `text`.
inline int occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

// The text of the select named `name` (from its tag to its end tag), "" when none.
inline std::string selectOf(const std::string& page, const std::string& name) {
  const std::regex start("<select\\s+name=\"?" + name + "\\b", std::regex::icase);
  std::smatch m;
  if (!std::regex_search(page, m, start)) return "";
  const std::size_t from = std::size_t(m.position(0));
  std::size_t to = page.find("</SELECT>", from);
  const std::size_t lower = page.find("</select>", from);
  if (to == std::string::npos || (lower != std::string::npos && lower < to)) to = lower;
  return page.substr(from, to == std::string::npos ? std::string::npos : to + 9 - from);
}

// The values of the options of a select's text that are marked `mark`.
inline std::vector<std::string> markedValues(const std::string& select, const std::string& mark = " selected") {
  std::vector<std::string> values;
  const std::regex option(R"(<option value=["']?([^"'\s>]*)["']?)" + mark + R"((?:=\"selected\")?>)", std::regex::icase);
  for (std::sregex_iterator m(select.begin(), select.end(), option), end; m != end; ++m) values.push_back((*m)[1]);
  return values;
}

}  // namespace zurvafun::testing

#include <gtest/gtest.h>

#include <string>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "model/regions.h"
#include "runtime/text.h"
#include "site/seed.h"
#include "tests/support.h"
#include "tests/support_db.h"

namespace zurvafun {
namespace {

using Db = testing::TestDatabase;

// One record of the region menu text: no-city marker, province, city.
std::string record(const std::string& province, const std::string& city) {
  return "||||<><><><><><>" + province + "<><><><><><>" + city;
}

const char* const kOnChange =
    "changelocation1(form1.province.options[form1.province.selectedIndex].value,form1.city)";

// The select up to and including its first option.
const std::string kHead = std::string("<select  name=\"province\" id=\"province\" onChange=\"") +
                          kOnChange +
                          "\">\r\n<option value=\"0\" selected=\"selected\">--请选择--</option>\r\n";
const std::string kFirstOptionOnly = kHead + "</select>\r\n";

std::string option(const std::string& province) {
  return " \r\n<option value=\"" + province + "\">" + province + "</option>\r\n";
}

class RegionMenuTest : public ::testing::Test {
 protected:
  void storeMenu(const std::string& valueSql) {
    database.run("insert into zurva_system (id, citymenu, maincitymenu) values (1, " + valueSql +
                 ", '')");
  }
  static std::string quoted(const std::string& text) { return "'" + Replace(text, "'", "''") + "'"; }

  std::string menu() {
    return z.citymenu(Db::kServer, Db::kUser, Db::kPassword, Db::kDatabase, kOnChange, "--请选择--",
                      "province")
        .str();
  }

  Db database;
  host::TestHost h;
  zurva z;
};

TEST_F(RegionMenuTest, ListsEachProvinceOnceInFirstSeenOrder) {
  storeMenu(quoted(record("广东", "广州市") + "@@@@@@" + record("广东", "深圳市") + "@@@@@@" +
                   record("广西", "南宁市")));
  EXPECT_EQ(menu(), kHead + " " + option("广东") + option("广西") + "\r\n</select>\r\n");
}

TEST_F(RegionMenuTest, ComparesWholeProvinceNames) {
  storeMenu(quoted(record("江西", "南昌市") + "@@@@@@" + record("江", "x") + "@@@@@@" +
                   record("西", "y") + "@@@@@@" + record("江西", "九江市")));
  EXPECT_EQ(menu(), kHead + " " + option("江西") + option("江") + option("西") + "\r\n</select>\r\n");
}

TEST_F(RegionMenuTest, SkipsRecordsWithoutAProvince) {
  // A trailing record separator leaves an empty last record.
  storeMenu(quoted(record("广东", "广州市") + "@@@@@@" + record("北京", "朝阳区") + "@@@@@@"));
  EXPECT_EQ(menu(), kHead + " " + option("广东") + option("北京") + "\r\n</select>\r\n");
  EXPECT_FALSE(h.response().ended());
}

TEST_F(RegionMenuTest, WritesNameIdHandlerAndFirstOptionAsGiven) {
  storeMenu(quoted(record("广东", "广州市") + "@@@@@@" + record("广西", "南宁市")));
  const std::string html =
      z.citymenu(Db::kServer, Db::kUser, Db::kPassword, Db::kDatabase,
                 "changelocation1(form3.province1.options[form3.province1.selectedIndex],form3.city1,"
                 "addressfromText,addressfromText)",
                 "不限", "province1")
          .str();
  EXPECT_EQ(html,
            "<select  name=\"province1\" id=\"province1\" onChange=\"changelocation1(form3.province1."
            "options[form3.province1.selectedIndex],form3.city1,addressfromText,addressfromText)\">"
            "\r\n<option value=\"0\" selected=\"selected\">不限</option>\r\n" +
                std::string(" ") + option("广东") + option("广西") + "\r\n</select>\r\n");
}

TEST_F(RegionMenuTest, WithoutAUsableMenuTextOnlyTheFirstOption) {
  EXPECT_EQ(menu(), kFirstOptionOnly);  // no settings row
  const std::string malformed[] = {
      "",
      record("广东", "广州市"),                   // one record, no record separator
      "广东@@@@@@广西",                            // no field separator
      "||||<><><><><>广东@@@@@@||||<><><><><>广西",  // the ten-character settings separator
  };
  for (const std::string& text : malformed) {
    SCOPED_TRACE(text);
    database.run("delete from zurva_system");
    storeMenu(quoted(text));
    EXPECT_EQ(menu(), kFirstOptionOnly);
  }
  database.run("delete from zurva_system");
  storeMenu("NULL");
  EXPECT_EQ(menu(), kFirstOptionOnly);
  database.run("delete from zurva_system");
  database.run("insert into zurva_system (id, citymenu) values (2, " +
               quoted(record("广东", "广州市") + "@@@@@@" + record("广西", "南宁市")) + ")");
  EXPECT_EQ(menu(), kFirstOptionOnly);  // only row 1 counts
}

TEST_F(RegionMenuTest, FailedConnectionEndsTheRequest) {
  EXPECT_EQ(testing::errorOf([&] {
              z.citymenu(Db::kServer, Db::kUser, "wrong", Db::kDatabase, kOnChange, "--请选择--",
                         "province");
            }),
            RequestEndError);
  EXPECT_TRUE(h.response().ended());
  EXPECT_NE(h.response().body().find("数据库连接出错，请检查连接字串。"), std::string::npos);
}

TEST_F(RegionMenuTest, DemoDatabaseMenuListsTheFortyProvinces) {
  testing::seedDemoDatabase({Db::kServer, Db::kUser, Db::kPassword, "demo"}, 3);
  const std::string html =
      z.citymenu(Db::kServer, Db::kUser, Db::kPassword, "demo", kOnChange, "--请选择--", "province")
          .str();
  std::string options;
  for (std::string_view province : regions::kProvinces) options += option(std::string(province));
  EXPECT_EQ(html, kHead + " " + options + "\r\n</select>\r\n");
}

TEST(RegionMenuCityTable, ScriptDefinesAllEntriesInIndexOrder) {
  host::TestHost h;
  zurva z;
  const std::string script = z.allcitymenu().str();
  const std::string head =
      "var onecount;\r\nonecount=0;\r\nsubcat = new Array();\r\n"
      "subcat[0] = new Array(\"广州市\",\"广东\",\"广州市\");\r\n"
      "subcat[1] = new Array(\"珠海市\",\"广东\",\"珠海市\");\r\n";
  EXPECT_EQ(script.rfind(head, 0), 0u) << script.substr(0, 200);
  const std::string tail =
      "subcat[466] = new Array(\"五家渠市\",\"新疆\",\"五家渠市\");\r\nonecount=467;\r\n";
  ASSERT_GE(script.size(), tail.size());
  EXPECT_EQ(script.substr(script.size() - tail.size()), tail);

  const std::vector<std::string> lines = Split(script, "\r\n");
  ASSERT_EQ(lines.size(), 3u + 467u + 1u + 1u);  // the text ends with a line break
  EXPECT_EQ(lines.back(), "");
  for (std::size_t i = 0; i < 467; ++i) {
    EXPECT_EQ(lines[3 + i].rfind("subcat[" + std::to_string(i) + "] = new Array(\"", 0), 0u) << i;
  }
  // Odd entries stay as the table has them.
  for (const char* entry : {
           "subcat[91] = new Array(\"十堰市\",\"浙江\",\"十堰市\");",
           "subcat[114] = new Array(\"上海市区\",\"上海\",\"上海市区\");",
           "subcat[221] = new Array(\"朝阳区\",\"北京\",\"朝阳区\");",
           "subcat[303] = new Array(\"市区\",\"重庆\",\"市区\");",
           "subcat[324] = new Array(\"湘西州\",\"湖南\",\"湘西州\");",
           "subcat[405] = new Array(\"黄埔区\",\"上海\",\"黄埔区\");",
           "subcat[412] = new Array(\"普坨区\",\"上海\",\"普坨区\");",
           "subcat[422] = new Array(\"肇庆市\",\"广东\",\"肇庆市\");",
           "subcat[433] = new Array(\"其他国家\",\"亚洲\",\"其他国家\");",
           "subcat[453] = new Array(\"其他国家\",\"大洋洲\",\"其他国家\");",
       }) {
    EXPECT_NE(script.find(std::string(entry) + "\r\n"), std::string::npos) << entry;
  }
}

}  // namespace
}  // namespace zurvafun

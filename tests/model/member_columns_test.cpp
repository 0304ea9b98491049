// The member table's columns: their declarations, and that every column a
// profile form posts by a rule has what the rule needs.
#include "model/member_columns.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zurvafun::member {
namespace {

TEST(MemberColumns, Declarations) {
  const struct {
    const char* name;
    const char* declaration;
  } cases[] = {
      {"userid", "INTEGER PRIMARY KEY AUTOINCREMENT"},
      {"nickname", "VARCHAR(50) COLLATE ZV"},
      {"sex", "INTEGER"},
      {"grade", "INTEGER DEFAULT 1"},
      {"aboutus", "TEXT COLLATE ZV"},
      {"emoney", "MONEY DEFAULT 0"},
      {"lasttime", "DATETIME"},
      {"ud_birthyear", "INTEGER GENERATED ALWAYS AS (zv_birthyear(userdata)) VIRTUAL"},
      {"ud_city", "VARCHAR(50) COLLATE ZV GENERATED ALWAYS AS (zv_place(userdata,2)) VIRTUAL"},
  };
  for (const auto& c : cases) {
    const Column* found = column(c.name);
    ASSERT_NE(found, nullptr) << c.name;
    EXPECT_EQ(declaration(*found), c.declaration) << c.name;
  }
  EXPECT_EQ(column("nosuchcolumn"), nullptr);
  EXPECT_EQ(column("NICKNAME"), nullptr);  // names as the table spells them
}

TEST(MemberColumns, EveryRuleHasWhatItNeeds) {
  std::set<std::string_view> names, fields;
  for (const Column& c : kColumns) {
    EXPECT_TRUE(names.insert(c.name).second) << "twice: " << c.name;
    if (c.kind == Kind::Text) {
      EXPECT_GT(c.size, 0) << c.name;
    }
    if (c.rule == Rule::None) continue;
    EXPECT_FALSE(c.label.empty()) << c.name;
    EXPECT_TRUE(c.generated.empty()) << c.name << ": a derived column is never posted";
    if (!c.field.empty()) {
      EXPECT_TRUE(fields.insert(c.field).second) << "field twice: " << c.field;
    }
    switch (c.rule) {
      case Rule::Code:
        ASSERT_NE(c.codes, nullptr) << c.name;
        EXPECT_FALSE(c.codes->empty()) << c.name;
        EXPECT_FALSE(c.field.empty()) << c.name;
        break;
      case Rule::Number:
        EXPECT_LT(c.low, c.high) << c.name;
        EXPECT_FALSE(c.field.empty()) << c.name;
        break;
      case Rule::FreeText:
        EXPECT_GT(c.high, 0) << c.name;
        EXPECT_FALSE(c.field.empty()) << c.name;
        break;
      default: break;
    }
  }
}

}  // namespace
}  // namespace zurvafun::member

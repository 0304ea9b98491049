#include "framework/sql.h"

#include <gtest/gtest.h>

#include "tests/support.h"

namespace zurvafun::sql {
namespace {

using zurvafun::testing::errorOf;

TEST(StatementTest, ValuesEnterAsNumbersOrQuotedText) {
  EXPECT_EQ(statement("select emoney from zurva_user where userid={}", lng(Variant("12"))).str(),
            "select emoney from zurva_user where userid=12");
  EXPECT_EQ(statement("select 1 from t where a={} and b={} and c={}", int16(Variant(" 7 ")),
                      money(Variant("2.50")), 40000)
                .str(),
            "select 1 from t where a=7 and b=2.5 and c=40000");
  EXPECT_EQ(statement("select 1 from t where n='{}' or m like '%,{}@%'", text(Variant("x' or 1=1--")),
                      text("O'Neil"))
                .str(),
            "select 1 from t where n='x'' or 1=1--' or m like '%,O''Neil@%'");
  // A statement built earlier pastes in as SQL.
  const Statement condition = statement("nickname='{}'", text("a'b"));
  EXPECT_EQ(statement("select * from t where {} and ok=1", condition).str(),
            "select * from t where nickname='a''b' and ok=1");
  EXPECT_EQ(statement("select '{}'", text(Variant::null())).str(), "select ''");
}

TEST(StatementTest, LiteralsStoredConditionsAndJoinedStatements) {
  // Statements join one after the other; the empty statement adds nothing.
  Statement conditions;
  conditions += statement(" and a={}", 1);
  conditions += Statement();
  conditions += verbatim(" and b=2");
  EXPECT_EQ(conditions.str(), " and a=1 and b=2");
  // A kept search condition pastes in as it was kept.
  EXPECT_EQ(
      statement("select * from t where {}{} order by id", StoredCondition("sex=577"), conditions)
          .str(),
      "select * from t where sex=577 and a=1 and b=2 order by id");
}

TEST(StatementTest, LikeLiteralsMatchThemselves) {
  EXPECT_EQ(statement("select 1 from t where a like '%{}#%'", text(likeLiteral("50%_[x]'s"))).str(),
            "select 1 from t where a like '%50[%][_][[]x]''s#%'");
}

TEST(StatementTest, ANumberThatIsNotANumberNeverReachesTheText) {
  EXPECT_EQ(errorOf([] { lng(Variant("5 or 1=1")); }), err::TypeMismatch);
  EXPECT_EQ(errorOf([] { lng(Variant("")); }), err::TypeMismatch);
  EXPECT_EQ(errorOf([] { int16(Variant(40000)); }), err::Overflow);
  EXPECT_EQ(errorOf([] { money(Variant("abc")); }), err::TypeMismatch);
  EXPECT_EQ(lng(Variant(2.5)).text, "2");  // rounds half to even, as CLng
  EXPECT_EQ(lng(Variant(3.5)).text, "4");
}

}  // namespace
}  // namespace zurvafun::sql

// The schema made from the member columns: the same statements as the schema
// written out by hand before it (tests/golden/schema_sqlite.sql, taken once
// from that text), so that a database made or brought up to date now is the
// database made before. Member columns added since are left out of the
// comparison (tests/model/schema_as_taken.h).
#include "model/schema.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/golden.h"
#include "tests/model/schema_as_taken.h"

namespace zurvafun::schema {
namespace {

using testing::addedColumnsAsTaken;
using testing::goldenText;
using testing::schemaAsTaken;

TEST(Schema, IsTheSchemaWrittenOutBefore) {
  EXPECT_EQ(schemaAsTaken(), goldenText("schema_sqlite.sql"));
}

// Each line of the golden list: a column's name and its declaration.
TEST(Schema, AddedMemberColumnsAreThoseListedBefore) {
  std::string listed;
  for (const auto& [column, declaration] : addedColumnsAsTaken())
    listed += column + " " + declaration + "\n";
  EXPECT_EQ(listed, goldenText("schema_added_columns.txt"));
}

// What a copy leaves alone or runs at its end names tables the schema makes.
TEST(Schema, TheCopyNamesTablesOfTheSchema) {
  const auto made = [](const std::string& table) {
    return sql().find("CREATE TABLE IF NOT EXISTS " + table + " (") != std::string::npos;
  };
  for (const std::string& table : notCopied()) EXPECT_TRUE(made(table)) << table;
  for (const auto& [table, statement] : afterCopy()) {
    EXPECT_TRUE(made(table)) << table;
    EXPECT_NE(statement.find(table), std::string::npos) << statement;
  }
}

}  // namespace
}  // namespace zurvafun::schema

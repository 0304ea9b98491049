// The site's schema as the database server takes it: the same statements as
// those rendered from the schema written out by hand before it
// (tests/golden/schema_postgres.sql, taken once), the member columns that an
// upgrade adds included (those added since left out, see
// tests/model/schema_as_taken.h).
#include <gtest/gtest.h>

#include <string>

#include "db/postgres/postgres.h"
#include "tests/golden.h"
#include "tests/model/schema_as_taken.h"

namespace zurvafun::testing {
namespace {

TEST(SchemaOnTheServer, RendersAsBefore) {
  std::string rendered;
  for (const auto& statement : db::detail::postgres::renderSchema(schemaAsTaken(), {}))
    rendered += (statement.native ? "-- native\n" : "-- dialect\n") + statement.sql + "\n";
  rendered += "-- added columns\n";
  for (const auto& [column, declaration] : addedColumnsAsTaken())
    rendered += db::detail::postgres::renderColumn("zurva_user", column, declaration) + "\n";
  EXPECT_EQ(rendered, goldenText("schema_postgres.sql"));
}

}  // namespace
}  // namespace zurvafun::testing

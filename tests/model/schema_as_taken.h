// The schema as it stood when its golden texts were taken (tests/golden/
// schema_*): the member columns added to model/member_columns.cpp since then
// are left out, so that the goldens keep guarding every other statement when
// a member column is added. Such a column must be marked added (an older
// database gets it at its first open), which the tests check.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "model/member_columns.h"
#include "model/schema.h"
#include "tests/golden.h"

namespace zurvafun::testing {

// The member columns declared in the golden schema.
inline bool takenWithTheGoldens(const member::Column& column) {
  static const std::string golden = goldenText("schema_sqlite.sql");
  const std::string line = "\n  " + std::string(column.name) + " " + member::declaration(column);
  return golden.find(line + ",\n") != std::string::npos ||
         golden.find(line + "\n);") != std::string::npos;
}

// schema::sql() without the member columns added since the goldens.
inline std::string schemaAsTaken() {
  std::string text = schema::sql();
  for (const member::Column& column : member::kColumns) {
    if (takenWithTheGoldens(column)) continue;
    EXPECT_TRUE(column.added) << column.name << ": an older database would lack it";
    const std::string line = ",\n  " + std::string(column.name) + " " + member::declaration(column);
    if (const size_t at = text.find(line); at != std::string::npos) text.erase(at, line.size());
  }
  return text;
}

// schema::addedMemberColumns() without those added since the goldens.
inline std::vector<std::pair<std::string, std::string>> addedColumnsAsTaken() {
  std::vector<std::pair<std::string, std::string>> added;
  for (auto& [name, declaration] : schema::addedMemberColumns()) {
    const member::Column* column = member::column(name);
    if (column && takenWithTheGoldens(*column)) added.emplace_back(name, declaration);
  }
  return added;
}

}  // namespace zurvafun::testing

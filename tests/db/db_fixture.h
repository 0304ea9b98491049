// A throw-away data folder for the database layer's tests: the layer is
// configured for it, a database "t" with the tables a test names is created,
// and everything is removed (and the clock restored) afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "db/db.h"
#include "runtime/dates.h"
#include "runtime/error.h"
#include "tests/support_db.h"

namespace zurvafun::testing {

inline constexpr const char* kDbUser = "sa";
inline constexpr const char* kDbPassword = "Secret";

inline db::ConnectionParams params(std::string database, std::string server = testServer(),
                                   std::string user = kDbUser, std::string password = kDbPassword) {
  return {std::move(server), std::move(user), std::move(password), std::move(database)};
}

class DbFixture : public ::testing::Test {
 protected:
  void SetUp() override { ZURVA_SKIP_WITHOUT_BACKEND(); }
  void TearDown() override { setClock({}); }

  // Creates database `name` holding `ddl` and opens a connection to it.
  db::Connection create(const std::string& ddl, const std::string& name = "t") {
    db::createDatabase(params(name), ddl);
    db::Connection conn;
    EXPECT_TRUE(conn.Open(params(name)));
    return conn;
  }

  static void fixClock(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    const double serial = toSerial({y, m, d, h, mi, s});
    setClock([serial] { return serial; });
  }

  ScopedDataFolder folder_{dbConfig(kDbUser, kDbPassword, "zurva", "ZURVA-HOST")};
};

// The error a call raises: number and description (0 and "" for none).
struct Raised {
  long number = 0;
  std::string description;
};
template <class Call>
Raised raisedBy(Call&& call) {
  try {
    call();
  } catch (const VbError& e) {
    return {e.number(), e.description()};
  }
  return {};
}

// The values of column 0 of every row, joined with ",".
inline std::string column0(db::Connection& conn, const std::string& sql) {
  db::Recordset rs = conn.Execute(sql);
  std::string out;
  while (!rs.eof()) {
    if (!out.empty()) out += ',';
    out += rs(0).isNull() ? "NULL" : rs(0).str();
    rs.MoveNext();
  }
  return out;
}

}  // namespace zurvafun::testing

// Recordsets: typed field values, cursor movement, paging, writes through
// Update and AddNew, and the write lock that keeps concurrent updates.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "db/db.h"
#include "runtime/dates.h"
#include "tests/db/db_fixture.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kTables = R"sql(
CREATE TABLE u (
  userid INTEGER PRIMARY KEY AUTOINCREMENT,
  nickname VARCHAR(50) COLLATE ZV,
  mobile VARCHAR(50) COLLATE ZV,
  grade INTEGER DEFAULT 1,
  age SMALLINT,
  vip BIT,
  emoney MONEY DEFAULT 0,
  lasttime DATETIME,
  aboutus TEXT COLLATE ZV
);
INSERT INTO u (nickname, mobile, grade, age, vip, emoney, lasttime, aboutus)
  VALUES ('one', NULL, 2, 30, 1, 7.5, '2026-03-01 08:09:10', 'hello');
INSERT INTO u (nickname, mobile, grade, age, vip, emoney, lasttime, aboutus)
  VALUES ('two', '139#1', 1, 25, 0, 100, NULL, NULL);
CREATE TABLE n (id INTEGER PRIMARY KEY AUTOINCREMENT, k INTEGER);
)sql";

class DbRecordset : public DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    conn_ = create(kTables);
  }
  // Table n holding k = 1..count.
  void fillNumbers(int count) {
    conn_.transaction([&] {
      for (int k = 1; k <= count; ++k) conn_.ExecuteAction("insert into n (k) values (?)", {k});
    });
  }
  db::Connection conn_;
};

TEST_F(DbRecordset, FieldValuesAreTypedFromTheDeclaredColumns) {
  db::Recordset rs;
  rs.Open("select * from u where userid=1", conn_, db::adOpenKeyset, db::adLockReadOnly);
  EXPECT_EQ(rs("userid").type(), VarType::Long);
  EXPECT_EQ(rs("grade").type(), VarType::Long);
  EXPECT_EQ(rs("age").type(), VarType::Integer);
  EXPECT_EQ(rs("vip").type(), VarType::Boolean);
  EXPECT_TRUE(eq(rs("vip"), -1));
  EXPECT_EQ(rs("emoney").type(), VarType::Currency);
  EXPECT_EQ(rs("emoney").currencyScaledValue(), 75000);  // exactly 7.5
  EXPECT_EQ(rs("lasttime").type(), VarType::Date);
  EXPECT_EQ(dateTimeText(rs("lasttime").dateValue()), "2026-03-01 08:09:10");
  EXPECT_EQ(rs("nickname").type(), VarType::String);
  EXPECT_TRUE(rs("mobile").isNull());
  // Names without regard to case; fields by index in select order.
  EXPECT_EQ(rs("NickName").str(), "one");
  EXPECT_EQ(rs(1).str(), "one");
  EXPECT_EQ(rs.fieldCount(), 9);
  EXPECT_EQ(rs.fieldName(1), "nickname");

  // Computed columns by the value they hold.
  db::Recordset c = conn_.Execute(
      "select count(*) as n, isnull(max(mobile),'#') as mobile, max(emoney)*2 as twice, 5 as five from u "
      "where userid=1");
  EXPECT_EQ(c("n").type(), VarType::Long);
  EXPECT_EQ(c("mobile").type(), VarType::String);
  EXPECT_EQ(c("mobile").str(), "#");
  EXPECT_EQ(c("twice").type(), VarType::Double);
  EXPECT_TRUE(eq(c("twice"), 15));
  EXPECT_EQ(c("five").type(), VarType::Long);
}

TEST_F(DbRecordset, ExecuteGivesTheFirstFieldOfTheFirstRow) {
  EXPECT_EQ(conn_.Execute("select nickname from u where userid=2")(0).str(), "two");
  EXPECT_EQ(conn_.Execute("select emoney from u where userid=2")(0).currencyScaledValue(), 1000000);
  // An action statement gives a closed recordset.
  db::Recordset done = conn_.Execute("update u set grade=3 where userid=2");
  EXPECT_EQ(done.State(), db::adStateClosed);
  EXPECT_EQ(conn_.Execute("select grade from u where userid=2")(0).str(), "3");
}

TEST_F(DbRecordset, ReadingWithoutACurrentRowRaises3021) {
  db::Recordset rs;
  rs.Open("select * from u order by userid", conn_, db::adOpenKeyset, db::adLockReadOnly);
  EXPECT_FALSE(rs.bof());
  rs.MovePrevious();
  EXPECT_TRUE(rs.bof());
  EXPECT_EQ(raisedBy([&] { rs("nickname"); }).number, 3021);
  EXPECT_EQ(raisedBy([&] { rs.MovePrevious(); }).number, 3021);
  rs.MoveLast();
  EXPECT_EQ(rs("nickname").str(), "two");
  rs.MoveNext();
  EXPECT_TRUE(rs.eof());
  const Raised r = raisedBy([&] { rs(0); });
  EXPECT_EQ(r.number, 3021);
  EXPECT_EQ(r.description, errorDescription(3021));
  EXPECT_EQ(raisedBy([&] { rs.MoveNext(); }).number, 3021);

  db::Recordset none = conn_.Execute("select * from u where userid=99");
  EXPECT_TRUE(none.eof());
  EXPECT_TRUE(none.bof());
  EXPECT_EQ(raisedBy([&] { none(0); }).number, 3021);
  EXPECT_EQ(raisedBy([&] { conn_.Execute("select nickname from u where userid=99")(0); }).number, 3021);
}

TEST_F(DbRecordset, UnknownFieldsAndClosedRecordsetsRaise) {
  db::Recordset rs = conn_.Execute("select nickname from u");
  const Raised unknown = raisedBy([&] { rs("nosuch"); });
  EXPECT_EQ(unknown.number, 3265);
  EXPECT_EQ(unknown.description, "在对应所需名称或序数的集合中，未找到项目。");
  EXPECT_EQ(raisedBy([&] { rs(1); }).number, 3265);
  rs.Close();
  EXPECT_EQ(rs.State(), db::adStateClosed);
  EXPECT_EQ(raisedBy([&] { rs.eof(); }).number, 3704);
  // A forward-only cursor does not count its rows or move back.
  db::Recordset fwd = conn_.Execute("select nickname from u");
  EXPECT_EQ(fwd.RecordCount(), -1);
  EXPECT_EQ(raisedBy([&] { fwd.MovePrevious(); }).number, db::dberr::NoBackwardFetch);
}

TEST_F(DbRecordset, PagesOfTen) {
  fillNumbers(25);
  db::Recordset rs;
  rs.Open("select k from n order by k", conn_, db::adOpenKeyset, db::adLockReadOnly);
  EXPECT_EQ(rs.RecordCount(), 25);
  EXPECT_EQ(rs.PageSize, 10);
  EXPECT_EQ(rs.PageCount(), 3);
  EXPECT_EQ(rs.AbsolutePage(), 1);

  rs.setAbsolutePage(3);
  EXPECT_EQ(rs.AbsolutePosition(), 21);
  std::string page;
  for (int i = 0; i < rs.PageSize && !rs.eof(); ++i, rs.MoveNext()) page += rs("k").str() + " ";
  EXPECT_EQ(page, "21 22 23 24 25 ");
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(rs.AbsolutePage(), db::adPosEOF);

  rs.setAbsolutePage(2);
  EXPECT_EQ(rs("k").str(), "11");
  // A page past the last leaves no current row.
  rs.setAbsolutePage(4);
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(raisedBy([&] { rs("k"); }).number, 3021);
  EXPECT_EQ(raisedBy([&] { rs.setAbsolutePage(0); }).number, db::dberr::InvalidArgument);

  rs.PageSize = 6;
  EXPECT_EQ(rs.PageCount(), 5);
  rs.setAbsolutePosition(17);
  EXPECT_EQ(rs("k").str(), "17");
  EXPECT_EQ(rs.AbsolutePage(), 3);
  EXPECT_EQ(raisedBy([&] { rs.setAbsolutePosition(26); }).number, db::dberr::InvalidArgument);
}

// What a recordset shows, walked by pages, record by record and backwards.
std::string walk(db::Recordset& rs, long pageSize) {
  rs.PageSize = pageSize;
  std::string out = std::to_string(rs.RecordCount()) + "/" + std::to_string(rs.PageCount()) + ":";
  if (rs.bof() && rs.eof()) return out + "empty";
  auto row = [&] {
    std::string r;
    for (int f = 0; f < rs.fieldCount(); ++f) r += (f ? "," : "") + rs(f).str();
    return r + " ";
  };
  for (long page = 1; page <= rs.PageCount() + 1; ++page) {
    rs.setAbsolutePage(page);
    out += "|" + std::to_string(rs.AbsolutePage()) + ":";
    for (long i = 0; i < rs.PageSize && !rs.eof(); ++i, rs.MoveNext()) out += row();
  }
  rs.MoveLast();
  out += "| back:";
  while (!rs.bof()) {
    out += row();
    rs.MovePrevious();
  }
  rs.setAbsolutePosition(rs.RecordCount() / 2 + 1);
  out += "| middle:" + row();
  return out;
}

TEST_F(DbRecordset, APagedRecordsetShowsWhatTheWholeOneShows) {
  fillNumbers(23);
  conn_.ExecuteAction("update n set k=5 where k=6");  // ties in the order
  const char* statements[] = {
      "select * from n order by k desc, id",
      "select top 7 k, id from n where k>3 order by k, id",
      "select top 30 id as [order], k from n where k<>'9' order by k desc,id",
      "select TOP 2 * from n order by id",
      "select k, 'x from y order by z' as t from n where k<12 -- order by nothing\n order by id",
      "select id from n where k in (select k from n where k<5) order by id desc",
      "select k from n where k>100",
      "select distinct k from n order by k",
      "select k, count(*) from n group by k order by k",
      "select k from n where k<4 union select id from n where id>20",
  };
  for (const char* sql : statements) {
    for (long pageSize : {1, 3, 10}) {
      db::Recordset whole, paged;
      whole.Open(sql, conn_, db::adOpenKeyset, db::adLockReadOnly);
      paged.OpenPaged(sql, conn_);
      EXPECT_EQ(walk(paged, pageSize), walk(whole, pageSize)) << sql << " by " << pageSize;
      EXPECT_EQ(raisedBy([&] {
                  paged.MoveNext();
                  paged.MoveNext();
                  paged.MoveLast();
                  paged.MoveNext();
                  paged(0);
                }).number,
                3021);
      paged.Close();
      EXPECT_EQ(paged.State(), db::adStateClosed);
    }
  }
}

// Read from either end, a paged recordset shows what it shows read from the
// start: where the order walks an index (ties by row key) and where it sorts
// (which is read from the start).
TEST_F(DbRecordset, APagedRecordsetReadFromEitherEndShowsWhatItShowsFromTheStart) {
  fillNumbers(23);
  conn_.ExecuteAction("update n set k=k/4");  // many ties
  conn_.ExecuteAction("create index ix_n_k on n (k desc)");
  const std::pair<const char*, const char*> statements[] = {
      {"select * from n order by k desc", "select count(*) from n"},
      {"select id, k from n where k<5 order by k", "select count(*) from n where k<5"},
      {"select k, id from n where id<>7 order by k desc, id", "select count(*) from n where id<>7"},
      {"select * from n order by k % 3 desc, id", "select count(*) from n"},
      {"select id from n order by k % 2", "select count(*) from n"},
      {"select * from n where k>100 order by k", "select 0"},
  };
  for (const auto& [sql, count] : statements) {
    for (long pageSize : {1, 3, 10}) {
      db::Recordset fromStart, eitherEnd;
      fromStart.OpenPaged(sql, count, conn_);
      eitherEnd.OpenPaged(sql, count, conn_, db::Recordset::PagedReading::FromEitherEnd);
      EXPECT_EQ(walk(eitherEnd, pageSize), walk(fromStart, pageSize)) << sql << " by " << pageSize;
    }
  }
}

// Read by the keys of its rows, a recordset shows what the statement shows,
// ties included (the index walked down gives them by row key descending):
// the keys are given only where the embedded file reads the statement in an
// index's order. The server gives them for every such statement, in the
// order of one run with ties by the key: what the statement with its ties
// by key shows.
TEST_F(DbRecordset, ARecordsetReadByTheKeysOfItsRowsShowsWhatTheStatementShows) {
  fillNumbers(23);
  conn_.ExecuteAction("update n set k=k/4");  // many ties
  conn_.ExecuteAction("create index ix_n_k on n (k desc)");
  const struct {
    const char* sql;
    bool ordered;           // on the embedded file
    const char* tiesByKey;  // the statement with its ties by key
  } cases[] = {
      {"select top 20 * from n order by k desc", true,
       "select top 20 * from n order by k desc, id"},
      {"select top 9 id, k from n where k<5 order by k", true,
       "select top 9 id, k from n where k<5 order by k, id"},
      {"select top 30 k, id from n  where id<>7 order by k desc, id", true,
       "select top 30 k, id from n  where id<>7 order by k desc, id"},
      {"select top 4 k, id from n where k=2", true,
       "select top 4 k, id from n where k=2 order by id"},
      {"select top 0 * from n order by k", true, "select top 0 * from n order by k"},
      {"select top 6 * from n where k>100 order by k", true,
       "select top 6 * from n where k>100 order by k"},
      {"select top 20 * from n order by k % 3 desc, id", false,
       "select top 20 * from n order by k % 3 desc, id"},
      {"select top 20 id from n order by k % 2 -- a comment", false,
       "select top 20 id from n order by k % 2, id"},
  };
  for (const auto& c : cases) {
    const std::optional<std::vector<std::int64_t>> keys =
        db::Recordset::orderedKeys(c.sql, "ID", 30, conn_);
    EXPECT_EQ(keys.has_value(), c.ordered || testPostgres()) << c.sql;
    if (!keys) continue;
    for (long pageSize : {1, 3, 10}) {
      db::Recordset byStatement, byKey;
      byStatement.OpenPaged(testPostgres() ? c.tiesByKey : c.sql, conn_);
      byKey.OpenPaged(c.sql, {"id", *keys}, conn_);
      EXPECT_EQ(walk(byKey, pageSize), walk(byStatement, pageSize)) << c.sql << " by " << pageSize;
    }
  }
}

// Statements whose keys are not read: more rows than asked for, not one
// table, no such field, keys that are no integers.
TEST_F(DbRecordset, KeysAreReadOnlyOfBoundedSelectsOfOneTable) {
  fillNumbers(5);
  const char* statements[] = {
      "select * from n order by id",
      "select top 31 * from n order by id",
      "select top 5 n.* from n, u order by n.id",
      "select top 5 * from n m order by id",
      "select top 5 * from [n] order by id",
      "select top 5 k from n order by id",
      "select top 5 nickname as id from u order by userid",
      "select top 5 * from (select * from n) n order by id",
  };
  for (const char* sql : statements)
    EXPECT_FALSE(db::Recordset::orderedKeys(sql, "id", 30, conn_).has_value()) << sql;
  // A statement that is not one table's, given keys, is read as it stands.
  db::Recordset rs;
  rs.OpenPaged("select top 3 n.k, n.id from n, u where u.userid=1 order by n.id", {"id", {5, 4}},
               conn_);
  EXPECT_EQ(walk(rs, 2), "3/2:|1:1,1 2,2 |2:3,3 |-3:| back:3,3 2,2 1,1 | middle:2,2 ");
}

// The rows read by key are the rows as they are when the page is read, in
// the order of the keys; a row gone meanwhile ends the recordset there.
TEST_F(DbRecordset, ARecordsetReadByKeysReadsTheRowsAsTheyAreNow) {
  fillNumbers(8);
  db::Recordset rs;
  rs.OpenPaged("select top 8 id, k from n order by k", {"id", {8, 3, 5, 1, 7, 2}}, conn_);
  rs.PageSize = 3;
  EXPECT_EQ(rs.RecordCount(), 6);
  EXPECT_EQ(rs.PageCount(), 2);
  conn_.ExecuteAction("update n set k=50 where id=5");
  conn_.ExecuteAction("delete from n where id=7");
  std::string shown;
  for (; !rs.eof(); rs.MoveNext()) shown += rs("id").str() + "=" + rs("k").str() + " ";
  EXPECT_EQ(shown, "8=8 3=3 5=50 1=1 ");
  EXPECT_EQ(rs.RecordCount(), 4);
}

// The last page is read from the end: with a count short of the rows there
// are, it shows the last rows (read from the start, the rows after the count
// would never show).
TEST_F(DbRecordset, ALatePageIsReadFromTheEnd) {
  ZURVA_EMBEDDED_ONLY();
  fillNumbers(23);
  db::Recordset rs;
  rs.OpenPaged("select k from n order by id", "select 20", conn_,
               db::Recordset::PagedReading::FromEitherEnd);
  rs.PageSize = 7;
  rs.setAbsolutePage(3);
  std::string shown;
  for (; !rs.eof(); rs.MoveNext()) shown += rs(0).str() + " ";
  EXPECT_EQ(shown, "18 19 20 21 22 23 ");
  rs.setAbsolutePage(1);
  EXPECT_EQ(rs(0).str(), "1");
}

TEST_F(DbRecordset, APagedRecordsetRaisesWhatTheStatementRaisesOnAnyRow) {
  create(
      "CREATE TABLE c (id INTEGER PRIMARY KEY AUTOINCREMENT, v VARCHAR(10) COLLATE ZV);"
      "INSERT INTO c (v) VALUES ('1'); INSERT INTO c (v) VALUES ('2'); INSERT INTO c (v) VALUES "
      "('x');",
      "c");
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("c")));
  // The top row comes before the row that fails: neither raises.
  for (const auto& [sql, fails] :
       {std::pair{"select * from c where cast(v as int)>0 order by id", true},
        std::pair{"select top 1 * from c where v>0", false}}) {
    db::Recordset whole, paged;
    const Raised expected =
        raisedBy([&] { whole.Open(sql, conn, db::adOpenKeyset, db::adLockReadOnly); });
    EXPECT_EQ(expected.number, fails ? db::dberr::ConversionError : 0) << sql;
    const Raised raised = raisedBy([&] { paged.OpenPaged(sql, conn); });
    EXPECT_EQ(raised.number, expected.number) << sql;
    EXPECT_EQ(raised.description, expected.description) << sql;
    EXPECT_EQ(paged.State(), fails ? db::adStateClosed : db::adStateOpen) << sql;
  }
  // A statement the server refuses is refused at once.
  db::Recordset rs;
  EXPECT_EQ(raisedBy([&] { rs.OpenPaged("select nothere from c order by id", conn); }).number,
            db::dberr::CommandError);
}

TEST_F(DbRecordset, UpdateWritesTheRowThroughAComputedColumn) {
  fixClock(2026, 3, 15, 10, 20, 30);
  db::Recordset rs;
  rs.Open("select userid,nickname,grade,lasttime,isnull(mobile,'#') as mobile from u where userid=1", conn_,
          db::adOpenKeyset, db::adLockOptimistic);
  EXPECT_EQ(rs("mobile").str(), "#");
  rs["mobile"] = "138#2";
  rs["lasttime"] = Now();
  rs.set("grade", 4);
  EXPECT_EQ(rs("mobile").str(), "138#2");  // the assigned value reads back before Update
  rs.Update();
  EXPECT_EQ(rs("mobile").str(), "138#2");
  EXPECT_EQ(rs("grade").type(), VarType::Long);
  rs.Close();

  EXPECT_EQ(column0(conn_, "select mobile from u where userid=1"), "138#2");
  EXPECT_EQ(column0(conn_, "select grade from u where userid=1"), "4");
  // Dates are stored in the one text form.
  EXPECT_EQ(column0(conn_, "select lasttime || '|' from u where userid=1"), "2026-03-15 10:20:30|");
  // The other row is untouched.
  EXPECT_EQ(column0(conn_, "select mobile || '/' || grade from u where userid=2"), "139#1/1");
}

TEST_F(DbRecordset, UpdateConvertsValuesToTheColumnTypes) {
  db::Recordset rs;
  rs.Open("select emoney, grade, nickname from u where userid=2", conn_, db::adOpenKeyset, db::adLockOptimistic);
  rs["emoney"] = rs("emoney") - Variant(92.5);
  rs["grade"] = "7";
  rs["nickname"] = 12;
  rs.Update();
  EXPECT_EQ(rs("emoney").currencyScaledValue(), 75000);
  EXPECT_EQ(rs("grade").type(), VarType::Long);
  EXPECT_EQ(rs("nickname").type(), VarType::String);
  EXPECT_EQ(column0(conn_, "select emoney from u where userid=2"), "7.5");
  rs["grade"] = "many";
  EXPECT_EQ(raisedBy([&] { rs.Update(); }).number, 13);
  rs.CancelUpdate();
}

TEST_F(DbRecordset, WritingAReadOnlyRecordsetRaises) {
  db::Recordset rs;
  rs.Open("select nickname from u where userid=1", conn_, db::adOpenKeyset, db::adLockReadOnly);
  EXPECT_EQ(raisedBy([&] { rs["nickname"] = "x"; }).number, db::dberr::NotUpdatable);
  EXPECT_EQ(raisedBy([&] { rs.AddNew(); }).number, db::dberr::NotUpdatable);
  // A join has no single row to write back.
  db::Recordset joined;
  joined.Open("select a.nickname from u a, u b where a.userid=b.userid", conn_, db::adOpenKeyset,
              db::adLockOptimistic);
  joined["nickname"] = "x";
  EXPECT_EQ(raisedBy([&] { joined.Update(); }).number, db::dberr::NotUpdatable);
  joined.CancelUpdate();
}

TEST_F(DbRecordset, UpdateOfARowDeletedMeanwhileRaises) {
  db::Recordset rs;
  rs.Open("select nickname from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  EXPECT_EQ(rs("nickname").str(), "one");
  conn_.ExecuteAction("delete from u where userid=1");
  rs["nickname"] = "gone";
  EXPECT_EQ(raisedBy([&] { rs.Update(); }).number, db::dberr::RowNotFound);
}

TEST_F(DbRecordset, AddNewInsertsARowWithItsIdentity) {
  fixClock(2026, 3, 15, 10, 20, 30);
  db::Recordset rs;
  rs.Open("select * from u", conn_, db::adOpenKeyset, db::adLockOptimistic);
  rs.AddNew();
  EXPECT_TRUE(rs("userid").isNull());
  rs["nickname"] = "three";
  rs["emoney"] = 7.5;
  rs["lasttime"] = Now();
  rs.Update();
  EXPECT_EQ(rs("userid").str(), "3");
  EXPECT_EQ(rs("grade").str(), "1");  // the column default
  EXPECT_EQ(rs("emoney").currencyScaledValue(), 75000);
  // The table was not read: the recordset holds only the row it added.
  EXPECT_EQ(rs.RecordCount(), 1);
  rs.AddNew();
  rs["nickname"] = "four";
  rs.MoveFirst();  // moving saves the new row
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.Close();

  EXPECT_EQ(column0(conn_, "select nickname from u order by userid"), "one,two,three,four");
  EXPECT_EQ(column0(conn_, "select emoney from u where userid=3"), "7.5");
  EXPECT_EQ(column0(conn_, "select lasttime from u where userid=3"), "2026-03-15 10:20:30");
}

// After Update the recordset holds the row as stored, typed as a read gives
// it, the columns it did not assign included; the next Update and a fresh
// read agree with it.
TEST_F(DbRecordset, UpdateShowsTheRowAsStored) {
  db::Recordset rs;
  rs.Open("select * from u where userid=2", conn_, db::adOpenKeyset, db::adLockOptimistic);
  rs["grade"] = 7.0;
  rs["emoney"] = 12.25;
  rs.Update();
  const auto shows = [](db::Recordset& r) {
    EXPECT_EQ(r("grade").type(), VarType::Long);
    EXPECT_EQ(r("grade").str(), "7");
    EXPECT_EQ(r("emoney").type(), VarType::Currency);
    EXPECT_EQ(r("emoney").currencyScaledValue(), 122500);
    EXPECT_EQ(r("age").type(), VarType::Integer);
    EXPECT_EQ(r("age").str(), "25");
    EXPECT_EQ(r("vip").type(), VarType::Boolean);
    EXPECT_EQ(r("mobile").str(), "139#1");
    EXPECT_TRUE(r("lasttime").isNull());
  };
  shows(rs);
  rs["nickname"] = "TWO";
  rs.Update();
  shows(rs);
  EXPECT_EQ(rs("nickname").str(), "TWO");
  rs.Close();

  db::Recordset again;
  again.Open("select * from u where userid=2", conn_, db::adOpenKeyset, db::adLockReadOnly);
  shows(again);
  EXPECT_EQ(again("nickname").str(), "TWO");
}

TEST_F(DbRecordset, CloseWithAnEditPendingRaises) {
  db::Recordset rs;
  rs.Open("select nickname from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  rs["nickname"] = "x";
  EXPECT_EQ(raisedBy([&] { rs.Close(); }).number, db::dberr::IllegalOperation);
  rs.CancelUpdate();
  rs.Close();
  EXPECT_EQ(column0(conn_, "select nickname from u where userid=1"), "one");
}

TEST_F(DbRecordset, SeveralRecordsetsOnOneConnection) {
  fillNumbers(3);
  db::Recordset outer, inner;
  outer.Open("select k from n order by k", conn_, db::adOpenKeyset, db::adLockReadOnly);
  std::string seen;
  while (!outer.eof()) {
    inner.Open("select nickname, grade from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
    inner["grade"] = inner("grade") + outer("k");
    inner.Update();
    inner.Close();
    conn_.ExecuteAction("update n set k=k*10 where k=" + outer("k").str());
    seen += outer("k").str();
    outer.MoveNext();
  }
  // The outer rows were read at open; the writes went through meanwhile.
  EXPECT_EQ(seen, "123");
  EXPECT_EQ(column0(conn_, "select grade from u where userid=1"), "8");
  EXPECT_EQ(column0(conn_, "select k from n order by k"), "10,20,30");
}

// Runs body(thread) on `threads` threads at once, each with its own pool.
template <class Body>
void onThreads(int threads, Body body) {
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&body, t] {
      body(t);
      db::releasePooledConnections();
    });
  for (std::thread& th : pool) th.join();
}

// Whether another handle could write member 1 of database "t" now (on the
// server, the row's lock, tried from another thread's connection in a
// transaction that gives up at once).
bool writeLockFree() {
  if (testPostgres()) {
    bool free = false;
    std::thread([&] {
      db::Connection other;
      if (other.Open(params("t"))) {
        other.BeginTrans();
        try {
          other.Execute("select set_config('lock_timeout', '20', true)");
          other.ExecuteAction("update u set grade=grade where userid=1");
          free = true;
        } catch (const VbError&) {
        }
        other.RollbackTrans();
      }
      db::releasePooledConnections();
    }).join();
    return free;
  }
  sqlite3* other = nullptr;
  sqlite3_open_v2(db::databaseFile("t").c_str(), &other, SQLITE_OPEN_READWRITE, nullptr);
  const bool free = sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  return free;
}

// Read, compute from the value read, update: as the login counts logins and a
// purchase checks the balance before it charges.
TEST_F(DbRecordset, ConcurrentReadModifyWritesLoseNoUpdate) {
  constexpr int kThreads = 8, kEach = 40;
  std::atomic<int> failed{0}, spent{0};
  onThreads(kThreads, [&](int) {
    db::Connection conn;
    if (!conn.Open(params("t"))) return void(++failed);
    for (int i = 0; i < kEach; ++i) {
      try {
        db::Recordset rs;
        rs.Open("select grade from u where userid=1", conn, db::adOpenKeyset, db::adLockOptimistic);
        rs["grade"] = rs("grade") + Variant(1);
        rs.Update();
        rs.Close();
        db::Recordset purse;
        purse.Open("select emoney from u where userid=2", conn, db::adOpenKeyset, db::adLockOptimistic);
        if (toNumber(purse("emoney")) >= 1) {
          purse["emoney"] = purse("emoney") - Variant(1);
          purse.Update();
          ++spent;
        }
      } catch (const VbError&) {
        ++failed;
      }
    }
  });
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(column0(conn_, "select grade from u where userid=1"), std::to_string(2 + kThreads * kEach));
  // 320 attempts on a balance of 100: exactly 100 spends, none of them free.
  EXPECT_EQ(spent, 100);
  EXPECT_EQ(column0(conn_, "select emoney from u where userid=2"), "0");
}

// Transactions that read, decide and write, racing: each decision holds.
// A balance read and charged (the rows of one key), a name counted before
// it is added (a count), and a name looked up before it is added (a select
// that finds nothing). `body` says whether it wrote.
TEST_F(DbRecordset, RacingTransactionsDecideOnWhatTheyRead) {
  struct Case {
    const char* name;
    std::function<bool(db::Connection&, int thread)> body;
    int writes;
    const char* check;
    const char* expected;
  };
  const Case cases[] = {
      {"read and charge",
       [](db::Connection& conn, int) {
         const Variant emoney = conn.Execute("select emoney from u where userid=2")(0);
         if (toNumber(emoney) < 30) return false;
         conn.ExecuteAction("update u set emoney=" + (emoney - Variant(30)).str() +
                            " where userid=2");
         return true;
       },
       3, "select emoney from u where userid=2", "10"},
      {"count and add",
       [](db::Connection& conn, int thread) {
         if (toNumber(conn.Execute("select count(*) from u where nickname='new'")(0)) != 0)
           return false;
         conn.ExecuteAction("insert into u (nickname, grade) values ('new', " +
                            std::to_string(thread) + ")");
         return true;
       },
       1, "select count(*) from u where nickname='new'", "1"},
      {"look up and add",
       [](db::Connection& conn, int thread) {
         if (!conn.Execute("select userid from u where nickname='newer'").eof()) return false;
         conn.ExecuteAction("insert into u (nickname, grade) values ('newer', " +
                            std::to_string(thread) + ")");
         return true;
       },
       1, "select count(*) from u where nickname='newer'", "1"},
  };
  for (const Case& c : cases) {
    std::atomic<int> failed{0}, writes{0};
    onThreads(8, [&](int thread) {
      db::Connection conn;
      if (!conn.Open(params("t"))) return void(++failed);
      for (int i = 0; i < 20; ++i) {
        try {
          conn.transaction([&] { writes += c.body(conn, thread) ? 1 : 0; });
        } catch (const VbError&) {
          ++failed;
        }
      }
    });
    EXPECT_EQ(failed, 0) << c.name;
    EXPECT_EQ(writes, c.writes) << c.name;
    EXPECT_EQ(column0(conn_, c.check), c.expected) << c.name;
  }
}

TEST_F(DbRecordset, TheWriteLockLastsFromTheReadToUpdateOrClose) {
  db::Recordset rs;
  rs.Open("select nickname, grade from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  EXPECT_TRUE(writeLockFree());  // nothing read yet
  EXPECT_EQ(rs("grade").str(), "2");
  EXPECT_FALSE(writeLockFree());
  rs["grade"] = 3;
  rs.Update();
  EXPECT_TRUE(writeLockFree());

  // Opened for update and only read: the lock ends at Close, or with the
  // recordset.
  rs.Close();
  rs.Open("select grade from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  EXPECT_FALSE(rs.eof());
  EXPECT_FALSE(writeLockFree());
  rs.Close();
  EXPECT_TRUE(writeLockFree());
  {
    db::Recordset unfinished;
    unfinished.Open("select grade from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
    unfinished["grade"] = 9;  // never updated
    EXPECT_FALSE(writeLockFree());
  }
  EXPECT_TRUE(writeLockFree());
  EXPECT_EQ(column0(conn_, "select grade from u where userid=1"), "3");

  // A failed Update ends the lock too, and changes nothing.
  rs.Open("select grade from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  rs["grade"] = "many";
  EXPECT_EQ(raisedBy([&] { rs.Update(); }).number, 13);
  EXPECT_TRUE(writeLockFree());
  rs.CancelUpdate();
  rs.Close();
  EXPECT_EQ(column0(conn_, "select grade from u where userid=1"), "3");
}

TEST_F(DbRecordset, ASecondEditChecksTheRowStillHoldsWhatWasRead) {
  db::Recordset rs;
  rs.Open("select grade, nickname from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  rs["grade"] = rs("grade") + Variant(1);
  rs.Update();
  rs["grade"] = rs("grade") + Variant(1);  // unchanged meanwhile: written
  rs.Update();
  std::thread([] {
    db::Connection other;
    if (other.Open(params("t"))) other.ExecuteAction("update u set grade=50 where userid=1");
    db::releasePooledConnections();
  }).join();
  rs["grade"] = rs("grade") + Variant(1);  // computed from a value that is stale now
  EXPECT_EQ(raisedBy([&] { rs.Update(); }).number, db::dberr::RowNotFound);
  rs.CancelUpdate();
  rs.Close();
  EXPECT_EQ(column0(conn_, "select grade from u where userid=1"), "50");
  EXPECT_TRUE(writeLockFree());
}

TEST_F(DbRecordset, TheLockNestsInATransactionOfTheConnection) {
  // Inside a transaction: the update is part of it and goes with its rollback.
  conn_.BeginTrans();
  db::Recordset rs;
  rs.Open("select grade from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  rs["grade"] = 7;
  rs.Update();
  rs.Close();
  EXPECT_FALSE(writeLockFree());
  conn_.RollbackTrans();
  EXPECT_EQ(column0(conn_, "select grade from u where userid=1"), "2");

  // A transaction begun while the recordset holds the lock, and ended before
  // the recordset closes: both commit once both have ended.
  rs.Open("select grade from u where userid=1", conn_, db::adOpenKeyset, db::adLockOptimistic);
  EXPECT_EQ(rs("grade").str(), "2");
  conn_.BeginTrans();
  conn_.ExecuteAction("update u set nickname='uno' where userid=1");
  conn_.CommitTrans();
  EXPECT_FALSE(writeLockFree());
  rs.Close();
  EXPECT_TRUE(writeLockFree());
  EXPECT_EQ(column0(conn_, "select nickname from u where userid=1"), "uno");
}

}  // namespace
}  // namespace zurvafun::testing

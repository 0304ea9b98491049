// The SQL Server dialect on SQLite: statements as the component writes them,
// run against a real database file, with the results SQL Server gives.
#include <gtest/gtest.h>

#include <string>

#include "db/db.h"
#include "tests/db/db_fixture.h"

namespace zurvafun::testing {
namespace {

// Members whose packed columns sort wrongly as text: pay "99" is below 230 as
// a number but above "230" as text, and so on.
constexpr const char* kMembers = R"sql(
CREATE TABLE m (
  id INTEGER PRIMARY KEY,
  userdata VARCHAR(255) COLLATE ZV,
  pay VARCHAR(10) COLLATE ZV,
  height_ VARCHAR(10) COLLATE ZV,
  nickname VARCHAR(50) COLLATE ZV,
  mobile VARCHAR(50) COLLATE ZV,
  smallphoto VARCHAR(100) COLLATE ZV,
  grade INTEGER,
  trust INTEGER,
  sex INTEGER,
  addtime DATETIME,
  moneytime DATETIME
);
INSERT INTO m VALUES (1, '1990#1#1#11#北京#北京-朝阳#125#北京-海淀#301', '99', '165', 'Ab  ', NULL,
  'smallphoto1.jpg1', 0, 2, 577, '2026-03-10 08:00:00', '2026-03-14 23:59:00');
INSERT INTO m VALUES (2, '2001#2#2#21#上海#上海-浦东区#122#上海-黄浦#302', '230', ' 99 ', 'ab', '139#1',
  'smallphoto2.jpg0', 1, 3, 577, '2026-03-01 08:00:00', '2026-03-15 00:01:00');
INSERT INTO m VALUES (3, '1985#1#3#31#广东#广东-广州#128#广东-深圳#303', '1000', '180', 'Cd', NULL,
  NULL, 2, 10, 578, '2026-03-14 12:00:00', '9999-01-01 00:00:00');
INSERT INTO m VALUES (4, '1979#3#2#41#江苏#江苏-南京#127#江苏-苏州#301', '231', '159', 'abc', '#',
  'smallphoto4.jpg1', 0, 4, 577, '2026-03-15 09:00:00', NULL);
CREATE TABLE p (id INTEGER PRIMARY KEY, partyid INTEGER, emoney MONEY, title VARCHAR(20) COLLATE ZV);
INSERT INTO p VALUES (1, 5, 7.5, 'x');
INSERT INTO p VALUES (2, 15, 100, 'y');
)sql";

class DbDialect : public DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    fixClock(2026, 3, 15, 10, 0, 0);
    conn_ = create(kMembers);
  }
  std::string ids(const std::string& where) { return column0(conn_, "select id from m where " + where + " order by id"); }
  std::string value(const std::string& expression) { return column0(conn_, "select " + expression); }
  db::Connection conn_;
};

TEST_F(DbDialect, TextComparedWithNumberConvertsTheText) {
  struct Case {
    const char* where;
    const char* ids;
  } const cases[] = {
      // Income codes: "99" <= 230 as numbers though not as text.
      {"left(pay,3)<=230", "1,2,3"},
      {"left(pay,3)>=230", "2,4"},
      {"SUBSTRING(userdata,8,1)=1", "1"},
      {"SUBSTRING(userdata,8,1)=2", "2,4"},
      // The education code after the first "#12".
      {"SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
       "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127",
       "1,2,4"},
      {"cast(left(userdata,4) as int)<=2006 and cast(left(userdata,4) as int)>=1980", "1,2,3"},
      {"cast(height_ as int)>=160 and cast(height_ as int)<=180", "1,3"},
      {"cast(height_ as int)<100", "2"},
      // Integer columns against quoted numbers.
      {"grade='0'", "1,4"},
      {"trust<='3'", "1,2"},
      {"trust>'3'", "3,4"},
      {"'9'=trust-1", "3"},
      {"sex=577 and grade=0", "1,4"},
      // BETWEEN and IN convert the same way.
      {"pay between 50 and 231", "1,2,4"},
      {"pay not between 100 and 230", "1,3,4"},
      {"height_ in (99, 180)", "2,3"},
      {"height_ not in (99)", "1,3,4"},
      {"grade in ('0', ' 2 ')", "1,3,4"},
      {"id in (select id from m where trust between '3' and '4')", "2,4"},
  };
  for (const Case& c : cases) EXPECT_EQ(ids(c.where), c.ids) << c.where;
  EXPECT_EQ(column0(conn_, "select id from p where partyid='5'"), "1");
  EXPECT_EQ(column0(conn_, "select id from p where emoney='7.5'"), "1");
}

TEST_F(DbDialect, TextComparesWithoutCaseOrTrailingBlanks) {
  struct Case {
    const char* where;
    const char* ids;
  } const cases[] = {
      {"nickname='ab'", "1,2"},
      {"nickname='AB   '", "1,2"},
      {"nickname<>'ab'", "3,4"},
      {"nickname='abc'", "4"},
      {"nickname like 'A%'", "1,2,4"},
      // LIKE ignores the value's trailing blanks ('Ab  ' is like 'a_'), not the pattern's.
      {"nickname like 'a_'", "1,2"},
      {"nickname like 'ab '", "1"},
      {"nickname like 'ab'", "1,2"},
      {"nickname like '[ac]%'", "1,2,3,4"},
      {"nickname like '[^a]%'", "3"},
      {"SUBSTRING(userdata,13,2)='北京'", "1"},
      {"right(userdata,3)='301'", "1,4"},
      {"smallphoto like 'SMALLPHOTO%.jpg1'", "1,4"},
      {"nickname in ('AB', 'cd')", "1,2,3"},
      // Two text expressions, neither of them a column.
      {"left(nickname,2)=upper(left(nickname,2))", "1,2,3,4"},
  };
  for (const Case& c : cases) EXPECT_EQ(ids(c.where), c.ids) << c.where;
  EXPECT_EQ(column0(conn_, "select nickname from m where id<4 order by nickname desc, id"), "Cd,Ab  ,ab");
  EXPECT_EQ(column0(conn_, "select id from m where id<4 order by left(nickname,1) desc, id"), "3,1,2");
  EXPECT_EQ(column0(conn_, "select top 2 isnull(mobile,'#') as m from m order by isnull(mobile,'#') desc"),
            "139#1,#");
  EXPECT_EQ(column0(conn_, "select count(distinct nickname) from m"), "3");
  EXPECT_EQ(column0(conn_, "select count(*) from (select distinct left(nickname,1) as f from m)"), "2");
}

TEST_F(DbDialect, FunctionsGiveSqlServerResults) {
  struct Case {
    const char* expression;
    const char* value;
  } const cases[] = {
      {"SUBSTRING('abcdef',2,3)", "bcd"},
      {"SUBSTRING('abc',0,2)", "a"},
      {"SUBSTRING('abc',-1,3)", "a"},
      {"SUBSTRING('abc',-3,3)", ""},
      {"SUBSTRING('abc',5,2)", ""},
      {"SUBSTRING('北京-朝阳',4,2)", "朝阳"},
      {"substring(NULL,1,2)", "NULL"},
      {"left('abc',2)", "ab"},
      {"left('abc',9)", "abc"},
      {"right('abc',2)", "bc"},
      {"right('上海-浦东',2)", "浦东"},
      {"CHARINDEX('B','abcb')", "2"},
      {"CHARINDEX('b','abcb',3)", "4"},
      {"CHARINDEX('b','abcb',-5)", "2"},
      {"CHARINDEX('x','abc')", "0"},
      {"CHARINDEX('','abc')", "0"},
      {"CHARINDEX('海','上海-浦东')", "2"},
      {"CHARINDEX('a',NULL)", "NULL"},
      {"CHARINDEX('#12','AB#1#12c')", "5"},  // a text without letters, in a value with some
      {"CHARINDEX('-','上海-浦东')", "3"},
      {"CHARINDEX('b#','AB#b#')", "2"},
      {"PATINDEX('%_#%-%','11#北京-朝阳#125')", "2"},
      {"PATINDEX('%[0-9]%','ab7c')", "3"},
      {"PATINDEX('ab%','abc')", "1"},
      {"PATINDEX('%x%','abc')", "0"},
      {"LEN('ab  ')", "2"},
      {"LEN('  ab')", "4"},
      {"LEN('')", "0"},
      {"isnull(NULL,'#')", "#"},
      // ISNULL gives its second value in the type of the first.
      {"isnull(moneytime,'2026-3-1') from m where id=4", "2026-03-01 00:00:00"},
      {"isnull(grade,'7') + 1 from m where id=2", "2"},
      {"CAST(' 12 ' AS INT)", "12"},
      {"CAST('+5' AS INT)", "5"},
      {"cast('-7' as int)", "-7"},
      {"CAST('' AS INT)", "0"},
      {"CAST(' + ' AS INT)", "0"},  // a sign alone, blanks around it: as nothing
      {"CAST(2.9 AS INT)", "2"},
      {"CONVERT(int, '42')", "42"},
      {"CAST(12 AS VARCHAR(10))", "12"},
      {"7/2", "3"},
      {"1+2", "3"},
      {"GetDate()", "2026-03-15 10:00:00"},
      {"DateAdd(\"d\",-7 , GetDate())", "2026-03-08 10:00:00"},
      {"DATEADD(dd, 1, '2026-01-31 23:00:00')", "2026-02-01 23:00:00"},
      {"DATEADD(m, 1, '2026-01-31')", "2026-02-28 00:00:00"},
      {"DATEADD(yyyy, -1, '2024-02-29')", "2023-02-28 00:00:00"},
      {"DATEADD(hh, 2, '2026-03-15 23:30:00')", "2026-03-16 01:30:00"},
      {"DATEDIFF(\"d\",'2026-03-14 23:59:00','2026-03-15 00:01:00')", "1"},
      {"DATEDIFF(d,'2026-03-15 00:01:00','2026-03-15 23:59:00')", "0"},
      {"DATEDIFF(m,'2025-12-31','2026-01-01')", "1"},
      {"DATEDIFF(yyyy,'2025-12-31','2026-01-01')", "1"},
      {"DATEDIFF(hh,'2026-03-15 10:59:00','2026-03-15 11:00:00')", "1"},
      {"DATEDIFF('d','2026-03-15','2026-03-10')", "-5"},
  };
  for (const Case& c : cases) EXPECT_EQ(value(c.expression), c.value) << c.expression;
}

TEST_F(DbDialect, StatementsOfTheComponentRunAsWritten) {
  // A registration window of 7 days by the database clock.
  EXPECT_EQ(ids("addtime > DateAdd(\"d\",-7 , GetDate())"), "1,3,4");
  EXPECT_EQ(ids("addtime > DateAdd(\"d\",-30 , GetDate())"), "1,2,3,4");
  EXPECT_EQ(column0(conn_, "select DATEDIFF (\"d\",moneytime,getdate()) as ct from m where id=1"), "1");
  EXPECT_EQ(column0(conn_, "select right(isnull(smallphoto,0),1) as ifsmallphoto from m order by id"), "1,0,0,1");
  EXPECT_EQ(column0(conn_, "select isnull(mobile,'#') as mobile from [m] where id<3 order by id"), "#,139#1");
  EXPECT_EQ(column0(conn_, "select top 2 id from [m] where sex=577 order by grade desc,trust desc"), "2,4");
  EXPECT_EQ(column0(conn_, "select top 200 * from m  where sex=577 and cast(left(userdata,4) as int)<=2006 and "
                           "cast(left(userdata,4) as int)>=1980 order by id"),
            "1,2");
  EXPECT_EQ(column0(conn_, "select distinct top 1 sex from m order by sex desc"), "578");
  EXPECT_EQ(column0(conn_, "select id from m where id in (select top 1 id from m order by id desc)"), "4");
  // Residence province and city cut out of the packed column.
  EXPECT_EQ(ids("SUBSTRING(SUBSTRING(userdata,13,30),PATINDEX('%_#%-%',SUBSTRING(userdata,13,30))+2,"
                "CHARINDEX('-',SUBSTRING(userdata,13,30))-4)='北京'"),
            "1");
  EXPECT_EQ(ids("SUBSTRING(SUBSTRING(userdata,CHARINDEX('-',userdata)+1,8),1,CHARINDEX('#',userdata)-2)='浦东区'"),
            "2");
  EXPECT_EQ(ids("substring(substring(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',"
                "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20))+1,20),1,charindex('#',substring(SUBSTRING("
                "userdata,CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',SUBSTRING(userdata,CHARINDEX('#12',"
                "userdata)+1,20))+1,20))-1)='苏州'"),
            "4");
  // Dates written as text literals are stored in the one text form.
  EXPECT_EQ(conn_.ExecuteAction("update m set addtime='2026-3-5 8:01:02' where id=4"), 1);
  EXPECT_EQ(column0(conn_, "select addtime from m where id=4"), "2026-03-05 08:01:02");
  EXPECT_EQ(ids("addtime='2026-03-05 08:01:02'"), "4");
}

// Statements met again with other literals reuse what was prepared for the
// first; every one must still give its own rows, also where the rewrite
// depends on a literal's value (a text compared with a number, a function's
// argument, a date part, a column number in ORDER BY).
TEST_F(DbDialect, StatementsOfOneShapeWithOtherLiteralsGiveTheirOwnRows) {
  struct Case {
    std::string sql;
    const char* rows;
  };
  const std::string select = "select id from m where ";
  const Case cases[] = {
      {select + "grade=0 order by id", "1,4"},
      {select + "grade=2 order by id", "3"},
      {select + "grade='0' order by id", "1,4"},
      {select + "grade='2' order by id", "3"},
      {select + "grade=' 1 ' order by id", "2"},
      {select + "cast(height_ as int)>=160 order by id", "1,3"},
      {select + "cast(height_ as int)>=99 order by id", "1,2,3,4"},
      {select + "pay<=230 order by id", "1,2"},
      {select + "pay<=230.5 order by id", "1,2"},
      {select + "pay<=99.5 order by id", "1"},
      {select + "left(userdata,4)='1990' order by id", "1"},
      {select + "left(userdata,2)='19' order by id", "1,3,4"},
      {select + "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=125 order by id", "1,3,4"},
      {select + "SUBSTRING(userdata,CHARINDEX('#30',userdata)+1,3)>=302 order by id", "2,3"},
      {select + "addtime > DateAdd(\"d\",-7 , GetDate()) order by id", "1,3,4"},
      {select + "addtime > DateAdd(\"d\",-1 , GetDate()) order by id", "3,4"},
      {select + "DATEDIFF('d',addtime,GetDate())<2 order by id", "3,4"},
      {select + "DATEDIFF('m',addtime,GetDate())<2 order by id", "1,2,3,4"},
      {select + "nickname='AB' order by id", "1,2"},
      {select + "nickname='abc' order by id", "4"},
      {"select id, grade from m order by 2 desc, 1", "3,2,1,4"},
      {"select id, grade from m order by 1 desc, 2", "4,3,2,1"},
      {"select top 1 id from m order by id", "1"},
      {"select top 3 id from m order by id", "1,2,3"},
      {"select id from m where id in (1, 3) order by id", "1,3"},
      {"select id from m where id in (2, 4) order by id", "2,4"},
  };
  for (const Case& c : cases) EXPECT_EQ(column0(conn_, c.sql), c.rows) << c.sql;
  // A text that does not convert fails as before, and a number converted to
  // text compares as text.
  EXPECT_EQ(raisedBy([&] { conn_.Execute(select + "grade='x' order by id"); }).number, db::dberr::ConversionError);
  EXPECT_EQ(column0(conn_, select + "grade='1' order by id"), "2");
}

TEST_F(DbDialect, SqlServerErrorsAreRunTimeErrors) {
  struct Case {
    const char* sql;
    long number;
    const char* description;
  } const cases[] = {
      {"select SUBSTRING('abc',1,-1)", db::dberr::CommandError, "SUBSTRING"},
      {"select left('abc',-1)", db::dberr::CommandError, "LEFT"},
      {"select cast('1.5' as int)", db::dberr::ConversionError, "'1.5'"},
      {"select cast('abc' as int)", db::dberr::ConversionError, "'abc'"},
      {"select cast('12a' as int)", db::dberr::ConversionError, "'12a'"},
      {"select cast('+ 5' as int)", db::dberr::ConversionError, "'+ 5'"},
      {"select cast('99999999999' as int)", db::dberr::ConversionError, "int"},
      // Row 4's marital item is "3", row 2's height " 99 " converts; a text
      // that is no number fails the comparison as on SQL Server.
      {"select id from m where SUBSTRING(userdata,5,1)=1", db::dberr::ConversionError, "'#'"},
      {"select id from m where grade='high'", db::dberr::ConversionError, "'high'"},
      {"select id from m where grade in ('0', 'high')", db::dberr::ConversionError, "'high'"},
      // A "name" is a name, never a text literal.
      {"select id from m where nickname=\"ab\"", db::dberr::CommandError, "ab"},
      {"select DATEADD(fortnight, 1, getdate())", db::dberr::CommandError, "fortnight"},
      {"select DATEADD(d, 1, 'soon')", db::dberr::ConversionError, "日期"},
      // Text compared with a date converts to a date.
      {"select id from m where nickname < getdate()", db::dberr::ConversionError, "日期"},
      {"select nosuchcolumn from m", db::dberr::CommandError, "nosuchcolumn"},
  };
  for (const Case& c : cases) {
    const Raised r = raisedBy([&] { conn_.Execute(c.sql); });
    EXPECT_EQ(r.number, c.number) << c.sql;
    EXPECT_NE(r.description.find(c.description), std::string::npos) << c.sql << ": " << r.description;
  }
  // The connection goes on working after a failed statement.
  EXPECT_EQ(value("1"), "1");
}

// A search's conversion of a short text (the birth year, the education code)
// selects by the converted value (blanks and a sign allowed, '' is 0, NULL
// matches nothing); a stored value that does not convert fails a search
// whose other conditions take its row in, paged or not, and not one that
// leaves the row out. (On the member table, where the server tests such a
// conversion on its index.)
TEST_F(DbDialect, AValueThatDoesNotConvertFailsTheSearchesThatTakeItsRowIn) {
  db::Connection conn = create(R"sql(
CREATE TABLE zurva_user (userid INTEGER PRIMARY KEY, userdata VARCHAR(255) COLLATE ZV, sex INTEGER,
  grade INTEGER);
INSERT INTO zurva_user VALUES (1, '1990#1#1#11#北京#北京-朝阳#125#北京-海淀#301', 577, 0);
INSERT INTO zurva_user VALUES (2, '2001#2#2#21#上海#上海-浦东区#122#上海-黄浦#302', 577, 1);
INSERT INTO zurva_user VALUES (3, '1985#1#3#31#广东#广东-广州#128#广东-深圳#303', 578, 2);
INSERT INTO zurva_user VALUES (4, '1979#3#2#41#江苏#江苏-南京#127#江苏-苏州#301', 577, 0);
INSERT INTO zurva_user VALUES (5, '19x0#1#1#11#北京#北京-朝阳#1x5#北京-海淀#301', 578, 0);
INSERT INTO zurva_user VALUES (6, '+198#1#1#11#北京#北京-朝阳#12 #北京-海淀#301', 579, 0);
INSERT INTO zurva_user VALUES (7, NULL, 579, 0);
INSERT INTO zurva_user VALUES (8, '', 579, 1);
)sql",
                               "members");
  const std::string year = "cast(left(userdata,4) as int)";
  const std::string education = "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)";
  struct Case {
    std::string where;
    const char* ids;
  } const cases[] = {
      {"sex=577 and " + year + ">=1980 and " + year + "<=2006", "1,2"},
      {"sex=579 and " + year + "<=198", "6,8"},
      {"sex=579 and " + year + "=0", "8"},
      {"sex=579 and " + education + ">=12 and " + education + "<=12", "6"},
      {"sex<>578 and grade=0 and " + year + ">=1980", "1"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(column0(conn, "select userid from zurva_user where " + c.where + " order by userid"),
              c.ids)
        << c.where;
  EXPECT_EQ(column0(conn, "select top 1 userid from zurva_user where sex=577 and " + year +
                              ">=1980 order by grade desc"),
            "2");

  for (const std::string& where :
       {"sex=578 and " + year + ">=1980", year + ">=1980", "grade=0 and " + education + ">=122",
        "sex>=578 and " + year + ">=0 and " + education + ">=0"}) {
    const std::string sql =
        "select top 200 * from zurva_user where " + where + " order by grade desc,userid";
    const Raised raised = raisedBy([&] { conn.Execute(sql); });
    EXPECT_EQ(raised.number, db::dberr::ConversionError) << where;
    EXPECT_NE(raised.description.find("'1"), std::string::npos)
        << where << ": " << raised.description;
    db::Recordset paged;
    EXPECT_EQ(raisedBy([&] { paged.OpenPaged(sql, conn); }).number, db::dberr::ConversionError)
        << where;
  }
}

TEST_F(DbDialect, OneStatementPerCall) {
  const char* refused[] = {
      "update m set grade=9 where id=1; delete from m",
      "update m set grade=9 where id=1;delete from m;",
      "select id from m; drop table m",
      "update m set grade=9 where id=1 ; ; select 1",
      // A comment left open would hide the rest of the statement.
      "update m set grade=9 /* where id=1",
      "update m set grade=9 where id=1 /* /* */ */ ; delete from m",
  };
  for (const char* sql : refused) {
    const Raised r = raisedBy([&] { conn_.ExecuteAction(sql); });
    EXPECT_EQ(r.number, db::dberr::CommandError) << sql;
    EXPECT_TRUE(r.description.find("一条") != std::string::npos || r.description.find("*/") != std::string::npos)
        << r.description;
    const Raised viaRecordset = raisedBy([&] { conn_.Execute(sql); });
    EXPECT_EQ(viaRecordset.number, db::dberr::CommandError) << sql;
  }
  // A NUL byte does not cut the statement short.
  const char withNul[] = "delete from m \0 where nickname=mobile";
  EXPECT_EQ(raisedBy([&] { conn_.ExecuteAction(std::string(withNul, sizeof withNul - 1)); }).number,
            db::dberr::CommandError);
  // Nothing ran.
  EXPECT_EQ(column0(conn_, "select count(*) from m"), "4");
  EXPECT_EQ(ids("grade=9"), "");

  // A ";" inside literals, names or comments, and a trailing ";", are fine.
  EXPECT_EQ(conn_.ExecuteAction("update m set nickname='a;b' where id=1;"), 1);
  EXPECT_EQ(conn_.ExecuteAction("update [m] set mobile='x' where id=1 -- ; delete from m"), 1);
  EXPECT_EQ(conn_.ExecuteAction("update m set mobile='y' /* ; delete from m */ where id=2;;"), 1);
  // Block comments nest: the inner "*/" does not end the outer comment.
  EXPECT_EQ(conn_.ExecuteAction("update m set mobile='z' where id=2 /* a /* b */ ; delete from m */ ; -- end"), 1);
  EXPECT_EQ(column0(conn_, "select nickname from m where id=1"), "a;b");
  EXPECT_EQ(column0(conn_, "select count(*) from m"), "4");
}

TEST_F(DbDialect, QuotesInValuesStayInsideTheLiteral) {
  // Values with every quote doubled, as the methods paste them: nothing in
  // them is rewritten, and they are stored and compared exactly.
  const char* values[] = {
      "x';delete from m;--", "[m]", "a]b[c", "\"d\"", "-- x", "/* x", "*/ ;", "; drop table m",
      "select top 1 * from m", "getdate()", "DateAdd(\"d\",-7 , GetDate())", "isnull(left(x,1),0)", "?", "N'x'",
      "cast('1' as int)", "1=1 or ''=''", "\\'",
  };
  for (const std::string value : values) {
    std::string quoted;
    for (char c : value) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    EXPECT_EQ(conn_.ExecuteAction("update m set nickname='" + quoted + "' where id=3"), 1) << value;
    EXPECT_EQ(column0(conn_, "select nickname from m where id=3"), value);
    EXPECT_EQ(ids("nickname='" + quoted + "'"), "3") << value;
    if (value.find_first_of("[_%") == std::string::npos) {
      EXPECT_EQ(ids("nickname like '" + quoted + "' and id>2"), "3") << value;
    }
  }
  EXPECT_EQ(column0(conn_, "select count(*) from m"), "4");
  // An unclosed literal is an error, not a truncated statement.
  EXPECT_EQ(raisedBy([&] { conn_.Execute("select id from m where nickname='ab"); }).number,
            db::dberr::CommandError);
}

}  // namespace
}  // namespace zurvafun::testing

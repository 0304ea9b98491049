// Connections: opening from the four parameters, the per-thread pool, WAL
// readers beside a writer, transactions, bound parameters, and the
// component's own statements on the project's schema.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "db/db.h"
#include "runtime/dates.h"
#include "tests/db/db_fixture.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kAccounts = R"sql(
CREATE TABLE a (id INTEGER PRIMARY KEY, emoney MONEY, note VARCHAR(50) COLLATE ZV, at DATETIME);
INSERT INTO a VALUES (1, 100, 'x', NULL);
CREATE TABLE ledger (id INTEGER PRIMARY KEY AUTOINCREMENT, userid INTEGER, amount MONEY);
)sql";

using DbConnection = DbFixture;

TEST_F(DbConnection, OpensWithTheConfiguredParameters) {
  create(kAccounts);
  for (const char* server : {"(local)", ".", "localhost", "127.0.0.1", "ZURVA-HOST", "zurva-host"}) {
    db::Connection conn;
    EXPECT_TRUE(conn.Open(params("t", server))) << server;
    EXPECT_EQ(conn.State(), db::adStateOpen);
  }
  db::Connection conn;
  EXPECT_TRUE(conn.Open(params("T", ".", "SA")));  // logins compare without case
}

TEST_F(DbConnection, RefusesWrongParameters) {
  create(kAccounts);
  const db::ConnectionParams wrong[] = {
      params("t", "otherhost"),
      params("t", ""),
      params("t", "(local)", "guest"),
      params("t", "(local)", kDbUser, "secret"),  // passwords compare with case
      params("t", "(local)", kDbUser, ""),
      params("nosuch"),
      params(""),
      params("../t"),
      params("sub/t"),
  };
  for (const db::ConnectionParams& p : wrong) {
    db::Connection conn;
    EXPECT_FALSE(conn.Open(p)) << p.server << " " << p.user << " " << p.password << " " << p.database;
    EXPECT_EQ(conn.State(), db::adStateClosed);
    EXPECT_EQ(raisedBy([&] { conn.Execute("select 1"); }).number, db::dberr::ConnectionNotOpen);
  }
  EXPECT_FALSE(std::filesystem::exists(db::databaseFile("nosuch")));
  // A file that is not a database does not open either.
  { std::ofstream(db::databaseFile("junk")) << "not a database"; }
  db::Connection conn;
  EXPECT_FALSE(conn.Open(params("junk")));
}

TEST_F(DbConnection, TheInstallationsDatabaseIsCreatedWithTheSchemaOnFirstOpen) {
  EXPECT_FALSE(std::filesystem::exists(db::databaseFile("zurva")));
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("zurva")));
  EXPECT_TRUE(std::filesystem::exists(db::databaseFile("zurva")));
  EXPECT_EQ(conn.Execute("select count(*) from zurva_user")(0).str(), "0");
  EXPECT_EQ(conn.Execute("PRAGMA journal_mode")(0).str(), "wal");
}

TEST_F(DbConnection, ConnectionsOfOneThreadShareATransaction) {
  db::Connection method = create(kAccounts);
  db::Connection ledgerWriter;
  // A failure after both writes undoes both, whichever connection made them.
  EXPECT_THROW(method.transaction([&] {
    method.ExecuteAction("update a set emoney=emoney-30 where id=1");
    ASSERT_TRUE(ledgerWriter.Open(params("t")));
    ledgerWriter.ExecuteAction("insert into ledger (userid, amount) values (1, -30)");
    ledgerWriter.Close();
    throw std::runtime_error("gateway failed");
  }),
               std::runtime_error);
  EXPECT_EQ(method.Execute("select emoney from a")(0).str(), "100");
  EXPECT_EQ(method.Execute("select count(*) from ledger")(0).str(), "0");

  method.transaction([&] {
    method.ExecuteAction("update a set emoney=emoney-30 where id=1");
    ASSERT_TRUE(ledgerWriter.Open(params("t")));
    ledgerWriter.transaction([&] {  // nested: a savepoint
      ledgerWriter.ExecuteAction("insert into ledger (userid, amount) values (1, -30)");
    });
  });
  EXPECT_EQ(method.Execute("select emoney from a")(0).str(), "70");
  EXPECT_EQ(method.Execute("select count(*) from ledger")(0).str(), "1");
}

TEST_F(DbConnection, ANestedFailureUndoesOnlyItsOwnPart) {
  db::Connection conn = create(kAccounts);
  conn.transaction([&] {
    conn.ExecuteAction("update a set note='outer' where id=1");
    EXPECT_THROW(conn.transaction([&] {
      conn.ExecuteAction("update a set emoney=0 where id=1");
      conn.Execute("select cast('x' as int)");
    }),
                 VbError);
  });
  EXPECT_EQ(conn.Execute("select note || '/' || emoney from a")(0).str(), "outer/100");
}

TEST_F(DbConnection, ClosingRollsBackAnUnfinishedTransaction) {
  db::Connection conn = create(kAccounts);
  conn.BeginTrans();
  conn.ExecuteAction("update a set emoney=0 where id=1");
  conn.Close();
  db::Connection again;
  ASSERT_TRUE(again.Open(params("t")));
  EXPECT_EQ(again.Execute("select emoney from a")(0).str(), "100");
  // The pooled handle is free for a new transaction.
  again.transaction([&] { again.ExecuteAction("update a set emoney=1 where id=1"); });
  EXPECT_EQ(again.Execute("select emoney from a")(0).str(), "1");
}

TEST_F(DbConnection, ReadersOnOtherThreadsAreNotBlockedByAWriter) {
  db::Connection writer = create(kAccounts);
  writer.BeginTrans();
  writer.ExecuteAction("update a set emoney=5 where id=1");
  std::string seen;
  std::thread reader([&] {
    db::Connection conn;
    if (conn.Open(params("t"))) seen = conn.Execute("select emoney from a")(0).str();
    db::releasePooledConnections();
  });
  reader.join();
  EXPECT_EQ(seen, "100");  // the committed value, read without waiting
  writer.CommitTrans();

  // A second writer waits for the first instead of failing.
  writer.BeginTrans();
  writer.ExecuteAction("update a set emoney=6 where id=1");
  long changed = 0;
  std::thread second([&] {
    db::Connection conn;
    if (conn.Open(params("t"))) changed = conn.ExecuteAction("update a set emoney=emoney+1 where id=1");
    db::releasePooledConnections();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  writer.CommitTrans();
  second.join();
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(writer.Execute("select emoney from a")(0).str(), "7");
}

TEST_F(DbConnection, BoundValuesAreStoredAsTheColumnsHoldThem) {
  db::Connection conn = create(kAccounts);
  fixClock(2026, 1, 5, 9, 3, 7);
  EXPECT_EQ(conn.ExecuteAction("update a set emoney=?, note=?, at=? where id=?",
                               {Variant::currencyScaled(75000), "it's", Now(), 1}),
            1);
  db::Recordset rs = conn.Execute("select emoney, note, at, at || '' as raw from a where id=?", {1});
  EXPECT_EQ(rs("emoney").currencyScaledValue(), 75000);
  EXPECT_EQ(rs("note").str(), "it's");
  EXPECT_EQ(rs("raw").str(), "2026-01-05 09:03:07");
  EXPECT_EQ(raisedBy([&] { conn.ExecuteAction("update a set note=? where id=?", {"x"}); }).number,
            db::dberr::CommandError);
}

TEST_F(DbConnection, AReplacedDatabaseFileIsNotWrittenThroughAStaleHandle) {
  create(kAccounts);
  {
    db::Connection conn;
    ASSERT_TRUE(conn.Open(params("t")));
    conn.ExecuteAction("update a set note='old' where id=1");
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db::databaseFile("t") + suffix);
  db::createDatabase(db::databaseFile("t"), kAccounts);
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("t")));
  EXPECT_EQ(conn.Execute("select note from a")(0).str(), "x");
}

// The statements the component runs, as it writes them, on the project's schema.
TEST_F(DbConnection, TheComponentsStatementsRunOnTheSchema) {
  fixClock(2026, 3, 15, 10, 0, 0);
  db::Connection conn;
  ASSERT_TRUE(conn.Open(params("zurva")));
  conn.ExecuteAction(
      "insert into zurva_user (zurvauser,password,nickname,sex,ok,grade,trust,userdata,height_,weight_,pay,"
      "mobile,smallphoto,photo,field,online,iferro,ifclose,ifdel,emoney,iflianxi,moneytime,addtime,lasttime,"
      "maincity,citymoney,nextcitymoney) values ('alice','0123456789abcdef','Alice',577,1,2,1,"
      "'1996#1#1#11#北京#北京-朝阳区#125#北京-海淀区#301','165','50','230','139#1','smallphoto1.jpg1',"
      "'photo1.jpg1','7',1,0,0,0,100,5,'2026-3-14 9:00:00','2026-03-10 08:00:00','2026-03-15 09:00:00','#',"
      "10,0)");
  conn.ExecuteAction("insert into Friends (userid,senduserid,ifok,addtime) values (1,2,1,'2026-03-11 10:00:00')");
  conn.ExecuteAction("insert into zurva_system (id,citymenu,maincitymenu) values (1,'a','b')");
  conn.ExecuteAction("insert into partyzj (partyid,nr,rz) values (5,'x',1)");
  const char* reads[] = {
      "select field,userid,Zurvauser,password,sex,ok,grade,trust,userdata,nickname,wholook,emoney,lasttime,"
      "addtime,ifdel,ifclose,loginip,logins,isnull(mobile,'#') as mobile from Zurva_user where zurvauser='ALICE' "
      "and password='0123456789abcdef' and ifdel<>1",
      "select ifok from [friends] where userid=1 and senduserid=2",
      "select citymenu from [zurva_system] where id=1",
      "select * from [Zurva_user] where userid=1",
      "select count(userid) from zurva_user where photo like 'photo%.jpg1%' and userid=1",
      "select top 200 * from zurva_user  where sex=577 and cast(left(userdata,4) as int)<=2006 and "
      "cast(left(userdata,4) as int)>=1996 and cast(height_ as int)>=160 and cast(height_ as int)<=180 and "
      "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)"
      "<=127 and addtime > DateAdd(\"d\",-7 , GetDate()) and left(pay,3)<=230 and SUBSTRING(userdata,8,1)=1 and "
      "grade='2' and trust<='3' and smallphoto like 'smallphoto%.jpg1' and online=1 order by grade desc,trust desc",
      "select  userid from zurva_user where  ok=1  and SUBSTRING(SUBSTRING(userdata,CHARINDEX('-',userdata)+1,8),1,"
      "CHARINDEX('#',userdata)-2)='朝阳区'and SUBSTRING(SUBSTRING(userdata,13,30),PATINDEX('%_#%-%',SUBSTRING("
      "userdata,13,30))+2,CHARINDEX('-',SUBSTRING(userdata,13,30))-4)='北京'  and smallphoto like "
      "'smallphoto%.jpg1'  and ifclose=0 and ifdel=0 and iferro=0 order by userid desc",
      "select * from  zurva_user where (maincity='#' or  userid<=1)  and smallphoto like 'smallphoto%.jpg1'  and "
      "ok=1 and ifclose=0 and ifdel=0 and iferro=0  order by  citymoney desc,userid desc",
      "select iflianxi,moneytime,DATEDIFF (\"d\",moneytime,getdate()) as ct,right(isnull(smallphoto,0),1) as "
      "ifsmallphoto from zurva_user where userid=1",
      "select id,userID,senduserID,new,addtime from friends where (userid=1 or senduserid=1) and ifok=1  order by "
      "addtime desc",
      "select count(*) as count from partyzj where partyid='5'",
  };
  for (const char* sql : reads) {
    db::Recordset rs;
    EXPECT_NO_THROW(rs.Open(sql, conn, db::adOpenKeyset, db::adLockReadOnly)) << sql;
    EXPECT_EQ(rs.State() == db::adStateOpen ? rs.RecordCount() : -9, 1) << sql;
  }
  db::Recordset show = conn.Execute(reads[8]);
  EXPECT_EQ(show("ct").str(), "1");
  EXPECT_EQ(show("ifsmallphoto").str(), "1");
  EXPECT_EQ(dateTimeText(show("moneytime").dateValue()), "2026-03-14 09:00:00");

  const char* writes[] = {
      "update zurva_user set trust=trust-1 where userid=1",
      "update zurva_user set photo=null where userid=1",
      "insert into emoneymx(userID,b_count,b_history,b_time)values(1,-7.5,'秀','2026-03-15 10:00:00')",
      "update zurva_user set emoney=emoney-7.5 where userid=1",
      "update [Sendbooks] set new=0,pop=1 where ID=1",
      "delete from partycj where partyid=5",
  };
  for (const char* sql : writes) EXPECT_NO_THROW(conn.ExecuteAction(sql)) << sql;
  EXPECT_EQ(conn.Execute("select emoney from zurva_user where userid=1")(0).currencyScaledValue(), 925000);
  EXPECT_EQ(conn.Execute("select b_count from emoneymx")(0).currencyScaledValue(), -75000);
}

}  // namespace
}  // namespace zurvafun::testing

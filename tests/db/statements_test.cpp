// The statements the component runs, as it writes them, on the project's own
// schema: a few members chosen so that text and number comparisons, case,
// trailing blanks, NULL ordering and the packed columns give different rows
// when the dialect is wrong, with the rows SQL Server returns.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "db/db.h"
#include "runtime/dates.h"
#include "tests/db/db_fixture.h"

namespace zurvafun::testing {
namespace {

// Members (now is 2026-03-15 10:00:00):
//   1 alice 577, grade 2, trust 1, born 1996, 165 cm, income '230', native and
//     residence 北京-朝阳区, education 125, register 北京-海淀区, housing 205.
//   2 bob   576, grade 0, trust 3, residence 上海-浦东区, placed in that city.
//   3 carol 577, grade 3, trust 6, born 2001, 180 cm, weight '' (converts to
//     0), income '1000' (left 3 = 100), education 128, showcase days pending.
//   4 dora  577, grade 2, trust 2, deleted (ifdel=1), head photo 'SmallPhoto4.JPG1'.
//   5 eve   577, grade 0, trust 0, born 2000, height ' 170' and income '99'
//     (in range as numbers, out of range as text), no head photo, never
//     logged in, native region 北京 but residence 上海-浦东区.
constexpr const char* kSeed[] = {
    "insert into zurva_user (zurvauser,password,nickname,sex,ok,grade,trust,ifclose,ifdel,iferro,online,"
    "ifphotolook,userdata,height_,weight_,pay,field,mobile,smallphoto,photo,sfphoto,emoney,iflianxi,moneytime,"
    "maincity,citymoney,nextcitymoney,userbz,nosou,addtime,lasttime,logins) values ('alice','0123456789abcdef',"
    "'Alice',577,1,2,1,0,0,0,1,1,'1996#1#1#11#北京#北京-朝阳区#125#北京-海淀区#205','165','50','230','157',"
    "'139#1','smallphoto1.jpg1','photo1.jpg1#photo2.jpg0','photo9.jpg1',100,5,'2026-03-14 09:00:00','#',10,0,"
    "'20-30#160-180#122-127#0###577#0-0#-##-##0-0#####0','3#4','2026-03-01 08:00:00','2026-03-15 09:00:00',3)",
    "insert into zurva_user (zurvauser,password,nickname,sex,ok,grade,trust,ifclose,ifdel,iferro,online,"
    "ifphotolook,userdata,height_,weight_,pay,field,smallphoto,emoney,nextcity,citymoney,nextcitymoney,addtime,"
    "lasttime) values ('bob','0123456789abcdef','Bob',576,1,0,3,0,0,0,0,3,"
    "'1990#2#2#21#上海#上海-浦东区#122#江苏-苏州市#206','172','70','99','157','smallphoto2.jpg1',7.5,"
    "'上海#浦东区',0,20,'2026-03-02 08:00:00','2026-03-02 08:00:00')",
    "insert into zurva_user (zurvauser,password,nickname,sex,ok,grade,trust,ifclose,ifdel,iferro,online,"
    "userdata,height_,weight_,pay,field,smallphoto,emoney,moneytime,maincity,citymoney,addtime,lasttime) values "
    "('carol','x','Carol',577,1,3,6,0,0,0,1,'2001#f#3#41#江苏#江苏-南京市#128#上海-黄浦区#210','180','','1000',"
    "'822','smallphoto3.jpg1',0,'9999-01-01 00:00:00','#',30,'2026-03-14 12:00:00','2026-03-15 08:00:00')",
    "insert into zurva_user (zurvauser,password,nickname,sex,ok,grade,trust,ifclose,ifdel,iferro,online,"
    "userdata,height_,weight_,pay,field,smallphoto,addtime,lasttime) values ('dora','x','Dora',577,1,2,2,0,1,0,"
    "0,'1999#3#1#41#北京#北京-朝阳区#127#北京-海淀区#205','160','55','231','157','SmallPhoto4.JPG1',"
    "'2026-03-15 09:00:00','2026-03-15 09:30:00')",
    "insert into zurva_user (zurvauser,password,nickname,sex,ok,grade,trust,ifclose,ifdel,iferro,online,"
    "userdata,height_,weight_,pay,field,photo,addtime) values ('eve','x','Eve',577,1,0,0,0,0,0,0,"
    "'2000#0#1#11#北京#上海-浦东区#122#江苏-苏州市#206',' 170','48','99','161','photo5.jpg0',"
    "'2026-03-12 10:00:00')",
    "insert into zurva_system (id,citymenu,maincitymenu) values (1,'北京<><><><><>1','||||<><><><><><>北京')",
    "insert into dv_user (username) values ('alice')",
    "insert into Friends (userid,senduserid,ifok,ifhmd,addtime) values (1,2,1,0,'2026-03-11 10:00:00')",
    "insert into Friends (userid,senduserid,ifok,ifhmd,addtime) values (3,1,0,0,'2026-03-12 10:00:00')",
    "insert into Friends (userid,senduserid,ifok,ifhmd,addtime) values (4,1,1,1,'2026-03-13 10:00:00')",
    "insert into Sendbooks (userid,senduserid,content,addtime,new,pop,sendnew) values "
    "(1,2,'hi','2026-03-12 10:00:00',1,0,1)",
    "insert into Sendbooks (userid,senduserid,content,addtime,new,pop,sendnew) values "
    "(2,1,'yo','2026-03-13 10:00:00',1,0,1)",
    "insert into Sendbooks (userid,senduserid,content,addtime,new,pop,sendnew) values "
    "(1,3,'x','2026-03-14 10:00:00',1,0,1)",
    "insert into present (name,emoney,across,imgs) values ('rose',15,'a','rose.gif')",
    "insert into presentmx (userid,senduserid,presentedid,sm,addtime) values (2,1,1,'hi','2026-03-12 10:00:00')",
    "insert into party (userid,bt,partytime,addtime,rz) values (1,'Party','2026-03-20 18:00:00',"
    "'2026-03-01 10:00:00',0)",
    "insert into partycj (partyid,userid,email,name,sex,nl,addtime) values (1,2,'bob','Bob','576',30,"
    "'2026-03-02 10:00:00')",
    "insert into partyzj (partyid,nr,addtime,rz) values (1,'summary','2026-03-21 10:00:00',2)",
    "insert into vote (Title,Select1,Select2,IsChecked) values ('Q','a','b',1)",
    "insert into vote (Title,Select1,IsChecked) values ('Old','a',0)",
};

std::vector<std::string> splitFields(const std::string& fields) {
  std::vector<std::string> out;
  std::stringstream in(fields);
  for (std::string f; std::getline(in, f, ',');) out.push_back(f);
  return out;
}

// A select and the rows SQL Server gives for it: the named fields (every
// field when `fields` is empty) joined by "|", the rows by ";".
struct Read {
  std::string sql;
  const char* fields;
  const char* rows;
};

class DbComponentStatements : public DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    fixClock(2026, 3, 15, 10, 0, 0);
    ASSERT_TRUE(conn_.Open(params("zurva")));
    for (const char* sql : kSeed) conn_.ExecuteAction(sql);
  }

  // The rows of a select opened as the component opens it (keyset, read-only),
  // or the error it raised.
  std::string rows(const std::string& sql, const std::string& fields = "") {
    try {
      db::Recordset rs;
      rs.Open(sql, conn_, db::adOpenKeyset, db::adLockReadOnly);
      const std::vector<std::string> names = splitFields(fields);
      std::string out;
      for (; !rs.eof(); rs.MoveNext()) {
        if (!out.empty()) out += ';';
        const long n = names.empty() ? rs.fieldCount() : long(names.size());
        for (long i = 0; i < n; ++i) {
          const Variant v = names.empty() ? rs(int(i)) : rs(names[size_t(i)]);
          if (i) out += '|';
          out += v.isNull() ? std::string("NULL") : v.str();
        }
      }
      return out;
    } catch (const VbError& e) {
      return "error " + std::to_string(e.number()) + ": " + e.description();
    }
  }

  void expectRows(const std::vector<Read>& table) {
    for (const Read& r : table) EXPECT_EQ(rows(r.sql, r.fields), r.rows) << r.sql;
  }

  db::Connection conn_;
};

// Reads of login, ledger, photo access, profile panel, photo manager, trust
// recount, saved criteria, showcase, messages, poll, gifts and parties.
TEST_F(DbComponentStatements, ReadsReturnTheRowsSqlServerReturns) {
  const std::string login =
      "select field,userid,Zurvauser,password,sex,ok,grade,trust,userdata,nickname,wholook,emoney,lasttime,addtime,"
      "ifdel,ifclose,loginip,logins,isnull(mobile,'#') as mobile from Zurva_user where ";
  const std::string showcase =
      "select iflianxi,moneytime,DATEDIFF (\"d\",moneytime,getdate()) as ct,right(isnull(smallphoto,0),1) as "
      "ifsmallphoto from zurva_user where userid=";
  expectRows({
      // Account names compare without case; a deleted account does not log in.
      {login + "zurvauser='ALICE' and password='0123456789abcdef' and ifdel<>1",
       "userid,Zurvauser,nickname,emoney,lasttime,logins,mobile",
       "1|alice|Alice|100|2026-03-15 09:00:00|3|139#1"},
      {login + "nickname='bob' and password='0123456789abcdef' and ifdel<>1", "userid,mobile,logins", "2|#|NULL"},
      {login + "zurvauser='dora' and password='x' and ifdel<>1", "userid", ""},
      {"select username from dv_user where username='Alice'", "", "alice"},
      {"select emoney from zurva_user where userid=2", "", "7.5"},
      // Photo access: the pair in either direction (AND before OR).
      {"select ifok from [friends] where userid=2 and senduserid=1 or userid=1 and senduserid=2", "", "1"},
      {"select ifok from [friends] where userid=1 and senduserid=3 or userid=3 and senduserid=1", "", "0"},
      {"select ifphotolook from zurva_user where userid=2", "", "3"},
      {"select ifphotolook from zurva_user where userid = 2", "", "3"},
      {"select citymenu from [zurva_system] where id=1", "", "北京<><><><><>1"},
      {"select maincitymenu from zurva_system where id=1", "", "||||<><><><><><>北京"},
      {"select * from [Zurva_user] where userid=1", "userid,zurvauser,userdata,emoney,moneytime",
       "1|alice|1996#1#1#11#北京#北京-朝阳区#125#北京-海淀区#205|100|2026-03-14 09:00:00"},
      {"select * from [zurva_user] where userid=3", "nickname,weight_,moneytime", "Carol||9999-01-01"},
      // Profile panel: an accepted friendship only.
      {"select ifok from [friends] where (userid=4 and senduserid=1 or userid=1 and senduserid=4) and ifok=1", "",
       "1"},
      {"select ifok from [friends] where (userid=3 and senduserid=1 or userid=1 and senduserid=3) and ifok=1", "",
       ""},
      // Trust recount and photo manager.
      {"select ok from zurva_user where userid=1", "", "1"},
      {"select count(userid) from zurva_user where photo like 'photo%.jpg1%' and userid=1", "", "1"},
      {"select count(userid) from zurva_user where photo like 'photo%.jpg1%' and userid=5", "", "0"},
      {"select count(userid) from zurva_user where sfphoto like 'photo%.jpg1' and userid=1", "", "1"},
      {"select count(userid) from zurva_user where hyphoto like 'photo%.jpg1' and userid=1", "", "0"},
      {"select smallphoto,photo from [Zurva_user] where userid=1", "", "smallphoto1.jpg1|photo1.jpg1#photo2.jpg0"},
      {"select smallphoto from zurva_user  where userid=5", "", "NULL"},
      // Saved criteria and the hidden-member list.
      {"select userbz from zurva_user where userid=1", "", "20-30#160-180#122-127#0###577#0-0#-##-##0-0#####0"},
      {"select userbz,grade from zurva_user where userid=1", "grade", "2"},
      {"select nosou from zurva_user where userid=1", "", "3#4"},
      {"select nosou from zurva_user where userid=2", "", "NULL"},
      // Showcase: elapsed days by the database clock, the head photo's flag.
      {"select userdata from zurva_user where userid=5", "", "2000#0#1#11#北京#上海-浦东区#122#江苏-苏州市#206"},
      {"select addtime,height_,weight_,aboutus from zurva_user where userid=5", "",
       "2026-03-12 10:00:00| 170|48|NULL"},
      {showcase + "1", "", "5|2026-03-14 09:00:00|1|1"},
      {showcase + "5", "", "NULL|NULL|NULL|0"},
      {"select emoney,moneytime,iflianxi,userbz from zurva_user where userid=3", "", "0|9999-01-01|NULL|NULL"},
      {"select * from zurva_user where userid=1", "emoney,tuijian", "100|0"},
      // Messages.
      {"select nickname from [zurva_user] where userID=2", "", "Bob"},
      {"select  * from [Friends] where (userid=1 and senduserid=4 or senduserid=1 and userid=4) and ifhmd=1", "id",
       "3"},
      {"select  * from [Friends] where (userid=1 and senduserid=2 or senduserid=1 and userid=2) and ifhmd=1", "id",
       ""},
      {"select * from Sendbooks  where (userid=1 and senduserid=2 or senduserid=1 and userid=2) order by addtime desc",
       "id,content", "2|yo;1|hi"},
      {"select * from Sendbooks  where (userid=1 and senduserid=2 or senduserid=1 and userid=2) order by addtime ",
       "id,content", "1|hi;2|yo"},
      {"SELECT * FROM [vote] where IsChecked=1 ", "Title,Select2,Select3", "Q|b|NULL"},
      // Gifts.
      {"select * from present where id=1", "name,emoney", "rose|15"},
      {"select nickname from Zurva_user where userID=2", "", "Bob"},
      {"select id,userID,senduserID,new,addtime from friends where (userid=1 or senduserid=1) and ifok=1  order by "
       "addtime desc",
       "", "3|4|1|1|2026-03-13 10:00:00;1|1|2|1|2026-03-11 10:00:00"},
      {"select trust from Zurva_user where userID=2", "", "3"},
      {"select grade from Zurva_user where userID=2", "", "0"},
      {"select count(*) as count1 from zurva_user where userid=2", "count1", "1"},
      {"select count(*) as count1 from zurva_user where userid=9", "count1", "0"},
      {"select emoney from present where id=1", "", "15"},
      {"select * from presentmx", "userid,sm", "2|hi"},
      {"select Mobile,nickname from zurva_user where userid=1", "", "139#1|Alice"},
      {"select * from Zurva_user where userID=2", "emoney", "7.5"},
      // Parties: an integer column against a quoted number, e-mail without case.
      {"select count(*) as count from partycj where partyid=1 and email='BOB'", "count", "1"},
      {"select * from partycj", "partyid,name", "1|Bob"},
      {"select * from partycj where partyid=1 and userid=2", "email,nl", "bob|30"},
      {"select * from party where id=1", "bt,partytime", "Party|2026-03-20 18:00:00"},
      {"select * from party where id=1 and userid=1", "bt", "Party"},
      {"select * from party", "id", "1"},
      {"select count(*) as count from partyzj where partyid='1'", "count", "1"},
      {"select * from partyzj where partyid=1", "nr", "summary"},
      {"select * from partyzj", "id", "1"},
      {"select userid from party where id=1", "", "1"},
      {"select rz from partyzj where partyid='1'", "", "2"},
  });
}

// The member search: the criteria statement with each fragment of the
// condition builder, its three sort orders, the status filter and the
// hidden-member exclusion; the single search; the quick search.
TEST_F(DbComponentStatements, SearchStatementsSelectWhatSqlServerSelects) {
  const std::string worked =
      "sex=577 and cast(left(userdata,4) as int)<=2006 and cast(left(userdata,4) as int)>=1996 and "
      "cast(height_ as int)>=160 and cast(height_ as int)<=180 and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)"
      ">=122 and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127";
  const std::string status = " and ifclose=0 and iferro=0 and ifdel=0";
  const std::string hidden = " and (userid>3 or userid<3) and (userid>4 or userid<4)";
  auto criteria = [](const std::string& condition, const std::string& sort = " order by ") {
    return "select top 200 * from zurva_user  where " + condition + sort + "grade desc,trust desc";
  };
  const std::string province =
      " and SUBSTRING(SUBSTRING(userdata,13,30),PATINDEX('%_#%-%',SUBSTRING(userdata,13,30))+2,CHARINDEX('-',"
      "SUBSTRING(userdata,13,30))-4)='";
  const std::string city = " and SUBSTRING(SUBSTRING(userdata,CHARINDEX('-',userdata)+1,8),1,CHARINDEX('#',userdata)-2)='";
  const std::string registerProvince =
      " and SUBSTRING(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),5,CHARINDEX('-',SUBSTRING(userdata,"
      "CHARINDEX('#12',userdata)+1,20))-5)='";
  const std::string registerCity =
      " and substring(substring(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',SUBSTRING(userdata,"
      "CHARINDEX('#12',userdata)+1,20))+1,20),1,charindex('#',substring(SUBSTRING(userdata,CHARINDEX('#12',userdata)"
      "+1,20),CHARINDEX('-',SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20))+1,20))-1)='";
  // Women by grade, then trust: carol 3/6, dora 2/2, alice 2/1, eve 0/0.
  expectRows({
      {criteria(worked), "userid", "4;1;5"},
      {criteria(worked + status + hidden), "userid", "1;5"},
      {criteria(worked + status, " order by addtime desc,"), "userid", "5;1"},
      // A member who never logged in sorts last.
      {criteria(worked, " order by lasttime desc,"), "userid", "4;1;5"},
      {criteria("sex=577"), "userid", "3;4;1;5"},
      // Every fragment at once (dora fails only on income).
      {criteria(worked + " and cast(weight_ as int)>=45 and cast(weight_ as int)<=55 and addtime > DateAdd(\"d\",-30 , "
                "GetDate()) and SUBSTRING(userdata,13,2)='北京'" + province + "北京'" + city +
                "朝阳区' and left(pay,3)>=222 and left(pay,3)<=230 and SUBSTRING(userdata,8,1)=1" + registerProvince +
                "北京'" + registerCity + "海淀区' and field='157' and right(userdata,3)='205' and grade='2' and "
                "trust<='3' and lasttime > DateAdd(\"d\",-7 , GetDate()) and smallphoto like 'smallphoto%.jpg1' and "
                "online=1",
                " order by addtime desc,"),
       "userid", "1"},
      {criteria("sex=577 and cast(left(userdata,4) as int)<=2000 and cast(left(userdata,4) as int)>=1999"), "userid",
       "4;5"},
      // ' 170' is 170 as a number though below '165' as text; '' converts to 0.
      {criteria("sex=577 and cast(height_ as int)>=165 and cast(height_ as int)<=175"), "userid", "1;5"},
      {criteria("sex=577 and cast(weight_ as int)>=45"), "userid", "4;1;5"},
      {criteria("sex=577 and cast(weight_ as int)<=48"), "userid", "3;5"},
      {criteria("sex=577 and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=125 and "
                "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127"),
       "userid", "4;1"},
      {criteria("sex=577 and addtime > DateAdd(\"d\",-7 , GetDate())"), "userid", "3;4;5"},
      {criteria("sex=577 and SUBSTRING(userdata,13,2)='北京'"), "userid", "4;1;5"},
      {criteria("sex=577" + province + "北京'"), "userid", "4;1"},
      {criteria("sex=577" + province + "上海'"), "userid", "5"},
      {criteria("sex=577" + city + "朝阳区'"), "userid", "4;1"},
      {criteria("sex=577" + city + "浦东区'"), "userid", "5"},
      // Income codes: '99' is below 230 and '1000' reads as 100, as numbers.
      {criteria("sex=577 and left(pay,3)>=100"), "userid", "3;4;1"},
      {criteria("sex=577 and left(pay,3)<=230"), "userid", "3;1;5"},
      {criteria("sex=577 and SUBSTRING(userdata,8,1)=1"), "userid", "4;1;5"},
      {criteria("sex=577 and SUBSTRING(userdata,8,1)=3"), "userid", "3"},
      {criteria("sex=577" + registerProvince + "北京'"), "userid", "4;1"},
      {criteria("sex=577" + registerProvince + "上海'"), "userid", "3"},
      {criteria("sex=577" + registerCity + "海淀区'"), "userid", "4;1"},
      {criteria("sex=577" + registerCity + "苏州市'"), "userid", "5"},
      {criteria("sex=577 and field='157'"), "userid", "4;1"},
      {criteria("sex=577 and right(userdata,3)='205'"), "userid", "4;1"},
      {criteria("sex=577 and grade='0'"), "userid", "5"},
      {criteria("sex=577 and grade='2'"), "userid", "4;1"},
      {criteria("sex=577 and trust<='1'"), "userid", "1;5"},
      {criteria("sex=577 and lasttime > DateAdd(\"d\",-7 , GetDate())"), "userid", "3;4;1"},
      // The flag and the name compare without case: 'SmallPhoto4.JPG1' is approved.
      {criteria("sex=577 and smallphoto like 'smallphoto%.jpg1'"), "userid", "3;4;1"},
      {criteria("sex=577 and online=1"), "userid", "3;1"},
      // Single search.
      {"select  * from zurva_user  where userid=1" + status + hidden, "userid", "1"},
      {"select  * from zurva_user  where nickname='ALICE' " + status + hidden, "userid", "1"},
      {"select  * from zurva_user  where zurvauser='dora' " + status, "userid", ""},
      {"select  * from zurva_user  where zurvauser='dora' ", "userid", "4"},
      // Quick search, with and without its condition prefix.
      {"select  * from zurva_user  where sex=577 and cast(left(userdata,4) as int)<=2006 and cast(left(userdata,4) as "
       "int)>=1996" + province + "北京'" + city + "朝阳区' and  ifclose=0  and iferro=0  order by grade desc,trust "
       "desc,addtime desc",
       "userid", "4;1"},
      {"select  * from zurva_user  where  ifclose=0  and iferro=0  order by grade desc,trust desc,addtime desc",
       "userid", "3;4;1;2;5"},
  });
  // A condition without a sex, or a sort clause without "order by", is refused
  // by the server as on SQL Server.
  for (const std::string& sql : {criteria("sex=" + worked.substr(7)), criteria(worked, " ")})
    EXPECT_EQ(raisedBy([&] { conn_.Execute(sql); }).number, db::dberr::CommandError) << sql;
}

// The galleries of placed members: candidates, then placement and ranking.
TEST_F(DbComponentStatements, GalleryStatementsSelectWhatSqlServerSelects) {
  const std::string region =
      " and SUBSTRING(SUBSTRING(userdata,CHARINDEX('-',userdata)+1,8),1,CHARINDEX('#',userdata)-2)='浦东区'"
      "and SUBSTRING(SUBSTRING(userdata,13,30),PATINDEX('%_#%-%',SUBSTRING(userdata,13,30))+2,CHARINDEX('-',"
      "SUBSTRING(userdata,13,30))-4)='上海'";
  const std::string listing = " and smallphoto like 'smallphoto%.jpg1'  and ok=1 and ifclose=0 and ifdel=0 and iferro=0";
  expectRows({
      {"select  userid from zurva_user where  ok=1   and smallphoto like 'smallphoto%.jpg1'  and ifclose=0 and ifdel=0 "
       "and iferro=0 order by userid desc",
       "", "3;2;1"},
      {"select  userid from zurva_user where  ok=1 " + region +
           "  and smallphoto like 'smallphoto%.jpg1'  and ifclose=0 and ifdel=0 and iferro=0 order by userid desc",
       "", "2"},
      // Home page: placed members whatever their number, ranked by the money paid.
      {"select * from  zurva_user where (maincity='#' or  userid<=1) " + listing + "  order by  citymoney desc,userid desc",
       "userid", "3;1"},
      {"select * from  zurva_user where (maincity='#' or  userid<=2) " + listing + "  order by  citymoney desc,userid desc",
       "userid", "3;1;2"},
      // A city page: eve lives there too but has no approved head photo.
      {"select * from  zurva_user where (nextcity='上海#浦东区' or  userid<=1) " + region + listing +
           "  order by   nextcitymoney desc,userid desc",
       "userid", "2"},
  });
}

// Action statements and what they leave in the tables.
TEST_F(DbComponentStatements, ActionStatementsChangeWhatSqlServerChanges) {
  struct Write {
    const char* sql;
    long changed;
  } const writes[] = {
      {"insert into emoneymx(userID,b_count,b_history,b_time)values(1,-7.5,'<我型我秀>申请:1天','2026-3-15 10:00:00')", 1},
      {"update zurva_user set trust=trust-1 where userid=5", 1},  // a trust of 0 becomes -1
      {"update zurva_user set trust=3 where userid=1", 1},
      {"update zurva_user set photo='photo2.jpg0#photo1.jpg1' where userid=1", 1},
      {"update zurva_user set photo=null where userid=3", 1},
      {"update zurva_user set smallphoto=null where userid=3", 1},
      {"update zurva_user set emoney=emoney-7.5 where userid=1", 1},
      {"update zurva_user set trust=3 where userid=99", 0},
      {"update [Sendbooks] set pop=1 where ID=1", 1},
      {"update [Sendbooks] set new=0,pop=1 where ID=2", 1},
      {"update [Sendbooks] set sendnew=0 where ID=3", 1},
      {"update [Sendbooks] set new=0 where ID=3", 1},
      {"delete from partycj where partyid=1 and userid=2", 1},
      {"delete from party where id=1 and userid=1", 1},
      {"delete from partyzj where partyid=1", 1},
      {"delete from partycj where partyid=1", 0},
  };
  for (const Write& w : writes) {
    long changed = -9;
    EXPECT_NO_THROW(changed = conn_.ExecuteAction(w.sql)) << w.sql;
    EXPECT_EQ(changed, w.changed) << w.sql;
  }
  expectRows({
      {"select userID,b_count,b_history,b_time,b_time || '' from emoneymx", "",
       "1|-7.5|<我型我秀>申请:1天|2026-03-15 10:00:00|2026-03-15 10:00:00"},
      {"select userid,trust,photo,smallphoto,emoney from zurva_user where userid in (1,3,5) order by userid", "",
       "1|3|photo2.jpg0#photo1.jpg1|smallphoto1.jpg1|92.5;3|6|NULL|NULL|0;5|-1|photo5.jpg0|NULL|0"},
      {"select id,new,pop,sendnew from Sendbooks order by id", "", "1|1|1|1;2|0|1|1;3|0|0|0"},
      {"select (select count(*) from party) + (select count(*) from partyzj) + (select count(*) from partycj)", "",
       "0"},
  });
}

// Writes through updatable recordsets, as the login, the criteria save, the
// showcase purchase, the gift sender and the party pages make them.
// The member columns derived from userdata (the birth year when it converts,
// the province and city of residence) follow every write of it: an insert,
// an update statement, an updatable recordset.
TEST_F(DbComponentStatements, DerivedMemberColumnsFollowUserdata) {
  const std::pair<Variant, const char*> cases[] = {
      {"1990#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206", "1990|广东|广州市"},
      {" 199#8#1#39#x#浙江-#1", "199|浙江|"},
      {"19x0#8#1#39#x#浙江-杭州-西湖#1", "NULL|浙江|杭州"},
      {"99999#1", "9999||"},
      {"", "0||"},
      {Variant::null(), "NULL|NULL|NULL"},
  };
  const std::string derived =
      "select ud_birthyear, ud_province, ud_city from zurva_user where userid=";
  conn_.ExecuteAction("insert into zurva_user (userid, sex) values (900, 576)");
  long userid = 900;
  for (const auto& [userdata, expected] : cases) {
    conn_.ExecuteAction("insert into zurva_user (userid, sex, userdata) values (?, 577, ?)",
                        {++userid, userdata});
    EXPECT_EQ(rows(derived + std::to_string(userid)), expected) << userdata.str();
    conn_.ExecuteAction("update zurva_user set userdata=? where userid=900", {userdata});
    EXPECT_EQ(rows(derived + "900"), expected) << userdata.str();
    db::Recordset rs;
    rs.Open("select * from zurva_user where userid=900", conn_, db::adOpenKeyset,
            db::adLockOptimistic);
    rs["userdata"] = cases[0].first;
    rs.Update();
    rs.Close();
    EXPECT_EQ(rows(derived + "900"), cases[0].second);
  }
}

TEST_F(DbComponentStatements, RecordsetWritesOfTheComponent) {
  fixClock(2026, 3, 15, 10, 20, 30);
  auto open = [&](db::Recordset& rs, const std::string& sql) {
    rs.Open(sql, conn_, db::adOpenKeyset, db::adLockOptimistic);
  };
  const std::string login =
      "select field,userid,Zurvauser,password,sex,ok,grade,trust,userdata,nickname,wholook,emoney,lasttime,addtime,"
      "ifdel,ifclose,loginip,logins,isnull(mobile,'#') as mobile from Zurva_user where zurvauser='bob' and "
      "password='0123456789abcdef' and ifdel<>1";
  {
    db::Recordset rs;
    open(rs, login);
    rs["lasttime"] = Now();
    rs["loginip"] = "127.0.0.1";
    rs["logins"] = rs("logins").isNull() ? Variant(1) : rs("logins") + Variant(1);
    rs.Update();
    EXPECT_EQ(rs("mobile").str(), "#");
  }
  {
    db::Recordset rs;
    open(rs, "select userbz from zurva_user where userid=5");
    rs["userbz"] = "20-30#160-180#122-127#0###577#0-0#-##-##0-0#####0";
    rs.Update();
  }
  {
    db::Recordset rs;
    open(rs, "select * from zurva_user where userid=1");
    rs["emoney"] = rs("emoney") - Variant(60);
    rs["tuijian"] = 1;
    rs["iflianxi"] = rs("iflianxi") + Variant(2);
    rs["userbz"] = "25-35#160-180";
    rs.Update();
  }
  {
    db::Recordset gifts;
    open(gifts, "select * from presentmx");
    gifts.AddNew();
    gifts["userid"] = "2";
    gifts["senduserid"] = 1;
    gifts["presentedid"] = 1;
    gifts["sm"] = "it's for you";
    gifts["addtime"] = Now();
    gifts.Update();
    EXPECT_EQ(gifts("id").str(), "2");
    db::Recordset sender;
    open(sender, "select * from Zurva_user where userID=2");
    sender["emoney"] = sender("emoney") - Variant(7.5);
    sender.Update();
  }
  {
    db::Recordset rs;
    open(rs, "select * from partycj");
    rs.AddNew();
    rs["lx"] = "139";
    rs["partyid"] = "1";
    rs["userid"] = 5;
    rs["email"] = "eve";
    rs["nl"] = 26;
    rs["gk"] = "1";
    rs["tb"] = 0;
    rs["addtime"] = Now();
    rs.Update();
    rs.Close();
    open(rs, "select * from partycj where partyid=1 and userid=2");
    rs["nl"] = 31;
    rs.Update();
  }
  {
    db::Recordset rs;
    open(rs, "select * from party where id=1");
    rs["rz"] = 1;
    rs["partytime"] = "2026-3-10 18:00";
    rs.Update();
    rs.Close();
    open(rs, "select * from party");
    rs.AddNew();
    rs["userid"] = 0;
    rs["bt"] = "New";
    rs["addtime"] = Now();
    rs.Update();
    rs.Close();
    open(rs, "select * from partyzj where partyid=1");
    rs["nr"] = "rewritten";
    rs.Update();
    rs.Close();
    open(rs, "select * from partyzj");
    rs.AddNew();
    rs["partyid"] = "2";
    rs["nr"] = "first";
    rs.Update();
  }
  expectRows({
      // The computed mobile was not written back.
      {"select lasttime,loginip,logins,mobile from zurva_user where userid=2", "",
       "2026-03-15 10:20:30|127.0.0.1|1|NULL"},
      {"select userbz from zurva_user where userid=5", "", "20-30#160-180#122-127#0###577#0-0#-##-##0-0#####0"},
      {"select emoney,tuijian,iflianxi,userbz from zurva_user where userid=1", "", "40|1|7|25-35#160-180"},
      {"select id,userid,senduserid,sm,addtime from presentmx where id=2", "", "2|2|1|it's for you|2026-03-15 10:20:30"},
      {"select emoney from zurva_user where userid=2", "", "0"},
      {"select id,partyid,userid,nl,gk from partycj order by id", "", "1|1|2|31|1;2|1|5|26|1"},
      {"select id,userid,rz,partytime || '' from party order by id", "", "1|1|1|2026-03-10 18:00:00;2|0|0|NULL"},
      {"select id,partyid,nr from partyzj order by id", "", "1|1|rewritten;2|2|first"},
  });
}

}  // namespace
}  // namespace zurvafun::testing

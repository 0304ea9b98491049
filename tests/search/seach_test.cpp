// The advanced search's handler: the search condition kept in the session,
// the redirect to the result page, and the save of the criteria.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/search/search_fixture.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::contains;
using Fields = std::vector<std::pair<std::string, std::string>>;

// The worked example: sex 577, ages 20 to 30, heights 160 to 180, education
// 122 to 127, every other criterion at its no-limit value.
const Fields kExample = {{"order", "0"},      {"daynum", "0"},        {"sex", "577"},       {"agefrom", "20"},
                         {"ageto", "30"},     {"province1", "0"},     {"city1", "0"},       {"heightfrom", "160"},
                         {"heightto", "180"}, {"degreefrom", "122"},  {"degreeto", "127"},  {"incomefrom", ""},
                         {"incometo", ""},    {"marystatus", ""},     {"weightfrom", ""},   {"weightto", ""},
                         {"ancestor", ""},    {"province", "0"},      {"city", "0"},        {"housesta", ""},
                         {"job", ""},         {"ptype", ""},          {"mtype", ""},        {"daynum1", "0"}};

const std::string kBeforeWeights =
    "sex=577 and cast(left(userdata,4) as int)<=2006 and cast(left(userdata,4) as int)>=1996 and "
    "cast(height_ as int)>=160 and cast(height_ as int)<=180";
const std::string kEducation =
    " and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
    "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127";
const std::string kExampleCondition = kBeforeWeights + kEducation;

Fields with(Fields fields, const Fields& changes) {
  for (const auto& [name, value] : changes) {
    bool found = false;
    for (auto& field : fields)
      if (field.first == name) field.second = value, found = true;
    if (!found) fields.emplace_back(name, value);
  }
  return fields;
}

Fields without(Fields fields, const std::string& name) {
  std::erase_if(fields, [&](const auto& f) { return f.first == name; });
  return fields;
}

class SeachTest : public testing::SearchTest {
 protected:
  // Posts the fields in search mode; returns the condition kept, or "" when
  // none was.
  std::string search(const Fields& fields) {
    post(fields);
    const long error = testing::errorOf([&] { z().seach(con[0], con[1], con[2], con[3]); });
    EXPECT_TRUE(error == 0 || error == RequestEndError) << error;
    return h.session()("iwhere").str();
  }
};

TEST_F(SeachTest, TheWorkedExampleKeepsItsConditionAndGoesToTheResultPage) {
  EXPECT_EQ(search(kExample), kExampleCondition);
  EXPECT_EQ(h.response().redirectLocation(), "result.asp?sign=0&order=0");
  EXPECT_TRUE(h.response().ended());
}

TEST_F(SeachTest, EachCriterionAddsItsFragment) {
  struct Case {
    Fields changes;
    std::string fragment;  // appended to the example's condition
  };
  const std::vector<Case> cases = {
      {{{"daynum", "7"}}, " and addtime > DateAdd(\"d\",-7 , GetDate())"},
      {{{"daynum", "30"}}, " and addtime > DateAdd(\"d\",-30 , GetDate())"},
      {{{"ancestor", "黑龙江"}}, " and SUBSTRING(userdata,13,255) like '黑龙江#%'"},
      {{{"province1", "广东"}}, " and LEFT(userdata,CHARINDEX('-',userdata)) like '%#广东-'"},
      {{{"province1", "广东"}, {"city1", "广州市"}},
       " and LEFT(userdata,CHARINDEX('-',userdata)) like '%#广东-' and "
       "SUBSTRING(userdata,CHARINDEX('-',userdata)+1,255) like '广州市#%'"},
      {{{"city1", "广州市"}}, " and SUBSTRING(userdata,CHARINDEX('-',userdata)+1,255) like '广州市#%'"},
      {{{"incomefrom", "223"}}, " and left(pay,3)>=223"},
      {{{"incometo", "237"}}, " and left(pay,3)<=237"},
      {{{"marystatus", "2"}}, " and SUBSTRING(userdata,8,1)=2"},
      {{{"province", "湖南"}},
       " and SUBSTRING(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),5,CHARINDEX('-',SUBSTRING(userdata,"
       "CHARINDEX('#12',userdata)+1,20))-5)='湖南'"},
      {{{"city", "长沙市"}},
       " and substring(substring(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',SUBSTRING("
       "userdata,CHARINDEX('#12',userdata)+1,20))+1,20),1,charindex('#',substring(SUBSTRING(userdata,CHARINDEX("
       "'#12',userdata)+1,20),CHARINDEX('-',SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20))+1,20))-1)='长沙市'"},
      {{{"job", "185"}}, " and field='185'"},
      {{{"housesta", "208"}}, " and right(userdata,3)='208'"},
      {{{"ptype", "0"}}, " and grade='0'"},
      {{{"mtype", "6"}}, " and trust<='6'"},
      {{{"daynum1", "7"}}, " and lasttime > DateAdd(\"d\",-7 , GetDate())"},
      {{{"daynum1", ""}}, ""},
      {{{"headphoto", "1"}}, " and smallphoto like 'smallphoto%.jpg1'"},
      {{{"headphoto", "0"}}, ""},
      {{{"online", "1"}}, " and online=1"},
      {{{"online", ""}}, ""},
      {{{"province1", "0"}, {"city1", ""}}, ""},
  };
  for (const Case& c : cases) {
    nextRequest();
    EXPECT_EQ(search(with(kExample, c.changes)), kExampleCondition + c.fragment) << c.fragment;
  }
  // The weights stand before the education; the optional fragments keep
  // their fixed order, whatever the form's.
  nextRequest();
  EXPECT_EQ(search(with(kExample, {{"weightto", "80"}})), kBeforeWeights + " and cast(weight_ as int)<=80" + kEducation);
  nextRequest();
  EXPECT_EQ(search(with(kExample, {{"online", "1"}, {"weightfrom", "50"}, {"job", "161"}})),
            kBeforeWeights + " and cast(weight_ as int)>=50" + kEducation + " and field='161' and online=1");
}

TEST_F(SeachTest, EmptyHeightsMeanNoBoundAndAMissingDaynumIsAWindowOfNoDays) {
  EXPECT_EQ(search(with(kExample, {{"heightfrom", ""}, {"heightto", ""}})),
            "sex=577 and cast(left(userdata,4) as int)<=2006 and cast(left(userdata,4) as int)>=1996 and "
            "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
            "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127");
  nextRequest();
  EXPECT_EQ(search(without(kExample, "daynum")),
            kExampleCondition + " and addtime > DateAdd(\"d\",0 , GetDate())");
}

TEST_F(SeachTest, TheSortOrderTravelsInTheRedirect) {
  search(with(kExample, {{"order", "4"}}));
  EXPECT_EQ(h.response().redirectLocation(), "result.asp?sign=4&order=4");
  nextRequest();
  setSettings("0", "1");
  search(with(kExample, {{"order", "2"}}));
  EXPECT_EQ(h.response().redirectLocation(), "result_sign_2_order_2.html");
  // A value the result page does not know is the default order.
  nextRequest();
  setSettings("0", "0");
  search(with(kExample, {{"order", "0&menu=1"}}));
  EXPECT_EQ(h.response().redirectLocation(), "result.asp?sign=0&order=0");
}

// The visitor's bad request: the message box with "请求错误！" and the
// button one page back, the request ended, no redirect.
bool refusedAsBadRequest(const host::Response& response) {
  return response.ended() && response.redirectLocation().empty() &&
         contains(response.body(), "请求错误！") &&
         contains(response.body(),
                  R"(<img src="/images/erro/fh.jpg" width="90" height="31" style="cursor:pointer" )"
                  R"~(onclick="history.go(-1)">)~");
}

TEST_F(SeachTest, AValueThatIsNotANumberIsARequestErrorAndKeepsThePreviousCondition) {
  h.session().set("iwhere", "sex=576");
  const std::vector<Fields> failing = {
      with(kExample, {{"heightfrom", "abc"}}),
      with(kExample, {{"degreefrom", ""}}),
      with(kExample, {{"agefrom", ""}}),
      with(kExample, {{"ageto", "abc"}}),
      with(kExample, {{"daynum", ""}}),
      with(kExample, {{"daynum1", "x"}}),
      with(kExample, {{"daynum1", "-32768"}}),
      with(kExample, {{"sex", "577 or 1=1"}}),
      with(kExample, {{"weightfrom", "50;drop table zurva_user"}}),
      with(kExample, {{"degreeto", "127 or 1=1"}}),
      with(kExample, {{"incomefrom", "223)"}}),
      with(kExample, {{"marystatus", "1 or 1"}}),
      with(kExample, {{"ptype", "'"}}),
      with(kExample, {{"job", "185' or '1'='1"}}),
      with(kExample, {{"housesta", "208' or '1'='1"}}),
  };
  for (const Fields& fields : failing) {
    nextRequest();
    EXPECT_EQ(search(fields), "sex=576");
    EXPECT_TRUE(refusedAsBadRequest(h.response())) << h.response().body();
  }
  // The visitor's mistake is answered, not logged as a fault.
  EXPECT_FALSE(contains(log(), "seach:")) << log();
}

TEST_F(SeachTest, QuotedTextHasItsQuotesDoubled) {
  EXPECT_EQ(search(with(kExample, {{"province1", "广'东"}, {"city", "x' or 'a'='a"}, {"ancestor", "5%_["}})),
            kExampleCondition + " and SUBSTRING(userdata,13,255) like '5[%][_][[]#%'" +
                " and LEFT(userdata,CHARINDEX('-',userdata)) like '%#广''东-'" +
                " and substring(substring(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',SUBSTRING("
                "userdata,CHARINDEX('#12',userdata)+1,20))+1,20),1,charindex('#',substring(SUBSTRING(userdata,"
                "CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20))"
                "+1,20))-1)='x'' or ''a''=''a'");
}

TEST_F(SeachTest, ASearchWithoutSexAsksForIt) {
  h.session().set("iwhere", "sex=576");
  EXPECT_EQ(search(without(kExample, "sex")), "sex=576");
  EXPECT_TRUE(contains(h.response().body(), "alert('请选择要查找的会员性别！');history.go(-1);"))
      << h.response().body();
}

// ---- Save mode

class SeachSaveTest : public testing::SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    add({.userid = 7, .userbz = "old"});
    query("menu", "save");
  }
  long save(const Fields& fields) {
    post(fields);
    return testing::errorOf([&] { z().seach(con[0], con[1], con[2], con[3]); });
  }
  std::string saved() { return db("select userbz from zurva_user where userid=7").str(); }
};

TEST_F(SeachSaveTest, TheCriteriaAreStoredAsEighteenItems) {
  logIn(7, "3");
  EXPECT_EQ(save(kExample), RequestEndError);
  EXPECT_EQ(saved(), "20-30#160-180#122-127#0###577#0-0#-##-##0-0#####0");
  EXPECT_TRUE(contains(h.response().body(), "alert('保存成功');history.go(-1);")) << h.response().body();
  EXPECT_EQ(h.session()("iwhere").str(), "");
}

TEST_F(SeachSaveTest, EveryItemLandsInItsPlaceAndBoundsAreDecimal) {
  logIn(7, "3");
  save(with(kExample, {{"agefrom", "020"}, {"heightfrom", "0160"}, {"daynum", "7"}, {"headphoto", "1"},
                       {"online", "1"}, {"province1", "广东"}, {"city1", "广州市"}, {"incomefrom", "223"},
                       {"incometo", "230"}, {"marystatus", "1"}, {"weightfrom", "50"}, {"weightto", "60"},
                       {"ancestor", "湖南"}, {"province", "湖南"}, {"city", "长沙市"}, {"housesta", "205"},
                       {"job", "186"}, {"ptype", "3"}, {"mtype", "6"}, {"daynum1", "30"}}));
  EXPECT_EQ(saved(), "20-30#160-180#122-127#7#1#1#577#广东-广州市#223-230#1#50-60#湖南#湖南-长沙市#205#186#3#6#30");
}

TEST_F(SeachSaveTest, FieldsMissingFromThePostLeaveEmptyItems) {
  logIn(7, "1");
  save({{"sex", "576"}, {"agefrom", "25"}, {"ageto", "35"}, {"degreefrom", "123"}, {"degreeto", "125"}});
  EXPECT_EQ(saved(), "25-35#-#123-125####576#-#-##-##-#####");
}

TEST_F(SeachSaveTest, AValueThatIsNoNumberOrWouldShiftTheItemsIsARequestErrorAndNothingIsWritten) {
  for (const Fields& fields :
       {with(kExample, {{"province1", "广#东"}}), with(kExample, {{"city", "a-b"}}),
        with(kExample, {{"agefrom", "2#0"}}), with(kExample, {{"sex", "1"}}),
        with(kExample, {{"job", "x"}}), with(kExample, {{"heightfrom", "abc"}}),
        with(kExample, {{"degreefrom", ""}}), with(kExample, {{"housesta", "2' or '1"}})}) {
    nextRequest();
    logIn(7, "3");
    query("menu", "save");
    EXPECT_EQ(save(fields), RequestEndError);
    EXPECT_TRUE(refusedAsBadRequest(h.response())) << h.response().body();
    EXPECT_FALSE(contains(h.response().body(), "保存成功"));
    EXPECT_EQ(saved(), "old");
  }
}

TEST_F(SeachSaveTest, AMemberNumberWithoutARecordIsARequestError) {
  logIn(8, "3");  // no row for member 8
  EXPECT_EQ(save(kExample), RequestEndError);
  EXPECT_TRUE(refusedAsBadRequest(h.response())) << h.response().body();
  EXPECT_FALSE(contains(h.response().body(), "保存成功"));
  EXPECT_EQ(db("select count(*) from zurva_user").str(), "1");
  EXPECT_EQ(saved(), "old");
}

TEST_F(SeachSaveTest, AGuestIsRefusedAfterTheConnectionIsOpen) {
  EXPECT_EQ(save(kExample), RequestEndError);
  EXPECT_TRUE(contains(h.response().body(), "非法操作"));
  EXPECT_EQ(saved(), "old");

  nextRequest();
  query("menu", "save");
  post(kExample);
  EXPECT_EQ(testing::errorOf([&] { z().seach(badCon[0], badCon[1], badCon[2], badCon[3]); }), 0);
  EXPECT_EQ(h.response().body(), "SQL数据库连接出错，请检查连接字串。");
}

TEST_F(SeachSaveTest, TheModeSwitchIsCaseSensitive) {
  h.request().QueryString.set("menu", "Save");
  logIn(7, "3");
  EXPECT_EQ(save(kExample), RequestEndError);
  EXPECT_EQ(saved(), "old");
  EXPECT_EQ(h.session()("iwhere").str(), kExampleCondition);
}

}  // namespace
}  // namespace zurvafun

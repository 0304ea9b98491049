// The handler behind the advanced search form: turns the posted criteria into
// the search condition kept in the session for the result page, or stores
// them as the member's saved criteria.
#include <string>

#include "db/db.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "model/member_record.h"
#include "search/condition.h"

namespace zurvafun {

namespace {

// The posted criteria, read all at once as the form sent them. The heights
// and the lowest education are converted while they are read, so a value
// that is not a whole number fails the request in both modes.
struct PostedCriteria {
  Variant order, daynum, headphoto, online, sex, agefrom, ageto, province1, city1;
  std::optional<std::int16_t> heightfrom, heightto;
  std::int16_t degreefrom = 0;
  Variant degreeto, incomefrom, incometo, marystatus, weightfrom, weightto, ancestor, province, city,
      housesta, job, ptype, mtype, daynum1;

  explicit PostedCriteria(const host::Request& request) {
    const host::ValueCollection& form = request.Form;
    order = request("order");
    daynum = form("daynum");
    headphoto = form("headphoto");
    online = form("online");
    sex = form("sex");
    agefrom = form("agefrom");
    ageto = form("ageto");
    province1 = form("province1");
    city1 = form("city1");
    heightfrom = search::bound(form("heightfrom"));
    heightto = search::bound(form("heightto"));
    degreefrom = CInt(form("degreefrom"));
    degreeto = form("degreeto");
    incomefrom = form("incomefrom");
    incometo = form("incometo");
    marystatus = form("marystatus");
    weightfrom = form("weightfrom");
    weightto = form("weightto");
    ancestor = form("ancestor");
    province = form("province");
    city = form("city");
    housesta = form("housesta");
    job = form("job");
    ptype = form("ptype");
    mtype = form("mtype");
    daynum1 = form("daynum1");
  }
};

// " and <column> > DateAdd("d",-n , GetDate())": rows of the last n days.
sql::Statement withinDays(std::string_view column, const Variant& days) {
  const std::int16_t n = CInt(days);
  if (n == -32768) raise(err::Overflow);  // its negation does not fit 16 bits
  const int back = -n;
  return column == "addtime" ? sql::statement(" and addtime > DateAdd(\"d\",{} , GetDate())", back)
                             : sql::statement(" and lasttime > DateAdd(\"d\",{} , GetDate())", back);
}

// A code compared in quotes: a whole number, written as its decimal text.
sql::Quoted quotedNumber(const Variant& value) { return sql::text(std::to_string(CLng(value))); }

// The search condition, without the word "where". Every value that is
// pasted bare is a converted number; every quoted one has its quotes doubled.
std::string searchCondition(const PostedCriteria& c) {
  std::string w = sql::statement("sex={}", search::sexCode(c.sex)).str();
  w += search::ageCondition(c.agefrom, c.ageto).str();
  // Heights left empty mean no bound.
  if (c.heightfrom) w += sql::statement(" and cast(height_ as int)>={}", *c.heightfrom).str();
  if (c.heightto) w += sql::statement(" and cast(height_ as int)<={}", *c.heightto).str();
  if (ne(c.weightfrom, "")) w += sql::statement(" and cast(weight_ as int)>={}", sql::int16(c.weightfrom)).str();
  if (ne(c.weightto, "")) w += sql::statement(" and cast(weight_ as int)<={}", sql::int16(c.weightto)).str();
  w += sql::statement(" and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>={}", c.degreefrom).str();
  w += sql::statement(" and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<={}", sql::int16(c.degreeto)).str();
  if (ne(c.daynum, "0")) w += withinDays("addtime", c.daynum).str();
  if (ne(c.ancestor, "")) w += search::nativeRegionCondition(c.ancestor).str();
  w += search::residenceCondition(c.province1, c.city1).str();
  if (ne(c.incomefrom, "")) w += sql::statement(" and left(pay,3)>={}", sql::int16(c.incomefrom)).str();
  if (ne(c.incometo, "")) w += sql::statement(" and left(pay,3)<={}", sql::int16(c.incometo)).str();
  if (ne(c.marystatus, "")) w += sql::statement(" and SUBSTRING(userdata,8,1)={}", sql::int16(c.marystatus)).str();
  // The household register: the text between the education code and the
  // "-" of item 7, and from there up to the next "#"; both whole items.
  if (search::chosen(c.province)) {
    w += sql::statement(
             " and SUBSTRING(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),5,CHARINDEX('-',SUBSTRING("
             "userdata,CHARINDEX('#12',userdata)+1,20))-5)='{}'",
             sql::text(c.province))
             .str();
  }
  if (search::chosen(c.city)) {
    w += sql::statement(
             " and substring(substring(SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',"
             "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,20))+1,20),1,charindex('#',substring(SUBSTRING("
             "userdata,CHARINDEX('#12',userdata)+1,20),CHARINDEX('-',SUBSTRING(userdata,CHARINDEX('#12',"
             "userdata)+1,20))+1,20))-1)='{}'",
             sql::text(c.city))
             .str();
  }
  if (ne(c.job, "")) w += sql::statement(" and field='{}'", quotedNumber(c.job)).str();
  if (ne(c.housesta, "")) w += sql::statement(" and right(userdata,3)='{}'", quotedNumber(c.housesta)).str();
  if (ne(c.ptype, "")) w += sql::statement(" and grade='{}'", quotedNumber(c.ptype)).str();
  if (ne(c.mtype, "")) w += sql::statement(" and trust<='{}'", quotedNumber(c.mtype)).str();
  if (search::chosen(c.daynum1)) w += withinDays("lasttime", c.daynum1).str();
  if (eq(c.headphoto, "1")) w += " and smallphoto like 'smallphoto%.jpg1'";
  if (eq(c.online, "1")) w += " and online=1";
  return w;
}

// The sort order the result page reads back: "0", "2", "4" or empty; any
// other value is the default order.
std::string sortOrder(const Variant& order) {
  const std::string o = order.str();
  return (o.empty() || o == "0" || o == "2" || o == "4") ? o : "0";
}

// A whole number as stored text ("" for an empty value).
std::string codeText(const Variant& value) { return eq(value, "") ? "" : std::to_string(CLng(value)); }

// A place name as stored text: it may not hold the item or range separators.
std::string placeText(const Variant& value) {
  const std::string text = value.str();
  if (text.find_first_of("#-") != std::string::npos) raise(err::TypeMismatch);
  return text;
}

// The saved criteria (18 items). Every bound and code is stored as decimal
// text, every place name as posted; a value that would break the layout the
// readers split is refused before anything is written.
std::string savedCriteria(const PostedCriteria& c) {
  using namespace member;
  Criteria saved;
  saved.items[kAgeRange] = buildRange(search::boundText(c.agefrom), search::boundText(c.ageto));
  saved.items[kHeightRange] = buildRange(search::boundText(c.heightfrom), search::boundText(c.heightto));
  saved.items[kEducationRange] = buildRange(std::to_string(c.degreefrom), search::boundText(c.degreeto));
  saved.items[kDayNum] = codeText(c.daynum);
  saved.items[kHeadPhoto] = codeText(c.headphoto);
  saved.items[kOnline] = codeText(c.online);
  saved.items[kSex] = eq(c.sex, "") ? "" : std::to_string(search::sexCode(c.sex));
  saved.items[kResidence] = buildRange(placeText(c.province1), placeText(c.city1));
  saved.items[kIncomeRange] = buildRange(search::boundText(c.incomefrom), search::boundText(c.incometo));
  saved.items[kMaritalStatus] = codeText(c.marystatus);
  saved.items[kWeightRange] = buildRange(search::boundText(c.weightfrom), search::boundText(c.weightto));
  saved.items[kAncestor] = placeText(c.ancestor);
  saved.items[kHousehold] = buildRange(placeText(c.province), placeText(c.city));
  saved.items[kHousing] = codeText(c.housesta);
  saved.items[kJob] = codeText(c.job);
  saved.items[kGrade] = codeText(c.ptype);
  saved.items[kTrust] = codeText(c.mtype);
  saved.items[kLoginDayNum] = codeText(c.daynum1);
  return buildUserBz(saved);
}

// Runs `build` over the posted criteria. A value it cannot use (not a number
// where one is needed, a place name that would shift the saved items) is the
// visitor's bad request: "请求错误！" and one page back, which ends the
// request before anything is stored or redirected.
template <class Build>
auto orRequestError(zurva& z, Build&& build) -> decltype(build()) {
  try {
    return build();
  } catch (const VbError& e) {
    if (e.isRequestEnd()) throw;
    z.Msg("请求错误！", "-1", 2);
    throw;  // only when the message itself failed
  }
}

}  // namespace

void zurva::seach(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                  const Variant& SqlDatabaseName) {
  logged([&] {
    const PostedCriteria criteria =
        orRequestError(*this, [&] { return PostedCriteria(Request()); });
    if (Request().QueryString("menu").str() != "save") {
      // Nothing is stored unless the whole condition could be built.
      if (eq(criteria.sex, "")) Msg("请选择要查找的会员性别！", "-1", 1);
      Session().set("iwhere", orRequestError(*this, [&] { return searchCondition(criteria); }));
      const std::string order = sortOrder(criteria.order);
      Variant link = "result.asp?sign=" + order + "&order=" + order;
      Response().Redirect(showurl(link).str());
      raiseRequestEnd();
    }

    // Every item is checked before anything is written.
    const std::string text = orRequestError(*this, [&] { return savedCriteria(criteria); });
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    trapOff([&] {
      const Viewer viewer(Request());
      if (!viewer.isMember()) Msg("非法操作", "-2", 2);
      const sql::Number userid = sql::lng(viewer.member("userid"));
      db::Recordset rs;
      rs.Open(sql::statement("select userbz from zurva_user where userid={}", userid), conn, db::adOpenKeyset,
              db::adLockOptimistic);
      // A member number without a record has no criteria to keep.
      if (rs.eof()) Msg("请求错误！", "-1", 2);
      rs["userbz"] = text;
      rs.Update();
      rs.Close();
      Msg("保存成功", "-1", 1);
    });
  });
}

}  // namespace zurvafun

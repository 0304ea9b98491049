// The home page's quick search: sex, age range and place of residence, ten
// member cards a page, then the paging bar (members) or the registration
// notice (guests). The criteria come with the form's post, and the paging
// links carry them on, so every page lists the same search.
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/html.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "search/condition.h"
#include "search/paging.h"
#include "search/quick_card.h"

namespace zurvafun {

namespace {

using html::trusted;

constexpr const char* kFields[] = {"sex", "agefrom", "ageto", "province1", "city1"};

// A criterion of the quick search: posted by the form, or carried by a
// paging link in the query.
Variant quickField(const host::Request& request, const char* name) {
  return request.Form.contains(name) ? request.Form(name) : request.QueryString(name);
}

// "&sex=577&agefrom=20…": the criteria for the paging links (values
// URL-encoded; an empty one is left out, as it was not posted).
std::string criteriaQuery(const host::Request& request) {
  std::string query;
  for (const char* name : kFields) {
    const std::string value = quickField(request, name).str();
    if (!value.empty()) query += std::string("&") + name + "=" + host::Server::URLEncode(value);
  }
  return query;
}

constexpr html::Fragment kGuestNotice =
    "<br><div >抱歉！由于您不是本站会员，只能查看最多10位会员信息，本站<font color=ff0000><b>"
    "<a href=\"{{register}}\">免费注册</a></b></font>会员！\r\n<br>\r\n";

constexpr html::Fragment kBarTop =
    "<table width=\"98%\" border=\"0\" align=\"left\" cellpadding=\"0\" cellspacing=\"0\" bgcolor=\"#fbecec\">\r\n"
    "<tr class=\"classfooter\">\r\n"
    "<td width=\"100%\" valign=\"top\" height=\"27\">\r\n"
    "<div align=\"center\">\r\n"
    "当前从第\r\n"
    "<font color=red>{{first}}</font> 个开始。";
constexpr html::Fragment kLink = "<a href=\"{{link}}\">{{text}}</a>";
constexpr const char* kBarEnd = "</div></td>\r\n</tr>\r\n</table>\r\n";

// The quick search's condition for `condition` (what mainseach gave): on the
// birth year derived from userdata, so that the age range is an index range;
// but where a member of the sex searched has a birth year that is not a
// number, the stored condition itself, which raises the conversion error for
// it as it always did. A condition on the birth year alone comes with the
// count of its matches that the database keeps.
struct QuickCondition {
  sql::Statement where;
  std::optional<sql::Statement> count;
};

QuickCondition quickCondition(db::Connection& conn, const host::Request& request,
                              const std::string& condition) {
  const int sex = search::sexCode(quickField(request, "sex"));
  db::Recordset odd =
      conn.Execute(sql::statement("select top 1 userid from zurva_user where sex={} and "
                                  "ud_birthyear is null and userdata is not null",
                                  sex));
  if (!odd.eof()) return {sql::statement("{}", sql::StoredCondition(condition)), std::nullopt};
  const Variant agefrom = quickField(request, "agefrom"), ageto = quickField(request, "ageto");
  const Variant province = quickField(request, "province1"), city = quickField(request, "city1");
  QuickCondition quick{
      sql::statement("sex={}{}{} and ", sex, search::derivedAgeCondition(agefrom, ageto),
                     search::residenceCondition(province, city)),
      std::nullopt};
  if (!search::chosen(province) && !search::chosen(city))
    quick.count = search::derivedAgeCount(sex, agefrom, ageto);
  return quick;
}

}  // namespace

Variant zurva::mainseach() {
  return logged([&](Variant& result) {
    const host::Request& request = Request();
    const Variant sex = quickField(request, "sex");
    // Without a sex the caller lists everybody and drops the condition.
    std::string prefix = eq(sex, "") ? "sex=" : sql::statement("sex={}", search::sexCode(sex)).str();
    prefix += search::ageCondition(quickField(request, "agefrom"), quickField(request, "ageto")).str();
    prefix += search::residenceCondition(quickField(request, "province1"), quickField(request, "city1")).str();
    result = prefix + " and ";
  });
}

Variant zurva::mainseachshow(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                             const Variant& SqlDatabaseName, const Variant& maintype) {
  return untrapped([&](Variant& result) {
    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    const host::Request& request = Request();
    const Variant condition = mainseach();
    // A search whose condition could not be built finds nobody; without a
    // sex there is no search, and every listed member shows.
    const bool searching = ne(quickField(request, "sex"), "");
    if (searching && condition.isEmpty()) {
      result = search::kNothingFound;
      return;
    }
    const QuickCondition quick =
        searching ? quickCondition(conn, request, condition.str()) : QuickCondition{};
    const sql::Statement statement = sql::statement(
        "select  * from zurva_user  where {} ifclose=0  and iferro=0 and ifdel=0  order by "
        "grade desc,trust desc,addtime desc",
        quick.where);
    db::Recordset rs;
    // With the count kept, a late page reads the order from its end.
    if (quick.count)
      rs.OpenPaged(statement, *quick.count, conn, db::Recordset::PagedReading::FromEitherEnd);
    else
      rs.OpenPaged(statement, conn);
    if (rs.bof() && rs.eof()) {
      result = search::kNothingFound;
      return;
    }
    rs.PageSize = 10;
    const long page = search::pageNumber(*this, request("Page"), rs.PageCount());
    rs.setAbsolutePage(page);

    std::string out;
    for (long shown = 0; shown < rs.PageSize && !rs.eof(); ++shown) {
      out += "\r\n" + search::quickCard(*this, request, rs, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName) +
             "  ";
      rs.MoveNext();
    }
    out += "\r\n\r\n";

    if (IsNumeric(maintype) && !maintype.isEmpty() && toNumber(maintype) == 1) {
      const long pages = rs.PageCount();
      const std::string script = request.ServerVariables("SCRIPT_NAME").str();
      const std::string criteria = searching ? criteriaQuery(request) : "";
      auto link = [&](long n, const char* text) {
        Variant url = script + "?page=" + std::to_string(n) + criteria;
        return kLink({{"link", showurl(url)}, {"text", trusted(text)}}).str();
      };
      kBarTop.appendTo(out, {{"first", page == 1 ? 1L : page * rs.PageSize - rs.PageSize + 1}});
      out += "\r\n";
      if (page == 1 && pages != 1 && pages != 0) out += link(page + 1, "下一页");
      if (pages > 1 && page == pages) out += link(page - 1, "上一页");
      if (page != 1 && page != pages) out += link(page - 1, " 上一页") + "\r\n " + link(page + 1, "下一页") + "\r\n ";
      out += kBarEnd;
    } else {
      Variant registration = "reg.asp";
      kGuestNotice.appendTo(out, {{"register", showurl(registration)}});
    }
    rs.Close();
    result = out;
  });
}

}  // namespace zurvafun

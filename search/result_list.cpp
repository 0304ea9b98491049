// The search result list: the members matching the search condition of the
// session (at most 200, three sort orders), or one member found by number,
// nickname or account name; six member rows a page with a paging bar above
// and below, or the administrators' table of twenty rows a page.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/numbers.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "model/member_record.h"
#include "runtime/text.h"
#include "search/match_counts.h"
#include "search/member_facts.h"
#include "search/member_row.h"
#include "search/paging.h"

namespace zurvafun {

namespace {

using html::trusted;

constexpr const char* kStatusFilter = " and ifclose=0 and iferro=0 and ifdel=0";
constexpr const char* kCapHint = "&nbsp;&nbsp;<font color=#ff6600>提示：</font>如果您本次查找结果大于200个，系统只显示前200个。";

constexpr html::Fragment kHead =
    R"~(<table class="bg_b" cellpadding="4" width="100%"><tr><td class="unnamed1" height="29">)~"
    R"~(<table width="100%" border="0" cellpadding="0" cellspacing="0"><tr><td height="15"></td></tr>)~"
    R"~(<tr><td><form name="form1" action="{{action}}" method="post"><div align="center">)~"
    R"~(<input type="button" class="button_3" value="以网站默认方式搜索" onClick="javascript:location='{{byDefault}}';">&nbsp;&nbsp;)~"
    R"~(<input type="button" class="button_2" value="以注册时间为序搜索" onClick="javascript:location='{{byRegistration}}';">&nbsp;&nbsp;)~"
    R"~(<input type="button" class="button_2" value="以最后登陆时间为序搜索" onClick="javascript:location='{{byLastLogin}}';">)~"
    R"~(<input type="hidden" name="order" value="0"></div></form></td></tr></table>)~"
    R"~(<table border="0" cellpadding="0" cellspacing="0" width="100%"><tr><td height="25" nowrap class="bg_sh" align="center">&nbsp;&nbsp;)~";

constexpr html::Fragment kTopHintRow =
    R"~(</td></tr><tr><td class="bg_sh" height="25" valign="bottom">{{hint}}</td></tr>)~";
constexpr html::Fragment kTopEmptyHintRow = R"~(</td></tr><tr><td></td></tr>)~";

constexpr html::Fragment kBottomBarTable =
    R"~(<table border="0" cellpadding="0" cellspacing="0" width="100%"><tr><td height="25" nowrap class="bg_sh" align="center">)~";

constexpr html::Fragment kClosing =
    R"~(</td></tr><tr><td class="bg_sh" height="25" valign="bottom">{{hint}})~"
    R"~(<a href="javascript:void(0);" class="Blue_UnderLine" onClick="popup('SearchMore.htm',350,300);"></a></td></tr>)~"
    R"~(<tr><td class="bg_sh" height="1"><table width="100%" border="0" cellpadding="0" cellspacing="0"><tr>)~"
    R"~(<td><img src="images/Zurva_Result200607_35.gif" width="23" height="8"></td>)~"
    R"~(<td align="right"><img src="images/Zurva_Result200607_38.gif" width="17" height="8"></td>)~"
    R"~(</tr></table></td></tr></table></td></tr></table>)~";

// The administrators' table: every line ends with CR LF.
constexpr html::Fragment kAdminTableTop =
    R"~(<table border="0" cellspacing="1" cellpadding="4" bgcolor="#FFFFFF" align="center" width="100%">{{crlf}})~"
    R"~(<tr align="center">{{crlf}})~"
    R"~(<td class="classtop">删</td>{{crlf}}<td class="classtop">用户名</td>{{crlf}}<td class="classtop">昵称</td>{{crlf}})~"
    R"~(<td class="classtop">短信</td>{{crlf}}<td class="classtop">等级</td>{{crlf}}<td class="classtop">身份等级</td>{{crlf}})~"
    R"~(<td class="classtop">注册时间</td>{{crlf}}<td class="classtop">登陆</td>{{crlf}}<td class="classtop">最后登陆时间</td>{{crlf}})~"
    R"~(<td class="classtop">IP</td>{{crlf}}<td class="classtop">操作</td>{{crlf}})~"
    R"~(</tr>{{crlf}})~";

constexpr html::Fragment kAdminRow =
    R"~(<tr align="center" class="classtd">{{crlf}})~"
    R"~(<td nowrap><a title="ID:{{userid}}"><input type="checkbox" name="id" value="{{userid}}"></a></td>{{crlf}})~"
    R"~(<td nowrap align="left">{{zurvauser}}</td>{{crlf}})~"
    R"~(<td nowrap align="left">{{nickname}}</td>{{crlf}})~"
    R"~(<td nowrap><a href="admin_msg.asp?a=add&user_id={{userid}}"><img src="/images/message.gif" alt="发送站内短信" border="0"></a></td>{{crlf}})~"
    R"~(<td nowrap>{{badge}}</td>{{crlf}})~"
    R"~(<td nowrap><b><font size="+1">{{trust}}</font></b><img src="/images/rz1.gif" alt="钻石"></td>{{crlf}})~"
    R"~(<td nowrap>{{addtime}}</td>{{crlf}})~"
    R"~(<td nowrap>{{logins}}</td>{{crlf}})~"
    R"~(<td nowrap>{{lasttime}}</td>{{crlf}})~"
    R"~(<td nowrap><img src="/images/ip.gif" alt="最后登陆IP：{{loginip}}"></td>{{crlf}})~"
    R"~(<td nowrap><a href="../por.asp?id={{token}}" title="查看该会员" target="_blank">查看</a> | )~"
    R"~(<a href="u_mod1.asp?userid={{userid}}" target="_parent">编辑</a></td>{{crlf}})~"
    "</tr>\t\t\t\t  \r\n";

constexpr const char* kAdminTableEnd = "</table>\t\t\t\t\t  \r\n";

// The sort order of the criteria search: the sort clause and the suffix its
// paging links carry. The last matching test wins; any other value is the
// default order.
struct Sort {
  sql::Literal clause = " order by ";
  const char* suffix = "";
};

Sort sortOf(const host::Request& request) {
  const Variant order = request.QueryString("order");
  const Variant sign = request.QueryString("sign");
  Sort sort;
  if (eq(order, "4") || eq(sign, "4")) sort = {" order by addtime desc,", "&order=4&sign=4"};
  if (eq(order, "2") || eq(sign, "2")) sort = {" order by lasttime desc,", "&order=2&sign=2"};
  return sort;
}

// v compared as a number equals n; text that is not a number never does.
bool numberIs(const Variant& v, double n) { return IsNumeric(v) && toNumber(v) == n; }

// " and (userid>N or userid<N)" for each member the viewer hid from his
// searches. A viewer without a member login or without a record hides nobody.
sql::Statement hiddenMembers(db::Connection& conn, const Viewer& viewer, std::int32_t viewerId) {
  sql::Statement exclusion;
  if (!viewer.isMember()) return exclusion;
  db::Recordset list = conn.Execute(sql::statement("select nosou from zurva_user where userid={}", viewerId));
  if (list.eof()) return exclusion;
  for (long id : member::readNosou(list(0).str()))
    exclusion += sql::statement(" and (userid>{} or userid<{})", id, id);
  return exclusion;
}

std::string adminRow(zurva& z, const db::Recordset& rs) {
  return kAdminRow({{"userid", rs("userid")},
                    {"zurvauser", rs("zurvauser")},
                    {"nickname", rs("nickname")},
                    {"badge", trusted(z.dj(rs("grade")))},
                    {"trust", rs("trust")},
                    {"addtime", rs("addtime")},
                    {"logins", rs("logins")},
                    {"lasttime", rs("lasttime")},
                    {"loginip", rs("loginip")},
                    {"token", trusted(z.idasc(rs("userid")))}})
      .str();
}

struct SearchResult;

}  // namespace

// seach_result's steps: the statement the request asks for, and the page of
// rows it finds.
template <>
struct MethodSteps<SearchResult> {
  zurva& z;
  db::Connection& conn;
  bool adminView;
  const search::ListViewer& listViewer;

  // The statement, or none when the request cannot match anybody: the single
  // search by member number, nickname or account name (menu 1), or the
  // condition the search handler kept in the session.
  std::optional<sql::Statement> query(const Viewer& viewer, const Sort& sort) {
    const sql::Statement status = adminView ? sql::Statement() : sql::verbatim(kStatusFilter);
    const sql::Statement hidden =
        adminView ? sql::Statement() : hiddenMembers(conn, viewer, listViewer.id);
    const Variant menu = z.Request().QueryString("menu");
    if (eq(menu, "1") || eq(menu, "1#")) {
      if (numberIs(listViewer.grade, 1) &&
          !numberIs(siteSettings(z.Application())->baseInfo(25), 1))
        z.Msg("非金银卡会员用户", "-2", 2);
      const Variant kind = z.Request().Form("s_value");
      const Variant name = z.Request().Form("s_name");
      if (eq(kind, "0")) {
        // A member number must be one: any other text is a bad request and
        // never reaches the statement. A field left out counts as 0.
        const std::optional<std::int32_t> number =
            numbers::guarded(name.isEmpty() ? Variant(0) : Variant(Trim(name.str())));
        if (!number) z.Msg("请求错误！", "-1", 2);
        return sql::statement("select  * from zurva_user  where userid={}{}{}", *number, status,
                              hidden);
      }
      if (eq(kind, "1"))
        return sql::statement("select  * from zurva_user  where nickname='{}' {}{}",
                              sql::text(Trim(name.str())), status, hidden);
      return sql::statement("select  * from zurva_user  where zurvauser='{}' {}{}",
                            sql::text(Trim(name.str())), status, hidden);
    }
    // The condition the search handler kept in the session (SQL text it
    // built itself); a visit without one finds nothing.
    const std::string condition = z.Session()("iwhere").str();
    if (condition.empty()) return std::nullopt;
    return sql::statement("select top 200 * from zurva_user  where {}{}{}{}grade desc,trust desc",
                          sql::StoredCondition(condition), status, hidden,
                          sql::verbatim(sort.clause));
  }

  // The requested page of `rs` between the two paging bars.
  void writeRows(db::Recordset& rs, const Sort& sort, const Variant& width, const Variant& height,
                 std::string& out) {
    rs.PageSize = adminView ? 20 : 6;
    search::Paging paging;
    paging.page = search::pageNumber(z, z.Request()("Page"), rs.PageCount());
    paging.pageCount = rs.PageCount();
    paging.recordCount = rs.RecordCount();
    paging.suffix = sort.suffix;
    paging.script = z.Request().ServerVariables("SCRIPT_NAME").str();
    rs.setAbsolutePage(paging.page);

    const search::PagingBars bars = search::pagingBars(z, paging);
    out += bars.top;
    if (paging.recordCount > 200)
      kTopHintRow.appendTo(out, {{"hint", trusted(kCapHint)}});
    else
      kTopEmptyHintRow.appendTo(out);
    if (adminView) kAdminTableTop.appendTo(out);
    std::optional<search::RowLinks> links;
    if (!adminView && !rs.eof()) links.emplace(z);
    for (long shown = 0; shown < rs.PageSize && !rs.eof(); ++shown) {
      out += adminView ? adminRow(z, rs)
                       : search::memberRow(z, conn, rs, listViewer, *links, width, height);
      rs.MoveNext();
    }
    if (adminView) out += kAdminTableEnd;
    kBottomBarTable.appendTo(out);
    out += bars.bottom;
    kClosing.appendTo(out, {{"hint", trusted(paging.recordCount >= 200 ? kCapHint : "")}});
  }
};

Variant zurva::seach_result(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                            const Variant& SqlDatabaseName, const Variant& width, const Variant& height,
                            const Variant& rtype) {
  return logged([&](Variant& result) {
    clearcookies();
    const Viewer viewer(Request());
    if (!viewer.isMember() && !viewer.isAdministrator()) Msg("非法操作", "-2", 2);
    const bool adminView = rtype.isString() && rtype.stringValue() == "admin";
    const search::ListViewer listViewer{viewer.userid(), viewer.member("grade")};

    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    trapOff([&] {
      MethodSteps<SearchResult> steps{*this, conn, adminView, listViewer};
      std::string out;
      kHead.appendTo(out, {{"action", unescapedSiteLink(*this, "Result.asp")},
                           {"byDefault", unescapedSiteLink(*this, "result.asp?order=0")},
                           {"byRegistration", unescapedSiteLink(*this, "result.asp?order=4")},
                           {"byLastLogin", unescapedSiteLink(*this, "result.asp?order=2")}});
      const Sort sort = sortOf(Request());
      const std::optional<sql::Statement> query = steps.query(viewer, sort);

      db::Recordset rs;
      if (query)
        search::openCounted(rs, query->str(), conn,
                            db::databaseKey({SqlLocalName.str(), SqlUserName.str(),
                                             SqlPassword.str(), SqlDatabaseName.str()}));
      if (!query || rs.RecordCount() == 0 || (rs.bof() && rs.eof())) {
        out += search::kNothingFound;
        out += kClosing({{"hint", trusted("")}}).str();
        result = out;
        return;
      }
      steps.writeRows(rs, sort, width, height, out);
      rs.Close();
      result = out;
    });
  });
}

}  // namespace zurvafun

// The member search pages: the advanced search form beside the frame of its
// results, the form's handler, the result page (also the target of the
// single search), the home page's quick search, and the hide page that the
// result rows link to, which keeps the member's hidden-member list.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "model/member_record.h"
#include "site/pages.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

// The frame of the search pages: the search form's style sheet and scripts,
// and the city table when the page shows province and city selects.
PageLayout searchFrame(std::string_view title, Frame frame, CityTable cityTable) {
  return {.title = title,
          .frame = frame,
          .cityTable = cityTable,
          .styles = {"/inc/search.css"},
          .scripts = {"/inc/control2.js", "/inc/search.js", "/members.js"}};
}

// The advanced search: the form on the left, its results in the frame on
// the right.
void searchPage(serve::PageContext& p) {
  zurva z;
  // The form is a member's (it shows his saved criteria): a visitor is asked
  // to log in first.
  if (!loggedInMember(p)) return askToLogIn(z, p, "高级搜索");
  const Variant form = z.seach_bz(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  SitePage page(z, p, searchFrame("高级搜索", Frame::Page, CityTable::Inline));
  p.Response.Write(R"(    <table width="100%" cellspacing="0" cellpadding="0">
  <tr><td valign="top" width="179">)");
  p.Response.Write(form);
  p.Response.Write(R"(</td>
  <td valign="top"><iframe name="subiframe" id="subiframe" src="/searchstart.htm" width="560" height="1500" frameborder="0"></iframe></td></tr>
    </table>
)");
  page.end();
}

// The handler: redirects to the results, or says what was wrong.
void searchHandler(serve::PageContext& p) {
  zurva z;
  // Saving the criteria changes the member's record; a search changes only
  // the visitor's own session.
  if (eq(p.Request.QueryString("menu"), "save")) requireSitePost(z, p);
  z.seach(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  // Still here: the handler failed without a word of its own (the details
  // are in the log); a criterion it cannot use it answers itself.
  SitePage page(z, p, searchFrame("搜索结果", Frame::Inner, CityTable::None));
  p.Response.Write("<script language=\"javascript\">alert('查找条件有误：身高、年龄等只能填写整数。');history.go(-1);</script>\n");
  page.end();
}

void resultPage(serve::PageContext& p) {
  zurva z;
  const Variant list = z.seach_result(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, 120, 150, "");
  // The results fill the search page's frame; the single search comes to
  // the whole window.
  const bool single = eq(p.Request.QueryString("menu"), "1") || eq(p.Request.QueryString("menu"), "1#");
  SitePage page(z, p,
                searchFrame("搜索结果", single ? Frame::Page : Frame::Inner, CityTable::None));
  p.Response.Write(R"(<table width="100%" cellspacing="0" cellpadding="0"><tr><td>)");
  p.Response.Write(list);
  p.Response.Write("</td></tr></table>\n");
  page.end();
}

// The hide action: adds the member to the viewer's hidden-member list. The
// result rows and cards open it by GET in a small window, where it asks
// first (site/site_post.h).
void hidePage(serve::PageContext& p) {
  zurva z;
  const PageLayout window = {.title = "不再搜出TA", .frame = Frame::Window};
  const std::optional<std::int32_t> viewer = loggedInMember(p);
  if (!viewer) return notePage(z, p, window, "请先登录。");
  // An id that is no member number (not a whole number, or beyond 32 bits)
  // is a bad request.
  const std::optional<std::int32_t> hidden = numbers::digits(p.Request.QueryString("id"));
  if (!hidden || *hidden <= 0) return notePage(z, p, window, "请求错误！");
  confirmBeforeActing(z, p,
                      {.title = window.title,
                       .question = "确定今后搜索时不再显示该会员吗？",
                       .frame = Frame::Window});
  std::string text = "请先登录。";  // a member whose row is gone
  if (std::optional<db::Connection> conn = openDatabaseOrNothing(p)) {
    db::Recordset rs;
    rs.Open(sql::statement("select nosou from zurva_user where userid={}", *viewer), *conn,
            db::adOpenKeyset, db::adLockOptimistic);
    if (!rs.eof()) {
      std::vector<long> list = member::readNosou(rs("nosou").str());
      if (std::find(list.begin(), list.end(), long(*hidden)) == list.end()) list.push_back(*hidden);
      rs["nosou"] = member::buildNosou(list);
      rs.Update();
      text = "已设置：今后搜索时不再显示该会员。";
    }
  }
  notePage(z, p, window, text);
}

// The quick search box, as the home page and the quick search page show it.
std::string quickSearchBox(zurva& z, const serve::PageContext& p) {
  auto selected = [&](const char* name, const std::string& value) {
    return p.Request.Form(name).str() == value ? " selected" : "";
  };
  static constexpr html::Fragment kBoxTop =
      R"(<form name="quick" method="post" action="{{action}}">快速搜索：<select name="sex"><option value="577"{{woman}}>找女士</option><option value="576"{{man}}>找男士</option></select> 年龄)";
  std::string box = kBoxTop({{"action", siteLink(z, "/quicksearch.asp")},
                             {"woman", html::trusted(selected("sex", "577"))},
                             {"man", html::trusted(selected("sex", "576"))}})
                        .str();
  for (const char* name : {"agefrom", "ageto"}) {
    const std::string chosen = p.Request.Form(name).isEmpty() ? (name[3] == 'f' ? "20" : "35") : p.Request.Form(name).str();
    static constexpr html::Fragment kAgeSelect = R"( <select name="{{name}}">{{options}}</select>)";
    static constexpr html::Fragment kAge =
        R"(<option value="{{age}}"{{selected}}>{{age}}</option>)";
    std::string options;
    for (int age = 18; age <= 70; ++age)
      kAge.appendTo(
          options, {{"age", age},
                    {"selected", html::trusted(std::to_string(age) == chosen ? " selected" : "")}});
    kAgeSelect.appendTo(box, {{"name", name}, {"options", html::trusted(options)}});
    if (name[3] == 'f') box += " 到";
  }
  box += " 岁 居住地 " +
         z.citymenu(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName,
                    "changelocation1(this.options[this.selectedIndex],this.form.city1,null,null)", "不限", "province1")
             .str() +
         "<select name=\"city1\"><option value=\"0\">不限</option></select> <input type=\"submit\" value=\"搜索\"></form>";
  return box;
}

// The quick search's results: ten cards a page; members page on, guests are
// invited to register.
void quickSearchPage(serve::PageContext& p) {
  zurva z;
  const bool member = loggedInMember(p).has_value();
  const Variant cards =
      z.mainseachshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, member ? 1 : 0);
  SitePage page(z, p,
                {.title = "快速搜索", .cityTable = CityTable::File, .scripts = kGalleryScripts});
  p.Response.Write("    " + quickSearchBox(z, p) + "\n");
  p.Response.Write(cards);
  p.Response.Write("\n");
  page.end();
}

}  // namespace

void writeQuickSearchBox(zurva& z, serve::PageContext& p) { p.Response.Write(quickSearchBox(z, p) + "\n"); }

void registerSearchPages(serve::PageRegistry& pages) {
  pages.add("/search.asp", searchPage);
  pages.add("/zurvarasult.asp", searchHandler);
  pages.add("/result.asp", resultPage);
  pages.add("/quicksearch.asp", quickSearchPage);
  pages.add("/nosou.asp", hidePage);
  pages.list("/search.asp", "高级搜索（会员）");
}

}  // namespace zurvafun::site

// The member search pages: the advanced search form beside the frame of its
// results, the form's handler, the result page (also the target of the
// single search), the home page's quick search, and small stand-ins for the
// site's own pages that the result rows link to (profile, upgrade,
// verification, message, friend request, wink, favourites, registration) —
// except the hide page, which keeps the member's hidden-member list.
#include <algorithm>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "profile/member_record.h"
#include "site/pages.h"

namespace zurvafun::site {

namespace {

// The head of a search page up to its body; with the city table when the
// page shows province and city selects.
std::string pageTop(zurva& z, std::string_view title, bool cityTable) {
  std::string top = R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>)" + std::string(title) + R"(</title>
<link href="/css.css" rel="stylesheet" type="text/css">
<link href="/inc/search.css" rel="stylesheet" type="text/css">
<script language="javascript" src="/inc/control2.js"></script>
<script language="javascript" src="/inc/search.js"></script>
)";
  if (cityTable) top += "<script language=\"javascript\">" + z.allcitymenu().str() + "</script>\n";
  return top + "</head>\n<body>\n";
}

constexpr std::string_view kPageBottom = "\n</body>\n</html>\n";

std::string link(zurva& z, std::string_view path) {
  Variant url = std::string(path);
  return htmlEscape(z.showurl(url).str());
}

// The advanced search: the form on the left, its results in the frame on
// the right.
void searchPage(serve::PageContext& p) {
  zurva z;
  const Variant form = z.seach_bz(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  p.Response.Write(pageTop(z, "高级搜索", true));
  p.Response.Write(R"(<table class="bk" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop" colspan="2">高级搜索　<a href=")" + link(z, "/index.asp") + R"(" style="color:#fff">返回首页</a></td></tr>
  <tr><td valign="top" width="179">)");
  p.Response.Write(form);
  p.Response.Write(R"(</td>
  <td valign="top"><iframe name="subiframe" id="subiframe" src="/searchstart.htm" width="560" height="1500" frameborder="0"></iframe></td></tr>
</table>)");
  p.Response.Write(kPageBottom);
}

// The handler: redirects to the results, or says what was wrong.
void searchHandler(serve::PageContext& p) {
  zurva z;
  z.seach(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  // Still here: a criterion could not be read (the details are in the log).
  p.Response.Write("<script language=\"javascript\">alert('查找条件有误：身高、年龄等只能填写整数。');history.go(-1);</script>");
}

void resultPage(serve::PageContext& p) {
  zurva z;
  const Variant list = z.seach_result(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, 120, 150, "");
  p.Response.Write(pageTop(z, "搜索结果", false));
  p.Response.Write(R"(<table width="100%" cellspacing="0" cellpadding="0"><tr><td>)");
  p.Response.Write(list);
  p.Response.Write("</td></tr></table>");
  p.Response.Write(kPageBottom);
}

// The hide action: adds the member to the viewer's hidden-member list.
void hidePage(serve::PageContext& p) {
  zurva z;
  const Variant member = p.Request.Cookies("kalimo")("userid");
  const Variant hidden = p.Request.QueryString("id");
  std::string text = "请先登录。";
  if (ne(p.Request.Cookies("kalimo")("username"), "") && IsNumeric(member) && IsNumeric(hidden) && ne(hidden, "")) {
    db::Connection conn;
    if (conn.Open({p.SqlLocalName.str(), p.SqlUserName.str(), p.SqlPassword.str(), p.SqlDatabaseName.str()})) {
      const sql::Number viewer = sql::lng(member);
      db::Recordset rs;
      rs.Open(sql::statement("select nosou from zurva_user where userid={}", viewer), conn, db::adOpenKeyset,
              db::adLockOptimistic);
      if (!rs.eof()) {
        std::vector<long> list = member::readNosou(rs("nosou").str());
        const long id = CLng(hidden);
        if (std::find(list.begin(), list.end(), id) == list.end()) list.push_back(id);
        rs["nosou"] = member::buildNosou(list);
        rs.Update();
        text = "已设置：今后搜索时不再显示该会员。";
      }
    }
  }
  p.Response.Write(pageTop(z, "不再搜出TA", false));
  p.Response.Write("<p>" + htmlEscape(text) + "</p><p><a href=\"javascript:window.close();\">关闭窗口</a></p>");
  p.Response.Write(kPageBottom);
}

// A page of the site outside the component, as a short notice.
serve::Page standIn(std::string title, std::string text) {
  return [title, text](serve::PageContext& p) {
    zurva z;
    p.Response.Write(pageTop(z, title, false));
    p.Response.Write("<table class=\"bk\" width=\"500\" align=\"center\" cellpadding=\"8\"><tr><td class=\"classtop\">" +
                     title + "</td></tr><tr><td class=\"classtd\"><p>" + text + "</p><p><a href=\"" +
                     link(z, "/index.asp") + "\">返回演示站首页</a>　<a href=\"javascript:window.close();\">关闭窗口</a></p>"
                     "</td></tr></table>");
    p.Response.Write(kPageBottom);
  };
}

// The profile page: the member's nickname (the full profile is another page
// group's), reached by the encoded member id.
// The quick search box, as the home page and the quick search page show it.
std::string quickSearchBox(zurva& z, const serve::PageContext& p) {
  auto selected = [&](const char* name, const std::string& value) {
    return p.Request.Form(name).str() == value ? " selected" : "";
  };
  std::string box = "<form name=\"quick\" method=\"post\" action=\"" + link(z, "/quicksearch.asp") +
                    "\">快速搜索：<select name=\"sex\"><option value=\"577\"" + selected("sex", "577") +
                    ">找女士</option><option value=\"576\"" + selected("sex", "576") + ">找男士</option></select> 年龄";
  for (const char* name : {"agefrom", "ageto"}) {
    const std::string chosen = p.Request.Form(name).isEmpty() ? (name[3] == 'f' ? "20" : "35") : p.Request.Form(name).str();
    box += std::string(" <select name=\"") + name + "\">";
    for (int age = 18; age <= 70; ++age) {
      const std::string n = std::to_string(age);
      box += "<option value=\"" + n + "\"" + (n == chosen ? " selected" : "") + ">" + n + "</option>";
    }
    box += "</select>";
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
  const bool member = ne(p.Request.Cookies("kalimo")("username"), "");
  const Variant cards =
      z.mainseachshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, member ? 1 : 0);
  p.Response.Write(pageTop(z, "快速搜索", true));
  p.Response.Write(R"(<table class="bk" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop">快速搜索　<a href=")" + link(z, "/index.asp") + R"(" style="color:#fff">返回首页</a></td></tr>
  <tr><td class="classtd">)");
  writeMemberLine(z, p);
  p.Response.Write(quickSearchBox(z, p));
  p.Response.Write(cards);
  p.Response.Write("</td></tr>\n</table>");
  p.Response.Write(kPageBottom);
}

}  // namespace

void writeQuickSearchBox(zurva& z, serve::PageContext& p) {
  p.Response.Write("    <script language=\"javascript\" src=\"/inc/search.js\"></script><script language=\"javascript\">" +
                   z.allcitymenu().str() + "</script>\n    " + quickSearchBox(z, p) + "\n");
}

void registerSearchPages(serve::PageRegistry& pages) {
  pages.add("/search.asp", searchPage);
  pages.add("/zurvarasult.asp", searchHandler);
  pages.add("/result.asp", resultPage);
  pages.add("/quicksearch.asp", quickSearchPage);
  pages.add("/nosou.asp", hidePage);
  pages.add("/ReadyBuy.asp", standIn("会员升级", "升级为银卡或金卡会员，可使用更多搜索条件（演示）。"));
  pages.add("/sendmsg.asp", standIn("发送消息", "给对方留言的窗口（演示）。"));
  pages.add("/addfriends.asp", standIn("申请好友", "好友申请已发送（演示）。"));
  pages.add("/love1.asp", standIn("暗送秋波", "秋波已发送（演示）。"));
  pages.add("/myfiles/sc.asp", standIn("我的收藏", "已加入我的收藏（演示）。"));
  pages.list("/search.asp", "高级搜索（会员）");
}

}  // namespace zurvafun::site

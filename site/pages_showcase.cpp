// The showcase and gallery pages of the demo site: the showcase widget and
// the member gallery on the home page, the province and city galleries, the
// member's showcase status, the purchase form and its handler, the e-money
// ledger, and small stand-ins for the site's pages that the cards link to.
#include "site/pages_showcase.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/pages.h"

namespace zurvafun::site {

namespace {

std::string pageTop(std::string_view title) {
  return std::string(R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>)") + std::string(title) + R"(</title>
<link href="/css.css" rel="stylesheet" type="text/css">
</head>
<body>
<table class="bk" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop">)" + std::string(title) + R"(</td></tr>
  <tr><td class="classtd">
)";
}

constexpr std::string_view kPageBottom = R"(    <p><a href="/index.asp">返回演示站首页</a></p>
  </td></tr>
</table>
</body>
</html>
)";

// The page functions the cards call: popup windows and photos scaled to fit.
constexpr std::string_view kCardScripts = R"(<script type="text/javascript">
function popup(url, w, h) { window.open(url, '_blank', 'width=' + w + ',height=' + h + ',scrollbars=yes'); }
function DrawImage(img, w, h) {
  if (img.width > 0 && img.height > 0) {
    var r = Math.min(w / img.width, h / img.height, 1);
    img.width = Math.round(img.width * r); img.height = Math.round(img.height * r);
  }
}
</script>
)";

// The purchase form's script: the cost of the days asked for and what is left.
constexpr std::string_view kApplyScript = R"(<script type="text/javascript">
function chkform() {
  var f = document.form1, days = f.ORDERMONEY.value, balance = parseFloat(f.MONEY2.defaultValue);
  if (days == '' || isNaN(days) || Math.round(days) < 1) { alert('请输入申请天数（整数）'); return false; }
  var cost = Math.round(days) * 30;
  f.MONEY.value = cost;
  f.MONEY2.value = balance - cost;
  if (cost > balance) { alert('E币不足'); return false; }
  return true;
}
</script>
)";

constexpr std::size_t kMostEntries = 200;

std::string html(std::string_view text) { return htmlEscape(text); }

std::string link(zurva& z, std::string path) {
  Variant url = std::move(path);
  return html(z.showurl(url).str());
}

db::Connection openSite(serve::PageContext& p) {
  db::Connection conn;
  if (!conn.Open({p.SqlLocalName.str(), p.SqlUserName.str(), p.SqlPassword.str(), p.SqlDatabaseName.str()}))
    throw std::runtime_error("the demo database cannot be opened");
  return conn;
}

// ------------------------------------------------------------------ pages

void homeShowcase(zurva& z, serve::PageContext& p) {
  refreshShowcaseList(p);
  p.Response.Write(kCardScripts);
  p.Response.Write("    <h3>我型我秀</h3>\n");
  p.Response.Write(z.myshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, 100, 120, 2, 1));
  p.Response.Write(z.myshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, 100, 120, 3, 3));
  p.Response.Write("\n    <h3>会员展示</h3>\n");
  p.Response.Write(z.mainshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, "", "", 120, 150));
  p.Response.Write("\n");
}

// "/city.asp?city=P&city1=C": the provinces of the region menu, the entries of
// the chosen province, and its gallery.
void cityPage(serve::PageContext& p) {
  zurva z;
  p.Response.Write(pageTop("城市会员展示"));
  p.Response.Write(kCardScripts);
  db::Connection conn = openSite(p);
  db::Recordset menu = conn.Execute("select maincitymenu from zurva_system where id=1");
  std::vector<std::string> provinces;
  std::vector<std::pair<std::string, std::string>> entries;  // province, city ("" = whole)
  if (!menu.eof()) {
    for (const std::string& entry : Split(menu(0).str(), "@@@@@@")) {
      const std::vector<std::string> f = Split(entry, "<><><><><><>");
      const std::string province = f.size() > 1 ? f[1] : "";
      const bool whole = f.empty() || f[0] == "||||";
      entries.emplace_back(province, !whole && f.size() > 2 ? f[2] : "");
      if (std::find(provinces.begin(), provinces.end(), province) == provinces.end()) provinces.push_back(province);
    }
  }
  const Variant city = p.Request.QueryString("city"), city1 = p.Request.QueryString("city1");
  std::string nav = "    <p>";
  for (std::size_t i = 0; i < provinces.size(); ++i)
    nav += "<a href=\"" + link(z, "city.asp?city=" + std::to_string(i) + "&city1=0") + "\">" + html(provinces[i]) + "</a> ";
  nav += "</p>\n";
  const long chosen = IsNumeric(city) && !city.isEmpty() ? long(toNumber(city)) : -1;
  if (chosen >= 0 && chosen < long(provinces.size())) {
    nav += "    <p>";
    long ordinal = 0;
    for (const auto& [province, name] : entries) {
      if (province != provinces[std::size_t(chosen)]) continue;
      nav += "<a href=\"" + link(z, "city.asp?city=" + std::to_string(chosen) + "&city1=" + std::to_string(ordinal)) +
             "\">" + html(name.empty() ? "全省" : name) + "</a> ";
      ++ordinal;
    }
    nav += "</p>\n";
  }
  p.Response.Write(nav);
  if (!city.isEmpty() || !city1.isEmpty()) {
    p.Response.Write(z.mainshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, city, city1, 120, 150));
  }
  p.Response.Write(kPageBottom);
}

// "/myshow.asp": the member's showcase status.
void statusPage(serve::PageContext& p) {
  zurva z;
  const Variant box = z.myshow_info(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  p.Response.Write(pageTop("我型我秀"));
  writeMemberLine(z, p);
  p.Response.Write("    <p>");
  p.Response.Write(box);
  p.Response.Write("</p>\n    <p>我型我秀每天 30 E币，购买后于第二天起在首页的“我型我秀”中展示。</p>\n");
  p.Response.Write(kPageBottom);
}

// "/Apply.asp": the purchase form, with the ledger frame its link opens in.
void applyPage(serve::PageContext& p) {
  zurva z;
  const Variant form = z.myshow_apply(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  p.Response.Write(pageTop("申请我型我秀"));
  p.Response.Write(kApplyScript);
  p.Response.Write(form);
  p.Response.Write(R"(    <iframe name="subiframe" width="100%" height="200" frameborder="0"></iframe>
)");
  p.Response.Write(kPageBottom);
}

// "/save.asp" (and "action_free_save.html"): the purchase handler. Its
// message ends the request; a purchase may change the showcase list.
void savePage(serve::PageContext& p) {
  p.Response.Write(pageTop("申请我型我秀"));
  zurva z;
  try {
    z.myshow_save(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  } catch (const VbError& e) {
    if (e.isRequestEnd()) refreshShowcaseList(p, true);
    throw;
  }
}

// "/History.asp": the member's love-coin ledger, latest first.
void historyPage(serve::PageContext& p) {
  zurva z;
  p.Response.Write(pageTop("E币收支记录"));
  const Variant userid = p.Request.Cookies("kalimo")("userid");
  if (eq(p.Request.Cookies("kalimo")("username"), "") || !IsNumeric(userid) || userid.isEmpty()) {
    p.Response.Write("    <p>请先" + std::string("<a href=\"/login.asp\">登录</a>") + "。</p>\n");
  } else {
    db::Connection conn = openSite(p);
    std::string rows = "    <table class=\"bk\" cellspacing=\"1\" cellpadding=\"4\">\n"
                       "      <tr class=\"bg_l\"><td>时间</td><td>E币</td><td>说明</td></tr>\n";
    for (db::Recordset rs = conn.Execute(sql::statement(
             "select top 50 b_time,b_count,b_history from emoneymx where userID={} order by id desc", sql::lng(userid)));
         !rs.eof(); rs.MoveNext()) {
      rows += "      <tr><td>" + html(rs(0).str()) + "</td><td>" + html(rs(1).str()) + "</td><td>" + html(rs(2).str()) +
              "</td></tr>\n";
    }
    p.Response.Write(rows + "    </table>\n");
  }
  p.Response.Write(kPageBottom);
}

// A small page standing in for a page of the site that the demo does not have.
serve::Page standIn(std::string title, std::string text) {
  return [title = std::move(title), text = std::move(text)](serve::PageContext& p) {
    p.Response.Write(pageTop(title));
    p.Response.Write("    <p>" + text + "</p>\n");
    p.Response.Write(kPageBottom);
  };
}

void addIfMissing(serve::PageRegistry& pages, const std::string& path, serve::Page page) {
  if (!pages.find(path)) pages.add(path, std::move(page));
}

// ------------------------------------------------------------------ the showcase list

std::mutex refreshing;
std::atomic<long long> lastRefresh{-1};  // steady-clock seconds
std::atomic<long> lastDay{-1};

// Two whole ages of two digits, "aa-bb", or the widest range.
std::string ageRange(const Variant& userbz) {
  const std::vector<std::string> items = Split(userbz.str(), "#");
  const std::vector<std::string> range = Split(items.empty() ? "" : items[0], "-");
  const auto twoDigits = [](const std::string& s) {
    return s.size() == 2 && std::isdigit(static_cast<unsigned char>(s[0])) &&
           std::isdigit(static_cast<unsigned char>(s[1]));
  };
  if (range.size() == 2 && twoDigits(range[0]) && twoDigits(range[1])) return range[0] + "-" + range[1];
  return "18-99";
}

}  // namespace

std::string buildShowcaseList(db::Connection& conn) {
  std::string list;
  std::size_t entries = 0;
  for (db::Recordset rs = conn.Execute(
           "select userid,sex,userbz,userdata,nickname,grade,trust,pay,field,smallphoto,ifphotolook from zurva_user "
           "where ok=1 and ifclose=0 and ifdel=0 and iferro=0 and iflianxi is not null and moneytime is not null "
           "and DATEDIFF(d,moneytime,getdate())>=1 and DATEDIFF(d,moneytime,getdate())<=iflianxi "
           "order by moneytime desc,userid");
       !rs.eof() && entries < kMostEntries; rs.MoveNext()) {
    std::vector<std::string> fields = {rs("userid").str(),   rs("sex").str(),   ageRange(rs("userbz")),
                                       rs("userdata").str(), rs("nickname").str(), rs("grade").str(),
                                       rs("trust").str(),    rs("pay").str(),   rs("field").str(),
                                       rs("smallphoto").str(), rs("ifphotolook").str()};
    bool fits = true;
    for (const std::string& f : fields) fits = fits && f.find(',') == std::string::npos && f.find('@') == std::string::npos;
    if (!fits) continue;
    list += "," + Join(fields, "@");
    ++entries;
  }
  return list;
}

void refreshShowcaseList(serve::PageContext& p, bool now) {
  const long long second =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
  const long day = long(dateSerialOf(Today()));
  if (!now && lastRefresh.load() >= 0 && second - lastRefresh.load() < 60 && day == lastDay.load()) return;
  std::unique_lock lock(refreshing, std::try_to_lock);
  if (!lock) return;  // another page is at it
  db::Connection conn = openSite(p);
  const std::string list = buildShowcaseList(conn);
  const Variant current = p.Application("zurva_myshow");
  if (!(IsArray(current) && !current.arrayValue().empty() && current[0].str() == list))
    p.Application.set("zurva_myshow", Variant(VariantArray{Variant(list)}));
  lastRefresh = second;
  lastDay = day;
}

void writeHomeShowcase(zurva& z, serve::PageContext& p) { homeShowcase(z, p); }

void registerShowcasePages(serve::PageRegistry& pages) {
  pages.add("/city.asp", cityPage);
  pages.add("/myshow.asp", statusPage);
  pages.add("/Apply.asp", applyPage);
  pages.add("/save.asp", savePage);
  pages.add("/History.asp", historyPage);
  // The pages the cards link to that belong to the site (or to other parts of
  // the component, whose own pages take the place when they are there).
  addIfMissing(pages, "/ReadyBuy.asp", standIn("会员升级", "金卡、银卡会员可以查看更多会员资料，请联系客服升级。"));
  addIfMissing(pages, "/xjrz.asp", standIn("身份验证", "上传身份证、学历等证件扫描件，通过审核后提升身份验证等级。"));
  addIfMissing(pages, "/por.asp", standIn("会员资料", "会员资料与相册页面（演示站暂未开放）。"));
  addIfMissing(pages, "/sendmsg.asp", standIn("发送消息", "站内短信（演示站暂未开放）。"));
  addIfMissing(pages, "/addfriends.asp", standIn("申请好友", "好友申请（演示站暂未开放）。"));
  addIfMissing(pages, "/love1.asp", standIn("暗送秋波", "暗送秋波（演示站暂未开放）。"));
  addIfMissing(pages, "/myfiles/sc.asp", standIn("我的收藏", "加入收藏（演示站暂未开放）。"));
  addIfMissing(pages, "/nosou.asp", standIn("不再搜出TA", "搜索屏蔽（演示站暂未开放）。"));
  pages.list("/city.asp?city=0&city1=0", "城市会员展示（广东）");
  pages.list("/myshow.asp", "我的我型我秀（会员）");
}

}  // namespace zurvafun::site

// The showcase and gallery pages of the demo site: the showcase widget and
// the member gallery of the home and city pages, the province and city pages,
// the member's showcase status, the purchase form and its handler, and the
// e-money ledger.
#include "site/pages_showcase.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/rebuilds.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "helpers/region_menu_texts.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/emoney_pages.h"
#include "site/pages.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

// The purchase form's script: the cost of the days asked for and what is left.
constexpr std::string_view kApplyScript = R"(function chkform() {
  var f = document.form1, days = f.ORDERMONEY.value, balance = parseFloat(f.MONEY2.defaultValue);
  if (days == '' || isNaN(days) || Math.round(days) < 1) { alert('\u8bf7\u8f93\u5165\u7533\u8bf7\u5929\u6570\uff08\u6574\u6570\uff09'); return false; }
  var cost = Math.round(days) * 30;
  f.MONEY.value = cost;
  f.MONEY2.value = balance - cost;
  if (cost > balance) { alert('E\u5e01\u4e0d\u8db3'); return false; }
  return true;
}
)";

constexpr std::size_t kMostEntries = 200;

// ------------------------------------------------------------------ pages

// The provinces of the region menu and each one's entries ("" = the whole
// province), in the menu's order: the indexes the gallery takes.
struct RegionMenu {
  std::shared_ptr<const regions::MenuTexts> texts;

  const std::vector<std::string>& provinces() const { return texts->mainProvinces; }

  std::vector<std::string> citiesOf(const std::string& province) const {
    std::vector<std::string> cities;
    for (const std::vector<std::string>& f : texts->mainRecords) {
      if (regions::field(f, 1) != province) continue;
      cities.emplace_back(regions::field(f, 0) == "||||" ? "" : regions::field(f, 2));
    }
    return cities;
  }
};

RegionMenu regionMenu(serve::PageContext& p) {
  db::Connection conn = openDatabase(p);
  return {regions::menuTexts(conn, db::databaseKey(databaseParams(p)))};
}

// A whole number of a request value within 0..size-1, or -1.
long indexOf(const Variant& value, std::size_t size) {
  if (value.isEmpty() || !IsNumeric(value) || Len(value.str()) > 9) return -1;
  const double n = toNumber(value);
  return n >= 0 && n < double(size) && n == double(long(n)) ? long(n) : -1;
}

// "/city.asp?city=P&city1=C": the provinces of the region menu, the entries of
// the chosen province, and the chosen place's showcase, search, gallery and
// newest members, as the home page shows them for the whole site.
void cityPage(serve::PageContext& p) {
  zurva z;
  const RegionMenu menu = regionMenu(p);
  const std::vector<std::string>& provinces = menu.provinces();
  const Variant city = p.Request.QueryString("city"), city1 = p.Request.QueryString("city1");
  const long province = indexOf(city, provinces.size());
  const std::vector<std::string> cities =
      province >= 0 ? menu.citiesOf(provinces[std::size_t(province)]) : std::vector<std::string>{};
  const long place = indexOf(city1, cities.size());
  std::optional<Residence> where;
  if (province >= 0)
    where =
        Residence{provinces[std::size_t(province)], place >= 0 ? cities[std::size_t(place)] : ""};

  std::string title = "城市会员展示";
  if (where) title += "：" + where->province + (where->city.empty() ? "" : "-" + where->city);
  SitePage page(z, p, {.title = title, .cityTable = CityTable::File, .scripts = kGalleryScripts});
  // The links to the provinces and the province's places: made from the
  // names in the key and the site settings alone.
  std::string navKey =
      "city page links\n" + std::to_string(province) + "\n" + std::to_string(provinces.size());
  for (const std::vector<std::string>* names : {&provinces, &cities})
    for (const std::string& name : *names) (navKey += "\n") += name;
  p.Response.Write(settingsText(p, navKey, [&] {
    std::string nav = "    <p>省份：";
    for (std::size_t i = 0; i < provinces.size(); ++i)
      nav += siteAnchor(z, "/city.asp?city=" + std::to_string(i) + "&city1=0", provinces[i]) + " ";
    nav += "</p>\n";
    if (province >= 0) {
      nav += "    <p>城市：";
      for (std::size_t i = 0; i < cities.size(); ++i)
        nav += siteAnchor(
                   z, "/city.asp?city=" + std::to_string(province) + "&city1=" + std::to_string(i),
                   cities[i].empty() ? "全省" : cities[i]) +
               " ";
      nav += "</p>\n";
    }
    return nav;
  }));
  if (city.isEmpty() && city1.isEmpty()) {
    page.note("请选择省份和城市，查看当地的会员。");
    page.end();
    return;
  }
  writeShowcaseAndSearch(z, p);
  p.Response.Write("    <h3>会员展示</h3>\n");
  // The gallery checks the indexes itself (its message ends the page).
  writeGallery(z, p, city, city1);
  if (where) {
    p.Response.Write("    <h3>当地最新会员</h3>\n");
    writeNewestMembers(z, p, where);
  }
  page.end();
}

// "/myshow.asp": the member's showcase status.
void statusPage(serve::PageContext& p) {
  zurva z;
  const Variant box = z.myshow_info(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  SitePage page(z, p, {.title = "我型我秀"});
  p.Response.Write("    <p>");
  p.Response.Write(box);
  p.Response.Write("</p>\n    <p>我型我秀每天 30 E币，购买后于第二天起在首页的“我型我秀”中展示。</p>\n");
  page.end();
}

// "/Apply.asp": the purchase form, with the ledger frame its link opens in.
void applyPage(serve::PageContext& p) {
  zurva z;
  const Variant form = z.myshow_apply(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  SitePage page(z, p, {.title = "申请我型我秀", .script = kApplyScript});
  p.Response.Write(form);
  p.Response.Write(R"(    <iframe name="subiframe" width="100%" height="400" frameborder="0"></iframe>
)");
  page.end();
}

// "/save.asp" (and "action_free_save.html"): the purchase handler. Its
// message ends the request; a purchase may change the showcase list.
void savePage(serve::PageContext& p) {
  zurva z;
  // The free start runs in a window of its own that its message closes; the
  // purchase form opens it by GET (site/site_post.h).
  const bool free = eq(p.Request("action"), "free");
  if (free) {
    confirmBeforeActing(z, p, {.title = "申请我型我秀", .question = "确定使用免费我型我秀吗？", .frame = Frame::Window});
  } else {
    requireSitePost(z, p);
  }
  SitePage page(z, p, {.title = "申请我型我秀", .frame = free ? Frame::Window : Frame::Page});
  try {
    z.myshow_save(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  } catch (const VbError& e) {
    if (e.isRequestEnd()) refreshShowcaseList(p, true);
    throw;
  }
  page.end();
}

// "/History.asp": the member's love-coin ledger, latest first, each row as
// the change of his balance.
void historyPage(serve::PageContext& p) {
  zurva z;
  const auto me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "E币收支记录");
  SitePage page(z, p, {.title = "E币收支记录"});
  db::Connection conn = openDatabase(p);
  p.Response.Write(
      "    <p>" + siteAnchor(z, "/chongzhi.asp", "充值") + "　" +
      siteAnchor(z, "/indexw.asp", "会员中心") +
      "</p>\n    <table class=\"bk\" cellspacing=\"1\" cellpadding=\"4\">\n"
      "      <tr class=\"bg_l\"><td>时间</td><td>收支（E币）</td><td>说明</td></tr>\n" +
      ledgerRows(conn, *me, 50) + "    </table>\n");
  page.end();
}

// ------------------------------------------------------------------ the showcase list

std::mutex refreshing;
std::atomic<long long> lastRefresh{-1};  // steady-clock seconds
std::atomic<long> lastDay{-1};
// Moves with every list a page builds itself, so that a list the rebuild
// thread began before it never replaces it.
std::atomic<long> generation{0};

// The list the rebuild thread made last, for the next page to put in place.
struct BuiltList {
  std::string database;
  long generation = 0;
  std::string list;
};
std::mutex builtMutex;
std::optional<BuiltList> built;
std::atomic<bool> builtWaiting{false};
std::atomic<bool> rebuildPosted{false};

void putShowcaseList(serve::PageContext& p, const std::string& list) {
  const Variant current = p.Application("zurva_myshow");
  if (!(IsArray(current) && !current.arrayValue().empty() && current[0].str() == list))
    p.Application.set("zurva_myshow", Variant(VariantArray{Variant(list)}));
}

// Puts the list the rebuild thread made in place, unless a page built one
// since the rebuild was posted.
void takeBuiltList(serve::PageContext& p) {
  if (!builtWaiting.load()) return;
  const std::string database = db::databaseKey(databaseParams(p));
  std::optional<BuiltList> taken;
  {
    std::lock_guard lock(builtMutex);
    taken.swap(built);
    builtWaiting = false;
  }
  if (taken && taken->database == database && taken->generation == generation.load())
    putShowcaseList(p, taken->list);
}

void postShowcaseRebuild(const db::ConnectionParams& params, const std::string& database) {
  if (rebuildPosted.exchange(true)) return;
  rebuilds::post([params, database, from = generation.load()] {
    try {
      db::Connection conn;
      if (conn.Open(params)) {
        std::string list = buildShowcaseList(conn);
        std::lock_guard lock(builtMutex);
        built = BuiltList{database, from, std::move(list)};
        builtWaiting = true;
      }
    } catch (...) {
    }
    rebuildPosted = false;
  });
}

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
  for (db::Recordset rs = conn.Execute(sql::verbatim(
           "select "
           "userid,sex,userbz,userdata,nickname,grade,trust,pay,field,smallphoto,ifphotolook from "
           "zurva_user "
           "where ok=1 and ifclose=0 and ifdel=0 and iferro=0 and iflianxi is not null and "
           "moneytime is not null "
           "and DATEDIFF(d,moneytime,getdate())>=1 and DATEDIFF(d,moneytime,getdate())<=iflianxi "
           "order by moneytime desc,userid"));
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
  takeBuiltList(p);
  const bool sameDay = day == lastDay.load();
  if (!now && lastRefresh.load() >= 0 && sameDay) {
    // The minute's rebuild runs on the rebuild thread (it reads every
    // member); the pages meanwhile show the list there is.
    if (second - lastRefresh.load() >= 60) {
      lastRefresh = second;
      const db::ConnectionParams params = databaseParams(p);
      postShowcaseRebuild(params, db::databaseKey(params));
    }
    return;
  }
  std::unique_lock lock(refreshing, std::try_to_lock);
  if (!lock) return;  // another page is at it
  db::Connection conn = openDatabase(p);
  ++generation;
  putShowcaseList(p, buildShowcaseList(conn));
  lastRefresh = second;
  lastDay = day;
}

void writeShowcaseWidget(zurva& z, serve::PageContext& p) {
  refreshShowcaseList(p);
  p.Response.Write(z.myshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, 100, 120, 2, 1));
  p.Response.Write(z.myshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, 100, 120, 3, 3));
  p.Response.Write("\n");
}

void writeGallery(zurva& z, serve::PageContext& p, const Variant& city, const Variant& city1) {
  p.Response.Write(z.mainshow(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName, city, city1, 120, 150));
  p.Response.Write("\n");
}

void registerShowcasePages(serve::PageRegistry& pages) {
  pages.add("/city.asp", cityPage);
  pages.add("/myshow.asp", statusPage);
  pages.add("/Apply.asp", applyPage);
  pages.add("/save.asp", savePage);
  pages.add("/History.asp", historyPage);
  pages.list("/city.asp?city=0&city1=0", "城市会员展示（广东）");
  pages.list("/myshow.asp", "我的我型我秀（会员）");
}

}  // namespace zurvafun::site

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/db.h"
#include "framework/data_versions.h"
#include "framework/rebuilds.h"
#include "framework/sql.h"
#include "runtime/dates.h"
#include "showcase/gallery_pool.h"
#include "tests/showcase/showcase_fixture.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kEmpty = R"(<td width="60%" nowrap></td>)";

class MainshowTest : public ShowcaseTest {
 protected:
  Variant gallery(const Variant& city = "", const Variant& city1 = "", const Variant& database = kDatabase) {
    zurva z;
    return z.mainshow(kServer, kUser, kPassword, database, city, city1, 100, 120);
  }
  // The member numbers the cards show, in order (nicknames are "n<id>").
  static std::vector<long> shown(const std::string& html) {
    std::vector<long> ids;
    const std::regex nick(R"(<font color="#ff6600">n(\d+)</font>)");
    for (std::sregex_iterator it(html.begin(), html.end(), nick), end; it != end; ++it)
      ids.push_back(std::stol((*it)[1]));
    return ids;
  }
  // A listable member with an approved head photo.
  static void candidate(long id, ShowMember m = {}) {
    m.userid = id;
    m.nickname = "n" + std::to_string(id);
    if (m.smallphoto.isNull()) m.smallphoto = kApproved;
    addShowMember(m);
  }
  static std::vector<long> range(long from, long to) {
    std::vector<long> ids;
    for (long id = from; from <= to ? id <= to : id >= to; id += from <= to ? 1 : -1) ids.push_back(id);
    return ids;
  }
  // Counts the random draws (a source that covers [0, 1) evenly).
  std::shared_ptr<int> countDraws() {
    auto draws = std::make_shared<int>(0);
    auto state = std::make_shared<unsigned>(11);
    setRandomSource([draws, state] {
      ++*draws;
      *state = *state * 1103515245u + 12345u;
      return double((*state >> 8) & 0xFFFFFF) / double(1 << 24);
    });
    return draws;
  }
};

TEST_F(MainshowTest, NoCandidate) {
  candidate(1, {.ok = 0});
  candidate(2, {.ifclose = 1});
  candidate(3, {.ifdel = 1});
  candidate(4, {.iferro = 1});
  candidate(5, {.smallphoto = "smallphoto5.jpg0"});  // awaiting approval
  candidate(6, {.smallphoto = ""});
  candidate(7, {.ok = 0, .maincity = "#", .citymoney = 500});  // placed, but not listable
  EXPECT_EQ(gallery().str(), "    <BR><BR>....暂时没有数据!....<br>    ");
}

TEST_F(MainshowTest, FewCandidatesFillTheGalleryFromTheTopLeft) {
  for (long id = 1; id <= 5; ++id) candidate(id);
  const auto draws = countDraws();
  const std::string html = gallery().str();
  EXPECT_EQ(*draws, 0);
  EXPECT_EQ(shown(html), range(5, 1));
  EXPECT_TRUE(html.starts_with(R"(    <table width="100%" border="0" cellspacing="0" cellpadding="0"><tr><td width="50%">)"));
  EXPECT_TRUE(html.ends_with("</td>     </tr>    </table>    "));
  EXPECT_EQ(occurrences(html, "<tr><td width=\"50%\">"), 4);
  EXPECT_EQ(occurrences(html, kEmpty), 3);  // the third row's right cell and the fourth row
  EXPECT_EQ(occurrences(html, "<img src=\"/images/hycz_30.gif\""), 8);  // every frame keeps its decoration
}

TEST_F(MainshowTest, EightCandidatesAreShownWithoutADraw) {
  for (long id = 11; id <= 18; ++id) candidate(id);
  const auto draws = countDraws();
  EXPECT_EQ(shown(gallery().str()), range(18, 11));
  EXPECT_EQ(*draws, 0);
}

TEST_F(MainshowTest, ManyCandidatesShowAFullRandomWindow) {
  for (long id = 1; id <= 30; ++id) candidate(id * 3);  // 3, 6, ..., 90
  countDraws();
  std::set<long> tops;
  for (int call = 0; call < 40; ++call) {
    const std::vector<long> ids = shown(gallery().str());
    ASSERT_EQ(ids.size(), 8u);
    // Eight neighbours downwards from the highest number not above the pick,
    // which lies between the ninth-lowest (27) and the highest (90).
    EXPECT_GE(ids.front(), 27);
    for (std::size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], ids[i - 1] - 3);
    tops.insert(ids.front());
  }
  EXPECT_GT(tops.size(), 3u) << "the window moves from call to call";
}

TEST_F(MainshowTest, PlacedMembersComeFirstByTheMoneyPaid) {
  candidate(1, {.maincity = "x", .citymoney = 200});  // paid once, not placed: below the pick, ranked by money
  for (long id = 2; id <= 20; ++id) candidate(id);
  candidate(30, {.maincity = "#", .citymoney = 100});
  candidate(31, {.maincity = "#  ", .citymoney = 300});  // trailing blanks compare equal
  candidate(32, {.maincity = "#", .citymoney = 100});
  candidate(34, {.nextcity = "广东#广州市", .nextcitymoney = 900});  // placed on a city page: an ordinary candidate here
  countDraws();
  for (int call = 0; call < 10; ++call) {
    const std::vector<long> ids = shown(gallery().str());
    ASSERT_EQ(ids.size(), 8u);
    EXPECT_EQ(std::vector<long>(ids.begin(), ids.begin() + 4), (std::vector<long>{31, 1, 32, 30}));
  }
}

TEST_F(MainshowTest, TenPlacedMembersAboveEverybodyFillTheGallery) {
  for (long id = 1; id <= 20; ++id) candidate(id);
  for (long id = 21; id <= 30; ++id) candidate(id, {.maincity = "#", .citymoney = id * 10});
  countDraws();
  EXPECT_EQ(shown(gallery().str()), range(30, 23));
}

TEST_F(MainshowTest, GalleryFollowsEveryChangeOfTheDatabase) {
  for (long id = 1; id <= 3; ++id) candidate(id);
  EXPECT_EQ(shown(gallery().str()), range(3, 1));
  // Written on this thread's own connection.
  candidate(4);
  EXPECT_EQ(shown(gallery().str()), range(4, 1));
  run("update zurva_user set ifdel=1 where userid=2");
  EXPECT_EQ(shown(gallery().str()), (std::vector<long>{4, 3, 1}));
  // Written by another connection.
  std::thread([] {
    run("update zurva_user set maincity='#',citymoney=5 where userid=1");
    db::releasePooledConnections();
  }).join();
  EXPECT_EQ(shown(gallery().str()), (std::vector<long>{1, 4, 3}));
  // Written by another process sharing the database: seen within a second
  // (polled here for up to five), the pool and the guests' cards alike.
  runElsewhere("update zurva_user set ifdel=1 where userid=4");
  runElsewhere("update zurva_user set nickname='n9' where userid=3");
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::string html = gallery().str();
  while (shown(html) != std::vector<long>{1, 9} && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    html = gallery().str();
  }
  EXPECT_EQ(shown(html), (std::vector<long>{1, 9}));
}

TEST_F(MainshowTest, CardsKeptForGuestsFollowEveryChange) {
  candidate(4);
  EXPECT_NE(gallery().str().find(">n4<"), std::string::npos);
  run("update zurva_user set nickname='新名字' where userid=4");
  EXPECT_NE(gallery().str().find(">新名字<"), std::string::npos);
  settings(1);
  EXPECT_NE(gallery().str().find("_por.html"), std::string::npos);
  setClock([] { return toSerial({2027, 1, 1, 0, 0, 1}); });
  EXPECT_NE(gallery().str().find("淑女，37(岁)"), std::string::npos);
  // A member sees the card made for him, with the upgrade link as before.
  logIn(9, 576, 2);
  EXPECT_NE(gallery().str().find(">新名字<"), std::string::npos);
}

TEST_F(MainshowTest, GalleryCard) {
  candidate(4, {.grade = 3, .trust = 5, .userdata = "1980#f#2#39#湖南#广东-广州市#128#湖南-长沙市#206",
                .photo = "a.jpg1#b.jpg0#c.jpg1", .field = "185", .height = "170", .weight = "60",
                .aboutus = "<b>好</b>\r\n笨蛋"});
  candidate(3, {.sex = 576, .userdata = "1990#0#1", .field = "167", .aboutus = std::string(84, 'x')});
  candidate(2, {.aboutus = std::string(83, 'y')});
  const std::string html = gallery().str();
  for (const char* part : {
           R"~(<a href="/por.asp?id=49514952535052Sa2f3e71d9181a67b" target="_blank"><img src="smallphoto/smallphoto4.jpg" border="0" onload="DrawImage(this,100,120)"></a>)~",
           R"(<font color="#4f4f4f"><a href="/por.asp?id=49514952535052Sa2f3e71d9181a67b" target="_blank"><font color="#ff6600">n4</font></a>&nbsp;&nbsp;</font>)",
           R"(<font color="#4f4f4f"><a href="ReadyBuy.asp" target="_blank"><img src='/Images/golduser3.gif' border="0"></a></font>)",
           R"(<a href="/xjrz.asp" target="_blank"><img src="/images/s_blue_5.gif" alt="身份验证等级5钻" border="0"></a>&nbsp;)",
           R"(<a href="/por.asp?type=photo&id=49514952535052Sa2f3e71d9181a67b" target="_blank" class="Gray_NoUnderLine">[共有2张照片]</a>)",
           R"(<font color="#4f4f4f">淑女，46(岁)，记者编辑</font>)",
           R"(<font color="#4f4f4f">湖南-长沙市，离异，双学士， <br>170cm，60kg，</font>)",
           R"(<font color="#4f4f4f">相貌自评： 满分</font>)",
           R"(<font color="#4f4f4f">&nbsp;&nbsp;&nbsp;&nbsp;&lt;b&gt;好&lt;/b&gt;  **</font>)",
           // Member 3: short userdata and an occupation without a label.
           R"(<font color="#4f4f4f">绅士，36(岁)，</font>)",
           R"(<font color="#4f4f4f">，未婚，， <br>165cm，52kg，</font>)",
           R"(相貌自评： 未填</font>)",
       }) {
    EXPECT_NE(html.find(part), std::string::npos) << part << "\n" << html;
  }
  EXPECT_NE(html.find("&nbsp;&nbsp;&nbsp;&nbsp;" + std::string(83, 'x') + "...</font>"), std::string::npos);
  EXPECT_NE(html.find("&nbsp;&nbsp;&nbsp;&nbsp;" + std::string(83, 'y') + "</font>"), std::string::npos);
  // The left card links the upgrade page as .asp, the right one as .html;
  // the right card's decoration stands at the right.
  EXPECT_NE(html.find(R"(<td align="right"><img src="/images/hycz_30.gif")"), std::string::npos);

  settings(1);
  const std::string linked = gallery().str();
  EXPECT_NE(linked.find(R"(href="/id_49514952535052Sa2f3e71d9181a67b_por.html")"), std::string::npos);
  EXPECT_NE(linked.find(R"(href="/por_type_photo_id_49514952535052Sa2f3e71d9181a67b.html")"), std::string::npos);
  EXPECT_EQ(occurrences(linked, R"(<a href="ReadyBuy.html" target="_blank">)"), 3);
}

TEST_F(MainshowTest, StoredTextIsEscaped) {
  // The trust code stored as text in its integer column: only the file's
  // typing keeps such a value.
  ZURVA_EMBEDDED_ONLY();
  candidate(4, {.trust = "5\"", .height = "<i>"});
  run("update zurva_user set nickname='<script>x' where userid=4");
  const std::string html = gallery().str();
  EXPECT_EQ(html.find("<script>"), std::string::npos);
  EXPECT_EQ(html.find("<i>"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;x"), std::string::npos);
  EXPECT_NE(html.find("s_blue_5&quot;.gif"), std::string::npos);
}

TEST_F(MainshowTest, PhotoPrivacyHolds) {
  candidate(4, {.ifphotolook = 2});
  candidate(3, {.ifphotolook = 3});
  candidate(9, {.sex = 576});
  const std::string guest = gallery().str();
  EXPECT_NE(guest.find(R"(<a href="/por.asp?id=49514952535052Sa2f3e71d9181a67b" target="_blank"><img src='/images/no02577.gif' width=100 height=120 border='0'></a>)"),
            std::string::npos)
      << guest;
  EXPECT_NE(guest.find("/images/no03577.gif"), std::string::npos);
  EXPECT_EQ(guest.find("smallphoto/smallphoto4.jpg"), std::string::npos);
  EXPECT_EQ(guest.find("smallphoto/smallphoto3.jpg"), std::string::npos);

  // A silver member who is member 3's friend sees both.
  addFriendship(3, 9, 1);
  logIn(9, 576, 2);
  const std::string member = gallery().str();
  EXPECT_NE(member.find("smallphoto/smallphoto4.jpg"), std::string::npos);
  EXPECT_NE(member.find("smallphoto/smallphoto3.jpg"), std::string::npos);
}

// ------------------------------------------------------------------ province and city pages

class CityGalleryTest : public MainshowTest {
 protected:
  void SetUp() override {
    MainshowTest::SetUp();
    const std::string f = "<><><><><><>";
    run("insert into zurva_system(id,maincitymenu) values(1,?)",
        {Variant("||||" + f + "广东" + f + "@@@@@@0" + f + "广东" + f + "广州市@@@@@@1" + f + "广东" + f +
                 "深圳市@@@@@@||||" + f + "黑龙江" + f + "@@@@@@2" + f + "黑龙江" + f +
                 "哈尔滨市@@@@@@3" + f + "北京" + f + "朝阳区")});
    candidate(1, {.userdata = "1990#7#1#39#广东#广东-广州市#124#广东-广州市#206"});
    candidate(2, {.userdata = "1990#7#1#39#黑龙江#广东-深圳市#124#广东-广州市#206"});
    candidate(3, {.userdata = "1990#7#1#39#广东#湖南-长沙市#124#广东-广州市#206"});  // registered, not living there
    candidate(4, {.userdata = "1990#7#1#39#广东#黑龙江-哈尔滨市#124#北京-朝阳区#206"});
    candidate(5, {.userdata = "1990#7#1#39#北京#北京-朝阳区#124#广东-深圳市#206"});
    candidate(6, {.userdata = "1990#7#1#39#广东#广东省-广州市#124#广东-广州市#206"});
  }
};

TEST_F(CityGalleryTest, RegionsMatchWholeItems) {
  EXPECT_EQ(shown(gallery(0, 1).str()), (std::vector<long>{1}));       // 广州市
  EXPECT_EQ(shown(gallery("0", "2").str()), (std::vector<long>{2}));   // 深圳市
  EXPECT_EQ(shown(gallery(0, 0).str()), (std::vector<long>{2, 1}));    // all of 广东
  EXPECT_EQ(shown(gallery(0, 7).str()), (std::vector<long>{2, 1}));    // no such entry: the province
  EXPECT_EQ(shown(gallery(1, 1).str()), (std::vector<long>{4}));       // a four-character city
  EXPECT_EQ(shown(gallery(2, 0).str()), (std::vector<long>{5}));       // a province without a whole entry
}

TEST_F(CityGalleryTest, MembersPlacedOnThePageComeFirst) {
  candidate(7, {.userdata = "1990#7#1#39#广东#广东-广州市#124#广东-广州市#206", .nextcity = "广东#广州市",
                .nextcitymoney = 10});
  candidate(8, {.userdata = "1990#7#1#39#广东#广东-深圳市#124#广东-广州市#206", .nextcity = "广东#",
                .nextcitymoney = 20});
  candidate(9, {.userdata = "1990#7#1#39#广东#北京-朝阳区#124#广东-广州市#206", .nextcity = "广东#",
                .nextcitymoney = 30});  // placed, but the region binds him too
  EXPECT_EQ(shown(gallery(0, 1).str()), (std::vector<long>{7, 1}));
  EXPECT_EQ(shown(gallery(0, 0).str()), (std::vector<long>{8, 7, 2, 1}));
}

TEST_F(CityGalleryTest, IndexesThatNameNoProvince) {
  for (const auto& [city, city1] : std::vector<std::pair<Variant, Variant>>{
           {3, 0}, {-1, 0}, {0, ""}, {"", 0}, {"x", 0}, {0, "y"}, {"1.5", 0}}) {
    host->nextRequest();
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.mainshow(kServer, kUser, kPassword, kDatabase, city, city1, 100, 120); }))
        << city.str() << "/" << city1.str();
    EXPECT_NE(host->response().body().find("参数错误！"), std::string::npos);
    EXPECT_NE(host->response().body().find("history.go(-1)"), std::string::npos);
  }
}

TEST_F(CityGalleryTest, WithoutAMenuEveryIndexIsWrong) {
  run("delete from zurva_system");
  zurva z;
  EXPECT_TRUE(endsRequest([&] { z.mainshow(kServer, kUser, kPassword, kDatabase, 0, 0, 100, 120); }));
  EXPECT_NE(host->response().body().find("参数错误！"), std::string::npos);
}

TEST_F(MainshowTest, DatabaseThatCannotBeOpened) {
  const Variant result = gallery("", "", "nosuchdb");
  EXPECT_EQ(result.str(), "SQL数据库连接出错，请检查连接字串。");
  EXPECT_TRUE(host->response().ended());
  EXPECT_EQ(host->response().body(), "");
}

// One copy of the pool serves the whole process; writes that change nothing
// it reads leave it in place, a changed candidate is patched in by the page
// that finds the pool behind, and a pool far behind is made afresh on the
// rebuild thread while pages keep the old one.
TEST_F(MainshowTest, OnePoolForTheProcessFollowsWhatItReads) {
  for (long id = 1; id <= 20; ++id) candidate(id);
  const sql::Statement candidates = sql::verbatim(
      "select userid,citymoney,case when maincity='#' then 1 else 0 end from zurva_user where ok=1 "
      "and ifdel=0");
  const auto pool = [&] {
    db::Connection conn = open();
    return showcase::GalleryPools::process().pool(
        conn, {kServer, kUser, kPassword, kDatabase}, db::databaseKey({kServer, kUser, kPassword, kDatabase}),
        data_versions::members(conn, db::databaseKey({kServer, kUser, kPassword, kDatabase})), candidates);
  };
  const auto first = pool();
  EXPECT_EQ(first->count(), 20);
  std::shared_ptr<const showcase::GalleryPool> elsewhere;
  std::thread([&] {
    elsewhere = pool();
    db::releasePooledConnections();
  }).join();
  EXPECT_EQ(elsewhere, first);
  run("update zurva_user set lasttime='2026-03-15 10:00:00',logins=3,emoney=20 where userid<10");
  EXPECT_EQ(pool(), first);

  run("update zurva_user set ifdel=1 where userid=5");
  const auto patched = pool();
  EXPECT_NE(patched, first);
  EXPECT_EQ(patched->count(), 19);
  EXPECT_EQ(first->count(), 20);
  EXPECT_EQ(pool(), patched);

  // More changes than a page reads again: the pages keep the pool they have
  // until the rebuild thread has made the new one.
  for (std::size_t i = 0; i * 20 <= showcase::GalleryPools::kMostPatched; ++i)
    run("update zurva_user set grade=grade+1");
  run("update zurva_user set maincity='#',citymoney=9 where userid=3");
  EXPECT_EQ(pool(), patched);
  rebuilds::settle();
  const auto rebuilt = pool();
  EXPECT_NE(rebuilt, patched);
  EXPECT_EQ(rebuilt->window(0, 8), std::vector<std::int32_t>{3});
  EXPECT_EQ(rebuilt->count(), 19);
}

// Cards rendered for a guest on one thread serve the guests of every other.
TEST_F(MainshowTest, CardsKeptForGuestsServeEveryThread) {
  candidate(4);
  EXPECT_NE(gallery().str().find(">n4<"), std::string::npos);
  // A change the record misses (its trigger gone) shows where a card is made anew.
  dropTrigger("zurva_user_shown_changed", "zurva_user");
  run("update zurva_user set nickname='新名字' where userid=4");
  std::string html;
  std::thread([&] {
    host::ObjectContextScope scope(host->context());  // the same site: its application values
    html = gallery().str();
    db::releasePooledConnections();
  }).join();
  EXPECT_NE(html.find(">n4<"), std::string::npos) << html;
}

// A database made before the record of member changes existed is read at
// every call: nothing made from it is kept.
TEST_F(MainshowTest, ADatabaseWithoutTheRecordIsReadEveryTime) {
  for (const char* trigger : {"zurva_user_added", "zurva_user_removed", "zurva_user_renumbered",
                              "zurva_user_shown_changed"})
    dropTrigger(trigger, "zurva_user");
  run("drop table zurva_versions");
  run("drop table zurva_member_changes");
  for (long id = 1; id <= 3; ++id) candidate(id);
  EXPECT_EQ(shown(gallery().str()), range(3, 1));
  run("update zurva_user set ifdel=1 where userid=2");
  run("update zurva_user set nickname='n9' where userid=3");
  EXPECT_EQ(shown(gallery().str()), (std::vector<long>{9, 1}));
}

// ------------------------------------------------------------------ the pool

TEST(GalleryPoolTest, WindowMergesPlacedMembersWithTheOthersBelowThePick) {
  showcase::GalleryPool pool;
  const double none = -std::numeric_limits<double>::infinity();
  for (int id = 1; id <= 12; ++id) pool.add(id, 0, false);
  pool.add(13, 50, false);  // paid once, not placed
  pool.add(14, none, false);
  pool.add(20, 100, true);
  pool.add(21, 50, true);
  pool.add(22, 0, true);
  pool.finish();
  EXPECT_EQ(pool.count(), 17);
  EXPECT_EQ(pool.top(), 22);
  EXPECT_EQ(pool.bound(), 9);
  EXPECT_EQ(pool.window(100, 20), (std::vector<std::int32_t>{20, 21, 13, 22, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 14}));
  EXPECT_EQ(pool.window(9, 8), (std::vector<std::int32_t>{20, 21, 22, 9, 8, 7, 6, 5}));
  EXPECT_EQ(pool.window(0, 8), (std::vector<std::int32_t>{20, 21, 22}));

  showcase::GalleryPool small;
  small.add(4, 0, false);
  small.add(7, 0, false);
  small.finish();
  EXPECT_EQ(small.top(), 7);
  EXPECT_EQ(small.bound(), 7);
}

// A pool patched for changed members is the pool made afresh from the
// changed candidates, through many rounds of changes spread over a pool of
// several thousand (its chunks split and empty as members come and go); the
// pool patched from stays as it was.
TEST(GalleryPoolTest, APatchedPoolIsThePoolMadeAfresh) {
  const double none = -std::numeric_limits<double>::infinity();
  const double amounts[] = {0, 0, 0, 0, 50, 100, 7.5, none};
  std::uint32_t state = 7;
  const auto next = [&](std::uint32_t below) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % below;
  };
  std::map<std::int32_t, showcase::Candidate> truth;
  const auto made = [&] {
    auto pool = std::make_shared<showcase::GalleryPool>();
    for (const auto& [id, c] : truth) pool->add(id, c.money, c.placed);
    pool->finish();
    return pool;
  };
  const auto same = [](const showcase::GalleryPool& a, const showcase::GalleryPool& b) {
    EXPECT_EQ(a.count(), b.count());
    EXPECT_EQ(a.top(), b.top());
    EXPECT_EQ(a.bound(), b.bound());
    for (const std::int32_t pick : {0, 1, 9, 500, 2999, 3001, 6000, 9000})
      EXPECT_EQ(a.window(pick, 40), b.window(pick, 40)) << pick;
  };
  for (std::int32_t id = 1; id <= 6000; id += 2) truth[id] = {id, amounts[next(8)], next(50) == 0};
  std::shared_ptr<const showcase::GalleryPool> pool = made();
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const std::shared_ptr<const showcase::GalleryPool> before = pool;
    const std::vector<std::int32_t> earlier = before->window(3000, 40);
    std::vector<std::int32_t> changed;
    std::vector<showcase::Candidate> rows;
    // Mostly a few members; now and then a whole stretch goes or comes.
    const bool stretch = round % 10 == 9;
    const std::uint32_t count = stretch ? 700 : 1 + next(20);
    const std::int32_t from = std::int32_t(next(7000));
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::int32_t id = stretch ? from + std::int32_t(i) : 1 + std::int32_t(next(7000));
      changed.push_back(id);
      if (next(3) == 0 || (stretch && round % 20 == 9))
        truth.erase(id);  // no longer a candidate (or never was)
      else
        truth[id] = {id, amounts[next(8)], next(20) == 0};
    }
    // The candidate statement's rows of the changed members, as they are now.
    for (const std::int32_t id : std::set<std::int32_t>(changed.begin(), changed.end()))
      if (truth.contains(id)) rows.push_back(truth[id]);
    pool = pool->patched(changed, rows);
    same(*pool, *made());
    EXPECT_EQ(before->window(3000, 40), earlier);
  }
}

}  // namespace
}  // namespace zurvafun::testing

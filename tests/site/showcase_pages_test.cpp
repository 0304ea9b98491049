// The demo site's showcase list: built from the members whose showcase days
// are running, so that a purchase shows in the widget from the next day on.
#include <gtest/gtest.h>

#include <string>

#include "db/db.h"
#include "host/serve/pages.h"
#include "runtime/dates.h"
#include "site/guest_fragments.h"
#include "site/pages.h"
#include "site/pages_showcase.h"
#include "tests/showcase/showcase_fixture.h"

namespace zurvafun::testing {
namespace {

class ShowcaseListTest : public ShowcaseTest {
 protected:
  static std::string list() {
    db::Connection conn = open();
    return site::buildShowcaseList(conn);
  }
  serve::PageContext page() {
    return {host->request(), host->response(), host->session(), host->application(), host->server(),
            kServer,         kUser,            kPassword,       kDatabase};
  }
};

TEST_F(ShowcaseListTest, RunningPeriodsOnly) {
  addShowMember({.userid = 4, .nickname = "跑", .iflianxi = 5, .moneytime = "2026-03-13 08:00:00"});
  addShowMember({.userid = 5, .iflianxi = 5, .moneytime = "2026-03-15 08:00:00"});   // from tomorrow
  addShowMember({.userid = 6, .iflianxi = 1, .moneytime = "2026-03-13 08:00:00"});   // over
  addShowMember({.userid = 7, .iflianxi = 5, .moneytime = "9999-12-31 00:00:00"});   // free days not started
  addShowMember({.userid = 8, .ok = 0, .iflianxi = 5, .moneytime = "2026-03-13 08:00:00"});
  addShowMember({.userid = 9, .nickname = "a@b", .iflianxi = 5, .moneytime = "2026-03-13 08:00:00"});
  addShowMember({.userid = 10, .smallphoto = kApproved, .iflianxi = 5, .moneytime = "2026-03-14 08:00:00",
                 .userbz = "x"});
  EXPECT_EQ(list(),
            ",10@577@18-99@1990#7#1#39#广东#广东-广州市#124#广东-广州市#206@@1@2@226#1@170@smallphoto10.jpg1@1"
            ",4@577@25-40@1990#7#1#39#广东#广东-广州市#124#广东-广州市#206@跑@1@2@226#1@170@@1");
}

TEST_F(ShowcaseListTest, APurchaseShowsInTheWidgetFromTheNextDay) {
  addShowMember({.userid = 4, .nickname = "n4", .smallphoto = kApproved, .emoney = 100});
  logIn(4, 577, 1);
  host->request().Form.add("ORDERMONEY", "2");
  host->request().Form.add("agefrom", "22");
  host->request().Form.add("ageto", "33");
  {
    zurva z;
    EXPECT_TRUE(endsRequest([&] { z.myshow_save(kServer, kUser, kPassword, kDatabase); }));
  }
  EXPECT_EQ(list(), "");

  setClock([] { return toSerial({2026, 3, 16, 9, 0, 0}); });
  host->nextRequest();
  host->request().Cookies.remove("kalimo");
  serve::PageContext p = page();
  site::refreshShowcaseList(p, true);
  EXPECT_EQ(host->application()("zurva_myshow")[0].str(),
            ",4@577@22-33@1990#7#1#39#广东#广东-广州市#124#广东-广州市#206@n4@1@2@226#1@170@smallphoto4.jpg1@1");
  zurva z;
  EXPECT_NE(z.myshow(kServer, kUser, kPassword, kDatabase, 100, 120, 1, 5).str().find(">n4</font>"),
            std::string::npos);
}

// The newest members are one list for every guest, kept while the member
// rows stand; a member gets his own, and a change shows at once.
TEST_F(ShowcaseListTest, GuestsShareTheNewestMembersWhileTheRowsStand) {
  for (long id = 1; id <= 3; ++id)
    addShowMember({.userid = id, .nickname = "n" + std::to_string(id)});
  host->request().ServerVariables.add("SCRIPT_NAME", "/index.asp");
  const auto newest = [&] {
    const std::size_t before = host->response().body().size();
    serve::PageContext p = page();
    zurva z;
    site::writeNewestMembers(z, p, std::nullopt);
    return host->response().body().substr(before);
  };
  EXPECT_NE(newest().find(">n3<"), std::string::npos);
  run("update zurva_user set nickname='新' where userid=3");
  EXPECT_NE(newest().find(">新<"), std::string::npos);

  // A change the record of changes misses (its trigger gone) shows where the
  // list is made anew: for a member, not for a guest.
  dropTrigger("zurva_user_shown_changed", "zurva_user");
  run("update zurva_user set nickname='又新' where userid=3");
  host->request().Cookies.setFromHeader("kalimo",
                                        "rand=1,2");  // the showcase's memory leaves him a guest
  EXPECT_NE(newest().find(">新<"), std::string::npos);
  logIn(2, 576, 1);
  EXPECT_NE(newest().find(">又新<"), std::string::npos);
}

// The newest members page: its first page of everybody is one for every
// guest, kept while the member rows stand; another page, the sex switch and
// a member's page are made each time.
TEST_F(ShowcaseListTest, GuestsShareTheFirstPageOfTheNewestMembers) {
  for (long id = 1; id <= 12; ++id)
    addShowMember({.userid = id, .nickname = "n" + std::to_string(id), .sex = id % 2 ? 577 : 576});
  serve::PageRegistry pages;
  site::registerPages(pages);
  const auto visit = [&](const std::string& query = "") {
    host->nextRequest();
    host->request().ServerVariables.add("SCRIPT_NAME", "/newmembers.asp");
    if (!query.empty()) host->request().QueryString.add(query, query == "Page" ? "2" : "1");
    serve::PageContext p = page();
    (*pages.find("/newmembers.asp"))(p);
    return host->response().body();
  };
  const std::string first = visit();
  EXPECT_NE(first.find(">n12<"), std::string::npos);
  EXPECT_EQ(visit(), first);
  run("update zurva_user set nickname='新' where userid=12");
  EXPECT_NE(visit().find(">新<"), std::string::npos);

  // A change the record of changes misses shows only where the list is made anew.
  dropTrigger("zurva_user_shown_changed", "zurva_user");
  run("update zurva_user set nickname='又新' where userid=12");
  run("update zurva_user set nickname='再新' where userid=1");
  EXPECT_NE(visit().find(">新<"), std::string::npos);
  EXPECT_NE(visit("Page").find(">再新<"), std::string::npos);
  EXPECT_NE(visit("sex").find(">再新<"), std::string::npos);
  logIn(2, 576, 1);
  EXPECT_NE(visit().find(">又新<"), std::string::npos);
}

// The quick search's cards are one list for every guest who asks for the
// same criteria and page, kept while the member rows stand; other criteria,
// another page and a member get their own.
TEST_F(ShowcaseListTest, GuestsShareTheQuickSearchCardsOfTheSameCriteria) {
  for (long id = 1; id <= 12; ++id)
    addShowMember({.userid = id, .nickname = "n" + std::to_string(id), .trust = Variant(20 - id)});
  serve::PageRegistry pages;
  site::registerPages(pages);
  const auto visit = [&](const std::string& ageto, const std::string& number = "1") {
    host->nextRequest();
    host->request().ServerVariables.add("SCRIPT_NAME", "/quicksearch.asp");
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"sex", "577"},
                                      {"agefrom", "20"},
                                      {"ageto", ageto},
                                      {"page", number}})
      host->request().QueryString.add(name, value);
    serve::PageContext p = page();
    (*pages.find("/quicksearch.asp"))(p);
    return host->response().body();
  };
  const std::string first = visit("40");
  EXPECT_NE(first.find(">n1<"), std::string::npos);
  EXPECT_EQ(visit("40"), first);
  run("update zurva_user set nickname='新' where userid=1");
  EXPECT_NE(visit("40").find(">新<"), std::string::npos);

  // A change the record of changes misses shows only where the list is made anew.
  dropTrigger("zurva_user_shown_changed", "zurva_user");
  run("update zurva_user set nickname='又新' where userid=1");
  EXPECT_NE(visit("40").find(">新<"), std::string::npos);
  EXPECT_NE(visit("41").find(">又新<"), std::string::npos);
  EXPECT_EQ(visit("30").find(">又新<"), std::string::npos);  // 36: too old
  logIn(2, 576, 1);
  EXPECT_NE(visit("40").find(">又新<"), std::string::npos);
}

// The top of a page is kept for guests: each visitor still gets his own bar,
// and the site's link mode shows at once.
TEST_F(ShowcaseListTest, TheTopOfAPageIsKeptForGuestsOnly) {
  addShowMember({.userid = 2, .nickname = "n2", .sex = 576});
  serve::PageRegistry pages;
  site::registerPages(pages);
  const auto top = [&](const std::string& cookie = "", const std::string& value = "") {
    host->nextRequest();
    host->request().ServerVariables.add("SCRIPT_NAME", "/newmembers.asp");
    for (const char* name : {"kalimo", "zurva_admin"}) host->request().Cookies.remove(name);
    if (!cookie.empty()) host->request().Cookies.setFromHeader(cookie, value);
    serve::PageContext p = page();
    (*pages.find("/newmembers.asp"))(p);
    const std::string body = host->response().body();
    return body.substr(0, body.find("class=\"classtop\""));
  };
  const std::string guest = top();
  EXPECT_NE(guest.find("会员登录"), std::string::npos);
  EXPECT_NE(guest.find("\"/newmembers.asp\""), std::string::npos);
  EXPECT_EQ(top(), guest);
  EXPECT_NE(top("zurva_admin", "admin_name=boss").find("管理员 boss"), std::string::npos);
  EXPECT_NE(top("kalimo", "username=m2%40example.com&userid=2&sex=576&grade=1&nickname=n2")
                .find("欢迎您"),
            std::string::npos);
  EXPECT_EQ(top(), guest);
  settings(1);
  EXPECT_NE(top().find("\"/newmembers.html\""), std::string::npos);
}

// A fragment that comes out empty (its method failed) is made again next time.
TEST_F(ShowcaseListTest, AnEmptyGuestFragmentIsNotKept) {
  serve::PageContext p = page();
  EXPECT_EQ(site::guestFragment(p, "k", [] { return std::string(); }), "");
  EXPECT_EQ(site::guestFragment(p, "k", [] { return std::string("made"); }), "made");
  EXPECT_EQ(site::guestFragment(p, "k", [] { return std::string("again"); }), "made");
}

}  // namespace
}  // namespace zurvafun::testing

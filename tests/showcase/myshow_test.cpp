#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "showcase/showcase_list.h"
#include "tests/showcase/showcase_fixture.h"

namespace zurvafun::testing {
namespace {

// One entry of the showcase list.
struct Entry {
  long id = 0;
  std::string sex = "577";
  std::string range = "25-40";
  std::string userdata = "1990#8#1#39#湖南#广东-广州市#124#湖南-长沙市#206";
  std::string nickname = "";
  std::string grade = "3";
  std::string trust = "4";
  std::string pay = "226#1";
  std::string field = "170";
  std::string photo = "";
  std::string visibility = "1";

  std::string text() const {
    const std::string nick = nickname.empty() ? "n" + std::to_string(id) : nickname;
    const std::string head = photo.empty() ? "smallphoto" + std::to_string(id) + ".jpg1" : photo;
    return std::to_string(id) + "@" + sex + "@" + range + "@" + userdata + "@" + nick + "@" + grade + "@" +
           trust + "@" + pay + "@" + field + "@" + head + "@" + visibility;
  }
};

std::string listOf(const std::vector<Entry>& entries) {
  std::string list;
  for (const Entry& e : entries) list += "," + e.text();
  return list;
}

class MyshowTest : public ShowcaseTest {
 protected:
  Variant show(const Variant& stype, const Variant& num, const Variant& database = kDatabase) {
    zurva z;
    return z.myshow(kServer, kUser, kPassword, database, 100, 120, stype, num);
  }

  // The nicknames the cards show, in order ("n<id>" for the default ones).
  static std::vector<std::string> shown(const std::string& html) {
    std::vector<std::string> names;
    const std::regex nick(R"(<font color="?#?ff6600"?>([^<]*)</font></a>)");
    for (std::sregex_iterator it(html.begin(), html.end(), nick), end; it != end; ++it)
      names.push_back((*it)[1]);
    return names;
  }

  // Ten men and women of all ages: entries 1 to 10, nicknames n1 to n10.
  static std::vector<Entry> tenEntries() {
    std::vector<Entry> entries;
    for (long id = 1; id <= 10; ++id) entries.push_back({.id = id});
    return entries;
  }
};

TEST_F(MyshowTest, EmptyListSaysSoToEverybody) {
  showcaseList("");
  EXPECT_EQ(show(1, 5).str(), "暂时没有我型我秀！");
  EXPECT_EQ(show(3, 5).str(), "暂时没有我型我秀！");  // no table opening or closing with it
  addShowMember({.userid = 9, .sex = 576, .userdata = "1996#7#1#39#广东#广东-广州市#124#广东-广州市#206"});
  logIn(9, 576, 1);
  EXPECT_EQ(show(2, 5).str(), "暂时没有我型我秀！");
  EXPECT_EQ(responseSubKey("kalimo", "rand").isEmpty(), true);
}

TEST_F(MyshowTest, MembersSeeTheOtherSexWhoseRangeHoldsTheirAge) {
  // A man born in 1996 is 30 in 2026.
  addShowMember({.userid = 9, .sex = 576, .userdata = "1996#7#1#39#广东#广东-广州市#124#广东-广州市#206"});
  showcaseList(listOf({
      {.id = 1, .range = "25-30"},
      {.id = 2, .range = "30-40"},
      {.id = 3, .range = "31-40"},
      {.id = 4, .sex = "576", .range = "25-35"},
      {.id = 5, .range = "20-29"},
      {.id = 6, .range = "2530"},  // no range: never matches a member
  }) + ",7@577@25-35@too@few" + ",x@577@25-35@a@b@c@d@e@f@g@h@i" + ",1@577@25-35@a@dup@3@4@226#1@170@p@1");
  logIn(9, 576, 1);

  EXPECT_EQ(shown(show(1, 10).str()), (std::vector<std::string>{"n1", "n2"}));

  // A guest sees every well-formed entry once, in list order.
  host->nextRequest();
  host->request().Cookies.remove("kalimo");
  EXPECT_EQ(shown(show(1, 10).str()), (std::vector<std::string>{"n1", "n2", "n3", "n4", "n5", "n6"}));
}

TEST_F(MyshowTest, MemberWithoutReadableAgeSeesTheOtherSexAtAnyAge) {
  showcaseList(listOf({{.id = 1, .range = "20-25"}, {.id = 2, .sex = "576"}, {.id = 3, .range = "60-70"}}));
  for (const Variant& userdata : {Variant::null(), Variant("19x0#7"), Variant("")}) {
    addShowMember({.userid = 9, .sex = 576, .userdata = userdata});
    logIn(9, 576, 1);
    EXPECT_EQ(shown(show(1, 10).str()), (std::vector<std::string>{"n1", "n3"})) << userdata.str();
    run("delete from zurva_user where userid=9");
  }
  logIn(99, 576, 1);  // no row at all
  EXPECT_EQ(shown(show(1, 10).str()), (std::vector<std::string>{"n1", "n3"}));
}

TEST_F(MyshowTest, FewCandidatesAreAllShownAndTheMemoryIsLeftAlone) {
  showcaseList(listOf({{.id = 3}, {.id = 1}, {.id = 2}}));
  host->request().Cookies.setFromHeader("kalimo", "rand=2%2C3");
  EXPECT_EQ(shown(show(1, 5).str()), (std::vector<std::string>{"n3", "n1", "n2"}));
  EXPECT_EQ(host->response().Cookies.find("kalimo"), nullptr);
  host->nextRequest();
  EXPECT_EQ(shown(show(1, 3).str()), (std::vector<std::string>{"n3", "n1", "n2"}));
  // Three candidates and num 0: a draw of none.
  EXPECT_EQ(show(1, 0).str(), "");
  EXPECT_EQ(show(3, 0).str(), R"(<TABLE cellSpacing=0 cellPadding=0 width="100%" border=0>)"
                              "              <TBODY>              <TR>  </TD></TR></TBODY></TABLE>");
}

TEST_F(MyshowTest, RepeatedViewsShowEveryEntryBeforeOneRepeats) {
  fixRandom();
  showcaseList(listOf(tenEntries()));
  std::vector<std::string> seen;
  for (int view = 0; view < 7; ++view) {
    const std::vector<std::string> names = shown(show(1, 3).str());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 3u) << "a repeat within one view";
    seen.insert(seen.end(), names.begin(), names.end());
    // The memory travels in the member cookie, at the site's root.
    const host::ResponseCookie* kalimo = host->response().Cookies.find("kalimo");
    ASSERT_NE(kalimo, nullptr);
    EXPECT_EQ(kalimo->Path, "/");
    host->nextRequest();
  }
  // 21 cards: two full cycles of ten, then the third begins; every cycle
  // shows each entry exactly once.
  for (std::size_t cycle = 0; cycle < 2; ++cycle) {
    std::set<std::string> names(seen.begin() + long(cycle * 10), seen.begin() + long(cycle * 10 + 10));
    EXPECT_EQ(names.size(), 10u) << "cycle " << cycle;
  }
}

TEST_F(MyshowTest, MemoryOfEarlierViewsIsAvoidedAndExtended) {
  fixRandom();
  showcaseList(listOf(tenEntries()));
  host->request().Cookies.setFromHeader("kalimo", "rand=2%2C5%2C9%2C1");
  const std::vector<std::string> names = shown(show(1, 3).str());
  ASSERT_EQ(names.size(), 3u);
  for (const char* old : {"n2", "n5", "n9", "n1"}) EXPECT_EQ(std::count(names.begin(), names.end(), old), 0);
  const std::vector<std::string> memory = Split(responseSubKey("kalimo", "rand").str(), ",");
  ASSERT_EQ(memory.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(memory.begin(), memory.begin() + 4),
            (std::vector<std::string>{"2", "5", "9", "1"}));
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ("n" + memory[4 + i], names[i]);
}

TEST_F(MyshowTest, MemoryThatNamesNoCandidateIsDropped) {
  fixRandom();
  showcaseList(listOf(tenEntries()));
  host->request().Cookies.setFromHeader("kalimo", "rand=2%2Cx%2C44%2C-1%2C2");
  show(1, 2);
  const std::vector<std::string> memory = Split(responseSubKey("kalimo", "rand").str(), ",");
  ASSERT_EQ(memory.size(), 3u);
  EXPECT_EQ(memory[0], "2");
}

TEST(ShowcaseRotation, LastFreePositionsThenANewCycleWithoutRepeats) {
  // Ten candidates, eight shown: this view takes the two left and one more
  // from a new cycle, never one of the two again.
  std::string memory = "1,2,3,4,5,6,7,8";
  std::vector<long> counts;
  const std::vector<long> picks = showcase::rotate(10, 3, memory, [&](long count) {
    counts.push_back(count);
    return count;  // always the last free position
  });
  EXPECT_EQ(picks, (std::vector<long>{10, 9, 8}));
  EXPECT_EQ(counts, (std::vector<long>{2, 1, 8}));
  EXPECT_EQ(memory, "8");

  // A draw out of range takes the first free position.
  memory = "1,3";
  EXPECT_EQ(showcase::rotate(4, 2, memory, [](long) { return 0L; }), (std::vector<long>{2, 4}));
  EXPECT_EQ(memory, "1,3,2,4");
}

}  // namespace
}  // namespace zurvafun::testing

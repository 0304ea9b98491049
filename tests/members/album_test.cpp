#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/zurva.h"
#include "tests/golden.h"
#include "tests/members/members_fixture.h"

namespace zurvafun::testing {
namespace {

constexpr const char* kCellStart = "                <TD align=left height=108>";
constexpr const char* kRefused = "非法操作！";
const std::string kGridStart =
    "\r\n\r\n<TABLE cellSpacing=4 cellPadding=0 width=\"96%\" align=center border=0>        <TBODY>              ";
const std::string kNoAlbum = "<BR><BR>暂时没有像册...　<br>";

// a_2026_03_II_I.jpg, approved but for I = 4 when `withWaiting`.
std::string album(int entries, bool withWaiting = true) {
  std::string list;
  for (int i = 0; i < entries; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "a_2026_03_%02d_%d.jpg", i, i);
    list += (i ? "#" : "") + std::string(name) + (withWaiting && i == 4 ? "0" : "1");
  }
  return list;
}

class AlbumTest : public MembersTest {
 protected:
  void SetUp() override {
    MembersTest::SetUp();
    addRow({{"userid", 25}, {"ifphotolook", 1}, {"photo", album(11)}});
    addRow({{"userid", 26}, {"ifphotolook", 2}, {"photo", album(3, false)}});
    addRow({{"userid", 27}, {"ifphotolook", 3}, {"photo", album(3, false)}});
  }

  void grid(const std::string& id, const char* page = nullptr, const std::string& ptype = "") {
    h->request().ServerVariables.set("SCRIPT_NAME", "/album.asp");
    if (!id.empty()) h->request().QueryString.add(ptype.empty() ? "id" : ptype, id);
    if (page) h->request().QueryString.add("page", page);
    zurva z;
    const std::string key = ptype.empty() ? "userid=" + id : "userid=25";
    asPage([&] {
      z.memberphoto("select photo from zurva_user where " + key, ptype.empty() ? "" : "other", "/mup_article",
                    kServer, kUser, kPassword, kDatabase);
    });
  }

  std::string viewer(const std::string& id, const char* v = nullptr, long member = 25) {
    if (!id.empty()) h->request().QueryString.add("id", id);
    if (v) h->request().QueryString.add("page", v);
    zurva z;
    std::string result;
    asPage([&] {
      result = z.showxcphoto("select photo from zurva_user where userid=" + std::to_string(member), "/up_article",
                             "id=" + id, "page", kServer, kUser, kPassword, kDatabase)
                   .str();
    });
    return result;
  }

  std::string tokenOf(long id) {
    zurva z;
    return z.idasc(id).str();
  }
  std::string withToken(std::string text) {
    const std::string token = tokenOf(25);
    for (size_t at; (at = text.find(token)) != std::string::npos;) text.replace(at, token.size(), "{token}");
    return text;
  }
};

TEST_F(AlbumTest, GridAsTranscribed) {
  logIn(8, "3");
  grid("25");
  EXPECT_TRUE(matchesGolden("album_grid_page1.html", withToken(body())));
  newVisitor();
  grid("25", "2");
  EXPECT_TRUE(matchesGolden("album_grid_page2_guest.html", withToken(body())));
}

TEST_F(AlbumTest, GridByAlbumSize) {
  struct Case {
    Variant photo;
    const char* page;
    long cells;
    std::string bar;  // count line numbers "N/M/K", or "" for no bar
  };
  const std::vector<Case> cases = {
      {Variant::null(), nullptr, 0, ""},   {"", nullptr, 0, ""},          {"a.jpg0#b.jpg0", nullptr, 0, ""},
      {album(1), nullptr, 1, "1/1/1"},     {album(9, false), nullptr, 9, "1/1/9"},
      {album(10, false), nullptr, 9, "1/2/10"}, {album(10, false), "2", 1, "2/2/10"},
      {album(10, false), "7", 1, "2/2/10"},     {album(4, false), "-1", 4, "1/1/4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.photo.str() + " page " + (c.page ? c.page : "-"));
    run("update zurva_user set photo=? where userid=25", {c.photo});
    newVisitor();
    grid("25", c.page);
    const std::string text = body();
    EXPECT_EQ(count(text, kCellStart), c.cells);
    if (c.bar.empty()) {
      const std::string tail = c.photo.isNull() ? "\r\n\r\n" : "\r\n" + std::string(64, ' ') + "\r\n\r\n";
      EXPECT_EQ(text, kGridStart + kNoAlbum + tail);
    } else {
      const std::string n = c.bar.substr(0, 1), m = c.bar.substr(2, 1), k = c.bar.substr(4);
      EXPECT_TRUE(holds(text, "第 <font color=ff0000><b>" + n + "</b></font> "));
      EXPECT_TRUE(holds(text, "页/共 <font color=ff0000><b>" + m + "</b></font> 页 &nbsp;共 <font color=ff0000><b>" + k + "</b>"));
    }
  }
  // Four entries: a row of three and a row of one, newest first.
  run("update zurva_user set photo=? where userid=25", {Variant(album(4, false))});
  newVisitor();
  logIn(8, "2");
  grid("25");
  const std::string text = body();
  EXPECT_EQ(count(text, "<TR vAlign=top>          <TD align=left height=186>"), 2);
  EXPECT_LT(text.find("xc.asp?page=3&"), text.find("xc.asp?page=0&"));
}

// Who may open which album: privacy 2 (gold and silver members) and 3
// (friends), for guests, grades, the switch, friends and the member himself.
TEST_F(AlbumTest, AlbumPrivacyIsEnforcedForGridAndViewer) {
  addFriendship(27, 8, 1);
  addFriendship(9, 27, 1);
  addFriendship(27, 10, 0);
  struct Case {
    long member;
    long viewer;  // 0 for a guest
    const char* grade;
    const char* freeAccess;
    bool open;
  };
  const std::vector<Case> cases = {
      {25, 0, "", "0", true},     {26, 0, "", "0", false},   {26, 0, "", "1", true},    {26, 8, "0", "0", false},
      {26, 8, "1", "0", false},   {26, 8, "1", "1", true},   {26, 8, "2", "0", true},   {26, 26, "1", "0", true},
      {26, 8, "10", "0", true},   {27, 0, "", "1", false},   {27, 11, "3", "0", false}, {27, 10, "3", "0", false},
      {27, 8, "1", "0", true},    {27, 9, "1", "0", true},   {27, 27, "1", "0", true},  {27, 11, "10", "0", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("member " + std::to_string(c.member) + " viewer " + std::to_string(c.viewer) + " grade " + c.grade +
                 " switch " + c.freeAccess);
    for (bool full : {false, true}) {
      newVisitor();
      settings(c.freeAccess);
      if (c.viewer) logIn(c.viewer, c.grade);
      std::string result;
      if (full) result = viewer(tokenOf(c.member), "1", c.member);
      else grid(std::to_string(c.member));
      EXPECT_EQ(holds(body(), kRefused), !c.open) << (full ? "viewer" : "grid");
      if (full) EXPECT_EQ(holds(result, "/up_article/a_2026_03_01_1.jpg"), c.open);
      else EXPECT_EQ(count(body(), kCellStart), c.open ? (c.member == 25 ? 9 : 3) : 0);
    }
  }
}

TEST_F(AlbumTest, StoryAndPartyAlbumsKeepTheirIdAcrossPages) {
  run("update zurva_user set photo=? where userid=25", {Variant(album(10, false))});
  grid("26", nullptr, "storyid");  // 26 is a private member's number: a story's album is not his
  EXPECT_EQ(count(body(), kCellStart), 9);
  EXPECT_TRUE(holds(body(), "<a href=/album.asp?Page=2&storyid=26>"));
  newVisitor();
  grid("7", "2", "partyid");
  EXPECT_EQ(count(body(), kCellStart), 1);
  EXPECT_TRUE(holds(body(), "<a href=/album.asp?partyid=7><font color=\"A5537B\">首页"));
}

TEST_F(AlbumTest, AlbumIdMustNameAMember) {
  for (const char* id : {"abc", "1,000", "1.5", "", "99"}) {
    SCOPED_TRACE(id);
    newVisitor();
    grid(id);
    EXPECT_TRUE(body().ends_with(alertBack("请求错误！")));
    EXPECT_EQ(count(body(), kCellStart), 0);
  }
  newVisitor();
  grid("25", "");  // a page value present but empty
  EXPECT_TRUE(body().ends_with(alertBack("请求错误！")));
}

// Three approved entries (n = 2): the shown entry is clamped, the links count
// from the requested value.
TEST_F(AlbumTest, ViewerLinkArithmetic) {
  run("update zurva_user set photo='p_0.jpg1#p_x.jpg0#p_1.jpg1#p_2.jpg1#p_3.jpg1' where userid=25");
  struct Case {
    const char* v;
    const char* shown;
    const char* previous;  // "" for none
    const char* next;
  };
  const std::vector<Case> cases = {
      {nullptr, "p_0", "", "1"}, {"1", "p_1", "0", "2"}, {"3", "p_3", "2", ""}, {"7", "p_3", "6", ""},
      // 1.5 goes to 2 and 2.5 to 2 (halves to the even number): 0.5 to 0, 3.5 to 4.
      {"-3", "p_0", "", "-2"},   {"1.5", "p_1", "0", "2"}, {"2.5", "p_2", "2", "4"},
      // Beyond any album: the last photo, links counted from the 15-digit bound.
      {"1e300", "p_3", "999999999999999", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.v ? c.v : "missing");
    newVisitor();
    const std::string token = tokenOf(25);
    const std::string text = viewer(token, c.v);
    EXPECT_TRUE(holds(text, "<img src=\"/up_article/" + std::string(c.shown) + ".jpg\" border=\"0\"  onload="));
    EXPECT_EQ(holds(text, "<A href=\" xc.asp?id=" + token + "&page=" + c.previous + "\" \r\n                  target=_self>上一张</a>"),
              *c.previous != 0);
    EXPECT_EQ(holds(text, " <A href=\"xc.asp?id=" + token + "&page=" + c.next + "\" \r\n                  target=_self>下一张 </a>"),
              *c.next != 0);
    EXPECT_EQ(count(text, "<A href="), (*c.previous ? 1 : 0) + (*c.next ? 1 : 0));
  }
}

TEST_F(AlbumTest, ViewerWithOneEntryAndWithoutAlbum) {
  run("update zurva_user set photo='only_2026_01_01_a.jpg1#w.jpg0' where userid=25");
  const std::string text = viewer("25");
  // Neither link: the blank between them stands alone in the cell.
  EXPECT_TRUE(text.ends_with("                <TD> "
                             "               </TD></tr>\r\n</table>&nbsp;\r\n"));
  EXPECT_EQ(count(text, "<A href="), 0);

  run("update zurva_user set photo=null where userid=25");
  newVisitor();
  EXPECT_EQ(viewer("25"), kNoAlbum);
  run("update zurva_user set photo='a.jpg0' where userid=25");
  newVisitor();
  EXPECT_EQ(viewer("25"), kNoAlbum);
}

TEST_F(AlbumTest, ViewerRefusesAForgedId) {
  std::string forged = tokenOf(25);
  forged.back() = forged.back() == '0' ? '1' : '0';
  for (const std::string& id : {forged, std::string("abc"), std::string("")}) {
    SCOPED_TRACE(id);
    newVisitor();
    EXPECT_EQ(viewer(id, "0"), "");
    EXPECT_EQ(body(), alertBack("请求错误！"));
  }
}

TEST_F(AlbumTest, UnreachableDatabase) {
  zurva z;
  EXPECT_EQ(z.showxcphoto("select 1", "/up", "id=1", "page", kServer, kUser, "wrong", kDatabase).str(),
            "SQL数据库连接出错，请检查连接字串。");
  EXPECT_EQ(body(), "");  // the text is the result, not written
  newVisitor();
  h->request().QueryString.add("id", "25");
  zurva z2;
  z2.memberphoto("select 1", "", "/mup", kServer, kUser, "wrong", kDatabase);
  EXPECT_EQ(body(), "SQL数据库连接出错，请检查连接字串。");
}

}  // namespace
}  // namespace zurvafun::testing

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/zurva.h"
#include "tests/framework/scoped_log.h"
#include "tests/golden.h"
#include "tests/members/members_fixture.h"

namespace zurvafun::testing {
namespace {

namespace fs = std::filesystem;

// photo25_2026_03_0I_I.jpg with its flag: approved but for entry 5.
std::string entry(int i) {
  return "photo25_2026_03_0" + std::to_string(i) + "_" + std::to_string(i) + ".jpg" + (i == 5 ? "0" : "1");
}
std::string album(int entries) {
  std::string list;
  for (int i = 0; i < entries; ++i) list += (i ? "#" : "") + entry(i);
  return list;
}

constexpr const char* kCellStart = "                <TD align=left height=108>";
constexpr const char* kDone = "<script Language=javaScript>alert('修改成功！');history.go(-1);</script></body></html>";

class PhotoManagerTest : public MembersTest {
 protected:
  void SetUp() override {
    MembersTest::SetUp();
    documentRoot_ = (dir() / "www").string();
    for (const char* folder : {"up_article", "mup_article", "smallphoto"}) fs::create_directories(dir() / "www" / folder);
    newVisitor();
    addRow({{"userid", 25}, {"ok", 1}, {"trust", 3}, {"smallphoto", "smallphoto25.jpg1"}, {"photo", album(10)}});
    addRow({{"userid", 26}, {"ok", 1}, {"trust", 1}, {"photo", "photo26_2026_01_01_a.jpg1"}});
    for (int i = 0; i < 10; ++i) {
      const std::string name = entry(i).substr(0, entry(i).size() - 1);
      touch("up_article/" + name);
      touch("mup_article/" + name);
    }
    touch("up_article/photo26_2026_01_01_a.jpg");
    touch("smallphoto/smallphoto25.jpg");
  }

  void touch(const std::string& sitePath) { std::ofstream(dir() / "www" / sitePath) << "jpeg"; }
  bool exists(const std::string& sitePath) const { return fs::exists(dir() / "www" / sitePath); }

  // Runs the manager as member 25 (or as `asAdministrator`) on `script`.
  void manage(const std::vector<std::pair<std::string, std::string>>& query = {},
              const std::vector<std::pair<std::string, std::string>>& form = {},
              const std::string& script = "/userphoto.asp") {
    h->request().ServerVariables.set("SCRIPT_NAME", script);
    for (const auto& [k, v] : query) h->request().QueryString.add(k, v);
    for (const auto& [k, v] : form) h->request().Form.add(k, v);
    zurva z;
    asPage([&] { z.photo_show(kServer, kUser, kPassword, kDatabase); });
    lastFilename = z.filename;
  }
  void asMember(long id = 25) { logIn(id, "2", "577"); }
  static std::string stored(const char* column, long id = 25) {
    return value(std::string("select ") + column + " from zurva_user where userid=" + std::to_string(id)).str();
  }
  static bool isNull(const char* column, long id = 25) {
    return value(std::string("select ") + column + " from zurva_user where userid=" + std::to_string(id)).isNull();
  }
  // The page alone, without the action's message.
  std::string pageText() const {
    const std::string text = body();
    const size_t end = text.find("<BR></BODY></HTML>");
    return end == std::string::npos ? text : text.substr(0, end + 18);
  }

  std::string lastFilename;
};

TEST_F(PhotoManagerTest, PagesAsTranscribed) {
  asMember();
  manage();
  EXPECT_TRUE(matchesGolden("photo_manager_page1.html", body()));
  newVisitor();
  asMember();
  manage({{"page", "2"}});
  EXPECT_TRUE(matchesGolden("photo_manager_page2.html", body()));
}

TEST_F(PhotoManagerTest, WithoutAnyCookieOnlyTheRefusalBox) {
  manage();
  EXPECT_TRUE(holds(body(), "非法操作"));
  EXPECT_FALSE(holds(body(), "个人头像"));
  EXPECT_TRUE(h->response().ended());
}

// Albums of 0, 1, 9, 10 and 19 entries, pages in and out of range: the cells
// shown, newest first, and the bar's numbers.
TEST_F(PhotoManagerTest, GridByAlbumSizeAndPage) {
  struct Case {
    int entries;
    const char* page;
    long cells;
    int firstIndex;
    const char* bar;  // "N/M" or "" for no bar
  };
  const std::vector<Case> cases = {
      {0, "", 0, -1, ""},       {1, "", 1, 0, "1/1"},    {9, "", 9, 8, "1/1"},     {10, "", 9, 9, "1/2"},
      {10, "2", 1, 0, "2/2"},   {19, "3", 1, 0, "3/3"},  {19, "2", 9, 9, "2/3"},   {19, "7", 1, 0, "3/3"},
      {19, "0", 9, 18, "1/3"},  {19, "-2", 9, 18, "1/3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.entries) + " entries, page " + c.page);
    run("update zurva_user set photo=? where userid=25", {c.entries ? Variant(album(c.entries)) : Variant::null()});
    newVisitor();
    asMember();
    if (*c.page) manage({{"page", c.page}});
    else manage();
    const std::string text = body();
    EXPECT_EQ(count(text, kCellStart), c.cells);
    if (c.firstIndex >= 0) {
      const size_t first = text.find("ifok=del&ID=");
      EXPECT_EQ(text.substr(first + 12, text.find('"', first) - first - 12), std::to_string(c.firstIndex));
    } else {
      EXPECT_TRUE(text.ends_with("<BR><BR>暂时没有像册...　<br><BR></BODY></HTML>"));
    }
    if (*c.bar) {
      const std::string n = std::string(c.bar).substr(0, 1), m = std::string(c.bar).substr(2);
      EXPECT_TRUE(holds(text, "第 <font color=ff0000><b>" + n + "</b></font> ")) << text;
      EXPECT_TRUE(holds(text, "页/共 <font color=ff0000><b>" + m + "</b></font> 页"));
    }
    EXPECT_EQ(holds(text, "value=\"修改形象照片\""), c.entries > 1);
  }
}

TEST_F(PhotoManagerTest, UnapprovedProfilePictureAndAdministratorIcon) {
  run("update zurva_user set photo='photo25_2026_03_01_a.jpg1#photo25_2026_03_02_b.jpg0' where userid=25");
  asMember();
  manage();
  EXPECT_FALSE(holds(body(), "<FONT color=red>形象照</FONT>"));
  EXPECT_FALSE(holds(body(), " checked >"));
  EXPECT_TRUE(holds(body(), "src=\"/images/noyphoto.gif\""));

  newVisitor();
  logInAdministrator();
  manage({{"userid", "26"}}, {}, "/admin_userphoto.asp");
  EXPECT_TRUE(holds(body(), "javascript:window.open('photoaction.asp?userid=26&num=0','_blank');"));
  EXPECT_TRUE(holds(body(), "href=\"/admin_userphoto.asp?userid=26&ifok=del&ID=0\""));
  EXPECT_TRUE(holds(body(), "action=\"/admin_userphoto.asp?userid=26&ifok=upphoto\""));
}

TEST_F(PhotoManagerTest, ChoosingTheProfilePicture) {
  // The chosen entry goes last; the others follow last first.
  for (auto [choice, list] : {std::pair{"1", "e3.jpg1#e2.jpg1#e0.jpg1#e1.jpg1"}, std::pair{"3", "e2.jpg1#e1.jpg1#e0.jpg1#e3.jpg1"}}) {
    SCOPED_TRACE(choice);
    run("update zurva_user set photo='e0.jpg1#e1.jpg1#e2.jpg1#e3.jpg1' where userid=25");
    newVisitor();
    asMember();
    manage({{"ifok", "upphoto"}}, {{"xxphoto", choice}});
    EXPECT_EQ(stored("photo"), list);
    EXPECT_TRUE(body().ends_with(kDone));
  }
}

// A missing, foreign or out-of-range choice changes nothing and says so.
TEST_F(PhotoManagerTest, ActionsWithoutAValidEntryChangeNothing) {
  const std::string before = stored("photo");
  struct Case {
    const char* ifok;
    const char* key;
    const char* value;
  };
  for (const Case& c : {Case{"upphoto", "", ""}, Case{"upphoto", "xxphoto", "10"}, Case{"upphoto", "xxphoto", "-1"},
                        Case{"del", "", ""}, Case{"del", "ID", "10"}, Case{"del", "ID", "abc"}, Case{"del", "ID", "-1"}}) {
    SCOPED_TRACE(std::string(c.ifok) + " " + c.key + "=" + c.value);
    newVisitor();
    asMember();
    if (std::string(c.ifok) == "upphoto") manage({{"ifok", c.ifok}}, *c.key ? std::vector<std::pair<std::string, std::string>>{{c.key, c.value}} : std::vector<std::pair<std::string, std::string>>{});
    else if (*c.key) manage({{"ifok", c.ifok}, {c.key, c.value}});
    else manage({{"ifok", c.ifok}});
    EXPECT_EQ(stored("photo"), before);
    EXPECT_EQ(stored("trust"), "3");
    EXPECT_TRUE(body().ends_with(alertBack("请求错误！")));
    EXPECT_FALSE(holds(body(), "修改成功"));
  }
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(exists("up_article/" + entry(i).substr(0, entry(i).size() - 1)));

  run("update zurva_user set photo=null where userid=25");
  newVisitor();
  asMember();
  manage({{"ifok", "upphoto"}}, {{"xxphoto", "0"}});
  EXPECT_TRUE(isNull("photo"));
  EXPECT_TRUE(body().ends_with(alertBack("请求错误！")));
}

TEST_F(PhotoManagerTest, DeletingAnEntryRewritesTheListRecountsAndDeletesItsFiles) {
  asMember();
  manage({{"ifok", "del"}, {"ID", "3"}});
  std::string expected;
  for (int i = 0; i < 10; ++i)
    if (i != 3) expected += (expected.empty() ? "" : "#") + entry(i);
  EXPECT_EQ(stored("photo"), expected);
  EXPECT_EQ(stored("trust"), "2");  // ok 1 + an approved album picture
  const std::string name = "photo25_2026_03_03_3.jpg";
  EXPECT_FALSE(exists("up_article/" + name));
  EXPECT_FALSE(exists("mup_article/" + name));
  EXPECT_TRUE(exists("up_article/photo25_2026_03_02_2.jpg"));
  EXPECT_TRUE(exists("up_article/photo26_2026_01_01_a.jpg"));
  EXPECT_EQ(lastFilename, "/up_article/" + name);
  EXPECT_TRUE(body().ends_with(kDone));
  EXPECT_TRUE(holds(pageText(), "ifok=del&ID=9"));  // the page shows the album before the delete

  // The only entry: the list becomes Null; files already gone are no error.
  newVisitor();
  asMember(26);
  manage({{"ifok", "del"}, {"ID", "0"}});
  EXPECT_TRUE(isNull("photo", 26));
  EXPECT_EQ(stored("trust", 26), "1");
  EXPECT_FALSE(exists("up_article/photo26_2026_01_01_a.jpg"));
  EXPECT_TRUE(body().ends_with(kDone));
}

TEST_F(PhotoManagerTest, AMemberDeletesOnlyFromHisOwnAlbum) {
  asMember(26);
  manage({{"ifok", "del"}, {"ID", "0"}, {"userid", "25"}});
  EXPECT_EQ(stored("photo"), album(10));
  EXPECT_TRUE(exists("up_article/photo25_2026_03_00_0.jpg"));
  EXPECT_TRUE(isNull("photo", 26));
}

TEST_F(PhotoManagerTest, HostileStoredNamesAreRefusedBeforeAnythingChanges) {
  fs::create_directories(dir() / "outside");
  std::ofstream(dir() / "outside" / "victim.jpg") << "x";
  fs::create_symlink(dir() / "outside" / "victim.jpg", dir() / "www" / "up_article" / "link.jpg");
  for (const char* name : {"../../outside/victim.jpg", "..\\..\\outside\\victim.jpg", "sub/x.jpg", "c:x.jpg", "link.jpg"}) {
    SCOPED_TRACE(name);
    const std::string list = "photo25_a.jpg1#" + std::string(name) + "1";
    run("update zurva_user set photo=?, trust=3 where userid=25", {Variant(list)});
    newVisitor();
    asMember();
    ScopedLog log("photo-manager");
    manage({{"ifok", "del"}, {"ID", "1"}});
    EXPECT_EQ(stored("photo"), list);
    EXPECT_EQ(stored("trust"), "3");
    EXPECT_TRUE(body().ends_with("<script language='javascript'>alert('非法操作，您的操作已被记录！');"
                                 "window.document.location.href='quit.asp';</script>"));
    EXPECT_TRUE(h->response().ended());
    EXPECT_TRUE(holds(log.text(), "\\temp, photo_show: ")) << log.text();
    EXPECT_TRUE(fs::exists(dir() / "outside" / "victim.jpg"));
  }
}

TEST_F(PhotoManagerTest, DeletingTheHeadPhoto) {
  asMember();
  manage({{"ifok", "headdel"}});
  EXPECT_TRUE(isNull("smallphoto"));
  EXPECT_EQ(stored("trust"), "2");
  EXPECT_FALSE(exists("smallphoto/smallphoto25.jpg"));
  EXPECT_EQ(lastFilename, "/smallphoto/smallphoto25.jpg");
  EXPECT_TRUE(body().ends_with(kDone));

  // No head photo any more: the page only, nothing changes.
  newVisitor();
  asMember();
  manage({{"ifok", "headdel"}});
  EXPECT_EQ(stored("trust"), "2");
  EXPECT_TRUE(body().ends_with("<BR></BODY></HTML>"));

  // One awaiting approval at trust 0: removed, the trust stays at 0.
  run("update zurva_user set smallphoto='smallphoto25.jpg0', trust=0 where userid=25");
  newVisitor();
  asMember();
  manage({{"ifok", "headdel"}});
  EXPECT_TRUE(isNull("smallphoto"));
  EXPECT_EQ(stored("trust"), "0");
}

TEST_F(PhotoManagerTest, AdministratorManagesTheMemberTheQueryNames) {
  logInAdministrator();
  manage({{"userid", "25"}, {"ifok", "del"}, {"ID", "9"}}, {}, "/admin_userphoto.asp");
  EXPECT_FALSE(holds(stored("photo"), entry(9)));
  EXPECT_FALSE(exists("up_article/photo25_2026_03_09_9.jpg"));
  EXPECT_TRUE(holds(pageText(), "href=\"/admin_userphoto.asp?userid=25&ifok=headdel\""));

  // Without a member named, an administrator who is no member gets a message.
  for (const char* userid : {"", "abc", "1.5"}) {
    SCOPED_TRACE(userid);
    newVisitor();
    logInAdministrator();
    if (*userid) manage({{"userid", userid}}, {}, "/admin_userphoto.asp");
    else manage({}, {}, "/admin_userphoto.asp");
    EXPECT_EQ(body(), alertBack("请求错误！"));
  }
}

}  // namespace
}  // namespace zurvafun::testing

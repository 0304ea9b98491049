// The demo site's profile, album, member-list and photo pages over real
// HTTP, in the static link mode: a guest and logged-in members open a
// profile and an album, the album privacy holds for a typed photo address,
// a member deletes and uploads a photo, an administrator manages a member's
// pictures and approves an upload. The suite runs on a copy of the site's
// files and on a demo database it seeds itself, so that it can give members
// the privacy settings it needs and watch the picture files on disk. Its
// pictures live in a photo folder apart from the document root, as when
// several servers share one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>

#include "db/db.h"
#include "runtime/gbk.h"
#include "site/database_schema.h"
#include "site/seed.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

namespace fs = std::filesystem;

class MembersSiteE2E : public e2e::ServerSuite<MembersSiteE2E> {
 public:
  static std::string settings() {
    root() = fs::temp_directory_path() / ("zurva_members_e2e_" + std::to_string(::getpid()));
    fs::remove_all(root());
    fs::create_directories(root());
    e2e::copySiteFiles(root() / "www");
    fs::create_directories(root() / "data");
    seed::createDemoDatabase((root() / "data/zurva.db").string(), 12);
    // Member 4's album for gold and silver members only, member 5's for friends.
    update("update zurva_user set ifphotolook=2, photo='photo4_2026_01_02_a.jpg1' where userid=4");
    update("update zurva_user set ifphotolook=3, photo='photo5_2026_01_02_a.jpg1' where userid=5");
    const std::string dir = root().string();
    return R"("worker_threads": 8,
      "document_root": ")" +
           dir + R"(/www",
      "data_folder": ")" +
           dir + R"(/data",
      "photo_folder": ")" +
           dir + R"(/photos",
      "application": {
        "zurva_base_info": [{"separator": "<><><><><>", "fields": ["a","b","c","d","e","f","100","0","1","12","8","100","50","10","20","1","5","200","20","2000","","n","u","p","1","0"]}],
        "zurva_info": ["t<><><><><>admin<><><><><>坏话"],
        "zurva_skinbase_info": ["默认风格##/skins/default/##css.css##760##1"]
      },
      "administrator": {"name": "boss", "password": "secret1"})";
  }
  static void TearDownTestSuite() {
    ServerSuite::TearDownTestSuite();
    fs::remove_all(root());
  }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  static fs::path& root() {
    static fs::path path;
    return path;
  }
  // Changes the suite's demo file before the server starts (on the database
  // server, the fixture copies the file's rows there).
  static void update(const std::string& sql) {
    const db::Config previous = db::config();
    db::Config config;
    config.schema = site::databaseSchema();
    config.dataDir = (root() / "data").string();
    config.user = config.password = config.database = "zurva";
    db::configure(config);
    {
      db::Connection conn;
      if (conn.Open({"(local)", "zurva", "zurva", "zurva"})) conn.ExecuteAction(sql);
    }
    db::releasePooledConnections();
    db::configure(previous);
  }
  // A value the server's database holds now.
  static std::string stored(const std::string& sql) { return query(sql); }

  static bool holds(const std::string& gbkBody, const std::string& utf8) {
    return gbkBody.find(gbk::fromUtf8(utf8)) != std::string::npos;
  }
  static std::string cookieHeader(const std::string& pairs) { return "Cookie: " + pairs + "\r\n"; }
  static std::string loginCookie(const std::string& username, const std::string& password) {
    const RawResponse r = postLogin("username=" + gbk::urlEncode(username) + "&password=" +
                                    gbk::urlEncode(password) + "&log_type=1");
    return cookiePair(r.setCookie("kalimo"));
  }
  static std::string adminCookie() {
    const RawResponse r = rawPost("/admin/login.asp", "admin_name=boss&admin_password=secret1");
    EXPECT_EQ(r.status, 302);
    return cookiePair(r.setCookie("zurva_admin"));
  }
  static std::string first(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : "";
  }
  // A picture file in the photo folder; none is ever written under the
  // document root.
  static bool onDisk(const std::string& sitePath) {
    EXPECT_FALSE(fs::exists(root() / "www" / sitePath.substr(1))) << sitePath;
    return fs::exists(root() / "photos" / sitePath.substr(1));
  }
};

TEST_F(MembersSiteE2E, ProfileShowsEachViewerWhatHeMaySee) {
  const RawResponse guest = rawGet("/id_1_userinfo.html");
  ASSERT_EQ(guest.status, 200);
  EXPECT_TRUE(holds(guest.body, "演示一号"));
  EXPECT_TRUE(holds(guest.body, "基本资料"));
  EXPECT_FALSE(holds(guest.body, "demo1@example.com"));  // neither hidden input nor the e-mail row
  EXPECT_FALSE(holds(guest.body, "100010"));
  EXPECT_TRUE(holds(guest.body, "金银卡会员可见</font></font>&nbsp;<a href=\"ReadyBuy.asp\""));

  // Demo member 2, a man with a silver card, sees her contact data.
  const std::string member = loginCookie("demo2@example.com", "demo456");
  ASSERT_FALSE(member.empty());
  const RawResponse seen = rawGet("/userinfo.asp?id=1", cookieHeader(member));
  EXPECT_TRUE(holds(seen.body, ">100010</TD>"));
  EXPECT_TRUE(holds(seen.body, ">demo1@example.com</TD>"));
  EXPECT_TRUE(holds(seen.body, "value=\"\" maxlength=\"50\""));

  // The member cards of the newest members lead to the same profiles.
  const RawResponse list = rawGet("/newmembers.html");
  EXPECT_TRUE(holds(list.body, "共 <font color=ff0000><b>2</b></font> 页"));  // 11 listed, 10 a page
  const std::string card = first(list.body, "<a href=\"/(id_[0-9]+S[0-9a-f]+_por\\.html)\"");
  ASSERT_FALSE(card.empty());
  const RawResponse viaCard = rawGet("/" + card);
  EXPECT_EQ(viaCard.status, 200);
  EXPECT_TRUE(holds(viaCard.body, "基本资料"));
  EXPECT_TRUE(holds(rawGet("/Page_2_newmembers.html").body, "共 <font color=ff0000><b>11</b></font> 条相关信息"));
  EXPECT_TRUE(holds(rawGet("/id_abc_userinfo.html").body, "alert('请求错误！')"));
}

TEST_F(MembersSiteE2E, AlbumPicturesAndTheirPrivacy) {
  // A guest sees demo member 1's thumbnails, which the seeded files serve.
  const RawResponse guest = rawGet("/id_1_xc.html");
  ASSERT_EQ(guest.status, 200);
  const std::string thumbnail = first(guest.body, "src=\"(/mup_article/[^\"]+)\"");
  ASSERT_FALSE(thumbnail.empty()) << gbk::toUtf8(guest.body);
  const RawResponse picture = rawGet(thumbnail);
  EXPECT_EQ(picture.status, 200);
  EXPECT_EQ(picture.body.substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_TRUE(holds(guest.body, "javescript:alert('此个人相册大照片金卡银卡会员可见"));

  // A silver member gets the big photos; the viewer shows the full size.
  const std::string member = loginCookie("demo2@example.com", "demo456");
  const RawResponse album = rawGet("/id_1_xc.html", cookieHeader(member));
  const std::string big = first(album.body, "window.open\\('(xc_page_[0-9]+_id_[0-9]+S[0-9a-f]+\\.html)'");
  ASSERT_FALSE(big.empty());
  const RawResponse photo = rawGet("/" + big, cookieHeader(member));
  const std::string full = first(photo.body, "<img src=\"(/up_article/[^\"]+)\" border=\"0\"");
  ASSERT_FALSE(full.empty()) << gbk::toUtf8(photo.body);
  EXPECT_EQ(rawGet(full).status, 200);

  // Member 4 keeps his album for card members, member 5 for friends: a
  // guest is refused the grid and the typed address of a photo alike, and
  // told to whom the album is open.
  const std::string token4 = first(rawGet("/id_4_xc.html", cookieHeader(member)).body, "xc_page_0_id_([0-9]+S[0-9a-f]+)\\.html");
  ASSERT_FALSE(token4.empty());
  const std::string cardMembers =
      "该会员的相册只对金卡、银卡会员开放。请先<a href=\"/login.html\">登录</a>。";
  EXPECT_TRUE(holds(rawGet("/id_4_xc.html").body, cardMembers));
  const RawResponse typed = rawGet("/xc_page_0_id_" + token4 + ".html");
  EXPECT_TRUE(holds(typed.body, cardMembers));
  EXPECT_FALSE(holds(typed.body, "/up_article/"));
  EXPECT_FALSE(
      holds(rawGet("/xc_page_0_id_" + token4 + ".html", cookieHeader(member)).body, "albumclosed"));
  const RawResponse friendsOnly = rawGet("/id_5_xc.html", cookieHeader(member));
  EXPECT_TRUE(holds(friendsOnly.body,
                    "该会员的相册只对TA的好友开放。<form class=\"linkform\" method=\"post\" "
                    "action=\"/userid_5_addfriends.html\">"))
      << gbk::toUtf8(friendsOnly.body);
  EXPECT_FALSE(holds(friendsOnly.body, "/mup_article/"));
}

TEST_F(MembersSiteE2E, MemberDeletesAPhotoOfHisAlbum) {
  const std::string member = loginCookie("demo1@example.com", "demo123");
  const RawResponse page = rawGet("/userphoto.asp", cookieHeader(member));
  ASSERT_EQ(page.status, 200);
  const std::string before = stored("select photo from zurva_user where userid=1");
  const std::string victim = first(before, "^([^#]+)\\.jpg1");  // entry 0
  ASSERT_FALSE(victim.empty()) << before;
  ASSERT_TRUE(onDisk("/up_article/" + victim + ".jpg"));
  ASSERT_TRUE(holds(page.body, "href=\"/userphoto_ifok_del_ID_0.html\""));

  // The link followed by GET only asks, with a button that posts it.
  const RawResponse asked = rawGet("/userphoto_ifok_del_ID_0.html", cookieHeader(member));
  EXPECT_TRUE(holds(asked.body, "确定删除此照片吗？")) << gbk::toUtf8(asked.body);
  EXPECT_TRUE(
      holds(asked.body, "<form method=\"post\" action=\"/userphoto.asp?ifok=del&amp;ID=0\">"));
  EXPECT_TRUE(onDisk("/up_article/" + victim + ".jpg"));
  EXPECT_EQ(stored("select photo from zurva_user where userid=1"), before);

  // Posted from the site's page (its script sends the link so), it deletes.
  const RawResponse done = rawPost("/userphoto_ifok_del_ID_0.html", "", cookieHeader(member));
  EXPECT_TRUE(holds(done.body, "alert('修改成功！')")) << gbk::toUtf8(done.body);
  EXPECT_FALSE(onDisk("/up_article/" + victim + ".jpg"));
  EXPECT_FALSE(onDisk("/mup_article/" + victim + ".jpg"));
  EXPECT_EQ(stored("select photo from zurva_user where userid=1").find(victim), std::string::npos);

  // Nobody else's photo: a guest gets the refusal box and nothing changes.
  const std::string after = stored("select photo from zurva_user where userid=1");
  EXPECT_TRUE(holds(rawPost("/userphoto_ifok_del_ID_0.html", "").body, "非法操作"));
  EXPECT_EQ(stored("select photo from zurva_user where userid=1"), after);
}

TEST_F(MembersSiteE2E, UploadThenApprovalByTheAdministrator) {
  const std::string member = loginCookie("demo2@example.com", "demo456");
  std::ifstream in(root() / "www/images/demo/portrait1.jpg", std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const auto post = [&](const std::string& data) {
    return rawPost("/upload.asp", "photodata=" + gbk::urlEncode(data), cookieHeader(member));
  };
  EXPECT_TRUE(holds(post("bm90IGEganBlZw==").body, "只能上传 JPEG 格式的照片！"));  // "not a jpeg"
  const RawResponse uploaded = post(base64(bytes.str()));
  EXPECT_TRUE(holds(uploaded.body, "上传成功，请等待管理员审核！")) << gbk::toUtf8(uploaded.body);
  const std::string list = stored("select photo from zurva_user where userid=2");
  const std::string entry = first(list, "(photo2_[0-9_]+\\.jpg0)$");
  ASSERT_FALSE(entry.empty()) << list;
  const std::string name = entry.substr(0, entry.size() - 1);
  EXPECT_TRUE(onDisk("/up_article/" + name));

  // The administrator sees it waiting and approves it.
  const std::string admin = adminCookie();
  ASSERT_FALSE(admin.empty());
  const RawResponse waiting = rawGet("/photocheck.asp", cookieHeader(admin));
  EXPECT_TRUE(holds(waiting.body, "value=\"" + entry + "\""));
  // A post that presses neither button (the form's values alone) decides nothing.
  EXPECT_EQ(rawPost("/photocheck.asp", "userid=2&entry=" + entry + "&kind=album", cookieHeader(admin)).status, 302);
  EXPECT_NE(stored("select photo from zurva_user where userid=2").find(entry), std::string::npos);
  EXPECT_TRUE(onDisk("/up_article/" + name));
  const RawResponse approved =
      rawPost("/photocheck.asp", "userid=2&entry=" + entry + "&kind=album&action=approve", cookieHeader(admin));
  EXPECT_EQ(approved.status, 302);
  EXPECT_NE(stored("select photo from zurva_user where userid=2").find(name + "1"), std::string::npos);
}

TEST_F(MembersSiteE2E, AdministratorManagesAMembersPhotos) {
  EXPECT_EQ(rawGet("/admin_userphoto.asp?userid=3").status, 302);  // to the administrator's login
  const std::string admin = adminCookie();
  const RawResponse page = rawGet("/admin_userphoto.asp?userid=3", cookieHeader(admin));
  ASSERT_EQ(page.status, 200);
  const std::string link = first(page.body, "href=\"(/admin_userphoto_userid_3_ifok_del_ID_[0-9]+\\.html)\"");
  ASSERT_FALSE(link.empty()) << gbk::toUtf8(page.body);
  const std::string before = stored("select photo from zurva_user where userid=3");
  EXPECT_TRUE(holds(rawGet(link, cookieHeader(admin)).body, "确定删除此照片吗？"));
  EXPECT_EQ(stored("select photo from zurva_user where userid=3"), before);
  const RawResponse done = rawPost(link, "", cookieHeader(admin));
  EXPECT_TRUE(holds(done.body, "alert('修改成功！')")) << gbk::toUtf8(done.body);
  EXPECT_NE(stored("select photo from zurva_user where userid=3"), before);
  // The static first-page link of the paging bar leads back to the manager.
  EXPECT_TRUE(holds(rawGet("/userid_3_admin_userphoto.html", cookieHeader(admin)).body, "个人头像"));
}

}  // namespace
}  // namespace zurvafun

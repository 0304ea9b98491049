// The demo site as an attacker meets it, over real HTTP: password guesses at
// the logins under every address the server takes for them, pages of another
// site that make a member's browser act here, odd values in signed cookies
// and requests. The server runs the shipped configuration (the
// administrator login on) with a known cookie secret, logs every request on
// standard error, and believes X-Forwarded-For from the loopback address, so
// that each test can stand for a client address of its own.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/serve/cookies.h"
#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

using namespace std::chrono_literals;

// The bytes of one of the demo portraits, a JPEG.
std::string demoPicture() {
  std::ifstream in(ZURVA_SOURCE_DIR "/site/www/images/demo/portrait1.jpg", std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class SecurityE2E : public e2e::ServerSuite<SecurityE2E> {
 public:
  static std::string settings() {
    return e2e::shippedSettings(20) + R"(,
      "access_log": "-",
      "trusted_proxies": ["127.0.0.1"],
      "cookie_secret": ")" +
           std::string(kSecret) + R"(")";
  }
  static constexpr const char* kSecret = "the security suite's secret";
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  // The header that makes a request come from `address`.
  static std::string from(const std::string& address) {
    return "X-Forwarded-For: " + address + "\r\n";
  }

  static RawResponse adminLogin(const std::string& path, const std::string& password,
                                const std::string& client) {
    return rawPost(path, "admin_name=admin&admin_password=" + password,
                   from(client) + "Referer: http://127.0.0.1/admin/login.asp\r\n");
  }

  static std::string cookieHeader(const std::string& pair) { return "Cookie: " + pair + "\r\n"; }
  static std::string memberCookie(const std::string& account, const std::string& password) {
    return cookieHeader(cookiePair(
        postLogin(gbkForm({{"username", account}, {"password", password}, {"log_type", "1"}}))
            .setCookie("kalimo")));
  }
  static std::string adminCookie() {
    return cookieHeader(cookiePair(
        adminLogin("/admin/login.asp", "demo-admin", "192.0.2.1").setCookie("zurva_admin")));
  }
  // A member cookie as the server would have signed it, of the sub-keys `text`.
  static std::string signedMemberCookie(const std::string& text) {
    const serve::CookieSigner signer(kSecret);
    return cookieHeader("kalimo=" + signer.sign("kalimo", text, std::time(nullptr)));
  }
  static bool holds(const RawResponse& r, const std::string& piece) {
    return utf8(r).find(piece) != std::string::npos;
  }
  static std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    out.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                               reinterpret_cast<const unsigned char*>(bytes.data()),
                               int(bytes.size())));
    return out;
  }

  // The server log once it holds `piece` (the lines are written after each answer).
  static std::string logHolding(const std::string& piece) {
    std::string log = server_->logText();
    for (int i = 0; i < 100 && log.find(piece) == std::string::npos; ++i) {
      std::this_thread::sleep_for(20ms);
      log = server_->logText();
    }
    return log;
  }
};

// Every address that reaches the administrator's login is limited as the
// login itself: ten refused guesses through it, and the right password is
// refused with 429 too. Addresses that do not reach the login answer no
// login at all.
TEST_F(SecurityE2E, EveryAddressOfTheAdministratorLoginIsRateLimited) {
  struct Spelling {
    const char* path;
    bool reachesTheLogin;
  };
  const Spelling spellings[] = {
      {"/admin/login.asp", true},       {"/ADMIN/LOGIN.ASP", true},
      {"/admin/Login.Asp", true},       {"/admin/login.html", true},
      {"/admin/%6cogin.asp", true},     {"/admin/x_y_login.html", true},
      {"/admin/admin_login.asp", true}, {"/Admin/Admin_Login.asp", true},
      {"//admin/login.asp", false},     {"/admin//login.asp", false},
      {"/admin/./login.asp", false},    {"/admin/../admin/login.asp", false},
      {"/admin/login.asp/", false},     {"/admin/login.asp.", false},
      {"/admin/login.HTML", false},     {"/admin/login.html.html", false},
  };
  int client = 0;
  for (const Spelling& s : spellings) {
    SCOPED_TRACE(s.path);
    const std::string address = "198.51.100." + std::to_string(++client);
    if (!s.reachesTheLogin) {
      const RawResponse r = adminLogin(s.path, "demo-admin", address);
      EXPECT_GE(r.status, 400);
      EXPECT_EQ(r.setCookie("zurva_admin"), "");
      continue;
    }
    for (int i = 0; i < 10; ++i)
      ASSERT_EQ(adminLogin(s.path, "guess" + std::to_string(i), address).status, 403) << i;
    const RawResponse r = adminLogin(s.path, "demo-admin", address);
    EXPECT_EQ(r.status, 429);
    EXPECT_EQ(r.setCookie("zurva_admin"), "");
  }
  // A fresh address logs in.
  EXPECT_NE(adminLogin("/admin/login.asp", "demo-admin", "198.51.100.99").setCookie("zurva_admin"),
            "");
}

// The guesses of one address at both logins, under any of their addresses,
// come out of one allowance.
TEST_F(SecurityE2E, GuessesAtBothLoginsShareOneAllowance) {
  const std::string address = "203.0.113.5";
  const char* paths[] = {"/admin/login.asp", "/chklogin.asp", "/admin/admin_login.asp",
                         "/CHKLOGIN.asp", "/a_b_chklogin.html"};
  for (int i = 0; i < 10; ++i) {
    const std::string path = paths[i % 5];
    const RawResponse r =
        path.find("admin") != std::string::npos
            ? adminLogin(path, "guess", address)
            : rawPost(path, "username=demo1%40example.com&password=guess&log_type=1",
                      from(address) + "Referer: http://127.0.0.1/login.asp\r\n");
    ASSERT_NE(r.status, 429) << i << " " << path;
  }
  EXPECT_EQ(adminLogin("/admin/login.html", "demo-admin", address).status, 429);
  EXPECT_EQ(rawPost("/chklogin.html", "username=demo1%40example.com&password=demo123&log_type=1",
                    from(address) + "Referer: http://127.0.0.1/login.asp\r\n")
                .status,
            429);
}

// A refused administrator login stands in the access log as a refusal.
TEST_F(SecurityE2E, ARefusedAdministratorLoginIsLogged) {
  const RawResponse refused = adminLogin("/admin/login.asp?logged=refusal", "nope", "192.0.2.77");
  EXPECT_EQ(refused.status, 403);
  EXPECT_NE(utf8(refused).find("管理员名称或密码不正确。"), std::string::npos);
  const std::string log = logHolding("logged=refusal");
  EXPECT_NE(log.find("192.0.2.77 - - "), std::string::npos) << log;
  EXPECT_NE(log.find("\"POST /admin/login.asp?logged=refusal HTTP/1.1\" 403 "), std::string::npos)
      << log;
}

// Requests of pages on another site: forms posted with its Origin and
// Referer, links and pictures that make a GET. None changes anything; the
// same request posted from a page of the site does (so the refusal is the
// origin's, not the request's).
TEST_F(SecurityE2E, RequestsFromAnotherSiteChangeNothing) {
  const std::string demo2 = memberCookie("demo2@example.com", "demo456");
  const std::string admin = adminCookie();
  ASSERT_NE(demo2, "Cookie: \r\n");
  ASSERT_NE(admin, "Cookie: \r\n");
  const std::string party =
      query("select id from party where id not in (select partyid from partycj) order by id");
  ASSERT_FALSE(party.empty());
  const std::string waiting = query("select photo from zurva_user where userid=1");
  const std::string entry =
      waiting.substr(0, waiting.find('#', waiting.find('#') + 1)).substr(waiting.find('#') + 1);
  ASSERT_TRUE(entry.ends_with(".jpg0")) << waiting;  // the demo account's second photo waits
  const auto stored = [](std::string sql) { return [sql] { return query(sql); }; };
  const auto votes = [] {
    const std::string page = utf8(rawGet("/stype_view_vote.html"));
    const size_t at = page.find("2.网上聊天</td><td>");
    return at == std::string::npos ? page : page.substr(at, 40);
  };

  struct Attack {
    const char* what;
    const char* method;
    std::string target, body, cookie;
    std::function<std::string()> state;
    int status;  // the answer to the other site's request
    // The same request posted from the site's page changes the state (a
    // link's row leaves that to the row of its post that follows).
    bool siteActs = true;
  };
  const Fields signup = {{"name", "二号"},       {"email", "demo2@example.com"},
                         {"tel", "13800138001"}, {"sex", "男"},
                         {"nl", "38"},           {"xl", "硕士"},
                         {"zy", "工程师"}};
  const std::vector<Attack> attacks = {
      {"a gift", "POST", "/sendsave.html", "to=1&id=2", demo2,
       stored("select count(*) from presentmx where senduserid=2"), 403},
      {"a showcase purchase", "POST", "/save.html", "ORDERMONEY=1&agefrom=20&ageto=30", demo2,
       stored("select emoney from zurva_user where userid=2"), 403},
      {"a message", "POST", "/userid_1_messagesend.html", gbkForm({{"content", "来自别的网站"}}),
       demo2, stored("select count(*) from Sendbooks where senduserid=2"), 403},
      {"a party sign-up", "POST", "/action_sign_join_partyid_" + party + ".html", gbkForm(signup),
       demo2, stored("select count(*) from partycj where partyid=" + party), 403},
      {"a party withdrawal by a link", "GET", "/action.asp?sign=deljoin&partyid=" + party, "",
       demo2, stored("select count(*) from partycj where partyid=" + party), 405, false},
      {"a party withdrawal", "POST", "/action_sign_deljoin_partyid_" + party + ".html", "", demo2,
       stored("select count(*) from partycj where partyid=" + party), 403},
      {"an upload", "POST", "/upload.asp?act=upload",
       "photodata=" + gbk::urlEncode(base64(demoPicture())), demo2,
       stored("select photo from zurva_user where userid=2"), 403},
      {"a photo delete by a link", "GET", "/userphoto.asp?ifok=del&ID=0", "", demo2,
       stored("select photo from zurva_user where userid=2"), 200, false},
      {"a photo delete", "POST", "/userphoto.asp?ifok=del&ID=0", "", demo2,
       stored("select photo from zurva_user where userid=2"), 403},
      {"a hidden member by a link", "GET", "/id_7_nosou.html", "", demo2,
       stored("select nosou from zurva_user where userid=2"), 200, false},
      {"a hidden member", "POST", "/nosou.asp?id=7", "", demo2,
       stored("select nosou from zurva_user where userid=2"), 403},
      {"a vote", "POST", "/vote.html", "Options=2", "", votes, 403},
      {"saved search criteria", "POST", "/zurvarasult.asp?menu=save",
       "agefrom=30&ageto=40&heightfrom=150&heightto=190&degreefrom=0", demo2,
       stored("select userbz from zurva_user where userid=2"), 403},
      {"the administrator's photo reject", "POST", "/photocheck.asp",
       "userid=1&entry=" + entry + "&kind=album&action=reject", admin,
       stored("select photo from zurva_user where userid=1"), 403},
      {"the administrator's photo delete by a link", "GET",
       "/admin_userphoto.asp?userid=3&ifok=del&ID=0", "", admin,
       stored("select photo from zurva_user where userid=3"), 200, false},
      {"the administrator's photo delete", "POST", "/admin_userphoto_userid_3_ifok_del_ID_0.html",
       "", admin, stored("select photo from zurva_user where userid=3"), 403},
  };
  const std::string elsewhere =
      "Origin: http://evil.example\r\nReferer: http://evil.example/page.html\r\n";
  for (const Attack& a : attacks) {
    SCOPED_TRACE(a.what);
    const std::string before = a.state();
    const RawResponse r =
        std::string(a.method) == "GET"
            ? rawGet(a.target, a.cookie + "Referer: http://evil.example/page.html\r\n")
            : rawPost(a.target, a.body, a.cookie + elsewhere);
    EXPECT_EQ(r.status, a.status) << utf8(r).substr(0, 300);
    EXPECT_EQ(a.state(), before);
    if (!a.siteActs) continue;
    // The same request posted from the site's page changes it.
    rawPost(a.target, a.body, a.cookie);
    EXPECT_NE(a.state(), before);
  }
}

// A post that names no page it came from (no Origin, no Referer) is refused
// like one from another site.
TEST_F(SecurityE2E, APostFromNoPageChangesNothing) {
  const std::string demo2 = memberCookie("demo2@example.com", "demo456");
  const std::string before = query("select count(*) from presentmx where senduserid=2");
  EXPECT_EQ(rawPost("/sendsave.html", "to=1&id=2", demo2, false).status, 403);
  EXPECT_EQ(rawPost("/sendsave.html", "to=1&id=2", demo2 + "Origin: null\r\n").status, 403);
  EXPECT_EQ(query("select count(*) from presentmx where senduserid=2"), before);
  // A site whose name only begins with the server's is another site.
  EXPECT_EQ(
      rawPost("/sendsave.html", "to=1&id=2", demo2 + "Origin: http://127.0.0.1.evil.example\r\n")
          .status,
      403);
  // The Referer of the site's page is enough when a browser sends no Origin.
  EXPECT_EQ(rawPost("/sendsave.html", "to=1&id=2",
                    demo2 + "Referer: http://127.0.0.1:8080/sendpresent.asp\r\n")
                .status,
            200);
  EXPECT_NE(query("select count(*) from presentmx where senduserid=2"), before);
}

// A login, a logout or a registration from another site's page does
// nothing: no member is logged in or out, no account is made.
TEST_F(SecurityE2E, LoginsAndLogoutsFromAnotherSiteDoNothing) {
  const std::string elsewhere = "Origin: http://evil.example\r\n";
  EXPECT_EQ(adminLogin("/admin/login.asp", "demo-admin", "192.0.2.2").status, 302);
  const RawResponse admin =
      rawPost("/admin/login.asp", "admin_name=admin&admin_password=demo-admin", elsewhere);
  EXPECT_EQ(admin.status, 403);
  EXPECT_EQ(admin.setCookie("zurva_admin"), "");
  const std::string demo1 = memberCookie("demo1@example.com", "demo123");
  for (const char* logout : {"/logout.asp", "/quit.asp"}) {
    const RawResponse out = rawPost(logout, "", demo1 + elsewhere);
    EXPECT_EQ(out.status, 403) << logout;
    EXPECT_EQ(out.setCookie("kalimo"), "") << logout;
  }
  const std::string members = query("select count(*) from zurva_user");
  const RawResponse registered =
      rawPost("/reg.asp", "username=new%40example.com&nickname=x&password=abc123", elsewhere);
  EXPECT_EQ(registered.status, 403);
  EXPECT_EQ(query("select count(*) from zurva_user"), members);
}

// A member cookie the server signed whose member number is no number, or
// beyond 32 bits, is a guest's on every page: none fails.
TEST_F(SecurityE2E, ACookieWithAnOddMemberNumberIsAGuests) {
  const char* pages[] = {"/index.asp",
                         "/quicksearch.asp",
                         "/indexw.asp",
                         "/userinfo.asp?id=1",
                         "/xc.asp?id=1",
                         "/newmembers.asp?sex=1",
                         "/city.asp?city=0&city1=0",
                         "/search.asp",
                         "/result.asp",
                         "/userphoto.asp",
                         "/upload.asp",
                         "/mymessages.asp",
                         "/message.asp?userid=1",
                         "/userid_1_msgfal.html",
                         "/messagesend.asp?userid=1",
                         "/present.asp",
                         "/id_2_sendpresent.html",
                         "/party.asp",
                         "/partyinfo.asp?partyid=1",
                         "/partyjoin.asp?partyid=1",
                         "/partymanage.asp",
                         "/partyedit.asp",
                         "/myshow.asp",
                         "/Apply.asp",
                         "/History.asp",
                         "/editinfo.asp",
                         "/photoaction.asp",
                         "/stype_view_vote.html",
                         "/id_5_nosou.html"};
  struct Post {
    const char* target;
    const char* body;
  };
  const Post posts[] = {{"/quicksearch.asp", "sex=577&agefrom=20&ageto=35&province1=0&city1=0"},
                        {"/nosou.asp?id=5", ""},
                        {"/sendsave.html", "to=1&id=2"},
                        {"/save.html", "ORDERMONEY=1"},
                        {"/regsubmit.asp", "nickname=x"},
                        {"/userphoto.asp?ifok=del&ID=0", ""},
                        {"/upload.asp?act=upload", "photodata=AAAA"},
                        {"/userid_1_messagesend.html", "content=hi"},
                        {"/action_sign_join_partyid_1.html", "name=x&email=x%40example.com"},
                        {"/vote.html", "Options=1"}};
  for (const char* userid : {"abc", "2147483648", "99999999999999999999", "1.5", "-3"}) {
    SCOPED_TRACE(userid);
    const std::string cookie = signedMemberCookie(
        "username=odd%40example.com&userid=" + gbk::urlEncode(userid) + "&grade=3&sex=576");
    for (const char* page : pages) EXPECT_LT(rawGet(page, cookie).status, 500) << page;
    for (const Post& post : posts)
      EXPECT_LT(rawPost(post.target, post.body, cookie).status, 500) << post.target;
    const RawResponse quick = rawPost("/quicksearch.asp", posts[0].body, cookie);
    EXPECT_TRUE(holds(quick, "抱歉！由于您不是本站会员")) << utf8(quick).substr(0, 500);
  }
}

// The hide page takes a member number only: any other id (beyond 32 bits,
// not whole, not above 0) is a bad request, and nothing is stored.
TEST_F(SecurityE2E, TheHidePageRefusesIdsThatAreNoMemberNumbers) {
  const std::string demo2 = memberCookie("demo2@example.com", "demo456");
  const std::string before = query("select nosou from zurva_user where userid=2");
  for (const char* id :
       {"2147483648", "99999999999999999999", "-1", "0", "1.5", "1e3", "abc", ""}) {
    SCOPED_TRACE(id);
    for (const RawResponse& r : {rawGet("/nosou.asp?id=" + std::string(id), demo2),
                                 rawPost("/nosou.asp?id=" + std::string(id), "", demo2)}) {
      EXPECT_EQ(r.status, 200);
      EXPECT_TRUE(holds(r, "请求错误！")) << utf8(r).substr(0, 300);
    }
  }
  EXPECT_EQ(query("select nosou from zurva_user where userid=2"), before);
}

// The demo picture with a comment segment whose bytes the picture's base64
// text spells as "selectAA": a filter word in the form's value, in a real
// JPEG.
std::string pictureSpellingAFilterWord() {
  const std::string word = "selectAA";
  std::string bytes(6, '\0');
  EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                  reinterpret_cast<const unsigned char*>(word.data()), int(word.size()));
  const std::string jpeg = demoPicture();
  // SOI, then the comment at byte 6, where base64 starts a group of four.
  return jpeg.substr(0, 2) + "\xFF\xFE" + std::string(1, '\0') + char(2 + bytes.size()) + bytes +
         jpeg.substr(2);
}

// A request the input filter refuses (a filter word in a form or query
// value: "请勿输入非法字符！") stores nothing, also on the pages that store
// without a method of the component. The upload form's own address takes
// the picture's data past the filter.
TEST_F(SecurityE2E, ARequestTheFilterRefusesStoresNothing) {
  const std::string demo2 = memberCookie("demo2@example.com", "demo456");
  const std::string admin = adminCookie();
  const std::string picture = pictureSpellingAFilterWord();
  ASSERT_NE(base64(picture).find("selectAA"), std::string::npos);
  const std::string photodata = "photodata=" + gbk::urlEncode(base64(picture));
  const std::string waiting = query("select photo from zurva_user where userid=3");
  const std::string entry =
      waiting.substr(0, waiting.find('#', waiting.find('#') + 1)).substr(waiting.find('#') + 1);
  ASSERT_TRUE(entry.ends_with(".jpg0")) << waiting;
  const auto votes = [] {
    const std::string page = utf8(rawGet("/stype_view_vote.html"));
    return page.substr(page.find("<table"));
  };
  struct Refused {
    const char* what;
    std::string target, body, cookie;
    std::function<std::string()> state;
  };
  const auto stored = [](std::string sql) { return [sql] { return query(sql); }; };
  const Refused cases[] = {
      {"a message", "/userid_1_messagesend.html", gbkForm({{"content", "please select me"}}), demo2,
       stored("select count(*) from Sendbooks where senduserid=2")},
      {"an upload to the page's plain address", "/upload.asp", photodata, demo2,
       stored("select photo from zurva_user where userid=2")},
      {"a decision on a waiting photo", "/photocheck.asp?from=delete",
       "userid=3&entry=" + entry + "&kind=album&action=reject", admin,
       stored("select photo from zurva_user where userid=3")},
      {"a vote", "/vote.html?from=select", "Options=2", "", votes},
      {"a hidden member", "/nosou.asp?id=7&from=select", "", demo2,
       stored("select nosou from zurva_user where userid=2")},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = c.state();
    const RawResponse r = rawPost(c.target, c.body, c.cookie);
    EXPECT_TRUE(holds(r, "请勿输入非法字符！")) << utf8(r).substr(0, 300);
    EXPECT_EQ(c.state(), before);
  }
  // The upload form's address: the picture is stored, filter word or not.
  const RawResponse uploaded = rawPost("/upload.asp?act=upload", photodata, demo2);
  EXPECT_TRUE(holds(uploaded, "上传成功")) << utf8(uploaded).substr(0, 300);
  EXPECT_NE(rawGet("/upload.asp", demo2).body.find("action=\"/upload.asp?act=upload\""),
            std::string::npos);
}

// An upload whose first three and last two bytes are a JPEG's, with a page
// between them, is no picture: refused, and nothing is stored or written.
TEST_F(SecurityE2E, AnUploadThatOnlyLooksLikeAJpegIsRefused) {
  const std::string demo2 = memberCookie("demo2@example.com", "demo456");
  const std::string before = query("select photo from zurva_user where userid=2");
  const std::string page = "<html><body><script>alert(document.domain)</script></body></html>";
  const RawResponse r =
      rawPost("/upload.asp?act=upload",
              "photodata=" + gbk::urlEncode(base64("\xFF\xD8\xFF" + page + "\xFF\xD9")), demo2);
  EXPECT_TRUE(holds(r, "只能上传 JPEG 格式的照片！")) << utf8(r).substr(0, 300);
  EXPECT_EQ(query("select photo from zurva_user where userid=2"), before);
  // A picture is taken.
  EXPECT_TRUE(holds(rawPost("/upload.asp?act=upload",
                            "photodata=" + gbk::urlEncode(base64(demoPicture())), demo2),
                    "上传成功"));
  EXPECT_NE(query("select photo from zurva_user where userid=2"), before);
}

}  // namespace
}  // namespace zurvafun

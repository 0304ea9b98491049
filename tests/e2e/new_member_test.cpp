// A member who registers today walks the road the seeded demo members walk:
// he registers at 18, finds the other sex in his first search, gets a head
// photo approved that then shows on his cards, profile and search rows,
// receives E币 from the administrator (through the ledger), becomes a card
// member, sends a gift with an SMS notice on whatever port the site runs,
// and applies for the showcase; on the way he asks for a friend, who opens
// her friends-only album to him. The site runs as it ships, with its own SMS
// gateway (no gateway configured), on a free port.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/gbk.h"
#include "runtime/text.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class NewMemberE2E : public e2e::ServerSuite<NewMemberE2E> {
 public:
  // The shipped configuration as it is: no SMS gateway named.
  static std::string settings() {
    std::ifstream in(ZURVA_SOURCE_DIR "/config/zurva-serve.json");
    const nlohmann::json config = nlohmann::json::parse(in);
    EXPECT_FALSE(config["application"].contains("zurva_sms_gateway"));
    return R"("worker_threads": 8, "database": {"demo_members": 12}, "rate_limit": {"paths": []},
      "application": )" +
           config["application"].dump() + R"(, "administrator": )" + config["administrator"].dump();
  }
  static constexpr const char* kReadyPath = "/login.asp";

 protected:
  static int thisYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
  }
  static bool holds(const RawResponse& r, const std::string& piece) {
    return utf8(r).find(piece) != std::string::npos;
  }
  static std::string cookie(const std::string& pairs) { return "Cookie: " + pairs + "\r\n"; }

  // The registration form as a man born in `year` fills it in.
  static Fields registration(const std::string& account, const std::string& nickname, int year) {
    static int registered = 0;
    const std::string idno = "11010119950101" + std::to_string(1000 + ++registered);
    return {{"username", account},
            {"nickname", nickname},
            {"password", "walk1234"},
            {"password_confirm", "walk1234"},
            {"name_r", "李行"},
            {"name_ropen", "2"},
            {"SelID", "1"},
            {"IDNo", idno},
            {"sex", "576"},
            {"birthyear", std::to_string(year)},
            {"height", "175"},
            {"weight", "68"},
            {"Shape", "115"},
            {"look", "7"},
            {"marrystatus", "1"},
            {"Folk", "39"},
            {"ancestor", "浙江"},
            {"province", "浙江"},
            {"city", "杭州市"},
            {"degree", "124"},
            {"province1", "浙江"},
            {"city1", "宁波市"},
            {"job", "161"},
            {"dutytype", "工程师"},
            {"housesta", "206"},
            {"income", "228"},
            {"incomeopen", "1"},
            {"constel", "狮子座"},
            {"Mobile", "13912345678"},
            {"tel_ropen", "1"},
            {"question", "我的小学"},
            {"answer", "实验小学"},
            {"drink", "不喝酒"},
            {"smoking", "不吸烟"},
            {"agefrom", "18"},
            {"ageto", "30"},
            {"heightfrom", "155"},
            {"heightto", "170"},
            {"degreefrom", "123"},
            {"degreeto", "126"},
            {"qq", "88886666"},
            {"email", account},
            {"intro", "性格开朗，喜欢运动和旅行，周末常去爬山，希望认识一位善良真诚的女孩。"}};
  }
  // Registers; the member cookie of his first login ("" when refused).
  static std::string registerMember(const std::string& account, int year,
                                    RawResponse* answer = nullptr) {
    const RawResponse r =
        rawPost("/reg.asp", gbkForm(registration(account, "新" + account.substr(0, 4), year)));
    if (answer) *answer = r;
    return cookiePair(r.setCookie("kalimo"));
  }
  static std::string numberOf(const std::string& account) {
    return query("select userid from zurva_user where lower(zurvauser)='" + account + "'");
  }
  static std::string administrator() {
    return cookiePair(rawPost("/admin/login.asp", "admin_name=admin&admin_password=demo-admin")
                          .setCookie("zurva_admin"));
  }
  static std::string logIn(const std::string& account, const std::string& password) {
    return cookiePair(
        postLogin(gbkForm({{"username", account}, {"password", password}, {"log_type", "1"}}))
            .setCookie("kalimo"));
  }
  static RawResponse uploadPhoto(const std::string& member,
                                 const std::string& path = "/upload.asp?act=upload") {
    std::ifstream in(ZURVA_SOURCE_DIR "/site/www/images/demo/portrait3.jpg", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return rawPost(path, "photodata=" + gbk::urlEncode(base64(bytes.str())), cookie(member));
  }
  static std::string first(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : "";
  }
  static std::string balance(const std::string& id) {
    return query("select emoney from zurva_user where userid=" + id);
  }
};

// The birth years reach the year that makes a member 18 this year; his
// saved search looks for the other sex, so the advanced search's first
// press needs no click on the sex.
TEST_F(NewMemberE2E, AnEighteenYearOldRegistersAndSearchesForTheOtherSex) {
  const int latest = thisYear() - 18;
  const std::string form = utf8(rawGet("/reg.asp"));
  EXPECT_NE(
      form.find("<select name=\"birthyear\"><option value=\"\">请选择--</option><OPTION value=" +
                std::to_string(latest) + ">"),
      std::string::npos)
      << form.substr(form.find("birthyear"), 200);
  RawResponse refused;
  EXPECT_EQ(registerMember("young1@example.com", latest + 1, &refused), "");
  EXPECT_TRUE(holds(refused, "请选择出生年份"));
  EXPECT_EQ(numberOf("young1@example.com"), "");

  RawResponse answer;
  const std::string member = registerMember("adult1@example.com", latest, &answer);
  ASSERT_FALSE(member.empty()) << utf8(answer);
  const std::string id = numberOf("adult1@example.com");
  EXPECT_EQ(query("select userdata from zurva_user where userid=" + id).substr(0, 4),
            std::to_string(latest));
  const std::string criteria = query("select userbz from zurva_user where userid=" + id);
  EXPECT_EQ(Split(criteria, "#").at(6), "577") << criteria;
  const std::string search = utf8(rawGet("/search.asp", cookie(member)));
  EXPECT_NE(
      search.find(
          R"~(<input type="radio" name="sex" value="577" onClick="Chk_Single2(sexText,'淑女')" checked>)~"),
      std::string::npos);
}

// Upload, approval, head photo, approval: the picture then shows wherever
// the seeded members' pictures show, and the showcase takes the member.
TEST_F(NewMemberE2E, AHeadPhotoWaitsForApprovalThenShowsEverywhere) {
  const std::string member = registerMember("walker@example.com", thisYear() - 20);
  ASSERT_FALSE(member.empty());
  const std::string id = numberOf("walker@example.com");
  const std::string admin = administrator();
  ASSERT_FALSE(admin.empty());
  const std::string head = "smallphoto" + id + ".jpg";

  EXPECT_TRUE(holds(uploadPhoto(member), "上传成功，请等待管理员审核！"));
  const std::string entry = query("select photo from zurva_user where userid=" + id);
  ASSERT_EQ(entry.back(), '0');
  // A waiting photo cannot become the head photo.
  EXPECT_TRUE(holds(rawPost("/num_0_photoaction.html", "", cookie(member)),
                    "请选择一张已通过审核的照片！"));
  EXPECT_TRUE(rawPost("/photocheck.asp",
                      "userid=" + id + "&entry=" + entry + "&kind=album&action=approve",
                      cookie(admin))
                  .status == 302);

  // The head photo page offers the approved photo; a GET changes nothing,
  // nor a post from another site.
  const RawResponse offer = rawGet("/photoaction.html", cookie(member));
  EXPECT_TRUE(holds(offer, "现在的头像：还没有设置")) << utf8(offer);
  EXPECT_TRUE(
      holds(offer, R"(<form class="linkform" method="post" action="/num_0_photoaction.html">)"));
  EXPECT_EQ(
      rawPost("/num_0_photoaction.html", "", cookie(member) + "Origin: http://evil.example\r\n")
          .status,
      403);
  EXPECT_EQ(query("select smallphoto from zurva_user where userid=" + id), "");

  EXPECT_TRUE(holds(rawPost("/num_0_photoaction.html", "", cookie(member)),
                    "头像已提交，请等待管理员审核！"));
  EXPECT_EQ(query("select smallphoto from zurva_user where userid=" + id), head + "0");
  // Waiting: its owner sees the file, nobody else; the showcase still refuses.
  EXPECT_EQ(rawGet("/smallphoto/" + head).status, 404);
  EXPECT_EQ(rawGet("/smallphoto/" + head, cookie(member)).status, 200);
  EXPECT_TRUE(holds(rawGet("/indexw.asp", cookie(member)), "个人头像：等待管理员审核"));
  EXPECT_TRUE(holds(rawGet("/myshow.asp", cookie(member)), "您还没有个人形象照！"));
  EXPECT_FALSE(holds(rawGet("/newmembers.asp"), "/smallphoto/" + head));

  const std::string waiting = utf8(rawGet("/photocheck.asp", cookie(admin)));
  EXPECT_NE(waiting.find("头像：<img src=\"/smallphoto/" + head + "\""), std::string::npos)
      << waiting;
  EXPECT_EQ(rawPost("/photocheck.asp",
                    "userid=" + id + "&entry=" + head + "0&kind=head&action=approve", cookie(admin))
                .status,
            302);
  EXPECT_EQ(query("select smallphoto from zurva_user where userid=" + id), head + "1");

  // Approved: on his cards, his profile page, the quick search's rows, and
  // the showcase takes his application.
  EXPECT_EQ(rawGet("/smallphoto/" + head).status, 200);
  const std::string picture =
      "<img src='/smallphoto/" + head + "' border='0' width=120 height=150>";
  EXPECT_TRUE(
      holds(rawGet("/userinfo.asp?id=" + id),
            "<td class=\"headphoto\" valign=\"top\" align=\"center\" width=\"136\">" + picture));
  EXPECT_TRUE(holds(rawGet("/newmembers.asp"), "/smallphoto/" + head));
  EXPECT_TRUE(holds(rawPost("/quicksearch.asp", "sex=576&agefrom=18&ageto=22&province1=0&city1=0",
                            cookie(member)),
                    "/smallphoto/" + head));
  const RawResponse status = rawGet("/myshow.asp", cookie(member));
  EXPECT_FALSE(holds(status, "您还没有个人形象照！"));
  EXPECT_TRUE(holds(status, "location='Apply.html'"));
  EXPECT_TRUE(holds(rawGet("/indexw.asp", cookie(member)), "个人头像：已通过审核"));
}

// The approval page: what waits, newest upload first, paged; a decision
// keeps the administrator on his page.
TEST_F(NewMemberE2E, TheApprovalPageListsTheNewestUploadFirstPaged) {
  // Every seeded member has a head photo waiting.
  ASSERT_TRUE(
      execute("update zurva_user set smallphoto='smallphoto'||userid||'.jpg0', "
              "photo=replace(photo,'.jpg0','.jpg1')"));
  const std::string member = registerMember("fresh1@example.com", thisYear() - 25);
  ASSERT_FALSE(member.empty());
  const std::string id = numberOf("fresh1@example.com");
  EXPECT_TRUE(holds(uploadPhoto(member), "上传成功"));
  const std::string admin = administrator();

  const std::string page1 = utf8(rawGet("/photocheck.asp", cookie(admin)));
  EXPECT_NE(page1.find("等待审核：<b>13</b> 张照片，来自 <b>13</b> 位会员"), std::string::npos)
      << page1;
  EXPECT_EQ(count(page1, "<tr class=\"bg_h\">"), 10);
  // The new upload first.
  EXPECT_EQ(first(page1, R"(<tr class="bg_h"><td>([0-9]+) )"), id);
  EXPECT_NE(
      page1.find(
          "第 <font color=ff0000><b>1</b></font> 页/共 <font color=ff0000><b>2</b></font> 页"),
      std::string::npos);
  const std::string page2 = utf8(rawGet("/Page_2_photocheck.html", cookie(admin)));
  EXPECT_EQ(count(page2, "<tr class=\"bg_h\">"), 3);
  EXPECT_NE(page2.find(R"(<input type="hidden" name="page" value="2">)"), std::string::npos);

  const std::string other = first(page2, R"(<tr class="bg_h"><td>([0-9]+) )");
  ASSERT_FALSE(other.empty());
  const RawResponse decided = rawPost(
      "/photocheck.asp",
      "userid=" + other + "&entry=smallphoto" + other + ".jpg0&kind=head&action=approve&page=2",
      cookie(admin));
  EXPECT_EQ(decided.status, 302);
  EXPECT_EQ(decided.header("Location"), "/photocheck.asp?page=2");
  EXPECT_EQ(query("select smallphoto from zurva_user where userid=" + other),
            "smallphoto" + other + ".jpg1");
  EXPECT_NE(utf8(rawGet("/photocheck.asp", cookie(admin)))
                .find("等待审核：<b>12</b> 张照片，来自 <b>12</b> 位会员"),
            std::string::npos);
}

// The administrator credits and debits a member's E币 from his line of the
// member list: one transaction with a ledger row that names him; the member
// home shows the rows as changes of the balance.
TEST_F(NewMemberE2E, TheAdministratorCreditsAndDebitsThroughTheLedger) {
  const std::string member = registerMember("saver@example.com", thisYear() - 30);
  ASSERT_FALSE(member.empty());
  const std::string id = numberOf("saver@example.com");
  const std::string admin = administrator();
  const auto move = [&](const std::string& fields, const std::string& headers) {
    return rawPost("/admin/emoney.asp", "userid=" + id + "&back=/admin/result.asp?page=1&" + fields,
                   headers);
  };
  const auto ledgerRows = [&] { return query("select count(*) from emoneymx where userID=" + id); };

  const RawResponse credited =
      move("amount=200&action=credit&note=" + gbk::urlEncode("欢迎"), cookie(admin));
  EXPECT_TRUE(holds(
      credited, "alert('已为会员 " + id +
                    " 充值 200 E币，余额 200。');window.location.href='/admin/result.asp?page=1';"))
      << utf8(credited);
  EXPECT_EQ(balance(id), "200");
  EXPECT_EQ(query("select b_count||'|'||b_history from emoneymx where userID=" + id),
            "-200|管理员admin充值：欢迎");

  // Refused, each changing nothing.
  const struct {
    const char* why;
    std::string fields;
    std::string headers;
    std::string answer;
  } refusals[] = {
      {"more than the balance", "amount=200.5&action=debit", cookie(admin),
       "的 E币 余额（200）不足，不能扣除 200.5。"},
      {"no amount", "amount=&action=credit", cookie(admin), "请填写 E币 数额"},
      {"zero", "amount=0&action=credit", cookie(admin), "请填写 E币 数额"},
      {"negative", "amount=-5&action=credit", cookie(admin), "请填写 E币 数额"},
      {"three decimals", "amount=1.234&action=credit", cookie(admin), "请填写 E币 数额"},
      {"not a number", "amount=abc&action=debit", cookie(admin), "请填写 E币 数额"},
      {"no action", "amount=5", cookie(admin), "请求错误！"},
      {"a member, not the administrator", "amount=5&action=credit", cookie(member), "非法操作"},
      {"from another site", "amount=5&action=credit",
       cookie(admin) + "Origin: http://evil.example\r\n", "错误或非法操作！"},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.why);
    EXPECT_TRUE(holds(move(r.fields, r.headers), r.answer));
    EXPECT_EQ(balance(id), "200");
    EXPECT_EQ(ledgerRows(), "1");
  }
  EXPECT_EQ(
      rawGet("/admin/emoney.asp?userid=" + id + "&amount=5&action=credit", cookie(admin)).status,
      405);
  EXPECT_TRUE(
      holds(rawPost("/admin/emoney.asp", "userid=99999&amount=5&action=credit", cookie(admin)),
            "没有这个会员。"));

  EXPECT_TRUE(
      holds(move("amount=50.5&action=debit", cookie(admin)), "扣除 50.5 E币，余额 149.5。"));
  EXPECT_EQ(balance(id), "149.5");
  // The member's home and ledger: money in with "+", money out with "-".
  const std::string home = utf8(rawGet("/indexw.asp", cookie(member)));
  EXPECT_NE(home.find("余额 149.5 E币。"), std::string::npos) << home;
  EXPECT_LT(home.find(R"(<td class="moneyout">-50.5</td><td>管理员admin扣除</td>)"),
            home.find(R"(<td class="moneyin">+200</td><td>管理员admin充值：欢迎</td>)"));
  EXPECT_NE(utf8(rawGet("/History.asp", cookie(member))).find(R"(<td class="moneyin">+200</td>)"),
            std::string::npos);
  EXPECT_TRUE(holds(rawGet("/chongzhi.asp", cookie(member)), "E币 由管理员为会员充值"));
}

// A new member upgrades to a card, then sends a gift with an SMS notice: the
// site's own gateway answers on the port the server got.
TEST_F(NewMemberE2E, ANewMemberSendsAGiftWithAnSmsNoticeOnAnyPort) {
  std::string member = registerMember("giver@example.com", thisYear() - 22);
  ASSERT_FALSE(member.empty());
  const std::string id = numberOf("giver@example.com");
  const std::string admin = administrator();
  ASSERT_TRUE(holds(
      rawPost("/admin/emoney.asp", "userid=" + id + "&amount=100&action=credit", cookie(admin)),
      "余额 100"));
  const std::string gift = gbkForm({{"to", "1"}, {"id", "2"}, {"ifsms", "1"}, {"des", "你好"}});

  // An ordinary member's notice is not sent (the component's rule).
  EXPECT_TRUE(
      holds(rawPost("/sendsave.asp", gift, cookie(member)), "演示一号 发送礼物通知短信失败"));
  EXPECT_EQ(balance(id), "85");

  // The upgrade: a GET only shows the cards; the post makes him a silver
  // card member, in his row and in his cookie.
  EXPECT_TRUE(holds(rawGet("/ReadyBuy.asp", cookie(member)), "免费升级为银卡会员"));
  EXPECT_EQ(query("select grade from zurva_user where userid=" + id), "1");
  const RawResponse upgraded = rawPost("/grade_2_ReadyBuy.html", "", cookie(member));
  EXPECT_TRUE(holds(upgraded, "恭喜，您已升级为银卡会员！"));
  EXPECT_EQ(query("select grade from zurva_user where userid=" + id), "2");
  const std::string renewed = cookiePair(upgraded.setCookie("kalimo"));
  ASSERT_NE(renewed.find("grade=2"), std::string::npos) << renewed;
  member = renewed;
  EXPECT_TRUE(holds(rawGet("/indexw.asp", cookie(member)), "alt=\"银卡会员\" title=\"银卡会员\""));
  EXPECT_TRUE(
      holds(rawPost("/grade_2_ReadyBuy.html", "", cookie(member)), "您已经是银卡会员，无需升级。"));

  const RawResponse sent = rawPost("/sendsave.asp", gift, cookie(member));
  EXPECT_TRUE(holds(sent, "alert('已成功送出礼物\\n演示一号 发送礼物通知短信成功！');"))
      << utf8(sent);
  EXPECT_EQ(balance(id), "76.5");  // half of 15, and 1 for the notice
  const std::string gateway = utf8(rawGet("/smsgateway.asp?show=1"));
  EXPECT_NE(gateway.find("13800138000：新give,您有新的礼物来自"), std::string::npos) << gateway;
}

// A friend request from a card's link, accepted on the friends page, opens a
// friends-only album.
TEST_F(NewMemberE2E, AnAcceptedFriendRequestOpensAFriendsOnlyAlbum) {
  ASSERT_TRUE(
      execute("update zurva_user set ifphotolook=3, photo='photo5_2026_01_02_a.jpg1', ifdel=0 "
              "where userid=5"));
  ASSERT_TRUE(execute("delete from Friends where userid=5 or senduserid=5"));
  const std::string member = registerMember("asker@example.com", thisYear() - 28);
  ASSERT_FALSE(member.empty());
  const std::string id = numberOf("asker@example.com");
  const std::string closed = "该会员的相册只对TA的好友开放。";
  EXPECT_TRUE(holds(rawGet("/xc.asp?id=5", cookie(member)), closed));

  // The link asks first; the post sends the request.
  EXPECT_TRUE(holds(rawGet("/userid_5_addfriends.html", cookie(member)), "确定申请加TA为好友吗？"));
  EXPECT_EQ(query("select count(*) from Friends where senduserid=" + id), "0");
  EXPECT_TRUE(holds(rawPost("/userid_5_addfriends.html", "", cookie(member)), "好友申请已发送"));
  EXPECT_TRUE(holds(rawPost("/userid_5_addfriends.html", "", cookie(member)),
                    "您已经申请过了，请等待对方同意。"));
  EXPECT_TRUE(holds(rawGet("/xc.asp?id=5", cookie(member)), closed));

  const std::string friend5 = logIn("member5@example.com", "123456");
  ASSERT_FALSE(friend5.empty());
  EXPECT_TRUE(holds(rawGet("/indexw.asp", cookie(friend5)), "等待您同意的好友申请 1 个"));
  const std::string accept = first(utf8(rawGet("/friends.asp", cookie(friend5))),
                                   R"~(action="(/friends_act_accept_id_[0-9]+\.html)")~");
  ASSERT_FALSE(accept.empty());
  // Only the member asked decides.
  EXPECT_TRUE(holds(rawPost(accept, "", cookie(member)), "没有这个好友申请。"));
  EXPECT_EQ(rawPost(accept, "", cookie(friend5)).status, 302);
  EXPECT_EQ(query("select ifok from Friends where senduserid=" + id + " and userid=5"), "1");

  const RawResponse album = rawGet("/xc.asp?id=5", cookie(member));
  EXPECT_FALSE(holds(album, closed));
  EXPECT_TRUE(holds(album, "/mup_article/photo5_2026_01_02_a.jpg"));
  EXPECT_TRUE(
      holds(rawPost("/userid_5_addfriends.html", "", cookie(member)), "你们已经是好友了。"));
}

// The party pages as a member meets them: coming parties first, the next
// first, each with its time; the sign-up form takes her own sex.
TEST_F(NewMemberE2E, PartiesComeFirstAndTheSignUpFormKnowsTheMembersSex) {
  const std::string list = utf8(rawGet("/party.asp"));
  std::vector<std::string> coming, held;
  const std::regex line(
      R"(<td>(\d{4}-\d\d-\d\d \d\d:\d\d)</td><td>(<font color=#ff6600>即将举行</font>|已结束)</td>)");
  for (auto it = std::sregex_iterator(list.begin(), list.end(), line); it != std::sregex_iterator();
       ++it)
    ((*it)[2].str() == "已结束" ? held : coming).push_back((*it)[1].str());
  ASSERT_FALSE(coming.empty());
  ASSERT_FALSE(held.empty());
  EXPECT_LT(list.find("即将举行"), list.find("已结束"));
  EXPECT_TRUE(std::is_sorted(coming.begin(), coming.end()));
  EXPECT_TRUE(std::is_sorted(held.rbegin(), held.rend()));
  EXPECT_LT(held.front(), coming.front());

  const std::string woman = logIn("demo1@example.com", "demo123");
  EXPECT_TRUE(holds(rawGet("/partyid_1_partyjoin.html", cookie(woman)),
                    R"(<option value="女" selected>女</option>)"));
  const std::string man = logIn("demo2@example.com", "demo456");
  EXPECT_TRUE(
      holds(rawGet("/partyid_1_partyjoin.html", cookie(man)), R"(<option value="女">女</option>)"));
}

// The demo's gateway that cannot be reached (configured at a port where
// nothing answers): the sender learns why his notice did not go.
class UnreachableGatewayE2E : public e2e::ShippedSiteSuite<UnreachableGatewayE2E> {};

TEST_F(UnreachableGatewayE2E, TheSenderLearnsWhyTheNoticeDidNotGo) {
  const std::string demo2 = cookiePair(
      postLogin(
          gbkForm({{"username", "demo2@example.com"}, {"password", "demo456"}, {"log_type", "1"}}))
          .setCookie("kalimo"));
  ASSERT_FALSE(demo2.empty());
  const RawResponse sent =
      rawPost("/sendsave.asp", gbkForm({{"to", "1"}, {"id", "2"}, {"ifsms", "1"}}),
              "Cookie: " + demo2 + "\r\n");
  const std::string text = utf8(sent);
  EXPECT_NE(
      text.find("alert('已成功送出礼物\\n礼物通知短信未能发出：短信网关出错（无法连接到服务器"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("），没有收取短信费用。');window.close();"), std::string::npos);
  EXPECT_EQ(query("select emoney from zurva_user where userid=2"), "192.5");  // the gift only
  EXPECT_EQ(query("select count(*) from presentmx where senduserid=2 and userid=1"),
            "2");  // the seeded one too
  // The cause stands on the server's standard error too.
  const std::string log = server_->logText();
  EXPECT_NE(log.find("SendSms: 无法连接到服务器"), std::string::npos) << log;
}

}  // namespace
}  // namespace zurvafun

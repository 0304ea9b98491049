// The demo site's pages around the component's member interaction:
//
//   messages  "/mymessages.asp" (the member's conversations), "/message.asp"
//             (the conversation frameset: upper frame "showc" with the element
//             showcontent, the lower frame "userid_N_msgfal.html" that runs
//             msgfal, the send frame), "/messageshow.asp", "/messagesend.asp"
//             (stores a message as the site's send page does);
//   poll      the poll box on the home page (writePollBox), "/vote.asp" (the
//             vote page and, with stype=view, the results): one vote per
//             member and poll, and per browser for guests;
//   gifts     "/present.asp" (the catalogue), "/sendpresent.asp" (the gift
//             form, slw), "/sendsave.asp" (its handler, slw_action),
//             "/smsgateway.asp" (a stand-in SMS gateway that accepts
//             every message and lists the last ones);
//   parties   pages_party.cpp.
#include "site/pages_interaction.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/html.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/sms_gateway.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/pages.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace interaction_pages {

std::optional<std::int32_t> numberOf(const Variant& value) {
  const std::string text = Trim(value.str());
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::int32_t(std::stol(text));
}

}  // namespace interaction_pages

namespace {

using namespace interaction_pages;

// The nickname of a member, or std::nullopt when there is none.
std::optional<std::string> nicknameOf(db::Connection& conn, std::int32_t userid) {
  db::Recordset rs =
      conn.Execute(sql::statement("select nickname from zurva_user where userid={}", userid));
  if (rs.eof()) return std::nullopt;
  return rs(0).str();
}

// ------------------------------------------------------------------ messages

// Characters a message may hold.
constexpr long kMessageLimit = 500;

constexpr html::Fragment kConversationLine =
    "      <tr><td>{{nickname}}（{{userid}}）</td><td>{{unread}}</td><td>{{open}}</td></tr>\n";

void myMessages(serve::PageContext& p) {
  zurva z;
  const auto me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "站内短信");
  db::Connection conn = openDatabase(p);
  // The members the viewer has written to or heard from, with his unread count.
  std::map<std::int32_t, long> unread;
  for (db::Recordset rs = conn.Execute(
           sql::statement("select senduserid,new from Sendbooks where userid={}", *me));
       !rs.eof(); rs.MoveNext())
    unread[CLng(rs(0))] += eq(rs(1), 1) ? 1 : 0;
  for (db::Recordset rs =
           conn.Execute(sql::statement("select userid from Sendbooks where senduserid={}", *me));
       !rs.eof(); rs.MoveNext())
    unread.try_emplace(CLng(rs(0)), 0);

  SitePage page(z, p, {.title = "站内短信"});
  p.Response.Write("    <form method=\"get\" action=\"/message.asp\" target=\"_blank\">给会员发短信：会员编号 "
                   "<input type=\"text\" name=\"userid\" size=\"8\"> <input type=\"submit\" value=\"开始对话\"></form>\n");
  p.Response.Write("    <table class=\"bk\" cellspacing=\"1\" cellpadding=\"4\">\n"
                   "      <tr class=\"bg_l\"><td>会员</td><td>未读</td><td></td></tr>\n");
  for (const auto& [other, count] : unread) {
    const std::optional<std::string> nickname = nicknameOf(conn, other);
    if (!nickname) continue;
    p.Response.Write(kConversationLine(
        {{"nickname", *nickname},
         {"userid", other},
         {"unread", count},
         {"open", html::trusted(siteAnchor(z, "/message.asp?userid=" + std::to_string(other),
                                           "打开对话", "target=\"_blank\""))}}));
  }
  p.Response.Write("    </table>\n");
  page.end();
}

// A frameset is a document of its own kind: its head, then the frames.
// The lower frame puts its lines into the upper frame's showcontent, so it
// starts blank and the upper frame loads it (data-src) once showcontent
// is there: lines it marks as shown are never written into nothing.
constexpr html::Fragment kConversationFrames =
    R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Frameset//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>与 {{nickname}} 的对话 - {{site}}</title>
</head>
<frameset rows="*,0,150" border="0">
  <frame name="showc" src="/messageshow.asp">
  <frame name="msg" src="about:blank" data-src="{{lines}}">
  <frame name="send" src="{{send}}">
</frameset>
</html>
)";

// The frameset of one conversation.
void conversation(serve::PageContext& p) {
  zurva z;
  const auto me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "站内短信");
  const auto other = numberOf(p.Request("userid"));
  db::Connection conn = openDatabase(p);
  const std::optional<std::string> nickname = other ? nicknameOf(conn, *other) : std::nullopt;
  if (!nickname) return notePage(z, p, {.title = "站内短信", .frame = Frame::Window}, "没有这位会员。");
  const std::string id = std::to_string(*other);
  p.Response.Write(kConversationFrames({{"nickname", *nickname},
                                        {"site", siteName(p)},
                                        {"lines", siteLink(z, "userid_" + id + "_msgfal.html")},
                                        {"send", siteLink(z, "messagesend.asp?userid=" + id)}}));
}

// The upper frame: the lines the lower frame puts into showcontent.
void conversationLines(serve::PageContext& p) {
  zurva z;
  SitePage page(z, p, {.title = "对话", .frame = Frame::Inner});
  p.Response.Write(
      "<div id=\"showcontent\"></div>\n"
      "<script type=\"text/javascript\">(function(){var f=top.document.getElementsByName('msg')[0];"
      "if(f&&f.getAttribute('data-src')&&top.msg.location.href==='about:blank')"
      "top.msg.location.replace(f.getAttribute('data-src'));})();</script>\n");
  page.end();
}

// The lower frame.
void messageFrame(serve::PageContext& p) {
  zurva z;
  z.msgfal(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
}

constexpr html::Fragment kPartner = "<p class=\"partner\">与 {{profile}} 的对话</p>\n";
constexpr html::Fragment kSendForm = R"(<form method="post" action="{{action}}">
<textarea name="content" rows="4" cols="70"></textarea><br>
<input type="submit" value="发送"> {{note}} {{all}}
</form>
)";

// The send frame: the form, and storing what it posts.
void sendMessage(serve::PageContext& p) {
  zurva z;
  const bool sending = postedToAct(z, p);
  const auto me = loggedInMember(p);
  SitePage page(z, p, {.title = "发送短信", .frame = Frame::Inner});
  const auto other = numberOf(p.Request("userid"));
  db::Connection conn = openDatabase(p);
  if (!me || !other || !nicknameOf(conn, *other)) {
    page.note(me ? "没有这位会员。" : "请先登录。");
    page.end();
    return;
  }
  std::string note;
  if (sending) {
    const std::string content = p.Request.Form("content").str();
    const bool blacklisted =
        !conn
             .Execute(sql::statement(
                 "select id from Friends where (userid={} and senduserid={} or senduserid={} "
                 "and userid={}) and ifhmd=1",
                 *me, *other, *me, *other))
             .eof();
    if (blacklisted) {
      note = "黑名单！互相无法发送和查看消息！";
    } else if (Trim(content).empty() || Len(content) > kMessageLimit) {
      note = "请输入短信内容（限" + std::to_string(kMessageLimit) + "字）。";
    } else {
      // New to the receiver, not yet in either frame.
      conn.ExecuteAction(
          sql::statement("insert into Sendbooks(userid,senduserid,content,addtime,new,pop,sendnew) "
                         "values({},{},'{}','{}',1,0,1)",
                         *other, *me, sql::text(content), sql::text(Now())));
      note = "已发送。";
    }
  }
  const std::string id = std::to_string(*other);
  // Whom the conversation is with; his profile opens in a window of its own.
  p.Response.Write(kPartner(
      {{"profile", html::trusted(siteAnchor(z, "userinfo.asp?id=" + id, *nicknameOf(conn, *other),
                                            "target=\"_blank\""))}}));
  p.Response.Write(
      kSendForm({{"action", siteLink(z, "messagesend.asp?userid=" + id)},
                 {"note", note},
                 {"all", html::trusted(siteAnchor(z, "msgfal.asp?userid=" + id + "&menu=all",
                                                  "查看全部记录", "target=\"msg\""))}}));
  page.end();
}

// ------------------------------------------------------------------ poll

// Votes of the demo's polls since the server started: (poll, option) ->
// votes, and the members who voted in each poll.
std::mutex gVotesMutex;
std::map<std::pair<long, int>, long> gVotes;
std::set<std::pair<long, std::int32_t>> gVoters;

// The polls a browser voted in, their numbers joined by "," ("1,3"): a
// cookie the host signs, so a guest cannot make it forget a vote (only drop
// it, as a new browser would).
constexpr const char* kVotedCookie = "zurva_vote";
constexpr long kVotedCookieDays = 365;

// Counts the vote of the visitor for `choice` in poll `pollId`, unless he
// voted in it already: a member by his number, a guest by his browser's
// cookie. The cookie is written either way. True when it was counted.
bool countVote(serve::PageContext& p, long pollId, int choice) {
  const std::optional<std::int32_t> member = loggedInMember(p);
  std::vector<std::string> voted = Split(p.Request.Cookies(kVotedCookie)().str(), ",");
  const std::string poll = std::to_string(pollId);
  const bool browserVoted = std::find(voted.begin(), voted.end(), poll) != voted.end();
  bool counted = false;
  {
    std::lock_guard lock(gVotesMutex);
    counted = member ? gVoters.insert({pollId, *member}).second : !browserVoted;
    if (counted) ++gVotes[{pollId, choice}];
  }
  if (!browserVoted) {
    voted.push_back(poll);
    host::ResponseCookie& cookie = p.Response.Cookies(kVotedCookie);
    cookie = Join(voted, ",");
    cookie.Path = "/";
    cookie.Expires = DateAdd("d", kVotedCookieDays, Now());
  }
  return counted;
}

constexpr html::Fragment kPollTitle =
    "    <p><b>{{title}}</b></p>\n    <table class=\"bk\" cellpadding=\"4\">\n";
constexpr html::Fragment kPollOption =
    "      <tr><td>{{n}}.{{option}}</td><td>{{votes}} 票</td></tr>\n";

void votePage(serve::PageContext& p) {
  zurva z;
  // The poll box posts a vote; any other request shows the results.
  const bool voting = eq(p.Request.ServerVariables("REQUEST_METHOD"), "POST") &&
                      !eq(p.Request.QueryString("stype"), "view");
  if (voting) requireSitePost(z, p);
  db::Connection conn = openDatabase(p);
  db::Recordset poll =
      conn.Execute(sql::verbatim("select * from vote where IsChecked=1 order by id"));
  // The poll box opens the vote and its results in windows of their own.
  SitePage page(z, p, {.title = "投票", .frame = Frame::Window});
  if (poll.eof()) {
    page.note("暂时没有投票。");
    page.end();
    return;
  }
  const long pollId = CLng(poll("id"));
  auto optionText = [&](int n) { return poll("Select" + std::to_string(n)).str(); };
  if (voting) {
    const auto choice = numberOf(p.Request.Form("Options"));
    if (!choice || *choice < 1 || *choice > 8 || optionText(*choice).empty()) {
      page.note("请选择一个选项。");
      page.end();
      return;
    }
    p.Response.Write(countVote(p, pollId, *choice)
                         ? "    <p>感谢您的投票！</p>\n"
                         : "    <p>您已经投过票了，每人只能投一票。</p>\n");
  }
  p.Response.Write(kPollTitle({{"title", poll("Title").str()}}));
  for (int n = 1; n <= 8; ++n) {
    if (optionText(n).empty()) continue;
    long votes = 0;
    {
      std::lock_guard lock(gVotesMutex);
      votes = gVotes[{pollId, n}];
    }
    p.Response.Write(kPollOption({{"n", n}, {"option", optionText(n)}, {"votes", votes}}));
  }
  p.Response.Write("    </table>\n");
  page.end();
}

// ------------------------------------------------------------------ gifts

constexpr html::Fragment kGift =
    R"(      <tr><td><img src="/main_files/{{picture}}" width="60" height="60"></td><td><b>{{name}}</b><br>{{about}}</td><td>{{price}} E币</td><td>{{give}}</td></tr>
)";

void catalogue(serve::PageContext& p) {
  zurva z;
  const auto receiver = numberOf(p.Request("reid"));
  db::Connection conn = openDatabase(p);
  SitePage page(z, p, {.title = "礼物商店"});
  p.Response.Write("    <p>选一件礼物送给会员（金卡、银卡会员五折）。</p>\n    <table class=\"bk\" cellpadding=\"6\">\n");
  for (db::Recordset rs = conn.Execute(
           sql::verbatim("select id,name,emoney,across,imgs from present order by id"));
       !rs.eof(); rs.MoveNext()) {
    std::string form = "sendpresent.asp?id=" + std::to_string(CLng(rs("id")));
    if (receiver) form += "&reid=" + std::to_string(*receiver);
    p.Response.Write(
        kGift({{"picture", rs("imgs").str()},
               {"name", rs("name").str()},
               {"about", rs("across").str()},
               {"price", rs("emoney").str()},
               {"give", html::trusted(siteAnchor(z, form, "赠送", "target=\"_blank\""))}}));
  }
  p.Response.Write("    </table>\n");
  page.end();
}

// The scripts the gift form calls.
constexpr std::string_view kGiftScripts = R"(function chkform(){return true;}
function chksubmit(){var f=document.form1;if(f.to&&f.to.type!='hidden'&&f.to.value==''&&!f.list){alert('请输入会员编号');return false;}return true;}
function chk_submit(){}
function check_str_num(field,max,id){var left=max-field.value.length;if(left<0){field.value=field.value.substring(0,max);left=0;}document.getElementById(id).innerHTML='（还可输入'+Math.floor(left/2)+'个汉字）';}
function DrawImage(img,w,h){if(img.width>w){img.height=img.height*w/img.width;img.width=w;}if(img.height>h){img.width=img.width*h/img.height;img.height=h;}}
)";

void giftForm(serve::PageContext& p) {
  zurva z;
  const Variant form = z.slw(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  // The catalogue opens the form in a window of its own, which the message
  // of the handler closes.
  SitePage page(z, p, {.title = "赠送礼物", .frame = Frame::Window, .script = kGiftScripts});
  p.Response.Write(form);
  page.end();
}

// The number of the newest gift that member `sender` gave (0 for none).
long newestGiftOf(serve::PageContext& p, std::int32_t sender) {
  db::Connection conn = openDatabase(p);
  return CLng(conn.Execute(
      sql::statement("select isnull(max(id),0) from presentmx where senduserid={}", sender))(0));
}

void sendGift(serve::PageContext& p) {
  zurva z;
  requireSitePost(z, p);
  // The price of one SMS notice, the site's name and address: site settings.
  const auto settings = siteSettings(p.Application);
  const std::optional<std::int32_t> sender = loggedInMember(p);
  const long before = sender ? newestGiftOf(p, *sender) : 0;
  SitePage page(z, p, {.title = "赠送礼物", .frame = Frame::Window});
  try {
    z.slw_action(settings->baseInfo(15), settings->baseInfo(0), settings->baseInfo(1),
                 p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  } catch (const VbError& e) {
    // The gifts are stored before the notices go out: an error after that
    // came from the SMS gateway, which could not be asked. The sender learns
    // why, and that the notice cost him nothing; the log keeps it too.
    if (e.isRequestEnd() || !sender || newestGiftOf(p, *sender) == before) throw;
    interaction::logSmsFailure(e.description());
    // The message lands in a script string: its line break written as "\n".
    static constexpr html::Fragment kNoticeFailed =
        "已成功送出礼物\\n礼物通知短信未能发出：短信网关出错（{{error:js}}），没有收取短信费用。";
    z.Msg(kNoticeFailed({{"error", e.description()}}).str(), "-2", 1);
  }
  page.end();
}

// A stand-in for the SMS gateway: accepts every message ("true") and keeps
// the last ones for the listing.
std::mutex gSmsMutex;
std::deque<std::string> gSmsSent;
constexpr std::size_t kSmsKept = 20;
constexpr html::Fragment kSmsLine = "      <li>{{line}}</li>\n";

void smsGateway(serve::PageContext& p) {
  if (eq(p.Request.QueryString("show"), "1")) {
    zurva z;
    SitePage page(z, p, {.title = "短信网关（演示）"});
    p.Response.Write("    <p>演示站不真正发送短信，这里列出最近“发出”的短信。</p>\n    <ul>\n");
    {
      std::lock_guard lock(gSmsMutex);
      for (const std::string& line : gSmsSent) p.Response.Write(kSmsLine({{"line", line}}));
    }
    p.Response.Write("    </ul>\n");
    page.end();
    return;
  }
  {
    std::lock_guard lock(gSmsMutex);
    gSmsSent.push_front(dateTimeText(clockNow()) + " → " + p.Request.QueryString("mobile").str() + "：" +
                        p.Request.QueryString("text").str());
    if (gSmsSent.size() > kSmsKept) gSmsSent.pop_back();
  }
  p.Response.ContentType = "text/plain";
  p.Response.Write("true");
}

}  // namespace

std::string demoSmsGateway(std::string_view serverUrl) {
  std::string base(serverUrl);
  for (const auto& [everywhere, loopback] :
       {std::pair{"://0.0.0.0:", "://127.0.0.1:"}, std::pair{"://[::]:", "://[::1]:"}})
    if (const std::size_t at = base.find(everywhere); at != std::string::npos)
      base.replace(at, std::string_view(everywhere).size(), loopback);
  if (!base.ends_with('/')) base += '/';
  return base + "smsgateway.asp?user={username}&pass={password}&mobile={mobile}&text={message}";
}

void writePollBox(zurva& z, serve::PageContext& p) {
  p.Response.Write("    <div class=\"bk pollbox\"><b>投票</b>" +
                   z.d_vote(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName).str() + "</div>\n");
}

void registerInteractionPages(serve::PageRegistry& pages) {
  pages.add("/mymessages.asp", myMessages);
  pages.add("/message.asp", conversation);
  pages.add("/sendmsg.asp", conversation);  // the member cards' message link
  pages.add("/messageshow.asp", conversationLines);
  pages.add("/msgfal.asp", messageFrame);
  pages.add("/messagesend.asp", sendMessage);
  pages.add("/vote.asp", votePage);
  pages.add("/present.asp", catalogue);
  pages.add("/sendpresent.asp", giftForm);
  pages.add("/sendsave.asp", sendGift);
  pages.add("/smsgateway.asp", smsGateway);
  interaction_pages::registerPartyPages(pages);
  pages.list("/mymessages.asp", "站内短信（会员之间的对话）");
  pages.list("/present.asp", "礼物商店（赠送礼物，可发短信通知）");
  pages.list("/party.asp", "聚会活动（报名、组织、总结）");
  pages.list("/vote.asp?stype=view", "投票结果");
  pages.list("/smsgateway.asp?show=1", "短信网关（演示）：最近发出的短信");
}

}  // namespace zurvafun::site

// The lower frame of the one-to-one conversation page. Each load runs the
// new-message pass (lines not yet put into the viewer's upper frame are
// appended there); with menu=all the history view then replaces the upper
// frame's content with the whole conversation. The frame reloads itself every
// 10 seconds. Flags of a Sendbooks row: new (the receiver has not read the
// text), pop (the line is not yet in the receiver's frame: 0), sendnew (the
// line is not yet in the sender's frame: 1).
//
// The lines go into a single-quoted script string, so every member text in
// them (nicknames, message texts) is escaped for HTML and then for the string.
#include <cstdint>
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/html.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/request_checks.h"

namespace zurvafun {

namespace {

// Rows a pass examines at most.
constexpr long kMaxRows = 10000;

constexpr html::Fragment kFrameHead =
    "<script language='JavaScript' type='text/javascript'>function fal(){location.href='{{reload:js}}';}"
    "setTimeout(\"fal();\",10000);</script>"
    "<meta http-equiv='Content-Type' content='text/html; charset=gb2312'>"
    "<Body onscroll='top.window.showc.document.body.scrollTop=5000'>";

// Appends the lines to the upper frame's content, or replaces it with them.
constexpr html::Fragment kAppendScript =
    "<script language='JavaScript' type='text/javascript'>"
    "top.window.showc.document.getElementById('showcontent').innerHTML="
    "top.window.showc.document.getElementById('showcontent').innerHTML+'{{lines}}';"
    "document.body.scrollTop=5000</script>";
constexpr html::Fragment kReplaceScript =
    "<script language='JavaScript' type='text/javascript'>"
    "top.window.showc.document.getElementById('showcontent').innerHTML='{{lines}}';"
    "document.body.scrollTop=5000</script>";

constexpr std::string_view kFrameEnd = "</Body>\r\n";

constexpr std::string_view kBlacklisted = "黑名单！互相无法发送和查看消息！";
constexpr std::string_view kWomenRestricted = "银卡以下的女会员无法查看新的留言！";
constexpr std::string_view kMenRestricted = "银卡以下的男会员无法查看新的留言！";
constexpr std::string_view kAllRestricted = "银卡以下的会员无法查看新的留言！";

// Member text inside the lines: HTML, inside a single-quoted script string.
std::string forLines(std::string_view text) { return jsEscape(htmlEscape(text)); }

// The first field of a member's nickname row, or std::nullopt without a row.
std::optional<Variant> nicknameOf(db::Connection& conn, std::int32_t userid) {
  db::Recordset rs =
      conn.Execute(sql::statement("select nickname from [zurva_user] where userID={}", userid));
  if (rs.eof()) return std::nullopt;
  return rs(0);
}

class Conversation {
 public:
  Conversation(zurva& z, db::Connection& conn, const Viewer& viewer, const host::Application& app,
               std::int32_t me, std::int32_t other, std::string myNickname,
               std::string otherNickname)
      : z_(z),
        conn_(conn),
        viewer_(viewer),
        application_(app),
        me_(me),
        other_(other),
        myNickname_(forLines(myNickname)),
        otherNickname_(forLines(otherNickname)) {}

  // Whether either member blacklisted the other.
  void readBlacklist() {
    db::Recordset rs;
    rs.Open(sql::statement("select  * from [Friends] where (userid={} and senduserid={} or "
                           "senduserid={} and userid={}) and ifhmd=1",
                           me_, other_, me_, other_),
            conn_, db::adOpenKeyset, db::adLockReadOnly);
    blacklisted_ = !rs.eof();
  }

  // The lines that have not yet reached either frame, newest first; the
  // append script when the conversation has any row.
  std::string newMessages() {
    db::Recordset rs = conversation(true);
    if (rs.eof()) return {};
    std::string lines;
    for (long examined = 0; !rs.eof() && examined < kMaxRows; rs.MoveNext(), ++examined) {
      const Variant id = rs("id");
      if (eq(rs("new"), 1) && eq(rs("pop"), 0) && isMe(rs("userid"))) {
        lines += header(true, rs("addtime"));
        if (blacklisted_) {
          lines += kBlacklisted;
          flag("update [Sendbooks] set pop=1 where ID={}", id);
        } else if (const std::string_view notice = newMessageNotice(); !notice.empty()) {
          lines += notice;
          flag("update [Sendbooks] set pop=1 where ID={}", id);
        } else {
          lines += shown(rs("content"));
          flag("update [Sendbooks] set new=0,pop=1 where ID={}", id);
        }
      }
      if (eq(rs("sendnew"), 1) && isMe(rs("senduserid"))) lines += sent(rs);
    }
    return kAppendScript({{"lines", html::trusted(lines)}}).str();
  }

  // The whole conversation, oldest first; the replacing script when the
  // conversation has any row.
  std::string history() {
    db::Recordset rs = conversation(false);
    if (rs.eof()) return {};
    std::string lines;
    for (long examined = 0; !rs.eof() && examined < kMaxRows; rs.MoveNext(), ++examined) {
      if (isMe(rs("userid"))) {
        const bool unread = eq(rs("new"), 1);
        lines += header(true, rs("addtime"));
        if (unread && blacklisted_) {
          lines += kBlacklisted;
        } else if (const std::string_view notice = unread ? historyNotice() : std::string_view();
                   !notice.empty()) {
          lines += notice;
        } else {
          flag("update [Sendbooks] set new=0 where ID={}", rs("id"));
          lines += shown(rs("content"));
        }
      }
      if (isMe(rs("senduserid"))) lines += sent(rs);
    }
    return kReplaceScript({{"lines", html::trusted(lines)}}).str();
  }

 private:
  // The rows between the two members by time of sending, newest or oldest first.
  db::Recordset conversation(bool newestFirst) {
    db::Recordset rs;
    const sql::Statement byTime = newestFirst ? sql::verbatim("desc") : sql::Statement();
    rs.Open(sql::statement("select * from Sendbooks  where (userid={} and senduserid={} or "
                           "senduserid={} and userid={}) order by addtime {}",
                           me_, other_, me_, other_, byTime),
            conn_, db::adOpenKeyset, db::adLockReadOnly);
    return rs;
  }

  bool isMe(const Variant& member) const { return eq(member, Variant(long(me_))); }

  void flag(sql::Format<sql::Number> update, const Variant& id) {
    conn_.Execute(sql::statement(update, sql::lng(id)));
  }

  // The line header: who wrote the line (the other member in red, the viewer
  // in blue) and when.
  std::string header(bool received, const Variant& addtime) const {
    std::string line = received ? "<br><FONT color=#FF0000><STRONG>" + otherNickname_ + "&nbsp;"
                                : "<br><FONT color=#0033FF><STRONG>" + myNickname_ + "&nbsp;&nbsp;";
    line += "</STRONG></FONT>&nbsp;&nbsp;";
    line += forLines(addtime.str());
    line += "<br>";
    return line;
  }

  // A message text as shown: bad words starred, then made HTML.
  std::string shown(const Variant& content) {
    Variant text = content;
    text = z_.ChkBadWords(text);
    return jsEscape(z_.HtmlOut(text).str());
  }

  // A line the viewer sent, echoed into his own frame.
  std::string sent(db::Recordset& rs) {
    std::string line = header(false, rs("addtime"));
    flag("update [Sendbooks] set sendnew=0 where ID={}", rs("id"));
    line += shown(rs("content"));
    return line;
  }

  // Only ordinary members (grade 1) are restricted.
  bool restrictable() const { return eq(viewer_.member("grade"), 1); }

  // The message read restriction: 0 none (in the new-message pass), 1 women,
  // 2 men. Read at its first use.
  const Variant& restriction() {
    if (!restriction_)
      restriction_ = Variant(siteSettings(application_)->baseInfo(24));
    return *restriction_;
  }

  // The notice that stands in for the text of a new received message, or "".
  // A restriction value other than 0, 1 and 2 restricts nobody.
  std::string_view newMessageNotice() {
    if (!restrictable()) return {};
    if (eq(restriction(), 1) && eq(viewer_.member("sex"), 577)) return kWomenRestricted;
    if (eq(restriction(), 2) && eq(viewer_.member("sex"), 576)) return kMenRestricted;
    return {};
  }

  // The same for an unread received message in the history view, where
  // restriction 0 holds back every ordinary member; a viewer the restriction
  // does not name reads the text, as in the new-message pass.
  std::string_view historyNotice() {
    if (!restrictable()) return {};
    if (eq(restriction(), 0)) return kAllRestricted;
    return newMessageNotice();
  }

  zurva& z_;
  db::Connection& conn_;
  const Viewer& viewer_;
  const host::Application& application_;
  const std::int32_t me_;
  const std::int32_t other_;
  const std::string myNickname_;
  const std::string otherNickname_;
  bool blacklisted_ = false;
  std::optional<Variant> restriction_;
};

}  // namespace

void zurva::msgfal(const Variant& SqlLocalName, const Variant& SqlUserName,
                   const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  logged([&] {
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    trapOff([&] {
      // Both members are checked before the frame is written: a member number
      // that is no number, or a member who does not exist, gets the message
      // instead of a half-written frame that would reload itself.
      const Viewer viewer(Request());
      const std::int32_t me = viewer.userid();
      const std::int32_t other = interaction::guardedOrRefuse(*this, Request()("userid"));
      const std::optional<Variant> myNickname = nicknameOf(conn, me);
      const std::optional<Variant> otherNickname = nicknameOf(conn, other);
      if (!myNickname || !otherNickname) interaction::endWithMessage(*this, "请求错误！", "-1", 1);

      Variant reload = "userid_" + std::to_string(other) + "_msgfal.html";
      Response().Write(kFrameHead({{"reload", showurl(reload).str()}}));
      clearcookies();

      Conversation talk(*this, conn, viewer, Application(), me, other, myNickname->str(),
                        otherNickname->str());
      talk.readBlacklist();
      Response().Write(talk.newMessages());
      if (eq(Request()("menu"), "all")) Response().Write(talk.history());
      Response().Write(kFrameEnd);
    });
  });
}

}  // namespace zurvafun

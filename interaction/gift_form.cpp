// The gift form: one catalogue gift at the price the member pays, the
// receiver (typed in, or preset by the request value reid), a message, the
// member's friends six to a page with a tick box each, the SMS notice box.
// It posts to "sendsave.asp", whose page runs slw_action.
#include <cstdint>
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/gifts.h"
#include "interaction/request_checks.h"

namespace zurvafun {

namespace {

using html::trusted;

// Friends on one page of the list.
constexpr long kFriendsPerPage = 6;

// The orange dot before each row label.
constexpr std::string_view kDot = "<span class=unnamed11><font color=#f26522>·</font></span>";

constexpr html::Fragment kFormHead =
    "<table width=400 height=250 border=0 cellPadding=0 cellSpacing=4>"
    "<form name=form1 onSubmit=\"return chkform()\" action={{action}} "
    "onSubmit=\"javascript:return chksubmit();\" method=post>{{crlf}}";

constexpr html::Fragment kGiftRows =
    "<tr><td rowspan=7 width=150 align=center><img id=photo src=\"main_files/{{imgs}}\" "
    "onload=\"DrawImage(document.all.photo,'150','150')\" border=0></td>"
    "<td>{{dot}}名称：</td><td>{{name}}</td></tr>{{crlf}}"
    "<tr><td>{{dot}}价值：</td><td><font color=#ff0000>{{price}}</font>E币</td></tr>{{crlf}}"
    "<tr><td>{{dot}}说明：</td><td>{{across}}</td></tr>{{crlf}}";

constexpr html::Fragment kTypedReceiver =
    "<tr><td>{{dot}}赠与：</td><td>\t<input name=to maxLength=10 size=10><br>\t输入会员编号<br>\t</td></tr>{{crlf}}";

constexpr html::Fragment kPresetReceiver =
    "<tr><td>{{dot}}赠与：</td><td><font color=#ff0000><input name=to value=\"{{receiver}}\" "
    "readonly=\"readonly\" type=hidden style=\"border:1px solid #b9b9b9;color: #b9b9b9;\">"
    "{{nickname}}</font></TD></tr>{{crlf}}"
    "<tr><td></td><td>会员编号：{{number}}</td></tr>{{crlf}}";

constexpr html::Fragment kMessageRow =
    "<tr><td>{{dot}}赠言：</td><td><!--您现在是普通会员，因此不能赠言！如果要附言请先"
    "<a href=\"/payment/{{upgrade}}\" target=_blank>升级为银卡会员&gt;&gt;</a>"
    "<a href=\"/payment/{{about}}\" target=_blank>银卡会员介绍>></a>-->"
    "<textarea name=des rows=4 cols=25 onkeyup=\"check_str_num(this,200,'detail')\"></textarea>"
    "<span id=detail>（限100个汉字）</span></td></tr>{{crlf}}";

constexpr html::Fragment kLastRow =
    "<tr><td colspan=2 align=center><input type=hidden name=emoney value=\"{{price}}\">"
    "<input type=hidden name=id value=\"{{id}}\">{{crlf}}{{friends}}{{crlf}}"
    "\t<input type=submit name=Submit value=立即送出 class=button_3 onclick=chk_submit()> "
    "<font color=red>发送短信：</font><input type=checkbox name=ifsms value=1> "
    "<input type=button name=Submit2 value=取消 class=button_3 onclick=window.close()>"
    "</td></tr></form></table>";

constexpr std::string_view kNoFriends = "<BR><BR>暂时还没有您的好友...　<br>";

constexpr std::string_view kFriendsHead =
    "<table width=100% border=0 cellspacing=1 cellpadding=2>"
    "<tr><td><b><font color=#007b5a>附送好友</font></b></td><td></td><td></td><td></td><td></td></tr>"
    "<tr><td><font color=#245631>选择</font></td><td><font color=#245631>编号</font></td>"
    "<td><font color=#245631>昵称</font></td><td><font color=#245631>认证级别</font></td>"
    "<td><font color=#245631>会员等级</font></td></tr>\r\n";

constexpr html::Fragment kFriendRow =
    "<tr><td><input type=checkbox name=list value={{friend}}></td><td>{{number}}</td>"
    "<td bgcolor=#EFEFEF align=center><font color=red>{{nickname}}</font></td>"
    "<td><a href=\"/{{trustPage}}\" target=_blank><img src=\"/images/s_blue_{{trust}}.gif\" "
    "alt=\"身份验证等级{{trust}}钻\" border=0></a></td><td>{{grade}}</td></tr>{{crlf}}";

constexpr html::Fragment kPagingBar =
    "<tr><td colspan=5>第 <b><font color=ff0000>{{page}}</font></b> / <b><font color=ff0000>{{pages}}"
    "</font></b> 页 &nbsp;共 <b><font color=ff0000>{{records}}</font></b> 条信息 "
    "<font color=A5537B>转至</font><select name=turnpage onchange=\"location='{{jump}}\">{{options}}"
    "</select>页</td></tr></table>";

constexpr html::Fragment kPageOption = "<option value={{page}}{{selected}}>{{page}}</option>";

struct GiftForm;

}  // namespace

// slw's steps: the gift and receiver rows, the friends with their paging bar.
template <>
struct MethodSteps<GiftForm> {
  zurva& z;
  db::Connection& conn;
  std::int32_t me;
  std::int16_t giftId;
  std::optional<std::int32_t> receiver;  // preset by the request value reid

  // The form's head, the gift, the receiver and the message rows.
  std::string giftRows(const db::Recordset& gift, int grade, const Variant& receiverNickname) {
    const html::Html dot = trusted(kDot);
    std::string form = kFormHead({{"action", unescapedSiteLink(z, "sendsave.asp")}}).str();
    kGiftRows.appendTo(form, {{"imgs", gift("imgs")},
                              {"dot", dot},
                              {"name", gift("name")},
                              {"price", interaction::priceFor(gift("emoney"), grade)},
                              {"across", gift("across")}});
    if (receiver) {
      kPresetReceiver.appendTo(form, {{"dot", dot},
                                      {"receiver", long(*receiver)},
                                      {"nickname", receiverNickname},
                                      {"number", trusted(z.gradeshow(*receiver))}});
    } else {
      kTypedReceiver.appendTo(form, {{"dot", dot}});
    }
    kMessageRow.appendTo(form, {{"dot", dot},
                                {"upgrade", unescapedSiteLink(z, "ReadyBuy.asp")},
                                {"about", unescapedSiteLink(z, "readybuy.asp")}});
    return form;
  }

  // The friends: accepted friendships in either direction, newest first, on
  // the requested page, with the paging bar.
  std::string friends() {
    db::Recordset rs;
    rs.Open(
        sql::statement("select id,userID,senduserID,new,addtime from friends where (userid={} or "
                       "senduserid={}) and ifok=1  order by addtime desc",
                       me, me),
        conn, db::adOpenKeyset, db::adLockReadOnly);
    if (rs.eof()) return std::string(kNoFriends);
    rs.PageSize = kFriendsPerPage;
    const Variant requested = z.Request()("Page");
    z.pages(requested);
    const long page = numbers::roundedPage(requested, rs.PageCount());
    rs.setAbsolutePage(page);
    std::string friends(kFriendsHead);
    for (long shown = 0; shown < kFriendsPerPage && !rs.eof(); ++shown, rs.MoveNext())
      appendFriend(friends,
                   eq(rs("senduserID"), Variant(long(me))) ? rs("userID") : rs("senduserID"));
    appendPagingBar(friends, page, rs.PageCount(), rs.RecordCount());
    return friends;
  }

 private:
  void appendFriend(std::string& friends, const Variant& friendId) {
    const sql::Number who = sql::lng(friendId);
    Variant nickname = interaction::firstFieldOrNull(
        conn, sql::statement("select nickname from Zurva_user where userID={}", who));
    nickname = z.ChkBadWords(nickname);
    const Variant trust = interaction::firstFieldOrNull(
        conn, sql::statement("select trust from Zurva_user where userID={}", who));
    const Variant memberGrade = interaction::firstFieldOrNull(
        conn, sql::statement("select grade from Zurva_user where userID={}", who));
    kFriendRow.appendTo(friends, {{"friend", friendId},
                                  {"number", trusted(z.gradeshow(friendId))},
                                  {"nickname", trusted(z.HtmlOut(nickname))},
                                  {"trustPage", unescapedSiteLink(z, "xjrz.asp")},
                                  {"trust", trust},
                                  {"grade", trusted(z.dj(memberGrade))}});
  }

  // The paging query keeps the gift and the preset receiver; the page
  // number is added by the jump select's script.
  void appendPagingBar(std::string& friends, long page, long pageCount, long recordCount) {
    std::string query = "?id=" + std::to_string(giftId);
    if (receiver) query += "&reid=" + std::to_string(*receiver);
    z.url_ = query;
    std::string options;
    for (long p = 1; p <= pageCount; ++p)
      kPageOption.appendTo(options,
                           {{"page", p}, {"selected", trusted(p == page ? " selected" : "")}});
    kPagingBar.appendTo(
        friends,
        {{"page", page},
         {"pages", pageCount},
         {"records", recordCount},
         {"jump", unescapedSiteLink(z, z.Request().ServerVariables("SCRIPT_NAME").str() + query +
                                           "&page='+this.options[this.selectedIndex].value")},
         {"options", trusted(options)}});
  }
};

Variant zurva::slw(const Variant& SqlLocalName, const Variant& SqlUserName,
                   const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    const Viewer viewer(Request());
    const std::int32_t me = interaction::loggedInMemberOrRefuse(*this, viewer);
    const int grade = CInt(viewer.member("grade"));

    db::Connection conn;
    open(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);

    // The request's numbers, converted before any statement or link.
    std::optional<std::int32_t> receiver;
    if (!eq(Request()("reid"), ""))
      receiver = interaction::guardedOrRefuse(*this, Request()("reid"));
    const std::int16_t giftId = interaction::guarded16OrRefuse(*this, Request()("id"));
    db::Recordset gift;
    gift.Open(sql::statement("select * from present where id={}", giftId), conn, db::adOpenKeyset,
              db::adLockReadOnly);
    if (gift.eof()) interaction::endWithMessage(*this, "请求错误！", "-1", 1);
    Variant receiverNickname;
    if (receiver) {
      db::Recordset rs = conn.Execute(
          sql::statement("select nickname from Zurva_user where userID={}", *receiver));
      if (rs.eof()) interaction::endWithMessage(*this, "请求错误！", "-1", 1);
      receiverNickname = rs(0);
    }

    MethodSteps<GiftForm> steps{*this, conn, me, giftId, receiver};
    std::string form = steps.giftRows(gift, grade, receiverNickname);
    kLastRow.appendTo(
        form,
        {{"price", gift("emoney")}, {"id", long(giftId)}, {"friends", trusted(steps.friends())}});
    result = form;
  });
}

}  // namespace zurvafun

#include "members/member_card.h"

#include <string>
#include <string_view>

#include "framework/html.h"
#include "framework/links.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "members/profile_labels.h"
#include "model/code_tables.h"
#include "model/member_record.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun::members {

namespace {

using html::trusted;

// The frame and the photo cell, up to the right cell's first row.
constexpr html::Fragment kCardTop =
    R"~(<table align="center" bgcolor="#ffffff" border="0" cellpadding="0" cellspacing="0" width="90%">)~"
    "{{crlf}}<tr>{{crlf}}"
    R"~(<td align="center"><table border="0" cellpadding="0" cellspacing="0" width="100%">)~"
    "{{crlf}}<tr>{{crlf}}"
    R"~(<td><table bgcolor="#e8e8e8" border="0" cellpadding="1" cellspacing="1" width="100%">)~"
    "{{crlf}}<tr>{{crlf}}"
    R"~(<td bgcolor="#fafafa"> <table border="0" cellpadding="3" cellspacing="0" width="100%">)~"
    "{{crlf}}<tr>{{crlf}}"
    R"~(<td valign="middle" width="25%"><table bgcolor="#cfcfcf" border="0" cellpadding="1" cellspacing="1" width="126">)~"
    "{{crlf}}<tr>{{crlf}}"
    R"~(<td bgcolor="#ffffff"><table align="center" border="0" cellpadding="0" cellspacing="2" width="126">)~"
    "{{crlf}}<tr>{{crlf}}"
    R"~(<td align="center" height="150" width="129"><a href="/{{profile}}" target="_blank">{{photo}}</td>)~"
    "{{crlf}}</tr>{{crlf}}</table></td>{{crlf}}</tr>{{crlf}}</table>{{crlf}}"
    R"~(<table border="0" cellpadding="0" cellspacing="0" width="130"><tr><td align="right"><img src="images/hycz_30.gif" height="13" width="111"></td></tr></table>)~"
    "</td>{{crlf}}"
    R"~(<td bgcolor="#ffffff" width="2">&nbsp;</td>)~"
    "{{crlf}}";

constexpr html::Fragment kCardFacts =
    R"~(<td colspan="8" align="center" valign="top"><table border="0" cellpadding="0" cellspacing="0" width="100%">)~"
    "{{crlf}}<tr>{{crlf}}"
    R"~(<td height="26" width="18%"><font color="#4f4f4f"> <a href="/{{profile}}" target="_blank"><font color="#ff6600">{{nickname}}</font></a></font></td>)~"
    "{{crlf}}"
    R"~(<td width="50%"><font color="#4f4f4f">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<a href="/{{upgrade}}" target="_blank">{{badge}}</a>)~"
    R"~(&nbsp;&nbsp;&nbsp;&nbsp;<a href="/{{trustPage}}" target="_blank"><img src="Images/s_blue_{{trust}}.gif" border="0"></a></a></font></td>)~"
    "{{crlf}}"
    R"~(<td width="32%"><font color="#4f4f4f"></font></td>)~"
    "{{crlf}}</tr>{{crlf}}"
    R"~(<tr><td colspan="3" height="10"><img src="images/hycz_27.gif" height="1" width="410"></td></tr>)~"
    "{{crlf}}"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">{{sex}}，{{age}}(岁)，{{crlf}}{{occupation}}</font></td></tr>)~"
    "{{crlf}}"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f"> {{household}}，{{marital}}，{{education}}， {{height}}cm，{{weight}}kg，{{nativeRegion}}</font></td></tr>)~"
    "{{crlf}}"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">相貌自评： {{looks}}　　　 </font></td></tr>)~"
    "{{crlf}}"
    R"~(<tr valign="top"> <td colspan="3" height="1"><table border="0" cellpadding="0" cellspacing="0" width="100%"><tr>)~"
    R"~(<td class="12x18" height="50"><font color="#4f4f4f"> &nbsp;&nbsp;&nbsp;&nbsp;{{introduction}}</font></td>)~"
    "</tr></table></td></tr>{{crlf}}";

constexpr html::Fragment kCardActions =
    R"~(<tr><td colspan="3" height="22"><table border="0" cellpadding="0" cellspacing="0" width="100%"><tr align="center"> )~"
    "{{crlf}}"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" height="7" width="6">)~"
    R"~(<a href="javascript:void(0);" title="“发送消息”是网站会员间联系的主要方式。发送消息给对方，对方上线后就可看到。若对方当前在线，消息会在对方的屏幕上自动弹出，双方可即时聊天。" )~"
    R"~(onClick="javescript:window.open('{{message}}','_blank','toolbar=0,menubar=0,scrollbars=0,width=512,height=370')" class="black_nounderline">)~"
    R"~(  <font color="#ff6600">给TA留言</font></a></td>)~"
    "{{crlf}}"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" height="7" width="6">)~"
    R"~(<a href="javascript:void(0);" title="请求加对方为好友，若对方接受后，你就可看到对方设为“好友可见”的照片和个人资料。" )~"
    R"~(onClick="javascript:if (confirm('确定添加TA为好友吗？')){window.open('{{friend}}','_blank','1,1,top=1000')};return false;" class="black_nounderline" target="_blank">申请好友</a></td>)~"
    "{{crlf}}"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" height="7" width="6">)~"
    R"~(<a href="javascript:void(0);" title="“暗送秋波”功能，是一种不采用文字的好感表达方式。发送后，系统会提示对方收到一个新秋波。" )~"
    R"~(class="black_nounderline" onClick="javascript:if (confirm('确定发送秋波吗？')){window.open('{{wink}}','_blank','width=500,height=200')};return false;">暗送秋波</a></td>)~"
    "{{crlf}}"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" height="7" width="6">)~"
    R"~(<a href="javascript:void(0);" title="将自己感兴趣的会员加入“我的收藏”，今后可直接在自己的收藏夹中查看该会员。" )~"
    R"~(class="black_nounderline" onClick="javascript:if (confirm('确定加入我的收藏中吗？')){window.open('myfiles/{{favourite}}','_blank','1,1,top=1000');};return false;">加入收藏</a></td>)~"
    "{{crlf}}"
    R"~(<td align="right"> <img src="images/index_2_1.gif" height="7" width="6">)~"
    R"~(<a href="javascript:void(0);" title="“不再搜出TA”后，搜索结果中将不再显示该会员。" )~"
    R"~(class="black_nounderline" onClick="javascript:if (confirm('确定不在搜出TA吗？')){window.open('{{hide}}','_blank','1,1,top=1000');};return false;">不再搜出TA</a></td>)~"
    "{{crlf}}</tr></table></td></tr>{{crlf}}"
    "</table></td>{{crlf}}"
    "</tr>{{crlf}}</table></td>{{crlf}}</tr>{{crlf}}</table></td>{{crlf}}</tr>{{crlf}}</table></td>{{crlf}}"
    "</tr><tr>{{crlf}}"
    R"~(<td height="18">)~"
    "{{crlf}}</td>{{crlf}}</tr>{{crlf}}";

// 1 when the photo cell may show a friends-only photo: an accepted
// friendship in either direction, or the member himself. A pending request
// counts only for members whose photo is not friends-only (it matters there
// for nothing else).
int friendshipFlag(db::Connection& conn, long memberId, const CardViewer& viewer, const Variant& ifphotolook) {
  if (!viewer.id) return 0;
  if (*viewer.id == memberId) return 1;
  db::Recordset rs = conn.Execute(sql::statement(
      "select ifok from [friends] where userid={} and senduserid={} or userid={} and senduserid={}",
      memberId, *viewer.id, *viewer.id, memberId));
  if (rs.eof()) return 0;
  if (!eq(ifphotolook, 3)) return 1;
  for (; !rs.eof(); rs.MoveNext())
    if (!eq(rs("ifok"), 0)) return 1;
  return 0;
}

// Age in years from the first four characters of userdata; "" when they are
// not a year.
std::string ageText(const std::string& userdata) {
  const std::optional<std::int32_t> year =
      numbers::digits(Variant(member::birthYearText(userdata)));
  if (!year || Len(member::birthYearText(userdata)) != 4) return "";
  return std::to_string(Year(Now()) - *year);
}

// The self-introduction: encoded, line breaks as two blanks, trimmed, bad
// words starred, cut at 200 characters.
std::string introduction(zurva& z, const Variant& aboutus) {
  if (aboutus.isNull()) return "";
  Variant text = Trim(Replace(host::Server::HTMLEncode(aboutus.str()), "\r\n", "  "));
  text = z.ChkBadWords(text);
  return z.showstr(text, 200).str();
}

}  // namespace

void appendMemberCard(std::string& out, zurva& z, db::Connection& conn, const db::Recordset& row,
                      const CardViewer& viewer) {
  const Variant userid = row("userid");
  const long memberId = CLng(userid);
  const std::string id = std::to_string(memberId);
  const Variant ifphotolook = row("ifphotolook");
  const html::Html profile = unescapedSiteLink(z, "id_" + z.idasc(memberId).str() + "_por.html");
  const std::string userdata = row("userdata").str();
  const member::UserData data = member::readUserData(userdata);
  const int friendFlag = friendshipFlag(conn, memberId, viewer, ifphotolook);

  kCardTop.appendTo(
      out, {{"profile", profile},
            {"photo", trusted(z.showphoto1(row("smallphoto"), ifphotolook, friendFlag, viewer.grade,
                                           row("sex"), 120, 150))}});
  const std::string household =
      data.household.city.empty() ? data.household.province : data.household.province + "-" + data.household.city;
  kCardFacts.appendTo(
      out,
      {{"profile", profile},
       {"nickname", row("nickname")},
       {"upgrade", unescapedSiteLink(z, "ReadyBuy.html")},
       {"badge", trusted(z.dj(row("grade")))},
       {"trustPage", unescapedSiteLink(z, "xjrz.asp")},
       {"trust", row("trust")},
       {"sex", trusted(codes::labelOrEmpty(codes::kSex, row("sex").str()))},
       {"age", ageText(userdata)},
       {"occupation", trusted(codes::labelOrEmpty(codes::kOccupation, row("field").str()))},
       {"household", household},
       {"marital", trusted(codes::labelOrEmpty(codes::kMaritalPadded, data.marital))},
       {"education", trusted(codes::labelOrEmpty(codes::kEducationCard, data.education))},
       {"height", row("height_")},
       {"weight", row("weight_")},
       {"nativeRegion", data.nativeRegion.empty() ? std::string() : "祖籍" + data.nativeRegion},
       {"looks", looksText(data.looks)},
       // Encoded before the cut: the text is HTML already.
       {"introduction", trusted(introduction(z, row("aboutus")))}});
  kCardActions.appendTo(out,
                        {{"message", unescapedSiteLink(z, "userid_" + id + "_sendmsg.html")},
                         {"friend", unescapedSiteLink(z, "userid_" + id + "_addfriends.html")},
                         {"wink", unescapedSiteLink(z, "love1.asp?userid=" + id + "&submitok=ww")},
                         {"favourite", unescapedSiteLink(z, "userid_" + id + "_sc.html")},
                         {"hide", unescapedSiteLink(z, "id_" + id + "_nosou.html")}});
}

}  // namespace zurvafun::members

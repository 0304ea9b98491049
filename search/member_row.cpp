#include "search/member_row.h"

#include "db/db.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "search/member_facts.h"

namespace zurvafun::search {

namespace {

using html::trusted;

// Lead-in, box and the photo column up to the photo.
constexpr html::Fragment kRowTop =
    R"~(<tr><td height="10"></td></tr></tbody></table></td></tr></tbody></table>)~"
    R"~(<script language="javascript" src="inc/control2.js"></script>)~"
    R"~(<table align="center" class="bg_b" border="0" cellpadding="0" cellspacing="0" width="100%"><tr><td align="center">)~"
    R"~(<table align="center" border="0" cellpadding="0" cellspacing="0" width="100%"><tr><td align="center" valign="middle">)~"
    R"~(<table class="bg_d" border="0" cellpadding="1" cellspacing="1" width="100%"><tr><td class="bg_dh">)~"
    R"~(<table border="0" cellpadding="3" cellspacing="0" width="100%"><tr>)~"
    R"~(<td valign="middle" width="149"><table class="bg_d" border="0" cellpadding="1" cellspacing="1" width="100%"><tr><td class="bg_b">)~"
    R"~(<table align="center" border="0" cellpadding="0" cellspacing="2" width="100%"><tr><td align="center" height="150" width="100%">)~"
    R"~(<a href=/{{profile}}  target=_blank>{{photo}}</a></td></tr></table></td></tr></table>)~"
    R"~(<table border="0" cellpadding="0" cellspacing="0" width="100%"><tr><td align="right" valign="top">)~"
    R"~(<img src="/images/hycz_30.gif" width="111" height="13"></td></tr></table></td>)~"
    R"~(<td class="bg_b" width="4">&nbsp;</td>)~";

// The information column: header, separator, facts, looks, introduction.
constexpr html::Fragment kRowInformation =
    R"~(<td width="948" colspan="8" align="center" valign="top"><table border="0" cellpadding="0" cellspacing="0" width="100%">)~"
    R"~(<tr><td height="26" width="18%"> <a href="/{{profile}}" target="_blank" class="Orange_NoUnderLine">{{nickname}}</a></td>)~"
    R"~(<td width="50%"><a href="{{upgrade}}" target="_blank">        {{badge}}</a>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;)~"
    R"~(<a href="/{{verify}}" target="_blank"><img src="/images/s_blue_{{trust}}.gif" border="0" alt="身份验证等级{{trust}}钻"></a></td>)~"
    R"~(<td width="32%"></td></tr>)~"
    R"~(<tr><td colspan="3" height="10"><img src="/images/hycz_27.gif" width="410" height="1"></td></tr>)~"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">{{personal}}</font></td></tr>)~"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">{{facts}}</font></td></tr>)~"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">相貌自评： {{looks}}　　　 </font></td></tr>)~"
    R"~(<tr valign="top"><td colspan="3" height="1"><table border="0" cellpadding="0" cellspacing="0"><tr valign="top">)~"
    R"~(<td class="12x18" height="50" width="400" style="WORD-BREAK: break-all; WORD-WRAP: break-word"><font color="#4f4f4f">)~"
    R"~(&nbsp;&nbsp;&nbsp;&nbsp;{{intro}}</font></td></tr></table></td></tr>)~";

// The action row and the end of the row.
constexpr html::Fragment kRowActions =
    R"~(<tr><td colspan="3" height="22"><table border="0" cellpadding="0" cellspacing="0" width="100%"><tr align="center">)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="“发送消息”是网站会员间联系的主要方式。发送消息给对方，对方上线后就可看到。若对方当前在线，消息会在对方的屏幕上自动弹出，双方可即时聊天。" )~"
    R"~(onClick="javascript:popup('{{message}}',512,370);" class="Orange_NoUnderLine">给TA留言</a></td>)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="请求加对方为好友，若对方接受后，你就可看到对方设为“好友可见”的照片和个人资料。" )~"
    R"~(onClick="javascript:if (confirm('确定加TA为好友吗？')){window.open('{{friend}}','_blank','width=1,height=1,top=2000')};return false;" )~"
    R"~(class="black_nounderline" target="_blank">申请好友</a></td>)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="“暗送秋波”功能，是一种不采用文字的好感表达方式。发送后，系统会提示对方收到一个新秋波。" )~"
    R"~(onClick="javascript:if (confirm('确定给 TA 发送秋波吗？')){window.open('{{wink}}','_blank','width=500,height=200')};return false;" )~"
    R"~(class="black_nounderline">暗送秋波</a></td>)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="将自己感兴趣的会员加入“我的收藏”，今后可直接在自己的收藏夹中查看该会员。" )~"
    R"~(onClick="javascript:if (confirm('确定把 TA 加入我的收藏中吗？')){window.open('myfiles/{{favourite}}','_blank','1,1,top=1000');};return false;" )~"
    R"~(class="black_nounderline">加{{8 blanks}}入收藏</a></td>)~"
    R"~(<td align="right"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" onClick="javascript:if (confirm('确定不在搜出TA吗？')){window.open('{{hide}}','_blank','1,1,top=1000');};return false;" )~"
    R"~(class="black_nounderline">不再搜出TA</a></td>)~"
    R"~(</tr></table></td></tr>)~"
    R"~(</table></td></tr></table></td></tr></table></td></tr><tr><td class="bg_b" height="18"></td></tr></table></td></tr></table>)~";

}  // namespace

RowLinks::RowLinks(zurva& z)
    : upgrade(unescapedSiteLink(z, "ReadyBuy.asp")),
      verify(unescapedSiteLink(z, "xjrz.asp")),
      message(z, "sendmsg.asp?userid=", ""),
      friendship(z, "userid_", "_addfriends.html"),
      wink(z, "love1.asp?userid=", "&submitok=ww"),
      favourite(z, "sc.asp?userid=", ""),
      hide(z, "nosou.asp?id=", "") {}

int friendFlag(db::Connection& conn, std::int32_t memberId, std::int32_t viewerId, const Variant& ifphotolook) {
  // A member is never hidden from himself: his own friends-only photo shows.
  if (memberId == viewerId) return 1;
  db::Recordset friendship = conn.Execute(sql::statement(
      "select ifok from [friends] where userid={} and senduserid={} or userid={} and senduserid={}", memberId,
      viewerId, viewerId, memberId));
  if (friendship.bof() && friendship.eof()) return 0;
  return (eq(friendship(0), 0) && eq(ifphotolook, 3)) ? 0 : 1;
}

void appendMemberRow(std::string& out, zurva& z, db::Connection& conn, const db::Recordset& rs,
                     const ListViewer& viewer, const RowLinks& links, const Variant& width,
                     const Variant& height) {
  const std::int32_t userid = CLng(rs("userid"));
  const std::string id = std::to_string(userid);
  const html::Html profile = unescapedSiteLink(z, "id_" + z.idasc(userid).str() + "_por.html");
  // The friendship decides only a photo kept for friends (showphoto1 reads it
  // nowhere else): other rows do without the query.
  const Variant smallphoto = rs("smallphoto");
  const Variant ifphotolook = rs("ifphotolook");
  const bool friendsOnlyPhoto = !smallphoto.isNull() && eq(ifphotolook, 3);
  const int iffriend = friendsOnlyPhoto ? friendFlag(conn, userid, viewer.id, ifphotolook) : 0;
  const Variant photo =
      z.showphoto1(smallphoto, ifphotolook, iffriend, viewer.grade, rs("sex"), width, height);
  const MemberFacts f = memberFacts(rs, EducationLabels::WithDoubleDegree);

  kRowTop.appendTo(out, {{"profile", profile}, {"photo", trusted(photo)}});
  kRowInformation.appendTo(out, {{"profile", profile},
                                 {"nickname", rs("nickname")},
                                 {"upgrade", links.upgrade},
                                 {"badge", trusted(z.dj(rs("grade")))},
                                 {"verify", links.verify},
                                 {"trust", rs("trust")},
                                 {"personal", personalLine(f)},
                                 {"facts", profileLine(f)},
                                 {"looks", trusted(f.looks)},
                                 {"intro", trusted(preparedIntroduction(z, rs("aboutus")))}});
  kRowActions.appendTo(out, {{"message", links.message(id)},
                             {"friend", links.friendship(id)},
                             {"wink", links.wink(id)},
                             {"favourite", links.favourite(id)},
                             {"hide", links.hide(id)}});
}

}  // namespace zurvafun::search

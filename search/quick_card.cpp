#include "search/quick_card.h"

#include "db/db.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "search/member_facts.h"

namespace zurvafun::search {

namespace {

using html::trusted;

constexpr html::Fragment kCardTop =
    R"~(<table bgcolor="#ffffff" border="0" cellpadding="0" cellspacing="0" width="98%"><tbody><tr><td>)~"
    R"~(<table border="0" cellpadding="0" cellspacing="0" width="100%"><tbody><tr><td valign="middle">)~"
    R"~(<table bgcolor="#e8e8e8" border="0" cellpadding="1" cellspacing="1" width="100%"><tbody><tr><td bgcolor="#fafafa">)~"
    R"~(<table border="0" cellpadding="3" cellspacing="0" width="100%"><tbody><tr>)~"
    R"~(<td valign="middle" width="120"><table bgcolor="#cfcfcf" border="0" cellpadding="1" cellspacing="1" width="126"><tbody><tr><td bgcolor="#ffffff">)~"
    R"~(<table border="0" cellpadding="0" cellspacing="2" width="126"><tbody><tr><td height="150" width="129">)~"
    R"~(<a href="/{{photoLink}}" target="_blank">{{photo}}</a></td></tr></tbody></table></td></tr></tbody></table>)~"
    R"~(<table border="0" cellpadding="0" cellspacing="0" width="130"><tbody><tr><td align="right" valign="top">)~"
    R"~(<img src="images/hycz_30.gif" width="111" height="13"></td></tr></tbody></table></td>)~"
    R"~(<td bgcolor="#ffffff" width="2">&nbsp;</td>)~";

constexpr html::Fragment kCardInformation =
    R"~(<td colspan="8" valign="top"><table border="0" cellpadding="0" cellspacing="0" width="100%"><tbody>)~"
    R"~(<tr><td height="26" width="18%"><font color="#4f4f4f"> <a href="/{{nameLink}}" target="_blank"><font color="#ff6600">{{nickname}}</font></a></font></td>)~"
    R"~(<td width="50%"><font color="#4f4f4f"><a href="{{upgrade}}" target="_blank">        {{badge}}</a>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;)~"
    R"~(<a href="/{{verify}}" target="_blank"><img src="Images/s_blue_{{trust}}.gif" border="0" alt="身份验证等级{{trust}}钻"></a></font></td>)~"
    R"~(<td width="32%"><font color="#4f4f4f"></font></td></tr>)~"
    R"~(<tr><td colspan="3" height="10"><img src="images/hycz_27.gif" width="410" height="1"></td></tr>)~"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">{{personal}}</font></td></tr>)~"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">{{facts}}祖籍{{native}} </font></td></tr>)~"
    R"~(<tr><td colspan="3" height="24"><font color="#4f4f4f">相貌自评： {{looks}}</font></td></tr>)~"
    R"~(<tr valign="top"><td colspan="3" height="1"><table border="0" cellpadding="0" cellspacing="0" width="100%"><tbody><tr valign="top">)~"
    R"~(<td class="12x18" height="50" width="400" style="WORD-BREAK: break-all; WORD-WRAP: break-word"><font color="#4f4f4f">)~"
    R"~(&nbsp;&nbsp;&nbsp;&nbsp;{{intro}}</font></td></tr></tbody></table></td></tr>)~";

constexpr html::Fragment kCardActions =
    R"~(<tr><td colspan="3" height="22"><table border="0" cellpadding="0" cellspacing="0" width="100%"><tbody><tr>)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="“发送消息”是网站会员间联系的主要方式。发送消息给对方，对方上线后就可看到。若对方当前在线，消息会在对方的屏幕上自动弹出，双方可即时聊天。" )~"
    R"~(onClick="{{message}}" class="black_nounderline"><font color="#ff6600">给TA留言</font></a></td>)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="请求加对方为好友，若对方接受后，你就可看到对方设为“好友可见”的照片和个人资料。" )~"
    R"~(onClick="{{friend}}" class="black_nounderline">申请好友</a></td>)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="“暗送秋波”功能，是一种不采用文字的好感表达方式。发送后，系统会提示对方收到一个新秋波。" )~"
    R"~(onClick="{{wink}}" class="black_nounderline">暗送秋波</a></td>)~"
    R"~(<td align="left" width="20%"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" title="将自己感兴趣的会员加入“我的收藏”，今后可直接在自己的收藏夹中查看该会员。" )~"
    R"~(onClick="{{favourite}}" class="black_nounderline">加{{crlf}}{{8 blanks}}入收藏</a></td>)~"
    R"~(<td align="right"><img src="images/index_2_1.gif" width="6" height="7">)~"
    R"~(<a href="javascript:void(0);" onClick="{{hide}}" class="black_nounderline">不再搜出TA</a></td>)~"
    R"~(</tr></tbody></table></td></tr>)~"
    R"~(</tbody></table></td></tr></tbody></table></td></tr></tbody></table></td></tr></tbody></table></td></tr></tbody></table>)~";

}  // namespace

std::string quickCard(zurva& z, const host::Request& request, const db::Recordset& rs, const Variant& SqlLocalName,
                      const Variant& SqlUserName, const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  const Viewer viewer(request);
  const bool member = viewer.isMember();
  const Variant userid = rs("userid");
  const std::string id = std::to_string(CLng(userid));
  const std::string token = z.idasc(userid).str();

  Variant photo;
  if (member) {
    const Variant iffriend =
        z.mainiffriend(viewer.userid(), userid, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
    photo = z.showphoto1(rs("smallphoto"), rs("ifphotolook"), iffriend, viewer.member("grade"), rs("sex"), 120, 150);
  } else {
    photo = z.showphoto(rs("smallphoto"), rs("ifphotolook"), rs("sex"), 120, 150);
  }
  const MemberFacts f = memberFacts(rs, EducationLabels::WithoutDoubleDegree);

  std::string out;
  kCardTop.appendTo(out, {{"photoLink", unescapedSiteLink(z, "id_" + token + "_por.html")},
                          {"photo", trusted(photo)}});
  kCardInformation.appendTo(out, {{"nameLink", unescapedSiteLink(z, "por.asp?id=" + token)},
                                  {"nickname", rs("nickname")},
                                  {"upgrade", unescapedSiteLink(z, "ReadyBuy.asp")},
                                  {"badge", trusted(z.dj(rs("grade")))},
                                  {"verify", unescapedSiteLink(z, "xjrz.asp")},
                                  {"trust", rs("trust")},
                                  {"personal", personalLine(f)},
                                  {"facts", profileLine(f)},
                                  {"native", trusted(f.nativeRegion)},
                                  {"looks", trusted(f.looks)},
                                  {"intro", trusted(preparedIntroduction(z, rs("aboutus")))}});
  if (member) {
    kCardActions.appendTo(
        out,
        {{"message",
          trusted("javascript:popup('" + unescapedSiteLink(z, "sendmsg.asp?userid=" + id).str() +
                  " ',501,400);")},
         {"friend", trusted("javascript:if (confirm('确定加TA为好友吗？')){window.open('" +
                            unescapedSiteLink(z, "userid_" + id + "_addfriends.html").str() +
                            "','_blank','1,1,top=2000')};return false;")},
         {"wink", trusted("javascript:if (confirm('确定发送秋波吗？')){window.open('" +
                          unescapedSiteLink(z, "love1.asp?userid=" + id + "&submitok=ww").str() +
                          "','_blank','width=500,height=200')};return false;")},
         {"favourite",
          trusted("javascript:if (confirm('确定加入我的收藏中吗？')){window.open('myfiles/" +
                  unescapedSiteLink(z, "sc.asp?userid=" + id).str() +
                  "','_blank','1,1,top=1000');};return false;")},
         {"hide", trusted("javascript:if (confirm('确定不在搜出TA吗？')){window.open('" +
                          unescapedSiteLink(z, "nosou.asp?id=" + id).str() +
                          "','_blank','1,1,top=1000');};return false;")}});
  } else {
    kCardActions.appendTo(out, {{"message", trusted("javescript:alert('在线交谈只有登陆后才能操作！');")},
                                {"friend", trusted("javescript:alert('申请好友只有登陆后才能操作！');")},
                                {"wink", trusted("javescript:alert('暗送秋波只有登陆后才能操作！');")},
                                {"favourite", trusted("javescript:alert('加入收藏只有登陆后才能操作！');")},
                                {"hide", trusted("javescript:alert('不再搜出TA只有登陆后才能操作！');")}});
  }
  return out;
}

}  // namespace zurvafun::search

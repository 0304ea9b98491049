#include "showcase/showcase_cards.h"

#include <optional>
#include <vector>

#include "db/db.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "model/code_tables.h"
#include "runtime/text.h"

namespace zurvafun::showcase {

namespace {

using html::trusted;

// ------------------------------------------------------------------ large card

// The frames, the photo column and the header row of the details.
constexpr html::Fragment kLargeTop =
    R"~(<table width="100%" border="0" cellspacing="0" cellpadding="0" bgcolor="#FFFFFF"><tr><td align="center">)~"
    "\r\n"
    R"~(<table width="100%" border="0" cellspacing="1" cellpadding="0" bgcolor="#e8e8e8"><tr><td bgcolor="#fafafa">)~"
    "\r\n"
    R"~(<table width="{{width}}" border="0" cellspacing="0" cellpadding="3"><tr>)~"
    "\r\n"
    R"~(<td width="25%" valign="top"><table width="126" border="0" cellspacing="1" cellpadding="0" bgcolor="#cfcfcf">)~"
    R"~(<tr><td width="129" height="150" align="center" bgcolor="#FFFFFF">)~"
    R"~(<a href="/{{profile}}" target="_blank">{{photo}}</a></td></tr></table>)~"
    "\r\n"
    R"~(<table width="126" border="0" cellspacing="0" cellpadding="0"><tr><td align="right">)~"
    R"~(<img src="images/hycz_30.gif" width="111" height="13"></td></tr></table></td>)~"
    "\r\n"
    R"~(<td width="2" bgcolor="#FFFFFF"></td>)~"
    "\r\n"
    R"~(<td colspan="8" valign="top"><table width="100%" border="0" cellspacing="0" cellpadding="0">)~"
    "\r\n"
    R"~(<tr style="color:#4f4f4f"><td width="18%" height="26">)~"
    R"~(<a href="/{{por}}#" target="_blank"><font color="#ff6600">{{nickname}}</font></a></td>)~"
    "\r\n"
    R"~(<td width="50%" height="26">{{8 blanks}}<a href="{{readybuy}}" target="_blank">{{grade}}</a>)~"
    R"~(&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;<a href="/{{xjrz}}" target="_blank">)~"
    R"~(<img src="/Images/s_blue_{{trust}}.gif" border="0" alt="身份验证等级{{trust}}钻" title="身份验证等级{{trust}}钻"></a></td>)~"
    "\r\n"
    R"~(<td width="32%" height="26"></td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="3"><img src="/images/hycz_27.gif" width="410" height="1"></td></tr>)~"
    "\r\n";

// The profile facts, the looks and the self-introduction.
constexpr html::Fragment kLargeFacts =
    R"~(<tr><td colspan="3" height="24">{{sex}}，{{age}}(岁)，{{occupation}}</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="3">{{household}}，{{marital}}，{{education}}， )~"
    R"~({{height}}cm，{{weight}}kg，{{native}}</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="3">相貌自评： {{looks}}　　　</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="3" height="50" class="12x18">&nbsp;&nbsp;&nbsp;&nbsp;{{intro}}</td></tr>)~"
    "\r\n";

// The action row: five cells, every link does its work in its click handler.
constexpr html::Fragment kLargeActions =
    R"~(<tr><td colspan="3" height="22"><table width="100%" border="0" cellspacing="0" cellpadding="0"><tr>)~"
    "\r\n"
    R"~(<td width="20%" align="left"><img src="/images/index_2_1.gif" width="6" height="7"> )~"
    R"~(<a href="javascript:void(0);" class="black_nounderline" onclick="popup('{{sendmsg}}',501,295)" )~"
    R"~(title="“发送消息”是网站会员间联系的主要方式。发送消息给对方，对方上线后就可看到。)~"
    R"~(若对方当前在线，消息会在对方的屏幕上自动弹出，双方可即时聊天。"><font color="#ff6600">给TA留言</font></a></td>)~"
    "\r\n"
    R"~(<td width="20%" align="left"><img src="/images/index_2_1.gif" width="6" height="7"> )~"
    R"~(<a href="javascript:void(0);" class="black_nounderline" target="_blank" )~"
    R"~(onclick="if(confirm('确定加TA为好友吗？')){window.open('{{addfriends}}','_blank','1,1,top=2000');}return false;" )~"
    R"~(title="请求加对方为好友，若对方接受后，你就可看到对方设为“好友可见”的照片和个人资料。">申请好友</a></td>)~"
    "\r\n"
    R"~(<td width="20%" align="left"><img src="/images/index_2_1.gif" width="6" height="7"> )~"
    R"~(<a href="javascript:void(0);" class="black_nounderline" )~"
    R"~(onclick="if(confirm('确定发送秋波吗？')){window.open('{{wink}}','_blank','width=500,height=200');}return false;" )~"
    R"~(title="“暗送秋波”功能，是一种不采用文字的好感表达方式。发送后，系统会提示对方收到一个新秋波。">暗送秋波</a></td>)~"
    "\r\n"
    R"~(<td width="20%" align="left"><img src="/images/index_2_1.gif" width="6" height="7"> )~"
    R"~(<a href="javascript:void(0);" class="black_nounderline" )~"
    R"~(onclick="if(confirm('确定加入我的收藏中吗？')){window.open('myfiles/{{favourite}}','_blank','1,1,top=1000');}return false;" )~"
    R"~(title="将自己感兴趣的会员加入“我的收藏”，今后可直接在自己的收藏夹中查看该会员。">加入收藏</a></td>)~"
    "\r\n"
    R"~(<td align="right"><img src="/images/index_2_1.gif" width="6" height="7"> )~"
    R"~(<a href="javascript:void(0);" class="black_nounderline" )~"
    R"~(onclick="if(confirm('确定不在搜出TA吗？')){window.open('{{nosou}}','_blank','1,1,top=1000');}return false;">不再搜出TA</a></td>)~"
    "\r\n"
    R"~(</tr></table></td></tr>)~"
    "\r\n"
    R"~(</table></td></tr></table>)~"
    "\r\n"
    R"~(</td></tr></table>)~"
    "\r\n"
    R"~(</td></tr><tr><td height="18" bgcolor="#FFFFFF"></td></tr></table>)~"
    "\r\n";

// ------------------------------------------------------------------ compact card

constexpr html::Fragment kCompactCard =
    R"~(<table width="100%" border="0" cellspacing="0" cellpadding="0"><tbody><tr>)~"
    "\r\n"
    R"~(<td valign="top" width="11%" height="140"><table width="102" height="140" border="0" align="left" )~"
    R"~(cellpadding="1" cellspacing="1" bgcolor="cfcfcf"><tr><td bgcolor="#FFFFFF">)~"
    R"~(<a href="/{{profile}}" target="_blank">{{photo}}</a></td></tr></table></td>)~"
    "\r\n"
    R"~(<td width="89%" height="140" valign="top" class="12x18">&nbsp;)~"
    R"~(<a href="/{{profile}}" target="_blank"><font color="ff6600">{{nickname}}</font></a><br>)~"
    R"~(&nbsp;<a href="/{{xjrz}}" target="_blank"><img src="/images/s_blue_{{trust}}.gif" border="0" )~"
    R"~(alt="身份验证等级{{trust}}钻"></a><br>&nbsp;{{residence}}<br>&nbsp;{{age}}(岁)<br>)~"
    R"~(&nbsp;{{education}}<br>&nbsp;{{occupation}}<br>&nbsp;{{income}} </td>)~"
    "\r\n"
    R"~(</tr></tbody></table>)~"
    "\r\n";

constexpr std::string_view kVerticalSpacer =
    R"~(<table width="100%" border="0" cellspacing="0" cellpadding="0"><tr>)~"
    R"~(<td width="65%" height="10" valign="top"></td><td height="10" valign="top" class="12x18"></td>)~"
    "</tr></table>\r\n";
constexpr std::string_view kHorizontalOpen = R"~(<td valign="top" width="200" height="140">)~";
constexpr std::string_view kHorizontalClose = "</td><td width=\"10\"></td>\r\n";

// The visibility code of field 9 (blanks trimmed); 1 (everybody) when it is
// not a number.
Variant visibilityOf(const ShowcaseEntry& entry) {
  return numbers::digits(std::string_view(Trim(entry.fields[9]))).value_or(1);
}

// A field the vertical layout passes on as a whole number: the number, or the
// text as stored when it is none.
Variant asNumber(const std::string& field) {
  const std::optional<std::int32_t> n = numbers::digits(std::string_view(field));
  return n ? Variant(*n) : Variant(field);
}

// The income line: the label of the income code the viewer may see, the
// visibility notice when he may not, and "" for a missing or unknown code.
html::Html incomeText(zurva& z, int iffriend, const std::string& pay) {
  const std::string shown = z.ifshow(iffriend, pay).str();
  // ifshow escapes the value it shows, so only its notices start with a tag.
  if (shown.starts_with("<font")) return trusted(shown);
  if (shown.empty()) return {};
  return trusted(codes::labelOrEmpty(codes::kIncome, Left(shown, Len(shown) - 1)));
}

}  // namespace

void appendLargeCard(zurva& z, db::Connection& conn, const CardViewer& viewer,
                     const ShowcaseEntry& entry, const Variant& width, const Variant& height,
                     std::string& out) {
  const std::int32_t id = entry.member;
  db::Recordset row = conn.Execute(
      sql::statement("select addtime,height_,weight_,aboutus from zurva_user where userid={}", id));
  if (row.eof()) return;  // the member is gone: no card
  const auto& f = entry.fields;
  const Variant visibility = visibilityOf(entry);
  const int iffriend =
      viewer.guest ? 0 : friendFlag(conn, id, viewer.id, numbers::digits(visibility));
  const Variant photo =
      headPhoto(z, viewer, id, Variant(Trim(f[8])), visibility, iffriend, Variant(f[0]), width, height);
  const std::string token = z.idasc(id).str();
  const std::optional<std::int32_t> grade = numbers::digits(std::string_view(f[4]));
  const member::UserData data = member::readUserData(f[2]);
  const std::string native = data.nativeRegion.empty() ? "" : "祖籍" + data.nativeRegion;

  kLargeTop.appendTo(out, {{"width", width},
                           {"profile", trusted(profileLink(z, id))},
                           {"photo", trusted(photo)},
                           {"por", unescapedSiteLink(z, "por.asp?id=" + token)},
                           {"nickname", f[3]},
                           {"readybuy", unescapedSiteLink(z, "ReadyBuy.asp")},
                           {"grade", trusted(z.dj(grade ? Variant(*grade) : Variant::null()))},
                           {"xjrz", unescapedSiteLink(z, "xjrz.asp")},
                           {"trust", f[5]}});
  kLargeFacts.appendTo(
      out, {{"sex", trusted(codes::labelOrEmpty(codes::kSex, f[0]))},
            {"age", ageText(f[2])},
            {"occupation", trusted(codes::labelOrEmpty(codes::kOccupation, f[7]))},
            {"household", placeText(data.household)},
            {"marital", trusted(codes::labelOrEmpty(codes::kMarital, data.marital))},
            {"education", trusted(codes::labelOrEmpty(codes::kEducationShown, data.education))},
            {"height", row("height_")},
            {"weight", row("weight_")},
            {"native", native},
            {"looks", codes::looksLabel(data.looks)},
            {"intro", trusted(introText(z, row("aboutus"), 200))}});
  const std::string m = std::to_string(id);
  kLargeActions.appendTo(out,
                         {{"sendmsg", unescapedSiteLink(z, "sendmsg.asp?userid=" + m)},
                          {"addfriends", unescapedSiteLink(z, "userid_" + m + "_addfriends.html")},
                          {"wink", unescapedSiteLink(z, "love1.asp?userid=" + m + "&submitok=ww")},
                          {"favourite", unescapedSiteLink(z, "sc.asp?userid=" + m)},
                          {"nosou", unescapedSiteLink(z, "nosou.asp?id=" + m)}});
}

void appendCompactCard(zurva& z, db::Connection& conn, const CardViewer& viewer,
                       const ShowcaseEntry& entry, Layout layout, const Variant& width,
                       const Variant& height, std::string& out) {
  const std::int32_t id = entry.member;
  const auto& f = entry.fields;
  const bool vertical = layout == Layout::Vertical;
  const Variant visibility = visibilityOf(entry);
  const int iffriend =
      viewer.guest ? 0 : friendFlag(conn, id, viewer.id, numbers::digits(visibility));
  const Variant photo = headPhoto(z, viewer, id, Variant(vertical ? Trim(f[8]) : f[8]), visibility,
                                  iffriend, vertical ? asNumber(f[0]) : Variant(f[0]), width, height);
  const member::UserData data = member::readUserData(f[2]);

  if (!vertical) out += kHorizontalOpen;
  kCompactCard.appendTo(
      out, {{"profile", trusted(profileLink(z, id))},
            {"photo", trusted(photo)},
            {"nickname", f[3]},
            {"xjrz", unescapedSiteLink(z, "xjrz.asp")},
            {"trust", vertical ? asNumber(f[5]) : Variant(f[5])},
            {"residence", placeText(data.residence)},
            {"age", ageText(f[2])},
            {"education", trusted(codes::labelOrEmpty(codes::kEducationShown, data.education))},
            {"occupation", trusted(codes::labelOrEmpty(codes::kOccupation, f[7]))},
            {"income", incomeText(z, iffriend, f[6])}});
  out += vertical ? kVerticalSpacer : kHorizontalClose;
}

}  // namespace zurvafun::showcase

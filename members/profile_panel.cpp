// memberinfo: the public profile panel of one member as the viewer may see
// it. The member is named by the request value `id`; the viewer is the member
// of the cookie "kalimo", or a guest. The method settles the id, the viewer
// and the member's row before it writes anything, so a refused or unknown id
// gets only the message, never a half-written panel.
#include "members/profile_panel.h"

#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "members/profile_labels.h"
#include "members/viewer_rules.h"
#include "model/code_tables.h"
#include "runtime/text.h"

namespace zurvafun {

namespace members {

namespace {

using html::trusted;

constexpr html::Fragment kFrameOpening =
    "{{crlf}}{{crlf}}"
    R"~(<TABLE width="96%" height="100%"  valign="top" border=0 cellPadding=0 cellSpacing=0>)~"
    "<TBODY><TR ><TD   valign=\"top\" bgColor=#ffffff></TD></TR><TR>"
    R"~(<TD vAlign=top align=middle bgColor=#ffffff height=111><TABLE width=100% border=0 cellPadding=0 cellSpacing=3 bordercolor="#00FF00">)~"
    "<TBODY><TR>{{crlf}}";

// The heading of the basic data. The account name and the password digest
// are never sent to a viewer: the inputs keep their names and stay empty.
constexpr html::Fragment kBasicHeading =
    R"~(<TD colSpan=4 height=30><IMG src="/images/grzl_11.gif" align=absMiddle border=0>&nbsp;<STRONG><FONT color=#000000>基本资料)~"
    R"~(<input name="username"  type=hidden value="" maxlength="50" />)~"
    R"~(<input name="password"  type=hidden value="" maxlength="12" />)~"
    R"~(<input name="password_confirm"  type=hidden value="" maxlength="12" />)~"
    "</FONT></STRONG></TD></TR>";

constexpr html::Fragment kHeaderRows =
    "<TR class=bg_h>"
    R"~(<TD width="13%" height=60 rowspan="2" nowrap="nowrap">&nbsp;&nbsp;会员昵称：</TD>)~"
    R"~(<TD width="17%" rowspan="2">{{nickname}}</TD>)~"
    R"~(<TD width="15%">认 证:</TD>)~"
    R"~(<TD width="55%"><a href="/{{trustLink}}" target="_blank"><img src="/images/s_blue_{{trust}}.gif"  border="0" alt="身份验证等级{{trust}}钻"></a></TD>)~"
    "</TR>"
    "<TR class=bg_h><TD>级 别:</TD><TD> {{badge}}{{crlf}}</TD></TR>"
    "<TR class=bg_h><TD height=30>&nbsp;&nbsp;真实姓名：</TD>"
    R"~(<TD colspan="3">{{name}}{{verified}}</TD>)~"
    "</TR></TBODY></TABLE>"
    "<TABLE cellSpacing=3 cellPadding=0 width=100% border=0><TBODY>";

constexpr html::Fragment kIdentityRows =
    "<TR class=bg_h>"
    R"~(<TD height=30 nowrap="nowrap"><FONT color=#333333 >&nbsp;&nbsp;证件类型：</FONT></TD>)~"
    "<TD><FONT color=#333333>{{idType}}</FONT></TD>"
    "<TD align=right><FONT color=#333333>证件号码：</FONT></TD>"
    R"~(<TD width="52%"><span class="STYLE2">不可见</span>{{idVerified}}</TD>)~"
    "</TR>"
    "<TR class=bg_h>"
    R"~(<TD width="13%" height=30>&nbsp;&nbsp;性　　别：</TD>)~"
    R"~(<TD width="21%"> {{sex}}</TD>)~"
    R"~(<TD align=right width="14%">出生年份：</TD>{{crlf}}<TD> {{birthYear}}年</TD>)~"
    "</TR>"
    "<TR class=bg_h>"
    "<TD height=30>&nbsp;&nbsp;身　　高：</TD><TD><FONT color=#333333>{{height}}cm</FONT></TD>"
    "<TD align=right>体　　重：</TD><TD>     {{weight}} kg</TD>"
    "</TR>"
    "<TR class=bg_h>"
    "<TD height=30>&nbsp;&nbsp;体　　形：</TD><TD> {{bodyShape}}</TD>"
    "<TD align=right>相貌评价：</TD><TD>{{looks}}</TD>"
    "</TR>"
    "<TR class=bg_h>"
    "<TD height=30>&nbsp;&nbsp;婚姻状况：</TD><TD>{{marital}}{{maritalVerified}}</TD>";

html::Html verified(const PanelContext& panel, std::string_view scan) {
  return trusted(member::isApproved(panel.text(scan)) ? kVerifiedIcon : "");
}

}  // namespace

void appendIdentityRows(std::string& out, const PanelContext& panel) {
  zurva& z = panel.z;
  Variant trustPage = "xjrz.asp";
  const bool anyScan = member::isApproved(panel.text("sfphoto")) ||
                       member::isApproved(panel.text("xlphoto")) ||
                       member::isApproved(panel.text("hyphoto")) ||
                       member::isApproved(panel.text("srphoto"));
  kBasicHeading.appendTo(out);
  kHeaderRows.appendTo(
      out, {{"nickname", panel.row("nickname")},
            {"trustLink", trusted(z.showurl(trustPage))},
            {"trust", panel.row("trust")},
            {"badge", trusted(z.dj(panel.row("grade")))},
            // ifshow escapes the value it shows; its notices are fixed texts.
            {"name", trusted(z.ifshow(panel.friendFlag, panel.row("name")))},
            {"verified", trusted(anyScan ? kVerifiedIcon : "")}});
  const std::string idType = member::readIdNo(panel.text("idno")).flag;
  kIdentityRows.appendTo(
      out, {{"idType", trusted(codes::labelOrEmpty(codes::kDocumentType, idType))},
            {"idVerified", verified(panel, "sfphoto")},
            {"sex", trusted(codes::labelOrEmpty(codes::kSex, panel.text("sex")))},
            {"birthYear", panel.data.birthYear},
            {"height", panel.row("height_")},
            {"weight", panel.row("weight_")},
            {"bodyShape", trusted(codes::labelOrEmpty(codes::kBodyShape, panel.text("tx")))},
            {"looks", looksText(panel.data.looks)},
            {"marital", trusted(codes::labelOrEmpty(codes::kMaritalPadded, panel.data.marital))},
            {"maritalVerified", verified(panel, "hyphoto")}});
}

sql::Statement panelRowSelect(std::int32_t memberId) {
  return sql::statement("select * from [Zurva_user] where userid={}", memberId);
}

}  // namespace members

void zurva::memberinfo(const Variant& SqlLocalName, const Variant& SqlUserName,
                       const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  logged([&] {
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    trapOff([&] {
      // The id: the numeric guard, then a plain whole number.
      const Variant id = Request()("id");
      pages(id);
      const std::optional<std::int32_t> memberId = numbers::digits(id);
      if (!memberId) Msg("请求错误！", "-1", 1);

      const Viewer viewer(Request());
      const bool isMember = !Trim(viewer.member("username").str()).empty();
      int friendFlag = 0;
      if (isMember) {
        // A cookie without a member number has no friends to find.
        if (const std::optional<std::int32_t> viewerId = viewer.memberNumber())
          friendFlag = members::acceptedFriends(conn, *memberId, *viewerId) ? 1 : 0;
      }

      db::Recordset row;
      row.Open(members::panelRowSelect(*memberId), conn, db::adOpenKeyset, db::adLockReadOnly);
      if (row.eof()) Msg("请求错误！", "-1", 1);

      const members::PanelContext panel{
          .z = *this,
          .row = row,
          .data = member::readUserData(row("userdata").str()),
          .friendFlag = friendFlag,
          .viewerGrade = isMember ? viewer.grade() : 1,
          .viewerSex = isMember ? Trim(viewer.member("sex").str()) : "",
          .freeAccess = members::freeAccessSwitch(Application()),
      };

      std::string out;
      out.reserve(12000);
      members::kFrameOpening.appendTo(out);
      members::appendIdentityRows(out, panel);
      members::appendBackgroundRows(out, panel);
      members::appendLaterRows(out, panel);
      Response().Write(out);
    });
  });
}

}  // namespace zurvafun

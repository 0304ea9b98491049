// The organiser's panel: the closing rows of the party form's table. After
// the party's day it holds the summary row (the summary text, the photo
// upload link, the party's photo frame, the summary's verification state);
// then, always, the buttons that post the form to party_action's "upd".
#include <cstdint>
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/html.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/party.h"
#include "interaction/request_checks.h"
#include "framework/links.h"

namespace zurvafun {

namespace {

using html::trusted;

constexpr html::Fragment kSummaryRow = R"html(<tr class="12x20">
<td class="bg_m" height="24"><font color="#06419b">　<b><font color="#000000">活动总结：</font></b></font></td>
<td height="24">&nbsp;</td>
<td valign="top" height="24">活动时间已过..可以输写总结.....<br>
<textarea name="zj" id="zj" cols="65" rows="14" onkeyup="check_str_num(this,4000,'aa3')">{{summary}}</textarea>
<p>{{upload}}</p>
<table width="100%" border="0" cellspacing="0" cellpadding="0"><tr><td><iframe id="subiframe" name="subiframe" border="0" marginwidth="0" marginheight="0" frameborder="0" width="100%" src="{{photos}}" onload="javescript:this.height=subiframe.document.body.scrollHeight+20;"></iframe></td></tr></table>
<font color="#FF0000">{{status}}</font>
</td></tr>
<tr><td class="bg_m" colspan="3" height="1"></td></tr>
)html";

constexpr std::string_view kWriteFirst = R"(<font color="#FF0000"> 注意:请写完总结,写完总结才可上传活动照片!</font>)";
constexpr html::Fragment kUploadLink = R"(<a href="{{link}}" target="_blank">上传图片</a>)";

constexpr html::Fragment kButtons = R"html(</TBODY>
<tr><td colspan="3" align="center"><input type="button" name="button" value="{{caption}}" onclick="Chk_Submit('{{action}}')">&nbsp;<input type="button" name="close" value="关闭" onclick="window.close()"></td></tr>
)html";

}  // namespace

Variant zurva::partyaction(const Variant& SqlLocalName, const Variant& SqlUserName,
                           const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    const Viewer viewer(Request());
    const std::int32_t memberId = viewer.userid();
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;

    std::string panel;
    std::optional<std::int32_t> partyId;
    if (!eq(Request()("partyid"), "")) {
      partyId = interaction::guardedOrRefuse(*this, Request()("partyid"));
      // Only the organiser's own party; a visitor organises none.
      db::Recordset party;
      party.Open(sql::statement("select * from party where id={} and userid={}", *partyId, memberId), conn,
                 db::adOpenKeyset, db::adLockReadOnly);
      if (party.eof() || memberId == 0) interaction::endWithMessage(*this, "您还没权修改本活动！", "-1", 2);

      if (interaction::partyIsOver(party("partytime"))) {
        const std::string id = std::to_string(*partyId);
        const bool written = ne(
            conn.Execute(sql::statement("select count(*) as count from partyzj where partyid='{}'", *partyId))(0),
            0);
        Variant summary;
        Variant verified;
        if (written) {
          summary = conn.Execute(sql::statement("select nr from partyzj where partyid={}", *partyId))(0);
          verified = conn.Execute(sql::statement("select rz from partyzj where partyid='{}'", *partyId))(0);
        }
        // A summary is verified only when its flag says 2; Null is not yet.
        const char* status = !written ? "你还没写总结" : eq(verified, 2) ? "已通过认证" : "还没认证通过";
        kSummaryRow.appendTo(
            panel, {{"summary", summary},
                    {"upload",
                     written ? kUploadLink(
                                   {{"link", unescapedSiteLink(*this, "upload.asp?partyid=" + id)}})
                             : trusted(kWriteFirst)},
                    {"photos", unescapedSiteLink(*this, "userphoto.asp?partyid=" + id)},
                    {"status", trusted(status)}});
      }
    }
    kButtons.appendTo(
        panel,
        {{"caption", trusted(partyId ? "修改" : "发表")},
         {"action", unescapedSiteLink(
                        *this, partyId ? "action.asp?sign=upd&partyid=" + std::to_string(*partyId)
                                       : std::string("action.asp?sign=upd"))}});
    result = panel;
  });
}

}  // namespace zurvafun

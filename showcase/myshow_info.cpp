// The showcase status box of the member area: how much showcase time the
// member has left, and the button to the purchase page.
#include <string>

#include "db/db.h"
#include "framework/links.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "showcase/card_parts.h"
#include "showcase/member_row.h"
#include "showcase/showcase_period.h"

namespace zurvafun {

namespace {

constexpr std::string_view kBlanks = "                  ";

}  // namespace

Variant zurva::myshow_info(const Variant& SqlLocalName, const Variant& SqlUserName,
                           const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    const Viewer viewer(Request());
    if (!viewer.isMember()) Msg("非法操作", "-2", 2);
    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    db::Recordset row = showcase::memberRow(*this, viewer, conn, showcase::statusBoxColumns());

    const Variant iflianxi = row("iflianxi"), moneytime = row("moneytime"), ct = row("ct");
    const Variant now = Now();
    std::string box = " ";
    box += "   您还有我型我秀： <FONT ";
    box += "                  color=#ff6600>";
    box += kBlanks;
    // Hours and minutes left today: 23 minus the hour, 60 minus the minute.
    const std::string hours = std::to_string(23 - Hour(now));
    const std::string minutes = std::to_string(60 - Minute(now));
    switch (showcase::showcaseState(iflianxi, moneytime, now)) {
      case showcase::ShowcaseState::None:
      case showcase::ShowcaseState::Waiting:
        box += "无我型我秀</FONT>";
        break;
      case showcase::ShowcaseState::Pending:
        box += "您有" + std::to_string(CInt(iflianxi)) + "天免费我型我秀";
        break;
      case showcase::ShowcaseState::Running:
        if (CInt(ct) == CInt(iflianxi)) {  // the last day
          box += hours + "</font>小时" + "<FONT color=#ff6600>" + minutes + "</font>分";
        } else {
          box += std::to_string(CInt(iflianxi) - CInt(ct)) + "</FONT>天" + "<FONT color=#ff6600>" + hours +
                 "</font>小时" + "<FONT color=#ff6600>" + minutes + "</font>分";
        }
        break;
    }
    box += kBlanks;
    box += "                             <BR>";
    box += "                  &nbsp;&nbsp;&nbsp;&nbsp;<INPUT class=button_2 ";
    // Only a member with an approved head photo may apply: the flag "1" ends
    // its name ("0" awaits approval, and no photo reads as "0" or "").
    if (row("ifsmallphoto").str() != "1") {
      box += "onClick=javescript:alert('您还没有个人形象照！');";
    } else {
      box += "onClick=javescript:location='" + unescapedSiteLink(*this, "Apply.html").str() + "';";
    }
    box += " type=button value=开始申请> ";
    box += "                  （无形象照者不能申请）";
    result = box;
  });
}

}  // namespace zurvafun

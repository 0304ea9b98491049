// The showcase purchase form: the member's balance, the start of granted
// free days, and the number of days to buy with the age range of the members
// the showcase entry is meant for.
#include <string>

#include "db/db.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "model/member_record.h"
#include "runtime/dates.h"
#include "showcase/card_parts.h"
#include "showcase/member_row.h"
#include "showcase/showcase_period.h"

namespace zurvafun {

namespace {

using html::trusted;

constexpr html::Fragment kFormTop =
    R"~(<table width="100%" border="0" cellspacing="0" cellpadding="0">)~"
    "\r\n"
    R"~(<form name="form1" onSubmit="return chkform()" action="{{save}}" method="post">)~"
    "\r\n"
    R"~(<tr><td height="30"><font color="#ff6600">&nbsp;{{nickname}}</font>，您目前的E币金额：)~"
    R"~(<font color="ff6600">{{balance}}</font> E币。&nbsp;&nbsp;)~"
    R"~(<a href="../{{history}}" class="blue_UnderLine" target="subiframe">E币收支记录&gt;&gt;</a></td></tr>)~"
    "\r\n";

constexpr html::Fragment kFreeDays =
    R"~(<tr><td height="30"><input type="button" class="button_2" value="您有{{days}}天免费我型我秀!" )~"
    R"~(onClick="if(confirm('确定使用免费我型我秀吗？')){window.open('{{free}}','_blank','width=1,height=1,top=5000');}return false;"></td></tr>)~"
    "\r\n";

constexpr html::Fragment kOrder =
    R"~(<tr><td height="30">申请时间：{{today}}，&nbsp;申请我型我秀天数：)~"
    R"~(<input name="ORDERMONEY" type="text" size="5" maxlength="8" onChange="javescript:return chkform();">)~"
    R"~(天，&nbsp;需要<input name="MONEY" type="text" id="MONEY" value="0" size="7" maxlength="10" readonly )~"
    R"~(onChange="javescript:return chkform();">E 币，&nbsp;剩余<input name="MONEY2" type="text" id="MONEY2" )~"
    R"~(value="{{balance}}" size="7" maxlength="10" readonly onChange="javescript:return chkform();">E币</td></tr>)~"
    "\r\n"
    R"~(<tr><td height="30">年龄范围：从<select name="agefrom">{{from}}</select>岁到<select name="ageto">{{to}}</select>岁</td></tr>)~"
    "\r\n"
    R"~(<tr><td height="30"><input type="submit" name="Submit" value="申请我型我秀" class="button_2"></td></tr>)~"
    "\r\n"
    "</form>\r\n</table>\r\n";

// The options of an age select, 20 to 70; the one equal to `chosen` (as
// text) is selected.
html::Html ageOptions(const std::string& chosen) {
  std::string options = R"(<option value="">请选择--</option>)";
  for (int age = 20; age <= 70; ++age) {
    const std::string value = std::to_string(age);
    options += "<option value=\"" + value + "\"" + (value == chosen ? " selected" : "") + ">" + value + "</option>";
  }
  return trusted(std::move(options));
}

}  // namespace

Variant zurva::myshow_apply(const Variant& SqlLocalName, const Variant& SqlUserName,
                            const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    const Viewer viewer(Request());
    if (!viewer.isMember()) Msg("非法操作", "-2", 2);
    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    db::Recordset row =
        showcase::memberRow(*this, viewer, conn, sql::verbatim("emoney,moneytime,iflianxi,userbz"),
                            showcase::kRequestError);
    const Variant emoney = row("emoney");
    const Variant balance = emoney.isNull() || emoney.str().empty() ? Variant(0) : emoney;
    // The partner age range of the saved criteria; a missing one selects nothing.
    const member::Range ages = member::readUserBz(row("userbz").str()).range(member::kAgeRange);

    std::string form;
    kFormTop.appendTo(form, {{"save", unescapedSiteLink(*this, "save.asp")},
                             {"nickname", viewer.member("nickname")},
                             {"balance", balance},
                             {"history", unescapedSiteLink(*this, "History.html")}});
    if (showcase::freeDaysPending(row("moneytime"))) {
      kFreeDays.appendTo(form, {{"days", row("iflianxi")},
                                {"free", unescapedSiteLink(*this, "action_free_save.html")}});
    }
    kOrder.appendTo(form, {{"today", trusted(FormatDT(Now(), 5))},
                           {"balance", balance},
                           {"from", ageOptions(ages.low)},
                           {"to", ageOptions(ages.high)}});
    result = form;
  });
}

}  // namespace zurvafun

// The background and later rows of the public profile panel: places,
// education, occupation, housing and the income under its privacy check;
// constellation and habits; the partner criteria; the contact data under the
// contact rules; the self-introduction and the end of the frame.
#include <string>

#include "framework/escape.h"
#include "framework/html.h"
#include "members/profile_labels.h"
#include "members/profile_panel.h"
#include "model/code_tables.h"
#include "model/member_record.h"

namespace zurvafun::members {

namespace {

using html::trusted;

constexpr html::Fragment kBackgroundRows =
    "<TD align=right><FONT color=#333333>民　　族：</FONT></TD><TD>{{ethnic}}</TD></TR>"
    "<TR class=bg_h>"
    "<TD height=30><FONT color=#333333>&nbsp;&nbsp;籍　　贯：</FONT></TD><TD>{{nativeRegion}}</TD>"
    "<TD align=right><FONT color=#333333>居 住 地：</FONT></TD><TD>{{residence}}</TD>"
    "</TR>"
    "<TR class=bg_h>"
    "<TD height=30><FONT color=#333333>&nbsp;&nbsp;学　　历：</FONT></TD><TD>{{education}}{{educationVerified}}</TD>"
    R"~(<TD align=right><FONT color=#333333>户　　籍：</FONT></TD><TD width="52%">{{household}}</TD>)~"
    "</TR>"
    "<TR class=bg_h>"
    "<TD height=30><FONT color=#333333>&nbsp;&nbsp;职业类别：</FONT></TD><TD>{{occupation}}</TD>"
    "<TD align=right><FONT color=#333333>职务职称：</FONT></TD><TD>{{job}}</TD>"
    "</TR>"
    "<TR class=bg_h>"
    "<TD height=30><FONT color=#333333>&nbsp;&nbsp;住房状况：</FONT></TD><TD>{{housing}}</TD>"
    "<TD align=right><FONT color=#333333>年总收入：</FONT></TD><TD>{{income}}{{incomeVerified}}</TD>"
    "</TR>";

constexpr html::Fragment kHabitRows =
    "<TR class=bg_h>"
    R"~(<td height="30"><font color="#333333">&nbsp;&nbsp;星&nbsp;&nbsp;座：</font></td>)~"
    "<td>&nbsp;{{star}}</td>"
    R"~(<TD align=right>&nbsp;</TD><TD bordercolor="#00FF00"> &nbsp;</TD></TR>)~"
    "<TR class=bg_h>"
    R"~(<TD height=30><font color="#666666">&nbsp;&nbsp;饮酒习惯：</font></TD><TD>{{drink}}</TD>)~"
    R"~(<TD align=right><font color="#666666">吸烟习惯：</font></TD><TD><font color="#666666">{{smoking}}</font></TD>)~"
    "</TR></TBODY></TABLE>";

constexpr html::Fragment kConstellation = R"~(<img src="bbs/Skins/Default/birth/z{{number}}.gif" alt="{{name}}">)~";

constexpr html::Fragment kPartnerCriteria =
    R"~(<TABLE cellSpacing=0 cellPadding=0 width="100%" border=0><TBODY><TR>)~"
    R"~(<TD vAlign=center align=middle height=1 background="/images/lineb.gif"></TD>)~"
    "</TR></TBODY></TABLE>"
    "<TABLE cellSpacing=0 cellPadding=0 width=100% border=0><TBODY><TR>"
    R"~(<TD colSpan=2 height=33><IMG src="/images/grzl_11.gif" align=absMiddle border=0>&nbsp;<FONT color=#000000><STRONG>意中人标准</STRONG></FONT></TD></TR>)~"
    R"~(<TR><TD align=right width="13%" height=30><FONT color=#ff6600>*</FONT><FONT color=#585858>年龄：</TD>)~"
    "<TD height=30>从{{ageLow}}到 {{ageHigh}}岁 </TD></TR>"
    "<TR><TD align=right height=30><FONT color=#ff6600>*</FONT><FONT color=#585858>身高：</TD>"
    "<TD height=30>从{{heightLow}}CM到{{heightHigh}}CM</TD></TR>"
    "<TR><TD align=right height=30><FONT color=#ff6600>*</FONT><FONT color=#585858>学历：</TD>"
    "<TD height=30>从{{educationLow}} 到 {{educationHigh}}</TD></TR></TBODY></TABLE>";

constexpr html::Fragment kContactRows =
    R"~(<TABLE cellSpacing=0 cellPadding=0 width="100%" border=0><TBODY><TR>)~"
    R"~(<TD vAlign=center align=middle height=50> <table width="100%" border="0" cellspacing="0" cellpadding="0">)~"
    R"~(<tr><td background="/images/lineb.gif" height=1></td></tr></table>)~"
    "<TABLE cellSpacing=0 cellPadding=0 width=100% border=0><TBODY><TR><TD colSpan=2 height=33>"
    R"~(<IMG src="/images/grzl_11.gif" align=absMiddle border=0>&nbsp;<FONT color=#000000><STRONG>联系方式 </STRONG></FONT>)~"
    "<FONT color=#336600><FONT color=#000000>&nbsp;</FONT></FONT></TD></TR>"
    R"~(<TR><TD align=right width="15%" height=30><FONT color=#585858>Q Q：</FONT>&nbsp;&nbsp;</TD>)~"
    R"~(<TD width="85%" height=30>{{qq}}</TD></TR>)~"
    "<TR><TD align=right height=30><FONT color=#585858>MSN：</FONT>&nbsp;&nbsp;</TD>"
    "<TD height=30>{{msn}}</TD></TR>"
    "<TR><TD align=right height=30><FONT color=#585858>EMAIL：</FONT>&nbsp;&nbsp;</TD>"
    "<TD height=30>{{email}}</TD></TR>"
    "<TR><TD align=right height=30><FONT color=#585858>手机：</FONT>&nbsp;&nbsp;</TD>"
    "<TD height=30>{{mobile}}</TD></TR>"
    "</TBODY></TABLE></TD></TR></TBODY></TABLE>";

constexpr html::Fragment kIntroduction =
    "<TABLE cellSpacing=0 cellPadding=0 width=100% border=0><TBODY><TR>"
    R"~(<TD height=30><IMG src="/images/grzl_11.gif" align=absMiddle border=0>&nbsp;<FONT color=#336600><STRONG><FONT color=#000000>个人独白</FONT></STRONG>)~"
    "<FONT color=#000000>&nbsp;</FONT></FONT></TD></TR>"
    R"~(<TR><TD  ><TABLE cellSpacing=0 cellPadding=0 width="100%" border=0><TBODY><TR>)~"
    R"~(<TD width=550 height=92 style="word-break:break-all;word-wrap: break-word;">&nbsp;&nbsp;&nbsp;&nbsp;)~"
    "<FONT color=#ff3300>&nbsp; {{aboutus}}<BR><BR></FONT></TD>"
    "</TR></TBODY></TABLE></TD></TR></TBODY></TABLE>"
    "</TD></TR> "
    R"~(<TR><TD height="30" bgColor=#f8f8f8></TD></TR></TBODY></TABLE>)~"
    "{{crlf}}";

// Texts of the contact section.
constexpr std::string_view kSameSexNotice = "<FONT color=#336600><FONT color=#ff6600>异性可见</font></font>";
constexpr std::string_view kUpgradeNotice =
    R"~(<FONT color=#336600><FONT color=#ff6600>金银卡会员可见</font></font>&nbsp;<a href="ReadyBuy.asp" target="_top"><img src="images/upvip.gif" border="0"></a>)~";
constexpr std::string_view kMobileUpgradeNotice =
    R"~(<FONT color=#ff6600>金银卡会员可见</font>&nbsp;<a href="ReadyBuy.asp" target="_top"><img src="images/upvip.gif" border="0"></a>)~";
constexpr std::string_view kSecretNotice = "<FONT color=#ff6600>完全保密</font>";
constexpr std::string_view kNotFilled = "未填";
// The basic-data rows' placeholder for an empty text.
constexpr std::string_view kNotGiven = "未填写";

// The contact rules beyond the emptiness test: card-member access, then the
// same-sex block. `upgrade` is the row's upgrade notice.
html::Html contactValue(const PanelContext& panel, const std::string& value, std::string_view upgrade) {
  const bool cardAccess = panel.viewerGrade >= 2 || panel.freeAccess == 1;
  if (!cardAccess) return trusted(upgrade);
  const bool sameSex = !panel.viewerSex.empty() && panel.viewerSex == panel.text("sex") &&
                       panel.viewerGrade != 23;
  if (sameSex) return trusted(kSameSexNotice);
  return html::escaped(value);
}

html::Html contactPart(const PanelContext& panel, const std::string& part) {
  if (part.empty()) return trusted(kNotFilled);
  return contactValue(panel, part, kUpgradeNotice);
}

// Only a viewer of grade 23 sees a number marked secret (flag 2); any other
// number follows the contact rules, an empty one included.
html::Html mobileValue(const PanelContext& panel) {
  const Variant stored = panel.row("mobile");
  const member::Mobile mobile = member::readMobile(stored.str());
  if (mobile.flag == "2") {
    return panel.viewerGrade == 23 ? html::escaped(mobile.number) : trusted(kSecretNotice);
  }
  return contactValue(panel, mobile.number, kMobileUpgradeNotice);
}

// The income as the viewer may see it: its label when ifshow shows the
// amount, the visibility notice when it hides it, and an empty cell for a
// code outside the table or a value ifshow cannot read.
html::Html incomeValue(const PanelContext& panel) {
  const Variant pay = panel.row("pay");
  const std::string shown = panel.z.ifshow(panel.friendFlag, pay).str();
  if (shown.empty()) return {};
  if (shown != htmlEscape(member::splitFlag(pay.str()).value)) return trusted(shown);
  return trusted(codes::labelOrEmpty(codes::kIncome, member::readPay(pay.str()).income));
}

// A habit: "未填写" for an empty text, else the text and one blank (a Null
// column gives an empty cell).
html::Html habit(const Variant& value) {
  if (value.isNull()) return {};
  if (value.str().empty()) return trusted(kNotGiven);
  return html::escaped(value.str() + " ");
}

html::Html constellation(const Variant& star) {
  if (star.isNull()) return {};
  if (star.str().empty()) return trusted(kNotGiven);
  const int number = constellationNumber(star.str());
  if (number == 0) return {};
  return kConstellation({{"number", number}, {"name", star}});
}

}  // namespace

void appendBackgroundRows(std::string& out, const PanelContext& panel) {
  const member::UserData& d = panel.data;
  const auto place = [](const member::Place& p) {
    // The stored "province-city" text; an item without "-" reads as the province.
    return p.city.empty() ? p.province : p.province + "-" + p.city;
  };
  kBackgroundRows.appendTo(
      out, {{"ethnic", trusted(codes::labelOrEmpty(codes::kEthnicShort, d.ethnic))},
            {"nativeRegion", d.nativeRegion},
            {"residence", place(d.residence)},
            {"education", trusted(codes::labelOrEmpty(codes::kEducationShown, d.education))},
            {"educationVerified",
             trusted(member::isApproved(panel.text("xlphoto")) ? kVerifiedIcon : "")},
            {"household", place(d.household)},
            {"occupation", trusted(codes::labelOrEmpty(codes::kOccupation, panel.text("field")))},
            {"job", panel.row("job")},
            {"housing", trusted(codes::labelOrEmpty(codes::kHousing, d.housing))},
            {"income", incomeValue(panel)},
            {"incomeVerified",
             trusted(member::isApproved(panel.text("srphoto")) ? kVerifiedIcon : "")}});
}

void appendLaterRows(std::string& out, const PanelContext& panel) {
  kHabitRows.appendTo(out, {{"star", constellation(panel.row("star"))},
                            {"drink", habit(panel.row("drink"))},
                            {"smoking", habit(panel.row("smoking"))}});

  const member::Criteria criteria = member::readUserBz(panel.text("userbz"));
  const member::Range age = criteria.range(member::kAgeRange);
  const member::Range height = criteria.range(member::kHeightRange);
  const member::Range education = criteria.range(member::kEducationRange);
  kPartnerCriteria.appendTo(
      out,
      {{"ageLow", age.low},
       {"ageHigh", age.high},
       {"heightLow", height.low},
       {"heightHigh", height.high},
       {"educationLow", trusted(codes::labelOrEmpty(codes::kEducationShown, education.low))},
       {"educationHigh", trusted(codes::labelOrEmpty(codes::kEducationFrom124, education.high))}});

  const Variant lianxi = panel.row("lianxi");
  const std::string lianxiText = lianxi.str();
  const member::Contact contact = member::readLianxi(
      lianxi.isNull() ? std::nullopt : std::optional<std::string_view>(lianxiText));
  kContactRows.appendTo(out, {{"qq", contactPart(panel, contact.qq)},
                              {"msn", contactPart(panel, contact.msn)},
                              {"email", contactPart(panel, contact.email)},
                              {"mobile", mobileValue(panel)}});

  kIntroduction.appendTo(out, {{"aboutus", trusted(panel.z.HtmlOut(panel.row("aboutus")))}});
}

}  // namespace zurvafun::members

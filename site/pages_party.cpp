// The demo site's party pages: "/party.asp" (every party), "/partyinfo.asp"
// (one party with its sign-ups and the sign-up buttons), "/partyjoin.asp"
// (the sign-up form, a pop-up), "/action.asp" (party_action),
// "/partymanage.asp" (the organiser's parties), "/partyedit.asp" (the party
// form with the organiser's panel, partyaction), and stand-ins for the photo
// pages the panel links to (by the names of the member's photo pages with a
// party's number: "/upload.asp?partyid=N", "/userphoto.asp?partyid=N").
#include <string>

#include "framework/html.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "site/pages_interaction.h"
#include "site/site_post.h"

namespace zurvafun::site::interaction_pages {

namespace {

// The party's columns shown and edited, with their labels and form fields.
struct PartyField {
  const char* column;
  const char* field;
  const char* label;
  bool longText;
};
constexpr PartyField kPartyFields[] = {
    {"bt", "title", "活动主题", false},     {"cs", "cs", "城市", false},
    {"address", "address", "地点", false},  {"partytime", "partytime", "活动时间", false},
    {"bmtime", "bmtime", "报名截止", false}, {"yqrs", "yqrs", "邀请人数", false},
    {"hdfy", "hdfy", "活动费用", false},    {"lxfs", "lxfs", "联系方式", false},
    {"gg", "gg", "活动公告", true},         {"fa", "fa", "活动方案", true},
    {"jtzn", "jtzn", "交通指南", true},
};

// A pop-up link, as the sign-up pages are opened (their messages close the window).
std::string popUp(zurva& z, std::string target, std::string_view text) {
  return siteAnchor(z, std::move(target), text,
                "onclick=\"window.open(this.href,'party','width=520,height=520,scrollbars=yes');return false;\"");
}

// When a party is held, to the minute ("2027-02-06 14:00"); a stored text
// that is no date stands as it is.
std::string partyTime(const Variant& stored) {
  const std::string text = stored.str();
  return text.size() >= 16 && text[4] == '-' && text[13] == ':' ? text.substr(0, 16) : text;
}

constexpr html::Fragment kPartyLine =
    "      <tr><td>{{title}}</td><td>{{city}}</td><td>{{time}}</td><td>{{state}}</td><td>{{count}} "
    "人</td></tr>\n";

// The parties to come, the next first, then those held, the latest first.
void partyList(serve::PageContext& p) {
  zurva z;
  db::Connection conn = openDatabase(p);
  SitePage page(z, p, {.title = "聚会活动"});
  if (loggedInMember(p))
    page.links({siteAnchor(z, "partymanage.asp", "我组织的活动"),
                siteAnchor(z, "partyedit.asp", "发表新活动")});
  std::string out =
      "    <table class=\"bk\" cellspacing=\"1\" cellpadding=\"4\">\n"
      "      <tr "
      "class=\"bg_l\"><td>主题</td><td>城市</td><td>活动时间</td><td></td><td>报名</td></tr>\n";
  const sql::Quoted now = sql::text(dateTimeText(clockNow()));
  const auto lines = [&](const sql::Statement& statement, const char* state) {
    for (db::Recordset rs = conn.Execute(statement); !rs.eof(); rs.MoveNext())
      kPartyLine.appendTo(
          out,
          {{"title", html::trusted(siteAnchor(
                         z, "partyinfo.asp?partyid=" + std::to_string(CLng(rs(0))), rs(1).str()))},
           {"city", rs(2)},
           {"time", partyTime(rs(3))},
           {"state", html::trusted(state)},
           {"count", rs(4)}});
  };
  lines(sql::statement("select id,bt,cs,partytime,(select count(*) from partycj c where "
                       "c.partyid=party.id) from party "
                       "where partytime>='{}' order by partytime",
                       now),
        "<font color=#ff6600>即将举行</font>");
  lines(sql::statement("select id,bt,cs,partytime,(select count(*) from partycj c where "
                       "c.partyid=party.id) from party "
                       "where not partytime>='{}' or partytime is null order by partytime desc",
                       now),
        "已结束");
  p.Response.Write(out + "    </table>\n");
  page.end();
}

constexpr html::Fragment kPartyFieldLine =
    "      <tr><td class=\"bg_l\" width=\"90\">{{label}}</td><td>{{value}}</td></tr>\n";
constexpr html::Fragment kPartySummary = "    <p><b>活动总结：</b>{{summary}}</p>\n";
constexpr html::Fragment kSignedUp = "{{separator}}{{name}}";
constexpr html::Fragment kWithdraw =
    R"(    <form method="post" action="{{action}}">{{email}}<input type="submit" value="取消报名"></form>
)";
constexpr const char* kWithdrawEmail =
    R"(报名时的电子邮箱 <input type="text" name="email" size="24"> )";

void partyInfo(serve::PageContext& p) {
  zurva z;
  const auto party = numberOf(p.Request("partyid"));
  db::Connection conn = openDatabase(p);
  db::Recordset rs;
  if (party) rs = conn.Execute(sql::statement("select * from party where id={}", *party));
  if (!party || rs.eof()) return notePage(z, p, {.title = "聚会活动"}, "没有这个活动。");
  const std::string id = std::to_string(*party);
  SitePage page(z, p, {.title = "聚会活动：" + rs("bt").str()});
  p.Response.Write("    <table class=\"bk\" cellspacing=\"1\" cellpadding=\"4\" width=\"100%\">\n");
  for (const PartyField& f : kPartyFields)
    p.Response.Write(
        kPartyFieldLine({{"label", html::trusted(f.label)}, {"value", rs(f.column).str()}}));
  p.Response.Write("    </table>\n");

  db::Recordset summary =
      conn.Execute(sql::statement("select nr from partyzj where partyid={} and rz=2", *party));
  if (!summary.eof()) p.Response.Write(kPartySummary({{"summary", summary(0).str()}}));

  p.Response.Write("    <p><b>已报名：</b>");
  long count = 0;
  for (db::Recordset c = conn.Execute(
           sql::statement("select name,gk from partycj where partyid={} order by id", *party));
       !c.eof(); c.MoveNext(), ++count)
    p.Response.Write(
        kSignedUp({{"separator", html::trusted(count ? "、" : "")},
                   {"name", eq(c(1), 0) ? html::trusted("（不公开）") : html::Value(c(0).str())}}));
  p.Response.Write(count ? "" : "还没有人报名");
  p.Response.Write("</p>\n");
  page.links({popUp(z, "partyjoin.asp?partyid=" + id, "我要报名"),
              popUp(z, "partyjoin.asp?partyid=" + id + "&sign=up-datejoin", "修改报名")});
  // Withdrawing: a member is known by his login, a visitor by his e-mail.
  p.Response.Write(kWithdraw({{"action", siteLink(z, "action.asp?sign=deljoin&partyid=" + id)},
                              {"email", html::trusted(loggedInMember(p) ? "" : kWithdrawEmail)}}));
  if (const auto me = loggedInMember(p); me && eq(rs("userid"), Variant(long(*me))))
    page.links({siteAnchor(z, "partyedit.asp?partyid=" + id, "编辑这个活动")});
  page.links({siteAnchor(z, "party.asp", "全部活动")});
  page.end();
}

constexpr html::Fragment kJoinFormTop = R"(    <form method="post" action="{{action}}">
    <table cellpadding="4">
)";
constexpr html::Fragment kJoinRow = "      <tr><td>{{label}}</td><td>{{input}}</td></tr>\n";
constexpr html::Fragment kTextInput = R"(<input type="text" name="{{name}}" value="{{value}}">)";
constexpr html::Fragment kSexSelect =
    R"(<select name="sex"><option value="男">男</option><option value="女"{{woman}}>女</option></select>)";

void joinForm(serve::PageContext& p) {
  zurva z;
  const auto party = numberOf(p.Request("partyid"));
  if (!party) return notePage(z, p, {.title = "活动报名", .frame = Frame::Window}, "没有这个活动。");
  const bool change = eq(p.Request("sign"), "up-datejoin");
  const Viewer viewer(p.Request);
  const bool isMember = loggedInMember(p).has_value();
  const std::string action = std::string(change ? "action.asp?sign=up-datejoin" : "action.asp?sign=join") +
                             "&partyid=" + std::to_string(*party);
  SitePage page(z, p, {.title = change ? "修改报名" : "活动报名", .frame = Frame::Window});
  p.Response.Write(kJoinFormTop({{"action", siteLink(z, action)}}));
  auto row = [&](std::string_view label, const std::string& input) {
    p.Response.Write(kJoinRow({{"label", html::trusted(label)}, {"input", html::trusted(input)}}));
  };
  row("姓名",
      kTextInput({{"name", "name"}, {"value", isMember ? viewer.member("nickname").str() : ""}})
          .str());
  row("电子邮箱",
      kTextInput({{"name", "email"}, {"value", isMember ? viewer.member("username").str() : ""}})
          .str());
  row("电话", "<input type=\"text\" name=\"tel\">");
  // A member's own sex is chosen (577 is a woman).
  const bool woman = isMember && eq(viewer.member("sex"), "577");
  row("性别", kSexSelect({{"woman", html::trusted(woman ? " selected" : "")}}).str());
  row("年龄", "<input type=\"text\" name=\"nl\" size=\"4\">");
  row("学历", "<input type=\"text\" name=\"xl\">");
  row("职业", "<input type=\"text\" name=\"zy\">");
  row("", "<label><input type=\"checkbox\" name=\"IsHidden\" value=\"0\"> 不公开我的姓名</label>");
  row("", "<label><input type=\"checkbox\" name=\"isjoin\" value=\"1\"> 带同伴参加</label>");
  row("", "<input type=\"submit\" value=\"提交\">");
  p.Response.Write("    </table>\n    </form>\n");
  page.end();
}

void partyHandler(serve::PageContext& p) {
  zurva z;
  // Every operation changes the parties: sign-ups and withdrawals from the
  // forms of the party pages, edits from the organiser's panel, deletions
  // from the organiser's list.
  requireSitePost(z, p);
  // Sign-ups come from the pop-up form, whose window the message closes.
  const Variant sign = p.Request("sign");
  const bool window = eq(sign, "join") || eq(sign, "up-datejoin");
  SitePage page(z, p, {.title = "聚会活动", .frame = window ? Frame::Window : Frame::Page});
  p.Response.Write(z.party_action(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName));
  page.end();
}

constexpr html::Fragment kMyParty =
    "      <tr><td>{{party}}</td><td>{{time}}</td><td>{{edit}}　{{remove}}</td></tr>\n";

void myParties(serve::PageContext& p) {
  zurva z;
  const auto me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "我组织的活动");
  db::Connection conn = openDatabase(p);
  SitePage page(z, p, {.title = "我组织的活动"});
  page.links({siteAnchor(z, "partyedit.asp", "发表新活动")});
  p.Response.Write("    <table class=\"bk\" cellspacing=\"1\" cellpadding=\"4\">\n");
  for (db::Recordset rs = conn.Execute(sql::statement(
           "select id,bt,partytime from party where userid={} order by partytime desc", *me));
       !rs.eof(); rs.MoveNext()) {
    const std::string id = std::to_string(CLng(rs(0)));
    p.Response.Write(kMyParty(
        {{"party", html::trusted(siteAnchor(z, "partyinfo.asp?partyid=" + id, rs(1).str()))},
         {"time", rs(2).str()},
         {"edit", html::trusted(siteAnchor(z, "partyedit.asp?partyid=" + id, "编辑"))},
         {"remove", html::trusted(postButton(z, "action.asp?sign=del&partyid=" + id, "删除",
                                             "删除活动和它的总结、报名？"))}}));
  }
  p.Response.Write("    </table>\n");
  page.links({siteAnchor(z, "party.asp", "全部活动")});
  page.end();
}

constexpr std::string_view kEditScripts = R"(function Chk_Submit(url){var f=document.partyform;if(f.title.value==''){alert('请填写活动主题');return;}f.action=url;f.submit();}
function check_str_num(field,max,id){var left=max-field.value.length;if(left<0){field.value=field.value.substring(0,max);left=0;}document.getElementById(id).innerHTML='还可输入'+left+'字';}
)";

constexpr html::Fragment kLongField =
    R"(<textarea name="{{name}}" rows="3" cols="60">{{value}}</textarea>)";
constexpr html::Fragment kShortField =
    R"(<input type="text" name="{{name}}" size="40" value="{{value}}">)";
constexpr html::Fragment kEditLine =
    "      <tr><td class=\"bg_l\" "
    "width=\"90\">{{label}}</td><td>&nbsp;</td><td>{{input}}</td></tr>\n";

void editParty(serve::PageContext& p) {
  zurva z;
  const auto me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "编辑活动");
  // The panel first: it refuses anyone but the party's organiser.
  const Variant panel = z.partyaction(p.SqlLocalName, p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
  db::Connection conn = openDatabase(p);
  db::Recordset party;
  if (const auto id = numberOf(p.Request("partyid")))
    party = conn.Execute(sql::statement("select * from party where id={}", *id));
  auto value = [&](const char* column) {
    return party.State() == db::adStateOpen && !party.eof() ? party(column).str() : std::string();
  };
  SitePage page(z, p, {.title = "编辑活动", .script = kEditScripts});
  p.Response.Write("    <form name=\"partyform\" method=\"post\" action=\"\">\n"
                   "    <table class=\"bk\" width=\"100%\" cellspacing=\"1\" cellpadding=\"4\"><TBODY>\n");
  for (const PartyField& f : kPartyFields) {
    const html::Fragment& input = f.longText ? kLongField : kShortField;
    p.Response.Write(
        kEditLine({{"label", html::trusted(f.label)},
                   {"input", input({{"name", f.field}, {"value", value(f.column)}})}}));
  }
  p.Response.Write(panel);
  p.Response.Write("    </table>\n    </form>\n    <p>总结字数：<span id=\"aa3\"></span></p>\n");
  page.links({siteAnchor(z, "partymanage.asp", "我组织的活动")});
  page.end();
}

}  // namespace

// Stand-ins for the photo pages of a party.
void partyPhotoUpload(serve::PageContext& p) {
  zurva z;
  notePage(z, p, {.title = "上传活动照片", .frame = Frame::Window}, "演示站暂不开放活动照片上传。");
}

void partyPhotos(serve::PageContext& p) {
  zurva z;
  notePage(z, p, {.title = "活动照片", .frame = Frame::Inner}, "暂无活动照片。");
}

void registerPartyPages(serve::PageRegistry& pages) {
  pages.add("/party.asp", partyList);
  pages.add("/partyinfo.asp", partyInfo);
  pages.add("/partyjoin.asp", joinForm);
  pages.add("/action.asp", partyHandler);
  pages.add("/partymanage.asp", myParties);
  pages.add("/partyedit.asp", editParty);
}

}  // namespace zurvafun::site::interaction_pages

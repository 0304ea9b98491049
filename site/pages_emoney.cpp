#include "site/emoney_pages.h"

#include <optional>
#include <regex>
#include <string>

#include "db/db.h"
#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/balance.h"
#include "runtime/text.h"
#include "site/pages_showcase.h"
#include "site/site_page.h"
#include "site/site_post.h"

namespace zurvafun::site {

namespace {

constexpr std::string_view kMemberList = "/admin/result.asp";
// The longest note of a credit or debit, in characters.
constexpr long kNoteLength = 40;
// The largest amount one credit or debit moves.
constexpr double kLargestAmount = 1000000;

// ------------------------------------------------------------------ the ledger

constexpr html::Fragment kLedgerRow =
    "      <tr><td>{{time}}</td><td class=\"{{css}}\">{{change}}</td><td>{{text}}</td></tr>\n";

// The change of the balance that a ledger amount stands for: its sign
// turned, "+" in front of money in.
std::string signedChange(const Variant& taken) {
  const Variant change = CCur(0) - CCur(taken.isNull() ? Variant(0) : taken);
  return (gt(change, Variant(0)) ? "+" : "") + change.str();
}

// ------------------------------------------------------------------ the administrator's credit and
// debit

constexpr html::Fragment kEmoneyForm =
    R"(<form class="emoneyform" method="post" action="/admin/emoney.asp"><input type="hidden" name="userid" value="{{userid}}">)"
    R"(<input type="hidden" name="back" value="{{back}}"><input type="text" name="amount" size="6" title="E币数额">)"
    R"( <input type="text" name="note" size="10" maxlength="40" title="说明（可不填）">)"
    R"( <button type="submit" name="action" value="credit">充值</button>)"
    R"( <button type="submit" name="action" value="debit">扣除</button></form>)";

// The page of the member list that a credit or debit returns to: a site
// path of the list and its paging values only, else the list's first page.
std::string listPage(const Variant& back) {
  static const std::regex kListPage(R"(/admin/result\.asp(\?[A-Za-z0-9=&]*)?)");
  const std::string text = back.str();
  return std::regex_match(text, kListPage) ? text : std::string(kMemberList);
}

// A posted amount of E币: a number above 0 with at most two decimals.
std::optional<Variant> amountOf(const Variant& posted) {
  static const std::regex kAmount(R"(\d{1,7}(\.\d{1,2})?)");
  const std::string text = Trim(posted.str());
  if (!std::regex_match(text, kAmount)) return std::nullopt;
  const Variant amount = CCur(Variant(text));
  if (!gt(amount, Variant(0)) || gt(amount, Variant(kLargestAmount))) return std::nullopt;
  return amount;
}

// "/admin/emoney.asp": credits or debits one member's balance with a ledger
// row that names the administrator, in one transaction. A debit never takes
// the balance below zero.
void creditPage(serve::PageContext& p) {
  zurva z;
  requireSitePost(z, p);
  const Viewer viewer(p.Request);
  if (!viewer.isAdministrator()) z.Msg("非法操作", "/admin/login.asp", 1);
  const std::string back = listPage(p.Request.Form("back"));
  const std::optional<std::int32_t> userid = numbers::digits(p.Request.Form("userid"));
  const bool credit = eq(p.Request.Form("action"), "credit");
  if (!userid || *userid <= 0 || (!credit && !eq(p.Request.Form("action"), "debit")))
    z.Msg("请求错误！", back, 1);
  const std::optional<Variant> amount = amountOf(p.Request.Form("amount"));
  if (!amount) z.Msg("请填写 E币 数额：大于 0 的数，最多两位小数。", back, 1);
  const std::string note = Trim(p.Request.Form("note").str());
  if (Len(note) > kNoteLength)
    z.Msg("说明不能超过" + std::to_string(kNoteLength) + "个字。", back, 1);

  db::Connection conn = openDatabase(p);
  if (!interaction::balanceOf(conn, *userid)) z.Msg("没有这个会员。", back, 1);
  const std::string history = "管理员" + viewer.admin("admin_name").str() +
                              (credit ? "充值" : "扣除") + (note.empty() ? "" : "：" + note);
  bool moved = false;
  conn.transaction([&] {
    if (credit) {
      conn.ExecuteAction(
          sql::statement("update zurva_user set emoney=isnull(emoney,0)+{} where userid={}",
                         sql::money(*amount), *userid));
      moved = true;
    } else {
      moved = interaction::charge(conn, *userid, *amount);
    }
    if (!moved) return;
    z.loveb_add(long(*userid), credit ? CCur(0) - *amount : *amount, history, p.SqlLocalName,
                p.SqlUserName, p.SqlPassword, p.SqlDatabaseName);
    // A ledger row that could not be written ends the request: nothing stays.
    if (p.Response.ended()) raiseRequestEnd();
  });
  const Variant balance = *interaction::balanceOf(conn, *userid);
  if (!moved)
    z.Msg("会员 " + std::to_string(*userid) + " 的 E币 余额（" + balance.str() +
              "）不足，不能扣除 " + amount->str() + "。",
          back, 1);
  z.Msg("已为会员 " + std::to_string(*userid) + (credit ? " 充值 " : " 扣除 ") + amount->str() +
            " E币，余额 " + balance.str() + "。",
        back, 1);
}

// ------------------------------------------------------------------ how to get E币

constexpr html::Fragment kTopUp =
    R"(    <p>您的 E币 余额：<b>{{balance}}</b>。E币 用于赠送礼物、发送礼物通知短信和购买我型我秀。</p>
    <p>演示站没有接入在线支付，不能在这里付款充值。E币 由管理员为会员充值：管理员登录管理页面后，在“会员列表”中找到会员，在他的那一行填写数额，点击“充值”。请联系管理员（{{mail}}）为您充值；演示站的管理员账号见首页。</p>
    <p>{{history}}　{{upgrade}}　{{home}}</p>
)";

void topUpPage(serve::PageContext& p) {
  zurva z;
  const std::optional<std::int32_t> me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "E币充值");
  db::Connection conn = openDatabase(p);
  const std::optional<Variant> balance = interaction::balanceOf(conn, *me);
  const std::string mail = siteSetting(p, 2).value_or("");
  SitePage page(z, p, {.title = "E币充值"});
  p.Response.Write(
      kTopUp({{"balance", balance ? *balance : Variant(0)},
              {"mail", mail.empty() ? std::string("管理员") : mail},
              {"history", html::trusted(siteAnchor(z, "/History.asp", "E币收支记录"))},
              {"upgrade", html::trusted(siteAnchor(z, "/ReadyBuy.asp", "升级为银卡、金卡会员"))},
              {"home", html::trusted(siteAnchor(z, "/indexw.asp", "会员中心"))}})
          .str());
  page.end();
}

// ------------------------------------------------------------------ the upgrade

struct Card {
  int grade;
  std::string_view name;
};
constexpr Card kCards[] = {{2, "银卡会员"}, {3, "金卡会员"}};

constexpr std::string_view kCardsText =
    "金卡、银卡会员可以查看更多会员资料、使用更多搜索条件、赠言和发送礼物通知短信，购买礼物享受五折"
    "。演示站不收费：点击即可升级。";

// "/ReadyBuy.asp": the member's grade and the cards above it; a POST of
// `grade` (2 or 3) upgrades him. Grades never go down here.
void upgradePage(serve::PageContext& p) {
  zurva z;
  const bool upgrading = postedToAct(z, p);
  const std::optional<std::int32_t> me = loggedInMember(p);
  if (!me) return askToLogIn(z, p, "会员升级");
  db::Connection conn = openDatabase(p);
  db::Recordset row =
      conn.Execute(sql::statement("select isnull(grade,1) from zurva_user where userid={}", *me));
  if (row.eof()) z.Msg("非法操作", "-2", 2);
  const double grade = toNumber(row(0));
  if (upgrading) {
    const std::optional<std::int32_t> chosen = numbers::digits(p.Request("grade"));
    const Card* card = nullptr;
    for (const Card& c : kCards)
      if (chosen == c.grade) card = &c;
    if (!card) z.Msg("请求错误！", "-1", 1);
    if (grade >= card->grade)
      z.Msg("您已经是" + std::string(z.dj1(row(0)).str()) + "，无需升级。", "/ReadyBuy.asp", 1);
    conn.ExecuteAction(
        sql::statement("update zurva_user set grade={} where userid={} and isnull(grade,1)<{}",
                       card->grade, *me, card->grade));
    // The member cookie carries the grade the pages go by.
    host::ResponseCookie& kalimo = p.Response.Cookies(kMemberCookie);
    kalimo.Path = "/";
    kalimo("grade") = card->grade;
    refreshShowcaseList(p, true);
    z.Msg("恭喜，您已升级为" + std::string(card->name) + "！", "/indexw.asp", 1);
  }
  SitePage page(z, p, {.title = "会员升级"});
  page.note(kCardsText);
  p.Response.Write("    <p>您现在是：" + gradeBadge(z, row(0)) + "</p>\n    <p>");
  bool offered = false;
  for (const Card& c : kCards) {
    if (grade >= c.grade) continue;
    p.Response.Write(postButton(z, "/ReadyBuy.asp?grade=" + std::to_string(c.grade),
                                "免费升级为" + std::string(c.name)) +
                     "　");
    offered = true;
  }
  if (!offered) p.Response.Write("您已是最高等级的会员。");
  p.Response.Write("</p>\n    <p>" + siteAnchor(z, "/indexw.asp", "会员中心") + "</p>\n");
  page.end();
}

}  // namespace

sql::Statement ledgerSelect(std::int32_t userid, long limit) {
  return sql::statement(
      "select top {} b_time,b_count,b_history from emoneymx where userID={} order by id desc",
      limit, userid);
}

std::string ledgerRows(db::Connection& conn, std::int32_t userid, long limit) {
  std::string rows;
  for (db::Recordset rs = conn.Execute(ledgerSelect(userid, limit)); !rs.eof(); rs.MoveNext()) {
    const std::string change = signedChange(rs(1));
    kLedgerRow.appendTo(rows, {{"time", rs(0)},
                               {"css", change.starts_with('-') ? "moneyout" : "moneyin"},
                               {"change", change},
                               {"text", rs(2)}});
  }
  return rows;
}

std::string emoneyForm(long userid, std::string_view back) {
  return kEmoneyForm({{"userid", userid}, {"back", back}}).str();
}

void registerEmoneyPages(serve::PageRegistry& pages) {
  pages.add("/admin/emoney.asp", creditPage);
  pages.add("/chongzhi.asp", topUpPage);
  pages.add("/ReadyBuy.asp", upgradePage);
  pages.alias("/payment/readybuy.asp", "/ReadyBuy.asp");
}

}  // namespace zurvafun::site

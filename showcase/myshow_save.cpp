// The showcase purchase handler: starts granted free days (action "free"),
// or sells showcase days at 30 E币 a day. A purchase checks the balance,
// charges it, writes the period and the target age range and the ledger row
// in one transaction; a second purchase while a period is pending, waiting or
// running extends it.
#include <cmath>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/links.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "showcase/card_parts.h"
#include "showcase/member_row.h"
#include "showcase/showcase_list.h"
#include "showcase/showcase_period.h"

namespace zurvafun {

namespace {

constexpr long kPricePerDay = 30;
// Day counts are 16-bit numbers: the status box reads them so.
constexpr long kMostDays = 32767;
// The ages a showcase entry can name (two digits each).
constexpr std::int32_t kYoungest = 18, kOldest = 99;

constexpr const char* kFreeStarted =
    "我型我秀申请成功,将于第二天发布<br>可以通过修改基本资料里的意中人年龄标准来确定我型我秀的年龄范围<br>"
    "如有其他疑问可以联系我们的客服!谢谢!";
constexpr const char* kBought =
    "我型我秀申请成功,将于第二天发布<br>可以通过修改基本资料里的意中人年龄标准来确定我型我秀的年龄范围<Br>"
    "如有其他疑问可以联系我们的客服!谢谢!";
constexpr const char* kDaysRefused = "天数必须大于一天并且是整数，请重新输入！";
constexpr const char* kTooLittleMoney = "申请我型我秀所需E币大于现有E币，请重新输入！";

// The saved criteria with item 0, the wanted age range, replaced by
// "agefrom-ageto"; std::nullopt when the two are not whole ages from 18 to 99
// in order (the criteria then stay as they are).
std::optional<std::string> withAgeRange(const Variant& userbz, const Variant& agefrom, const Variant& ageto) {
  const std::optional<std::int32_t> from = numbers::digits(agefrom);
  const std::optional<std::int32_t> to = numbers::digits(ageto);
  if (!from || !to || *from < kYoungest || *to > kOldest || *from > *to) return std::nullopt;
  const std::string range = std::to_string(*from) + "-" + std::to_string(*to);
  std::vector<std::string> items = Split(userbz.str(), "#");
  if (items.empty()) return range;
  items[0] = range;
  return Join(items, "#");
}

struct ShowcaseSave;

}  // namespace

// myshow_save's steps: the free period started, a period bought. Each runs
// in one transaction, which the ledger row joins.
template <>
struct MethodSteps<ShowcaseSave> {
  zurva& z;
  db::Connection& conn;
  const Viewer& viewer;
  std::optional<std::int32_t>
      id;  // the member cookie's number (memberRow refuses a cookie without one)
  const Variant& SqlLocalName;
  const Variant& SqlUserName;
  const Variant& SqlPassword;
  const Variant& SqlDatabaseName;

  // The free period starts now.
  void startFree() {
    conn.transaction([&] {
      db::Recordset row = showcase::memberRow(z, viewer, conn, sql::verbatim("iflianxi,moneytime"));
      if (!showcase::freeDaysPending(row("moneytime")))
        z.Msg("非法操作!没有免费我型我秀时间!", "-2", 2);
      const std::string days = row("iflianxi").str();
      conn.ExecuteAction(sql::statement(
          "update zurva_user set tuijian=1,moneytime='{}' where userid={}", sql::text(Now()), *id));
      ledger(0, "<我型我秀>使用免费服务:" + days + "天");
    });
  }

  // The requested days bought: a period that is pending, waiting for
  // tomorrow or running gets the days added; an absent or ended one starts
  // anew now. The saved criteria take the requested age range.
  void buy() {
    conn.transaction([&] {
      db::Recordset row =
          showcase::memberRow(z, viewer, conn, sql::verbatim("emoney,iflianxi,moneytime,userbz"));
      const Variant emoney = row("emoney");
      const double balance = emoney.isNull() || emoney.str().empty() ? 0 : CDbl(emoney);
      const long days = requestedDays();
      const long cost = days * kPricePerDay;
      if (cost > balance) z.Msg(kTooLittleMoney, "-1", 2);

      const Variant now = Now();
      const bool extend =
          showcase::showcaseState(row("iflianxi"), row("moneytime"), now) != showcase::ShowcaseState::None;
      const long total = extend ? long(CDbl(row("iflianxi"))) + days : days;
      if (total > kMostDays) z.Msg(kDaysRefused, -1, 2);
      const sql::Statement start =
          extend ? sql::verbatim("") : sql::statement(",moneytime='{}'", sql::text(now));
      const std::optional<std::string> userbz =
          withAgeRange(row("userbz"), z.Request()("agefrom"), z.Request()("ageto"));
      const sql::Statement criteria =
          userbz ? sql::statement(",userbz='{}'", sql::text(*userbz)) : sql::verbatim("");

      // The charge holds only while the balance covers it.
      const long charged = conn.ExecuteAction(sql::statement(
          "update zurva_user set emoney=emoney-{},tuijian=1,iflianxi={}{}{} where userid={} and emoney>={}", cost,
          total, start, criteria, *id, cost));
      if (charged != 1) z.Msg(kTooLittleMoney, "-1", 2);
      ledger(cost, "<我型我秀>申请:" + std::to_string(days) + "天");
    });
  }

 private:
  // Whole days, rounded half to even; below one day, or more than a 16-bit
  // count, is refused.
  long requestedDays() {
    const Variant requested = z.Request().Form("ORDERMONEY");
    z.pages(requested);
    const double rounded = bankersRound(CDbl(requested));
    if (!(rounded >= 1 && rounded <= kMostDays)) z.Msg(kDaysRefused, -1, 2);
    return long(rounded);
  }

  // The ledger row joins the transaction; should it fail to be written (its
  // own message ends the response) nothing of the purchase stays.
  void ledger(long amount, const std::string& history) {
    z.loveb_add(*id, amount, history, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
    if (z.Response().ended()) raiseRequestEnd();
  }
};

void zurva::myshow_save(const Variant& SqlLocalName, const Variant& SqlUserName,
                        const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  untrapped([&] {
    const Viewer viewer(Request());
    if (!viewer.isMember()) {
      Msg("非法操作", "-2", 2);
      return;
    }
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    MethodSteps<ShowcaseSave> steps{*this,        conn,        viewer,      viewer.memberNumber(),
                                    SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName};
    if (Request()("action").str() == "free") {
      steps.startFree();
      Msg(kFreeStarted, "-2", 2);
      return;
    }
    steps.buy();
    Msg(kBought, unescapedSiteLink(*this, "index.html").str(), 2);
  });
}

}  // namespace zurvafun

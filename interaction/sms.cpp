// Paid SMS: one message through the site's SMS gateway, charged to the
// logged-in member once the gateway has accepted it.
//
// The gateway is asked only when the member's balance covers the price, and
// the charge is a statement that lowers the balance only while it still
// covers the price, written in one transaction with its ledger row: the
// balance never goes below zero and never moves without its ledger row. The
// gateway's answer cannot be taken back, so what fails after it (the balance
// spent meanwhile by another request, a database error) is logged and the
// result stays True.
#include <cstdint>
#include <memory>
#include <optional>

#include "db/db.h"
#include "framework/site_settings.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "host/objects.h"
#include "interaction/balance.h"
#include "interaction/request_checks.h"
#include "interaction/sms_gateway.h"

namespace zurvafun {

Variant zurva::SendSms(Variant& UserName, Variant& UserPass, const Variant& DstMobile,
                       const Variant& SmsMsg, const Variant& money, const Variant& his,
                       const Variant& SqlLocalName, const Variant& SqlUserName,
                       const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    result = false;
    // The site's gateway account, whatever the caller passed.
    const auto settings = siteSettings(Application());
    UserName = settings->baseInfo(22);
    UserPass = settings->baseInfo(23);

    const Viewer viewer(Request());
    if (!viewer.isMember() && !viewer.isAdministrator())
      interaction::endWithMessage(*this, "非法操作", "-2", 2);
    // The member who pays; an administrator without a member login has no
    // account to charge.
    const std::optional<std::int32_t> userid = viewer.memberNumber();
    if (!userid) raise(err::TypeMismatch);
    // The price as a number before anything is sent: a message that could not
    // be charged is never sent, and no price may credit the member.
    const Variant price = CCur(money);
    if (lt(price, Variant(0))) raise(err::InvalidCall);

    db::Connection conn;
    open(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
    const std::optional<Variant> balance = interaction::balanceOf(conn, *userid);
    if (!balance || lt(*balance, price)) return;

    const auto http = std::dynamic_pointer_cast<host::XmlHttpRequest>(
        Server().CreateObject("Microsoft.XMLHTTP"));
    if (!http) raise(err::ObjectRequired);
    http->Open("GET",
               interaction::smsGatewayUrl(interaction::smsGatewayAddress(Application()),
                                          {UserName.str(), UserPass.str(), DstMobile.str(), SmsMsg.str()}),
               false);
    http->setRequestHeader("Content-type", "text/xml;charset=GB2312");
    http->Send();
    if (http->ResponseText() != "true") return;

    result = true;
    try {
      conn.transaction([&] {
        if (!interaction::charge(conn, *userid, price)) {
          interaction::logSmsFailure("短信已发出，余额已不足，未扣费：会员 " + std::to_string(*userid) + "，" + price.str() + " E币");
          return;
        }
        loveb_add(*userid, price, his, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
      });
    } catch (const VbError& e) {
      if (e.isRequestEnd()) throw;
      interaction::logSmsFailure(e.description());
    } catch (const std::exception& e) {
      interaction::logSmsFailure(e.what());
    }
  });
}

}  // namespace zurvafun

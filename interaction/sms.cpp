// Paid SMS: one message through the site's SMS gateway, paid by the
// logged-in member.
//
// The charge comes first: a statement that lowers the balance only while it
// covers the price, and its ledger row, in one short transaction committed
// before the gateway is asked, so that concurrent messages can never be sent
// on the same money and no lock is held while the gateway works. A message
// that the balance does not cover is never sent. When the gateway does not
// answer "true" (or cannot be reached) the price goes back to the member with
// a ledger row of its own; a failure to give it back is logged.
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "host/objects.h"
#include "interaction/balance.h"
#include "interaction/request_checks.h"
#include "interaction/sms_gateway.h"

namespace zurvafun {

namespace {
struct PaidSms;
}

// SendSms's steps: the gateway's request, the charge, the price given back.
template <>
struct MethodSteps<PaidSms> {
  zurva& z;
  db::Connection& conn;
  std::int32_t userid;
  const Variant& price;
  const Variant& his;  // the ledger text
  const Variant& SqlLocalName;
  const Variant& SqlUserName;
  const Variant& SqlPassword;
  const Variant& SqlDatabaseName;

  // The gateway's request for one message from the site's account, not sent yet.
  std::shared_ptr<host::XmlHttpRequest> gatewayRequest(const Variant& UserName,
                                                       const Variant& UserPass,
                                                       const Variant& DstMobile,
                                                       const Variant& SmsMsg) {
    const auto http = std::dynamic_pointer_cast<host::XmlHttpRequest>(
        z.Server().CreateObject("Microsoft.XMLHTTP"));
    if (!http) raise(err::ObjectRequired);
    http->Open(
        "GET",
        interaction::smsGatewayUrl(interaction::smsGatewayAddress(z.Application()),
                                   {UserName.str(), UserPass.str(), DstMobile.str(), SmsMsg.str()}),
        false);
    http->setRequestHeader("Content-type", "text/xml;charset=GB2312");
    return http;
  }

  // The price off the balance, with its ledger row, when the balance covers it.
  bool charge() {
    bool charged = false;
    conn.transaction([&] {
      charged = interaction::charge(conn, userid, price);
      if (charged)
        z.loveb_add(userid, price, his, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
    });
    return charged;
  }

  // The price back, with its ledger row, for a message the gateway did not
  // take; a failure to give it back is logged.
  void giveBack() {
    std::string failure;
    try {
      conn.transaction([&] {
        conn.ExecuteAction(
            sql::statement("update zurva_user set emoney=isnull(emoney,0)+{} where userid={}",
                           sql::money(price), userid));
        z.loveb_add(userid, Variant(0) - price, "短信未发出，退回：" + his.str(), SqlLocalName,
                    SqlUserName, SqlPassword, SqlDatabaseName);
      });
    } catch (const VbError& e) {
      if (e.isRequestEnd()) throw;
      failure = e.description();
    } catch (const std::exception& e) {
      failure = e.what();
    }
    if (!failure.empty())
      interaction::logSmsFailure("短信未发出，未能退回会员 " + std::to_string(userid) + " 的 " +
                                 price.str() + " E币：" + failure);
  }
};

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
    MethodSteps<PaidSms> steps{*this,        conn,        *userid,     price,          his,
                               SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName};
    const auto http = steps.gatewayRequest(UserName, UserPass, DstMobile, SmsMsg);
    if (!steps.charge()) return;
    try {
      http->Send();
    } catch (...) {
      steps.giveBack();
      throw;
    }
    if (http->ResponseText() == "true") {
      result = true;
    } else {
      steps.giveBack();
    }
  });
}

}  // namespace zurvafun

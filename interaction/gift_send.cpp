// Handler of the gift form: one catalogue gift for the main receiver (form
// value "to") and for every ticked friend ("list"), each receiver once.
//
// Every value is checked before anything is written: the receivers are
// numbers of existing members, the gift is in the catalogue, the balance
// covers all the gifts. The gift rows, the charge and the gifts' ledger rows
// are then written in one transaction whose charge lowers the balance only
// while it covers the gifts, so two requests can never spend the same money
// and a failure part-way leaves nothing written. The SMS notices go out after
// the gifts are stored, each through SendSms, which charges a notice with its
// own ledger row before it asks the gateway and gives the price back when the
// gateway does not take it; a notice that is not sent never takes a gift back.
// A gateway that cannot be reached is an error that reaches the page (the
// gifts are stored by then); one that refuses a notice lists its receiver
// in the outcome's failure line.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/balance.h"
#include "interaction/gifts.h"
#include "interaction/request_checks.h"
#include "model/member_record.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

constexpr std::string_view kNoReceiver = "请输入赠与者的id，id必须为数字";
constexpr std::string_view kNobody = "查无此人";
constexpr std::string_view kTooLittleMoney = "您的E币不足,请充值!";
// Characters of the message that the gift row keeps.
constexpr long kMessageLength = 100;

bool isMember(db::Connection& conn, std::int32_t userid) {
  return ne(conn.Execute(sql::statement("select count(*) as count1 from zurva_user where userid={}", userid))(0),
            0);
}

// What the gift handler tells the sender: the gifts are sent, and to whom a
// notice went or did not go (`sentTo`, `notSentTo`: each name after a ",").
std::string outcomeText(const std::string& sentTo, const std::string& notSentTo) {
  std::string outcome = "已成功送出礼物";
  if (!sentTo.empty()) outcome += "\\n" + sentTo.substr(1) + " 发送礼物通知短信成功！";
  if (!notSentTo.empty())
    outcome +=
        "\\n" + notSentTo.substr(1) +
        " 发送礼物通知短信失败，失败原因可能为：对象未填写手机信息或您的会员等级不是银卡以上会员。";
  return outcome;
}

struct GiftSend;

}  // namespace

// slw_action's steps: the receivers, the gifts stored and charged, the
// notices sent.
template <>
struct MethodSteps<GiftSend> {
  zurva& z;
  db::Connection& conn;
  std::int32_t sender;
  int grade;
  const Variant& SqlLocalName;
  const Variant& SqlUserName;
  const Variant& SqlPassword;
  const Variant& SqlDatabaseName;

  // The ticked friends in their order, then the main receiver; each member
  // once. A receiver that is no number or no member is refused.
  std::vector<std::int32_t> receivers(const host::ValueCollection& form) {
    std::optional<std::int32_t> mainReceiver;
    if (!eq(form("to"), "")) {
      mainReceiver = interaction::guardedOrRefuse(z, form("to"), kNoReceiver);
      if (!isMember(conn, *mainReceiver)) interaction::endWithMessage(z, kNobody, "-1", 1);
    }
    const Variant list = form("list");
    if (!mainReceiver && eq(list, "")) interaction::endWithMessage(z, kNoReceiver, "-1", 1);
    std::vector<std::int32_t> receivers;
    if (!eq(list, "")) {
      for (const std::string& item : Split(list.str(), ",")) {
        const std::int32_t friendId = interaction::guardedOrRefuse(z, Trim(item), kNoReceiver);
        if (friendId == mainReceiver || std::ranges::count(receivers, friendId)) continue;
        if (!isMember(conn, friendId)) interaction::endWithMessage(z, kNobody, "-1", 1);
        receivers.push_back(friendId);
      }
    }
    if (mainReceiver) receivers.push_back(*mainReceiver);
    return receivers;
  }

  // The gift rows, the charge of `total` and a ledger row of `price` for each
  // gift, in one transaction.
  void storeGifts(const std::vector<std::int32_t>& receivers, std::int16_t giftId,
                  const Variant& message, const Variant& price, const Variant& total) {
    const Variant now = Now();
    const bool halfPrice = interaction::paysHalfPrice(grade);
    // The receivers' names are read before the transaction: it locks only
    // the sender's row, so that two members' gifts to each other never wait
    // for each other.
    std::vector<std::string> histories;
    for (const std::int32_t receiver : receivers)
      histories.push_back("您向" + nicknameOf(receiver) +
                          (halfPrice ? "送去礼物,金银卡会员打五折." : "送去礼物"));
    conn.transaction([&] {
      db::Recordset rows;
      rows.Open("select * from presentmx", conn, db::adOpenKeyset, db::adLockOptimistic);
      for (const std::int32_t receiver : receivers) {
        rows.AddNew();
        rows["userid"] = long(receiver);
        rows["senduserid"] = long(sender);
        rows["presentedid"] = Variant::integer(giftId);
        rows["sm"] = message;
        rows["addtime"] = now;
        rows.Update();
      }
      rows.Close();
      if (!interaction::charge(conn, sender, total))
        interaction::endWithMessage(z, kTooLittleMoney, "-2", 1);
      for (const std::string& history : histories)
        z.loveb_add(long(sender), price, history, SqlLocalName, SqlUserName, SqlPassword,
                    SqlDatabaseName);
    });
  }

  // The notice to every receiver, in their order, each through SendSms; the
  // names of those it reached and of those it did not, each after a ",".
  void sendNotices(const std::vector<std::int32_t>& receivers, const std::string& notice,
                   const Variant& money, std::string& sentTo, std::string& notSentTo) {
    for (const std::int32_t receiver : receivers) {
      db::Recordset rs = conn.Execute(
          sql::statement("select Mobile,nickname from zurva_user where userid={}", receiver));
      const Variant mobile = rs.eof() ? Variant::null() : rs("Mobile");
      const Variant nickname = rs.eof() ? Variant::null() : rs("nickname");
      const std::string number = member::readMobile(mobile.isNull() ? "#" : mobile.str()).number;
      bool sent = false;
      // A gateway that cannot be asked (no connection, no address) raises
      // its error to the page, which tells the sender; the gifts stay.
      if (grade >= 2 && !number.empty()) {
        Variant account, password;
        sent = CBool(z.SendSms(account, password, number, notice, money,
                               "发送短信：您向" + nicknameOf(receiver) + "发送了一条礼物通知短信",
                               SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName));
      }
      // The names stand in the alert's script string.
      (sent ? sentTo : notSentTo) += "," + jsEscape(nickname.str());
    }
  }

  // A member's nickname, bad words starred.
  std::string nicknameOf(std::int32_t userid) {
    Variant nickname = interaction::firstFieldOrNull(
        conn, sql::statement("select nickname from Zurva_user where userID={}", userid));
    return z.ChkBadWords(nickname).str();
  }
};

void zurva::slw_action(const Variant& money, const Variant& sitename, const Variant& web,
                       const Variant& SqlLocalName, const Variant& SqlUserName,
                       const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  untrapped([&] {
    const Viewer viewer(Request());
    const std::int32_t sender = interaction::loggedInMemberOrRefuse(*this, viewer);
    const int grade = CInt(viewer.member("grade"));

    db::Connection conn;
    open(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
    const host::ValueCollection& form = Request().Form;
    MethodSteps<GiftSend> steps{*this,        conn,        sender,      grade,
                                SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName};
    const std::vector<std::int32_t> receivers = steps.receivers(form);

    const std::int16_t giftId = interaction::guarded16OrRefuse(*this, form("id"));
    db::Recordset gift =
        conn.Execute(sql::statement("select emoney from present where id={}", giftId));
    if (gift.eof()) interaction::endWithMessage(*this, "请求错误！", "-1", 1);
    const Variant price = interaction::priceFor(gift(0), grade);
    const Variant total = CCur(price * Variant(long(receivers.size())));

    const std::optional<Variant> balance = interaction::balanceOf(conn, sender);
    if (!balance)
      interaction::endWithMessage(*this, "非法操作", "-2", 2);  // a cookie of a member who is gone
    if (lt(*balance, price) || lt(*balance, total))
      interaction::endWithMessage(*this, kTooLittleMoney, "-2", 1);

    // Notices are sent only by silver and gold card members; their price is
    // checked before anything is written.
    const bool notices = eq(form("ifsms"), "1");
    if (notices && grade >= 2 && lt(CCur(money), Variant(0))) raise(err::InvalidCall);

    steps.storeGifts(receivers, giftId, Left(form("des").str(), kMessageLength), price, total);

    std::string sentTo, notSentTo;
    if (notices) {
      const std::string notice = viewer.member("nickname").str() + ",您有新的礼物来自" + sitename.str() + "(" +
                                 web.str() + "),请登陆网站查收！";
      steps.sendNotices(receivers, notice, money, sentTo, notSentTo);
    }

    const std::optional<Variant> left = interaction::balanceOf(conn, sender);
    Response().Cookies(kMemberCookie)("emoney") = left ? *left : Variant();
    Msg(outcomeText(sentTo, notSentTo), "-2", 1);
  });
}

}  // namespace zurvafun

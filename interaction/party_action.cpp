// party_action, the handler of the party pages: its common steps and the
// sign-up operations (join, up-datejoin, deljoin). Every operation ends the
// request with a message.
#include <optional>
#include <string>

#include "db/db.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "interaction/party.h"
#include "interaction/request_checks.h"
#include "runtime/dates.h"

namespace zurvafun {

namespace interaction {

namespace {

// The reply to a call with neither partyid nor sign: reloads the window that
// opened the pop-up and closes the pop-up.
constexpr std::string_view kClosingScript =
    "<SCRIPT     LANGUAGE=javascript>\r\n"
    " //Refresh   the   parent   window   and   close   the   current   window\r\n"
    " window.opener.location.reload();\r\n"
    " window.close();\r\n"
    "</SCRIPT>\r\n";

constexpr std::string_view kNotJoined = "您还没参加本活动！";

// The sign-up form's values that become columns, checked before anything is
// written: the age a 16-bit number, the visibility a number (1 when left
// out), the join flag absent or a number.
struct SignupForm {
  Variant tel, xl, zy, sex;
  std::int16_t age = 0;
  std::int16_t visibility = 1;
  int joins = 0;

  static SignupForm read(PartyCall& call) {
    const host::ValueCollection& form = call.request.Form;
    SignupForm f;
    f.tel = form("tel");
    f.xl = form("xl");
    f.zy = form("zy");
    f.sex = form("sex");
    f.age = guarded16OrRefuse(call.z, form("nl"));
    if (!eq(form("IsHidden"), "")) f.visibility = guarded16OrRefuse(call.z, form("IsHidden"));
    const Variant isjoin = form("isjoin");
    if (!isjoin.isEmpty()) {
      if (!IsNumeric(isjoin) || isjoin.str().empty()) endWithMessage(call.z, "请求错误！", "-1", 1);
      f.joins = toNumber(isjoin) == 0 ? 0 : 1;
    }
    return f;
  }

  // The columns both join and up-datejoin write.
  void writeTo(db::Recordset& rs) const {
    rs["xl"] = xl;
    rs["zy"] = zy;
    rs["sex"] = sex;
    rs["nl"] = Variant::integer(age);
    rs["lx"] = tel;
    rs["gk"] = Variant::integer(visibility);
    rs["tb"] = joins;
    rs["addtime"] = Now();
  }
};

int countSignups(db::Connection& conn, std::int32_t partyId, const sql::Statement& own) {
  return CInt(conn.Execute(sql::statement("select count(*) as count from partycj where partyid={} and {}",
                                          partyId, own))("count"));
}

std::int32_t requireParty(PartyCall& call) {
  if (!call.partyId) endWithMessage(call.z, "请求错误！", "-1", 1);
  return *call.partyId;
}

}  // namespace

sql::Statement PartyCall::ownSignups() const {
  if (isMember()) return sql::statement("userid={}", memberId);
  return sql::statement("email='{}' and userid=0", sql::text(signupEmail));
}

bool partyIsOver(const Variant& partytime) {
  return IsDate(partytime) && DateDiff("d", Today(), partytime) < 0;
}

void join(PartyCall& call) {
  const std::int32_t partyId = requireParty(call);
  if (call.conn.Execute(sql::statement("select id from party where id={}", partyId)).eof())
    endWithMessage(call.z, "请求错误！", "-1", 1);
  if (call.signups != 0) endWithMessage(call.z, "您已经参加了该活动！", "-2", 1);
  const SignupForm form = SignupForm::read(call);
  bool joined = false;
  // Counted again with the row written, so that a second request sent at the
  // same time finds the first one's row.
  call.conn.transaction([&] {
    if (countSignups(call.conn, partyId, call.ownSignups()) != 0) return;
    db::Recordset rs;
    rs.Open("select * from partycj", call.conn, db::adOpenKeyset, db::adLockOptimistic);
    rs.AddNew();
    rs["partyid"] = long(partyId);
    rs["userid"] = long(call.memberId);
    rs["email"] = call.request.Form("email");
    rs["name"] = call.request.Form("name");
    form.writeTo(rs);
    rs.Update();
    joined = true;
  });
  if (!joined) endWithMessage(call.z, "您已经参加了该活动！", "-2", 1);
  endWithMessage(call.z, "您参加活动成功！", "-2", 1);
}

void updateSignup(PartyCall& call) {
  const std::int32_t partyId = requireParty(call);
  if (!call.isMember() && call.signupEmail.empty()) endWithMessage(call.z, kNotJoined, "-1", 1);
  db::Recordset rs;
  rs.Open(sql::statement("select * from partycj where partyid={} and {}", partyId, call.ownSignups()),
          call.conn, db::adOpenKeyset, db::adLockOptimistic);
  if (rs.eof()) endWithMessage(call.z, kNotJoined, "-1", 1);
  const SignupForm form = SignupForm::read(call);
  // A member signs as his account; a visitor keeps the e-mail that finds
  // his row and may correct his name.
  rs["email"] = call.signupEmail;
  rs["name"] = call.isMember() ? call.nickname : call.request.Form("name");
  form.writeTo(rs);
  rs.Update();
  rs.Close();
  endWithMessage(call.z, "修改成功！", "-2", 1);
}

void withdraw(PartyCall& call) {
  if (call.signups != 1 || (!call.isMember() && call.signupEmail.empty()))
    endWithMessage(call.z, kNotJoined, "-1", 1);
  call.conn.Execute(
      sql::statement("delete from partycj where partyid={} and {}", *call.partyId, call.ownSignups()));
  Variant partyPage = "partyinfo.asp?partyid=" + std::to_string(*call.partyId);
  endWithMessage(call.z, "删除成功！", call.z.showurl(partyPage), 1);
}

}  // namespace interaction

Variant zurva::party_action(const Variant& SqlLocalName, const Variant& SqlUserName,
                            const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    const Viewer viewer(Request());
    const std::int32_t memberId = eq(viewer.member("userid"), "") ? 0 : viewer.userid();
    const Variant account = viewer.member("username");
    const std::string signupEmail = (eq(account, "") ? Request().Form("email") : account).str();

    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;

    const Variant sign = Request()("sign");
    const Variant party = Request()("partyid");
    if (eq(party, "") && eq(sign, "")) {
      result = std::string(interaction::kClosingScript);
      return;
    }
    interaction::PartyCall call{*this, Request(), conn, memberId, viewer.member("nickname"),
                                signupEmail, std::nullopt, 0};
    if (!eq(party, "")) {
      // A number before it reaches any statement or link.
      call.partyId = interaction::guardedOrRefuse(*this, party);
      call.signups = interaction::countSignups(conn, *call.partyId, call.ownSignups());
    }
    if (eq(sign, "join")) interaction::join(call);
    if (eq(sign, "up-datejoin")) interaction::updateSignup(call);
    if (eq(sign, "deljoin")) interaction::withdraw(call);
    if (eq(sign, "upd")) interaction::saveParty(call);
    if (eq(sign, "del")) interaction::deleteParty(call);
  });
}

}  // namespace zurvafun

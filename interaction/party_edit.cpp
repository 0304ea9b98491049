// The organiser's operations of party_action: save a party (a new one, or
// his own existing one) with its summary once the party's day is over, and
// delete a party with its summary and sign-ups.
#include <string>

#include "db/db.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "interaction/party.h"
#include "interaction/request_checks.h"
#include "runtime/dates.h"

namespace zurvafun::interaction {

namespace {

// The form fields that fill the party's text columns, as posted.
constexpr std::pair<const char*, const char*> kPartyFields[] = {
    {"bt", "title"}, {"cs", "cs"},     {"address", "address"}, {"bmtime", "bmtime"},
    {"yqrs", "yqrs"}, {"hdfy", "hdfy"}, {"lxfs", "lxfs"},       {"gg", "gg"},
    {"fa", "fa"},     {"jtzn", "jtzn"},
};

// The organiser of an existing party; "请求错误！" for a party that does not exist.
Variant organiserOf(PartyCall& call, std::int32_t partyId) {
  db::Recordset rs = call.conn.Execute(sql::statement("select userid from party where id={}", partyId));
  if (rs.eof()) endWithMessage(call.z, "请求错误！", "-1", 1);
  return rs(0);
}

bool organises(const PartyCall& call, const Variant& organiser) {
  return call.isMember() && eq(organiser, Variant(long(call.memberId)));
}

// Writes the summary of a party whose day is over: the party's one summary
// row, added the first time.
void saveSummary(PartyCall& call, std::int32_t partyId) {
  const bool present =
      ne(call.conn.Execute(sql::statement("select count(*) as count from partyzj where partyid='{}'", partyId))(0),
         0);
  db::Recordset rs;
  if (present) {
    rs.Open(sql::statement("select * from partyzj where partyid={}", partyId), call.conn, db::adOpenKeyset,
            db::adLockOptimistic);
  } else {
    rs.Open("select * from partyzj", call.conn, db::adOpenKeyset, db::adLockOptimistic);
    rs.AddNew();
  }
  rs["partyid"] = long(partyId);
  rs["nr"] = call.request.Form("zj");
  rs["addtime"] = Now();
  rs.Update();
}

}  // namespace

void saveParty(PartyCall& call) {
  if (!call.isMember()) endWithMessage(call.z, "非法操作", "-2", 2);
  if (call.partyId && !organises(call, organiserOf(call, *call.partyId)))
    endWithMessage(call.z, "您还没权修改本活动！", "-1", 2);
  const Variant partytime = call.request.Form("partytime");
  if (!IsDate(partytime)) endWithMessage(call.z, "活动时间不是有效的日期！", "-1", 1);

  call.conn.transaction([&] {
    db::Recordset rs;
    if (call.partyId) {
      rs.Open(sql::statement("select * from party where id={}", *call.partyId), call.conn, db::adOpenKeyset,
              db::adLockOptimistic);
      rs["rz"] = 1;
    } else {
      rs.Open("select * from party", call.conn, db::adOpenKeyset, db::adLockOptimistic);
      rs.AddNew();
      rs["userid"] = long(call.memberId);
    }
    for (const auto& [column, field] : kPartyFields) rs[column] = call.request.Form(field);
    rs["partytime"] = CDate(partytime);
    rs["addtime"] = Now();
    rs.Update();
    rs.Close();
    // The summary field belongs to a saved party: a new one has none yet.
    if (call.partyId && partyIsOver(partytime)) saveSummary(call, *call.partyId);
  });
  Variant list = "partymanage.asp";
  endWithMessage(call.z, "保存完毕,等待认证通过!", call.z.showurl(list), 1);
}

void deleteParty(PartyCall& call) {
  if (!call.partyId) endWithMessage(call.z, "您还没权删除本活动！", "-1", 1);
  const std::int32_t partyId = *call.partyId;
  if (!organises(call, organiserOf(call, partyId))) endWithMessage(call.z, "您还没权删除本活动！", "-1", 2);
  call.conn.transaction([&] {
    call.conn.Execute(sql::statement("delete from party where id={} and userid={}", partyId, call.memberId));
    call.conn.Execute(sql::statement("delete from partyzj where partyid={}", partyId));
    call.conn.Execute(sql::statement("delete from partycj where partyid={}", partyId));
  });
  Variant home = "index.html";
  endWithMessage(call.z, "删除成功！", call.z.showurl(home), 1);
}

}  // namespace zurvafun::interaction

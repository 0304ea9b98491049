// Parties: table party (one row per party, organised by member userid),
// partycj (the sign-ups) and partyzj (one summary per party, written after
// the party's day). All writes go through party_action; the operations below
// are its branches, chosen by the request value sign.
//
// Who is who: a logged-in member is known by his member number, and only his
// own sign-up rows (partycj.userid) are his; a visitor (member number 0) is
// known by the party and the e-mail he signs up with, among the visitors'
// rows (userid 0). Only the logged-in organiser edits or deletes a party.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/sql.h"
#include "runtime/variant.h"

namespace zurvafun {
class zurva;
namespace db {
class Connection;
}
namespace host {
class Request;
}
}  // namespace zurvafun

namespace zurvafun::interaction {

// What one call of party_action knows before it dispatches.
struct PartyCall {
  zurva& z;
  const host::Request& request;
  db::Connection& conn;
  std::int32_t memberId;            // 0 for a visitor
  Variant nickname;                 // the member cookie's nickname
  std::string signupEmail;          // the member's account name, or the form's e-mail
  std::optional<std::int32_t> partyId;  // the request value partyid, converted
  int signups;                      // the caller's sign-up rows of the party

  bool isMember() const { return memberId != 0; }
  // The condition that picks the caller's own sign-up rows of the party.
  sql::Statement ownSignups() const;
};

// sign=join, up-datejoin, deljoin.
void join(PartyCall& call);
void updateSignup(PartyCall& call);
void withdraw(PartyCall& call);
// sign=upd (create or edit a party, then its summary) and del.
void saveParty(PartyCall& call);
void deleteParty(PartyCall& call);

// Whether the party's day lies before today's date (server clock): its
// summary may then be written. A value that is no date never does.
bool partyIsOver(const Variant& partytime);

}  // namespace zurvafun::interaction

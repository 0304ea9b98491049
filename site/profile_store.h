// The site's own storing of a posted profile form (the fields of the
// component's profile forms and of the registration form) into a member row,
// in the packed formats of the member record. Shared by the member's save
// page, the administrator's save page and the registration page.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "host/host.h"
#include "runtime/variant.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::site {

// A posted value that cannot be stored; what() says which, in Chinese, for
// the visitor.
// `code`, when not 0, is the registration error code whose box explains it
// (showerro).
class ProfileRejected : public std::runtime_error {
 public:
  explicit ProfileRejected(const std::string& what, int code = 0) : std::runtime_error(what), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// The latest birth year a member may give: the one that makes him 18 this
// year (the component's clock). The earliest is codes::kEarliestBirthYear.
int latestBirthYear();

enum class Editor {
  Member,         // the member himself: verified fields keep their stored values
  Administrator,  // every field as posted; a non-empty password replaces the stored one
  Registration,   // a new member: every field as posted, the password required
};

using Row = std::map<std::string, Variant>;

// The columns of zurva_user that the posted `form` gives, checked and packed.
// `stored` is the member's current row for an edit, std::nullopt for a
// registration. `digest` is the stored form of the posted password (the
// page computes it with the component's MD5), "" to keep the password.
// Throws ProfileRejected.
Row profileColumns(const host::ValueCollection& form, const std::optional<Row>& stored, Editor editor,
                   const std::string& digest);

// The row of member `userid` (every column), std::nullopt when there is none.
std::optional<Row> memberRow(db::Connection& conn, long userid);

// Stores the posted profile into member `userid`'s row (Member or
// Administrator); a new password (a non-empty `digest`) also ends every login
// of the member. Throws ProfileRejected, also when the member does not exist.
void saveProfile(db::Connection& conn, long userid, const host::ValueCollection& form, Editor editor,
                 const std::string& digest);

// Creates a member from a posted registration form and returns his number
// (one above the highest). Refuses (ProfileRejected) an account name, a
// nickname or a document number that another member has.
long createMember(db::Connection& conn, const host::ValueCollection& form, const std::string& digest);

}  // namespace zurvafun::site

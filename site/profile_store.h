// The site's own storing of a posted profile form (the fields of the
// component's profile forms and of the registration form, checked and packed
// by profile/profile_check.h) into a member row. Shared by the member's save
// page, the administrator's save page and the registration page.
#pragma once

#include <optional>
#include <string>

#include "host/host.h"
#include "profile/profile_check.h"
#include "runtime/variant.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::site {

// The check of a posted form is the profile folder's; these pages store it.
using profile::Editor;
using profile::latestBirthYear;
using profile::profileColumns;
using profile::ProfileRejected;
using profile::Row;

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

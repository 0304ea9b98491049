// The check of a posted profile form (the fields of the member's and the
// administrator's profile forms and of the registration form): every posted
// value checked and packed into the member row's columns, as the member
// table's columns (model/member_columns.h) and the member record's layouts
// say. The site's save pages store what it gives.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "host/collection.h"
#include "runtime/variant.h"

namespace zurvafun::profile {

// A posted value that cannot be stored; what() says which, in Chinese, for
// the visitor.
// `code`, when not 0, is the registration error code whose box explains it
// (showerro).
class ProfileRejected : public std::runtime_error {
 public:
  explicit ProfileRejected(const std::string& what, int code = 0)
      : std::runtime_error(what), code_(code) {}
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

// Member columns by name (lower case), as stored or to be stored.
using Row = std::map<std::string, Variant>;

// The columns of zurva_user that the posted `form` gives, checked and packed.
// `stored` is the member's current row for an edit, std::nullopt for a
// registration. `digest` is the stored form of the posted password (the
// page computes it with the component's MD5), "" to keep the password.
// Every value is checked before the row is given, so a refusal stores
// nothing. Throws ProfileRejected.
Row profileColumns(const host::ValueCollection& form, const std::optional<Row>& stored,
                   Editor editor, const std::string& digest);

}  // namespace zurvafun::profile

// The rows of the public profile panel (memberinfo), one function per
// stretch of the panel, each appending its HTML to the panel's text. The
// method settles the viewer and reads the member's row; the rows only write.
#pragma once

#include <string>

#include "db/db.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "model/member_record.h"

namespace zurvafun::members {

// The select of the member's row that memberinfo reads.
sql::Statement panelRowSelect(std::int32_t memberId);

// Who looks at the panel, and the member's row.
struct PanelContext {
  zurva& z;
  const db::Recordset& row;  // the member's row of zurva_user
  member::UserData data;     // the row's userdata items (missing items empty)
  int friendFlag = 0;        // 1: an accepted friendship in either direction
  double viewerGrade = 1;    // a guest counts as grade 1
  std::string viewerSex;     // "" for a guest: it matches no member
  double freeAccess = 0;     // element 25 of the site settings

  // A column's text ("" for Null).
  std::string text(std::string_view column) const { return row(column).str(); }
};

// The header table (nickname, trust, grade, legal name) and the basic-data
// rows from the ID type to the marital status; the last row stays open.
void appendIdentityRows(std::string& out, const PanelContext& panel);
// Ethnic group (closing the marital-status row) to annual income.
void appendBackgroundRows(std::string& out, const PanelContext& panel);
// Constellation and habits (closing the basic-data table), the partner
// criteria, the contact data, the self-introduction and the end of the frame.
void appendLaterRows(std::string& out, const PanelContext& panel);

// The verified icon after a value whose proof scan is approved.
inline constexpr std::string_view kVerifiedIcon = R"(<IMG src="/images/yz.gif" alt="已验证" >)";

}  // namespace zurvafun::members

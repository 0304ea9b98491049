// The stored forms of a member's pictures and the trust level derived from
// them (the layouts themselves are read through model/member_record.h):
// the approved entries of an album, the upload date carried in an album file
// name, and the statements that recount or lower the trust level.
//
// Album file names begin with "photo", end in ".jpg" and carry their upload
// date in "_"-separated fields: "photo25_2007_12_20_8812.jpg".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/db.h"

namespace zurvafun::members {

// The entries of a stored album whose approval flag is "1", in stored order,
// each kept whole with its flag; Null and "" give none.
std::vector<std::string> approvedEntries(std::string_view photoList);

// The upload date as the own photo manager shows it: the text between the
// first and the fourth "_" of the entry, each "_" as "-" ("" when the entry
// has fewer than four "_").
std::string managerUploadDate(std::string_view entry);
// The upload date as the visitors' album shows it: the three "_"-fields
// before the last, joined by "-" ("" when the entry has fewer than four fields).
std::string albumUploadDate(std::string_view entry);

// Rewrites member `userid`'s trust level from his record: ok, plus 1 when
// the album holds an approved picture (the list starts with "photo" and holds
// ".jpg1"), plus 1 for each approved proof scan. A member without a row, or
// whose ok is Null, keeps his trust as it is. A statement that fails is
// skipped and the recount goes on, as the callers' statements do.
void recountTrust(db::Connection& conn, long userid);

// One step down for a deleted head photo, never below 0.
void lowerTrustForHeadPhoto(db::Connection& conn, long userid);

}  // namespace zurvafun::members

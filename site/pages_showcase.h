// The showcase list of the demo site: the application value zurva_myshow that
// the showcase widget reads, built from the members whose showcase days are
// running (a real site's administration pages keep it; the demo site rebuilds
// it from the database).
#pragma once

#include <string>

#include "host/serve/pages.h"

namespace zurvafun::db {
class Connection;
}

namespace zurvafun::site {

// The list text: ",entry,entry..." with the members whose showcase period is
// running today (the latest started first, at most 200), each as
// id@sex@agefrom-ageto@userdata@nickname@grade@trust@pay@field@smallphoto@ifphotolook.
// Members whose values would break the list (a "," or "@") are left out.
std::string buildShowcaseList(db::Connection& conn);

// Keeps the application value up to date: a page rebuilds it itself the
// first time, on another day, or at once with `now` (only one page at a
// time); a value older than a minute is made afresh on the rebuild thread
// (framework/rebuilds.h), and a later page puts it in place.
void refreshShowcaseList(serve::PageContext& p, bool now = false);

}  // namespace zurvafun::site

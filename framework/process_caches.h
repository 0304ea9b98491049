// The copies of data that the process keeps between pages, each with one
// owner, all living until the end of the process:
//
//   site settings, parsed          framework/site_settings.h    per change of the application
//   values showcase list, parsed          showcase/showcase_list.h     per change of the site
//   settings gallery pools                  showcase/gallery_pool.h      per change of the member
//   rows read cards shown to guests          showcase/guest_cards.h       per change of member
//   rows, settings, year newest members for guests      site/guest_fragments.h       per change of
//   member rows, settings, year region menu texts              helpers/region_menu_texts.h  per
//   change of the settings row the poll box                   interaction/poll.cpp         per
//   change of the polls or the settings
//
// What changed is told by the database's record of changes
// (framework/data_versions.h) and the application's version. Each owner
// adds its way of dropping its copies here at its first use.
#pragma once

namespace zurvafun::process_caches {

// Adds `clear` to what clearAll() runs.
void add(void (*clear)());

// Drops every copy the process keeps (tests): the next use makes it afresh;
// a copy a page is using stays with it.
void clearAll();

}  // namespace zurvafun::process_caches

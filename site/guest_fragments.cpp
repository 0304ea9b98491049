#include "site/guest_fragments.h"

#include "db/db.h"
#include "framework/site_settings.h"
#include "framework/viewer.h"
#include "runtime/dates.h"
#include "runtime/kept.h"
#include "site/site_page.h"

namespace zurvafun::site {

GuestCache& guestFragments() {
  static kept::InProcess<GuestCache> fragments(256, true);
  return fragments;
}

std::string guestFragment(serve::PageContext& p, const std::string& key,
                          const std::function<std::string()>& make) {
  // A guest: no member logged in, and no grade that member cards would show
  // him photos by (a guest's member cookie holds at most the showcase's
  // memory).
  const Viewer viewer(p.Request);
  if (viewer.isMember() || !viewer.member("grade").isEmpty()) return make();
  // The member rows' stamp is read before the fragment is made: a change
  // made meanwhile moves the stamp past the one the fragment is kept under.
  const std::string database = db::databaseKey(databaseParams(p));
  std::optional<data_versions::Stamp> members;
  {
    db::Connection conn = openDatabase(p);
    members = data_versions::members(conn, database);
  }
  const std::shared_ptr<const GuestCache::Pieces> kept =
      guestFragments().under({database, members, siteSettings(p.Application), int(Year(Now()))});
  std::string out;
  if (kept && kept->appendTo(key, out)) return out;
  out = make();
  // An empty fragment is a method's failure (which it logged): made again next time.
  if (kept && !out.empty()) kept->put(key, out);
  return out;
}

}  // namespace zurvafun::site

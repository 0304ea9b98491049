#include "members/viewer_rules.h"

#include <exception>

#include "framework/site_settings.h"
#include "framework/sql.h"

namespace zurvafun::members {

double freeAccessSwitch(const host::Application& application) {
  try {
    const Variant value(siteSettings(application)->baseInfo(25));
    return IsNumeric(value) && !value.str().empty() ? toNumber(value) : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

sql::Statement acceptedFriendsSelect(std::int32_t member, std::int32_t viewer) {
  return sql::statement(
      "select ifok from [friends] where (userid={} and senduserid={} or userid={} and "
      "senduserid={}) and ifok=1",
      member, viewer, viewer, member);
}

bool acceptedFriends(db::Connection& conn, std::int32_t member, std::int32_t viewer) {
  return !conn.Execute(acceptedFriendsSelect(member, viewer)).eof();
}

}  // namespace zurvafun::members

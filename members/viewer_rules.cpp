#include "members/viewer_rules.h"

#include <exception>

#include "framework/site_settings.h"

namespace zurvafun::members {

double freeAccessSwitch(const host::Application& application) {
  try {
    const Variant value(siteSettings(application)->baseInfo(25));
    return IsNumeric(value) && !value.str().empty() ? toNumber(value) : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace zurvafun::members

#include "showcase/showcase_period.h"

#include "runtime/dates.h"

namespace zurvafun::showcase {

namespace {

bool absent(const Variant& v) { return v.isNull() || v.isEmpty() || v.str().empty(); }

}  // namespace

bool freeDaysPending(const Variant& moneytime) {
  return !absent(moneytime) && IsDate(moneytime) && Year(moneytime) == 9999;
}

ShowcaseState showcaseState(const Variant& iflianxi, const Variant& moneytime, const Variant& now) {
  if (absent(iflianxi) || absent(moneytime) || !IsDate(moneytime) || !IsNumeric(iflianxi))
    return ShowcaseState::None;
  if (freeDaysPending(moneytime)) return ShowcaseState::Pending;
  const long elapsed = DateDiff("d", moneytime, now);
  if (elapsed <= 0) return ShowcaseState::Waiting;
  return elapsed <= CDbl(iflianxi) ? ShowcaseState::Running : ShowcaseState::None;
}

}  // namespace zurvafun::showcase

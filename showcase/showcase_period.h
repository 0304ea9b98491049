// The showcase days of a member: the columns iflianxi (days of the current
// period) and moneytime (the moment it was started; a moment in the year 9999
// means free days granted and not started yet), and the state they give.
//
// A period started on day D with N days runs on the calendar days D+1 to D+N:
// the elapsed days (midnights passed since the start) are at least 1 and at
// most N.
#pragma once

#include "runtime/variant.h"

namespace zurvafun::showcase {

enum class ShowcaseState {
  None,     // never had one, or the period has ended
  Pending,  // free days granted, not started
  Waiting,  // started today (or later): runs from the next calendar day
  Running,
};

// The state at `now` (the component's clock). A column that is Null or empty,
// or a start that is not a date, means no showcase.
ShowcaseState showcaseState(const Variant& iflianxi, const Variant& moneytime, const Variant& now);

// Free days granted and not started: the start lies in the year 9999.
bool freeDaysPending(const Variant& moneytime);

}  // namespace zurvafun::showcase

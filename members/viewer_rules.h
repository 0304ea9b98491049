// What the member pages need to know about the site's free-access switch
// (element 25 of zurva_base_info): 1 lets ordinary members see what gold and
// silver members see. The pages compare it as a number; a missing, empty or
// malformed element reads as 0 (closed), so a broken setting never opens
// anything nor takes a page down.
#pragma once

#include "host/host.h"

namespace zurvafun::members {

double freeAccessSwitch(const host::Application& application);

}  // namespace zurvafun::members

// Small helpers shared by the test suites.
#pragma once

#include "runtime/error.h"

namespace zurvafun::testing {

// The number of the run-time error `call` raises, or 0 when it raises none.
template <class Call>
long errorOf(Call&& call) {
  try {
    call();
  } catch (const VbError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace zurvafun::testing

// The SQL keyword input filter run at every creation.
#include "framework/zurva.h"

namespace zurvafun {

Variant zurva::ChkSqlInput() { return Variant(true); }

}  // namespace zurvafun

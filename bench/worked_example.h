// The search condition of the worked example the search benchmarks run:
// women aged 20 to 30, 160 to 180 cm, education 122 to 127, as the search
// handler keeps it in the session.
#pragma once

#include <string>

#include "runtime/dates.h"

namespace zurvafun::bench {

inline std::string workedExample() {
  const int year = fromSerial(clockNow()).year;
  return "sex=577 and cast(left(userdata,4) as int)<=" + std::to_string(year - 20) +
         " and cast(left(userdata,4) as int)>=" + std::to_string(year - 30) +
         " and cast(height_ as int)>=160 and cast(height_ as int)<=180 and "
         "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
         "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127";
}

}  // namespace zurvafun::bench

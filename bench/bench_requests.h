// What the benchmarks' requests share: the site settings a method reads, and
// the condition of the worked-example search (women aged 20 to 30, 160 to 180
// cm, education 122 to 127) as the search handler keeps it in the session.
#pragma once

#include <string>

#include "host/test_host.h"
#include "runtime/dates.h"

namespace zurvafun::bench {

inline void settings(host::TestHost& h) {
  std::string base;
  for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + std::string(i == 25 ? "0" : "x");
  h.application().set("zurva_base_info", Variant(VariantArray{Variant(base)}));
  h.application().set("zurva_info",
                      Variant(VariantArray{Variant("w<><><><><>admin<><><><><>笨蛋")}));
  h.application().set("zurva_skinbase_info",
                      Variant(VariantArray{Variant("s##/##css.css##760##1")}));
}

inline std::string workedExample() {
  const int year = fromSerial(clockNow()).year;
  return "sex=577 and cast(left(userdata,4) as int)<=" + std::to_string(year - 20) +
         " and cast(left(userdata,4) as int)>=" + std::to_string(year - 30) +
         " and cast(height_ as int)>=160 and cast(height_ as int)<=180 and "
         "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
         "SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)<=127";
}

}  // namespace zurvafun::bench

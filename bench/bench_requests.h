// What the benchmarks' requests share: the site settings a method reads, and
// (bench/worked_example.h) the condition of the worked-example search.
#pragma once

#include <string>

#include "bench/worked_example.h"
#include "host/test_host.h"

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

}  // namespace zurvafun::bench

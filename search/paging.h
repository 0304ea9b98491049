// Paging of the search lists: the page number a request asks for, clamped to
// the pages that exist, and the paging bar of the result list.
#pragma once

#include <string>

#include "runtime/variant.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::search {

// What a search list shows when it finds nobody.
inline constexpr const char* kNothingFound = "<BR><BR>　　　暂时没有查到您需要的资料...<br>";

// The page of the request value `Page` (checked by zurva::pages, which ends
// the request for a value that is not a number): a whole number from 1 to
// `pageCount`, whatever was asked for (an absent value is page 1).
long pageNumber(zurva& z, const Variant& requested, long pageCount);

struct Paging {
  long page = 1;
  long pageCount = 1;
  long recordCount = 0;
  std::string suffix;  // the sort order the links carry ("&order=4&sign=4")
  std::string script;  // the path of the page that shows the list
};

// The bars above and below the rows: counts, the first / previous / next /
// last links and the jump select. They differ only in one blank at the end of
// the jump target.
struct PagingBars {
  std::string top, bottom;
};
PagingBars pagingBars(zurva& z, const Paging& paging);

}  // namespace zurvafun::search

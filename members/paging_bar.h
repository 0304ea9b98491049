// The paging bar under a paged list: the count line (第 N 页/共 M 页 共 K 条相关信息),
// the links 首页, 上页, 下页 and 尾页 (plain coloured text at the ends of the
// range), and the jump select "turnpage". One routine serves every list;
// the lists differ in how their links carry the page and the values the
// next page reads back, in the jump select and in the layout.
//
// Links: page n links to base & "Page=" & n & carried, passed through
// showurl; the first page's link may leave the page number out (base &
// carried without its leading "&"). The jump select goes to base & carried
// pairs & "page=" & the chosen option.
//
//   members::PagingBar bar{.page = n, .pageCount = rs.PageCount(), .records = rs.RecordCount(),
//                          .base = script + "?", .carried = sex ? "&sex=1" : ""};
//   out += members::pagingBar(z, bar);
#pragma once

#include <string>

#include "framework/zurva.h"

namespace zurvafun::members {

enum class BarLayout {
  Full,      // the bar's own table row, one fragment a line, the jump select
  Indented,  // plain lines inside the list's cell, each begun by 46 blanks
};

struct PagingBar {
  long page = 1;       // the requested page; adjusted into 1..pageCount
  long pageCount = 1;  // at least 1 (an empty list gets no bar)
  long records = 0;
  std::string base;     // the link up to the page item: "/list.asp?" or "/p.asp?userid=25&"
  std::string carried;  // pairs after the page item, each with its "&": "&sex=1", "&id=25"
  bool numberedFirstPage = true;  // false: the first page's link carries no page number
  bool jumpSelect = true;
  BarLayout layout = BarLayout::Full;
};

// The bar's HTML. `bar.page` comes back adjusted: 0 or below becomes 1,
// above the page count the last page.
std::string pagingBar(zurva& z, PagingBar& bar);

}  // namespace zurvafun::members

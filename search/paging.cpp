#include "search/paging.h"

#include <cmath>

#include "framework/escape.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/numbers.h"
#include "framework/zurva.h"

namespace zurvafun::search {

namespace {

using html::trusted;

constexpr html::Fragment kCounts =
    "第 <font color=ff0000><b>{{page}}</b></font> 页/共 <font color=ff0000><b>{{pages}}</b></font> 页 "
    "&nbsp;&nbsp共 <font color=ff0000><b>{{records}}</b></font> 条相关信息 &nbsp";
constexpr html::Fragment kBackLinks =
    " <a href={{first}}><font color=A5537B>首页</font></a> <a href={{previous}}><font color=A5537B>上页</font></a>";
constexpr const char* kNoBackLinks = " <font color=A5537B>首页 上页</font>";
constexpr html::Fragment kForwardLinks =
    " <a href={{next}}><font color=A5537B>下页</font></a> <a href={{last}}><font color=A5537B>尾页</font></a>&nbsp; ";
constexpr const char* kNoForwardLinks = " <font color=A5537B>下页 尾页</font>";
constexpr html::Fragment kJump = R"~( 跳转至 <select name=turnpage onchange="location='{{target}}">)~";
constexpr html::Fragment kOption = "<OPTION value={{n}} {{selected}}>{{n}}</OPTION>";
constexpr const char* kJumpEnd = "</select>页";

constexpr const char* kScriptTail = "'+this.options[this.selectedIndex].value";

enum class BarPlace { Top, Bottom };

}  // namespace

long pageNumber(zurva& z, const Variant& requested, long pageCount) {
  z.pages(requested);
  return numbers::roundedPage(requested, pageCount);
}

PagingBars pagingBars(zurva& z, const Paging& p) {
  // The script path names the page itself; it is escaped where it lands.
  const std::string script = htmlEscape(jsEscape(p.script));
  auto link = [&](long page) {
    return unescapedSiteLink(z, script + "?Page=" + std::to_string(page) + p.suffix);
  };
  // Counts and links, and the page options, are the same in both bars.
  std::string lead =
      kCounts({{"page", p.page}, {"pages", p.pageCount}, {"records", p.recordCount}}).str();
  if (p.page == 1)
    lead += kNoBackLinks;
  else
    kBackLinks.appendTo(lead, {{"first", link(1)}, {"previous", link(p.page - 1)}});
  if (p.page == p.pageCount)
    lead += kNoForwardLinks;
  else
    kForwardLinks.appendTo(lead, {{"next", link(p.page + 1)}, {"last", link(p.pageCount)}});
  std::string options;
  for (long n = 1; n <= p.pageCount; ++n)
    kOption.appendTo(options, {{"n", n}, {"selected", trusted(n == p.page ? "  selected" : "")}});
  options += kJumpEnd;

  // The jump target differs only where a sort suffix ends it: the bottom
  // bar's carries one blank more.
  auto bar = [&](BarPlace place) {
    std::string target = script + "?page=" + kScriptTail;
    if (!p.suffix.empty()) target += "+'" + p.suffix + (place == BarPlace::Bottom ? "' " : "'");
    Variant jump = target;
    std::string out = lead;
    kJump.appendTo(out, {{"target", trusted(z.showurl(jump))}});
    return out += options;
  };
  PagingBars bars{bar(BarPlace::Top), {}};
  bars.bottom = p.suffix.empty() ? bars.top : bar(BarPlace::Bottom);
  return bars;
}

}  // namespace zurvafun::search

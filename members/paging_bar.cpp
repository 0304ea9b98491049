#include "members/paging_bar.h"

#include <algorithm>
#include <string_view>

#include "framework/html.h"
#include "framework/links.h"

namespace zurvafun::members {

namespace {

using html::trusted;

// The link elements after "<a href=" & link.
constexpr std::string_view kFirst = R"~(><font color="A5537B">首页</font></a> )~";
constexpr std::string_view kPrevious = R"~(><font color="A5537B">上页</font></a> )~";
constexpr std::string_view kNext = R"~(><font color="A5537B">下页</font></a> )~";
constexpr std::string_view kLast = R"~(><font color="A5537B">尾页</font></a> )~";

constexpr html::Fragment kFullTop =
    "        <tr> {{crlf}}"
    R"~(          <td bgcolor="#ffffff" height="18"><table width="100%" border="0" align="right" cellpadding="0" cellspacing="0">)~"
    "{{crlf}}"
    "            <tr>{{crlf}}"
    R"~(              <td><div align="center">)~"
    "{{crlf}}"
    "                第 <font color=ff0000><b>{{page}}</b></font> 页/共 <font color=ff0000><b>{{pages}}</b></font> "
    "页 &nbsp;共 <font color=ff0000><b>{{records}}</b></font> 条相关信息 {{crlf}}";
constexpr html::Fragment kFullFirstLinks = "<a href={{first}}{{firstText}}{{crlf}}<a href={{previous}}{{previousText}}{{crlf}}";
constexpr html::Fragment kFullFirstPlain = "<font color=A5537B>首页 上页</font> {{crlf}}";
constexpr html::Fragment kFullLastLinks =
    "<a href={{next}}{{nextText}}{{crlf}} <a href={{last}}{{lastText}}{{crlf}}                &nbsp; {{crlf}}";
constexpr html::Fragment kFullLastPlain = "<font color=A5537B>下页 尾页</font> {{crlf}}";
constexpr html::Fragment kJumpTop =
    " {{crlf}}"
    "                跳转至 {{crlf}}"
    R"~(                           <SELECT  onchange="location='{{jump}}"  name=turnpage>)~"
    "{{crlf}}";
constexpr html::Fragment kOption = "                  <OPTION value={{i}} {{selected}}>{{i}}</OPTION>{{crlf}}";
constexpr html::Fragment kJumpEnd = "                 </SELECT>{{crlf}}                页 </div></td>{{crlf}}";
constexpr html::Fragment kFullEnd = "            </tr>{{crlf}}          </table></td>{{crlf}}        </tr>{{crlf}}";

constexpr html::Fragment kIndentedCount =
    "{{crlf}}{{46 blanks}}第 <font color=ff0000><b>{{page}}</b></font> "
    "{{46 blanks}}页/共 <font color=ff0000><b>{{pages}}</b></font> 页 &nbsp;共 <font color=ff0000><b>{{records}}</b></font> 条相关信息 "
    "{{46 blanks}}";
constexpr html::Fragment kIndentedFirstLinks =
    "{{crlf}}{{46 blanks}}<a href={{first}}{{firstText}}{{46 blanks}}<a href={{previous}}{{previousText}}{{46 blanks}}";
constexpr html::Fragment kIndentedFirstPlain = "{{crlf}}{{46 blanks}}<font color=A5537B>首页 上页</font> {{46 blanks}}";
constexpr html::Fragment kIndentedMiddle = "{{crlf}}{{46 blanks}}";
constexpr html::Fragment kIndentedLastLinks =
    "{{crlf}}{{46 blanks}}<a href={{next}}{{nextText}}{{46 blanks}}<a href={{last}}{{lastText}}"
    "{{46 blanks}}&nbsp; {{46 blanks}}";
constexpr html::Fragment kIndentedLastPlain = "{{crlf}}{{46 blanks}}<font color=A5537B>下页 尾页</font>&nbsp; {{46 blanks}}";

std::string withoutLeadingAmpersand(const std::string& pairs) {
  return pairs.empty() ? pairs : pairs.substr(1);
}

}  // namespace

std::string pagingBar(zurva& z, PagingBar& bar) {
  const long last = std::max(bar.pageCount, 1L);
  bar.page = std::clamp(bar.page, 1L, last);
  const long n = bar.page;
  const auto pageLink = [&](long page) {
    return unescapedSiteLink(z, bar.base + "Page=" + std::to_string(page) + bar.carried);
  };
  const html::Html first =
      bar.numberedFirstPage ? pageLink(1)
                            : unescapedSiteLink(z, bar.base + withoutLeadingAmpersand(bar.carried));
  const bool full = bar.layout == BarLayout::Full;

  std::string out;
  (full ? kFullTop : kIndentedCount).appendTo(out, {{"page", n}, {"pages", last}, {"records", bar.records}});
  if (n != 1) {
    (full ? kFullFirstLinks : kIndentedFirstLinks)
        .appendTo(out, {{"first", first}, {"firstText", trusted(kFirst)},
                        {"previous", pageLink(n - 1)}, {"previousText", trusted(kPrevious)}});
  } else {
    (full ? kFullFirstPlain : kIndentedFirstPlain).appendTo(out);
  }
  if (!full) kIndentedMiddle.appendTo(out);
  if (n != last) {
    (full ? kFullLastLinks : kIndentedLastLinks)
        .appendTo(out, {{"next", pageLink(n + 1)}, {"nextText", trusted(kNext)},
                        {"last", pageLink(last)}, {"lastText", trusted(kLast)}});
  } else {
    (full ? kFullLastPlain : kIndentedLastPlain).appendTo(out);
  }
  if (!full) return out;

  if (bar.jumpSelect) {
    const std::string pairs = withoutLeadingAmpersand(bar.carried);
    kJumpTop.appendTo(
        out, {{"jump", unescapedSiteLink(z, bar.base + pairs + (pairs.empty() ? "" : "&") +
                                                "page='+this.options[this.selectedIndex].value")}});
    for (long i = 1; i <= last; ++i)
      kOption.appendTo(out, {{"i", i}, {"selected", trusted(i == n ? "  selected" : "")}});
    kJumpEnd.appendTo(out);
  } else {
    out += "                </div></td>\r\n";
  }
  kFullEnd.appendTo(out);
  return out;
}

}  // namespace zurvafun::members

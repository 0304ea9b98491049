// showxcphoto: one full-size album photo with links to the previous and the
// next one. The index is that of the grid's links: the entry's place in the
// album's approved entries. A member's album (the request names no story and
// no party) is checked against his album privacy exactly as the grid is, so
// a restricted photo cannot be reached by typing its address.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "framework/html.h"
#include "framework/viewer.h"
#include "members/album_access.h"
#include "members/photo_list.h"
#include "members/viewer_rules.h"
#include "model/member_record.h"

namespace zurvafun {

namespace {

using html::trusted;

constexpr const char* kNoAlbum = "<BR><BR>暂时没有像册...　<br>";

constexpr html::Fragment kPhoto =
    R"~(<table width="100%" border="0" cellspacing="0" cellpadding="0">)~"
    "{{crlf}}  <tr>{{crlf}}"
    R"~(    <td align="center"><table width="100%" border="0" align="center" cellpadding="0" cellspacing="0">)~"
    "{{crlf}}  <tr>{{crlf}}"
    R"~(    <td><div class="bro_p_bgbox">)~"
    "{{crlf}}"
    R"~(<div class="bro_p_bg">)~"
    "{{crlf}}"
    R"~(<div class="bro_p_bgin">)~"
    "{{crlf}}"
    R"~(  <div align="center"><img src="{{picture}}" border="0"  onload="javescript:DrawImage(this,850,6000)"/>  </div>)~"
    "{{crlf}}</div>{{crlf}}</div>{{crlf}}</div></td>{{crlf}}  </tr>{{crlf}}"
    "\t\t\t\t   <TR style=\"WORD-BREAK: break-all\" align=middle class=bg_m>{{crlf}}"
    "                <TD>";
constexpr html::Fragment kPrevious = "<A href=\"{{link}}\" {{crlf}}                  target=_self>上一张</a>";
constexpr html::Fragment kNext = " <A href=\"{{link}}\" {{crlf}}                  target=_self>下一张 </a>";
constexpr std::string_view kEnd = "               </TD></tr>\r\n</table>&nbsp;\r\n";

// A whole number of v to the nearest, halves to the even one, as the 16-bit
// conversion rounds; kept as a wide number so that a long value gives links
// instead of an overflow.
long long rounded(double v) { return static_cast<long long>(bankersRound(v)); }

}  // namespace

Variant zurva::showxcphoto(const Variant& sql, const Variant& dir, const Variant& stype, const Variant& page,
                           const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                           const Variant& SqlDatabaseName) {
  return logged([&](Variant& result) {
    const Viewer viewer(Request());
    const double freeAccess = members::freeAccessSwitch(Application());
    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    trapOff([&] {
      if (Request()("storyid").str().empty() && Request()("partyid").str().empty()) {
        const std::optional<std::int32_t> memberId = members::albumMemberId(*this, Request()("id"));
        if (!memberId) Msg("请求错误！", "-1", 1);
        members::requireAlbumAccess(*this, conn, *memberId, viewer, freeAccess);
      }

      db::Recordset rs;
      rs.Open(sql.str(), conn, db::adOpenKeyset, db::adLockReadOnly);
      const Variant list = rs.eof() ? Variant::null() : rs(0);
      const std::vector<std::string> approved =
          list.isNull() ? std::vector<std::string>{} : members::approvedEntries(list.str());
      if (approved.empty()) {
        result = kNoAlbum;
        return;
      }
      const long last = long(approved.size()) - 1;
      const Variant requested = Request()(page.str());
      pages(requested);
      // 0 for a missing value; within 15 digits, what the numeric guard lets
      // through as plain digits ("1e300" passes it too).
      const double v = requested.isEmpty() ? 0 : std::clamp(toNumber(requested), -1e15, 1e15);
      const long shown = v < 0 ? 0 : v > double(last) ? last : long(std::floor(v));

      std::string out;
      kPhoto.appendTo(out, {{"picture", dir.str() + "/" + member::photoFileName(approved[std::size_t(shown)])}});
      // The links count from the requested value, as the grid's links do.
      const std::string query = stype.str() + "&" + page.str() + "=";
      if (rounded(v) > 0) {
        Variant link = " xc.asp?" + query + std::to_string(rounded(v - 1));
        kPrevious.appendTo(out, {{"link", trusted(showurl(link))}});
      }
      out += " ";
      if (rounded(v) < last) {
        Variant link = "xc.asp?" + query + std::to_string(rounded(v + 1));
        kNext.appendTo(out, {{"link", trusted(showurl(link))}});
      }
      out += kEnd;
      result = std::move(out);
    });
  });
}

}  // namespace zurvafun

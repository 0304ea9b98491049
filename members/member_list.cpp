// showmeminfo: any member query of a page as a page of ten member cards with
// the paging bar. The page number is kept within the result's pages before
// the result is positioned, so the cards and the bar always agree.
#include <cmath>
#include <string>

#include "framework/numbers.h"
#include "framework/viewer.h"
#include "members/member_card.h"
#include "members/paging_bar.h"

namespace zurvafun {

namespace {

constexpr long kCardsPerPage = 10;
constexpr const char* kNothingFound = "<BR><BR>　　　暂时没有查到您需要的资料...<br>";
constexpr const char* kListEnd = "      </tbody></table></td>\r\n  </tr>\r\n</tbody></table>\r\n";

}  // namespace

Variant zurva::showmeminfo(const Variant& sql, const Variant& SqlLocalName, const Variant& SqlUserName,
                           const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return logged([&](Variant& result) {
    const Viewer viewer(Request());
    const members::CardViewer cardViewer{viewer.isMember() ? viewer.memberNumber() : std::nullopt,
                                         viewer.member("grade")};
    db::Connection conn;
    if (!openOrAnswer(conn, result, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName))
      return;
    trapOff([&] {
      db::Recordset rs;
      rs.OpenPaged(sql.str(), conn);
      if (rs.State() == db::adStateClosed || (rs.bof() && rs.eof()) || rs.RecordCount() == 0) {
        result = kNothingFound;
        return;
      }
      rs.PageSize = kCardsPerPage;
      const Variant requested = Request()("Page");
      pages(requested);
      // The number to the nearest whole page, as the 32-bit conversion rounds
      // it; 0 and missing mean page 1.
      members::PagingBar bar{.page = 1,
                             .pageCount = rs.PageCount(),
                             .records = rs.RecordCount(),
                             .base = Request().ServerVariables("SCRIPT_NAME").str() + "?",
                             .carried = Request()("sex").str().empty() ? "" : "&sex=1"};
      bar.page = numbers::roundedPage(requested, bar.pageCount);
      rs.setAbsolutePage(bar.page);

      std::string out = "\r\n\r\n";
      for (long i = 0; i < kCardsPerPage && !rs.eof(); ++i, rs.MoveNext())
        members::appendMemberCard(out, *this, conn, rs, cardViewer);
      out += members::pagingBar(*this, bar);
      out += kListEnd;
      result = std::move(out);
    });
  });
}

}  // namespace zurvafun

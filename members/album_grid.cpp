// memberphoto: the visitors' album grid. The page hands in the query whose
// first column is the album's photo list, and the thumbnail folder; the grid
// shows the approved entries from the last backwards, nine to a page in rows
// of three, with the paging bar. A member's album is first checked against
// his album privacy; a story's or a party's album ("other") is open.
#include <string>
#include <vector>

#include "framework/html.h"
#include "framework/numbers.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "members/album_access.h"
#include "members/album_cell.h"
#include "members/paging_bar.h"
#include "members/photo_list.h"
#include "members/viewer_rules.h"
#include "model/member_record.h"

namespace zurvafun {

namespace {

using html::trusted;

constexpr long kPerPage = 9;

constexpr html::Fragment kGridStart =
    "{{crlf}}"
    R"~(<TABLE cellSpacing=4 cellPadding=0 width="96%" align=center border=0>)~"
    "        <TBODY>{{14 blanks}}";
constexpr std::string_view kNoAlbum = "<BR><BR>暂时没有像册...　<br>";

constexpr html::Fragment kRowStart =
    "{{crlf}}{{16 blanks}}        <TR vAlign=top>          <TD align=left height=186>"
    R"~(            <TABLE cellSpacing=0 cellPadding=0 width="100%" border=0>)~"
    "              <TBODY>              <TR vAlign=top>"
    "{{26 blanks}}{{26 blanks}}{{26 blanks}}{{24 blanks}}{{crlf}}{{crlf}}{{crlf}}{{32 blanks}}";
constexpr html::Fragment kRowEnd =
    "{{crlf}}                </TD></TR></TBODY></TABLE></TD></TR>{{32 blanks}}{{32 blanks}}{{32 blanks}}";

// The grid's own parts of a cell (members/album_cell.h has the rest).
constexpr html::Fragment kCellPicture =
    "                                <TD align=middle class=bg_q><A "
    "{{bigPhoto}}"
    R"~(                                href="javascript:void(0);"><IMG )~"
    "                                src=\"{{thumbnail}}\" "
    R"~(                                border=0 onload="javescript:DrawImage(this,150,150)"></A> )~"
    "                          </TD></TR></TBODY></TABLE></TD></TR></TBODY></TABLE></TD></TR>";
constexpr html::Fragment kCellLabel =
    "                            <TD height=22></TD></TR>                          <TR>"
    "                            <TD height=22>{{label}}</TD></TR>";

constexpr html::Fragment kBigPhotoLink =
    "                                onclick=\"javascript:window.open('{{link}}','_blank');\" ";
constexpr std::string_view kUpgradeAlert =
    "                                onClick=\"javescript:alert('此个人相册大照片金卡银卡会员可见,请先升级为金卡银卡会员！');\" ";

constexpr html::Fragment kBarStart = "{{crlf}}                             <TR vAlign=top>          <TD align=middle height=1>";
constexpr html::Fragment kBarEnd = "&nbsp;</TD></TR></TBODY></TABLE>{{6 blanks}}{{28 blanks}}";
constexpr html::Fragment kGridEnd = "{{crlf}}{{32 blanks}}{{32 blanks}}";

// One page of the grid: three rows of three cells from the `shown`th entry
// on, newest first (the last entry is the profile picture). The big photo
// opens for silver and gold members; `token` names the album in its links.
void appendCells(zurva& z, const std::vector<std::string>& approved, long shown, bool bigPhotos,
                 const std::string& token, const Variant& small, std::string& out) {
  const long count = long(approved.size());
  long p = shown;
  for (int row = 0; row < 3 && p < count; ++row) {
    kRowStart.appendTo(out);
    for (int cell = 0; cell < 3 && p < count; ++cell) {
      ++p;
      const long k = count - p;
      const std::string& entry = approved[std::size_t(k)];
      Variant link = "xc_page_" + std::to_string(k) + "_id_" + token + ".html";
      members::kCellOpening.appendTo(out);
      kCellPicture.appendTo(
          out, {{"bigPhoto", bigPhotos ? kBigPhotoLink({{"link", trusted(z.showurl(link))}})
                                       : trusted(kUpgradeAlert)},
                {"thumbnail", small.str() + "/" + member::photoFileName(entry)}});
      members::kCellCaption.appendTo(out);
      kCellLabel.appendTo(
          out, {{"label", trusted(k == count - 1 ? "<FONT color=red>形象照</FONT>" : "普通照")}});
      members::kCellDate.appendTo(out, {{"date", members::albumUploadDate(entry)}});
      out += "</TD></TR>";
      members::kCellEnd.appendTo(out);
      out.append(36, ' ');
    }
    kRowEnd.appendTo(out);
  }
}

}  // namespace

void zurva::memberphoto(const Variant& sql, const Variant& ptype, const Variant& small, const Variant& SqlLocalName,
                        const Variant& SqlUserName, const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  logged([&] {
    const Viewer viewer(Request());
    const double freeAccess = members::freeAccessSwitch(Application());
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    trapOff([&] {
      // The album's id, as a number, and the key the next page reads it by.
      const bool other = eq(ptype, "other");
      std::string key = "id";
      if (other) key = Request()("storyid").str().empty() ? "partyid" : "storyid";
      const std::optional<std::int32_t> linkId = numbers::digits(Request()(key));
      if (!linkId) Msg("请求错误！", "-1", 1);

      Response().Write("\r\n");
      if (!other) {
        members::requireAlbumAccess(*this, conn, *linkId, viewer, freeAccess);
      }

      std::string out;
      kGridStart.appendTo(out);
      db::Recordset rs;
      rs.Open(sql.str(), conn, db::adOpenKeyset, db::adLockReadOnly);
      const Variant list = rs.eof() ? Variant::null() : rs(0);
      if (list.isNull()) {
        out += kNoAlbum;
      } else if (const std::vector<std::string> approved = members::approvedEntries(list.str()); approved.empty()) {
        out += kNoAlbum;
        kGridEnd.appendTo(out);
      } else {
        const Variant requested = Request()("page");
        pages(requested);
        const long count = long(approved.size());
        members::PagingBar bar{.page = 1,
                               .pageCount = (count + kPerPage - 1) / kPerPage,
                               .records = count,
                               .base = Request().ServerVariables("SCRIPT_NAME").str() + "?",
                               .carried = "&" + key + "=" + std::to_string(*linkId),
                               .numberedFirstPage = false,
                               .jumpSelect = false,
                               .layout = members::BarLayout::Indented};
        bar.page = numbers::clampedPage(requested, bar.pageCount);
        const bool bigPhotos = viewer.isMember() && viewer.grade() >= 2;
        appendCells(*this, approved, (bar.page - 1) * kPerPage, bigPhotos, idasc(*linkId).str(),
                    small, out);
        kBarStart.appendTo(out);
        out += members::pagingBar(*this, bar);
        kBarEnd.appendTo(out);
        kGridEnd.appendTo(out);
      }
      out += "\r\n\r\n";
      Response().Write(out);
    });
  });
}

}  // namespace zurvafun

// The page of the own photo manager: the head-photo box with its delete
// link, then the form with the album nine to a page in rows of three,
// newest first, each cell with its thumbnail, state, profile-picture radio
// button, upload date and delete link, then the submit button and the
// paging bar.
#include <string>
#include <vector>

#include "framework/escape.h"
#include "framework/html.h"
#include "framework/links.h"
#include "members/album_cell.h"
#include "members/paging_bar.h"
#include "members/photo_list.h"
#include "members/photo_manager.h"
#include "model/member_record.h"
#include "runtime/text.h"

namespace zurvafun::members {

namespace {

using html::trusted;

constexpr html::Fragment kHeadBox =
    "{{crlf}}{{crlf}}"
    R"~(<table width="130" height="170" border="0" cellspacing="0" cellpadding="0" align="center" >)~"
    "  <tr>    <td>{{crlf}}{{46 blanks}}"
    R"~(<table  width="130" height="170"border="0" cellspacing="0" cellpadding="0"  >)~"
    "  <tr>"
    R"~(    <td  height="82" colspan="2" style="border:#CCCCCC 1px solid"><div align="center">)~"
    "{{headPhoto}}"
    "</div></td>  </tr>  <tr>"
    R"~(    <td width="91"  height="27" class=bg_bj ><div align="right" >个人头像</div></td>)~"
    R"~(    <td width="39"><a href="{{deleteHead}}" onClick="return confirm('您确定要删除头像吗？');"><img src="/images/del.gif" alt="删除" border="0"></a></td>)~"
    "  </tr></table>{{crlf}}{{46 blanks}}{{46 blanks}}</td>  </tr></table><br>"
    "<TABLE cellSpacing=1 cellPadding=1 width=518 align=center  border=0>  <TBODY>  <TR>"
    R"~(    <TD vAlign=top ><form name="form1" method="post" action="{{choose}}">)~"
    R"~(    <TABLE cellSpacing=4 cellPadding=0 width="96%" align=center border=0>)~"
    "        <TBODY>{{14 blanks}}";

constexpr std::string_view kNoAlbum = "<BR><BR>暂时没有像册...　<br>";

constexpr html::Fragment kRowStart =
    "{{crlf}}{{12 blanks}}        <TR vAlign=top>          <TD align=left height=186>"
    R"~(            <TABLE cellSpacing=0 cellPadding=0 width="100%" border=0>)~"
    "              <TBODY>              <TR vAlign=top>"
    "{{22 blanks}}{{22 blanks}}{{22 blanks}}{{20 blanks}}{{crlf}}{{crlf}}{{crlf}}{{28 blanks}}";
constexpr std::string_view kRowEnd =
    "                </TD></TR></TBODY></TABLE></TD></TR>"
    "                                "
    "                                "
    "                                ";

// The manager's own parts of a cell (members/album_cell.h has the rest).
constexpr html::Fragment kCellPicture =
    "                              <TD align=middle class=bg_m>"
    "<A {{32 blanks}}onclick=\"javascript:window.open('/up_article/{{nameJs}}','_blank');\" "
    "{{32 blanks}}href=\"javascript:void(0);\"><IMG "
    "{{32 blanks}}src=\"{{thumbnail}}\" "
    "{{32 blanks}}border=0 onload=\"javescript:DrawImage(this,150,150)\"></A>"
    "                        </TD></TR></TBODY></TABLE></TD></TR></TBODY></TABLE></TD></TR>";
constexpr html::Fragment kCellState =
    "                            <TD ></TD></TR>                          <TR>"
    "                            <TD height=22>{{state}}"
    "{{crlf}}{{30 blanks}}{{radio}}</TD></TR>";
constexpr html::Fragment kCellDelete =
    R"~(<a href="{{delete}}" onClick="return confirm('您确定要删除此照片吗？');"><img src="/images/del.gif" alt="删除" border="0"></a></TD>)~"
    "                          </TR>";

constexpr html::Fragment kProfilePicture =
    "<FONT color=red>形象照</FONT><IMG style='CURSOR: hand;' src=\"/images/zz.jpg\" "
    "onClick=\"javascript:window.open('{{action}}','_blank');\" >";

constexpr html::Fragment kRadio = R"~(<input name="xxphoto" type="radio" value={{index}} {{checked}} >)~";

constexpr html::Fragment kFormEnd =
    "{{crlf}}{{28 blanks}}{{28 blanks}}{{28 blanks}}{{28 blanks}}{{28 blanks}}{{28 blanks}}"
    "{{28 blanks}}{{28 blanks}}{{28 blanks}}{{28 blanks}}{{28 blanks}}"
    "        <TR vAlign=top>          <TD align=middle height=-1><label>{{14 blanks}}"
    "{{submit}}"
    "{{crlf}}          </label></TD></TR>        <TR vAlign=top>          <TD align=middle height=-2> "
    "{{bar}}"
    "&nbsp;</TD>        </TR>        </TBODY></TABLE>{{14 blanks}}    </form>{{crlf}}"
    "      <P align=center>        <label>{{8 blanks}}        </label>"
    "      <BR><BR></P></TD></TR></TBODY></TABLE><P></P></TD></TR></TABLE>";

constexpr html::Fragment kSubmit = R"~({{crlf}}            <input type="submit" name="Submit" value="修改形象照片">{{24 blanks}})~";

constexpr std::string_view kPageEnd = "<BR></BODY></HTML>";

// The state of a cell: awaiting approval, the profile picture, or ordinary.
html::Html cellState(zurva& z, const ManagerPage& page, bool approved, bool isProfilePicture, long index) {
  if (!approved) return trusted("未验证");
  if (!isProfilePicture) return trusted("普通照");
  std::string action = "photoaction.html";
  if (!page.memberWithoutAdministrator && InStr(page.script, "admin_userphoto.asp") > 0)
    action = "photoaction.asp?userid=" + std::to_string(page.memberId) + "&num=" + std::to_string(index);
  return kProfilePicture({{"action", unescapedSiteLink(z, action)}});
}

}  // namespace

long managerPageCount(long entries) {
  return entries <= kManagerPhotosPerPage ? 1 : (entries + kManagerPhotosPerPage - 1) / kManagerPhotosPerPage;
}

std::string managerPage(zurva& z, const ManagerPage& page, long pageNumber) {
  const std::string base = page.script + "?" + page.linkParameter;
  std::string out;
  kHeadBox.appendTo(
      out,
      {{"headPhoto", trusted(z.showphoto1(page.smallphoto, 1, 1, 3, page.viewerSex, 120, 150))},
       {"deleteHead", unescapedSiteLink(z, base + "ifok=headdel")},
       {"choose", unescapedSiteLink(z, base + "ifok=upphoto")}});
  if (page.photo.empty()) {
    out += kNoAlbum;
    out += kPageEnd;
    return out;
  }

  const std::vector<std::string> entries = member::readPhotoList(page.photo);
  const long last = long(entries.size()) - 1;  // the profile picture's index
  const bool several = page.photo.find('#') != std::string::npos;
  long k = (pageNumber - 1) * kManagerPhotosPerPage;
  for (int row = 0; row < 3 && k < last + 1; ++row) {
    kRowStart.appendTo(out);
    for (int cell = 0; cell < 3 && k < last + 1; ++cell) {
      ++k;
      const long index = last - k + 1;
      const std::string& entry = entries[std::size_t(index)];
      const std::string name = member::photoFileName(entry);
      const bool approved = Right(entry, 1) != "0";
      html::Html radio;
      if (several && approved)
        radio = kRadio({{"index", index}, {"checked", trusted(index == last ? " checked" : "")}});
      kCellOpening.appendTo(out);
      kCellPicture.appendTo(out, {{"nameJs", trusted(htmlEscape(jsEscape(name)))},
                                  {"thumbnail", approved ? "/mup_article/" + name : std::string("/images/noyphoto.gif")}});
      kCellCaption.appendTo(out);
      kCellState.appendTo(out, {{"state", cellState(z, page, approved, index == last, index)}, {"radio", radio}});
      kCellDate.appendTo(out, {{"date", managerUploadDate(entry)}});
      kCellDelete.appendTo(
          out, {{"delete", unescapedSiteLink(z, base + "ifok=del&ID=" + std::to_string(index))}});
      kCellEnd.appendTo(out);
      out.append(24, ' ');
    }
    out += kRowEnd;
  }

  PagingBar bar{.page = pageNumber,
                .pageCount = managerPageCount(last + 1),
                .records = last + 1,
                .base = base,
                .carried = "",
                .numberedFirstPage = false,
                .jumpSelect = false,
                .layout = BarLayout::Indented};
  kFormEnd.appendTo(out, {{"submit", several ? kSubmit() : html::Html()}, {"bar", trusted(pagingBar(z, bar))}});
  out += kPageEnd;
  return out;
}

}  // namespace zurvafun::members

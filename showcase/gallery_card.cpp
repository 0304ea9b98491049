#include "showcase/gallery_card.h"

#include <optional>

#include "db/db.h"
#include "framework/html.h"
#include "framework/links.h"
#include "framework/zurva.h"
#include "model/code_tables.h"
#include "runtime/text.h"
#include "showcase/showcase_list.h"

namespace zurvafun::showcase {

namespace {

using html::trusted;

// The frame; every slot is empty in the frame of a card without a member.
constexpr html::Fragment kFrame =
    R"~(<table width="100%" border="0" cellspacing="0" cellpadding="0" bgcolor="#FFFFFF"><tr><td>)~"
    "\r\n"
    R"~(<table width="100%" border="0" cellspacing="1" cellpadding="0" bgcolor="#e8e8e8"><tr><td height="180" bgcolor="#fafafa">)~"
    "\r\n"
    R"~(<table width="100%" border="0" cellspacing="0" cellpadding="3"><tr>)~"
    "\r\n"
    R"~(<td width="126" valign="top"><table width="126" border="0" cellspacing="1" cellpadding="0" bgcolor="#cfcfcf">)~"
    R"~(<tr><td width="120" height="150" align="center" bgcolor="#FFFFFF">{{photo}}</td></tr></table>)~"
    "\r\n"
    R"~(<table width="126" border="0" cellspacing="0" cellpadding="0"><tr><td{{align}}>)~"
    R"~(<img src="/images/hycz_30.gif" width="111" height="13"></td></tr></table></td>)~"
    "\r\n"
    R"~(<td width="2" bgcolor="#FFFFFF"></td>)~"
    "\r\n"
    R"~(<td valign="top"><table width="100%" border="0" cellspacing="0" cellpadding="0">)~"
    "\r\n"
    R"~(<tr><td width="60%" nowrap>{{nickname}}</td><td>{{grade}}</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="2"><img src="/images/hycz_27.gif" width="200" height="1"></td></tr>)~"
    "\r\n"
    R"~(<tr><td>{{trust}}</td><td nowrap>{{photos}}</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="2">{{facts}}</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="2">{{more}}</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="2">{{looks}}</td></tr>)~"
    "\r\n"
    R"~(<tr><td colspan="2" class="12x18" height="50" width="280" style="word-break:break-all">{{intro}}</td></tr>)~"
    "\r\n"
    R"~(</table></td></tr></table>)~"
    "\r\n"
    R"~(</td></tr></table>)~"
    "\r\n"
    R"~(</td></tr></table>)~"
    "\r\n";

constexpr html::Fragment kPhoto =
    R"~(<a href="/{{profile}}" target="_blank"><img src="smallphoto/{{file}}" border="0" )~"
    R"~(onload="DrawImage(this,{{width}},{{height}})"></a>)~";
// A photo the viewer may not see: the placeholder picture, still linked.
constexpr html::Fragment kPlaceholder = R"~(<a href="/{{profile}}" target="_blank">{{image}}</a>)~";
constexpr html::Fragment kNickname =
    R"~(<font color="#4f4f4f"><a href="/{{profile}}" target="_blank"><font color="#ff6600">{{nickname}}</font></a>&nbsp;&nbsp;</font>)~";
constexpr html::Fragment kGrade =
    R"~(<font color="#4f4f4f"><a href="{{readybuy}}" target="_blank">{{badge}}</a></font>)~";
constexpr html::Fragment kTrust =
    R"~(<a href="/{{xjrz}}" target="_blank"><img src="/images/s_blue_{{trust}}.gif" alt="身份验证等级{{trust}}钻" border="0"></a>&nbsp;)~";
constexpr html::Fragment kPhotoCount =
    R"~(<a href="/{{album}}" target="_blank" class="Gray_NoUnderLine">[共有{{count}}张照片]</a>)~";
constexpr html::Fragment kFacts = R"~(<font color="#4f4f4f">{{sex}}，{{age}}(岁)，{{occupation}}</font>)~";
constexpr html::Fragment kMoreFacts =
    R"~(<font color="#4f4f4f">{{household}}，{{marital}}，{{education}}， <br>{{height}}cm，{{weight}}kg，</font>)~";
constexpr html::Fragment kLooks = R"~(<font color="#4f4f4f">相貌自评： {{looks}}</font>)~";
constexpr html::Fragment kIntro = R"~(<font color="#4f4f4f">&nbsp;&nbsp;&nbsp;&nbsp;{{intro}}</font>)~";

}  // namespace

GalleryMember GalleryMember::read(const db::Recordset& row) {
  return {row(0), row(1), row(2), row(3), row(4), row(5), row(6), row(7), row(8), row(9), row(10), row(11), row(12)};
}

void appendGalleryCard(zurva& z, db::Connection& conn, const CardViewer& viewer,
                       const GalleryMember* member, Side side, const Variant& width,
                       const Variant& height, std::string& out) {
  const html::Html align = trusted(side == Side::Right ? R"( align="right")" : "");
  if (!member) {
    kFrame.appendTo(out, {{"photo", ""}, {"align", align}, {"nickname", ""}, {"grade", ""}, {"trust", ""},
                          {"photos", ""}, {"facts", ""}, {"more", ""}, {"looks", ""}, {"intro", ""}});
    return;
  }
  const GalleryMember& m = *member;
  const std::int32_t id = CLng(m.userid);
  const std::string token = z.idasc(id).str();
  const std::string profile = profileLink(z, id);

  // The head photo by the member's privacy setting; a friend test only where
  // it can matter.
  const Variant visibility = numbers::digits(m.ifphotolook).value_or(1);
  const int iffriend = eq(visibility, 3) && !viewer.guest
                           ? friendFlag(conn, id, viewer.id, numbers::digits(visibility))
                           : 0;
  const Variant image = headPhoto(z, viewer, id, m.smallphoto, visibility, iffriend, m.sex, width, height);
  const html::Html photo =
      showsThePhoto(image)
          ? kPhoto({{"profile", trusted(profile)},
                    {"file", member::photoFileName(m.smallphoto.str())},
                    {"width", width},
                    {"height", height}})
          : kPlaceholder({{"profile", trusted(profile)}, {"image", trusted(image)}});

  const std::string userdata = m.userdata.str();
  const member::UserData data = member::readUserData(userdata);
  kFrame.appendTo(
      out,
      {{"photo", photo},
       {"align", align},
       {"nickname", kNickname({{"profile", trusted(profile)}, {"nickname", m.nickname}})},
       {"grade", kGrade({{"readybuy", unescapedSiteLink(z, side == Side::Left ? "ReadyBuy.asp"
                                                                              : "ReadyBuy.html")},
                         {"badge", trusted(z.dj(m.grade))}})},
       {"trust", kTrust({{"xjrz", unescapedSiteLink(z, "xjrz.asp")}, {"trust", m.trust}})},
       {"photos",
        kPhotoCount({{"album", unescapedSiteLink(z, "por_type_photo_id_" + token + ".html")},
                     {"count", trusted(z.photonum(m.photo))}})},
       {"facts",
        kFacts({{"sex", trusted(codes::labelOrEmpty(codes::kSex, m.sex.str()))},
                {"age", ageText(userdata)},
                {"occupation", trusted(codes::labelOrEmpty(codes::kOccupation, m.field.str()))}})},
       {"more",
        kMoreFacts(
            {{"household", placeText(data.household)},
             {"marital", trusted(codes::labelOrEmpty(codes::kMarital, data.marital))},
             {"education", trusted(codes::labelOrEmpty(codes::kEducationShown, data.education))},
             {"height", m.height},
             {"weight", m.weight}})},
       {"looks", kLooks({{"looks", codes::looksLabel(data.looks)}})},
       {"intro", kIntro({{"intro", trusted(introText(z, m.aboutus, 83))}})}});
}

}  // namespace zurvafun::showcase

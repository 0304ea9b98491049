#include "showcase/card_parts.h"

#include "db/db.h"
#include "framework/links.h"
#include "framework/sql.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"
#include "showcase/showcase_list.h"

namespace zurvafun::showcase {

CardViewer cardViewer(const Viewer& viewer) {
  CardViewer v;
  v.guest = Trim(viewer.member("username").str()).empty();
  if (!v.guest) v.id = viewer.memberNumber().value_or(0);
  v.grade = viewer.member("grade");
  return v;
}

int friendFlag(db::Connection& conn, std::int32_t member, std::int32_t viewer,
               std::optional<std::int32_t> visibility) {
  if (viewer == member && viewer != 0) return 1;
  if (viewer == 0) return 0;
  db::Recordset friendship = conn.Execute(sql::statement(
      "select ifok from [friends] where userid={} and senduserid={} or userid={} and senduserid={}",
      member, viewer, viewer, member));
  if (friendship.eof()) return 0;
  if (visibility == 3 && eq(friendship("ifok"), 0)) return 0;
  return 1;
}

Variant headPhoto(zurva& z, const CardViewer& viewer, std::int32_t member, const Variant& photo,
                  const Variant& visibility, int iffriend, const Variant& sex, const Variant& width,
                  const Variant& height) {
  if (viewer.guest) return z.showphoto(photo, visibility, sex, width, height);
  // Visibility 1 (everybody) for the member's own photo.
  if (viewer.id == member) return z.showphoto1(photo, 1, 1, viewer.grade, sex, width, height);
  return z.showphoto1(photo, visibility, iffriend, viewer.grade, sex, width, height);
}

bool showsThePhoto(const Variant& image) {
  // The photo helpers write the approved photo itself from /smallphoto/, and
  // placeholders from /images/.
  return image.str().find("src='/smallphoto/") != std::string::npos;
}

std::string ageText(std::string_view userdata) {
  const std::optional<std::int32_t> year =
      numbers::digits(std::string_view(member::birthYearText(userdata)));
  if (!year) return "";
  return std::to_string(Year(Now()) - *year);
}

std::string placeText(const member::Place& place) {
  if (place.province.empty() && place.city.empty()) return "";
  return place.province + "-" + place.city;
}

std::string introText(zurva& z, const Variant& aboutus, int length) {
  if (aboutus.isNull()) return "";
  Variant text = Trim(Replace(host::Server::HTMLEncode(aboutus.str()), "\r\n", "  "));
  z.ChkBadWords(text);
  return z.showstr(text, length).str();
}

std::string profileLink(zurva& z, std::int32_t member) {
  return unescapedSiteLink(z, "id_" + z.idasc(member).str() + "_por.html").str();
}

}  // namespace zurvafun::showcase

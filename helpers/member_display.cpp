// What one viewer may see of one member: the head-photo cell by the member's
// photo privacy, friendship and the viewer's grade (as an image tag, or as a
// bare picture URL for the forum), the count of approved album photos, a
// value carrying a visibility digit, and the friend test against the database.
#include <string>
#include <vector>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/site_settings.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "model/member_record.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// Which picture a head-photo cell shows.
enum class Cell {
  Missing,          // no head photo at all
  CardMembersOnly,  // privacy 2, the viewer is not a gold or silver member
  FriendsOnly,      // privacy 3, the viewer is not a friend
  Approved,         // the photo itself
  Unapproved,       // the photo awaits the site's approval
};

// v <= limit for a value compared with a number (Null is never true).
bool atMost(const Variant& v, double limit) {
  std::optional<int> order = compareNumber(v, limit);
  return order && *order <= 0;
}

// The first rule that matches wins. `hide02` and `hide03` tell whether the
// viewer stays outside privacy 2 and 3; they are asked only for a member with
// that privacy.
template <class Hide02, class Hide03>
Cell photoCell(const Variant& photo, const Variant& ifphotolook, Hide02&& hide02, Hide03&& hide03) {
  if (photo.isNull()) return Cell::Missing;
  if (eq(ifphotolook, 2) && hide02()) return Cell::CardMembersOnly;
  if (eq(ifphotolook, 3) && hide03()) return Cell::FriendsOnly;
  return member::isApproved(photo.str()) ? Cell::Approved : Cell::Unapproved;
}


// The picture's URL; `photo` and `sex` are written as given.
std::string pictureUrl(Cell cell, const std::string& photo, const std::string& sex) {
  switch (cell) {
    case Cell::CardMembersOnly:
      return "/images/no02" + sex + ".gif";
    case Cell::FriendsOnly:
      return "/images/no03" + sex + ".gif";
    case Cell::Approved:
      return "/smallphoto/" + member::photoFileName(photo);
    case Cell::Missing:
    case Cell::Unapproved:
      break;
  }
  return "/images/nophoto.gif";
}

// The image tag of a cell, `a` wide and `b` high. The member's photo name and
// sex code land inside an attribute and are escaped.
std::string pictureTag(Cell cell, const Variant& photo, const Variant& sex, const Variant& a,
                       const Variant& b) {
  const std::string url = pictureUrl(cell, htmlEscape(photo.str()), htmlEscape(sex.str()));
  const std::string width = a.str(), height = b.str();
  switch (cell) {
    case Cell::Missing:
      return " <img src='" + url + "' width='" + width + "' height='" + height + "' border='0'>";
    case Cell::Approved:
      return "<img src='" + url + "' border='0' width=" + width + " height=" + height + ">";
    case Cell::CardMembersOnly:
    case Cell::FriendsOnly:
    case Cell::Unapproved:
      break;
  }
  return "<img src='" + url + "' width=" + width + " height=" + height + " border='0'>";
}

}  // namespace

Variant zurva::showphoto(const Variant& photo, const Variant& ifphotolook, const Variant& sex,
                         const Variant& a, const Variant& b) {
  return logged([&](Variant& result) {
    const Cell cell = photoCell(photo, ifphotolook, [] { return true; }, [] { return true; });
    result = pictureTag(cell, photo, sex, a, b);
  });
}

Variant zurva::showphoto1(const Variant& photo, const Variant& ifphotolook, const Variant& iffriend,
                          const Variant& grade, const Variant& sex, const Variant& a,
                          const Variant& b) {
  return logged([&](Variant& result) {
    const Cell cell = photoCell(
        photo, ifphotolook, [&] { return atMost(grade, 1); },
        [&] { return eq(iffriend, 0) && atMost(grade, 10); });
    result = pictureTag(cell, photo, sex, a, b);
  });
}

Variant zurva::bbsphoto(const Variant& photo, const Variant& ifphotolook, const Variant& sex) {
  return logged([&](Variant& result) {
    const Cell cell = photoCell(photo, ifphotolook, [] { return true; }, [] { return true; });
    result = pictureUrl(cell, photo.str(), sex.str());
  });
}

Variant zurva::bbsphoto1(const Variant& photo, const Variant& ifphotolook, const Variant& iffriend,
                         const Variant& grade, const Variant& sex) {
  return logged([&](Variant& result) {
    const Cell cell = photoCell(
        photo, ifphotolook, [&] { return eq(grade, 1); },
        [&] { return eq(iffriend, 0) && atMost(grade, 10); });
    result = pictureUrl(cell, photo.str(), sex.str());
  });
}

Variant zurva::photonum(const Variant& photo) {
  return logged([&](Variant& result) {
    const std::string list = photo.str();
    if (list.empty()) {
      result = 0;
      return;
    }
    // "1#" ends every approved entry but the last; the last one ends the list.
    long approved = long(Split(list, "1#").size()) - 1;
    if (Right(list, 1) == "1") ++approved;
    result = approved;
  });
}

Variant zurva::ifshow(const Variant& iffriend, const Variant& data) {
  return logged([&](Variant& result) {
    // Element 25 of the site settings, the free-access switch: 0 (or Null)
    // off; any other value lets ordinary members see what gold and silver
    // members see.
    const Variant freeAccess(siteSettings(Application())->baseInfo(25));
    const double grade = Viewer(Request()).grade();
    const std::string text = data.str();
    if (text.empty()) return;  // nothing stored, nothing shown
    const member::Flagged stored = member::splitFlag(text);
    const std::string& flag = stored.flag;
    const std::string value = htmlEscape(stored.value);
    if (grade >= 10 || flag == "1") {
      result = value;
    } else if (flag == "2") {
      const bool switchOff = freeAccess.isNull() || eq(freeAccess, 0);
      result = (switchOff && grade < 2) ? "<font color=red>金银卡会员可见</font>" : value;
    } else if (flag == "3") {
      if (eq(iffriend, 0)) {
        result = "<font color=red>好友可见</font>";
      } else if (eq(iffriend, 1)) {
        result = value;
      }
    } else if (flag == "4") {
      result = "<font color=red>完全保密</font>";
    }
  });
}

Variant zurva::mainiffriend(const Variant& userid, const Variant& senduid,
                            const Variant& SqlLocalName, const Variant& SqlUserName,
                            const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  return untrapped([&](Variant& result) {
    db::Connection conn;
    open(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName);
    const sql::Number viewer = sql::lng(userid);
    const sql::Number member = sql::lng(senduid);
    db::Recordset friendship = conn.Execute(sql::statement(
        "select ifok from [friends] where userid={} and senduserid={} or userid={} and senduserid={}",
        member, viewer, viewer, member));
    if (friendship.eof()) {
      result = 0;
    } else {
      const Variant ifok = friendship("ifok");
      db::Recordset privacy = conn.Execute(
          sql::statement("select ifphotolook from zurva_user where userid={}", member));
      // A member row that is gone has no friends-only photos to guard.
      const Variant ifphotolook = privacy.eof() ? Variant::null() : privacy("ifphotolook");
      result = (eq(ifok, 0) && eq(ifphotolook, 3)) ? 0 : 1;
    }
    // The member himself always passes; the numbers compare as numbers, so a
    // cookie's text "5" matches the member number 5.
    if (viewer.text == member.text) result = 1;
  });
}

}  // namespace zurvafun

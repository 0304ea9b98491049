// The member record: the packed text columns of table zurva_user and the sex
// codes. Every page method that reads or writes one of these columns goes
// through the builders and readers here, so the layouts live in one place.
//
// Readers are lenient, as the pages that show the columns are: a missing item
// reads as empty text. Builders are strict: they refuse values that would break
// the fixed layout the search conditions rely on (std::invalid_argument).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zurvafun::member {

// ---- Sex codes
inline constexpr int kMan = 576;    // 绅士
inline constexpr int kWoman = 577;  // 淑女
constexpr bool isSexCode(int code) { return code == kMan || code == kWoman; }
constexpr int oppositeSex(int code) { return 1153 - code; }

// ---- userdata: nine items joined by "#"
//   0 birth year (4 digits)          5 residence "province-city"
//   1 looks ("0"-"9", "f" = ten)     6 education (3 digits, 122-128)
//   2 marital status (1 digit, 1-3)  7 household register "province-city"
//   3 ethnic group (2 digits, 39-49) 8 housing (3 digits, 205-210)
//   4 native region (a region name)
// SQL reads the birth year as left(userdata,4), the marital status as the 8th
// character, the native region from the 13th character, the education after
// the first "#12" and the housing as right(userdata,3); hence the fixed widths.
inline constexpr int kUserDataItems = 9;

struct Place {
  std::string province;
  std::string city;
};

struct UserData {
  std::string birthYear;
  std::string looks;
  std::string marital;
  std::string ethnic;
  std::string nativeRegion;
  Place residence;
  std::string education;
  Place household;
  std::string housing;
};

// What makes the items unfit for storage, or "" when they are fit.
std::string userDataProblem(const UserData& data);
// The same for a stored text: nine items, a "-" in items 5 and 7, fit items.
std::string userDataProblem(std::string_view stored);
// The stored text; throws std::invalid_argument when userDataProblem is not "".
std::string buildUserData(const UserData& data);
// The items of a stored text; items 5 and 7 split at their first "-".
UserData readUserData(std::string_view stored);
// The birth year as the statements and the member cookie read it: the first
// four characters of the stored text, whatever they are.
std::string birthYearText(std::string_view stored);

// ---- A value followed by one flag character: name (visibility digit) and
// idno (document-type digit).
struct Flagged {
  std::string value;  // the stored text without its last character
  std::string flag;   // the last character ("" for an empty text)
};

// Any value that ends in one flag character (a visibility digit, a
// document-type digit, an approval flag).
Flagged splitFlag(std::string_view stored);

// Visibility digits of name and pay.
inline constexpr int kPublic = 1;       // 完全公开
inline constexpr int kCardMembers = 2;  // 金卡银卡会员可见
inline constexpr int kFriends = 3;      // 好友可见
inline constexpr int kSecret = 4;       // 完全保密 (name only)

// Full name (at most 16 characters) and visibility 1-4.
std::string buildName(std::string_view fullName, int visibility);
Flagged readName(std::string_view stored);

// Document number (at most 18 characters) and type 1 身份证, 2 军官证, 3 护照.
std::string buildIdNo(std::string_view number, int documentType);
// Surrounding blanks are trimmed before the type digit is taken.
Flagged readIdNo(std::string_view stored);

// ---- pay: income code (3 digits, 222-237) "#" visibility (1-3)
struct Pay {
  std::string income;
  std::string visibility;
};
std::string buildPay(int incomeCode, int visibility);
Pay readPay(std::string_view stored);

// ---- mobile: number "#" flag (1 gold and silver members only, 2 secret)
struct Mobile {
  std::string number;
  std::string flag;  // "" when the text holds no flag item
};
std::string buildMobile(std::string_view number, int flag);
Mobile readMobile(std::string_view stored);

// ---- lianxi: QQ "#" MSN "#" e-mail, any of them empty
struct Contact {
  std::string qq;
  std::string msn;
  std::string email;
};
std::string buildLianxi(const Contact& contact);
// A Null column (std::nullopt) reads as "###": three empty items.
Contact readLianxi(std::optional<std::string_view> stored);

// ---- userbz: the saved search criteria, 18 items joined by "#"; range items
// hold a lower and an upper bound joined by "-". Items 0 to 2 double as the
// partner criteria.
enum CriteriaItem {
  kAgeRange = 0,        // agefrom-ageto
  kHeightRange = 1,     // heightfrom-heightto
  kEducationRange = 2,  // degreefrom-degreeto
  kDayNum = 3,
  kHeadPhoto = 4,
  kOnline = 5,
  kSex = 6,
  kResidence = 7,    // province1-city1
  kIncomeRange = 8,  // incomefrom-incometo
  kMaritalStatus = 9,
  kWeightRange = 10,  // weightfrom-weightto
  kAncestor = 11,
  kHousehold = 12,  // province-city
  kHousing = 13,
  kJob = 14,
  kGrade = 15,        // ptype
  kTrust = 16,        // mtype
  kLoginDayNum = 17,  // daynum1
};
inline constexpr int kCriteriaItems = 18;

struct Range {
  std::string low;   // element 0 of the item split on "-"
  std::string high;  // element 1, "" when the item has no "-"
};
std::string buildRange(std::string_view low, std::string_view high);
Range readRange(std::string_view item);

struct Criteria {
  std::array<std::string, kCriteriaItems> items;
  Range range(CriteriaItem item) const { return readRange(items[item]); }
};
std::string buildUserBz(const Criteria& criteria);
// Items the text lacks read as empty.
Criteria readUserBz(std::string_view stored);

// ---- nosou: member numbers joined by "#"
std::string buildNosou(const std::vector<long>& memberIds);
// The member numbers of the list; an element that is not a whole number is
// left out, so no stored text ever reaches a statement unconverted.
std::vector<long> readNosou(std::string_view stored);

// ---- Photo lists (photo, and the single names of smallphoto, sfphoto,
// hyphoto, srphoto, xlphoto): every stored file name ends in one approval flag,
// "1" approved by the site, "0" awaiting approval. An album is its entries
// joined by "#"; the last entry is the profile picture.
std::string photoEntry(std::string_view fileName, bool approved);
// Whether a stored name carries the flag "1" (Null or empty counts as "0").
bool isApproved(std::string_view entry);
// The file name without its flag.
std::string photoFileName(std::string_view entry);
std::vector<std::string> readPhotoList(std::string_view stored);  // "" gives none
std::string buildPhotoList(const std::vector<std::string>& entries);
// The profile picture's entry, "" for an empty album.
std::string profilePicture(std::string_view stored);
// The head photo's file name of a member: "smallphoto" id ".jpg".
std::string headPhotoName(long userid);

}  // namespace zurvafun::member

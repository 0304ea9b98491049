#include "model/member_record.h"

#include <charconv>
#include <stdexcept>

#include "runtime/text.h"

namespace zurvafun::member {

namespace {

bool allDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A code of exactly `width` digits within [low, high].
bool isCode(std::string_view s, std::size_t width, int low, int high) {
  if (s.size() != width || !allDigits(s)) return false;
  int n = 0;
  std::from_chars(s.data(), s.data() + s.size(), n);
  return n >= low && n <= high;
}

std::string itemAt(const std::vector<std::string>& items, std::size_t index) {
  return index < items.size() ? items[index] : std::string();
}

Place readPlace(std::string_view item) {
  std::vector<std::string> parts = Split(item, "-");
  return {itemAt(parts, 0), itemAt(parts, 1)};
}

// A place is stored as "province-city": neither half may hold "#" or "-".
bool isPlacePart(std::string_view s) {
  return s.find('#') == std::string_view::npos && s.find('-') == std::string_view::npos;
}

void require(bool condition, const char* what) {
  if (!condition) throw std::invalid_argument(what);
}

std::string withFlag(std::string_view value, int flag) {
  std::string s(value);
  s += std::to_string(flag);
  return s;
}

}  // namespace

// ---- userdata

std::string userDataProblem(const UserData& d) {
  if (!isCode(d.birthYear, 4, 0, 9999)) return "birth year must be four digits";
  if (!(d.looks.size() == 1 && ((d.looks[0] >= '0' && d.looks[0] <= '9') || d.looks[0] == 'f'))) {
    return "looks must be one of 0-9 or f";
  }
  if (!isCode(d.marital, 1, 1, 3)) return "marital status must be one digit 1-3";
  if (!isCode(d.ethnic, 2, 39, 49)) return "ethnic group must be two digits 39-49";
  // The residence's "-" must be the first "-" of the text.
  if (!isPlacePart(d.nativeRegion)) return "native region holds \"#\" or \"-\"";
  if (!isPlacePart(d.residence.province) || !isPlacePart(d.residence.city) ||
      !isPlacePart(d.household.province) || !isPlacePart(d.household.city)) {
    return "a province or city holds \"#\" or \"-\"";
  }
  // The education code is found as the first "#12": no earlier item may begin with "12".
  if (d.nativeRegion.starts_with("12") || d.residence.province.starts_with("12")) {
    return "an item before the education code begins with \"12\"";
  }
  if (!isCode(d.education, 3, 122, 128)) return "education must be three digits 122-128";
  if (!isCode(d.housing, 3, 205, 210)) return "housing must be three digits 205-210";
  return "";
}

std::string userDataProblem(std::string_view stored) {
  std::vector<std::string> items = Split(stored, "#");
  if (items.size() != kUserDataItems) return "userdata must hold nine items";
  if (items[5].find('-') == std::string::npos || items[7].find('-') == std::string::npos) {
    return "residence and household register must be \"province-city\"";
  }
  UserData d = readUserData(stored);
  // A place part with a second "-" would be cut off by the reader: compare back.
  if (d.residence.province + "-" + d.residence.city != items[5] ||
      d.household.province + "-" + d.household.city != items[7]) {
    return "a province or city holds \"-\"";
  }
  return userDataProblem(d);
}

std::string buildUserData(const UserData& d) {
  std::string problem = userDataProblem(d);
  if (!problem.empty()) throw std::invalid_argument("userdata: " + problem);
  return Join({d.birthYear, d.looks, d.marital, d.ethnic, d.nativeRegion,
               d.residence.province + "-" + d.residence.city, d.education,
               d.household.province + "-" + d.household.city, d.housing},
              "#");
}

std::string birthYearText(std::string_view stored) { return Left(stored, 4); }

UserData readUserData(std::string_view stored) {
  std::vector<std::string> items = Split(stored, "#");
  UserData d;
  d.birthYear = itemAt(items, 0);
  d.looks = itemAt(items, 1);
  d.marital = itemAt(items, 2);
  d.ethnic = itemAt(items, 3);
  d.nativeRegion = itemAt(items, 4);
  d.residence = readPlace(itemAt(items, 5));
  d.education = itemAt(items, 6);
  d.household = readPlace(itemAt(items, 7));
  d.housing = itemAt(items, 8);
  return d;
}

// ---- name and idno

std::string buildName(std::string_view fullName, int visibility) {
  require(visibility >= kPublic && visibility <= kSecret, "name: visibility must be 1-4");
  require(Len(fullName) <= 16, "name: at most 16 characters");
  return withFlag(fullName, visibility);
}

Flagged splitFlag(std::string_view stored) {
  long n = Len(stored);
  if (n == 0) return {};
  return {Left(stored, n - 1), Right(stored, 1)};
}

Flagged readName(std::string_view stored) { return splitFlag(stored); }

std::string buildIdNo(std::string_view number, int documentType) {
  require(documentType >= 1 && documentType <= 3, "idno: document type must be 1-3");
  require(Len(number) <= 18, "idno: at most 18 characters");
  return withFlag(number, documentType);
}

Flagged readIdNo(std::string_view stored) { return splitFlag(Trim(stored)); }

// ---- pay, mobile, lianxi

std::string buildPay(int incomeCode, int visibility) {
  require(incomeCode >= 222 && incomeCode <= 237, "pay: income code must be 222-237");
  require(visibility >= kPublic && visibility <= kFriends, "pay: visibility must be 1-3");
  return std::to_string(incomeCode) + "#" + std::to_string(visibility);
}

Pay readPay(std::string_view stored) {
  std::vector<std::string> items = Split(stored, "#");
  return {itemAt(items, 0), itemAt(items, 1)};
}

std::string buildMobile(std::string_view number, int flag) {
  require(flag == 1 || flag == 2, "mobile: flag must be 1 or 2");
  require(number.find('#') == std::string_view::npos, "mobile: number holds \"#\"");
  return std::string(number) + "#" + std::to_string(flag);
}

Mobile readMobile(std::string_view stored) {
  std::vector<std::string> items = Split(stored, "#");
  return {itemAt(items, 0), itemAt(items, 1)};
}

std::string buildLianxi(const Contact& c) {
  for (const std::string* s : {&c.qq, &c.msn, &c.email}) {
    require(s->find('#') == std::string::npos, "lianxi: an item holds \"#\"");
  }
  return c.qq + "#" + c.msn + "#" + c.email;
}

Contact readLianxi(std::optional<std::string_view> stored) {
  std::vector<std::string> items = Split(stored.value_or("###"), "#");
  return {itemAt(items, 0), itemAt(items, 1), itemAt(items, 2)};
}

// ---- userbz

std::string buildRange(std::string_view low, std::string_view high) {
  return std::string(low) + "-" + std::string(high);
}

Range readRange(std::string_view item) {
  std::vector<std::string> parts = Split(item, "-");
  return {itemAt(parts, 0), itemAt(parts, 1)};
}

std::string buildUserBz(const Criteria& criteria) {
  for (const std::string& item : criteria.items) {
    require(item.find('#') == std::string::npos, "userbz: an item holds \"#\"");
  }
  return Join(std::vector<std::string>(criteria.items.begin(), criteria.items.end()), "#");
}

Criteria readUserBz(std::string_view stored) {
  std::vector<std::string> items = Split(stored, "#");
  Criteria c;
  for (std::size_t i = 0; i < c.items.size(); ++i) c.items[i] = itemAt(items, i);
  return c;
}

// ---- nosou

std::string buildNosou(const std::vector<long>& memberIds) {
  std::vector<std::string> items;
  items.reserve(memberIds.size());
  for (long id : memberIds) items.push_back(std::to_string(id));
  return Join(items, "#");
}

std::vector<long> readNosou(std::string_view stored) {
  std::vector<long> ids;
  for (const std::string& item : Split(stored, "#")) {
    long id = 0;
    auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), id);
    if (ec == std::errc() && end == item.data() + item.size() && !item.empty()) ids.push_back(id);
  }
  return ids;
}

// ---- photos

std::string photoEntry(std::string_view fileName, bool approved) {
  std::string s(fileName);
  s += approved ? '1' : '0';
  return s;
}

bool isApproved(std::string_view entry) { return !entry.empty() && entry.back() == '1'; }

std::string photoFileName(std::string_view entry) { return splitFlag(entry).value; }

std::vector<std::string> readPhotoList(std::string_view stored) { return Split(stored, "#"); }

std::string buildPhotoList(const std::vector<std::string>& entries) {
  for (const std::string& e : entries) {
    require(!e.empty() && e.find('#') == std::string::npos,
            "photo: an entry is empty or holds \"#\"");
  }
  return Join(entries, "#");
}

std::string profilePicture(std::string_view stored) {
  std::vector<std::string> entries = readPhotoList(stored);
  return entries.empty() ? std::string() : entries.back();
}

std::string headPhotoName(long userid) { return "smallphoto" + std::to_string(userid) + ".jpg"; }

}  // namespace zurvafun::member

#include "site/seed.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/db.h"
#include "model/member_columns.h"
#include "model/member_record.h"
#include "model/regions.h"
#include "model/schema.h"
#include "runtime/dates.h"
#include "runtime/gbk.h"

namespace zurvafun::seed {

namespace {

using member::kMan;
using member::kWoman;

// ---- Database plumbing

[[noreturn]] void fail(sqlite3* conn, std::string_view what) {
  throw std::runtime_error("seed: " + std::string(what) + ": " + sqlite3_errmsg(conn));
}

// An open database file, closed when the handle goes.
class Database {
 public:
  // Opens `path` with the sqlite3_open_v2 `flags`; std::runtime_error names
  // the file and what went wrong.
  Database(const std::string& path, int flags) {
    sqlite3* conn = nullptr;
    const int status = sqlite3_open_v2(path.c_str(), &conn, flags, nullptr);
    conn_.reset(conn);
    if (status != SQLITE_OK)
      throw std::runtime_error("seed: cannot " +
                               std::string(flags & SQLITE_OPEN_CREATE ? "create " : "open ") +
                               path + ": " + (conn ? sqlite3_errmsg(conn) : "out of memory"));
  }

  operator sqlite3*() const { return conn_.get(); }

 private:
  struct Close {
    void operator()(sqlite3* conn) const { sqlite3_close(conn); }
  };
  std::unique_ptr<sqlite3, Close> conn_;
};

// A prepared statement, finalized when the handle goes.
class Prepared {
 public:
  Prepared() = default;
  Prepared(sqlite3* conn, const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    const int status = sqlite3_prepare_v2(conn, sql.c_str(), -1, &stmt, nullptr);
    stmt_.reset(stmt);
    if (status != SQLITE_OK) fail(conn, sql);
  }

  operator sqlite3_stmt*() const { return stmt_.get(); }

 private:
  struct Finalize {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
  };
  std::unique_ptr<sqlite3_stmt, Finalize> stmt_;
};

void exec(sqlite3* conn, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(conn, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "";
    sqlite3_free(message);
    throw std::runtime_error("seed: " + text);
  }
}

// One value of a row: Null, a whole number, a money amount or text.
struct Value {
  enum Kind { Null, Whole, Real, Text } kind = Null;
  long long whole = 0;
  double real = 0;
  std::string text;

  Value(std::nullopt_t) {}
  Value(int n) : kind(Whole), whole(n) {}
  Value(long long n) : kind(Whole), whole(n) {}
  Value(double d) : kind(Real), real(d) {}
  Value(const char* s) : kind(Text), text(s) {}
  Value(std::string s) : kind(Text), text(std::move(s)) {}
  Value(std::string_view s) : kind(Text), text(s) {}
  Value(std::optional<std::string> s) {
    if (s) {
      kind = Text;
      text = std::move(*s);
    }
  }
};

// A prepared "insert into table (columns) values (?, …)".
class Insert {
 public:
  Insert(sqlite3* conn, std::string_view table, std::initializer_list<const char*> columns)
      : Insert(conn, table, std::vector<std::string_view>(columns.begin(), columns.end())) {}
  Insert(sqlite3* conn, std::string_view table, const std::vector<std::string_view>& columns)
      : conn_(conn) {
    std::string sql = "INSERT INTO " + std::string(table) + " (";
    std::string marks;
    for (std::string_view c : columns) {
      if (!marks.empty()) {
        sql += ",";
        marks += ",";
      }
      sql += c;
      marks += "?";
    }
    sql += ") VALUES (" + marks + ")";
    stmt_ = Prepared(conn_, sql);
  }
  Insert(const Insert&) = delete;
  Insert& operator=(const Insert&) = delete;

  void row(std::initializer_list<Value> values) {
    row(std::span<const Value>(values.begin(), values.size()));
  }
  void row(std::span<const Value> values) {
    int i = 0;
    for (const Value& v : values) {
      ++i;
      switch (v.kind) {
        case Value::Null: sqlite3_bind_null(stmt_, i); break;
        case Value::Whole: sqlite3_bind_int64(stmt_, i, v.whole); break;
        case Value::Real: sqlite3_bind_double(stmt_, i, v.real); break;
        case Value::Text:
          sqlite3_bind_text(stmt_, i, v.text.data(), int(v.text.size()), SQLITE_TRANSIENT);
          break;
      }
    }
    if (sqlite3_step(stmt_) != SQLITE_DONE) fail(conn_, "insert");
    sqlite3_reset(stmt_);
  }

 private:
  sqlite3* conn_;
  Prepared stmt_;
};

// ---- Deterministic choices: own generator and arithmetic, so the rows do not
// depend on the standard library's distributions or on the runtime's Rnd. Each
// draw stands in a statement (or braced list) of its own, so the order of the
// draws never depends on the order in which a compiler evaluates operands.

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  int between(int low, int high) {  // both included
    return low + int(engine_() % std::uint32_t(high - low + 1));
  }
  bool chance(int percent) { return between(1, 100) <= percent; }
  template <typename Items>
  const auto& pick(const Items& items) {
    return items[std::size_t(between(0, int(std::size(items)) - 1))];
  }
  std::string digits(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += char('0' + between(0, 9));
    return s;
  }

 private:
  std::mt19937 engine_;
};

// ---- Data pools (codes follow the profile code tables)

constexpr int kBodyShapes[] = {113, 114, 115, 867, 868, 869, 870, 877, 878, 879};
constexpr int kOccupations[] = {152, 153, 154, 155, 156, 157, 158, 159, 160, 161, 162, 163,
                                164, 165, 166, 168, 169, 170, 171, 172, 173, 174, 179, 180,
                                181, 182, 183, 184, 185, 186, 187, 822, 823, 826};
constexpr std::string_view kStars[] = {"白羊座", "金牛座", "双子座", "巨蟹座", "狮子座", "处女座",
                                       "天秤座", "天蝎座", "射手座", "魔羯座", "水瓶座", "双鱼座"};
constexpr std::string_view kEducationLabels[] = {"大专以下", "大专", "本科", "硕士",
                                                 "博士", "博士后", "双学士"};
constexpr std::string_view kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                          "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗",
                                          "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹"};
constexpr std::string_view kMaleGiven[] = {"伟", "强", "磊", "军", "勇", "杰", "涛", "明", "超", "刚",
                                           "建国", "志强", "海涛", "晓东", "文博", "浩然"};
constexpr std::string_view kFemaleGiven[] = {"芳", "娜", "敏", "静", "丽", "艳", "娟", "霞", "婷", "雪",
                                             "秀英", "晓燕", "美玲", "雨桐", "欣怡", "静怡"};
// Distinct stems, none the start of another, so stem + member number is unique.
constexpr std::string_view kMaleNicks[] = {"阳光", "海风", "远山", "追梦人", "书生",
                                           "行者", "大树", "蓝天", "石头", "骑士"};
constexpr std::string_view kFemaleNicks[] = {"百合", "小雨", "微笑", "月光", "紫藤",
                                             "茉莉", "晨曦", "丁香", "彩虹", "蜻蜓"};
constexpr std::string_view kDuties[] = {"工程师", "经理", "主管", "讲师", "会计师", "设计师",
                                        "销售代表", "护士长", "律师", "研究员", "", ""};
constexpr std::string_view kDrinks[] = {"不喝酒", "偶尔喝一点", "社交场合喝", "经常喝"};
constexpr std::string_view kSmokes[] = {"不吸烟", "偶尔吸", "已戒烟", "吸烟"};
constexpr std::pair<std::string_view, std::string_view> kRecovery[] = {
    {"我的小学", "实验小学"}, {"母亲的名字", "王秀英"}, {"最爱的书", "围城"}, {"出生的城市", "杭州"}};
constexpr std::string_view kIntroLines[] = {
    "我性格开朗，喜欢旅游和摄影，周末常去郊外走走。",
    "工作稳定，生活规律，希望找到一个真心相待的人。",
    "平时喜欢看书、听音乐，也会下厨做几道拿手菜。",
    "相信缘分，也相信用心经营的感情会越来越好。",
    "喜欢运动，羽毛球和游泳是我的最爱。",
    "希望对方善良、孝顺，有责任心，懂得珍惜。",
    "来自一个温暖的家庭，父母身体健康。",
    "不抽烟，很少喝酒，没有不良嗜好。",
};
constexpr std::string_view kMessages[] = {
    "你好，很高兴认识你！", "看了你的资料，觉得我们挺合得来。", "周末有空一起喝咖啡吗？",
    "谢谢你的礼物，我很喜欢。", "最近工作忙吗？注意休息。", "可以加个QQ慢慢聊吗？",
};

struct Gift {
  const char* name;
  int price;
  const char* description;
  const char* image;
};
constexpr Gift kGifts[] = {
    {"红玫瑰", 10, "一束红玫瑰，表达你的爱意", "gift1.gif"},
    {"巧克力", 15, "甜蜜的心形巧克力", "gift2.gif"},
    {"泰迪熊", 30, "可爱的毛绒泰迪熊", "gift3.gif"},
    {"香水", 50, "淡雅清香的香水", "gift4.gif"},
    {"生日蛋糕", 25, "祝你生日快乐", "gift5.gif"},
    {"贺卡", 5, "一张温馨的贺卡", "gift6.gif"},
    {"咖啡", 8, "一起喝杯咖啡吧", "gift7.gif"},
    {"钻戒", 200, "永恒的承诺", "gift8.gif"},
};

constexpr std::string_view kPartyTitles[] = {"周末户外烧烤交友会", "单身读书沙龙", "城市徒步一日游",
                                             "情人节主题派对", "羽毛球友谊赛", "电影之夜",
                                             "咖啡品鉴会", "爬山交友活动"};

// ---- Passwords: the 16-digit MD5 form, digits 9 to 24 of the lower-case hex
// digest of the password's GBK bytes.

std::string md5Short(std::string_view password) {
  std::string bytes = gbk::fromUtf8(password);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    throw std::runtime_error("seed: MD5 failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex.substr(8, 16);
}

// ---- Dates, relative to the component's clock

class Moments {
 public:
  Moments() : now_(clockNow()) {}
  // The date and time `days` days before now.
  std::string ago(double days) const { return dateTimeText(now_ - days); }
  std::string ahead(double days) const { return dateTimeText(now_ + days); }
  int year() const { return fromSerial(now_).year; }

 private:
  double now_;
};

// ---- Members

struct Member {
  long long id = 0;
  std::string zurvauser, password, nickname, name, idno;
  int sex = kMan, ok = 1, iferro = 0, ifclose = 0, ifdel = 0, grade = 1, trust = 0, online = 0;
  int ifphotolook = 1;
  member::UserData data;
  std::string tx, height, weight, field, job, pay, star;
  std::optional<std::string> mobile;
  std::string drink, smoking, pass, passask, lianxi, aboutus, userbz;
  std::optional<std::string> nosou, photo, smallphoto, sfphoto, hyphoto, srphoto, xlphoto;
  double emoney = 0;
  int tuijian = 0;
  std::optional<long long> iflianxi, logins;
  std::optional<std::string> moneytime, maincity, nextcity, loginip, lasttime;
  double citymoney = 0, nextcitymoney = 0;
  std::string addtime;
  double daysRegistered = 0;  // how long ago addtime lies

  int age(int year) const { return year - std::stoi(data.birthYear); }
};

std::string photoName(const Member& m, Random& r, std::string_view tag) {
  // "photo<id>_<yyyy>_<mm>_<dd>_<tag>.jpg": the upload date in fields 2 to 4.
  std::string date = m.addtime.substr(0, 10);  // yyyy-mm-dd
  std::string name = "photo" + std::to_string(m.id) + "_" + date.substr(0, 4) + "_" +
                     date.substr(5, 2) + "_" + date.substr(8, 2) + "_" + std::string(tag);
  if (tag.empty()) name += std::to_string(r.between(1000, 9999));
  return name + ".jpg";
}

// A proof scan: none, awaiting approval or approved.
std::optional<std::string> proofScan(const Member& m, Random& r, std::string_view tag, int percent) {
  if (!r.chance(percent)) return std::nullopt;
  std::string name = photoName(m, r, tag);
  return member::photoEntry(name, r.chance(75));
}

// trust = ok + 1 for an approved album picture + 1 per approved proof scan.
void recount(Member& m) {
  int trust = m.ok;
  if (m.photo) {
    for (const std::string& e : member::readPhotoList(*m.photo)) {
      if (member::isApproved(e)) {
        ++trust;
        break;
      }
    }
  }
  for (const auto* scan : {&m.sfphoto, &m.hyphoto, &m.srphoto, &m.xlphoto}) {
    if (*scan && member::isApproved(**scan)) ++trust;
  }
  m.trust = trust;
}

member::UserData makeUserData(Random& r, int year) {
  member::UserData d;
  d.birthYear = std::to_string(r.between(std::max(1965, year - 60), std::min(1997, year - 20)));
  d.looks = r.chance(10) ? "0" : r.chance(10) ? "f" : std::to_string(r.between(4, 9));
  d.marital = r.chance(80) ? "1" : std::to_string(r.between(2, 3));
  d.ethnic = r.chance(85) ? "39" : std::to_string(r.between(40, 49));
  d.nativeRegion = std::string(r.pick(regions::kProvinces));
  // Residence and household register are real pairs of the city table; most
  // members live in the province they are registered in.
  const regions::City& home = r.pick(regions::kCities);
  d.residence = {std::string(home.province), std::string(home.city)};
  const regions::City& reg = r.chance(60) ? home : r.pick(regions::kCities);
  d.household = {std::string(reg.province), std::string(reg.city)};
  d.education = std::to_string(r.chance(3) ? 128 : r.between(122, 127));
  d.housing = std::to_string(r.between(205, 210));
  return d;
}

std::string makeIntro(Random& r) {
  std::string intro;
  int lines = r.between(2, 4);
  for (int i = 0; i < lines; ++i) intro += r.pick(kIntroLines);
  return intro;
}

std::string makeCriteria(Random& r, const Member& m, int year) {
  member::Criteria c;
  int age = m.age(year);
  bool man = m.sex == kMan;
  int low = std::clamp(man ? age - 8 : age - 2, 18, 70);
  int high = std::clamp(man ? age + 2 : age + 8, low, 70);
  c.items[member::kAgeRange] = member::buildRange(std::to_string(low), std::to_string(high));
  c.items[member::kHeightRange] =
      man ? member::buildRange("150", "170") : member::buildRange("168", "190");
  c.items[member::kEducationRange] = member::buildRange(std::to_string(r.between(122, 124)), "127");
  c.items[member::kDayNum] = "0";
  c.items[member::kSex] = std::to_string(member::oppositeSex(m.sex));
  c.items[member::kResidence] = r.chance(50) ? member::buildRange(m.data.residence.province, "0")
                                             : member::buildRange("0", "0");
  c.items[member::kIncomeRange] = member::buildRange("", "");
  c.items[member::kWeightRange] = member::buildRange("", "");
  c.items[member::kHousehold] = member::buildRange("0", "0");
  c.items[member::kLoginDayNum] = "0";
  return member::buildUserBz(c);
}

Member makeMember(Random& r, const Moments& when, long long id, int year,
                  const std::string& memberPassword, int memberCount) {
  Member m;
  m.id = id;
  m.sex = r.chance(50) ? kMan : kWoman;
  bool man = m.sex == kMan;
  m.zurvauser = "member" + std::to_string(id) + "@example.com";
  m.password = memberPassword;
  m.nickname = std::string(r.pick(man ? kMaleNicks : kFemaleNicks)) + std::to_string(id);
  std::string fullName(r.pick(kSurnames));
  fullName += r.pick(man ? kMaleGiven : kFemaleGiven);
  m.name = member::buildName(fullName, r.between(1, 4));
  m.data = makeUserData(r, year);
  if (r.chance(90)) {
    std::string number = r.digits(6) + m.data.birthYear;  // region code and birth year
    number += r.digits(8);
    m.idno = member::buildIdNo(number, 1);
  } else {
    m.idno = member::buildIdNo("G" + r.digits(8), 3);
  }
  m.ok = r.chance(85) ? 1 : 0;
  m.iferro = r.chance(2) ? 1 : 0;
  m.ifclose = r.chance(1) ? 1 : 0;
  m.ifdel = r.chance(1) ? 1 : 0;
  int g = r.between(1, 100);
  m.grade = g <= 5 ? 0 : g <= 62 ? 1 : g <= 82 ? 2 : g <= 99 ? 3 : 10;
  m.online = r.chance(10) ? 1 : 0;
  m.ifphotolook = r.chance(80) ? 1 : r.between(2, 3);
  m.tx = std::to_string(r.pick(kBodyShapes));
  m.height = std::to_string(man ? r.between(162, 190) : r.between(150, 176));
  m.weight = std::to_string(man ? r.between(55, 92) : r.between(42, 66));
  m.field = std::to_string(r.pick(kOccupations));
  m.job = std::string(r.pick(kDuties));
  m.pay = member::buildPay(r.between(222, 237), r.between(1, 3));
  m.star = r.chance(85) ? std::string(r.pick(kStars)) : "";
  if (r.chance(90)) m.mobile = member::buildMobile("13" + r.digits(9), r.between(1, 2));
  m.drink = std::string(r.pick(kDrinks));
  m.smoking = std::string(r.pick(kSmokes));
  const auto& [question, answer] = r.pick(kRecovery);
  m.pass = std::string(question);
  m.passask = std::string(answer);
  m.lianxi = member::buildLianxi({r.chance(70) ? r.digits(r.between(6, 10)) : "",
                                  r.chance(30) ? "msn" + std::to_string(id) + "@hotmail.com" : "",
                                  r.chance(80) ? m.zurvauser : ""});
  m.aboutus = makeIntro(r);
  m.userbz = makeCriteria(r, m, year);
  if (r.chance(3) && memberCount > 1) {
    m.nosou = member::buildNosou({r.between(1, memberCount), r.between(1, memberCount)});
  }

  m.daysRegistered = r.between(1, 730 * 24) / 24.0;
  m.addtime = when.ago(m.daysRegistered);
  if (r.chance(90)) {
    m.logins = r.between(1, 300);
    m.lasttime = when.ago(m.daysRegistered * r.between(0, 100) / 100.0);
    m.loginip = "192.168." + std::to_string(r.between(0, 255));
    m.loginip->append(".").append(std::to_string(r.between(1, 254)));
  }

  // Pictures: an album of up to five entries, a head photo and proof scans,
  // each with its approval flag; trust follows from them.
  std::vector<std::string> album;
  int pictures = r.chance(75) ? r.between(1, 5) : 0;
  for (int i = 0; i < pictures; ++i) {
    std::string name = photoName(m, r, "");
    album.push_back(member::photoEntry(name, r.chance(85)));
  }
  if (!album.empty()) m.photo = member::buildPhotoList(album);
  if (r.chance(80)) m.smallphoto = member::photoEntry(member::headPhotoName(id), r.chance(85));
  m.sfphoto = proofScan(m, r, "sf", 30);
  m.hyphoto = proofScan(m, r, "hy", 15);
  m.srphoto = proofScan(m, r, "sr", 15);
  m.xlphoto = proofScan(m, r, "xl", 20);
  recount(m);

  if (r.chance(60)) {
    m.emoney = r.between(0, 100) * 5;
    if (r.chance(20)) m.emoney += 2.5;
  }
  if (r.chance(3)) {  // a running showcase
    m.tuijian = 1;
    m.iflianxi = r.between(7, 30);
    m.moneytime = when.ago(r.between(0, 5) + 0.5);
  } else if (r.chance(1)) {  // free showcase days granted, not started
    m.iflianxi = r.between(3, 10);
    m.moneytime = "9999-12-31 00:00:00";
  }
  if (r.chance(2)) {
    m.maincity = "#";
    m.citymoney = r.between(10, 200) * 5;
  }
  if (r.chance(2)) {
    m.nextcity = m.data.residence.province + "#" + m.data.residence.city;
    m.nextcitymoney = r.between(10, 100) * 5;
  }
  return m;
}


// The demo accounts keep a fixed profile so that they can be shown and logged
// in with; the rest of their row comes from the generator like everybody's.
struct DemoProfile {
  int sex;
  const char* fullName;
  int nameVisibility;
  member::UserData data;
  const char* height;
  const char* weight;
  int grade;
  double emoney;
  int ifdel;  // 1: locked, the login refuses the account
};

const DemoProfile kDemoProfiles[] = {
    {kWoman, "林晓燕", member::kPublic,
     {"1990", "8", "1", "39", "广东", {"广东", "广州市"}, "124", {"广东", "广州市"}, "206"},
     "165", "52", 3, 1000, 0},
    {kMan, "陈志强", member::kFriends,
     {"1987", "7", "1", "39", "湖南", {"广东", "深圳市"}, "125", {"湖南", "长沙市"}, "205"},
     "178", "70", 2, 200, 0},
    {kMan, "王建国", member::kCardMembers,
     {"1982", "6", "2", "39", "北京", {"北京", "朝阳区"}, "123", {"北京", "朝阳区"}, "208"},
     "172", "68", 1, 0, 1},
};

void makeDemoAccount(Member& m, Random& r, const Moments& when, int index, int year) {
  const DemoAccount& account = kDemoAccounts[index];
  const DemoProfile& profile = kDemoProfiles[index];
  m.zurvauser = account.zurvauser;
  m.nickname = account.nickname;
  m.password = md5Short(account.password);
  m.sex = profile.sex;
  m.name = member::buildName(profile.fullName, profile.nameVisibility);
  m.data = profile.data;
  m.height = profile.height;
  m.weight = profile.weight;
  m.grade = profile.grade;
  m.emoney = profile.emoney;
  m.ok = 1;
  m.iferro = m.ifclose = 0;
  m.ifdel = profile.ifdel;
  m.ifphotolook = 1;
  m.lianxi = member::buildLianxi({"10001" + std::to_string(index), "", account.zurvauser});
  m.mobile = member::buildMobile("1380013800" + std::to_string(index), 1);
  m.smallphoto = member::photoEntry(member::headPhotoName(m.id), true);
  m.photo = member::buildPhotoList({member::photoEntry(photoName(m, r, "1"), true),
                                    member::photoEntry(photoName(m, r, "2"), false),
                                    member::photoEntry(photoName(m, r, "3"), true)});
  m.nosou.reset();
  if (index == 0) {  // verified identity, a running showcase, placed on the home page
    m.sfphoto = member::photoEntry(photoName(m, r, "sf"), true);
    m.tuijian = 1;
    m.iflianxi = 30;
    m.moneytime = when.ago(1);
    m.maincity = "#";
    m.citymoney = 500;
  }
  m.userbz = makeCriteria(r, m, year);
  recount(m);
}

// The columns of a member's row that the generator fills, always in this order.
std::vector<std::pair<std::string_view, Value>> memberColumns(const Member& m) {
  auto whole = [](const std::optional<long long>& n) {
    return n ? Value(*n) : Value(std::nullopt);
  };
  return {{"userid", m.id},
          {"zurvauser", m.zurvauser},
          {"password", m.password},
          {"nickname", m.nickname},
          {"name", m.name},
          {"idno", m.idno},
          {"sex", m.sex},
          {"ok", m.ok},
          {"iferro", m.iferro},
          {"ifclose", m.ifclose},
          {"ifdel", m.ifdel},
          {"grade", m.grade},
          {"trust", m.trust},
          {"online", m.online},
          {"ifphotolook", m.ifphotolook},
          {"userdata", member::buildUserData(m.data)},
          {"tx", m.tx},
          {"height_", m.height},
          {"weight_", m.weight},
          {"field", m.field},
          {"job", m.job},
          {"pay", m.pay},
          {"star", m.star},
          {"mobile", m.mobile},
          {"drink", m.drink},
          {"smoking", m.smoking},
          {"pass", m.pass},
          {"passask", m.passask},
          {"lianxi", m.lianxi},
          {"aboutus", m.aboutus},
          {"userbz", m.userbz},
          {"nosou", m.nosou},
          {"photo", m.photo},
          {"smallphoto", m.smallphoto},
          {"sfphoto", m.sfphoto},
          {"hyphoto", m.hyphoto},
          {"srphoto", m.srphoto},
          {"xlphoto", m.xlphoto},
          {"emoney", m.emoney},
          {"tuijian", m.tuijian},
          {"iflianxi", whole(m.iflianxi)},
          {"moneytime", m.moneytime},
          {"citymoney", m.citymoney},
          {"nextcitymoney", m.nextcitymoney},
          {"maincity", m.maincity},
          {"nextcity", m.nextcity},
          {"logins", whole(m.logins)},
          {"loginip", m.loginip},
          {"lasttime", m.lasttime},
          {"addtime", m.addtime}};
}

// Whether the seeder gives a column the generator does not fill a value of
// its own: one the profile forms post by a rule of the member table.
bool filledByRule(const member::Column& column) {
  return column.rule == member::Rule::Code || column.rule == member::Rule::Number ||
         column.rule == member::Rule::FreeText;
}

// That value: a code of its table, a number within its bounds, or empty text.
Value byRule(const member::Column& column, Random& r) {
  switch (column.rule) {
    case member::Rule::Code: return std::string(r.pick(*column.codes).code);
    case member::Rule::Number: return std::to_string(r.between(column.low, column.high));
    default: return std::string();
  }
}

// Inserts the members: every stored column of the member table that the
// generator fills or that a rule fills, in the table's order. The values a
// rule gives come from a generator of their own (seeded by the member's
// number), so they leave every other draw as it is.
void insertMembers(sqlite3* conn, const std::vector<Member>& members) {
  if (members.empty()) return;
  // Each column of the statement: where memberColumns holds it, or none.
  const std::vector<std::pair<std::string_view, Value>> filled = memberColumns(members.front());
  std::vector<std::pair<const member::Column*, std::optional<std::size_t>>> columns;
  std::vector<std::string_view> names;
  for (const member::Column& column : member::kColumns) {
    if (!column.generated.empty()) continue;
    const auto at = std::find_if(filled.begin(), filled.end(),
                                 [&](const auto& value) { return value.first == column.name; });
    if (at == filled.end() && !filledByRule(column)) continue;
    columns.emplace_back(&column, at == filled.end()
                                      ? std::nullopt
                                      : std::optional(std::size_t(at - filled.begin())));
    names.push_back(column.name);
  }
  Insert insert(conn, "zurva_user", names);
  std::vector<Value> values;
  for (const Member& m : members) {
    std::vector<std::pair<std::string_view, Value>> row = memberColumns(m);
    Random byRules(unsigned(m.id));
    values.clear();
    for (const auto& [column, index] : columns)
      values.push_back(index ? std::move(row[*index].second) : byRule(*column, byRules));
    insert.row(values);
  }
}

// ---- Showcase: members whose showcase days are running, with approved head
// photos and a wanted age range that holds the demo accounts' ages, so that
// the showcase widget shows cards to guests and to the demo accounts; two of
// them placed on the home page and two on the Guangzhou page, so that the
// galleries show paid placement first. Demo member 2 has free days granted and
// not started.

void addShowcaseDemo(std::vector<Member>& members, const Moments& when) {
  constexpr std::size_t kShowcased = 12;
  const std::size_t first = std::size(kDemoAccounts);
  for (std::size_t i = first; i < members.size() && i < first + kShowcased; ++i) {
    Member& m = members[i];
    const std::size_t n = i - first;
    m.ok = 1;
    m.iferro = m.ifclose = m.ifdel = 0;
    m.smallphoto = member::photoEntry(member::headPhotoName(m.id), true);
    recount(m);
    m.tuijian = 1;
    m.iflianxi = 30;
    m.moneytime = when.ago(double(2 + n % 5) + 0.25);
    member::Criteria criteria = member::readUserBz(m.userbz);
    criteria.items[member::kAgeRange] = member::buildRange("25", "45");
    m.userbz = member::buildUserBz(criteria);
    if (n < 2) {
      m.maincity = "#";
      m.citymoney = 300 - double(n) * 100;
    } else if (n < 4) {
      m.data.residence = {"广东", "广州市"};
      m.nextcity = "广东#广州市";
      m.nextcitymoney = 200 - double(n) * 50;
    }
  }
  if (members.size() > 1) {
    members[1].iflianxi = 5;
    members[1].moneytime = "9999-12-31 00:00:00";
  }
}

// ---- Region menu texts of zurva_system: records joined by "@@@@@@", fields
// by "<><><><><><>": field 0 the entry's number ("||||" for a whole province),
// field 1 the province, field 2 the city. Provinces in the forms' order.

std::string regionMenu(bool wholeProvinces) {
  constexpr std::string_view kRecord = "@@@@@@";
  constexpr std::string_view kField = "<><><><><><>";
  std::string text;
  auto add = [&](std::string_view number, std::string_view province, std::string_view city) {
    if (!text.empty()) text += kRecord;
    text.append(number).append(kField).append(province).append(kField).append(city);
  };
  for (std::string_view province : regions::kProvinces) {
    if (wholeProvinces) add("||||", province, "");
    for (std::size_t i : regions::citiesOf(province)) {
      add(std::to_string(i), province, regions::kCities[i].city);
    }
  }
  return text;
}

// ---- Friends, messages, gifts, parties, poll

struct Relations {
  Random& r;
  const Moments& when;
  const std::vector<Member>& members;

  const Member& any() { return members[std::size_t(r.between(0, int(members.size()) - 1))]; }
  // A moment after both members had registered.
  double since(const Member& a, const Member& b) {
    return std::min(a.daysRegistered, b.daysRegistered) * r.between(1, 100) / 100.0;
  }
  const Member& other(const Member& a) {
    if (members.size() < 2) return a;
    for (;;) {
      const Member& b = any();
      if (b.id != a.id) return b;
    }
  }
};

void insertFriends(sqlite3* conn, Relations& rel) {
  Insert insert(conn, "Friends", {"userid", "senduserid", "ifok", "ifhmd", "new", "addtime"});
  const Member& demo1 = rel.members[0];
  const Member& demo2 = rel.members[1];
  insert.row({demo1.id, demo2.id, 1, 0, 0, rel.when.ago(rel.since(demo1, demo2))});
  std::set<std::pair<long long, long long>> pairs = {{demo1.id, demo2.id}};
  std::size_t count = rel.members.size() * 6 / 10;
  for (std::size_t i = 0; i < count; ++i) {
    const Member& requester = rel.any();
    const Member& asked = rel.other(requester);
    if (asked.id == requester.id) break;
    if (!pairs.insert(std::minmax(requester.id, asked.id)).second) continue;
    int ok = rel.r.chance(70) ? 1 : 0;
    int blacklisted = !ok && rel.r.chance(5) ? 1 : 0;
    insert.row({asked.id, requester.id, ok, blacklisted, ok ? 0 : 1,
                rel.when.ago(rel.since(requester, asked))});
  }
}

void insertMessages(sqlite3* conn, Relations& rel) {
  Insert insert(conn, "Sendbooks", {"userid", "senduserid", "content", "addtime", "new", "pop", "sendnew"});
  // A conversation between a and b: messages alternate, the last one unread
  // when `unread` is set.
  auto conversation = [&](const Member& a, const Member& b, int messages, bool unread) {
    double start = rel.since(a, b);
    for (int k = 0; k < messages; ++k) {
      const Member& from = k % 2 == 0 ? a : b;
      const Member& to = k % 2 == 0 ? b : a;
      bool isNew = unread && k == messages - 1;
      insert.row({to.id, from.id, std::string(rel.r.pick(kMessages)),
                  rel.when.ago(start * (messages - k) / messages), isNew ? 1 : 0, isNew ? 0 : 1,
                  isNew ? 1 : 0});
    }
  };
  conversation(rel.members[0], rel.members[1], 3, false);
  conversation(rel.members[1], rel.members[0], 1, true);  // unread by demo member 1
  std::size_t count = rel.members.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    const Member& a = rel.any();
    const Member& b = rel.other(a);
    if (a.id == b.id) break;
    conversation(a, b, rel.r.between(1, 4), rel.r.chance(30));
  }
}

void insertGiftsAndLedger(sqlite3* conn, Relations& rel) {
  Insert catalogue(conn, "present", {"name", "emoney", "across", "imgs"});
  for (const Gift& g : kGifts) catalogue.row({g.name, g.price, g.description, g.image});

  Insert given(conn, "presentmx", {"userid", "senduserid", "presentedid", "sm", "addtime"});
  Insert ledger(conn, "emoneymx", {"userID", "b_count", "b_history", "b_time"});
  // Card members (grade 0, or 2 and above) pay half the catalogue price.
  auto give = [&](const Member& from, const Member& to, int giftIndex, std::string_view note) {
    const Gift& g = kGifts[giftIndex];
    bool half = from.grade == 0 || from.grade >= 2;
    std::string time = rel.when.ago(rel.since(from, to));
    given.row({to.id, from.id, giftIndex + 1, note, time});
    ledger.row({from.id, half ? g.price / 2.0 : double(g.price),
                "您向" + to.nickname + (half ? "送去礼物,金银卡会员打五折." : "送去礼物"), time});
  };
  give(rel.members[1], rel.members[0], 1, "送你一盒巧克力，祝你开心！");

  // The ledger keeps what each movement took from the member: a top-up is
  // negative, a charge positive.
  for (const Member& m : rel.members) {
    if (m.emoney > 0) {
      ledger.row({m.id, -m.emoney, "会员充值", rel.when.ago(m.daysRegistered * 0.9)});
    }
    if (m.tuijian == 1 && m.iflianxi) {
      ledger.row({m.id, *m.iflianxi * 30LL, "<我型我秀>申请:" + std::to_string(*m.iflianxi) + "天",
                  *m.moneytime});
    }
  }
  std::size_t count = rel.members.size() / 10;
  for (std::size_t i = 0; i < count; ++i) {
    const Member& from = rel.any();
    const Member& to = rel.other(from);
    if (from.id == to.id) break;
    int gift = rel.r.between(0, int(std::size(kGifts)) - 1);
    give(from, to, gift, rel.r.chance(70) ? std::string(rel.r.pick(kMessages)) : "");
  }
}

void insertParties(sqlite3* conn, Relations& rel) {
  static constexpr std::string_view kJobs[] = {"学生", "教师", "医生", "工程师", "公务员", "自由职业"};
  Insert party(conn, "party", {"userid", "bt", "cs", "address", "partytime", "bmtime", "yqrs", "hdfy",
                             "lxfs", "gg", "fa", "jtzn", "addtime", "rz"});
  Insert signup(conn, "partycj", {"partyid", "userid", "email", "name", "xl", "zy", "sex", "nl", "lx",
                                "gk", "tb", "addtime"});
  Insert summary(conn, "partyzj", {"partyid", "nr", "addtime", "rz"});
  const int year = rel.when.year();
  long long partyId = 0;

  auto join = [&](const Member& m, double daysAgo) {
    signup.row({partyId, m.id, m.zurvauser, m.nickname,
                std::string(kEducationLabels[std::stoi(m.data.education) - 122]),
                std::string(rel.r.pick(kJobs)), m.sex == kMan ? "男" : "女", m.age(year),
                m.mobile ? member::readMobile(*m.mobile).number : "", rel.r.chance(80) ? 1 : 0,
                rel.r.chance(50) ? 1 : 0, rel.when.ago(daysAgo)});
  };
  // A party of `organiser` `daysAhead` days from now (negative: already held).
  auto hold = [&](const Member& organiser, std::string_view title, int daysAhead) {
    ++partyId;
    double created = std::max(daysAhead < 0 ? 10.0 - daysAhead : 10.0, 1.0);
    std::string contact = organiser.mobile ? member::readMobile(*organiser.mobile).number
                                           : organiser.zurvauser;
    // Parties start on the hour, in the afternoon.
    party.row({organiser.id, title, organiser.data.residence.city,
               organiser.data.residence.city + "市民广场东门",
               rel.when.ahead(daysAhead).substr(0, 10) + " 14:00:00",
               rel.when.ahead(daysAhead - 2).substr(0, 10),
               std::to_string(rel.r.between(2, 6) * 5) + "人",
               rel.r.chance(50) ? "AA制" : "50元/人", contact, "请准时到场，注意安全。",
               "自我介绍、分组游戏、自由交流。", "乘公交或地铁到市民广场站下车。",
               rel.when.ago(created), rel.r.chance(80) ? 1 : 0});
    return created;
  };
  auto summarise = [&](int daysAhead, int rz) {
    summary.row({partyId, "活动圆满结束，大家玩得很开心，期待下次再聚！", rel.when.ago(-daysAhead - 1), rz});
  };

  // The demo organiser: one party to come (demo member 2 signed up), one held.
  double created = hold(rel.members[0], "周末户外烧烤交友会", 14);
  join(rel.members[1], created / 2);
  hold(rel.members[0], "单身读书沙龙", -20);
  summarise(-20, 2);

  std::size_t count = std::max<std::size_t>(4, rel.members.size() / 100);
  for (std::size_t i = 0; i < count; ++i) {
    const Member& organiser = rel.any();
    int daysAhead = rel.r.between(-60, 60);
    created = hold(organiser, rel.r.pick(kPartyTitles), daysAhead);
    std::set<long long> joined;
    int guests = rel.r.between(2, 10);
    for (int k = 0; k < guests; ++k) {
      const Member& guest = rel.other(organiser);
      if (guest.id != organiser.id && joined.insert(guest.id).second) join(guest, created / 2);
    }
    if (daysAhead < 0 && rel.r.chance(60)) summarise(daysAhead, rel.r.chance(50) ? 2 : 0);
  }
}

void insertPolls(sqlite3* conn) {
  Insert poll(conn, "vote", {"Title", "Select1", "Select2", "Select3", "Select4", "Select5",
                           "Select6", "Select7", "Select8", "IsChecked"});
  poll.row({"你最希望通过哪种方式认识新朋友？", "线下聚会", "网上聊天", "朋友介绍", "兴趣活动", "",
            std::nullopt, std::nullopt, std::nullopt, 1});
  poll.row({"你理想的约会地点是？", "咖啡馆", "电影院", "公园", std::nullopt, std::nullopt,
            std::nullopt, std::nullopt, std::nullopt, 0});
}

// ---- What the interaction pages show beyond the rows above: demo member 1
// has friends enough for two pages of the gift form, organised a party that
// is over and still waits for her summary (demo member 2 and a visitor
// signed up), a visitor signed up for her coming party (party 1), and demo
// member 2 has an unread message from her.
void insertInteractionDemo(sqlite3* conn, Relations& rel) {
  const Member& demo1 = rel.members[0];
  const Member& demo2 = rel.members[1];

  // Up to eight more accepted friendships of demo member 1 (members 4 to 11).
  for (std::size_t i = 3; i < rel.members.size() && i < 11; ++i) {
    const std::string other = std::to_string(rel.members[i].id);
    const std::string me = std::to_string(demo1.id);
    const std::string sql = "INSERT INTO Friends (userid, senduserid, ifok, ifhmd, new, addtime) SELECT " + other +
                            ", " + me + ", 1, 0, 0, '" + rel.when.ago(double(i)) +
                            "' WHERE NOT EXISTS (SELECT 1 FROM Friends WHERE userid IN (" + me + ", " + other +
                            ") AND senduserid IN (" + me + ", " + other + "))";
    exec(conn, sql.c_str());
  }

  Insert message(conn, "Sendbooks", {"userid", "senduserid", "content", "addtime", "new", "pop", "sendnew"});
  message.row({demo2.id, demo1.id, "今晚有空吗？一起去看电影吧。", rel.when.ago(0.05), 1, 0, 1});

  Insert party(conn, "party", {"userid", "bt", "cs", "address", "partytime", "bmtime", "yqrs", "hdfy", "lxfs",
                               "gg", "fa", "jtzn", "addtime", "rz"});
  party.row({demo1.id, "春季踏青", demo1.data.residence.city, "白云山南门",
             rel.when.ago(3).substr(0, 10) + " 09:30:00", rel.when.ago(5).substr(0, 10), "20人",
             "AA制", "13800138000", "请穿运动鞋。", "登山、野餐、自由交流。", "乘地铁到白云山站。",
             rel.when.ago(15), 1});
  const long long held = sqlite3_last_insert_rowid(conn);
  Insert signup(conn, "partycj", {"partyid", "userid", "email", "name", "xl", "zy", "sex", "nl", "lx", "gk", "tb",
                                  "addtime"});
  const int year = rel.when.year();
  signup.row({held, demo2.id, demo2.zurvauser, demo2.nickname, "硕士", "工程师", "男", demo2.age(year),
              "13800138001", 1, 0, rel.when.ago(8)});
  signup.row({held, 0, "visitor@example.com", "游客小张", "本科", "教师", "女", 27, "13700000000", 1, 1,
              rel.when.ago(7)});
  // Party 1 is demo member 1's coming party (insertParties holds it first).
  signup.row({1, 0, "guest@example.com", "游客小李", "大专", "设计师", "女", 25, "13700000001", 0, 0,
              rel.when.ago(1)});
}

void fill(sqlite3* conn, int count, unsigned seed) {
  Random r(seed);
  Moments when;
  const int year = when.year();
  const std::string memberPassword = md5Short(kMemberPassword);

  std::vector<Member> members;
  members.reserve(std::size_t(count));
  for (int id = 1; id <= count; ++id) {
    members.push_back(makeMember(r, when, id, year, memberPassword, count));
    if (id <= int(std::size(kDemoAccounts))) makeDemoAccount(members.back(), r, when, id - 1, year);
  }
  addShowcaseDemo(members, when);
  insertMembers(conn, members);

  Insert system(conn, "zurva_system", {"id", "citymenu", "maincitymenu"});
  system.row({1, regionMenu(false), regionMenu(true)});

  // The forum knows every verified member by nickname.
  Insert forum(conn, "dv_user", {"username"});
  for (const Member& m : members) {
    if (m.ok == 1) forum.row({m.nickname});
  }

  Relations rel{r, when, members};
  insertFriends(conn, rel);
  insertMessages(conn, rel);
  insertGiftsAndLedger(conn, rel);
  insertParties(conn, rel);
  insertPolls(conn);
  insertInteractionDemo(conn, rel);
}

}  // namespace

void createDemoDatabase(const std::string& path, int members, unsigned seed) {
  if (std::filesystem::exists(path)) {
    throw std::runtime_error("seed: " + path + " already exists");
  }
  try {
    const Database conn(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // The database layer's collation ZV and functions, so that the indexes on
    // text columns are ordered exactly as the layer will read them.
    db::registerDialect(conn);
    exec(conn, "PRAGMA synchronous=OFF");
    exec(conn, schema::sql().c_str());
    exec(conn, "BEGIN");
    fill(conn, std::max(members, int(std::size(kDemoAccounts))), seed);
    exec(conn, "COMMIT");
    // The planner's statistics, so that a condition on sex alone (half the
    // members) is not taken for a selective one.
    exec(conn, "ANALYZE");
    exec(conn, "PRAGMA journal_mode=WAL");
  } catch (...) {
    // The file did not exist before: whatever is there is this run's, and
    // the handle has closed it.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
}

void updateSchema(const std::string& path) {
  const Database conn(path, SQLITE_OPEN_READWRITE);
  db::registerDialect(conn);
  std::set<std::string> present;
  {
    // table_xinfo: the generated columns too.
    const Prepared columns(conn, "SELECT lower(name) FROM pragma_table_xinfo('zurva_user')");
    while (sqlite3_step(columns) == SQLITE_ROW)
      if (const unsigned char* name = sqlite3_column_text(columns, 0))
        present.insert(reinterpret_cast<const char*>(name));
  }
  for (const auto& [column, declaration] : schema::addedMemberColumns()) {
    if (present.empty() || present.contains(column)) continue;
    exec(conn, ("ALTER TABLE zurva_user ADD COLUMN " + column + " " + declaration).c_str());
  }
  // Then what else the schema has that the file lacks.
  exec(conn, "BEGIN");
  exec(conn, schema::sql().c_str());
  exec(conn, "COMMIT");
}

}  // namespace zurvafun::seed

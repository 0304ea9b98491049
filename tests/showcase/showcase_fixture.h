// The showcase suites' fixture: a throw-away database with a fixed clock
// (2026-03-15 10:20:30), an in-process host with the site settings the cards
// read, members with every column the showcase and the gallery use, the member
// cookie, and a fixed random source.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/format.h"
#include "tests/support.h"
#include "tests/support_db.h"

namespace zurvafun::testing {

// A row of zurva_user as the showcase and the gallery read it.
struct ShowMember {
  long userid = 0;
  std::string nickname = "";
  Variant sex = 577;
  Variant grade = 1;
  Variant trust = 2;
  Variant ok = 1;
  Variant ifclose = 0;
  Variant ifdel = 0;
  Variant iferro = 0;
  Variant ifphotolook = 1;
  Variant userdata = "1990#7#1#39#广东#广东-广州市#124#广东-广州市#206";
  Variant smallphoto = Variant::null();  // the head photo: smallphoto<id>.jpg1 when set to "approved"
  Variant photo = Variant::null();
  Variant field = "170";
  Variant pay = "226#1";
  Variant height = "165";
  Variant weight = "52";
  Variant aboutus = "你好";
  Variant emoney = 0;
  Variant iflianxi = Variant::null();
  Variant moneytime = Variant::null();
  Variant userbz = "25-40#160-180#124-126";
  Variant maincity = Variant::null();
  Variant citymoney = 0;
  Variant nextcity = Variant::null();
  Variant nextcitymoney = 0;
};

class ShowcaseTest : public MemberDbTest {
 protected:
  static constexpr const char* kApproved = "approved";

  void SetUp() override {
    MemberDbTest::SetUp();
    host = std::make_unique<host::TestHost>();
    settings(0);
  }
  void TearDown() override {
    setRandomSource({});
    host.reset();
    MemberDbTest::TearDown();
  }

  // The site settings the cards read: the link mode (1 static, else dynamic),
  // the free-access switch off and one bad word.
  void settings(int linkMode) {
    std::string base;
    for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + std::string(i == 25 ? "0" : "x");
    host->application().set("zurva_base_info", Variant(VariantArray{Variant(base)}));
    host->application().set("zurva_info", Variant(VariantArray{Variant("t<><><><><>x<><><><><>笨蛋")}));
    host->application().set("zurva_skinbase_info",
                            Variant(VariantArray{Variant("s##/s/##c.css##760##" + std::to_string(linkMode))}));
  }

  void showcaseList(const std::string& list) {
    host->application().set("zurva_myshow", Variant(VariantArray{Variant(list)}));
  }

  static void addShowMember(const ShowMember& m) {
    const Variant smallphoto =
        eq(m.smallphoto, kApproved) ? Variant("smallphoto" + std::to_string(m.userid) + ".jpg1") : m.smallphoto;
    run("insert into zurva_user(userid,zurvauser,nickname,sex,grade,trust,ok,ifclose,ifdel,iferro,"
        "ifphotolook,userdata,smallphoto,photo,field,pay,height_,weight_,aboutus,emoney,iflianxi,"
        "moneytime,userbz,maincity,citymoney,nextcity,nextcitymoney,addtime) "
        "values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,'2025-01-02 03:04:05')",
        {Variant(m.userid), Variant("m" + std::to_string(m.userid) + "@example.com"), Variant(m.nickname), m.sex,
         m.grade, m.trust, m.ok, m.ifclose, m.ifdel, m.iferro, m.ifphotolook, m.userdata, smallphoto, m.photo,
         m.field, m.pay, m.height, m.weight, m.aboutus, m.emoney, m.iflianxi, m.moneytime, m.userbz, m.maincity,
         m.citymoney, m.nextcity, m.nextcitymoney});
  }

  static void addFriendship(long asked, long asker, int ifok) {
    run("insert into Friends(userid,senduserid,ifok) values(?,?,?)",
        {Variant(asked), Variant(asker), Variant(ifok)});
  }

  // The member cookie of a logged-in member.
  void logIn(long userid, int sex, int grade) {
    host->request().Cookies.setFromHeader(
        "kalimo", "username=m" + std::to_string(userid) + "%40example.com&userid=" + std::to_string(userid) +
                      "&sex=" + std::to_string(sex) + "&grade=" + std::to_string(grade) + "&nickname=me");
  }

  // Random draws from a fixed sequence that covers [0, 1) evenly (a linear
  // congruential generator), so that every draw of shuiji terminates.
  void fixRandom(unsigned seed = 7) {
    auto state = std::make_shared<unsigned>(seed);
    setRandomSource([state] {
      *state = *state * 1103515245u + 12345u;
      return double((*state >> 8) & 0xFFFFFF) / double(1 << 24);
    });
  }

  // The sub-key of a cookie the response wrote (Empty when not written).
  Variant responseSubKey(const std::string& cookie, const std::string& key) {
    const host::ResponseCookie* c = host->response().Cookies.find(cookie);
    return c ? c->subKey(key) : Variant();
  }

  static bool endsRequest(const std::function<void()>& call) {
    try {
      call();
    } catch (const VbError& e) {
      return e.isRequestEnd();
    }
    return false;
  }

  std::unique_ptr<host::TestHost> host;
};

// How often `part` stands in `text`.
inline int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

}  // namespace zurvafun::testing

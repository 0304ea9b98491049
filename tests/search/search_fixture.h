// The fixture of the member search suites: a throw-away database with the
// schema, a fixed clock (2026-03-15), a private error log, the in-process host
// with the site settings the search reads, and helpers to add members, log
// in and post forms.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/support_db.h"

namespace zurvafun::testing {

// One row of zurva_user for the search tests; every column the search reads.
struct SearchMember {
  long userid = 0;
  Variant nickname = "会员";
  Variant zurvauser = "";
  Variant sex = 577;
  Variant grade = 1;
  Variant trust = 0;
  Variant userdata = "1996#8#1#39#广东#广东-广州市#124#湖南-长沙市#206";
  Variant height = "165";
  Variant weight = "52";
  Variant pay = "226#1";
  Variant field = "174";
  Variant aboutus = "你好";
  Variant smallphoto = Variant::null();
  Variant ifphotolook = 1;
  Variant online = 0;
  Variant addtime = "2026-01-02 03:04:05";
  Variant lasttime = "2026-03-01 08:00:00";
  Variant logins = 5;
  Variant loginip = "10.0.0.1";
  Variant ifclose = 0;
  Variant iferro = 0;
  Variant ifdel = 0;
  Variant userbz = Variant::null();
  Variant nosou = Variant::null();
};

class SearchTest : public MemberDbTest {
 protected:
  void SetUp() override {
    MemberDbTest::SetUp();
    setSettings("0", "0");
    h.application().set("zurva_info", Variant(VariantArray{Variant("words<><><><><>admin<><><><><>笨蛋,垃圾")}));
  }

  // Site settings: the free-access switch (field 25) and the link mode
  // (0 dynamic ".asp" links, 1 static ".html" links).
  void setSettings(const std::string& freeAccess, const std::string& linkMode) {
    std::string base;
    for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + (i == 25 ? freeAccess : "f" + std::to_string(i));
    h.application().set("zurva_base_info", Variant(VariantArray{Variant(base)}));
    h.application().set("zurva_skinbase_info",
                        Variant(VariantArray{Variant("默认风格##/skins/default/##css.css##760##" + linkMode)}));
  }

  static void add(const SearchMember& m) {
    run("insert into zurva_user(userid,nickname,zurvauser,sex,grade,trust,userdata,height_,weight_,pay,field,"
        "aboutus,smallphoto,ifphotolook,online,addtime,lasttime,logins,loginip,ifclose,iferro,ifdel,userbz,nosou) "
        "values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {Variant(m.userid), m.nickname, m.zurvauser, m.sex, m.grade, m.trust, m.userdata, m.height, m.weight,
         m.pay, m.field, m.aboutus, m.smallphoto, m.ifphotolook, m.online, m.addtime, m.lasttime, m.logins,
         m.loginip, m.ifclose, m.iferro, m.ifdel, m.userbz, m.nosou});
  }

  void logIn(long userid, const std::string& grade) {
    h.request().Cookies.setFromHeader("kalimo",
                                      "username=m" + std::to_string(userid) + "&userid=" + std::to_string(userid) +
                                          "&grade=" + grade);
  }
  void logInAdministrator() { h.request().Cookies.setFromHeader("zurva_admin", "admin_name=boss"); }

  void post(const std::vector<std::pair<std::string, std::string>>& fields) {
    for (const auto& [name, value] : fields) h.request().Form.add(name, value);
  }
  void query(const std::string& name, const std::string& value) { h.request().QueryString.add(name, value); }

  // A fresh request of the same visitor (session and settings stay), with a
  // new instance of the component on it.
  void nextRequest() {
    instance_.reset();
    h.nextRequest();
    instance_.emplace();
  }
  zurva& z() { return *instance_; }

  std::string log() const {
    std::ifstream in(logFilePath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  Variant db(const std::string& sql) { return value(sql); }

  Variant con[4] = {kServer, kUser, kPassword, kDatabase};
  Variant badCon[4] = {kServer, kUser, "wrong", kDatabase};
  host::TestHost h;

 private:
  std::optional<zurva> instance_{std::in_place};
};

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace zurvafun::testing

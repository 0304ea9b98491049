// The interaction suites' fixture: a throw-away database with members, the
// site settings an interaction page reads, and the member cookie of a viewer.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/db.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/text.h"
#include "tests/support.h"
#include "tests/support_db.h"

namespace zurvafun::testing {

// Whether `call` ended the request (raised the request-end error).
inline bool endsRequest(const std::function<void()>& call) {
  try {
    call();
  } catch (const VbError& e) {
    return e.isRequestEnd();
  }
  return false;
}

// The alert forms of Msg (msgtype 1): then the window closes ("-2"), the
// browser goes back ("-1"), or it goes to `url`.
inline std::string alertAndClose(const std::string& text) {
  return "<script Language=javaScript>alert('" + text + "');window.close();</script>";
}
inline std::string alertAndBack(const std::string& text) {
  return "<script Language=javaScript>alert('" + text + "');history.go(-1);</script></body></html>";
}
inline std::string alertAndGo(const std::string& text, const std::string& url) {
  return "<script Language=javaScript>alert('" + text + "');window.location.href='" + url +
         "';</script></body></html>";
}

inline Variant arraySetting(std::string text) { return Variant(VariantArray{Variant(std::move(text))}); }

class InteractionTest : public MemberDbTest {
 protected:
  void SetUp() override {
    MemberDbTest::SetUp();
    freshRequest();
  }
  void TearDown() override {
    h.reset();
    MemberDbTest::TearDown();
  }

  // zurva_base_info with 26 fields: the SMS account (22, 23), the message
  // read restriction (24, "1"), the free-access switch (25, "0"); `fields`
  // replaces any of them.
  void setBaseInfo(const std::map<int, std::string>& fields) {
    std::map<int, std::string> all = {{22, "smsuser"}, {23, "smspass"}, {24, "1"}, {25, "0"}};
    for (const auto& [index, value] : fields) all[index] = value;
    std::string text;
    for (int i = 0; i < 26; ++i) text += (i ? "<><><><><>" : "") + (all.count(i) ? all[i] : "f" + std::to_string(i));
    h->application().set("zurva_base_info", arraySetting(text));
  }
  // 1: static ".html" links; anything else: dynamic ".asp" links.
  void setLinkMode(int mode) {
    h->application().set("zurva_skinbase_info", arraySetting("a##b##c##d##" + std::to_string(mode)));
  }

  // A member with the sex, grade and nickname given (and emoney 1000 unless
  // `emoney` says otherwise).
  static void addPerson(long userid, const std::string& nickname, int sex, int grade,
                        const Variant& emoney = 1000, const Variant& mobile = "13800000000#1") {
    addMember({.userid = userid, .zurvauser = "m" + std::to_string(userid) + "@example.com",
               .nickname = nickname, .mobile = mobile, .emoney = emoney});
    run("update zurva_user set sex=?, grade=? where userid=?", {Variant(sex), Variant(grade), Variant(userid)});
  }

  // The member cookie of member `userid` as the login wrote it.
  void logIn(long userid) {
    db::Connection conn = open();
    db::Recordset rs = conn.Execute("select zurvauser,sex,grade,nickname,emoney from zurva_user where userid=" +
                                    std::to_string(userid));
    setCookie({{"username", rs("zurvauser").str()}, {"userid", std::to_string(userid)},
               {"sex", rs("sex").str()}, {"grade", rs("grade").str()},
               {"nickname", rs("nickname").str()}, {"emoney", rs("emoney").str()}});
  }
  void setCookie(const std::vector<std::pair<std::string, std::string>>& keys, const std::string& name = "kalimo") {
    host::SubKeys subKeys;
    for (const auto& [key, value] : keys) subKeys.set(key, value);
    h->request().Cookies.set(name, host::RequestCookie(subKeys));
  }

  // A new request with nothing in it yet (no cookies), and the settings.
  void freshRequest() {
    h.reset();
    h = std::make_unique<host::TestHost>();
    setBaseInfo({});
    h->application().set("zurva_info", arraySetting("t<><><><><>admin<><><><><>笨蛋,fool"));
    setLinkMode(1);
  }

  std::string body() const { return h->response().body(); }
  static std::string text(const std::string& sql) { return value(sql).str(); }
  static long number(const std::string& sql) { return CLng(value(sql)); }

  std::unique_ptr<host::TestHost> h;
};

}  // namespace zurvafun::testing

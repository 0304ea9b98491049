// The fixture of the member page tests: a throw-away database (MemberDbTest),
// a test host with the site settings, and helpers that insert members with
// any columns, friendships, and log the viewer in.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "host/test_host.h"
#include "runtime/variant.h"
#include "tests/support_db.h"

namespace zurvafun::testing {

class MembersTest : public MemberDbTest {
 protected:
  void SetUp() override {
    MemberDbTest::SetUp();
    settings();
  }

  // The site settings: the free-access switch (element 25), the link mode
  // (1 static, else dynamic) and the bad words.
  void settings(const std::string& freeAccess = "0", const std::string& urlMode = "0",
                const std::string& badWords = "坏话") {
    std::string base;
    for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + (i == 25 ? freeAccess : "f" + std::to_string(i));
    h->application().set("zurva_base_info", Variant(VariantArray{Variant(base)}));
    h->application().set("zurva_skinbase_info",
                         Variant(VariantArray{Variant("默认##/skins/##css.css##760##" + urlMode)}));
    h->application().set("zurva_info", Variant(VariantArray{Variant("t<><><><><>admin<><><><><>" + badWords)}));
  }

  using Columns = std::vector<std::pair<std::string, Variant>>;

  // Inserts a member row with `columns` (userid first); the rest take the
  // schema's defaults.
  static void addRow(const Columns& columns) {
    std::string names, marks;
    std::vector<Variant> values;
    for (const auto& [name, value] : columns) {
      names += (names.empty() ? "" : ",") + name;
      marks += marks.empty() ? "?" : ",?";
      values.push_back(value);
    }
    run("insert into zurva_user(" + names + ") values(" + marks + ")", values);
  }

  static void addFriendship(long userid, long senduserid, int ifok) {
    run("insert into Friends(userid,senduserid,ifok) values(?,?,?)",
        {Variant(userid), Variant(senduserid), Variant(ifok)});
  }

  // The member cookie of a logged-in viewer.
  void logIn(long userid, const std::string& grade, const std::string& sex = "576") {
    h->request().Cookies.setFromHeader("kalimo", "username=viewer" + std::to_string(userid) +
                                                     "%40example.com&userid=" + std::to_string(userid) +
                                                     "&grade=" + grade + "&sex=" + sex);
  }
  void logInAdministrator() { h->request().Cookies.setFromHeader("zurva_admin", "admin_name=boss"); }

  // A fresh request of a new visitor (no cookies), keeping the settings.
  void newVisitor() {
    h.reset();  // its context goes before the next one is installed
    h = std::make_unique<host::TestHost>(documentRoot_);
    settings();
  }

  std::string body() const { return h->response().body(); }

  std::string documentRoot_ = ".";
  std::unique_ptr<host::TestHost> h = std::make_unique<host::TestHost>(".");
};

// Runs a page method as the site's page does: the request-end error that a
// method raises after ending the response stops the page and goes no further.
template <class Call>
void asPage(Call&& call) {
  try {
    call();
  } catch (const VbError& e) {
    if (!e.isRequestEnd()) throw;
  }
}

// Whether `part` stands in `text`, and how many times (overlapping matches
// count).
inline bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
inline long count(const std::string& text, const std::string& part) {
  long n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The alert of Msg with msgtype 1 and gourl "-1".
inline std::string alertBack(const std::string& text) {
  return "<script Language=javaScript>alert('" + text + "');history.go(-1);</script></body></html>";
}

}  // namespace zurvafun::testing

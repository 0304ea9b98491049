// The demo site's own pages show what members and the site's tables hold as
// text: a nickname, a party's details, a sign-up name, a gift or a poll that
// holds markup and quotes shows those characters and never becomes markup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class SiteTextE2E : public e2e::ServerSuite<SiteTextE2E> {
 public:
  static std::string settings() { return e2e::demoSiteSettings(3); }
  static constexpr const char* kReadyPath = "/login.asp";
};

// Stored text that would open an element and end an attribute value if it
// were written as it stands; `kStored` is its SQL literal, `kShown` the text a
// page writes for it.
constexpr const char* kStored = R"('<i>"坏''&</i>')";
constexpr const char* kRaw = R"(<i>"坏)";
constexpr const char* kShown = "&lt;i&gt;&quot;坏&#39;&amp;&lt;/i&gt;";

TEST_F(SiteTextE2E, StoredMarkupShowsAsTextOnEveryPageOfTheSite) {
  const std::string stored = kStored;
  // Demo member 2 organises a party, has a sign-up, a summary, a message and
  // a gift from member 3; both have the nickname, and so have the gift and
  // the poll.
  for (const std::string& sql : std::vector<std::string>{
           "UPDATE zurva_user SET nickname=" + stored + " WHERE userid IN (2,3)",
           "INSERT INTO party(userid,bt,cs,address,partytime,gg) VALUES(2," + stored + "," +
               stored + "," + stored + ",'2030-01-01 10:00:00'," + stored + ")",
           "INSERT INTO partyzj(partyid,nr,rz) SELECT max(id)," + stored + ",2 FROM party",
           "INSERT INTO partycj(partyid,userid,name,gk) SELECT max(id),0," + stored +
               ",1 FROM party",
           "INSERT INTO Sendbooks(userid,senduserid,content,addtime) VALUES(2,3,'你好','2026-01-01 "
           "00:00:00')",
           "UPDATE present SET name=" + stored + ", across=" + stored + " WHERE id=1",
           "INSERT INTO presentmx(userid,senduserid,presentedid,addtime) VALUES(2,3,1,'2026-01-01 "
           "00:00:00')",
           "UPDATE vote SET Title=" + stored + " WHERE IsChecked=1",
       })
    ASSERT_TRUE(execute(sql)) << sql;
  const std::string party = query("SELECT max(id) FROM party");

  const RawResponse login = postLogin(
      gbkForm({{"username", "demo2@example.com"}, {"password", "demo456"}, {"log_type", "1"}}));
  const std::string member = "Cookie: " + cookiePair(login.setCookie("kalimo")) + "\r\n";
  ASSERT_NE(member, "Cookie: \r\n") << utf8(login);

  struct Case {
    std::string target;
    const char* what;
  };
  for (const Case& c : std::vector<Case>{
           {"/party.asp", "the member bar's nickname, the party's title and city"},
           {"/partyinfo.asp?partyid=" + party,
            "the party's fields, its summary, the sign-up's name"},
           {"/partymanage.asp", "the organiser's list of parties"},
           {"/partyedit.asp?partyid=" + party, "the edit form's values"},
           {"/partyjoin.asp?partyid=" + party, "the sign-up form's name"},
           {"/indexw.asp", "the member home's gift and party lines"},
           {"/mymessages.asp", "the conversation partner"},
           {"/message.asp?userid=3", "the conversation's title"},
           {"/messagesend.asp?userid=3", "the partner's link in the send frame"},
           {"/present.asp", "the gift's name and description"},
           {"/vote.asp?stype=view", "the poll's title"},
       }) {
    const RawResponse page = rawGet(c.target, member);
    const std::string body = utf8(page);
    EXPECT_EQ(page.status, 200) << c.target;
    EXPECT_NE(body.find(kShown), std::string::npos) << c.target << ": " << c.what << "\n" << body;
    EXPECT_EQ(body.find(kRaw), std::string::npos) << c.target << ": " << c.what << "\n" << body;
  }
}

}  // namespace
}  // namespace zurvafun

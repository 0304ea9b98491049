// The shared accessors: who is asking (the member and administrator
// cookies) and the site's settings.
#include <gtest/gtest.h>

#include "framework/site_settings.h"
#include "framework/viewer.h"
#include "host/test_host.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

using testing::errorOf;

void setMember(host::TestHost& h, std::initializer_list<std::pair<const char*, const char*>> keys) {
  host::SubKeys subKeys;
  for (const auto& [k, v] : keys) subKeys.set(k, v);
  h.request().Cookies.set("kalimo", host::RequestCookie(subKeys));
}

TEST(ViewerTest, GuestMemberAndAdministrator) {
  host::TestHost h;
  {
    const Viewer guest(h.request());
    EXPECT_FALSE(guest.isMember());
    EXPECT_FALSE(guest.isAdministrator());
    EXPECT_EQ(guest.userid(), 0);
    EXPECT_EQ(guest.memberNumber(), std::nullopt);
    EXPECT_EQ(guest.grade(), 0);
  }
  setMember(h, {{"username", "ann@example.com"}, {"userid", "40000"}, {"grade", "3"}, {"sex", "577"}});
  host::SubKeys admin;
  admin.set("admin_name", "root");
  h.request().Cookies.set("zurva_admin", host::RequestCookie(admin));
  const Viewer member(h.request());
  EXPECT_TRUE(member.isMember());
  EXPECT_TRUE(member.isAdministrator());
  EXPECT_EQ(member.userid(), 40000);  // member numbers are 32-bit
  EXPECT_EQ(member.memberNumber(), 40000);
  EXPECT_EQ(member.grade(), 3);
  EXPECT_EQ(member.member("sex").str(), "577");
  EXPECT_EQ(member.admin("admin_name").str(), "root");
}

TEST(ViewerTest, MemberNumbersThatAreNotNumbers) {
  struct Case {
    const char* userid;
    long error;                       // of userid()
    std::optional<std::int32_t> number;  // memberNumber()
  };
  const Case cases[] = {
      {"abc", err::TypeMismatch, std::nullopt},
      {"", err::TypeMismatch, std::nullopt},
      {"1e12", err::Overflow, std::nullopt},
      {"2.5", 0, std::nullopt},
      {" 12 ", 0, 12},
  };
  for (const Case& c : cases) {
    host::TestHost h;
    setMember(h, {{"username", "x"}, {"userid", c.userid}, {"grade", "gold"}});
    const Viewer viewer(h.request());
    EXPECT_EQ(errorOf([&] { viewer.userid(); }), c.error) << c.userid;
    EXPECT_EQ(viewer.memberNumber(), c.number) << c.userid;
    EXPECT_EQ(viewer.grade(), 0);  // a grade that is not a number counts as a guest's
  }
}

Variant setting(std::string text) { return Variant(VariantArray{Variant(std::move(text))}); }

TEST(SiteSettingsTest, FieldsByIndexWordListsAndUrlMode) {
  host::TestHost h;
  std::string base;
  for (int i = 0; i < 26; ++i) base += (i ? "<><><><><>" : "") + std::to_string(100 + i);
  h.application().set("zurva_base_info", setting(base));
  h.application().set("zurva_info", setting("t<><><><><>fuck,shit<><><><><>bad,,worse,"));
  h.application().set("zurva_skinbase_info", setting("a##b##c##d##1"));
  h.application().set("zurva_myshow", setting(",5@577@x"));
  const auto settings = siteSettings(h.application());
  EXPECT_EQ(settings->baseInfo(25), "125");
  EXPECT_EQ(errorOf([&] { settings->baseInfo(26); }), err::SubscriptOutOfRange);
  EXPECT_EQ(settings->wordLists(1), "fuck,shit");
  EXPECT_EQ(settings->badWords(), (std::vector<std::string>{"bad", "", "worse", ""}));
  EXPECT_EQ(settings->urlMode(), 1);
  EXPECT_EQ(settings->showcaseList(), ",5@577@x");
}

TEST(SiteSettingsTest, ReadOncePerChangeAndMissingValuesRaiseAtEachUse) {
  host::TestHost h;
  const auto missing = siteSettings(h.application());
  EXPECT_EQ(errorOf([&] { missing->urlMode(); }), err::TypeMismatch);  // not an array
  EXPECT_EQ(errorOf([&] { missing->urlMode(); }), err::TypeMismatch);  // and again
  EXPECT_EQ(errorOf([&] { missing->badWords(); }), err::TypeMismatch);
  EXPECT_EQ(siteSettings(h.application()), missing);  // nothing changed: the same reading

  h.application().set("zurva_skinbase_info", setting("a##b##c##d##x"));
  const auto broken = siteSettings(h.application());
  EXPECT_NE(broken, missing);
  EXPECT_EQ(errorOf([&] { broken->urlMode(); }), err::TypeMismatch);
  h.application().set("zurva_skinbase_info", Variant(VariantArray{Variant::null()}));
  EXPECT_EQ(errorOf([&] { siteSettings(h.application())->urlMode(); }), err::InvalidUseOfNull);
  h.application().set("zurva_skinbase_info", setting("a##b##c##d##0"));
  EXPECT_EQ(siteSettings(h.application())->urlMode(), 0);

  // Another application (another site in the same process) is read afresh.
  host::TestHost other;
  other.application().set("zurva_skinbase_info", setting("a##b##c##d##1"));
  EXPECT_EQ(siteSettings(other.application())->urlMode(), 1);
}

}  // namespace
}  // namespace zurvafun

// The picture files of the albums over HTTP: a restricted album's pictures,
// and pictures waiting for approval, go out only to whom the pages show them,
// whatever address a visitor types or guesses. Demo member 1's album holds
// two approved pictures and one waiting (the second); demo member 2 (a silver
// card) is her accepted friend, member 12 is not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

class PhotoFilesE2E : public e2e::ShippedSiteSuite<PhotoFilesE2E> {
 protected:
  void SetUp() override {
    ShippedSiteSuite::SetUp();
    const std::vector<std::string> album =
        Split(query("select photo from zurva_user where userid=1"), "#");
    ASSERT_EQ(album.size(), 3u);
    ASSERT_EQ(album[0].back(), '1');
    ASSERT_EQ(album[1].back(), '0');
    approved = album[0].substr(0, album[0].size() - 1);
    waiting = album[1].substr(0, album[1].size() - 1);
    // Member 12, made a silver card, is no friend of hers; member 5 has an
    // ordinary card.
    ASSERT_EQ(query("select count(*) from Friends where userid=1 and senduserid=12 or userid=12 "
                    "and senduserid=1"),
              "0");
    ASSERT_TRUE(execute("update zurva_user set grade=2 where userid=12"));
    ASSERT_EQ(query("select grade from zurva_user where userid=5"), "1");
    stranger = "12";
    lowGrade = "5";
  }

  static std::string member(const std::string& account, const std::string& password) {
    const std::string cookie = cookiePair(
        postLogin(gbkForm({{"username", account}, {"password", password}, {"log_type", "1"}}))
            .setCookie("kalimo"));
    EXPECT_FALSE(cookie.empty()) << account;
    return "Cookie: " + cookie + "\r\n";
  }
  static std::string administrator() {
    const RawResponse login = rawPost(
        "/admin/login.asp", gbkForm({{"admin_name", "admin"}, {"admin_password", "demo-admin"}}));
    EXPECT_EQ(login.status, 302);
    return "Cookie: " + cookiePair(login.setCookie("zurva_admin")) + "\r\n";
  }
  static void albumPrivacy(int ifphotolook) {
    ASSERT_TRUE(execute("update zurva_user set ifphotolook=" + std::to_string(ifphotolook) +
                        " where userid=1"));
  }
  // The answer is the picture itself.
  static bool picture(const std::string& target, const std::string& cookie = "") {
    const RawResponse r = rawGet(target, cookie);
    return r.status == 200 && r.header("Content-Type") == "image/jpeg" && r.body.size() > 2 &&
           r.body.compare(0, 2, "\xFF\xD8") == 0;
  }
  // Every address of the approved picture: full size, thumbnail.
  bool approvedPicture(const std::string& cookie = "") const {
    const bool big = picture("/up_article/" + approved, cookie);
    EXPECT_EQ(picture("/mup_article/" + approved, cookie), big);
    return big;
  }

  std::string approved, waiting, stranger, lowGrade;
};

TEST_F(PhotoFilesE2E, AFriendsOnlyAlbumsPicturesGoToFriendsTheOwnerAndTheAdministrator) {
  albumPrivacy(3);
  const std::string owner = member("demo1@example.com", "demo123");
  const std::string friendOfHers = member("demo2@example.com", "demo456");
  const std::string other = member("member" + stranger + "@example.com", "123456");
  const std::string admin = administrator();

  EXPECT_FALSE(approvedPicture());
  EXPECT_FALSE(picture("/smallphoto/smallphoto1.jpg"));
  EXPECT_FALSE(approvedPicture(other));
  EXPECT_FALSE(picture("/smallphoto/smallphoto1.jpg", other));

  EXPECT_TRUE(approvedPicture(friendOfHers));
  EXPECT_TRUE(picture("/smallphoto/smallphoto1.jpg", friendOfHers));
  EXPECT_TRUE(approvedPicture(owner));
  EXPECT_TRUE(approvedPicture(admin));
  // A restricted picture is nobody else's to cache.
  EXPECT_EQ(rawGet("/up_article/" + approved, friendOfHers).header("Cache-Control"),
            "private, no-store");
}

TEST_F(PhotoFilesE2E, AGoldAndSilverAlbumsPicturesGoToSilverCardsAndAbove) {
  albumPrivacy(2);
  EXPECT_FALSE(approvedPicture());
  EXPECT_FALSE(approvedPicture(member("member" + lowGrade + "@example.com", "123456")));
  EXPECT_TRUE(approvedPicture(member("member" + stranger + "@example.com", "123456")));
}

TEST_F(PhotoFilesE2E, APictureWaitingForApprovalGoesToItsOwnerAndTheAdministratorOnly) {
  albumPrivacy(1);
  EXPECT_TRUE(approvedPicture());  // an open album's approved pictures are everybody's
  EXPECT_EQ(rawGet("/up_article/" + approved).header("Cache-Control"), "private");
  for (const char* folder : {"/up_article/", "/mup_article/"}) {
    const std::string target = folder + waiting;
    EXPECT_FALSE(picture(target)) << target;
    EXPECT_FALSE(picture(target, member("demo2@example.com", "demo456"))) << target;
    EXPECT_TRUE(picture(target, member("demo1@example.com", "demo123"))) << target;
    EXPECT_TRUE(picture(target, administrator())) << target;
  }
  // A head photo waiting for approval as well.
  ASSERT_TRUE(execute("update zurva_user set smallphoto='smallphoto1.jpg0' where userid=1"));
  EXPECT_FALSE(picture("/smallphoto/smallphoto1.jpg"));
  EXPECT_TRUE(picture("/smallphoto/smallphoto1.jpg", member("demo1@example.com", "demo123")));
  ASSERT_TRUE(execute("update zurva_user set smallphoto='smallphoto1.jpg1' where userid=1"));
}

// Other spellings of a guarded address reach no picture either, and a file
// that no album lists (a name walked in the folder) goes to nobody.
TEST_F(PhotoFilesE2E, OtherSpellingsAndUnlistedFilesReachNoPicture) {
  albumPrivacy(3);
  for (const std::string& target :
       {"//up_article/" + approved, "/UP_ARTICLE/" + approved, "/up_article//" + approved,
        "///mup_article/" + approved, "/%75p_article/" + approved, "/up%5Farticle/" + approved,
        "/up_article/" + approved + "?x=1", "/up_article/./" + approved,
        "/up_article/../up_article/" + approved, "/up_article/%2e%2e/up_article/" + approved,
        std::string("/up_article/"), std::string("/up_article")}) {
    EXPECT_FALSE(picture(target)) << target;
  }
  const std::string owner = member("demo1@example.com", "demo123");
  for (const char* path : {"/up_article/", "/mup_article/"}) {
    const std::filesystem::path folder =
        std::filesystem::path(server_->dir()) / ("www" + std::string(path));
    std::filesystem::copy_file(folder / approved, folder / "photo1_2020_01_01_000000.jpg",
                               std::filesystem::copy_options::overwrite_existing);
    albumPrivacy(1);
    EXPECT_FALSE(picture(std::string(path) + "photo1_2020_01_01_000000.jpg"));
    EXPECT_FALSE(picture(std::string(path) + "photo1_2020_01_01_000000.jpg", owner));
  }
}

}  // namespace
}  // namespace zurvafun

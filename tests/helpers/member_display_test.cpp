#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/support_db.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The site settings text with `freeAccess` as field 25 of 30.
std::string settingsWithSwitch(const std::string& freeAccess) {
  std::string text;
  for (int i = 0; i < 30; ++i) {
    if (i > 0) text += "<><><><><>";
    text += i == 25 ? freeAccess : "f" + std::to_string(i);
  }
  return text;
}

class MemberDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLogFilePath((std::filesystem::temp_directory_path() /
                    ("zurva-member-display-" + std::to_string(::getpid()) + ".log"))
                       .string());
    std::filesystem::remove(logFilePath());
    setSwitch("0");
  }
  void TearDown() override {
    std::filesystem::remove(logFilePath());
    setLogFilePath("");
  }

  void setSwitch(const std::string& freeAccess) {
    h.application().set("zurva_base_info", Variant(VariantArray{Variant(settingsWithSwitch(freeAccess))}));
  }
  void logInWithGrade(const std::string& grade) {
    h.request().Cookies.setFromHeader("kalimo", "userid=5&grade=" + grade);
  }
  std::string log() const { return readFile(logFilePath()); }

  host::TestHost h;
  zurva z;
};

// ---- Photo cells

const char* const kApproved = "smallphoto12.jpg1";
const char* const kUnapproved = "smallphoto12.jpg0";
const char* const kPhotoTag = "<img src='/smallphoto/smallphoto12.jpg' border='0' width=100 height=120>";
const char* const kNo02Tag = "<img src='/images/no02577.gif' width=100 height=120 border='0'>";
const char* const kNo03Tag = "<img src='/images/no03577.gif' width=100 height=120 border='0'>";
const char* const kUnapprovedTag = "<img src='/images/nophoto.gif' width=100 height=120 border='0'>";
const char* const kNullTag = " <img src='/images/nophoto.gif' width='100' height='120' border='0'>";

TEST_F(MemberDisplayTest, GuestPhotoCellsFollowThePrivacyAlone) {
  struct Case {
    Variant photo;
    int privacy;
    const char* tag;
    const char* url;
  };
  const Case cases[] = {
      {kApproved, 1, kPhotoTag, "/smallphoto/smallphoto12.jpg"},
      {kUnapproved, 1, kUnapprovedTag, "/images/nophoto.gif"},
      {kApproved, 2, kNo02Tag, "/images/no02577.gif"},
      {kUnapproved, 2, kNo02Tag, "/images/no02577.gif"},
      {kApproved, 3, kNo03Tag, "/images/no03577.gif"},
      {kUnapproved, 3, kNo03Tag, "/images/no03577.gif"},
      {Variant::null(), 1, kNullTag, "/images/nophoto.gif"},
      {Variant::null(), 2, kNullTag, "/images/nophoto.gif"},  // no photo beats the privacy
      {Variant::null(), 3, kNullTag, "/images/nophoto.gif"},
      {"", 1, kUnapprovedTag, "/images/nophoto.gif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.photo.str() + " privacy " + std::to_string(c.privacy));
    EXPECT_EQ(z.showphoto(c.photo, c.privacy, 577, 100, 120).str(), c.tag);
    EXPECT_EQ(z.bbsphoto(c.photo, c.privacy, 577).str(), c.url);
  }
}

TEST_F(MemberDisplayTest, ViewerPhotoCellsByPrivacyFriendshipAndGrade) {
  // One letter per viewer grade 0, 1, 2, 3, 10, 11: P the photo, 2 and 3 the
  // placeholders no02 and no03.
  const int grades[] = {0, 1, 2, 3, 10, 11};
  struct Row {
    int privacy;
    int iffriend;
    const char* showphoto1;
    const char* bbsphoto1;
  };
  const Row rows[] = {
      {1, 0, "PPPPPP", "PPPPPP"}, {1, 1, "PPPPPP", "PPPPPP"},
      {2, 0, "22PPPP", "P2PPPP"}, {2, 1, "22PPPP", "P2PPPP"},  // bbsphoto1 hides from grade 1 only
      {3, 0, "33333P", "33333P"}, {3, 1, "PPPPPP", "PPPPPP"},
  };
  for (const Row& row : rows) {
    for (int g = 0; g < 6; ++g) {
      SCOPED_TRACE("privacy " + std::to_string(row.privacy) + " friend " +
                   std::to_string(row.iffriend) + " grade " + std::to_string(grades[g]));
      const Variant grade = grades[g];
      const char want = row.showphoto1[g];
      for (const char* photo : {kApproved, kUnapproved}) {
        const bool approved = photo == kApproved;
        EXPECT_EQ(z.showphoto1(photo, row.privacy, row.iffriend, grade, 577, 100, 120).str(),
                  want == '2'   ? kNo02Tag
                  : want == '3' ? kNo03Tag
                  : approved    ? kPhotoTag
                                : kUnapprovedTag);
        const char wantUrl = row.bbsphoto1[g];
        EXPECT_EQ(z.bbsphoto1(photo, row.privacy, row.iffriend, grade, 577).str(),
                  wantUrl == '2'   ? "/images/no02577.gif"
                  : wantUrl == '3' ? "/images/no03577.gif"
                  : approved       ? "/smallphoto/smallphoto12.jpg"
                                   : "/images/nophoto.gif");
      }
    }
  }
  EXPECT_EQ(z.showphoto1(Variant::null(), 3, 0, 0, 577, 100, 120).str(), kNullTag);
  EXPECT_EQ(z.bbsphoto1(Variant::null(), 2, 0, 1, 577).str(), "/images/nophoto.gif");
}

TEST_F(MemberDisplayTest, PhotoCellsTakeNumbersGivenAsText) {
  // Values read from cookies and columns arrive as text or as numbers.
  EXPECT_EQ(z.showphoto1(kApproved, "2", "0", "1", "576", "80", "90").str(),
            "<img src='/images/no02576.gif' width=80 height=90 border='0'>");
  EXPECT_EQ(z.showphoto1(kApproved, "3", "1", "0", "576", "80", "90").str(),
            "<img src='/smallphoto/smallphoto12.jpg' border='0' width=80 height=90>");
  EXPECT_EQ(z.bbsphoto1(kApproved, "3", "0", "11", "576").str(), "/smallphoto/smallphoto12.jpg");
}

TEST_F(MemberDisplayTest, PhotoNameIsEscapedInTheImageTag) {
  EXPECT_EQ(z.showphoto("a'><script>x</script>.jpg1", 1, 576, 10, 10).str(),
            "<img src='/smallphoto/a&#39;&gt;&lt;script&gt;x&lt;/script&gt;.jpg' border='0' "
            "width=10 height=10>");
  EXPECT_EQ(z.showphoto1("a&b.jpg1", 1, 0, 0, 576, 10, 10).str(),
            "<img src='/smallphoto/a&amp;b.jpg' border='0' width=10 height=10>");
}

TEST_F(MemberDisplayTest, PhotoCellWithNonNumericPrivacyIsLoggedAndEmpty) {
  const Variant cell = z.showphoto1(kApproved, "abc", 0, 0, 577, 100, 120);
  EXPECT_TRUE(cell.isEmpty());
  EXPECT_NE(log().find("    \\1, showphoto1: 类型不匹配\r\n"), std::string::npos) << log();
}

// ---- Approved album photos

TEST_F(MemberDisplayTest, PhotoNumCountsApprovedEntries) {
  struct Case {
    Variant list;
    long count;
  };
  const Case cases[] = {
      {Variant::null(), 0},
      {Variant(), 0},
      {"", 0},
      {"a.jpg1", 1},
      {"a.jpg0", 0},
      {"a.jpg1#b.jpg0#c.jpg1", 2},
      {"a.jpg1#b.jpg1#c.jpg0", 2},
      {"a.jpg0#b.jpg0#c.jpg0", 0},
      {"a.jpg1#b.jpg1#c.jpg1", 3},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(eq(z.photonum(c.list), Variant(c.count))) << c.list.str();
  }
}

// ---- Values with a visibility digit

TEST_F(MemberDisplayTest, IfShowByDigitGradeSwitchAndFriendship) {
  const std::string cardOnly = "<font color=red>金银卡会员可见</font>";
  const std::string friendsOnly = "<font color=red>好友可见</font>";
  const std::string secret = "<font color=red>完全保密</font>";
  struct Case {
    const char* grade;  // nullptr: a guest without the member cookie
    const char* freeAccess;
    Variant iffriend;
    const char* data;
    std::string shown;
  };
  const Case cases[] = {
      {nullptr, "0", 0, "张三1", "张三"},
      {"1", "0", 0, "张三1", "张三"},
      {nullptr, "0", 0, "张三2", cardOnly},
      {"0", "0", 0, "张三2", cardOnly},
      {"1", "0", 0, "张三2", cardOnly},
      {"2", "0", 0, "张三2", "张三"},
      {"3", "0", 0, "张三2", "张三"},
      {"1", "1", 0, "张三2", "张三"},
      {nullptr, "1", 0, "张三2", "张三"},
      {"1", "0", 0, "张三3", friendsOnly},
      {"3", "1", 0, "张三3", friendsOnly},
      {"1", "0", 1, "张三3", "张三"},
      {nullptr, "0", 1, "张三3", "张三"},
      {"1", "0", 2, "张三3", ""},
      {"3", "1", 1, "张三4", secret},
      {nullptr, "0", 1, "张三4", secret},
      {"10", "0", 0, "张三2", "张三"},
      {"10", "0", 0, "张三3", "张三"},
      {"10", "0", 0, "张三4", "张三"},
      {"10", "0", 0, "张三5", "张三"},  // grade 10 sees any value
      {"3", "0", 0, "张三5", ""},
      {"3", "0", 0, "张三", ""},
      {"2", "0", 0, "223#2", "223#"},
      {"3", "0", 0, "", ""},
      {"10", "0", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.data) + " grade " + (c.grade ? c.grade : "guest") + " switch " +
                 c.freeAccess + " friend " + c.iffriend.str());
    host::TestHost request;
    request.application().set("zurva_base_info",
                              Variant(VariantArray{Variant(settingsWithSwitch(c.freeAccess))}));
    if (c.grade) request.request().Cookies.setFromHeader("kalimo", std::string("grade=") + c.grade);
    zurva viewer;
    EXPECT_EQ(viewer.ifshow(c.iffriend, c.data).str(), c.shown);
  }
  EXPECT_FALSE(std::filesystem::exists(logFilePath())) << log();
}

TEST_F(MemberDisplayTest, IfShowCountsAnEmptyOrUnusableGradeAsAGuest) {
  for (const char* cookie : {"userid=5&grade=", "userid=5", "grade=abc"}) {
    SCOPED_TRACE(cookie);
    h.request().Cookies.setFromHeader("kalimo", cookie);
    EXPECT_EQ(z.ifshow(0, "张三2").str(), "<font color=red>金银卡会员可见</font>");
  }
}

TEST_F(MemberDisplayTest, IfShowEscapesTheShownValue) {
  logInWithGrade("3");
  EXPECT_EQ(z.ifshow(0, "<b>\"O'Neil\" & co</b>1").str(),
            "&lt;b&gt;&quot;O&#39;Neil&quot; &amp; co&lt;/b&gt;");
}

TEST_F(MemberDisplayTest, IfShowWithNullDataGivesNothing) {
  logInWithGrade("10");
  EXPECT_TRUE(z.ifshow(1, Variant::null()).isEmpty());
  EXPECT_FALSE(std::filesystem::exists(logFilePath()));
}

TEST_F(MemberDisplayTest, IfShowWithoutUsableSettingsIsLoggedAndEmpty) {
  logInWithGrade("3");
  h.application().remove("zurva_base_info");
  EXPECT_TRUE(z.ifshow(0, "张三1").isEmpty());
  EXPECT_NE(log().find("\\1, ifshow: 类型不匹配\r\n"), std::string::npos) << log();

  // Only 25 fields: the switch is missing, even for a value that would not need it.
  std::string shortSettings = "0";
  for (int i = 1; i < 25; ++i) shortSettings += "<><><><><>0";
  h.application().set("zurva_base_info", Variant(VariantArray{Variant(shortSettings)}));
  EXPECT_TRUE(z.ifshow(0, "张三1").isEmpty());
  EXPECT_NE(log().find("\\1, ifshow: 下标越界\r\n"), std::string::npos) << log();
}

// ---- The friend test

class MemberDisplayFriendTest : public MemberDisplayTest {
 protected:
  using Db = testing::TestDatabase;

  void SetUp() override {
    MemberDisplayTest::SetUp();
    database.run("insert into zurva_user (userid, nickname, ifphotolook) values (1, 'one', 1)");
    database.run("insert into zurva_user (userid, nickname, ifphotolook) values (2, 'two', 3)");
    database.run("insert into zurva_user (userid, nickname, ifphotolook) values (3, 'three', 3)");
    database.run("insert into zurva_user (userid, nickname, ifphotolook) values (4, 'four', 2)");
  }

  void befriend(int userid, int senduserid, int ifok) {
    database.run("insert into Friends (userid, senduserid, ifok) values (" +
                 std::to_string(userid) + ", " + std::to_string(senduserid) + ", " +
                 std::to_string(ifok) + ")");
  }
  Variant friendTest(const Variant& viewer, const Variant& member) {
    return z.mainiffriend(viewer, member, Db::kServer, Db::kUser, Db::kPassword, Db::kDatabase);
  }

  Db database;
};

TEST_F(MemberDisplayFriendTest, AcceptedFriendshipPassesInEitherDirection) {
  befriend(2, 1, 1);  // member 1 asked member 2, who accepted
  EXPECT_TRUE(eq(friendTest(1, 2), 1));
  EXPECT_TRUE(eq(friendTest(2, 1), 1));
}

TEST_F(MemberDisplayFriendTest, PendingRequestKeepsFriendsOnlyPhotosClosed) {
  befriend(3, 1, 0);  // member 1 asked member 3 (friends-only photos), not yet accepted
  befriend(4, 1, 0);  // and member 4 (gold and silver only)
  EXPECT_TRUE(eq(friendTest(1, 3), 0));
  EXPECT_TRUE(eq(friendTest(3, 1), 1));  // member 1's photos are not friends-only
  EXPECT_TRUE(eq(friendTest(1, 4), 1));
}

TEST_F(MemberDisplayFriendTest, NoFriendshipRowFails) {
  befriend(3, 2, 1);
  EXPECT_TRUE(eq(friendTest(1, 3), 0));
  EXPECT_TRUE(eq(friendTest(1, 2), 0));
  EXPECT_TRUE(eq(friendTest(Variant(), 3), 0));  // a guest has no member number
}

TEST_F(MemberDisplayFriendTest, TheMemberHimselfAlwaysPasses) {
  EXPECT_TRUE(eq(friendTest(3, 3), 1));
  // The viewer's number from the cookie is text; the member's a number.
  EXPECT_TRUE(eq(friendTest("3", 3), 1));
  befriend(3, 3, 0);
  EXPECT_TRUE(eq(friendTest(3, "3"), 1));
}

TEST_F(MemberDisplayFriendTest, PendingRequestOfAMemberWhoseRowIsGonePasses) {
  befriend(9, 1, 0);
  EXPECT_TRUE(eq(friendTest(1, 9), 1));
}

TEST_F(MemberDisplayFriendTest, ResultFeedsTheFriendsOnlyPhotoRule) {
  befriend(3, 1, 1);
  const Variant iffriend = friendTest(1, 3);
  EXPECT_EQ(z.showphoto1("smallphoto3.jpg1", 3, iffriend, 1, 577, 100, 120).str(),
            "<img src='/smallphoto/smallphoto3.jpg' border='0' width=100 height=120>");
  EXPECT_EQ(z.showphoto1("smallphoto3.jpg1", 3, friendTest(2, 3), 1, 577, 100, 120).str(), kNo03Tag);
}

TEST_F(MemberDisplayFriendTest, NonNumericMemberNumberGoesToThePage) {
  EXPECT_EQ(testing::errorOf([&] { friendTest("1 or 1=1", 3); }), 13);
  EXPECT_FALSE(std::filesystem::exists(logFilePath()));
}

TEST_F(MemberDisplayFriendTest, FailedConnectionEndsTheRequest) {
  long error = testing::errorOf(
      [&] { z.mainiffriend(1, 2, Db::kServer, Db::kUser, Db::kPassword, "nosuchdatabase"); });
  EXPECT_EQ(error, RequestEndError);
  EXPECT_TRUE(h.response().ended());
  EXPECT_NE(h.response().body().find("数据库连接出错，请检查连接字串。"), std::string::npos);
  // The ended response stops every later call at once.
  EXPECT_EQ(testing::errorOf([&] { z.showphoto(kApproved, 1, 577, 1, 1); }), RequestEndError);
}

}  // namespace
}  // namespace zurvafun

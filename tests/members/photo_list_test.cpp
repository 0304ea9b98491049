#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "members/photo_list.h"
#include "tests/members/members_fixture.h"

namespace zurvafun::testing {
namespace {

using members::albumUploadDate;
using members::approvedEntries;
using members::managerUploadDate;

TEST(PhotoListTest, ApprovedEntriesKeepOrderAndFlags) {
  EXPECT_EQ(approvedEntries("a.jpg1#b.jpg0#c.jpg1#d.jpg2"), (std::vector<std::string>{"a.jpg1", "c.jpg1"}));
  EXPECT_TRUE(approvedEntries("").empty());
  EXPECT_TRUE(approvedEntries("a.jpg0").empty());
}

TEST(PhotoListTest, UploadDatesOfBothPages) {
  struct Case {
    const char* entry;
    const char* manager;
    const char* album;
  };
  const std::vector<Case> cases = {
      {"a_2007_12_20_b.jpg1", "2007-12-20", "2007-12-20"},
      {"photo25_2026_03_01_7.jpg1", "2026-03-01", "2026-03-01"},
      // More fields: the manager reads after the first "_", the album before the last.
      {"p_x_2007_12_20_b.jpg1", "x-2007-12", "2007-12-20"},
      {"photo_2007_12.jpg1", "", ""},
      {"photo.jpg1", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(managerUploadDate(c.entry), c.manager);
    EXPECT_EQ(albumUploadDate(c.entry), c.album);
  }
}

class TrustTest : public MembersTest {
 protected:
  static Variant trustOf(long userid) {
    return value("select trust from zurva_user where userid=" + std::to_string(userid));
  }
};

TEST_F(TrustTest, RecountFromOkAlbumAndScans) {
  struct Case {
    Variant ok, photo, sfphoto, hyphoto;
    long trust;
  };
  const std::vector<Case> cases = {
      {1, "photo1_a.jpg0#photo1_b.jpg1", "photo1_sf.jpg1", Variant::null(), 3},
      {1, "photo1_a.jpg0#photo1_b.jpg0", "photo1_sf.jpg1", Variant::null(), 2},
      {1, "x1_a.jpg0#photo1_b.jpg1", Variant::null(), Variant::null(), 1},  // the list must start with "photo"
      {0, Variant::null(), "photo1_sf.jpg0", "photo1_hy.jpg1", 1},
      {1, "photo1_a.jpg1", "photo1_sf.jpg1", "photo1_hy.jpg1", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trust);
    addRow({{"userid", 5}, {"ok", c.ok}, {"trust", 6}, {"photo", c.photo}, {"sfphoto", c.sfphoto}, {"hyphoto", c.hyphoto}});
    db::Connection conn = open();
    members::recountTrust(conn, 5);
    EXPECT_EQ(trustOf(5).str(), std::to_string(c.trust));
    run("delete from zurva_user where userid=5");
  }
}

TEST_F(TrustTest, NullOkOrNoMemberLeavesTrustAlone) {
  addRow({{"userid", 5}, {"ok", Variant::null()}, {"trust", 4}, {"photo", "photo1.jpg1"}});
  db::Connection conn = open();
  members::recountTrust(conn, 5);
  members::recountTrust(conn, 6);
  EXPECT_EQ(trustOf(5).str(), "4");
}

TEST_F(TrustTest, HeadPhotoDeleteNeverGoesBelowZero) {
  addRow({{"userid", 5}, {"trust", 2}});
  addRow({{"userid", 6}, {"trust", 0}});
  db::Connection conn = open();
  members::lowerTrustForHeadPhoto(conn, 5);
  members::lowerTrustForHeadPhoto(conn, 6);
  EXPECT_EQ(trustOf(5).str(), "1");
  EXPECT_EQ(trustOf(6).str(), "0");
}

}  // namespace
}  // namespace zurvafun::testing

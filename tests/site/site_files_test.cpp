// The static files of the demo site that copy the component's output.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/gbk.h"
#include "site/site_page.h"

namespace zurvafun::testing {
namespace {

// The pages that load the city table as a file get the bytes they would
// have carried inline: the component's table in the pages' GB2312.
TEST(SiteFilesTest, TheCityTableFileIsTheComponentsTable) {
  std::ifstream in(std::string(ZURVA_SOURCE_DIR "/site/www") + std::string(site::kCityTableFile),
                   std::ios::binary);
  ASSERT_TRUE(in);
  std::ostringstream file;
  file << in.rdbuf();
  host::TestHost host;
  zurva z;
  EXPECT_TRUE(file.str() == gbk::fromUtf8(z.allcitymenu().str()))
      << "site/www/js/citytable.js differs from allcitymenu(): write its output there in GB2312";
}

}  // namespace
}  // namespace zurvafun::testing

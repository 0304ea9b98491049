// Reading the site's static links back into the dynamic form.
#include "host/links.h"

#include <gtest/gtest.h>

namespace zurvafun {
namespace {

TEST(HostLinks, StaticLinkReadsBackInTheDynamicForm) {
  const struct {
    const char* link;
    const char* dynamic;
  } cases[] = {
      {"indexw.html", "indexw.asp"},
      {"news/list.html", "news/list.asp"},
      {"id_25_userinfo.html", "userinfo.asp?id=25"},
      {"news/id_25_userinfo.html", "userinfo.asp?news/id=25"},
      {"list_city_bj_page_2.html", "list.asp?city=bj&page=2"},
      {"news_list.html", "news.asp?list"},
      {"a_b_c_d.html", "a.asp?b=c&d"},
      // Not a static link: back exactly as given.
      {"", ""},
      {"userinfo.asp?id=25", "userinfo.asp?id=25"},
      {"id_25_userinfo.HTML", "id_25_userinfo.HTML"},
      {"a_b_c", "a_b_c"},
  };
  for (const auto& c : cases) EXPECT_EQ(staticLinkToDynamic(c.link), c.dynamic) << c.link;
}

}  // namespace
}  // namespace zurvafun

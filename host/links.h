// The site's two link shapes, as the HTTP host reads a link back and class
// zurva writes one (framework/links.h).
//
// Static form (URL mode 1): every page address ends in ".html" and carries its
// query in the page name: "news/list.html" (no query), "id_25_userinfo.html"
// (one parameter, no directory), "news/list_city_bj_page_2.html" (several).
// Dynamic form: "news/list.asp", "userinfo.asp?id=25",
// "news/list.asp?city=bj&page=2".
#pragma once

#include <string>
#include <string_view>

namespace zurvafun {

// Reads a static ".html" link in the dynamic form. The link is split on "_",
// and the number of underscores alone decides:
//   none:  every ".html" becomes ".asp"  (news/list.html -> news/list.asp);
//   two:   a_b_c.html is key a, value b, page c  (id_25_userinfo.html ->
//          userinfo.asp?id=25; a directory in front lands in the key:
//          news/id_25_userinfo.html -> userinfo.asp?news/id=25);
//   other: the first piece is the page, the rest key and value pairs
//          (news/list_city_bj_page_2.html -> news/list.asp?city=bj&page=2,
//          news_list.html -> news.asp?list, a_b_c_d.html -> a.asp?b=c&d).
// Matching is case-sensitive. A link that holds no ".html" (no static link)
// comes back exactly as given.
std::string staticLinkToDynamic(std::string_view link);

}  // namespace zurvafun

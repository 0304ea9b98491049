#include "framework/html.h"

#include <gtest/gtest.h>

namespace zurvafun::html {
namespace {

constexpr Fragment kLink = R"(<a href="{{link}}" title='{{nick}}'>{{nick}}</a>)";

TEST(FragmentTest, MemberTextIsEscapedWhereItLands) {
  EXPECT_EQ(kLink({{"link", trusted("userinfo.asp?id=5&x=1")}, {"nick", "<b>\"Ann's\" & co</b>"}})
                .str(),
            R"(<a href="userinfo.asp?id=5&x=1" title='&lt;b&gt;&quot;Ann&#39;s&quot; &amp; co&lt;/b&gt;'>)"
            R"(&lt;b&gt;&quot;Ann&#39;s&quot; &amp; co&lt;/b&gt;</a>)");

  constexpr Fragment kScript = "<script>alert('{{text:js}}');</script>";
  EXPECT_EQ(kScript({{"text", Variant("a'b\r\n</script>\\")}}).str(),
            "<script>alert('a\\'b\\r\\n<\\/script>\\\\');</script>");

  // Ordinary text comes out as it went in; numbers and Null need no care.
  constexpr Fragment kCell = "<td>{{name}}</td><td>{{id}}</td><td>{{note}}</td>";
  EXPECT_EQ(kCell({{"name", Variant("张三")}, {"id", 32768L}, {"note", Variant::null()}}).str(),
            "<td>张三</td><td>32768</td><td></td>");
}

TEST(FragmentTest, BlankRunsLineBreaksAndNesting) {
  constexpr Fragment kRow = "{{3 blanks}}<tr>{{cells}}</tr>{{crlf}}{{10 blanks}}|";
  constexpr Fragment kCell = "<td>{{v}}</td>";
  const Html cells = kCell({{"v", "a<"}}) + kCell({{"v", 2}});
  EXPECT_EQ(kRow({{"cells", cells}}).str(),
            "   <tr><td>a&lt;</td><td>2</td></tr>\r\n" + std::string(10, ' ') + "|");
  EXPECT_EQ(Fragment("no slots at all")().str(), "no slots at all");
  EXPECT_EQ(blanks(4).str(), "    ");
}

TEST(FragmentTest, UnknownOrUnfilledSlotsAreErrors) {
  EXPECT_THROW(kLink({{"link", "x"}}), FragmentError);                              // nick missing
  EXPECT_THROW(kLink({{"link", "x"}, {"nick", "y"}, {"nik", "z"}}), FragmentError);  // unknown
  std::string out = "kept";
  EXPECT_THROW(kLink.appendTo(out, {}), FragmentError);
  EXPECT_EQ(out, "kept");  // nothing half-written
}

}  // namespace
}  // namespace zurvafun::html

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <unistd.h>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/support.h"

namespace zurvafun {
namespace {

namespace fs = std::filesystem;

const std::string kFrame =
    "<table border=0 cellspacing=1 cellpadding=0 height=0 align=center width=100% bgcolor=#B4B99E><tr><td>";
const std::string kBoxHead =
    kFrame +
    "<table width=100% border=0 align=center cellpadding=1 cellspacing=1 bgcolor=#FFFFFF>"
    "<tr><td height=27 class=classtop align=center>操作成功</td></tr>"
    "<tr><td height=50 class=classtd>资料已保存</td></tr>"
    "<tr><td height=30 class=classtd>·<font color=red>3</font> 秒后，跳转到：<a href=list.asp>list.asp</a></td></tr>";
const std::string kBoxTail =
    "</table></td></tr></table><meta http-equiv='refresh'content='3;URL=list.asp; charset=gb2312'>";

std::string adminBox(const std::string& line) {
  return "<link href=css.css rel=STYLESHEET type=text/css>" + kFrame +
         "<table width=100% border=0 align=center cellpadding=4 cellspacing=1 bgcolor=#FFFFFF>"
         "<tr><td height=27 class=classtop align=center>出错啦！</td></tr>"
         "<tr><td height=50 class=classtd>" + line + "</td></tr></table></td></tr></table>";
}

TEST(Notice, AdminflagWithoutTheAdministratorCookieAsksToLogInAgain) {
  host::TestHost h;
  zurva z;
  z.adminflag();
  EXPECT_EQ(h.response().body(),
            adminBox("<li>您已经超时退出，请<a href = /admin/admin_login.asp target=main><b>重新登陆</b></a>！"));
  EXPECT_FALSE(h.response().ended());
}

TEST(Notice, AdminflagWithTheAdministratorCookieSaysTheRightIsMissing) {
  host::TestHost h;
  h.request().Cookies.setFromHeader("zurva_admin", "admin_name=boss");
  zurva z;
  z.adminflag();
  EXPECT_EQ(h.response().body(), adminBox("<li>管理员没有给您此权限！"));
}

TEST(Notice, ResultBoxesRedirectToTheFirstUrlOnly) {
  host::TestHost h;
  zurva().Up_mes("操作成功", "资料已保存", "list.asp", 3);
  EXPECT_EQ(h.response().body(), kBoxHead + kBoxTail);

  h.nextRequest();
  zurva().Up_mes1("操作成功", "资料已保存", "list.asp", "add.asp", 3);
  EXPECT_EQ(h.response().body(),
            kBoxHead +
                "<tr><td height=30 class=classtd>·跳转到：<a href=add.asp>add.asp</a></td></tr>"
                "<tr><td height=30 class=classtd>·<< <a href=javascript:history.go(-1)>返回上一页</a></td></tr>" +
                kBoxTail);

  h.nextRequest();
  zurva().Up_mes2("操作成功", "资料已保存", "list.asp", "add.asp", "index.asp", 3);
  EXPECT_EQ(h.response().body(),
            kBoxHead +
                "<tr><td height=30 class=classtd>·跳转到：<a href=add.asp>add.asp</a></td></tr>"
                "<tr><td height=30 class=classtd>·跳转到：<a href=index.asp>index.asp</a></td></tr>" +
                kBoxTail);
}

TEST(Notice, SendinfoPanel) {
  host::TestHost h;
  zurva z;
  z.sendinfo("提示", "欢迎<b>光临</b>");
  EXPECT_EQ(h.response().body(),
            "<table border=0 cellpadding=0 cellspacing=0 class=bk width='100%' align=center><tr><td "
            "class=bk_h width=100% height=26>&nbsp;<img src='images/i.gif'> 提示</td></tr><tr "
            "class='bg_l'><td width=100% ><p style='margin: 8; line-height:150%'>欢迎<b>光临</b></p></td></tr></table>");
}

TEST(Notice, AdmintopWritesTheFrameHead) {
  host::TestHost h;
  zurva z;
  z.admintop();
  const std::string& page = h.response().body();
  for (const char* part : {"charset=gb2312", "href=\"css.css\"", "bgcolor=\"#E8E5DA\"", "text=\"#FFFFFF\"",
                           "topmargin=\"0\"", "height=\"5\"", "src=\"inc/admin.js\""}) {
    EXPECT_NE(page.find(part), std::string::npos) << part;
  }
}

// Runs the select-all script in node against a list of three boxes.
TEST(Notice, SelectScriptTogglesAllBoxesWithOneSharedFlag) {
  if (std::system("node --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
  host::TestHost h;
  zurva z;
  z.zurvaselect();
  std::string script = h.response().body();
  const auto open = script.find('>');
  const auto close = script.rfind("</script>");
  ASSERT_EQ(script.rfind("<script", 0), 0u);
  ASSERT_NE(close, std::string::npos);
  script = script.substr(open + 1, close - open - 1) + R"(
var field = [{checked: false}, {checked: false}, {checked: false}];
var all = function (v) { return field.every(function (f) { return f.checked === v; }); };
var out = [];
out.push(check(field), all(true));
out.push(check(field), all(false));
out.push(check(field), checkadmin(field), all(false));
out.push(checkadmin(field), all(true));
console.log(out.join(','));
)";
  const fs::path file = fs::temp_directory_path() / ("zurva-select-" + std::to_string(::getpid()) + ".js");
  std::ofstream(file) << script;
  std::string output;
  if (FILE* pipe = ::popen(("node " + file.string()).c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    ::pclose(pipe);
  }
  fs::remove(file);
  EXPECT_EQ(output, "取消全选,true,开始全选,true,取消全选,YES,true,NO,true\n");
}

TEST(Notice, FailuresAreLoggedUnderTheMethodsGroup) {
  const fs::path log = fs::temp_directory_path() / ("zurva-notice-" + std::to_string(::getpid()) + ".log");
  setLogFilePath(log.string());
  fs::remove(log);
  {
    zurva z;  // outside a page host: no Response
    z.adminflag();
    z.Up_mes("t", "s", "u", 1);
    z.zurvaselect();
  }
  std::ifstream in(log, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string lines = text.str();
  for (const char* tag : {"    \\1, adminflag: ", "    \\1, Up_mes: ", "    \\temp1, zurvaselect: "})
    EXPECT_NE(lines.find(tag), std::string::npos) << tag;
  fs::remove(log);
  setLogFilePath("");
}

TEST(Notice, NothingIsWrittenOnceTheResponseHasEnded) {
  host::TestHost h;
  zurva z;
  h.response().End();
  EXPECT_EQ(testing::errorOf([&] { z.Up_mes("t", "s", "u", 1); }), RequestEndError);
  EXPECT_EQ(testing::errorOf([&] { z.sendinfo("t", "s"); }), RequestEndError);
  EXPECT_EQ(h.response().body(), "");
}

}  // namespace
}  // namespace zurvafun

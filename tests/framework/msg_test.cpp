#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "framework/escape.h"
#include "framework/zurva.h"
#include "host/test_host.h"
#include "tests/framework/scoped_log.h"
#include "tests/golden.h"

namespace zurvafun {
namespace {

class MsgTest : public ::testing::Test {
 protected:
  // Runs `call` as the statement before a caller's next one; true when the
  // request-end error stopped the caller there.
  bool stopsTheCaller(const std::function<void()>& call) {
    bool nextStatementRan = false;
    try {
      call();
      nextStatementRan = true;
      h.response().Write("next statement");
    } catch (const VbError& e) {
      EXPECT_TRUE(e.isRequestEnd());
    }
    return !nextStatementRan;
  }

  // After a call that ended the request: ended, nothing logged, and any
  // further call on the instance stops at once.
  void expectEnded(zurva& z) {
    EXPECT_TRUE(h.response().ended());
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(stopsTheCaller([&] { z.Msg1("again", "index.html"); }));
  }

  ScopedLog log{"msg"};
  host::TestHost h;
};

TEST_F(MsgTest, AlertFormForEachCode) {
  const struct {
    Variant code;
    const char* body;
  } cases[] = {
      {"-1",
       "<script Language=javaScript>alert('非法操作');history.go(-1);</script></body></html>"},
      {"-2", "<script Language=javaScript>alert('非法操作');window.close();</script>"},
      {"-10",
       "<script "
       "Language=javaScript>alert('非法操作');history.go(-1);history.go(-1);</script></body></"
       "html>"},
      {"index.html",
       "<script "
       "Language=javaScript>alert('非法操作');window.location.href='index.html';</script></body></"
       "html>"},
      {-1, "<script Language=javaScript>alert('非法操作');history.go(-1);</script></body></html>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code.str());
    h.nextRequest();
    zurva z;
    EXPECT_TRUE(stopsTheCaller([&] { z.Msg("非法操作", c.code, 1); }));
    EXPECT_EQ(h.response().body(), c.body);
    expectEnded(z);
  }
}

TEST_F(MsgTest, MsgtypeTextOneIsTheAlertForm) {
  zurva z;
  EXPECT_TRUE(stopsTheCaller([&] { z.Msg("好", "-2", "1"); }));
  EXPECT_EQ(h.response().body(),
            "<script Language=javaScript>alert('好');window.close();</script>");
}

// Lines of the message box, each ended by CR LF.
std::vector<std::string> boxLines(const std::string& box) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = box.find("\r\n", start)) != std::string::npos) {
    lines.push_back(box.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, box.size()) << "the box ends with CR LF";
  return lines;
}

// The message box around `message`, line by line: the outer table of three
// columns with its spacer rows, the inner table with the picture and the
// message, two spacer rows and the button row holding `buttonCell`.
std::vector<std::string> expectedBox(const std::string& message, const std::string& buttonCell) {
  return {
      R"(<table width="500" height="300" border="0" align="center" cellpadding="0" cellspacing="0">)",
      R"(<tr><td colspan="3">&nbsp;</td></tr>)",
      R"(<tr><td width="45">&nbsp;</td><td width="419">)",
      R"(<table width="90%" border="0" align="center" cellpadding="0" cellspacing="0">)",
      R"(<tr><td width="26%"><img src="/images/erro/cc.jpg" width="109" height="82"></td>)"
      R"(<td width="74%" style="WORD-BREAK: break-all; WORD-WRAP: break-word">)" +
          message + "</td></tr>",
      R"(<tr><td colspan="2">&nbsp;</td></tr>)",
      R"(<tr><td colspan="2">&nbsp;</td></tr>)",
      R"(<tr><td colspan="2" align="center">)" + buttonCell + "</tr>",
      "</table>",
      R"(</td><td width="45">&nbsp;</td></tr>)",
      R"(<tr><td colspan="3">&nbsp;</td></tr>)",
      "</table>",
  };
}

TEST_F(MsgTest, MessageBoxWithBackOrCloseButton) {
  const struct {
    const char* code;
    const char* button;
    const char* otherButton;
  } cases[] = {
      {"-1",
       R"html(<img src="/images/erro/fh.jpg" width="90" height="31" style="cursor:pointer" onclick="history.go(-1)"></td>)html",
       "close.jpg"},
      {"-2",
       R"html(<img src="/images/erro/close.jpg" width="90" height="31" style="cursor:pointer" onclick="window.close()"></td>)html",
       "fh.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    h.nextRequest();
    zurva z;
    EXPECT_TRUE(stopsTheCaller([&] { z.Msg("您还没有登录", c.code, 2); }));
    const std::string& body = h.response().body();
    const auto lines = boxLines(body);
    EXPECT_EQ(lines, expectedBox("您还没有登录", c.button));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(
        lines.front(),
        R"(<table width="500" height="300" border="0" align="center" cellpadding="0" cellspacing="0">)");
    EXPECT_EQ(lines.back(), "</table>");
    EXPECT_NE(body.find(R"(<img src="/images/erro/cc.jpg" width="109" height="82">)"),
              std::string::npos);
    EXPECT_NE(
        body.find(R"(style="WORD-BREAK: break-all; WORD-WRAP: break-word">您还没有登录</td>)"),
        std::string::npos);
    EXPECT_NE(body.find(c.button), std::string::npos);
    EXPECT_EQ(body.find(c.otherButton), std::string::npos);
    EXPECT_EQ(body.find("<script"), std::string::npos);
    expectEnded(z);
  }
}

TEST_F(MsgTest, MessageBoxIsTheTranscribedPage) {
  zurva z;
  EXPECT_TRUE(stopsTheCaller([&] { z.Msg("非法操作", "-2", 2); }));
  EXPECT_TRUE(testing::matchesGolden("message_box_close.html", h.response().body()));
  // Re-indented, it differs byte for byte but not between its tags.
  std::string reindented;
  for (char c : h.response().body()) reindented += c == '\n' ? std::string("\n    ") : std::string(1, c);
  EXPECT_FALSE(testing::matchesGolden("message_box_close.html", reindented));
  EXPECT_TRUE(testing::matchesGolden("message_box_close.html", reindented,
                                     testing::Blanks::BetweenTags));
}

TEST_F(MsgTest, MessageBoxFormGoesBackTwiceWithoutABox) {
  zurva z;
  EXPECT_TRUE(stopsTheCaller([&] { z.Msg("已提交", "-10", 2); }));
  EXPECT_EQ(
      h.response().body(),
      "<script "
      "Language=javaScript>alert('已提交');history.go(-1);history.go(-1);</script></body></html>");
  expectEnded(z);
}

TEST_F(MsgTest, MessageBoxFormWithAUrlRefreshesCountsDownAndRedirects) {
  zurva z;
  EXPECT_TRUE(stopsTheCaller([&] { z.Msg("修改成功", "index.html", 2); }));
  const std::string& body = h.response().body();
  const std::string refresh =
      "<meta http-equiv='refresh'content='5;URL=index.html; charset=gb2312'>";
  const std::string script =
      "<script "
      "Language=javaScript>alert('修改成功');window.location.href='index.html';</script></body></"
      "html>";
  ASSERT_TRUE(body.starts_with(refresh + "<table width=\"500\""));
  ASSERT_TRUE(body.ends_with("</table>\r\n" + script));
  const std::string box = body.substr(refresh.size(), body.size() - refresh.size() - script.size());
  const auto lines = boxLines(box);
  // The countdown cell is left without its closing tag.
  EXPECT_EQ(lines, expectedBox("修改成功",
                               "页面将在5秒后自动跳转/<a href=index.html>手动跳转</a>"));
  EXPECT_NE(
      std::find(
          lines.begin(), lines.end(),
          R"(<tr><td colspan="2" align="center">页面将在5秒后自动跳转/<a href=index.html>手动跳转</a></tr>)"),
      lines.end());
  EXPECT_EQ(box.find("erro/fh.jpg"), std::string::npos);
  EXPECT_EQ(box.find("erro/close.jpg"), std::string::npos);
  expectEnded(z);
}

TEST_F(MsgTest, CallerEscapesVisitorTextForTheScriptString) {
  zurva z;
  EXPECT_TRUE(stopsTheCaller([&] { z.Msg(jsEscape("it's </script><b>"), "-1", 1); }));
  EXPECT_EQ(h.response().body(),
            "<script Language=javaScript>alert('it\\'s "
            "<\\/script><b>');history.go(-1);</script></body></html>");
}

TEST_F(MsgTest, PageMethodStopsAtMsgAndLogsNothing) {
  zurva z;
  // pages refuses through Msg inside its own logging handler; the request-end
  // error reaches the caller unlogged.
  EXPECT_TRUE(stopsTheCaller([&] { z.pages("12a"); }));
  EXPECT_EQ(
      h.response().body(),
      "<script Language=javaScript>alert('请求错误！');history.go(-1);</script></body></html>");
  expectEnded(z);
}

TEST_F(MsgTest, Msg1LeavesTheRequestRunning) {
  zurva z;
  EXPECT_FALSE(stopsTheCaller([&] { z.Msg1("请先登录", "login.html"); }));
  EXPECT_EQ(h.response().body(),
            "<script "
            "Language=javaScript>alert('请先登录');top.window.location.href='login.html';</script>"
            "</body></html>next statement");
  EXPECT_FALSE(h.response().ended());
}

TEST_F(MsgTest, MsgOutModes) {
  const std::string head =
      "<html><meta http-equiv=Content-Type content=text/html; "
      "charset=gb2312><head><title>已保存</title></head>";
  const struct {
    int mode;
    std::string body;
  } cases[] = {
      {1, head + "<SCRIPT LANGUAGE=javascript>alert('已保存 "
                 "');this.location.href='javascript:history.back(1)';</SCRIPT></html>"},
      {2, head + "<SCRIPT LANGUAGE=javascript>alert('已保存 "
                 "');window.open('list.asp','_self');</SCRIPT></html>"},
      {3, head + "<body><BR><BR>&nbsp;&nbsp;<font color='#FF0000' style='font-size: "
                 "9pt'>已保存</FONT><BR><BR>"
                 "<p align=center><input type=button value='返回' "
                 "onclick=\"history.back()\"></p></body></html>"},
      {4, head + "<body><BR><BR>&nbsp;&nbsp;<font color='#FF0000' style='font-size: "
                 "9pt'>已保存</FONT><BR><BR>"
                 "<p align=center><input type=button value='返回' "
                 "onclick=\"window.open('list.asp','_self')\"></p>"
                 "</body></html>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    h.nextRequest();
    zurva z;
    EXPECT_TRUE(stopsTheCaller([&] { z.MsgOut("已保存", "list.asp", c.mode); }));
    EXPECT_EQ(h.response().body(), c.body);
    expectEnded(z);
  }
}

TEST_F(MsgTest, MsgOutOtherModesDoNothing) {
  zurva z;
  for (const Variant& mode : {Variant(5), Variant(0), Variant()}) {
    EXPECT_FALSE(stopsTheCaller([&] { z.MsgOut("x", "y", mode); }));
  }
  EXPECT_EQ(h.response().body(), "next statementnext statementnext statement");
  EXPECT_FALSE(h.response().ended());
}

TEST_F(MsgTest, ZurvaErrorReturnsTheErrorTable) {
  zurva z;
  const std::string table = z.zurva_error("注册失败", "<li>用户名已存在</li>").str();
  EXPECT_EQ(h.response().body(), "");
  EXPECT_FALSE(h.response().ended());
  EXPECT_EQ(
      table,
      R"(<table width="100%" border="0" align="center" cellpadding="0" cellspacing="0">)"
      R"(<tr><td height="26" colspan="3" align="center"><b><font color="#ff6600">注册失败</font></b></td></tr>)"
      R"(<tr><td width="10%"><p></p></td><td style="line-height: 150%"><b>产生错误的可能原因：</b><br>)"
      "<li>用户名已存在</li><br><br>"
      "　　　　　　　　　　　　　　　　<a href=javascript:history.back()>返　回</a>"
      "</td><td></td></tr></table>\r\n");
}

TEST(MsgEscapeTest, HtmlEscape) {
  EXPECT_EQ(htmlEscape(R"(<a href="x">Tom & 'Jerry'</a>)"),
            "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
  EXPECT_EQ(htmlEscape("普通文字 123"), "普通文字 123");
  EXPECT_EQ(htmlEscape(""), "");
}

TEST(MsgEscapeTest, JsEscape) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"普通文字 123", "普通文字 123"},
      {R"(it's "quoted")", R"(it\'s \"quoted\")"},
      {R"(back\slash)", R"(back\\slash)"},
      {"line\r\nbreak", R"(line\r\nbreak)"},
      {"</script><script>alert(1)</script>", R"(<\/script><script>alert(1)<\/script>)"},
      {"a<b", "a<b"},
      {"a\xE2\x80\xA8"
       "b\xE2\x80\xA9",
       R"(a\u2028b\u2029)"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(jsEscape(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace zurvafun

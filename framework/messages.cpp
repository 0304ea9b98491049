// The message pages: the alert or message box that refuses a request (Msg),
// the alert with a top-frame redirect (Msg1), the small complete message page
// (MsgOut) and the error table of the registration messages (zurva_error).
// Texts and URLs are written as the caller gives them.
#include "framework/zurva.h"

namespace zurvafun {

namespace {

// The alert script that opens every alert form: alert('text'); then `action`.
std::string alertScript(const Variant& text, std::string_view action) {
  return "<script Language=javaScript>alert('" + text.str() + "');" + std::string(action) +
         "</script>";
}

// The alert script followed by the end of the page.
std::string alertPage(const Variant& text, std::string_view action) {
  return alertScript(text, action) + "</body></html>";
}

// The centred message box: the picture, the message, and `buttonCell` (the
// content of the bottom row's cell, closed by the caller or not), one line
// after another, each ended by CR LF.
std::string messageBox(const Variant& v, const std::string& buttonCell) {
  const std::string spacerRow = R"(<tr><td colspan="2">&nbsp;</td></tr>)";
  const std::string lines[] = {
      R"(<table width="500" height="300" border="0" align="center" cellpadding="0" cellspacing="0">)",
      R"(<tr><td colspan="3">&nbsp;</td></tr>)",
      R"(<tr><td width="45">&nbsp;</td><td width="419">)",
      R"(<table width="90%" border="0" align="center" cellpadding="0" cellspacing="0">)",
      R"(<tr><td width="26%"><img src="/images/erro/cc.jpg" width="109" height="82"></td>)"
      R"(<td width="74%" style="WORD-BREAK: break-all; WORD-WRAP: break-word">)" +
          v.str() + "</td></tr>",
      spacerRow,
      spacerRow,
      R"(<tr><td colspan="2" align="center">)" + buttonCell + "</tr>",
      "</table>",
      R"(</td><td width="45">&nbsp;</td></tr>)",
      R"(<tr><td colspan="3">&nbsp;</td></tr>)",
      "</table>",
  };
  std::string box;
  for (const std::string& line : lines) box += line + "\r\n";
  return box;
}

// The back button of the box: one step back by `gourl`.
std::string backButton(const Variant& gourl) {
  return R"html(<img src="/images/erro/fh.jpg" width="90" height="31" style="cursor:pointer" onclick="history.go()html" +
         gourl.str() + R"html()"></td>)html";
}

constexpr std::string_view kCloseButton =
    R"html(<img src="/images/erro/close.jpg" width="90" height="31" style="cursor:pointer" onclick="window.close()"></td>)html";

// The countdown row of a box that goes to `gourl`; its cell stays unclosed.
std::string countdown(const Variant& gourl) {
  return "页面将在5秒后自动跳转/<a href=" + gourl.str() + ">" + "手动跳转</a>";
}

}  // namespace

void zurva::Msg(const Variant& v, const Variant& gourl, const Variant& msgtype) {
  logged([&] {
    const std::string goBackTwice = alertPage(v, "history.go(-1);history.go(-1);");
    const std::string goToUrl = alertPage(v, "window.location.href='" + gourl.str() + "';");
    if (eq(msgtype, 1)) {
      if (eq(gourl, "-1")) {
        Response().Write(alertPage(v, "history.go(" + gourl.str() + ");"));
      } else if (eq(gourl, "-2")) {
        Response().Write(alertScript(v, "window.close();"));
      } else if (eq(gourl, "-10")) {
        Response().Write(goBackTwice);
      } else {
        Response().Write(goToUrl);
      }
    } else {
      if (eq(gourl, "-1")) {
        Response().Write(messageBox(v, backButton(gourl)));
      } else if (eq(gourl, "-2")) {
        Response().Write(messageBox(v, std::string(kCloseButton)));
      } else if (eq(gourl, "-10")) {
        Response().Write(goBackTwice);
      } else {
        // The refresh and the countdown serve browsers without script.
        Response().Write("<meta http-equiv='refresh'content='5;URL=" + gourl.str() +
                         "; charset=gb2312'>");
        Response().Write(messageBox(v, countdown(gourl)));
        Response().Write(goToUrl);
      }
    }
    Response().End();
    raiseRequestEnd();
  });
}

void zurva::Msg1(const Variant& v, const Variant& gourl) {
  logged([&] {
    Response().Write(alertPage(v, "top.window.location.href='" + gourl.str() + "';"));
  });
}

void zurva::MsgOut(const Variant& Msg, const Variant& href, const Variant& mode) {
  logged([&] {
    if (!(eq(mode, 1) || eq(mode, 2) || eq(mode, 3) || eq(mode, 4))) return;
    Response().Write("<html><meta http-equiv=Content-Type content=text/html; charset=gb2312>");
    Response().Write("<head><title>" + Msg.str() + "</title></head>");
    // Modes 3 and 4: the message in red and a button that goes back or to `href`.
    const auto messageWithButton = [&](const std::string& onclick) {
      return "<body><BR><BR>&nbsp;&nbsp;<font color='#FF0000' style='font-size: 9pt'>" + Msg.str() +
             "</FONT><BR><BR>" + "<p align=center><input type=button value='返回' onclick=\"" +
             onclick + "\"></p></body></html>";
    };
    if (eq(mode, 1))
      Response().Write("<SCRIPT LANGUAGE=javascript>alert('" + Msg.str() +
                       " ');this.location.href='javascript:history.back(1)';</SCRIPT></html>");
    else if (eq(mode, 2))
      Response().Write("<SCRIPT LANGUAGE=javascript>alert('" + Msg.str() + " ');window.open('" +
                       href.str() + "','_self');</SCRIPT></html>");
    else if (eq(mode, 3))
      Response().Write(messageWithButton("history.back()"));
    else
      Response().Write(messageWithButton("window.open('" + href.str() + "','_self')"));
    Response().End();
    raiseRequestEnd();
  });
}

Variant zurva::zurva_error(const Variant& AspToDll_Str, const Variant& errmsg) {
  return logged([&](Variant& result) {
    result =
        R"(<table width="100%" border="0" align="center" cellpadding="0" cellspacing="0">)"
        R"(<tr><td height="26" colspan="3" align="center"><b><font color="#ff6600">)" +
        AspToDll_Str.str() +
        R"(</font></b></td></tr>)"
        R"(<tr><td width="10%"><p></p></td><td style="line-height: 150%"><b>产生错误的可能原因：</b><br>)" +
        errmsg.str() +
        "<br><br>　　　　　　　　　　　　　　　　<a href=javascript:history.back()>返　回</a>"
        "</td><td></td></tr></table>\r\n";
  });
}

}  // namespace zurvafun

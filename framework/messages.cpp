// The message pages: the alert or message box that refuses a request (Msg),
// the alert with a top-frame redirect (Msg1), the small complete message page
// (MsgOut) and the error table of the registration messages (zurva_error).
// Texts and URLs are written as the caller gives them.
#include "framework/html.h"
#include "framework/zurva.h"

namespace zurvafun {

namespace {

using html::trusted;

// The alert script that opens every alert form, then `action`.
constexpr html::Fragment kAlert = "<script Language=javaScript>alert('{{text}}');{{action}}</script>";
// The same followed by the end of the page.
constexpr html::Fragment kAlertPage =
    "<script Language=javaScript>alert('{{text}}');{{action}}</script></body></html>";

html::Html alertPage(const Variant& text, const html::Html& action) {
  return kAlertPage({{"text", trusted(text)}, {"action", action}});
}

// The centred message box: the picture, the message and the bottom row's
// cell (closed by the button, or left open by the countdown), one line after
// another, each ended by CR LF.
constexpr html::Fragment kMessageBox =
    R"(<table width="500" height="300" border="0" align="center" cellpadding="0" cellspacing="0">)"
    "\r\n"
    R"(<tr><td colspan="3">&nbsp;</td></tr>)"
    "\r\n"
    R"(<tr><td width="45">&nbsp;</td><td width="419">)"
    "\r\n"
    R"(<table width="90%" border="0" align="center" cellpadding="0" cellspacing="0">)"
    "\r\n"
    R"(<tr><td width="26%"><img src="/images/erro/cc.jpg" width="109" height="82"></td>)"
    R"(<td width="74%" style="WORD-BREAK: break-all; WORD-WRAP: break-word">{{message}}</td></tr>)"
    "\r\n"
    R"(<tr><td colspan="2">&nbsp;</td></tr>)"
    "\r\n"
    R"(<tr><td colspan="2">&nbsp;</td></tr>)"
    "\r\n"
    R"(<tr><td colspan="2" align="center">{{button}}</tr>)"
    "\r\n"
    "</table>\r\n"
    R"(</td><td width="45">&nbsp;</td></tr>)"
    "\r\n"
    R"(<tr><td colspan="3">&nbsp;</td></tr>)"
    "\r\n"
    "</table>\r\n";

html::Html messageBox(const Variant& v, const html::Html& button) {
  return kMessageBox({{"message", trusted(v)}, {"button", button}});
}

// The back button of the box: one step back by `gourl`.
constexpr html::Fragment kBackButton =
    R"(<img src="/images/erro/fh.jpg" width="90" height="31" style="cursor:pointer" )"
    R"html(onclick="history.go({{steps}})"></td>)html";

constexpr html::Fragment kCloseButton =
    R"(<img src="/images/erro/close.jpg" width="90" height="31" style="cursor:pointer" )"
    R"html(onclick="window.close()"></td>)html";

// The countdown row of a box that goes to the URL; its cell stays unclosed.
constexpr html::Fragment kCountdown = "页面将在5秒后自动跳转/<a href={{url}}>手动跳转</a>";

constexpr html::Fragment kRefresh = "<meta http-equiv='refresh'content='5;URL={{url}}; charset=gb2312'>";

constexpr html::Fragment kMessagePageHead =
    "<html><meta http-equiv=Content-Type content=text/html; charset=gb2312>"
    "<head><title>{{message}}</title></head>";

// Modes 3 and 4 of MsgOut: the message in red and a button.
constexpr html::Fragment kMessageWithButton =
    "<body><BR><BR>&nbsp;&nbsp;<font color='#FF0000' style='font-size: 9pt'>{{message}}"
    "</FONT><BR><BR><p align=center><input type=button value='返回' onclick=\"{{onclick}}\">"
    "</p></body></html>";

constexpr html::Fragment kAlertBack =
    "<SCRIPT LANGUAGE=javascript>alert('{{message}} ');"
    "this.location.href='javascript:history.back(1)';</SCRIPT></html>";
constexpr html::Fragment kAlertOpen =
    "<SCRIPT LANGUAGE=javascript>alert('{{message}} ');window.open('{{url}}','_self');"
    "</SCRIPT></html>";

constexpr html::Fragment kErrorTable =
    R"(<table width="100%" border="0" align="center" cellpadding="0" cellspacing="0">)"
    R"(<tr><td height="26" colspan="3" align="center"><b><font color="#ff6600">{{title}})"
    R"(</font></b></td></tr>)"
    R"(<tr><td width="10%"><p></p></td><td style="line-height: 150%"><b>产生错误的可能原因：</b><br>)"
    "{{causes}}<br><br>　　　　　　　　　　　　　　　　<a href=javascript:history.back()>返　回</a>"
    "</td><td></td></tr></table>\r\n";

}  // namespace

void zurva::Msg(const Variant& v, const Variant& gourl, const Variant& msgtype) {
  logged([&] {
    const html::Html goBackTwice = alertPage(v, trusted("history.go(-1);history.go(-1);"));
    const html::Html goToUrl = alertPage(v, trusted("window.location.href='" + gourl.str() + "';"));
    if (eq(msgtype, 1)) {
      if (eq(gourl, "-1")) {
        Response().Write(alertPage(v, trusted("history.go(" + gourl.str() + ");")));
      } else if (eq(gourl, "-2")) {
        Response().Write(kAlert({{"text", trusted(v)}, {"action", trusted("window.close();")}}));
      } else if (eq(gourl, "-10")) {
        Response().Write(goBackTwice);
      } else {
        Response().Write(goToUrl);
      }
    } else {
      if (eq(gourl, "-1")) {
        Response().Write(messageBox(v, kBackButton({{"steps", trusted(gourl)}})));
      } else if (eq(gourl, "-2")) {
        Response().Write(messageBox(v, kCloseButton()));
      } else if (eq(gourl, "-10")) {
        Response().Write(goBackTwice);
      } else {
        // The refresh and the countdown serve browsers without script.
        Response().Write(kRefresh({{"url", trusted(gourl)}}));
        Response().Write(messageBox(v, kCountdown({{"url", trusted(gourl)}})));
        Response().Write(goToUrl);
      }
    }
    Response().End();
    raiseRequestEnd();
  });
}

void zurva::Msg1(const Variant& v, const Variant& gourl) {
  logged([&] {
    Response().Write(alertPage(v, trusted("top.window.location.href='" + gourl.str() + "';")));
  });
}

void zurva::MsgOut(const Variant& Msg, const Variant& href, const Variant& mode) {
  logged([&] {
    if (!(eq(mode, 1) || eq(mode, 2) || eq(mode, 3) || eq(mode, 4))) return;
    Response().Write(kMessagePageHead({{"message", trusted(Msg)}}));
    if (eq(mode, 1)) {
      Response().Write(kAlertBack({{"message", trusted(Msg)}}));
    } else if (eq(mode, 2)) {
      Response().Write(kAlertOpen({{"message", trusted(Msg)}, {"url", trusted(href)}}));
    } else {
      const std::string onclick =
          eq(mode, 3) ? "history.back()" : "window.open('" + href.str() + "','_self')";
      Response().Write(
          kMessageWithButton({{"message", trusted(Msg)}, {"onclick", trusted(onclick)}}));
    }
    Response().End();
    raiseRequestEnd();
  });
}

Variant zurva::zurva_error(const Variant& AspToDll_Str, const Variant& errmsg) {
  return logged([&](Variant& result) {
    result = kErrorTable({{"title", trusted(AspToDll_Str)}, {"causes", trusted(errmsg)}}).str();
  });
}

}  // namespace zurvafun

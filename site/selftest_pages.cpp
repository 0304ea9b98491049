// Pages for the host's end-to-end tests, registered only when the
// configuration sets "self_test_pages". Their output is plain lines that the
// tests read back. They live with the site because one of them runs the
// component inside the host.
#include <chrono>
#include <stdexcept>
#include <thread>

#include "framework/viewer.h"
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "site/pages.h"

namespace zurvafun::site {

namespace {

void line(host::Response& out, std::string_view tag, std::string_view key, const Variant& value) {
  out.Write(tag);
  out.Write(key);
  out.Write("=");
  out.Write(value);
  out.Write("\n");
}

// Every value that arrived: "Q key=value" (query string), "F" (form), "C"
// (cookies: the whole text, then "C name.subkey=value"), "V" (server
// variables), and the raw texts "RQ" and "RF".
void echo(serve::PageContext& p) {
  const host::Request& r = p.Request;
  for (const std::string& key : r.QueryString.keys()) line(p.Response, "Q ", key, r.QueryString(key));
  for (const std::string& key : r.Form.keys()) line(p.Response, "F ", key, r.Form(key));
  for (const std::string& name : r.Cookies.names()) {
    const host::RequestCookie& cookie = r.Cookies(name);
    line(p.Response, "C ", name, cookie());
    for (const auto& [key, value] : cookie.keys().items()) line(p.Response, "C ", name + "." + key, value);
  }
  for (const std::string& key : r.ServerVariables.keys()) line(p.Response, "V ", key, r.ServerVariables(key));
  line(p.Response, "RQ", "", r.QueryString());
  line(p.Response, "RF", "", r.Form());
}

}  // namespace

void registerSelfTestPages(serve::PageRegistry& pages) {
  pages.add("/selftest/echo.asp", echo);

  // Text in and beyond GBK: the response bytes are GBK, "😀" a reference.
  pages.add("/selftest/text.asp", [](serve::PageContext& p) { p.Response.Write("中文😀"); });

  // The member cookie with sub-keys and a plain cookie.
  pages.add("/selftest/setcookie.asp", [](serve::PageContext& p) {
    host::ResponseCookie& member = p.Response.Cookies(kMemberCookie);
    member("userid") = p.Request.QueryString("userid");
    member("nickname") = "演示一号";
    member("grade") = "3";
    member.Path = "/";
    member.Expires = DateAdd("d", 31, Now());
    p.Response.Cookies("plain") = "值 1";
    p.Response.Write("ok");
  });

  // A session value: ?set=v stores it; every call shows it.
  pages.add("/selftest/session.asp", [](serve::PageContext& p) {
    const Variant set = p.Request.QueryString("set");
    if (!set.isEmpty()) p.Session.set("v", set);
    p.Response.Write(cat("v=", p.Session("v")));
  });

  // A slow read-modify-write of a session counter: concurrent requests of one
  // session add up only when they run one after the other.
  pages.add("/selftest/count.asp", [](serve::PageContext& p) {
    const long n = CLng(p.Session("n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    p.Session.set("n", Variant(n + 1));
    p.Response.Write(cat("n=", p.Session("n")));
  });

  pages.add("/selftest/fail.asp", [](serve::PageContext& p) {
    p.Response.Write("partial");
    throw std::runtime_error("self-test page failed");
  });

  pages.add("/selftest/end.asp", [](serve::PageContext& p) {
    p.Response.Write("before");
    p.Response.End();
    raiseRequestEnd();
  });

  pages.add("/selftest/redirect.asp", [](serve::PageContext& p) { p.Response.Redirect("/selftest/echo.asp?city=北京"); });

  pages.add("/selftest/expires.asp", [](serve::PageContext& p) {
    p.Response.Expires = -1;
    p.Response.CacheControl = "no-cache";
    p.Response.Write("x");
  });

  // The component inside the host: creation runs the input filter, and
  // showurl reads the link mode from the application values.
  pages.add("/selftest/component.asp", [](serve::PageContext& p) {
    zurva z;
    Variant url = "userinfo.asp?id=25";
    p.Response.Write(z.showurl(url));
  });
}

}  // namespace zurvafun::site

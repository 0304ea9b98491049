// Request guards: the no-cache headers, the referrer check, the refresh-flood
// guard, the numeric guard on request values, the e-mail syntax test and the
// current page's address.
#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// Pages guarded against refresh floods, after the leading "|".
constexpr std::string_view kReflashPages = "|Article_one.asp";
// Seconds that must pass between two accepted views of a guarded page.
constexpr long kReflashSeconds = 50;

constexpr std::string_view kEmailCharacters = "abcdefghijklmnopqrstuvwxyz_-.";

}  // namespace

void zurva::clearcookies() {
  logged([&] {
    Response().Expires = -1;
    Response().ExpiresAbsolute = Variant::date(clockNow() - 1);
    Response().CacheControl = "no-cache";
  });
}

Variant zurva::ChkPost() {
  return logged([&](Variant& result) {
    // The referrer's text right after "http://" (or "https://", for a site
    // served over TLS) must be this server's name, and the name must end
    // there: a host whose name merely begins with ours
    // (www.example.cn.evil.org) is another server.
    const std::string referer = Request().ServerVariables("HTTP_REFERER").str();
    const std::string server = Request().ServerVariables("SERVER_NAME").str();
    const long start = Left(referer, 8) == "https://" ? 9 : 8;
    const std::string next = Mid(referer, start + Len(server), 1);
    const bool nameEnds = next.empty() || next == "/" || next == ":" || next == "?" || next == "#";
    result = !referer.empty() && Mid(referer, start, Len(server)) == server && nameEnds;
  });
}

void zurva::chkpostfrom() {
  logged([&] {
    if (CBool(ChkPost())) return;
    Response().Write("<Script language=JavaScript>alert('错误或非法操作！')</Script>");
    Response().Write("<Script language=JavaScript>window.opener=null;window.close();</Script>");
    Response().End();
    raiseRequestEnd();
  });
}

void zurva::chkreflash() {
  logged([&] {
    const std::string path = LCase(Request().ServerVariables("PATH_INFO").str());
    const std::vector<std::string> guarded = Split(kReflashPages, "|");
    bool isGuarded = false;
    for (size_t i = 1; i < guarded.size(); ++i)
      if (InStr(path, LCase(guarded[i])) > 0) isGuarded = true;
    if (!isGuarded) return;

    // A session that never stored the time counts from the empty date, so its
    // first view is accepted. A refused view does not move the time.
    const Variant last = Session()("ReflashTime");
    if (!last.isNull() && DateDiff("s", last, Now()) < kReflashSeconds)
      Msg("警告！系统已记录您的IP，和刷新次数。\\n\\n请不要在" + std::to_string(kReflashSeconds) +
              "秒内连续刷新本页面！",
          "-1", 2);
    Session().set("ReflashTime", Now());
  });
}

Variant zurva::pages(const Variant& AspToDll_Str) {
  return logged([&](Variant& result) {
    if (!IsNumeric(AspToDll_Str) || Len(AspToDll_Str.str()) > 15) Msg("请求错误！", "-1", 1);
    result = true;
  });
}

Variant zurva::IsValidEmail(const Variant& email) {
  return logged([&](Variant& result) {
    // Decided in full before the result is set: an address that cannot be
    // read as text (a failure, logged) is never reported valid.
    result = [&] {
      const std::string address = CStr(email);
      const std::vector<std::string> parts = Split(address, "@");
      if (parts.size() != 2) return false;
      for (const std::string& part : parts) {
        if (Len(part) <= 0) return false;
        for (long i = 1; i <= Len(part); ++i) {
          const std::string c = LCase(Mid(part, i, 1));
          if (InStr(kEmailCharacters, c) <= 0 && !IsNumeric(Variant(c))) return false;
        }
        if (Left(part, 1) == "." || Right(part, 1) == ".") return false;
      }
      const std::string& domain = parts[1];
      if (InStr(domain, ".") <= 0) return false;
      const long suffix = Len(domain) - InStrRev(domain, ".");
      if (suffix != 2 && suffix != 3) return false;
      return InStr(address, "..") <= 0;
    }();
  });
}

Variant zurva::Backurl() {
  return logged([&](Variant& result) {
    const host::ValueCollection& server = Request().ServerVariables;
    std::string url = "http://" + server("SERVER_NAME").str() + server("URL").str();
    if (!server("QUERY_STRING").str().empty()) url += "?" + server("QUERY_STRING").str();
    result = url;
  });
}

void zurva::LastNextPage(const Variant& /*pagecount*/, const Variant& /*page*/,
                         const Variant& /*table_style*/, const Variant& /*font_style*/) {
  logged([] {});
}

}  // namespace zurvafun

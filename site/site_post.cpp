#include "site/site_post.h"

#include "framework/escape.h"
#include "framework/html.h"
#include "framework/zurva.h"
#include "host/collection.h"
#include "runtime/error.h"
#include "site/site_page.h"

namespace zurvafun::site {

namespace {

// The host name of an http or https address, without its port
// ("http://Example.cn:8080/a" gives "Example.cn", "http://[::1]:80/" gives
// "[::1]"); "" for any other text.
std::string hostOf(std::string_view url) {
  std::string_view rest;
  for (std::string_view scheme : {"http://", "https://"})
    if (url.size() > scheme.size() && host::sameKey(url.substr(0, scheme.size()), scheme))
      rest = url.substr(scheme.size());
  rest = rest.substr(0, rest.find_first_of("/?#"));
  // Credentials in the address: no browser sends them.
  if (rest.find('@') != std::string_view::npos) return {};
  if (rest.starts_with('[')) {
    const size_t close = rest.find(']');
    return close == std::string_view::npos ? std::string() : std::string(rest.substr(0, close + 1));
  }
  return std::string(rest.substr(0, rest.find(':')));
}

bool isPost(const serve::PageContext& p) {
  return eq(p.Request.ServerVariables("REQUEST_METHOD"), "POST");
}

// The input filter refused the request when the component was created: its
// message stands, and the page goes no further.
void stopWhenFiltered(const serve::PageContext& p) {
  if (p.Response.ended()) raiseRequestEnd();
}

constexpr html::Fragment kConfirmForm =
    R"(    <form method="post" action="{{action}}"><input type="submit" value="确定">{{cancel}}</form>
)";
constexpr html::Fragment kPostButton =
    R"(<form class="linkform" method="post" action="{{action}}"{{ask}}><button type="submit" class="linkbutton">{{text}}</button></form>)";
// The question stands in a script string inside an attribute: escaped for
// the script here, for the attribute by the slot.
constexpr html::Fragment kAskFirst = R"( onsubmit="return confirm('{{question}}');")";

}  // namespace

bool fromThisSite(const serve::PageContext& p) {
  const std::string origin = p.Request.ServerVariables("HTTP_ORIGIN").str();
  const std::string from =
      hostOf(origin.empty() ? p.Request.ServerVariables("HTTP_REFERER").str() : origin);
  return !from.empty() && host::sameKey(from, p.Request.ServerVariables("SERVER_NAME").str());
}

void requireSitePost(zurva& z, serve::PageContext& p) {
  stopWhenFiltered(p);
  const bool post = isPost(p);
  if (post && fromThisSite(p)) return;
  p.Response.Status = post ? 403 : 405;
  if (!post) p.Response.AddHeader("Allow", "POST");
  z.Msg("错误或非法操作！", "-1", 1);
}

bool postedToAct(zurva& z, serve::PageContext& p) {
  if (!isPost(p)) return false;
  requireSitePost(z, p);
  return true;
}

void confirmBeforeActing(zurva& z, serve::PageContext& p, const Confirmation& ask) {
  if (isPost(p)) return requireSitePost(z, p);
  stopWhenFiltered(p);
  const std::string query = p.Request.QueryString.text();
  const std::string self =
      p.Request.ServerVariables("SCRIPT_NAME").str() + (query.empty() ? "" : "?" + query);
  SitePage page(z, p, {.title = ask.title, .frame = ask.frame});
  page.note(ask.question);
  // A window has its own way to close; a page goes back.
  const std::string_view cancel =
      ask.frame == Frame::Page
          ? " <input type=\"button\" value=\"取消\" onclick=\"history.back();\">"
          : "";
  p.Response.Write(kConfirmForm({{"action", self}, {"cancel", html::trusted(cancel)}}));
  page.end();
  p.Response.End();
  raiseRequestEnd();
}

std::string postButton(zurva& z, std::string_view path, std::string_view text,
                       std::string_view confirm) {
  return kPostButton({{"action", siteLink(z, path)},
                      {"ask", confirm.empty() ? html::Html()
                                              : kAskFirst({{"question", jsEscape(confirm)}})},
                      {"text", html::trusted(text)}})
      .str();
}

}  // namespace zurvafun::site

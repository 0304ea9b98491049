// The link scheme: showurl writes a link in the shape of the site's URL mode,
// showsqlurl expands the link placeholders of a stored text, replace_skins
// and showskins handle skin placeholders. Every search and replacement is
// case-sensitive.
#include "framework/links.h"

#include "framework/site_settings.h"
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

constexpr std::string_view kScriptTail = "this.options";

bool holds(std::string_view text, std::string_view find) { return InStr(text, find) > 0; }

// Whether a query item stays in the cleaned link: it needs a name and a value
// around its "=", unless its value is a script tail (for an item without "="
// the whole item counts as its value).
bool keepItem(const std::string& queryItem) {
  const long firstEquals = InStr(queryItem, "=");
  const std::string value =
      firstEquals > 0 ? Mid(queryItem, InStrRev(queryItem, "=") + 1) : queryItem;
  if (holds(value, kScriptTail)) return true;
  return firstEquals > 1 && !value.empty();
}

// The static form of a cleaned link `path`?`query` with at least one item.
std::string staticForm(const std::string& cleaned, const std::string& path,
                       const std::string& query) {
  if (!holds(query, "&")) {
    // One parameter: key_value_page.html, without the directory.
    const std::string parameter = Replace(query, "=", "_");
    const std::string page = Mid(path, InStrRev(path, "/") + 1);
    // A script tail stands inside a single-quoted script string that the
    // link's "'+" has closed: open a new string after the expression and
    // close it after the page name.
    if (holds(cleaned, kScriptTail)) return parameter + "+'_" + Replace(page, ".asp", ".html'");
    return parameter + "_" + Replace(page, ".asp", ".html");
  }
  // Several parameters: dir/page_key_value_key_value.html.
  std::string result = Replace(Replace(Replace(cleaned, ".asp?", "_"), "=", "_"), "&", "_");
  // A script tail at the end leaves the script outside its string; ".html"
  // then goes into a new string, as in the one-parameter form.
  const std::string lastItem = Mid(query, InStrRev(query, "&") + 1);
  if (holds(lastItem, kScriptTail)) return result + "+'.html'";
  return result + ".html";
}

}  // namespace

Variant zurva::showurl(Variant& url) {
  return logged([&](Variant& result) {
    const int mode = siteSettings(Application())->urlMode();
    const std::string link = url.str();

    const bool asp = holds(link, ".asp");
    if ((!asp && !holds(link, ".html")) || link == "zurva_rasult.asp" ||
        link == "zurva_rasult.html") {
      result = url;
      return;
    }
    if (!asp) {
      result = mode == 1 ? url : Variant(staticLinkToDynamic(link));
      return;
    }
    if (mode != 1) {
      result = url;
      return;
    }
    if (!holds(link, "?")) {
      result = Replace(link, ".asp", ".html");
      return;
    }

    // Query cleaning: the path before the first "?", the query after the
    // last; items without a name or a value go.
    const std::string path = Left(link, InStr(link, "?") - 1);
    const std::string query = Mid(link, InStrRev(link, "?") + 1);
    std::vector<std::string> items = holds(query, "&") ? Split(query, "&") : std::vector{query};
    std::erase_if(items, [](const std::string& i) { return !keepItem(i); });
    if (items.empty()) {
      url = path;
      result = Replace(path, ".asp", ".html");
      return;
    }
    const std::string cleanedQuery = Join(items, "&");
    const std::string cleaned = path + "?" + cleanedQuery;
    url = cleaned;
    result = staticForm(cleaned, path, cleanedQuery);
  });
}

Variant zurva::showsqlurl(const Variant& url1) {
  return untrapped([&] {
    if (eq(url1, kSiteHostName)) return Variant("");
    std::vector<std::string> pieces = Split(CStr(url1), "{$");
    for (size_t i = 1; i < pieces.size(); ++i) {
      std::string& piece = pieces[i];
      // A "{$" with nothing after it has no link: it leaves nothing.
      if (piece.empty()) continue;
      const std::vector<std::string> parts = Split(piece, "$}");
      // showurl may rewrite its argument; the copy handed to it is discarded.
      Variant link = holds(piece, "$}") ? parts[0] : piece;
      const std::string rest = parts.size() > 1 ? parts[1] : "";
      piece = showurl(link).str() + rest;
    }
    return Variant(Join(pieces, ""));
  });}

Variant zurva::replace_skins(Variant& skins) {
  return untrapped([&] {
    std::string text = CStr(skins);
    if (Left(text, 2) == "{$") text = "&nbsp;" + text;
    text = Replace(text, "$}{$", "$}&nbsp;{$");
    if (Right(text, 2) == "$}") text += "&nbsp;";
    skins = text;
    return skins;
  });}

Variant zurva::showskins(const Variant& skins, const Variant& /*SqlLocalName*/,
                         const Variant& /*SqlUserName*/, const Variant& /*SqlPassword*/,
                         const Variant& /*SqlDatabaseName*/) {
  return untrapped([&] {
    return skins;
  });}

}  // namespace zurvafun

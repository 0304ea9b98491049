// The link scheme: showurl writes a link in the shape of the site's URL mode,
// showsqlurl expands the link placeholders of a stored text, replace_skins
// and showskins handle skin placeholders. Every search and replacement is
// case-sensitive.
#include "framework/links.h"

#include <algorithm>

#include "framework/site_settings.h"
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

constexpr std::string_view kScriptTail = "this.options";

// The searches below look for ASCII text only, which never matches inside a
// character: byte positions stand for the character positions the text
// functions would give.
bool holds(std::string_view text, std::string_view find) { return text.find(find) != std::string_view::npos; }

// `text` with every `find` (ASCII, not empty) replaced by `with`, left to right.
std::string replaced(std::string_view text, std::string_view find, std::string_view with) {
  std::string out;
  out.reserve(text.size() + with.size());
  size_t done = 0;
  for (size_t at = text.find(find); at != std::string_view::npos; at = text.find(find, done)) {
    out.append(text, done, at - done).append(with);
    done = at + find.size();
  }
  return out.append(text, done);
}

// The text after the last `c` (all of it when there is none).
std::string_view afterLast(std::string_view text, char c) {
  const size_t at = text.rfind(c);
  return at == std::string_view::npos ? text : text.substr(at + 1);
}

// Whether a query item stays in the cleaned link: it needs a name and a value
// around its "=", unless its value is a script tail (for an item without "="
// the whole item counts as its value).
bool keepItem(std::string_view queryItem) {
  const size_t firstEquals = queryItem.find('=');
  const std::string_view value = firstEquals == std::string_view::npos ? queryItem : afterLast(queryItem, '=');
  if (holds(value, kScriptTail)) return true;
  return firstEquals != std::string_view::npos && firstEquals > 0 && !value.empty();
}

// The static form of a cleaned link `path`?`query` with at least one item.
std::string staticForm(std::string_view cleaned, std::string_view path, std::string_view query) {
  if (!holds(query, "&")) {
    // One parameter: key_value_page.html, without the directory.
    std::string result(query);
    std::replace(result.begin(), result.end(), '=', '_');
    const std::string_view page = afterLast(path, '/');
    // A script tail stands inside a single-quoted script string that the
    // link's "'+" has closed: open a new string after the expression and
    // close it after the page name.
    const bool tail = holds(cleaned, kScriptTail);
    result += tail ? "+'_" : "_";
    return result += replaced(page, ".asp", tail ? ".html'" : ".html");
  }
  // Several parameters: dir/page_key_value_key_value.html: ".asp?" (which
  // stands only where the path meets the query: neither holds a "?"), "="
  // and "&" become "_".
  std::string result;
  result.reserve(cleaned.size() + 8);
  for (size_t done = 0;;) {
    const size_t at = cleaned.find(".asp?", done);
    for (size_t i = done; i < std::min(at, cleaned.size()); ++i)
      result += cleaned[i] == '=' || cleaned[i] == '&' ? '_' : cleaned[i];
    if (at == std::string_view::npos) break;
    result += '_';
    done = at + 5;
  }
  // A script tail at the end leaves the script outside its string; ".html"
  // then goes into a new string, as in the one-parameter form.
  return result += holds(afterLast(query, '&'), kScriptTail) ? "+'.html'" : ".html";
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
      result = replaced(link, ".asp", ".html");
      return;
    }

    // Query cleaning: the path before the first "?", the query after the
    // last; items without a name or a value go.
    const std::string_view whole = link;
    const std::string_view path = whole.substr(0, whole.find('?'));
    const std::string_view query = afterLast(whole, '?');
    std::string cleanedQuery;
    for (size_t start = 0; start <= query.size();) {
      const size_t end = std::min(query.find('&', start), query.size());
      const std::string_view item = query.substr(start, end - start);
      start = end + 1;
      if (!keepItem(item)) continue;  // a kept item is never empty
      if (!cleanedQuery.empty()) cleanedQuery += '&';
      cleanedQuery += item;
    }
    if (cleanedQuery.empty()) {
      url = std::string(path);
      result = replaced(path, ".asp", ".html");
      return;
    }
    std::string cleaned = std::string(path) + "?" + cleanedQuery;
    result = staticForm(cleaned, path, cleanedQuery);
    url = std::move(cleaned);
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
  });
}

Variant zurva::showskins(const Variant& skins, const Variant& /*SqlLocalName*/,
                         const Variant& /*SqlUserName*/, const Variant& /*SqlPassword*/,
                         const Variant& /*SqlDatabaseName*/) {
  return untrapped([&] {
    return skins;
  });
}

html::Html unescapedSiteLink(zurva& z, std::string target) {
  Variant url = std::move(target);
  return html::trusted(z.showurl(url));
}

namespace {

// Stands for the number while the shape's link is made: a control character,
// which no link of the site holds and showurl treats as any other character.
constexpr char kNumberMarker = '\x01';

bool allDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

// Whether the URL mode setting can be read, without a showurl call that
// would log its error.
template <>
struct MethodSteps<SiteLinkShape> {
  static bool urlModeReadable(zurva& z) { return siteSettings(z.Application())->hasUrlMode(); }
};

SiteLinkShape::SiteLinkShape(zurva& z, std::string before, std::string after)
    : z_(&z), before_(std::move(before)), after_(std::move(after)) {
  if (holds(before_, {&kNumberMarker, 1}) || holds(after_, {&kNumberMarker, 1})) return;
  // A setting that cannot be read leaves every link to its own call, which
  // logs the error as it always does.
  if (!MethodSteps<SiteLinkShape>::urlModeReadable(z)) return;
  const std::string link = unescapedSiteLink(z, before_ + kNumberMarker + after_).str();
  const size_t at = link.find(kNumberMarker);
  if (at == std::string::npos || link.find(kNumberMarker, at + 1) != std::string::npos) return;
  around_.emplace(link.substr(0, at), link.substr(at + 1));
}

html::Html SiteLinkShape::operator()(std::string_view number) const {
  if (!around_ || !allDigits(number))
    return unescapedSiteLink(*z_, before_ + std::string(number) + after_);
  std::string link;
  link.reserve(around_->first.size() + number.size() + around_->second.size());
  link.append(around_->first).append(number).append(around_->second);
  return html::trusted(std::move(link));
}

}  // namespace zurvafun

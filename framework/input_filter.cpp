// The SQL keyword input filter run at every creation. The methods build their
// SQL statements as text from request values, so a request whose query-string
// values (or form values) hold one of the keywords is refused before the page
// can call any method.
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

constexpr std::string_view kKeywords =
    "and|exec|insert|select|delete|update|count|chr|mid|master|truncate|char|declare|=or";

// The first keyword, in list order, that occurs anywhere in the lower-cased
// value; nullptr when none does. Plain substring search, no word boundaries.
const std::string* firstKeyword(const std::vector<std::string>& keywords, const Variant& value) {
  const std::string text = LCase(value.str());
  for (const std::string& keyword : keywords)
    if (InStr(text, keyword) > 0) return &keyword;
  return nullptr;
}

// Whether the collection carries any input. Its keys come from its whole text,
// so either tells; asking both keeps a host that fills only one of them from
// slipping past the filter.
bool hasInput(const host::ValueCollection& collection) {
  return !collection.text().empty() || collection.count() > 0;
}

}  // namespace

Variant zurva::ChkSqlInput() {
  // Continue-on-error throughout: without a request context nothing is
  // tested. A refusal writes the message and ends the response; the
  // request-end error stays inside creation, so the procedure just returns
  // (with no result) and every later call on the instance finds the
  // response ended.
  Variant result;
  try {
    const std::vector<std::string> keywords = Split(kKeywords, "|");
    const host::Request& request = Request();

    if (hasInput(request.QueryString)) {
      for (const std::string& key : request.QueryString.keys()) {
        if (firstKeyword(keywords, request.QueryString(key))) {
          Response().Write("请勿输入非法字符！");
          Response().End();
          return result;
        }
      }
    }

    // Uploads and a logged-in administrator post freely; the form collection
    // is not read at all then.
    const bool upload = eq(request.QueryString("act"), "upload");
    const bool administrator = ne(request.Cookies("zurva_admin")("admin_name"), "");
    if (upload || administrator) return Variant(true);

    if (hasInput(request.Form)) {
      for (const std::string& key : request.Form.keys()) {
        if (const std::string* keyword = firstKeyword(keywords, request.Form(key))) {
          Response().Write("请勿输入非法字符！" + *keyword);
          Response().End();
          return result;
        }
      }
    }
    result = true;
  } catch (...) {
  }
  return result;
}

}  // namespace zurvafun

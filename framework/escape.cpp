#include "framework/escape.h"

namespace zurvafun {

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string jsEscape(std::string_view text) {
  // U+2028 and U+2029 in UTF-8: E2 80 A8 and E2 80 A9.
  static constexpr std::string_view lineSeparator = "\xE2\x80\xA8";
  static constexpr std::string_view paragraphSeparator = "\xE2\x80\xA9";
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const std::string_view rest = text.substr(i);
    if (rest.starts_with(lineSeparator) || rest.starts_with(paragraphSeparator)) {
      out += rest[2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
      continue;
    }
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\'': out += "\\'"; break;
      case '"': out += "\\\""; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '<':
        if (rest.starts_with("</")) {
          out += "<\\/";
          ++i;
        } else {
          out += '<';
        }
        break;
      default: out += c;
    }
  }
  return out;
}

std::string sqlQuoted(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

}  // namespace zurvafun

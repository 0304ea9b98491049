// What the site crawl reads in a page: the links, form targets and frame
// sources it holds (with the values its forms would post), where a relative
// link leads, which links act, the shape of a link (for the crawl's bound),
// and whether a body is GB2312 text. Pages are GB2312 bytes; every byte of
// the markup that matters here (< > = " ' /) is ASCII, and no double-byte
// character has an ASCII second byte in GB2312, so the bytes are read as
// they are.
#pragma once

#include <cctype>
#include <cstddef>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zurvafun::e2e::crawl {

// A request the crawl makes: a page (whose links it follows) or a resource
// of a page (a picture, a script, a style sheet: only its answer is checked).
struct Request {
  std::string method = "GET";
  std::string target = {};  // site path with its query, percent-encoded
  std::string body = {};    // the form text of a POST
  bool resource = false;
};

inline std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The HTML character references that links and form values hold.
inline std::string decodeEntities(std::string_view text) {
  static const std::pair<std::string_view, char> kNamed[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&#039;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [name, c] : kNamed) {
        if (text.substr(i, name.size()) == name) {
          out += c;
          i += name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// Bytes as a browser sends them in a URL or a form: letters, digits and
// "-_.*" as they are, a blank as "+" (in form values), the rest as %XX.
inline std::string formEncode(std::string_view bytes) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '*') {
      out += char(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// A link's bytes made fit for a request line: blanks and bytes above 127
// percent-encoded, everything else as written.
inline std::string requestTarget(std::string_view link) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : link) {
    if (c <= ' ' || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += char(c);
    }
  }
  return out;
}

// Where `link` on the page at `page` (a site path, maybe with a query)
// leads: a site path with its query and without its fragment, or
// std::nullopt for a link off the site (another host, another scheme such
// as javascript: or mailto:) or to the page itself by its fragment alone.
// `origin` is "http://127.0.0.1:PORT".
inline std::optional<std::string> resolve(std::string_view page, std::string link, std::string_view origin) {
  auto trim = [](std::string& s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.erase(s.begin());
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  };
  trim(link);
  if (const std::size_t hash = link.find('#'); hash != std::string::npos) link.erase(hash);
  if (link.empty()) return std::nullopt;
  if (link.rfind("//", 0) == 0) return std::nullopt;
  // A scheme: letters, digits, "+-." before the first ":" that comes before
  // any "/", "?".
  const std::size_t colon = link.find(':');
  if (colon != std::string::npos && colon < link.find_first_of("/?")) {
    const std::string scheme = lower(link.substr(0, colon));
    if (scheme != "http" && scheme != "https") return std::nullopt;
    const std::string prefix = std::string(origin) + "/";
    if (link.rfind(prefix, 0) != 0 && link != origin) return std::nullopt;
    link = link.size() > origin.size() ? link.substr(origin.size()) : "/";
  }
  const std::string_view pagePath = page.substr(0, page.find('?'));
  std::string path, query;
  const std::size_t question = link.find('?');
  path = link.substr(0, question);
  if (question != std::string::npos) query = link.substr(question);
  if (path.empty()) {
    path = pagePath;  // "?a=b": the same page with another query
  } else if (path[0] != '/') {
    path = std::string(pagePath.substr(0, pagePath.rfind('/') + 1)) + path;
  }
  // "." and ".." segments, as a browser removes them (".." stops at the root).
  std::vector<std::string> segments;
  std::size_t start = 1;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string segment = path.substr(start, slash - start);
    const bool last = slash == path.size();
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      if (last) segments.emplace_back();
    } else if (segment == ".") {
      if (last) segments.emplace_back();
    } else {
      segments.push_back(segment);
    }
    start = slash + 1;
  }
  std::string normal;
  for (const std::string& segment : segments) normal += "/" + segment;
  if (normal.empty()) normal = "/";
  return normal + query;
}

// The shape of a request: its method, path and query with every encoded
// member id and every number replaced, so that the profiles of two members
// (or two pages of a list) have one shape.
inline std::string shapeOf(const Request& r) {
  static const std::regex token("[0-9]+S[0-9a-f]{16}");
  static const std::regex number("[0-9]+");
  return r.method + " " + std::regex_replace(std::regex_replace(r.target, token, "T"), number, "N");
}

// Links whose following changes what the crawl itself stands on: the
// logouts, the deletes of photos and parties, the withdrawal of a sign-up,
// the decisions on waiting photos. The crawl follows them last.
inline bool acts(const Request& r) {
  static const std::regex pattern(
      R"((^|/)(logout|quit)\.(asp|html)|ifok[=_](del|headdel)|sign[=_]del)", std::regex::icase);
  return std::regex_search(r.target, pattern) ||
         (r.method == "POST" && lower(r.target).rfind("/photocheck.", 0) == 0);
}

// The first byte where `body` is not GB2312 text (ASCII, or a first byte
// A1-F7 followed by a second byte A1-FE), or std::nullopt when it all is.
inline std::optional<std::size_t> firstNonGb2312(std::string_view body) {
  for (std::size_t i = 0; i < body.size(); ++i) {
    const auto c = static_cast<unsigned char>(body[i]);
    if (c < 0x80) continue;
    const auto next = i + 1 < body.size() ? static_cast<unsigned char>(body[i + 1]) : 0;
    if (c < 0xA1 || c > 0xF7 || next < 0xA1 || next > 0xFE) return i;
    ++i;
  }
  return std::nullopt;
}

// A tag of a page: its lower-case name (with "/" for an end tag), its
// attributes (lower-case names, entity-decoded values) and where its text
// after it starts.
struct Tag {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::size_t end = 0;

  const std::string* attribute(const std::string& key) const {
    const auto it = attributes.find(key);
    return it == attributes.end() ? nullptr : &it->second;
  }
};

// The tags of a page in their order; comments and the text of scripts and
// style sheets are skipped.
inline std::vector<Tag> tagsOf(const std::string& html) {
  std::vector<Tag> tags;
  std::size_t i = 0;
  while ((i = html.find('<', i)) != std::string::npos) {
    if (html.compare(i, 4, "<!--") == 0) {
      const std::size_t close = html.find("-->", i + 4);
      if (close == std::string::npos) break;
      i = close + 3;
      continue;
    }
    std::size_t j = i + 1;
    const bool endTag = j < html.size() && html[j] == '/';
    if (endTag) ++j;
    std::size_t nameEnd = j;
    while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) ++nameEnd;
    if (nameEnd == j || !std::isalpha(static_cast<unsigned char>(html[j]))) {
      ++i;
      continue;
    }
    Tag tag;
    tag.name = (endTag ? "/" : "") + lower(std::string_view(html).substr(j, nameEnd - j));
    std::size_t k = nameEnd;
    while (k < html.size() && html[k] != '>') {
      if (std::isspace(static_cast<unsigned char>(html[k])) || html[k] == '/') {
        ++k;
        continue;
      }
      std::size_t keyEnd = k;
      while (keyEnd < html.size() && !std::isspace(static_cast<unsigned char>(html[keyEnd])) && html[keyEnd] != '=' &&
             html[keyEnd] != '>' && html[keyEnd] != '"' && html[keyEnd] != '\'')
        ++keyEnd;
      if (keyEnd == k) {  // a stray quote
        ++k;
        continue;
      }
      const std::string key = lower(std::string_view(html).substr(k, keyEnd - k));
      k = keyEnd;
      while (k < html.size() && std::isspace(static_cast<unsigned char>(html[k]))) ++k;
      std::string value;
      if (k < html.size() && html[k] == '=') {
        ++k;
        while (k < html.size() && std::isspace(static_cast<unsigned char>(html[k]))) ++k;
        if (k < html.size() && (html[k] == '"' || html[k] == '\'')) {
          const std::size_t close = html.find(html[k], k + 1);
          const std::size_t stop = close == std::string::npos ? html.size() : close;
          value = html.substr(k + 1, stop - k - 1);
          k = stop + 1;
        } else {
          const std::size_t start = k;
          while (k < html.size() && !std::isspace(static_cast<unsigned char>(html[k])) && html[k] != '>') ++k;
          value = html.substr(start, k - start);
        }
      }
      tag.attributes.emplace(key, decodeEntities(value));
    }
    tag.end = std::min(k + 1, html.size());
    i = tag.end;
    // The text of a script or a style sheet is not markup ("i<count").
    if (tag.name == "script" || tag.name == "style") {
      const std::size_t close = lower(std::string_view(html).substr(i)).find("</" + tag.name);
      i = close == std::string::npos ? html.size() : i + close;
    }
    tags.push_back(std::move(tag));
  }
  return tags;
}

// The text after a tag up to the next tag.
inline std::string textAfter(const std::string& html, const Tag& tag) {
  const std::size_t next = html.find('<', tag.end);
  return html.substr(tag.end, (next == std::string::npos ? html.size() : next) - tag.end);
}

// What a page leads to: its links, frames and resources, each form's target
// with the values it would post (the form's own values, as a visitor who
// only presses its first button sends them), and the addresses its scripts
// open (window.open, popup, location).
struct Found {
  std::string link;  // as written (entity-decoded)
  Request request;   // method, body and whether it is a resource; target unresolved
};

inline std::vector<Found> linksOf(const std::string& html) {
  std::vector<Found> found;
  const std::vector<Tag> tags = tagsOf(html);
  auto add = [&](const std::string& link, bool resource) {
    found.push_back({link, Request{.resource = resource}});
  };
  for (std::size_t t = 0; t < tags.size(); ++t) {
    const Tag& tag = tags[t];
    if ((tag.name == "a" || tag.name == "area") && tag.attribute("href")) add(*tag.attribute("href"), false);
    if ((tag.name == "frame" || tag.name == "iframe") && tag.attribute("src")) add(*tag.attribute("src"), false);
    if ((tag.name == "img" || tag.name == "script" || (tag.name == "input" && tag.attribute("src"))) &&
        tag.attribute("src"))
      add(*tag.attribute("src"), true);
    if (tag.name == "link" && tag.attribute("href")) add(*tag.attribute("href"), true);
    if (tag.name != "form") continue;

    // The form's fields up to its end.
    std::string fields;
    bool submitted = false;
    auto field = [&](const std::string& name, const std::string& value) {
      fields += (fields.empty() ? "" : "&") + formEncode(name) + "=" + formEncode(value);
    };
    for (std::size_t f = t + 1; f < tags.size() && tags[f].name != "/form" && tags[f].name != "form"; ++f) {
      const Tag& input = tags[f];
      const std::string* name = input.attribute("name");
      if (!name || name->empty()) continue;
      if (input.name == "input") {
        const std::string type = input.attribute("type") ? lower(*input.attribute("type")) : "text";
        const std::string value = input.attribute("value") ? *input.attribute("value") : "";
        if (type == "checkbox" || type == "radio") {
          if (input.attribute("checked")) field(*name, input.attribute("value") ? value : "on");
        } else if (type == "submit") {
          if (!submitted) field(*name, value);
          submitted = true;
        } else if (type != "button" && type != "reset" && type != "image" && type != "file") {
          field(*name, value);
        }
      } else if (input.name == "textarea") {
        field(*name, decodeEntities(textAfter(html, input)));
      } else if (input.name == "select") {
        std::optional<std::string> first, chosen;
        for (std::size_t o = f + 1; o < tags.size() && tags[o].name != "/select" && tags[o].name != "select"; ++o) {
          if (tags[o].name != "option") continue;
          std::string value = tags[o].attribute("value") ? *tags[o].attribute("value") : textAfter(html, tags[o]);
          if (!first) first = value;
          if (tags[o].attribute("selected") && !chosen) chosen = value;
        }
        if (chosen || first) field(*name, chosen ? *chosen : *first);
      }
    }
    const std::string method = tag.attribute("method") ? lower(*tag.attribute("method")) : "get";
    const std::string action = tag.attribute("action") ? *tag.attribute("action") : "";
    if (method == "post") {
      found.push_back({action, Request{.method = "POST", .body = fields}});
    } else {
      // A GET form replaces the action's query with its fields.
      found.push_back({action.substr(0, action.find('?')) + "?" + fields, Request{}});
    }
  }
  // Addresses in scripts and event attributes: 'window.open(...' and the like.
  for (std::string_view marker : {"window.open('", "popup('", "location.href='", "location='"}) {
    for (std::size_t at = html.find(marker); at != std::string::npos; at = html.find(marker, at + 1)) {
      const std::size_t start = at + marker.size();
      const std::size_t close = html.find('\'', start);
      if (close == std::string::npos) continue;
      const std::string link = decodeEntities(html.substr(start, close - start));
      // A link built from script values ('+ ... +') is not an address.
      if (html.compare(close + 1, 1, "+") == 0) continue;
      add(link, false);
    }
  }
  return found;
}

}  // namespace zurvafun::e2e::crawl

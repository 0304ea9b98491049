// Text filters for member-supplied text: plain text to HTML, the bad-word
// filter, the bracket markup of the member pages, separator clean-up, cutting
// long text and quote-safe text. None of them touches the database.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "framework/site_settings.h"
#include "framework/zurva.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// ------------------------------------------------------------------ bracket markup

// What every "]" that belongs to no known tag becomes. After "[url=address"
// it closes the link's start tag; anywhere else it is the same text.
constexpr std::string_view kLinkOpener = " target=_blank><u><font color=red>";
constexpr std::string_view kBadImage = "<font color=red>错误图片指向</font>";
// The visible text of an e-mail link is this fixed label; its own "]" is part
// of the label and is not taken for a tag's closing bracket.
constexpr std::string_view kEmailLabel =
    R"(><font style="font-size: 9pt;color=red">[点击发送电子邮件]</font></a>)";

struct FixedTag {
  std::string sought;
  std::string html;
};

// Tags replaced wherever they stand, with no pairing. The three empty-image
// forms come first: they begin like the image tag and win over it.
std::vector<FixedTag> buildFixedTags() {
  std::vector<FixedTag> tags = {
      {"[img]=http://[/img]", std::string(kBadImage)},
      {"[img]=[/img]", std::string(kBadImage)},
      {"[img]=null[/img]", std::string(kBadImage)},
      {"[/img]", " border=0 vspace=5></center>"},
      {"[/flash]", " width=500 height=375>"},
      {"[/email]", std::string(kEmailLabel)},
      {"[/url]", "</font></u></a>"},
      {"[marquee]", "<marquee scrolldelay=100>"},
      {"[/marquee]", "</marquee>"},
  };
  for (const char* name : {"b", "i", "u", "h1", "h2", "h3", "h4", "h5", "h6"}) {
    tags.push_back({"[" + std::string(name) + "]", "<" + std::string(name) + ">"});
    tags.push_back({"[/" + std::string(name) + "]", "</" + std::string(name) + ">"});
  }
  for (const char* colour : {"black", "white", "red", "pink", "blue", "green", "olive", "navy", "gray",
                             "fuchsia", "yellow", "silver", "purple"}) {
    tags.push_back({"[" + std::string(colour) + "]", "<font color=" + std::string(colour) + ">"});
    tags.push_back({"[/" + std::string(colour) + "]", "</font>"});
  }
  return tags;
}

const std::vector<FixedTag>& fixedTags() {
  static const std::vector<FixedTag> tags = buildFixedTags();
  return tags;
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// A target that may stand unquoted in a link or image attribute: an address
// of one of `schemes` or a relative path. Refused: any other scheme
// (javascript:, data: ...), control characters (they end the attribute, or
// vanish from a URL and so hide a scheme), quotes (a value that starts with
// one runs on past the tag), and a character reference
// where a scheme could stand ("&#106;avascript:" is still a script link).
// Leading blanks are looked past, so they cannot hide a scheme either.
bool isTargetWithScheme(std::string_view target, std::initializer_list<std::string_view> schemes) {
  for (unsigned char c : target) {
    if (c < 0x20 || c == 0x7f || c == '"' || c == '\'' || c == '`') return false;
  }
  size_t start = 0;
  while (start < target.size() && target[start] == ' ') ++start;
  size_t end = start;
  if (end < target.size() && isAsciiLetter(target[end])) {
    while (end < target.size() && (isAsciiLetter(target[end]) || isAsciiDigit(target[end]) ||
                                   target[end] == '+' || target[end] == '-' || target[end] == '.'))
      ++end;
  }
  if (end < target.size() && target[end] == ':') {
    const std::string scheme = LCase(target.substr(start, end - start));
    for (std::string_view allowed : schemes)
      if (scheme == allowed) return true;
    return false;
  }
  return end == target.size() || target[end] != '&';
}

bool isLinkTarget(std::string_view target) {
  return isTargetWithScheme(target, {"http", "https", "ftp", "mailto"});
}

// What an image or a flash movie may load: http, https or a relative path.
bool isMediaTarget(std::string_view target) {
  return isTargetWithScheme(target, {"http", "https"});
}

// An e-mail address: one "@" with text on both sides and a dot in the
// domain, and nothing that could end the attribute or spell markup.
bool isAddress(std::string_view target) {
  const size_t at = target.find('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == target.size() ||
      target.find('@', at + 1) != std::string_view::npos)
    return false;
  constexpr std::string_view kRefused = "\"'`<>&()[],;:\\";
  for (unsigned char c : target) {
    if (c <= 0x20 || c == 0x7f || kRefused.find(char(c)) != std::string_view::npos) return false;
  }
  return target.find('.', at + 1) != std::string_view::npos;
}

// A tag that puts member text into an attribute: the opening tag, what ends
// the target, the HTML around an accepted target, and (for links) the
// closing tag that follows the link text.
struct TargetTag {
  std::string_view open;
  std::string_view end;
  std::string_view before;
  std::string_view after;
  std::string_view closer;
  bool (*accepts)(std::string_view target);
};

constexpr TargetTag kTargetTags[] = {
    {"[img]", "[/img]", "<center><img src=", " border=0 vspace=5></center>", "", isMediaTarget},
    {"[flash]", "[/flash]", "<embed src=", " width=500 height=375>", "", isMediaTarget},
    {"[email]", "[/email]", "<a href=mailto:", kEmailLabel, "", isAddress},
    {"[url=", "]", "<a href=", kLinkOpener, "[/url]", isLinkTarget},
};

// Turns the bracket markup into HTML in one pass over the text. Every tag
// is replaced where it stands, exactly as replacing each tag throughout the
// text in turn would do (no tag's replacement can form or split another
// tag). A tag with a target keeps its place as text when the target is
// refused or missing, and so does the closing tag of a refused link.
class UbbWriter {
 public:
  explicit UbbWriter(std::string_view text) : text_(text) {}

  std::string run() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '[') {
        tag();
      } else if (c == ']') {
        out_ += kLinkOpener;
        ++pos_;
      } else {
        plain(c);
        ++pos_;
      }
    }
    return std::move(out_);
  }

 private:
  // Angle brackets as entities, a carriage return as a line break (its line
  // feed stays), a blank as a non-breaking space.
  void plain(char c) {
    switch (c) {
      case '<': out_ += "&lt;"; break;
      case '>': out_ += "&gt;"; break;
      case '\r': out_ += "<br>"; break;
      case ' ': out_ += "&nbsp;"; break;
      default: out_ += c;
    }
  }

  void plain(std::string_view text) {
    for (char c : text) plain(c);
  }

  void tag() {
    const std::string_view rest = text_.substr(pos_);
    if (const auto kept = keptAsText_.find(pos_); kept != keptAsText_.end()) {
      out_ += rest.substr(0, kept->second);
      pos_ += kept->second;
      return;
    }
    for (const FixedTag& fixed : fixedTags()) {
      if (rest.starts_with(fixed.sought)) {
        out_ += fixed.html;
        pos_ += fixed.sought.size();
        return;
      }
    }
    for (const TargetTag& withTarget : kTargetTags) {
      if (rest.starts_with(withTarget.open)) return targetTag(withTarget);
    }
    out_ += '[';
    ++pos_;
  }

  void targetTag(const TargetTag& tag) {
    const size_t from = pos_ + tag.open.size();
    const size_t stop = text_.find_first_of("[]", from);
    if (stop == std::string_view::npos || !text_.substr(stop).starts_with(tag.end)) {
      // No target of its own: the opening tag stays as text.
      out_ += tag.open;
      pos_ = from;
      return;
    }
    const std::string_view target = text_.substr(from, stop - from);
    pos_ = stop + tag.end.size();
    if (tag.accepts(target)) {
      out_ += tag.before;
      plain(target);
      out_ += tag.after;
      return;
    }
    out_ += tag.open;
    plain(target);
    out_ += tag.end;
    if (!tag.closer.empty()) keepAsText(tag.open, tag.closer);
  }

  // The refused link's own closing tag stays as text: the next one not yet
  // claimed by another refused link, unless another link opens first (that
  // closing tag then belongs to the later link, which must not be left open).
  void keepAsText(std::string_view opener, std::string_view closer) {
    const size_t nextOpener = text_.find(opener, pos_);
    for (size_t at = text_.find(closer, pos_); at != std::string_view::npos && at < nextOpener;
         at = text_.find(closer, at + 1)) {
      if (keptAsText_.emplace(at, closer.size()).second) return;
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
  std::string out_;
  std::map<size_t, size_t> keptAsText_;  // position -> length
};

}  // namespace

Variant zurva::HtmlOut(const Variant& AspToDll_Str) {
  return logged([&](Variant& result) {
    if (AspToDll_Str.isNull() || AspToDll_Str.str().empty()) {
      result = AspToDll_Str;
      return;
    }
    // Single blanks pass the encoder as a marker, so that they come out as
    // blanks while pairs of blanks keep their width as ideographic spaces.
    std::string text = Replace(CStr(AspToDll_Str), "  ", "　");
    text = Replace(text, " ", "`nbsp;");
    text = Server().HTMLEncode(text);
    text = Replace(text, "`nbsp;", " ");
    result = Replace(text, "\r\n", "<BR>");
  });
}

Variant zurva::ChkBadWords(Variant& fString) {
  return logged([&](Variant& result) {
    const std::vector<std::string>& badWords = siteSettings(Application())->badWords();
    if (fString.isNull()) {
      result = "无昵称";
      return;
    }
    std::string text = CStr(fString);
    for (const std::string& word : badWords) {
      if (!word.empty()) text = Replace(text, word, String(Len(word), "*"));
    }
    fString = text;
    result = text;
  });
}

Variant zurva::ubbcode(const Variant& AspToDll_Str) {
  return logged([&](Variant& result) { result = UbbWriter(CStr(AspToDll_Str)).run(); });
}

Variant zurva::repla(Variant& AspToDll_Str, const Variant& substr) {
  return logged([&](Variant& result) {
    const std::string separator = CStr(substr);
    std::string text = CStr(AspToDll_Str);
    // Each pass halves every run of separators; 100 passes end any run.
    for (int pass = 0; pass < 100; ++pass) {
      std::string collapsed = Replace(text, separator + separator, separator);
      if (collapsed == text) break;
      text = std::move(collapsed);
    }
    // One character compared with the whole separator: only a one-character
    // separator is ever trimmed.
    if (eq(Variant(Left(text, 1)), substr)) text = Right(text, Len(text) - 1);
    if (eq(Variant(Right(text, 1)), substr)) text = Left(text, Len(text) - 1);
    AspToDll_Str = text;
    result = text;
  });
}

Variant zurva::showstr(const Variant& AspToDll_Str, const Variant& num) {
  return logged([&](Variant& result) {
    const long length = CLng(num);
    if (AspToDll_Str.isNull()) {
      result = Variant::null();
      return;
    }
    const std::string text = CStr(AspToDll_Str);
    result = Len(text) > toNumber(num) ? Left(text, length) + "..." : text;
  });
}

Variant zurva::Safereplace(Variant& AspToDll_Str) {
  return logged([&](Variant& result) {
    if (AspToDll_Str.isNull()) {
      result = "";
      return;
    }
    std::string text = Replace(CStr(AspToDll_Str), "'", "&#39;");
    text = Replace(text, "<", "&lt;");
    text = Replace(text, ">", "&gt;");
    text = Replace(text, "$", "");
    AspToDll_Str = text;
    result = text;
  });
}

}  // namespace zurvafun

// Page HTML as named fragments with slots.
//
// A fragment is a fixed text of the system with named slots; filling it gives
// Html, text that may be written as it stands. A slot filled with ordinary
// text (a std::string, a Variant, a request or member value) escapes it for
// the place where the slot stands; a slot filled with Html (a fixed text
// marked trusted, another filled fragment, the output of the component's own
// methods) takes it unchanged; numbers are written as numbers.
//
//   constexpr html::Fragment kNickname =
//       R"(<a href="{{link}}">{{nickname}}</a>{{46 blanks}})" "\r\n"
//       R"(<script>var n='{{nickname:js}}';</script>)";
//   out += kNickname({{"link", html::trusted(showurl(link))}, {"nickname", rs("nickname")}});
//
// Slot syntax, checked when the program is compiled:
//   {{name}}         HTML text or an attribute value: & < > " ' are escaped
//   {{name:js}}      inside a JavaScript string literal: also \, line breaks
//                    and "</" (framework/escape.h)
//   {{46 blanks}}    46 blanks, so that a count can be checked by eye
//   {{crlf}}         a line break, CR LF (useful in raw string literals)
// Filling a fragment with a slot it does not have, or without one it has,
// raises FragmentError: a page written wrongly, which the error modes never
// swallow and the tests therefore catch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

#include "runtime/variant.h"

namespace zurvafun::html {

class FragmentError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// HTML that is written as it stands.
class Html {
 public:
  Html() = default;

  const std::string& str() const { return text_; }
  operator std::string_view() const { return text_; }
  bool empty() const { return text_.empty(); }

  Html& operator+=(const Html& more) {
    text_ += more.text_;
    return *this;
  }
  friend Html operator+(Html a, const Html& b) { return a += b; }
  friend bool operator==(const Html&, const Html&) = default;

  friend Html trusted(std::string text);

 private:
  explicit Html(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

// Marks text as trusted: a fixed text of the system, or what one of the
// component's own methods or filters produced.
Html trusted(std::string text);
inline Html trusted(std::string_view text) { return trusted(std::string(text)); }
inline Html trusted(const char* text) { return trusted(std::string(text)); }
// The text of a method's result (Null and Empty give "").
inline Html trusted(const Variant& value) { return trusted(value.str()); }

// Member text escaped for HTML text or an attribute value.
Html escaped(std::string_view text);
// `count` blanks.
Html blanks(int count);

enum class Context : std::uint8_t { Html, Js };

// What a slot is filled with.
class Value {
 public:
  Value(const Html& html) : view_(html.str()), trusted_(true) {}
  Value(std::string_view text) : view_(text) {}
  Value(const std::string& text) : view_(text) {}
  Value(const char* text) : view_(text) {}
  Value(const Variant& value) : owned_(value.str()), view_(owned_), ownsText_(true) {}
  Value(int number) : Value(static_cast<long long>(number)) {}
  Value(long number) : Value(static_cast<long long>(number)) {}
  Value(long long number)
      : owned_(std::to_string(number)), view_(owned_), trusted_(true), ownsText_(true) {}
  Value(unsigned long number)
      : owned_(std::to_string(number)), view_(owned_), trusted_(true), ownsText_(true) {}

  Value(const Value& other);
  Value& operator=(const Value&) = delete;

  void appendTo(std::string& out, Context context) const;
  std::size_t size() const { return view_.size(); }

 private:
  std::string owned_;
  std::string_view view_;
  bool trusted_ = false;
  bool ownsText_ = false;
};

struct Slot {
  std::string_view name;
  Value value;
};

class Fragment {
 public:
  template <std::size_t N>
  consteval Fragment(const char (&text)[N]) {
    parse(std::string_view(text, N - 1));
  }

  Html operator()(std::initializer_list<Slot> slots = {}) const;
  // Appends the filled fragment to `out`.
  void appendTo(std::string& out, std::initializer_list<Slot> slots = {}) const;

 private:
  enum class Kind : std::uint8_t { Text, Slot, Blanks };
  struct Piece {
    Kind kind = Kind::Text;
    Context context = Context::Html;
    std::string_view text;  // the text, or the slot's name
    int count = 0;          // blanks
  };
  static constexpr int kMaxPieces = 128;

  consteval void add(Piece piece) {
    if (size_ == kMaxPieces) throw "fragment too long: split it";
    pieces_[size_++] = piece;
  }

  static consteval bool isNameChar(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           (!first && c >= '0' && c <= '9');
  }

  consteval void parse(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t open = text.find("{{", start);
      if (open == std::string_view::npos) {
        add({Kind::Text, Context::Html, text.substr(start), 0});
        break;
      }
      if (open > start) add({Kind::Text, Context::Html, text.substr(start, open - start), 0});
      const std::size_t close = text.find("}}", open + 2);
      if (close == std::string_view::npos) throw "fragment: \"{{\" without \"}}\"";
      addSlot(text.substr(open + 2, close - open - 2));
      start = close + 2;
    }
    for (int i = 0; i < size_; ++i)
      if (pieces_[i].kind == Kind::Text) fixedSize_ += pieces_[i].text.size();
  }

  consteval void addSlot(std::string_view inner) {
    if (inner == "crlf") {
      add({Kind::Text, Context::Html, "\r\n", 0});
      return;
    }
    constexpr std::string_view kBlanks = " blanks";
    if (inner.size() > kBlanks.size() && inner.ends_with(kBlanks)) {
      int count = 0;
      for (char c : inner.substr(0, inner.size() - kBlanks.size())) {
        if (c < '0' || c > '9') throw "fragment: a blank run is {{<number> blanks}}";
        count = count * 10 + (c - '0');
      }
      add({Kind::Blanks, Context::Html, {}, count});
      fixedSize_ += std::size_t(count);
      return;
    }
    Context context = Context::Html;
    std::string_view name = inner;
    if (inner.ends_with(":js")) {
      context = Context::Js;
      name = inner.substr(0, inner.size() - 3);
    }
    if (name.empty()) throw "fragment: a slot needs a name";
    for (std::size_t i = 0; i < name.size(); ++i)
      if (!isNameChar(name[i], i == 0)) throw "fragment: a slot name is letters, digits and _";
    add({Kind::Slot, context, name, 0});
  }

  Piece pieces_[kMaxPieces]{};
  int size_ = 0;
  std::size_t fixedSize_ = 0;
};

}  // namespace zurvafun::html

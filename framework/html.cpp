#include "framework/html.h"

#include "framework/escape.h"

namespace zurvafun::html {

Html trusted(std::string text) { return Html(std::move(text)); }

Html escaped(std::string_view text) { return trusted(htmlEscape(text)); }

Html blanks(int count) { return trusted(std::string(std::size_t(count > 0 ? count : 0), ' ')); }

Value::Value(const Value& other)
    : owned_(other.owned_),
      view_(other.ownsText_ ? std::string_view(owned_) : other.view_),
      trusted_(other.trusted_),
      ownsText_(other.ownsText_) {}

void Value::appendTo(std::string& out, Context context) const {
  if (trusted_) {
    out += view_;
  } else if (context == Context::Js) {
    out += jsEscape(view_);
  } else {
    out += htmlEscape(view_);
  }
}

Html Fragment::operator()(std::initializer_list<Slot> slots) const {
  std::string out;
  appendTo(out, slots);
  return trusted(std::move(out));
}

void Fragment::appendTo(std::string& out, std::initializer_list<Slot> slots) const {
  // Every slot given must be used, and every slot of the fragment filled.
  constexpr std::size_t kMaxSlots = 64;
  if (slots.size() > kMaxSlots) throw FragmentError("fragment: too many slot values");
  bool used[kMaxSlots] = {};
  const Slot* bySlot[kMaxPieces] = {};
  std::size_t size = out.size() + fixedSize_;
  for (int i = 0; i < size_; ++i) {
    const Piece& piece = pieces_[i];
    if (piece.kind != Kind::Slot) continue;
    std::size_t index = 0;
    for (const Slot& slot : slots) {
      if (slot.name == piece.text) break;
      ++index;
    }
    if (index == slots.size())
      throw FragmentError("fragment: slot \"" + std::string(piece.text) + "\" not filled");
    used[index] = true;
    bySlot[i] = slots.begin() + index;
    size += bySlot[i]->value.size();
  }
  std::size_t index = 0;
  for (const Slot& slot : slots) {
    if (!used[index++])
      throw FragmentError("fragment: no slot \"" + std::string(slot.name) + "\"");
  }

  out.reserve(size);
  for (int i = 0; i < size_; ++i) {
    const Piece& piece = pieces_[i];
    switch (piece.kind) {
      case Kind::Text:
        out += piece.text;
        break;
      case Kind::Blanks:
        out.append(std::size_t(piece.count), ' ');
        break;
      case Kind::Slot:
        bySlot[i]->value.appendTo(out, piece.context);
        break;
    }
  }
}

}  // namespace zurvafun::html

#include "host/serve/page_encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "runtime/gbk.h"

namespace zurvafun::serve {

namespace {

// What one thread keeps: a few texts, at most this many bytes in all. Each
// server worker has its own, so no lock is taken, and the bound holds per
// worker: 64 workers keep 16 MB at most.
constexpr std::size_t kKeptTexts = 24;
constexpr std::size_t kKeptBytes = 256 * 1024;

class RecentTexts {
 public:
  // The GBK bytes `utf8` was converted to, if this thread kept them.
  const std::string* find(std::string_view utf8) {
    for (Text& t : texts_)
      if (t.utf8.size() == utf8.size() &&
          std::memcmp(t.utf8.data(), utf8.data(), utf8.size()) == 0) {
        t.used = ++clock_;
        return &t.gbk;
      }
    return nullptr;
  }

  // Keeps `gbk` as the bytes of `utf8`, putting aside the texts used longest
  // ago to stay within the bounds; a text larger than all of it is not kept.
  void keep(std::string_view utf8, std::string_view gbk) {
    const std::size_t size = utf8.size() + gbk.size();
    if (size > kKeptBytes) return;
    while (!texts_.empty() && (texts_.size() >= kKeptTexts || bytes_ + size > kKeptBytes)) {
      auto oldest = std::min_element(texts_.begin(), texts_.end(),
                                     [](const Text& a, const Text& b) { return a.used < b.used; });
      bytes_ -= oldest->utf8.size() + oldest->gbk.size();
      *oldest = std::move(texts_.back());
      texts_.pop_back();
    }
    texts_.push_back({std::string(utf8), std::string(gbk), ++clock_});
    bytes_ += size;
  }

  // Whether a text like `utf8` was converted lately and not kept: a text
  // is kept at its second conversion, so that texts made anew for every
  // request (a member's own list) are not copied for nothing. The likeness
  // is the length and a few bytes spread over the text; a false likeness
  // only keeps a text early.
  bool seenBefore(std::string_view utf8) {
    std::uint64_t mark = utf8.size();
    for (std::size_t i = 0; i < 16; ++i)
      mark = mark * 1099511628211ull ^ static_cast<unsigned char>(utf8[utf8.size() * i / 16]);
    if (std::find(seen_.begin(), seen_.end(), mark) != seen_.end()) return true;
    seen_[nextSeen_++ % seen_.size()] = mark;
    return false;
  }

  EncodedTexts size() const { return {texts_.size(), bytes_}; }

 private:
  struct Text {
    std::string utf8;
    std::string gbk;
    std::uint64_t used;
  };
  std::vector<Text> texts_;
  std::size_t bytes_ = 0;
  std::uint64_t clock_ = 0;
  std::array<std::uint64_t, 32> seen_{};
  std::size_t nextSeen_ = 0;
};

thread_local RecentTexts recent;

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Whether the body can be cut at `at` without changing what it converts to:
// the converter reads a character as a lead byte and the continuation bytes
// after it (or as one byte that is not one), so a cut before a byte that is
// no continuation byte never falls inside a character.
bool cuttable(std::string_view body, std::size_t at) {
  return at >= body.size() || !continuation(body[at]);
}

}  // namespace

std::string encodePage(std::string_view body,
                       const std::vector<std::pair<std::size_t, std::size_t>>& longWrites) {
  std::string out;
  out.reserve(body.size());
  std::size_t done = 0;
  for (const auto& [offset, length] : longWrites) {
    if (offset < done || offset + length > body.size()) continue;
    if (!cuttable(body, offset) || !cuttable(body, offset + length)) continue;
    const std::string_view text = body.substr(offset, length);
    gbk::appendFromUtf8(out, body.substr(done, offset - done));
    if (const std::string* kept = recent.find(text)) {
      out += *kept;
    } else {
      const std::size_t from = out.size();
      gbk::appendFromUtf8(out, text);
      // A text of ASCII alone is copied as it stands: nothing to keep.
      const bool ascii =
          out.size() - from == length && std::equal(text.begin(), text.end(), out.begin() + from);
      if (!ascii && recent.seenBefore(text)) recent.keep(text, std::string_view(out).substr(from));
    }
    done = offset + length;
  }
  gbk::appendFromUtf8(out, body.substr(done));
  return out;
}

EncodedTexts encodedTextsKept() { return recent.size(); }

}  // namespace zurvafun::serve

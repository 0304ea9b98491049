// The GBK bytes of a page's body, converted again only where it changed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zurvafun::serve {

// The GBK bytes of the UTF-8 `body`, exactly as gbk::fromUtf8 gives them. The
// long texts `longWrites` marks in it, (offset, length) in order, are looked
// up among those the calling thread converted lately: a text found there
// unchanged takes the bytes it was converted to then. Most of a page's
// characters lie in texts that come back the same from request to request
// (kept fragments, fixed parts of the page), and copying them is far cheaper
// than converting them again.
std::string encodePage(std::string_view body,
                       const std::vector<std::pair<std::size_t, std::size_t>>& longWrites);

// What the calling thread keeps of the texts it converted: their number and
// the bytes they hold, both converted and not. For tests.
struct EncodedTexts {
  std::size_t texts = 0;
  std::size_t bytes = 0;
};
EncodedTexts encodedTextsKept();

}  // namespace zurvafun::serve

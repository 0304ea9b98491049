// Golden files: big fixed pages compared with a file under tests/golden/,
// transcribed once by hand from the page's description (not produced by the
// code under test). The files hold the exact bytes, CR LF line breaks
// included (.gitattributes keeps git from touching them).
//
//   EXPECT_TRUE(matchesGolden("photo_manager_empty.html", h.response().body()));
//
// Where blanks and line breaks between tags carry no meaning, compare with
// Blanks::BetweenTags: runs of blanks, tabs and line breaks that stand
// between two tags (or before the first, or after the last) are dropped on
// both sides first.
//
// On a difference, the actual text is written beside the build
// (golden-actual/<name>) so that it can be compared with a diff tool, and the
// message shows where the two part.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace zurvafun::testing {

enum class Blanks { Exact, BetweenTags };

inline std::string goldenText(std::string_view name) {
  const std::filesystem::path file = std::filesystem::path(ZURVA_SOURCE_DIR) / "tests/golden" / name;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("no golden file " + file.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The text without blank runs between a ">" and the next "<" (or the end),
// and without those before its first "<".
inline std::string withoutBlanksBetweenTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  std::size_t start = 0;
  while (start < text.size() && isBlank(text[start])) ++start;
  if (start < text.size() && text[start] == '<') text.remove_prefix(start);
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '>') {
      out += '>';
      std::size_t j = i + 1;
      while (j < text.size() && isBlank(text[j])) ++j;
      if (j == text.size() || text[j] == '<') {
        i = j;
        continue;
      }
      ++i;
      continue;
    }
    out += text[i++];
  }
  return out;
}

inline ::testing::AssertionResult matchesGolden(std::string_view name, std::string_view actual,
                                                Blanks blanks = Blanks::Exact) {
  std::string expected = goldenText(name);
  std::string got(actual);
  if (blanks == Blanks::BetweenTags) {
    expected = withoutBlanksBetweenTags(expected);
    got = withoutBlanksBetweenTags(got);
  }
  if (expected == got) return ::testing::AssertionSuccess();

  std::filesystem::create_directories("golden-actual");
  std::ofstream(std::filesystem::path("golden-actual") / name, std::ios::binary) << actual;
  std::size_t at = 0;
  while (at < expected.size() && at < got.size() && expected[at] == got[at]) ++at;
  const std::size_t from = at > 60 ? at - 60 : 0;
  return ::testing::AssertionFailure()
         << name << ": differs at byte " << at << " (expected " << expected.size() << " bytes, got "
         << got.size() << ")\n  expected: ..." << expected.substr(from, 120) << "\n  actual:   ..."
         << got.substr(from, 120) << "\n  actual text written to golden-actual/" << name;
}

}  // namespace zurvafun::testing

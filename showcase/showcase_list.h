// The promoted-member list of the showcase (application value zurva_myshow),
// the choice of the entries that suit a viewer, and the rotation that lets
// repeated views show every entry before one comes again. The numbers of the
// list, and those the showcase pages take from a request, are read as plain
// whole numbers (framework/numbers.h's numbers::digits).
//
// The list: entries each introduced by a comma (",e1,e2,e3"); an entry is the
// member number and ten fields joined by "@":
//   0 sex code   1 wanted age range "aa-bb"   2 userdata   3 nickname
//   4 grade      5 trust level   6 pay   7 occupation code   8 head photo
//   9 photo visibility
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/numbers.h"
#include "framework/site_settings.h"
#include "runtime/variant.h"

namespace zurvafun::showcase {

inline constexpr int kEntryFields = 10;

struct ShowcaseEntry {
  std::string id;          // the member number as the list writes it
  std::int32_t member = 0;  // its value
  std::array<std::string, kEntryFields> fields;
};

// The entries of the list text, in list order. An entry without a positive
// member number or with fewer than ten fields is left out, and so is a second
// entry of a member already listed.
std::vector<ShowcaseEntry> readShowcaseList(std::string_view list);

// The entries of the site's list, parsed once per change of the site
// settings for the whole process (the error of a missing list is raised at
// each use).
std::shared_ptr<const std::vector<ShowcaseEntry>> showcaseEntries(
    const std::shared_ptr<const SiteSettings>& settings);

// Who is looking: a guest sees every entry; a member sees the entries of the
// other sex whose wanted age range holds his age (an age that cannot be read
// passes every range).
struct ShowcaseViewer {
  bool guest = true;
  std::optional<std::int32_t> sex;
  std::optional<std::int32_t> age;
};
bool suits(const ShowcaseEntry& entry, const ShowcaseViewer& viewer);

// Draws a whole number from 1 to `count` (the showcase draws through shuiji).
using Draw = std::function<long(long count)>;

// Chooses `count` of `candidates` positions (1-based, count < candidates) at
// random. `memory` holds the positions shown since the cycle began (a comma
// list, as the cookie keeps it); each pick is drawn among the positions that
// are neither in it nor picked already, a new cycle begins once every
// position has been shown, and `memory` comes back holding the positions of
// the current cycle.
std::vector<long> rotate(long candidates, long count, std::string& memory, const Draw& draw);

}  // namespace zurvafun::showcase

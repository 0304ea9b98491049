#include "showcase/showcase_list.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "framework/shared_copy.h"
#include "runtime/kept.h"
#include "runtime/text.h"

namespace zurvafun::showcase {

std::vector<ShowcaseEntry> readShowcaseList(std::string_view list) {
  std::vector<ShowcaseEntry> entries;
  std::unordered_set<std::int32_t> listed;
  const std::vector<std::string> items = Split(list, ",");
  // The text before the first comma introduces no entry.
  for (std::size_t i = 1; i < items.size(); ++i) {
    const std::vector<std::string> parts = Split(items[i], "@");
    if (parts.size() < 1 + kEntryFields) continue;
    const std::optional<std::int32_t> member = numbers::digits(std::string_view(parts[0]));
    if (!member || *member <= 0 || !listed.insert(*member).second) continue;
    ShowcaseEntry entry;
    entry.id = parts[0];
    entry.member = *member;
    std::copy_n(parts.begin() + 1, kEntryFields, entry.fields.begin());
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::shared_ptr<const std::vector<ShowcaseEntry>> showcaseEntries(
    const std::shared_ptr<const SiteSettings>& settings) {
  struct Parsed {
    std::shared_ptr<const SiteSettings> source;
    std::shared_ptr<const std::vector<ShowcaseEntry>> entries;
  };
  // One parse for the process; each thread keeps a handle of its own on it
  // (see siteSettings).
  static kept::InProcess<SharedCopy<Parsed>> parsed;  // one parse per settings
  thread_local kept::PerThread<Parsed> mine;
  Parsed& handle = mine.get();
  if (handle.source == settings) return handle.entries;
  const std::shared_ptr<const Parsed> kept =
      parsed.getOr([&](const Parsed& p) { return p.source == settings; },
                   [&] {
                     return std::make_shared<const Parsed>(
                         Parsed{settings, std::make_shared<const std::vector<ShowcaseEntry>>(
                                              readShowcaseList(settings->showcaseList()))});
                   });
  handle = {settings, ownHandle(kept->entries)};
  return handle.entries;
}

bool suits(const ShowcaseEntry& entry, const ShowcaseViewer& viewer) {
  if (viewer.guest) return true;
  const std::optional<std::int32_t> sex = numbers::digits(std::string_view(entry.fields[0]));
  if (!viewer.sex || !sex || *sex != 1153 - *viewer.sex) return false;
  if (!viewer.age) return true;
  const std::vector<std::string> range = Split(entry.fields[1], "-");
  if (range.size() != 2) return false;
  const std::optional<std::int32_t> from = numbers::digits(std::string_view(range[0]));
  const std::optional<std::int32_t> to = numbers::digits(std::string_view(range[1]));
  return from && to && *from <= *viewer.age && *to >= *viewer.age;
}

std::vector<long> rotate(long candidates, long count, std::string& memory, const Draw& draw) {
  // The positions of the current cycle, as far as they still name a candidate.
  std::vector<long> cycle;
  std::vector<bool> shown(std::size_t(candidates) + 1, false);
  for (std::size_t at = 0; at <= memory.size();) {
    std::size_t end = memory.find(',', at);
    if (end == std::string::npos) end = memory.size();
    const std::optional<std::int32_t> p =
        numbers::digits(std::string_view(memory).substr(at, end - at));
    if (p && *p >= 1 && *p <= candidates && !shown[std::size_t(*p)]) {
      shown[std::size_t(*p)] = true;
      cycle.push_back(*p);
    }
    at = end + 1;
  }
  // The positions still free in this call: neither shown in this cycle nor picked.
  std::vector<long> unseen;
  std::vector<long> picks;
  const auto refill = [&] {
    unseen.clear();
    for (long p = 1; p <= candidates; ++p) {
      if (!shown[std::size_t(p)] && std::find(picks.begin(), picks.end(), p) == picks.end()) unseen.push_back(p);
    }
  };
  refill();
  for (long k = 0; k < count; ++k) {
    if (long(cycle.size()) >= candidates) {  // everybody has been shown: a new cycle
      cycle.clear();
      std::fill(shown.begin(), shown.end(), false);
      refill();
    }
    long r = draw(long(unseen.size()));
    if (r < 1 || r > long(unseen.size())) r = 1;
    const long p = unseen[std::size_t(r - 1)];
    unseen.erase(unseen.begin() + (r - 1));
    picks.push_back(p);
    shown[std::size_t(p)] = true;
    cycle.push_back(p);
  }
  memory.clear();
  for (const long p : cycle) {
    if (!memory.empty()) memory += ',';
    memory += std::to_string(p);
  }
  return picks;
}

}  // namespace zurvafun::showcase

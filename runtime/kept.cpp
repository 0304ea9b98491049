#include "runtime/kept.h"

#include <mutex>
#include <vector>

namespace zurvafun::kept {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::pair<const void*, std::function<void()>>> clears;
};

Registry& registry() {
  static Registry* r = new Registry;  // never destroyed: owners leave it during static destruction
  return *r;
}

}  // namespace

void detail::add(const void* owner, std::function<void()> clear) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.clears.emplace_back(owner, std::move(clear));
}

void detail::remove(const void* owner) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  std::erase_if(r.clears, [owner](const auto& entry) { return entry.first == owner; });
}

void clearAll() {
  detail::generation.fetch_add(1, std::memory_order_acq_rel);
  std::vector<std::function<void()>> clears;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& entry : r.clears) clears.push_back(entry.second);
  }
  // Outside the lock: a clear may make an owner of its own at first use.
  for (const std::function<void()>& clear : clears) clear();
}

}  // namespace zurvafun::kept

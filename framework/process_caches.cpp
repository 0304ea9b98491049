#include "framework/process_caches.h"

#include <mutex>
#include <vector>

namespace zurvafun::process_caches {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<void (*)()> clears;
};

Registry& registry() {
  static Registry* r = new Registry;  // never destroyed: owners may add during static destruction
  return *r;
}

}  // namespace

void add(void (*clear)()) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.clears.push_back(clear);
}

void clearAll() {
  std::vector<void (*)()> clears;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    clears = r.clears;
  }
  for (void (*clear)() : clears) clear();
}

}  // namespace zurvafun::process_caches

// One copy of something for the whole process, replaced whole: readers take
// the current copy (immutable, kept alive by their shared_ptr for as long as
// they use it) without waiting for anyone; whoever makes a new copy puts it
// in place in one step, and readers that took the old one finish with it.
//
//   SharedCopy<Menu> menus;
//   std::shared_ptr<const Menu> menu = menus.get();
//   if (!menu || menu->text != text) menus.set(menu = std::make_shared<const Menu>(text));
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

namespace zurvafun {

template <class T>
class SharedCopy {
 public:
  // The current copy, or nullptr when there is none yet.
  std::shared_ptr<const T> get() const { return current_.load(std::memory_order_acquire); }
  void set(std::shared_ptr<const T> copy) {
    current_.store(std::move(copy), std::memory_order_release);
  }
  // Drops the copy (readers holding it keep theirs).
  void clear() { set(nullptr); }

  // The copy when `current(copy)` holds for it; else one made by `make()`
  // and put in place. Of the threads that find no current copy at once, one
  // makes it and the others take that one.
  template <class Current, class Make>
  std::shared_ptr<const T> getOr(const Current& current, const Make& make) {
    std::shared_ptr<const T> copy = get();
    if (copy && current(*copy)) return copy;
    std::lock_guard lock(making_);
    copy = get();
    if (copy && current(*copy)) return copy;
    copy = make();
    set(copy);
    return copy;
  }

 private:
  std::atomic<std::shared_ptr<const T>> current_;
  std::mutex making_;
};

// A pointer to the same object whose references are counted apart (it keeps
// `shared` alive): a thread that keeps a handle on a shared copy and hands
// it out at every call counts on a counter of its own instead of one that
// every thread updates.
template <class T>
std::shared_ptr<const T> ownHandle(std::shared_ptr<const T> shared) {
  const T* object = shared.get();
  return std::shared_ptr<const T>(object, [hold = std::move(shared)](const T*) {});
}

}  // namespace zurvafun

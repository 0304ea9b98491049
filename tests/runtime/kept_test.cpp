#include "runtime/kept.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zurvafun {
namespace {

// A cache in the shape the owners use: a value with a clear() member.
struct Copy {
  std::optional<std::string> text;
  void clear() { text.reset(); }
};

struct Counter {
  int value = 0;
};

TEST(RuntimeKept, ClearAllDropsEveryCopyOfTheProcess) {
  static kept::InProcess<Copy> first;
  static kept::InProcess<Copy> second;
  first.text = "a";
  second.text = "b";
  kept::clearAll();
  EXPECT_EQ(first.text, std::nullopt);
  EXPECT_EQ(second.text, std::nullopt);
}

// An owner that is gone is no longer cleared (a clear of freed memory is
// what the address sanitizer pass would catch).
TEST(RuntimeKept, AnOwnerThatIsGoneIsLeftOut) {
  auto gone = std::make_unique<kept::InProcess<Copy>>();
  gone->text = "x";
  gone.reset();
  kept::clearAll();
  static kept::InProcess<Copy> staying;
  staying.text = "y";
  kept::clearAll();
  EXPECT_EQ(staying.text, std::nullopt);
}

// Each thread keeps its own value until clearAll(); after it every thread,
// the one that cleared and the others, starts afresh at its next use.
TEST(RuntimeKept, PerThreadStateStartsAfreshOnEveryThread) {
  thread_local kept::PerThread<Counter> counter;
  counter.get().value = 5;
  EXPECT_EQ(counter.get().value, 5);

  std::mutex mutex;
  std::condition_variable changed;
  int step = 0;  // 1: the worker has counted; 2: cleared; 3: the worker has looked again
  int workerBefore = -1, workerAfter = -1;
  std::thread worker([&] {
    counter.get().value = 7;
    workerBefore = counter.get().value;
    std::unique_lock lock(mutex);
    step = 1;
    changed.notify_all();
    changed.wait(lock, [&] { return step == 2; });
    workerAfter = counter.get().value;
    step = 3;
    changed.notify_all();
  });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return step == 1; });
    EXPECT_EQ(counter.get().value, 5) << "another thread's value is its own";
    kept::clearAll();
    step = 2;
    changed.notify_all();
    changed.wait(lock, [&] { return step == 3; });
  }
  worker.join();
  EXPECT_EQ(workerBefore, 7);
  EXPECT_EQ(workerAfter, 0);
  EXPECT_EQ(counter.get().value, 0);
  counter.get().value = 2;
  EXPECT_EQ(counter.get().value, 2) << "kept again until the next clearAll()";
}

}  // namespace
}  // namespace zurvafun

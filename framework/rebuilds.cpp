#include "framework/rebuilds.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "db/db.h"

namespace zurvafun::rebuilds {

namespace {

class Worker {
 public:
  ~Worker() { stop(); }

  void post(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    jobs_.push_back(std::move(job));
    ++posted_;
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    wake_.notify_all();
  }

  void settle() {
    std::unique_lock lock(mutex_);
    const unsigned long long wanted = posted_;
    done_.wait(lock, [&] { return finished_ >= wanted || stopped_; });
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
      finished_ += jobs_.size();
      jobs_.clear();
      wake_.notify_all();
      done_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopped_ || !jobs_.empty(); });
      if (stopped_) return;
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      try {
        job();
      } catch (...) {
      }
      db::releasePooledConnections();
      lock.lock();
      ++finished_;
      done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::deque<std::function<void()>> jobs_;
  unsigned long long posted_ = 0, finished_ = 0;
  bool stopped_ = false;
  std::thread thread_;
};

Worker& worker() {
  static Worker w;
  return w;
}

}  // namespace

void post(std::function<void()> job) { worker().post(std::move(job)); }
void settle() { worker().settle(); }
void stop() { worker().stop(); }

}  // namespace zurvafun::rebuilds

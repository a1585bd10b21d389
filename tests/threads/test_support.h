// Test helpers for the threads: a one-shot signal with a generous wait, tasks that count or hold the worker.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "threads/thread_task.h"

namespace CoreLoomTest {

// Long enough for a loaded machine running under a sanitizer; only ever waited out when something is broken.
constexpr std::chrono::seconds kPatience{20};
// How long something that must block is watched before it is called blocked.
constexpr std::chrono::milliseconds kWatch{250};

class Signal {
 public:
  void set() {
    std::lock_guard<std::mutex> guard(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  template <class Duration>
  bool waitFor(Duration duration) {
    std::unique_lock<std::mutex> guard(mutex_);
    return changed_.wait_for(guard, duration, [this] { return set_; });
  }
  bool isSet() {
    std::lock_guard<std::mutex> guard(mutex_);
    return set_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// Holds the worker that takes it until the test opens it.
struct GateTask : CoreLoom::ThreadTask {
  void run() override {
    ++runs;
    started.set();
    open.waitFor(kPatience);
  }
  Signal started, open;
  std::atomic<int> runs{0};
};

struct CountTask : CoreLoom::ThreadTask {
  void run() override { ++runs; }
  std::atomic<int> runs{0};
};

// The name of the calling thread as debuggers and tools see it ("" where the system keeps none).
std::string currentThreadName();

}  // namespace CoreLoomTest

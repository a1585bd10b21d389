// A stand-in for the host's user-interface thread: runs one job at a time for the audio thread, between blocks.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace BlockStats {

class UiThread {
 public:
  UiThread() : thread_([this] { loop(); }) {}
  ~UiThread() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  // Runs job on the UI thread and returns when it is done (the caller's thread waits: no block is in flight).
  void run(std::function<void()> job) {
    std::unique_lock<std::mutex> hold(mutex_);
    job_ = std::move(job);
    wake_.notify_all();
    wake_.wait(hold, [this] { return !job_; });
  }

 private:
  void loop() {
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
      wake_.wait(hold, [this] { return quit_ || job_; });
      if (quit_) return;
      job_();
      job_ = nullptr;
      wake_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::function<void()> job_;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace BlockStats

// A counting semaphore with a blocking wait and a zero-time-out try.
#pragma once

namespace Platform {

class Semaphore {
 public:
  Semaphore(int initial, int maximum);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  void wait();
  bool tryWait();  // zero time-out: true if it was taken
  void release();

 private:
  void* handle_;
};

}  // namespace Platform

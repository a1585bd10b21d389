// ThreadPool: worker threads taking ThreadTask pointers from a 32-slot ring, coordinated by counting semaphores.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/semaphore.h"
#include "threads/non_copyable.h"
#include "threads/thread.h"
#include "threads/thread_task.h"

namespace CoreLoom {

class ThreadPool : public NonCopyable {
 public:
  static constexpr int kRingSize = 32;  // a power of two: indices wrap with kRingSize - 1

  // Starts workerCount workers, each named name. Throws std::system_error when a thread cannot be started
  // (the workers already running are stopped first).
  explicit ThreadPool(const char* name, int workerCount = 1);
  // Stops and joins every worker; a task that is running finishes, tasks still queued are dropped unrun.
  virtual ~ThreadPool();

  // Queues a task for the next free worker (a null task is ignored). Blocks while the ring holds kRingSize tasks
  // that no worker has taken. The task must stay alive until it has run; it runs outside every lock of the pool.
  void push(ThreadTask* task);

  const std::string& name() const { return name_; }
  int workerCount() const { return workerCount_; }

 private:
  class Worker : public Thread {
   public:
    explicit Worker(ThreadPool* pool) : pool_(pool) {}
    void run() override { pool_->workerLoop(); }

   private:
    ThreadPool* pool_;
  };

  void workerLoop();
  void stopWorkers();

  static constexpr int kUnlimited = 0x7FFFFFFF;
  Platform::Semaphore itemsAvailable_{0, kUnlimited};  // one count per queued task and per stop signal
  Platform::Semaphore freeSlots_{0, kUnlimited};       // one count per empty ring slot
  Platform::Semaphore consumerLock_{1, kUnlimited};    // binary lock over readIndex_
  Platform::Semaphore producerLock_{1, kUnlimited};    // binary lock over writeIndex_
  std::atomic<bool> stop_{false};
  std::vector<std::unique_ptr<Worker>> workers_;
  int workerCount_;
  ThreadTask* ring_[kRingSize] = {};  // not owning
  int readIndex_ = 0;
  int writeIndex_ = 0;
  std::string name_;
};

}  // namespace CoreLoom

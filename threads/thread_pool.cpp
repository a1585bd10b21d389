// ThreadPool: the bounded task ring, its producers and the worker loop.
#include "threads/thread_pool.h"

namespace CoreLoom {

ThreadPool::ThreadPool(const char* name, int workerCount)
    : workerCount_(workerCount < 1 ? 1 : workerCount), name_(name ? name : "") {
  for (int slot = 0; slot < kRingSize; ++slot) freeSlots_.release();
  workers_.reserve((size_t)workerCount_);
  for (int i = 0; i < workerCount_; ++i) workers_.push_back(std::make_unique<Worker>(this));
  try {
    for (auto& worker : workers_) worker->start();
  } catch (...) {
    stopWorkers();
    throw;
  }
}

ThreadPool::~ThreadPool() { stopWorkers(); }

// Every started worker consumes exactly one stop signal, whether it was idle or still running a task.
void ThreadPool::stopWorkers() {
  stop_.store(true, std::memory_order_release);
  for (auto& worker : workers_)
    if (worker->started()) itemsAvailable_.release();
  for (auto& worker : workers_) worker->join();
  workers_.clear();
}

// Lock order: producerLock, then freeSlots; a producer waiting for room keeps the other producers out, so tasks
// enter the ring in the order their push calls took the lock.
void ThreadPool::push(ThreadTask* task) {
  if (!task) return;  // a worker would call through it
  producerLock_.wait();
  freeSlots_.wait();
  ring_[writeIndex_] = task;
  writeIndex_ = (writeIndex_ + 1) & (kRingSize - 1);
  itemsAvailable_.release();
  producerLock_.release();
}

void ThreadPool::workerLoop() {
  setCurrentThreadName(name_.c_str());
  for (;;) {
    itemsAvailable_.wait();
    if (stop_.load(std::memory_order_acquire)) return;  // whatever is still queued is dropped
    consumerLock_.wait();
    ThreadTask* task = ring_[readIndex_];
    readIndex_ = (readIndex_ + 1) & (kRingSize - 1);
    consumerLock_.release();
    freeSlots_.release();
    task->run();
  }
}

}  // namespace CoreLoom

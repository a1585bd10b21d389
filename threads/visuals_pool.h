// IVisualsPool: the process-wide pool that runs editors' visual computations, and the holder that shares it.
#pragma once

#include <mutex>

#include "threads/thread_pool.h"

namespace CoreLoom {

class IVisualsPool : public ThreadPool {
 public:
  static constexpr const char* kName = "Loom visuals";
  IVisualsPool() : ThreadPool(kName, 1) {}
};

// Counts the frames that use the visuals pool. The first reference creates the pool, the last one deletes it
// (stopping and joining its worker); a later acquire creates a new one. Acquire and release are serialized, so
// an acquirer is never handed a pool that a releaser is deleting: it waits until the deletion is complete.
// Used when editors open and close, never on the audio thread.
class VisualsPoolHolder : public NonCopyable {
 public:
  VisualsPoolHolder() = default;
  // Deletes a pool that is still referenced; the process-wide holder is never destroyed (see visualsPoolHolder).
  ~VisualsPoolHolder();

  // One reference more; returns the shared pool. Throws std::system_error when the pool's thread cannot be
  // started, and then holds no reference.
  IVisualsPool* acquire();
  // One reference less; the last reference deletes the pool. A release without a reference is ignored.
  void release();

  int references() const;
  bool hasPool() const;

 private:
  mutable std::mutex lock_;
  int refCount_ = 0;
  IVisualsPool* pool_ = nullptr;  // null while no frame holds a reference
};

// The one holder of the process, shared by every editor of every instance the host loads.
VisualsPoolHolder& visualsPoolHolder();

}  // namespace CoreLoom

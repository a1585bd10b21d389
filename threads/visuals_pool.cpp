// The visuals pool holder: one pool per process while any frame holds a reference.
#include "threads/visuals_pool.h"

#include <new>

namespace CoreLoom {

VisualsPoolHolder::~VisualsPoolHolder() { delete pool_; }

IVisualsPool* VisualsPoolHolder::acquire() {
  std::lock_guard<std::mutex> guard(lock_);
  // The count changes only after the pool exists: a creation that throws leaves the holder as it was.
  if (refCount_ == 0) pool_ = new IVisualsPool();
  ++refCount_;
  return pool_;
}

void VisualsPoolHolder::release() {
  std::lock_guard<std::mutex> guard(lock_);
  if (refCount_ == 0) return;
  if (--refCount_ > 0) return;
  // The pool is deleted and forgotten under the lock: no acquirer can see it half torn down.
  delete pool_;
  pool_ = nullptr;
}

int VisualsPoolHolder::references() const {
  std::lock_guard<std::mutex> guard(lock_);
  return refCount_;
}

bool VisualsPoolHolder::hasPool() const {
  std::lock_guard<std::mutex> guard(lock_);
  return pool_ != nullptr;
}

VisualsPoolHolder& visualsPoolHolder() {
  // Never destroyed: joining a worker while the module unloads would run under the system loader's lock. A pool
  // still referenced then belongs to an editor that was never closed. The holder lives in the module's own storage,
  // not on the heap, so a host that unloads the module and loads it again loses nothing each time.
  alignas(VisualsPoolHolder) static unsigned char storage[sizeof(VisualsPoolHolder)];
  static VisualsPoolHolder* const holder = new (storage) VisualsPoolHolder();
  return *holder;
}

}  // namespace CoreLoom

// Relaxed<T>: a value that one thread writes and others read without a lock. Each access is a relaxed atomic load or
// store, so a reader sees a whole value, old or new, never a torn one; readers keep shadow copies and catch up on
// their next pass, so no ordering with other memory is needed. Copying copies the current value.
#pragma once

#include <atomic>

namespace PlugCore {

template <typename T>
class Relaxed {
 public:
  Relaxed(T value = T()) : value_(value) {}  // NOLINT: converts like the plain value it stands for
  Relaxed(const Relaxed& other) : value_(other.load()) {}
  Relaxed& operator=(const Relaxed& other) {
    store(other.load());
    return *this;
  }
  Relaxed& operator=(T value) {
    store(value);
    return *this;
  }

  T load() const { return value_.load(std::memory_order_relaxed); }
  void store(T value) { value_.store(value, std::memory_order_relaxed); }
  operator T() const { return load(); }  // NOLINT: reads like the plain value

 private:
  std::atomic<T> value_;
  static_assert(std::atomic<T>::is_always_lock_free, "a value the audio thread reads must never take a lock");
};

}  // namespace PlugCore

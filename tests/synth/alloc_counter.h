// Counts allocations while a scope is open: calls of the global operator new, which the test binary replaces, and
// with glibc calls of malloc and its kin, which it defines in front of the C library's.
#pragma once

#include <atomic>
#include <cstddef>

namespace AllocCounter {
// The sanitizer build keeps its own operator new (a replacement would mismatch its bookkeeping): no counting there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAvailable = false;
#else
constexpr bool kAvailable = true;
#endif
#if defined(__GLIBC__)
constexpr bool kCountsMalloc = true;
#else
constexpr bool kCountsMalloc = false;
#endif
extern std::atomic<bool> counting;
extern std::atomic<long> count;

struct Scope {
  Scope() {
    count = 0;
    counting = true;
  }
  ~Scope() { counting = false; }
  long allocations() const { return count.load(); }
};
}  // namespace AllocCounter

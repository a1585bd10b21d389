// Counts calls of the global operator new while a scope is open (the test binary replaces operator new).
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

// The SSE2 test through CPUID, with its test seam.
#include <atomic>

#include "platform/system.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace Platform {
namespace {
std::atomic<bool> g_forceNoSse2{false};
}

void forceNoSse2(bool force) { g_forceNoSse2 = force; }

bool cpuHasSse2() {
  if (g_forceNoSse2) return false;
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (edx & (1u << 26)) != 0;
#else
  return false;
#endif
}

}  // namespace Platform

// The test binary's global operator new: counts, then allocates as usual.
#include "alloc_counter.h"

#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
#endif
#include <new>

namespace AllocCounter {
std::atomic<bool> counting{false};
std::atomic<long> count{0};
}  // namespace AllocCounter

#if !defined(__SANITIZE_ADDRESS__)
namespace {
#if defined(_WIN32)
// Windows' C runtime has no aligned_alloc; its aligned blocks have their own release.
void* alignedBlock(std::size_t align, std::size_t size) { return _aligned_malloc(size, align); }
void releaseAligned(void* p) { _aligned_free(p); }
#else
void* alignedBlock(std::size_t align, std::size_t size) { return std::aligned_alloc(align, size); }
void releaseAligned(void* p) { std::free(p); }
#endif

void* allocate(std::size_t size) {
  if (AllocCounter::counting) ++AllocCounter::count;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* allocateAligned(std::size_t size, std::align_val_t align) {
  if (AllocCounter::counting) ++AllocCounter::count;
  const std::size_t a = (std::size_t)align;
  if (void* p = alignedBlock(a, (size + a - 1) / a * a)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { releaseAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { releaseAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { releaseAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { releaseAligned(p); }
#endif

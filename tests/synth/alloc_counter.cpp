// The test binary's global operator new and, with glibc, the C library's allocation entry points: counts, then
// allocates as usual.
#include "alloc_counter.h"

#include <cerrno>
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

// Where malloc itself counts, operator new, which calls it, does not count again.
void note() {
  if (!AllocCounter::kCountsMalloc && AllocCounter::counting) ++AllocCounter::count;
}

void* allocate(std::size_t size) {
  note();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* allocateAligned(std::size_t size, std::align_val_t align) {
  note();
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

#if defined(__GLIBC__)
// The Linux module carries its own C++ runtime, whose operator new no executable replaces; its allocations reach the
// C library, whose entry points this executable defines in front of glibc's and hands on to glibc's allocator.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);

namespace {
void noteMalloc() {
  if (AllocCounter::counting) ++AllocCounter::count;
}
}  // namespace

void* malloc(std::size_t size) {
  noteMalloc();
  return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
  noteMalloc();
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
  noteMalloc();
  return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
  noteMalloc();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  noteMalloc();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  noteMalloc();
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* p = __libc_memalign(alignment, size);
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}
}  // extern "C"
#endif
#endif

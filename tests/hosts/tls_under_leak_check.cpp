// The leak checker at exit, with a loaded module's thread-local block placed 16 bytes into a page: the layout that
// GCC 12's runtime, intercepting __tls_get_addr, takes for an old glibc block with a header in front, reading a start
// and a length from the words before it, so that its tracer dies (signal 11) and the run fails without a report. The
// sanitizer stage's options must keep that from happening, and a pointer held only in the block must still count as
// reachable. The check is the process's exit status.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main() {
  void* module = dlopen(KORALIN_TLS_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "cannot load %s: %s\n", KORALIN_TLS_MODULE, dlerror());
    return 1;
  }
  auto slots = reinterpret_cast<void** (*)()>(dlsym(module, "koralinTestTlsSlots"));
  if (!slots) return 1;
  // Chunks of the block's size class come one after another at a fixed stride: take them until the next one starts
  // 16 bytes into a page. They stay reachable through the list.
  constexpr size_t kBlockSize = 3 * sizeof(void*);
  static std::vector<void*>* taken = new std::vector<void*>;
  taken->reserve(1 << 16);
  uintptr_t last = reinterpret_cast<uintptr_t>(std::malloc(kBlockSize));
  taken->push_back(reinterpret_cast<void*>(last));
  for (int i = 0; i < 60000; ++i) {
    const uintptr_t next = reinterpret_cast<uintptr_t>(std::malloc(kBlockSize));
    taken->push_back(reinterpret_cast<void*>(next));
    const uintptr_t stride = next - last;
    last = next;
    if (stride > 0 && stride < 256 && ((next + stride) & 4095) == 16) break;
  }
  void** block = slots();
  const unsigned offset = static_cast<unsigned>(reinterpret_cast<uintptr_t>(block) & 4095);
  std::printf("the module's block for this thread is at %p, %u bytes into its page\n", static_cast<void*>(block),
              offset);
  if (offset != 16) {
    std::fprintf(stderr, "the block could not be placed 16 bytes into a page (at %u): nothing was checked\n", offset);
    return 1;
  }
  block[0] = std::malloc(100);  // reachable only through the thread-local block
  return 0;
}

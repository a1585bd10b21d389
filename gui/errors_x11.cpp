// The process-wide X error handler: errors on the editors' own connections are kept from the host's handler.
#include <X11/Xlib.h>

#include <atomic>
#include <mutex>

#include "gui/window_x11.h"

namespace Lattice {

namespace {

// Read by the handler without a lock (it may run on any thread, inside Xlib); written under the mutex.
constexpr int kSlots = 64;
std::atomic<Display*> ourDisplays[kSlots];
std::atomic<int> errorCounts[kSlots];
std::mutex registry;
int adopted = 0;
XErrorHandler previousHandler = nullptr;
bool stillInstalled = false;  // left in place under another handler that chains to it

int onXError(Display* display, XErrorEvent* error) {
  for (int i = 0; i < kSlots; ++i) {
    if (ourDisplays[i].load(std::memory_order_acquire) == display) {
      errorCounts[i].fetch_add(1, std::memory_order_relaxed);
      return 0;  // a window the host destroyed under us, a grab refused: nothing the host should hear of
    }
  }
  return previousHandler ? previousHandler(display, error) : 0;
}

}  // namespace

void adoptErrorsOf(Display* display) {
  std::lock_guard<std::mutex> lock(registry);
  for (int i = 0; i < kSlots; ++i) {
    Display* empty = nullptr;
    if (ourDisplays[i].compare_exchange_strong(empty, display)) {
      errorCounts[i].store(0);
      break;
    }
  }
  if (adopted++ == 0 && !stillInstalled) previousHandler = XSetErrorHandler(&onXError);
}

void releaseErrorsOf(Display* display) {
  std::lock_guard<std::mutex> lock(registry);
  for (int i = 0; i < kSlots; ++i) {
    Display* mine = display;
    if (ourDisplays[i].compare_exchange_strong(mine, nullptr)) break;
  }
  if (--adopted > 0) return;
  // Put the previous handler back unless someone installed theirs over ours (they chain to us; we stay).
  XErrorHandler current = XSetErrorHandler(previousHandler);
  stillInstalled = current != &onXError;
  if (stillInstalled) XSetErrorHandler(current);
}

int errorsSeenOn(Display* display) {
  for (int i = 0; i < kSlots; ++i)
    if (ourDisplays[i].load() == display) return errorCounts[i].load();
  return -1;
}

}  // namespace Lattice

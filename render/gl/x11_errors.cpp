// The library's X error handling: one installer under one lock, one handler, and the traps of each thread.
#include "render/gl/x11_errors.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace VexBlit {

namespace {

// The editors' connections and their error counts, read by the handler without a lock (it may run on any thread,
// inside Xlib); slots are taken and given back by compare-exchange.
constexpr int kSlots = 64;
std::atomic<Display*> adopted[kSlots];
std::atomic<int> adoptedErrors[kSlots];

// The innermost trap of this thread (Xlib calls the handler on the thread whose request failed).
thread_local XErrorTrap* innermostTrap = nullptr;

// The handler that was in place before ours: every error that is not ours goes there.
std::atomic<XErrorHandler> previousHandler{nullptr};

// The installer's state, changed under installLock only. All of it is trivially destructible: nothing here runs at
// exit or unload.
std::mutex installLock;
int users = 0;        // adopted connections and live traps
bool pinned = false;  // the library stays loaded for the rest of the process

// While a user exists the host has not unloaded us (an editor is open, or a window is being made). Once our handler
// may outlive the last user, the library is marked never to be unloaded.
void pinLibrary() {
  if (pinned) return;
  pinned = true;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&handleXError), &info) && info.dli_fname)
    (void)dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);  // a reference never given back
}

void addUser() {
  std::lock_guard<std::mutex> lock(installLock);
  if (users++ > 0) return;
  const XErrorHandler before = XSetErrorHandler(&handleXError);
  // Ours may still be there from an earlier time (kept under someone else's): it chains as it did then.
  if (before != &handleXError) previousHandler.store(before);
}

void removeUser() {
  std::lock_guard<std::mutex> lock(installLock);
  if (users == 0 || --users > 0) return;
  const XErrorHandler current = XSetErrorHandler(previousHandler.load());
  if (current != &handleXError) {
    // Someone set theirs over ours meanwhile and may call ours from it (or put ours back later): theirs stays, and
    // our code must stay mapped as long as the process lives.
    XSetErrorHandler(current);
    pinLibrary();
  }
}

}  // namespace

int handleXError(Display* display, XErrorEvent* error) {
  bool ours = false;
  for (XErrorTrap* trap = innermostTrap; trap && !ours; trap = trap->outer_) {
    if (trap->display_ == display) {
      trap->failed_ = true;
      ours = true;
    }
  }
  for (int i = 0; i < kSlots && !ours; ++i) {
    if (adopted[i].load(std::memory_order_acquire) == display) {
      adoptedErrors[i].fetch_add(1, std::memory_order_relaxed);
      ours = true;  // a window the host destroyed under us, a grab refused: nothing the host should hear of
    }
  }
  if (ours) return 0;
  const XErrorHandler previous = previousHandler.load();
  return previous ? previous(display, error) : 0;
}

void adoptXErrors(Display* display) {
  for (int i = 0; i < kSlots; ++i) {
    Display* empty = nullptr;
    if (adopted[i].compare_exchange_strong(empty, display)) {
      adoptedErrors[i].store(0);
      break;
    }
  }
  addUser();
}

void releaseXErrors(Display* display) {
  for (int i = 0; i < kSlots; ++i) {
    Display* mine = display;
    if (adopted[i].compare_exchange_strong(mine, nullptr)) break;
  }
  removeUser();
}

int xErrorsSeenOn(Display* display) {
  for (int i = 0; i < kSlots; ++i)
    if (adopted[i].load() == display) return adoptedErrors[i].load();
  return -1;
}

XErrorTrap::XErrorTrap(Display* display) : display_(display), outer_(innermostTrap) {
  XSync(display_, False);  // what earlier requests did wrong is not this trap's to catch
  addUser();
  innermostTrap = this;
}

XErrorTrap::~XErrorTrap() {
  innermostTrap = outer_;
  removeUser();
}

bool XErrorTrap::failedNow() {
  XSync(display_, False);
  return failed_;
}

bool xErrorHandlerPinned() {
  std::lock_guard<std::mutex> lock(installLock);
  return pinned;
}

}  // namespace VexBlit

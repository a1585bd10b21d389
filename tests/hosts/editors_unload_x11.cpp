// The host's side of an X error after the module's editors have come and gone on two threads and the module has
// been unloaded: Xlib's handler is process-wide, so whatever the module left in it outlives the module.
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <chrono>
#include <thread>

#include "sequence_host.h"

namespace HostSeq {
namespace {

int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) {
  ++hostErrors;
  return 0;
}

// Opens and closes one instance's editor in a window of this thread's own connection, painting it meanwhile.
void editorRounds(Instance* plug, int rounds) {
  Display* own = XOpenDisplay(nullptr);
  Window parent = XCreateSimpleWindow(own, DefaultRootWindow(own), 0, 0, 560, 110, 0, 0, 0);
  XMapWindow(own, parent);
  XSync(own, False);
  for (int r = 0; r < rounds; ++r) {
    plug->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>((uintptr_t)parent));
    for (int i = 0; i < 6; ++i) {
      plug->dispatch(effEditIdle);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    plug->dispatch(effEditClose);
  }
  XDestroyWindow(own, parent);
  XCloseDisplay(own);
}

}  // namespace

int editorsOnTwoThreadsThenUnloadThenAnXError() {
  XInitThreads();  // as hosts with editors on several threads do, before any other Xlib call
  Display* host = XOpenDisplay(nullptr);
  if (!host) return 10;
  XSetErrorHandler(&countHostError);
  void* module = dlopen(KORALIN_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!module) return 11;
  auto entry = reinterpret_cast<EntryProc>(dlsym(module, "VSTPluginMain"));
  {
    Instance a(entry), b(entry);
    std::thread first(editorRounds, &a, 10), second(editorRounds, &b, 10);
    first.join();
    second.join();
  }
  dlclose(module);
  const XErrorHandler current = XSetErrorHandler(&countHostError);
  Dl_info where{};
  if (current != &countHostError && !dladdr(reinterpret_cast<void*>(current), &where)) return 12;
  XFreePixmap(host, 0x7FFFFF01);  // no such pixmap: BadPixmap
  XSync(host, False);
  if (hostErrors != 1) return 13;
  XCloseDisplay(host);
  return 0;
}

}  // namespace HostSeq

// The editors' display connections: a closed editor's connection waits for the next editor opened on its thread.
#include <X11/Xlib.h>
#include <pthread.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "gui/window_x11.h"

namespace Lattice {

namespace {

// GLX keeps per-connection bookkeeping that closing the connection does not give back, so a host that opens and
// closes the editor again and again would see memory grow with every fresh connection. A parked connection has no
// window, no pending events and no requests in flight; only the thread that parked it takes it again (one editor
// per connection, Xlib used without its own locking). Connections still parked when their thread ends, or when
// the library unloads, are closed then.
constexpr size_t kParkedPerThread = 4;  // editors of one thread open at the same time, kept for reuse

struct Parked {
  pthread_t owner;
  Display* display;
  std::string server;  // the server named when the connection was parked
};

std::string serverNamedNow() {
  const char* name = std::getenv("DISPLAY");
  return name ? name : "";
}

class Parking {
 public:
  Parking() { keyMade = pthread_key_create(&threadEnd, &Parking::onThreadEnd) == 0; }
  ~Parking() {
    std::lock_guard<std::mutex> lock(mutex);
    if (keyMade) pthread_key_delete(threadEnd);  // no thread calls back into a library that is gone
    keyMade = false;
    for (Parked& entry : parked) XCloseDisplay(entry.display);
    parked.clear();
  }

  Display* take() {
    std::lock_guard<std::mutex> lock(mutex);
    const std::string wanted = serverNamedNow();
    for (size_t i = parked.size(); i-- > 0;) {
      if (!pthread_equal(parked[i].owner, pthread_self())) continue;
      Display* display = parked[i].display;
      const bool sameServer = parked[i].server == wanted;
      parked.erase(parked.begin() + long(i));
      // A connection to another server than the one named now is of no use any more.
      if (!sameServer) {
        XCloseDisplay(display);
        continue;
      }
      return display;
    }
    return nullptr;
  }

  void park(Display* display) {
    std::lock_guard<std::mutex> lock(mutex);
    size_t mine = 0;
    for (const Parked& entry : parked) mine += pthread_equal(entry.owner, pthread_self()) ? 1 : 0;
    if (!keyMade || mine >= kParkedPerThread) {
      XCloseDisplay(display);
      return;
    }
    pthread_setspecific(threadEnd, this);  // so that the thread's end closes what it left here
    parked.push_back({pthread_self(), display, serverNamedNow()});
  }

 private:
  static void onThreadEnd(void* self) { static_cast<Parking*>(self)->closeOwnedBy(pthread_self()); }

  void closeOwnedBy(pthread_t owner) {
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = parked.size(); i-- > 0;) {
      if (!pthread_equal(parked[i].owner, owner)) continue;
      XCloseDisplay(parked[i].display);
      parked.erase(parked.begin() + long(i));
    }
  }

  std::mutex mutex;
  std::vector<Parked> parked;
  pthread_key_t threadEnd{};
  bool keyMade = false;
};

Parking& parking() {
  static Parking instance;
  return instance;
}

}  // namespace

Display* openConnection() {
  Display* display = parking().take();
  return display ? display : XOpenDisplay(nullptr);
}

void parkConnection(Display* display) {
  // Whatever the server still had to say about the last window is read and dropped.
  XSync(display, True);
  parking().park(display);
}

}  // namespace Lattice

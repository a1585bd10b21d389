// X protocol errors in one place for the whole library: the only code that installs or restores the process's X
// error handler. Errors on the editors' own connections, and on a connection with a trap in force on the thread
// that made the request, are ours; every other error goes on to the handler that was there before ours.
//
// The handler is process-wide state of Xlib, and other code (the host, the GL driver, another plug-in) may set
// its own at any time on any thread. Ours is installed while the first user (an adopted connection or a trap)
// exists and the previous one is put back when the last goes. If someone else's handler sits on top of ours by
// then, it may still call ours, so ours cannot be taken away: the library is then kept loaded for the rest of the
// process instead of leaving a handler that points into unmapped code.
#pragma once

#include <X11/Xlib.h>

namespace VexBlit {

// The library's handler; the traps keep what it found.
int handleXError(Display* display, XErrorEvent* error);

// Errors on this connection (an editor's own) are ours from now until it is released: counted, never passed on.
void adoptXErrors(Display* display);
void releaseXErrors(Display* display);
// Errors seen on an adopted connection since it was adopted; -1 when it is not adopted.
int xErrorsSeenOn(Display* display);

// Catches the errors of one connection's requests made on this thread while it lives (window and context creation),
// so that a failure is a result instead of the default handler's exit.
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  // Waits for the server's answers and tells whether any request failed since the trap was set.
  bool failedNow();

 private:
  friend int handleXError(Display* display, XErrorEvent* error);
  Display* display_;
  XErrorTrap* outer_;
  bool failed_ = false;
};

// Whether the library still has its handler reachable, so that it cannot be unloaded (for tests).
bool xErrorHandlerPinned();

}  // namespace VexBlit

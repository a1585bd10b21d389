// The native side of the root window behind one small interface; one backend file per window system.
#pragma once

#include <cstdint>
#include <memory>

#include "render/gl/drawing.h"

namespace Lattice {

class Control;
class Menu;
class Winwrapper;

// What Winwrapper asks of the window system. The backend owns the native window, turns every native event into
// the matching Winwrapper::on... call, and nothing above it sees a native type.
//
// Destruction: destroy() (or the window's destruction by its parent) must end in root.onDestroy() while the
// window and its GL context still exist where the system allows, then root.onNcDestroy(), which deletes the root
// and with it this backend: after that call the backend touches nothing of itself.
class WindowBackend {
 public:
  // Destroys a native window that is still there without calling back into the root (which is going already).
  virtual ~WindowBackend() = default;

  // The native window exists (creation succeeded and it has not been destroyed).
  virtual bool valid() const = 0;
  // The window's id as a number (HWND or X11 Window), for tests and the host glue; 0 when there is none.
  virtual uintptr_t handle() const = 0;
  // Destroys the native window: onDestroy and onNcDestroy follow before it returns.
  virtual void destroy() = 0;

  // Pointer capture of the window (while a control drags) and whether the window holds it now.
  virtual void setCapture() = 0;
  virtual void releaseCapture() = 0;
  virtual bool hasCapture() const = 0;
  // Keyboard focus to the window.
  virtual void setFocus() = 0;
  // OK/Cancel box owned by the window; true only for OK.
  virtual bool ask(const char* caption, const char* text) = 0;
  // Repaint the whole window soon (through onPaint).
  virtual void invalidate() = 0;
  // The 10 ms timer, delivered as onTimer; startTimer is false when the system refused it.
  virtual bool startTimer() = 0;
  virtual void stopTimer() = 0;
  // A new popup menu bound to this window whose command is delivered through onCommand.
  virtual Menu* newMenu(Control* listener) = 0;
  // Cursor shape by number (gui/menu.h).
  virtual void setCursor(int n) = 0;
  // Top-left of the window on the screen, in screen pixels.
  virtual void screenOrigin(int& x, int& y) const = 0;
  // Handles what the window system has pending (X11: events, the timer, painting); nothing where the system
  // delivers events by itself. May end in onNcDestroy (window destroyed by its parent): return at once then.
  virtual void idle() = 0;
  // The drawing device on this window; throws VexBlit::Exception when it cannot be made.
  virtual VexBlit::DevicePtr createDevice() = 0;
  // Fills the window black, for a frame the renderer could not draw.
  virtual void paintFallback() = 0;
  // Gives the window a new size in pixels (its drawable follows at the next frame).
  virtual void resize(int width, int height) = 0;
};

// Creates the native window as a child of parentWindow (HWND, or X11 Window id; null for a top-level window on
// Windows), width by height pixels. On failure the box "Failed to create a control." is shown and the backend exists
// without a window. Defined by the backend file of the platform.
std::unique_ptr<WindowBackend> createWindowBackend(Winwrapper& root, void* parentWindow, int width, int height);

// The scale the desktop asks of windows (window pixels per unit) for a window shown in parentWindow (null: the
// primary screen), unrounded; 0 when the desktop says nothing. X11: GDK_SCALE when set, else Xft.dpi / 96 from the
// X resource database as the server holds it now; Windows: the DPI of the window's monitor / 96. Defined by the
// backend file of the platform.
float desktopScaleFor(void* parentWindow);

}  // namespace Lattice

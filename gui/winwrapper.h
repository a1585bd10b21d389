// The root of every control tree: the native child window, its drawing device, window services and events.
#pragma once

#include <cstdint>
#include <memory>

#include "gui/container.h"
#include "gui/menu.h"
#include "gui/window_backend.h"

namespace Lattice {

class Winwrapper : public Container {
 public:
  using BackendFactory = std::unique_ptr<WindowBackend> (*)(Winwrapper& root, void* parentWindow, int width,
                                                            int height);
  // Creates the native window as a child of parentWindow; on failure the object exists without a window.
  // The root deletes itself when its window is destroyed (destroyWindow, or the parent's destruction).
  // width and height are the tree's units; the window is that times scale in pixels, and every point the window
  // system gives is turned into units before the tree sees it, so the tree behaves the same at every scale.
  Winwrapper(void* parentWindow, IFrameController* controller, int width, int height,
             BackendFactory makeBackend = &createWindowBackend, float scale = 1.0f);
  ~Winwrapper() override;

  // Window services of the tree.
  bool ask(const char* caption, const char* text) override;
  void invalidate() override;
  void releaseGraphics() override;
  void setCapture(Control* control) override;
  bool hasCapture(Control* control) override;
  void setFocus(Control* control) override;
  Menu* newMenu(Control* listener) override;
  bool isMenuOpenFor(Control* control) override;

  // For the owner. startTimer replaces a running timer; "Failed to create timer." when the system refuses.
  void startTimer(ITimerController* receiver);
  void stopTimer();
  // Destroys the window, which deletes this root and the whole tree before it returns.
  void destroyWindow();
  // The editor's idle call: lets the backend handle what is pending. May delete this root (see destroyWindow).
  void idle();
  bool hasWindow() const;
  uintptr_t windowHandle() const;
  WindowBackend& backend() { return *native; }

  // Window pixels per unit. setScale resizes the window to the tree's size times scale and repaints.
  float scale() const { return scale_; }
  void setScale(float scale);
  int pixelWidth() const { return pixels(w); }
  int pixelHeight() const { return pixels(h); }
  // A length in units as whole window pixels (cut, so the window never shows past the panel), and a window
  // pixel's coordinate as the unit it lies in.
  int pixels(int units) const;
  int units(int pixels) const;

  // For menus: the listener's menu is up (repaints so it can show it), and where a point relative to the
  // listener lies in window and in screen coordinates.
  void menuOpening(Control* listener);
  static void windowPoint(const Control* listener, int x, int y, int& wx, int& wy);
  void screenPoint(const Control* listener, int x, int y, int& sx, int& sy) const;

  // Called by the backend, one per native event. Coordinates are window pixels; mods as in gui/control.h.
  void onScaleChanged(float desktopScale);
  void onDestroy();
  void onNcDestroy();  // deletes this root
  void onPaint();
  void onClose();
  void onSetCursor();
  void onKillFocus();
  void onKeyDown(int key);
  void onKeyUp(int key);
  void onChar(const char* text);
  void onCommand(int id);
  void onTimer();
  void onCaptureChanged();
  void onMouseLeave();
  void onMouseMove(int x, int y, int mods);
  void onMouseDown(int x, int y, int button, int mods);
  void onMouseUp(int x, int y, int button, int mods);
  void onDoubleClick(int x, int y, int button, int mods);
  void onWheel(int x, int y, float delta, int mods);

  IFrameController* controller;       // not owned
  ITimerController* timer = nullptr;  // receiver of the 10 ms timer; null when none runs
  VexBlit::DevicePtr device;          // made on the first paint
  Control* captured = nullptr;        // holds the pointer capture
  Control* focused = nullptr;         // holds the keyboard focus
  Control* menuListener = nullptr;    // opened the last popup menu; receives its command
  bool menuOpen = false;              // a popup menu is up

  // The root whose event is being handled on this thread, for cursor(); null outside event handling.
  static Winwrapper* dispatching();

 private:
  class Dispatch;
  // The control a pointer event goes to (the captured one, else this root) with the point made relative to it.
  Control* pointerTarget(int& x, int& y);

  std::unique_ptr<WindowBackend> native;
  float scale_ = 1.0f;
};

}  // namespace Lattice

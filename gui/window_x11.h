// The X11 window backend: the editor's own display connection and child window, its event pump and timer.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <vector>

#include "gui/window_backend.h"

namespace Lattice {

class X11Window : public WindowBackend {
 public:
  using Clock = std::chrono::steady_clock;

  X11Window(Winwrapper& root, Window parent, int width, int height);
  ~X11Window() override;

  bool valid() const override { return window != 0 && !gone; }
  uintptr_t handle() const override { return valid() ? uintptr_t(window) : 0; }
  void destroy() override;
  void setCapture() override;
  void releaseCapture() override;
  bool hasCapture() const override;
  void setFocus() override;
  bool ask(const char* caption, const char* text) override;
  void invalidate() override { needsPaint = true; }
  bool startTimer() override;
  void stopTimer() override { timerRunning = false; }
  Menu* newMenu(Control* listener) override;
  void setCursor(int n) override { wantedCursor = n; }
  void screenOrigin(int& x, int& y) const override;
  void idle() override;
  VexBlit::DevicePtr createDevice() override;
  void paintFallback() override;
  void resize(int width, int height) override;

  // For the popup menu's modal loop: the editor keeps its timer and painting going meanwhile.
  Display* connection() const { return display; }
  Winwrapper& rootWindow() { return root; }
  bool closing() const { return gone || destroyRequested; }
  void dispatch(XEvent& event);  // one event of the editor window
  void runTimer();               // one tick when 10 ms have passed since the last
  void paintIfAsked();
  void applyCursor();
  // A chosen menu command, delivered once after the event being handled (and the menu) is done.
  void postCommand(int id) { postedCommands.push_back(id); }
  // After our menu let the pointer go: which buttons are still held, and whether the pointer is still over us.
  void afterMenu();
  // Set while our own popup menu holds the pointer: the editor's grab changes are the menu's, not losses.
  bool menuActive = false;
  // Nesting of our own loops (idle, menus): the root may only be deleted when the outermost one returns.
  int busy = 0;

 private:
  void create(Window parent, int width, int height);
  void deliverCommands();
  void checkGrab();
  void finishDestroy();
  void onButton(const XButtonEvent& event, bool press);
  void onKey(XKeyEvent& event, bool press);
  void onCrossing(const XCrossingEvent& event);
  Cursor cursorShape(int n);

  Winwrapper& root;
  Display* display = nullptr;  // our own connection; never the host's
  Window window = 0;
  Colormap colormap = 0;
  Window drawable = 0;            // the GL device's window inside ours, once made
  bool gone = false;              // the window was destroyed under us: never touched again
  bool destroyRequested = false;  // destroy() came while one of our loops was running
  bool needsPaint = true;
  bool timerRunning = false;
  Clock::time_point lastTick;
  bool captureWanted = false;  // a control holds the capture (kept while a button holds X's implicit grab)
  unsigned buttonsDown = 0;    // bit per tree button held in our window
  int wantedCursor = 0, shownCursor = -1;
  Cursor cursors[6] = {};
  std::vector<int> postedCommands;
  // Double-click detection: the last press that may begin one.
  Time lastPressTime = 0;
  int lastPressButton = 0, lastPressX = 0, lastPressY = 0;
  unsigned doubleClickMs = 400;
  Atom deleteWindowAtom = 0;
};

// The editors' own display connections: a fresh one, or one a closed editor of this thread left behind.
Display* openConnection();
// Hands back an editor's connection once its windows are destroyed; it stays open for the next editor.
void parkConnection(Display* display);

}  // namespace Lattice

// A host for the X11 backend's tests: own connection, parent window, XTest input, the host's error handler.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "tree_probe.h"

// Xlib stays out of the tests' names (its None and Bool would clash): the display is only pointed to.
struct _XDisplay;

namespace LatticeTest {

using XDisplay = ::_XDisplay;

// Input through XTest on a connection of the caller's (any thread may use its own). Screen coordinates.
void fakeMove(XDisplay* display, int x, int y);
void fakeButton(XDisplay* display, int xButton, bool press);
void fakeClick(XDisplay* display, int xButton);
// A key by its X keysym name ("a", "Shift_L", "Escape", "Down", "Return").
void fakeKey(XDisplay* display, const char* name, bool press);
void fakeTap(XDisplay* display, const char* name);
// The colour 0xRRGGBB on the screen at (x, y).
uint32_t screenPixel(XDisplay* display, int x, int y);

// Errors that reached the host's own handler (installed by the fixture before the editor opens).
extern int hostErrors;

// Another connection to the test display (for a thread of its own), and its end.
XDisplay* openTestDisplay();
void closeTestDisplay(XDisplay* display);
// The topmost mapped override-redirect window (a popup menu) and where it is; false when there is none.
bool findPopup(XDisplay* display, int& x, int& y, int& w, int& h);

// Makes a request fail with BadWindow on this connection and waits for the answer.
void provokeXError(XDisplay* display);
// The same on the connection of this root's window.
void provokeEditorError(Lattice::Winwrapper& root);
// How many errors the editors' handler kept from the host on the connection of this root's window.
int errorsKeptFromHost(Lattice::Winwrapper& root);

class X11Host : public ::testing::Test {
 protected:
  static constexpr int kParentX = 50, kParentY = 60;  // where the host's window is on the screen
  void SetUp() override;
  void TearDown() override;
  // The editor's root window in the host's window.
  Lattice::Winwrapper* open(int width, int height);
  // Runs the editor's idle call every 2 ms until done() or the time is up; false on time-out.
  bool pumpUntil(const std::function<bool()>& done, int milliseconds = 4000);
  bool logHas(const std::string& entry) const;
  // Moves the host's window on the screen (no window manager runs on the test display).
  void moveParent(int x, int y);
  // Resizes the host's window and maps or unmaps it (hosts open editors in 1x1 unmapped windows).
  void showParent(bool mapped, int width, int height);
  // A new mapped host window at (kParentX, kParentY), 300x200.
  void makeParent();
  // The host destroys its window (and so ours) before it closes the editor.
  void destroyParent();

  XDisplay* display = nullptr;
  unsigned long parent = 0;
  int parentX = kParentX, parentY = kParentY;
  Log log;
  struct Owner : FakeController {
    Owner(Log& log, Lattice::Winwrapper*& root) : FakeController(log), root(root) {}
    void windowDestroyed() override {
      FakeController::windowDestroyed();
      root = nullptr;
    }
    Lattice::Winwrapper*& root;
  };
  Lattice::Winwrapper* root = nullptr;
  Owner owner{log, root};
};

}  // namespace LatticeTest

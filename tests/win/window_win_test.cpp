// The Win32 editor window under Wine: a real child of a real parent, driven by window messages as a host and a
// user would send them: pointer, wheel, keys, capture, menus, the timer, painting and the ways a window ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "../gui/tree_probe.h"
#include "gui/window_class_win32.h"
#include "gui/window_win32.h"
#include "platform/dialogs.h"

namespace {

using LatticeTest::Box;
using LatticeTest::Log;
using LatticeTest::only;
using LatticeTest::Probe;

std::vector<std::string> g_boxes;
bool recordBox(Platform::BoxKind, const char* caption, const char* text) {
  g_boxes.push_back(std::string(caption) + ": " + text);
  return false;
}

// A knob as the instrument has them: logs the exact wheel delta and sets its cursor when the pointer moves.
class Knob : public Probe {
 public:
  using Probe::Probe;
  bool mouseWheel(int x, int y, float delta, int mods) override {
    char text[80];
    std::snprintf(text, sizeof text, "%s.wheel(%d,%d,%.9g,%d)", name.c_str(), x, y, double(delta), mods);
    log.push_back(text);
    return true;
  }
  bool mouseMove(int x, int y, int mods) override {
    Lattice::cursor(cursorShape);
    return Probe::mouseMove(x, y, mods);
  }
  void draw(VexBlit::Context& context) override {
    Probe::draw(context);
    if (throwOnDraw) throw VexBlit::Exception();
  }
  void keyDown(int key) override {
    Probe::keyDown(key);
    if (key == VK_F1) throw std::runtime_error("a handler that fails");
  }
  int cursorShape = Lattice::kCursorHand;
  bool throwOnDraw = false;
};

struct Controller : LatticeTest::FakeController {
  using FakeController::FakeController;
  void windowDestroyed() override {
    FakeController::windowDestroyed();
    root = nullptr;
  }
  Lattice::Winwrapper* root = nullptr;
};

struct Ticks : Lattice::ITimerController {
  void tick() override {
    ++count;
    if (onTick) onTick();
  }
  int count = 0;
  std::function<void()> onTick;
};

LPARAM at(int x, int y) { return MAKELPARAM(WORD(short(x)), WORD(short(y))); }

void pumpMessages(int milliseconds) {
  const DWORD end = GetTickCount() + DWORD(milliseconds);
  MSG message;
  do {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(1);
  } while (GetTickCount() < end);
}

// The host's top-level window at (200, 150) on the screen, made once: without a window manager Wine waits two
// seconds for each top-level window to be withdrawn.
HWND hostWindow() {
  static const HWND host = CreateWindowExA(0, "Static", "host", WS_POPUP | WS_VISIBLE, 200, 150, 600, 150, nullptr,
                                           nullptr, nullptr, nullptr);
  return host;
}

// The host's window holds the editor: a frame at (20, 10) holding a knob at
// (100, 30) of 40x50 and a switch at (200, 30).
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    Platform::setMessageBoxSeam(recordBox);
    if (!hostWindow()) GTEST_SKIP() << "no window system (Wine needs a display for windows)";
    // The host's editor window is a child of its own top-level window, as in most hosts.
    parent = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 0, 0, 600, 150, hostWindow(), nullptr, nullptr,
                             nullptr);
    ASSERT_NE(parent, nullptr);
    controller.root = makeRoot();
    root = controller.root;
    window = HWND(root->windowHandle());
    ASSERT_NE(window, nullptr);
    frame = new Box(root, log, "frame", 20, 10, 500, 90);
    knob = new Knob(frame, log, "knob", 100, 30, 40, 50);
    other = new Probe(frame, log, "switch", 200, 30, 40, 50);
    pumpMessages(20);  // creation's own messages (show, first paint) before the test's
    log.clear();
  }
  void TearDown() override {
    if (controller.root) controller.root->destroyWindow();
    if (parent) DestroyWindow(parent);
    Platform::setMessageBoxSeam(nullptr);
  }
  Lattice::Winwrapper* makeRoot(HWND on = nullptr) {
    return new Lattice::Winwrapper(on ? on : parent, &controller, 560, 110);
  }
  LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) { return SendMessageA(window, message, wParam, lParam); }

  Log log;
  Controller controller{log};
  HWND parent = nullptr;
  HWND window = nullptr;
  Lattice::Winwrapper* root = nullptr;
  Box* frame = nullptr;
  Knob* knob = nullptr;
  Probe* other = nullptr;
};

TEST_F(WindowTest, OneClassServesEveryEditorAndAReloadedModuleRegistersAgain) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  EXPECT_STREQ(name, "LatticeWinwrapper");
  EXPECT_EQ(GetClassLongPtrA(window, GCL_STYLE), ULONG_PTR(CS_DBLCLKS));
  EXPECT_EQ(GetParent(window), parent);
  EXPECT_EQ(DWORD(GetWindowLongPtrA(window, GWL_STYLE)) & Lattice::kChildStyle, Lattice::kChildStyle);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 560);
  EXPECT_EQ(client.bottom, 110);

  // Registration and creation run inside the module's manifest context (common controls 6), found and usable.
  {
    Lattice::ModuleActivation activation;
    HANDLE context = nullptr;
    ASSERT_TRUE(GetCurrentActCtx(&context));
    EXPECT_NE(context, nullptr);
    ReleaseActCtx(context);
  }
  HMODULE module = LoadLibraryExA(KORALIN_DLL, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24)), nullptr);  // the DLL's manifest
  FreeLibrary(module);

  // A second editor of the same process: same class, registered once (a second registration would fail and warn).
  Controller secondController{log};
  auto* second = new Lattice::Winwrapper(parent, &secondController, 560, 110);
  secondController.root = second;
  ASSERT_TRUE(second->hasWindow());
  EXPECT_EQ(GetClassLongPtrA(HWND(second->windowHandle()), GCW_ATOM), GetClassLongPtrA(window, GCW_ATOM));
  second->destroyWindow();
  EXPECT_EQ(secondController.root, nullptr);

  // The module freed and loaded again at the same address: the class of the earlier load is still registered.
  root->destroyWindow();
  Lattice::forgetWindowClass();
  controller.root = makeRoot();
  EXPECT_TRUE(controller.root->hasWindow());
  EXPECT_EQ(g_boxes, std::vector<std::string>{});
}

TEST_F(WindowTest, PointerMessagesReachTheControlUnderThePointerWithButtonsModifiersAndCursors) {
  EXPECT_EQ(send(WM_SETCURSOR, WPARAM(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
  send(WM_MOUSEMOVE, MK_SHIFT | MK_CONTROL, at(125, 45));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // the knob's IDC_HAND
  send(WM_LBUTTONDOWN, MK_LBUTTON, at(125, 45));
  send(WM_LBUTTONUP, 0, at(125, 45));
  send(WM_LBUTTONDBLCLK, MK_LBUTTON, at(126, 46));
  send(WM_RBUTTONDBLCLK, MK_RBUTTON, at(126, 46));
  send(WM_MBUTTONDOWN, MK_MBUTTON, at(225, 45));
  send(WM_MBUTTONUP, 0, at(225, 45));
  // The middle double-click is left to the system: no call reaches the tree.
  EXPECT_EQ(send(WM_MBUTTONDBLCLK, MK_MBUTTON, at(225, 45)), 0);
  send(WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT, at(10, 5));  // beside the frame, outside every control
  knob->cursorShape = Lattice::kCursorNone;
  send(WM_MOUSEMOVE, 0, at(125, 45));
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(log,
            Log({"knob.move(5,5,3)", "knob.down(5,5,1)", "knob.up(5,5,1)", "knob.double(6,6,1)", "knob.double(6,6,2)",
                 "knob.leave", "switch.down(5,5,3)", "switch.up(5,5,3)", "switch.leave", "knob.move(5,5,0)"}));
}

TEST_F(WindowTest, WheelPointIsOnTheScreenAndOneNotchIsOneStep) {
  RECT rect{};
  GetWindowRect(window, &rect);
  ASSERT_EQ(rect.left, 200);  // the child sits at the parent's top-left, away from the screen's origin
  send(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WORD(short(120))), at(rect.left + 125, rect.top + 45));
  send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(-120))), at(rect.left + 159, rect.top + 89));
  send(WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, WORD(short(-360))), at(rect.left + 230, rect.top + 50));
  send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(60))), at(rect.left + 125, rect.top + 45));
  EXPECT_EQ(only(log, "knob.wheel"), Log({"knob.wheel(5,5,1,2)", "knob.wheel(39,49,-1,0)", "knob.wheel(5,5,0.5,0)"}));
  EXPECT_EQ(only(log, "switch.wheel"), Log({"switch.wheel(10,10,-3)"}));
}

TEST_F(WindowTest, KeysAndCharactersGoToTheFocusedControlUntilTheWindowLosesFocus) {
  send(WM_CHAR, 'a', 0);  // nobody has the focus yet
  frame->setFocus(knob);
  EXPECT_EQ(GetFocus(), window);
  send(WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(send(WM_KEYDOWN, VK_F1, 0), 0);  // the handler's exception stops at the window procedure
  send(WM_CHAR, 'a', 0);
  send(WM_KEYUP, VK_LEFT, 0);
  SetFocus(parent);  // the system takes the focus away
  send(WM_CHAR, 'b', 0);
  EXPECT_EQ(log, Log({"knob.keyDown(37)", "knob.keyDown(112)", "knob.char(a)", "knob.keyUp(37)", "knob.focusLost"}));
}

TEST_F(WindowTest, CaptureHolderGetsThePointerAnywhereUntilTheSystemTakesIt) {
  send(WM_MOUSEMOVE, 0, at(125, 45));
  frame->setCapture(knob);
  EXPECT_EQ(GetCapture(), window);
  send(WM_MOUSEMOVE, MK_LBUTTON, at(5, -40));  // above the window: negative coordinates, still the knob's
  frame->setCapture(other);                    // the window keeps the capture; the holder changes
  EXPECT_TRUE(frame->hasCapture(other));
  send(WM_LBUTTONUP, 0, at(700, 300));
  SetCapture(parent);  // another window takes it
  EXPECT_FALSE(frame->hasCapture(other));
  send(WM_MOUSEMOVE, 0, at(125, 45));  // routed through the tree again
  // The holder becomes the pointer's owner: whatever was under it has been left, before and after.
  EXPECT_EQ(log, Log({"knob.move(5,5,0)", "knob.leave", "knob.move(-115,-80,0)", "knob.captureLost", "knob.leave",
                      "switch.up(480,260,1)", "switch.captureLost", "switch.leave", "knob.move(5,5,0)"}));
  ReleaseCapture();
}

// This thread's popup menu window (class "#32768"); other test programs may have theirs open at the same time.
BOOL CALLBACK takeMenuWindow(HWND window, LPARAM result) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "#32768" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(result) = window;
  return FALSE;
}

HWND menuWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), takeMenuWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Opens the knob's menu at its bottom-right corner; each timer tick, which the menu loop keeps running, records
// the menu's state and window and presses the next key.
struct MenuRun {
  std::vector<WPARAM> keys;
  bool openDuringLoop = false;
  RECT menuRect{};
  Log beforeCommands;
};

MenuRun runMenu(Lattice::Winwrapper* root, Lattice::Control* knob, Log& log, int alignment, std::vector<WPARAM> keys) {
  MenuRun run;
  run.keys = keys;
  Ticks ticks;
  size_t next = 0;
  ticks.onTick = [&] {
    if (ticks.count == 1) {
      run.openDuringLoop = root->isMenuOpenFor(knob);
      GetWindowRect(menuWindow(), &run.menuRect);
    }
    if (next < keys.size()) PostMessageA(HWND(root->windowHandle()), WM_KEYDOWN, keys[next++], 0);
  };
  root->startTimer(&ticks);
  Lattice::Menu* menu = knob->parent->newMenu(knob);
  menu->addItem("Reset to default", 1, true, false);
  menu->addItem("MIDI learn", 2, true, true);
  menu->addSeparator();
  menu->addItem("Forget controller", 3, false, false);
  menu->popup(knob->w, knob->h, alignment);
  delete menu;
  root->stopTimer();
  run.beforeCommands = log;
  pumpMessages(30);  // the chosen command is waiting in the queue
  return run;
}

TEST_F(WindowTest, ChosenCommandReachesTheListenerOnceAfterTheMenuHasClosed) {
  const MenuRun run = runMenu(root, knob, log, 1, {VK_DOWN, VK_DOWN, VK_RETURN});
  EXPECT_TRUE(run.openDuringLoop);
  EXPECT_FALSE(root->isMenuOpenFor(knob));
  EXPECT_EQ(only(run.beforeCommands, "knob.command"), Log{});
  EXPECT_EQ(only(log, "knob.command"), Log({"knob.command(2)"}));
  send(WM_COMMAND, 2, 0);  // a stray repeat finds no listener
  EXPECT_EQ(only(log, "knob.command"), Log({"knob.command(2)"}));

  // Right-aligned at the knob's bottom-right corner: the menu opens to the left of the point.
  int x = 0, y = 0;
  root->screenPoint(knob, knob->w, knob->h, x, y);
  EXPECT_LE(run.menuRect.right, x + 1);
  EXPECT_GT(run.menuRect.right - run.menuRect.left, 20);
}

TEST_F(WindowTest, EscapeAndDisabledItemsSendNothingAndTheMenuStateClears) {
  const MenuRun escaped = runMenu(root, knob, log, -1, {VK_ESCAPE});
  EXPECT_TRUE(escaped.openDuringLoop);
  int x = 0, y = 0;
  root->screenPoint(knob, knob->w, knob->h, x, y);
  EXPECT_NEAR(escaped.menuRect.left, x, 1);  // left-aligned: the menu starts at the point
  EXPECT_FALSE(root->isMenuOpenFor(knob));

  // Up from nothing lands on the last item, which is disabled: Enter there chooses nothing.
  runMenu(root, knob, log, 0, {VK_UP, VK_RETURN, VK_ESCAPE});
  EXPECT_FALSE(root->isMenuOpenFor(knob));
  EXPECT_EQ(only(log, "knob.command"), Log{});
}

TEST_F(WindowTest, TimerTicksNoFasterThanItsPeriodUntilStopped) {
  Ticks ticks;
  const DWORD start = GetTickCount();
  root->startTimer(&ticks);
  MSG message;
  while (ticks.count < 6 && GetTickCount() - start < 5000 && GetMessageA(&message, nullptr, 0, 0))
    DispatchMessageA(&message);
  EXPECT_EQ(ticks.count, 6);
  EXPECT_GE(GetTickCount() - start, 50u);  // five periods of 10 ms between the first tick and the sixth
  root->stopTimer();
  pumpMessages(40);
  EXPECT_EQ(ticks.count, 6);
  EXPECT_EQ(g_boxes, std::vector<std::string>{});
}

// The renderer's failures as a debugger sees them: OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text.
int g_checkFailures = 0;
LONG CALLBACK countCheckFailures(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != DBG_PRINTEXCEPTION_C) return EXCEPTION_CONTINUE_SEARCH;
  ++g_checkFailures;
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST_F(WindowTest, FrameTheRendererCannotDrawIsValidatedAndTheNextPaintTriesAgain) {
  knob->throwOnDraw = true;
  void* handler = AddVectoredExceptionHandler(1, countCheckFailures);
  g_checkFailures = 0;
  for (int frameCount = 0; frameCount < 2; ++frameCount) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);                                 // WM_PAINT now
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));  // not repainted over and over
  }
  RemoveVectoredExceptionHandler(handler);
  if (root->device) {
    EXPECT_EQ(only(log, "knob.draw"), Log({"knob.draw", "knob.draw"}));  // drawn, thrown, filled black
  } else {
    // No OpenGL for this Wine (32-bit without its GL libraries): every paint tries to make the device again.
    EXPECT_EQ(only(log, "knob.draw"), Log{});
    EXPECT_EQ(g_checkFailures, 2);
  }

  // What such a frame leaves: the window black. Read on a window that has no GL pixel format yet, since Wine's
  // GDI cannot read back a window that OpenGL draws.
  Controller freshController{log};
  freshController.root = new Lattice::Winwrapper(parent, &freshController, 560, 110);
  const HWND fresh = HWND(freshController.root->windowHandle());
  ValidateRect(fresh, nullptr);
  HDC dc = GetDC(fresh);
  RECT client{};
  GetClientRect(fresh, &client);
  FillRect(dc, &client, HBRUSH(GetStockObject(WHITE_BRUSH)));
  ASSERT_EQ(GetPixel(dc, 5, 5), RGB(255, 255, 255));
  freshController.root->backend().paintFallback();
  EXPECT_EQ(GetPixel(dc, 5, 5), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 559, 109), RGB(0, 0, 0));
  ReleaseDC(fresh, dc);
  freshController.root->destroyWindow();
}

TEST_F(WindowTest, ClosingAsksTheOwnerAndAHostDestroyingItsWindowFirstTakesTheTreeDown) {
  controller.allowClose = false;
  send(WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window));
  controller.allowClose = true;
  send(WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(controller.root, nullptr);
  EXPECT_EQ(only(log, "controller."),
            Log({"controller.canClose", "controller.canClose", "controller.windowDestroyed"}));
  EXPECT_EQ(log.back(), "frame.deleted");

  // The host destroys its own window before closing the editor: the child goes with it, once, in order.
  log.clear();
  controller.root = makeRoot();
  window = HWND(controller.root->windowHandle());
  new Probe(controller.root, log, "lone", 0, 0, 10, 10);
  const HWND hostsWindow = parent;
  DestroyWindow(parent);
  parent = nullptr;
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(controller.root, nullptr);
  EXPECT_EQ(log, Log({"controller.windowDestroyed", "lone.deleted"}));

  // An editor opened on a window that is gone: the box, a root without a window that leaves the host's focus
  // alone, and closing that takes the tree down all the same.
  SetFocus(hostWindow());
  controller.root = makeRoot(hostsWindow);
  EXPECT_FALSE(controller.root->hasWindow());
  EXPECT_EQ(g_boxes, std::vector<std::string>{"Error!: Failed to create a control."});
  controller.root->setFocus(controller.root);
  controller.root->invalidate();
  EXPECT_EQ(GetFocus(), hostWindow());
  controller.root->destroyWindow();
  EXPECT_EQ(controller.root, nullptr);
}

}  // namespace

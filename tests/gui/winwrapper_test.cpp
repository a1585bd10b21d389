// The root window over a logging backend: capture, focus, menus, timer, painting, cursors and teardown order.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "tree_probe.h"

namespace LatticeTest {
namespace {

using Lattice::Winwrapper;

// A root with a frame at (20, 10) holding a knob at (100, 30) of 40x50 and a switch at (200, 30).
class RootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backendLog = &log;
    root = new Winwrapper(nullptr, &controller, 560, 110, &makeFakeBackend);
    backend = lastBackend;
    frame = new Box(root, log, "frame", 20, 10, 500, 90);
    knob = new Probe(frame, log, "knob", 100, 30, 40, 50);
    other = new Probe(frame, log, "switch", 200, 30, 40, 50);
  }
  void TearDown() override {
    if (root) root->destroyWindow();
  }
  Log log;
  FakeController controller{log};
  Winwrapper* root = nullptr;
  FakeBackend* backend = nullptr;
  Box* frame = nullptr;
  Probe* knob = nullptr;
  Probe* other = nullptr;
};

TEST_F(RootTest, CaptureHolderGetsEveryPointerEventInItsOwnCoordinatesUntilReleasedOrLost) {
  root->onMouseMove(125, 45, 0);  // over the knob at (5, 5)
  root->setCapture(knob);         // the frame, hovered at the root, leaves; the knob's hover goes with it
  EXPECT_TRUE(root->hasCapture(knob));
  EXPECT_FALSE(root->hasCapture(other));
  root->onMouseMove(5, -40, 1);  // far outside the knob and the window: negative coordinates reach it
  root->onWheel(300, 50, -1.0f, 0);
  root->onMouseUp(130, 60, 1, 0);
  root->setCapture(nullptr);      // the holder hears captureLost once; the system capture is released
  root->onCaptureChanged();       // which the window system then reports: nobody holds it, nothing more
  root->onMouseMove(225, 45, 0);  // routed through the tree again
  // The holder became the root's hover: the first routed event after the capture tells it it has been left.
  EXPECT_EQ(only(log, "knob."), Log({"knob.move(5,5,0)", "knob.leave", "knob.move(-115,-80,1)", "knob.wheel(180,10,-1)",
                                     "knob.up(10,20,1)", "knob.captureLost", "knob.leave"}));
  EXPECT_EQ(only(log, "switch."), Log({"switch.move(5,5,0)"}));
  EXPECT_EQ(only(log, "native."), Log({"native.setCapture", "native.releaseCapture"}));

  // The system takes the capture away: the holder hears it once and routing returns to the tree.
  log.clear();
  root->setCapture(knob);
  backend->systemCapture = false;
  EXPECT_FALSE(root->hasCapture(knob));
  root->onCaptureChanged();
  root->onMouseDown(125, 45, 2, 0);
  root->setCapture(other);  // nobody holds the capture now: no captureLost
  root->setCapture(knob);   // the switch holds it: it hears captureLost, then that it has been left
  EXPECT_EQ(only(log, "knob."), Log({"knob.captureLost", "knob.leave", "knob.down(5,5,2)", "knob.leave"}));
  EXPECT_EQ(only(log, "switch."), Log({"switch.leave", "switch.captureLost", "switch.leave"}));
}

TEST_F(RootTest, FocusKeysCharactersAndTheMenuCommandReachTheRightControlOnce) {
  root->onKeyDown(0x41);  // nobody has the focus: dropped
  root->setFocus(knob);
  root->onKeyDown(0x41);
  root->onChar("a");
  root->onKeyUp(0x41);
  root->setFocus(other);
  root->onKillFocus();
  root->onKeyDown(0x1B);
  EXPECT_EQ(only(log, "knob."), Log({"knob.keyDown(65)", "knob.char(a)", "knob.keyUp(65)", "knob.focusLost"}));
  EXPECT_EQ(only(log, "switch."), Log({"switch.focusLost"}));

  EXPECT_FALSE(knob->ask("Koralin", "Sure?"));  // asked through frame and root of the window's box
  backend->askAnswer = true;
  EXPECT_TRUE(knob->ask("Koralin", "Sure?"));

  log.clear();
  root->menuOpening(knob);
  EXPECT_TRUE(root->isMenuOpenFor(knob));
  EXPECT_FALSE(root->isMenuOpenFor(other));
  int sx = 0, sy = 0;
  root->screenPoint(knob, 0, 38, sx, sy);  // screen origin (100, 200) + frame + knob + point
  EXPECT_EQ(sx, 100 + 20 + 100);
  EXPECT_EQ(sy, 200 + 10 + 30 + 38);
  root->onCaptureChanged();  // the menu's end
  EXPECT_FALSE(root->isMenuOpenFor(knob));
  root->onCommand(7);
  root->onCommand(8);  // a second command has no listener left
  EXPECT_EQ(log, Log({"native.invalidate", "native.invalidate", "knob.command(7)"}));
}

TEST_F(RootTest, TimerPaintAndCursorFollowTheSystemsAnswers) {
  struct Ticks : Lattice::ITimerController {
    void tick() override { ++count; }
    int count = 0;
  } ticks;
  root->startTimer(&ticks);
  root->onTimer();
  root->onTimer();
  EXPECT_EQ(ticks.count, 2);

  static std::string shown;
  Platform::setMessageBoxSeam([](Platform::BoxKind, const char* caption, const char* text) {
    shown = std::string(caption) + "|" + text;
    return true;
  });
  backend->timerWorks = false;
  root->startTimer(&ticks);  // replaces the running timer, which the system refuses
  Platform::setMessageBoxSeam(nullptr);
  root->onTimer();
  EXPECT_EQ(ticks.count, 2);
  EXPECT_EQ(shown, "Error!|Failed to create timer.");
  EXPECT_EQ(root->timer, nullptr);

  log.clear();
  backend->deviceFails = true;
  root->onPaint();  // no device: a black window, and the next paint tries again
  backend->deviceFails = false;
  root->onPaint();
  root->onPaint();  // the device is kept
  EXPECT_EQ(only(log, "native."), Log({"native.createDevice", "native.black", "native.createDevice"}));
  EXPECT_EQ(only(log, "device."), Log({"device.frame", "device.frame"}));
  EXPECT_EQ(only(log, "switch.draw").size(), 2u);

  log.clear();
  Lattice::cursor(3);  // outside event handling there is no window to set it on
  root->onSetCursor();
  struct Hand : Probe {
    using Probe::Probe;
    bool mouseMove(int, int, int) override {
      Lattice::cursor(Lattice::kCursorHand);
      return true;
    }
  };
  new Hand(frame, log, "hand", 0, 0, 10, 10);
  root->onMouseMove(25, 15, 0);
  EXPECT_EQ(only(log, "native."), Log({"native.cursor(0)", "native.cursor(1)"}));
}

TEST_F(RootTest, ClosingReleasesGraphicsWhileTheDeviceLivesThenDeletesTheTreeLastToFirst) {
  struct Ticks : Lattice::ITimerController {
    void tick() override {}
  } ticks;
  root->startTimer(&ticks);
  root->onPaint();
  controller.allowClose = false;
  root->onClose();  // refused: nothing happens
  controller.allowClose = true;
  log.clear();
  root->onClose();
  root = nullptr;  // deleted with its window
  EXPECT_EQ(log, Log({"controller.canClose", "native.destroy", "frame.releaseGraphics", "knob.releaseGraphics",
                      "switch.releaseGraphics", "device.release", "controller.windowDestroyed", "frame.deleting",
                      "switch.deleted", "knob.deleted", "frame.deleted", "native.stopTimer", "native.deleted"}));
}

TEST(Root, WithoutAWindowClosingStillDeletesTheTree) {
  Log log;
  backendLog = &log;
  FakeController controller(log);
  auto refuse = [](Winwrapper& root, void*, int, int) -> std::unique_ptr<Lattice::WindowBackend> {
    auto backend = std::make_unique<FakeBackend>(root, *backendLog);
    backend->windowExists = false;
    return backend;
  };
  auto* root = new Winwrapper(nullptr, &controller, 10, 10, refuse);
  new Probe(root, log, "a", 0, 0, 5, 5);
  EXPECT_FALSE(root->hasWindow());
  EXPECT_EQ(root->newMenu(root->children[0]), nullptr);
  root->destroyWindow();
  EXPECT_EQ(log, Log({"controller.windowDestroyed", "a.deleted", "native.deleted"}));
}

}  // namespace
}  // namespace LatticeTest

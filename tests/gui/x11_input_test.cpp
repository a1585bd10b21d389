// The X11 backend with real input: pointer, wheel, keys and text, the timer, painting, the host's window gone.
#include <chrono>
#include <thread>

#include "platform/dialogs.h"
#include "x11_host.h"

namespace LatticeTest {
namespace {

// Holds the capture while its left button is down, as a knob does while dragging.
struct Dragger : Probe {
  using Probe::Probe;
  bool mouseDown(int x, int y, int button, int mods) override {
    Probe::mouseDown(x, y, button, mods);
    if (button == Lattice::kButtonLeft) parent->setCapture(this);
    return true;
  }
  bool mouseUp(int x, int y, int button, int mods) override {
    Probe::mouseUp(x, y, button, mods);
    if (button == Lattice::kButtonLeft && parent->hasCapture(this)) parent->setCapture(nullptr);
    return true;
  }
};

// Paints its rectangle in one colour.
struct Painter : Probe {
  using Probe::Probe;
  void draw(VexBlit::Context& context) override {
    VexBlit::Shader shader(context, VexBlit::Blend::Off, VexBlit::Combine::Colour, nullptr, nullptr);
    VexBlit::Quad quad;
    VexBlit::initQuad(quad, 0xFFFF0000, float(absoluteX()), float(absoluteY()), float(w), float(h), 0, 0);
    VexBlit::drawQuad(context, quad);
  }
};

TEST_F(X11Host, RealInputReachesTheTreeInItsCoordinates) {
  open(200, 100);
  ASSERT_TRUE(root->hasWindow());
  auto* frame = new Box(root, log, "frame", 10, 10, 180, 80);
  auto* knob = new Dragger(frame, log, "knob", 20, 20, 40, 40);  // at (30, 30) in the window
  root->setFocus(knob);
  ASSERT_TRUE(pumpUntil([&] { return root->device != nullptr; }));
  const int x = kParentX + 30, y = kParentY + 30;  // the knob's corner on the screen
  auto expect = [&](const std::string& last) { return pumpUntil([&] { return logHas(last); }); };

  fakeMove(display, x + 5, y + 5);
  ASSERT_TRUE(expect("knob.move(5,5,0)"));
  fakeClick(display, 1);
  fakeClick(display, 1);  // at once and in place: the second press is the double-click
  ASSERT_TRUE(expect("knob.double(5,5,1)"));
  fakeMove(display, x + 6, y + 7);
  fakeClick(display, 3);
  fakeClick(display, 2);
  for (int wheel : {4, 5, 6, 7}) fakeClick(display, wheel);  // up, down, and sideways (ignored)
  fakeTap(display, "a");
  fakeKey(display, "Shift_L", true);
  fakeTap(display, "b");
  fakeMove(display, x + 7, y + 7);
  fakeKey(display, "Shift_L", false);
  ASSERT_TRUE(expect("knob.keyUp(16)"));
  // A drag that leaves the window: the holder follows the pointer into negative coordinates.
  fakeButton(display, 1, true);
  ASSERT_TRUE(expect("knob.down(7,7,1)"));
  EXPECT_TRUE(root->hasCapture(knob));
  fakeMove(display, kParentX - 40, kParentY - 40);
  fakeButton(display, 1, false);
  ASSERT_TRUE(expect("knob.captureLost"));
  fakeMove(display, 900, 900);
  pumpUntil([] { return false; }, 150);  // nothing more may arrive

  Log input = only(log, "knob.");
  std::erase(input, "knob.draw");
  EXPECT_EQ(
      input,
      Log({"knob.move(5,5,0)", "knob.down(5,5,1)",     "knob.leave",         "knob.up(5,5,1)",    "knob.captureLost",
           "knob.leave",       "knob.double(5,5,1)",   "knob.up(5,5,1)",     "knob.move(6,7,0)",  "knob.down(6,7,2)",
           "knob.up(6,7,2)",   "knob.down(6,7,3)",     "knob.up(6,7,3)",     "knob.wheel(6,7,1)", "knob.wheel(6,7,-1)",
           "knob.keyDown(65)", "knob.char(a)",         "knob.keyUp(65)",     "knob.keyDown(16)",  "knob.keyDown(66)",
           "knob.char(B)",     "knob.keyUp(66)",       "knob.move(7,7,1)",   "knob.keyUp(16)",    "knob.down(7,7,1)",
           "knob.leave",       "knob.move(-70,-70,0)", "knob.up(-70,-70,1)", "knob.captureLost",  "knob.leave"}));

  // The host hides its window during a drag: X ends the grab without a word, and the holder hears it.
  log.clear();
  fakeMove(display, x + 20, y + 20);  // away from the last press: no double-click
  fakeButton(display, 1, true);
  ASSERT_TRUE(expect("knob.down(20,20,1)"));
  showParent(false, 300, 200);
  fakeButton(display, 1, false);  // the release goes elsewhere
  ASSERT_TRUE(expect("knob.captureLost"));
  showParent(true, 300, 200);
  pumpUntil([] { return false; }, 100);
  EXPECT_FALSE(root->hasCapture(knob));
  EXPECT_EQ(only(log, "knob.up").size(), 0u);
}

TEST_F(X11Host, TimerTicksFromIdleAtMostOncePerCallAndTheFrameComesFromTheRenderer) {
  showParent(false, 1, 1);  // as some hosts open editors: in a 1x1 window not shown yet
  open(200, 100);
  ASSERT_TRUE(root->hasWindow());
  new Painter(root, log, "red", 20, 20, 30, 30);
  struct Ticks : Lattice::ITimerController {
    void tick() override { ++count; }
    int count = 0;
  } ticks;
  root->startTimer(&ticks);
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    root->idle();
  }
  EXPECT_EQ(ticks.count, 5);  // each call came more than 10 ms after the last tick
  int before = ticks.count;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50; ++i) root->idle();
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_LE(ticks.count - before, int(took.count() / 10) + 1);  // never more often than every 10 ms
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  before = ticks.count;
  root->idle();
  EXPECT_EQ(ticks.count - before, 1);  // a long pause is not caught up in a burst

  showParent(true, 300, 200);
  ASSERT_TRUE(pumpUntil([&] { return screenPixel(display, kParentX + 35, kParentY + 35) == 0xFF0000u; }));
  ASSERT_NE(root->device, nullptr);
  EXPECT_EQ(screenPixel(display, kParentX + 35, kParentY + 35), 0xFF0000u);
  EXPECT_EQ(screenPixel(display, kParentX + 100, kParentY + 80), 0x1A1A1Au);  // the renderer's clear colour
  root->stopTimer();
  before = ticks.count;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  root->idle();
  EXPECT_EQ(ticks.count, before);
}

TEST_F(X11Host, HostDestroyingItsWindowFirstEndsTheTreeWithoutErrors) {
  open(200, 100);
  // The editor's errors stay with the editor; the host's own still reach the host's handler.
  provokeXError(display);
  EXPECT_EQ(hostErrors, 1);
  hostErrors = 0;
  provokeEditorError(*root);
  EXPECT_EQ(errorsKeptFromHost(*root), 1);
  EXPECT_EQ(hostErrors, 0);
  new Probe(root, log, "a", 0, 0, 10, 10);
  ASSERT_TRUE(pumpUntil([&] { return root->device != nullptr; }));
  log.clear();
  destroyParent();
  ASSERT_TRUE(pumpUntil([&] { return root == nullptr; }));  // the next idle notices and takes the tree down
  EXPECT_EQ(log, Log({"a.releaseGraphics", "controller.windowDestroyed", "a.deleted"}));

  // A host that destroys its window and closes the editor at once, before any idle call.
  makeParent();
  log.clear();
  open(200, 100);
  new Probe(root, log, "b", 0, 0, 10, 10);
  ASSERT_TRUE(pumpUntil([&] { return root->device != nullptr; }));
  log.clear();
  destroyParent();
  root->destroyWindow();
  EXPECT_EQ(root, nullptr);
  EXPECT_EQ(log, Log({"b.releaseGraphics", "controller.windowDestroyed", "b.deleted"}));

  // A parent id that is no window: the error box, a root without a window, and still a clean close.
  static std::string shown;
  Platform::setMessageBoxSeam([](Platform::BoxKind, const char* caption, const char* text) {
    shown = std::string(caption) + "|" + text;
    return false;
  });
  parent = 0x7ffffff0;
  log.clear();
  open(200, 100);
  Platform::setMessageBoxSeam(nullptr);
  parent = 0;
  EXPECT_EQ(shown, "Error!|Failed to create a control.");
  EXPECT_FALSE(root->hasWindow());
  new Probe(root, log, "c", 0, 0, 10, 10);
  root->idle();
  root->destroyWindow();
  EXPECT_EQ(root, nullptr);
  EXPECT_EQ(log, Log({"controller.windowDestroyed", "c.deleted"}));
}

}  // namespace
}  // namespace LatticeTest

// The X11 popup menu with real input: keys, pointer, disabled items, Escape, clicks outside, placement.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "x11_host.h"

namespace LatticeTest {
namespace {

using namespace std::chrono_literals;

// Opens its menu on a right-button press, as the knobs do: below its label, left-aligned, or at its
// bottom-right corner to the left when it sits in the corner of the screen.
struct MenuKnob : Probe {
  using Probe::Probe;
  bool mouseDown(int x, int y, int button, int mods) override {
    Probe::mouseDown(x, y, button, mods);
    if (button != Lattice::kButtonRight) return true;
    Lattice::Menu* menu = parent->newMenu(this);
    menu->addItem("&Reset", 10, true, false);
    menu->addSeparator();
    menu->addItem("&Unlearn", 12, false, false);
    menu->addItem("MIDI &learn", 11, true, true);
    int shown = rightAligned ? menu->popup(w, h, 1) : menu->popup(0, h - 12, -1);
    delete menu;
    log.push_back(name + ".closed(" + std::to_string(shown) + ")");
    ++closed;
    return true;
  }
  bool rightAligned = false;
  std::atomic<int> closed{0};  // read by the user's thread
};

class X11Menu : public X11Host {
 protected:
  void SetUp() override {
    X11Host::SetUp();
    if (!display) return;
    open(200, 100);
    knob = new MenuKnob(root, log, "knob", 30, 30, 40, 40);
    root->startTimer(&watch);
    watch.knob = knob;
    watch.root = root;
  }
  // Right-clicks the knob from a thread of its own, waits until the menu's loop runs, then plays the script.
  // Afterwards the editor is pumped until the menu has closed (Escape is sent if the script left it open).
  void runMenu(const std::function<void(XDisplay*)>& script) {
    int closedBefore = closedCount();
    watch.menuTicks = 0;
    std::thread user([&] {
      XDisplay* input = openTestDisplay();
      fakeMove(input, parentX + 35, parentY + 35);
      fakeClick(input, 3);
      for (int i = 0; i < 500 && watch.menuTicks == 0; ++i) std::this_thread::sleep_for(10ms);
      std::this_thread::sleep_for(30ms);
      script(input);
      for (int i = 0; i < 300 && closedCount() == closedBefore; ++i) std::this_thread::sleep_for(10ms);
      if (closedCount() == closedBefore) fakeTap(input, "Escape");
      closeTestDisplay(input);
    });
    pumpUntil([&] { return closedCount() > closedBefore; }, 10000);
    user.join();
    pumpUntil([] { return false; }, 60);  // anything posted late would show now
    EXPECT_GT(watch.menuTicks.load(), 0) << "the editor's timer stopped while the menu was up";
    EXPECT_FALSE(root->isMenuOpenFor(knob));
  }
  int closedCount() const { return knob->closed; }
  Log commands() { return only(log, "knob.command"); }

  struct Watch : Lattice::ITimerController {
    void tick() override {
      if (root->isMenuOpenFor(knob)) ++menuTicks;
    }
    Lattice::Winwrapper* root = nullptr;
    Lattice::Control* knob = nullptr;
    std::atomic<int> menuTicks{0};
  } watch;
  MenuKnob* knob = nullptr;
};

TEST_F(X11Menu, KeysMoveOverChoosableItemsAndEnterChoosesOnceAfterTheMenuClosed) {
  int x = 0, y = 0, w = 0, h = 0;
  uint32_t lit = 0, checkMark = 0, plain = 0, frame = 0;
  runMenu([&](XDisplay* input) {
    ASSERT_TRUE(findPopup(input, x, y, w, h));
    fakeTap(input, "Down");                              // "Reset"
    for (int i = 0; i < 200 && lit != 0xEC7056u; ++i) {  // until the menu has been repainted
      std::this_thread::sleep_for(10ms);
      lit = screenPixel(input, x + 3, y + 5);
    }
    checkMark = screenPixel(input, x + 9, y + 46 + 9);
    plain = screenPixel(input, x + 3, y + 46 + 9);
    frame = screenPixel(input, x, y + 30);
    fakeTap(input, "Down");  // over the separator and the disabled item to "MIDI learn"
    fakeTap(input, "Return");
  });
  // Below the knob's label, left edge at the knob's left edge.
  EXPECT_EQ(x, parentX + 30);
  EXPECT_EQ(y, parentY + 30 + 40 - 12);
  EXPECT_EQ(lit, 0xEC7056u);
  EXPECT_EQ(checkMark, 0xC9D1D5u);
  EXPECT_EQ(plain, 0x2A2D33u);
  EXPECT_EQ(frame, 0x7D8D94u);
  Log events = only(log, "knob.");
  // The editor was repainted while its menu was up (it may show the control whose menu is open).
  auto down = std::find(events.begin(), events.end(), "knob.down(5,5,2)");
  EXPECT_LT(std::find(down, events.end(), "knob.draw"), std::find(down, events.end(), "knob.closed(1)"));
  std::erase(events, "knob.draw");
  EXPECT_EQ(events, Log({"knob.move(5,5,0)", "knob.down(5,5,2)", "knob.closed(1)", "knob.command(11)"}));
}

TEST_F(X11Menu, PointerChoosesEnabledItemsOnlyAndEscapeOrAClickOutsideSendNothing) {
  runMenu([&](XDisplay* input) {
    int x = 0, y = 0, w = 0, h = 0;
    ASSERT_TRUE(findPopup(input, x, y, w, h));
    fakeMove(input, x + 30, y + 37);  // the disabled item
    fakeClick(input, 1);
    std::this_thread::sleep_for(150ms);
    fakeMove(input, x + 30, y + 55);  // "MIDI learn"
    fakeClick(input, 1);
  });
  EXPECT_EQ(commands(), Log({"knob.command(11)"}));

  runMenu([](XDisplay* input) { fakeTap(input, "Escape"); });
  runMenu([](XDisplay* input) {
    fakeMove(input, 900, 900);
    fakeClick(input, 1);
  });
  runMenu([](XDisplay* input) {
    fakeTap(input, "u");  // the disabled item's letter does nothing
    std::this_thread::sleep_for(150ms);
    fakeTap(input, "r");
  });
  EXPECT_EQ(commands(), Log({"knob.command(11)", "knob.command(10)"}));
  EXPECT_EQ(only(log, "knob.closed"), Log(4, "knob.closed(1)"));
}

TEST_F(X11Menu, MenuAtTheScreensCornerOpensToTheLeftAndUpwards) {
  moveParent(1280 - 100,
             1024 - 75);  // the knob's bottom-right corner 30 pixels from the screen's right, 5 from its bottom
  knob->rightAligned = true;
  int x = 0, y = 0, w = 0, h = 0;
  runMenu([&](XDisplay* input) {
    ASSERT_TRUE(findPopup(input, x, y, w, h));
    fakeTap(input, "Escape");
  });
  EXPECT_EQ(x + w, parentX + 70);  // right edge at the point
  EXPECT_EQ(y + h, parentY + 70);  // flipped: bottom edge at the point
  EXPECT_TRUE(commands().empty());
}

}  // namespace
}  // namespace LatticeTest

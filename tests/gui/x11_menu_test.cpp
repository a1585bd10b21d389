// The X11 popup menu with real input: keys, pointer, disabled items, Escape, clicks outside, placement; and the
// question box of our own where no dialog program would answer.
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
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

// Asks on a left press, as the frame's menu asks before it saves or loads the defaults, and logs the answer; counts
// the editor's timer ticks while the question is up.
struct Asker : Probe, Lattice::ITimerController {
  using Probe::Probe;
  bool mouseDown(int x, int y, int button, int mods) override {
    Probe::mouseDown(x, y, button, mods);
    if (button != Lattice::kButtonLeft) return true;
    asking = true;
    const bool yes = parent->ask("Koralin",
                                 "Saving new defaults for:\n - parameter values (current values) and "
                                 "presets\n - MIDI mappings (current mappings)\n");
    asking = false;
    log.push_back(name + (yes ? ".ok" : ".cancel"));
    ++answered;
    return true;
  }
  void tick() override { ticksWhileAsking += asking ? 1 : 0; }
  std::atomic<bool> asking{false};
  std::atomic<int> answered{0}, ticksWhileAsking{0};
};

class X11Question : public X11Host {
 protected:
  void SetUp() override {
    X11Host::SetUp();
    if (!display) return;
    // No dialog program on the path, and no box seam: the box can reach the person only as our own window.
    path = std::getenv("PATH") ? std::getenv("PATH") : "";
    empty = std::filesystem::temp_directory_path() / ("koralin-no-dialogs-" + std::to_string(getpid()));
    std::filesystem::create_directories(empty);
    setenv("PATH", empty.c_str(), 1);
    open(200, 100);
    asker = new Asker(root, log, "asker", 20, 20, 60, 60);
    root->startTimer(asker);
  }
  void TearDown() override {
    if (display) {
      setenv("PATH", path.c_str(), 1);
      std::filesystem::remove_all(empty);
    }
    X11Host::TearDown();
  }
  // Clicks the asker from a thread of its own, waits for the box, then plays the script on it (x, y, w, h: where
  // the box is on the screen).
  void runQuestion(const std::function<void(XDisplay*, int, int, int, int)>& script) {
    const int before = asker->answered;
    std::thread user([&] {
      XDisplay* input = openTestDisplay();
      fakeMove(input, parentX + 50, parentY + 50);
      fakeClick(input, 1);
      int x = 0, y = 0, w = 0, h = 0;
      bool shown = false;
      for (int i = 0; i < 500 && !(shown = findPopup(input, x, y, w, h)); ++i) std::this_thread::sleep_for(10ms);
      // Until the box has been painted (its background shows at the bottom-left corner).
      for (int i = 0; shown && i < 300 && screenPixel(input, x + 4, y + h - 4) != 0x2A2D33u; ++i)
        std::this_thread::sleep_for(10ms);
      if (shown) script(input, x, y, w, h);
      for (int i = 0; i < 300 && asker->answered == before; ++i) std::this_thread::sleep_for(10ms);
      if (asker->answered == before) fakeTap(input, "Escape");
      closeTestDisplay(input);
    });
    pumpUntil([&] { return asker->answered > before; }, 10000);
    user.join();
  }
  std::string path;
  std::filesystem::path empty;
  Asker* asker = nullptr;
};

TEST_F(X11Question, WithoutADialogProgramTheEditorAsksInAWindowOfItsOwn) {
  uint32_t frame = 0, back = 0, okFace = 0, cancelFace = 0, cancelLit = 0;
  int width = 0, height = 0, textPixels = 0;
  runQuestion([&](XDisplay* input, int x, int y, int w, int h) {
    width = w;
    height = h;
    // Drawn like the popup menu: its frame and background, OK lit as the default, Cancel plain, the text in lines.
    frame = screenPixel(input, x, y + h / 2);
    back = screenPixel(input, x + 4, y + h - 4);
    const int buttonTop = h - 12 - 22, cancelLeft = w - 12 - 76, okLeft = cancelLeft - 8 - 76;
    okFace = screenPixel(input, x + okLeft + 3, y + buttonTop + 3);
    cancelFace = screenPixel(input, x + cancelLeft + 3, y + buttonTop + 3);
    for (int i = 0; i < 200; ++i) textPixels += screenPixel(input, x + 12 + i, y + 20 + 12 + 16 + 8) != 0x2A2D33u;
    fakeTap(input, "Tab");                                     // the keyboard moves the choice to Cancel
    for (int i = 0; i < 300 && cancelLit != 0xEC7056u; ++i) {  // until repainted
      std::this_thread::sleep_for(10ms);
      cancelLit = screenPixel(input, x + cancelLeft + 3, y + buttonTop + 3);
    }
    fakeTap(input, "Tab");
    fakeTap(input, "Return");  // back on OK
  });
  EXPECT_EQ(frame, 0x7D8D94u);
  EXPECT_EQ(back, 0x2A2D33u);
  EXPECT_EQ(okFace, 0xEC7056u);
  EXPECT_EQ(cancelFace, 0x454A52u);
  EXPECT_EQ(cancelLit, 0xEC7056u);
  EXPECT_GT(textPixels, 10) << "the second line of the text is not drawn";
  EXPECT_GT(width, 300) << "the box is as wide as its longest line";
  EXPECT_EQ(height, 20 + 12 + 3 * 16 + 12 + 22 + 12);  // caption, three lines, the buttons
  EXPECT_GT(asker->ticksWhileAsking.load(), 0) << "the editor's timer stopped while the box was up";

  // The pointer: Cancel and OK each answer with a click that starts and ends on them; Escape is Cancel.
  runQuestion([](XDisplay* input, int x, int y, int w, int h) {
    fakeMove(input, x + w - 12 - 38, y + h - 12 - 11);
    fakeClick(input, 1);
  });
  runQuestion([](XDisplay* input, int x, int y, int w, int h) {
    fakeMove(input, x + 5, y + 5);  // beside the buttons: nothing
    fakeClick(input, 1);
    std::this_thread::sleep_for(100ms);
    fakeMove(input, x + w - 12 - 76 - 8 - 38, y + h - 12 - 11);
    fakeClick(input, 1);
  });
  runQuestion([](XDisplay* input, int, int, int, int) { fakeTap(input, "Escape"); });
  Log answers = only(log, "asker.");
  std::erase_if(answers, [](const std::string& e) { return e != "asker.ok" && e != "asker.cancel"; });
  EXPECT_EQ(answers, Log({"asker.ok", "asker.cancel", "asker.ok", "asker.cancel"}));
}

}  // namespace
}  // namespace LatticeTest

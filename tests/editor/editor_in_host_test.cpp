// The built module's editor in a real X11 window, driven through the dispatcher by a host's idle calls and by
// real input (XTest): values shown within two idle calls, one automation gesture per drag, wheel and reset,
// learn from the menu, the frame menu, two editors on one thread, the host's window going first, and many opens.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

#include "editor_x11_host.h"
#include "host/lib/plugin_host.h"
#include "x11_host.h"

namespace EditorTest {
namespace {

using LatticeTest::fakeButton;
using LatticeTest::fakeClick;
using LatticeTest::fakeMove;

constexpr int kCutoffX = 86;  // the cutoff knob's left edge on the panel

struct Editor {
  explicit Editor(XDisplay* display, int x, int y, int width = 560, int height = 110) : display(display), x(x), y(y) {
    host.start(44100.0f, 256);
    window = makeHostWindow(display, x, y, width, height);
  }
  ~Editor() {
    host.dispatch(effEditClose);
    if (window) destroyHostWindow(display, window);
  }
  void open() { EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)), 1); }
  // A host's idle rhythm: one call every 20 ms.
  void idle(int calls = 1) {
    for (int i = 0; i < calls; ++i) {
      host.dispatch(effEditIdle);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // The knob body on the screen; at scale 2 twice as large, from the panel's doubled position.
  std::vector<uint32_t> knobBody(int knobX, int scale = 1) {
    return screenRect(display, x + scale * (knobX + 20), y + scale * (23 + 16), 40 * scale, 40 * scale);
  }
  // The share of the knob's opaque pixels that do not show the frame of value (of the 2x strip at scale 2).
  double wrongPixels(int knobX, float value, uint32_t tint = 0xE0, int scale = 1) {
    int opaque = 0;
    const int wrong = knobMismatches(knobBody(knobX, scale), value, tint, opaque, scale);
    return opaque ? double(wrong) / opaque : 1.0;
  }

  XDisplay* display;
  int x, y;
  Host::PluginHost host{KORALIN_MODULE};
  unsigned long window = 0;
};

class EditorInHost : public ::testing::Test {
 protected:
  void SetUp() override {
    keepLibrariesLoaded(KORALIN_MODULE);
    installHostErrorHandler();
    display = LatticeTest::openTestDisplay();
    if (!display) GTEST_SKIP() << "no X display";
    fakeMove(display, 1200, 1000);  // the pointer starts away from every panel
  }
  void TearDown() override {
    if (!display) return;
    EXPECT_EQ(hostErrorCount(), 0) << "an X error reached the host's handler";
    LatticeTest::closeTestDisplay(display);
  }
  // Presses key (an X keysym name) on a thread of its own (with its own connection) once a popup menu is up,
  // while this thread keeps the editor idling (the menu runs inside the editor's idle call). The key is pressed
  // again until the menu is gone (a press before the menu holds the keyboard is lost); a click far outside ends a
  // menu that will not go. Returns the popup's rectangle as first seen.
  std::array<int, 4> whileMenuIsUp(Editor& editor, const char* key) {
    std::atomic<bool> done{false};
    std::array<int, 4> popup{-1, -1, -1, -1};
    std::thread helper([&] {
      XDisplay* own = LatticeTest::openTestDisplay();
      for (int i = 0; i < 400 && !LatticeTest::findPopup(own, popup[0], popup[1], popup[2], popup[3]); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      int x, y, w, h;
      for (int i = 0; i < 40 && LatticeTest::findPopup(own, x, y, w, h); ++i) {
        LatticeTest::fakeTap(own, key);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      if (LatticeTest::findPopup(own, x, y, w, h)) {
        ADD_FAILURE() << "the menu did not close on " << key;
        fakeMove(own, 1270, 1010);
        fakeClick(own, 1);
      }
      LatticeTest::closeTestDisplay(own);
      done = true;
    });
    for (int i = 0; i < 600 && !done; ++i) editor.idle();
    helper.join();
    editor.idle(3);
    return popup;
  }

  XDisplay* display = nullptr;
};

TEST_F(EditorInHost, PanelShowsTheKnobFrameOfAValueFromTheHostWithinTwoIdleCalls) {
  Editor editor(display, 50, 60);
  editor.open();
  editor.idle(3);
  for (float value : {0.0f, 0.2f, 0.5f, 0.73f, 0.95f, 1.0f}) {
    editor.host.setParameter(2, value);
    editor.idle(2);
    const float shown = editor.host.getParameter(2);
    const float other = shown < 0.5f ? shown + 0.4f : shown - 0.4f;
    const double right = editor.wrongPixels(kCutoffX, shown), wrong = editor.wrongPixels(kCutoffX, other);
    EXPECT_LT(right, 0.02) << value;
    EXPECT_GT(wrong, right + 0.03) << value;
  }
}

TEST_F(EditorInHost, AtXftDpi192ThePanelOpensAtTwiceTheSizeShowingThe2xFramesAndFourHundredUnitsDragTheRange) {
  ServerResources desktop(display, "Xft.antialias:\t1\nXft.dpi:\t192\n");
  Editor editor(display, 50, 60, 1120, 220);
  ERect* rect = nullptr;
  ASSERT_EQ(editor.host.dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 1120);
  EXPECT_EQ(rect->bottom - rect->top, 220);
  editor.open();
  editor.idle(3);
  // The editor's own window inside the host's has that size.
  int width = 0, height = 0;
  ASSERT_TRUE(onlyChildSize(display, editor.window, width, height));
  EXPECT_EQ(width, 1120);
  EXPECT_EQ(height, 220);
  constexpr int kKnobs[6][2] = {{8, 1}, {86, 2}, {156, 3}, {242, 5}, {312, 4}, {390, 6}};
  for (float value : {0.0f, 0.3f, 0.5f, 0.77f, 1.0f}) {
    for (int i = 0; i < 6; ++i) editor.host.setParameter(kKnobs[i][1], i % 2 ? value : 1 - value);
    editor.idle(2);
    for (const auto& knob : kKnobs) {
      const float shown = editor.host.getParameter(knob[1]);
      const float other = shown < 0.5f ? shown + 0.4f : shown - 0.4f;
      const double right = editor.wrongPixels(knob[0], shown, 0xE0, 2);
      EXPECT_LT(right, 0.02) << "knob at " << knob[0] << ", value " << shown;
      EXPECT_GT(editor.wrongPixels(knob[0], other, 0xE0, 2), right + 0.03);
    }
  }
  // From the top of the range down: 400 pixels (200 units) take half of it, 800 pixels all of it.
  editor.host.setParameter(2, 1.0f);
  editor.idle(2);
  const int cx = 50 + 2 * (kCutoffX + 40), cy = 60 + 2 * 63;
  fakeMove(display, cx, cy);
  editor.idle();
  fakeButton(display, 1, true);
  editor.idle();
  for (int step = 1; step <= 20; ++step) {
    fakeMove(display, cx, cy + 20 * step);
    editor.idle();
  }
  EXPECT_NEAR(editor.host.getParameter(2), 0.5f, 1.0f / 400 + 1.0f / 64000);
  for (int step = 21; step <= 40; ++step) {
    fakeMove(display, cx, cy + 20 * step);
    editor.idle();
  }
  fakeButton(display, 1, false);
  editor.idle(2);
  EXPECT_EQ(editor.host.getParameter(2), 0.0f);
  EXPECT_EQ(editor.host.beginEditCalls, 1);
  EXPECT_EQ(editor.host.endEditCalls, 1);
  fakeMove(display, 1200, 1000);
  editor.idle(2);
  EXPECT_LT(editor.wrongPixels(kCutoffX, 0.0f, 0xE0, 2), 0.02);
}

TEST_F(EditorInHost, DragWheelAndDoubleClickReachTheHostAsOneGestureEach) {
  Editor editor(display, 50, 60);
  const float initial = editor.host.getParameter(2);  // the factory default
  editor.host.setParameter(2, 0.25f);
  editor.open();
  editor.idle(3);
  const int cx = 50 + kCutoffX + 40, cy = 60 + 63;
  fakeMove(display, cx, cy);
  editor.idle();
  fakeButton(display, 1, true);
  editor.idle();
  for (int step = 1; step <= 10; ++step) {
    fakeMove(display, cx, cy - 10 * step);
    editor.idle();
  }
  fakeButton(display, 1, false);
  editor.idle(2);
  EXPECT_EQ(editor.host.beginEditCalls, 1);
  EXPECT_EQ(editor.host.endEditCalls, 1);
  EXPECT_NEAR(editor.host.getParameter(2), 0.5f, 1.0f / 64000);
  ASSERT_FALSE(editor.host.automated.empty());
  EXPECT_EQ(editor.host.automated.back().first, 2);
  // The pointer ended above the panel: the knob is unlit, showing its new frame.
  EXPECT_LT(editor.wrongPixels(kCutoffX, editor.host.getParameter(2)), 0.02);

  // Under the pointer it is lit.
  fakeMove(display, cx, cy);
  editor.idle(2);
  EXPECT_LT(editor.wrongPixels(kCutoffX, editor.host.getParameter(2), 0xFF), 0.02);
  fakeClick(display, 4);  // one notch away from the user
  editor.idle(2);
  EXPECT_NEAR(editor.host.getParameter(2), 0.55f, 1.0f / 64000);
  EXPECT_EQ(editor.host.beginEditCalls, 2);
  EXPECT_EQ(editor.host.endEditCalls, 2);

  fakeClick(display, 1);
  fakeClick(display, 1);
  editor.idle(3);
  EXPECT_EQ(editor.host.getParameter(2), initial);
  EXPECT_EQ(editor.host.beginEditCalls, 4);  // the first click's empty drag, then the reset
  EXPECT_EQ(editor.host.endEditCalls, 4);
  fakeMove(display, 1200, 1000);
  editor.idle(2);
  EXPECT_LT(editor.wrongPixels(kCutoffX, initial), 0.02);
}

TEST_F(EditorInHost, LearnChosenInTheMenuLetsAControllerMoveTheKnobOnThePanel) {
  Editor editor(display, 50, 60);
  editor.host.setParameter(2, 0.1f);
  editor.open();
  editor.idle(3);
  fakeMove(display, 50 + kCutoffX + 40, 60 + 63);
  editor.idle();
  fakeButton(display, 3, true);
  auto popup = whileMenuIsUp(editor, "l");
  fakeButton(display, 3, false);
  // The menu came up below the knob's caption, its left edge at the knob's.
  EXPECT_EQ(popup[0], 50 + kCutoffX);
  EXPECT_EQ(popup[1], 60 + 23 + 80 - 12);
  fakeMove(display, 1200, 1000);
  editor.idle(2);
  // Controller 74 at its top: the audio thread completes the learn and moves the parameter.
  editor.host.sendMidi({{0, 0xB0, 74, 127}});
  std::vector<float> left, right;
  editor.host.renderFloat(left, right, 256);
  EXPECT_EQ(editor.host.getParameter(2), 1.0f);
  editor.idle(2);
  EXPECT_LT(editor.wrongPixels(kCutoffX, 1.0f), 0.02);
  editor.host.sendMidi({{0, 0xB0, 74, 0}});
  editor.host.renderFloat(left, right, 256);
  editor.idle(2);
  EXPECT_EQ(editor.host.getParameter(2), 0.0f);
  EXPECT_LT(editor.wrongPixels(kCutoffX, 0.0f), 0.02);
}

TEST_F(EditorInHost, FrameMenuOpensFromTheCornerWithAnyButton) {
  Editor editor(display, 50, 60);
  editor.open();
  editor.idle(3);
  for (int button : {1, 2, 3}) {
    fakeMove(display, 50 + 550, 60 + 100);
    editor.idle();
    fakeButton(display, button, true);
    auto popup = whileMenuIsUp(editor, "Escape");
    fakeButton(display, button, false);
    editor.idle();
    // Right-aligned at the panel's bottom-right corner.
    EXPECT_EQ(popup[0] + popup[2], 50 + 560) << button;
    EXPECT_EQ(popup[1], 60 + 110) << button;
  }
  EXPECT_EQ(editor.host.beginEditCalls, 0);
}

TEST_F(EditorInHost, ASizeFromTheCornerMenusSubmenuIsKeptAndAHostThatCannotResizeGetsItAtTheNextOpen) {
  // The person's choice is written beside the defaults: a folder of this test's own.
  const std::string config = ::testing::TempDir() + "koralin-size-" + std::to_string(getpid());
  std::filesystem::remove_all(config);
  const char* before = std::getenv("XDG_CONFIG_HOME");
  const std::string previous = before ? before : "";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  {
    Editor editor(display, 50, 60);
    editor.open();
    editor.idle(3);
    fakeMove(display, 50 + 550, 60 + 100);
    editor.idle();
    fakeButton(display, 3, true);
    std::array<int, 4> first{-1, -1, -1, -1}, side{-1, -1, -1, -1};
    std::atomic<bool> done{false};
    std::thread helper([&] {
      XDisplay* own = LatticeTest::openTestDisplay();
      for (int i = 0; i < 400 && !LatticeTest::findPopup(own, first[0], first[1], first[2], first[3]); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      // Up from nothing lights the last item, "Size"; Right opens its menu with "100 %" lit; Down, Return.
      for (const char* key : {"Up", "Right", "Down", "Return"}) {
        LatticeTest::fakeTap(own, key);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (std::string(key) == "Right") LatticeTest::findPopup(own, side[0], side[1], side[2], side[3]);
      }
      int x, y, w, h;
      for (int i = 0; i < 100 && LatticeTest::findPopup(own, x, y, w, h); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (LatticeTest::findPopup(own, x, y, w, h)) {
        ADD_FAILURE() << "the menus did not close";
        fakeMove(own, 1270, 1010);
        fakeClick(own, 1);
      }
      LatticeTest::closeTestDisplay(own);
      done = true;
    });
    for (int i = 0; i < 600 && !done; ++i) editor.idle();
    helper.join();
    fakeButton(display, 3, false);
    editor.idle(3);
    // The size menu stood beside the corner menu, at the height of its last item.
    EXPECT_GE(side[0], first[0] + first[2] - 4);
    EXPECT_GT(side[1], first[1]);
    EXPECT_LT(side[1], first[1] + first[3]);
    std::ifstream kept(config + "/Quillmarsh/Koralin.editor");
    std::string text((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "size 150\n");
    // This host cannot resize an open editor: the window stays as it was until the editor opens again.
    int width = 0, height = 0;
    ASSERT_TRUE(onlyChildSize(display, editor.window, width, height));
    EXPECT_EQ(width, 560);
    editor.host.dispatch(effEditClose);
    ERect* rect = nullptr;
    editor.host.dispatch(effEditGetRect, 0, 0, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 840);
    EXPECT_EQ(rect->bottom - rect->top, 165);
    editor.open();
    editor.idle(3);
    ASSERT_TRUE(onlyChildSize(display, editor.window, width, height));
    EXPECT_EQ(width, 840);
    EXPECT_EQ(height, 165);
  }
  if (before) setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  std::filesystem::remove_all(config);
}

TEST_F(EditorInHost, TwoEditorsOnAThreadOfTheirOwnShowTheirOwnValuesAndOneOutlivesTheOther) {
  auto first = std::make_unique<Editor>(display, 50, 60);
  Editor second(display, 50, 300);
  // As some Linux hosts do: every editor of the process opens, idles and closes on one thread of the host's,
  // while its user-interface thread sets values.
  auto onEditorThread = [](const std::function<void()>& work) { std::thread(work).join(); };
  first->host.setParameter(2, 0.0f);
  second.host.setParameter(2, 1.0f);
  std::atomic<bool> idling{true};
  std::thread editors([&] {
    first->open();
    second.open();
    for (int i = 0; i < 8; ++i) {
      first->idle();
      second.idle();
    }
    idling = false;
  });
  for (int i = 0; idling; ++i) first->host.setParameter(3, float(i % 100) / 100.0f);
  editors.join();
  first->host.setParameter(3, 0.5f);
  onEditorThread([&] { first->idle(2); });
  EXPECT_LT(first->wrongPixels(kCutoffX, 0.0f), 0.02);
  EXPECT_LT(first->wrongPixels(156, first->host.getParameter(3)), 0.02);  // the resonance knob
  EXPECT_LT(second.wrongPixels(kCutoffX, 1.0f), 0.02);
  onEditorThread([&] { first->host.dispatch(effEditClose); });
  first.reset();  // unloads its module; the other's editor goes on drawing
  second.host.setParameter(2, 0.5f);
  onEditorThread([&] { second.idle(2); });
  EXPECT_LT(second.wrongPixels(kCutoffX, second.host.getParameter(2)), 0.02);
  onEditorThread([&] { second.host.dispatch(effEditClose); });
}

TEST_F(EditorInHost, HostWindowDestroyedBeforeCloseLeavesTheEditorClosable) {
  Editor editor(display, 50, 60);
  editor.open();
  editor.idle(3);
  destroyHostWindow(display, editor.window);
  editor.window = 0;
  editor.idle(3);  // idle goes on while the host's window is gone
  editor.host.dispatch(effEditClose);
  // And a new window gets a working editor again.
  editor.window = makeHostWindow(display, 50, 60, 560, 110);
  editor.host.setParameter(2, 0.8f);
  editor.open();
  editor.idle(3);
  EXPECT_LT(editor.wrongPixels(kCutoffX, editor.host.getParameter(2)), 0.02);
}

// Everything the drawing layer reports on the error stream while fn runs.
std::string errorStreamOf(const std::function<void()>& fn) {
  char path[] = "/tmp/koralin-editor-stderr-XXXXXX";
  const int file = mkstemp(path);
  const int saved = dup(2);
  std::fflush(stderr);
  dup2(file, 2);
  fn();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(file);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  unlink(path);
  return text.str();
}

TEST_F(EditorInHost, OpenedAndClosedAThousandTimesItLeavesNoTextureBehind) {
  Editor editor(display, 50, 60);
  auto openFiles = [] {
    auto entries = std::filesystem::directory_iterator("/proc/self/fd");
    return std::distance(begin(entries), end(entries));
  };
  auto cycle = [&] {
    if (editor.host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(editor.window)) != 1) return false;
    editor.host.dispatch(effEditIdle);  // paints: the device, its textures and fonts exist
    editor.host.dispatch(effEditClose);
    return true;
  };
  long filesAfterWarmUp = 0;
  const std::string errors = errorStreamOf([&] {
    for (int i = 0; i < 1000; ++i) {
      ASSERT_TRUE(cycle());
      if (i == 9) filesAfterWarmUp = openFiles();
    }
  });
  EXPECT_EQ(errors.find("possible leak"), std::string::npos) << errors;
  // No display connection piles up: one serves every editor this thread opens, one after the other, and those
  // of threads that open and close an editor and then end go with them.
  EXPECT_LE(openFiles(), filesAfterWarmUp);
  // Threads alive at the same time (each its own), taking turns with the editor.
  std::mutex turn;
  std::atomic<int> opened{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 20; ++i) {
    threads.emplace_back([&] {
      std::lock_guard<std::mutex> lock(turn);
      if (cycle() && cycle()) ++opened;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(opened, 20);
  EXPECT_LE(openFiles(), filesAfterWarmUp);
  editor.host.setParameter(2, 0.3f);
  editor.open();
  editor.idle(3);
  EXPECT_LT(editor.wrongPixels(kCutoffX, editor.host.getParameter(2)), 0.02);
}

}  // namespace
}  // namespace EditorTest

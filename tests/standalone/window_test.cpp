// koralin's window under the test display, with real input through XTest: it opens titled with the program and
// shows the panel, a drag on the cutoff knob changes what the probe records, Page Down steps to the next program, a
// size from the panel's menu resizes the window, and the window manager's close button ends koralin with its state
// saved.
#include <gtest/gtest.h>  // before Xlib, whose None and Bool macros would spoil it
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "jack_rig.h"
#include "tests/gui/film_strip_check.h"

namespace StandaloneTest {
namespace {

constexpr int kCutoffLeft = 86;  // the cutoff knob's left edge on the panel

std::string titleOf(Display* d, Window w) {
  char* name = nullptr;
  std::string title;
  if (XFetchName(d, w, &name) && name) title = name;
  if (name) XFree(name);
  return title;
}

// koralin's top-level window, found by its title's start.
Window findWindow(Display* d) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count);
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i)
      if (titleOf(d, children[i]).rfind("Koralin - ", 0) == 0) found = children[i];
    if (children) XFree(children);
    if (found) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

// The share of the knob's opaque pixels on the screen that do not show the film strip's frame of value.
double wrongKnobPixels(Display* d, int x, int y, float value, uint32_t tint = 0xE0) {
  XSync(d, False);
  XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 40, 40, AllPlanes, ZPixmap);
  if (!image) return 1.0;
  std::vector<uint32_t> pixels;
  for (int row = 0; row < 40; ++row)
    for (int column = 0; column < 40; ++column) pixels.push_back((uint32_t)XGetPixel(image, column, row) & 0xFFFFFF);
  XDestroyImage(image);
  int opaque = 0;
  const int wrong = StripCheck::knobMismatches(pixels, 40, 0, 0, value, tint, opaque);
  return opaque ? (double)wrong / opaque : 1.0;
}

// How much of a note's energy is in its changes from sample to sample: more for a brighter sound.
double brightness(const std::vector<float>& x) {
  double change = 0, energy = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    change += ((double)x[i] - x[i - 1]) * ((double)x[i] - x[i - 1]);
    energy += (double)x[i] * x[i];
  }
  return change / (energy + 1e-30);
}

std::vector<float> playNote(const JackServer& server) {
  Probe probe(server, 19200);
  EXPECT_TRUE(probe.ok() && probe.connectTo("Koralin"));
  const uint32_t start = probe.now() + 4800;
  probe.arm({{start, {0x90, 45, 100}, 3}, {start + 14400, {0x80, 45, 0}, 3}}, start);
  EXPECT_TRUE(probe.waitRecorded(5000));
  return probe.left;
}

void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

TEST(StandaloneWindow, ShowsThePanelTakesAKnobDragStepsProgramsAndEndsWhenClosed) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) GTEST_SKIP() << "no X display";
  JackServer server(48000, 512);
  ASSERT_TRUE(server.up()) << server.log();
  const std::string scratch = scratchFolder("window");
  Child koralin({koralinPath(), "-v", "--no-connect", "--fresh", "--program", "Hard Acid"},
                {server.env(), "XDG_CONFIG_HOME=" + scratch + "/config"});
  ASSERT_NE(koralin.waitForLine("playing from JACK frame"), "") << koralin.err();
  const Window window = findWindow(d);
  ASSERT_NE(window, 0u) << "no window titled \"Koralin - ...\"";
  EXPECT_EQ(titleOf(d, window), "Koralin - Hard Acid");
  const int x = 100, y = 300;  // room above the panel for the drag (no window manager places it)
  XMoveWindow(d, window, x, y);
  XTestFakeMotionEvent(d, -1, x + 540, y + 100, CurrentTime);  // the pointer over the panel, on no control
  settle();
  // The panel shows the program: cutoff 25 %, resonance 90 %.
  EXPECT_LT(wrongKnobPixels(d, x + kCutoffLeft + 20, y + 39, 0.25f), 0.02);
  EXPECT_LT(wrongKnobPixels(d, x + 156 + 20, y + 39, 0.90f), 0.02);
  const double before = brightness(playNote(server));

  // A hundred pixels up: a quarter of the range more cutoff, shown on the knob and heard.
  const int cx = x + kCutoffLeft + 40, cy = y + 63;
  XTestFakeMotionEvent(d, -1, cx, cy, CurrentTime);
  XTestFakeButtonEvent(d, 1, True, CurrentTime);
  XSync(d, False);
  for (int step = 1; step <= 10; ++step) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    XTestFakeMotionEvent(d, -1, cx, cy - 10 * step, CurrentTime);
    XSync(d, False);
  }
  XTestFakeButtonEvent(d, 1, False, CurrentTime);
  settle();  // released above the panel: the knob shows its new frame unlit
  // (Lit or not: the knob stays lit after a drag that ended outside the window until the pointer comes back.)
  EXPECT_LT(std::min(wrongKnobPixels(d, x + kCutoffLeft + 20, y + 39, 0.5f),
                     wrongKnobPixels(d, x + kCutoffLeft + 20, y + 39, 0.5f, 0xFF)),
            0.02);
  const double after = brightness(playNote(server));
  std::printf("the note's brightness: %.5f before the drag, %.5f after\n", before, after);
  EXPECT_GT(after, 1.5 * before) << "the sound after the drag is not brighter";

  // Page Down (the pointer over the window, which has the keyboard then): the next program, in the title.
  XTestFakeMotionEvent(d, -1, x + 540, y + 100, CurrentTime);
  const KeyCode pageDown = XKeysymToKeycode(d, XK_Page_Down);
  XTestFakeKeyEvent(d, pageDown, True, CurrentTime);
  XTestFakeKeyEvent(d, pageDown, False, CurrentTime);
  XSync(d, False);
  EXPECT_NE(koralin.waitForLine("program 8 \"Bright Staccato\""), "");
  settle();
  EXPECT_EQ(titleOf(d, window), "Koralin - Bright Staccato");

  // "150 %" from the corner menu's Size submenu (Up lights its last item, "Size"; Right opens it with "100 %" lit):
  // the window takes the panel's new size at once.
  XTestFakeMotionEvent(d, -1, x + 550, y + 100, CurrentTime);
  XTestFakeButtonEvent(d, 3, True, CurrentTime);
  XSync(d, False);
  settle();
  for (KeySym key : {XK_Up, XK_Right, XK_Down, XK_Return}) {
    const KeyCode code = XKeysymToKeycode(d, key);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
    settle();
  }
  XTestFakeButtonEvent(d, 3, False, CurrentTime);
  XWindowAttributes shape{};
  for (int i = 0; i < 40 && XGetWindowAttributes(d, window, &shape) && shape.width != 840; ++i) settle();
  EXPECT_EQ(shape.width, 840);
  EXPECT_EQ(shape.height, 165);

  // The window manager's close button.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSendEvent(d, window, False, NoEventMask, &close);
  XSync(d, False);
  EXPECT_EQ(koralin.wait(), 0) << koralin.err();
  EXPECT_NE(koralin.waitForLine("state saved to"), "");
  XCloseDisplay(d);
}

}  // namespace
}  // namespace StandaloneTest

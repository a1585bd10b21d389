// Koralin.clap's editor embedded in a host's X11 window under the test display: what clap.gui answers, the idle
// from the host's timer or from the fallback's main-thread callbacks, and a real drag on a knob reaching the host as
// gesture begin, values and gesture end from flush (inactive) or process (active), with the flush asked for; and the
// host's scale sizing the panel before it opens.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "editor_x11_host.h"
#include "instrument/koralin_params.h"
#include "tests/clap/clap_host.h"
#include "x11_host.h"

namespace ClapTest {
namespace {

constexpr int kX = 50, kY = 60;            // the host's window on the screen
constexpr int kCutoffX = 86, kKnobY = 63;  // the cutoff knob's left edge and its centre's height on the panel

class ClapEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    EditorTest::keepLibrariesLoaded(modulePath().c_str());
    EditorTest::installHostErrorHandler();
    display = LatticeTest::openTestDisplay();
    if (!display) GTEST_SKIP() << "no X display";
    LatticeTest::fakeMove(display, 1200, 1000);
  }
  void TearDown() override {
    if (!display) return;
    EXPECT_EQ(EditorTest::hostErrorCount(), 0) << "an X error reached the host's handler";
    LatticeTest::closeTestDisplay(display);
  }
  EditorTest::XDisplay* display = nullptr;
};

// The gesture events of one parameter in what the plug-in sent: "B", "V" and "E" in order.
std::string gestureOf(const OutputEvents& out, clap_id id, double& lastValue) {
  std::string seen;
  for (const Event& e : out.events) {
    if (e.header.type == CLAP_EVENT_PARAM_GESTURE_BEGIN && e.gesture.param_id == id) seen += 'B';
    if (e.header.type == CLAP_EVENT_PARAM_GESTURE_END && e.gesture.param_id == id) seen += 'E';
    if (e.header.type == CLAP_EVENT_PARAM_VALUE && e.param.param_id == id) {
      if (seen.empty() || seen.back() != 'V') seen += 'V';
      lastValue = e.param.value;
    }
  }
  return seen;
}

TEST_F(ClapEditor, DragOnAKnobBecomesOneGestureForTheHost) {
  Module module(modulePath());
  for (bool hostTimer : {true, false}) {
    SCOPED_TRACE(hostTimer ? "the host's timer" : "the fallback's callbacks, plug-in active");
    TestHost host;
    host.offerTimer = hostTimer;
    Plugin p(module, host);
    ASSERT_TRUE(p);
    auto* gui = p.extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    auto* timer = p.extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
    ASSERT_TRUE(gui && timer);
    const clap_plugin_t* plugin = p.plugin();
    EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, true)) << "never floating";
    EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_WAYLAND, false));
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui->get_preferred_api(plugin, &api, &floating));
    EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
    EXPECT_FALSE(floating);
    ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(gui->get_size(plugin, &w, &h));
    EXPECT_EQ(w, 560u);
    EXPECT_EQ(h, 110u);
    EXPECT_FALSE(gui->can_resize(plugin));
    EXPECT_TRUE(gui->set_size(plugin, 560, 110));
    EXPECT_FALSE(gui->set_size(plugin, 600, 110));

    InputEvents start;
    start.add(paramEvent(0, kCutoff, 25.0));
    p.flush(start, nullptr);
    if (!hostTimer) {
      ASSERT_TRUE(p.activate(44100, 512));
    }
    const unsigned long window = EditorTest::makeHostWindow(display, kX, kY, 560, 110);
    clap_window_t parent{CLAP_WINDOW_API_X11, {}};
    parent.x11 = window;
    ASSERT_TRUE(gui->set_parent(plugin, &parent));
    EXPECT_TRUE(gui->show(plugin));
    if (hostTimer) {
      ASSERT_EQ(host.timers.size(), 1u);
      EXPECT_EQ(host.timerPeriod, 20u);
    } else {
      EXPECT_TRUE(host.timers.empty());
    }
    // A host's idle rhythm: its timer every 20 ms, or whenever the plug-in asked for a main-thread callback.
    int callbacks = 0;
    auto idle = [&](int times) {
      for (int i = 0; i < times; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (hostTimer) timer->on_timer(plugin, host.timers[0]);
        else if (host.callbackRequests.load() > callbacks) {
          callbacks = host.callbackRequests.load();
          plugin->on_main_thread(plugin);
        }
      }
    };
    idle(5);
    const int cx = kX + kCutoffX + 40, cy = kY + kKnobY;
    LatticeTest::fakeMove(display, cx, cy);
    idle(1);
    LatticeTest::fakeButton(display, 1, true);
    idle(1);
    for (int step = 1; step <= 10; ++step) {
      LatticeTest::fakeMove(display, cx, cy - 10 * step);
      idle(1);
    }
    LatticeTest::fakeButton(display, 1, false);
    idle(3);
    LatticeTest::fakeMove(display, 1200, 1000);
    if (!hostTimer) {
      EXPECT_GT(callbacks, 10) << "the fallback asks for the idle";
    }

    EXPECT_GT(host.flushRequests.load(), 0) << "the editor asked the host for a flush";
    OutputEvents out;
    if (hostTimer) p.flush(InputEvents(), &out);
    else p.process(64, InputEvents(), &out);
    double last = -1;
    EXPECT_EQ(gestureOf(out, kCutoff, last), "BVE");
    EXPECT_NEAR(last, 50.0, 0.01) << "400 pixels for the whole range: 100 up is a quarter";
    EXPECT_EQ(last, p.value(kCutoff));
    EXPECT_GT(host.dirtyMarks, 0);
    OutputEvents again;
    p.flush(InputEvents(), &again);
    EXPECT_TRUE(again.events.empty()) << "a gesture is sent once";

    gui->destroy(plugin);
    EXPECT_TRUE(host.timers.empty()) << "the timer is given back";
    EditorTest::destroyHostWindow(display, window);
    for (const std::string& v : host.violations()) ADD_FAILURE() << "thread rule broken: " << v;
  }
}

// The host's scale, given after create and before set_parent, sizes what get_size answers and the window that opens
// in the host's; one instance, its editor created and destroyed for each scale as a host does.
TEST_F(ClapEditor, HostScaleSizesThePanelBeforeItOpens) {
  Module module(modulePath());
  TestHost host;
  Plugin p(module, host);
  ASSERT_TRUE(p);
  auto* gui = p.extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_TRUE(gui);
  const clap_plugin_t* plugin = p.plugin();
  for (double scale : {1.5, 2.0, 1.0}) {
    SCOPED_TRACE(scale);
    const auto width = uint32_t(560 * scale), height = uint32_t(110 * scale);
    ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_TRUE(gui->set_scale(plugin, scale));
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(gui->get_size(plugin, &w, &h));
    EXPECT_EQ(w, width);
    EXPECT_EQ(h, height);
    EXPECT_TRUE(gui->set_size(plugin, width, height));
    const unsigned long window = EditorTest::makeHostWindow(display, kX, kY, int(width), int(height));
    clap_window_t parent{CLAP_WINDOW_API_X11, {}};
    parent.x11 = window;
    ASSERT_TRUE(gui->set_parent(plugin, &parent));
    int shownWidth = 0, shownHeight = 0;
    EXPECT_TRUE(EditorTest::onlyChildSize(display, window, shownWidth, shownHeight));
    EXPECT_EQ(shownWidth, int(width));
    EXPECT_EQ(shownHeight, int(height));
    gui->destroy(plugin);
    EditorTest::destroyHostWindow(display, window);
  }
  EXPECT_EQ(host.resizeRequests, 0) << "the scale came before the editor opened";
  for (const std::string& v : host.violations()) ADD_FAILURE() << "thread rule broken: " << v;
}

}  // namespace
}  // namespace ClapTest

// Koralin.lv2's editor in a real X11 window, found through lilv and opened as a host opens an X11 UI: a child of
// ui:parent with instance-access, its size told through ui:resize, driven by idle calls while the instance runs.
// Host values show on the panel within two idle calls; a drag reaches the host as port writes inside touch, and
// run does not take the knob back while it moves; the host's ui:scaleFactor; hosts without touch or
// instance-access.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "editor_x11_host.h"
#include "tests/lv2/lilv_host.h"
#include "x11_host.h"

namespace {

using LatticeTest::fakeButton;
using LatticeTest::fakeMove;

constexpr int kCutoffX = 86;  // the cutoff knob's left edge on the panel
constexpr int kLeft = 50, kTop = 60;

// The UI's descriptor, from the binary lilv names for the plug-in's X11 UI.
const LV2UI_Descriptor* uiDescriptor() {
  Lv2Test::World& w = Lv2Test::World::get();
  LilvUIs* uis = lilv_plugin_get_uis(w.plugin);
  const LV2UI_Descriptor* found = nullptr;
  LILV_FOREACH(uis, i, uis) {
    const LilvUI* ui = lilv_uis_get(uis, i);
    char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    void* binary = dlopen(path, RTLD_NOW);  // the plug-in's own, already loaded: kept to the process's end
    lilv_free(path);
    auto get = binary ? reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(binary, "lv2ui_descriptor")) : nullptr;
    for (uint32_t d = 0; get && get(d); ++d)
      if (std::strcmp(get(d)->URI, lilv_node_as_uri(lilv_ui_get_uri(ui))) == 0) found = get(d);
  }
  lilv_uis_free(uis);
  return found;
}

struct Call {
  char kind;  // 'w' a port write, '+' touch grabbed, '-' touch released
  uint32_t port;
  float value;
};

// The host's side of one editor: its window, the features it gives, and what the editor told it.
struct UiHost {
  // scale, when not 0, is given as ui:scaleFactor in the options.
  UiHost(EditorTest::XDisplay* display, Lv2Test::Instance& lv2, bool touch, bool instanceAccess, float scale = 0)
      : display(display), lv2(lv2), scale(scale) {
    window = EditorTest::makeHostWindow(display, kLeft, kTop, 560, 110);
    resize = {this, [](LV2UI_Feature_Handle h, int w, int ht) {
                static_cast<UiHost*>(h)->resized = {w, ht};
                return 0;
              }};
    touchFeature = {this, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                      static_cast<UiHost*>(h)->calls.push_back({grabbed ? '+' : '-', port, 0.0f});
                    }};
    features = {{LV2_UI__parent, reinterpret_cast<void*>(window)},
                {LV2_URID__map, Lv2Test::Urids::get().mapFeature()},
                {LV2_UI__resize, &resize}};
    if (instanceAccess) features.push_back({LV2_INSTANCE_ACCESS_URI, lv2.handle()});
    if (touch) features.push_back({LV2_UI__touch, &touchFeature});
    if (scale > 0) {
      options[0] = {LV2_OPTIONS_INSTANCE,
                    0,
                    Lv2Test::Urids::get().map(LV2_UI__scaleFactor),
                    sizeof(float),
                    Lv2Test::Urids::get().map(LV2_ATOM__Float),
                    &this->scale};
      features.push_back({LV2_OPTIONS__options, options});
    }
    for (const LV2_Feature& f : features) list.push_back(&f);
    list.push_back(nullptr);
  }
  ~UiHost() {
    if (ui) descriptor->cleanup(ui);
    EditorTest::destroyHostWindow(display, window);
  }
  bool open() {
    ui = descriptor->instantiate(descriptor, KoralinLv2::kPluginUri, KORALIN_LV2_BUNDLE "/", write, this, &widget,
                                 list.data());
    return ui != nullptr;
  }
  // A host's rhythm: the audio thread runs a block, the UI thread idles, every 20 ms.
  void idle(int calls = 1) {
    static const auto* idler =
        static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    for (int i = 0; i < calls; ++i) {
      lv2.run(64);
      EXPECT_EQ(idler->idle(ui), 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* value) {
    auto* host = static_cast<UiHost*>(controller);
    ASSERT_EQ(size, sizeof(float));
    ASSERT_EQ(format, 0u);
    const float v = *static_cast<const float*>(value);
    host->calls.push_back({'w', port, v});
    host->lv2.control(port) = v;  // as a host does: the port's value for the next run
  }
  std::pair<int, int> panelSize() {
    XSync(display, False);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, (Window) reinterpret_cast<uintptr_t>(widget), &attributes)) return {0, 0};
    return {attributes.width, attributes.height};
  }
  double wrongPixels(float normalized) {
    int opaque = 0;
    const int wrong = EditorTest::knobMismatches(
        EditorTest::screenRect(display, kLeft + kCutoffX + 20, kTop + 23 + 16, 40, 40), normalized, 0xE0, opaque);
    return opaque ? double(wrong) / opaque : 1.0;
  }

  EditorTest::XDisplay* display;
  Lv2Test::Instance& lv2;
  const LV2UI_Descriptor* descriptor = uiDescriptor();
  unsigned long window = 0;
  LV2UI_Resize resize;
  LV2UI_Touch touchFeature;
  float scale;
  LV2_Options_Option options[2] = {};
  std::vector<LV2_Feature> features;
  std::vector<const LV2_Feature*> list;
  LV2UI_Handle ui = nullptr;
  LV2UI_Widget widget = nullptr;
  std::pair<int, int> resized{0, 0};
  std::vector<Call> calls;
};

class Lv2Editor : public ::testing::Test {
 protected:
  void SetUp() override {
    EditorTest::keepLibrariesLoaded(KORALIN_LV2_BUNDLE "/Koralin.so");
    EditorTest::installHostErrorHandler();
    display = LatticeTest::openTestDisplay();
    if (!display) GTEST_SKIP() << "no X display";
    fakeMove(display, 1200, 1000);  // the pointer starts away from every panel
    lv2.activate();
  }
  void TearDown() override {
    if (!display) return;
    EXPECT_EQ(EditorTest::hostErrorCount(), 0) << "an X error reached the host's handler";
    LatticeTest::closeTestDisplay(display);
  }
  EditorTest::XDisplay* display = nullptr;
  Lv2Test::Instance lv2{44100, 256};
};

TEST_F(Lv2Editor, OpensInTheParentAndShowsTheHostsValuesWithinTwoIdleCalls) {
  UiHost host(display, lv2, true, true);
  ASSERT_TRUE(host.descriptor) << "lilv names the X11 UI's binary and it has the descriptor";
  ASSERT_TRUE(host.open());
  EXPECT_EQ(host.resized, std::make_pair(560, 110));
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  ASSERT_TRUE(
      XQueryTree(display, (Window) reinterpret_cast<uintptr_t>(host.widget), &root, &parent, &children, &count));
  if (children) XFree(children);
  EXPECT_EQ(parent, host.window) << "the widget is the panel's window, a child of ui:parent";
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, (Window) reinterpret_cast<uintptr_t>(host.widget), &attributes));
  EXPECT_EQ(attributes.width, 560);
  EXPECT_EQ(attributes.height, 110);

  host.idle(3);
  for (float percent : {0.0f, 20.0f, 50.0f, 73.0f, 95.0f, 100.0f}) {
    lv2.param(kCutoff) = percent;
    host.idle(2);
    const float shown = percent / 100.0f, other = shown < 0.5f ? shown + 0.4f : shown - 0.4f;
    const double right = host.wrongPixels(shown), wrong = host.wrongPixels(other);
    EXPECT_LT(right, 0.02) << percent;
    EXPECT_GT(wrong, right + 0.03) << percent;
  }
  EXPECT_TRUE(host.calls.empty()) << "values from the host are not written back to it";
}

TEST_F(Lv2Editor, OpensAtTheHostsScaleFactorAndTakesANewOneThroughTheOptionsInterface) {
  for (float scale : {2.0f, 1.5f}) {
    SCOPED_TRACE(scale);
    const std::pair<int, int> size{int(560 * scale), int(110 * scale)};
    UiHost host(display, lv2, true, true, scale);
    ASSERT_TRUE(host.open());
    EXPECT_EQ(host.resized, size) << "ui:resize is asked for the size at the host's scale";
    host.idle(2);
    EXPECT_EQ(host.panelSize(), size) << "the panel's window opens at it";
  }
  UiHost host(display, lv2, true, true);
  ASSERT_TRUE(host.open());
  EXPECT_EQ(host.resized, std::make_pair(560, 110)) << "a closed editor's host scale is not the next one's";

  // While it is open: a factor the panel has resizes it through ui:resize; one it has not is refused.
  const auto* options =
      static_cast<const LV2_Options_Interface*>(host.descriptor->extension_data(LV2_OPTIONS__interface));
  ASSERT_TRUE(options);
  const LV2_URID key = Lv2Test::Urids::get().map(LV2_UI__scaleFactor);
  const LV2_URID floatType = Lv2Test::Urids::get().map(LV2_ATOM__Float);
  float factor = 1.5f;
  LV2_Options_Option given[2] = {{LV2_OPTIONS_INSTANCE, 0, key, sizeof(float), floatType, &factor}, {}};
  EXPECT_EQ(options->set(host.ui, given), (uint32_t)LV2_OPTIONS_SUCCESS);
  EXPECT_EQ(host.resized, std::make_pair(840, 165));
  host.idle(2);
  EXPECT_EQ(host.panelSize(), std::make_pair(840, 165));
  LV2_Options_Option asked[2] = {{LV2_OPTIONS_INSTANCE, 0, key, 0, 0, nullptr}, {}};
  EXPECT_EQ(options->get(host.ui, asked), (uint32_t)LV2_OPTIONS_SUCCESS);
  ASSERT_EQ(asked[0].type, floatType);
  EXPECT_EQ(*static_cast<const float*>(asked[0].value), 1.5f);
  factor = 3.0f;
  EXPECT_EQ(options->set(host.ui, given), (uint32_t)LV2_OPTIONS_ERR_BAD_VALUE);
}

TEST_F(Lv2Editor, ADragReachesTheHostAsPortWritesInsideTouch) {
  for (bool touch : {true, false}) {
    SCOPED_TRACE(touch ? "with ui:touch" : "without ui:touch (jalv)");
    lv2.param(kCutoff) = 25.0f;
    UiHost host(display, lv2, touch, true);
    ASSERT_TRUE(host.open());
    host.idle(3);
    const int cx = kLeft + kCutoffX + 40, cy = kTop + 63;
    fakeMove(display, cx, cy);
    host.idle();
    fakeButton(display, 1, true);
    host.idle();
    float last = 25.0f;
    for (int step = 1; step <= 10; ++step) {
      fakeMove(display, cx, cy - 10 * step);
      host.idle();
      EXPECT_GE(lv2.now(kCutoff), last) << "run never takes the knob back while it moves";
      last = lv2.now(kCutoff);
    }
    fakeButton(display, 1, false);
    host.idle(2);
    fakeMove(display, 1200, 1000);
    host.idle(2);

    ASSERT_GE(host.calls.size(), touch ? 3u : 1u);
    if (touch) {
      EXPECT_EQ(host.calls.front().kind, '+');
      EXPECT_EQ(host.calls.back().kind, '-');
    }
    for (size_t i = touch ? 1 : 0; i < host.calls.size() - (touch ? 1 : 0); ++i)
      EXPECT_EQ(host.calls[i].kind, 'w') << i;
    for (const Call& call : host.calls) EXPECT_EQ(call.port, KoralinLv2::Port::param(kCutoff));
    const float written = host.calls[host.calls.size() - (touch ? 2 : 1)].value;
    EXPECT_NEAR(written, 50.0f, 100.0f / 64000) << "a hundred pixels up: a quarter of the range";
    EXPECT_EQ(lv2.param(kCutoff), written) << "the host's port holds the last value written";
    EXPECT_EQ(lv2.now(kCutoff), written) << "and the instrument the same";
    EXPECT_LT(host.wrongPixels(written / 100.0f), 0.02);
  }
}

TEST_F(Lv2Editor, WithoutInstanceAccessOrWithAPanelOpenThereIsNoSecondEditor) {
  UiHost blind(display, lv2, true, false);
  EXPECT_FALSE(blind.open()) << "a host that cannot give the instance gets no dead panel";
  UiHost first(display, lv2, true, true);
  ASSERT_TRUE(first.open());
  UiHost second(display, lv2, true, true);
  EXPECT_FALSE(second.open()) << "one panel per instance";
  first.idle(2);
}

}  // namespace

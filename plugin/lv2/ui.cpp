// Koralin's LV2 editor: the panel opened as a child of ui:parent, driven by the host's idle calls, its knob
// gestures written to the host as port values inside touch, drawn at the host's ui:scaleFactor when it gives one the
// panel has (in the options at instantiate, or later through the options interface).
//
// Threads. Every call here comes on the host's UI thread: instantiate, idle, port_event, cleanup, and the options'
// get and set. The panel handles its window only inside idle (and while it opens and closes, or takes a new scale
// in set), so its gestures come back on this thread, inside one of those calls; the layer's listener callbacks from
// anywhere else (a state restored on another thread, the instrument's own loads) are not gestures and are not
// written to the host. The plug-in's Plugin::setEditing crosses to run as an atomic. Values the host sets reach the
// instrument in run, and the panel shows them at its next poll (within two idle calls).
#include "plugin/lv2/ui.h"

#include <X11/Xlib.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "plugin/lv2/plugin.h"

namespace KoralinLv2 {
namespace {

std::vector<Window> childrenOf(Display* display, Window parent) {
  Window root = 0, up = 0, *children = nullptr;
  unsigned int count = 0;
  std::vector<Window> list;
  if (XQueryTree(display, parent, &root, &up, &children, &count)) list.assign(children, children + count);
  if (children) XFree(children);
  return list;
}

class Editor final : public Embed::Listener {
 public:
  Editor(Plugin& plugin, LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_Feature* const* features)
      : plugin_(plugin),
        write_(write),
        controller_(controller),
        resize_(static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize))),
        touch_(static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch))) {
    auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map));
    scaleKey_ = map->map(map->handle, LV2_UI__scaleFactor);
    floatType_ = map->map(map->handle, LV2_ATOM__Float);
    auto* options = static_cast<const LV2_Options_Option*>(feature(features, LV2_OPTIONS__options));
    for (const LV2_Options_Option* o = options; o && o->key; ++o)
      if (isScale(*o)) takeScale(*static_cast<const float*>(o->value));
  }
  LV2_URID scaleKey() const { return scaleKey_; }
  LV2_URID floatType() const { return floatType_; }
  bool isScale(const LV2_Options_Option& o) const {
    return o.key == scaleKey_ && o.type == floatType_ && o.size == sizeof(float) && o.value;
  }

  // The host's ui:scaleFactor. The panel is drawn in quarter steps from 1 to 2: a factor on one of them is taken
  // (before the panel opens, or while it is open: then the panel asks for its new size through editorResized); any
  // other is not the host's to draw at, so the panel goes by the desktop's scale, as without one. True when taken.
  bool takeScale(float scale) {
    const float quarters = std::isfinite(scale) ? std::round(scale * 4.0f) : 0.0f;
    const bool onStep = quarters >= 4.0f && quarters <= 8.0f && std::abs(scale * 4.0f - quarters) < 1e-4f;
    return plugin_.instance().setEditorScale(onStep ? quarters / 4.0 : 0.0) && onStep;
  }
  // The scale the panel is drawn at (the host's, the person's or the desktop's), read from its size.
  const float* drawnScale() {
    int32_t width = 0, height = 0;
    drawn_ = plugin_.instance().editorSize(width, height) && width > 0 ? float(width) / kPanelWidth : 1.0f;
    return &drawn_;
  }

  // Opens the panel in parent; its window, or 0 when it did not open.
  Window open(Window parent) {
    int32_t width = 0, height = 0;
    if (!plugin_.instance().editorSize(width, height)) return 0;
    if (resize_) resize_->ui_resize(resize_->handle, width, height);
    // The panel's window is found as the child of parent that opening added (the layer does not name it).
    display_ = XOpenDisplay(nullptr);
    const std::vector<Window> before = display_ ? childrenOf(display_, parent) : std::vector<Window>();
    plugin_.instance().setListener(this);
    Inside inside(*this);
    if (!plugin_.instance().openEditor(reinterpret_cast<void*>(parent))) return 0;
    Window panel = 0;
    if (display_)
      for (Window child : childrenOf(display_, parent))
        if (std::find(before.begin(), before.end(), child) == before.end()) panel = child;
    return panel ? panel : parent;  // without a connection of our own, the host's window stands for the panel
  }

  ~Editor() {
    {
      Inside inside(*this);
      plugin_.instance().closeEditor();
    }
    plugin_.instance().setListener(nullptr);
    plugin_.instance().setEditorScale(0);  // the next editor starts without a host's scale until its host gives one
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) plugin_.setEditing(i, false);
    if (display_) XCloseDisplay(display_);
  }

  void idle() {
    Inside inside(*this);
    plugin_.instance().idleEditor();
  }

  // --- Embed::Listener: a gesture of the panel's, on this thread ---
  // The value written is the one the instrument took (on its steps), so the host's port reads as the output does.
  void automated(int32_t index, float) override {
    if (!gesture(index)) return;
    const float plain = (float)KoralinParams::plainOf(index, plugin_.instance().parameter(index));
    write_(controller_, Port::param(index), sizeof(float), 0, &plain);
  }
  void editBegun(int32_t index) override {
    if (!gesture(index)) return;
    plugin_.setEditing(index, true);
    if (touch_) touch_->touch(touch_->handle, Port::param(index), true);
  }
  void editEnded(int32_t index) override {
    if (!gesture(index)) return;
    if (touch_) touch_->touch(touch_->handle, Port::param(index), false);
    plugin_.setEditing(index, false);
  }
  bool editorResized(int32_t width, int32_t height) override {
    return resize_ && resize_->ui_resize(resize_->handle, width, height) == 0;
  }
  void displayChanged() override {}

 private:
  // Marks a call of ours into the panel, on this thread.
  struct Inside {
    explicit Inside(Editor& editor) : editor(editor) { ++editor.depth_; }
    ~Inside() { --editor.depth_; }
    Editor& editor;
  };
  // The thread first: depth_ belongs to this thread, and a callback from another one must not read it.
  bool gesture(int32_t index) const {
    return std::this_thread::get_id() == thread_ && depth_ > 0 && index >= 0 && index < KoralinParams::kCount;
  }

  Plugin& plugin_;
  LV2UI_Write_Function write_;
  LV2UI_Controller controller_;
  const LV2UI_Resize* resize_;
  const LV2UI_Touch* touch_;
  const std::thread::id thread_ = std::this_thread::get_id();
  int depth_ = 0;  // calls of ours into the panel under way (this thread only)
  Display* display_ = nullptr;
  LV2_URID scaleKey_ = 0, floatType_ = 0;
  float drawn_ = 1.0f;                         // the value get answers points here
  static constexpr int32_t kPanelWidth = 560;  // the panel's width at scale 1
};

Editor* self(LV2UI_Handle handle) { return static_cast<Editor*>(handle); }

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
  if (!pluginUri || std::strcmp(pluginUri, kPluginUri) != 0 || !write || !widget) return nullptr;
  auto* plugin = static_cast<Plugin*>(const_cast<void*>(feature(features, LV2_INSTANCE_ACCESS_URI)));
  const void* parent = feature(features, LV2_UI__parent);
  if (!plugin || !parent || !feature(features, LV2_URID__map)) return nullptr;
  if (plugin->instance().editorOpen()) return nullptr;  // one panel per instance
  auto* editor = new Editor(*plugin, write, controller, features);
  const Window panel = editor->open((Window) reinterpret_cast<uintptr_t>(parent));
  if (!panel) {
    delete editor;
    return nullptr;
  }
  *widget = reinterpret_cast<LV2UI_Widget>((uintptr_t)panel);
  return editor;
}

// The panel polls the instrument for its values; the ports' events add nothing to what it shows.
void portEvent(LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}

int idle(LV2UI_Handle handle) {
  self(handle)->idle();
  return 0;
}

// ui:scaleFactor: get answers the scale the panel is drawn at; set takes the host's factor (see takeScale), and
// one the panel cannot draw at is answered LV2_OPTIONS_ERR_BAD_VALUE.
uint32_t getOptions(LV2UI_Handle handle, LV2_Options_Option* options) {
  uint32_t status = LV2_OPTIONS_SUCCESS;
  for (LV2_Options_Option* o = options; o && o->key; ++o) {
    if (o->key != self(handle)->scaleKey()) {
      status |= LV2_OPTIONS_ERR_UNKNOWN;
      continue;
    }
    o->size = sizeof(float);
    o->type = self(handle)->floatType();
    o->value = self(handle)->drawnScale();
  }
  return status;
}

uint32_t setOptions(LV2UI_Handle handle, const LV2_Options_Option* options) {
  uint32_t status = LV2_OPTIONS_SUCCESS;
  for (const LV2_Options_Option* o = options; o && o->key; ++o) {
    if (o->key != self(handle)->scaleKey()) status |= LV2_OPTIONS_ERR_UNKNOWN;
    else if (!self(handle)->isScale(*o) || !self(handle)->takeScale(*static_cast<const float*>(o->value)))
      status |= LV2_OPTIONS_ERR_BAD_VALUE;
  }
  return status;
}

const LV2UI_Idle_Interface kIdle{idle};
const LV2_Options_Interface kOptions{getOptions, setOptions};

const void* extensionData(const char* uri) {
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
  if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &kOptions;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor{kUiUri, instantiate, [](LV2UI_Handle handle) { delete self(handle); }, portEvent,
                                   extensionData};

}  // namespace

const LV2UI_Descriptor* uiDescriptor() { return &kDescriptor; }

}  // namespace KoralinLv2

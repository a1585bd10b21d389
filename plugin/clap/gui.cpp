// The CLAP plug-in's editor: the 560 x 110 panel embedded in the host's window (never floating, never resized by
// the host, drawn at the host's scale when it gives one the panel has), and its idle from the host's timer or, for a
// host without one, from our own fallback.
#include "plugin/clap/gui.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "plugin/clap/clap_plugin.h"

namespace KoralinClap {
namespace {

Plugin& self(const clap_plugin_t* plugin) { return Plugin::of(plugin); }

bool ourApi(const char* api, bool floating) { return api && !floating && std::strcmp(api, kWindowApi) == 0; }

bool CLAPCALL guiApiSupported(const clap_plugin_t*, const char* api, bool floating) { return ourApi(api, floating); }
bool CLAPCALL guiPreferredApi(const clap_plugin_t*, const char** api, bool* floating) {
  if (!api || !floating) return false;
  *api = kWindowApi;
  *floating = false;
  return true;
}
bool CLAPCALL guiCreate(const clap_plugin_t* plugin, const char* api, bool floating) {
  return ourApi(api, floating) && self(plugin).guiCreate();
}
void CLAPCALL guiDestroy(const clap_plugin_t* plugin) { self(plugin).guiDestroy(); }
bool CLAPCALL guiSetScale(const clap_plugin_t* plugin, double scale) { return self(plugin).guiSetScale(scale); }
bool CLAPCALL guiGetSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height) {
  return width && height && self(plugin).guiSize(*width, *height);
}
bool CLAPCALL guiCanResize(const clap_plugin_t*) { return false; }
bool CLAPCALL guiResizeHints(const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; }
bool CLAPCALL guiAdjustSize(const clap_plugin_t*, uint32_t*, uint32_t*) { return false; }
bool CLAPCALL guiSetSize(const clap_plugin_t* plugin, uint32_t width, uint32_t height) {
  uint32_t w = 0, h = 0;
  return self(plugin).guiSize(w, h) && w == width && h == height;  // only the size it has
}
bool CLAPCALL guiSetParent(const clap_plugin_t* plugin, const clap_window_t* window) {
  return window && ourApi(window->api, false) && self(plugin).guiSetParent(*window);
}
bool CLAPCALL guiSetTransient(const clap_plugin_t*, const clap_window_t*) { return false; }  // never floating
void CLAPCALL guiSuggestTitle(const clap_plugin_t*, const char*) {}
// The panel is a child of the host's window: the host shows and hides it with its own window.
bool CLAPCALL guiShow(const clap_plugin_t*) { return true; }
bool CLAPCALL guiHide(const clap_plugin_t*) { return true; }

void CLAPCALL onTimer(const clap_plugin_t* plugin, clap_id timer) { self(plugin).onTimer(timer); }

}  // namespace

const clap_plugin_gui_t kGui{&guiApiSupported, &guiPreferredApi, &guiCreate,       &guiDestroy,    &guiSetScale,
                             &guiGetSize,      &guiCanResize,    &guiResizeHints,  &guiAdjustSize, &guiSetSize,
                             &guiSetParent,    &guiSetTransient, &guiSuggestTitle, &guiShow,       &guiHide};
const clap_plugin_timer_support_t kTimerSupport{&onTimer};

bool Plugin::guiCreate() {
  if (guiCreated_ || !instance_->hasEditor()) return false;
  guiCreated_ = true;
  return true;
}

void Plugin::guiDestroy() {
  if (!guiCreated_) return;
  if (timer_ != CLAP_INVALID_ID && hostTimer_) hostTimer_->unregister_timer(host_, timer_);
  timer_ = CLAP_INVALID_ID;
  stopIdleFallback();
  instance_->closeEditor();
  instance_->setEditorScale(0);  // the next create starts from the desktop's scale until the host gives its own
  guiCreated_ = false;
}

// The panel is drawn in quarter steps from 1 to 2. A host's scale on one of them is taken (before the editor opens,
// or while it is open: then the editor asks the host for its new size); any other scale is not the host's to draw
// at, so the editor goes by the desktop's, as if the host had given none, and the host hears false.
bool Plugin::guiSetScale(double scale) {
  if (!guiCreated_) return false;
  const double quarters = std::isfinite(scale) ? std::round(scale * 4.0) : 0.0;
  const bool onStep = quarters >= 4.0 && quarters <= 8.0 && std::abs(scale * 4.0 - quarters) < 1e-5;
  return instance_->setEditorScale(onStep ? quarters / 4.0 : 0.0) && onStep;
}

bool Plugin::guiSize(uint32_t& width, uint32_t& height) const {
  int32_t w = 0, h = 0;
  if (!instance_->editorSize(w, h) || w <= 0 || h <= 0) return false;
  width = (uint32_t)w;
  height = (uint32_t)h;
  return true;
}

bool Plugin::guiSetParent(const clap_window_t& window) {
  if (!guiCreated_ || instance_->editorOpen()) return false;
  void* parent = nativeParent(window);
  if (!parent || !instance_->openEditor(parent)) return false;
  if (!(hostTimer_ && hostTimer_->register_timer(host_, kIdleMilliseconds, &timer_))) {
    timer_ = CLAP_INVALID_ID;
    startIdleFallback();
  }
  return true;
}

void Plugin::onTimer(clap_id timer) {
  if (timer == timer_ && timer_ != CLAP_INVALID_ID) instance_->idleEditor();
}

// The fallback's thread never touches the editor: it only asks the host to call on_main_thread, where the idle runs.
void Plugin::startIdleFallback() {
  stopIdleFallback();
  idleStop_ = false;
  idleThread_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(idleMutex_);
    while (!idleWake_.wait_for(lock, std::chrono::milliseconds(kIdleMilliseconds), [this] { return idleStop_; })) {
      idleDue_.store(true);
      askMainThread();
    }
  });
}

void Plugin::stopIdleFallback() {
  if (!idleThread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(idleMutex_);
    idleStop_ = true;
  }
  idleWake_.notify_all();
  idleThread_.join();
  idleDue_.store(false);
}

}  // namespace KoralinClap

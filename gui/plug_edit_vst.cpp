// PlugEditVST: rectangle, open and close of the frame, the idle pump, the spin lock and the notify side.
#include "gui/plug_edit_vst.h"

#include <cmath>
#include <cstring>

#include "gui/desktop_scale.h"
#include "gui/editor_services.h"
#include "gui/editor_settings.h"
#include "gui/plug_data.h"
#include "gui/plug_frame.h"
#include "gui/winwrapper.h"

namespace Lattice {

PlugEditVST::PlugEditVST(PlugCore::Plug* plugin, IEditBuilder* builder, const EditorDesc* desc)
    : AEffEditor(plugin), plug(plugin), desc(desc), builder(builder) {
  rect.top = rect.left = 0;
  rect.bottom = int16_t(desc->height);
  rect.right = int16_t(desc->width);
  const int32_t count = desc->paramCount > 0 ? desc->paramCount : 0;
  values = std::make_unique<std::atomic<float>[]>(size_t(count) + 1);
  for (int32_t i = 0; i < count; ++i) values[i] = plug->getParameter(i);
  // The first tick pushes every value.
  for (int32_t i = 0; i < plug->paramCount(); ++i) plug->params()[i].lastShown = -1.0f;
  if (desc->visualDataSize > 0) {
    visualSnapshot = std::make_unique<uint8_t[]>(size_t(desc->visualDataSize));
    std::memset(visualSnapshot.get(), 0, size_t(desc->visualDataSize));
  }
  plug->setEditor(this);
  plug->setNotify(this);
  personScale = readChosenScale(editorSettingsPath(plug->defaultsFilePath()));
  answerRect(chosenScale());
}

PlugEditVST::~PlugEditVST() {
  plug->setNotify(nullptr);
  close();
}

bool PlugEditVST::getRect(ERect** out) {
  if (!frame.load() && !sourcesFresh) {
    refreshSources(nullptr);
    answerRect(chosenScale());
  }
  if (out) *out = &rect;
  return true;
}

void PlugEditVST::refreshSources(void* parentWindow) {
  personScale = readChosenScale(editorSettingsPath(plug->defaultsFilePath()));
  desktopScale = desktopScaleFor(parentWindow);
  sourcesFresh = true;
}

float PlugEditVST::chosenScale() const { return chooseScale(personScale, hostScale, desktopScale); }

void PlugEditVST::answerRect(float scale) {
  rectScale = scale;
  rect.top = rect.left = 0;
  rect.bottom = int16_t(std::floor(float(desc->height) * scale + 1e-3f));
  rect.right = int16_t(std::floor(float(desc->width) * scale + 1e-3f));
}

void PlugEditVST::applyScale() {
  const float wanted = chosenScale();
  if (wanted == rectScale) return;
  Winwrapper* window = root();
  if (!window) {
    answerRect(wanted);  // closed: the next getRect and open answer it
    return;
  }
  const float shown = rectScale;
  answerRect(wanted);  // a host that asks getRect from inside the callback sees the new size
  if (plug->hostCallback(audioMasterSizeWindow, rect.right, rect.bottom) != 1) {
    answerRect(shown);  // the host keeps its window as it is: the next open has the new size
    return;
  }
  window->setScale(wanted);
}

bool PlugEditVST::setHostScale(float scale) {
  hostScale = scale > 0 ? scale : 0;
  applyScale();
  return true;
}

void PlugEditVST::choosePersonScale(float scale) {
  personScale = quantizeScale(scale);
  writeChosenScale(editorSettingsPath(plug->defaultsFilePath()), personScale);
  applyScale();
}

void PlugEditVST::desktopScaleChanged(float scale) {
  desktopScale = scale > 0 ? scale : 0;
  applyScale();
}

void PlugEditVST::spinLock() {
  while (!tryLock()) spinPause();
}

bool PlugEditVST::open(void* parentWindow) {
  bool grown = false;
  spinLock();
  if (!frame.load()) {
    systemWindow_ = parentWindow;
    refreshSources(parentWindow);
    const float scale = chosenScale();
    grown = scale != rectScale;
    answerRect(scale);
    frame.store(createFrame(parentWindow, scale));
  }
  unlock();
  // The desktop changed since the host asked for the rectangle: the host hears of the size the window has.
  if (grown) plug->hostCallback(audioMasterSizeWindow, rect.right, rect.bottom);
  return true;
}

PlugFrame* PlugEditVST::createFrame(void* parentWindow, float scale) {
  auto* window = new Winwrapper(parentWindow, this, desc->width, desc->height, makeBackend, scale);
  auto* created = new PlugFrame(window, this, desc->width, desc->height);
  if (builder) builder->build(created);
  window->startTimer(created);
  return created;
}

void PlugEditVST::close() {
  spinLock();
  if (PlugFrame* open = frame.exchange(nullptr)) {
    Winwrapper* window = static_cast<Winwrapper*>(open->parent);
    window->releaseGraphics();
    window->destroyWindow();  // deletes the root and the whole tree
    systemWindow_ = nullptr;
  }
  sourcesFresh = false;  // the next getRect looks at the desktop again
  unlock();
}

void PlugEditVST::idle() {
  if (Winwrapper* window = root()) window->idle();  // may end in windowDestroyed
}

Winwrapper* PlugEditVST::root() const {
  PlugFrame* open = frame.load();
  return open ? static_cast<Winwrapper*>(open->parent) : nullptr;
}

void PlugEditVST::windowDestroyed() {
  // The window went first (the host destroyed its own): the tree is being deleted, so nothing may point into it.
  // Called on the editor's thread, from inside close (lock held) or from the window's own handling.
  frame.store(nullptr);
  systemWindow_ = nullptr;
}

float PlugEditVST::value(int32_t index) const {
  return index >= 0 && index < desc->paramCount ? values[index].load(std::memory_order_relaxed) : 0.0f;
}

void PlugEditVST::setValue(int32_t index, float v) {
  if (index >= 0 && index < desc->paramCount) values[index].store(v, std::memory_order_relaxed);
}

bool PlugEditVST::paramChanged(int32_t index, float v) {
  if (!tryLock()) return false;
  setValue(index, v);
  if (PlugFrame* open = frame.load()) open->invalidate();
  unlock();
  return true;
}

bool PlugEditVST::postVisuals(const void* data) {
  if (!tryLock()) return false;
  if (visualConsumed && visualSnapshot) {
    visualConsumed = false;
    std::memcpy(visualSnapshot.get(), data, size_t(desc->visualDataSize));
  }
  unlock();
  return true;
}

void PlugEditVST::learnChanged(int32_t) {
  // The control shows the new state at its next repaint; the frame's tick sees learning end and asks for it.
  if (tryLock()) unlock();
}

bool PlugEditVST::takeVisuals(uint8_t* out) {
  if (!visualSnapshot || !out) return false;
  spinLock();
  const bool fresh = !visualConsumed;
  if (fresh) {
    std::memcpy(out, visualSnapshot.get(), size_t(desc->visualDataSize));
    visualConsumed = true;
  }
  unlock();
  return fresh;
}

}  // namespace Lattice

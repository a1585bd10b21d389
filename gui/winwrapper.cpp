// The root window's portable part: window services, event dispatch into the tree, painting and destruction order.
#include "gui/winwrapper.h"

#include <cmath>

#include "platform/dialogs.h"
#include "render/gl/drawing.h"

namespace Lattice {

namespace {
thread_local Winwrapper* currentRoot = nullptr;
}

// Marks the root as the one handling an event on this thread for as long as the handler runs.
class Winwrapper::Dispatch {
 public:
  explicit Dispatch(Winwrapper* root) : previous(currentRoot) { currentRoot = root; }
  ~Dispatch() { currentRoot = previous; }
  Dispatch(const Dispatch&) = delete;
  Dispatch& operator=(const Dispatch&) = delete;

 private:
  Winwrapper* previous;
};

Winwrapper* Winwrapper::dispatching() { return currentRoot; }

void cursor(int n) {
  if (Winwrapper* root = Winwrapper::dispatching()) root->backend().setCursor(n);
}

Winwrapper::Winwrapper(void* parentWindow, IFrameController* controller, int width, int height,
                       BackendFactory makeBackend, float scale)
    : Container(nullptr, 0, 0, width, height), controller(controller), scale_(scale > 0 ? scale : 1.0f) {
  native = makeBackend(*this, parentWindow, pixels(width), pixels(height));
}

// A thousandth of a pixel is rounding, not a pixel short: 110 x 1.75 = 192.5 pixels gives 192, 560 x 1.25 gives 700.
int Winwrapper::pixels(int length) const { return int(std::floor(float(length) * scale_ + 1e-3f)); }

int Winwrapper::units(int position) const {
  return scale_ == 1.0f ? position : int(std::floor((float(position) + 1e-3f) / scale_));
}

void Winwrapper::setScale(float scale) {
  if (scale <= 0 || scale == scale_) return;
  scale_ = scale;
  native->resize(pixels(w), pixels(h));
  invalidate();
}

void Winwrapper::onScaleChanged(float desktopScale) {
  Dispatch dispatch(this);
  if (controller) controller->desktopScaleChanged(desktopScale);
}

Winwrapper::~Winwrapper() {
  if (currentRoot == this) currentRoot = nullptr;
  captured = focused = menuListener = nullptr;
  menuOpen = false;
  deleteChildren();
  if (timer) stopTimer();
  device.reset();  // the controls above released nothing: what they hold went with them
  native.reset();
}

bool Winwrapper::ask(const char* caption, const char* text) { return native->ask(caption, text); }

void Winwrapper::invalidate() {
  if (visible) native->invalidate();
}

void Winwrapper::releaseGraphics() {
  if (!device) return;
  Container::releaseGraphics();
  device.reset();  // null before the device goes, so nothing draws through it while it does
}

void Winwrapper::setCapture(Control* control) {
  Control* previous = captured;
  captured = control;
  if (previous && previous != control) previous->captureLost();
  if (!control) {
    native->releaseCapture();
    return;
  }
  native->setCapture();
  // The pointer now belongs to the holder: whatever was under it before has been left.
  if (hover && hover != control) hover->mouseLeave();
  hover = control;
}

bool Winwrapper::hasCapture(Control* control) { return control && control == captured && native->hasCapture(); }

void Winwrapper::setFocus(Control* control) {
  Control* previous = focused;
  focused = control;
  if (previous && previous != control) previous->focusLost();
  if (control) native->setFocus();
}

Menu* Winwrapper::newMenu(Control* listener) { return native->valid() ? native->newMenu(listener) : nullptr; }

bool Winwrapper::isMenuOpenFor(Control* control) { return menuOpen && control == menuListener; }

void Winwrapper::startTimer(ITimerController* receiver) {
  stopTimer();
  if (!receiver) return;
  if (native->startTimer()) timer = receiver;
  else Platform::showError("Error!", "Failed to create timer.");
}

void Winwrapper::stopTimer() {
  if (!timer) return;
  timer = nullptr;
  native->stopTimer();
}

void Winwrapper::destroyWindow() {
  if (native->valid()) {
    native->destroy();
    return;
  }
  // No window was ever made (or it is gone without telling us): the same order, without the system.
  onDestroy();
  onNcDestroy();
}

void Winwrapper::idle() { native->idle(); }

bool Winwrapper::hasWindow() const { return native->valid(); }

uintptr_t Winwrapper::windowHandle() const { return native->handle(); }

void Winwrapper::menuOpening(Control* listener) {
  menuListener = listener;
  menuOpen = true;
  invalidate();
}

void Winwrapper::windowPoint(const Control* listener, int x, int y, int& wx, int& wy) {
  const Container* parent = listener->parent;
  wx = x + listener->x + (parent ? parent->absoluteX() : 0);
  wy = y + listener->y + (parent ? parent->absoluteY() : 0);
}

void Winwrapper::screenPoint(const Control* listener, int x, int y, int& sx, int& sy) const {
  int originX = 0, originY = 0;
  native->screenOrigin(originX, originY);
  windowPoint(listener, x, y, sx, sy);
  sx = pixels(sx) + originX;
  sy = pixels(sy) + originY;
}

void Winwrapper::onDestroy() {
  Dispatch dispatch(this);
  releaseGraphics();
}

void Winwrapper::onNcDestroy() {
  if (controller) controller->windowDestroyed();
  delete this;
}

void Winwrapper::onPaint() {
  Dispatch dispatch(this);
  try {
    if (!device) device = native->createDevice();
    device->setPixelScale(scale_);
    device->renderScene(*this);
  } catch (const VexBlit::Exception&) {
    // The device stays as it was: null when it could not be made, so the next paint tries again.
    native->paintFallback();
  }
}

void Winwrapper::onClose() {
  if (controller && controller->canClose()) destroyWindow();
}

void Winwrapper::onSetCursor() {
  Dispatch dispatch(this);
  cursor(kCursorArrow);
}

void Winwrapper::onKillFocus() {
  Dispatch dispatch(this);
  Control* previous = focused;
  focused = nullptr;
  if (previous) previous->focusLost();
}

void Winwrapper::onKeyDown(int key) {
  Dispatch dispatch(this);
  if (focused) focused->keyDown(key);
}

void Winwrapper::onKeyUp(int key) {
  Dispatch dispatch(this);
  if (focused) focused->keyUp(key);
}

void Winwrapper::onChar(const char* text) {
  Dispatch dispatch(this);
  if (focused) focused->charTyped(text);
}

void Winwrapper::onCommand(int id) {
  Dispatch dispatch(this);
  // Cleared before the call, so a listener that opens another menu keeps its new registration.
  Control* listener = menuListener;
  menuListener = nullptr;
  if (listener) listener->menuCommand(id);
}

void Winwrapper::onTimer() {
  Dispatch dispatch(this);
  if (timer) timer->tick();
}

void Winwrapper::onCaptureChanged() {
  Dispatch dispatch(this);
  Control* previous = captured;
  captured = nullptr;
  if (previous) previous->captureLost();
  if (menuOpen) {
    menuOpen = false;
    invalidate();
  }
}

void Winwrapper::onMouseLeave() {
  Dispatch dispatch(this);
  mouseLeave();
}

Control* Winwrapper::pointerTarget(int& x, int& y) {
  if (!captured) return this;
  x -= captured->absoluteX();
  y -= captured->absoluteY();
  return captured;
}

void Winwrapper::onMouseMove(int x, int y, int mods) {
  Dispatch dispatch(this);
  x = units(x), y = units(y);
  pointerTarget(x, y)->mouseMove(x, y, mods);
}

void Winwrapper::onMouseDown(int x, int y, int button, int mods) {
  Dispatch dispatch(this);
  x = units(x), y = units(y);
  pointerTarget(x, y)->mouseDown(x, y, button, mods);
}

void Winwrapper::onMouseUp(int x, int y, int button, int mods) {
  Dispatch dispatch(this);
  x = units(x), y = units(y);
  pointerTarget(x, y)->mouseUp(x, y, button, mods);
}

void Winwrapper::onDoubleClick(int x, int y, int button, int mods) {
  Dispatch dispatch(this);
  x = units(x), y = units(y);
  pointerTarget(x, y)->doubleClick(x, y, button, mods);
}

void Winwrapper::onWheel(int x, int y, float delta, int mods) {
  Dispatch dispatch(this);
  x = units(x), y = units(y);
  pointerTarget(x, y)->mouseWheel(x, y, delta, mods);
}

}  // namespace Lattice

// Knob gestures: press, drag, release, wheel, double-click reset, hover, lost capture and the menu.
#include "gui/plug_knob.h"

#include <algorithm>

#include "gui/container.h"
#include "gui/menu.h"
#include "gui/param_menu.h"

namespace Lattice {

namespace {

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }
bool fine(int mods) { return (mods & (kModShift | kModCtrl)) != 0; }

}  // namespace

PlugKnobBase::PlugKnobBase(Container* parent, int x, IPlugData* plug, const char* label, int index)
    : Control(parent, x, 23, 80, 80), plug(plug), label(label), index(index) {}

PlugKnobBase::~PlugKnobBase() {
  if (dragging) plug->setEditing(index, false);
}

bool PlugKnobBase::mouseMove(int, int y, int mods) {
  if (!dragging) {
    if (!hover) {
      hover = true;
      invalidate();
    }
    cursor(kCursorHand);
    return true;
  }
  if (y != lastY) {
    const int d = lastY - y;  // up is positive
    lastY = y;
    dragValue = clamp01(dragValue + float(d) / (fine(mods) ? kFineDragPixels : kDragPixels));
    plug->setValue(index, dragValue);
  }
  cursor(kCursorResizeVertical);
  return true;
}

bool PlugKnobBase::mouseDown(int, int y, int button, int) {
  if (plug->isLearning(index)) plug->cancelLearn();
  if (button == kButtonLeft) {
    lastY = y;
    dragValue = plug->getValue(index);
    plug->setEditing(index, true);
    dragging = true;
    parent->setCapture(this);
    invalidate();
  } else if (button == kButtonRight && dragging) {
    plug->setValue(index, 0.5f);
    parent->setCapture(nullptr);  // captureLost ends the gesture
  } else if (button == kButtonRight) {
    openParamMenu(*this, *plug, index, h - 12);
  }
  return true;
}

bool PlugKnobBase::mouseUp(int, int, int button, int) {
  if (button == kButtonLeft && dragging) parent->setCapture(nullptr);
  return true;
}

bool PlugKnobBase::doubleClick(int x, int y, int button, int mods) {
  if (button != kButtonLeft) return Control::doubleClick(x, y, button, mods);
  resetSequence(*plug, index);
  return true;
}

bool PlugKnobBase::mouseWheel(int, int, float delta, int mods) {
  const float step = delta / (fine(mods) ? kFineWheelNotches : kWheelNotches);
  if (dragging) {
    dragValue = clamp01(dragValue + step);
    plug->setValue(index, dragValue);
    return true;
  }
  const float v = clamp01(plug->getValue(index) + step);
  plug->setEditing(index, true);
  plug->setValue(index, v);
  plug->setEditing(index, false);
  return true;
}

void PlugKnobBase::mouseLeave() {
  if (!hover) return;
  hover = false;
  invalidate();
}

void PlugKnobBase::captureLost() {
  if (!dragging) return;
  plug->setEditing(index, false);
  dragging = false;
  invalidate();
}

void PlugKnobBase::menuCommand(int id) { paramMenuCommand(*this, *plug, index, id); }

}  // namespace Lattice

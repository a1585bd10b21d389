// The switch's gestures, its menu and its drawing.
#include "gui/plug_switch.h"

#include "gui/container.h"
#include "gui/menu.h"
#include "gui/param_menu.h"
#include "render/gl/font.h"

namespace Lattice {

PlugSwitchBase::PlugSwitchBase(Container* parent, int x, int y, int w, int h, IPlugData* plug, int index,
                               const char* label)
    : Control(parent, x, y, w, h), plug(plug), index(index), label(label) {}

bool PlugSwitchBase::mouseMove(int, int, int) {
  if (!hover) {
    hover = true;
    invalidate();
  }
  cursor(kCursorHand);
  return true;
}

void PlugSwitchBase::toggle() {
  const float v = plug->getValue(index);
  plug->setEditing(index, true);
  plug->setValue(index, v > 0.5f ? 0.0f : 1.0f);
  plug->setEditing(index, false);
  invalidate();
}

bool PlugSwitchBase::mouseDown(int, int, int button, int) {
  if (plug->isLearning(index)) plug->cancelLearn();
  if (button == kButtonLeft) toggle();
  if (button == kButtonRight) openParamMenu(*this, *plug, index, menuY());
  return true;
}

bool PlugSwitchBase::mouseWheel(int, int, float delta, int) {
  if (delta > 0.5f || delta < -0.5f) toggle();
  return true;
}

void PlugSwitchBase::mouseLeave() {
  if (!hover) return;  // nothing to redraw
  hover = false;
  invalidate();
}

void PlugSwitchBase::menuCommand(int id) { paramMenuCommand(*this, *plug, index, id); }

PlugSwitch::PlugSwitch(Container* parent, IPlugData* plug)
    : PlugSwitchBase(parent, 460, 50, 80, 24, plug, 0, "waveform") {}

int PlugSwitchBase::menuY() { return compact ? h + 1 : h + 1 - 12; }

namespace {

void centredText(VexBlit::Context& context, const VexBlit::Font* font, const char* text, float centreX, float y,
                 uint32_t colour, bool underline) {
  const float width = VexBlit::measureText(font, text, -1);
  VexBlit::drawText(font, context, text, -1, centreX - width / 2, y, colour, underline);
}

}  // namespace

void PlugSwitch::draw(VexBlit::Context& context) {
  char text[kParamTextSize];
  plug->getValue(index, text);
  const char* value = plug->isLearning(index) ? "..learning.." : text;
  const float ax = float(absoluteX()), ay = float(absoluteY()), centre = ax + float(w) / 2;
  const bool menuOpen = parent && parent->isMenuOpenFor(this);
  if (compact) {
    // One line: the caption beside the value on the side alignment names.
    const float gap = 4, valueWidth = VexBlit::measureText(plug->font(0), value, -1);
    const float labelWidth = VexBlit::measureText(plug->font(0), label, -1);
    const float baseline = ay + float(h) - 2;
    const float total = alignment ? labelWidth + gap + valueWidth : valueWidth;
    const float left = centre - total / 2;
    const float valueX = alignment < 0 ? left + labelWidth + gap : left;
    VexBlit::drawText(plug->font(0), context, value, -1, valueX, baseline, 0xFFFFFFFFu, false);
    if (alignment)
      VexBlit::drawText(plug->font(0), context, label, -1, alignment < 0 ? left : left + valueWidth + gap, baseline,
                        plug->labelColour(), hover);
    return;
  }
  centredText(context, plug->font(0), value, centre, ay + float(h) - 2, 0xFFFFFFFFu, false);
  centredText(context, plug->font(menuOpen ? 1 : 0), label, centre, ay + float(h) - 15, plug->labelColour(),
              !menuOpen && hover);
}

}  // namespace Lattice

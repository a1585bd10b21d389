// Knobs: a continuous parameter set by vertical drags, the wheel, double-click reset and the parameter menu,
// drawn as a frame of the knob film strip over its scale ring, with caption and value text.
#pragma once

#include "gui/control.h"
#include "gui/plug_data.h"

namespace Lattice {

// Drag and wheel laws: pixels for the whole range, and the part of the range one wheel notch moves.
constexpr float kDragPixels = 400.0f, kFineDragPixels = 4000.0f;
constexpr float kWheelNotches = 20.0f, kFineWheelNotches = 200.0f;

class PlugKnobBase : public Control {
 public:
  // Always at y = 23, 80 x 80.
  PlugKnobBase(Container* parent, int x, IPlugData* plug, const char* label, int index);
  // A drag still running ends its gesture.
  ~PlugKnobBase() override;

  bool mouseMove(int x, int y, int mods) override;
  bool mouseDown(int x, int y, int button, int mods) override;
  bool mouseUp(int x, int y, int button, int mods) override;
  bool doubleClick(int x, int y, int button, int mods) override;
  bool mouseWheel(int x, int y, float delta, int mods) override;
  void mouseLeave() override;
  void captureLost() override;
  void menuCommand(int id) override;

  IPlugData* plug;    // not owned
  const char* label;  // static text
  int index;
  bool hover = false;
  bool dragging = false;
  int lastY = 0;
  float dragValue = 0;
};

class PlugKnob : public PlugKnobBase {
 public:
  using PlugKnobBase::PlugKnobBase;
  // Inside the circle of radius 32 about the centre.
  bool hitTest(int x, int y) override;
  void draw(VexBlit::Context& context) override;
};

// The film-strip frame a value shows (0 .. 95) and the weight (0 .. 255) of the next frame blended over it.
void knobFrame(float value, int& frame, int& weight);

}  // namespace Lattice

// The switch: a two-state parameter toggled by a click or the wheel, shown as its caption and value text.
#pragma once

#include "gui/control.h"
#include "gui/plug_data.h"

namespace Lattice {

class PlugSwitchBase : public Control {
 public:
  PlugSwitchBase(Container* parent, int x, int y, int w, int h, IPlugData* plug, int index, const char* label);

  bool mouseMove(int x, int y, int mods) override;
  bool mouseDown(int x, int y, int button, int mods) override;
  bool mouseWheel(int x, int y, float delta, int mods) override;
  void mouseLeave() override;
  void menuCommand(int id) override;
  // Where the parameter menu opens, relative to the switch: below the caption, or below a compact switch.
  virtual int menuY();

  IPlugData* plug;  // not owned
  int index;
  bool hover = false;
  const char* label;     // static text
  bool compact = false;  // the one-line layout, with the caption beside the value
  int alignment = 0;     // compact layout: -1 caption left of the value, 1 right, 0 value alone

 protected:
  // Sets the other state as one gesture.
  void toggle();
};

class PlugSwitch : public PlugSwitchBase {
 public:
  // The waveform switch at (460, 50), 80 x 24, for parameter 0.
  PlugSwitch(Container* parent, IPlugData* plug);

  void draw(VexBlit::Context& context) override;
};

}  // namespace Lattice

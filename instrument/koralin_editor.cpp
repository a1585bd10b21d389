// Koralin's editor: the layout of its six knobs and the waveform switch on the 560 x 110 panel.
#include "gui/plug_frame.h"
#include "gui/plug_knob.h"
#include "gui/plug_switch.h"
#include "instrument/koralin.h"

namespace {

struct KnobPlace {
  int32_t parameter;
  int column;
  int nudge;
  const char* caption;
};

// Captions differ from the parameter names, and the envelope amount stands left of the decay.
constexpr KnobPlace kKnobRow[] = {
    {kTune, 0, 1, "tuning"},    {kCutoff, 1, 1, "cutoff"}, {kReso, 2, 0, "resonance"},
    {kEnvmod, 3, 1, "env mod"}, {kDecay, 4, 0, "decay"},   {kAccent, 5, 0, "accent"},
};

}  // namespace

void Koralin::build(Lattice::PlugFrame* frame) {
  frame->showLogo = false;
  // Creation order is hit-testing order: the accent knob wins the columns it shares with the switch.
  for (const KnobPlace& place : kKnobRow)
    new Lattice::PlugKnob(frame, 78 * place.column + 8 * place.nudge, frame, place.caption, place.parameter);
  new Lattice::PlugSwitch(frame, frame);
}

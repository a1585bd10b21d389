// One block of the voice: the oscillator's ticks interleaved with the filter section's samples.
#pragma once

#include <cstdint>

#include "synth/filter_section.h"
#include "synth/oscillator.h"
#include "synth/random.h"

namespace Synth {

struct VoiceControls {
  bool slide, square;
  double pitch;  // note + bend, semitones
  double tune;   // normalized "tune" value
  FilterControls filter;
};

// Equal, to the bit, to the oscillator rendering 5 * frames ticks into work and the filter section then rendering
// frames samples in place: the oscillator never reads the filter, and tick 5 i is written before work[i] is.
// Interleaved, the oscillator's and the control path's work runs while the ladder waits on its divisions.
void renderVoice(Oscillator& osc, FilterSection& filter, Synth::Random& random, double* work, int32_t frames,
                 const VoiceControls& controls);

}  // namespace Synth

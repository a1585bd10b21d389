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
//
// The voice rests from the first sample, decided on the sample clock, at which no key is held, the amplifier's gain
// is below the threshold under which nothing can reach a host's float, and the output has been below a float's
// smallest value for a while (FilterSection, Rest): until a sample lifts the gain over the threshold again (a new
// note, or an accent envelope that a knob lifts), the oscillator coasts and the ladder, the decimator and the
// high-passes sleep, at a small fraction of the cost, and the output is zero. Until then it is what the two passes
// give, to the bit; at rest, a float host hears what they give (zeros), and a double host gets zeros where they give
// numbers under 2^-150. The note that wakes the voice starts from the sleeping parts as they fell asleep and
// converges on the two passes' note as the ladder's coupling capacitors settle (bench/rest_figures measures how
// closely). Returns true when the voice rested through the whole block: every sample of work is zero and nothing
// was played.
bool renderVoice(Oscillator& osc, FilterSection& filter, Synth::Random& random, double* work, int32_t frames,
                 const VoiceControls& controls);

}  // namespace Synth

// The engine's blocks driven one after the other, without the voice's pipelining: all of a block's oscillator ticks,
// then all of its filter samples. The voice must equal this to the bit; the benchmark times each pass on its own.
#pragma once

#include <cstdint>

#include "synth/filter_section.h"
#include "synth/oscillator.h"
#include "synth/random.h"

namespace Passes {

// Writes 5 * frames ticks into out.
inline void oscillatorPass(Synth::Oscillator& osc, Synth::Random& random, double* out, bool slide, bool square,
                           double pitch, double tune, int32_t frames) {
  const Synth::Oscillator::Block block = osc.beginBlock(slide, square, pitch, tune);
  for (int32_t n = 0; n < 5 * frames; ++n) osc.tick(block, random, out + n);
}

// Reads 5 * frames ticks from work and writes output sample i into work[i].
inline void filterPass(Synth::FilterSection& filter, double* work, int32_t frames,
                       const Synth::FilterControls& controls) {
  filter.begin(controls);
  for (int32_t i = 0; i < frames; ++i) {
    const Synth::FilterSection::SampleControl s = filter.control(controls);
    filter.useDivider(s);
    double ladder[Synth::kDecimatorPhases];
    for (int32_t j = 0; j < Synth::kDecimatorPhases; ++j) ladder[j] = filter.ladderTick(work[5 * i + j], s);
    work[i] = filter.finish(ladder, s);
  }
}

}  // namespace Passes

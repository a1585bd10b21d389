// One block of the voice, a sample at a time.
#include "synth/voice.h"

namespace Synth {

void renderVoice(Oscillator& osc, FilterSection& filter, PlugCore::Random& random, double* work, int32_t frames,
                 const VoiceControls& controls) {
  const Oscillator::Block block = osc.beginBlock(controls.slide, controls.square, controls.pitch, controls.tune);
  filter.begin(controls.filter);
  for (int32_t i = 0; i < frames; ++i) {
    double* ticks = work + 5 * i;
    for (int32_t j = 0; j < 5; ++j) osc.tick(block, random, ticks + j);
    work[i] = filter.sample(ticks, controls.filter);
  }
}

}  // namespace Synth

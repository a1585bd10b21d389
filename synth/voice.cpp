// One block of the voice, a sample at a time.
#include "synth/voice.h"

namespace Synth {

// Software-pipelined: while the ladder works through sample i's ticks (a long chain of dependent divisions), the
// oscillator makes sample i + 1's ticks, the control path computes its cutoff and gain, and sample i - 1 is
// decimated and filtered out. Each object still sees its own operations in the same order, so the result is the
// same to the bit.
void renderVoice(Oscillator& osc, FilterSection& filter, Synth::Random& random, double* work, int32_t frames,
                 const VoiceControls& controls) {
  const Oscillator::Block block = osc.beginBlock(controls.slide, controls.square, controls.pitch, controls.tune);
  filter.begin(controls.filter);
  if (frames <= 0) return;
  for (int32_t j = 0; j < 5; ++j) osc.tick(block, random, work + j);
  FilterSection::SampleControl now = filter.control(controls.filter), previous = now;
  double out[2][5];
  for (int32_t i = 0; i < frames; ++i) {
    const double* ticks = work + 5 * i;
    double* next = work + 5 * (i + 1);  // tick 5 (i + 1) lies beyond every output written so far
    const bool more = i + 1 < frames;
    double* ladder = out[i & 1];
    filter.useDivider(now);
    FilterSection::SampleControl coming = now;
    ladder[0] = filter.ladderTick(ticks[0], now);
    if (i > 0) work[i - 1] = filter.finish(out[(i - 1) & 1], previous);  // tick i - 1 was read long ago
    if (more) {
      osc.tick(block, random, next);
      coming = filter.control(controls.filter);
    }
    for (int32_t j = 1; j < 5; ++j) {
      ladder[j] = filter.ladderTick(ticks[j], now);
      if (more) osc.tick(block, random, next + j);
    }
    previous = now;
    now = coming;
  }
  work[frames - 1] = filter.finish(out[(frames - 1) & 1], previous);
}

}  // namespace Synth

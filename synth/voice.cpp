// One block of the voice, a sample at a time, playing or at rest.
#include "synth/voice.h"

#include <cstring>

#include "synth/oscillator_ticks.h"

namespace Synth {

namespace {

struct Run {
  Oscillator& osc;
  FilterSection& filter;
  Synth::Random& random;
  double* work;
  int32_t frames;
  const Oscillator::Block& block;
  const VoiceControls& controls;
};

// Software-pipelined: while the ladder works through sample i's ticks (a long chain of dependent divisions), the
// oscillator makes sample i + 1's ticks, the control path computes its cutoff and gain, and sample i - 1 is
// decimated and filtered out. Each object still sees its own operations in the same order, so the result is the
// same to the bit. Sample `from` has its ticks in the work buffer and its control in `now`. Returns the first sample
// not yet finished, its ticks made and its control in `now`, or frames; the section rests from it if it fell asleep.
// A sample whose gain is below the threshold may rest once the one before it is finished: that one leaves the
// pipeline early, and if the section is not yet ready to rest, the caller plays on from the next.
int32_t play(const Run& r, int32_t from, FilterSection::SampleControl& now) {
  FilterSection& filter = r.filter;
  double* work = r.work;
  const bool mayRest = !r.controls.filter.gate;
  const double threshold = filter.gainThreshold();
  const int32_t restAfter = filter.restSamples() - 1;
  FilterSection::SampleControl previous = now;
  double out[2][5];
  for (int32_t i = from; i < r.frames; ++i) {
    const double* ticks = work + 5 * i;
    double* next = work + 5 * (i + 1);  // tick 5 (i + 1) lies beyond every output written so far
    const bool more = i + 1 < r.frames;
    double* ladder = out[i & 1];
    filter.useDivider(now);
    FilterSection::SampleControl coming = now;
    ladder[0] = filter.ladderTick(ticks[0], now);
    if (i > from) work[i - 1] = filter.finish(out[(i - 1) & 1], previous);  // tick i - 1 was read long ago
    if (more) {
      r.osc.tick(r.block, r.random, next);
      coming = filter.control(r.controls.filter);
    }
    for (int32_t j = 1; j < 5; ++j) {
      ladder[j] = filter.ladderTick(ticks[j], now);
      if (more) r.osc.tick(r.block, r.random, next + j);
    }
    previous = now;
    now = coming;
    if (more && mayRest && coming.gain < threshold && filter.silentRun() >= restAfter) {
      work[i] = filter.finish(ladder, previous);
      if (filter.readyToRest()) filter.sleep();
      return i + 1;
    }
  }
  work[r.frames - 1] = filter.finish(out[(r.frames - 1) & 1], previous);
  return r.frames;
}

// The envelopes' resting steps, one after each sample's ticks.
struct RestingSteps {
  FilterSection::RestingRun run;
  [[gnu::always_inline]] void operator()(int32_t) { run.next(); }
};
struct SettledSteps {
  FilterSection::RestingRun run;
  [[gnu::always_inline]] void operator()(int32_t) { run.nextSettled(); }
};

// Resting samples from `from`: zeros. Through a block in which the amplifier stays shut, the envelopes and
// smoothers ride along with the oscillator's run of ticks (they fill its wait on the random source). Otherwise the
// control path goes sample by sample up to the sample whose gain reaches the threshold, and the oscillator then
// coasts through the same samples (the two never meet, so their order does not matter). Returns the sample that
// wakes, its control in `now`, or frames.
int32_t rest(const Run& r, int32_t from, FilterSection::SampleControl& now) {
  FilterSection& filter = r.filter;
  if (filter.staysShut(r.controls.filter)) {
    std::memset(r.work + from, 0, sizeof(double) * (size_t)(r.frames - from));
    FilterSection::RestingRun run = filter.restingRun(r.controls.filter);
    if (run.settle()) {
      SettledSteps each{run};
      r.osc.coastSamples(r.block, r.random, r.frames - from, each);
      filter.endRestingRun(each.run);
    } else {
      RestingSteps each{run};
      r.osc.coastSamples(r.block, r.random, r.frames - from, each);
      filter.endRestingRun(each.run);
    }
    return r.frames;
  }
  const double threshold = filter.gainThreshold();
  int32_t i = from;
  for (; i < r.frames; ++i) {
    if (filter.restingGain(r.controls.filter) >= threshold) break;
    r.work[i] = 0.0;
  }
  auto nothing = [](int32_t) {};
  r.osc.coastSamples(r.block, r.random, i - from, nothing);
  if (i < r.frames) now = filter.wake();
  return i;
}

// Sample i's ticks into the work buffer.
void ticks(const Run& r, int32_t i) {
  for (int32_t j = 0; j < 5; ++j) r.osc.tick(r.block, r.random, r.work + 5 * i + j);
}

}  // namespace

bool renderVoice(Oscillator& osc, FilterSection& filter, Synth::Random& random, double* work, int32_t frames,
                 const VoiceControls& controls) {
  const Oscillator::Block block = osc.beginBlock(controls.slide, controls.square, controls.pitch, controls.tune);
  filter.begin(controls.filter);
  if (frames <= 0) return true;
  const Run r{osc, filter, random, work, frames, block, controls};
  FilterSection::SampleControl now{};
  int32_t i = 0;
  bool played = false;  // a sample went through the ladder; otherwise every sample of work is a resting zero
  if (!filter.resting()) {
    ticks(r, 0);
    now = filter.control(controls.filter);
    if (!controls.filter.gate && now.gain < filter.gainThreshold() && filter.readyToRest()) {
      filter.sleep();
      work[0] = 0.0;
      i = 1;
    }
  }
  while (i < frames) {
    if (filter.resting()) {
      i = rest(r, i, now);
      if (i == frames) break;
      ticks(r, i);
    }
    played = true;
    i = play(r, i, now);
    if (i < frames && filter.resting()) work[i++] = 0.0;  // the first resting sample, its ticks and control made
  }
  return !played;
}

}  // namespace Synth

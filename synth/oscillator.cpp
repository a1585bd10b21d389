// Oscillator: per tick a drifting threshold, a glided pitch, kernels at every wrap and edge, and the naive value.
#include "synth/oscillator.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "synth/oscillator_ticks.h"

namespace Synth {

namespace {
// Pitch: octave 0 of the glided pitch is 440 Hz (an increment of 440 / (5 fs) per tick); it is note 93 with the tune
// knob at 0, so note 81 at the knob's centre (+1 octave) sounds at 440 Hz.
constexpr double kReferenceHz = 440.0;
constexpr double kReferenceNote = 93.0;
// Slide: the glide's time constant is a tenth of the sample rate in ticks (20 ms at five ticks per sample).
constexpr double kGlideSampleRateShare = 0.1;
// The drift and shape filters' corner.
constexpr double kDriftHz = 10.0;
// The square's shape target d = 1 - 2^(-pitch / 69): 0.5 at note 69.
constexpr double kShapeNote = 69.0;

// What the soft step reads before the first prepare: nothing renders then, but no pointer is ever null.
std::shared_ptr<const KernelTable> silentKernel() {
  static const auto table = std::make_shared<const KernelTable>();
  return table;
}
}  // namespace

// The tables are built once per process (the soft step once per sample rate) and never change afterwards, so
// instances share them instead of each holding 3 MB of copies.
Oscillator::Oscillator() : step_(&stepKernel()), corner_(&cornerKernel()), soft_(silentKernel()), exp2_(&exp2Tables()) {
  reset();
}

void Oscillator::prepare(double sampleRate) {
  soft_ = softStepKernel(sampleRate);
  pitchScale_ = kReferenceHz / (5.0 * sampleRate);
  glideCoef_ = 1.0 - std::exp(-1.0 / (kGlideSampleRateShare * sampleRate));
  const double t = std::tan(kDriftHz * M_PI / sampleRate);
  driftC_ = (t - 1.0) / (t + 1.0);
  driftG_ = 0.5 * std::sqrt((driftC_ + 2.0) * driftC_ + 1.0);
  m_.cachedGlide = 0.0;
  m_.cachedIncrement = Osc::capIncrement(exp2Table(*exp2_, 0.0) * pitchScale_);
}

void Oscillator::reset() {
  std::memset(line_, 0, sizeof line_);
  m_.index = 0;
  m_.glided = 0.0;
  m_.phase = 0.0;
  m_.prevThreshold = 1.0;
  m_.prevShape = 1.0;
  m_.high = false;
  m_.driftIn = 0.0;
  m_.driftOut = 0.0;
}

Oscillator::Block Oscillator::beginBlock(bool slide, bool square, double pitch, double tune) const {
  return {(pitch - kReferenceNote) / 12.0 + 2.0 * tune, 1.0 - exp2Table(*exp2_, -pitch / kShapeNote), slide, square};
}

void Oscillator::tick(const Block& block, Synth::Random& random, double* out) {
  advance<true, true, true, true>(m_, block, random, out);
}

}  // namespace Synth

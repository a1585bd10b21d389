// Oscillator: per tick a drifting threshold, a glided pitch, kernels at every wrap and edge, and the naive value.
#include "synth/oscillator.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace Synth {

namespace {
// A fundamental at or above the tick rate is all alias; capping the increment there keeps the wrap loop to about one
// kernel per tick whatever bend range a controller asks for.
constexpr double kMaxIncrement = 1.0;
constexpr int32_t kLineRewind = 224;  // kernels are added at index <= 224, so they end by entry 255

// Pitch: octave 0 of the glided pitch is 440 Hz (an increment of 440 / (5 fs) per tick); it is note 93 with the tune
// knob at 0, so note 81 at the knob's centre (+1 octave) sounds at 440 Hz.
constexpr double kReferenceHz = 440.0;
constexpr double kReferenceNote = 93.0;
// Slide: the glide's time constant is a tenth of the sample rate in ticks (20 ms at five ticks per sample).
constexpr double kGlideSampleRateShare = 0.1;
// The threshold drifts by up to 5 % around 1, through a 10 Hz one-pole that also smooths the square's shape.
constexpr double kDriftDepth = 0.05;
constexpr double kDriftHz = 10.0;
// The square's shape target d = 1 - 2^(-pitch / 69): 0.5 at note 69.
constexpr double kShapeNote = 69.0;
// The square: it rises from -0.35 to its edge, jumps by about 0.7 to +0.35 and falls back at the wrap. The edge's
// height loses what the slow rise already climbed (the slope term); the corner kernels smooth the rise's kinks.
constexpr double kSquareHigh = 0.35;
constexpr double kSquareStep = 0.7;
constexpr double kSquareSlope = 0.501;
constexpr double kCornerScale = 0.5;

// Crossing fractions lie in [0, 1] in exact arithmetic; rounding (or a degenerate slope) may push them out.
inline double clampFraction(double f) {
  if (f >= 0.0) return f <= 1.0 ? f : 1.0;
  return f < 0.0 ? 0.0 : 1.0;  // NaN counts as "at this tick"
}
}  // namespace

struct Oscillator::Tick {
  double v;     // threshold of this tick
  double diff;  // v - previous threshold
  double d;     // increment
  double h;     // shape: the low part's share of the square's period
};

namespace {
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
  m_.cachedIncrement = std::fmin(exp2Table(*exp2_, 0.0) * pitchScale_, kMaxIncrement);
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

inline void Oscillator::addKernel(int32_t index, const KernelTable& table, double amplitude, double fraction) {
  const double position = (1.0 - fraction) * 4096.0;
  const int32_t p = position < 4095.0 ? (position > 0.0 ? (int32_t)position : 0) : 4095;
  const double* k = &table[(size_t)(kKernelTaps * p)];
  double* line = line_ + index;
  for (int32_t i = 0; i < kKernelTaps; ++i) line[i] += amplitude * k[i];
}

inline void Oscillator::wrap(Motion& m, const Tick& t, bool square) {
  while (m.phase > t.v) {
    const double f = clampFraction((m.phase - t.d - m.prevThreshold) / (t.diff - t.d));
    const double crossing = m.prevThreshold + f * t.diff;
    if (square) {
      addKernel(m.index, *soft_, -kSquareStep * (1.0 - t.h), f);
      addKernel(m.index, *step_, -kSquareStep * t.h, f);
      addKernel(m.index, *corner_, kCornerScale * (1.0 - t.h) * t.d, f);
    } else {
      addKernel(m.index, *step_, -crossing, f);
    }
    m.phase = m.phase - crossing;
    m.high = false;
  }
}

// The low part rises slowly until the phase passes v h, then the wave jumps to its high part.
inline double Oscillator::squareValue(Motion& m, const Tick& t) {
  if (m.high) return kSquareHigh;
  if (m.phase > t.v * t.h) {
    const double f2 =
        clampFraction((m.phase - t.d - m.prevThreshold * t.h) / (t.h * t.v - m.prevThreshold * m.prevShape - t.d));
    addKernel(m.index, *step_, kSquareStep - (m.prevThreshold + f2 * t.diff) * kSquareSlope * (1.0 - t.h), f2);
    addKernel(m.index, *corner_, -kCornerScale * (1.0 - t.h) * t.d, f2);
    m.high = true;
  }
  return m.high ? kSquareHigh : (1.0 - t.h) * m.phase - kSquareHigh;
}

Oscillator::Block Oscillator::beginBlock(bool slide, bool square, double pitch, double tune) const {
  return {(pitch - kReferenceNote) / 12.0 + 2.0 * tune, 1.0 - exp2Table(*exp2_, -pitch / kShapeNote), slide, square};
}

template <bool kEmit, class Source>
inline void Oscillator::advance(Motion& m, const Block& block, Source& random, double* out) {
  Tick t;
  const double r = (2.0 * random.nextRandom() - 1.0) * kDriftDepth + 1.0;
  t.v = driftG_ * m.driftIn + driftG_ * r - driftC_ * m.driftOut;
  m.driftIn = r;
  m.driftOut = t.v;
  t.diff = t.v - m.prevThreshold;
  m.glided = block.slide ? m.glided + (block.target - m.glided) * glideCoef_ : block.target;
  if (m.glided != m.cachedGlide) {
    m.cachedGlide = m.glided;
    m.cachedIncrement = std::fmin(exp2Table(*exp2_, m.glided) * pitchScale_, kMaxIncrement);
  }
  t.d = m.cachedIncrement;
  m.phase = m.phase + t.d;
  t.h = driftG_ * m.shapeIn + driftG_ * block.shapeTarget - driftC_ * m.shapeOut;
  m.shapeIn = block.shapeTarget;
  m.shapeOut = t.h;
  wrap(m, t, block.square);
  const double naive = block.square ? squareValue(m, t) : m.phase - 0.5;
  // The line: kernels reach 31 entries ahead, so it rewinds once its read position passes 224.
  if (m.index >= kLineRewind) {
    std::memcpy(line_, line_ + kLineRewind, 32 * sizeof(double));
    std::memset(line_ + 32, 0, (256 - 32) * sizeof(double));
    m.index = 0;
  }
  line_[m.index + 16] += naive;
  if constexpr (kEmit) *out = line_[m.index];
  ++m.index;
  m.prevThreshold = t.v;
  m.prevShape = t.h;
}

void Oscillator::tick(const Block& block, Synth::Random& random, double* out) { advance<true>(m_, block, random, out); }

// The same ticks on copies held in registers: the random source's chain from one value to the next is all that
// bounds a run of them.
void Oscillator::coast(const Block& block, Synth::Random& random, int32_t ticks) {
  Motion m = m_;
  Synth::Random::State source = random.state();
  for (int32_t n = 0; n < ticks; ++n) advance<false>(m, block, source, nullptr);
  m_ = m;
  random.setState(source);
}

}  // namespace Synth

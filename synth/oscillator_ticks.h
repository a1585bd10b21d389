// The oscillator's tick, inline: for the ticks the voice plays (oscillator.cpp) and for the runs of ticks it coasts
// through at rest, together with the filter section's resting samples (voice.cpp).
#pragma once

#include <cstring>

#include "synth/oscillator.h"

namespace Synth {

// The oscillator's constants, for its own files.
namespace Osc {
// A fundamental at or above the tick rate is all alias; capping the increment there keeps the wrap loop to about one
// kernel per tick whatever bend range a controller asks for.
constexpr double kMaxIncrement = 1.0;
constexpr int32_t kLineRewind = 224;  // kernels are added at index <= 224, so they end by entry 255

// The threshold drifts by up to 5 % around 1 (through a 10 Hz one-pole, which also smooths the square's shape).
constexpr double kDriftDepth = 0.05;
// The square: it rises from -0.35 to its edge, jumps by about 0.7 to +0.35 and falls back at the wrap. The edge's
// height loses what the slow rise already climbed (the slope term); the corner kernels smooth the rise's kinks.
constexpr double kSquareHigh = 0.35;
constexpr double kSquareStep = 0.7;
constexpr double kSquareSlope = 0.501;
constexpr double kCornerScale = 0.5;

// The increment's cap: the smaller of d and kMaxIncrement, kMaxIncrement for a NaN, as fmin gives it, without a
// library call in the middle of a run of ticks.
inline double capIncrement(double d) { return d < kMaxIncrement ? d : kMaxIncrement; }

// Crossing fractions lie in [0, 1] in exact arithmetic; rounding (or a degenerate slope) may push them out.
inline double clampFraction(double f) {
  if (f >= 0.0) return f <= 1.0 ? f : 1.0;
  return f < 0.0 ? 0.0 : 1.0;  // NaN counts as "at this tick"
}
}  // namespace Osc

struct Oscillator::Tick {
  double v;  // threshold of this tick
  double d;  // increment
  double h;  // shape: the low part's share of the square's period
};

inline void Oscillator::addKernel(int32_t index, const KernelTable& table, double amplitude, double fraction) {
  const double position = (1.0 - fraction) * 4096.0;
  const int32_t p = position < 4095.0 ? (position > 0.0 ? (int32_t)position : 0) : 4095;
  const double* k = &table[(size_t)(kKernelTaps * p)];
  double* line = line_ + index;
  for (int32_t i = 0; i < kKernelTaps; ++i) line[i] += amplitude * k[i];
}

// kLine: the kernels go into the line. Ticks whose line entries nobody will read leave them out.
template <bool kLine>
inline void Oscillator::wrap(Motion& m, const Tick& t, bool square) {
  while (m.phase > t.v) {
    const double diff = t.v - m.prevThreshold;
    const double f = Osc::clampFraction((m.phase - t.d - m.prevThreshold) / (diff - t.d));
    const double crossing = m.prevThreshold + f * diff;
    if (!kLine) {
    } else if (square) {
      addKernel(m.index, *soft_, -Osc::kSquareStep * (1.0 - t.h), f);
      addKernel(m.index, *step_, -Osc::kSquareStep * t.h, f);
      addKernel(m.index, *corner_, Osc::kCornerScale * (1.0 - t.h) * t.d, f);
    } else {
      addKernel(m.index, *step_, -crossing, f);
    }
    m.phase = m.phase - crossing;
    m.high = false;
  }
}

// The low part rises slowly until the phase passes v h, then the wave jumps to its high part.
template <bool kLine>
inline double Oscillator::squareValue(Motion& m, const Tick& t) {
  if (m.high) return Osc::kSquareHigh;
  if (m.phase > t.v * t.h) {
    if (kLine) {
      const double diff = t.v - m.prevThreshold;
      const double f2 = Osc::clampFraction((m.phase - t.d - m.prevThreshold * t.h) /
                                           (t.h * t.v - m.prevThreshold * m.prevShape - t.d));
      addKernel(m.index, *step_, Osc::kSquareStep - (m.prevThreshold + f2 * diff) * Osc::kSquareSlope * (1.0 - t.h),
                f2);
      addKernel(m.index, *corner_, -Osc::kCornerScale * (1.0 - t.h) * t.d, f2);
    }
    m.high = true;
  }
  return m.high ? Osc::kSquareHigh : (1.0 - t.h) * m.phase - Osc::kSquareHigh;
}

inline void Oscillator::glide(Motion& m, const Block& block) const {
  m.glided = block.slide ? m.glided + (block.target - m.glided) * glideCoef_ : block.target;
  if (m.glided != m.cachedGlide) {
    m.cachedGlide = m.glided;
    m.cachedIncrement = Osc::capIncrement(exp2Table(*exp2_, m.glided) * pitchScale_);
  }
}

inline double Oscillator::shape(const Motion& m, const Block& block) const {
  return driftG_ * m.shapeIn + driftG_ * block.shapeTarget - driftC_ * m.shapeOut;
}

// One tick. kEmit: the output is written; kLine: the line is written; kGlide and kShape: the glide and the shape
// filter move (a run of ticks whose glide has arrived and whose shape filter has settled leaves them out, which is
// what a tick would compute for them).
template <bool kEmit, bool kLine, bool kGlide, bool kShape, class Source>
inline void Oscillator::advance(Motion& m, const Block& block, Source& random, double* out) {
  Tick t;
  const double r = (2.0 * random.nextRandom() - 1.0) * Osc::kDriftDepth + 1.0;
  t.v = driftG_ * m.driftIn + driftG_ * r - driftC_ * m.driftOut;
  m.driftIn = r;
  m.driftOut = t.v;
  if (kGlide) glide(m, block);
  t.d = m.cachedIncrement;
  m.phase = m.phase + t.d;
  if (kShape) {
    t.h = shape(m, block);
    m.shapeIn = block.shapeTarget;
    m.shapeOut = t.h;
  } else {
    t.h = m.shapeOut;
  }
  wrap<kLine>(m, t, block.square);
  const double naive = block.square ? squareValue<kLine>(m, t) : m.phase - 0.5;
  // The line: kernels reach 31 entries ahead, so it rewinds once its read position passes 224 (a run of ticks
  // that leaves the line alone moves its position once, at its end).
  if constexpr (kLine || kEmit) {
    if (m.index >= Osc::kLineRewind) {
      if (kLine) {
        std::memcpy(line_, line_ + Osc::kLineRewind, 32 * sizeof(double));
        std::memset(line_ + 32, 0, (256 - 32) * sizeof(double));
      }
      m.index = 0;
    }
    if (kLine) line_[m.index + 16] += naive;
    if constexpr (kEmit) *out = line_[m.index];
    ++m.index;
  }
  m.prevThreshold = t.v;
  m.prevShape = t.h;
}

// On copies in locals, so that the compiler keeps them in registers: through the references every tick would
// store and reload them, which lengthens the random source's chain. Each sample's five ticks, then each(i).
template <bool kLine, bool kGlide, bool kShape, class EachSample>
void Oscillator::coastRun(Motion& motion, const Block& block, Synth::Random::State& state, int32_t from, int32_t to,
                          EachSample& each) {
  Motion m = motion;
  Synth::Random::State source = state;
  const Block b = block;
  EachSample e = each;
  for (int32_t i = from; i < to; ++i) {
#pragma GCC unroll 5
    for (int32_t j = 0; j < 5; ++j) advance<false, kLine, kGlide, kShape>(m, b, source, nullptr);
    e(i);
  }
  // Where the ticks that leave the line alone took its position: up by one a tick, from 224 back to 1.
  if constexpr (!kLine) m.index = (m.index + 5 * (to - from) - 1) % Osc::kLineRewind + 1;
  motion = m;
  state = source;
  each = e;
}

template <bool kLine, class EachSample>
void Oscillator::coastRun(Motion& m, const Block& block, Synth::Random::State& source, int32_t from, int32_t to,
                          EachSample& each) {
  if (from >= to) return;
  // Without slide the pitch arrives on the first tick, and a settled shape filter stays where it is.
  if (!block.slide) glide(m, block);
  const bool shapeMoves = m.shapeIn != block.shapeTarget || shape(m, block) != m.shapeOut;
  if (block.slide) {
    if (shapeMoves) coastRun<kLine, true, true>(m, block, source, from, to, each);
    else coastRun<kLine, true, false>(m, block, source, from, to, each);
  } else {
    if (shapeMoves) coastRun<kLine, false, true>(m, block, source, from, to, each);
    else coastRun<kLine, false, false>(m, block, source, from, to, each);
  }
}

// A tick's line entries are read by the 31 ticks after it, so only the last samples' ticks write the line. Before
// them the run keeps only the line's position; then it clears the line, whose entries that the ticks after the run
// will read hold nothing but what the last ticks add. The random source's run needs round toward zero (the
// engine's mode); in any other mode the ticks go one by one, exact but slower.
template <class EachSample>
void Oscillator::coastSamples(const Block& block, Synth::Random& random, int32_t samples, EachSample& each) {
  if (samples <= 0) return;
  if (!roundsTowardZero()) {
    for (int32_t i = 0; i < samples; ++i) {
      for (int32_t j = 0; j < 5; ++j) advance<false, true, true, true>(m_, block, random, nullptr);
      each(i);
    }
    return;
  }
  Synth::Random::State source = random.state();
  constexpr int32_t kWritten = (kKernelTaps + 4) / 5;  // samples whose ticks cover the line's reach
  const int32_t unread = samples > kWritten ? samples - kWritten : 0;
  if (unread > 0) {
    coastRun<false>(m_, block, source, 0, unread, each);
    std::memset(line_, 0, sizeof line_);
  }
  coastRun<true>(m_, block, source, unread, samples, each);
  random.setState(source);
}

}  // namespace Synth

// FilterSection: per output sample the control path, five ladder ticks, decimation, high-passes and amplifier.
#include "synth/filter_section.h"

#include <cmath>

namespace Synth {

FilterSection::FilterSection() : exp2_(&exp2Tables()) { reset(); }

namespace {
BiquadCoefficients highPass(double w) {
  const double alpha = std::sin(w);
  const double n = 1.0 / (1.0 + alpha);
  BiquadCoefficients k;
  k.a1 = -2.0 * std::cos(w) * n;
  k.a2 = (1.0 - alpha) * n;
  k.b0 = k.b2 = (1.0 + std::cos(w)) * n / 2.0;
  k.b1 = -(1.0 + std::cos(w)) * n;
  return k;
}
}  // namespace

void FilterSection::prepare(double sampleRate) {
  fs_ = sampleRate;
  const double T = 1.0 / (5.0 * sampleRate);
  const double t = std::tan(50.0 * M_PI / sampleRate);
  smoothC_ = (t - 1.0) / (t + 1.0);
  smoothB_ = 0.5 * std::sqrt((smoothC_ + 2.0) * smoothC_ + 1.0);
  const double w = 125663.59999999999 * T;
  const double alpha = 0.8976660981931446 * std::sin(w);
  const double n = 1.0 / (1.0 + alpha);
  cutoffK_.a1 = -2.0 * std::cos(w) * n;
  cutoffK_.a2 = (1.0 - alpha) * n;
  cutoffK_.b0 = cutoffK_.b2 = (1.0 - std::cos(w)) * n / 2.0;
  cutoffK_.b1 = (1.0 - std::cos(w)) * n;
  highPass1K_ = highPass(31.4159 / sampleRate);
  highPass2K_ = highPass(376.9908 / sampleRate);
  gateFactor_ = std::exp(-1.0 / (2.0 * sampleRate));
  releaseRate_ = 1.0 - std::exp(-1.0 / (sampleRate * 0.1));
  hzScale_ = 11025.0 / sampleRate;
  lastReso_ = -1.0;
  ladder_.prepare(5.0 * sampleRate);
}

void FilterSection::reset() {
  decay_ = gateLevel_ = sweep_ = 0.0;
  gateSmooth_ = accentEnv_ = resoSmooth_ = cutoffSmooth_ = envmodSmooth_ = accentSmooth_ = OnePole();
  cutoffFilter_ = highPass1_ = highPass2_ = Biquad();
  ladder_.reset();
  decimator_.reset();
}

// The decay time and the gate act once per block; a legato note changes neither envelope.
void FilterSection::begin(const FilterControls& controls) {
  const double tau = controls.accented ? 0.1 : (double)std::pow(10.0f, (float)controls.decay - 1.0f);
  decayFactor_ = std::exp(-1.0 / (tau * fs_));
  if (!controls.gate) {
    gateLevel_ = 0.0;
  } else if (controls.retrigger) {
    decay_ = 1.0;
    gateLevel_ = 1.0;
  }
}

void FilterSection::setResonance(double rs) {
  if (rs == lastReso_) return;
  lastReso_ = rs;
  attackRate_ = 1.0 - std::exp(-1.0 / ((2.0 - rs) * fs_ * 0.025));
  const double e = 0.98 * rs + 0.01;
  divider1_ = 1.0 / e;
  divider2_ = 1.0 / (1.0 - e);
}

// The cutoff law's octaves into the ladder's tuning: exp2, a smoothing low-pass, the clamp, the tangent.
double FilterSection::cutoffScale(double octaves) {
  const double x = exp2Table(*exp2_, octaves) * hzScale_ * M_PI;
  double y = cutoffFilter_.run(x, cutoffK_);
  if (y > 0.5) {
    y = 0.5;
  } else {
    y = cutoffFilter_.run(x, cutoffK_);
  }
  return std::tan(y) * fs_ * 3.3e-7;
}

FilterSection::SampleControl FilterSection::control(const FilterControls& c) {
  const double b = smoothB_, k = smoothC_;
  const double as = accentSmooth_.run(c.accent, b, k);
  const double rs = resoSmooth_.run(c.reso, b, k);
  const double ms = envmodSmooth_.run(c.envmod, b, k);
  setResonance(rs);
  gateLevel_ = gateLevel_ * gateFactor_;
  decay_ = decay_ * decayFactor_;
  const double accentIn = c.accented ? (as + 0.125) * 0.8888888888888888 * decay_ : 0.0;
  const double J = accentEnv_.run(accentIn, b, k);
  sweep_ = J > sweep_ ? sweep_ + (J - sweep_) * attackRate_ : sweep_ + (J - sweep_) * releaseRate_;
  const double cs = cutoffSmooth_.run(c.cutoff, b, k);
  const double L = 5.0 * cs - 10.0 + 2.0 * J * (1.0 - rs) + 1.5 * sweep_ * (1.0 + rs) +
                   5.0 * decay_ * (ms + 0.2) - 2.0 * ms;
  const double Y = gateSmooth_.run(gateLevel_, b, k);
  return {J * J + Y, cutoffScale(L), divider1_, divider2_};
}

double FilterSection::finish(const double ladderOut[kDecimatorPhases], const SampleControl& s) {
  const double u = decimator_.process(ladderOut);
  return highPass2_.run(highPass1_.run(u, highPass1K_) * s.gain, highPass2K_) * 12.5;
}

double FilterSection::sample(const double* ticks, const FilterControls& controls) {
  const SampleControl s = control(controls);
  useDivider(s);
  double out[kDecimatorPhases];
  for (int32_t j = 0; j < kDecimatorPhases; ++j) out[j] = ladderTick(ticks[j], s);
  return finish(out, s);
}

void FilterSection::render(double* work, int32_t frames, const FilterControls& controls) {
  begin(controls);
  for (int32_t i = 0; i < frames; ++i) work[i] = sample(work + 5 * i, controls);
}

}  // namespace Synth

// FilterSection: per output sample the control path, five ladder ticks, decimation, high-passes and amplifier.
#include "synth/filter_section.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Synth {

FilterSection::FilterSection() : exp2_(&exp2Tables()) { reset(); }

namespace {

// Parameter smoothing: six identical one-poles with their corner at 50 Hz.
constexpr double kSmootherHz = 50.0;
// The cutoff's smoothing low-pass at the tick rate: corner 125663.6 rad/s (2 pi x 20 kHz) and damping 1 / (2 Q)
// with Q about 0.557, so a jump of the cutoff law settles without ringing into the ladder's tuning.
constexpr double kCutoffSmootherRadPerS = 125663.59999999999;
constexpr double kCutoffSmootherDamping = 0.8976660981931446;
// That corner reaches the tick rate's Nyquist at 8 kHz. Below it the corner stays where it is at 8 kHz (just
// under Nyquist): past Nyquist the low-pass folds into a filter that blows up or passes nothing.
constexpr double kCutoffSmootherMaxAngle = kCutoffSmootherRadPerS * (1.0 / (5.0 * 8000.0));
// The output's coupling high-passes, in rad/s: 5 Hz before the amplifier and 60 Hz after it.
constexpr double kHighPass1RadPerS = 31.4159;
constexpr double kHighPass2RadPerS = 376.9908;
// Time constants in seconds: the held gate's slow fade, the sweep's release, the sweep's attack per unit of
// (2 - resonance) (so 25 ms at full resonance, 50 ms at none), and the decay of an accented note.
constexpr double kGateFadeSeconds = 2.0;
constexpr double kSweepReleaseSeconds = 0.1;
constexpr double kSweepAttackSeconds = 0.025;
constexpr double kAccentDecaySeconds = 0.1;
// Octave 0 of the cutoff law, in Hz (a quarter of 44.1 kHz).
constexpr double kCutoffBaseHz = 11025.0;
// The tuning angle is clamped here before the tangent (a cutoff of about 0.16 fs).
constexpr double kMaxTuningAngle = 0.5;
// The ladder's element scale per unit of tan and of fs, in farads: 2 x 33 nF x 5 ticks per sample, the companion
// conductance of a ladder capacitor at the tick rate, so the ladder's corner follows the prewarped cutoff.
constexpr double kLadderPrewarpFarads = 3.3e-7;
// The resonance divider E spans 0.01 ... 0.99, never a pure short or open.
constexpr double kDividerFloor = 0.01;
constexpr double kDividerSpan = 0.98;
// The while before a rest: this long with the host hearing only zeros. The gain threshold alone already keeps the
// rest out of every tail; the while adds a margin over the first silences of a closing note. The longest run of
// host silence inside a tail (silence with sound after it), over every program and extreme setting at 44.1 and
// 96 kHz, is 30 ms for notes of the bass's range and 0.22 s for the lowest note, accented, whose 8 Hz wave crosses
// zero slowly (bench/rest_figures prints it); none of them comes with a gain under the threshold, and a plain note
// rests 50 ms after a host last heard it (0.37 s after its release).
constexpr double kRestSeconds = 0.05;

// The second high-pass's gains from its input and from its state to its output: the sum of the impulse response's
// magnitudes, and the largest zero-input output of a state whose two values are at most 1. Its poles lie about
// w = 377 / fs inside the unit circle, so 80 / w samples take either response below 1e-25 of its start.
void highPassGains(const BiquadCoefficients& k, double fs, double& fromInput, double& fromState) {
  const int32_t n = (int32_t)(80.0 * fs / kHighPass2RadPerS) + 1;
  Biquad impulse, one{1.0, 0.0}, two{0.0, 1.0};
  fromInput = fromState = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    fromInput += std::fabs(impulse.run(i == 0 ? 1.0 : 0.0, k));
    fromState = std::max(fromState, std::fabs(one.run(0.0, k)) + std::fabs(two.run(0.0, k)));
  }
}

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
  const double t = std::tan(kSmootherHz * M_PI / sampleRate);
  smoothC_ = (t - 1.0) / (t + 1.0);
  smoothB_ = 0.5 * std::sqrt((smoothC_ + 2.0) * smoothC_ + 1.0);
  const double w = std::min(kCutoffSmootherRadPerS * T, kCutoffSmootherMaxAngle);
  const double alpha = kCutoffSmootherDamping * std::sin(w);
  const double n = 1.0 / (1.0 + alpha);
  cutoffK_.a1 = -2.0 * std::cos(w) * n;
  cutoffK_.a2 = (1.0 - alpha) * n;
  cutoffK_.b0 = cutoffK_.b2 = (1.0 - std::cos(w)) * n / 2.0;
  cutoffK_.b1 = (1.0 - std::cos(w)) * n;
  highPass1K_ = highPass(kHighPass1RadPerS / sampleRate);
  highPass2K_ = highPass(kHighPass2RadPerS / sampleRate);
  gateFactor_ = std::exp(-1.0 / (kGateFadeSeconds * sampleRate));
  releaseRate_ = 1.0 - std::exp(-1.0 / (sampleRate * kSweepReleaseSeconds));
  hzScale_ = kCutoffBaseHz / sampleRate;
  lastReso_ = -1.0;
  // Each of the two ways to the output (the amplifier's input through the high-pass, the high-pass's state) stays
  // under an eighth of the host's silence: together under a quarter, whatever the rounding.
  double fromInput, fromState;
  highPassGains(highPass2K_, sampleRate, fromInput, fromState);
  gainThreshold_ = kHostSilence / 8.0 / (kOutputGain * fromInput * kPreAmpBound);
  stateThreshold_ = kHostSilence / 8.0 / (kOutputGain * fromState);
  restSamples_ = std::max((int32_t)(kRestSeconds * sampleRate), 1);
  ladder_.prepare(5.0 * sampleRate);
}

void FilterSection::reset() {
  decay_ = gateLevel_ = sweep_ = 0.0;
  gateSmooth_ = accentEnv_ = resoSmooth_ = cutoffSmooth_ = envmodSmooth_ = accentSmooth_ = OnePole();
  cutoffFilter_ = highPass1_ = highPass2_ = Biquad();
  ladder_.reset();
  decimator_.reset();
  resting_ = accented_ = false;
  silentRun_ = 0;
}

// The decay time and the gate act once per block; a legato note changes neither envelope.
void FilterSection::begin(const FilterControls& controls) {
  const double tau = controls.accented ? kAccentDecaySeconds : (double)std::pow(10.0f, (float)controls.decay - 1.0f);
  decayFactor_ = std::exp(-1.0 / (tau * fs_));
  accented_ = controls.accented;
  last_ = controls;
  if (!controls.gate) {
    gateLevel_ = 0.0;
  } else if (controls.retrigger) {
    decay_ = 1.0;
    gateLevel_ = 1.0;
  }
}

double sweepAttackRate(double rs, double fs) { return 1.0 - std::exp(-1.0 / ((2.0 - rs) * fs * kSweepAttackSeconds)); }

void FilterSection::setResonance(double rs) {
  if (rs == lastReso_) return;
  lastReso_ = rs;
  attackRate_ = sweepAttackRate(rs, fs_);
  const double e = kDividerSpan * rs + kDividerFloor;
  divider1_ = 1.0 / e;
  divider2_ = 1.0 / (1.0 - e);
}

// The cutoff law's octaves into the ladder's tuning: exp2, a smoothing low-pass, the clamp, the tangent.
double FilterSection::cutoffScale(double octaves) {
  const double x = exp2Table(*exp2_, octaves) * hzScale_ * M_PI;
  double y = cutoffFilter_.run(x, cutoffK_);
  if (y > kMaxTuningAngle) {
    y = kMaxTuningAngle;
  } else {
    y = cutoffFilter_.run(x, cutoffK_);
  }
  return std::tan(y) * fs_ * kLadderPrewarpFarads;
}

// The envelopes and smoothers of one sample; returns the amplifier gain V. The steps and their order are those of
// envelopes, which adds the cutoff law.
inline double FilterSection::advanceEnvelopes(const FilterControls& c) {
  const double b = smoothB_, k = smoothC_;
  const double as = accentSmooth_.run(c.accent, b, k);
  const double rs = resoSmooth_.run(c.reso, b, k);
  envmodSmooth_.run(c.envmod, b, k);
  setResonance(rs);
  gateLevel_ = gateLevel_ * gateFactor_;
  decay_ = decay_ * decayFactor_;
  const double accentIn = c.accented ? (as + kAccentOffset) * kAccentScale * decay_ : 0.0;
  const double J = accentEnv_.run(accentIn, b, k);
  sweep_ = J > sweep_ ? sweep_ + (J - sweep_) * attackRate_ : sweep_ + (J - sweep_) * releaseRate_;
  cutoffSmooth_.run(c.cutoff, b, k);
  const double Y = gateSmooth_.run(gateLevel_, b, k);
  return J * J + Y;
}

// The cutoff law in octaves, from the smoothed knobs and the envelopes of the sample just advanced: the knob spans 5
// from -10; the accent envelope adds more at low resonance, its sweep more at high resonance; the decay envelope
// adds up to 5 (envmod + 0.2) while envmod lowers the base by 2 envmod.
inline double FilterSection::cutoffLaw() const {
  const double cs = cutoffSmooth_.out, rs = resoSmooth_.out, ms = envmodSmooth_.out, J = accentEnv_.out;
  return 5.0 * cs - 10.0 + 2.0 * J * (1.0 - rs) + 1.5 * sweep_ * (1.0 + rs) + 5.0 * decay_ * (ms + 0.2) - 2.0 * ms;
}

FilterSection::Envelopes FilterSection::envelopes(const FilterControls& c) {
  const double gain = advanceEnvelopes(c);
  return {gain, cutoffLaw()};
}

double FilterSection::restingGain(const FilterControls& c) { return advanceEnvelopes(c); }

double FilterSection::finish(const double ladderOut[kDecimatorPhases], const SampleControl& s) {
  const double u = decimator_.process(ladderOut);
  const double y = highPass2_.run(highPass1_.run(u, highPass1K_) * s.gain, highPass2K_) * kOutputGain;
  silentRun_ = std::fabs(y) < kHostSilence ? std::min(silentRun_ + 1, restSamples_) : 0;
  return y;
}

FilterSection::RestingRun FilterSection::restingRun(const FilterControls& c) const {
  return {accentSmooth_, resoSmooth_,  envmodSmooth_, cutoffSmooth_, accentEnv_, gateSmooth_, c.accent,
          c.reso,        c.envmod,     c.cutoff,      smoothB_,      smoothC_,   decay_,      decayFactor_,
          sweep_,        releaseRate_, lastReso_,     attackRate_,   fs_,        c.accented};
}

void FilterSection::endRestingRun(const RestingRun& run) {
  accentSmooth_ = run.accent;
  resoSmooth_ = run.reso;
  envmodSmooth_ = run.envmod;
  cutoffSmooth_ = run.cutoff;
  accentEnv_ = run.accentEnv;
  gateSmooth_ = run.gate;
  decay_ = run.decay;
  sweep_ = run.sweep;
}

namespace {
bool sameBits(const OnePole& a, const OnePole& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

bool FilterSection::RestingRun::settle() {
  if (accented) return false;
  RestingRun step = *this;
  step.next();
  if (!sameBits(step.accent, accent) || !sameBits(step.reso, reso) || !sameBits(step.envmod, envmod) ||
      !sameBits(step.cutoff, cutoff) || !sameBits(step.accentEnv, accentEnv))
    return false;
  const double rs = reso.out;
  if (rs != attackReso) attackReso = rs, attackRate = sweepAttackRate(rs, fs);
  return true;
}

bool FilterSection::staysShut(const FilterControls& c) const {
  if (c.gate) return false;
  const double y = std::max(gateSmooth_.in, gateSmooth_.out);
  double j = std::max(accentEnv_.in, accentEnv_.out);
  if (c.accented) {
    const double as = std::max({accentSmooth_.in, accentSmooth_.out, c.accent});
    j = std::max(j, (as + kAccentOffset) * kAccentScale * decay_);
  }
  return j * j + y < 0.5 * gainThreshold_;
}

FilterSection::SampleControl FilterSection::wake() {
  const Envelopes e{accentEnv_.out * accentEnv_.out + gateSmooth_.out, cutoffLaw()};
  resting_ = false;
  if (wakeChoice_.clearLadder) ladder_.reset();
  if (wakeChoice_.clearDecimator) decimator_.reset();
  if (wakeChoice_.clearHighPass) highPass1_ = Biquad();
  if (wakeChoice_.settleCutoff) {
    const double x = exp2Table(*exp2_, e.octaves) * hzScale_ * M_PI;
    cutoffFilter_.z1 = cutoffFilter_.z2 = x / (1.0 + cutoffK_.a1 + cutoffK_.a2);
  }
  return tuning(e);
}

}  // namespace Synth

// FilterSection: envelopes, cutoff law, the ladder at 5x, the decimator, high-passes and amplifier.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "synth/decimator.h"
#include "synth/exp2_table.h"
#include "synth/ladder.h"

namespace Synth {

// What the instrument hands the filter section for one block.
struct FilterControls {
  double cutoff, reso, decay, envmod, accent;  // normalized parameter values
  bool gate, retrigger, accented;
};

// A 50 Hz one-pole: y <- b x + b x_prev - c y_prev.
struct OnePole {
  double in = 0.0, out = 0.0;
  double run(double x, double b, double c) {
    out = b * x + b * in - c * out;
    in = x;
    return out;
  }
};

struct BiquadCoefficients {
  double a1 = 0.0, a2 = 0.0, b0 = 0.0, b1 = 0.0, b2 = 0.0;
};

// Direct form II.
struct Biquad {
  double z1 = 0.0, z2 = 0.0;
  double run(double x, const BiquadCoefficients& k) {
    const double z0 = x - k.a1 * z1 - k.a2 * z2;
    const double y = k.b0 * z0 + k.b1 * z1 + k.b2 * z2;
    z2 = z1;
    z1 = z0;
    return y;
  }
};

// The ladder's input in volts per unit of the oscillator's wave.
constexpr double kLadderInputVolts = 0.05;
// The output gain after the second high-pass.
constexpr double kOutputGain = 12.5;
// A double below this in magnitude is a float zero when a host converts it (to nearest): the host hears nothing.
constexpr double kHostSilence = 0x1p-150;
// The largest magnitude, in volts, that the first high-pass's output (what the amplifier multiplies) can take. The
// ladder does not amplify its input of kLadderInputVolts per unit of wave: over hundreds of random settings, the
// extremes among them, at rates from 8 to 384 kHz, the largest seen was 0.043 V; the bound keeps a factor 23.
constexpr double kPreAmpBound = 1.0;
// The accent envelope's input: the smoothed accent knob plus an offset, scaled so that full accent gives 1.
constexpr double kAccentOffset = 0.125;
constexpr double kAccentScale = 0.8888888888888888;  // 8 / 9
// The sweep's attack rate per sample at smoothed resonance rs: 25 ms at full resonance, 50 ms at none.
double sweepAttackRate(double rs, double fs);

class FilterSection {
 public:
  FilterSection();  // designs the decimation filter
  void prepare(double sampleRate);
  void reset();

  // Driven a block at a time: begin once with the block's controls, then for each output sample, in this order:
  // control (the control path), useDivider, five ladderTick calls with the sample's five oscillator ticks, and finish
  // (decimation, high-passes, amplifier), which returns the sample. Each stage takes what control returned, so a
  // caller may run the next sample's control path while the ladder works through this sample's ticks.
  void begin(const FilterControls& controls);
  struct SampleControl {
    double gain;    // amplifier gain V
    double g;       // ladder element scale
    double p1, p2;  // resonance divider conductances
  };
  // The control path splits in two: the envelopes, smoothers and cutoff law, then the ladder's tuning from them.
  struct Envelopes {
    double gain;     // amplifier gain V
    double octaves;  // the cutoff law
  };
  Envelopes envelopes(const FilterControls& controls);
  SampleControl tuning(const Envelopes& e) { return {e.gain, cutoffScale(e.octaves), divider1_, divider2_}; }
  SampleControl control(const FilterControls& controls) { return tuning(envelopes(controls)); }
  void useDivider(const SampleControl& s) { ladder_.setDivider(s.p1, s.p2); }
  double ladderTick(double tick, const SampleControl& s) { return ladder_.step(kLadderInputVolts * tick, s.g); }
  double finish(const double ladderOut[kDecimatorPhases], const SampleControl& s);

  // Rest. Once no key is held, the gain is below gainThreshold() and the host has heard only zeros for a while (the
  // output below kHostSilence for restSamples() samples, with the second high-pass's state too small to ring above
  // it: readyToRest), nothing that the section can still make reaches a host's float until the gain rises again
  // (prepare derives the thresholds from kPreAmpBound, the high-pass's gains and kOutputGain). The ladder, the
  // decimator, both high-passes and the ladder's tuning then sleep and the output is zero. The envelopes and
  // smoothers go on (restingGain, every sample: the control path without the cutoff law), and the first sample
  // whose gain reaches the threshold wakes the section (wake: the rest of that sample's control) with the state
  // that WakeChoice says for the parts that slept.
  struct WakeChoice {
    bool clearLadder = false;     // discharge the ladder's capacitors (else: as they were when it fell asleep)
    bool clearDecimator = false;  // empty the decimator's accumulator
    bool clearHighPass = false;   // empty the first high-pass
    bool settleCutoff = false;    // the tuning's smoothing low-pass at rest on the waking sample's cutoff
  };
  double gainThreshold() const { return gainThreshold_; }
  int32_t restSamples() const { return restSamples_; }
  // Output samples below kHostSilence in a row up to the last one finished, counted up to restSamples().
  int32_t silentRun() const { return silentRun_; }
  bool readyToRest() const {
    return silentRun_ >= restSamples_ && std::fabs(highPass2_.z1) < stateThreshold_ &&
           std::fabs(highPass2_.z2) < stateThreshold_;
  }
  void sleep() {
    resting_ = true;
    highPass2_ = Biquad();
  }
  bool resting() const { return resting_; }
  double restingGain(const FilterControls& controls);
  SampleControl wake();
  void setWakeChoice(const WakeChoice& choice) { wakeChoice_ = choice; }
  // The resting samples of a block through which the gain stays below the threshold (staysShut): only the
  // envelopes and smoothers move, held in a value that the caller keeps in registers: restingRun, next() for each
  // sample, endRestingRun. Each step is the one advanceEnvelopes takes (the gate level stays zero). The ladder's
  // resonance values wait for the next sample that the control path takes whole.
  struct RestingRun {
    OnePole accent, reso, envmod, cutoff, accentEnv, gate;
    double accentKnob, resoKnob, envmodKnob, cutoffKnob;
    double b, c;  // the smoothers' coefficients
    double decay, decayFactor;
    double sweep, releaseRate;
    double attackReso, attackRate;  // the sweep's attack rate and the smoothed resonance it belongs to
    double fs;
    bool accented;
    [[gnu::always_inline]] void next() {
      const double as = accent.run(accentKnob, b, c);
      const double rs = reso.run(resoKnob, b, c);
      envmod.run(envmodKnob, b, c);
      decay = decay * decayFactor;
      const double J = accentEnv.run(accented ? (as + kAccentOffset) * kAccentScale * decay : 0.0, b, c);
      if (J > sweep) {
        if (rs != attackReso) attackReso = rs, attackRate = sweepAttackRate(rs, fs);
        sweep = sweep + (J - sweep) * attackRate;
      } else {
        sweep = sweep + (J - sweep) * releaseRate;
      }
      cutoff.run(cutoffKnob, b, c);
      gate.run(0.0, b, c);
    }
    // Settled: the smoothed knobs and the accent envelope stand still under next() and the note is not accented,
    // so that every later step leaves them where they are and the sweep's target J stays the same. Only the decay
    // envelope, the sweep and the gate smoother still move: nextSettled() takes their steps alone, the same to the
    // bit. Usually true through a long rest; with the attack rate set for the resonance as next() would set it.
    bool settle();
    [[gnu::always_inline]] void nextSettled() {
      decay = decay * decayFactor;
      const double J = accentEnv.out;
      sweep = J > sweep ? sweep + (J - sweep) * attackRate : sweep + (J - sweep) * releaseRate;
      gate.run(0.0, b, c);
    }
  };
  RestingRun restingRun(const FilterControls& controls) const;
  void endRestingRun(const RestingRun& run);
  // No sample with these controls (no key held) can reach the gain threshold: the smoothers are averages of their
  // inputs and outputs, the decay envelope only falls, so the gate smoother, the accent envelope and its input stay
  // under their present largest values. With half the threshold as the margin for rounding.
  bool staysShut(const FilterControls& controls) const;
  // At rest until a new event: the block just rendered ended resting and its controls keep the amplifier shut.
  bool quiet() const { return resting_ && staysShut(last_); }

  // The control path's state, which goes on through a rest exactly as it does playing: the envelopes and the
  // smoothers, in the bits of their doubles.
  std::array<double, 15> controlState() const {
    return {decay_,
            gateLevel_,
            sweep_,
            gateSmooth_.in,
            gateSmooth_.out,
            accentEnv_.in,
            accentEnv_.out,
            resoSmooth_.in,
            resoSmooth_.out,
            cutoffSmooth_.in,
            cutoffSmooth_.out,
            envmodSmooth_.in,
            envmodSmooth_.out,
            accentSmooth_.in,
            accentSmooth_.out};
  }
  double decayLevel() const { return decay_; }
  double gateLevel() const { return gateLevel_; }
  double decayFactor() const { return decayFactor_; }

 private:
  double advanceEnvelopes(const FilterControls& controls);
  double cutoffLaw() const;
  double cutoffScale(double octaves);
  void setResonance(double rs);

  double fs_ = 44100.0;
  double decay_ = 0.0;        // decay envelope H: 1 at a note start
  double gateLevel_ = 0.0;    // gate level G: 1 at a note start, fades with a 2 s time constant while held
  double sweep_ = 0.0;        // sweep S: slow follower of the accent envelope
  double decayFactor_ = 1.0;  // per sample, from the block's decay time
  double gateFactor_ = 1.0;   // e^(-1 / (2 fs))
  OnePole gateSmooth_, accentEnv_, resoSmooth_, cutoffSmooth_, envmodSmooth_, accentSmooth_;
  double smoothB_ = 0.0, smoothC_ = 0.0;
  Biquad cutoffFilter_, highPass1_, highPass2_;
  BiquadCoefficients cutoffK_, highPass1K_, highPass2K_;
  double releaseRate_ = 0.0;  // sweep release: 1 - e^(-1 / (0.1 fs))
  double hzScale_ = 0.0;      // 11025 / fs
  // What depends on the smoothed resonance alone, kept while it does not move.
  double lastReso_ = -1.0;
  double attackRate_ = 0.0;  // sweep attack: 25 ms at full resonance, 50 ms at none
  double divider1_ = 0.0, divider2_ = 0.0;
  Ladder ladder_;
  Decimator decimator_;
  const Exp2Tables* exp2_;
  bool resting_ = false;   // the ladder, decimator and high-passes sleep
  bool accented_ = false;  // the block's note is accented
  WakeChoice wakeChoice_;
  FilterControls last_{};  // the block's controls, for quiet
  // The rest's thresholds (prepare): below gainThreshold_ the amplifier's output stays under kHostSilence / 8,
  // and so does what the second high-pass rings out from states below stateThreshold_.
  double gainThreshold_ = 0.0, stateThreshold_ = 0.0;
  int32_t restSamples_ = 1;  // the while: kRestSeconds of host silence
  int32_t silentRun_ = 0;
};

}  // namespace Synth

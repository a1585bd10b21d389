// FilterSection: envelopes, cutoff law, the ladder at 5x, the decimator, high-passes and amplifier.
#pragma once

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

  // Rest. With the amplifier's gain exactly zero, nothing before the amplifier reaches the output: the ladder, the
  // decimator, the first high-pass and the ladder's tuning sleep, and a resting sample is the second high-pass
  // ringing out on zero input, exactly what the whole section would give. The envelopes and smoothers go on
  // (restingGain, every sample: the control path without the cutoff law), and the first sample whose gain is not
  // zero wakes the section (wake: the rest of that sample's control) with the state that WakeChoice says for the
  // parts that slept.
  struct WakeChoice {
    bool clearLadder = false;     // discharge the ladder's capacitors (else: as they were when it fell asleep)
    bool clearDecimator = false;  // empty the decimator's accumulator
    bool clearHighPass = false;   // empty the first high-pass
    bool settleCutoff = false;    // the tuning's smoothing low-pass at rest on the waking sample's cutoff
  };
  void sleep() { resting_ = true; }
  bool resting() const { return resting_; }
  double restingGain(const FilterControls& controls);
  double restingSample();
  SampleControl wake();
  void setWakeChoice(const WakeChoice& choice) { wakeChoice_ = choice; }
  // The resting samples of a block through which the amplifier stays shut: only the smoothed knobs, the decay
  // envelope, the sweep and the second high-pass move (the gate level, its smoother and the accent envelope stay
  // zero), held in a value that the caller keeps in registers: restingRun, next() for each sample, endRestingRun.
  // Each step is the one envelopes and restingSample take. The ladder's resonance values wait for the next sample
  // that the control path takes whole.
  struct RestingRun {
    OnePole accent, reso, envmod, cutoff;
    double accentKnob, resoKnob, envmodKnob, cutoffKnob;
    double b, c;  // the smoothers' coefficients
    double decay, decayFactor;
    double sweep, accentEnvelope, releaseRate;
    Biquad highPass;
    BiquadCoefficients highPassK;
    [[gnu::always_inline]] double next() {
      accent.run(accentKnob, b, c);
      reso.run(resoKnob, b, c);
      envmod.run(envmodKnob, b, c);
      decay = decay * decayFactor;
      // The accent envelope is zero and the sweep never below it: the sweep releases.
      sweep = sweep + (accentEnvelope - sweep) * releaseRate;
      cutoff.run(cutoffKnob, b, c);
      return highPass.run(0.0, highPassK) * kOutputGain;
    }
  };
  RestingRun restingRun(const FilterControls& controls) const;
  void endRestingRun(RestingRun run);
  // The amplifier stays shut until a new note opens the gate: the gate level and its smoother are zero, and so are
  // the accent envelope and its input (the note is not accented, or its decay envelope has run out).
  bool staysShut() const {
    return gateLevel_ == 0.0 && gateSmooth_.in == 0.0 && gateSmooth_.out == 0.0 && accentEnv_.in == 0.0 &&
           accentEnv_.out == 0.0 && (!accented_ || decay_ == 0.0);
  }
  // At rest with the amplifier shut until a note and the second high-pass rung out. Left on zero input under
  // flush-to-zero, that filter's state does not reach zero but circles below 2^-1000, and its output is zero but
  // for rare samples below 1e-300: silence until the next note.
  bool quiet() const {
    constexpr double kRungOut = 0x1p-1000;
    return resting_ && staysShut() && std::fabs(highPass2_.z1) < kRungOut && std::fabs(highPass2_.z2) < kRungOut;
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
  bool resting_ = false;   // the parts before the amplifier sleep
  bool accented_ = false;  // the block's note is accented
  WakeChoice wakeChoice_;
};

}  // namespace Synth

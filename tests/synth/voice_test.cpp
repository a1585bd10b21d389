// What a player hears of one voice: the pitch of a note, the tune range, slide time, and the envelopes' times.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "bench/block_passes.h"
#include "synth/filter_section.h"
#include "synth/oscillator.h"
#include "synth/random.h"

namespace {
constexpr double kFs = 44100.0;

struct OscRig {
  std::unique_ptr<Synth::Oscillator> osc = std::make_unique<Synth::Oscillator>();
  Synth::Random random;
  OscRig(double fs = kFs) {
    osc->prepare(fs);
    osc->reset();
  }
  std::vector<double> render(int32_t frames, double pitch, double tune, bool slide = false, bool square = false) {
    std::vector<double> out((size_t)frames * 5);
    Passes::oscillatorPass(*osc, random, out.data(), slide, square, pitch, tune, frames);
    return out;
  }
};

// Falling edges of the saw, counted with hysteresis so the band-limited ripple never counts twice.
int countCycles(const std::vector<double>& saw) {
  int cycles = 0;
  bool up = false;
  for (double s : saw) {
    if (!up && s > 0.25) up = true;
    if (up && s < -0.25) up = false, ++cycles;
  }
  return cycles;
}

Synth::FilterControls controls(bool gate, bool retrigger, bool accented, double decay) {
  return {0.5, 0.5, decay, 0.5, 0.5, gate, retrigger, accented};
}

// Renders `frames` silent frames through a filter section and returns its decay envelope afterwards.
struct FilterRig {
  Synth::FilterSection filter;
  std::vector<double> work;
  FilterRig() {
    filter.prepare(kFs);
    filter.reset();
  }
  void render(int32_t frames, const Synth::FilterControls& c) {
    work.assign((size_t)frames * 5 + 5, 0.0);
    Passes::filterPass(filter, work.data(), frames, c);
  }
};
}  // namespace

TEST(OscillatorPitch, Note81AtTuneCentreAverages440HzAndTuneSpansAnOctaveEachWay) {
  const struct { double tune, octaves, hz; } cases[] = {{0.5, 0.0, 440.0}, {0.0, -1.0, 220.0}, {1.0, 1.0, 880.0}};
  for (const auto& c : cases) {
    OscRig rig;
    const std::vector<double> saw = rig.render((int32_t)kFs, 81.0, c.tune);
    EXPECT_EQ(rig.osc->glidedPitch(), c.octaves);
    EXPECT_NEAR(countCycles(saw), c.hz, c.hz * 0.005) << c.tune;
  }
  // A semitone per note: note 69 is an octave below note 81.
  OscRig rig;
  EXPECT_NEAR(countCycles(rig.render((int32_t)kFs, 69.0, 0.5)), 220.0, 1.5);
}

TEST(OscillatorPitch, ThresholdStartsLowAfterResetAndSettlesNearOne) {
  OscRig rig;
  rig.render(1, 60.0, 0.5);
  EXPECT_LT(rig.osc->threshold(), 0.05);
  rig.render((int32_t)(0.1 * kFs), 60.0, 0.5);
  EXPECT_NEAR(rig.osc->threshold(), 1.0, 0.06);
}

TEST(OscillatorPitch, SlideGlidesWithATenthOfTheRateAsTimeConstantAndNoSlideJumps) {
  OscRig rig;
  rig.render(10, 60.0, 0.5);
  const double from = rig.osc->glidedPitch();
  rig.render(1, 72.0, 0.5);
  EXPECT_EQ(rig.osc->glidedPitch(), (72.0 - 93.0) / 12.0 + 1.0);  // no slide: there on the next tick
  rig.render(10, 60.0, 0.5);
  EXPECT_EQ(rig.osc->glidedPitch(), from);
  // 0.1 fs ticks = 0.02 fs frames: two thirds of the way, the rest e^-1.
  rig.render((int32_t)(0.02 * kFs), 72.0, 0.5, true);
  const double to = (72.0 - 93.0) / 12.0 + 1.0;
  EXPECT_NEAR((to - rig.osc->glidedPitch()) / (to - from), std::exp(-1.0), 1e-4);
}

TEST(OscillatorShape, SawAndSquareStayInTheirRanges) {
  for (bool square : {false, true}) {
    OscRig rig;
    rig.render(2000, 45.0, 0.5, false, square);
    const std::vector<double> out = rig.render((int32_t)kFs / 2, 45.0, 0.5, false, square);
    double lo = 0.0, hi = 0.0;
    for (double s : out) lo = std::min(lo, s), hi = std::max(hi, s);
    if (square) {
      EXPECT_NEAR(hi, 0.35, 0.1);  // the high part, with a little ringing at the edge
      EXPECT_LT(lo, -0.2);
    } else {
      EXPECT_NEAR(hi, 0.5, 0.1);
      EXPECT_NEAR(lo, -0.5, 0.1);
    }
  }
}

TEST(Envelopes, AccentedDecayIsATenthOfASecondWhateverTheKnob) {
  for (double knob : {0.0, 0.5, 1.0}) {
    FilterRig rig;
    rig.render(1, controls(true, true, true, knob));
    rig.render((int32_t)(0.1 * kFs) - 1, controls(true, false, true, knob));
    EXPECT_NEAR(rig.filter.decayLevel(), std::exp(-1.0), 1e-6) << knob;
  }
}

TEST(Envelopes, DecayKnobSpansATenthToOneSecond) {
  const struct { double knob, seconds; } cases[] = {{0.0, 0.1}, {0.5, std::sqrt(0.1)}, {1.0, 1.0}};
  for (const auto& c : cases) {
    FilterRig rig;
    rig.render(1, controls(true, true, false, c.knob));
    rig.render((int32_t)std::lround(c.seconds * kFs) - 1, controls(true, false, false, c.knob));
    EXPECT_NEAR(rig.filter.decayLevel(), std::exp(-1.0), 1e-4) << c.knob;
  }
}

TEST(Envelopes, HeldGateFadesWithTwoSecondsAndClosesAtOnceOnRelease) {
  FilterRig rig;
  rig.render(1, controls(true, true, false, 0.5));
  rig.render((int32_t)(2 * kFs) - 1, controls(true, false, false, 0.5));
  EXPECT_NEAR(rig.filter.gateLevel(), std::exp(-1.0), 1e-6);
  // A legato note (gate held, no retrigger) restarts nothing.
  const double before = rig.filter.decayLevel();
  rig.render(0, controls(true, false, false, 0.5));
  EXPECT_EQ(rig.filter.decayLevel(), before);
  rig.render(0, controls(false, false, false, 0.5));
  EXPECT_EQ(rig.filter.gateLevel(), 0.0);
  // Released at once with retrigger pending: no envelope starts.
  FilterRig quick;
  quick.render(0, controls(false, true, false, 0.5));
  EXPECT_EQ(quick.filter.decayLevel(), 0.0);
  EXPECT_EQ(quick.filter.gateLevel(), 0.0);
}

// The ladder solver: silence in, silence out; the divider's ends stay finite; it filters; it repeats itself exactly.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <vector>

#include "plain_engine.h"
#include "synth/ladder.h"

namespace {
constexpr double kRate = 5 * 44100.0;

double dividerP1(double reso) { return 1.0 / (0.98 * reso + 0.01); }
double dividerP2(double reso) { return 1.0 / (1.0 - (0.98 * reso + 0.01)); }

// The ladder's response to a sine of the given cycles per tick, as the peak of the settled output.
double sinePeak(double cyclesPerTick, double g, double reso) {
  Synth::Ladder l;
  l.prepare(kRate);
  l.setDivider(dividerP1(reso), dividerP2(reso));
  double peak = 0.0;
  for (int n = 0; n < 60000; ++n) {
    const double y = l.step(0.05 * std::sin(2.0 * M_PI * cyclesPerTick * n), g);
    if (n > 40000) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}
}  // namespace

TEST(Ladder, SilenceStaysExactlyZero) {
  Synth::Ladder l;
  l.prepare(kRate);
  l.setDivider(dividerP1(0.5), dividerP2(0.5));
  for (int n = 0; n < 10000; ++n) ASSERT_EQ(l.step(0.0, 0.01), 0.0) << n;
  for (int i = 0; i < 7; ++i) EXPECT_EQ(l.state()[i], 0.0);
}

TEST(Ladder, DividerEndsGiveFiniteConductancesAndFiniteOutput) {
  EXPECT_DOUBLE_EQ(dividerP1(0.0), 100.0);
  EXPECT_DOUBLE_EQ(dividerP2(0.0), 1.0 / 0.99);
  EXPECT_DOUBLE_EQ(dividerP1(1.0), 1.0 / 0.99);
  EXPECT_NEAR(dividerP2(1.0), 100.0, 1e-9);
  for (double reso : {0.0, 1.0})
    for (double g : {1e-6, 0.0346}) {
      Synth::Ladder l;
      l.prepare(kRate);
      l.setDivider(dividerP1(reso), dividerP2(reso));
      double peak = 0.0;
      for (int n = 0; n < 50000; ++n) {
        const double y = l.step(n % 400 < 200 ? 0.05 : -0.05, g);  // a loud square
        ASSERT_TRUE(std::isfinite(y)) << reso << " " << g << " " << n;
        peak = std::max(peak, std::fabs(y));
      }
      EXPECT_LT(peak, 10.0);
    }
}

TEST(Ladder, LowPassesAboveTheCutoffAndResonancePeaksNearIt) {
  // g = 0.0003 puts the corner near 1.5 kHz at 44.1 kHz; 110 Hz passes, 8.8 kHz hardly does.
  const double low = sinePeak(110.0 / kRate, 0.0003, 0.3), high = sinePeak(8820.0 / kRate, 0.0003, 0.3);
  EXPECT_GT(low, 0.01);
  EXPECT_LT(high, low * 0.02);
  // Relative to the passband, the response around the corner rises with resonance.
  auto lift = [](double reso) {
    double corner = 0.0;
    for (double hz : {1760.0, 2640.0, 3520.0, 5280.0}) corner = std::max(corner, sinePeak(hz / kRate, 0.001, reso));
    return corner / sinePeak(110.0 / kRate, 0.001, reso);
  };
  EXPECT_LT(lift(0.0), 1.0);
  EXPECT_GT(lift(0.9), 1.2);
}

TEST(Ladder, FastSolverMatchesThePlainOneBitForBitAndRepeatsAfterReset) {
  // Under the rendering's mode (rounding toward zero, flush-to-zero), where a constant computed in the wrong mode
  // would show.
  struct EngineMode {
    unsigned saved = _mm_getcsr();
    EngineMode() { _mm_setcsr(0xFFC0); }
    ~EngineMode() { _mm_setcsr(saved); }
  } mode;
  Synth::Ladder fast;
  Plain::Ladder plain;
  fast.prepare(kRate);
  plain.prepare(kRate);
  std::vector<double> first;
  for (int pass = 0; pass < 2; ++pass) {
    fast.reset();
    for (int n = 0; n < 40000; ++n) {
      const double reso = 0.5 + 0.5 * std::sin(n * 0.0007);              // moves every tick ...
      const double held = n % 10 < 5 ? reso : std::floor(reso * 8) / 8;  // ... or holds for a few
      const double g = 0.02 * (1.1 + std::sin(n * 0.0003));
      const double x = 0.05 * std::sin(n * 0.05) * (n % 3000 < 1500);
      fast.setDivider(dividerP1(held), dividerP2(held));
      const double y = fast.step(x, g);
      if (pass == 0) {
        ASSERT_EQ(y, plain.step(x, g, dividerP1(held), dividerP2(held))) << n;
        first.push_back(y);
      } else {
        ASSERT_EQ(y, first[(size_t)n]) << n;
      }
    }
  }
}

// Start-up tables: the FFT, the kernel tables' shape, the power-of-two tables, the random source, the decimator.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "synth/decimator.h"
#include "synth/exp2_table.h"
#include "synth/fft.h"
#include "synth/kernel_tables.h"
#include "synth/random.h"

using Synth::Complex;

namespace {
std::vector<Complex> naiveDft(const std::vector<Complex>& x, double sign) {
  const size_t n = x.size();
  std::vector<Complex> y(n);
  for (size_t k = 0; k < n; ++k)
    for (size_t i = 0; i < n; ++i) y[k] += x[i] * std::polar(1.0, sign * 2.0 * M_PI * double(k * i % n) / double(n));
  return y;
}

std::vector<Complex> testData(size_t n) {
  std::vector<Complex> x(n);
  for (size_t i = 0; i < n; ++i) x[i] = Complex(std::sin(0.37 * i * i + 1.0), std::cos(1.3 * i) - 0.25);
  return x;
}
}  // namespace

TEST(Fft, MatchesNaiveDftInBitReversedOrderBothWays) {
  for (int bits : {1, 4, 9}) {
    const int32_t n = 1 << bits;
    const std::vector<Complex> x = testData((size_t)n);
    const std::vector<Complex> expect = naiveDft(x, -1.0);
    std::vector<Complex> y = x;
    Synth::fftForward(y.data(), n);
    for (int32_t k = 0; k < n; ++k)
      EXPECT_LT(std::abs(y[Synth::bitReverse((uint32_t)k, bits)] - expect[(size_t)k]), 1e-9 * n) << n << " " << k;
    // The inverse takes the bit-reversed bins back to n times the signal.
    Synth::fftInverse(y.data(), n);
    for (int32_t i = 0; i < n; ++i) EXPECT_LT(std::abs(y[(size_t)i] / double(n) - x[(size_t)i]), 1e-12);
  }
}

TEST(KernelTables, StepKernelHasItsJumpAtTap16AndPhasesMoveIt) {
  const Synth::KernelTable& t = Synth::stepKernel();
  // Phase 0: the largest change between neighbouring taps is the unit downward jump from tap 15 to tap 16.
  int32_t jumpAt = -1;
  double largest = 0.0;
  for (int32_t k = 1; k < 32; ++k) {
    const double change = t[(size_t)k] - t[(size_t)k - 1];
    if (std::fabs(change) > largest) largest = std::fabs(change), jumpAt = k;
  }
  EXPECT_EQ(jumpAt, 16);
  // The unit jump, less the slope of the three lowest harmonics that the table leaves out (1/16 per tick each).
  EXPECT_NEAR(t[16] - t[15], -1.0 + 1.0 / 32 + 3.0 / 16, 0.02);
  // Consecutive phases continue each other: tap 15 of the last phase runs on into tap 16 of phase 0.
  EXPECT_NEAR(t[32 * 4095 + 15], t[16] + 1.0, 0.01);
  // The window takes both ends to nearly nothing.
  EXPECT_LT(std::fabs(t[0]), 1e-4);
  EXPECT_LT(std::fabs(t[32 * 4095 + 31]), 1e-4);
}

TEST(KernelTables, CornerKernelBendsAtTap16AndSharedCopiesAreBuiltOnce) {
  const Synth::KernelTable& step = Synth::stepKernel();
  const Synth::KernelTable& corner = Synth::cornerKernel();
  // The corner signal is continuous with a unit change of slope per tick at the centre.
  int32_t bendAt = -1;
  double largest = 0.0;
  for (int32_t k = 1; k < 31; ++k) {
    const double bend = corner[(size_t)k + 1] - 2.0 * corner[(size_t)k] + corner[(size_t)k - 1];
    if (std::fabs(bend) > largest) largest = std::fabs(bend), bendAt = k;
  }
  EXPECT_EQ(bendAt, 16);
  EXPECT_GT(largest, 0.7);
  EXPECT_LT(largest, 1.0);
  EXPECT_LT(std::fabs(corner[16] - corner[15]), 0.6);
  EXPECT_EQ(&step, &Synth::stepKernel());
  EXPECT_EQ(Synth::softStepKernel(44100.0).get(), Synth::softStepKernel(44100.0).get());
  // The soft step keeps the low content the step loses: same jump, different shape around it.
  const Synth::KernelTable& soft = *Synth::softStepKernel(44100.0);
  EXPECT_NEAR(soft[16] - soft[15], -1.0 + 1.0 / 32, 0.02);  // the window gives up about 1% a tick off centre
  EXPECT_GT(std::fabs(soft[24] - step[24]), 1e-3);
}

TEST(KernelTables, SharedTransformGivesTheTablesOfSeparateOnes) {
  auto step = std::make_unique<Synth::KernelTable>(), corner = std::make_unique<Synth::KernelTable>();
  Synth::buildKernelTable(Synth::KernelShape::Step, 0.125, *step);
  Synth::buildKernelTable(Synth::KernelShape::Corner, 0.125, *corner);
  double worst = 0.0;
  for (size_t i = 0; i < step->size(); ++i) {
    worst = std::max(worst, std::fabs((*step)[i] - Synth::stepKernel()[i]));
    worst = std::max(worst, std::fabs((*corner)[i] - Synth::cornerKernel()[i]));
  }
  EXPECT_LT(worst, 1e-12);
}

TEST(Exp2Table, ExactAtWholeOctavesCloseElsewhereReciprocalBelowZeroCappedAt16) {
  const Synth::Exp2Tables& t = Synth::exp2Tables();
  for (int k = -15; k <= 15; ++k) EXPECT_EQ(Synth::exp2Table(t, k), std::ldexp(1.0, k)) << k;
  for (double y = -15.9; y < 15.9; y += 0.0137) {
    const double got = Synth::exp2Table(t, y);
    // Truncation to 1/65536 octave: never above, and at most that step below (above, for negative y).
    EXPECT_NEAR(std::log2(got), y, 1.0 / 65536 + 1e-12) << y;
  }
  EXPECT_EQ(Synth::exp2Table(t, 100.0), Synth::exp2Table(t, 15.99999999));
  EXPECT_EQ(Synth::exp2Table(t, -100.0), 1.0 / Synth::exp2Table(t, 100.0));
  EXPECT_TRUE(std::isfinite(Synth::exp2Table(t, std::nan(""))));
}

TEST(Random, FirstValuesAndTheStepRestartEvery4096) {
  Synth::Random r;
  EXPECT_EQ(r.nextRandom(), 0.5);         // s = 0, x = frac(0 * 0 + 0.5)
  EXPECT_EQ(r.nextRandom(), 0.75);        // s = 0.5, x = frac(0.5 * 0.5 + 0.5)
  EXPECT_EQ(r.nextRandom(), 0.4375);      // s = 1.25, x = frac(0.75 * 1.25 + 0.5)
  EXPECT_EQ(r.nextRandom(), 0.23828125);  // s = 1.6875, x = frac(0.4375 * 1.6875 + 0.5)
  Synth::Random a, b;
  for (int i = 0; i < 4095; ++i) a.nextRandom(), b.nextRandom();
  EXPECT_EQ(a.nextRandom(), b.nextRandom());
  double lo = 1.0, hi = 0.0, sum = 0.0;
  for (int i = 0; i < 100000; ++i) {
    const double x = a.nextRandom();
    lo = std::min(lo, x), hi = std::max(hi, x), sum += x;
  }
  EXPECT_GE(lo, 0.0);
  EXPECT_LT(hi, 1.0);
  EXPECT_NEAR(sum / 100000, 0.5, 0.05);
}

TEST(Decimator, LinearPhaseLowPassWithUnitPassband) {
  double taps[Synth::kDecimatorTaps];
  Synth::designDecimationFilter(taps);
  for (int n = 0; n < 80; ++n) EXPECT_NEAR(taps[n], taps[159 - n], 1e-12) << n;
  auto gainAt = [&](double cyclesPerTick) {
    Complex sum = 0.0;
    for (int n = 0; n < 160; ++n) sum += taps[n] * std::polar(1.0, -2.0 * M_PI * cyclesPerTick * n);
    return std::abs(sum);
  };
  EXPECT_NEAR(gainAt(0.0), 1.0, 0.01);
  EXPECT_NEAR(gainAt(0.05), 1.0, 0.01);  // a quarter of the output rate
  EXPECT_LT(gainAt(0.13), 1e-3);         // above the output's Nyquist frequency (0.1)
  // Five ticks of a constant come out as that constant once the accumulator is full.
  Synth::Decimator d;
  const double ones[5] = {1, 1, 1, 1, 1};
  double u = 0.0;
  for (int i = 0; i < 40; ++i) u = d.process(ones);
  EXPECT_NEAR(u, gainAt(0.0), 1e-12);
}

// Decimator: the 160-tap linear-phase low-pass that takes five ticks at 5 fs down to one output sample.
#pragma once

#include <cstdint>

namespace Synth {

constexpr int32_t kDecimatorTaps = 160;
constexpr int32_t kDecimatorPhases = 5;
constexpr int32_t kDecimatorSpan = 32;  // taps per phase, and the accumulator's length

// The prototype low-pass, tap n = 0 ... 159 (designed by FFT, Nuttall windowed).
void designDecimationFilter(double taps[kDecimatorTaps]);

class Decimator {
 public:
  Decimator();  // designs the filter
  void reset();
  // Scatters five ticks into the accumulator and returns the finished output sample.
  double process(const double ticks[kDecimatorPhases]);

  double tap(int32_t phase, int32_t k) const { return phases_[phase][k]; }

 private:
  alignas(16) double phases_[kDecimatorPhases][kDecimatorSpan];  // phase p tap k = prototype tap 5 k + p
  // The accumulator: entry 0 is the sample being finished, entries 1 ... 31 the ones still collecting; entry 32 is
  // the zero that shifts in.
  alignas(16) double history_[kDecimatorSpan + 2];
  uint32_t pending_;  // 0 right after reset (nothing to shift yet), else 1
};

}  // namespace Synth

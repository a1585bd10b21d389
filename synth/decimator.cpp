// Decimator: filter design by a 512-point inverse FFT, and the scatter form of the polyphase filter.
#include "synth/decimator.h"

#include <emmintrin.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "synth/fft.h"
#include "synth/kernel_tables.h"

namespace Synth {

namespace {
constexpr int32_t kDesignSize = 512;
constexpr int32_t kPassBins = 51;                           // bins 0 ... 50 pass, with a half-tap delay
constexpr double kDesignWindowStep = 0.019758444362199958;  // pi / 159
}  // namespace

void designDecimationFilter(double taps[kDecimatorTaps]) {
  std::vector<Complex> bins((size_t)kDesignSize, Complex(0.0, 0.0));
  for (int32_t k = 0; k < kPassBins; ++k) {
    const Complex c = std::polar(1.0, k * 2.0 * M_PI / 1024.0);
    bins[bitReverse((uint32_t)k, 9)] = c;
    if (k != 0) bins[bitReverse((uint32_t)(kDesignSize - k), 9)] = std::conj(c);
  }
  fftInverse(bins.data(), kDesignSize);
  for (int32_t n = 0; n < kDecimatorTaps; ++n) {
    const double value = bins[(size_t)((n - 80 + kDesignSize) % kDesignSize)].real() / kDesignSize;
    taps[n] = value * nuttall(n * kDesignWindowStep);
  }
}

Decimator::Decimator() {
  double taps[kDecimatorTaps];
  designDecimationFilter(taps);
  for (int32_t p = 0; p < kDecimatorPhases; ++p)
    for (int32_t k = 0; k < kDecimatorSpan; ++k) phases_[p][k] = taps[kDecimatorPhases * k + p];
  reset();
}

void Decimator::reset() {
  std::memset(history_, 0, sizeof history_);
  pending_ = 0;
}

// Entry k takes what entry k + 1 held (the shift by one sample) plus the five products, added in tick order, two
// entries at a time.
double Decimator::process(const double ticks[kDecimatorPhases]) {
  const uint32_t shift = pending_;
  pending_ = 1;
  const __m128d t0 = _mm_set1_pd(ticks[0]), t1 = _mm_set1_pd(ticks[1]), t2 = _mm_set1_pd(ticks[2]);
  const __m128d t3 = _mm_set1_pd(ticks[3]), t4 = _mm_set1_pd(ticks[4]);
  for (int32_t k = 0; k < kDecimatorSpan; k += 2) {
    __m128d acc = _mm_loadu_pd(history_ + k + shift);
    acc = _mm_add_pd(acc, _mm_mul_pd(_mm_load_pd(phases_[4] + k), t0));
    acc = _mm_add_pd(acc, _mm_mul_pd(_mm_load_pd(phases_[3] + k), t1));
    acc = _mm_add_pd(acc, _mm_mul_pd(_mm_load_pd(phases_[2] + k), t2));
    acc = _mm_add_pd(acc, _mm_mul_pd(_mm_load_pd(phases_[1] + k), t3));
    acc = _mm_add_pd(acc, _mm_mul_pd(_mm_load_pd(phases_[0] + k), t4));
    _mm_store_pd(history_ + k, acc);
  }
  history_[kDecimatorSpan] = 0.0;
  return history_[0];
}

}  // namespace Synth

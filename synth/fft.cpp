// In-place radix-2 complex FFT with twiddles by the sine/cosine recurrence, one pass per power of two.
#include "synth/fft.h"

#include <cmath>

namespace Synth {
namespace {

// The recurrence w <- w + w * (wpr + i wpi) steps the twiddle by angle theta with
// wpr = -2 sin^2(theta / 2) and wpi = sin(theta), which loses far less precision than cos(theta) - 1.
struct TwiddleStep {
  double wpr, wpi;
};

TwiddleStep twiddleStep(int32_t span, double sign) {
  const double half = sign * M_PI / span;
  const double s = std::sin(half);
  return {-2.0 * s * s, std::sin(2.0 * half)};
}

// One forward pass: butterflies of length span, outputs written back in place.
void forwardPass(Complex* data, int32_t size, int32_t span) {
  const int32_t half = span / 2;
  const TwiddleStep step = twiddleStep(span, -1.0);
  for (int32_t start = 0; start < size; start += span) {
    double wr = 1.0, wi = 0.0;
    for (int32_t j = 0; j < half; ++j) {
      Complex& a = data[start + j];
      Complex& b = data[start + j + half];
      const double dr = a.real() - b.real(), di = a.imag() - b.imag();
      a = Complex(a.real() + b.real(), a.imag() + b.imag());
      b = Complex(dr * wr - di * wi, dr * wi + di * wr);
      const double t = wr;
      wr = wr + (wr * step.wpr - wi * step.wpi);
      wi = wi + (wi * step.wpr + t * step.wpi);
    }
  }
}

// One inverse pass: the mirror of forwardPass with the conjugate twiddles, taken in the opposite order.
void inversePass(Complex* data, int32_t size, int32_t span) {
  const int32_t half = span / 2;
  const TwiddleStep step = twiddleStep(span, 1.0);
  for (int32_t start = 0; start < size; start += span) {
    double wr = 1.0, wi = 0.0;
    for (int32_t j = 0; j < half; ++j) {
      Complex& a = data[start + j];
      Complex& b = data[start + j + half];
      const double tr = b.real() * wr - b.imag() * wi, ti = b.real() * wi + b.imag() * wr;
      b = Complex(a.real() - tr, a.imag() - ti);
      a = Complex(a.real() + tr, a.imag() + ti);
      const double t = wr;
      wr = wr + (wr * step.wpr - wi * step.wpi);
      wi = wi + (wi * step.wpr + t * step.wpi);
    }
  }
}

}  // namespace

void fftForward(Complex* data, int32_t size) {
  for (int32_t span = size; span >= 2; span /= 2) forwardPass(data, size, span);
}

void fftInverse(Complex* data, int32_t size) {
  for (int32_t span = 2; span <= size; span *= 2) inversePass(data, size, span);
}

uint32_t bitReverse(uint32_t index, int bits) {
  uint32_t r = 0;
  for (int b = 0; b < bits; ++b) {
    r = (r << 1) | (index & 1u);
    index >>= 1;
  }
  return r;
}

}  // namespace Synth

// In-place radix-2 complex FFT: the forward transform leaves its bins in bit-reversed order, the inverse takes them so.
#pragma once

#include <complex>
#include <cstdint>

namespace Synth {

using Complex = std::complex<double>;

// Decimation in frequency: natural order in, bin k at position bitReverse(k, log2 size) out. size: a power of two.
void fftForward(Complex* data, int32_t size);
// Decimation in time: bit-reversed bins in, natural order out, unscaled (the caller divides by size).
void fftInverse(Complex* data, int32_t size);
// The index with its lowest `bits` bits in reverse order.
uint32_t bitReverse(uint32_t index, int bits);

}  // namespace Synth

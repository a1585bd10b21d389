// The oscillator's correction kernels: 4096 sub-tick phases of 32 taps, built by FFT, shared once per process.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace Synth {

constexpr int32_t kKernelPhases = 4096;
constexpr int32_t kKernelTaps = 32;
constexpr int32_t kKernelSize = kKernelPhases * kKernelTaps;  // 131072: one period of the test signal

using KernelTable = std::array<double, kKernelSize>;

// Which one period the table is cut from: a saw with a unit downward jump in the middle, or 32 x its integral.
enum class KernelShape { Step, Corner };

// The whole construction: test signal, FFT, removal of the content below b cycles per tick, inverse FFT,
// Nuttall window. Slow (two transforms of 131072 points); the oscillator uses the shared tables below.
void buildKernelTable(KernelShape shape, double b, KernelTable& out);

// The step and corner tables (b = 0.125): built on first use, then shared read-only by every instance.
const KernelTable& stepKernel();
const KernelTable& cornerKernel();
// The soft-step table for a sample rate (b = 1000 / (5 fs)), built once per rate and kept while the process
// runs (only the most recent few rates are held). Whoever holds one also keeps the step and corner tables: they
// outlive every prepared oscillator, even through the static destructors of a process that exits under it.
std::shared_ptr<const KernelTable> softStepKernel(double sampleRate);

// The four-term Nuttall window at angle theta: 0.355768 - 0.487396 cos 2t + 0.144232 cos 4t - 0.012604 cos 6t.
double nuttall(double theta);

}  // namespace Synth

// Kernel table construction by FFT and the process-wide copies that spare later instances the transforms.
#include "synth/kernel_tables.h"

#include <cmath>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "synth/fft.h"

namespace Synth {
namespace {

constexpr int kKernelBits = 17;                        // log2 kKernelSize
constexpr double kWindowStep = 2.396863267686821e-05;  // pi / 131071: the window spans the whole period

// One period of the test signal, sampled at the centres of the ticks.
double testSignal(KernelShape shape, int32_t i) {
  const int32_t n = kKernelSize;
  const double u = (i + 0.5) / n;
  if (shape == KernelShape::Step) return i < n / 2 ? u : u - 1.0;
  const double v = i < n / 2 ? u + 0.5 : u - 0.5;
  return 32.0 * (1.0 / 12.0 - v / 2.0 + v * v / 2.0);
}

// The window is the same for every table: computed once per process.
const std::vector<double>& window() {
  static const std::vector<double> w = [] {
    std::vector<double> v((size_t)kKernelSize);
    for (int32_t i = 0; i < kKernelSize; ++i) v[(size_t)i] = nuttall(i * kWindowStep);
    return v;
  }();
  return w;
}

// Keeps only what lies above about b cycles per tick: the lowest bins go, a raised-cosine ramp follows.
// The forward transform left bin k at the bit-reversed position.
void shapeSpectrum(double b, std::vector<Complex>& data) {
  const double m = 32.0 * b;
  const double k0 = 0.9 * m;
  const int32_t top = (int32_t)std::ceil(m);
  for (int32_t k = 0; k < top && k < kKernelSize; ++k) {
    const double gain = k < k0 ? 0.0 : (1.0 - std::cos((k - k0) * M_PI / (3.2 * b))) / 2.0;
    const uint32_t mirror = (uint32_t)(kKernelSize - k) % (uint32_t)kKernelSize;
    data[bitReverse((uint32_t)k, kKernelBits)] *= gain;
    if (mirror != (uint32_t)k) data[bitReverse(mirror, kKernelBits)] *= gain;
  }
}

// Sample i becomes tap (i div 4096) of phase (i mod 4096). imaginary: take the imaginary parts instead.
void windowAndStore(const std::vector<Complex>& data, bool imaginary, KernelTable& out) {
  const double scale = 1.0 / kKernelSize;
  const std::vector<double>& w = window();
  for (int32_t i = 0; i < kKernelSize; ++i) {
    const Complex& value = data[(size_t)i];
    const double x = imaginary ? value.imag() : value.real();
    out[(size_t)(kKernelTaps * (i % kKernelPhases) + i / kKernelPhases)] = w[(size_t)i] * (x * scale);
  }
}

// The step and corner tables share their cutoff, and the shaping multiplies a bin and its mirror by the same real
// gain, which keeps a real signal real: so one transform carries the step signal as its real part and the corner
// signal as its imaginary part, and half the transforms are saved.
struct StepAndCorner {
  KernelTable step, corner;
  StepAndCorner() {
    std::vector<Complex> data((size_t)kKernelSize);
    for (int32_t i = 0; i < kKernelSize; ++i)
      data[(size_t)i] = Complex(testSignal(KernelShape::Step, i), testSignal(KernelShape::Corner, i));
    fftForward(data.data(), kKernelSize);
    shapeSpectrum(0.125, data);
    fftInverse(data.data(), kKernelSize);
    windowAndStore(data, false, step);
    windowAndStore(data, true, corner);
  }
};

// Who keeps the tables. A host may call exit() while its audio thread still renders, and the static destructors
// then run under it: so the step and corner tables belong to the process-wide holder and also to every soft-step
// table handed out, which each prepared oscillator keeps for as long as it lives. They go only with their last
// holder: never while an instance renders, and with the library when it unloads after its last instance.
std::shared_ptr<const StepAndCorner> stepAndCorner() {
  static const std::shared_ptr<const StepAndCorner> tables = std::make_shared<const StepAndCorner>();
  return tables;
}

// A soft-step table and what the oscillator holding it reads besides.
struct SoftStep {
  KernelTable table;
  std::shared_ptr<const StepAndCorner> stepAndCorner;
};

struct SoftStepEntry {
  double sampleRate;
  std::shared_ptr<const SoftStep> softStep;
};

constexpr size_t kSoftStepRatesKept = 4;

}  // namespace

double nuttall(double theta) {
  return 0.355768 - 0.487396 * std::cos(2.0 * theta) + 0.144232 * std::cos(4.0 * theta) -
         0.012604 * std::cos(6.0 * theta);
}

void buildKernelTable(KernelShape shape, double b, KernelTable& out) {
  std::vector<Complex> data((size_t)kKernelSize);  // 2 MB of scratch, freed on return
  for (int32_t i = 0; i < kKernelSize; ++i) data[(size_t)i] = Complex(testSignal(shape, i), 0.0);
  fftForward(data.data(), kKernelSize);
  shapeSpectrum(b, data);
  fftInverse(data.data(), kKernelSize);
  windowAndStore(data, false, out);
}

const KernelTable& stepKernel() { return stepAndCorner()->step; }

const KernelTable& cornerKernel() { return stepAndCorner()->corner; }

std::shared_ptr<const KernelTable> softStepKernel(double sampleRate) {
  static std::mutex mutex;
  static std::vector<SoftStepEntry> kept;
  std::lock_guard<std::mutex> lock(mutex);
  for (const SoftStepEntry& entry : kept)
    if (entry.sampleRate == sampleRate) return {entry.softStep, &entry.softStep->table};
  auto softStep = std::make_shared<SoftStep>();
  softStep->stepAndCorner = stepAndCorner();
  buildKernelTable(KernelShape::Step, 1000.0 / (5.0 * sampleRate), softStep->table);
  if (kept.size() == kSoftStepRatesKept) kept.erase(kept.begin());
  kept.push_back({sampleRate, softStep});
  return {softStep, &softStep->table};
}

}  // namespace Synth

// Block-time statistics for the timing programs: a fixed log-scale histogram, the clock and resident memory.
#pragma once

#include <time.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace BlockStats {

inline double nowSeconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + t.tv_nsec * 1e-9;
}

// Resident memory of this process in kB (VmRSS), -1 when it cannot be read.
inline long residentKb() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  while (std::fgets(line, sizeof(line), f))
    if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::atol(line + 6);
  std::fclose(f);
  return kb;
}

// Durations from 100 ns to 100 s in 100 bins per decade (2.3 % wide), so an hour of blocks needs no more memory
// than a second of them. Percentiles are read at the geometric centre of their bin; the extremes are exact.
class Histogram {
 public:
  static constexpr int kBinsPerDecade = 100;
  static constexpr double kLowest = 1e-7;
  static constexpr int kBins = 9 * kBinsPerDecade;

  void add(double seconds) {
    ++counts_[(size_t)binOf(seconds)];
    ++total_;
    sum_ += seconds;
    minimum_ = std::min(minimum_, seconds);
    maximum_ = std::max(maximum_, seconds);
  }

  void merge(const Histogram& other) {
    for (int i = 0; i < kBins; ++i) counts_[(size_t)i] += other.counts_[(size_t)i];
    total_ += other.total_;
    sum_ += other.sum_;
    minimum_ = std::min(minimum_, other.minimum_);
    maximum_ = std::max(maximum_, other.maximum_);
  }

  uint64_t count() const { return total_; }
  double maximum() const { return total_ ? maximum_ : 0.0; }
  double mean() const { return total_ ? sum_ / (double)total_ : 0.0; }

  // The duration below which the fraction q of the blocks lie.
  double percentile(double q) const {
    if (total_ == 0) return 0.0;
    const uint64_t rank = std::min<uint64_t>(total_ - 1, (uint64_t)std::floor(q * (double)total_));
    uint64_t seen = 0;
    for (int i = 0; i < kBins; ++i) {
      seen += counts_[(size_t)i];
      if (seen > rank) return std::clamp(centreOf(i), minimum_, maximum_);
    }
    return maximum_;
  }

 private:
  static int binOf(double seconds) {
    if (!(seconds > kLowest)) return 0;
    return std::min(kBins - 1, (int)(std::log10(seconds / kLowest) * kBinsPerDecade));
  }
  static double centreOf(int bin) { return kLowest * std::pow(10.0, (bin + 0.5) / kBinsPerDecade); }

  std::array<uint64_t, kBins> counts_{};
  uint64_t total_ = 0;
  double sum_ = 0.0;
  double minimum_ = 1e300;
  double maximum_ = 0.0;
};

// "median 31.2 us, 99% 55.0 us, 99.9% 80.1 us, max 410.3 us" for the line of a report.
inline void describe(const Histogram& h, char* text, size_t capacity) {
  std::snprintf(text, capacity, "median %.1f us, 99%% %.1f us, 99.9%% %.1f us, max %.1f us", h.percentile(0.5) * 1e6,
                h.percentile(0.99) * 1e6, h.percentile(0.999) * 1e6, h.maximum() * 1e6);
}

}  // namespace BlockStats

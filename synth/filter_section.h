// FilterSection: envelopes, cutoff law, the ladder at 5x, the decimator, high-passes and amplifier.
#pragma once

#include <cstdint>

namespace Synth {

// What the instrument hands the filter section for one block.
struct FilterControls {
  double cutoff, reso, decay, envmod, accent;  // normalized parameter values
  bool gate, retrigger, accented;
};

class FilterSection {
 public:
  FilterSection();  // designs the decimation filter
  void prepare(double sampleRate);
  void reset();
  // Reads 5 * frames ticks from work and writes the output sample i into work[i].
  void render(double* work, int32_t frames, const FilterControls& controls);
};

}  // namespace Synth

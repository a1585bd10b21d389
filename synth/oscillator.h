// Oscillator: the band-limited saw and square at five times the sample rate, built from correction kernels.
#pragma once

#include <cstdint>

#include "plugcore/random.h"

namespace Synth {

class Oscillator {
 public:
  Oscillator();  // clears the state and builds the step and corner tables
  void prepare(double sampleRate);
  void reset();
  // Writes 5 * frames ticks into out. pitch: note + bend in semitones; tune: the normalized "tune" value.
  void render(double* out, bool slide, bool square, double pitch, double tune, int32_t frames,
              PlugCore::Random& random);
};

}  // namespace Synth

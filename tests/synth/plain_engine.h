// The engine written plainly in the order its arithmetic is defined, with no reuse or caching: the yardstick that
// the fast filter section and oscillator must match bit for bit.
#pragma once

#include <cstdint>

#include "synth/filter_section.h"
#include "synth/oscillator.h"
#include "synth/random.h"

namespace Plain {

class Ladder {
 public:
  void prepare(double rate);
  double step(double x, double g, double p1, double p2);
  double s[7] = {}, G[6] = {};

 private:
  double k1u = 0, k100 = 0, k33 = 0, k18 = 0;
};

class Decimator {
 public:
  Decimator();
  double process(const double out[5]);

 private:
  double taps[5][32];
  double history[33] = {};
  uint32_t shift = 0, pending = 0;
};

struct Smoother {
  double in = 0, out = 0;
};

struct Biquad {
  double a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0, z1 = 0, z2 = 0;
  double run(double x);
};

class FilterSection {
 public:
  void prepare(double fs);
  void render(double* work, int32_t frames, const Synth::FilterControls& c);

 private:
  double smooth(Smoother& s, double x);
  double controlPath(const Synth::FilterControls& c, double& g, double& p1, double& p2);

  double fs = 0, H = 0, G = 0, S = 0, gateFactor = 0, decayFactor = 0, sb = 0, sc = 0;
  Smoother gateSm, accentEnv, reso, cutoff, envmod, accent;
  Biquad cutoffBq, hp1, hp2;
  Ladder ladder;
  Decimator decimator;
};

// Uses the tables of a real oscillator (their construction is not what is being compared).
class Oscillator {
 public:
  explicit Oscillator(const Synth::Oscillator& tables) : t(tables) {}
  void prepare(double fs);
  void render(double* out, bool slide, bool square, double pitch, double tune, int32_t frames, Synth::Random& random);

 private:
  void addKernel(const Synth::KernelTable& table, double amplitude, double f);

  const Synth::Oscillator& t;
  double line[256] = {};
  int32_t index = 0;
  double glided = 0, phase = 0, prevThreshold = 1.0, prevShape = 1.0;
  bool high = false;
  double driftIn = 0, driftOut = 0, shapeIn = 0, shapeOut = 0;
  double pitchScale = 0, glideCoef = 0, c = 0, g = 0;
};

}  // namespace Plain

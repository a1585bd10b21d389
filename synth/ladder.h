// Ladder: the transistor ladder and its coupling network, solved per tick by nodal analysis in two passes.
#pragma once

#include <cstdint>

namespace Synth {

// The nonlinear elements conduct scale * tanh(x) / x with x = v / 52 mV; this is the Pade form of tanh(x) / x.
inline double ladderConductance(double v) {
  const double s = v * 19.23076923076923;
  const double z = s * s;
  return (z * z + 105.0 * z + 945.0) / (15.0 * z * z + 420.0 * z + 945.0);
}

class Ladder {
 public:
  Ladder();
  void prepare(double tickRate);  // companion conductances of the capacitors at 5 fs
  void reset();
  // The resonance divider's conductances p1 = 1 / E and p2 = 1 / (1 - E), for the ticks that follow.
  void setDivider(double p1, double p2);
  // One tick: input voltage x, element scale g. Returns the output node voltage.
  double step(double x, double g);

  const double* state() const { return s_; }
  const double* conductances() const { return G_; }

 private:
  void refreshChain();

  double s_[7];  // companion states: two 1 uF, the 100 nF, three 33 nF and the 18 nF capacitor
  double G_[6];  // G0: the fixed element (scale 16.5); G1 ... G5: the ladder elements (scale g)

  // Capacitor companion conductances 2 C r.
  double k1u_ = 0.0, k100_ = 0.0, k33_ = 0.0, k18_ = 0.0;

  // What a tick needs from the divider alone (the input network's elimination), valid while it is unchanged.
  double p1_ = -1.0, p2_ = -1.0;
  double a_ = 0.0, F_ = 0.0, h1_ = 0.0, h2_ = 0.0, I_ = 0.0, J_ = 0.0, K_ = 0.0;
  double aK1u_ = 0.0, iK1u_ = 0.0;

  // The ladder chain's eliminations M, N, P for the stored conductances: the second pass of one tick computes them
  // and the first pass of the next uses the same values.
  double M_ = 0.0, N_ = 0.0, P_ = 0.0;
  // B1 and F2 of the last second pass: with an unchanged divider they give the next first pass its w.
  double lastB1_ = 0.0, lastF2_ = 0.0;
  bool haveLast_ = false;
};

}  // namespace Synth

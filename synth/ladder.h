// Ladder: the transistor ladder and its coupling network, solved per tick by nodal analysis in two passes.
#pragma once

#include <cstdint>

namespace Synth {

// The circuit's parts. Capacitors in farads: the two coupling capacitors, the resonance network's, the three lower
// ladder stages' and the top stage's.
namespace Circuit {
constexpr double kC1u = 1e-6;
constexpr double kC100n = 1e-7;
constexpr double kC33n = 3.3e-8;
constexpr double kC18n = 1.8e-8;
// Fixed resistors of the input and coupling network, as conductances in siemens.
constexpr double kG100k = 1e-5;       // 100 kOhm
constexpr double kG200k = 5e-6;       // 200 kOhm
constexpr double kG400k = 2.5e-6;     // 400 kOhm
constexpr double kG30k8 = 3.25e-5;    // 30.8 kOhm
constexpr double kG15k = 6.66667e-5;  // 15 kOhm
// The nonlinear elements: the voltage across one, divided by the junction scale 52 mV, is the argument of tanh(x)/x.
constexpr double kPerJunctionVolt = 19.23076923076923;  // 1 / 0.052 V
// The fixed element's scale, in siemens; the five ladder elements take theirs from the cutoff.
constexpr double kFixedElementScale = 16.5;
}  // namespace Circuit

// The nonlinear elements conduct scale * tanh(x) / x with x = v / 52 mV; this is the Pade form of tanh(x) / x.
inline double ladderConductance(double v) {
  const double s = v * Circuit::kPerJunctionVolt;
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

  double twoK1u_ = 0.0, twoK100_ = 0.0, twoK33_ = 0.0, twoK18_ = 0.0, k33k100_ = 0.0;

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

// The step is here so that the filter section's loop sees all five ticks of a sample at once.
inline double Ladder::step(double x, double g) {
  double* s = s_;
  double* G = G_;
  const double k1u = k1u_, k100 = k100_, k33 = k33_, k18 = k18_;
  const double a = a_, F = F_, h1 = h1_, h2 = h2_, I = I_, J = J_, K = K_;

  // Pass 1 with the stored conductances.
  double w;
  if (haveLast_) {
    w = (lastB1_ * I * k1u - lastF2_ * k1u) * K;
  } else {
    const double e0 = G[0] * p2_ * a;
    w = ((-G[0] * Circuit::kG400k - e0 * Circuit::kG100k - e0 * k1u * F * h2) * J * I * k1u - e0 * k1u * F * k1u) * K;
  }
  const double M = M_, N = N_, P = P_;
  const double Q = 1.0 / (G[1] + k33 + k100 + G[2] - P * (G[2] * G[2]));
  const double wG5M = w * G[5] * M;
  const double O = wG5M * G[4] * N;
  const double OG3P = O * G[3] * P;
  const double R = (-k100 - OG3P * G[2]) * Q;
  const double as1 = a * s[1];
  const double U = (as1 * k1u - s[1]) * F;
  const double V = (U * h2 + as1 * Circuit::kG100k) * J;
  const double W = (U * k1u - s[0] + iK1u_ * V) * K;
  const double X = (s[6] - G[5] * W + G[5] * x) * M;
  const double Y = (X * G[4] + s[5]) * N;
  const double Z = (Y * G[3] + s[4]) * P;
  const double Q2 = (Z * G[2] + s[3] + s[2]) * Q;
  const double A0 = (Q2 * k100 - s[2]) / (R * k100 + k100 + Circuit::kG100k);
  const double u1 = Q2 - A0 * R;
  const double u2 = OG3P * A0 + P * G[2] * u1 + Z;
  const double u3 = A0 * O + N * G[3] * u2 + Y;
  const double u4 = wG5M * A0 + M * G[4] * u3 + X;
  const double u5 = W - A0 * w;
  G[0] = Circuit::kFixedElementScale * ladderConductance(A0);
  G[1] = g * ladderConductance(u1);
  G[2] = g * ladderConductance(u2 - u1);
  G[3] = g * ladderConductance(u3 - u2);
  G[4] = g * ladderConductance(u4 - u3);
  G[5] = g * ladderConductance(x - u5);

  // Pass 2 with the new conductances; only this solution moves the capacitors.
  const double e1 = G[0] * p2_ * a;
  const double F2 = e1 * k1u * F;
  const double B1 = (-G[0] * Circuit::kG400k - e1 * Circuit::kG100k - F2 * h2) * J;
  const double K2 = (iK1u_ * B1 - F2 * k1u) * K;
  const double M1 = 1.0 / (G[4] + k18);
  const double N1 = 1.0 / (G[3] + k33 + G[4] - M1 * (G[4] * G[4]));
  const double O1 = K2 * G[5] * M1 * G[4] * N1;
  const double P1 = 1.0 / (G[2] + k33 + G[3] - N1 * (G[3] * G[3]));
  const double Q1 = 1.0 / (k33k100_ + G[1] + G[2] - P1 * (G[2] * G[2]));
  const double O1G3P1 = O1 * G[3] * P1;
  const double R1 = (-k100 - O1G3P1 * G[2]) * Q1;
  const double X1 = (s[6] - G[5] * W + G[5] * x) * M1;
  const double Y1 = (X1 * G[4] + s[5]) * N1;
  const double Z1 = (Y1 * G[3] + s[4]) * P1;
  const double Q21 = (Z1 * G[2] + s[3] + s[2]) * Q1;
  const double A1 = (Q21 * k100 - s[2]) / (R1 * k100 + k100 + Circuit::kG100k);
  const double V2 = V - A1 * B1;
  const double F3 = A1 * F2 + V2 * I + U;

  s[0] = (F3 - (W - A1 * K2)) * twoK1u_ - s[0];
  s[1] = (V2 * h1 + aK1u_ * F3 + A1 * e1 + as1 - F3) * twoK1u_ - s[1];
  const double m1 = Q21 - A1 * R1;
  s[2] = (m1 - A1) * twoK100_ - s[2];
  s[3] = m1 * twoK33_ - s[3];
  const double m2 = O1G3P1 * A1 + P1 * G[2] * m1 + Z1;
  s[4] = m2 * twoK33_ - s[4];
  const double m3 = A1 * O1 + N1 * G[3] * m2 + Y1;
  s[5] = m3 * twoK33_ - s[5];
  s[6] = (K2 * G[5] * M1 * A1 + M1 * G[4] * m3 + X1) * twoK18_ - s[6];

  M_ = M1;
  N_ = N1;
  P_ = P1;
  lastB1_ = B1;
  lastF2_ = F2;
  haveLast_ = true;
  return V2;
}

}  // namespace Synth

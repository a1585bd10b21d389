// The plain ladder solver and decimator: every quantity computed where the solver's steps define it.
#include <cmath>
#include <cstring>

#include "plain_engine.h"
#include "synth/decimator.h"

namespace Plain {

namespace {
double T(double v) {
  const double z = (v * 19.23076923076923) * (v * 19.23076923076923);
  return (z * z + 105 * z + 945) / (15 * z * z + 420 * z + 945);
}
}  // namespace

void Ladder::prepare(double r) {
  k1u = 2 * r * 1e-6;
  k100 = 2 * r * 1e-7;
  k33 = 2 * r * 3.3e-8;
  k18 = 2 * r * 1.8e-8;
}

double Ladder::step(double x, double g, double p1, double p2) {
  const double a = 1 / (k1u + 1e-5 + p1 + p2);
  const double F = 1 / (k1u + 5e-6 - a * (k1u * k1u));
  const double h1 = a * 1e-5, h2 = a * k1u * 1e-5, I = h1 * k1u * F;
  const double J = 1 / (3.25e-5 - h1 * 1e-5 - h2 * I);
  const double K = 1 / (k1u + 6.66667e-5);
  const double e0 = G[0] * p2 * a;
  const double w = ((-G[0] * 2.5e-6 - e0 * 1e-5 - e0 * k1u * F * h2) * J * I * k1u - e0 * k1u * F * k1u) * K;
  const double M = 1 / (G[4] + k18);
  const double N = 1 / (G[3] + k33 + G[4] - M * (G[4] * G[4]));
  const double O = w * G[5] * M * G[4] * N;
  const double P = 1 / (G[2] + k33 + G[3] - N * (G[3] * G[3]));
  const double Q = 1 / (G[1] + k33 + k100 + G[2] - P * (G[2] * G[2]));
  const double R = (-k100 - O * G[3] * P * G[2]) * Q;
  const double U = (a * s[1] * k1u - s[1]) * F;
  const double V = (U * h2 + a * s[1] * 1e-5) * J;
  const double W = (U * k1u - s[0] + I * k1u * V) * K;
  const double X = (s[6] - G[5] * W + G[5] * x) * M;
  const double Y = (X * G[4] + s[5]) * N;
  const double Z = (Y * G[3] + s[4]) * P;
  const double Q2 = (Z * G[2] + s[3] + s[2]) * Q;
  const double A0 = (Q2 * k100 - s[2]) / (R * k100 + k100 + 1e-5);
  const double u1 = Q2 - A0 * R;
  const double u2 = O * G[3] * P * A0 + P * G[2] * u1 + Z;
  const double u3 = A0 * O + N * G[3] * u2 + Y;
  const double u4 = w * G[5] * M * A0 + M * G[4] * u3 + X;
  const double u5 = W - A0 * w;
  G[0] = 16.5 * T(A0);
  G[1] = g * T(u1);
  G[2] = g * T(u2 - u1);
  G[3] = g * T(u3 - u2);
  G[4] = g * T(u4 - u3);
  G[5] = g * T(x - u5);
  const double e1 = G[0] * p2 * a;
  const double F2 = e1 * k1u * F;
  const double B1 = (-G[0] * 2.5e-6 - e1 * 1e-5 - F2 * h2) * J;
  const double K2 = (I * k1u * B1 - F2 * k1u) * K;
  const double Mp = 1 / (G[4] + k18);
  const double Np = 1 / (G[3] + k33 + G[4] - Mp * (G[4] * G[4]));
  const double Op = K2 * G[5] * Mp * G[4] * Np;
  const double Pp = 1 / (G[2] + k33 + G[3] - Np * (G[3] * G[3]));
  const double Qp = 1 / (k33 + k100 + G[1] + G[2] - Pp * (G[2] * G[2]));
  const double Rp = (-k100 - Op * G[3] * Pp * G[2]) * Qp;
  const double Xp = (s[6] - G[5] * W + G[5] * x) * Mp;
  const double Yp = (Xp * G[4] + s[5]) * Np;
  const double Zp = (Yp * G[3] + s[4]) * Pp;
  const double Q2p = (Zp * G[2] + s[3] + s[2]) * Qp;
  const double A1 = (Q2p * k100 - s[2]) / (Rp * k100 + k100 + 1e-5);
  const double V2 = V - A1 * B1;
  const double F3 = A1 * F2 + V2 * I + U;
  s[0] = (F3 - (W - A1 * K2)) * 2 * k1u - s[0];
  s[1] = (V2 * h1 + a * k1u * F3 + A1 * e1 + a * s[1] - F3) * 2 * k1u - s[1];
  const double m1 = Q2p - A1 * Rp;
  s[2] = (m1 - A1) * 2 * k100 - s[2];
  s[3] = m1 * 2 * k33 - s[3];
  const double m2 = Op * G[3] * Pp * A1 + Pp * G[2] * m1 + Zp;
  s[4] = m2 * 2 * k33 - s[4];
  const double m3 = A1 * Op + Np * G[3] * m2 + Yp;
  s[5] = m3 * 2 * k33 - s[5];
  s[6] = (K2 * G[5] * Mp * A1 + Mp * G[4] * m3 + Xp) * 2 * k18 - s[6];
  return V2;
}

Decimator::Decimator() {
  double proto[160];
  Synth::designDecimationFilter(proto);
  for (int p = 0; p < 5; ++p)
    for (int k = 0; k < 32; ++k) taps[p][k] = proto[5 * k + p];
}

double Decimator::process(const double out[5]) {
  shift = shift + pending;
  pending = 1;
  std::memmove(history, history + shift, 32 * sizeof(double));
  for (uint32_t e = 32; e < 32 + shift; ++e) history[e] = 0;
  shift = 0;
  for (int j = 0; j < 5; ++j)
    for (int k = 0; k < 32; ++k) history[k] += taps[4 - j][k] * out[j];
  return history[0];
}

}  // namespace Plain

// Ladder: the two-pass solve; the second pass's results seed the next tick's first pass where they are the same.
#include "synth/ladder.h"

#include <cstring>

namespace Synth {

Ladder::Ladder() { reset(); }

void Ladder::prepare(double tickRate) {
  k1u_ = 2.0 * tickRate * Circuit::kC1u;
  k100_ = 2.0 * tickRate * Circuit::kC100n;
  k33_ = 2.0 * tickRate * Circuit::kC33n;
  k18_ = 2.0 * tickRate * Circuit::kC18n;
  // Doubling is exact, so (v * 2) * k and v * (2 k) round alike: one multiply less on the solver's chain.
  twoK1u_ = 2.0 * k1u_;
  twoK100_ = 2.0 * k100_;
  twoK33_ = 2.0 * k33_;
  twoK18_ = 2.0 * k18_;
  p1_ = p2_ = -1.0;
  refreshChain();
}

void Ladder::reset() {
  std::memset(s_, 0, sizeof s_);
  std::memset(G_, 0, sizeof G_);
  refreshChain();
}

void Ladder::refreshChain() {
  const double* G = G_;
  M_ = 1.0 / (G[4] + k18_);
  N_ = 1.0 / (G[3] + k33_ + G[4] - M_ * (G[4] * G[4]));
  P_ = 1.0 / (G[2] + k33_ + G[3] - N_ * (G[3] * G[3]));
  haveLast_ = false;
}

void Ladder::setDivider(double p1, double p2) {
  if (p1 == p1_ && p2 == p2_) return;
  p1_ = p1;
  p2_ = p2;
  const double k1u = k1u_;
  a_ = 1.0 / (k1u + Circuit::kG100k + p1 + p2);
  F_ = 1.0 / (k1u + Circuit::kG200k - a_ * (k1u * k1u));
  h1_ = a_ * Circuit::kG100k;
  h2_ = a_ * k1u * Circuit::kG100k;
  I_ = h1_ * k1u * F_;
  J_ = 1.0 / (Circuit::kG30k8 - h1_ * Circuit::kG100k - h2_ * I_);
  // These two never change with the divider, but are computed here, under the rendering's rounding mode, like
  // everything else the solver uses.
  K_ = 1.0 / (k1u + Circuit::kG15k);
  k33k100_ = k33_ + k100_;
  aK1u_ = a_ * k1u;
  iK1u_ = I_ * k1u;
  haveLast_ = false;
}

}  // namespace Synth

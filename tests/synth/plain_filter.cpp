// The plain filter section and oscillator: per sample and per tick in the defined order, nothing cached.
#include <cmath>
#include <cstring>

#include "plain_engine.h"
#include "synth/exp2_table.h"

namespace Plain {

namespace {
double exp2(double y) { return Synth::exp2Table(Synth::exp2Tables(), y); }

void setLowOrHigh(Biquad& q, double w, double alpha, bool low) {
  const double n = 1 / (1 + alpha);
  q.a1 = -2 * std::cos(w) * n;
  q.a2 = (1 - alpha) * n;
  q.b0 = q.b2 = (low ? 1 - std::cos(w) : 1 + std::cos(w)) * n / 2;
  q.b1 = low ? (1 - std::cos(w)) * n : -(1 + std::cos(w)) * n;
}

double clampFraction(double f) { return f >= 0 ? (f <= 1 ? f : 1) : (f < 0 ? 0 : 1); }
}  // namespace

double Biquad::run(double x) {
  const double z0 = x - a1 * z1 - a2 * z2;
  const double y = b0 * z0 + b1 * z1 + b2 * z2;
  z2 = z1;
  z1 = z0;
  return y;
}

void FilterSection::prepare(double rate) {
  fs = rate;
  const double T = 1 / (5 * fs);
  const double t = std::tan(50 * M_PI / fs);
  sc = (t - 1) / (t + 1);
  sb = 0.5 * std::sqrt((sc + 2) * sc + 1);
  const double w = 125663.59999999999 * T;
  setLowOrHigh(cutoffBq, w, 0.8976660981931446 * std::sin(w), true);
  setLowOrHigh(hp1, 31.4159 / fs, std::sin(31.4159 / fs), false);
  setLowOrHigh(hp2, 376.9908 / fs, std::sin(376.9908 / fs), false);
  gateFactor = std::exp(-1 / (2 * fs));
  ladder.prepare(5 * fs);
}

double FilterSection::smooth(Smoother& s, double x) {
  s.out = sb * x + sb * s.in - sc * s.out;
  s.in = x;
  return s.out;
}

double FilterSection::controlPath(const Synth::FilterControls& c, double& g, double& p1, double& p2) {
  const double as = smooth(accent, c.accent), rs = smooth(reso, c.reso), ms = smooth(envmod, c.envmod);
  const double ka = 1 - std::exp(-1 / ((2 - rs) * fs * 0.025));
  const double kr = 1 - std::exp(-1 / (fs * 0.1));
  const double E = 0.98 * rs + 0.01;
  p1 = 1 / E;
  p2 = 1 / (1 - E);
  G = G * gateFactor;
  H = H * decayFactor;
  const double J = smooth(accentEnv, c.accented ? (as + 0.125) * 0.8888888888888888 * H : 0);
  if (J > S) S = S + (J - S) * ka;
  else S = S + (J - S) * kr;
  const double cs = smooth(cutoff, c.cutoff);
  const double L = 5 * cs - 10 + 2 * J * (1 - rs) + 1.5 * S * (1 + rs) + 5 * H * (ms + 0.2) - 2 * ms;
  const double V = J * J + smooth(gateSm, G);
  const double x = exp2(L) * (11025 / fs) * M_PI;
  double y = cutoffBq.run(x);
  if (y > 0.5) y = 0.5;
  else y = cutoffBq.run(x);
  g = std::tan(y) * fs * 3.3e-7;
  return V;
}

void FilterSection::render(double* work, int32_t frames, const Synth::FilterControls& c) {
  const double tau = c.accented ? 0.1 : (double)std::pow(10.0f, (float)c.decay - 1.0f);
  decayFactor = std::exp(-1 / (tau * fs));
  if (!c.gate) G = 0;
  else if (c.retrigger) H = 1, G = 1;
  for (int32_t i = 0; i < frames; ++i) {
    double g, p1, p2;
    const double V = controlPath(c, g, p1, p2);
    double out[5];
    for (int j = 0; j < 5; ++j) out[j] = ladder.step(0.05 * work[5 * i + j], g, p1, p2);
    const double u = decimator.process(out);
    work[i] = hp2.run(hp1.run(u) * V) * 12.5;
  }
}

void Oscillator::prepare(double fs) {
  pitchScale = 440 / (5 * fs);
  glideCoef = 1 - std::exp(-1 / (0.1 * fs));
  const double tn = std::tan(10 * M_PI / fs);
  c = (tn - 1) / (tn + 1);
  g = 0.5 * std::sqrt((c + 2) * c + 1);
}

void Oscillator::addKernel(const Synth::KernelTable& table, double amplitude, double f) {
  const double q = (1 - f) * 4096;
  int32_t p = q > 0 ? (int32_t)q : 0;
  if (p >= 4096) p = 4095;
  for (int k = 0; k < 32; ++k) line[index + k] += amplitude * table[(size_t)(32 * p + k)];
}

void Oscillator::render(double* out, bool slide, bool square, double pitch, double tune, int32_t frames,
                        Synth::Random& random) {
  const double d = 1 - exp2(-pitch / 69);
  for (int32_t n = 0; n < 5 * frames; ++n) {
    const double r = (2 * random.nextRandom() - 1) * 0.05 + 1;
    const double v = g * driftIn + g * r - c * driftOut;
    driftIn = r, driftOut = v;
    const double diff = v - prevThreshold;
    const double w = (pitch - 93) / 12 + 2 * tune;
    glided = slide ? glided + (w - glided) * glideCoef : w;
    const double D = std::fmin(exp2(glided) * pitchScale, 1.0);
    phase = phase + D;
    const double h = g * shapeIn + g * d - c * shapeOut;
    shapeIn = d, shapeOut = h;
    while (phase > v) {
      const double f = clampFraction((phase - D - prevThreshold) / (diff - D));
      const double F = prevThreshold + f * diff;
      if (square) {
        addKernel(t.softStepTable(), -0.7 * (1 - h), f);
        addKernel(t.stepTable(), -0.7 * h, f);
        addKernel(t.cornerTable(), 0.5 * (1 - h) * D, f);
      } else {
        addKernel(t.stepTable(), -F, f);
      }
      phase = phase - F;
      high = false;
    }
    double e;
    if (!square) {
      e = phase - 0.5;
    } else if (high) {
      e = 0.35;
    } else {
      if (phase > v * h) {
        const double f2 = clampFraction((phase - D - prevThreshold * h) / (h * v - prevThreshold * prevShape - D));
        addKernel(t.stepTable(), 0.7 - (prevThreshold + f2 * diff) * 0.501 * (1 - h), f2);
        addKernel(t.cornerTable(), -0.5 * (1 - h) * D, f2);
        high = true;
      }
      e = high ? 0.35 : (1 - h) * phase - 0.35;
    }
    if (index >= 224) {
      std::memcpy(line, line + 224, 32 * sizeof(double));
      std::memset(line + 32, 0, 224 * sizeof(double));
      index = 0;
    }
    line[index + 16] += e;
    out[n] = line[index];
    index = index + 1;
    prevThreshold = v;
    prevShape = h;
  }
}

}  // namespace Plain

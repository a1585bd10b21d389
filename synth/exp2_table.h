// The engine's power of two: two 1024-entry tables, filled once per process, give 2^y for |y| below 16.
#pragma once

#include <cmath>
#include <cstdint>

namespace Synth {

struct Exp2Tables {
  double coarse[1024];  // 2^(k / 64)
  double fine[1024];    // 2^(k / 65536)
  Exp2Tables();
};

// The one shared instance; immutable after its first use.
const Exp2Tables& exp2Tables();

// 2^y in steps of 1/65536 octave, truncated toward zero; |y| is capped just below 16 (a NaN counts as the cap).
inline double exp2Table(const Exp2Tables& t, double y) {
  const double scaled = std::fabs(y) * 65536.0;
  const uint32_t q = scaled < 1048575.0 ? (uint32_t)scaled : 1048575u;
  const double r = t.coarse[q >> 10] * t.fine[q & 1023u];
  return y < 0.0 ? 1.0 / r : r;
}

}  // namespace Synth

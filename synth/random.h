// The engine's cheap chaotic random source: a counter, a value in [0, 1) and a step, all zero at first.
#pragma once

#include <xmmintrin.h>

#include <cmath>
#include <cstdint>

namespace Synth {

// The SSE rounding mode, which the engine's doubles obey on every target, is round toward zero.
inline bool roundsTowardZero() { return (_mm_getcsr() & 0x6000u) == 0x6000u; }

class Random {
 public:
  // One step: every 4096 steps the step size restarts from a new seed, so the sequence never settles.
  double nextRandom() {
    ++randomCount;
    if (randomCount % 4096 == 0) randomStep = 1.0 / (double)(((randomCount / 4096) % 4096) + 2);
    randomStep = randomValue + randomStep;
    // y is never negative (value and step are not), so truncation is the floor: one conversion, no library call.
    double y = randomValue * randomStep + 0.5;
    randomValue = y - (double)(int64_t)y;
    return randomValue;
  }

  // The generator's state on its own, to be stepped in registers through a long run and stored back: the same
  // sequence as nextRandom, to the bit, with a shorter chain from one value to the next, provided that the caller
  // computes in round toward zero (roundsTowardZero), as the engine does.
  struct State {
    uint32_t count;
    double value, step;
    double nextRandom() {
      ++count;
      if (count % 4096 == 0) step = 1.0 / (double)(((count / 4096) % 4096) + 2);
      step = value + step;
      const double y = value * step + 0.5;  // in [0.5, 4097]
      // Added to 2^52 and rounded toward zero, y keeps only its whole part: floor(y), in two additions, which are
      // faster than the conversion to an integer and back. (Rounded to nearest it could be one more.)
      const double whole = (y + 0x1p52) - 0x1p52;
      value = y - whole;
      return value;
    }
  };
  State state() const { return {randomCount, randomValue, randomStep}; }
  void setState(const State& s) {
    randomCount = s.count;
    randomValue = s.value;
    randomStep = s.step;
  }

 protected:
  uint32_t randomCount = 0;
  double randomValue = 0.0;
  double randomStep = 0.0;
};

}  // namespace Synth

// The engine's cheap chaotic random source: a counter, a value in [0, 1) and a step, all zero at first.
#pragma once

#include <cmath>
#include <cstdint>

namespace Synth {

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
  // sequence as nextRandom, to the bit, with a shorter chain from one value to the next.
  struct State {
    uint32_t count;
    double value, step;
    double nextRandom() {
      ++count;
      if (count % 4096 == 0) step = 1.0 / (double)(((count / 4096) % 4096) + 2);
      step = value + step;
      const double y = value * step + 0.5;  // in [0.5, 4097]
      // Added to 2^52, y keeps only its whole part; rounded down (the engine rounds toward zero) that is floor(y),
      // rounded up one more, which the comparison takes back. Exact in every rounding mode, and faster than the
      // conversion to an integer and back.
      double whole = (y + 0x1p52) - 0x1p52;
      if (whole > y) whole -= 1.0;
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

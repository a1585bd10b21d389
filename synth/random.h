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

 protected:
  uint32_t randomCount = 0;
  double randomValue = 0.0;
  double randomStep = 0.0;
};

}  // namespace Synth

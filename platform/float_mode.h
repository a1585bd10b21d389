// The processor's floating-point mode for one block of the engine, set and restored by a scope object.
#pragma once

namespace Platform {

// While alive: all exceptions masked, flush-to-zero and denormals-are-zero on, rounding toward zero, so decaying
// states never fall into slow denormal arithmetic and every machine computes the same numbers. On leaving, the
// caller's mode comes back with the exception flags the block raised cleared.
class EngineFloatMode {
 public:
  EngineFloatMode();
  ~EngineFloatMode();
  EngineFloatMode(const EngineFloatMode&) = delete;
  EngineFloatMode& operator=(const EngineFloatMode&) = delete;

 private:
  unsigned saved_;
};

}  // namespace Platform

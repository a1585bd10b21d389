// Small shared types of the plug-in core: transport record, the cook and notify interfaces, controller keys.
#pragma once

#include <cstdint>

namespace PlugCore {

// Handed to the engine with every sub-block.
struct TransportInfo {
  double tempo;           // beats per minute
  double ppqPosition;     // at the start of the sub-block
  double beatsPerSample;  // tempo / (sample rate * 60)
  double sampleRate;
  double samplePosition;  // at the start of the sub-block
  double seconds;         // samplePosition / sample rate
};

// The engine's say in whether a parameter change matters to it.
class IParamCook {
 public:
  virtual bool cook(int32_t index, float value) = 0;

 protected:
  ~IParamCook() = default;
};

// What the editor object offers the core.
class IParamNotify {
 public:
  // false: the editor is busy, ask again on a later pass.
  virtual bool paramChanged(int32_t index, float value) = 0;
  virtual bool postVisuals(const void* data) = 0;
  virtual void learnChanged(int32_t index) = 0;

 protected:
  ~IParamNotify() = default;
};

// A learnt MIDI controller: a 16-bit number with 0xB0 in the high byte and the controller number in the low
// byte, kept sign-extended in 32 bits (as a chunk stores it); -1 for none.
constexpr int32_t kNoController = -1;
constexpr int32_t controllerKeyFor(int controller) { return (int32_t)(int16_t)(0xB000 | (controller & 0x7F)); }

}  // namespace PlugCore

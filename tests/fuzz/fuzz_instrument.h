// The instrument as a host holds it for the fuzz targets: made by VSTPluginMain, driven only through its dispatcher.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/fuzz/fuzz_require.h"
#include "vst/aeffect.h"

namespace FuzzRig {

using Bytes = std::vector<uint8_t>;

class FuzzInstrument {
 public:
  static constexpr float kSampleRate = 44100.0f;
  static constexpr int32_t kBlock = 128;

  // Message boxes answer through a seam (no box ever waits for a person), the defaults file is never found, and
  // the instrument is opened, given a rate and block size and resumed.
  FuzzInstrument();
  ~FuzzInstrument();
  FuzzInstrument(const FuzzInstrument&) = delete;
  FuzzInstrument& operator=(const FuzzInstrument&) = delete;

  AEffect* effect() const { return effect_; }
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0);

  // The answer the next product-name question gets (Yes when true).
  static void answerQuestions(bool yes);

  Bytes getChunk(bool preset);
  // The bytes go in as a host hands them: a buffer of exactly that size that the host owns.
  void setChunk(const Bytes& chunk, bool preset);

  // Plays a note from the first frame and renders one block of float output, as processReplacing gives it.
  void playBlock(int32_t note, int32_t velocity, std::vector<float>& left, std::vector<float>& right);

  // What the host was told since the last call: automation calls, and display updates.
  static int takeAutomations();
  static int takeDisplayUpdates();

 private:
  AEffect* effect_ = nullptr;
};

}  // namespace FuzzRig

// libFuzzer target: any bytes a project file may hand back, loaded as the host's state chunk through the dispatcher.
// The first byte chooses how: bit 0 loads as a preset (else a bank), bit 1 answers Yes to the question about a
// chunk of another product, bits 2-6 pick the note and bit 7 plays it accented. The rest is the chunk.
// After the load the instrument must still be sound: parameters in [0, 1], texts within the host's limits, a
// finite and bounded note with the same signal on both channels, and its own chunks reload to the same bytes.
#include <cmath>
#include <cstring>
#include <memory>

#include "tests/fuzz/fuzz_instrument.h"

namespace {

using FuzzRig::Bytes;
using FuzzRig::FuzzInstrument;
using FuzzRig::require;

// The bound the engine keeps at every corner of its parameters; a runaway filter or a wild value passes it at once.
constexpr float kPeakBound = 8.0f;

// A text query into a buffer of exactly the size the host's limit allows, so a longer write is an overflow.
void requireText(FuzzInstrument& plug, int32_t opcode, int32_t index, size_t limit, const char* property) {
  std::unique_ptr<char[]> text(new char[limit]);
  std::memset(text.get(), 0, limit);
  plug.dispatch(opcode, index, 0, text.get());
  require(strnlen(text.get(), limit) < limit, property);
}

void requireSoundState(FuzzInstrument& plug) {
  AEffect* e = plug.effect();
  for (int32_t i = 0; i < e->numParams; ++i) {
    const float value = e->getParameter(e, i);
    require(value >= 0.0f && value <= 1.0f, "every parameter lies in [0, 1]");
    requireText(plug, effGetParamDisplay, i, kVstMaxParamStrLen, "a display text has at most 7 characters");
    requireText(plug, effGetParamName, i, kVstMaxParamStrLen, "a parameter name has at most 7 characters");
    requireText(plug, effGetParamLabel, i, kVstMaxParamStrLen, "a parameter label has at most 7 characters");
  }
  const intptr_t current = plug.dispatch(effGetProgram);
  require(current >= 0 && current < e->numPrograms, "the current program is one of the programs");
  requireText(plug, effGetProgramName, 0, kVstMaxProgNameLen, "a program name has at most 23 characters");
  for (int32_t p = 0; p < e->numPrograms; ++p)
    requireText(plug, effGetProgramNameIndexed, p, kVstMaxProgNameLen, "a program name has at most 23 characters");
}

void requireSoundNote(FuzzInstrument& plug, int32_t note, int32_t velocity) {
  std::vector<float> left, right;
  plug.playBlock(note, velocity, left, right);
  for (size_t i = 0; i < left.size(); ++i) {
    require(std::isfinite(left[i]) && std::fabs(left[i]) <= kPeakBound, "every sample is finite and bounded");
    require(std::memcmp(&left[i], &right[i], sizeof(float)) == 0, "both channels carry the same signal");
  }
}

void requireRoundTrip(FuzzInstrument& plug, bool preset) {
  const Bytes first = plug.getChunk(preset);
  plug.setChunk(first, preset);
  require(plug.getChunk(preset) == first, "a chunk set back gives the same bytes again");
}

// The state every input starts from: the instrument as made, with every controller binding cleared (a binding
// record for key -1 unbinds its parameter), so one input never depends on the ones before it.
Bytes startingState(FuzzInstrument& plug) {
  Bytes bank = plug.getChunk(false);
  for (int32_t i = 0; i < plug.effect()->numParams; ++i) bank.insert(bank.end(), {1, (uint8_t)i, 0xFF, 0xFF});
  return bank;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInstrument& plug = *new FuzzInstrument;  // one instance: making one copies megabytes of tables
  static const Bytes start = startingState(plug);
  if (size == 0) return 0;
  const uint8_t mode = data[0];

  FuzzInstrument::answerQuestions(true);
  plug.dispatch(effMainsChanged, 0, 0);
  plug.setChunk(start, false);
  plug.dispatch(effMainsChanged, 0, 1);  // the voice and filters start from rest

  FuzzInstrument::answerQuestions(mode & 2);
  plug.setChunk(Bytes(data + 1, data + size), mode & 1);
  requireSoundState(plug);
  requireSoundNote(plug, 36 + ((mode >> 2) & 31), (mode & 0x80) ? 127 : 90);
  requireSoundState(plug);
  requireRoundTrip(plug, false);
  requireRoundTrip(plug, true);
  return 0;
}

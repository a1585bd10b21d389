// libFuzzer target: any bytes a project file may hand back, loaded as the host's state chunk through the dispatcher.
// The first byte chooses how: bit 0 loads as a preset (else a bank), bit 1 answers Yes to the question about a
// chunk of another product, bits 2-6 pick the note and bit 7 plays it accented. The rest is the chunk.
// After the load the instrument must still be sound: parameters in [0, 1], texts within the host's limits, a
// finite and bounded note with the same signal on both channels, and its own chunks reload to the same bytes. The
// load itself must leave exactly the learnt controllers the chunk holds, and tell the host nothing but (at most
// once) to redisplay.
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "plugcore/chunk_codec.h"

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

// The state every input starts from: the instrument as made, with a learnt controller on every parameter (20 and
// up), so one input never depends on the ones before it and a chunk without bindings has something to clear.
Bytes startingState(FuzzInstrument& plug) {
  Bytes bank = plug.getChunk(false);
  for (int32_t i = 0; i < plug.effect()->numParams; ++i)
    bank.insert(bank.end(), {1, (uint8_t)i, (uint8_t)(20 + i), 0xB0});
  return bank;
}

// The learnt controllers a chunk holds or the instrument saves: (parameter, 16-bit key) in parameter order.
using Mappings = std::vector<std::pair<int, uint16_t>>;
Mappings savedMappings(FuzzInstrument& plug) {
  Mappings saved;
  const Bytes preset = plug.getChunk(true);
  for (const PlugCore::ChunkRecord& r : PlugCore::readChunk(preset.data(), preset.size()).records)
    if (r.tag == PlugCore::ChunkTag::Controller) saved.emplace_back(r.index, r.number);
  return saved;
}

// What a load must leave: when any record of the chunk applies (up to a problem, or up to another product's record
// that is declined), exactly the bindings it holds, each controller on the last parameter it was given; when none
// applies, what was there before.
Mappings expectedMappings(const Bytes& chunk, bool answerYes, int32_t params, const Mappings& before) {
  const PlugCore::ChunkReading reading = PlugCore::readChunk(chunk.data(), chunk.size());
  std::vector<int32_t> keys((size_t)params, -1);
  size_t applied = 0;
  for (const PlugCore::ChunkRecord& r : reading.records) {
    if (r.tag == PlugCore::ChunkTag::Product && !answerYes) {
      char product[32] = {};
      std::memcpy(product, r.text, 31);
      if (std::strncmp(product, "Koralin", 31) != 0) break;  // declined: nothing from here on
    }
    ++applied;
    if (r.tag != PlugCore::ChunkTag::Controller || r.index >= params) continue;
    const int32_t key = (int16_t)r.number;
    for (int32_t& k : keys)
      if (k == key) k = -1;
    keys[r.index] = key;
  }
  if (applied == 0) return before;
  Mappings expected;
  for (int32_t i = 0; i < params; ++i)
    if (keys[(size_t)i] != -1) expected.emplace_back(i, (uint16_t)keys[(size_t)i]);
  return expected;
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
  const Mappings before = savedMappings(plug);
  FuzzInstrument::takeAutomations();
  FuzzInstrument::takeDisplayUpdates();

  const Bytes chunk(data + 1, data + size);
  FuzzInstrument::answerQuestions(mode & 2);
  plug.setChunk(chunk, mode & 1);
  require(FuzzInstrument::takeAutomations() == 0, "a load sends the host no automation");
  require(FuzzInstrument::takeDisplayUpdates() <= 1, "a load asks the host for one display update at most");
  require(savedMappings(plug) == expectedMappings(chunk, mode & 2, plug.effect()->numParams, before),
          "a load leaves exactly the learnt controllers it holds");
  requireSoundState(plug);
  requireSoundNote(plug, 36 + ((mode >> 2) & 31), (mode & 0x80) ? 127 : 90);
  requireSoundState(plug);
  requireRoundTrip(plug, false);
  requireRoundTrip(plug, true);
  return 0;
}

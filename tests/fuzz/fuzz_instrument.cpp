// The fuzz targets' host: a silent callback, the message-box seam and the few dispatcher calls they make.
#include "tests/fuzz/fuzz_instrument.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/dialogs.h"

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback host);

namespace FuzzRig {
namespace {

bool g_answer = false;
int g_automations = 0;
int g_displayUpdates = 0;

bool answerBox(Platform::BoxKind kind, const char*, const char*) {
  return (kind == Platform::BoxKind::YesNo || kind == Platform::BoxKind::OkCancel) && g_answer;
}

// A host with no transport that counts automation and display updates.
intptr_t VSTCALLBACK silentHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  if (opcode == audioMasterAutomate) ++g_automations;
  if (opcode == audioMasterUpdateDisplay) ++g_displayUpdates;
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

}  // namespace

FuzzInstrument::FuzzInstrument() {
  Platform::setMessageBoxSeam(answerBox);
  // A folder that cannot exist: the user's own defaults file never colours the runs.
  setenv("XDG_CONFIG_HOME", "/nonexistent/koralin-fuzz", 1);
  effect_ = VSTPluginMain(silentHost);
  require(effect_ && effect_->magic == kEffectMagic, "the entry point makes the instrument");
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, kSampleRate);
  dispatch(effSetBlockSize, 0, kBlock);
  dispatch(effMainsChanged, 0, 1);
}

FuzzInstrument::~FuzzInstrument() {
  dispatch(effMainsChanged, 0, 0);
  dispatch(effClose);
}

intptr_t FuzzInstrument::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void FuzzInstrument::answerQuestions(bool yes) { g_answer = yes; }

int FuzzInstrument::takeAutomations() { return std::exchange(g_automations, 0); }
int FuzzInstrument::takeDisplayUpdates() { return std::exchange(g_displayUpdates, 0); }

Bytes FuzzInstrument::getChunk(bool preset) {
  void* data = nullptr;
  const intptr_t size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
  require(data != nullptr && size >= 8, "getChunk hands out at least a header");
  const auto* bytes = static_cast<const uint8_t*>(data);
  return Bytes(bytes, bytes + size);
}

void FuzzInstrument::setChunk(const Bytes& chunk, bool preset) {
  // Exactly the chunk's size, so reading one byte past it is caught; no bytes still get a pointer of their own.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[chunk.size()]);
  std::copy(chunk.begin(), chunk.end(), copy.get());
  require(dispatch(effSetChunk, preset ? 1 : 0, (intptr_t)chunk.size(), copy.get()) == 0,
          "setChunk answers 0 whatever it was given");
}

void FuzzInstrument::playBlock(int32_t note, int32_t velocity, std::vector<float>& left, std::vector<float>& right) {
  VstMidiEvent on{};
  on.type = kVstMidiType;
  on.byteSize = sizeof(VstMidiEvent);
  on.midiData[0] = (char)0x90;
  on.midiData[1] = (char)note;
  on.midiData[2] = (char)velocity;
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&on);
  dispatch(effProcessEvents, 0, 0, &events);
  left.assign(kBlock, 0.0f);
  right.assign(kBlock, 0.0f);
  float* outputs[2] = {left.data(), right.data()};
  effect_->processReplacing(effect_, nullptr, outputs, kBlock);
}

}  // namespace FuzzRig

// Plug: construction, identity answers, pins, and the suspend/resume lifecycle.
#include "plugcore/plug.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/system.h"
#include "plugcore/embedder.h"

namespace PlugCore {
namespace {

// The default unique ID: h = h * 33 + byte, from 5381, wrapping at 32 bits.
int32_t nameHash(const char* name) {
  uint32_t h = 5381;
  for (const unsigned char* p = (const unsigned char*)name; *p; ++p) h = h * 33u + *p;
  return (int32_t)h;
}

void copyText(char* out, const char* text, size_t capacity) { std::snprintf(out, capacity, "%s", text ? text : ""); }

}  // namespace

Plug::Plug(audioMasterCallback hostCallback, int32_t programCount, int32_t parameterCount, const char* name,
           int32_t inputPairs)
    : AudioEffectX(hostCallback, programCount, parameterCount),
      name_(name),
      inputPairs_(inputPairs),
      processLock_(1, 2147483647),
      params_(parameterCount),
      productDefaults_((size_t)std::max<int32_t>(parameterCount, 0), 0.0f) {
  setUniqueID(nameHash(name));
  canProcessReplacing(true);
  programsAreChunks(true);
  canDoubleReplacing(true);
  setNumInputs(2 * inputPairs_);
  setNumOutputs(2 * outputPairs_);

  programs_.resize((size_t)(programCount > 0 ? programCount : 0));
  for (size_t i = 0; i < programs_.size(); ++i) {
    std::snprintf(programs_[i].name, sizeof(programs_[i].name), "Init %d", (int)i + 1);
    programs_[i].values.resize((size_t)params_.count());
    storeCurrentIntoProgram((int32_t)i);
  }

  inputChannels_.assign((size_t)(2 * inputPairs_), nullptr);
  inputViews_.assign((size_t)(2 * inputPairs_), nullptr);
  outputChannels_.assign((size_t)(2 * outputPairs_), nullptr);
  outputViews_.assign((size_t)(2 * outputPairs_), nullptr);
  hostOutputs_.assign((size_t)(2 * outputPairs_), nullptr);
  std::memset(pendingRelease_, -1, sizeof(pendingRelease_));
}

Plug::~Plug() {
  if (locked_) processLock_.release();
}

bool Plug::configValid() const {
  return sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate && blockSize >= 1 && blockSize <= kMaxBlockSize;
}

void Plug::allocateBuffers(int32_t frames) {
  size_t channels = inputChannels_.size() + outputChannels_.size();
  doubleBlock_.assign((size_t)frames * channels, 0.0);
  doubleBlockFrames_ = frames;
  for (size_t c = 0; c < inputChannels_.size(); ++c) inputChannels_[c] = doubleBlock_.data() + c * (size_t)frames;
  for (size_t c = 0; c < outputChannels_.size(); ++c)
    outputChannels_[c] = doubleBlock_.data() + (inputChannels_.size() + c) * (size_t)frames;
}

// Only recorded: the buffers the audio thread may be using right now are remade by the next resume. An absurd
// size is kept only as a reason not to render.
void Plug::setBlockSize(int32_t newSize) {
  AudioEffectX::setBlockSize(newSize);
  needsPrepare_ = true;
}

void Plug::setSampleRate(float newRate) {
  AudioEffectX::setSampleRate(newRate);
  needsPrepare_ = true;
}

void Plug::suspend() {
  // Hosts scanning plug-ins suspend without a resume first: only release what this object holds.
  if (locked_) processLock_.release();
  locked_ = false;
  clearEvents();  // the host may free what it sent before suspending
}

void Plug::resume() {
  if (!locked_) {
    processLock_.wait();
    locked_ = true;
  }
  clearEvents();
  if (needsPrepare_ && configValid()) {
    if (doubleBlockFrames_ != blockSize) allocateBuffers(blockSize);
    preparedFrames_ = blockSize;
    preparedRate_ = sampleRate;
    prepare();
    needsPrepare_ = false;
  }
  params_.markUncooked();
  reset();
  setInitialDelay(getLatency());
  ppqPosition_ = 0.0;
  samplePosition_ = 0.0;
}

bool Plug::getEffectName(char* text) {
  copyText(text, name_, kVstMaxEffectNameLen);
  return true;
}

bool Plug::getVendorString(char* text) {
  copyText(text, "Quillmarsh", kVstMaxVendorStrLen);
  return true;
}

bool Plug::getProductString(char* text) {
  std::snprintf(text, kVstMaxProductStrLen, "Quillmarsh %s", name_);
  return true;
}

int32_t Plug::canDo(char* text) {
  if (!text) return 0;
  static const char* const kAnswers[] = {"receiveVstMidiEvent", "receiveVstEvents", "receiveVstTimeInfo"};
  for (const char* answer : kAnswers)
    if (std::strcmp(text, answer) == 0) return 1;
  return 0;
}

const char* Plug::getInputPairName(int32_t) { return "Main"; }
const char* Plug::getOutputPairName(int32_t) { return "Main"; }

static bool pinProperties(int32_t index, int32_t pairs, const char* pairName, VstPinProperties* properties) {
  if (index < 0 || index / 2 >= pairs || !properties) return false;
  std::memset(properties, 0, sizeof(*properties));
  std::snprintf(properties->label, sizeof(properties->label), "%s %s", pairName, (index % 2 == 0) ? "L" : "R");
  properties->flags = kVstPinIsActive | kVstPinIsStereo;
  return true;
}

bool Plug::getInputProperties(int32_t index, VstPinProperties* properties) {
  return index >= 0 && pinProperties(index, inputPairs_, getInputPairName(index / 2), properties);
}

bool Plug::getOutputProperties(int32_t index, VstPinProperties* properties) {
  return index >= 0 && pinProperties(index, outputPairs_, getOutputPairName(index / 2), properties);
}

intptr_t Plug::vendorSpecific(int32_t index, intptr_t value, void*, float opt) {
  // "stCA" and "Whee" as big-endian numbers: the host forwards a mouse-wheel turn over the editor.
  if (index == 0x73744341 && value == 0x57686565) {
    Platform::forwardMouseWheel(opt);
    return 1;
  }
  if (index == kEmbedderQuestion && value == kLoadFactoryState) {
    loadFactoryState();
    return 1;
  }
  if (index == kEmbedderQuestion && value == kEditorScale) return editor && editor->setHostScale(opt) ? 1 : 0;
  return 0;
}

bool Plug::cook(int32_t, float) { return true; }

namespace {

// Dispatcher calls that hosts make on their audio thread, or around it, and the one after which nothing is left to
// call back: the host hears of display changes at any other call.
bool mayCallHostAfter(int32_t opcode) {
  switch (opcode) {
    case effProcessEvents:
    case effStartProcess:
    case effStopProcess:
    case effSetProcessPrecision:
    case effMainsChanged:
    case effClose: return false;
    default: return true;
  }
}

}  // namespace

intptr_t Plug::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  const intptr_t result = AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
  if (mayCallHostAfter(opcode) && displayChanged_.exchange(false)) updateDisplay();
  return result;
}

}  // namespace PlugCore

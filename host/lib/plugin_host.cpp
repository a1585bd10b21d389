// The host library: module loading, the host callback, events and processing calls.
#include "host/lib/plugin_host.h"

#include <cstring>

#include "host/lib/module_loader.h"

namespace Host {
namespace {

thread_local PluginHost* g_loading = nullptr;

intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
  PluginHost* host = effect && effect->resvd1 ? reinterpret_cast<PluginHost*>(effect->resvd1) : g_loading;
  if (!host) return opcode == audioMasterVersion ? kVstVersion : 0;
  return host->callback(effect, opcode, index, value, ptr, opt);
}

using EntryProc = AEffect*(VSTCALLBACK*)(audioMasterCallback);

}  // namespace

PluginHost::PluginHost(const std::string& modulePath) {
  std::string error;
  module_ = loadModule(modulePath, error);
  if (!module_) throw LoadError("cannot load " + modulePath + ": " + error);
  auto entry = reinterpret_cast<EntryProc>(symbol("VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<EntryProc>(symbol("main"));
  if (!entry) {
    unloadModule(module_);
    throw LoadError(modulePath + " has no VST 2.4 entry point (VSTPluginMain or main)");
  }
  g_loading = this;
  effect_ = entry(hostCallback);
  g_loading = nullptr;
  if (!effect_ || effect_->magic != kEffectMagic) {
    unloadModule(module_);
    throw LoadError(modulePath + ": the entry point made no plug-in");
  }
  effect_->resvd1 = reinterpret_cast<intptr_t>(this);
}

PluginHost::~PluginHost() {
  if (effect_) dispatch(effClose);
  unloadModule(module_);
}

void* PluginHost::symbol(const char* name) const { return moduleSymbol(module_, name); }

intptr_t PluginHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginHost::start(float sampleRate, int32_t blockSize) {
  sampleRate_ = sampleRate;
  blockSize_ = blockSize;
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  dispatch(effSetBlockSize, 0, blockSize);
  resume();
}

std::string PluginHost::text(int32_t opcode, int32_t index) {
  char buffer[256];
  std::memset(buffer, 0, sizeof(buffer));
  dispatch(opcode, index, 0, buffer);
  buffer[sizeof(buffer) - 1] = 0;
  return buffer;
}

int32_t PluginHost::findParam(const std::string& name) {
  for (int32_t i = 0; i < effect_->numParams; ++i)
    if (paramName(i) == name) return i;
  return -1;
}

void PluginHost::sendMidi(const std::vector<MidiMessage>& messages) {
  midi_.assign(messages.size(), VstMidiEvent{});
  for (size_t i = 0; i < messages.size(); ++i) {
    VstMidiEvent& e = midi_[i];
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = messages[i].deltaFrames;
    e.midiData[0] = (char)messages[i].status;
    e.midiData[1] = (char)messages[i].data1;
    e.midiData[2] = (char)messages[i].data2;
  }
  size_t bytes = offsetof(VstEvents, events) + sizeof(VstEvent*) * (messages.size() + 2);
  eventsBlock_.assign(bytes, 0);
  auto* events = reinterpret_cast<VstEvents*>(eventsBlock_.data());
  events->numEvents = (int32_t)messages.size();
  for (size_t i = 0; i < messages.size(); ++i) events->events[i] = reinterpret_cast<VstEvent*>(&midi_[i]);
  dispatch(effProcessEvents, 0, 0, events);
}

void PluginHost::processReplacing(float** inputs, float** outputs, int32_t frames) {
  effect_->processReplacing(effect_, inputs, outputs, frames);
}

void PluginHost::processDouble(double** inputs, double** outputs, int32_t frames) {
  effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
}

void PluginHost::renderFloat(std::vector<float>& left, std::vector<float>& right, int32_t frames) {
  left.assign((size_t)frames, 0.0f);
  right.assign((size_t)frames, 0.0f);
  float* outputs[2] = {left.data(), right.data()};
  std::vector<float> silence((size_t)frames, 0.0f);
  float* inputs[8] = {silence.data(), silence.data(), silence.data(), silence.data(),
                      silence.data(), silence.data(), silence.data(), silence.data()};
  processReplacing(inputs, outputs, frames);
}

std::vector<uint8_t> PluginHost::getChunk(bool preset) {
  void* data = nullptr;
  intptr_t size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
  if (!data || size <= 0) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

void PluginHost::setChunk(const std::vector<uint8_t>& data, bool preset) {
  std::vector<uint8_t> copy = data;  // the plug-in may keep no pointer into the host's buffer
  dispatch(effSetChunk, preset ? 1 : 0, (intptr_t)copy.size(), copy.data());
}

void PluginHost::setTimeInfo(const VstTimeInfo* info) {
  haveTime_ = info != nullptr;
  if (info) time_ = *info;
}

intptr_t PluginHost::callback(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  (void)ptr;
  ++callbacks;
  switch (opcode) {
    case audioMasterVersion: return hostVersion_;
    case audioMasterAutomate: automated.emplace_back(index, opt); return 0;
    case audioMasterGetTime:
      ++timeQueries;
      lastTimeFilter = (int32_t)value;
      return haveTime_ ? reinterpret_cast<intptr_t>(&time_) : 0;
    case audioMasterUpdateDisplay: ++updateDisplayCalls; return 1;
    case audioMasterGetCurrentProcessLevel: ++processLevelQueries; return 0;
    case audioMasterBeginEdit: ++beginEditCalls; return 1;
    case audioMasterEndEdit: ++endEditCalls; return 1;
    case audioMasterGetSampleRate: return (intptr_t)sampleRate_;
    case audioMasterGetBlockSize: return blockSize_;
    case audioMasterCurrentId: return 0;
    default: return 0;
  }
}

}  // namespace Host

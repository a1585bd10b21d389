// The sequence tests' host: loading, the callback and its counts, event lists, processing and chunks.
#include "sequence_host.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugcore/chunk_codec.h"

namespace HostSeq {
namespace {

thread_local Instance* g_constructing = nullptr;
thread_local bool g_audioThread = false;

intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
  Instance* host = effect && effect->resvd1 ? reinterpret_cast<Instance*>(effect->resvd1) : g_constructing;
  if (!host) return opcode == audioMasterVersion ? kVstVersion : 0;
  return host->callback(opcode, index, value, ptr, opt);
}

}  // namespace

EntryProc moduleEntry() {
  static void* const module = dlopen(KORALIN_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "cannot load %s: %s\n", KORALIN_MODULE, dlerror());
    std::abort();
  }
  return reinterpret_cast<EntryProc>(dlsym(module, "VSTPluginMain"));
}

void markAudioThread(bool audio) { g_audioThread = audio; }

EventList::EventList(const std::vector<Midi>& messages) : midi_(messages.size()) {
  for (size_t i = 0; i < messages.size(); ++i) {
    VstMidiEvent& e = midi_[i];
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = messages[i].deltaFrames;
    e.midiData[0] = (char)messages[i].status;
    e.midiData[1] = (char)messages[i].data1;
    e.midiData[2] = (char)messages[i].data2;
  }
  // The record declares two pointers; the host's list runs on for as many as it holds.
  block_.assign(sizeof(VstEvents) + sizeof(VstEvent*) * messages.size(), 0);
  auto* events = get();
  events->numEvents = (int32_t)messages.size();
  auto** slots = reinterpret_cast<VstEvent**>(block_.data() + offsetof(VstEvents, events));
  for (size_t i = 0; i < midi_.size(); ++i) slots[i] = reinterpret_cast<VstEvent*>(&midi_[i]);
}

Instance::Instance(EntryProc entry) {
  g_constructing = this;
  effect_ = entry ? entry(hostCallback) : nullptr;
  g_constructing = nullptr;
  constructing_ = false;
  if (!effect_) {
    std::fprintf(stderr, "the entry point made no plug-in\n");
    std::abort();
  }
  effect_->resvd1 = reinterpret_cast<intptr_t>(this);
}

Instance::~Instance() { dispatch(effClose); }

intptr_t Instance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Instance::start(float rate, int32_t block) {
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, rate);
  dispatch(effSetBlockSize, 0, block);
  dispatch(effMainsChanged, 0, 1);
}

void Instance::send(const std::vector<Midi>& messages) {
  EventList list(messages);
  dispatch(effProcessEvents, 0, 0, list.get());
}

void Instance::render(std::vector<float>& left, std::vector<float>& right, int32_t frames) {
  left.assign((size_t)frames, 0.0f);
  right.assign((size_t)frames, 0.0f);
  float* outputs[2] = {left.data(), right.data()};
  effect_->processReplacing(effect_, nullptr, outputs, frames);
}

std::vector<uint8_t> Instance::chunk(bool preset) {
  void* data = nullptr;
  const intptr_t size = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
  if (!data || size <= 0) return {};
  return std::vector<uint8_t>((uint8_t*)data, (uint8_t*)data + size);
}

void Instance::load(const std::vector<uint8_t>& chunk, bool preset) {
  std::vector<uint8_t> copy = chunk;  // the host's buffer, freed after the call
  dispatch(effSetChunk, preset ? 1 : 0, (intptr_t)copy.size(), copy.data());
}

intptr_t Instance::callback(int32_t opcode, int32_t, intptr_t, void*, float) {
  if (opcode >= 0 && opcode < (int32_t)calls.size()) ++(constructing_ ? constructionCalls : calls)[(size_t)opcode];
  if (g_audioThread && opcode != audioMasterGetTime && opcode != audioMasterGetCurrentProcessLevel) ++audioThreadCalls;
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterGetCurrentProcessLevel: return g_audioThread ? 2 : 1;  // realtime, or the user interface
    case audioMasterUpdateDisplay:
      if (onUpdateDisplay) onUpdateDisplay(*this);
      return 1;
    default: return 0;  // no time info: the plug-in keeps its own clock
  }
}

std::vector<std::pair<int, int>> mappingsIn(const std::vector<uint8_t>& chunk) {
  std::vector<std::pair<int, int>> mappings;
  for (const PlugCore::ChunkRecord& record : PlugCore::readChunk(chunk.data(), chunk.size()).records)
    if (record.tag == PlugCore::ChunkTag::Controller) mappings.emplace_back(record.index, record.number);
  return mappings;
}

}  // namespace HostSeq

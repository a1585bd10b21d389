// Embed::Instance: making and closing the instrument, activation, the block, programs, state and the editor.
#include "plugin/embed/instance.h"

#include <algorithm>
#include <cstring>

#include "plugcore/chunk_codec.h"
#include "plugcore/embedder.h"
#include "plugcore/factory.h"
#include "plugcore/param_table.h"
#include "plugcore/plug.h"

namespace Embed {
namespace {

// Whether a chunk names another product than ours in its product record.
bool foreignChunk(const PlugCore::ChunkReading& reading, const char* product) {
  for (const PlugCore::ChunkRecord& record : reading.records) {
    if (record.tag != PlugCore::ChunkTag::Product) continue;
    char name[PlugCore::kChunkProductBytes + 1] = {};
    std::memcpy(name, record.text, PlugCore::kChunkProductBytes);
    if (std::strncmp(name, product, PlugCore::kChunkProductBytes) != 0) return true;
  }
  return false;
}

}  // namespace

Instance::Instance(const char* hostProduct, Listener* listener)
    : hostProduct_(hostProduct ? hostProduct : "Koralin"), listener_(listener) {}

std::unique_ptr<Instance> Instance::create(const char* hostProduct, Listener* listener) {
  return create(hostProduct, listener, StartOptions{});
}

std::unique_ptr<Instance> Instance::create(const char* hostProduct, Listener* listener, const StartOptions& options) {
  std::unique_ptr<Instance> instance(new Instance(hostProduct, listener));
  Instance* outer = swapMaking(instance.get());  // pluginEntry lets no exception out
  instance->effect_ = PlugCore::pluginEntry(&Instance::hostCallback);
  swapMaking(outer);
  AEffect* effect = instance->effect_;
  if (!effect) return nullptr;
  effect->resvd1 = reinterpret_cast<intptr_t>(instance.get());  // the host's own field: routes every later call
  instance->constructing_ = false;
  // The stand-by object of a processor without SSE2 is not the instrument the bindings describe.
  if (effect->numParams != KoralinParams::kCount || !(effect->flags & effFlagsIsSynth)) {
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    instance->effect_ = nullptr;
    return nullptr;
  }
  instance->dispatch(effOpen);
  if (!options.userDefaults)
    instance->dispatch(effVendorSpecific, PlugCore::kEmbedderQuestion, PlugCore::kLoadFactoryState);
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) instance->shadow_[i] = instance->parameter(i);
  return instance;
}

Instance::~Instance() {
  if (!effect_) return;
  if (editorOpen()) closeEditor();
  if (active()) deactivate();
  dispatch(effClose);  // deletes the instrument
}

intptr_t Instance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

bool Instance::activate(double sampleRate, int32_t maxFrames) {
  if (active()) deactivate();
  if (!(sampleRate >= PlugCore::kMinSampleRate && sampleRate <= PlugCore::kMaxSampleRate) || maxFrames < 1 ||
      maxFrames > PlugCore::kMaxBlockSize)
    return false;
  sampleRate_ = sampleRate;
  maxFrames_ = maxFrames;
  time_.sampleRate = sampleRate;
  dispatch(effSetSampleRate, 0, 0, nullptr, (float)sampleRate);
  dispatch(effSetBlockSize, 0, maxFrames);
  dispatch(effMainsChanged, 0, 1);
  events_.clear();
  resetPending_ = false;
  active_.store(true, std::memory_order_release);
  return true;
}

void Instance::deactivate() {
  if (!active()) return;
  active_.store(false, std::memory_order_release);
  dispatch(effMainsChanged, 0, 0);
  events_.clear();
}

void Instance::setTransport(const Transport& transport) {
  int32_t flags = 0;
  if (transport.playing) flags |= kVstTransportPlaying;
  if (transport.changed) flags |= kVstTransportChanged;
  if (transport.hasTempo) flags |= kVstTempoValid;
  if (transport.hasPosition) flags |= kVstPpqPosValid;
  time_.flags = flags;
  time_.samplePos = transport.samplePosition;
  time_.tempo = transport.hasTempo ? transport.tempo : 120.0;
  time_.ppqPos = transport.hasPosition ? transport.quarters : 0.0;
}

void Instance::setParameter(int32_t index, float normalized) {
  if (index < 0 || index >= KoralinParams::kCount) return;
  effect_->setParameter(effect_, index, normalized);
  shadow_[index] = parameter(index);  // as the instrument quantized it
}

float Instance::parameter(int32_t index) const {
  return index >= 0 && index < KoralinParams::kCount ? effect_->getParameter(effect_, index) : 0.0f;
}

void Instance::process(float* left, float* right, int32_t frames) {
  if (frames <= 0) {
    events_.clear();
    return;
  }
  if (!active()) {
    std::fill(left, left + frames, 0.0f);
    if (right != left) std::fill(right, right + frames, 0.0f);
    events_.clear();
    return;
  }
  processThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  VstEvents* list = events_.prepare(resetPending_);
  resetPending_ = false;
  if (list->numEvents > 0) dispatch(effProcessEvents, 0, 0, list);
  float* outputs[2] = {left, right};
  effect_->processReplacing(effect_, nullptr, outputs, frames);
  events_.clear();
  time_.flags &= ~kVstTransportChanged;
  processThread_.store(std::thread::id{}, std::memory_order_relaxed);
}

void Instance::emitChanges(ChangeSink& sink) {
  // Ends that did not fit are taken first and told last, so the begin they close is always told before them.
  bool ends[KoralinParams::kCount];
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) ends[i] = endPending_[i].exchange(false);
  Gesture g;
  while (gestures_.pop(g)) {
    if (g.kind == Gesture::Begin) {
      sink.gestureBegin(g.index);
    } else if (g.kind == Gesture::End) {
      sink.gestureEnd(g.index);
    } else {
      // The instrument keeps a value on its steps: the gesture reports the value kept, so that the comparison
      // below does not report it a second time.
      const float kept = std::clamp((float)PlugCore::quantize(g.value) / (float)KoralinParams::kSteps, 0.0f, 1.0f);
      shadow_[g.index] = kept;
      sink.value(g.index, kept);
    }
  }
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
    const float now = parameter(i);
    if (now != shadow_[i]) {
      shadow_[i] = now;
      sink.value(i, now);
    }
    if (ends[i]) sink.gestureEnd(i);
  }
}

int32_t Instance::currentProgram() const { return (int32_t)dispatch(effGetProgram); }

std::string Instance::programName(int32_t program) const {
  char name[kVstMaxProgNameLen + 1] = {};
  if (!dispatch(effGetProgramNameIndexed, program, 0, name)) return {};
  name[kVstMaxProgNameLen] = 0;
  return name;
}

void Instance::selectProgram(int32_t program) {
  if (program >= 0 && program < programCount()) dispatch(effSetProgram, 0, program);
}

std::vector<uint8_t> Instance::saveState() const {
  void* data = nullptr;
  const intptr_t size = dispatch(effGetChunk, 0, 0, &data);
  if (!data || size <= 0) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return {bytes, bytes + size};
}

StateLoad Instance::loadState(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (size > (size_t)INT32_MAX) return {false, "The state is larger than any the instrument writes."};
  const PlugCore::ChunkReading reading = PlugCore::readChunk(bytes, size);
  if (reading.error) return {false, reading.error};
  char product[kVstMaxEffectNameLen + 1] = {};
  dispatch(effGetEffectName, 0, 0, product);
  if (foreignChunk(reading, product)) return {false, "The state was saved by another product."};
  std::vector<uint8_t> copy(bytes, bytes + size);  // the instrument is handed a buffer it may hold for the call
  const int32_t before = refusals();
  dispatch(effSetChunk, 0, (intptr_t)size, copy.data());
  if (refusals() != before) return {false, "The instrument refused the state."};
  return {true, nullptr};
}

void Instance::setListener(Listener* listener) {
  listener_.store(listener);
  while (listenerCalls_.load() != 0) std::this_thread::yield();
}

bool Instance::editorSize(int32_t& width, int32_t& height) const {
  ERect* rect = nullptr;
  if (!dispatch(effEditGetRect, 0, 0, &rect) || !rect) return false;
  width = rect->right - rect->left;
  height = rect->bottom - rect->top;
  return true;
}

bool Instance::setEditorScale(double scale) {
  if (!hasEditor()) return false;
  return dispatch(effVendorSpecific, PlugCore::kEmbedderQuestion, PlugCore::kEditorScale, nullptr, float(scale)) == 1;
}

bool Instance::openEditor(void* parent) {
  if (!hasEditor() || !parent) return false;
  const bool opened = dispatch(effEditOpen, 0, 0, parent) != 0;
  editorOpen_.store(opened, std::memory_order_release);
  return opened;
}

void Instance::idleEditor() {
  if (editorOpen()) dispatch(effEditIdle);
}

void Instance::closeEditor() {
  if (!editorOpen()) return;
  dispatch(effEditClose);
  editorOpen_.store(false, std::memory_order_release);
}

}  // namespace Embed

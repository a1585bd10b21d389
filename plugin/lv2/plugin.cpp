// Koralin's LV2 plug-in: features and options, ports, the block with its MIDI, and the state property.
#include "plugin/lv2/plugin.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <cstring>

#include "plugcore/plug.h"

namespace KoralinLv2 {

const void* feature(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features; ++features)
    if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
  return nullptr;
}

namespace {

// The longest block the host will run: bufsz:maxBlockLength, else its nominal length, else our fallback.
int32_t maxBlockLength(const LV2_Options_Option* options, LV2_URID_Map& map) {
  const LV2_URID maxKey = map.map(map.handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID nominalKey = map.map(map.handle, LV2_BUF_SIZE__nominalBlockLength);
  const LV2_URID intType = map.map(map.handle, LV2_ATOM__Int), longType = map.map(map.handle, LV2_ATOM__Long);
  int64_t maximum = 0, nominal = 0;
  for (const LV2_Options_Option* o = options; o && o->key; ++o) {
    int64_t value = 0;
    if (o->type == intType && o->size == sizeof(int32_t)) value = *static_cast<const int32_t*>(o->value);
    else if (o->type == longType && o->size == sizeof(int64_t)) value = *static_cast<const int64_t*>(o->value);
    if (o->key == maxKey) maximum = value;
    if (o->key == nominalKey) nominal = value;
  }
  const int64_t frames = maximum > 0 ? maximum : nominal > 0 ? nominal : kFallbackMaxFrames;
  return (int32_t)std::min<int64_t>(frames, PlugCore::kMaxBlockSize);
}

// The changes the layer reports are not needed here (every run shows every value); draining keeps its queue empty.
struct Drain final : Embed::ChangeSink {
  void gestureBegin(int32_t) override {}
  void value(int32_t, float) override {}
  void gestureEnd(int32_t) override {}
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof(float)) == 0; }

}  // namespace

Plugin* Plugin::make(double sampleRate, const LV2_Feature* const* features) {
  auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(feature(features, LV2_URID__map)));
  const auto* options = static_cast<const LV2_Options_Option*>(feature(features, LV2_OPTIONS__options));
  if (!map) return nullptr;
  if (!(sampleRate >= PlugCore::kMinSampleRate && sampleRate <= PlugCore::kMaxSampleRate)) return nullptr;
  std::unique_ptr<Embed::Instance> instance = Embed::Instance::create(kHostProduct);
  if (!instance) return nullptr;
  return new Plugin(std::move(instance), sampleRate, maxBlockLength(options, *map), *map);
}

Plugin::Plugin(std::unique_ptr<Embed::Instance> instance, double sampleRate, int32_t maxFrames, LV2_URID_Map& map)
    : instance_(std::move(instance)), sampleRate_(sampleRate), maxFrames_(maxFrames) {
  midiEvent_ = map.map(map.handle, LV2_MIDI__MidiEvent);
  atomChunk_ = map.map(map.handle, LV2_ATOM__Chunk);
  stateKey_ = map.map(map.handle, kStateKey);
  beatTime_ = map.map(map.handle, LV2_ATOM__beatTime);
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) seen_[i] = (float)KoralinParams::defaultPlain(i);
}

void Plugin::connect(uint32_t port, void* data) {
  if (port == Port::kEvents) events_ = static_cast<const LV2_Atom_Sequence*>(data);
  else if (port == Port::kLeft) left_ = static_cast<float*>(data);
  else if (port == Port::kRight) right_ = static_cast<float*>(data);
  else if (port >= Port::kFirstParam && port < Port::kFirstNow)
    params_[port - Port::kFirstParam] = static_cast<float*>(data);
  else if (port >= Port::kFirstNow && port < Port::kCount) now_[port - Port::kFirstNow] = static_cast<float*>(data);
}

// An instance activated again starts from rest, as LV2 asks: its first block releases every note and resets the
// voice. The first activation needs none (the instrument is as made), so a new instance plays from its first block
// exactly as the VST 2.4 module does from instantiation.
void Plugin::activate() {
  instance_->activate(sampleRate_, maxFrames_);
  if (activatedBefore_) instance_->reset();
  activatedBefore_ = true;
}

void Plugin::deactivate() { instance_->deactivate(); }

void Plugin::setEditing(int32_t index, bool editing) {
  if (index >= 0 && index < KoralinParams::kCount) editing_[index].store(editing, std::memory_order_release);
}

void Plugin::takePorts() {
  const bool adopt = adoptPorts_.exchange(false, std::memory_order_acq_rel);
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
    if (!params_[i]) continue;
    const float value = *params_[i];
    if (sameBits(value, seen_[i])) continue;
    seen_[i] = value;
    if (!adopt && !editing_[i].load(std::memory_order_acquire))
      instance_->setParameter(i, KoralinParams::normalizedOf(i, value));
  }
}

// The block in pieces of at most maxFrames_, each with the MIDI that falls in it, at its frame.
void Plugin::playEvents(uint32_t frames) {
  float* left = left_ ? left_ : right_;
  float* right = right_ ? right_ : left_;
  if (!left) return;
  const LV2_Atom_Event* event = nullptr;
  if (events_ && events_->atom.size >= sizeof(LV2_Atom_Sequence_Body)) event = lv2_atom_sequence_begin(&events_->body);
  const bool frameTimes = !events_ || events_->body.unit != beatTime_;  // beat times: at the block's start
  auto atEnd = [&](const LV2_Atom_Event* e) {
    return !e || lv2_atom_sequence_is_end(&events_->body, events_->atom.size, e);
  };
  for (uint32_t start = 0; start < frames;) {
    const uint32_t piece = std::min<uint32_t>(frames - start, (uint32_t)maxFrames_);
    const bool last = start + piece == frames;
    for (; !atEnd(event); event = lv2_atom_sequence_next(event)) {
      const int64_t at = frameTimes ? std::max<int64_t>(event->time.frames, 0) : 0;
      if (!last && at >= (int64_t)(start + piece)) break;
      if (event->body.type != midiEvent_) continue;
      instance_->events().addBytes((int32_t)std::min<int64_t>(at - start, INT32_MAX),
                                   reinterpret_cast<const uint8_t*>(event + 1), event->body.size);
    }
    instance_->process(left + start, right + start, (int32_t)piece);
    start += piece;
  }
}

void Plugin::showValues() {
  for (int32_t i = 0; i < KoralinParams::kCount; ++i)
    if (now_[i]) *now_[i] = (float)KoralinParams::plainOf(i, instance_->parameter(i));
}

void Plugin::run(uint32_t frames) {
  takePorts();
  if (frames > 0) playEvents(frames);
  Drain drain;
  instance_->emitChanges(drain);
  showValues();
}

LV2_State_Status Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) const {
  const std::vector<uint8_t> chunk = instance_->saveState();
  if (chunk.empty()) return LV2_STATE_ERR_UNKNOWN;
  return store(handle, stateKey_, chunk.data(), chunk.size(), atomChunk_, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

// A missing property, another type or a chunk the instrument refuses (damaged, foreign, later) changes nothing.
LV2_State_Status Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
  size_t size = 0;
  uint32_t type = 0, flags = 0;
  const void* data = retrieve(handle, stateKey_, &size, &type, &flags);
  if (!data) return LV2_STATE_ERR_NO_PROPERTY;
  if (type != atomChunk_) return LV2_STATE_ERR_BAD_TYPE;
  if (!instance_->loadState(data, size).loaded) return LV2_STATE_ERR_UNKNOWN;
  adoptPorts_.store(true, std::memory_order_release);
  return LV2_STATE_SUCCESS;
}

// The descriptor: each call to its instance, the state interface as its extension data.
namespace {

Plugin* self(LV2_Handle handle) { return static_cast<Plugin*>(handle); }

LV2_State_Status saveState(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                           const LV2_Feature* const*) {
  return self(handle)->save(store, state);
}

LV2_State_Status restoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                              const LV2_Feature* const*) {
  return self(handle)->restore(retrieve, state);
}

const LV2_State_Interface kState{saveState, restoreState};

const LV2_Descriptor kDescriptor{
    kPluginUri,
    [](const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) -> LV2_Handle {
      return Plugin::make(rate, features);
    },
    [](LV2_Handle handle, uint32_t port, void* data) { self(handle)->connect(port, data); },
    [](LV2_Handle handle) { self(handle)->activate(); },
    [](LV2_Handle handle, uint32_t frames) { self(handle)->run(frames); },
    [](LV2_Handle handle) { self(handle)->deactivate(); },
    [](LV2_Handle handle) { delete self(handle); },
    [](const char* uri) -> const void* { return std::strcmp(uri, LV2_STATE__interface) == 0 ? &kState : nullptr; },
};

}  // namespace

const LV2_Descriptor* descriptor() { return &kDescriptor; }

}  // namespace KoralinLv2

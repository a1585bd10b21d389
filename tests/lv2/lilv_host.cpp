// Our LV2 test host: the world, the URID map, an instance with its buffers, MIDI and the state interface.
#include "tests/lv2/lilv_host.h"

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/presets/presets.h>

#include <cstdlib>
#include <cstring>

namespace Lv2Test {

Urids& Urids::get() {
  static Urids urids;
  return urids;
}

Urids::Urids() {
  map_ = {this, [](LV2_URID_Map_Handle self, const char* uri) { return static_cast<Urids*>(self)->map(uri); }};
  unmap_ = {this, [](LV2_URID_Unmap_Handle self, LV2_URID urid) { return static_cast<Urids*>(self)->unmap(urid); }};
}

LV2_URID Urids::map(const char* uri) {
  std::lock_guard<std::mutex> hold(lock_);
  for (size_t i = 0; i < uris_.size(); ++i)
    if (uris_[i] == uri) return (LV2_URID)(i + 1);
  uris_.emplace_back(uri);
  return (LV2_URID)uris_.size();
}

const char* Urids::unmap(LV2_URID urid) {
  std::lock_guard<std::mutex> hold(lock_);
  return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

World& World::get() {
  static World* made = [] {
    auto* w = new World;                    // kept to the process's end: instances may outlive any test
    setenv("LV2_PATH", "/usr/lib/lv2", 1);  // LV2's own vocabularies, never the user's plug-ins
    w->world = lilv_world_new();
    lilv_world_load_specifications(w->world);
    LilvNode* bundle = lilv_new_file_uri(w->world, nullptr, KORALIN_LV2_BUNDLE "/");
    lilv_world_load_bundle(w->world, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(w->world, KoralinLv2::kPluginUri);
    w->plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(w->world), uri);
    lilv_node_free(uri);
    if (w->plugin) {
      LilvNode* presetClass = lilv_new_uri(w->world, LV2_PRESETS__Preset);
      LilvNodes* related = lilv_plugin_get_related(w->plugin, presetClass);
      LILV_FOREACH(nodes, i, related) {
        const LilvNode* preset = lilv_nodes_get(related, i);
        lilv_world_load_resource(w->world, preset);
        w->presets.push_back(lilv_node_duplicate(preset));
      }
      lilv_nodes_free(related);
      lilv_node_free(presetClass);
    }
    return w;
  }();
  return *made;
}

std::string World::presetLabel(const LilvNode* preset) const {
  LilvNode* labelKey = lilv_new_uri(world, LILV_NS_RDFS "label");
  LilvNodes* labels = lilv_world_find_nodes(world, preset, labelKey, nullptr);
  std::string label = labels && lilv_nodes_size(labels) ? lilv_node_as_string(lilv_nodes_get_first(labels)) : "";
  lilv_nodes_free(labels);
  lilv_node_free(labelKey);
  return label;
}

Instance::Instance(double rate, int32_t maxFrames)
    : maxFrames_(maxFrames), blockLength_(maxFrames), sequenceCapacity_(1 << 16) {
  World& w = World::get();
  if (!w.plugin) {
    ADD_FAILURE() << "lilv finds no " << KoralinLv2::kPluginUri << " in " << KORALIN_LV2_BUNDLE;
    return;
  }
  Urids& urids = Urids::get();
  mapFeature_ = {LV2_URID__map, urids.mapFeature()};
  unmapFeature_ = {LV2_URID__unmap, urids.unmapFeature()};
  features_ = {&mapFeature_, &unmapFeature_};
  if (maxFrames > 0) {
    const LV2_URID intType = urids.map(LV2_ATOM__Int);
    options_ = {
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType, &maxFrames_},
        {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), intType, &blockLength_},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    optionsFeature_ = {LV2_OPTIONS__options, options_.data()};
    boundedFeature_ = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    features_.push_back(&optionsFeature_);
    features_.push_back(&boundedFeature_);
  }
  features_.push_back(nullptr);
  std::unique_lock<std::mutex> hold(w.lock);
  instance_ = lilv_plugin_instantiate(w.plugin, rate, features_.data());
  if (!instance_) {
    ADD_FAILURE() << "lilv made no instance at " << rate << " Hz";
    return;
  }
  const uint32_t ports = lilv_plugin_get_num_ports(w.plugin);
  controls_.assign(ports, 0.0f);
  std::vector<float> defaults(ports, 0.0f);
  lilv_plugin_get_port_ranges_float(w.plugin, nullptr, nullptr, defaults.data());
  hold.unlock();
  sequence_.assign(sequenceCapacity_ / 8, 0);
  const int32_t longest = maxFrames > 0 ? maxFrames : KoralinLv2::kFallbackMaxFrames;
  left_.assign((size_t)longest * 8, 0.0f);
  right_.assign((size_t)longest * 8, 0.0f);
  for (uint32_t p = KoralinLv2::Port::kFirstParam; p < ports; ++p) {
    controls_[p] = defaults[p];
    lilv_instance_connect_port(instance_, p, &controls_[p]);
  }
  lilv_instance_connect_port(instance_, KoralinLv2::Port::kEvents, sequence_.data());
  lilv_instance_connect_port(instance_, KoralinLv2::Port::kLeft, left_.data());
  lilv_instance_connect_port(instance_, KoralinLv2::Port::kRight, right_.data());
  clearSequence();
}

Instance::~Instance() {
  if (!instance_) return;
  if (active_) deactivate();
  std::lock_guard<std::mutex> hold(World::get().lock);
  lilv_instance_free(instance_);
}

void Instance::activate() {
  lilv_instance_activate(instance_);
  active_ = true;
}

void Instance::deactivate() {
  lilv_instance_deactivate(instance_);
  active_ = false;
}

uint32_t Instance::portIndex(const char* symbol) const {
  World& w = World::get();
  std::lock_guard<std::mutex> hold(w.lock);
  LilvNode* name = lilv_new_string(w.world, symbol);
  const LilvPort* port = lilv_plugin_get_port_by_symbol(w.plugin, name);
  lilv_node_free(name);
  return port ? lilv_port_get_index(w.plugin, port) : UINT32_MAX;
}

void Instance::appendEvent(int64_t frame, LV2_URID type, const uint8_t* bytes, uint32_t size) {
  auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(sequence_.data());
  const uint32_t needed = (uint32_t)sizeof(LV2_Atom_Event) + ((size + 7u) & ~7u);
  ASSERT_LE(sizeof(LV2_Atom) + seq->atom.size + needed, sequenceCapacity_) << "the test's sequence is full";
  auto* event = reinterpret_cast<LV2_Atom_Event*>(reinterpret_cast<uint8_t*>(&seq->body) + seq->atom.size);
  event->time.frames = frame;
  event->body.type = type;
  event->body.size = size;
  if (bytes) std::memcpy(event + 1, bytes, size);
  else std::memset(event + 1, 0, size);
  seq->atom.size += needed;
}

void Instance::midi(int64_t frame, std::initializer_list<uint8_t> bytes) {
  midi(frame, bytes.begin(), (uint32_t)bytes.size());
}

void Instance::midi(int64_t frame, const uint8_t* bytes, uint32_t size) {
  static const LV2_URID midiEvent = Urids::get().map("http://lv2plug.in/ns/ext/midi#MidiEvent");
  appendEvent(frame, midiEvent, bytes, size);
}

void Instance::otherAtom(int64_t frame, LV2_URID type, uint32_t size) { appendEvent(frame, type, nullptr, size); }

void Instance::run(uint32_t frames) {
  if ((size_t)frames > left_.size()) {
    left_.resize(frames);
    right_.resize(frames);
    lilv_instance_connect_port(instance_, KoralinLv2::Port::kLeft, left_.data());
    lilv_instance_connect_port(instance_, KoralinLv2::Port::kRight, right_.data());
  }
  lilv_instance_run(instance_, frames);
  clearSequence();
}

void Instance::clearSequence() {
  auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(sequence_.data());
  seq->atom.type = Urids::get().map(LV2_ATOM__Sequence);
  seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
  seq->body.unit = 0;
  seq->body.pad = 0;
}

namespace {

struct StateCall {
  LV2_URID key = 0;
  std::vector<uint8_t> stored;
  bool found = false;
  const std::vector<uint8_t>* bytes = nullptr;
  LV2_URID type = 0;
};

const LV2_State_Interface* stateInterface(LilvInstance* instance) {
  return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
}

}  // namespace

std::vector<uint8_t> Instance::savedChunk() {
  const LV2_State_Interface* state = stateInterface(instance_);
  if (!state) {
    ADD_FAILURE() << "the plug-in offers no state interface";
    return {};
  }
  StateCall call;
  call.key = Urids::get().map(KoralinLv2::kStateKey);
  const LV2_State_Status status = state->save(
      handle(),
      [](LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t flags) {
        auto* c = static_cast<StateCall*>(h);
        EXPECT_EQ(key, c->key) << "the one property is the state key";
        EXPECT_EQ(type, Urids::get().map(LV2_ATOM__Chunk));
        EXPECT_EQ(flags & (LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE), LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        c->found = true;
        c->stored.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
        return LV2_STATE_SUCCESS;
      },
      &call, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features());
  EXPECT_EQ(status, LV2_STATE_SUCCESS);
  return call.stored;
}

LV2_State_Status Instance::restore(const std::vector<uint8_t>* bytes, LV2_URID type) {
  const LV2_State_Interface* state = stateInterface(instance_);
  if (!state) return LV2_STATE_ERR_UNKNOWN;
  StateCall call;
  call.key = Urids::get().map(KoralinLv2::kStateKey);
  call.bytes = bytes;
  call.type = type ? type : Urids::get().map(LV2_ATOM__Chunk);
  return state->restore(
      handle(),
      [](LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
        auto* c = static_cast<StateCall*>(h);
        if (key != c->key || !c->bytes) return nullptr;
        *size = c->bytes->size();
        *type = c->type;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return c->bytes->data();
      },
      &call, 0, features());
}

}  // namespace Lv2Test

// The extensions the CLAP plug-in offers: ports, parameters from the instrument's table, state, latency, render and
// preset loading; the editor's are in gui.cpp.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "plugin/clap/clap_plugin.h"
#include "plugin/clap/gui.h"

namespace KoralinClap {
namespace {

Plugin& self(const clap_plugin_t* plugin) { return Plugin::of(plugin); }

void copyName(char (&to)[CLAP_NAME_SIZE], const char* from) { std::snprintf(to, sizeof(to), "%s", from); }

// --- clap.audio-ports: one stereo main output --------------------------------------------------------------------
uint32_t CLAPCALL audioPortCount(const clap_plugin_t*, bool input) { return input ? 0 : 1; }
bool CLAPCALL audioPortGet(const clap_plugin_t*, uint32_t index, bool input, clap_audio_port_info_t* info) {
  if (input || index != 0 || !info) return false;
  info->id = 0;
  copyName(info->name, "Output");
  info->flags = CLAP_AUDIO_PORT_IS_MAIN;
  info->channel_count = 2;
  info->port_type = CLAP_PORT_STEREO;
  info->in_place_pair = CLAP_INVALID_ID;
  return true;
}
constexpr clap_plugin_audio_ports_t kAudioPorts{&audioPortCount, &audioPortGet};

// --- clap.note-ports: one input, CLAP notes and MIDI, MIDI preferred ---------------------------------------------
uint32_t CLAPCALL notePortCount(const clap_plugin_t*, bool input) { return input ? 1 : 0; }
bool CLAPCALL notePortGet(const clap_plugin_t*, uint32_t index, bool input, clap_note_port_info_t* info) {
  if (!input || index != 0 || !info) return false;
  info->id = 0;
  info->supported_dialects = CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI;
  info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
  copyName(info->name, "MIDI In");
  return true;
}
constexpr clap_plugin_note_ports_t kNotePorts{&notePortCount, &notePortGet};

// --- clap.params: the instrument's table, in the units a musician reads ------------------------------------------
bool paramIndex(clap_id id, int32_t& index) {
  index = (int32_t)id;
  return id < (clap_id)KoralinParams::kCount;
}

uint32_t CLAPCALL paramCount(const clap_plugin_t*) { return (uint32_t)KoralinParams::kCount; }

bool CLAPCALL paramInfo(const clap_plugin_t*, uint32_t position, clap_param_info_t* info) {
  int32_t index;
  if (!info || !paramIndex(position, index)) return false;
  const KoralinParams::Param& p = KoralinParams::param(index);
  *info = {};
  info->id = (clap_id)index;
  info->flags = CLAP_PARAM_IS_AUTOMATABLE;
  if (p.unit == KoralinParams::Unit::Choice) info->flags |= CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
  copyName(info->name, p.name);
  info->min_value = p.minimum;
  info->max_value = p.maximum;
  info->default_value = KoralinParams::defaultPlain(index);
  return true;
}

bool CLAPCALL paramValue(const clap_plugin_t* plugin, clap_id id, double* value) {
  return value && self(plugin).paramValue(id, *value);
}

// The instrument's display text, with its label after a blank ("56 %", "+3.50", "square").
bool CLAPCALL paramToText(const clap_plugin_t*, clap_id id, double value, char* text, uint32_t capacity) {
  int32_t index;
  if (!text || capacity == 0 || !paramIndex(id, index)) return false;
  char shown[32];
  KoralinParams::formatText(index, KoralinParams::normalizedOf(index, value), shown);
  const char* label = KoralinParams::param(index).label;
  std::snprintf(text, capacity, *label ? "%s %s" : "%s", shown, label);
  return true;
}

bool CLAPCALL paramFromText(const clap_plugin_t*, clap_id id, const char* text, double* value) {
  int32_t index;
  return text && value && paramIndex(id, index) && KoralinParams::parseText(index, text, *value);
}

void CLAPCALL paramFlush(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out) {
  self(plugin).flush(in, out);
}

constexpr clap_plugin_params_t kParams{&paramCount, &paramInfo, &paramValue, &paramToText, &paramFromText, &paramFlush};

// --- clap.state --------------------------------------------------------------------------------------------------
bool CLAPCALL stateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
  return stream && stream->write && self(plugin).saveState(*stream);
}
bool CLAPCALL stateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream) {
  return stream && stream->read && self(plugin).loadState(*stream);
}
constexpr clap_plugin_state_t kState{&stateSave, &stateLoad};

// --- clap.latency, clap.render -----------------------------------------------------------------------------------
uint32_t CLAPCALL latency(const clap_plugin_t*) { return 0; }
constexpr clap_plugin_latency_t kLatency{&latency};

bool CLAPCALL hardRealtime(const clap_plugin_t*) { return false; }
bool CLAPCALL setRenderMode(const clap_plugin_t* plugin, int32_t mode) {
  if (mode != CLAP_RENDER_REALTIME && mode != CLAP_RENDER_OFFLINE) return false;
  self(plugin).setOffline(mode == CLAP_RENDER_OFFLINE);
  return true;
}
constexpr clap_plugin_render_t kRender{&hardRealtime, &setRenderMode};

// --- clap.preset-load --------------------------------------------------------------------------------------------
bool CLAPCALL presetFromLocation(const clap_plugin_t* plugin, uint32_t kind, const char* location, const char* key) {
  return self(plugin).loadPreset(kind, location, key);
}
constexpr clap_plugin_preset_load_t kPresetLoad{&presetFromLocation};

// The longest state read before it is refused unread: far above any bank the instrument writes.
constexpr size_t kMaxStateBytes = size_t(64) << 20;

}  // namespace

const void* Plugin::extension(const char* id) const {
  struct Offer {
    const char* id;
    const void* table;
  };
  static const Offer kOffers[] = {
      {CLAP_EXT_AUDIO_PORTS, &kAudioPorts},
      {CLAP_EXT_NOTE_PORTS, &kNotePorts},
      {CLAP_EXT_PARAMS, &kParams},
      {CLAP_EXT_STATE, &kState},
      {CLAP_EXT_LATENCY, &kLatency},
      {CLAP_EXT_RENDER, &kRender},
      {CLAP_EXT_PRESET_LOAD, &kPresetLoad},
      {CLAP_EXT_PRESET_LOAD_COMPAT, &kPresetLoad},
      {CLAP_EXT_GUI, &kGui},
      {CLAP_EXT_TIMER_SUPPORT, &kTimerSupport},
  };
  if (!instance_) return nullptr;  // before init, or after an init that made no instrument
  if (std::strcmp(id, CLAP_EXT_GUI) == 0 && !instance_->hasEditor()) return nullptr;
  for (const Offer& offer : kOffers)
    if (std::strcmp(id, offer.id) == 0) return offer.table;
  return nullptr;
}

bool Plugin::saveState(const clap_ostream_t& stream) const {
  const std::vector<uint8_t> state = instance_->saveState();
  if (state.empty()) return false;
  for (size_t done = 0; done < state.size();) {
    const int64_t wrote = stream.write(&stream, state.data() + done, state.size() - done);
    if (wrote <= 0 || (uint64_t)wrote > state.size() - done) return false;
    done += (size_t)wrote;
  }
  return true;
}

bool Plugin::loadState(const clap_istream_t& stream) {
  std::vector<uint8_t> state;
  uint8_t piece[4096];
  for (;;) {
    const int64_t got = stream.read(&stream, piece, sizeof(piece));
    if (got == 0) break;
    if (got < 0 || (uint64_t)got > sizeof(piece) || state.size() + (size_t)got > kMaxStateBytes) return false;
    state.insert(state.end(), piece, piece + got);
  }
  if (state.empty() || !instance_->loadState(state.data(), state.size()).loaded) return false;
  if (hostParams_) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
  return true;
}

bool Plugin::loadPreset(uint32_t kind, const char* location, const char* key) {
  char* end = nullptr;
  const long program = key ? std::strtol(key, &end, 10) : -1;
  const bool found = kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN && key && *key && end && *end == '\0' &&
                     program >= 0 && program < instance_->programCount();
  if (!found) {
    if (hostPresetLoad_)
      hostPresetLoad_->on_error(host_, kind, location, key, 0, "Koralin has no such factory program.");
    return false;
  }
  instance_->selectProgram((int32_t)program);
  if (hostParams_) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
  if (hostState_) hostState_->mark_dirty(host_);
  if (hostPresetLoad_) hostPresetLoad_->loaded(host_, kind, location, key);
  return true;
}

}  // namespace KoralinClap

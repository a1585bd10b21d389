// The CLAP plug-in's life and its block: creation, activation, the host's events at their frames, the changes sent
// back as output events, and the main-thread callback.
#include "plugin/clap/clap_plugin.h"

#include <algorithm>
#include <cmath>

#include "instrument/rest_query.h"

namespace KoralinClap {
namespace {

Plugin& self(const clap_plugin_t* plugin) { return Plugin::of(plugin); }

bool CLAPCALL pluginInit(const clap_plugin_t* plugin) { return self(plugin).init(); }
void CLAPCALL pluginDestroy(const clap_plugin_t* plugin) { delete &self(plugin); }
bool CLAPCALL pluginActivate(const clap_plugin_t* plugin, double rate, uint32_t, uint32_t maxFrames) {
  return self(plugin).activate(rate, maxFrames);
}
void CLAPCALL pluginDeactivate(const clap_plugin_t* plugin) { self(plugin).deactivate(); }
bool CLAPCALL pluginStartProcessing(const clap_plugin_t*) { return true; }
void CLAPCALL pluginStopProcessing(const clap_plugin_t*) {}
void CLAPCALL pluginReset(const clap_plugin_t* plugin) { self(plugin).reset(); }
clap_process_status CLAPCALL pluginProcess(const clap_plugin_t* plugin, const clap_process_t* process) {
  return process ? self(plugin).process(*process) : CLAP_PROCESS_ERROR;
}
const void* CLAPCALL pluginExtension(const clap_plugin_t* plugin, const char* id) {
  return id ? self(plugin).extension(id) : nullptr;
}
void CLAPCALL pluginOnMainThread(const clap_plugin_t* plugin) { self(plugin).onMainThread(); }

// A CLAP velocity (0 to 1) as the MIDI velocity it came from; a note on never becomes a note off.
uint8_t midiVelocity(double velocity, bool noteOn) {
  const double scaled = std::isfinite(velocity) ? std::round(std::clamp(velocity, 0.0, 1.0) * 127.0) : 0.0;
  return (uint8_t)std::max(scaled, noteOn ? 1.0 : 0.0);
}

// The bytes a channel message's status says it has.
size_t midiLength(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

Embed::Transport transportOf(const clap_event_transport_t& t, double rate, bool wasPlaying) {
  Embed::Transport transport;
  transport.playing = (t.flags & CLAP_TRANSPORT_IS_PLAYING) != 0;
  transport.changed = transport.playing != wasPlaying;
  if (t.flags & CLAP_TRANSPORT_HAS_SECONDS_TIMELINE)
    transport.samplePosition = (double)t.song_pos_seconds / (double)CLAP_SECTIME_FACTOR * rate;
  transport.hasTempo = (t.flags & CLAP_TRANSPORT_HAS_TEMPO) != 0 && t.tempo > 0;
  if (transport.hasTempo) transport.tempo = t.tempo;
  transport.hasPosition = (t.flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE) != 0;
  if (transport.hasPosition) transport.quarters = (double)t.song_pos_beats / (double)CLAP_BEATTIME_FACTOR;
  return transport;
}

// Output events in the host's list, each at the block's first frame.
class OutputSink final : public Embed::ChangeSink {
 public:
  OutputSink(const clap_output_events_t* out, bool* inGesture) : out_(out), inGesture_(inGesture) {}
  bool selfChanged = false;  // a value outside any gesture: the instrument changed it

  void gestureBegin(int32_t index) override {
    inGesture_[index] = true;
    pushGesture(CLAP_EVENT_PARAM_GESTURE_BEGIN, index);
  }
  void gestureEnd(int32_t index) override {
    inGesture_[index] = false;
    pushGesture(CLAP_EVENT_PARAM_GESTURE_END, index);
  }
  void value(int32_t index, float normalized) override {
    selfChanged = selfChanged || !inGesture_[index];
    clap_event_param_value_t event{};
    event.header = header(sizeof(event), CLAP_EVENT_PARAM_VALUE);
    event.param_id = (clap_id)index;
    event.note_id = -1;
    event.port_index = event.channel = event.key = -1;
    event.value = KoralinParams::plainOf(index, normalized);
    push(event.header);
  }

 private:
  static clap_event_header_t header(size_t size, uint16_t type) {
    return {(uint32_t)size, 0, CLAP_CORE_EVENT_SPACE_ID, type, 0};
  }
  void pushGesture(uint16_t type, int32_t index) {
    clap_event_param_gesture_t event{header(sizeof(event), type), (clap_id)index};
    push(event.header);
  }
  void push(const clap_event_header_t& event) {
    if (out_ && out_->try_push) out_->try_push(out_, &event);
  }
  const clap_output_events_t* out_;
  bool* inGesture_;
};

}  // namespace

Plugin::Plugin(const clap_host_t* host)
    : host_(host),
      plugin_{&kDescriptor,
              this,
              &pluginInit,
              &pluginDestroy,
              &pluginActivate,
              &pluginDeactivate,
              &pluginStartProcessing,
              &pluginStopProcessing,
              &pluginReset,
              &pluginProcess,
              &pluginExtension,
              &pluginOnMainThread} {}

Plugin::~Plugin() {
  guiDestroy();
  instance_.reset();  // closes the instrument before the host's record may go
}

bool Plugin::init() {
  hostParams_ = hostExtension<clap_host_params_t>(CLAP_EXT_PARAMS);
  hostState_ = hostExtension<clap_host_state_t>(CLAP_EXT_STATE);
  hostGui_ = hostExtension<clap_host_gui_t>(CLAP_EXT_GUI);
  hostTimer_ = hostExtension<clap_host_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
  hostPresetLoad_ = hostExtension<clap_host_preset_load_t>(CLAP_EXT_PRESET_LOAD);
  if (!hostPresetLoad_) hostPresetLoad_ = hostExtension<clap_host_preset_load_t>(CLAP_EXT_PRESET_LOAD_COMPAT);
  instance_ = Embed::Instance::create(host_->name && *host_->name ? host_->name : "CLAP host", this);
  return instance_ != nullptr;
}

bool Plugin::activate(double sampleRate, uint32_t maxFrames) {
  if (maxFrames > (uint32_t)INT32_MAX) return false;
  std::fill(std::begin(inGesture_), std::end(inGesture_), false);
  return instance_->activate(sampleRate, (int32_t)maxFrames);
}

void Plugin::deactivate() { instance_->deactivate(); }

void Plugin::reset() { instance_->reset(); }

clap_process_status Plugin::process(const clap_process_t& process) {
  const uint32_t frames = process.frames_count;
  if (!instance_->active() || frames > (uint32_t)instance_->maxFrames()) return CLAP_PROCESS_ERROR;
  if (process.audio_outputs_count < 1 || !process.audio_outputs || !process.audio_outputs[0].data32 ||
      process.audio_outputs[0].channel_count < 1)
    return CLAP_PROCESS_ERROR;
  clap_audio_buffer_t& output = process.audio_outputs[0];
  float* left = output.data32[0];
  float* right = output.channel_count > 1 ? output.data32[1] : left;
  if (!left || !right) return CLAP_PROCESS_ERROR;
  output.constant_mask = 0;
  if (process.transport) {
    const Embed::Transport transport = transportOf(*process.transport, instance_->sampleRate(), wasPlaying_);
    wasPlaying_ = transport.playing;
    instance_->setTransport(transport);
  }
  applyEvents(process.in_events, left, right, frames);
  sendChanges(process.out_events);
  // At rest the instrument stays silent until an event comes: the host may stop calling until it has one.
  const intptr_t rest =
      instance_->dispatch(effVendorSpecific, KoralinQuery::kRestQueryIndex, KoralinQuery::kRestQueryValue);
  return rest == KoralinQuery::kRestQueryResting ? CLAP_PROCESS_SLEEP : CLAP_PROCESS_CONTINUE;
}

void Plugin::applyEvents(const clap_input_events_t* in, float* left, float* right, uint32_t frames) {
  const uint32_t count = in && in->size && in->get ? in->size(in) : 0;
  uint32_t start = 0;  // the first frame not yet rendered
  for (uint32_t i = 0; i < count; ++i) {
    const clap_event_header_t* event = in->get(in, i);
    if (!event || event->space_id != CLAP_CORE_EVENT_SPACE_ID) continue;
    const uint32_t at = std::clamp(event->time, start, frames);
    if (event->type == CLAP_EVENT_PARAM_VALUE && event->size >= sizeof(clap_event_param_value_t)) {
      if (at > start) {
        instance_->process(left + start, right + start, (int32_t)(at - start));
        start = at;
      }
      applyParamValue(*reinterpret_cast<const clap_event_param_value_t*>(event));
    } else {
      addNote(*event, at - start);
    }
  }
  if (frames > start || frames == 0) instance_->process(left + start, right + start, (int32_t)(frames - start));
}

void Plugin::applyParamValue(const clap_event_param_value_t& event) {
  if (event.param_id >= (clap_id)KoralinParams::kCount || !std::isfinite(event.value)) return;
  const int32_t index = (int32_t)event.param_id;
  instance_->setParameter(index, KoralinParams::normalizedOf(index, event.value));
}

void Plugin::addNote(const clap_event_header_t& header, uint32_t frame) {
  Embed::MidiEventList& events = instance_->events();
  const int32_t at = (int32_t)frame;
  switch (header.type) {
    case CLAP_EVENT_NOTE_ON:
    case CLAP_EVENT_NOTE_OFF:
    case CLAP_EVENT_NOTE_CHOKE: {
      if (header.size < sizeof(clap_event_note_t)) return;
      const auto& note = reinterpret_cast<const clap_event_note_t&>(header);
      const uint8_t channel = (uint8_t)(note.channel >= 0 ? note.channel & 15 : 0);
      if (note.key < 0 || note.key > 127) {
        // A note off for every key: what MIDI says with all notes off.
        if (header.type != CLAP_EVENT_NOTE_ON) events.add(at, (uint8_t)(0xB0 | channel), 123, 0);
        return;
      }
      const bool on = header.type == CLAP_EVENT_NOTE_ON;
      events.add(at, (uint8_t)((on ? 0x90 : 0x80) | channel), (uint8_t)note.key, midiVelocity(note.velocity, on));
      return;
    }
    case CLAP_EVENT_MIDI: {
      if (header.size < sizeof(clap_event_midi_t)) return;
      const auto& midi = reinterpret_cast<const clap_event_midi_t&>(header);
      events.addBytes(at, midi.data, midiLength(midi.data[0]));
      return;
    }
    default: return;  // gestures, transport, expressions, modulation, SysEx and MIDI 2 are not the instrument's
  }
}

void Plugin::sendChanges(const clap_output_events_t* out) {
  OutputSink sink(out, inGesture_);
  instance_->emitChanges(sink);
  if (sink.selfChanged && !dirty_.exchange(true)) askMainThread();
}

void Plugin::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
  const uint32_t count = in && in->size && in->get ? in->size(in) : 0;
  for (uint32_t i = 0; i < count; ++i) {
    const clap_event_header_t* event = in->get(in, i);
    if (event && event->space_id == CLAP_CORE_EVENT_SPACE_ID && event->type == CLAP_EVENT_PARAM_VALUE &&
        event->size >= sizeof(clap_event_param_value_t))
      applyParamValue(*reinterpret_cast<const clap_event_param_value_t*>(event));
  }
  sendChanges(out);
}

bool Plugin::paramValue(clap_id id, double& value) const {
  if (id >= (clap_id)KoralinParams::kCount) return false;
  value = KoralinParams::plainOf((int32_t)id, instance_->parameter((int32_t)id));
  return true;
}

void Plugin::askMainThread() {
  if (!callbackAsked_.exchange(true) && host_->request_callback) host_->request_callback(host_);
}

void Plugin::onMainThread() {
  callbackAsked_.store(false);
  if (dirty_.exchange(false) && hostState_) hostState_->mark_dirty(host_);
  if (idleDue_.exchange(false)) instance_->idleEditor();
}

void Plugin::requestFlush() const {
  if (hostParams_ && hostParams_->request_flush) hostParams_->request_flush(host_);
}

void Plugin::automated(int32_t, float) { requestFlush(); }
void Plugin::editBegun(int32_t) { requestFlush(); }
void Plugin::editEnded(int32_t) {
  requestFlush();
  if (hostState_) hostState_->mark_dirty(host_);
}

bool Plugin::editorResized(int32_t width, int32_t height) {
  return hostGui_ && width > 0 && height > 0 && hostGui_->request_resize(host_, (uint32_t)width, (uint32_t)height);
}

}  // namespace KoralinClap

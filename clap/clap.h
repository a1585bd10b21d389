// The CLAP 1.2 binary interface, core part: version, entry, plug-in factory, host and plug-in records, events and the
// process record, laid out as hosts lay them out in memory. Only what Koralin and its test host use.
// Every function the interface passes is called with the C calling convention of the platform; 32-bit Windows
// names it explicitly (__cdecl), since a compiler there may be told to default to another.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define CLAPCALL __cdecl
#else
#define CLAPCALL
#endif

extern "C" {

// --- Version -----------------------------------------------------------------------------------------------------
struct clap_version_t {
  uint32_t major;
  uint32_t minor;
  uint32_t revision;
};
using clap_id = uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;
constexpr size_t CLAP_NAME_SIZE = 256;
constexpr size_t CLAP_PATH_SIZE = 1024;

// --- Entry -------------------------------------------------------------------------------------------------------
// The one symbol a .clap module exports, named clap_entry.
struct clap_plugin_entry_t {
  clap_version_t clap_version;
  bool(CLAPCALL* init)(const char* plugin_path);
  void(CLAPCALL* deinit)();
  const void*(CLAPCALL* get_factory)(const char* factory_id);
};

// --- Host --------------------------------------------------------------------------------------------------------
struct clap_host_t {
  clap_version_t clap_version;
  void* host_data;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  const void*(CLAPCALL* get_extension)(const clap_host_t* host, const char* extension_id);
  void(CLAPCALL* request_restart)(const clap_host_t* host);
  void(CLAPCALL* request_process)(const clap_host_t* host);
  void(CLAPCALL* request_callback)(const clap_host_t* host);
};

// --- Events ------------------------------------------------------------------------------------------------------
struct clap_event_header_t {
  uint32_t size;  // of the whole event, header included
  uint32_t time;  // frame within the block
  uint16_t space_id;
  uint16_t type;
  uint32_t flags;
};
constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
constexpr uint32_t CLAP_EVENT_IS_LIVE = 1u << 0;
constexpr uint32_t CLAP_EVENT_DONT_RECORD = 1u << 1;

enum : uint16_t {
  CLAP_EVENT_NOTE_ON = 0,
  CLAP_EVENT_NOTE_OFF = 1,
  CLAP_EVENT_NOTE_CHOKE = 2,
  CLAP_EVENT_NOTE_END = 3,
  CLAP_EVENT_NOTE_EXPRESSION = 4,
  CLAP_EVENT_PARAM_VALUE = 5,
  CLAP_EVENT_PARAM_MOD = 6,
  CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
  CLAP_EVENT_PARAM_GESTURE_END = 8,
  CLAP_EVENT_TRANSPORT = 9,
  CLAP_EVENT_MIDI = 10,
  CLAP_EVENT_MIDI_SYSEX = 11,
  CLAP_EVENT_MIDI2 = 12,
};

// Note events; -1 in note_id, port_index, channel or key is a wildcard.
struct clap_event_note_t {
  clap_event_header_t header;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double velocity;  // 0 to 1
};

struct clap_event_param_value_t {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double value;  // in the parameter's own range
};

struct clap_event_param_mod_t {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double amount;
};

struct clap_event_param_gesture_t {
  clap_event_header_t header;
  clap_id param_id;
};

// Beat and second positions are fixed-point numbers with 31 fraction bits.
using clap_beattime = int64_t;
using clap_sectime = int64_t;
constexpr int64_t CLAP_BEATTIME_FACTOR = int64_t(1) << 31;
constexpr int64_t CLAP_SECTIME_FACTOR = int64_t(1) << 31;

enum : uint32_t {
  CLAP_TRANSPORT_HAS_TEMPO = 1u << 0,
  CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 1u << 1,
  CLAP_TRANSPORT_HAS_SECONDS_TIMELINE = 1u << 2,
  CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 1u << 3,
  CLAP_TRANSPORT_IS_PLAYING = 1u << 4,
  CLAP_TRANSPORT_IS_RECORDING = 1u << 5,
  CLAP_TRANSPORT_IS_LOOP_ACTIVE = 1u << 6,
  CLAP_TRANSPORT_IS_WITHIN_PRE_ROLL = 1u << 7,
};

struct clap_event_transport_t {
  clap_event_header_t header;
  uint32_t flags;
  clap_beattime song_pos_beats;
  clap_sectime song_pos_seconds;
  double tempo;      // beats per minute
  double tempo_inc;  // per sample
  clap_beattime loop_start_beats;
  clap_beattime loop_end_beats;
  clap_sectime loop_start_seconds;
  clap_sectime loop_end_seconds;
  clap_beattime bar_start;
  int32_t bar_number;
  uint16_t tsig_num;
  uint16_t tsig_denom;
};

struct clap_event_midi_t {
  clap_event_header_t header;
  uint16_t port_index;
  uint8_t data[3];
};

struct clap_event_midi_sysex_t {
  clap_event_header_t header;
  uint16_t port_index;
  const uint8_t* buffer;
  uint32_t size;
};

// The host's list of input events for a block, sorted by time.
struct clap_input_events_t {
  void* ctx;
  uint32_t(CLAPCALL* size)(const clap_input_events_t* list);
  const clap_event_header_t*(CLAPCALL* get)(const clap_input_events_t* list, uint32_t index);
};

// Where the plug-in puts its output events, in time order; false when the host could not take one.
struct clap_output_events_t {
  void* ctx;
  bool(CLAPCALL* try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// --- Process -----------------------------------------------------------------------------------------------------
struct clap_audio_buffer_t {
  float** data32;
  double** data64;
  uint32_t channel_count;
  uint32_t latency;
  uint64_t constant_mask;  // bit n: channel n holds one value for the whole block
};

struct clap_process_t {
  int64_t steady_time;  // frames since some start, or -1
  uint32_t frames_count;
  const clap_event_transport_t* transport;  // null for a free-running host
  const clap_audio_buffer_t* audio_inputs;
  clap_audio_buffer_t* audio_outputs;
  uint32_t audio_inputs_count;
  uint32_t audio_outputs_count;
  const clap_input_events_t* in_events;
  const clap_output_events_t* out_events;
};

using clap_process_status = int32_t;
enum : clap_process_status {
  CLAP_PROCESS_ERROR = 0,
  CLAP_PROCESS_CONTINUE = 1,
  CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
  CLAP_PROCESS_TAIL = 3,
  CLAP_PROCESS_SLEEP = 4,
};

// --- Plug-in -----------------------------------------------------------------------------------------------------
struct clap_plugin_descriptor_t {
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features;  // null-terminated
};

struct clap_plugin_t {
  const clap_plugin_descriptor_t* desc;
  void* plugin_data;
  bool(CLAPCALL* init)(const clap_plugin_t* plugin);
  void(CLAPCALL* destroy)(const clap_plugin_t* plugin);
  bool(CLAPCALL* activate)(const clap_plugin_t* plugin, double sample_rate, uint32_t min_frames_count,
                           uint32_t max_frames_count);
  void(CLAPCALL* deactivate)(const clap_plugin_t* plugin);
  bool(CLAPCALL* start_processing)(const clap_plugin_t* plugin);
  void(CLAPCALL* stop_processing)(const clap_plugin_t* plugin);
  void(CLAPCALL* reset)(const clap_plugin_t* plugin);
  clap_process_status(CLAPCALL* process)(const clap_plugin_t* plugin, const clap_process_t* process);
  const void*(CLAPCALL* get_extension)(const clap_plugin_t* plugin, const char* id);
  void(CLAPCALL* on_main_thread)(const clap_plugin_t* plugin);
};

// --- Plug-in factory ---------------------------------------------------------------------------------------------
constexpr const char* CLAP_PLUGIN_FACTORY_ID = "clap.plugin-factory";

struct clap_plugin_factory_t {
  uint32_t(CLAPCALL* get_plugin_count)(const clap_plugin_factory_t* factory);
  const clap_plugin_descriptor_t*(CLAPCALL* get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                                   uint32_t index);
  const clap_plugin_t*(CLAPCALL* create_plugin)(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                                const char* plugin_id);
};

}  // extern "C"

// The version Koralin speaks; a host or plug-in of any 1.x speaks to any other 1.x.
constexpr clap_version_t kClapVersion = {1, 2, 0};
constexpr bool clapVersionIsCompatible(clap_version_t v) { return v.major >= 1; }

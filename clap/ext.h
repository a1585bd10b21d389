// The CLAP 1.2 binary interface, extensions: the plug-in's and host's records of the extensions Koralin offers or
// uses, and the preset-discovery factory, laid out as hosts lay them out in memory.
#pragma once

#include "clap/clap.h"

extern "C" {

// --- clap.audio-ports --------------------------------------------------------------------------------------------
constexpr const char* CLAP_EXT_AUDIO_PORTS = "clap.audio-ports";
constexpr const char* CLAP_PORT_MONO = "mono";
constexpr const char* CLAP_PORT_STEREO = "stereo";
enum : uint32_t {
  CLAP_AUDIO_PORT_IS_MAIN = 1u << 0,
  CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1,
  CLAP_AUDIO_PORT_PREFERS_64BITS = 1u << 2,
  CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1u << 3,
};

struct clap_audio_port_info_t {
  clap_id id;
  char name[CLAP_NAME_SIZE];
  uint32_t flags;
  uint32_t channel_count;
  const char* port_type;
  clap_id in_place_pair;
};

struct clap_plugin_audio_ports_t {
  uint32_t(CLAPCALL* count)(const clap_plugin_t* plugin, bool is_input);
  bool(CLAPCALL* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_audio_port_info_t* info);
};

// --- clap.note-ports ---------------------------------------------------------------------------------------------
constexpr const char* CLAP_EXT_NOTE_PORTS = "clap.note-ports";
enum : uint32_t {
  CLAP_NOTE_DIALECT_CLAP = 1u << 0,
  CLAP_NOTE_DIALECT_MIDI = 1u << 1,
  CLAP_NOTE_DIALECT_MIDI_MPE = 1u << 2,
  CLAP_NOTE_DIALECT_MIDI2 = 1u << 3,
};

struct clap_note_port_info_t {
  clap_id id;
  uint32_t supported_dialects;
  uint32_t preferred_dialect;
  char name[CLAP_NAME_SIZE];
};

struct clap_plugin_note_ports_t {
  uint32_t(CLAPCALL* count)(const clap_plugin_t* plugin, bool is_input);
  bool(CLAPCALL* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_note_port_info_t* info);
};

// --- clap.params -------------------------------------------------------------------------------------------------
constexpr const char* CLAP_EXT_PARAMS = "clap.params";
enum : uint32_t {
  CLAP_PARAM_IS_STEPPED = 1u << 0,
  CLAP_PARAM_IS_PERIODIC = 1u << 1,
  CLAP_PARAM_IS_HIDDEN = 1u << 2,
  CLAP_PARAM_IS_READONLY = 1u << 3,
  CLAP_PARAM_IS_BYPASS = 1u << 4,
  CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
  CLAP_PARAM_IS_MODULATABLE = 1u << 10,
  CLAP_PARAM_REQUIRES_PROCESS = 1u << 15,
  CLAP_PARAM_IS_ENUM = 1u << 16,
};
enum : uint32_t {
  CLAP_PARAM_RESCAN_VALUES = 1u << 0,
  CLAP_PARAM_RESCAN_TEXT = 1u << 1,
  CLAP_PARAM_RESCAN_INFO = 1u << 2,
  CLAP_PARAM_RESCAN_ALL = 1u << 3,
};

struct clap_param_info_t {
  clap_id id;
  uint32_t flags;
  void* cookie;
  char name[CLAP_NAME_SIZE];
  char module[CLAP_PATH_SIZE];
  double min_value;
  double max_value;
  double default_value;
};

struct clap_plugin_params_t {
  uint32_t(CLAPCALL* count)(const clap_plugin_t* plugin);
  bool(CLAPCALL* get_info)(const clap_plugin_t* plugin, uint32_t param_index, clap_param_info_t* info);
  bool(CLAPCALL* get_value)(const clap_plugin_t* plugin, clap_id param_id, double* value);
  bool(CLAPCALL* value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* text,
                                uint32_t capacity);
  bool(CLAPCALL* text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* text, double* value);
  void(CLAPCALL* flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
};

struct clap_host_params_t {
  void(CLAPCALL* rescan)(const clap_host_t* host, uint32_t flags);
  void(CLAPCALL* clear)(const clap_host_t* host, clap_id param_id, uint32_t flags);
  void(CLAPCALL* request_flush)(const clap_host_t* host);
};

// --- clap.state --------------------------------------------------------------------------------------------------
constexpr const char* CLAP_EXT_STATE = "clap.state";

// read: bytes read, 0 at the end of the stream, -1 on an error; it may return fewer bytes than asked for.
struct clap_istream_t {
  void* ctx;
  int64_t(CLAPCALL* read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};
// write: bytes written (possibly fewer than given), -1 on an error.
struct clap_ostream_t {
  void* ctx;
  int64_t(CLAPCALL* write)(const clap_ostream_t* stream, const void* buffer, uint64_t size);
};

struct clap_plugin_state_t {
  bool(CLAPCALL* save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
  bool(CLAPCALL* load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};
struct clap_host_state_t {
  void(CLAPCALL* mark_dirty)(const clap_host_t* host);
};

// --- clap.latency, clap.render -----------------------------------------------------------------------------------
constexpr const char* CLAP_EXT_LATENCY = "clap.latency";
struct clap_plugin_latency_t {
  uint32_t(CLAPCALL* get)(const clap_plugin_t* plugin);
};

constexpr const char* CLAP_EXT_RENDER = "clap.render";
enum : int32_t { CLAP_RENDER_REALTIME = 0, CLAP_RENDER_OFFLINE = 1 };
struct clap_plugin_render_t {
  bool(CLAPCALL* has_hard_realtime_requirement)(const clap_plugin_t* plugin);
  bool(CLAPCALL* set)(const clap_plugin_t* plugin, int32_t mode);
};

// --- clap.gui ----------------------------------------------------------------------------------------------------
constexpr const char* CLAP_EXT_GUI = "clap.gui";
constexpr const char* CLAP_WINDOW_API_WIN32 = "win32";
constexpr const char* CLAP_WINDOW_API_COCOA = "cocoa";
constexpr const char* CLAP_WINDOW_API_X11 = "x11";
constexpr const char* CLAP_WINDOW_API_WAYLAND = "wayland";

struct clap_window_t {
  const char* api;
  union {
    void* cocoa;
    unsigned long x11;  // an X11 Window id
    void* win32;        // an HWND
    void* ptr;
  };
};

struct clap_gui_resize_hints_t {
  bool can_resize_horizontally;
  bool can_resize_vertically;
  bool preserve_aspect_ratio;
  uint32_t aspect_ratio_width;
  uint32_t aspect_ratio_height;
};

struct clap_plugin_gui_t {
  bool(CLAPCALL* is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  bool(CLAPCALL* get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
  bool(CLAPCALL* create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  void(CLAPCALL* destroy)(const clap_plugin_t* plugin);
  bool(CLAPCALL* set_scale)(const clap_plugin_t* plugin, double scale);
  bool(CLAPCALL* get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool(CLAPCALL* can_resize)(const clap_plugin_t* plugin);
  bool(CLAPCALL* get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
  bool(CLAPCALL* adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool(CLAPCALL* set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
  bool(CLAPCALL* set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
  bool(CLAPCALL* set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
  void(CLAPCALL* suggest_title)(const clap_plugin_t* plugin, const char* title);
  bool(CLAPCALL* show)(const clap_plugin_t* plugin);
  bool(CLAPCALL* hide)(const clap_plugin_t* plugin);
};

struct clap_host_gui_t {
  void(CLAPCALL* resize_hints_changed)(const clap_host_t* host);
  bool(CLAPCALL* request_resize)(const clap_host_t* host, uint32_t width, uint32_t height);
  bool(CLAPCALL* request_show)(const clap_host_t* host);
  bool(CLAPCALL* request_hide)(const clap_host_t* host);
  void(CLAPCALL* closed)(const clap_host_t* host, bool was_destroyed);
};

// --- clap.timer-support, clap.posix-fd-support -------------------------------------------------------------------
constexpr const char* CLAP_EXT_TIMER_SUPPORT = "clap.timer-support";
struct clap_plugin_timer_support_t {
  void(CLAPCALL* on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};
struct clap_host_timer_support_t {
  bool(CLAPCALL* register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id);
  bool(CLAPCALL* unregister_timer)(const clap_host_t* host, clap_id timer_id);
};

constexpr const char* CLAP_EXT_POSIX_FD_SUPPORT = "clap.posix-fd-support";
enum : uint32_t { CLAP_POSIX_FD_READ = 1u << 0, CLAP_POSIX_FD_WRITE = 1u << 1, CLAP_POSIX_FD_ERROR = 1u << 2 };
struct clap_plugin_posix_fd_support_t {
  void(CLAPCALL* on_fd)(const clap_plugin_t* plugin, int fd, uint32_t flags);
};
struct clap_host_posix_fd_support_t {
  bool(CLAPCALL* register_fd)(const clap_host_t* host, int fd, uint32_t flags);
  bool(CLAPCALL* modify_fd)(const clap_host_t* host, int fd, uint32_t flags);
  bool(CLAPCALL* unregister_fd)(const clap_host_t* host, int fd);
};

// --- clap.thread-check (host) ------------------------------------------------------------------------------------
constexpr const char* CLAP_EXT_THREAD_CHECK = "clap.thread-check";
struct clap_host_thread_check_t {
  bool(CLAPCALL* is_main_thread)(const clap_host_t* host);
  bool(CLAPCALL* is_audio_thread)(const clap_host_t* host);
};

// --- Presets: the discovery factory and clap.preset-load ---------------------------------------------------------
// The 1.2 names, and the names of the drafts before them that hosts of 1.1 still ask for.
constexpr const char* CLAP_PRESET_DISCOVERY_FACTORY_ID = "clap.preset-discovery-factory/2";
constexpr const char* CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT = "clap.preset-discovery-factory/draft-2";
constexpr const char* CLAP_EXT_PRESET_LOAD = "clap.preset-load/2";
constexpr const char* CLAP_EXT_PRESET_LOAD_COMPAT = "clap.preset-load.draft/2";

enum : uint32_t { CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1 };
enum : uint32_t {
  CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1u << 0,
  CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1u << 1,
  CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1u << 2,
  CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1u << 3,
};

struct clap_universal_plugin_id_t {
  const char* abi;  // "clap"
  const char* id;
};

struct clap_preset_discovery_metadata_receiver_t {
  void* receiver_data;
  void(CLAPCALL* on_error)(const clap_preset_discovery_metadata_receiver_t* receiver, int32_t os_error,
                           const char* message);
  bool(CLAPCALL* begin_preset)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* name,
                               const char* load_key);
  void(CLAPCALL* add_plugin_id)(const clap_preset_discovery_metadata_receiver_t* receiver,
                                const clap_universal_plugin_id_t* plugin_id);
  void(CLAPCALL* set_soundpack_id)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* soundpack_id);
  void(CLAPCALL* set_flags)(const clap_preset_discovery_metadata_receiver_t* receiver, uint32_t flags);
  void(CLAPCALL* add_creator)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* creator);
  void(CLAPCALL* set_description)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* description);
  void(CLAPCALL* set_timestamps)(const clap_preset_discovery_metadata_receiver_t* receiver, uint64_t created,
                                 uint64_t modified);
  void(CLAPCALL* add_feature)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* feature);
  void(CLAPCALL* add_extra_info)(const clap_preset_discovery_metadata_receiver_t* receiver, const char* key,
                                 const char* value);
};

struct clap_preset_discovery_filetype_t {
  const char* name;
  const char* description;
  const char* file_extension;
};

struct clap_preset_discovery_location_t {
  uint32_t flags;
  const char* name;
  uint32_t kind;
  const char* location;  // null for presets inside the plug-in
};

struct clap_preset_discovery_soundpack_t {
  uint32_t flags;
  const char* id;
  const char* name;
  const char* description;
  const char* homepage_url;
  const char* vendor;
  const char* image_path;
  uint64_t release_timestamp;
};

struct clap_preset_discovery_indexer_t {
  clap_version_t clap_version;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  void* indexer_data;
  bool(CLAPCALL* declare_filetype)(const clap_preset_discovery_indexer_t* indexer,
                                   const clap_preset_discovery_filetype_t* filetype);
  bool(CLAPCALL* declare_location)(const clap_preset_discovery_indexer_t* indexer,
                                   const clap_preset_discovery_location_t* location);
  bool(CLAPCALL* declare_soundpack)(const clap_preset_discovery_indexer_t* indexer,
                                    const clap_preset_discovery_soundpack_t* soundpack);
  const void*(CLAPCALL* get_extension)(const clap_preset_discovery_indexer_t* indexer, const char* extension_id);
};

struct clap_preset_discovery_provider_descriptor_t {
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
};

struct clap_preset_discovery_provider_t {
  const clap_preset_discovery_provider_descriptor_t* desc;
  void* provider_data;
  bool(CLAPCALL* init)(const clap_preset_discovery_provider_t* provider);
  void(CLAPCALL* destroy)(const clap_preset_discovery_provider_t* provider);
  bool(CLAPCALL* get_metadata)(const clap_preset_discovery_provider_t* provider, uint32_t location_kind,
                               const char* location, const clap_preset_discovery_metadata_receiver_t* receiver);
  const void*(CLAPCALL* get_extension)(const clap_preset_discovery_provider_t* provider, const char* extension_id);
};

struct clap_preset_discovery_factory_t {
  uint32_t(CLAPCALL* count)(const clap_preset_discovery_factory_t* factory);
  const clap_preset_discovery_provider_descriptor_t*(CLAPCALL* get_descriptor)(
      const clap_preset_discovery_factory_t* factory, uint32_t index);
  const clap_preset_discovery_provider_t*(CLAPCALL* create)(const clap_preset_discovery_factory_t* factory,
                                                            const clap_preset_discovery_indexer_t* indexer,
                                                            const char* provider_id);
};

struct clap_plugin_preset_load_t {
  bool(CLAPCALL* from_location)(const clap_plugin_t* plugin, uint32_t location_kind, const char* location,
                                const char* load_key);
};
struct clap_host_preset_load_t {
  void(CLAPCALL* on_error)(const clap_host_t* host, uint32_t location_kind, const char* location, const char* load_key,
                           int32_t os_error, const char* message);
  void(CLAPCALL* loaded)(const clap_host_t* host, uint32_t location_kind, const char* location, const char* load_key);
};

}  // extern "C"

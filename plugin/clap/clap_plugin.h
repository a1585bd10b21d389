// Koralin as a CLAP plug-in: one instance of the embedded instrument behind a clap_plugin_t, with the extensions it
// offers (audio and note ports, parameters, state, editor, timer, latency, render, preset loading).
//
// Threads, as CLAP names them. The host's main thread calls init, destroy, activate, deactivate, get_extension,
// on_main_thread, every extension call marked main-thread (ports, parameter info and texts, state, the editor, the
// timer, preset loading), and flush while the plug-in is inactive. The audio thread calls start_processing,
// stop_processing, reset and process, and flush while the plug-in is active. These are the embedding layer's main,
// audio and editor sides: the editor lives on the main thread, as CLAP asks.
//
// How a value crosses. A value the host sets comes as an event in process or flush, and reaches the instrument at
// its frame (process cuts the block there). A knob moved in the editor sets the instrument's value at once and calls
// back on the main thread: the adapter asks the host for a flush (request_flush) and the gesture waits in the layer's
// lock-free queue until the next process or flush, which sends it as gesture begin, values and gesture end. A value
// the instrument changed itself (a learnt controller, a MIDI program change, a loaded state or preset) goes out as a
// value event from the next process or flush as well. Nothing on the audio thread allocates, locks, waits or does
// I/O; what it has to tell the main thread (the state became dirty, the editor wants its idle) it says with an
// atomic flag and the host's request_callback, which CLAP allows from any thread. process answers
// CLAP_PROCESS_SLEEP when the block ended with the voice at rest (silent until the next event), else CONTINUE.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "clap/ext.h"
#include "plugin/embed/instance.h"

namespace KoralinClap {

extern const clap_plugin_descriptor_t kDescriptor;

class Plugin final : public Embed::Listener {
 public:
  explicit Plugin(const clap_host_t* host);
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  const clap_plugin_t* clap() const { return &plugin_; }
  static Plugin& of(const clap_plugin_t* plugin) { return *static_cast<Plugin*>(plugin->plugin_data); }

  // The calls of clap_plugin_t.
  bool init();
  bool activate(double sampleRate, uint32_t maxFrames);
  void deactivate();
  void reset();
  clap_process_status process(const clap_process_t& process);
  const void* extension(const char* id) const;
  void onMainThread();

  // clap.params.
  bool paramValue(clap_id id, double& value) const;
  void flush(const clap_input_events_t* in, const clap_output_events_t* out);
  // clap.state.
  bool saveState(const clap_ostream_t& stream) const;
  bool loadState(const clap_istream_t& stream);
  // clap.preset-load: a factory program by its number, as the discovery factory lists them.
  bool loadPreset(uint32_t kind, const char* location, const char* key);
  // clap.render.
  void setOffline(bool offline) { instance_->setOffline(offline); }

  // clap.gui, clap.timer-support (gui.cpp).
  bool guiCreate();
  void guiDestroy();
  bool guiSetScale(double scale);
  bool guiSetParent(const clap_window_t& window);
  bool guiSize(uint32_t& width, uint32_t& height) const;
  void onTimer(clap_id timer);

  Embed::Instance& instance() { return *instance_; }

 private:
  // Embed::Listener, on the main thread.
  void automated(int32_t index, float normalized) override;
  void editBegun(int32_t index) override;
  void editEnded(int32_t index) override;
  bool editorResized(int32_t width, int32_t height) override;
  void displayChanged() override {}

  template <typename Ext>
  const Ext* hostExtension(const char* id) const {
    return host_->get_extension ? static_cast<const Ext*>(host_->get_extension(host_, id)) : nullptr;
  }
  // Host values and notes at their frames; the block cut wherever a value changes.
  void applyEvents(const clap_input_events_t* in, float* left, float* right, uint32_t frames);
  void applyParamValue(const clap_event_param_value_t& event);
  void addNote(const clap_event_header_t& header, uint32_t frame);
  void sendChanges(const clap_output_events_t* out);
  void askMainThread();
  void requestFlush() const;
  void startIdleFallback();
  void stopIdleFallback();

  const clap_host_t* host_;
  clap_plugin_t plugin_;
  std::unique_ptr<Embed::Instance> instance_;
  const clap_host_params_t* hostParams_ = nullptr;
  const clap_host_state_t* hostState_ = nullptr;
  const clap_host_gui_t* hostGui_ = nullptr;
  const clap_host_timer_support_t* hostTimer_ = nullptr;
  const clap_host_preset_load_t* hostPresetLoad_ = nullptr;

  // Audio side to main thread.
  std::atomic<bool> dirty_{false};              // the instrument changed a value itself: the host's state is stale
  std::atomic<bool> callbackAsked_{false};      // request_callback is pending
  bool inGesture_[KoralinParams::kCount] = {};  // audio side: a gesture is open on the host's side
  bool wasPlaying_ = false;                     // audio side: the transport played in the last block

  // Editor (main thread).
  bool guiCreated_ = false;
  clap_id timer_ = CLAP_INVALID_ID;
  // Without the host's timer: a thread of ours asks for a main-thread callback every idle period.
  std::thread idleThread_;
  std::mutex idleMutex_;
  std::condition_variable idleWake_;
  bool idleStop_ = false;
  std::atomic<bool> idleDue_{false};
};

}  // namespace KoralinClap

// A CLAP host of our own for the tests: loads a .clap module through clap_entry, makes a plug-in with a host record
// that answers the extensions Koralin asks for (and records every call, on which thread it came), and drives it
// with event lists and streams that a test shapes (pieces of any size, errors on the way).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clap/ext.h"

namespace ClapTest {

// The module, its entry initialised on load and left on unload.
class Module {
 public:
  explicit Module(const std::string& path);  // throws std::runtime_error
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const clap_plugin_entry_t& entry() const { return *entry_; }
  double loadMilliseconds = 0;  // loading, init and the factory: a host's scan of the module
  const clap_plugin_factory_t& factory() const { return *factory_; }
  const clap_plugin_descriptor_t& descriptor() const { return *factory_->get_plugin_descriptor(factory_, 0); }
  template <typename Factory>
  const Factory* otherFactory(const char* id) const {
    return static_cast<const Factory*>(entry_->get_factory(id));
  }

 private:
  void* module_ = nullptr;
  const clap_plugin_entry_t* entry_ = nullptr;
  const clap_plugin_factory_t* factory_ = nullptr;
};

// One event of any kind Koralin reads, as a host list holds it.
union Event {
  clap_event_header_t header;
  clap_event_note_t note;
  clap_event_param_value_t param;
  clap_event_param_gesture_t gesture;
  clap_event_midi_t midi;
  clap_event_transport_t transport;
};
Event noteEvent(uint32_t time, uint16_t type, int16_t key, double velocity, int16_t channel = 0);
Event midiEvent(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2);
Event paramEvent(uint32_t time, clap_id id, double value);

// The host's input list: events kept in the order added (a test sorts them as CLAP requires, or not).
class InputEvents {
 public:
  InputEvents();
  void add(const Event& event) { events_.push_back(event); }
  void clear() { events_.clear(); }
  void reserve(size_t n) { events_.reserve(n); }
  size_t size() const { return events_.size(); }
  const clap_input_events_t* list() const { return &list_; }

 private:
  static uint32_t CLAPCALL count(const clap_input_events_t* list);
  static const clap_event_header_t* CLAPCALL get(const clap_input_events_t* list, uint32_t index);
  std::vector<Event> events_;
  clap_input_events_t list_;
};

// The host's output list: what the plug-in pushed, copied.
class OutputEvents {
 public:
  OutputEvents();
  std::vector<Event> events;
  const clap_output_events_t* list() const { return &list_; }

 private:
  static bool CLAPCALL push(const clap_output_events_t* list, const clap_event_header_t* event);
  clap_output_events_t list_;
};

// A stream the plug-in writes into, taking at most piece bytes a call (0: all).
class OutStream {
 public:
  explicit OutStream(size_t piece = 0);
  std::vector<uint8_t> bytes;
  const clap_ostream_t* stream() const { return &stream_; }

 private:
  static int64_t CLAPCALL write(const clap_ostream_t* stream, const void* buffer, uint64_t size);
  size_t piece_;
  clap_ostream_t stream_;
};

// A stream the plug-in reads from, handing at most piece bytes a call (0: all); with failAt, the read that reaches
// that offset fails with -1.
class InStream {
 public:
  explicit InStream(std::vector<uint8_t> bytes, size_t piece = 0, int64_t failAt = -1);
  const clap_istream_t* stream() const { return &stream_; }
  size_t reads = 0;

 private:
  static int64_t CLAPCALL read(const clap_istream_t* stream, void* buffer, uint64_t size);
  std::vector<uint8_t> bytes_;
  size_t at_ = 0, piece_;
  int64_t failAt_;
  clap_istream_t stream_;
};

// The host record with its extensions. Calls the plug-in makes are counted; one made on a thread CLAP does not allow
// for it is written into violations.
class TestHost {
 public:
  TestHost();
  const clap_host_t* host() const { return &host_; }

  // The audio thread, while it is processing (the thread-check extension answers from it).
  void enterAudio() { audioThread_.store(std::this_thread::get_id()); }
  void leaveAudio() { audioThread_.store(std::thread::id{}); }
  bool onMainThread() const { return std::this_thread::get_id() == mainThread_; }
  bool onAudioThread() const { return std::this_thread::get_id() == audioThread_.load(); }

  bool offerTimer = true;  // answer clap.timer-support
  std::atomic<int> flushRequests{0}, callbackRequests{0}, processRequests{0}, restartRequests{0};
  int rescans = 0, dirtyMarks = 0, presetsLoaded = 0, presetErrors = 0, resizeRequests = 0;
  std::vector<clap_id> timers;  // registered and not yet unregistered
  uint32_t timerPeriod = 0;
  std::vector<std::string> violations() const;

 private:
  void mainOnly(const char* call);
  void notAudio(const char* call);
  static TestHost& of(const clap_host_t* host) { return *static_cast<TestHost*>(host->host_data); }
  static const void* CLAPCALL extension(const clap_host_t* host, const char* id);

  clap_host_t host_;
  std::thread::id mainThread_;
  std::atomic<std::thread::id> audioThread_{};
  mutable std::mutex violationsMutex_;
  std::vector<std::string> violations_;
  clap_id nextTimer_ = 1;
  friend struct HostCalls;
};

// A plug-in made by a module's factory for a host, initialised, destroyed at the end.
class Plugin {
 public:
  Plugin(const Module& module, TestHost& host);  // fails the test when none is made
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  const clap_plugin_t* plugin() const { return plugin_; }
  explicit operator bool() const { return plugin_ != nullptr; }
  template <typename Ext>
  const Ext* extension(const char* id) const {
    return static_cast<const Ext*>(plugin_->get_extension(plugin_, id));
  }
  const clap_plugin_params_t& params() const { return *params_; }
  const clap_plugin_state_t& state() const { return *state_; }

  bool activate(double rate, uint32_t maxFrames);
  void deactivate();
  // One block into left and right (resized to frames) from the events, on this thread as the audio thread.
  clap_process_status process(uint32_t frames, const InputEvents& in, OutputEvents* out = nullptr);
  void flush(const InputEvents& in, OutputEvents* out);
  double value(clap_id id) const;
  std::string text(clap_id id, double value) const;
  std::vector<uint8_t> save() const;

  std::vector<float> left, right;

 private:
  TestHost& host_;
  const clap_plugin_t* plugin_ = nullptr;
  const clap_plugin_params_t* params_ = nullptr;
  const clap_plugin_state_t* state_ = nullptr;
  bool active_ = false;
  int64_t steadyTime_ = 0;
  OutputEvents discard_;  // for a caller that wants no output events, made once
};

// Where the built module is; set by the build.
std::string modulePath();

}  // namespace ClapTest

// The tests' CLAP host: the module, the host record and its extensions, event lists, streams and the plug-in.
#include "tests/clap/clap_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "host/lib/module_loader.h"

namespace ClapTest {

// --- Module ------------------------------------------------------------------------------------------------------
Module::Module(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  module_ = Host::loadModule(path, error);
  if (!module_) throw std::runtime_error("cannot load " + path + ": " + error);
  entry_ = static_cast<const clap_plugin_entry_t*>(Host::moduleSymbol(module_, "clap_entry"));
  if (!entry_ || !entry_->init || !entry_->init(path.c_str())) {
    Host::unloadModule(module_);
    throw std::runtime_error(path + " has no clap_entry, or its init failed");
  }
  factory_ = static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
  if (!factory_ || factory_->get_plugin_count(factory_) < 1) {
    entry_->deinit();
    Host::unloadModule(module_);
    throw std::runtime_error(path + " has no plug-in factory, or no plug-in in it");
  }
  loadMilliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

Module::~Module() {
  entry_->deinit();
  Host::unloadModule(module_);
}

// --- Events ------------------------------------------------------------------------------------------------------
namespace {
clap_event_header_t header(uint32_t time, uint16_t type, size_t size) {
  return {(uint32_t)size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
}
}  // namespace

Event noteEvent(uint32_t time, uint16_t type, int16_t key, double velocity, int16_t channel) {
  Event e{};
  e.note = {header(time, type, sizeof(clap_event_note_t)), -1, 0, channel, key, velocity};
  return e;
}

Event midiEvent(uint32_t time, uint8_t status, uint8_t data1, uint8_t data2) {
  Event e{};
  e.midi = {header(time, CLAP_EVENT_MIDI, sizeof(clap_event_midi_t)), 0, {status, data1, data2}};
  return e;
}

Event paramEvent(uint32_t time, clap_id id, double value) {
  Event e{};
  e.param = {
      header(time, CLAP_EVENT_PARAM_VALUE, sizeof(clap_event_param_value_t)), id, nullptr, -1, -1, -1, -1, value};
  return e;
}

InputEvents::InputEvents() : list_{this, &InputEvents::count, &InputEvents::get} {}
uint32_t CLAPCALL InputEvents::count(const clap_input_events_t* list) {
  return (uint32_t) static_cast<const InputEvents*>(list->ctx)->events_.size();
}
const clap_event_header_t* CLAPCALL InputEvents::get(const clap_input_events_t* list, uint32_t index) {
  const auto& events = static_cast<const InputEvents*>(list->ctx)->events_;
  return index < events.size() ? &events[index].header : nullptr;
}

OutputEvents::OutputEvents() : list_{this, &OutputEvents::push} { events.reserve(4096); }
bool CLAPCALL OutputEvents::push(const clap_output_events_t* list, const clap_event_header_t* event) {
  if (!event || event->size > sizeof(Event) || event->size < sizeof(clap_event_header_t)) {
    ADD_FAILURE() << "an output event of " << (event ? event->size : 0) << " bytes";
    return false;
  }
  Event copy{};
  std::memcpy(&copy, event, event->size);
  static_cast<OutputEvents*>(list->ctx)->events.push_back(copy);
  return true;
}

// --- Streams -----------------------------------------------------------------------------------------------------
OutStream::OutStream(size_t piece) : piece_(piece), stream_{this, &OutStream::write} {}
int64_t CLAPCALL OutStream::write(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
  auto& self = *static_cast<OutStream*>(stream->ctx);
  const size_t n = self.piece_ ? std::min<size_t>(self.piece_, (size_t)size) : (size_t)size;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  self.bytes.insert(self.bytes.end(), bytes, bytes + n);
  return (int64_t)n;
}

InStream::InStream(std::vector<uint8_t> bytes, size_t piece, int64_t failAt)
    : bytes_(std::move(bytes)), piece_(piece), failAt_(failAt), stream_{this, &InStream::read} {}
int64_t CLAPCALL InStream::read(const clap_istream_t* stream, void* buffer, uint64_t size) {
  auto& self = *static_cast<InStream*>(stream->ctx);
  ++self.reads;
  size_t n = std::min<size_t>((size_t)size, self.bytes_.size() - self.at_);
  if (self.piece_) n = std::min(n, self.piece_);
  if (self.failAt_ >= 0 && (int64_t)(self.at_ + n) >= self.failAt_) return -1;
  if (n > 0) std::memcpy(buffer, self.bytes_.data() + self.at_, n);
  self.at_ += n;
  return (int64_t)n;
}

// --- The host record ---------------------------------------------------------------------------------------------
struct HostCalls {
  static TestHost& of(const clap_host_t* host) { return *static_cast<TestHost*>(host->host_data); }
  static void CLAPCALL requestRestart(const clap_host_t* host) { ++of(host).restartRequests; }
  static void CLAPCALL requestProcess(const clap_host_t* host) { ++of(host).processRequests; }
  static void CLAPCALL requestCallback(const clap_host_t* host) { ++of(host).callbackRequests; }

  static void CLAPCALL rescan(const clap_host_t* host, uint32_t) {
    of(host).mainOnly("params.rescan");
    ++of(host).rescans;
  }
  static void CLAPCALL clear(const clap_host_t* host, clap_id, uint32_t) { of(host).mainOnly("params.clear"); }
  static void CLAPCALL requestFlush(const clap_host_t* host) {
    of(host).notAudio("params.request_flush");
    ++of(host).flushRequests;
  }
  static void CLAPCALL markDirty(const clap_host_t* host) {
    of(host).mainOnly("state.mark_dirty");
    ++of(host).dirtyMarks;
  }
  static void CLAPCALL resizeHintsChanged(const clap_host_t* host) { of(host).notAudio("gui.resize_hints_changed"); }
  static bool CLAPCALL requestResize(const clap_host_t* host, uint32_t, uint32_t) {
    of(host).notAudio("gui.request_resize");
    ++of(host).resizeRequests;
    return false;
  }
  static bool CLAPCALL requestShow(const clap_host_t* host) { return of(host).notAudio("gui.request_show"), false; }
  static bool CLAPCALL requestHide(const clap_host_t* host) { return of(host).notAudio("gui.request_hide"), false; }
  static void CLAPCALL closed(const clap_host_t* host, bool) { of(host).notAudio("gui.closed"); }
  static bool CLAPCALL registerTimer(const clap_host_t* host, uint32_t period, clap_id* id) {
    TestHost& self = of(host);
    self.mainOnly("timer.register_timer");
    if (!id) return false;
    *id = self.nextTimer_++;
    self.timers.push_back(*id);
    self.timerPeriod = period;
    return true;
  }
  static bool CLAPCALL unregisterTimer(const clap_host_t* host, clap_id id) {
    TestHost& self = of(host);
    self.mainOnly("timer.unregister_timer");
    auto found = std::find(self.timers.begin(), self.timers.end(), id);
    if (found == self.timers.end()) return false;
    self.timers.erase(found);
    return true;
  }
  static bool CLAPCALL isMainThread(const clap_host_t* host) { return of(host).onMainThread(); }
  static bool CLAPCALL isAudioThread(const clap_host_t* host) { return of(host).onAudioThread(); }
  static void CLAPCALL presetError(const clap_host_t* host, uint32_t, const char*, const char*, int32_t, const char*) {
    of(host).mainOnly("preset-load.on_error");
    ++of(host).presetErrors;
  }
  static void CLAPCALL presetLoaded(const clap_host_t* host, uint32_t, const char*, const char*) {
    of(host).mainOnly("preset-load.loaded");
    ++of(host).presetsLoaded;
  }
};

namespace {
const clap_host_params_t kHostParams{&HostCalls::rescan, &HostCalls::clear, &HostCalls::requestFlush};
const clap_host_state_t kHostState{&HostCalls::markDirty};
const clap_host_gui_t kHostGui{&HostCalls::resizeHintsChanged, &HostCalls::requestResize, &HostCalls::requestShow,
                               &HostCalls::requestHide, &HostCalls::closed};
const clap_host_timer_support_t kHostTimer{&HostCalls::registerTimer, &HostCalls::unregisterTimer};
const clap_host_thread_check_t kHostThreadCheck{&HostCalls::isMainThread, &HostCalls::isAudioThread};
const clap_host_preset_load_t kHostPresetLoad{&HostCalls::presetError, &HostCalls::presetLoaded};
}  // namespace

TestHost::TestHost()
    : host_{kClapVersion,
            this,
            "Koralin test host",
            "Quillmarsh",
            "https://quillmarsh.example/",
            "1.0",
            &TestHost::extension,
            &HostCalls::requestRestart,
            &HostCalls::requestProcess,
            &HostCalls::requestCallback},
      mainThread_(std::this_thread::get_id()) {}

const void* CLAPCALL TestHost::extension(const clap_host_t* host, const char* id) {
  if (!id) return nullptr;
  if (!std::strcmp(id, CLAP_EXT_PARAMS)) return &kHostParams;
  if (!std::strcmp(id, CLAP_EXT_STATE)) return &kHostState;
  if (!std::strcmp(id, CLAP_EXT_GUI)) return &kHostGui;
  if (!std::strcmp(id, CLAP_EXT_TIMER_SUPPORT)) return of(host).offerTimer ? &kHostTimer : nullptr;
  if (!std::strcmp(id, CLAP_EXT_THREAD_CHECK)) return &kHostThreadCheck;
  if (!std::strcmp(id, CLAP_EXT_PRESET_LOAD)) return &kHostPresetLoad;
  return nullptr;
}

void TestHost::mainOnly(const char* call) {
  if (onMainThread()) return;
  std::lock_guard<std::mutex> lock(violationsMutex_);
  violations_.push_back(std::string(call) + " off the main thread");
}
void TestHost::notAudio(const char* call) {
  if (!onAudioThread()) return;
  std::lock_guard<std::mutex> lock(violationsMutex_);
  violations_.push_back(std::string(call) + " on the audio thread");
}
std::vector<std::string> TestHost::violations() const {
  std::lock_guard<std::mutex> lock(violationsMutex_);
  return violations_;
}

// --- The plug-in -------------------------------------------------------------------------------------------------
Plugin::Plugin(const Module& module, TestHost& host) : host_(host) {
  const clap_plugin_factory_t& factory = module.factory();
  plugin_ = factory.create_plugin(&factory, host.host(), module.descriptor().id);
  if (!plugin_) {
    ADD_FAILURE() << "the factory made no plug-in";
    return;
  }
  if (!plugin_->init(plugin_)) {
    ADD_FAILURE() << "the plug-in's init failed";
    plugin_->destroy(plugin_);
    plugin_ = nullptr;
    return;
  }
  params_ = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  state_ = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  if (!params_ || !state_) ADD_FAILURE() << "no clap.params or clap.state";
}

Plugin::~Plugin() {
  if (!plugin_) return;
  deactivate();
  plugin_->destroy(plugin_);
}

bool Plugin::activate(double rate, uint32_t maxFrames) {
  active_ = plugin_->activate(plugin_, rate, 1, maxFrames);
  if (active_) plugin_->start_processing(plugin_);  // the tests' audio thread is this one
  return active_;
}

void Plugin::deactivate() {
  if (!active_) return;
  plugin_->stop_processing(plugin_);
  plugin_->deactivate(plugin_);
  active_ = false;
}

clap_process_status Plugin::process(uint32_t frames, const InputEvents& in, OutputEvents* out) {
  left.assign(frames, 1.0f);  // not silence: a plug-in that leaves its output alone shows
  right.assign(frames, 1.0f);
  float* channels[2] = {left.data(), right.data()};
  clap_audio_buffer_t output{channels, nullptr, 2, 0, 0};
  discard_.events.clear();
  clap_process_t process{
      steadyTime_, frames, nullptr, nullptr, &output, 0, 1, in.list(), out ? out->list() : discard_.list()};
  host_.enterAudio();
  const clap_process_status status = plugin_->process(plugin_, &process);
  host_.leaveAudio();
  steadyTime_ += frames;
  return status;
}

void Plugin::flush(const InputEvents& in, OutputEvents* out) {
  discard_.events.clear();
  if (active_) host_.enterAudio();
  params_->flush(plugin_, in.list(), out ? out->list() : discard_.list());
  if (active_) host_.leaveAudio();
}

double Plugin::value(clap_id id) const {
  double v = -1e300;
  EXPECT_TRUE(params_->get_value(plugin_, id, &v)) << "parameter " << id;
  return v;
}

std::string Plugin::text(clap_id id, double value) const {
  char text[CLAP_NAME_SIZE] = {};
  if (!params_->value_to_text(plugin_, id, value, text, sizeof(text))) return "(none)";
  return text;
}

std::vector<uint8_t> Plugin::save() const {
  OutStream out;
  EXPECT_TRUE(state_->save(plugin_, out.stream()));
  return out.bytes;
}

std::string modulePath() { return KORALIN_CLAP_MODULE; }

}  // namespace ClapTest

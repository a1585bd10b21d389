// JackEngine: the client, its ports and callbacks, the real-time process, and a new sample rate taken up.
#include "plugin/standalone/jack_engine.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace Standalone {
namespace {

// What the audio side does with the editor's gestures: nothing (no host records them here), but the queue is
// drained so that it never fills and begins dropping.
struct IgnoredChanges : Embed::ChangeSink {
  void gestureBegin(int32_t) override {}
  void value(int32_t, float) override {}
  void gestureEnd(int32_t) override {}
};

void silent(const char*) {}

}  // namespace

JackEngine::OpenResult JackEngine::open(const std::string& name, bool exactName, std::string& detail) {
  // JACK's library writes lines of its own about a missing or vanished server; koralin says it in one line.
  jack_set_error_function(silent);
  jack_set_info_function(silent);
  jack_status_t status{};
  const int options = JackNoStartServer | (exactName ? JackUseExactName : 0);
  client_ = jack_client_open(name.c_str(), (jack_options_t)options, &status);
  if (!client_) {
    if (status & JackServerFailed) return OpenResult::NoServer;
    char text[96];
    if (status & JackNameNotUnique) std::snprintf(text, sizeof text, "the client name is taken");
    else std::snprintf(text, sizeof text, "the server refused the client (JACK status 0x%x)", (unsigned)status);
    detail = text;
    return OpenResult::Refused;
  }
  midiIn_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  outLeft_ = jack_port_register(client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  outRight_ = jack_port_register(client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  if (!midiIn_ || !outLeft_ || !outRight_) {
    detail = "the server would not register the client's ports";
    close();
    return OpenResult::Refused;
  }
  serverRate_.store(jack_get_sample_rate(client_));
  serverPeriod_.store(jack_get_buffer_size(client_));
  jack_set_process_callback(client_, &JackEngine::process, this);
  jack_set_sample_rate_callback(client_, &JackEngine::onSampleRate, this);
  jack_set_buffer_size_callback(client_, &JackEngine::onPeriod, this);
  jack_on_info_shutdown(client_, &JackEngine::onShutdown, this);
  return OpenResult::Opened;
}

bool JackEngine::activate(std::string& detail) {
  const uint32_t rate = serverRate_.load();
  if (!instance_.activate(rate, (int32_t)std::max<uint32_t>(serverPeriod_.load(), 1))) {
    detail = "the instrument cannot play at " + std::to_string(rate) + " Hz";
    return false;
  }
  startPending_.store(true);
  paused_.store(false);
  if (jack_activate(client_) != 0) {
    detail = "the server would not activate the client";
    return false;
  }
  activated_ = true;
  return true;
}

std::vector<std::string> JackEngine::connectOutputs() {
  std::vector<std::string> made;
  const char** playback =
      jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
  jack_port_t* const outputs[2] = {outLeft_, outRight_};
  for (int i = 0; i < 2 && playback && playback[i]; ++i) {
    const char* ours = jack_port_name(outputs[i]);
    if (jack_connect(client_, ours, playback[i]) == 0) made.push_back(std::string(ours) + " -> " + playback[i]);
  }
  if (playback) jack_free(playback);
  return made;
}

void JackEngine::close() {
  if (!client_) return;
  if (activated_ && !serverGone()) jack_deactivate(client_);
  jack_client_close(client_);
  client_ = nullptr;
  activated_ = false;
}

std::string JackEngine::clientName() const { return client_ ? jack_get_client_name(client_) : std::string(); }

uint32_t JackEngine::frameTime() const { return client_ ? jack_frame_time(client_) : 0; }

bool JackEngine::service() {
  const uint32_t rate = serverRate_.load();
  if (serverGone() || !activated_ || rate == 0 || (double)rate == instance_.sampleRate()) return false;
  reactivate(rate);
  return true;
}

void JackEngine::reactivate(uint32_t rate) {
  paused_.store(true);
  // process is at most one period inside the instance; a server that stopped calling it is gone or stopping.
  while (inProcess_.load() && !serverGone()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  instance_.activate(rate, (int32_t)std::max<uint32_t>(serverPeriod_.load(), 1));
  startPending_.store(true);
  paused_.store(false);
}

int JackEngine::process(jack_nframes_t frames, void* self) { return static_cast<JackEngine*>(self)->onProcess(frames); }

int JackEngine::onProcess(jack_nframes_t frames) {
  inProcess_.store(true);
  auto* left = static_cast<float*>(jack_port_get_buffer(outLeft_, frames));
  auto* right = static_cast<float*>(jack_port_get_buffer(outRight_, frames));
  const jack_nframes_t cycleStart = jack_last_frame_time(client_);
  if (paused_.load()) {
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    inbox_.discard(cycleStart);
    inProcess_.store(false);
    return 0;
  }
  if (startPending_.load(std::memory_order_relaxed)) {
    startPending_.store(false, std::memory_order_relaxed);
    activationFrame_.store(cycleStart, std::memory_order_relaxed);
    activations_.fetch_add(1, std::memory_order_release);
  }
  Embed::MidiEventList& events = instance_.events();
  void* midi = jack_port_get_buffer(midiIn_, frames);
  const uint32_t count = jack_midi_get_event_count(midi);
  for (uint32_t i = 0; i < count; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, midi, i) == 0) events.addBytes((int32_t)event.time, event.buffer, event.size);
  }
  inbox_.deliver(events, cycleStart, frames);
  instance_.process(left, right, (int32_t)frames);
  IgnoredChanges ignored;
  instance_.emitChanges(ignored);
  inProcess_.store(false);
  return 0;
}

int JackEngine::onSampleRate(jack_nframes_t rate, void* self) {
  static_cast<JackEngine*>(self)->sampleRateChanged(rate);
  return 0;
}

int JackEngine::onPeriod(jack_nframes_t frames, void* self) {
  static_cast<JackEngine*>(self)->serverPeriod_.store(frames);
  return 0;
}

void JackEngine::onShutdown(jack_status_t, const char* reason, void* self) {
  auto* engine = static_cast<JackEngine*>(self);
  // Written as a signal handler: a plain copy, then the flag.
  size_t i = 0;
  for (; reason && reason[i] && i + 1 < sizeof engine->shutdownReason_; ++i) engine->shutdownReason_[i] = reason[i];
  engine->shutdownReason_[i] = 0;
  engine->serverGone_.store(true, std::memory_order_release);
}

}  // namespace Standalone

// JackEngine: the instrument as a JACK client: a MIDI input, two audio outputs, the server's rate and period.
//
// Threads. JACK calls three kinds of function here:
// - process, on JACK's real-time thread: the audio side of the instance. It reads the MIDI port's events at their
//   frames and the ALSA inbox's, renders into the output ports and drains the editor's gestures. It never
//   allocates, locks, waits or does I/O; JACK's port and MIDI calls it makes are its real-time ones.
// - the sample-rate and period notifications and the shutdown, on JACK's notification thread (the shutdown perhaps
//   from elsewhere, written as a signal handler): each only stores an atomic that the main thread reads.
// - everything else (open, activate, connect, service, close) on the main thread, which is also the instance's main
//   and editor side.
// A new sample rate needs the instrument prepared again, which the audio side may not watch: the main thread sets
// paused_, waits until process is not inside the instance (inProcess_; both sequentially consistent, so either
// process sees the pause or the main thread sees it inside and waits), activates the instance at the new rate and
// lifts the pause. While paused, process writes silence and drops the MIDI that arrives; it never waits. A new
// period needs nothing: the instrument renders any number of frames, in pieces of the block it was prepared for.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/embed/instance.h"
#include "plugin/standalone/midi_inbox.h"

namespace Standalone {

class JackEngine {
 public:
  enum class OpenResult { Opened, NoServer, Refused };

  explicit JackEngine(Embed::Instance& instance) : instance_(instance) {}
  ~JackEngine() { close(); }
  JackEngine(const JackEngine&) = delete;
  JackEngine& operator=(const JackEngine&) = delete;

  // Connects to the running server (never starts one) as a client of that name and registers the ports and
  // callbacks; detail says why it failed. exactName: fail rather than take a numbered name (a session's client id).
  OpenResult open(const std::string& name, bool exactName, std::string& detail);
  // Activates the instance at the server's rate and period, then the client; false with the reason.
  bool activate(std::string& detail);
  // Connects the outputs to the first two physical playback ports; the connections made, as "ours -> theirs".
  std::vector<std::string> connectOutputs();
  // Deactivates and closes the client (also after the server shut it down).
  void close();

  // Main thread, often: takes up a new sample rate. True when the instance was activated again.
  bool service();
  bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }
  const char* shutdownReason() const { return shutdownReason_; }

  std::string clientName() const;
  uint32_t sampleRate() const { return serverRate_.load(); }
  uint32_t period() const { return serverPeriod_.load(); }
  // The JACK frame time of the first period rendered since the instance was last activated, and how many
  // activations the audio side has begun (0 until the first period).
  uint32_t activationFrame() const { return activationFrame_.load(std::memory_order_relaxed); }
  uint32_t activationsBegun() const { return activations_.load(std::memory_order_acquire); }

  // For the ALSA sequencer's thread: where its messages go, and the frame time to stamp them with.
  MidiInbox& inbox() { return inbox_; }
  uint32_t frameTime() const;

  // JACK's callbacks. process is public so that a test can wrap it (jack_set_process_callback before activate).
  static int process(jack_nframes_t frames, void* self);
  // The body of the sample-rate notification (what JACK calls when the server's rate changes).
  void sampleRateChanged(uint32_t rate) { serverRate_.store(rate); }
  jack_client_t* client() const { return client_; }

 private:
  int onProcess(jack_nframes_t frames);
  static int onSampleRate(jack_nframes_t rate, void* self);
  static int onPeriod(jack_nframes_t frames, void* self);
  static void onShutdown(jack_status_t status, const char* reason, void* self);
  void reactivate(uint32_t rate);

  Embed::Instance& instance_;
  jack_client_t* client_ = nullptr;
  jack_port_t* midiIn_ = nullptr;
  jack_port_t* outLeft_ = nullptr;
  jack_port_t* outRight_ = nullptr;
  bool activated_ = false;

  // Notification thread to main thread.
  std::atomic<uint32_t> serverRate_{0};
  std::atomic<uint32_t> serverPeriod_{0};
  std::atomic<bool> serverGone_{false};
  char shutdownReason_[256] = {};

  // Main thread and audio thread (see the top).
  std::atomic<bool> paused_{true};
  std::atomic<bool> inProcess_{false};
  std::atomic<bool> startPending_{false};
  std::atomic<uint32_t> activationFrame_{0};
  std::atomic<uint32_t> activations_{0};

  MidiInbox inbox_;
};

}  // namespace Standalone

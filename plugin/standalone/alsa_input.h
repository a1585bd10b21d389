// AlsaInput: MIDI from the ALSA sequencer, for desktops whose keyboards are not bridged into JACK: a client with one
// writable port "Koralin", read on a thread of its own that stamps each message with the JACK frame time it
// arrived at and pushes it into the engine's MidiInbox (the audio thread places it one period later).
#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <string>
#include <thread>

namespace Standalone {

class JackEngine;

class AlsaInput {
 public:
  AlsaInput() = default;
  ~AlsaInput() { close(); }
  AlsaInput(const AlsaInput&) = delete;
  AlsaInput& operator=(const AlsaInput&) = delete;

  // Opens the sequencer as a client of that name with the port "Koralin"; false with the reason.
  bool open(const std::string& clientName, std::string& reason);
  // The port's address as ALSA's tools name it ("128:0").
  std::string address() const;
  // Starts the reading thread; messages go to the engine's inbox from then on.
  void start(JackEngine& engine);
  // Stops the thread and closes the sequencer.
  void close();

 private:
  void read(JackEngine& engine);

  snd_seq_t* seq_ = nullptr;
  int port_ = -1;
  int wake_[2] = {-1, -1};  // a pipe that ends the reading thread's poll
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// The MIDI bytes of a sequencer event (a channel message), size 0 for any other event.
size_t midiBytesOf(const snd_seq_event_t& event, uint8_t bytes[3]);

}  // namespace Standalone

// What the standalone's tests play it with: a JACK dummy server of their own (started and stopped by its process id),
// a probe of two JACK clients (keys that send MIDI at chosen frames, ears that record both outputs from a chosen
// frame), koralin-render playing the same events, and a note-by-note reading of what came out.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "child.h"

namespace StandaloneTest {

// jackd -d dummy under a name of its own; clients reach it with JACK_DEFAULT_SERVER (env()) or by name.
class JackServer {
 public:
  JackServer(int rate, int period);
  ~JackServer() { stop(); }
  bool up() const { return up_; }
  void stop();  // SIGTERM to its process id, then waits for it
  const std::string& name() const { return name_; }
  std::string env() const { return "JACK_DEFAULT_SERVER=" + name_; }
  // What jackd wrote so far (it reports a client that missed its period).
  std::string log() const;

 private:
  std::string name_;
  std::unique_ptr<Child> jackd_;
  bool up_ = false;
};

struct TimedMidi {
  uint32_t frame;  // JACK frame time
  uint8_t bytes[3];
  uint8_t size;
};

class Probe {
 public:
  Probe(const JackServer& server, size_t recordFrames);
  ~Probe();
  bool ok() const { return keys_ && ears_; }
  // keys -> client:midi_in, client:out_left and out_right -> ears.
  bool connectTo(const std::string& client);
  // Sends these (sorted by frame) and records recordFrames from start; call once, before the first event is due.
  void arm(const std::vector<TimedMidi>& events, uint32_t start);
  // Runs the server freewheeling (every client in turn, as fast as they go, never a missed period) until the
  // recording is done: what the machine's load does to real time stays out of the comparison.
  bool recordFreewheeling(int ms);
  bool waitRecorded(int ms);  // in real time
  uint32_t now() const { return jack_frame_time(keys_); }
  jack_client_t* keys() const { return keys_; }
  std::vector<float> left, right;

 private:
  static int sendKeys(jack_nframes_t frames, void* self);
  static int record(jack_nframes_t frames, void* self);

  jack_client_t *keys_ = nullptr, *ears_ = nullptr;
  jack_port_t *midiOut_ = nullptr, *inLeft_ = nullptr, *inRight_ = nullptr;
  std::vector<TimedMidi> events_;
  size_t nextEvent_ = 0;
  uint32_t start_ = 0;
  std::atomic<bool> armed_{false};
  std::atomic<bool> recorded_{false};
};

// Events at frames from the instrument's activation, played by koralin-render at rate into a float WAV file of at
// least frames frames, with the program chosen first; the left channel, or empty with the reason in error.
std::vector<float> renderWithRenderer(const std::vector<TimedMidi>& events, int rate, const std::string& program,
                                      size_t frames, const std::string& scratch, std::string& error);

// A note as it sounds in a stretch of a recording.
struct HeardNote {
  int64_t firstSound;  // the first frame at or after the stretch's start that is not silent, -1 for none
  double hz;           // the fundamental, from the autocorrelation of the stretch's middle half
  double db;           // the RMS level of the stretch
};
HeardNote hear(const std::vector<float>& signal, size_t from, size_t to, double rate);
// The pitch Koralin plays a note at with its tune knob at the centre: note 81 is 440 Hz.
double noteHz(int note);
// How far a heard pitch is from a note, in semitones. The oscillator's drift moves its pitch by a few percent over
// a tenth of a second, so a note counts as in tune within three quarters of a semitone (0.75): a semitone off, a
// wrong octave or a wrong sample rate (44.1 for 48 kHz is 1.5 semitones) are not.
double semitonesFrom(double hz, int note);
constexpr double kInTune = 0.75;

// Where two renders first differ, or empty when they are the same to the bit over their common length.
std::string firstDifference(const std::vector<float>& a, const std::vector<float>& b, size_t length);

// koralin's path, and a fresh scratch folder for a test.
std::string koralinPath();
std::string scratchFolder(const std::string& name);

}  // namespace StandaloneTest

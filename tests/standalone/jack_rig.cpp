// The JACK dummy server, the probe's two clients, koralin-render and the note reading.
#include "jack_rig.h"

#include <jack/midiport.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/lib/midi_writer.h"

namespace StandaloneTest {
namespace {

jack_client_t* openClient(const std::string& server, const char* name) {
  jack_status_t status{};
  return jack_client_open(name, (jack_options_t)(JackNoStartServer | JackServerName), &status, server.c_str());
}

}  // namespace

JackServer::JackServer(int rate, int period) {
  jack_set_error_function([](const char*) {});  // a server not up yet is asked again, not reported
  jack_set_info_function([](const char*) {});
  static int made = 0;
  name_ = "koralin-test-" + std::to_string(getpid()) + "-" + std::to_string(++made);
  jackd_ = std::make_unique<Child>(std::vector<std::string>{"/usr/bin/jackd", "-n", name_, "-d", "dummy", "-r",
                                                            std::to_string(rate), "-p", std::to_string(period)});
  for (int attempt = 0; attempt < 100 && jackd_->running(); ++attempt) {
    if (jack_client_t* c = openClient(name_, "koralin-test-probe")) {
      jack_client_close(c);
      up_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string JackServer::log() const {
  if (!jackd_) return {};
  jackd_->collect();
  return jackd_->out() + jackd_->err();
}

void JackServer::stop() {
  if (!jackd_) return;
  jackd_->signal(SIGTERM);
  jackd_->wait(5000);
  jackd_.reset();
  up_ = false;
}

Probe::Probe(const JackServer& server, size_t recordFrames) : left(recordFrames), right(recordFrames) {
  keys_ = openClient(server.name(), "probe-keys");
  ears_ = openClient(server.name(), "probe-ears");
  if (!keys_ || !ears_) return;
  midiOut_ = jack_port_register(keys_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  inLeft_ = jack_port_register(ears_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  inRight_ = jack_port_register(ears_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(keys_, &Probe::sendKeys, this);
  jack_set_process_callback(ears_, &Probe::record, this);
  jack_activate(keys_);
  jack_activate(ears_);
}

Probe::~Probe() {
  for (jack_client_t* c : {keys_, ears_})
    if (c) jack_client_close(c);
}

bool Probe::connectTo(const std::string& client) {
  return jack_connect(keys_, jack_port_name(midiOut_), (client + ":midi_in").c_str()) == 0 &&
         jack_connect(ears_, (client + ":out_left").c_str(), jack_port_name(inLeft_)) == 0 &&
         jack_connect(ears_, (client + ":out_right").c_str(), jack_port_name(inRight_)) == 0;
}

void Probe::arm(const std::vector<TimedMidi>& events, uint32_t start) {
  events_ = events;
  start_ = start;
  armed_.store(true, std::memory_order_release);
}

bool Probe::recordFreewheeling(int ms) {
  jack_set_freewheel(keys_, 1);
  const bool recorded = waitRecorded(ms);
  jack_set_freewheel(keys_, 0);
  return recorded;
}

bool Probe::waitRecorded(int ms) {
  for (int waited = 0; waited < ms && !recorded_.load(); waited += 5)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return recorded_.load();
}

int Probe::sendKeys(jack_nframes_t frames, void* self) {
  auto* p = static_cast<Probe*>(self);
  void* out = jack_port_get_buffer(p->midiOut_, frames);
  jack_midi_clear_buffer(out);
  if (!p->armed_.load(std::memory_order_acquire)) return 0;
  const jack_nframes_t cycle = jack_last_frame_time(p->keys_);
  for (; p->nextEvent_ < p->events_.size(); ++p->nextEvent_) {
    const TimedMidi& e = p->events_[p->nextEvent_];
    const int32_t offset = (int32_t)(e.frame - cycle);
    if (offset >= (int32_t)frames) break;
    jack_midi_event_write(out, (jack_nframes_t)std::max(offset, 0), e.bytes, e.size);  // late ones at once
  }
  return 0;
}

int Probe::record(jack_nframes_t frames, void* self) {
  auto* p = static_cast<Probe*>(self);
  if (!p->armed_.load(std::memory_order_acquire) || p->recorded_.load()) return 0;
  const jack_nframes_t cycle = jack_last_frame_time(p->ears_);
  const auto* l = static_cast<const float*>(jack_port_get_buffer(p->inLeft_, frames));
  const auto* r = static_cast<const float*>(jack_port_get_buffer(p->inRight_, frames));
  for (jack_nframes_t i = 0; i < frames; ++i) {
    const int64_t at = (int32_t)(cycle + i - p->start_);
    if (at < 0) continue;
    if ((size_t)at >= p->left.size()) {
      p->recorded_.store(true);
      break;
    }
    p->left[(size_t)at] = l[i];
    p->right[(size_t)at] = r[i];
  }
  return 0;
}

std::vector<float> renderWithRenderer(const std::vector<TimedMidi>& events, int rate, const std::string& program,
                                      size_t frames, const std::string& scratch, std::string& error) {
  // One tick a frame: 120 beats a minute and rate / 2 ticks a beat, or twice that tempo where the division would
  // not fit in the file's 15 bits.
  const bool fast = rate / 2 > 32767;
  Host::MidiTrackWriter track;
  track.tempo(0, fast ? 250000 : 500000);
  uint32_t last = 0;
  for (const TimedMidi& e : events) {
    track.channel(e.frame - last, e.bytes[0], e.bytes[1], e.size > 2 ? e.bytes[2] : 0);
    last = e.frame;
  }
  track.endOfTrack();
  const std::vector<uint8_t> file = Host::writeMidiFile(0, (uint16_t)(fast ? rate / 4 : rate / 2), {track});
  const std::string mid = scratch + "/events.mid", wav = scratch + "/render.wav";
  std::ofstream(mid, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), (std::streamsize)file.size());
  const double tail = std::max(0.0, ((double)frames - last) / rate) + 0.05;
  Child render({KORALIN_RENDER, "--rate", std::to_string(rate), "--format", "float", "--program", program, "--tail",
                std::to_string(tail), mid, wav});
  if (render.wait(60000) != 0) {
    error = "koralin-render failed: " + render.out() + render.err();
    return {};
  }
  SF_INFO info{};
  SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
  if (!f) {
    error = "cannot read " + wav;
    return {};
  }
  std::vector<float> both((size_t)info.frames * (size_t)info.channels);
  sf_readf_float(f, both.data(), info.frames);
  sf_close(f);
  std::vector<float> left((size_t)info.frames);
  for (size_t i = 0; i < left.size(); ++i) left[i] = both[i * (size_t)info.channels];
  return left;
}

double noteHz(int note) { return 440.0 * std::pow(2.0, (note - 81) / 12.0); }

double semitonesFrom(double hz, int note) { return hz > 0 ? 12.0 * std::log2(hz / noteHz(note)) : 99.0; }

HeardNote hear(const std::vector<float>& signal, size_t from, size_t to, double rate) {
  HeardNote heard{-1, 0.0, -200.0};
  to = std::min(to, signal.size());
  double energy = 0;
  for (size_t i = from; i < to; ++i) {
    if (heard.firstSound < 0 && std::fabs(signal[i]) > 1e-6f) heard.firstSound = (int64_t)i;
    energy += (double)signal[i] * signal[i];
  }
  if (to > from) heard.db = 10 * std::log10(energy / (double)(to - from) + 1e-30);
  // The smallest lag whose normalized autocorrelation comes within 3 % of the best one, between 25 Hz and 1 kHz.
  const size_t a = from + (to - from) / 4, n = (to - from) / 2;
  const size_t minLag = (size_t)(rate / 1000), maxLag = std::min((size_t)(rate / 25), n / 2);
  std::vector<double> r(maxLag + 2, 0.0);
  double best = 0;
  for (size_t lag = minLag; lag <= maxLag + 1; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = a; i + lag < a + n; ++i) {
      xy += (double)signal[i] * signal[i + lag];
      xx += (double)signal[i] * signal[i];
      yy += (double)signal[i + lag] * signal[i + lag];
    }
    r[lag] = xy / std::sqrt(xx * yy + 1e-30);
    best = std::max(best, r[lag]);
  }
  for (size_t lag = minLag + 1; lag <= maxLag; ++lag) {
    if (r[lag] < 0.97 * best || r[lag] < r[lag - 1] || r[lag] < r[lag + 1]) continue;
    const double bend = 0.5 * (r[lag - 1] - r[lag + 1]) / (r[lag - 1] - 2 * r[lag] + r[lag + 1]);  // the parabola's top
    heard.hz = rate / ((double)lag + bend);
    break;
  }
  return heard;
}

std::string firstDifference(const std::vector<float>& a, const std::vector<float>& b, size_t length) {
  if (a.size() < length || b.size() < length) return "a render is shorter than " + std::to_string(length) + " frames";
  for (size_t i = 0; i < length; ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
      return "frame " + std::to_string(i) + ": " + std::to_string(a[i]) + " against " + std::to_string(b[i]);
  return {};
}

std::string koralinPath() { return KORALIN_EXE; }

std::string scratchFolder(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(SCRATCH_DIR) / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "config");
  return dir.string();
}

}  // namespace StandaloneTest

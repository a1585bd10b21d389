// Times every processing call of 64-sample blocks at 44.1 kHz over the demo song, with program changes, parameter
// jumps, all-notes-off, reset and chunk loads (the last two kinds of change made on a UI thread between blocks),
// and prints the median, 99th and 99.9th percentile and maximum for each kind of block and overall.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/block_stats.h"
#include "bench/ui_thread.h"
#include "host/lib/midi_file.h"
#include "host/lib/midi_timeline.h"
#include "host/lib/plugin_host.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 64;

enum Kind { kPlain, kAutomation, kNoteOn, kParamJump, kProgramChange, kAllNotesOff, kReset, kChunkLoad, kKinds };
const char* const kKindNames[kKinds] = {"plain",          "knob automation", "note-on",     "parameter jump",
                                        "program change", "all-notes-off",   "reset (120)", "after chunk load"};

// The demo song's settings and its two knobs (controllers 74 and 71), as the demo renders it.
struct Demo {
  int32_t cutoff, reso;
  void apply(Host::PluginHost& host) const {
    const std::pair<const char*, float> settings[] = {{"wave", 0.0f},   {"envmod", 0.7f}, {"decay", 0.35f},
                                                      {"accent", 0.8f}, {"cutoff", 0.4f}, {"reso", 0.75f}};
    for (const auto& [name, value] : settings) host.setParameter(host.findParam(name), value);
  }
};

std::string defaultSong() {
  const std::string here = __FILE__;
  return here.substr(0, here.find_last_of('/') + 1) + "../examples/acid.mid";
}

class Bench {
 public:
  Bench(const Host::MidiTimeline& song, int64_t loopSamples)
      : song_(song.events()), loop_(loopSamples), host_(KORALIN_MODULE), random_(7) {
    host_.start((float)kRate, kBlock);
    demo_ = {host_.findParam("cutoff"), host_.findParam("reso")};
    demo_.apply(host_);
    chunks_[0] = host_.getChunk(false);  // the bank as the demo starts
    host_.setParameter(demo_.cutoff, 0.9f);
    chunks_[1] = host_.getChunk(true);  // a preset with the filter open
    host_.setChunk(chunks_[0], false);
  }

  // Plays `blocks` blocks; the times go to the statistics only when measuring.
  void play(int64_t blocks, bool measuring) {
    for (int64_t b = 0; b < blocks; ++b, ++block_) {
      Kind kind = special(block_ % 40);
      if (kind == kParamJump || kind == kChunkLoad) ui_.run([&] { uiChange(kind); });
      const bool knob = songEvents();
      if (kind == kPlain) kind = noteOn_ ? kNoteOn : knob ? kAutomation : kPlain;
      std::stable_sort(midi_.begin(), midi_.end(),
                       [](const auto& a, const auto& b) { return a.deltaFrames < b.deltaFrames; });
      host_.sendMidi(midi_);
      float* outs[2] = {left_, right_};
      const double t0 = BlockStats::nowSeconds();
      host_.processReplacing(nullptr, outs, kBlock);
      const double elapsed = BlockStats::nowSeconds() - t0;
      if (measuring) {
        times_[kind].add(elapsed);
        overall_.add(elapsed);
      }
      host_.automated.clear();
    }
  }

  void print() const {
    std::printf("%-18s %8s %10s %10s %10s %10s %13s\n", "block kind", "blocks", "median", "99%", "99.9%", "max",
                "median/plain");
    line("all blocks", overall_);
    const double plain = times_[kPlain].percentile(0.5);
    double worst = 0.0;
    const char* worstName = "";
    for (int k = 0; k < kKinds; ++k) {
      const double ratio = times_[k].percentile(0.5) / plain;
      line(kKindNames[k], times_[k], ratio);
      if (ratio > worst) {
        worst = ratio;
        worstName = kKindNames[k];
      }
    }
    std::printf("target, every kind's median at most twice the plain median: %s (largest ratio %.2f, %s)\n",
                worst <= 2.0 ? "met" : "NOT MET", worst, worstName);
  }

 private:
  // The changes made on top of the song, each in its own block of every 40.
  Kind special(int64_t phase) {
    midi_.clear();
    const int32_t at = std::uniform_int_distribution<int32_t>(0, kBlock - 1)(random_);
    switch (phase) {
      case 5: midi_.push_back({at, 0xC0, (uint8_t)(block_ / 40 % 8), 0}); return kProgramChange;
      case 13: return kParamJump;
      case 21: midi_.push_back({at, 0xB0, 123, 0}); return kAllNotesOff;
      case 29: midi_.push_back({at, 0xB0, 120, 0}); return kReset;
      case 37: return kChunkLoad;
      default: return kPlain;
    }
  }

  // On the UI thread: every parameter jumps (to random values, then back to the demo's), or a chunk is loaded.
  void uiChange(Kind kind) {
    if (kind == kChunkLoad) {
      const bool preset = (block_ / 40) % 2 == 1;
      host_.setChunk(chunks_[preset ? 1 : 0], preset);
    } else if ((jumps_++ % 2) == 0) {
      for (int32_t i = 0; i < host_.effect()->numParams; ++i)
        host_.setParameter(i, std::uniform_real_distribution<float>(0.0f, 1.0f)(random_));
    } else {
      demo_.apply(host_);
    }
  }

  // The song's events inside this block: notes as MIDI, the knobs as host automation before the call.
  bool songEvents() {
    bool knob = false;
    noteOn_ = false;
    const int64_t start = block_ * kBlock % loop_;
    for (;; next_ = (next_ + 1) % song_.size()) {
      const Host::TimedMidi& e = song_[next_];
      if (e.sample < start || e.sample >= start + kBlock) break;
      if ((e.status & 0xF0) == 0xB0 && (e.data1 == 74 || e.data1 == 71)) {
        host_.setParameter(e.data1 == 74 ? demo_.cutoff : demo_.reso, e.data2 / 127.0f);
        knob = true;
      } else {
        midi_.push_back({(int32_t)(e.sample - start), e.status, e.data1, e.data2});
        noteOn_ = noteOn_ || ((e.status & 0xF0) == 0x90 && e.data2 > 0);
      }
    }
    return knob;
  }

  void line(const char* name, const BlockStats::Histogram& h, double ratio = -1.0) const {
    std::printf("%-18s %8llu %7.1f us %7.1f us %7.1f us %7.1f us", name, (unsigned long long)h.count(),
                h.percentile(0.5) * 1e6, h.percentile(0.99) * 1e6, h.percentile(0.999) * 1e6, h.maximum() * 1e6);
    if (ratio >= 0.0) std::printf(" %13.2f", ratio);
    std::printf("\n");
  }

  const std::vector<Host::TimedMidi>& song_;
  const int64_t loop_;
  Host::PluginHost host_;
  BlockStats::UiThread ui_;
  std::mt19937 random_;
  Demo demo_{};
  std::vector<uint8_t> chunks_[2];
  std::vector<Host::MidiMessage> midi_;
  float left_[kBlock], right_[kBlock];
  int64_t block_ = 0;
  size_t next_ = 0;
  int jumps_ = 0;
  bool noteOn_ = false;
  BlockStats::Histogram times_[kKinds];
  BlockStats::Histogram overall_;
};

}  // namespace

int main(int argc, char** argv) {
  double seconds = 300.0;
  std::string songPath = defaultSong();
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    else if (std::strcmp(argv[i], "--song") == 0) songPath = argv[i + 1];
  }
  if (argc % 2 == 0 || seconds <= 0.0) {
    std::fprintf(stderr, "usage: block_timing [--seconds AUDIO_SECONDS (300)] [--song FILE.mid (the demo)]\n");
    return 2;
  }
  std::ifstream file(songPath, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  try {
    const Host::MidiTimeline song(Host::parseMidiFile(bytes), kRate);
    if (song.events().empty()) throw std::runtime_error("the song has no events");
    // The loop is the song rounded up to whole bars of four quarters.
    const double quarters = std::ceil(song.quarterAt(song.lastEventSample()) / 4.0) * 4.0;
    const int64_t loop = (int64_t)std::llround(quarters * 60.0 / song.tempoAt(0) * kRate) / kBlock * kBlock;
    Bench bench(song, loop);
    bench.play(loop / kBlock, false);  // once through the song unmeasured: every table and buffer is made
    const int64_t blocks = (int64_t)(seconds * kRate / kBlock);
    bench.play(blocks, true);
    std::printf("block timing: %lld blocks of %d samples at %.1f kHz, %s looped for %.0f s of audio\n",
                (long long)blocks, kBlock, kRate / 1000.0, songPath.c_str(), seconds);
    bench.print();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "block_timing: %s: %s\n", songPath.c_str(), error.what());
    return 1;
  }
  return 0;
}

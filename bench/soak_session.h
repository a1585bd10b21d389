// One soak run: a host with an audio side (blocks, MIDI, automation) and a UI thread (chunks, programs, suspend
// and resume with a new sample rate and block size), and the figures it watches.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/block_stats.h"
#include "bench/soak_player.h"
#include "bench/ui_thread.h"
#include "host/lib/plugin_host.h"

namespace Soak {

struct Options {
  double seconds = 3600.0;
  uint64_t seed = 1;
  std::string module;
  double progress = 300.0;
  long marginKb = 2048;
};

constexpr int32_t kMaxBlock = 4096;
constexpr int32_t kLongest = 2 * kMaxBlock;  // a host may call with more frames than the block size it set
constexpr float kRates[] = {22050.0f, 32000.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f};

struct Figures {
  uint64_t samples = 0, calls = 0, nonFinite = 0, configurations = 0, chunkLoads = 0, programSwitches = 0;
  double peak = 0.0;
  BlockStats::Histogram blockTime;  // seconds per processing call
  BlockStats::Histogram load;       // processing time over the block's duration
};

class Session {
 public:
  explicit Session(const Options& options)
      : options_(options),
        host_(std::make_unique<Host::PluginHost>(options.module)),
        player_(options.seed, host_->effect()->numParams),
        floats_(2 * kLongest),
        doubles_(2 * kLongest) {
    host_->start(44100.0f, 512);
    rssStart_ = BlockStats::residentKb();
  }

  // Every common sample rate and a few others, each with the largest, the smallest and two ordinary block sizes,
  // every UI action at least once, then random playing for a tenth of the time (5 s to a minute): what a long
  // run allocates, it has by then. Tables built per sample rate come and go, so the allocator's high-water mark is
  // what later memory is held to: the most resident memory seen after any resume of the warm-up, or at its end.
  void warmUp() {
    std::vector<float> rates(std::begin(kRates), std::end(kRates));
    for (int extra = 0; extra < 16; ++extra) rates.push_back(randomRate());
    for (float rate : rates)
      for (int32_t block : {kMaxBlock, 1, 64, 1000}) {
        ui_.run([&] { configure(rate, block); });
        for (int action = 0; action < 6; ++action) ui_.run([&] { uiAction(action); });
        for (double t = 0.0; t < 0.02;) t += processBlock();
      }
    playFor(std::min(60.0, std::max(5.0, options_.seconds * 0.1)));
    rssWarm_ = std::max(rssWarm_, BlockStats::residentKb());
    warming_ = false;
    const Figures fresh;
    const uint64_t faults = figures_.nonFinite;
    figures_ = fresh;
    figures_.nonFinite = faults;
    audioSeconds_ = 0.0;
  }

  void play() { playFor(options_.seconds); }

  // Prints the figures; returns false (and says why) on a non-finite sample or memory that grew.
  bool report() {
    const long rssEnd = BlockStats::residentKb();
    const Figures& f = figures_;
    char times[160], loads[160];
    BlockStats::describe(f.blockTime, times, sizeof(times));
    std::snprintf(loads, sizeof(loads), "median %.2f%%, 99%% %.2f%%, 99.9%% %.2f%%, max %.1f%%",
                  f.load.percentile(0.5) * 100, f.load.percentile(0.99) * 100, f.load.percentile(0.999) * 100,
                  f.load.maximum() * 100);
    std::printf(
        "soak: seed %llu, %.0f s: %llu samples (%.0f s of audio) in %llu calls, %llu configurations, %llu "
        "chunk loads, %llu program switches\n",
        (unsigned long long)options_.seed, options_.seconds, (unsigned long long)f.samples, audioSeconds_,
        (unsigned long long)f.calls, (unsigned long long)f.configurations, (unsigned long long)f.chunkLoads,
        (unsigned long long)f.programSwitches);
    std::printf("soak: block time %s\nsoak: real-time load %s\n", times, loads);
    std::printf("soak: peak %.3f, %llu non-finite samples\n", f.peak, (unsigned long long)f.nonFinite);
    std::printf("soak: resident memory %ld kB at start, %ld kB at most during the warm-up, %ld kB at the end\n",
                rssStart_, rssWarm_, rssEnd);
    bool ok = true;
    if (f.nonFinite > 0) {
      std::printf("soak: FAILED: %llu non-finite samples, the first %s\n", (unsigned long long)f.nonFinite,
                  firstFault_.c_str());
      ok = false;
    }
    if (rssWarm_ < 0 || rssEnd < 0 || rssEnd - rssWarm_ > options_.marginKb) {
      std::printf("soak: FAILED: resident memory grew by %ld kB after the warm-up (allowed %ld kB)\n",
                  rssEnd - rssWarm_, options_.marginKb);
      ok = false;
    }
    std::printf(
        "soak %s (%.0f s, seed %llu): %llu samples, peak %.3f, %llu non-finite; block time %s; "
        "resident %ld -> %ld kB\n",
        ok ? "passed" : "FAILED", options_.seconds, (unsigned long long)options_.seed, (unsigned long long)f.samples,
        f.peak, (unsigned long long)f.nonFinite, times, rssWarm_, rssEnd);
    return ok;
  }

 private:
  void playFor(double wallSeconds) {
    const double start = BlockStats::nowSeconds();
    double nextProgress = start + (options_.progress > 0 ? options_.progress : 1e300);
    double configLeft = 0.0;
    for (double now = start; now - start < wallSeconds; now = BlockStats::nowSeconds()) {
      if (configLeft <= 0.0) {
        ui_.run([&] { configure(randomRate(), randomBlock()); });
        configLeft = 0.05 + 1.45 * player_.unit();
      }
      const double seconds = processBlock();
      configLeft -= seconds;
      // Each UI action a few times per second of audio.
      for (int action = 0; action < 6; ++action)
        if (player_.chance(seconds * 0.7)) ui_.run([&] { uiAction(action); });
      if (now >= nextProgress) {
        nextProgress += options_.progress;
        std::printf("soak: %.0f s, %llu samples, peak %.3f, %llu non-finite, resident %ld kB\n", now - start,
                    (unsigned long long)figures_.samples, figures_.peak, (unsigned long long)figures_.nonFinite,
                    BlockStats::residentKb());
        std::fflush(stdout);
      }
    }
  }

  float randomRate() {
    if (player_.chance(0.7)) return kRates[player_.between(0, 7)];
    return 22050.0f + (192000.0f - 22050.0f) * player_.unit();
  }

  int32_t randomBlock() {
    if (player_.chance(0.1)) return player_.chance(0.5) ? 1 : kMaxBlock;
    if (player_.chance(0.3)) return 1 << player_.between(5, 12);
    return std::clamp((int32_t)std::exp(std::log((double)kMaxBlock) * player_.unit()), 1, kMaxBlock);
  }

  // On the UI thread, with the audio side waiting: the host stops processing, changes the setup and resumes.
  void configure(float rate, int32_t block) {
    host_->suspend();
    host_->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    host_->dispatch(effSetBlockSize, 0, block);
    host_->resume();
    rate_ = rate;
    blockSize_ = block;
    host_->timeQueries = 0;
    ++figures_.configurations;
    if (warming_) rssWarm_ = std::max(rssWarm_, BlockStats::residentKb());
  }

  // On the UI thread: save a chunk (sometimes with learnt bindings added), load one, switch or rename a program,
  // read every parameter's display text.
  void uiAction(int action) {
    switch (action) {
      case 0: saveChunk(); break;
      case 1:
        if (!chunks_.empty()) {
          host_->setChunk(chunks_[(size_t)player_.between(0, (int32_t)chunks_.size() - 1)], player_.chance(0.5));
          ++figures_.chunkLoads;
        }
        break;
      case 2:
        host_->dispatch(effSetProgram, 0, player_.between(0, host_->effect()->numPrograms - 1));
        ++figures_.programSwitches;
        break;
      case 3: {
        char name[32];
        std::snprintf(name, sizeof(name), "soak %d", player_.between(0, 999999));
        host_->dispatch(effSetProgramName, 0, 0, name);
        break;
      }
      case 4:
        for (int32_t i = 0; i < host_->effect()->numParams; ++i) host_->paramDisplay(i);
        break;
      default: host_->setParameter(player_.between(0, host_->effect()->numParams - 1), player_.unit()); break;
    }
    host_->automated.clear();  // the host's log of automation would otherwise grow for the whole run
  }

  void saveChunk() {
    const bool preset = player_.chance(0.5);
    std::vector<uint8_t> chunk = host_->getChunk(preset);
    for (int n = player_.between(0, 2); n > 0; --n) {
      int controller = 0;
      while (!bindableController(controller)) controller = player_.between(1, 119);
      const uint16_t key = (uint16_t)(0xB000 + controller);
      chunk.insert(chunk.end(),
                   {1, (uint8_t)player_.between(0, host_->effect()->numParams - 1), (uint8_t)key, (uint8_t)(key >> 8)});
    }
    if (chunks_.size() < 8) chunks_.push_back(std::move(chunk));
    else chunks_[(size_t)player_.between(0, 7)] = std::move(chunk);
  }

  // One processing call through one of the three entry points; returns its length in seconds of audio.
  double processBlock() {
    int32_t frames = blockSize_;
    if (player_.chance(0.1)) frames = player_.between(1, blockSize_);
    else if (player_.chance(0.005)) frames = player_.between(blockSize_ + 1, 2 * blockSize_);
    const double seconds = frames / (double)rate_;
    player_.block(frames, seconds, midi_);
    player_.automate(seconds, [&](int32_t index, float value) { host_->setParameter(index, value); });
    host_->sendMidi(midi_);
    const int entry = player_.between(0, 2);
    std::fill(floats_.begin(), floats_.end(), 0.0f);
    std::fill(doubles_.begin(), doubles_.end(), 0.0);
    float* floatOut[2] = {floats_.data(), floats_.data() + kLongest};
    double* doubleOut[2] = {doubles_.data(), doubles_.data() + kLongest};
    AEffect* effect = host_->effect();
    const double t0 = BlockStats::nowSeconds();
    if (entry == 0) effect->processReplacing(effect, nullptr, floatOut, frames);
    else if (entry == 1) effect->process(effect, nullptr, floatOut, frames);
    else effect->processDoubleReplacing(effect, nullptr, doubleOut, frames);
    const double elapsed = BlockStats::nowSeconds() - t0;
    for (int c = 0; c < 2; ++c)
      for (int32_t i = 0; i < frames; ++i) check(entry == 2 ? doubleOut[c][i] : (double)floatOut[c][i]);
    figures_.blockTime.add(elapsed);
    figures_.load.add(elapsed / seconds);
    figures_.samples += (uint64_t)frames;
    ++figures_.calls;
    audioSeconds_ += seconds;
    return seconds;
  }

  void check(double x) {
    if (std::isfinite(x)) {
      figures_.peak = std::max(figures_.peak, std::fabs(x));
      return;
    }
    if (figures_.nonFinite++ == 0) {
      char where[160];
      std::snprintf(where, sizeof(where), "after %llu samples, at %.0f Hz with blocks of %d",
                    (unsigned long long)figures_.samples, (double)rate_, (int)blockSize_);
      firstFault_ = where;
    }
  }

  Options options_;
  std::unique_ptr<Host::PluginHost> host_;
  Player player_;
  BlockStats::UiThread ui_;
  std::vector<float> floats_;
  std::vector<double> doubles_;
  std::vector<Host::MidiMessage> midi_;
  std::vector<std::vector<uint8_t>> chunks_;
  float rate_ = 44100.0f;
  int32_t blockSize_ = 512;
  Figures figures_;
  double audioSeconds_ = 0.0;
  std::string firstFault_;
  long rssStart_ = -1, rssWarm_ = -1;  // at the start; the most during the warm-up
  bool warming_ = true;
};

}  // namespace Soak

// Prints the engine's cost: CPU per second of audio for the acid pattern at 44.1 and 96 kHz (through the module
// and for the engine's parts), beside it the cost of a resting instance and of waking it, the first and a later
// instantiation, and resident memory per instance.

#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/acid_pattern.h"
#include "bench/block_passes.h"
#include "host/lib/plugin_host.h"
#include "instrument/rest_query.h"
#include "platform/float_mode.h"
#include "synth/filter_section.h"
#include "synth/oscillator.h"
#include "synth/random.h"

namespace {

double cpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return (double)t.tv_sec + t.tv_nsec * 1e-9;
}

double wallSeconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + t.tv_nsec * 1e-9;
}

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Plays the pattern through a started host in blocks of 512 frames; returns CPU seconds spent processing. Each
// block's events are made first, so that the clock is read once for the whole run, as for a resting instance.
double playThroughHost(Host::PluginHost& host, double rate, double seconds) {
  const std::vector<Acid::Event> events = Acid::pattern(rate, seconds, 512);
  const int64_t total = (int64_t)(rate * seconds);
  struct BlockEvents {
    std::vector<Host::MidiMessage> midi;
    std::vector<std::pair<int32_t, float>> params;
  };
  std::vector<BlockEvents> blocks;
  size_t next = 0;
  for (int64_t pos = 0; pos + 512 <= total; pos += 512) {
    BlockEvents& b = blocks.emplace_back();
    for (; next < events.size() && events[next].frame < pos + 512; ++next) {
      const Acid::Event& e = events[next];
      if (e.kind == Acid::Kind::Param) b.params.push_back({e.index, e.value});
      else
        b.midi.push_back({(int32_t)(e.frame - pos), (uint8_t)(e.kind == Acid::Kind::NoteOn ? 0x90 : 0x80),
                          (uint8_t)e.index, (uint8_t)e.value});
    }
  }
  std::vector<float> l(512), r(512);
  float* outs[2] = {l.data(), r.data()};
  const double t0 = cpuSeconds();
  for (const BlockEvents& b : blocks) {
    for (const auto& [index, value] : b.params) host.setParameter(index, value);
    host.sendMidi(b.midi);
    host.processReplacing(nullptr, outs, 512);
  }
  return cpuSeconds() - t0;
}

bool resting(Host::PluginHost& host) {
  return host.dispatch(effVendorSpecific, KoralinQuery::kRestQueryIndex, KoralinQuery::kRestQueryValue) ==
         KoralinQuery::kRestQueryResting;
}

// A last quiet note of a tenth of a second, then silent blocks of 512 frames until the voice rests (at most a
// minute of audio), then `seconds` of them timed; returns CPU seconds, or a negative number when the voice never
// came to rest.
double restThroughHost(Host::PluginHost& host, double rate, double seconds) {
  std::vector<float> l(512), r(512);
  float* outs[2] = {l.data(), r.data()};
  host.sendMidi({{0, 0x90, 36, 90}});
  for (int64_t pos = 0; pos < (int64_t)(0.1 * rate); pos += 512) host.processReplacing(nullptr, outs, 512);
  host.sendMidi({{0, 0x80, 36, 0}});
  for (int64_t pos = 0; !resting(host) && pos < (int64_t)(rate * 60.0); pos += 512)
    host.processReplacing(nullptr, outs, 512);
  if (!resting(host)) return -1.0;
  const double t0 = cpuSeconds();
  for (int64_t pos = 0; pos + 512 <= (int64_t)(rate * seconds); pos += 512) host.processReplacing(nullptr, outs, 512);
  const double cpu = cpuSeconds() - t0;
  return resting(host) ? cpu : -1.0;
}

// Blocks of 512 frames that start a note at their first sample: on a resting voice, which wakes, and on a voice
// whose previous note still sounds. Mean CPU microseconds of each.
void timeWaking(Host::PluginHost& host, int32_t cycles, double& wakingUs, double& soundingUs) {
  std::vector<float> l(512), r(512);
  float* outs[2] = {l.data(), r.data()};
  auto block = [&](std::vector<Host::MidiMessage> midi) {
    host.sendMidi(midi);
    const double t0 = cpuSeconds();
    host.processReplacing(nullptr, outs, 512);
    return cpuSeconds() - t0;
  };
  double waking = 0.0, sounding = 0.0;
  int32_t woken = 0;
  for (int32_t c = 0; c < cycles; ++c) {
    block({{0, 0xB0, 120, 0}});  // all sound off: silence, and the voice rests once a host has heard it a while
    for (int32_t n = 0; n < 200 && !resting(host); ++n) block({});
    woken += resting(host);
    waking += block({{0, 0x90, 36, 90}});
    block({{0, 0x80, 36, 0}});
    sounding += block({{0, 0x90, 36, 90}});  // eleven milliseconds after the release, still sounding
    block({{0, 0x80, 36, 0}});
  }
  wakingUs = woken == cycles ? waking / cycles * 1e6 : -1.0;
  soundingUs = sounding / cycles * 1e6;
}

// The engine's parts alone: oscillator, then filter section, on the same pattern; CPU seconds of each.
void timeParts(double rate, double seconds, double& oscCpu, double& filterCpu) {
  auto osc = std::make_unique<Synth::Oscillator>();
  auto filter = std::make_unique<Synth::FilterSection>();
  osc->prepare(rate);
  filter->prepare(rate);
  osc->reset();
  filter->reset();
  Synth::Random random;
  std::vector<double> work(512 * 5);
  const std::vector<Acid::Event> events = Acid::pattern(rate, seconds, 512);
  float p[7] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
  int note = 69;
  bool gate = false, retrigger = false, slide = false, accent = false;
  size_t next = 0;
  oscCpu = filterCpu = 0.0;
  const Platform::EngineFloatMode floatMode;
  for (int64_t pos = 0; pos + 512 <= (int64_t)(rate * seconds); pos += 512) {
    for (; next < events.size() && events[next].frame < pos + 512; ++next) {
      const Acid::Event& e = events[next];
      if (e.kind == Acid::Kind::Param) p[e.index] = e.value;
      else if (e.kind == Acid::Kind::NoteOff && e.index == note) gate = false;
      else if (e.kind == Acid::Kind::NoteOn)
        slide = gate, retrigger = retrigger || !gate, note = e.index, accent = e.value > 100, gate = true;
    }
    double t0 = cpuSeconds();
    Passes::oscillatorPass(*osc, random, work.data(), slide, p[0] > 0.5f, note, p[1], 512);
    double t1 = cpuSeconds();
    Passes::filterPass(*filter, work.data(), 512,
                       {p[2], p[3], accent ? 0.0 : p[4], p[5], p[6], gate, retrigger, accent});
    double t2 = cpuSeconds();
    retrigger = false;
    oscCpu += t1 - t0;
    filterCpu += t2 - t1;
  }
}

std::unique_ptr<Host::PluginHost> instantiate(double& milliseconds) {
  const double t0 = wallSeconds();
  auto host = std::make_unique<Host::PluginHost>(KORALIN_MODULE);
  host->start(44100.0f, 512);
  milliseconds = (wallSeconds() - t0) * 1e3;
  return host;
}

}  // namespace

int main() {
  // Instantiation first, while the process has built no table yet.
  double firstMs = 0.0, secondMs = 0.0, thirdMs = 0.0;
  auto first = instantiate(firstMs);
  auto second = instantiate(secondMs);
  auto third = instantiate(thirdMs);
  std::printf("instantiation (construct, open, 44.1 kHz / 512, resume): first %.2f ms, second %.2f ms, third %.2f ms\n",
              firstMs, secondMs, thirdMs);

  // Resident memory: eight more instances, each prepared and played for a moment, before anything was freed.
  const long before = residentKb();
  std::vector<std::unique_ptr<Host::PluginHost>> more;
  for (int i = 0; i < 8; ++i) {
    double ms;
    more.push_back(instantiate(ms));
    playThroughHost(*more.back(), 44100.0, 0.1);
  }
  std::printf("resident memory per instance: %.2f MB\n", (residentKb() - before) / 8.0 / 1024.0);
  more.clear();

  const double seconds = 20.0;
  for (double rate : {44100.0, 96000.0}) {
    Host::PluginHost host(KORALIN_MODULE);
    host.start((float)rate, 512);
    playThroughHost(host, rate, 2.0);  // warm up
    const double cpu = playThroughHost(host, rate, seconds);
    const double restCpu = restThroughHost(host, rate, seconds);
    double wakingUs, soundingUs;
    timeWaking(host, 200, wakingUs, soundingUs);
    double oscCpu, filterCpu;
    timeParts(rate, seconds, oscCpu, filterCpu);
    std::printf("%.1f kHz acid pattern: %.2f ms CPU per second of audio (oscillator %.2f, filter section %.2f)\n",
                rate / 1000.0, cpu / seconds * 1e3, oscCpu / seconds * 1e3, filterCpu / seconds * 1e3);
    if (restCpu < 0.0) {
      std::printf("%.1f kHz resting: the voice did not come to rest within a minute of silence\n", rate / 1000.0);
    } else {
      std::printf(
          "%.1f kHz playing %.2f ms, resting %.2f ms CPU per second of audio: resting costs %.1f %% of playing\n",
          rate / 1000.0, cpu / seconds * 1e3, restCpu / seconds * 1e3, 100.0 * restCpu / cpu);
    }
    if (wakingUs < 0.0) {
      std::printf("%.1f kHz waking: the voice was not resting before the note\n", rate / 1000.0);
    } else {
      std::printf(
          "%.1f kHz a 512-frame block starting a note: %.1f us when it wakes the voice, %.1f us when the voice "
          "still sounds: waking costs %+.1f us\n",
          rate / 1000.0, wakingUs, soundingUs, wakingUs - soundingUs);
    }
  }

  return 0;
}

// Prints the engine's cost: CPU per second of audio for the acid pattern at 44.1 and 96 kHz (through the module
// and for the engine's parts), the first and a later instantiation, and resident memory per instance.

#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/acid_pattern.h"
#include "bench/block_passes.h"
#include "host/lib/plugin_host.h"
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

// Plays the pattern through a started host in blocks of 512 frames; returns CPU seconds spent processing.
double playThroughHost(Host::PluginHost& host, double rate, double seconds) {
  const std::vector<Acid::Event> events = Acid::pattern(rate, seconds, 512);
  const int64_t total = (int64_t)(rate * seconds);
  std::vector<float> l(512), r(512);
  float* outs[2] = {l.data(), r.data()};
  size_t next = 0;
  double cpu = 0.0;
  for (int64_t pos = 0; pos + 512 <= total; pos += 512) {
    std::vector<Host::MidiMessage> midi;
    for (; next < events.size() && events[next].frame < pos + 512; ++next) {
      const Acid::Event& e = events[next];
      if (e.kind == Acid::Kind::Param) host.setParameter(e.index, e.value);
      else
        midi.push_back({(int32_t)(e.frame - pos), (uint8_t)(e.kind == Acid::Kind::NoteOn ? 0x90 : 0x80),
                        (uint8_t)e.index, (uint8_t)e.value});
    }
    host.sendMidi(midi);
    const double t0 = cpuSeconds();
    host.processReplacing(nullptr, outs, 512);
    cpu += cpuSeconds() - t0;
  }
  return cpu;
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
    double oscCpu, filterCpu;
    timeParts(rate, seconds, oscCpu, filterCpu);
    std::printf("%.1f kHz acid pattern: %.2f ms CPU per second of audio (oscillator %.2f, filter section %.2f)\n",
                rate / 1000.0, cpu / seconds * 1e3, oscCpu / seconds * 1e3, filterCpu / seconds * 1e3);
  }

  return 0;
}

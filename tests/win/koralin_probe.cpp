// Plays a fixed bassline through a plug-in module into raw doubles, and compares two such renders.
// Built for Windows and for Linux from this one file, so both sides play exactly the same input.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "host/lib/plugin_host.h"

namespace {

constexpr float kSampleRate = 44100.0f;
constexpr int32_t kMaxBlock = 256;
constexpr int32_t kStep = 5512;  // a sixteenth note at 120 beats per minute
constexpr int kSteps = 64;

struct Step {
  int note;      // 0: rest
  int velocity;  // above 100: accent
  bool tie;      // held into the next step: the next note slides
};

// One bar of an acid line; repeated with different knob settings.
const Step kPattern[16] = {{36, 90, false}, {36, 120, false}, {48, 90, true},   {46, 90, false},
                           {0, 0, false},   {39, 127, false}, {41, 90, true},   {43, 90, true},
                           {36, 90, false}, {0, 0, false},    {48, 110, false}, {36, 90, false},
                           {51, 90, true},  {48, 127, false}, {0, 0, false},    {34, 90, false}};

struct Event {
  int64_t frame;
  uint8_t status, data1, data2;
};

std::vector<Event> bassline() {
  std::vector<Event> events;
  int held = 0;
  for (int i = 0; i < kSteps; ++i) {
    const Step& step = kPattern[i % 16];
    const int64_t start = (int64_t)i * kStep;
    if (step.note) events.push_back({start, 0x90, (uint8_t)step.note, (uint8_t)step.velocity});
    if (held) events.push_back({start + 1, 0x80, (uint8_t)held, 64});  // after the next note: legato
    held = 0;
    if (step.note && step.tie) held = step.note;
    else if (step.note) events.push_back({start + kStep * 3 / 4, 0x80, (uint8_t)step.note, 64});
  }
  events.push_back({(int64_t)kSteps * kStep / 2, 0xE0, 0x00, 0x50});  // a bend up halfway through
  events.push_back({(int64_t)kSteps * kStep * 3 / 4, 0xE0, 0x00, 0x40});
  return events;
}

// Knob settings per bar: wave, tune, cutoff, reso, decay, envmod, accent.
const float kBars[4][7] = {{0.0f, 0.5f, 0.35f, 0.6f, 0.4f, 0.5f, 0.6f},
                           {0.0f, 0.5f, 0.15f, 0.95f, 0.8f, 0.9f, 1.0f},
                           {1.0f, 0.55f, 0.5f, 0.3f, 0.2f, 0.3f, 0.4f},
                           {1.0f, 0.45f, 0.05f, 1.0f, 1.0f, 1.0f, 0.8f}};

int render(const char* modulePath, const char* outPath) {
  Host::PluginHost host(modulePath);
  host.start(kSampleRate, kMaxBlock);
  const std::vector<Event> events = bassline();
  const int64_t total = (int64_t)kSteps * kStep + (int64_t)kSampleRate;  // one second of release at the end
  const int32_t blockSizes[] = {256, 100, 17, 256, 1, 200, 255};
  std::vector<double> left(kMaxBlock), right(kMaxBlock), silence(kMaxBlock, 0.0), interleaved;
  double* inputs[2] = {silence.data(), silence.data()};
  interleaved.reserve((size_t)total * 2);
  size_t next = 0, block = 0;
  for (int64_t pos = 0; pos < total; ++block) {
    const int32_t n = (int32_t)std::min<int64_t>(blockSizes[block % 7], total - pos);
    const int bar = (int)(pos / (16 * kStep)) % 4;
    for (int32_t p = 0; p < 7; ++p) host.setParameter(p, kBars[bar][p]);
    std::vector<Host::MidiMessage> midi;
    for (; next < events.size() && events[next].frame < pos + n; ++next)
      midi.push_back(
          {(int32_t)(events[next].frame - pos), events[next].status, events[next].data1, events[next].data2});
    if (!midi.empty()) host.sendMidi(midi);
    double* outputs[2] = {left.data(), right.data()};
    host.processDouble(inputs, outputs, n);
    for (int32_t i = 0; i < n; ++i) interleaved.insert(interleaved.end(), {left[(size_t)i], right[(size_t)i]});
    pos += n;
  }
  FILE* out = std::fopen(outPath, "wb");
  if (!out) return 2;
  const size_t written = std::fwrite(interleaved.data(), sizeof(double), interleaved.size(), out);
  const bool ok = std::fclose(out) == 0 && written == interleaved.size();
  std::printf("%zu frames rendered to %s\n", interleaved.size() / 2, outPath);
  return ok ? 0 : 2;
}

std::vector<double> readRaw(const char* path) {
  std::vector<double> samples;
  FILE* in = std::fopen(path, "rb");
  if (!in) return samples;
  double chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, sizeof(double), 4096, in)) > 0) samples.insert(samples.end(), chunk, chunk + n);
  std::fclose(in);
  return samples;
}

double toDb(double value) { return value > 0 ? 20.0 * std::log10(value) : -INFINITY; }

// Prints how closely two renders agree; fails when they differ in length, when either is silent or not finite,
// or when the largest difference is above limitDb (relative to full scale).
int compare(const char* pathA, const char* pathB, double limitDb) {
  const std::vector<double> a = readRaw(pathA), b = readRaw(pathB);
  if (a.empty() || a.size() != b.size()) {
    std::printf("renders differ in length: %zu and %zu samples\n", a.size(), b.size());
    return 1;
  }
  size_t differing = 0;
  double maxDiff = 0, peak = 0;
  bool finite = true;
  for (size_t i = 0; i < a.size(); ++i) {
    finite = finite && std::isfinite(a[i]) && std::isfinite(b[i]);
    if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) ++differing;
    maxDiff = std::max(maxDiff, std::fabs(a[i] - b[i]));
    peak = std::max(peak, std::fabs(a[i]));
  }
  std::printf("%zu samples, peak %.2f dBFS, %zu differ, max difference %.3g (%.1f dBFS, %.1f dB below peak)\n",
              a.size(), toDb(peak), differing, maxDiff, toDb(maxDiff), toDb(peak) - toDb(maxDiff));
  if (!finite || peak < 1e-3) return 1;
  return toDb(maxDiff) <= limitDb ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::strcmp(argv[1], "render") == 0) return render(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "compare") == 0) return compare(argv[2], argv[3], std::atof(argv[4]));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "koralin_probe: %s\n", e.what());
    return 2;
  }
  std::fprintf(stderr, "usage: koralin_probe render MODULE OUT.raw | compare A.raw B.raw LIMIT_DB\n");
  return 2;
}

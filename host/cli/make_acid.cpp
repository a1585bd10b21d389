// Writes the demo song examples/acid.mid: a 16-step acid bassline, four bars at 125 BPM, with the knobs turned.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "host/lib/midi_writer.h"

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kStep = kTicksPerQuarter / 4;     // sixteenth notes
constexpr int kGate = kStep / 2;                // an ordinary note sounds for half its step
constexpr int kOverlap = 10;                    // a slid note is released this long after the next one starts
constexpr uint32_t kMicrosPerQuarter = 480000;  // 125 BPM
constexpr int kAccentVelocity = 120;            // above 100: accented
constexpr int kNormalVelocity = 80;
constexpr int kSongTicks = 4 * 4 * kTicksPerQuarter;  // four bars of 4/4
constexpr int kKnobTick = kTicksPerQuarter / 16;      // how often a turning knob sends its position (30 ms)
constexpr uint8_t kCutoffController = 74;
constexpr uint8_t kResoController = 71;

enum Flags { kPlain = 0, kAccent = 1, kSlide = 2, kRest = 4 };

struct Step {
  int note;
  int flags;
};

using Pattern = std::vector<Step>;  // sixteen steps, one bar

const Pattern kPatternA = {{36, kAccent}, {36, kPlain},           {48, kSlide}, {36, kPlain},
                           {0, kRest},    {39, kAccent},          {36, kSlide}, {46, kPlain},
                           {36, kPlain},  {48, kAccent | kSlide}, {51, kPlain}, {0, kRest},
                           {36, kPlain},  {43, kAccent},          {36, kSlide}, {38, kPlain}};
const Pattern kPatternB = {{36, kAccent}, {48, kSlide}, {60, kPlain},  {36, kPlain}, {39, kSlide}, {41, kAccent},
                           {36, kPlain},  {0, kRest},   {36, kAccent}, {36, kPlain}, {46, kSlide}, {48, kSlide},
                           {43, kAccent}, {0, kRest},   {41, kSlide},  {39, kAccent}};

struct NoteEvent {
  int tick;
  bool on;
  int note;
  int velocity;
};

// Turns the steps into note events: a slide holds its note until just after the next note has begun.
std::vector<NoteEvent> playSteps(const std::vector<Step>& steps) {
  std::vector<NoteEvent> events;
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    if (s.flags & kRest) continue;
    int start = (int)i * kStep;
    bool nextPlays = i + 1 < steps.size() && !(steps[i + 1].flags & kRest);
    int end = (s.flags & kSlide) && nextPlays ? start + kStep + kOverlap : start + kGate;
    events.push_back({start, true, s.note, (s.flags & kAccent) ? kAccentVelocity : kNormalVelocity});
    events.push_back({end, false, s.note, 0});
  }
  // Releases sort before starts at the same tick so that only overlaps read as slides.
  std::stable_sort(events.begin(), events.end(), [](const NoteEvent& a, const NoteEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : (!a.on && b.on);
  });
  return events;
}

Host::MidiTrackWriter conductorTrack() {
  Host::MidiTrackWriter track;
  track.text(0, 0x03, "Koralin acid demo");
  track.meta(0, 0x58, {4, 2, 24, 8});  // 4/4
  track.tempo(0, kMicrosPerQuarter);
  track.endOfTrack(kSongTicks);
  return track;
}

Host::MidiTrackWriter bassTrack() {
  std::vector<Step> steps;
  for (const Pattern* bar : {&kPatternA, &kPatternB, &kPatternA, &kPatternB})
    steps.insert(steps.end(), bar->begin(), bar->end());
  Host::MidiTrackWriter track(true);  // running status: note-offs are note-ons of velocity 0
  track.text(0, 0x03, "Bass");
  int tick = 0;
  for (const NoteEvent& e : playSteps(steps)) {
    track.channel((uint32_t)(e.tick - tick), 0x90, (uint8_t)e.note, (uint8_t)(e.on ? e.velocity : 0));
    tick = e.tick;
  }
  track.endOfTrack((uint32_t)std::max(0, (int)steps.size() * kStep - tick));
  return track;
}

// A knob's path: positions (controller values) at ticks, eased in and out between them as a hand turns it.
struct KnobPoint {
  int tick;
  int value;
};
using KnobPath = std::vector<KnobPoint>;

// The cutoff closes over the first two bars and opens past where it started over the last two.
const KnobPath kCutoffPath = {{0, 48}, {kSongTicks / 2, 12}, {kSongTicks, 80}};
// The resonance waits a bar, rises toward its peak as the filter is darkest, and eases back in the last bar.
const KnobPath kResoPath = {{0, 96}, {kSongTicks / 4, 96}, {kSongTicks * 5 / 8, 120}, {kSongTicks, 100}};

int knobAt(const KnobPath& path, int tick) {
  for (size_t i = 1; i < path.size(); ++i) {
    const KnobPoint &a = path[i - 1], &b = path[i];
    if (tick >= b.tick) continue;
    double u = (double)(tick - a.tick) / (b.tick - a.tick);
    double eased = u * u * (3 - 2 * u);
    return (int)std::lround(a.value + (b.value - a.value) * eased);
  }
  return path.back().value;
}

// Both knobs on channel 1; a knob sends only when its position has changed.
Host::MidiTrackWriter knobTrack() {
  Host::MidiTrackWriter track(true);
  track.text(0, 0x03, "Knobs");
  int sentTick = 0, cutoff = -1, reso = -1;
  auto send = [&](int tick, uint8_t controller, int value, int& last) {
    if (value == last) return;
    track.channel((uint32_t)(tick - sentTick), 0xB0, controller, (uint8_t)value);
    sentTick = tick;
    last = value;
  };
  for (int tick = 0; tick < kSongTicks; tick += kKnobTick) {
    send(tick, kCutoffController, knobAt(kCutoffPath, tick), cutoff);
    send(tick, kResoController, knobAt(kResoPath, tick), reso);
  }
  track.endOfTrack((uint32_t)(kSongTicks - sentTick));
  return track;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: koralin-make-acid OUTPUT.mid\n");
    return 2;
  }
  std::vector<uint8_t> bytes = Host::writeMidiFile(1, kTicksPerQuarter, {conductorTrack(), bassTrack(), knobTrack()});
  FILE* f = std::fopen(argv[1], "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "koralin-make-acid: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

// Writes the demo song examples/acid.mid: a 16-step acid bassline, four bars at 125 BPM.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/lib/midi_writer.h"

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kStep = kTicksPerQuarter / 4;  // sixteenth notes
constexpr int kGate = kStep / 2;             // an ordinary note sounds for half its step
constexpr int kOverlap = 10;                 // a slid note is released this long after the next one starts
constexpr uint32_t kMicrosPerQuarter = 480000;  // 125 BPM
constexpr int kAccentVelocity = 120;            // above 100: accented
constexpr int kNormalVelocity = 80;

enum Flags { kPlain = 0, kAccent = 1, kSlide = 2, kRest = 4 };

struct Step {
  int note;
  int flags;
};

using Pattern = std::vector<Step>;  // sixteen steps, one bar

const Pattern kPatternA = {{36, kAccent}, {36, kPlain}, {48, kSlide}, {36, kPlain}, {0, kRest}, {39, kAccent},
                           {36, kSlide},  {46, kPlain}, {36, kPlain}, {48, kAccent | kSlide}, {51, kPlain},
                           {0, kRest},    {36, kPlain}, {43, kAccent}, {36, kSlide}, {38, kPlain}};
const Pattern kPatternB = {{36, kAccent}, {48, kSlide}, {60, kPlain}, {36, kPlain}, {39, kSlide}, {41, kAccent},
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
  track.endOfTrack(4 * 4 * kTicksPerQuarter);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: koralin-make-acid OUTPUT.mid\n");
    return 2;
  }
  std::vector<uint8_t> bytes = Host::writeMidiFile(1, kTicksPerQuarter, {conductorTrack(), bassTrack()});
  FILE* f = std::fopen(argv[1], "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f) ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "koralin-make-acid: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

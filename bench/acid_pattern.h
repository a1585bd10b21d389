// A fixed 16-step acid pattern as timed events: slides, accents, rests, and cutoff and resonance sweeping.
#pragma once

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace Acid {

enum class Kind { NoteOn, NoteOff, Param };

struct Event {
  int64_t frame;  // sample position from the start
  Kind kind;
  int32_t index;  // note number, or parameter index
  float value;    // velocity, or normalized parameter value
};

struct Step {
  int32_t note;  // -1: rest
  bool accent;
  bool slide;  // held into the next step, which then arrives legato
};

constexpr Step kSteps[16] = {
    {36, true, false},  {36, false, false}, {48, false, true},  {36, false, false},
    {-1, false, false}, {39, true, false},  {41, false, true},  {43, false, false},
    {36, false, false}, {48, true, true},   {46, false, false}, {-1, false, false},
    {36, false, false}, {51, true, false},  {48, false, true},  {43, false, false},
};

constexpr double kTempo = 130.0;  // beats per minute, sixteenth-note steps

// Parameter values at time t seconds: indices 0 wave, 1 tune, 2 cutoff, 3 reso, 4 decay, 5 envmod, 6 accent.
inline float paramAt(int32_t index, double t) {
  switch (index) {
    case 0: return std::fmod(t, 7.384615) < 3.692307 ? 0.0f : 1.0f;  // two bars saw, two bars square
    case 1: return 0.5f;
    case 2: return (float)(0.3 + 0.25 * std::sin(2.0 * M_PI * t / 8.0));
    case 3: return (float)(0.6 + 0.35 * std::sin(2.0 * M_PI * t / 5.3));
    case 4: return 0.35f;
    case 5: return (float)(0.6 + 0.3 * std::sin(2.0 * M_PI * t / 11.0));
    default: return 0.8f;
  }
}

// The pattern looped for `seconds`, with all seven parameters re-sent every paramEvery frames.
inline std::vector<Event> pattern(double sampleRate, double seconds, int32_t paramEvery = 64) {
  std::vector<Event> events;
  const double stepFrames = sampleRate * 60.0 / kTempo / 4.0;
  const int64_t total = (int64_t)(sampleRate * seconds);
  for (int64_t f = 0; f < total; f += paramEvery)
    for (int32_t i = 0; i < 7; ++i) events.push_back({f, Kind::Param, i, paramAt(i, f / sampleRate)});
  for (int64_t n = 0;; ++n) {
    const Step& s = kSteps[n % 16];
    const int64_t start = (int64_t)(n * stepFrames);
    if (start >= total) break;
    if (s.note < 0) continue;
    // A slid note ends just after the next one starts, so that one arrives legato.
    const int64_t end = s.slide ? (int64_t)((n + 1) * stepFrames) + 1 : start + (int64_t)(stepFrames / 2);
    events.push_back({start, Kind::NoteOn, s.note, s.accent ? 120.0f : 90.0f});
    events.push_back({end, Kind::NoteOff, s.note, 0.0f});
  }
  // Stable by frame; at one frame, parameters first, then note-offs, then note-ons.
  std::vector<Event> sorted;
  sorted.reserve(events.size());
  for (Kind k : {Kind::Param, Kind::NoteOff, Kind::NoteOn})
    for (const Event& e : events)
      if (e.kind == k) sorted.push_back(e);
  std::stable_sort(sorted.begin(), sorted.end(), [](const Event& a, const Event& b) { return a.frame < b.frame; });
  return sorted;
}

}  // namespace Acid

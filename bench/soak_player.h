// The soak's musician: random notes, velocities, bends, pitch-bend ranges, pedal, controllers and program changes
// for one block at a time, and automation that keeps every parameter moving.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "host/lib/plugin_host.h"

namespace Soak {

// Controllers a learnt binding may use: none of the fixed ones (data entry, pedal, RPN, reset, mode messages)
// and none that are ignored.
inline bool bindableController(int c) {
  return c >= 1 && c <= 119 && c != 6 && c != 38 && c != 64 && c != 100 && c != 101 && !(c >= 32 && c <= 63) &&
         !(c >= 96 && c <= 99);
}

class Player {
 public:
  Player(uint64_t seed, int32_t paramCount) : random_(seed), targets_((size_t)paramCount, 0.5f) {}

  std::mt19937_64& random() { return random_; }
  bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p; }
  int32_t between(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(random_); }
  float unit() { return std::uniform_real_distribution<float>(0.0f, 1.0f)(random_); }

  // The MIDI of one block of `frames` samples lasting `seconds`: a lively line, whatever the block size.
  void block(int32_t frames, double seconds, std::vector<Host::MidiMessage>& out) {
    out.clear();
    const double perBlock = std::min(1.0, seconds * 8.0);  // about eight notes a second
    if (chance(perBlock)) noteOn(frames, out);
    if (chance(perBlock * 0.8)) noteOff(frames, out);
    if (chance(perBlock * 0.5)) add(out, frames, 0xE0, (uint8_t)between(0, 127), (uint8_t)between(0, 127));
    if (chance(perBlock * 0.05)) bendRange(frames, out);
    if (chance(perBlock * 0.05)) add(out, frames, 0xB0, 64, (uint8_t)(chance(0.5) ? 127 : 0));
    if (chance(perBlock * 0.3)) add(out, frames, 0xB0, (uint8_t)between(1, 127), (uint8_t)between(0, 127));
    if (chance(perBlock * 0.02)) add(out, frames, 0xC0, (uint8_t)between(0, 127), 0);
    if (chance(perBlock * 0.005)) add(out, frames, 0xB0, 120, 0);
    if (chance(perBlock * 0.005)) add(out, frames, 0xB0, (uint8_t)between(123, 127), 0);
    // Events in time order, except now and then a host that sends them shuffled or past the block's end.
    if (!chance(0.01))
      std::stable_sort(out.begin(), out.end(),
                       [](const auto& a, const auto& b) { return a.deltaFrames < b.deltaFrames; });
  }

  // Host automation for one block: every parameter glides toward a random target and sometimes jumps.
  template <typename Set>
  void automate(double seconds, Set&& set) {
    for (size_t i = 0; i < targets_.size(); ++i) {
      if (chance(std::min(1.0, seconds * 2.0))) targets_[i] = chance(0.1) ? (float)between(0, 1) : unit();
      if (!chance(std::min(1.0, seconds * 50.0))) continue;
      float& now = current(i);
      now = chance(0.05) ? targets_[i] : now + (targets_[i] - now) * 0.2f;
      set((int32_t)i, now);
    }
  }

 private:
  float& current(size_t i) {
    if (values_.size() != targets_.size()) values_.assign(targets_.size(), 0.5f);
    return values_[i];
  }

  void add(std::vector<Host::MidiMessage>& out, int32_t frames, uint8_t status, uint8_t d1, uint8_t d2) {
    int32_t at = between(0, std::max(0, frames - 1));
    if (chance(0.002)) at = frames + between(0, 64);  // a late event: handled at the block's end
    out.push_back({at, (uint8_t)(status | between(0, 15)), d1, d2});
  }

  void noteOn(int32_t frames, std::vector<Host::MidiMessage>& out) {
    const int note = chance(0.9) ? between(24, 72) : between(0, 127);
    add(out, frames, 0x90, (uint8_t)note, (uint8_t)(chance(0.3) ? between(101, 127) : between(1, 100)));
    held_.push_back(note);
    if (held_.size() > 16) held_.erase(held_.begin());
  }

  void noteOff(int32_t frames, std::vector<Host::MidiMessage>& out) {
    if (held_.empty()) return;
    const size_t which = (size_t)between(0, (int32_t)held_.size() - 1);
    const uint8_t note = (uint8_t)held_[which];
    held_.erase(held_.begin() + (long)which);
    if (chance(0.3)) add(out, frames, 0x90, note, 0);  // a note-on of velocity 0 is a release
    else add(out, frames, 0x80, note, (uint8_t)between(0, 127));
  }

  // RPN 0 (pitch-bend range) mostly, within two octaves, now and then anything up to 127 semitones; sometimes
  // another RPN first, whose data entry must change nothing.
  void bendRange(int32_t frames, std::vector<Host::MidiMessage>& out) {
    const int32_t at = between(0, std::max(0, frames - 1));
    const bool other = chance(0.2);
    const uint8_t semitones = (uint8_t)(chance(0.9) ? between(0, 24) : between(0, 127));
    out.push_back({at, 0xB0, 101, 0});
    out.push_back({at, 0xB0, 100, (uint8_t)(other ? between(1, 127) : 0)});
    out.push_back({at, 0xB0, 6, semitones});
    out.push_back({at, 0xB0, 38, (uint8_t)between(0, 99)});
  }

  std::mt19937_64 random_;
  std::vector<float> targets_;
  std::vector<float> values_;
  std::vector<int> held_;
};

}  // namespace Soak

// Drives an oscillator and a filter section as the instrument does: note flags, parameters, the block frame.
#pragma once

#include <xmmintrin.h>

#include <algorithm>
#include <type_traits>
#include <cstdint>
#include <vector>

#include "bench/acid_pattern.h"
#include "bench/block_passes.h"
#include "synth/filter_section.h"
#include "synth/random.h"
#include "synth/voice.h"

template <class Osc, class Filter>
class EngineRig {
 public:
  EngineRig(Osc& osc, Filter& filter, int32_t maxBlock) : osc_(osc), filter_(filter), work_((size_t)maxBlock * 5) {}

  void noteOn(int32_t note, int32_t velocity) {
    const bool wasGate = gate;
    this->note = (uint8_t)note;
    slide = wasGate;
    retrigger = retrigger || !wasGate;
    accent = (int8_t)velocity > 100;
    gate = true;
  }
  void noteOff(int32_t n) {
    if ((uint8_t)n == note) gate = false;
  }

  // One sub-block, under the engine's floating-point mode.
  void render(double* out, int32_t frames) {
    restedThrough = false;
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(0xFFC0);
    const Synth::FilterControls c{params[2], params[3], accent ? 0.0 : params[4], params[5], params[6], gate,
                                  retrigger, accent};
    if constexpr (std::is_same_v<Osc, Synth::Oscillator> && std::is_same_v<Filter, Synth::FilterSection>) {
      if (interleaved) {
        restedThrough = Synth::renderVoice(osc_, filter_, random, work_.data(), frames,
                                           {slide, params[0] > 0.5f, note + bend, params[1], c});
        finish(out, frames, saved);
        return;
      }
    }
    if constexpr (std::is_same_v<Osc, Synth::Oscillator>) {
      Passes::oscillatorPass(osc_, random, work_.data(), slide, params[0] > 0.5f, note + bend, params[1], frames);
    } else {
      osc_.render(work_.data(), slide, params[0] > 0.5f, note + bend, params[1], frames, random);
    }
    if constexpr (std::is_same_v<Filter, Synth::FilterSection>) {
      Passes::filterPass(filter_, work_.data(), frames, c);
    } else {
      filter_.render(work_.data(), frames, c);
    }
    finish(out, frames, saved);
  }

  void finish(double* out, int32_t frames, unsigned saved) {
    retrigger = false;
    std::copy(work_.begin(), work_.begin() + frames, out);
    _mm_setcsr(saved & ~0x3Fu);
  }

  // Renders `total` frames of the events in blocks of at most `block`, cut at every event time.
  std::vector<double> play(const std::vector<Acid::Event>& events, int64_t total, int32_t block) {
    std::vector<double> out((size_t)total);
    size_t next = 0;
    for (int64_t pos = 0; pos < total;) {
      while (next < events.size() && events[next].frame <= pos) apply(events[next++]);
      int64_t end = std::min<int64_t>(pos + block, total);
      if (next < events.size()) end = std::min<int64_t>(end, events[next].frame);
      render(out.data() + pos, (int32_t)(end - pos));
      pos = end;
    }
    return out;
  }

  void apply(const Acid::Event& e) {
    if (e.kind == Acid::Kind::NoteOn) noteOn(e.index, (int32_t)e.value);
    else if (e.kind == Acid::Kind::NoteOff) noteOff(e.index);
    else params[e.index] = e.value;
  }

  Synth::Random random;
  float params[7] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
  double bend = 0.0;
  bool interleaved = true;     // the fast engine as the instrument runs it; false: oscillator, then filter section
  bool restedThrough = false;  // the last sub-block rested from its first sample to its last (its output is zeros)
  uint8_t note = 69;
  bool gate = false, retrigger = false, slide = false, accent = false;

 private:
  Osc& osc_;
  Filter& filter_;
  std::vector<double> work_;
};

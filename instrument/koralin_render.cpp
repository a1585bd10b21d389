// Koralin::render: one sub-block through oscillator and filter section, under the engine's floating-point mode.
#include <algorithm>

#include "instrument/koralin.h"
#include "platform/float_mode.h"
#include "synth/voice.h"

bool Koralin::render(bool, const PlugCore::TransportInfo&, double**, double** outputs, int32_t frames) {
  silent_ = false;
  if (work_ == nullptr) return true;
  const Platform::EngineFloatMode floatMode;
  const bool square = paramCount() > kWave && paramValue(kWave) > 0.5;
  const double tune = paramCount() >= 2 ? paramValue(kTune) : 0.0;
  const double pitch = (double)currentNote_ + bendSemitones();
  Synth::VoiceControls controls{slide_,
                                square,
                                pitch,
                                tune,
                                {paramValue(kCutoff), paramValue(kReso), accent_ ? 0.0 : paramValue(kDecay),
                                 paramValue(kEnvmod), paramValue(kAccent), gate_, retrigger_, accent_}};
  // The work buffer holds five ticks per frame of the prepared block size; a longer call goes in pieces.
  // A piece through which the voice rested is zeros, as the outputs already are.
  const int32_t piece = std::max<int32_t>(workLength_ / 5, 1);
  bool silent = workLength_ >= 5;
  for (int32_t start = 0; start < frames && workLength_ >= 5; start += piece) {
    const int32_t n = std::min(piece, frames - start);
    // Oscillator ticks into the work buffer, filter section in place over them (interleaved, same result).
    const bool rested = Synth::renderVoice(oscillator_, filter_, *this, work_, n, controls);
    silent = silent && rested;
    if (!rested) {
      std::copy(work_, work_ + n, outputs[0] + start);
      std::copy(work_, work_ + n, outputs[1] + start);
    }
    controls.filter.retrigger = false;  // the envelopes start once per sub-block, not once per piece
  }
  retrigger_ = false;
  quiet_.store(filter_.quiet(), std::memory_order_relaxed);
  silent_ = silent;
  return true;
}

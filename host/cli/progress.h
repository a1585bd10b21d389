// What the renderer tells the person at the terminal: a progress bar while it works and a summary line after.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/cli/options.h"

namespace Render {

// Draws on stderr, and only when stderr is a terminal; redraws only when the shown percentage changes.
class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  static bool stderrIsTerminal();

  void update(int64_t done, int64_t expected, double sampleRate);
  void finish();  // clears the bar's line

 private:
  bool enabled_;
  bool drawn_ = false;
  int shown_ = -1;
};

// Peak in dBFS with one decimal, or "-inf" for silence.
std::string peakText(float peak);

// "Rendered 8.53 s (376050 frames, 2 channels, 44100 Hz, pcm24), peak -6.0 dBFS: out/acid.wav"
std::string summaryLine(int64_t frames, int channels, int sampleRate, SampleFormat format, float peak,
                        const std::string& path);

}  // namespace Render

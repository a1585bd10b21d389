// The progress bar and the summary line.
#include "host/cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace Render {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

bool ProgressBar::stderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void ProgressBar::update(int64_t done, int64_t expected, double sampleRate) {
  if (!enabled_ || expected <= 0) return;
  // The automatic tail's length is not known ahead, so the bar holds below 100 % until the end.
  int percent = (int)std::min<int64_t>(99, done * 100 / expected);
  if (percent == shown_) return;
  shown_ = percent;
  int filled = percent * kBarWidth / 100;
  std::string bar(filled, '#');
  bar.append(kBarWidth - filled, '-');
  std::fprintf(stderr, "\r[%s] %3d%%  %.1f s", bar.c_str(), percent, (double)done / sampleRate);
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::finish() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", kBarWidth + 24, "");
  std::fflush(stderr);
  drawn_ = false;
}

std::string peakText(float peak) {
  if (peak <= 0) return "-inf";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", 20.0 * std::log10((double)peak));
  return text;
}

std::string summaryLine(int64_t frames, int channels, int sampleRate, SampleFormat format, float peak,
                        const std::string& path) {
  char text[160];
  std::snprintf(text, sizeof(text),
                "Rendered %.2f s (%lld frames, %d channels, %d Hz, %s), peak %s dBFS: ", (double)frames / sampleRate,
                (long long)frames, channels, sampleRate, formatName(format), peakText(peak).c_str());
  return text + path;
}

}  // namespace Render

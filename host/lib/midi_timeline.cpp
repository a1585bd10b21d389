// The tempo map of a MIDI file and its events converted from ticks to sample positions.
#include "host/lib/midi_timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace Host {
namespace {

constexpr uint32_t kDefaultMicrosPerQuarter = 500000;  // 120 BPM until the file says otherwise

int64_t toSample(double seconds, double sampleRate) {
  if (!(seconds <= MidiTimeline::kMaxSeconds))
    throw SongTooLong("the song runs longer than 24 hours (an event at " + std::to_string((long long)seconds) + " s)");
  return std::llround(seconds * sampleRate);
}

}  // namespace

MidiTimeline::MidiTimeline(const MidiFile& file, double sampleRate)
    : sampleRate_(sampleRate),
      ticksPerQuarter_(file.ticksPerQuarter),
      ticksPerSecond_(file.smpteFramesPerSecond * file.ticksPerFrame) {
  segments_.push_back({0, 0.0, 0, 0.0, kDefaultMicrosPerQuarter, 60e6 / kDefaultMicrosPerQuarter});
  for (const MidiTempoEvent& t : file.tempos) addTempo(t.tick, t.microsPerQuarter);
  events_.reserve(file.events.size());
  for (const MidiFileEvent& e : file.events)
    events_.push_back({toSample(secondsAtTick(e.tick), sampleRate_), e.status, e.data1, e.data2});
}

double MidiTimeline::secondsAtTick(uint64_t tick) const {
  if (ticksPerQuarter_ == 0) return (double)tick / ticksPerSecond_;
  auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                [](uint64_t t, const TempoSegment& s) { return t < s.startTick; });
  const TempoSegment& s = *(after - 1);
  return s.startSeconds + (double)(tick - s.startTick) * s.microsPerQuarter / (1e6 * ticksPerQuarter_);
}

void MidiTimeline::addTempo(uint64_t tick, uint32_t microsPerQuarter) {
  const TempoSegment& last = segments_.back();
  double seconds = secondsAtTick(tick);
  // In SMPTE files ticks do not follow the tempo, so the quarter count comes from the time elapsed.
  double quarter = ticksPerQuarter_ ? (double)tick / ticksPerQuarter_
                                    : last.startQuarter + (seconds - last.startSeconds) * 1e6 / last.microsPerQuarter;
  TempoSegment next{tick, seconds, toSample(seconds, sampleRate_), quarter, microsPerQuarter, 60e6 / microsPerQuarter};
  // A change at the same moment as the previous one replaces it.
  if (next.startTick == last.startTick) segments_.back() = next;
  else segments_.push_back(next);
}

const TempoSegment& MidiTimeline::segmentAt(int64_t sample) const {
  auto after = std::upper_bound(segments_.begin(), segments_.end(), sample,
                                [](int64_t s, const TempoSegment& seg) { return s < seg.startSample; });
  return after == segments_.begin() ? segments_.front() : *(after - 1);
}

double MidiTimeline::quarterAt(int64_t sample) const {
  const TempoSegment& s = segmentAt(sample);
  return s.startQuarter + (double)(sample - s.startSample) / sampleRate_ * 1e6 / s.microsPerQuarter;
}

int64_t MidiTimeline::nextTempoChange(int64_t sample) const {
  for (const TempoSegment& s : segments_)
    if (s.startSample > sample) return s.startSample;
  return std::numeric_limits<int64_t>::max();
}

}  // namespace Host

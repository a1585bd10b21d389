// A parsed MIDI file laid out in sample time: events at sample positions and the tempo map for the transport.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "host/lib/midi_file.h"

namespace Host {

// A channel message at a sample position from the start of the song.
struct TimedMidi {
  int64_t sample;
  uint8_t status, data1, data2;
};

// From startSample on, the song runs at bpm; startQuarter is the song position there in quarter notes.
struct TempoSegment {
  uint64_t startTick;
  double startSeconds;
  int64_t startSample;
  double startQuarter;
  uint32_t microsPerQuarter;
  double bpm;
};

// A file whose events lie further out than any song could (a sample position would not even fit 64 bits).
class SongTooLong : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MidiTimeline {
 public:
  static constexpr double kMaxSeconds = 24 * 3600;

  // Throws SongTooLong when an event or tempo change lies beyond kMaxSeconds.
  MidiTimeline(const MidiFile& file, double sampleRate);

  const std::vector<TimedMidi>& events() const { return events_; }
  const std::vector<TempoSegment>& tempoMap() const { return segments_; }
  // Sample position of the last event; 0 for a file without events.
  int64_t lastEventSample() const { return events_.empty() ? 0 : events_.back().sample; }

  double tempoAt(int64_t sample) const { return segmentAt(sample).bpm; }
  // The song position in quarter notes at a sample position.
  double quarterAt(int64_t sample) const;
  // The first tempo change strictly after sample, or INT64_MAX when there is none.
  int64_t nextTempoChange(int64_t sample) const;

 private:
  const TempoSegment& segmentAt(int64_t sample) const;
  double secondsAtTick(uint64_t tick) const;
  void addTempo(uint64_t tick, uint32_t microsPerQuarter);

  double sampleRate_;
  int ticksPerQuarter_;
  double ticksPerSecond_;  // SMPTE files only
  std::vector<TempoSegment> segments_;
  std::vector<TimedMidi> events_;
};

}  // namespace Host

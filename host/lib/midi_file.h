// Standard MIDI Files (formats 0 and 1): the parser, with every length checked before it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Host {

// A damaged or unsupported file: what is wrong and the byte offset where it was found.
class MidiFileError : public std::runtime_error {
 public:
  MidiFileError(const std::string& what, size_t offset);
  const std::string& problem() const { return problem_; }
  size_t offset() const { return offset_; }

 private:
  std::string problem_;
  size_t offset_;
};

// A channel message (0x80..0xEF) at an absolute tick.
struct MidiFileEvent {
  uint64_t tick;
  uint8_t status, data1, data2;
};

// A tempo meta event: microseconds per quarter note from this tick on.
struct MidiTempoEvent {
  uint64_t tick;
  uint32_t microsPerQuarter;
};

struct MidiFile {
  int format = 0;
  int trackCount = 0;
  // Ticks per quarter note; 0 when the file counts in SMPTE frames instead.
  int ticksPerQuarter = 0;
  // SMPTE division: frames per second (29.97 for drop-frame 30) and ticks per frame.
  double smpteFramesPerSecond = 0;
  int ticksPerFrame = 0;
  // Channel messages of all tracks merged in time order; at equal ticks, by track, then as in the file.
  std::vector<MidiFileEvent> events;
  // Tempo changes in time order (same tie rule as events).
  std::vector<MidiTempoEvent> tempos;
};

// Parses a whole file held in memory. Throws MidiFileError.
MidiFile parseMidiFile(const uint8_t* data, size_t size);
inline MidiFile parseMidiFile(const std::vector<uint8_t>& bytes) { return parseMidiFile(bytes.data(), bytes.size()); }

}  // namespace Host

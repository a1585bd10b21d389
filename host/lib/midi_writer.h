// Writing Standard MIDI Files: track builders and the file around them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace Host {

// Builds one track chunk's events; deltas are in ticks since the previous event.
class MidiTrackWriter {
 public:
  // With running status on, a channel message that repeats the previous status omits it.
  explicit MidiTrackWriter(bool runningStatus = false) : runningStatus_(runningStatus) {}

  void channel(uint32_t delta, uint8_t status, uint8_t data1, uint8_t data2 = 0);
  void noteOn(uint32_t delta, int channel, int note, int velocity) {
    this->channel(delta, (uint8_t)(0x90 | channel), (uint8_t)note, (uint8_t)velocity);
  }
  void noteOff(uint32_t delta, int channel, int note) {
    this->channel(delta, (uint8_t)(0x80 | channel), (uint8_t)note, 0);
  }
  void meta(uint32_t delta, uint8_t type, const std::vector<uint8_t>& data);
  void tempo(uint32_t delta, uint32_t microsPerQuarter);
  void text(uint32_t delta, uint8_t type, const std::string& text);
  void sysex(uint32_t delta, const std::vector<uint8_t>& data);  // data after the 0xF0, ending with 0xF7
  void endOfTrack(uint32_t delta = 0) { meta(delta, 0x2F, {}); }
  void raw(std::initializer_list<uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes); }

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  void vlq(uint32_t value);

  bool runningStatus_;
  uint8_t running_ = 0;
  std::vector<uint8_t> bytes_;
};

// The header chunk and one "MTrk" chunk per track.
std::vector<uint8_t> writeMidiFile(int format, uint16_t division, const std::vector<MidiTrackWriter>& tracks);

}  // namespace Host

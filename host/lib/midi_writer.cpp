// Standard MIDI File writer: variable-length deltas, optional running status, meta and sysex events.
#include "host/lib/midi_writer.h"

namespace Host {
namespace {

void be32(std::vector<uint8_t>& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back((uint8_t)(v >> shift));
}

void be16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back((uint8_t)(v >> 8));
  b.push_back((uint8_t)v);
}

}  // namespace

void MidiTrackWriter::vlq(uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = (uint8_t)(value & 0x7F);
    value >>= 7;
  } while (value);
  while (n-- > 0) bytes_.push_back((uint8_t)(groups[n] | (n ? 0x80 : 0)));
}

void MidiTrackWriter::channel(uint32_t delta, uint8_t status, uint8_t data1, uint8_t data2) {
  vlq(delta);
  if (!runningStatus_ || status != running_) bytes_.push_back(status);
  running_ = status;
  bytes_.push_back(data1);
  uint8_t kind = status & 0xF0;
  if (kind != 0xC0 && kind != 0xD0) bytes_.push_back(data2);
}

void MidiTrackWriter::meta(uint32_t delta, uint8_t type, const std::vector<uint8_t>& data) {
  vlq(delta);
  running_ = 0;  // meta events cancel running status
  bytes_.push_back(0xFF);
  bytes_.push_back(type);
  vlq((uint32_t)data.size());
  bytes_.insert(bytes_.end(), data.begin(), data.end());
}

void MidiTrackWriter::tempo(uint32_t delta, uint32_t microsPerQuarter) {
  meta(delta, 0x51, {(uint8_t)(microsPerQuarter >> 16), (uint8_t)(microsPerQuarter >> 8), (uint8_t)microsPerQuarter});
}

void MidiTrackWriter::text(uint32_t delta, uint8_t type, const std::string& text) {
  meta(delta, type, std::vector<uint8_t>(text.begin(), text.end()));
}

void MidiTrackWriter::sysex(uint32_t delta, const std::vector<uint8_t>& data) {
  vlq(delta);
  running_ = 0;
  bytes_.push_back(0xF0);
  vlq((uint32_t)data.size());
  bytes_.insert(bytes_.end(), data.begin(), data.end());
}

std::vector<uint8_t> writeMidiFile(int format, uint16_t division, const std::vector<MidiTrackWriter>& tracks) {
  std::vector<uint8_t> b = {'M', 'T', 'h', 'd'};
  be32(b, 6);
  be16(b, (uint32_t)format);
  be16(b, (uint32_t)tracks.size());
  be16(b, division);
  for (const MidiTrackWriter& t : tracks) {
    b.insert(b.end(), {'M', 'T', 'r', 'k'});
    be32(b, (uint32_t)t.bytes().size());
    b.insert(b.end(), t.bytes().begin(), t.bytes().end());
  }
  return b;
}

}  // namespace Host

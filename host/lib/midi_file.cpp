// Standard MIDI File parser: header, track chunks, running status, meta and sysex events, tempo map.
#include "host/lib/midi_file.h"

#include <algorithm>
#include <cstdio>

namespace Host {
namespace {

std::string hexByte(uint8_t b) {
  char text[8];
  std::snprintf(text, sizeof(text), "0x%02X", b);
  return text;
}

// Reads big-endian numbers and variable-length quantities from [begin, end), checking every length.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t pos, size_t end) : data_(data), pos_(pos), end_(end) {}

  size_t pos() const { return pos_; }
  size_t left() const { return end_ - pos_; }
  bool atEnd() const { return pos_ >= end_; }

  void need(size_t n, const char* what) const {
    if (left() < n) throw MidiFileError(std::string(what) + " cut short", pos_);
  }
  uint8_t peek() const { return data_[pos_]; }
  uint8_t u8(const char* what) {
    need(1, what);
    return data_[pos_++];
  }
  uint32_t u16(const char* what) {
    need(2, what);
    uint32_t v = (uint32_t)data_[pos_] << 8 | data_[pos_ + 1];
    pos_ += 2;
    return v;
  }
  uint32_t u32(const char* what) {
    need(4, what);
    uint32_t v = (uint32_t)data_[pos_] << 24 | (uint32_t)data_[pos_ + 1] << 16 | (uint32_t)data_[pos_ + 2] << 8 |
                 data_[pos_ + 3];
    pos_ += 4;
    return v;
  }
  // A variable-length quantity: at most four bytes, seven bits each.
  uint32_t vlq(const char* what) {
    size_t start = pos_;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = u8(what);
      v = v << 7 | (b & 0x7F);
      if (!(b & 0x80)) return v;
    }
    throw MidiFileError(std::string(what) + " longer than four bytes", start);
  }
  void skip(size_t n, const char* what) {
    need(n, what);
    pos_ += n;
  }
  const uint8_t* here() const { return data_ + pos_; }

 private:
  const uint8_t* data_;
  size_t pos_;
  size_t end_;
};

int dataBytesOf(uint8_t status) {
  uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

struct TrackParser {
  ByteReader in;
  uint64_t tick = 0;
  uint8_t running = 0;  // running status; meta and sysex events cancel it
  std::vector<MidiFileEvent>& events;
  std::vector<MidiTempoEvent>& tempos;

  uint8_t dataByte() {
    size_t at = in.pos();
    uint8_t b = in.u8("channel message");
    if (b & 0x80) throw MidiFileError("status byte " + hexByte(b) + " where a data byte belongs", at);
    return b;
  }

  void channelMessage(uint8_t status) {
    MidiFileEvent e{tick, status, 0, 0};
    e.data1 = dataByte();
    if (dataBytesOf(status) == 2) e.data2 = dataByte();
    events.push_back(e);
  }

  // Returns false at the end-of-track event.
  bool metaEvent() {
    running = 0;
    uint8_t type = in.u8("meta event");
    size_t lengthAt = in.pos();
    uint32_t length = in.vlq("meta event length");
    if (length > in.left())
      throw MidiFileError("meta event length " + std::to_string(length) + " runs past the end of the track", lengthAt);
    if (type == 0x51) tempoEvent(length, lengthAt);
    in.skip(length, "meta event");
    return type != 0x2F;
  }

  void tempoEvent(uint32_t length, size_t at) {
    if (length != 3) throw MidiFileError("tempo event of length " + std::to_string(length) + " (expected 3)", at);
    const uint8_t* p = in.here();
    uint32_t micros = (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
    if (micros == 0) throw MidiFileError("tempo of 0 microseconds per quarter note", at);
    tempos.push_back({tick, micros});
  }

  void sysexEvent() {
    running = 0;
    size_t lengthAt = in.pos();
    uint32_t length = in.vlq("sysex length");
    if (length > in.left())
      throw MidiFileError("sysex length " + std::to_string(length) + " runs past the end of the track", lengthAt);
    in.skip(length, "sysex event");
  }

  // Returns false at the end-of-track event.
  bool event() {
    tick += in.vlq("delta time");
    size_t at = in.pos();
    uint8_t first = in.u8("event");
    if (first < 0x80) {
      if (!running) throw MidiFileError("data byte " + hexByte(first) + " without a running status", at);
      MidiFileEvent e{tick, running, first, 0};
      if (dataBytesOf(running) == 2) e.data2 = dataByte();
      events.push_back(e);
      return true;
    }
    if (first < 0xF0) {
      running = first;
      channelMessage(first);
      return true;
    }
    if (first == 0xFF) return metaEvent();
    if (first == 0xF0 || first == 0xF7) {
      sysexEvent();
      return true;
    }
    throw MidiFileError("status byte " + hexByte(first) + " is not allowed in a MIDI file", at);
  }

  void run() {
    while (!in.atEnd())
      if (!event()) return;
    // A missing end-of-track event is forgiven: the chunk length already bounds the track.
  }
};

void readDivision(MidiFile& file, uint32_t division) {
  if (!(division & 0x8000)) {
    if (division == 0) throw MidiFileError("time division of 0 ticks per quarter note", 12);
    file.ticksPerQuarter = (int)division;
    return;
  }
  int fps = -(int)(int8_t)(division >> 8);
  if (fps != 24 && fps != 25 && fps != 29 && fps != 30)
    throw MidiFileError("SMPTE time division with unknown frame rate " + std::to_string(fps), 12);
  file.smpteFramesPerSecond = fps == 29 ? 30000.0 / 1001.0 : fps;
  file.ticksPerFrame = (int)(division & 0xFF);
  if (file.ticksPerFrame == 0) throw MidiFileError("SMPTE time division of 0 ticks per frame", 13);
}

// Reads the header chunk; returns the offset just after it.
size_t readHeader(MidiFile& file, const uint8_t* data, size_t size) {
  ByteReader in(data, 0, size);
  if (size < 4 || data[0] != 'M' || data[1] != 'T' || data[2] != 'h' || data[3] != 'd')
    throw MidiFileError("not a Standard MIDI File (no \"MThd\" header)", 0);
  in.skip(4, "header");
  uint32_t length = in.u32("header");
  if (length < 6) throw MidiFileError("header length " + std::to_string(length) + " is shorter than 6", 4);
  if (length > in.left())
    throw MidiFileError("header length " + std::to_string(length) + " runs past the end of the file", 4);
  file.format = (int)in.u16("header");
  if (file.format > 1)
    throw MidiFileError("MIDI file format " + std::to_string(file.format) + " is not supported (only 0 and 1)", 8);
  file.trackCount = (int)in.u16("header");
  if (file.trackCount == 0) throw MidiFileError("the file declares no tracks", 10);
  if (file.format == 0 && file.trackCount != 1)
    throw MidiFileError("format 0 file declares " + std::to_string(file.trackCount) + " tracks (expected 1)", 10);
  readDivision(file, in.u16("header"));
  return 8 + (size_t)length;
}

}  // namespace

MidiFileError::MidiFileError(const std::string& what, size_t offset)
    : std::runtime_error(what + " at byte offset " + std::to_string(offset)), problem_(what), offset_(offset) {}

MidiFile parseMidiFile(const uint8_t* data, size_t size) {
  MidiFile file;
  size_t pos = readHeader(file, data, size);
  int tracksRead = 0;
  while (tracksRead < file.trackCount) {
    if (pos >= size)
      throw MidiFileError(
          "the file ends after " + std::to_string(tracksRead) + " of " + std::to_string(file.trackCount) + " tracks",
          pos);
    ByteReader chunk(data, pos, size);
    chunk.need(8, "chunk header");
    bool isTrack = std::equal(data + pos, data + pos + 4, "MTrk");
    chunk.skip(4, "chunk header");
    uint32_t length = chunk.u32("chunk header");
    if (length > chunk.left())
      throw MidiFileError("chunk length " + std::to_string(length) + " runs past the end of the file", pos + 4);
    // Chunks of other kinds are skipped, as the file format asks of readers.
    if (isTrack) {
      TrackParser track{ByteReader(data, pos + 8, pos + 8 + length), 0, 0, file.events, file.tempos};
      track.run();
      ++tracksRead;
    }
    pos += 8 + (size_t)length;
  }
  // Each track is in time order already; a stable sort merges them keeping track and file order at equal ticks.
  std::stable_sort(file.events.begin(), file.events.end(),
                   [](const MidiFileEvent& a, const MidiFileEvent& b) { return a.tick < b.tick; });
  std::stable_sort(file.tempos.begin(), file.tempos.end(),
                   [](const MidiTempoEvent& a, const MidiTempoEvent& b) { return a.tick < b.tick; });
  return file;
}

}  // namespace Host

// The MIDI file parser: good files of both formats, every error with its offset, truncation, mutation, fuzz.
#include <gtest/gtest.h>

#include <random>

#include "host/lib/midi_file.h"
#include "host/lib/midi_writer.h"

using namespace Host;

namespace {

using Bytes = std::vector<uint8_t>;

// A format 0 track on two channels with running status, sysex, meta text, pitch bend and a program change.
Bytes formatZeroFile() {
  MidiTrackWriter t(true);
  t.text(0, 0x03, "lead");
  t.channel(0, 0xC0, 5);  // one data byte
  t.noteOn(0, 0, 36, 100);
  t.sysex(10, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
  t.noteOn(20, 0, 36, 0);          // status again after the sysex cancelled it
  t.noteOn(0, 0, 48, 110);         // running status
  t.channel(5, 0xE9, 0x00, 0x40);  // pitch bend on channel 10
  t.channel(5, 0xD9, 0x33);        // channel pressure, one data byte
  t.noteOff(30, 9, 48);
  t.endOfTrack();
  return writeMidiFile(0, 96, {t});
}

struct Case {
  Bytes bytes;
  const char* problem;
  size_t offset;
};

Bytes header(uint16_t format, uint16_t tracks, uint16_t division) {
  // clang-format off
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, (uint8_t)(format >> 8), (uint8_t)format, (uint8_t)(tracks >> 8),
          (uint8_t)tracks, (uint8_t)(division >> 8), (uint8_t)division};
  // clang-format on
}

Bytes track(Bytes body) {
  Bytes b = {'M', 'T', 'r', 'k', 0, 0, (uint8_t)(body.size() >> 8), (uint8_t)body.size()};
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes oneTrack(Bytes body) { return join(header(0, 1, 96), track(std::move(body))); }

}  // namespace

TEST(MidiFile, FormatZeroEventsRunningStatusAndSkippedMetaAndSysex) {
  MidiFile f = parseMidiFile(formatZeroFile());
  EXPECT_EQ(f.format, 0);
  EXPECT_EQ(f.ticksPerQuarter, 96);
  ASSERT_EQ(f.events.size(), 7u);
  auto expect = [&](size_t i, uint64_t tick, uint8_t s, uint8_t d1, uint8_t d2) {
    EXPECT_EQ(f.events[i].tick, tick) << i;
    EXPECT_EQ(f.events[i].status, s) << i;
    EXPECT_EQ(f.events[i].data1, d1) << i;
    EXPECT_EQ(f.events[i].data2, d2) << i;
  };
  expect(0, 0, 0xC0, 5, 0);
  expect(1, 0, 0x90, 36, 100);
  expect(2, 30, 0x90, 36, 0);
  expect(3, 30, 0x90, 48, 110);
  expect(4, 35, 0xE9, 0x00, 0x40);
  expect(5, 40, 0xD9, 0x33, 0);
  expect(6, 70, 0x89, 48, 0);
  EXPECT_TRUE(f.tempos.empty());
}

TEST(MidiFile, FormatOneMergesTracksKeepingTrackOrderAtEqualTicks) {
  MidiTrackWriter conductor;
  conductor.tempo(0, 400000);
  conductor.tempo(480, 600000);
  conductor.endOfTrack();
  MidiTrackWriter a, b;
  a.noteOn(480, 0, 40, 90);
  a.noteOff(480, 0, 40);
  a.endOfTrack();
  b.noteOn(0, 1, 50, 90);
  b.noteOn(480, 1, 52, 90);
  b.endOfTrack();
  MidiFile f = parseMidiFile(writeMidiFile(1, 480, {conductor, a, b}));
  EXPECT_EQ(f.trackCount, 3);
  ASSERT_EQ(f.tempos.size(), 2u);
  EXPECT_EQ(f.tempos[1].tick, 480u);
  EXPECT_EQ(f.tempos[1].microsPerQuarter, 600000u);
  ASSERT_EQ(f.events.size(), 4u);
  EXPECT_EQ(f.events[0].data1, 50);
  EXPECT_EQ(f.events[1].data1, 40);  // tick 480: track a before track b
  EXPECT_EQ(f.events[2].data1, 52);
  EXPECT_EQ(f.events[3].tick, 960u);
}

TEST(MidiFile, ToleratesAlienChunksMissingEndOfTrackAndLongHeaders) {
  Bytes alien = {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 0xAA, 0xBB};
  Bytes longHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1, 0, 96, 0xEE, 0xEE};
  Bytes file = join(join(longHeader, alien), track({0x00, 0x90, 60, 64, 0x10, 60, 0}));
  MidiFile f = parseMidiFile(file);
  ASSERT_EQ(f.events.size(), 2u);
  EXPECT_EQ(f.events[1].tick, 16u);
  // Bytes after the end-of-track event are not events.
  f = parseMidiFile(oneTrack({0x00, 0x90, 60, 64, 0x00, 0xFF, 0x2F, 0x00, 0x99, 0x99}));
  EXPECT_EQ(f.events.size(), 1u);
}

TEST(MidiFile, SmpteDivision) {
  MidiFile f = parseMidiFile(join(header(0, 1, 0xE728), track({0x00, 0xFF, 0x2F, 0x00})));  // -25 fps, 40 ticks
  EXPECT_EQ(f.ticksPerQuarter, 0);
  EXPECT_DOUBLE_EQ(f.smpteFramesPerSecond, 25.0);
  EXPECT_EQ(f.ticksPerFrame, 40);
  f = parseMidiFile(join(header(0, 1, 0xE350), track({})));  // -29: drop-frame 30
  EXPECT_NEAR(f.smpteFramesPerSecond, 29.97, 0.001);
}

TEST(MidiFile, EveryErrorNamesItsProblemAndOffset) {
  const std::vector<Case> cases = {
      {{}, "not a Standard MIDI File (no \"MThd\" header)", 0},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 6}, "not a Standard MIDI File (no \"MThd\" header)", 0},
      {{'M', 'T', 'h', 'd', 0, 0}, "header cut short", 4},
      {{'M', 'T', 'h', 'd', 0, 0, 0, 5, 0, 0, 0, 1, 0}, "header length 5 is shorter than 6", 4},
      {{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1}, "header length 6 runs past the end of the file", 4},
      {header(2, 1, 96), "MIDI file format 2 is not supported (only 0 and 1)", 8},
      {header(1, 0, 96), "the file declares no tracks", 10},
      {header(0, 2, 96), "format 0 file declares 2 tracks (expected 1)", 10},
      {header(0, 1, 0), "time division of 0 ticks per quarter note", 12},
      {header(0, 1, 0xE500), "SMPTE time division with unknown frame rate 27", 12},
      {header(0, 1, 0xE700), "SMPTE time division of 0 ticks per frame", 13},
      {header(0, 1, 96), "the file ends after 0 of 1 tracks", 14},
      {join(header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0}), "chunk header cut short", 14},
      {join(header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 9, 0}), "chunk length 9 runs past the end of the file", 18},
      {oneTrack({0x81, 0x80, 0x80, 0x80, 0x00}), "delta time longer than four bytes", 22},
      {oneTrack({0x81}), "delta time cut short", 23},
      {oneTrack({0x00}), "event cut short", 23},
      {oneTrack({0x00, 0x40, 0x40}), "data byte 0x40 without a running status", 23},
      {oneTrack({0x00, 0x90, 0x40}), "channel message cut short", 25},
      {oneTrack({0x00, 0x90, 0x40, 0x90}), "status byte 0x90 where a data byte belongs", 25},
      {oneTrack({0x00, 0xF3, 0x01}), "status byte 0xF3 is not allowed in a MIDI file", 23},
      {oneTrack({0x00, 0xFF, 0x01, 0x05, 'a'}), "meta event length 5 runs past the end of the track", 25},
      {oneTrack({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), "tempo event of length 2 (expected 3)", 25},
      {oneTrack({0x00, 0xFF, 0x51, 0x03, 0, 0, 0}), "tempo of 0 microseconds per quarter note", 25},
      {oneTrack({0x00, 0xF0, 0x09, 0x01}), "sysex length 9 runs past the end of the track", 24},
      // Running status does not survive a meta event.
      {oneTrack({0x00, 0x90, 60, 64, 0x00, 0xFF, 0x01, 0x00, 0x00, 60, 0}), "data byte 0x3C without a running status",
       31},
  };
  for (const Case& c : cases) {
    try {
      parseMidiFile(c.bytes);
      ADD_FAILURE() << "accepted: " << c.problem;
    } catch (const MidiFileError& e) {
      EXPECT_EQ(e.problem(), c.problem);
      EXPECT_EQ(e.offset(), c.offset) << c.problem;
      EXPECT_EQ(std::string(e.what()), std::string(c.problem) + " at byte offset " + std::to_string(c.offset));
    }
  }
}

TEST(MidiFile, EveryTruncationIsRejectedWithAnOffsetInsideWhatWasRead) {
  Bytes good = formatZeroFile();
  for (size_t n = 0; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + (ptrdiff_t)n);
    try {
      parseMidiFile(cut);
      ADD_FAILURE() << "a file cut to " << n << " bytes was accepted";
    } catch (const MidiFileError& e) {
      EXPECT_LE(e.offset(), n);
    }
  }
}

TEST(MidiFile, ByteMutationsEitherParseOrFailCleanly) {
  Bytes good = formatZeroFile();
  size_t failures = 0;
  for (size_t i = 0; i < good.size(); ++i) {
    for (int v : {0x00, 0x01, 0x7F, 0x80, 0xF7, 0xFF, good[i] ^ 0x55}) {
      Bytes mutated = good;
      mutated[i] = (uint8_t)v;
      try {
        MidiFile f = parseMidiFile(mutated);
        EXPECT_LE(f.events.size(), mutated.size() / 2);
      } catch (const MidiFileError& e) {
        EXPECT_LE(e.offset(), mutated.size());
        ++failures;
      }
    }
  }
  EXPECT_GT(failures, 0u);
}

TEST(MidiFile, RandomInputNeverEscapesTheParser) {
  std::mt19937 rng(20240611);
  Bytes base = formatZeroFile();
  for (int round = 0; round < 20000; ++round) {
    Bytes b = round % 2 ? base : header(0, 1, 96);
    size_t keep = rng() % (b.size() + 1);
    b.resize(keep);
    size_t extra = rng() % 64;
    for (size_t i = 0; i < extra; ++i) b.push_back((uint8_t)rng());
    for (int flips = (int)(rng() % 4); flips > 0 && !b.empty(); --flips) b[rng() % b.size()] = (uint8_t)rng();
    try {
      parseMidiFile(b);
    } catch (const MidiFileError& e) {
      ASSERT_LE(e.offset(), b.size());
    }
  }
}

// The tempo map: ticks to sample positions across tempo changes, song position and tempo for the transport.
#include <gtest/gtest.h>

#include "host/lib/midi_timeline.h"
#include "host/lib/midi_writer.h"

using namespace Host;

namespace {

// 480 ticks per quarter: 120 BPM, then 60 BPM from tick 960, then 240 BPM from tick 1920.
MidiFile tempoChangeSong() {
  MidiTrackWriter conductor;
  conductor.tempo(0, 500000);
  conductor.tempo(960, 1000000);
  conductor.tempo(960, 250000);
  conductor.endOfTrack();
  MidiTrackWriter notes;
  notes.noteOn(480, 0, 36, 100);  // 0.5 s
  notes.noteOn(960, 0, 38, 100);  // tick 1440: 1 s + 1 quarter at 1 s = 2 s
  notes.noteOn(960, 0, 40, 100);  // tick 2400: 3 s + 1 quarter at 0.25 s = 3.25 s
  notes.endOfTrack();
  return parseMidiFile(writeMidiFile(1, 480, {conductor, notes}));
}

}  // namespace

TEST(MidiTimeline, EventsLandOnTheirSamplesAcrossTempoChanges) {
  MidiTimeline song(tempoChangeSong(), 44100);
  ASSERT_EQ(song.events().size(), 3u);
  EXPECT_EQ(song.events()[0].sample, 22050);
  EXPECT_EQ(song.events()[1].sample, 88200);
  EXPECT_EQ(song.events()[2].sample, 143325);
  EXPECT_EQ(song.lastEventSample(), 143325);
  MidiTimeline at48k(tempoChangeSong(), 48000);
  EXPECT_EQ(at48k.events()[2].sample, 156000);
}

TEST(MidiTimeline, SongPositionAndTempoForTheTransport) {
  MidiTimeline song(tempoChangeSong(), 44100);
  ASSERT_EQ(song.tempoMap().size(), 3u);  // the change at tick 0 replaced the default
  EXPECT_DOUBLE_EQ(song.tempoAt(0), 120.0);
  EXPECT_DOUBLE_EQ(song.tempoAt(44099), 120.0);
  EXPECT_DOUBLE_EQ(song.tempoAt(44100), 60.0);
  EXPECT_DOUBLE_EQ(song.tempoAt(132299), 60.0);
  EXPECT_DOUBLE_EQ(song.tempoAt(132300), 240.0);
  EXPECT_DOUBLE_EQ(song.quarterAt(22050), 1.0);
  EXPECT_DOUBLE_EQ(song.quarterAt(88200), 3.0);
  EXPECT_DOUBLE_EQ(song.quarterAt(143325), 5.0);
  EXPECT_EQ(song.nextTempoChange(0), 44100);
  EXPECT_EQ(song.nextTempoChange(44100), 132300);
  EXPECT_EQ(song.nextTempoChange(132300), INT64_MAX);
}

TEST(MidiTimeline, DefaultTempoAndSmpteTime) {
  MidiTrackWriter t;
  t.noteOn(960, 0, 36, 100);
  t.endOfTrack();
  MidiTimeline plain(parseMidiFile(writeMidiFile(0, 480, {t})), 44100);
  EXPECT_EQ(plain.events()[0].sample, 44100);  // two quarters at the default 120 BPM
  EXPECT_TRUE(MidiTimeline(parseMidiFile(writeMidiFile(0, 480, {MidiTrackWriter()})), 44100).events().empty());

  // 25 frames of 40 ticks: 1000 ticks a second whatever the tempo; the tempo only moves the song position.
  MidiTrackWriter s;
  s.tempo(0, 1000000);
  s.noteOn(1500, 0, 36, 100);
  s.tempo(500, 500000);
  s.noteOn(1000, 0, 38, 100);
  s.endOfTrack();
  MidiTimeline smpte(parseMidiFile(writeMidiFile(0, 0xE728, {s})), 48000);
  EXPECT_EQ(smpte.events()[0].sample, 72000);
  EXPECT_EQ(smpte.events()[1].sample, 144000);
  EXPECT_DOUBLE_EQ(smpte.quarterAt(96000), 2.0);   // two seconds at 60 BPM
  EXPECT_DOUBLE_EQ(smpte.quarterAt(144000), 4.0);  // then one second at 120 BPM
}

TEST(MidiTimeline, SongsBeyondADayAreRefused) {
  auto oneNoteAt = [](uint32_t tick) {
    MidiTrackWriter t;
    t.tempo(0, 0xFFFFFF);  // 16.78 s a quarter, at one tick per quarter
    t.noteOn(tick, 0, 36, 100);
    t.endOfTrack();
    return parseMidiFile(writeMidiFile(0, 1, {t}));
  };
  EXPECT_EQ(MidiTimeline(oneNoteAt(5000), 8000).lastEventSample(), 671088600);  // 23.3 hours
  EXPECT_THROW(MidiTimeline(oneNoteAt(5200), 8000), SongTooLong);
  EXPECT_THROW(MidiTimeline(oneNoteAt(0x0FFFFFFF), 384000), SongTooLong);
}

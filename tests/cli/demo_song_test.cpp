// The shipped demo song: made by our generator, an acid line as promised, with the filter knobs turning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "host/lib/midi_file.h"
#include "host/lib/midi_timeline.h"
#include "tests/cli/cli_run.h"

TEST(DemoSong, GeneratorReproducesTheShippedFile) {
  std::filesystem::path dir = scratchDir("acidgen");
  CliResult r = runProgram(KORALIN_MAKE_ACID, {(dir / "acid.mid").string()});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(fileBytes(dir / "acid.mid"), fileBytes(KORALIN_SOURCE_DIR "/examples/acid.mid"));
}

TEST(DemoSong, BassRangeAccentsSlidesAndTempo) {
  Host::MidiFile f = Host::parseMidiFile(fileBytes(KORALIN_SOURCE_DIR "/examples/acid.mid"));
  ASSERT_EQ(f.tempos.size(), 1u);
  EXPECT_EQ(f.tempos[0].microsPerQuarter, 480000u);  // 125 BPM
  int accents = 0, slides = 0, held = -1;
  std::set<int> notes;
  for (const Host::MidiFileEvent& e : f.events) {
    ASSERT_TRUE(e.status == 0x90 || e.status == 0xB0) << (int)e.status;
    if (e.status != 0x90) continue;
    if (e.data2 == 0) {
      if (e.data1 == held) held = -1;
      continue;
    }
    notes.insert(e.data1);
    accents += e.data2 > 100;
    slides += held >= 0;  // a new note while the last one still sounds
    held = e.data1;
  }
  EXPECT_GE(*notes.begin(), 36);
  EXPECT_LE(*notes.rbegin(), 60);
  EXPECT_GE(accents, 8);
  EXPECT_GE(slides, 8);
  EXPECT_NEAR(Host::MidiTimeline(f, 44100).lastEventSample() / 44100.0, 7.68, 0.1);
}

TEST(DemoSong, KnobsSweepTheCutoffDownAndUpAndMoveTheResonance) {
  Host::MidiFile f = Host::parseMidiFile(fileBytes(KORALIN_SOURCE_DIR "/examples/acid.mid"));
  constexpr uint64_t kBar = 4 * 480;
  std::vector<Host::MidiFileEvent> cutoff, reso;
  for (const Host::MidiFileEvent& e : f.events) {
    if (e.status != 0xB0) continue;
    ASSERT_TRUE(e.data1 == 74 || e.data1 == 71) << (int)e.data1;
    (e.data1 == 74 ? cutoff : reso).push_back(e);
  }
  ASSERT_GE(cutoff.size(), 30u);
  ASSERT_GE(reso.size(), 10u);
  // Both start with the song and end within it, so the knobs sit where they belong from the first note.
  EXPECT_EQ(cutoff.front().tick, 0u);
  EXPECT_EQ(reso.front().tick, 0u);
  EXPECT_LT(std::max(cutoff.back().tick, reso.back().tick), 4 * kBar);
  // A hand turns a knob: no jumps, and a message only when the position changes.
  for (const auto* knob : {&cutoff, &reso})
    for (size_t i = 1; i < knob->size(); ++i) {
      EXPECT_LE(std::abs((*knob)[i].data2 - (*knob)[i - 1].data2), 3) << "tick " << (*knob)[i].tick;
      EXPECT_NE((*knob)[i].data2, (*knob)[i - 1].data2) << "tick " << (*knob)[i].tick;
    }
  // The cutoff closes to its lowest around the middle of the song and opens past where it started.
  auto lowest = std::min_element(cutoff.begin(), cutoff.end(), [](auto& a, auto& b) { return a.data2 < b.data2; });
  EXPECT_GE(lowest->tick, kBar);
  EXPECT_LE(lowest->tick, 3 * kBar);
  EXPECT_LE(lowest->data2 + 30, cutoff.front().data2);
  EXPECT_GT(cutoff.back().data2, cutoff.front().data2);
  // The resonance stays high and peaks in the second half.
  auto highest = std::max_element(reso.begin(), reso.end(), [](auto& a, auto& b) { return a.data2 < b.data2; });
  EXPECT_GE(highest->tick, 2 * kBar);
  EXPECT_GE(highest->data2, reso.front().data2 + 15);
  for (const Host::MidiFileEvent& e : reso) EXPECT_GE(e.data2, 90);
}

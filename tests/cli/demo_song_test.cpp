// The shipped demo song: made by our generator, and an acid line as promised.
#include <gtest/gtest.h>

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
    ASSERT_EQ(e.status, 0x90);
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

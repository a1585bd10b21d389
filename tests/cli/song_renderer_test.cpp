// The render loop with the probe instrument: event positions, the transport and the tail, at any block size.
#include <gtest/gtest.h>

#include <cmath>

#include "host/cli/song_renderer.h"
#include "host/lib/midi_timeline.h"
#include "host/lib/midi_writer.h"

using namespace Host;
using Render::SongRenderer;

namespace {

struct Output {
  std::vector<float> left, right;
};

// Tempo 120, 60 from tick 960; notes 36 (0.5 s), 40 (tick 1000, just after the change) and the release of 36.
MidiFile song() {
  MidiTrackWriter conductor;
  conductor.tempo(960, 1000000);
  conductor.endOfTrack();
  MidiTrackWriter notes;
  notes.noteOn(480, 0, 36, 100);
  notes.noteOn(520, 3, 40, 100);
  notes.noteOff(24, 0, 36);
  notes.endOfTrack();
  return parseMidiFile(writeMidiFile(1, 480, {conductor, notes}));
}

Output render(const MidiFile& midi, int32_t block, std::optional<double> tail, float clock = 1, float hum = 0,
              double rate = 44100, Render::RenderStats* statsOut = nullptr, float poison = 0) {
  PluginHost host(KORALIN_PROBE_PLUGIN);
  host.start((float)rate, block);
  host.setParameter(0, clock);
  host.setParameter(1, hum);
  host.setParameter(2, poison);
  MidiTimeline timeline(midi, rate);
  SongRenderer renderer(host, timeline, rate, block, tail);
  Output out;
  Render::RenderStats stats = renderer.run(
      [&](const float* const* c, int32_t n) {
        out.left.insert(out.left.end(), c[0], c[0] + n);
        out.right.insert(out.right.end(), c[1], c[1] + n);
      },
      nullptr);
  EXPECT_EQ(stats.frames, (int64_t)out.left.size());
  if (statsOut) *statsOut = stats;
  return out;
}

std::vector<std::pair<size_t, float>> marks(const std::vector<float>& left) {
  std::vector<std::pair<size_t, float>> found;
  for (size_t i = 0; i < left.size(); ++i)
    if (left[i] != 0) found.emplace_back(i, left[i]);
  return found;
}

}  // namespace

TEST(SongRenderer, EventsArriveOnTheirExactSamplesWhateverTheBlockSize) {
  // 0.5 s; 1 s + 40 ticks at 1 s a quarter; 1 s + 64 ticks.
  const std::vector<std::pair<size_t, float>> expected = {{22050, 36.f}, {47775, 40.f}, {49980, -36.f}};
  for (int32_t block : {1, 7, 512, 4096, 8192}) {
    Output out = render(song(), block, 0.5);
    EXPECT_EQ(marks(out.left), expected) << "block " << block;
    EXPECT_EQ(out.left.size(), 49980u + 22050u) << "block " << block;
  }
}

TEST(SongRenderer, TransportFollowsTheTempoMap) {
  Output out = render(song(), 300, 0.5);
  // The probe writes song position / 1000 per sample from the host's ppq and tempo at each call.
  auto quarter = [&](size_t i) { return out.right[i] * 1000.0; };
  EXPECT_NEAR(quarter(0), 0.0, 1e-6);
  EXPECT_NEAR(quarter(22050), 1.0, 1e-4);
  EXPECT_NEAR(quarter(44100), 2.0, 1e-4);  // the tempo change
  EXPECT_NEAR(quarter(44100 + 22050), 2.5, 1e-4);
  for (size_t i = 1; i < out.right.size(); ++i) ASSERT_GE(out.right[i], out.right[i - 1]) << i;
  // After the change the position grows at 60 BPM: no processing call straddles it.
  EXPECT_NEAR(quarter(44099), 2.0 - 1.0 / 22050, 1e-6);
  EXPECT_NEAR(quarter(44101), 2.0 + 1.0 / 44100, 1e-6);
}

TEST(SongRenderer, AutomaticTailStopsWhenSilentAndAtTenSeconds) {
  // Silent after the last event: 0.1 s of quiet, in whole blocks.
  Output quiet = render(song(), 512, std::nullopt, 0);
  size_t last = 49980;
  EXPECT_GE(quiet.left.size(), last + 4410);
  EXPECT_LT(quiet.left.size(), last + 4410 + 512 + 1);
  // A steady hum at -80 dBFS never falls below -90 dBFS: ten seconds.
  Output hum = render(song(), 512, std::nullopt, 0, 1e-4f);
  EXPECT_EQ(hum.left.size(), last + 441000);
  // At -100 dBFS it counts as silence.
  EXPECT_LT(render(song(), 512, std::nullopt, 0, 1e-5f).left.size(), last + 5000);
}

TEST(SongRenderer, FixedTailAndAnEmptySong) {
  EXPECT_EQ(render(song(), 512, 2.0, 0, 0, 48000).left.size(), 54400u + 96000u);
  MidiFile empty = parseMidiFile(writeMidiFile(0, 96, {MidiTrackWriter()}));
  EXPECT_EQ(render(empty, 512, 0.25).left.size(), 11025u);
  EXPECT_TRUE(render(empty, 512, 0.0).left.empty());
}

TEST(SongRenderer, SamplesThatAreNotNumbersBecomeSilenceAndAreCounted) {
  Render::RenderStats stats;
  Output out = render(song(), 1000, 0.1, 0, 0, 44100, &stats, 1);
  for (float x : out.left) ASSERT_TRUE(std::isfinite(x));
  EXPECT_EQ(out.left[0], 0.0f);
  // One per processing call; the tempo change cuts one call in two.
  EXPECT_EQ(stats.nonFinite, (int64_t)((out.left.size() + 999) / 1000) + 1);
  EXPECT_FLOAT_EQ(stats.peak, 40.0f);  // the note number mark of note 40
}

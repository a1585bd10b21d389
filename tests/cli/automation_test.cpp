// Controllers played as host automation: each change on its exact sample at any block size, and not sent as MIDI.
#include <gtest/gtest.h>

#include <ostream>

#include "host/cli/plugin_state.h"
#include "host/cli/song_renderer.h"
#include "host/lib/midi_timeline.h"
#include "host/lib/midi_writer.h"
#include "tests/cli/probe_log.h"

using namespace Host;
using Render::ControllerMap;
using Render::SongRenderer;

namespace {

constexpr int kHum = 1;  // the probe's parameter that shows as a level on the left

struct Change {
  int32_t index;
  float value;
  int64_t frame;
  bool operator==(const Change&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Change& c) {
    return os << "{" << c.index << ", " << c.value << " at " << c.frame << "}";
  }
};

struct Played {
  std::vector<float> left;
  std::vector<Change> changes;
};

// At 120 BPM and 480 ticks a quarter a tick is 44100 / 960 samples. Controller 74 moves "Hum": to 127 at tick 240
// (sample 11025), to 0 ten ticks later (11484.375 -> 11484) and, on channel 6, to 64 at tick 481 (22095.9375 ->
// 22096). Controller 7 is not mapped and plays at tick 480 with note 36 (released at tick 960, sample 44100);
// controller 71 moves "clock" to 0 at once.
MidiFile knobSong() {
  MidiTrackWriter t;
  t.channel(0, 0xB0, 71, 0);
  t.channel(240, 0xB0, 74, 127);
  t.channel(10, 0xB0, 74, 0);
  t.noteOn(230, 0, 36, 100);
  t.channel(0, 0xB0, 7, 64);
  t.channel(1, 0xB5, 74, 64);
  t.noteOff(479, 0, 36);
  t.endOfTrack();
  return parseMidiFile(writeMidiFile(0, 480, {t}));
}

Played play(const MidiFile& midi, int32_t block, const ControllerMap& controllers) {
  PluginHost host(KORALIN_PROBE_PLUGIN);
  host.start(44100.0f, block);
  MidiTimeline timeline(midi, 44100);
  SongRenderer renderer(host, timeline, 44100, block, 0.01, controllers);
  Played out;
  renderer.run([&](const float* const* c, int32_t n) { out.left.insert(out.left.end(), c[0], c[0] + n); }, nullptr);
  auto log = reinterpret_cast<ProbeParamLogProc>(host.symbol(kProbeParamLogSymbol));
  int32_t count = 0;
  const ProbeParamChange* changes = log(host.effect(), &count);
  for (int32_t i = 0; i < count; ++i) out.changes.push_back({changes[i].index, changes[i].value, changes[i].frame});
  return out;
}

ControllerMap humAndClock() {
  ControllerMap map;
  map.map(74, kHum);
  map.map(71, 0);
  return map;
}

}  // namespace

TEST(Automation, EachChangeTakesEffectOnItsExactSampleWhateverTheBlockSize) {
  const std::vector<Change> expected = {
      {0, 0.0f, 0}, {kHum, 1.0f, 11025}, {kHum, 0.0f, 11484}, {kHum, 64 / 127.0f, 22096}};
  for (int32_t block : {1, 7, 512, 4096, 8192}) {
    Played out = play(knobSong(), block, humAndClock());
    EXPECT_EQ(out.changes, expected) << "block " << block;
    ASSERT_EQ(out.left.size(), 44100u + 441u) << "block " << block;
    // The level follows the knob; the note and the unmapped controller 7 arrive as MIDI, 74 and 71 never do.
    for (size_t i = 0; i < out.left.size(); ++i) {
      float level = i >= 22096 ? 64 / 127.0f : i >= 11025 && i < 11484 ? 1.0f : 0.0f;
      float marks = i == 22050 ? 36.0f + 1007.0f : i == 44100 ? -36.0f : 0.0f;
      ASSERT_EQ(out.left[i], level + marks) << "block " << block << ", frame " << i;
    }
  }
}

TEST(Automation, ControllersFindTheirParametersByName) {
  PluginHost host(KORALIN_PROBE_PLUGIN);
  host.start(44100.0f, 64);
  ControllerMap map = Render::mapControllers(host, {{74, "hum"}, {1, "Poison"}});
  EXPECT_EQ(map.paramOf(0xB3, 74), kHum);
  EXPECT_EQ(map.paramOf(0xB0, 1), 2);
  EXPECT_EQ(map.paramOf(0xB0, 71), -1);
  EXPECT_EQ(map.paramOf(0x90, 74), -1);  // a note with the number of a mapped controller is still a note
  try {
    Render::mapControllers(host, {{74, "cutoff"}});
    ADD_FAILURE() << "an unknown name was accepted";
  } catch (const Render::UsageError& e) {
    EXPECT_STREQ(e.what(), "--cc: the plug-in has no parameter \"cutoff\" (it has: clock, Hum, poison)");
  }
}

// Koralin.clap against the VST 2.4 module in our host, driven the same way from instantiation: the demo song, its
// knob automation sent as host values inside the blocks at their frames, its notes once as MIDI and once as CLAP
// notes, gives the module's samples to the bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/clap/clap_host.h"
#include "tests/embed/embed_rig.h"

namespace ClapTest {
namespace {

enum class Notes { Midi, Clap };

// The script's events at their song positions, the values of each block first: the host's list for any blocks.
std::vector<Event> songEvents(const Rig::Script& script, Notes notes) {
  std::vector<Event> events;
  uint32_t pos = 0;
  for (const Rig::Block& block : script.blocks) {
    for (const auto& [index, value] : block.params)
      events.push_back(paramEvent(pos, (clap_id)index, KoralinParams::plainOf(index, value)));
    for (const Host::MidiMessage& m : block.midi) {
      const uint32_t at = pos + (uint32_t)std::max(m.deltaFrames, 0);
      const uint8_t kind = m.status & 0xF0;
      if (notes == Notes::Clap && (kind == 0x90 || kind == 0x80)) {
        const bool on = kind == 0x90 && m.data2 > 0;
        events.push_back(noteEvent(at, on ? CLAP_EVENT_NOTE_ON : CLAP_EVENT_NOTE_OFF, (int16_t)m.data1, m.data2 / 127.0,
                                   (int16_t)(m.status & 15)));
      } else {
        events.push_back(midiEvent(at, m.status, m.data1, m.data2));
      }
    }
    pos += (uint32_t)block.frames;
  }
  return events;
}

// Stereo, left and right one after the other per rig block, as the rig lays out the module's render.
Rig::Render renderClap(const Rig::Script& script, Notes notes, Rig::Sizes sizes) {
  TestHost host;
  Module module(modulePath());
  Plugin p(module, host);
  EXPECT_TRUE(p.activate(script.rate, (uint32_t)sizes.max));
  const std::vector<Event> events = songEvents(script, notes);
  uint32_t total = 0;
  for (const Rig::Block& block : script.blocks) total += (uint32_t)block.frames;
  std::vector<float> left, right;
  std::minstd_rand random(sizes.seed);
  std::uniform_int_distribution<uint32_t> size((uint32_t)sizes.min, (uint32_t)sizes.max);
  size_t next = 0;
  for (uint32_t pos = 0; pos < total;) {
    const uint32_t n = std::min(size(random), total - pos);
    InputEvents in;
    for (; next < events.size() && events[next].header.time < pos + n; ++next) {
      Event e = events[next];
      e.header.time -= pos;
      in.add(e);
    }
    const clap_process_status status = p.process(n, in);  // a host that keeps calling a sleeping plug-in
    EXPECT_TRUE(status == CLAP_PROCESS_CONTINUE || status == CLAP_PROCESS_SLEEP) << status;
    left.insert(left.end(), p.left.begin(), p.left.end());
    right.insert(right.end(), p.right.begin(), p.right.end());
    pos += n;
  }
  Rig::Render out;
  size_t at = 0;
  for (const Rig::Block& block : script.blocks) {
    out.insert(out.end(), left.begin() + (long)at, left.begin() + (long)at + block.frames);
    out.insert(out.end(), right.begin() + (long)at, right.begin() + (long)at + block.frames);
    at += (size_t)block.frames;
  }
  EXPECT_TRUE(host.violations().empty());
  return out;
}

TEST(ClapCrossFormat, DemoSongIsTheModulesSoundToTheBit) {
  const struct {
    double rate;
    Rig::Sizes clapBlocks;
  } configs[] = {{44100, {512, 512}}, {48000, {1, 2048, 7}}, {96000, {4096, 4096}}};
  for (const auto& config : configs) {
    SCOPED_TRACE(testing::Message() << config.rate << " Hz, CLAP blocks of " << config.clapBlocks.min << " to "
                                    << config.clapBlocks.max);
    // The module's blocks end where the next knob value is due; the CLAP blocks do not. A CLAP host's value is in
    // the knob's units, which name one of the instrument's steps: the module is given that step.
    Rig::Script song = Rig::demoSong(config.rate, {1 << 20, 1 << 20});
    for (Rig::Block& block : song.blocks)
      for (auto& [index, value] : block.params)
        value = KoralinParams::normalizedOf(index, KoralinParams::plainOf(index, value));
    const Rig::Render module = Rig::renderModule(song);
    float peak = 0;
    for (float x : module) peak = std::max(peak, std::fabs(x));
    EXPECT_GT(peak, 0.05f) << "the song sounds";
    EXPECT_EQ(Rig::difference(module, renderClap(song, Notes::Midi, config.clapBlocks)), "") << "notes as MIDI";
    EXPECT_EQ(Rig::difference(module, renderClap(song, Notes::Clap, config.clapBlocks)), "") << "CLAP notes";
  }
}

}  // namespace
}  // namespace ClapTest

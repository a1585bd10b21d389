// The cross-format rig: the demo song as a script, and the script played through either path.
#include "tests/embed/embed_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "host/lib/midi_file.h"
#include "host/lib/midi_timeline.h"

namespace Rig {
namespace {

std::vector<uint8_t> fileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Controller 74 moves the cutoff, 71 the resonance, as host automation (value / 127).
int32_t automatedParam(const Host::TimedMidi& e) {
  if ((e.status & 0xF0) != 0xB0) return -1;
  return e.data1 == 74 ? kCutoff : e.data1 == 71 ? kReso : -1;
}

void appendBlock(Render& out, const float* left, const float* right, int32_t frames) {
  out.insert(out.end(), left, left + frames);
  out.insert(out.end(), right, right + frames);
}

}  // namespace

Script demoSong(double rate, Sizes sizes) {
  const Host::MidiTimeline song(Host::parseMidiFile(fileBytes(KORALIN_SOURCE_DIR "/examples/acid.mid")), rate);
  Script script;
  script.rate = rate;
  script.maxFrames = sizes.max;
  std::minstd_rand random(sizes.seed);
  std::uniform_int_distribution<int32_t> size(sizes.min, sizes.max);
  const auto& events = song.events();
  const int64_t end = song.lastEventSample() + (int64_t)(rate / 2);  // half a second of the last note's tail
  size_t next = 0;
  for (int64_t pos = 0; pos < end;) {
    Block block;
    int64_t stop = std::min(pos + size(random), end);
    for (; next < events.size() && events[next].sample < stop; ++next) {
      const Host::TimedMidi& e = events[next];
      const int32_t param = automatedParam(e);
      if (param < 0) {
        block.midi.push_back({(int32_t)(e.sample - pos), e.status, e.data1, e.data2});
      } else if (e.sample == pos) {
        block.params.emplace_back(param, e.data2 / 127.0f);
      } else {
        stop = e.sample;  // the next block starts with this value
        break;
      }
    }
    block.frames = (int32_t)(stop - pos);
    script.blocks.push_back(std::move(block));
    pos = stop;
  }
  return script;
}

Render renderModule(const Script& script) {
  Host::PluginHost host(KORALIN_MODULE);
  host.start((float)script.rate, script.maxFrames);
  if (!script.state.empty()) host.setChunk(script.state, false);
  Render out;
  std::vector<float> left, right;
  for (const Block& block : script.blocks) {
    if (block.newRate > 0) {
      host.suspend();
      host.dispatch(effSetSampleRate, 0, 0, nullptr, (float)block.newRate);
      host.dispatch(effSetBlockSize, 0, block.newMaxFrames);
      host.resume();
    }
    for (const auto& [index, value] : block.params) host.setParameter(index, value);
    // The module handles events in the order given: it gets them sorted, as the layer promises to sort them.
    std::vector<Host::MidiMessage> midi = block.midi;
    if (midi.size() > (size_t)Embed::MidiEventList::kCapacity) midi.resize(Embed::MidiEventList::kCapacity);
    for (Host::MidiMessage& m : midi) m.deltaFrames = std::max(m.deltaFrames, 0);
    std::stable_sort(midi.begin(), midi.end(), [](auto& a, auto& b) { return a.deltaFrames < b.deltaFrames; });
    if (block.reset) midi.insert(midi.begin(), {{0, 0xB0, 123, 0}, {0, 0xB0, 120, 0}});
    if (!midi.empty()) host.sendMidi(midi);
    host.renderFloat(left, right, block.frames);
    appendBlock(out, left.data(), right.data(), block.frames);
  }
  return out;
}

Render renderEmbedded(const Script& script, Embed::Instance& instance) {
  EXPECT_TRUE(instance.activate(script.rate, script.maxFrames));
  if (!script.state.empty()) {
    EXPECT_TRUE(instance.loadState(script.state.data(), script.state.size()).loaded);
  }
  Render out;
  std::vector<float> left, right;
  for (const Block& block : script.blocks) {
    if (block.newRate > 0) {
      EXPECT_TRUE(instance.activate(block.newRate, block.newMaxFrames));
    }
    for (const auto& [index, value] : block.params) instance.setParameter(index, value);
    for (const Host::MidiMessage& m : block.midi) instance.events().add(m.deltaFrames, m.status, m.data1, m.data2);
    if (block.reset) instance.reset();
    left.assign((size_t)block.frames, 0.0f);
    right.assign((size_t)block.frames, 0.0f);
    instance.process(left.data(), right.data(), block.frames);
    appendBlock(out, left.data(), right.data(), block.frames);
  }
  return out;
}

Render renderEmbedded(const Script& script) {
  std::unique_ptr<Embed::Instance> instance = makeInstance();
  return instance ? renderEmbedded(script, *instance) : Render();
}

std::string difference(const Render& a, const Render& b) {
  if (a.size() != b.size()) return "lengths " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  for (size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) {
      std::ostringstream text;
      text << "sample " << i << " of " << a.size() << ": " << a[i] << " and " << b[i];
      return text.str();
    }
  return {};
}

std::unique_ptr<Embed::Instance> makeInstance(Embed::Listener* listener) {
  std::unique_ptr<Embed::Instance> instance = Embed::Instance::create("Koralin tests", listener);
  if (!instance) ADD_FAILURE() << "the entry point made no instrument";
  return instance;
}

}  // namespace Rig

// The embedded instance against the VST 2.4 module in our host, driven the same way from instantiation: the same
// samples to the bit, for the demo song at several rates and block sizes and for a host that sends everything badly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

#include "tests/embed/embed_rig.h"

namespace {

TEST(CrossFormat, DemoSongIsTheModulesSoundToTheBit) {
  for (const Rig::DemoConfig& config : Rig::kDemoConfigs) {
    SCOPED_TRACE(testing::Message() << config.rate << " Hz, blocks of " << config.sizes.min << " to "
                                    << config.sizes.max);
    const Rig::Script song = Rig::demoSong(config.rate, config.sizes);
    const Rig::Render module = Rig::renderModule(song);
    EXPECT_GT(Rig::peak(module), 0.05f) << "the song sounds";
    EXPECT_EQ(Rig::difference(module, Rig::renderEmbedded(song)), "");
  }
}

// A host at its worst: events out of order, before the block and after it, more than the list holds, learnt
// controllers, program changes, the pedal, bend and its range, host values, a reset and two reactivations at other
// rates and block sizes, while a second instance plays the demo song on another thread.
Rig::Script carelessHost(const std::vector<uint8_t>& state) {
  Rig::Script script;
  script.maxFrames = 300;
  script.state = state;
  std::minstd_rand random(11);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  int32_t maxFrames = script.maxFrames;
  for (int b = 0; b < 400; ++b) {
    Rig::Block block;
    if (b == 150 || b == 290) {
      block.newRate = b == 150 ? 48000 : 32000;
      block.newMaxFrames = maxFrames = b == 150 ? 128 : 700;
    }
    block.reset = b == 220;
    block.frames = pick(1, maxFrames);
    const int count = b == 100 ? Embed::MidiEventList::kCapacity + 40 : pick(0, 8);
    for (int e = 0; e < count; ++e) {
      const int32_t at = pick(-3, block.frames + 3);
      const uint8_t note = (uint8_t)pick(30, 62);
      switch (pick(0, 9)) {
        case 0: block.midi.push_back({at, 0xC0, (uint8_t)pick(0, 11), 0}); break;
        case 1: block.midi.push_back({at, 0xB0, 74, (uint8_t)pick(0, 127)}); break;  // learnt: cutoff
        case 2: block.midi.push_back({at, 0xB1, 1, (uint8_t)pick(0, 127)}); break;   // learnt: envmod
        case 3: block.midi.push_back({at, 0xB0, 64, (uint8_t)(pick(0, 1) * 127)}); break;
        case 4: block.midi.push_back({at, 0xE0, (uint8_t)pick(0, 127), (uint8_t)pick(0, 127)}); break;
        case 5: block.midi.push_back({at, 0xB0, 6, (uint8_t)pick(0, 24)}); break;  // bend range (RPN 0 is selected)
        case 6:
        case 7: block.midi.push_back({at, 0x90, note, (uint8_t)pick(1, 127)}); break;
        default: block.midi.push_back({at, (uint8_t)(pick(0, 1) ? 0x80 : 0x90), note, 0}); break;
      }
    }
    if (pick(0, 9) == 0) block.params.emplace_back(pick(0, KoralinParams::kCount - 1), pick(0, 1000) / 1000.0f);
    script.blocks.push_back(std::move(block));
  }
  return script;
}

TEST(CrossFormat, CarelessHostAndASecondInstanceOnAnotherThread) {
  // Learnt controllers come with the state: controller 74 moves the cutoff, the mod wheel the envelope amount.
  std::vector<uint8_t> state = Rig::makeInstance()->saveState();
  state.insert(state.end(), {1, kCutoff, 74, 0xB0, 1, kEnvmod, 1, 0xB0});
  const Rig::Script careless = carelessHost(state);
  const Rig::Script song = Rig::demoSong(44100, {1, 512, 5});

  Rig::Render otherRender;
  std::thread other([&] { otherRender = Rig::renderEmbedded(song); });
  std::unique_ptr<Embed::Instance> instance = Rig::makeInstance();
  ASSERT_TRUE(instance);
  const Rig::Render embedded = Rig::renderEmbedded(careless, *instance);
  other.join();

  EXPECT_EQ(instance->events().dropped(), 40) << "a full list drops what comes after its capacity";
  const Rig::Render module = Rig::renderModule(careless);
  EXPECT_GT(Rig::peak(module), 0.05f);
  EXPECT_EQ(Rig::difference(module, embedded), "");
  EXPECT_EQ(Rig::difference(Rig::renderModule(song), otherRender), "") << "the instance on the other thread";
}

TEST(EditorScale, TheBindingsHostScaleSizesTheEditorBeforeItOpensInQuartersFromOneToTwo) {
  std::unique_ptr<Embed::Instance> instance = Rig::makeInstance();
  ASSERT_TRUE(instance && instance->hasEditor());
  // Without a host's scale the desktop's holds, whatever this machine's is; 0 takes the host's back.
  int32_t desktopWidth = 0, desktopHeight = 0, width = 0, height = 0;
  ASSERT_TRUE(instance->editorSize(desktopWidth, desktopHeight));
  const struct {
    double scale;
    int32_t width, height;
  } sizes[] = {{1.5, 840, 165},  {2, 1120, 220},  {0, desktopWidth, desktopHeight},
               {1.75, 980, 192}, {1.3, 700, 137}, {3, 1120, 220},
               {0.5, 560, 110},  {1, 560, 110},   {0, desktopWidth, desktopHeight}};
  for (const auto& size : sizes) {
    EXPECT_TRUE(instance->setEditorScale(size.scale));
    ASSERT_TRUE(instance->editorSize(width, height));
    EXPECT_EQ(width, size.width) << size.scale;
    EXPECT_EQ(height, size.height) << size.scale;
  }
}

}  // namespace

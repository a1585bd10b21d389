// Koralin.lv2 in our lilv host against the VST 2.4 module in our VST host, driven the same way from instantiation:
// the demo song through the atom port and host call sequences (reactivation, blocks of 1 frame to the longest, two
// instances at once) to the bit; each preset against the module's program; the state saved by lilv and restored
// into a second instance; damaged state refused without a change; the ports' units and what they mirror.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <unistd.h>

#include "host/lib/plugin_host.h"
#include "tests/embed/embed_rig.h"
#include "tests/lv2/lilv_host.h"

namespace {

using KoralinParams::normalizedOfStep;
using KoralinParams::plainOf;
using KoralinParams::stepOf;

// The port value a host writes for a normalized value on the steps.
float portValue(int32_t index, float normalized) { return (float)plainOf(index, normalized); }

// A script as an LV2 host plays it, for both: every host value on a step the port can carry exactly, a value set
// only when it differs from the last one (a port that keeps its value is not a change), and every activation after
// the first starting from rest (the module gets all notes off and a reset there, as the layer's reset sends them).
Rig::Script asPortValues(Rig::Script script) {
  float last[KoralinParams::kCount];
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) last[i] = KoralinParams::param(i).defaultNormalized;
  for (Rig::Block& block : script.blocks) {
    std::vector<std::pair<int32_t, float>> kept;
    for (auto [index, value] : block.params) {
      const float onStep = normalizedOfStep(stepOf(index, portValue(index, value)));
      if (portValue(index, onStep) == portValue(index, last[index])) continue;
      last[index] = onStep;
      kept.emplace_back(index, onStep);
    }
    block.params = kept;
    if (block.newRate > 0) block.reset = true;
  }
  return script;
}

uint32_t midiSize(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3; }

// Plays a script through the LV2 instance: host values as port values, MIDI through the atom port in frame order,
// a reactivation as deactivate and activate (LV2 keeps the rate and the longest block).
Rig::Render renderLv2(const Rig::Script& script, Lv2Test::Instance& lv2) {
  Rig::Render out;
  if (!lv2.valid()) return out;
  lv2.activate();
  if (!script.state.empty()) {
    EXPECT_EQ(lv2.restore(&script.state), LV2_STATE_SUCCESS);
    lv2.run(0);  // the ports as they stand when a state was restored count as seen
  }
  for (const Rig::Block& block : script.blocks) {
    if (block.newRate > 0) {
      EXPECT_EQ(block.newRate, script.rate) << "an LV2 instance keeps its rate";
      lv2.deactivate();
      lv2.activate();
    }
    for (const auto& [index, value] : block.params) lv2.param(index) = portValue(index, value);
    std::vector<Host::MidiMessage> midi = block.midi;
    std::stable_sort(midi.begin(), midi.end(), [](auto& a, auto& b) { return a.deltaFrames < b.deltaFrames; });
    for (const Host::MidiMessage& m : midi) {
      const uint8_t bytes[3] = {m.status, m.data1, m.data2};
      lv2.midi(m.deltaFrames, bytes, midiSize(m.status));
    }
    lv2.run((uint32_t)block.frames);
    out.insert(out.end(), lv2.left().begin(), lv2.left().begin() + block.frames);
    out.insert(out.end(), lv2.right().begin(), lv2.right().begin() + block.frames);
  }
  return out;
}

TEST(Lv2Host, DemoSongThroughTheAtomPortIsTheModulesSoundToTheBit) {
  for (const Rig::DemoConfig& config : Rig::kDemoConfigs) {
    SCOPED_TRACE(testing::Message() << config.rate << " Hz, blocks of " << config.sizes.min << " to "
                                    << config.sizes.max);
    const Rig::Script song = asPortValues(Rig::demoSong(config.rate, config.sizes));
    const Rig::Render module = Rig::renderModule(song);
    Lv2Test::Instance lv2(config.rate, config.sizes.max);
    const Rig::Render render = renderLv2(song, lv2);
    EXPECT_GT(Rig::peak(module), 0.05f) << "the song sounds";
    EXPECT_EQ(Rig::difference(module, render), "");
    std::printf("demo song at %.0f Hz: %zu samples, the same bits (peak %.4f)\n", config.rate, render.size(),
                (double)Rig::peak(render));
  }
}

// What hosts do between blocks: blocks of one frame, of the longest length and everything between, notes that
// slide, learnt controllers, program changes, bend, the pedal, host values, and two reactivations.
Rig::Script hostSequences(int32_t maxFrames, uint32_t seed) {
  Rig::Script script;
  script.maxFrames = maxFrames;
  script.state = Rig::makeInstance()->saveState();
  script.state.insert(script.state.end(), {1, kCutoff, 74, 0xB0, 1, kEnvmod, 1, 0xB0});  // learnt controllers
  std::minstd_rand random(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int b = 0; b < 300; ++b) {
    Rig::Block block;
    if (b == 100 || b == 210) {
      block.newRate = script.rate;
      block.newMaxFrames = maxFrames;
    }
    block.frames = b % 7 == 0 ? 1 : b % 7 == 1 ? maxFrames : pick(1, maxFrames);
    for (int e = pick(0, 6); e > 0; --e) {
      const int32_t at = pick(0, block.frames - 1);
      const uint8_t note = (uint8_t)pick(30, 62);
      switch (pick(0, 9)) {
        case 0: block.midi.push_back({at, 0xC0, (uint8_t)pick(0, 11), 0}); break;
        case 1: block.midi.push_back({at, 0xB0, 74, (uint8_t)pick(0, 127)}); break;
        case 2: block.midi.push_back({at, 0xB3, 1, (uint8_t)pick(0, 127)}); break;
        case 3: block.midi.push_back({at, 0xB0, 64, (uint8_t)(pick(0, 1) * 127)}); break;
        case 4: block.midi.push_back({at, 0xE0, (uint8_t)pick(0, 127), (uint8_t)pick(0, 127)}); break;
        case 5:
        case 6: block.midi.push_back({at, 0x90, note, (uint8_t)pick(1, 127)}); break;
        default: block.midi.push_back({at, 0x80, note, 0}); break;
      }
    }
    if (pick(0, 5) == 0) block.params.emplace_back(pick(0, KoralinParams::kCount - 1), pick(0, 1000) / 1000.0f);
    script.blocks.push_back(std::move(block));
  }
  return asPortValues(script);
}

// The same script with every block cut into pieces of at most frames, each with its own events: what the module
// gets from a host whose longest block is that.
Rig::Script cutInto(const Rig::Script& script, int32_t frames) {
  Rig::Script cut = script;
  cut.blocks.clear();
  for (const Rig::Block& block : script.blocks) {
    for (int32_t start = 0; start < block.frames; start += frames) {
      Rig::Block piece;
      piece.frames = std::min(frames, block.frames - start);
      if (start == 0) {
        piece.params = block.params;
        piece.newRate = block.newRate;
        piece.newMaxFrames = frames;
        piece.reset = block.reset;
      }
      for (Host::MidiMessage m : block.midi)
        if (m.deltaFrames >= start && m.deltaFrames < start + piece.frames) {
          m.deltaFrames -= start;
          piece.midi.push_back(m);
        }
      cut.blocks.push_back(piece);
    }
  }
  cut.maxFrames = frames;
  return cut;
}

// A render's left channel and then its right, each in frame order whatever the blocks were.
Rig::Render framesInOrder(const Rig::Render& render, const Rig::Script& script) {
  Rig::Render left, right;
  size_t at = 0;
  for (const Rig::Block& block : script.blocks) {
    if (at + 2 * (size_t)block.frames > render.size()) return render;
    left.insert(left.end(), render.begin() + (long)at, render.begin() + (long)at + block.frames);
    right.insert(right.end(), render.begin() + (long)at + block.frames, render.begin() + (long)at + 2 * block.frames);
    at += 2 * (size_t)block.frames;
  }
  left.insert(left.end(), right.begin(), right.end());
  return left;
}

TEST(Lv2Host, HostCallSequencesAndTwoInstancesSoundAsTheModuleDrivenTheSameWay) {
  const Rig::Script first = hostSequences(512, 3), second = hostSequences(96, 8);
  Rig::Render secondRender;
  std::thread other([&] {
    Lv2Test::Instance lv2(44100, 96);
    secondRender = renderLv2(second, lv2);
  });
  Lv2Test::Instance lv2(44100, 512);
  const Rig::Render firstRender = renderLv2(first, lv2);
  other.join();
  const Rig::Render module = Rig::renderModule(first);
  EXPECT_GT(Rig::peak(module), 0.05f);
  EXPECT_EQ(Rig::difference(module, firstRender), "");
  EXPECT_EQ(Rig::difference(Rig::renderModule(second), secondRender), "") << "the instance on the other thread";

  // A host that runs longer blocks than it said: the plug-in cuts them at its longest, as the module's host would.
  Lv2Test::Instance narrow(44100, 64);
  Rig::Script wide = first;
  wide.maxFrames = 512;
  EXPECT_EQ(Rig::difference(framesInOrder(Rig::renderModule(cutInto(first, 64)), cutInto(first, 64)),
                            framesInOrder(renderLv2(wide, narrow), wide)),
            "");
}

// The factory program of that name as the module holds it: each value's step.
std::vector<uint32_t> moduleProgram(Host::PluginHost& module, const std::string& name) {
  for (int32_t p = 0; p < module.effect()->numPrograms; ++p) {
    if (module.text(effGetProgramNameIndexed, p) != name) continue;
    module.dispatch(effSetProgram, 0, p);
    std::vector<uint32_t> steps;
    for (int32_t i = 0; i < KoralinParams::kCount; ++i)
      steps.push_back((uint32_t)std::lround(module.getParameter(i) * 64000.0));
    return steps;
  }
  return {};
}

void setPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t type) {
  auto* lv2 = static_cast<Lv2Test::Instance*>(user);
  const uint32_t port = lv2->portIndex(symbol);
  ASSERT_NE(port, UINT32_MAX) << symbol;
  ASSERT_EQ(size, sizeof(float));
  ASSERT_EQ(type, Lv2Test::Urids::get().map(LV2_ATOM__Float));
  lv2->control(port) = *static_cast<const float*>(value);
}

TEST(Lv2Host, EveryPresetGivesTheModulesFactoryProgram) {
  Lv2Test::World& world = Lv2Test::World::get();
  ASSERT_EQ(world.presets.size(), 8u);
  Host::PluginHost module(KORALIN_MODULE);
  module.start(44100.0f, 256);
  std::vector<std::string> labels;
  for (const LilvNode* preset : world.presets) {
    const std::string label = world.presetLabel(preset);
    SCOPED_TRACE(label);
    labels.push_back(label);
    const std::vector<uint32_t> expected = moduleProgram(module, label);
    ASSERT_EQ(expected.size(), (size_t)KoralinParams::kCount) << "the module has no program of that name";
    LilvState* state = lilv_state_new_from_world(world.world, Lv2Test::Urids::get().mapFeature(), preset);
    ASSERT_TRUE(state);
    EXPECT_EQ(label, lilv_state_get_label(state));
    Lv2Test::Instance lv2(44100, 256);
    lv2.activate();
    lv2.midi(0, {0xB0, 74, 127});  // nothing learnt: a controller changes no value
    lv2.run(16);
    lilv_state_restore(state, lv2.lilv(), setPortValue, &lv2, 0, lv2.features());
    lv2.run(16);
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
      EXPECT_EQ(stepOf(i, lv2.now(i)), expected[(size_t)i]) << KoralinParams::param(i).name;
      if (KoralinParams::param(i).unit != KoralinParams::Unit::Choice) {
        EXPECT_EQ(lv2.now(i), lv2.param(i)) << "the output shows what the preset set";
      }
    }
    lilv_state_free(state);
  }
  std::sort(labels.begin(), labels.end());
  EXPECT_EQ(std::unique(labels.begin(), labels.end()), labels.end()) << "eight presets, eight names";
}

const void* portValueOf(const char* symbol, void* user, uint32_t* size, uint32_t* type) {
  auto* lv2 = static_cast<Lv2Test::Instance*>(user);
  const uint32_t port = lv2->portIndex(symbol);
  if (port == UINT32_MAX || port < KoralinLv2::Port::kFirstParam || port >= KoralinLv2::Port::kFirstNow) return nullptr;
  *size = sizeof(float);
  *type = Lv2Test::Urids::get().map(LV2_ATOM__Float);
  return &lv2->control(port);
}

TEST(Lv2Host, StateSavedByLilvRestoresIntoASecondInstance) {
  Lv2Test::World& world = Lv2Test::World::get();
  Lv2Test::Urids& urids = Lv2Test::Urids::get();
  Lv2Test::Instance a(48000, 256);
  std::vector<uint8_t> learnt = a.savedChunk();
  learnt.insert(learnt.end(), {1, kReso, 71, 0xB0});  // controller 71 moves the resonance
  ASSERT_EQ(a.restore(&learnt), LV2_STATE_SUCCESS);
  a.activate();
  a.run(16);  // the ports as they stand when a state was restored count as seen
  a.param(kTune) = 7.0f;
  a.param(kDecay) = 12.5f;
  a.midi(0, {0xC0, 4});         // a program change: every value the program's
  a.midi(10, {0xB0, 71, 100});  // then the learnt resonance
  a.midi(20, {0x90, 40, 110});
  a.midi(60, {0x80, 40, 0});
  a.run(64);
  const float reso = a.now(kReso);
  EXPECT_NE(reso, a.param(kReso)) << "the learnt controller moved the resonance, not its port";
  const std::vector<uint8_t> chunk = a.savedChunk();

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("koralin-lv2-state-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  LilvState* saved =
      lilv_state_new_from_instance(world.plugin, a.lilv(), urids.mapFeature(), nullptr, nullptr, nullptr, dir.c_str(),
                                   portValueOf, &a, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, a.features());
  ASSERT_TRUE(saved);
  ASSERT_EQ(
      lilv_state_save(world.world, urids.mapFeature(), urids.unmapFeature(), saved, nullptr, dir.c_str(), "state.ttl"),
      0);
  lilv_state_free(saved);
  const std::string file = (dir / "state.ttl").string();
  LilvState* loaded = lilv_state_new_from_file(world.world, urids.mapFeature(), nullptr, file.c_str());
  ASSERT_TRUE(loaded) << "lilv reads back " << file;

  Lv2Test::Instance b(48000, 256);
  b.activate();
  b.run(32);
  lilv_state_restore(loaded, b.lilv(), setPortValue, &b, 0, b.features());
  lilv_state_free(loaded);
  std::filesystem::remove_all(dir);
  b.run(32);
  EXPECT_EQ(b.savedChunk(), chunk) << "the second instance saves the same bytes";
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
    EXPECT_EQ(b.param(i), a.param(i)) << "lilv gave back port " << KoralinParams::param(i).name;
    EXPECT_EQ(b.now(i), a.now(i)) << "the state, not the ports beside it: " << KoralinParams::param(i).name;
  }
  b.param(kReso) = 10.0f;  // the host changes the port after the state: that reaches the instrument
  b.run(1);
  EXPECT_EQ(b.now(kReso), 10.0f);
}

TEST(Lv2Host, DamagedForeignOrMissingStateChangesNothing) {
  Lv2Test::Instance lv2(44100, 128);
  lv2.activate();
  lv2.midi(0, {0xC0, 2});
  lv2.param(kCutoff) = 33.0f;
  lv2.run(8);
  const std::vector<uint8_t> state = lv2.savedChunk();
  ASSERT_GT(state.size(), 100u);
  std::vector<float> shown;
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) shown.push_back(lv2.now(i));

  auto expectUnchanged = [&](LV2_State_Status status, const char* what) {
    EXPECT_NE(status, LV2_STATE_SUCCESS) << what;
    EXPECT_EQ(lv2.savedChunk(), state) << what;
    lv2.run(8);
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) EXPECT_EQ(lv2.now(i), shown[(size_t)i]) << what;
  };
  expectUnchanged(lv2.restore(nullptr), "no state property");
  EXPECT_EQ(lv2.restore(nullptr), LV2_STATE_ERR_NO_PROPERTY);
  EXPECT_EQ(lv2.restore(&state, Lv2Test::Urids::get().map(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE);
  std::vector<uint8_t> other = state;
  other[9] = 'X';  // another product's name
  expectUnchanged(lv2.restore(&other), "another product's state");
  std::vector<uint8_t> later = state;
  later[4] = 6;  // a later version
  expectUnchanged(lv2.restore(&later), "a later version");
  // Cut anywhere with a byte of no known tag behind, or with a byte changed: a refusal changes nothing; what is
  // still a sound state (a cut between two records, the byte taken into a record) loads, and the next round
  // starts from the whole state again.
  std::minstd_rand random(21);
  int refused = 0;
  for (int round = 0; round < 400 && !testing::Test::HasFailure(); ++round) {
    std::vector<uint8_t> bad(state.begin(), state.begin() + (long)(random() % state.size()));
    if (round % 2) bad.push_back((uint8_t)(5 + random() % 250));
    else if (!bad.empty()) bad[random() % bad.size()] ^= (uint8_t)(1 + random() % 255);
    const LV2_State_Status status = lv2.restore(&bad);
    if (status == LV2_STATE_SUCCESS) {
      ASSERT_EQ(lv2.restore(&state), LV2_STATE_SUCCESS);
      lv2.run(8);
      continue;
    }
    ++refused;
    expectUnchanged(status, "a cut or damaged state");
  }
  EXPECT_GT(refused, 200) << "most of them are refused";
}

TEST(Lv2Host, PortsCarryTheEditorsUnitsAndMirrorWhatTheInstrumentChangedItself) {
  Lv2Test::Instance lv2(44100, 64);
  lv2.activate();
  // Every step of every parameter through the port and back: the same number, and the instrument on that step.
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) {
    const bool choice = KoralinParams::param(i).unit == KoralinParams::Unit::Choice;
    for (uint32_t n = 0; n <= KoralinParams::kSteps; n += choice ? KoralinParams::kSteps : 1) {
      lv2.param(i) = portValue(i, normalizedOfStep(n));
      lv2.run(0);
      if (lv2.now(i) != lv2.param(i) || stepOf(i, lv2.now(i)) != n) {
        ADD_FAILURE() << KoralinParams::param(i).name << " step " << n << ": port " << lv2.param(i) << " shows "
                      << lv2.now(i);
        break;
      }
    }
  }
  // What the instrument changes itself shows on the outputs and stays: a learnt controller, a program change.
  std::vector<uint8_t> learnt = lv2.savedChunk();
  learnt.insert(learnt.end(), {1, kCutoff, 74, 0xB0});
  ASSERT_EQ(lv2.restore(&learnt), LV2_STATE_SUCCESS);
  lv2.run(4);  // the ports as they stand when a state was restored count as seen
  lv2.param(kCutoff) = 20.0f;
  lv2.run(4);
  EXPECT_EQ(lv2.now(kCutoff), 20.0f);
  lv2.midi(1, {0xB0, 74, 127});
  lv2.otherAtom(2, Lv2Test::Urids::get().map(LV2_ATOM__Int), 4);  // not MIDI: passed by
  lv2.run(4);
  EXPECT_EQ(lv2.now(kCutoff), 100.0f);
  EXPECT_EQ(lv2.param(kCutoff), 20.0f);
  lv2.run(4);
  EXPECT_EQ(lv2.now(kCutoff), 100.0f) << "an unchanged port does not take the value back";
  lv2.param(kCutoff) = 20.5f;
  lv2.run(4);
  EXPECT_EQ(lv2.now(kCutoff), 20.5f) << "a changed port does";
  Host::PluginHost module(KORALIN_MODULE);
  module.start(44100.0f, 64);
  const std::vector<uint32_t> hardAcid = moduleProgram(module, module.text(effGetProgramNameIndexed, 6));
  lv2.midi(0, {0xC6, 6});  // program 7 on another channel
  lv2.run(4);
  for (int32_t i = 0; i < KoralinParams::kCount; ++i) EXPECT_EQ(stepOf(i, lv2.now(i)), hardAcid[(size_t)i]) << i;
}

}  // namespace

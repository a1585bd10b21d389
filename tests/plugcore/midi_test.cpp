// MIDI input: notes and the sustain pedal, pitch bend and its range, program changes, fixed controllers, learn.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "recording_host.h"

namespace {

constexpr int32_t key(int controller) { return PlugCore::controllerKeyFor(controller); }

class Midi : public ::testing::Test {
 protected:
  void SetUp() override { Fake::start(plug, 64); }
  void TearDown() override { plug.suspend(); }
  void send(std::initializer_list<std::array<int, 3>> messages) {
    Fake::EventList events;
    for (const auto& m : messages) events.add(0, (uint8_t)m[0], (uint8_t)m[1], (uint8_t)m[2]);
    Fake::run(plug, 16, events.get());
  }
  std::string log() {
    std::string s;
    for (const Fake::NoteCall& n : plug.notes) s += n.kind + std::to_string(n.a) + "/" + std::to_string((int)n.b) + " ";
    plug.notes.clear();
    return s;
  }
  Fake::TestPlug plug;
};

TEST_F(Midi, NotesOnEveryChannelAndVelocityZeroReleases) {
  send({{0x90, 60, 90}, {0x85, 60, 33}, {0x9F, 61, 127}, {0x93, 61, 0}});
  EXPECT_EQ(log(), "n60/90 f60/33 n61/127 f61/100 ");
}

TEST_F(Midi, SustainDefersReleasesUntilThePedalLifts) {
  send({{0xB0, 64, 127}, {0x90, 60, 90}, {0x80, 60, 40}, {0x90, 62, 90}, {0x90, 62, 0}});
  EXPECT_EQ(log(), "n60/90 n62/90 ");
  send({{0xB0, 64, 63}});
  EXPECT_EQ(log(), "f60/40 f62/100 ");
  send({{0xB0, 64, 0}});  // nothing pending any more
  EXPECT_EQ(log(), "");
  // A note played again while held by the pedal is no longer pending.
  send({{0xB0, 64, 64}, {0x90, 50, 90}, {0x80, 50, 10}, {0x90, 50, 80}, {0xB0, 64, 0}});
  EXPECT_EQ(log(), "n50/90 n50/80 ");
}

TEST_F(Midi, PitchBendUsesTheRpn0Range) {
  send({{0xE0, 0x7F, 0x7F}});
  EXPECT_DOUBLE_EQ(plug.bendSemitones(), 2.0);
  send({{0xE0, 0, 0}});
  EXPECT_DOUBLE_EQ(plug.bendSemitones(), -2.0);
  // Data entry 12 with RPN 0 selected: +-12 semitones; with 50 cents on the LSB: 12.5.
  send({{0xB0, 101, 0}, {0xB0, 100, 0}, {0xB0, 6, 12}, {0xE0, 0x7F, 0x7F}});
  EXPECT_DOUBLE_EQ(plug.bendSemitones(), 12.0);
  send({{0xB0, 38, 50}, {0xE0, 0x7F, 0x7F}});
  EXPECT_DOUBLE_EQ(plug.bendSemitones(), 12.5);
  // RPN 1 selected: data entry changes nothing.
  send({{0xB0, 100, 1}, {0xB0, 6, 3}, {0xB0, 38, 0}, {0xE0, 0x7F, 0x7F}});
  EXPECT_DOUBLE_EQ(plug.bendSemitones(), 12.5);
  EXPECT_EQ(plug.bendRangePacked(), (12 << 7) | 50);
  send({{0xE0, 0, 64}});  // centre
  EXPECT_NEAR(plug.bendSemitones(), 0.0, 1e-3);
}

TEST_F(Midi, ProgramChangeWrapsAndTellsTheHostFromItsOwnSide) {
  int before = Fake::hostLog().updateDisplay;
  send({{0xC0, 10, 0}, {0xC0, 3, 0}});
  EXPECT_EQ(plug.currentProgram(), 3);
  // Never from inside processing, nor at the next event list: at the next call from the host's own side, once.
  EXPECT_EQ(Fake::hostLog().updateDisplay, before);
  AEffect* e = plug.getAeffect();
  Fake::EventList none;
  e->dispatcher(e, effProcessEvents, 0, 0, none.get(), 0);
  EXPECT_EQ(Fake::hostLog().updateDisplay, before);
  e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0);
  e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0);
  EXPECT_EQ(Fake::hostLog().updateDisplay, before + 1);
}

TEST_F(Midi, FixedControllersKeepTheirMeaning) {
  int resets = plug.resets;
  send({{0xB0, 120, 0}});
  EXPECT_EQ(plug.resets, resets + 1);
  send({{0xB0, 64, 127}, {0x80, 5, 1}, {0xB0, 123, 0}});
  std::string all = log();
  EXPECT_EQ(std::count(all.begin(), all.end(), 'f'), 128);
  send({{0xB0, 64, 0}});  // the pedal was cleared with its pending release
  EXPECT_EQ(log(), "");
  // Routed controllers become control changes as a fraction of 127.
  send({{0xB0, 74, 127}, {0xB1, 1, 0}});
  ASSERT_EQ(plug.notes.size(), 2u);
  EXPECT_EQ(plug.notes[0].a, key(0x4A));
  EXPECT_EQ(plug.notes[0].b, 1.0f);
  EXPECT_EQ(plug.notes[1].a, key(0x01));
  log();
  // Ignored controllers do nothing at all.
  // clang-format off
  send({{0xB0, 0, 5}, {0xB0, 32, 5}, {0xB0, 63, 5}, {0xB0, 96, 5}, {0xB0, 99, 5}, {0xB0, 121, 5}, {0xB0, 122, 5},
        {0xA0, 60, 5}, {0xD0, 5, 0}, {0xF0, 1, 2}});
  // clang-format on
  EXPECT_EQ(log(), "");
}

TEST_F(Midi, LearnBindsTheNextControllerAndMovesTheParameterAtOnce) {
  plug.startLearn(3);
  EXPECT_TRUE(plug.isLearning(3));
  // Controllers with fixed meanings or ignored ones never complete a learn.
  // clang-format off
  send({{0xB0, 0, 1}, {0xB0, 32, 1}, {0xB0, 99, 1}, {0xB0, 121, 1}, {0xB0, 6, 1}, {0xB0, 64, 1}, {0xB0, 120, 0},
        {0xB0, 123, 0}});
  // clang-format on
  EXPECT_TRUE(plug.isLearning(3));
  log();
  plug.renders.clear();
  Fake::EventList events;
  events.add(8, 0xB0, 74, 127);
  Fake::run(plug, 16, events.get());
  EXPECT_FALSE(plug.isLearning(3));
  EXPECT_EQ(plug.controllerOf(3), key(0x4A));
  EXPECT_EQ(plug.getParameter(3), 1.0f);
  // The controller moved a parameter: the next sub-block cooks it.
  ASSERT_EQ(plug.renders.size(), 2u);
  EXPECT_TRUE(plug.renders[1].changed);
  EXPECT_TRUE(plug.renders[1].changedFlags[3]);
  EXPECT_TRUE(plug.notes.empty());  // nothing routed to the engine

  send({{0xB0, 74, 0}});
  EXPECT_EQ(plug.getParameter(3), 0.0f);
  // Binding the same controller elsewhere removes it here.
  plug.startLearn(1);
  send({{0xB0, 74, 127}});
  EXPECT_EQ(plug.controllerOf(3), -1);
  EXPECT_EQ(plug.controllerOf(1), key(0x4A));
  plug.forgetLearn(1);
  EXPECT_EQ(plug.controllerOf(1), -1);
  EXPECT_EQ(plug.controllerOf(99), -1);
  plug.startLearn(2);
  plug.cancelLearn();
  EXPECT_FALSE(plug.isLearning(2));
  plug.startLearn(42);  // no such parameter
  EXPECT_FALSE(plug.isLearning(42));
}

TEST_F(Midi, CentredParametersTakeTheMiddleAt63And64) {
  plug.params()[2].flags = PlugCore::kParamCentered;
  plug.bind(key(0x10), 2);
  for (int m : {63, 64}) {
    send({{0xB0, 16, (uint8_t)m}});
    EXPECT_EQ(plug.getParameter(2), 0.5f) << m;
  }
  send({{0xB0, 16, 127}});
  EXPECT_EQ(plug.getParameter(2), 1.0f);
  send({{0xB0, 16, 0}});
  EXPECT_EQ(plug.getParameter(2), 0.0f);
  plug.bind(key(0x11), 1);  // not centred: 64/127
  send({{0xB0, 17, 64}});
  EXPECT_EQ(plug.getParameter(1), (float)(uint32_t)(64.0f * (1.0f / 127.0f) * 64001.0) / 64000.0f);
}

}  // namespace

// Koralin's voice: last-note priority, slide from legato, accent from velocity, retrigger at sub-block edges.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "instrument/koralin.h"

namespace {

intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

class Voice : public ::testing::Test {
 protected:
  void SetUp() override {
    k.setSampleRate(44100.0f);
    k.setBlockSize(64);
    k.resume();
  }
  void TearDown() override { k.suspend(); }
  // One processing call with the given messages all at sample 8.
  void play(std::initializer_list<std::array<int, 3>> messages) {
    std::vector<VstMidiEvent> events;
    for (const auto& m : messages) {
      VstMidiEvent e{};
      e.type = kVstMidiType;
      e.byteSize = sizeof(e);
      e.deltaFrames = 8;
      e.midiData[0] = (char)m[0];
      e.midiData[1] = (char)m[1];
      e.midiData[2] = (char)m[2];
      events.push_back(e);
    }
    std::vector<unsigned char> block(sizeof(VstEvents) + sizeof(void*) * events.size());
    auto* list = reinterpret_cast<VstEvents*>(block.data());
    list->numEvents = (int32_t)events.size();
    for (size_t i = 0; i < events.size(); ++i) list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
    double l[64], r[64];
    double* outputs[2] = {l, r};
    k.processEvents(list);
    k.processDoubleReplacing(nullptr, outputs, 64);
  }
  Koralin k{host};
};

TEST_F(Voice, LegatoNoteSlidesAndKeepsItsOwnAccent) {
  k.noteOn(60, 90);
  EXPECT_TRUE(k.gate());
  EXPECT_TRUE(k.retrigger());
  EXPECT_FALSE(k.slide());
  EXPECT_FALSE(k.accent());
  play({});  // the sub-block consumes the retrigger
  EXPECT_FALSE(k.retrigger());
  k.noteOn(64, 120);
  EXPECT_TRUE(k.slide());
  EXPECT_TRUE(k.accent());
  EXPECT_FALSE(k.retrigger());
  k.noteOff(60, 0);  // not the current note
  EXPECT_TRUE(k.gate());
  k.noteOff(64, 0);
  EXPECT_FALSE(k.gate());
  k.noteOn(62, 100);  // velocity 100 is not accented; the gate was off: no slide
  EXPECT_FALSE(k.accent());
  EXPECT_FALSE(k.slide());
  EXPECT_TRUE(k.retrigger());
  k.noteOn(63, 101);
  EXPECT_TRUE(k.accent());
  EXPECT_EQ(k.currentNote(), 63);
}

TEST_F(Voice, OlderHeldKeysDoNotTakeTheVoiceBack) {
  play({{0x90, 60, 90}, {0x90, 64, 90}, {0x80, 64, 0}});
  EXPECT_FALSE(k.gate());  // 60 is still held, but there is no note memory
  EXPECT_EQ(k.currentNote(), 64);
}

TEST_F(Voice, NoteOnAndOffAtOneSamplePositionSoundNothing) {
  play({{0x90, 60, 90}, {0x80, 60, 0}});
  EXPECT_FALSE(k.gate());
  EXPECT_FALSE(k.retrigger());  // cleared by the next sub-block all the same
  // On, off and a new note at one position: the new note starts fresh.
  play({{0x90, 60, 90}, {0x80, 60, 0}, {0x90, 62, 90}});
  EXPECT_TRUE(k.gate());
  EXPECT_FALSE(k.slide());
  EXPECT_EQ(k.currentNote(), 62);
}

TEST_F(Voice, NoteNumbersCompareAsBytes) {
  k.noteOn(60 + 256, 90);
  EXPECT_EQ(k.currentNote(), 60);
  k.noteOff(60, 0);
  EXPECT_FALSE(k.gate());
  k.noteOn(61, 200);  // 200 as a signed byte is negative: no accent
  EXPECT_FALSE(k.accent());
}

}  // namespace

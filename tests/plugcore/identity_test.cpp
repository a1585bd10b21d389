// What a host learns from the dispatcher: names, capabilities, pins, flags and the factory's choices.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/system.h"
#include "plugcore/factory.h"
#include "plugcore/null_plug.h"
#include "recording_host.h"

namespace {

intptr_t dispatch(PlugCore::Plug& plug, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                  float opt = 0) {
  AEffect* e = plug.getAeffect();
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

std::string text(PlugCore::Plug& plug, int32_t opcode, int32_t index = 0) {
  char buffer[128];
  std::memset(buffer, 'x', sizeof(buffer));
  dispatch(plug, opcode, index, 0, buffer);
  buffer[127] = 0;
  return buffer;
}

int32_t canDo(PlugCore::Plug& plug, const char* what) {
  return (int32_t)dispatch(plug, effCanDo, 0, 0, const_cast<char*>(what));
}

TEST(Identity, NamesVersionsAndCapabilities) {
  Fake::TestPlug plug;
  EXPECT_EQ(text(plug, effGetEffectName), "TestPlug");
  EXPECT_EQ(text(plug, effGetVendorString), "Quillmarsh");
  EXPECT_EQ(text(plug, effGetProductString), "Quillmarsh TestPlug");
  EXPECT_EQ(dispatch(plug, effGetVendorVersion), 0);
  EXPECT_EQ(dispatch(plug, effGetVstVersion), 2400);
  EXPECT_EQ(dispatch(plug, effCanBeAutomated, 3), 1);
  EXPECT_EQ(dispatch(plug, effGetCurrentMidiProgram), -1);

  EXPECT_EQ(canDo(plug, "receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo(plug, "receiveVstEvents"), 1);
  EXPECT_EQ(canDo(plug, "receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo(plug, "receiveVstEvents "), 0);  // compared byte for byte
  EXPECT_EQ(canDo(plug, "ReceiveVstEvents"), 0);
  EXPECT_EQ(canDo(plug, "sendVstEvents"), 0);
  EXPECT_EQ(canDo(plug, ""), 0);

  void* in = reinterpret_cast<void*>(1);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(dispatch(plug, effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(out, nullptr);
}

TEST(Identity, DescriptorFlagsCountsAndNameHash) {
  Fake::TestPlug plug(1, 8, 4);
  AEffect* e = plug.getAeffect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanDoubleReplacing);
  EXPECT_EQ(e->numPrograms, 8);
  EXPECT_EQ(e->numParams, 4);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  uint32_t h = 5381;
  for (const char* p = "TestPlug"; *p; ++p) h = h * 33 + (unsigned char)*p;
  EXPECT_EQ((uint32_t)e->uniqueID, h);
  EXPECT_EQ(dispatch(plug, effGetPlugCategory), kPlugCategUnknown);
}

TEST(Identity, PinPropertiesFollowThePairs) {
  Fake::TestPlug plug(1);
  VstPinProperties pin{};
  ASSERT_EQ(dispatch(plug, effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Main L");
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  ASSERT_EQ(dispatch(plug, effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Main R");
  EXPECT_EQ(dispatch(plug, effGetInputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(dispatch(plug, effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(dispatch(plug, effGetOutputProperties, -1, 0, &pin), 0);

  Fake::TestPlug instrument(0);
  EXPECT_EQ(instrument.getAeffect()->numInputs, 0);
  EXPECT_EQ(dispatch(instrument, effGetInputProperties, 0, 0, &pin), 0);
}

TEST(Identity, VendorSpecificAnswersOnlyTheWheelCall) {
  Fake::TestPlug plug;
  EXPECT_EQ(dispatch(plug, effVendorSpecific, 0x73744341, 0x57686565, nullptr, 1.0f), 1);
  EXPECT_EQ(dispatch(plug, effVendorSpecific, 0x73744341, 0, nullptr, 1.0f), 0);
  EXPECT_EQ(dispatch(plug, effVendorSpecific, 0, 0x57686565, nullptr, 1.0f), 0);
}

TEST(Factory, HostVersionZeroOrMissingHostMakesNothing) {
  Fake::hostLog().version = 0;
  EXPECT_EQ(PlugCore::pluginEntry(Fake::recordingHost), nullptr);
  Fake::hostLog().version = 2400;
  EXPECT_EQ(PlugCore::pluginEntry(nullptr), nullptr);
}

TEST(Factory, WithoutSse2TheUserIsToldAndGetsTheSilentStandBy) {
  Fake::BoxRecorder boxes;
  Platform::forceNoSse2(true);
  PlugCore::Plug* plug = PlugCore::createPlug(Fake::recordingHost);
  Platform::forceNoSse2(false);
  ASSERT_NE(plug, nullptr);
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].kind, Platform::BoxKind::Error);
  EXPECT_EQ(boxes.boxes()[0].caption, "Error");
  EXPECT_EQ(boxes.boxes()[0].text,
            "This plugin requires SSE2, which your CPU doesn't support.\n"
            "Unfortunately you will need a more recent system. Sorry.");
  AEffect* e = plug->getAeffect();
  EXPECT_EQ(e->numPrograms, 1);
  EXPECT_EQ(e->numParams, 1);
  EXPECT_EQ(e->flags & (effFlagsIsSynth | effFlagsHasEditor), 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(plug) % 16, 0u);

  // Its output is silence whatever the host's buffers held.
  Fake::start(*plug, 32);
  std::vector<double> out = Fake::run(*plug, 32);
  for (double x : out) EXPECT_EQ(x, 0.0);
  char display[16] = "junk";
  e->dispatcher(e, effGetParamDisplay, 0, 0, display, 0);
  EXPECT_STREQ(display, "");
  e->dispatcher(e, effClose, 0, 0, nullptr, 0);  // deletes the object
}

}  // namespace

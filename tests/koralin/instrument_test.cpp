// Koralin's declarations: parameters, display texts, defaults, lifecycle before and after prepare.
#include <gtest/gtest.h>

#include <cstring>

#include "instrument/koralin.h"

namespace {

intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

std::string display(Koralin& k, int32_t index, float value) {
  char text[32];
  std::memset(text, 0, sizeof(text));
  k.formatParam(index, text, value);
  return text;
}

TEST(Instrument, ParameterTableAndDefaults) {
  Koralin k(host);
  const char* names[] = {"wave", "tune", "cutoff", "reso", "decay", "envmod", "accent"};
  const char* labels[] = {"", "", "%", "%", "%", "%", "%"};
  ASSERT_EQ(k.paramCount(), 7);
  for (int32_t i = 0; i < 7; ++i) {
    EXPECT_STREQ(k.param(i).name, names[i]);
    EXPECT_STREQ(k.param(i).label, labels[i]);
    EXPECT_EQ(k.param(i).defaultValue, 0.5f);
    EXPECT_EQ(k.param(i).value, 0.5f);
    EXPECT_EQ(k.param(i).flags, i == kTune ? PlugCore::kParamCentered : 0);  // a controller at 64 gives 0.5
    EXPECT_EQ(k.param(i).controllerKey, -1);
  }
  for (int32_t p = 0; p < 8; ++p) {
    EXPECT_EQ(k.program(p).name, "Init " + std::to_string(p + 1));
    EXPECT_EQ(k.program(p).snapshot(), std::vector<float>(7, 0.5f));
  }
  const Lattice::EditorDesc& desc = k.editorDesc();
  EXPECT_EQ(desc.width, 560);
  EXPECT_EQ(desc.height, 110);
  EXPECT_EQ(desc.visualDataSize, 0);
  EXPECT_EQ(desc.paramCount, 7);
  EXPECT_EQ(desc.labelColour, 0x007D8D94u);
  EXPECT_STREQ(desc.backgroundName, "background");
}

TEST(Instrument, DisplayTexts) {
  Koralin k(host);
  EXPECT_EQ(display(k, kWave, 0.5f), "saw");
  EXPECT_EQ(display(k, kWave, 0.5001f), "square");
  EXPECT_EQ(display(k, kWave, 0.0f), "saw");
  EXPECT_EQ(display(k, kTune, 0.0f), "-12.00");
  EXPECT_EQ(display(k, kTune, 0.5f), "+0.00");
  EXPECT_EQ(display(k, kTune, 1.0f), "+12.00");
  EXPECT_EQ(display(k, kCutoff, 0.555f), "56");
  EXPECT_EQ(display(k, kReso, 1.0f), "100");
  EXPECT_EQ(display(k, kDecay, 0.0f), "0");
  EXPECT_EQ(display(k, 9, 0.25f), "25");  // any other index: the percentage form
  char text[64];
  k.formatParamWithLabel(kCutoff, 0.25f, text);
  EXPECT_STREQ(text, "25 %");
  k.formatParamWithLabel(kTune, 0.75f, text);
  EXPECT_STREQ(text, "+6.00");
}

TEST(Instrument, NothingHappensBeforeTheFirstPrepare) {
  Koralin k(host);
  EXPECT_EQ(k.workBuffer(), nullptr);
  k.noteOn(60, 127);
  k.reset();  // no work buffer yet: leaves the voice alone
  EXPECT_TRUE(k.gate());
  EXPECT_EQ(k.currentNote(), 60);
  double left[4] = {1, 2, 3, 4}, right[4] = {1, 2, 3, 4};
  double* outputs[2] = {left, right};
  PlugCore::TransportInfo t{};
  EXPECT_TRUE(k.render(false, t, nullptr, outputs, 4));
  EXPECT_EQ(left[3], 4.0);
  EXPECT_TRUE(k.retrigger());
}

TEST(Instrument, ResumePreparesAndResetsTheVoice) {
  Koralin k(host);
  k.setSampleRate(48000.0f);
  k.setBlockSize(128);
  k.noteOn(40, 127);
  k.resume();
  EXPECT_NE(k.workBuffer(), nullptr);
  EXPECT_FALSE(k.gate());
  EXPECT_FALSE(k.accent());
  EXPECT_FALSE(k.retrigger());
  EXPECT_EQ(k.currentNote(), 69);
  k.suspend();
}

}  // namespace

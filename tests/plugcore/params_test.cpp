// The parameter table: quantization, texts, automation, the cook pass and the editor's polling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "recording_host.h"

namespace {

TEST(Params, ValuesAreQuantizedTo64000Steps) {
  Fake::TestPlug plug;
  plug.setParameter(0, 0.5f);
  EXPECT_EQ(plug.getParameter(0), 0.5f);
  plug.setParameter(0, 1.0f);
  EXPECT_EQ(plug.getParameter(0), 1.0f);
  plug.setParameter(0, 0.99999f);  // 0.99999 * 64001 = 64000.36: stores 1.0
  EXPECT_EQ(plug.getParameter(0), 1.0f);
  plug.setParameter(0, 0.3f);
  EXPECT_EQ(plug.getParameter(0), (float)std::floor(0.3f * 64001.0) / 64000.0f);
  plug.setParameter(0, 1.0f / 64000.0f);
  EXPECT_EQ(plug.getParameter(0), 1.0f / 64000.0f);
  // Out of contract: clamped, and NaN is 0.
  plug.setParameter(0, 7.0f);
  EXPECT_EQ(plug.getParameter(0), 1.0f);
  plug.setParameter(0, -3.0f);
  EXPECT_EQ(plug.getParameter(0), 0.0f);
  plug.setParameter(0, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(plug.getParameter(0), 0.0f);
  // Outside the table: nothing happens, reads are 0.
  plug.setParameter(9, 0.7f);
  plug.setParameter(-1, 0.7f);
  EXPECT_EQ(plug.getParameter(9), 0.0f);
  EXPECT_EQ(plug.getParameter(-1), 0.0f);
}

TEST(Params, SettingWhatWasReadChangesNothingAtAnyStep) {
  Fake::TestPlug plug;
  for (uint32_t n = 0; n <= 64000; ++n) {
    plug.setQuantized(1, n);
    float v = plug.getParameter(1);
    ASSERT_EQ(v, (float)n / 64000.0f);
    plug.setParameter(1, v);
    ASSERT_EQ(plug.getParameter(1), v) << n;
  }
}

TEST(Params, NamesLabelsAndDisplayTexts) {
  Fake::TestPlug plug;
  AEffect* e = plug.getAeffect();
  char text[64];
  e->dispatcher(e, effGetParamName, 1, 0, text, 0);
  EXPECT_STREQ(text, "beta");
  e->dispatcher(e, effGetParamLabel, 1, 0, text, 0);
  EXPECT_STREQ(text, "dB");
  e->dispatcher(e, effGetParamDisplay, 1, 0, text, 0);
  EXPECT_STREQ(text, "0.50");
  // A long display text reaches the host cut to 7 characters.
  std::memset(text, 'x', sizeof(text));
  e->dispatcher(e, effGetParamDisplay, 0, 0, text, 0);
  EXPECT_STREQ(text, "0.50000");
  plug.formatParamWithLabel(1, 0.25f, text);
  EXPECT_STREQ(text, "0.25 dB");

  // An unnamed parameter: "**" with an empty label.
  Fake::TestPlug bare(1, 1, 1);
  bare.defineParam(0, nullptr, nullptr, 0.0f, 0);
  e = bare.getAeffect();
  e->dispatcher(e, effGetParamName, 0, 0, text, 0);
  EXPECT_STREQ(text, "**");
  e->dispatcher(e, effGetParamLabel, 0, 0, text, 0);
  EXPECT_STREQ(text, "");
  e->dispatcher(e, effGetParamName, 5, 0, text, 0);
  EXPECT_STREQ(text, "**");
}

TEST(Params, AutomationReachesTheHostOnlyForRealParameters) {
  Fake::TestPlug plug;
  Fake::hostLog().automated.clear();
  plug.setParameterAutomated(2, 0.75f);
  plug.setParameterAutomated(7, 0.75f);
  plug.editFromStored(9, 100);
  plug.editFromStored(3, 16000);
  ASSERT_EQ(Fake::hostLog().automated.size(), 2u);
  EXPECT_EQ(Fake::hostLog().automated[0], std::make_pair(2, 0.75f));
  EXPECT_EQ(Fake::hostLog().automated[1], std::make_pair(3, 0.25f));
  EXPECT_EQ(plug.getParameter(3), 0.25f);
}

class Editor : public PlugCore::IParamNotify {
 public:
  bool paramChanged(int32_t index, float value) override {
    seen.emplace_back(index, value);
    return !busy;
  }
  bool postVisuals(const void*) override { return true; }
  void learnChanged(int32_t index) override { learnt.push_back(index); }
  bool busy = false;
  std::vector<std::pair<int32_t, float>> seen;
  std::vector<int32_t> learnt;
};

TEST(Params, EditorPollingRetriesWhileTheEditorIsBusy) {
  Fake::TestPlug plug(1, 1, 2);
  Editor editor;
  plug.params()[0].lastShown = -1.0f;
  plug.params()[1].lastShown = -1.0f;
  editor.busy = true;
  plug.pollEditor(editor);
  EXPECT_EQ(editor.seen.size(), 2u);
  editor.busy = false;
  plug.pollEditor(editor);
  EXPECT_EQ(editor.seen.size(), 4u);
  plug.pollEditor(editor);
  EXPECT_EQ(editor.seen.size(), 4u);  // nothing new
  plug.setParameter(1, 1.0f);
  plug.pollEditor(editor);
  ASSERT_EQ(editor.seen.size(), 5u);
  EXPECT_EQ(editor.seen.back(), std::make_pair(1, 1.0f));
}

TEST(Params, CookPassReportsChangesOnce) {
  Fake::TestPlug plug(0, 1, 3);
  Fake::start(plug);
  Fake::run(plug, 16);
  ASSERT_EQ(plug.renders.size(), 1u);
  EXPECT_TRUE(plug.renders[0].changed);  // first pass after resume reports everything
  EXPECT_EQ(plug.renders[0].changedFlags, std::vector<bool>({true, true, true}));
  Fake::run(plug, 16);
  EXPECT_FALSE(plug.renders[1].changed);
  EXPECT_EQ(plug.renders[1].changedFlags, std::vector<bool>({false, false, false}));
  plug.setParameter(1, 0.1f);
  Fake::run(plug, 16);
  EXPECT_TRUE(plug.renders[2].changed);
  EXPECT_EQ(plug.renders[2].changedFlags, std::vector<bool>({false, true, false}));
  // Setting the same value again is no change.
  plug.setParameter(1, plug.getParameter(1));
  Fake::run(plug, 16);
  EXPECT_FALSE(plug.renders[3].changed);
}

TEST(Params, ResetAndGestureGoThroughAutomation) {
  Fake::TestPlug plug;
  Fake::hostLog().automated.clear();
  plug.setParameter(2, 0.9f);
  plug.resetParam(2);
  EXPECT_EQ(plug.getParameter(2), 0.5f);
  plug.editParam(1, 0.25f);
  EXPECT_EQ(plug.getParameter(1), 0.25f);
  EXPECT_EQ(Fake::hostLog().automated.size(), 2u);
}

}  // namespace

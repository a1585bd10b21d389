// The built Koralin module, loaded and driven through its entry point exactly as a host does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/lib/plugin_host.h"
#include "tools/factory_bank/factory_programs.h"

namespace {

// The programs the module embeds, as its build read them.
const std::vector<bank::Program>& factoryPrograms() {
  static const std::vector<bank::Program> programs =
      bank::readProgramsFile(KORALIN_SOURCE_DIR "/resources/factory_programs.txt");
  return programs;
}

TEST(Module, EntryPointUnderBothNamesAndTheDescriptor) {
  Host::PluginHost host(KORALIN_MODULE);
  EXPECT_EQ(host.symbol("VSTPluginMain"), host.symbol("main"));
  AEffect* e = host.effect();
  EXPECT_EQ(e->flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanDoubleReplacing |
                          effFlagsIsSynth);
  EXPECT_EQ(e->uniqueID, vstFourCC('k', 'm', 'P', 'x'));
  EXPECT_EQ(e->numPrograms, 8);
  EXPECT_EQ(e->numParams, 7);
  EXPECT_EQ(e->numInputs, 0);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(host.dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(host.text(effGetEffectName), "Koralin");
  EXPECT_EQ(host.text(effGetVendorString), "Quillmarsh");
  EXPECT_EQ(host.text(effGetProductString), "Quillmarsh Koralin");
  EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
  char midi[] = "receiveVstMidiEvent";
  EXPECT_EQ(host.dispatch(effCanDo, 0, 0, midi), 1);
  char other[] = "receiveVstMidiEvent ";
  EXPECT_EQ(host.dispatch(effCanDo, 0, 0, other), 0);
  VstPinProperties pin{};
  EXPECT_EQ(host.dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Main L");
  EXPECT_EQ(host.dispatch(effGetInputProperties, 0, 0, &pin), 0);
  // The editor's rectangle is there before the editor opens.
  ERect* rect = nullptr;
  EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 110);
  EXPECT_EQ(rect->right, 560);
}

TEST(Module, NothingElseIsExported) {
  Host::PluginHost host(KORALIN_MODULE);
  for (const char* name : {"_ZN8PlugCore4PlugD2Ev", "createInstrument", "koralinResourceTable"})
    EXPECT_EQ(host.symbol(name), nullptr) << name;
#ifndef _WIN32
  EXPECT_EQ(host.symbol("MAIN"), nullptr);  // the Windows module exports the entry as MAIN too
#endif
}

TEST(Module, ParametersThroughTheDispatcher) {
  Host::PluginHost host(KORALIN_MODULE);
  EXPECT_EQ(host.paramName(0), "wave");
  EXPECT_EQ(host.paramName(5), "envmod");
  EXPECT_EQ(host.paramLabel(2), "%");
  EXPECT_EQ(host.paramDisplay(0), "saw");
  host.setParameter(0, 1.0f);
  EXPECT_EQ(host.paramDisplay(0), "square");
  host.setParameter(1, 0.0f);
  EXPECT_EQ(host.paramDisplay(1), "-12.00");
  host.setParameter(2, 0.555f);
  EXPECT_EQ(host.paramDisplay(2), "56");
  EXPECT_EQ(host.getParameter(7), 0.0f);
  EXPECT_EQ(host.findParam("accent"), 6);
  char name[64];
  EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 7, 0, name), 1);  // the category travels in value
  EXPECT_EQ(name, factoryPrograms()[7].name);
  EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 8, 0, name), 0);
}

TEST(Module, StateTravelsInChunksBetweenInstances) {
  std::vector<uint8_t> bank, preset;
  {
    Host::PluginHost a(KORALIN_MODULE);
    a.start(44100.0f, 256);
    a.setParameter(2, 0.8125f);
    a.dispatch(effSetProgram, 0, 3);
    char name[] = "Bubbling";
    a.dispatch(effSetProgramName, 0, 0, name);
    a.setParameter(3, 0.25f);
    // A learnt controller: learn happens in the editor; a chunk carries a binding the same way.
    bank = a.getChunk(false);
    preset = a.getChunk(true);
  }
  Host::PluginHost b(KORALIN_MODULE);
  b.start(44100.0f, 256);
  b.setChunk(bank, false);
  EXPECT_EQ(b.dispatch(effGetProgram), 3);
  EXPECT_EQ(b.text(effGetProgramName), "Bubbling");
  EXPECT_EQ(b.getParameter(2), (float)factoryPrograms()[3].steps[2] / 64000);  // program 3 kept its cutoff
  EXPECT_EQ(b.getParameter(3), 0.25f);
  EXPECT_EQ(b.getChunk(false), bank);
  // Loading is no gesture: nothing reaches the host as automation, and one display update tells it to look again.
  EXPECT_TRUE(b.automated.empty()) << b.automated.size() << " automation calls from a load";
  EXPECT_EQ(b.updateDisplayCalls, 1);
  b.dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(b.getParameter(2), 0.8125f);

  Host::PluginHost c(KORALIN_MODULE);
  c.setChunk(preset, true);
  EXPECT_EQ(c.getParameter(3), 0.25f);
  EXPECT_EQ(c.text(effGetProgramName), factoryPrograms()[0].name);  // a preset carries no program names
}

TEST(Module, SilenceUntilResumedAndBeforeTheFirstNote) {
  Host::PluginHost host(KORALIN_MODULE);
  host.dispatch(effOpen);
  std::vector<float> left, right;
  host.renderFloat(left, right, 512);  // never resumed
  for (float x : left) ASSERT_EQ(x, 0.0f);
  host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  host.dispatch(effSetBlockSize, 0, 512);
  host.resume();
  for (int block = 0; block < 20; ++block) {
    host.renderFloat(left, right, 512);
    for (int i = 0; i < 512; ++i) {
      ASSERT_EQ(left[(size_t)i], 0.0f);
      ASSERT_EQ(right[(size_t)i], 0.0f);
    }
  }
  host.sendMidi({{100, 0x90, 45, 110}});
  host.renderFloat(left, right, 512);
  float peak = 0.0f;
  for (int i = 0; i < 512; ++i) {
    ASSERT_EQ(left[(size_t)i], right[(size_t)i]);
    peak = std::max(peak, std::abs(left[(size_t)i]));
  }
  for (int i = 0; i < 100; ++i) EXPECT_EQ(left[(size_t)i], 0.0f);
  EXPECT_GT(peak, 0.0f);
}

}  // namespace

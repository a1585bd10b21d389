// Three threads on one instrument, as hosts do it: the audio thread renders with notes, controllers, program changes
// and learn while the user-interface thread sets and reads parameters, switches, renames and reads programs, moves
// chunks and the defaults file, and the editor's thread runs the defaults menu's actions. Run under ThreadSanitizer it
// proves the thread contract; anywhere it checks that the state both threads leave behind is whole.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialogs.h"
#include "plugcore/factory.h"
#include "plugcore/param_table.h"
#include "plugcore/plug.h"

namespace {

std::atomic<int> gAutomations{0};
std::atomic<int> gDisplayUpdates{0};

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterAutomate: ++gAutomations; return 0;
    case audioMasterUpdateDisplay: ++gDisplayUpdates; return 1;
    default: return 0;  // no time info, no other answers
  }
}

// The editor's side of learn: called on the audio thread when a controller completes a learn.
class LearnCounter : public PlugCore::IParamNotify {
 public:
  bool paramChanged(int32_t, float) override { return true; }
  bool postVisuals(const void*) override { return true; }
  void learnChanged(int32_t) override { ++learnt; }
  std::atomic<int> learnt{0};
};

// Events for one block: the pattern's notes plus a random mix of everything else MIDI can send.
struct EventBlock {
  std::vector<VstMidiEvent> midi;
  std::vector<VstEvent*> pointers;
  alignas(VstEvents) unsigned char header[sizeof(VstEvents) + 64 * sizeof(VstEvent*)];

  VstEvents* fill(std::mt19937& random, int32_t frames) {
    midi.clear();
    auto add = [&](uint8_t status, uint8_t d1, uint8_t d2) {
      VstMidiEvent e{};
      e.type = kVstMidiType;
      e.byteSize = sizeof(VstMidiEvent);
      e.deltaFrames = (int32_t)(random() % (uint32_t)frames);
      e.midiData[0] = (char)status;
      e.midiData[1] = (char)d1;
      e.midiData[2] = (char)d2;
      midi.push_back(e);
    };
    const uint32_t pick = random() % 16;
    const uint8_t note = (uint8_t)(30 + random() % 40);
    add(0x90, note, (uint8_t)(1 + random() % 127));
    if (pick < 4) add(0x80, (uint8_t)(30 + random() % 40), 64);
    if (pick == 4) add(0xC0, (uint8_t)(random() % 128), 0);                          // program change
    if (pick == 5) add(0xB0, (uint8_t)(random() % 128), (uint8_t)(random() % 128));  // any controller
    if (pick == 6) add(0xB0, 120, 0);                                                // reset
    if (pick == 7) add(0xB0, (uint8_t)(123 + random() % 5), 0);                      // all notes off and friends
    if (pick == 8) {                                                                 // a bend range by RPN 0
      add(0xB0, 101, 0);
      add(0xB0, 100, 0);
      add(0xB0, 6, (uint8_t)(random() % 25));
    }
    if (pick == 9) add(0xE0, (uint8_t)(random() % 128), (uint8_t)(random() % 128));
    if (pick == 10) add(0xB0, 64, (uint8_t)(random() % 128));                             // sustain
    if (pick >= 11) add(0xB0, (uint8_t)(70 + random() % 10), (uint8_t)(random() % 128));  // learnable knobs
    std::sort(midi.begin(), midi.end(),
              [](const VstMidiEvent& a, const VstMidiEvent& b) { return a.deltaFrames < b.deltaFrames; });
    auto* events = reinterpret_cast<VstEvents*>(header);
    events->numEvents = (int32_t)midi.size();
    events->reserved = 0;
    for (size_t i = 0; i < midi.size(); ++i) events->events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
    return events;
  }
};

double stressSeconds() {
  const char* text = std::getenv("KORALIN_STRESS_SECONDS");
  return text ? std::atof(text) : 3.0;
}

bool onGrid(float v) { return v >= 0.0f && v <= 1.0f && PlugCore::quantize(v) <= PlugCore::kParamSteps; }

TEST(PlugThreads, AudioAndUserInterfaceThreadsTogetherLeaveAWholeState) {
  Platform::setMessageBoxSeam([](Platform::BoxKind, const char*, const char*) { return true; });
  AEffect* effect = PlugCore::pluginEntry(hostCallback);
  ASSERT_NE(effect, nullptr);
  auto dispatch = [effect](int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0) {
    return effect->dispatcher(effect, op, index, value, ptr, opt);
  };
  auto* plug = static_cast<PlugCore::Plug*>(static_cast<AudioEffect*>(effect->object));
  LearnCounter learn;
  constexpr int32_t kFrames = 128;
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  dispatch(effSetBlockSize, 0, kFrames);
  dispatch(effMainsChanged, 0, 1);

  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(stressSeconds());
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0}, badSamples{0};
  std::thread audio([&] {
    std::mt19937 random(1);
    EventBlock block;
    std::vector<float> left(kFrames), right(kFrames);
    std::vector<double> leftD(kFrames), rightD(kFrames);
    while (!stop.load()) {
      dispatch(effProcessEvents, 0, 0, block.fill(random, kFrames));
      if (blocks % 2 == 0) {
        float* outs[2] = {left.data(), right.data()};
        effect->processReplacing(effect, nullptr, outs, kFrames);
        for (int32_t i = 0; i < kFrames; ++i) badSamples += !(std::fabs(left[i]) < 16.0f) + (left[i] != right[i]);
      } else {
        double* outs[2] = {leftD.data(), rightD.data()};
        effect->processDoubleReplacing(effect, nullptr, outs, kFrames);
        for (int32_t i = 0; i < kFrames; ++i) badSamples += !(std::fabs(leftD[i]) < 16.0) + (leftD[i] != rightD[i]);
      }
      ++blocks;
    }
  });

  // The editor's thread: the defaults menu's actions, which rewrite every program name and value, while the host's
  // thread reads the names.
  std::atomic<long> editorActions{0};
  std::thread editorThread([&] {
    std::mt19937 random(3);
    while (!stop.load()) {
      switch (random() % 3) {
        case 0: plug->loadFactorySettings(); break;
        case 1: plug->loadUserDefaults(); break;
        case 2: plug->saveUserDefaults(); break;
      }
      ++editorActions;
    }
  });

  std::mt19937 random(2);
  long operations = 0;
  std::vector<uint8_t> savedBank;
  char text[256];
  while (std::chrono::steady_clock::now() < until) {
    const int32_t index = (int32_t)(random() % 7);
    switch (random() % 13) {
      case 0: effect->setParameter(effect, index, (float)(random() % 1001) / 1000.0f); break;
      case 1: EXPECT_TRUE(onGrid(effect->getParameter(effect, index))); break;
      case 2:
        dispatch(effGetParamDisplay, index, 0, text);
        EXPECT_LE(std::strlen(text), 7u);
        break;
      case 3: dispatch(effSetProgram, 0, (intptr_t)(random() % 8)); break;
      case 4: {
        std::string name = "Stress " + std::to_string(random() % 100000);
        dispatch(effSetProgramName, 0, 0, name.data());
        dispatch(effGetProgramName, 0, 0, text);
        EXPECT_LE(std::strlen(text), 23u);
        break;
      }
      case 5:
      case 6: {
        const bool preset = random() % 2;
        void* data = nullptr;
        const auto size = (int32_t)dispatch(effGetChunk, preset, 0, &data);
        std::vector<uint8_t> copy((uint8_t*)data, (uint8_t*)data + size);
        if (!preset) savedBank = copy;
        dispatch(effSetChunk, preset, (intptr_t)copy.size(), copy.data());
        break;
      }
      case 7:
        if (!savedBank.empty()) dispatch(effSetChunk, 0, (intptr_t)savedBank.size(), savedBank.data());
        break;
      case 8: plug->startLearn(index); break;  // the editor's knob menu
      case 9: plug->setNotify(random() % 2 ? &learn : nullptr); break;
      case 10: plug->saveUserDefaults(); break;
      case 11: plug->loadUserDefaults(); break;
      case 12:
        for (int32_t p = 0; p < effect->numPrograms; ++p) {
          std::memset(text, 'x', sizeof(text));
          EXPECT_EQ(dispatch(effGetProgramNameIndexed, p, 0, text), 1);
          EXPECT_LE(strnlen(text, sizeof(text)), 23u);
        }
        break;
    }
    ++operations;
  }
  stop.store(true);
  audio.join();
  editorThread.join();
  EXPECT_GT(editorActions.load(), 10);
  plug->setNotify(nullptr);

  EXPECT_GT(blocks.load(), 20);
  EXPECT_GT(operations, 100);
  EXPECT_EQ(badSamples.load(), 0) << "samples out of bounds, not finite, or different between the channels";
  for (int32_t i = 0; i < effect->numParams; ++i) EXPECT_TRUE(onGrid(effect->getParameter(effect, i))) << i;
  for (int32_t p = 0; p < effect->numPrograms; ++p) {
    for (float v : plug->program(p).snapshot()) EXPECT_TRUE(onGrid(v)) << "program " << p;
    EXPECT_LT(strnlen(plug->program(p).name, 24), 24u);
  }
  // What the host saves now, it gets back whole.
  void* data = nullptr;
  const auto size = (int32_t)dispatch(effGetChunk, 0, 0, &data);
  const std::vector<uint8_t> first((uint8_t*)data, (uint8_t*)data + size);
  dispatch(effSetChunk, 0, size, const_cast<uint8_t*>(first.data()));
  const auto again = (int32_t)dispatch(effGetChunk, 0, 0, &data);
  EXPECT_EQ(std::vector<uint8_t>((uint8_t*)data, (uint8_t*)data + again), first);

  dispatch(effMainsChanged, 0, 0);
  dispatch(effClose);
  Platform::setMessageBoxSeam(nullptr);
}

}  // namespace

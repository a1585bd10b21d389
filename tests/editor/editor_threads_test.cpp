// The editor's thread against the audio and user-interface threads on one instrument: drags, wheel, learn and the
// tick on the editor's thread while the audio thread plays controllers that complete learns and move knobs, and the
// host sets values. Under ThreadSanitizer it checks the editor's side of the thread contract; anywhere it checks
// that the panel ends up showing every value the core holds.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "fake_plug_data.h"
#include "gui/plug_edit_vst.h"
#include "gui/plug_frame.h"
#include "instrument/koralin.h"

namespace EditorTest {
namespace {

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == audioMasterVersion ? kVstVersion : 0;
}

// One block's controllers: the learnable knobs at random values.
struct Controllers {
  std::vector<VstMidiEvent> midi;
  alignas(VstEvents) unsigned char header[sizeof(VstEvents) + 8 * sizeof(VstEvent*)];

  VstEvents* fill(std::mt19937& random) {
    midi.assign(3, VstMidiEvent{});
    auto* events = reinterpret_cast<VstEvents*>(header);
    events->numEvents = 3;
    events->reserved = 0;
    // The pointer array runs past the two slots the record declares.
    auto** slots = reinterpret_cast<VstEvent**>(header + offsetof(VstEvents, events));
    for (int i = 0; i < 3; ++i) {
      VstMidiEvent& e = midi[size_t(i)];
      e.type = kVstMidiType;
      e.byteSize = sizeof(VstMidiEvent);
      e.deltaFrames = i * 10;
      e.midiData[0] = char(0xB0);
      e.midiData[1] = char(70 + random() % 6);
      e.midiData[2] = char(random() % 128);
      slots[i] = reinterpret_cast<VstEvent*>(&e);
    }
    return events;
  }
};

TEST(EditorThreads, EditorAudioAndHostThreadsTogetherLeaveThePanelShowingTheCoresValues) {
  Log windowLog;
  LatticeTest::backendLog = &windowLog;
  Koralin koralin(quietHost);
  koralin.setSampleRate(44100.0f);
  koralin.setBlockSize(64);
  koralin.resume();
  auto* editor = static_cast<Lattice::PlugEditVST*>(koralin.getEditor());
  editor->makeBackend = makeMenuBackend;

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::mt19937 random(3);
    Controllers block;
    std::vector<float> left(64), right(64);
    float* outs[2] = {left.data(), right.data()};
    while (!stop) {
      koralin.processEvents(block.fill(random));
      koralin.processReplacing(nullptr, outs, 64);
    }
  });
  std::thread host([&] {
    std::mt19937 random(4);
    while (!stop) koralin.setParameter(int32_t(random() % 7), float(random() % 1000) / 999.0f);
  });

  // The editor's thread: open, then gestures on every knob, learns, wheel turns and ticks.
  std::mt19937 random(5);
  ASSERT_TRUE(editor->open(nullptr));
  Lattice::Winwrapper* root = editor->root();
  Lattice::PlugFrame* frame = editor->openFrame();
  const int centres[6] = {48, 126, 196, 282, 352, 430};
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < until) {
    const int x = centres[random() % 6];
    root->onMouseDown(x, 63, Lattice::kButtonLeft, 0);
    for (int step = 0; step < 5; ++step) root->onMouseMove(x, 63 - int(random() % 200) + 100, 0);
    root->onMouseUp(x, 0, Lattice::kButtonLeft, 0);
    root->onWheel(x, 63, random() % 2 ? 1.0f : -1.0f, 0);
    if (random() % 8 == 0) frame->learn(int(random() % 7));
    root->onTimer();
  }
  stop = true;
  audio.join();
  host.join();
  // Quiet now: one tick shows everything.
  root->onTimer();
  for (int32_t i = 0; i < koralin.paramCount(); ++i) EXPECT_EQ(editor->value(i), koralin.getParameter(i)) << i;
  editor->close();
  EXPECT_FALSE(editor->isOpen());
}

}  // namespace
}  // namespace EditorTest

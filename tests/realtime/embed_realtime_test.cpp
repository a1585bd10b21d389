// The embedding layer's audio side, with the instrument linked in as every format binding links it: after a
// warm-up, no block (events of every kind, a full list, a reset, transport and host values, the gesture queue
// drained with the changes) allocates, frees, locks, waits or touches a file.
#include <gtest/gtest.h>

#include <cmath>

#include "plugcore/plug.h"
#include "plugin/embed/instance.h"
#include "rt_expect.h"

namespace {

constexpr int32_t kBlock = 512;

struct CountingSink : Embed::ChangeSink {
  int told = 0;
  void gestureBegin(int32_t) override { ++told; }
  void value(int32_t, float) override { ++told; }
  void gestureEnd(int32_t) override { ++told; }
};

struct Pass {
  Embed::Instance& instance;
  PlugCore::Plug& plug;
  CountingSink sink;
  float left[kBlock] = {}, right[kBlock] = {};
  bool finite = true;

  void block(const char* step, int32_t frames) {
    rtWatchStep(step);
    instance.process(left, right, frames);
    for (int32_t i = 0; i < frames; ++i) finite = finite && std::isfinite(left[i]) && std::isfinite(right[i]);
  }

  void run() {
    Embed::MidiEventList& events = instance.events();
    rtWatchStep("events of every kind, out of order, with transport and host values");
    Embed::Transport transport;
    transport.playing = transport.hasTempo = transport.hasPosition = true;
    transport.tempo = 125;
    instance.setTransport(transport);
    instance.setParameter(kReso, 0.9f);
    events.add(300, 0x80, 36, 0);
    events.add(0, 0x90, 36, 120);
    events.add(100, 0xB0, 74, 90);  // learnt: the cutoff
    events.add(-4, 0xB0, 64, 127);
    events.add(200, 0xE0, 0, 90);
    events.add(250, 0xC0, 3, 0);  // a program change: updateDisplay from the audio thread
    const uint8_t bytes[] = {0x90, 40, 100};
    events.addBytes(400, bytes, sizeof(bytes));
    events.add(kBlock + 9, 0xB0, 64, 0);
    block("a block with events", kBlock);
    rtWatchStep("a full event list");
    for (int32_t e = 0; e < Embed::MidiEventList::kCapacity + 10; ++e)
      events.add(kBlock - e % kBlock, (uint8_t)(0x90 | (e & 1) << 4), (uint8_t)(30 + e % 30), 90);
    block("a block with a full list", kBlock);
    instance.reset();
    block("a reset", 64);
    block("a one-frame block", 1);
    rtWatchStep("the editor's gestures (from this thread) and the changes drained");
    plug.beginEdit(kDecay);
    for (int k = 0; k < 40; ++k) plug.setParameterAutomated(kDecay, k / 40.0f);
    plug.endEdit(kDecay);
    instance.emitChanges(sink);
    rtWatchStep("values and the display flag read");
    for (int32_t i = 0; i < KoralinParams::kCount; ++i) finite = finite && std::isfinite(instance.parameter(i));
    instance.takeDisplayChanged();
  }
};

TEST(RealTime, EmbeddedAudioSideNeitherAllocatesNorLocksNorWaits) {
  std::unique_ptr<Embed::Instance> instance = Embed::Instance::create("Koralin real-time test");
  ASSERT_TRUE(instance && instance->activate(44100, kBlock));
  std::vector<uint8_t> state = instance->saveState();
  state.insert(state.end(), {1, kCutoff, 74, 0xB0});
  ASSERT_TRUE(instance->loadState(state.data(), state.size()).loaded);
  Pass pass{*instance, *static_cast<PlugCore::Plug*>(static_cast<AudioEffect*>(instance->effect()->object)), {}};
  pass.run();  // the warm-up: whatever is made once is made now

  rtWatchBegin();
  for (int round = 0; round < 20; ++round) pass.run();
  const RtWatchReport audio = rtWatchEnd();
  EXPECT_TRUE(pass.finite);
  EXPECT_GT(pass.sink.told, 0) << "the changes reached the sink";

  // The watch itself: activating at another rate allocates (prepare) and takes the process lock.
  rtWatchBegin();
  rtWatchStep("activate again");
  instance->activate(48000, 2 * kBlock);
  const RtWatchReport control = rtWatchEnd();

  if (!RT_WATCH_AVAILABLE) GTEST_SKIP() << "a sanitizer runtime owns malloc and the lock functions: not counted";
  expectNothingWatchedOnTheAudioSide(audio, control, "instrument", "instrument");
}

}  // namespace

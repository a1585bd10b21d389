// Koralin.clap's audio-thread calls through the built module: after a warm-up, no process (CLAP notes, MIDI, host
// values cutting the block, transport, a program change whose values go out as events, a reset) and no flush while
// active allocates, frees, locks, waits or touches a file.
#include <gtest/gtest.h>

#include <cmath>

#include "instrument/koralin_params.h"
#include "rt_expect.h"
#include "tests/clap/clap_host.h"

namespace {

using namespace ClapTest;

constexpr uint32_t kBlock = 512;

struct Pass {
  Plugin& p;
  InputEvents notes, values, program, wildcard, flushValues;
  OutputEvents out;
  bool finite = true;
  size_t told = 0;

  explicit Pass(Plugin& plugin) : p(plugin) {
    notes.add(noteEvent(0, CLAP_EVENT_NOTE_ON, 36, 0.9));
    notes.add(midiEvent(100, 0x90, 48, 120));
    notes.add(midiEvent(150, 0xB0, 74, 90));  // learnt: the cutoff
    notes.add(midiEvent(200, 0xE0, 0, 90));
    notes.add(noteEvent(300, CLAP_EVENT_NOTE_OFF, 36, 0.2));
    notes.add(noteEvent(400, CLAP_EVENT_NOTE_CHOKE, 48, 0.0));
    for (uint32_t at = 0; at < kBlock; at += 37) values.add(paramEvent(at, at % KoralinParams::kCount, at % 90));
    values.add(midiEvent(kBlock - 1, 0x90, 40, 100));
    program.add(midiEvent(5, 0xC0, 3, 0));
    wildcard.add(noteEvent(0, CLAP_EVENT_NOTE_OFF, -1, 0.0, -1));
    flushValues.add(paramEvent(0, kDecay, 33.0));
    flushValues.add(paramEvent(0, kTune, -3.0));
  }

  void block(const char* step, const InputEvents& in, uint32_t frames = kBlock) {
    rtWatchStep(step);
    out.events.clear();
    p.process(frames, in, &out);
    told += out.events.size();
    for (uint32_t i = 0; i < frames; ++i) finite = finite && std::isfinite(p.left[i]) && std::isfinite(p.right[i]);
  }

  void run() {
    block("CLAP notes, MIDI and a learnt controller", notes);
    block("host values every 37 frames", values);
    block("a program change: its values go out", program);
    block("a note off for every key", wildcard);
    rtWatchStep("reset");
    p.plugin()->reset(p.plugin());
    block("a one-frame block after reset", InputEvents(), 1);
    rtWatchStep("flush while active");
    out.events.clear();
    p.flush(flushValues, &out);
  }
};

TEST(RealTime, ClapProcessAndFlushNeitherAllocateNorLockNorWait) {
  Module module(modulePath());
  TestHost host;
  Plugin p(module, host);
  ASSERT_TRUE(p);
  std::vector<uint8_t> state = p.save();
  state.insert(state.end(), {1, kCutoff, 74, 0xB0});
  InStream learn(state);
  ASSERT_TRUE(p.state().load(p.plugin(), learn.stream()));
  ASSERT_TRUE(p.activate(44100, kBlock));
  Pass pass(p);
  pass.run();  // the warm-up: whatever is made once is made now

  rtWatchBegin();
  for (int round = 0; round < 20; ++round) pass.run();
  const RtWatchReport audio = rtWatchEnd();
  EXPECT_TRUE(pass.finite);
  EXPECT_GT(pass.told, 0u) << "the changes reached the host";

  // The watch itself: activating at another rate allocates and takes the process lock.
  rtWatchBegin();
  rtWatchStep("activate again");
  p.deactivate();
  p.activate(48000, 2 * kBlock);
  const RtWatchReport control = rtWatchEnd();

  if (!RT_WATCH_AVAILABLE) GTEST_SKIP() << "a sanitizer runtime owns malloc and the lock functions: not counted";
  expectNothingWatchedOnTheAudioSide(audio, control, "module", nullptr);
}

}  // namespace
